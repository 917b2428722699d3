#include "core/CKBeObjectLinks.h"

#include "core/CKGlobals.h"

const CKBeObjectLinks& CKGetBeObjectLinks()
{
    return CKGetGlobals().m_BeObjectLinks;
}

void CKSetBeObjectLinks(const CKBeObjectLinks& links)
{
    CKGetGlobals().m_BeObjectLinks = links;
}
