#pragma once

#include "platform/host/Mesh.h"
#include "platform/host/Object.h"

class GeomObject : public Object
{
public:
    using Object::Object;
};

constexpr Class_ID triObjectClassID(9, 0);

// Stands in for the host's triangle-mesh object. An editable mesh (class
// triObjectClassID) is itself as a triangle mesh; a mesh object of another
// class (a primitive, an editable poly) converts into a temporary
// triangle-mesh copy that its caller deletes (DeleteMe).
class TriObject : public GeomObject
{
public:
    TriObject();
    TriObject(Class_ID classId, std::string className);

    Mesh mesh;
    Mesh& GetMesh() { return mesh; }
    const Mesh& GetMesh() const { return mesh; }

    int CanConvertToType(Class_ID classId) override;
    Object* ConvertToType(TimeValue t, Class_ID classId) override;
    int NumPoints() const override { return mesh.getNumVerts(); }
    Point3 GetPoint(int i) const override;
    void SetPoint(int i, const Point3& p) override;
    std::unique_ptr<Object> Clone() const override;
    bool CopyFrom(const Object& other) override;
};
