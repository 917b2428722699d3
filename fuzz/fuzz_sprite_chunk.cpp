// Loads arbitrary bytes as the state chunk of a sprite or a sprite text:
// the 2D entity's section (older layouts included), the bitmap sections
// decoded by the engine's image readers, the saved reader record and its
// conversion, and the text sections; then draws, picks and saves the
// result.
//
// Input: a control byte (bit 0: the chunk is bound to a file of 3 records,
// a 2D entity, a sprite and a sprite text; bit 1: the load is told of that
// file; bit 2: a sprite text; bits 3 to 7: the chunk's data version), then
// the chunk's data words.

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
#include "includes/CKByteOrder.h"
#include "readers/imagereader/ImageReaderPlugin.h"
#include "readers/jpeg/JpgReaderPlugin.h"
#include "readers/png/PngReaderPlugin.h"
#include "readers/tiff/TiffReaderPlugin.h"
#include "render/context/CKRenderEngine.h"
#include "render/objects/RCKSpriteText.h"
#include "system/math/Qx2DVector.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    CKPluginManager* plugins = CKGetPluginManager();
    RegisterImageReaderPlugin(plugins);
    plugins->RegisterPlugin(0, CKGetPngPluginInfo(0), nullptr, CKGetPngReader);
    plugins->AddStaticDll("PNG Reader", 1);
    plugins->RegisterPlugin(0, CKGetJpgPluginInfo(0), nullptr, CKGetJpgReader);
    plugins->AddStaticDll("JPG Reader", 1);
    plugins->RegisterPlugin(0, CKGetTiffPluginInfo(0), nullptr, CKGetTiffReader);
    plugins->AddStaticDll("Tiff Reader", 1);
    plugins->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    plugins->AddStaticDll("Render Engine", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // A context of its own for each input: everything it made goes with it.
    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr) != 0 || !context)
        return 0;
    CKRenderContext* renderContext = nullptr;
    if (CKRenderManager* manager = context->GetRenderManager()) {
        QxIntRect rect{0, 0, 64, 48};
        renderContext = manager->CreateRenderContext(nullptr, 0, &rect);
    }
    const uint8_t control = data[0];
    const CK_CLASSID cid = (control & 4) ? CKCID_SPRITETEXT : CKCID_SPRITE;

    // The objects the chunk may name, children of the roots.
    RCK2dEntity* entity = static_cast<RCK2dEntity*>(context->CreateObject(CKCID_2DENTITY, "entity"));
    RCKSprite* other = static_cast<RCKSprite*>(context->CreateObject(CKCID_SPRITE, "other"));
    RCKSprite* text = static_cast<RCKSprite*>(context->CreateObject(CKCID_SPRITETEXT, "text"));
    RCKSprite* sprite = static_cast<RCKSprite*>(context->CreateObject(cid, "fuzzed"));
    if (!entity || !other || !text || !sprite) {
        CKCloseContext(context);
        return 0;
    }
    entity->SetParent(nullptr);
    entity->SetRect(QxRect(0, 0, 32, 32));
    other->Create(2, 2);
    text->Create(8, 8);

    CKFile* file = context->CreateCKFile();
    for (RCK2dEntity* named : {entity, static_cast<RCK2dEntity*>(other), static_cast<RCK2dEntity*>(text)}) {
        const int index = file->AddObjectRecord(named->GetID(), named->GetClassID());
        file->m_FileObjects[index].m_CreatedObject = named->GetID();
    }
    CKStateChunk* chunk = CKCreateStateChunk(cid, (control & 1) ? file : nullptr);
    chunk->StartWrite();
    chunk->SetDataVersion(control >> 3);
    for (size_t i = 1; i + 4 <= size; i += 4)
        chunk->WriteDword(LoadLE32(data + i));
    chunk->CloseChunk();

    sprite->Load(chunk, (control & 2) ? file : nullptr);
    sprite->PostLoad();
    CKDeleteStateChunk(chunk);
    context->DeleteCKFile(file);
    if (renderContext) {
        renderContext->Render();
        renderContext->Pick2D(Qx2DVector(3, 3));
    }
    sprite->GetMemoryOccupation();
    CKDeleteStateChunk(CKSaveObjectState(sprite));

    CK_ID ids[4] = {sprite->GetID(), text->GetID(), other->GetID(), entity->GetID()};
    context->DestroyObjects(ids, 4);
    CKCloseContext(context);
    return 0;
}
