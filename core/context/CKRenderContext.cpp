#include "core/context/CKRenderContext.h"

#include "core/context/CKContext.h"

CK_CLASSID CKRenderContext::m_ClassID = CKCID_RENDERCONTEXT;

CKRenderContext::CKRenderContext(CKContext* context, const char* name) : CKObject(context, name)
{
    if (context && !context->GetMainRenderContext())
        context->SetMainRenderContext(this);
}

CKRenderContext::~CKRenderContext()
{
    if (m_Context && m_Context->GetMainRenderContext() == this)
        m_Context->SetMainRenderContext(nullptr);
}
