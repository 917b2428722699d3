#include "platform/host/TriObject.h"

TriObject::TriObject() : GeomObject(GEOMOBJECT_CLASS_ID, triObjectClassID, "Editable Mesh") {}

TriObject::TriObject(Class_ID classId, std::string className)
    : GeomObject(GEOMOBJECT_CLASS_ID, classId, std::move(className))
{}

int TriObject::CanConvertToType(Class_ID classId)
{
    return classId == ClassID() || classId == triObjectClassID ? 1 : 0;
}

Object* TriObject::ConvertToType(TimeValue, Class_ID classId)
{
    if (classId == ClassID())
        return this;
    if (classId != triObjectClassID)
        return nullptr;
    auto copy = std::make_unique<TriObject>();
    copy->mesh = mesh;
    copy->m_Valid = m_Valid;
    copy->MarkTemporary();
    return copy.release();
}

Point3 TriObject::GetPoint(int i) const
{
    return i >= 0 && i < mesh.getNumVerts() ? mesh.verts[size_t(i)] : Point3();
}

void TriObject::SetPoint(int i, const Point3& p)
{
    if (i >= 0 && i < mesh.getNumVerts())
        mesh.verts[size_t(i)] = p;
}

std::unique_ptr<Object> TriObject::Clone() const
{
    auto copy = std::make_unique<TriObject>(ClassID(), ClassName());
    copy->mesh = mesh;
    copy->m_Valid = m_Valid;
    return copy;
}

bool TriObject::CopyFrom(const Object& other)
{
    const TriObject* source = dynamic_cast<const TriObject*>(&other);
    if (!source)
        return false;
    mesh = source->mesh;
    m_Valid = source->m_Valid;
    return true;
}
