#pragma once

#include "core/object/CKObject.h"

// The core part of a render context (class 12): its drawing operations come
// from the render library's implementation. The first render context of a
// context becomes its main one.
class CKRenderContext : public CKClass<CKRenderContext, CKObject, CKCID_RENDERCONTEXT>
{
public:
    CKRenderContext(CKContext* context, const char* name = nullptr);
    ~CKRenderContext() override;
};
