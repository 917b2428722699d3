// Loads arbitrary bytes into a patch mesh as its state chunk, rebuilds its
// render mesh at a small iteration count, reloads its control points,
// fills its render data on the recording rasterizer and saves it again.
//
// Input: a control byte (bit 1: the rest is a serialised state chunk;
// otherwise bit 0 picks the older section identifier over the current one
// and the rest are that section's words; bits 2 to 4: the iteration count
// asked before the second rebuild).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "render/context/CKRenderEngine.h"
#include "render/context/RCKRenderContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/rasterizer/CKDrawPrimitiveData.h"
#include "render/context/rasterizer/CKRecordingRasterizer.h"
#include "render/mesh/RCKPatchMesh.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    CKAddRasterizer(&CKRecordingRasterizerStart);
    CKPluginManager* pm = CKGetPluginManager();
    pm->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    pm->AddStaticDll("Render Engine", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1 << 20))
        return 0;
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_PATCHMESH, nullptr);
    if (data[0] & 2) {
        if (!chunk->ConvertFromBuffer(data + 1, (int) size - 1)) {
            CKDeleteStateChunk(chunk);
            return 0;
        }
    } else {
        chunk->StartWrite();
        chunk->WriteIdentifier((data[0] & 1) ? CK_STATESAVE_PATCHMESHDATA_OLD : CK_STATESAVE_PATCHMESHDATA);
        for (size_t at = 1; at + 4 <= size; at += 4) {
            CKDWORD word;
            std::memcpy(&word, data + at, 4);
            chunk->WriteDword(word);
        }
        chunk->CloseChunk();
        chunk->SetDataVersion(CK_MESH_DATAVERSION);
    }

    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr) != 0) {
        CKDeleteStateChunk(chunk);
        return 0;
    }
    auto* mesh = static_cast<RCKPatchMesh*>(context->CreateObject(CKCID_PATCHMESH, "fuzzed"));
    if (mesh) {
        mesh->Load(chunk, nullptr);
        mesh->LoadVertices(chunk);
        mesh->SetIterationCount((data[0] >> 2) & 7);
        mesh->BuildRenderMesh();
        (void) mesh->GetMemoryOccupation();
        QxIntRect rect{0, 0, 64, 64};
        auto* manager = static_cast<RCKRenderManager*>(context->GetRenderManager());
        auto* rc = static_cast<RCKRenderContext*>(manager->CreateRenderContext(nullptr, 1, &rect));
        if (rc) {
            CKDrawPrimitiveData draw;
            if (mesh->UpdateRenderData(rc, draw))
                mesh->EndDraw();
        }
        CKDeleteStateChunk(CKSaveObjectState(mesh));
        context->DestroyObject(mesh);
    }
    CKDeleteStateChunk(chunk);
    CKCloseContext(context);
    return 0;
}
