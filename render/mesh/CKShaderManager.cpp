#include "render/mesh/CKShaderManager.h"

#include "core/context/CKContext.h"

CKShaderManager* CKGetShaderManager(CKContext* context)
{
    if (!context)
        return nullptr;
    return dynamic_cast<CKShaderManager*>(context->GetManagerByGuid(SHADER_MANAGER_GUID));
}

CKBOOL CKAccumulateTangents(CKContext* context)
{
    CKShaderManager* manager = CKGetShaderManager(context);
    return manager && manager->GetTangentMode() == 0 ? TRUE : FALSE;
}
