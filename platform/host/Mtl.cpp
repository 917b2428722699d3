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

Mtl::~Mtl() = default;

Texmap* Mtl::GetSubTexmap(int) const
{
    return nullptr;
}

ULONG Mtl::Requirements(int) const
{
    return 0;
}

IParamBlock2* Mtl::GetParamBlock(int i) const
{
    return i >= 0 && i < NumParamBlocks() ? m_Blocks[size_t(i)].get() : nullptr;
}

IParamBlock2* Mtl::AddParamBlock()
{
    m_Blocks.push_back(std::make_unique<IParamBlock2>());
    return m_Blocks.back().get();
}
