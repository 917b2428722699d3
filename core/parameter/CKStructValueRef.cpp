#include "core/parameter/CKStructValueRef.h"

#include "core/context/CKContext.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterManager.h"

CKStructValueRef::CKStructValueRef(CKParameter* param)
{
    CKContext* context = param ? param->GetCKContext() : nullptr;
    CKParameterManager* pm = context ? context->GetParameterManager() : nullptr;
    m_Desc = pm ? pm->GetStructDescByType(param->GetType()) : nullptr;
}
