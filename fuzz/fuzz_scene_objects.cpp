// Loads arbitrary bytes as the state chunk of a camera, target camera,
// light, target light, 3D sprite or place: the class's section after the 3D
// entity's (or the behavioural object's, for a place), older layouts
// included, with object references checked against their classes; then
// computes, draws, picks and saves the result.
//
// Input: a control byte (bits 0 to 2: the class, in the order above, 6 and 7
// a place; bit 3: the chunk is bound to a file of 4 records, a 3D entity, a
// place, a material and a camera, and the load is told of it; bits 4 to 7:
// the chunk's data version), then the chunk's data words.

#include <cstddef>
#include <cstdint>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKRenderContext.h"
#include "core/context/CKRenderManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "includes/CKByteOrder.h"
#include "render/context/CKRenderEngine.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/objects/RCKPlace.h"
#include "render/objects/RCKSprite3D.h"
#include "render/objects/RCKTargetCamera.h"
#include "render/objects/RCKTargetLight.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    CKPluginManager* plugins = CKGetPluginManager();
    plugins->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    plugins->AddStaticDll("Render Engine", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const CK_CLASSID kClasses[8] = {CKCID_CAMERA,   CKCID_TARGETCAMERA, CKCID_LIGHT, CKCID_TARGETLIGHT,
                                           CKCID_SPRITE3D, CKCID_PLACE,        CKCID_PLACE, CKCID_PLACE};
    if (size < 1)
        return 0;
    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr) != 0 || !context)
        return 0;
    CKRenderContext* renderContext = nullptr;
    if (CKRenderManager* manager = context->GetRenderManager()) {
        QxIntRect rect{0, 0, 64, 48};
        renderContext = manager->CreateRenderContext(nullptr, 0, &rect);
    }
    const uint8_t control = data[0];
    const CK_CLASSID cid = kClasses[control & 7];
    CKObject* named[4] = {context->CreateObject(CKCID_3DENTITY, "entity"), context->CreateObject(CKCID_PLACE, "room"),
                          context->CreateObject(CKCID_MATERIAL, "material"),
                          context->CreateObject(CKCID_CAMERA, "camera")};
    RCK3dEntity* object = static_cast<RCK3dEntity*>(context->CreateObject(cid, "fuzzed"));
    if (!object) {
        CKCloseContext(context);
        return 0;
    }
    CKFile* file = context->CreateCKFile();
    for (CKObject* o : named)
        if (o) {
            const int index = file->AddObjectRecord(o->GetID(), o->GetClassID());
            file->m_FileObjects[index].m_CreatedObject = o->GetID();
        }
    CKStateChunk* chunk = CKCreateStateChunk(cid, (control & 8) ? file : nullptr);
    chunk->StartWrite();
    chunk->SetDataVersion(control >> 4);
    for (size_t i = 1; i + 4 <= size; i += 4)
        chunk->WriteDword(LoadLE32(data + i));
    chunk->CloseChunk();
    object->Load(chunk, (control & 8) ? file : nullptr);
    object->PostLoad();
    CKDeleteStateChunk(chunk);
    context->DeleteCKFile(file);

    if (CKIsChildClassOfObject(object, CKCID_CAMERA)) {
        QxMatrix projection;
        static_cast<RCKCamera*>(object)->ComputeProjectionMatrix(projection);
        static_cast<RCKCamera*>(object)->ResetRoll();
    } else if (CKIsChildClassOfObject(object, CKCID_LIGHT) && renderContext) {
        static_cast<RCKLight*>(object)->Setup(renderContext->GetRasterizerContext(), 0);
    } else if (CKIsChildClassOfObject(object, CKCID_SPRITE3D)) {
        const QxVector start(0, 0, -5), end(0.1f, 0.2f, 5);
        CKPickResult hit;
        static_cast<RCKSprite3D*>(object)->RayIntersection(&start, &end, &hit, nullptr);
    } else if (CKIsChildClassOfObject(object, CKCID_PLACE) && named[1]) {
        QxPrincipalBox shape;
        static_cast<RCKPlace*>(object)->ComputePortalGeometry(static_cast<RCKPlace*>(named[1]), shape);
    }
    if (renderContext) {
        renderContext->AddObject(static_cast<CKRenderObject*>(object));
        renderContext->Render();
    }
    object->GetMemoryOccupation();
    CKDeleteStateChunk(CKSaveObjectState(object));
    context->DestroyObject(object);
    CKCloseContext(context);
    return 0;
}
