#include "platform/host/Mtl.h"

MtlBase::MtlBase(SClass_ID superClassId, Class_ID classId, std::string className, std::string name)
    : ReferenceTarget(superClassId, classId, std::move(className)), m_Name(std::move(name))
{}

Mtl::Mtl(Class_ID classId, std::string className, std::string name)
    : MtlBase(MATERIAL_CLASS_ID, classId, std::move(className), std::move(name))
{}

Mtl* Mtl::GetSubMtl(int i) const
{
    if (i < 0 || i >= NumSubMtls())
        return nullptr;
    return m_Subs[size_t(i)];
}
