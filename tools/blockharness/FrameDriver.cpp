#include "core/context/CKContext.h"
#include "core/context/CKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/RenderCallbackList.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/RCKRenderObject.h"
#include "tools/blockharness/BlockHarness.h"

namespace {

// Runs one list of an entity's callbacks over a copy: a callback may add or
// remove callbacks.
void CallAll(CKRenderContext* dev, CK3dEntity* entity, bool post)
{
    RenderCallbackList* list = static_cast<RCKRenderObject*>(entity)->GetCallbacks();
    if (!list)
        return;
    XArray<RenderCallbackRecord> copy = post ? list->GetPostCallbacks() : list->GetPreCallbacks();
    for (const RenderCallbackRecord& r : copy)
        CKRenderCallbackAs<CK_RENDEROBJECT_CALLBACK>(r)(dev, entity, r.Argument);
}

} // namespace

void RunFrame(CKRenderContext* dev, const std::vector<CK3dEntity*>& entities, FrameOrder order,
              void (*draw)(CK3dEntity* entity, void* argument), void* argument)
{
    CKContext* context = dev->GetCKContext();
    context->ExecuteManagersOnPreRender(dev);
    if (order == FrameOrder::OneByOne) {
        for (CK3dEntity* entity : entities) {
            CallAll(dev, entity, false);
            if (draw)
                draw(entity, argument);
            CallAll(dev, entity, true);
        }
    } else {
        for (CK3dEntity* entity : entities)
            CallAll(dev, entity, false);
        if (draw)
            for (CK3dEntity* entity : entities)
                draw(entity, argument);
        if (order == FrameOrder::Interleaved)
            for (CK3dEntity* entity : entities)
                CallAll(dev, entity, true);
        else
            for (auto it = entities.rbegin(); it != entities.rend(); ++it)
                CallAll(dev, *it, true);
    }
    context->ExecuteManagersOnPostRender(dev);
    if (auto* manager = static_cast<RCKRenderManager*>(context->GetRenderManager()))
        manager->RemoveAllTemporaryCallbacks();
}
