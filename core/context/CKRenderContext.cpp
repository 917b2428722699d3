#include "core/context/CKRenderContext.h"

#include "core/context/CKContext.h"

CKRenderContext::CKRenderContext(CKContext* context, const char* name) : CKClass(context, name)
{
    if (context && !context->GetMainRenderContext())
        context->SetMainRenderContext(this);
}

CKRenderContext::~CKRenderContext()
{
    if (m_Context && m_Context->GetMainRenderContext() == this)
        m_Context->SetMainRenderContext(nullptr);
}
