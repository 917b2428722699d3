#include "platform/host/Animatable.h"

#include "platform/host/CustAttrib.h"

Animatable::Animatable(SClass_ID superClassId, Class_ID classId, std::string className)
    : m_SuperClassId(superClassId), m_ClassId(classId), m_ClassName(std::move(className))
{}

Animatable::~Animatable() = default;

IParamBlock2* Animatable::GetParamBlock(int) const
{
    return nullptr;
}

void ReferenceMaker::DeleteMe()
{
    if (m_Temporary)
        delete this;
}

ICustAttribContainer* Animatable::AllocCustAttribContainer()
{
    if (!m_CustAttribs)
        m_CustAttribs = std::make_unique<ICustAttribContainer>();
    return m_CustAttribs.get();
}
