#include "platform/host/CustAttrib.h"

CustAttrib::CustAttrib(std::string name)
    : ReferenceTarget(CUST_ATTRIB_CLASS_ID, Class_ID(0x1190, 0), "Custom Attribute"), m_Name(std::move(name))
{}

IParamBlock2* CustAttrib::GetParamBlock(int i) const
{
    if (i < 0 || i >= NumParamBlocks())
        return nullptr;
    return m_Blocks[size_t(i)].get();
}

IParamBlock2* CustAttrib::AddParamBlock()
{
    m_Blocks.push_back(std::make_unique<IParamBlock2>());
    return m_Blocks.back().get();
}

CustAttrib* ICustAttribContainer::GetCustAttrib(int i) const
{
    if (i < 0 || i >= GetNumCustAttribs())
        return nullptr;
    return m_Attribs[size_t(i)];
}
