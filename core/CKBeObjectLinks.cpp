#include "core/CKBeObjectLinks.h"

namespace {

CKBeObjectLinks& Links()
{
    static CKBeObjectLinks links;
    return links;
}

} // namespace

const CKBeObjectLinks& CKGetBeObjectLinks()
{
    return Links();
}

void CKSetBeObjectLinks(const CKBeObjectLinks& links)
{
    Links() = links;
}
