#include "render/objects/CKGridManager.h"

#include "core/context/CKContext.h"

CKGridManager* CKGetGridManager(CKContext* context)
{
    return context ? dynamic_cast<CKGridManager*>(context->GetManagerByGuid(GRID_MANAGER_GUID)) : nullptr;
}
