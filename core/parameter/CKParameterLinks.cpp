#include "core/parameter/CKParameterLinks.h"

#include "core/context/CKGlobals.h"

const CKParameterLinks& CKGetParameterLinks()
{
    return CKGetGlobals().m_ParameterLinks;
}

void CKSetParameterLinks(const CKParameterLinks& links)
{
    CKGetGlobals().m_ParameterLinks = links;
}
