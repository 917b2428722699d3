#include "core/object/CKBeObjectLinks.h"

#include "core/context/CKGlobals.h"

const CKBeObjectLinks& CKGetBeObjectLinks()
{
    return CKGetGlobals().m_BeObjectLinks;
}

void CKSetBeObjectLinks(const CKBeObjectLinks& links)
{
    CKGetGlobals().m_BeObjectLinks = links;
}
