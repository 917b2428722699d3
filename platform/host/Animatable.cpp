#include "platform/host/Animatable.h"

#include "platform/host/CustAttrib.h"
#include "platform/host/Hold.h"

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

void Animatable::SetAFlag(DWORD mask)
{
    if (theHold.Holding())
        theHold.Put([this, old = m_AFlags] { m_AFlags = old; });
    m_AFlags |= mask;
}

void Animatable::ClearAFlag(DWORD mask)
{
    if (theHold.Holding())
        theHold.Put([this, old = m_AFlags] { m_AFlags = old; });
    m_AFlags &= ~mask;
}

void* Animatable::GetInterface(ULONG)
{
    return nullptr;
}

BaseInterface* Animatable::GetInterface(Interface_ID)
{
    return nullptr;
}

void Animatable::ReleaseInterface(ULONG, void*) {}

Animatable* Animatable::SubAnim(int)
{
    return nullptr;
}

TSTR Animatable::SubAnimName(int) const
{
    return TSTR();
}

RefResult ReferenceTarget::NotifyDependents(Interval, PartID, RefMessage, SClass_ID, BOOL, ReferenceTarget*)
{
    ++m_Notifications;
    return REF_SUCCEED;
}
