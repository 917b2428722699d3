// Loads arbitrary bytes into a mesh as its state chunk, then asks for its
// materials, draws half its progressive mesh (when it has one), builds and
// fills its render data on the recording rasterizer and saves it again
// with its render data; then merges its vertices, removes its degenerate
// faces, draws and saves once more.
//
// Input: a control byte (bit 0: data version 9, else 10; bit 1: the rest is
// a serialised state chunk; otherwise the second byte picks one of the
// mesh's section identifiers and the rest are that section's words, loaded
// into a small mesh of four vertices and two faces).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

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
#include "render/mesh/RCKMesh.h"

namespace {

const CKDWORD kIds[] = {CK_STATESAVE_MESHFLAGS,      CK_STATESAVE_MESHMATERIALS,    CK_STATESAVE_MESHFACES,
                        CK_STATESAVE_MESHFACES32,    CK_STATESAVE_MESHLINES,        CK_STATESAVE_MESHLINES32,
                        CK_STATESAVE_MESHVERTICES,   CK_STATESAVE_MESHCHANNELS,     CK_STATESAVE_MESHCHANNELDATA,
                        CK_STATESAVE_MESHWEIGHTS,    CK_STATESAVE_MESHBLENDSHAPES,  CK_STATESAVE_MESHFACECHANMASK,
                        CK_STATESAVE_MESHRENDERDATA, CK_STATESAVE_MESHRENDERDATA32, CK_STATESAVE_MESHPROGRESSIVE};

} // namespace

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
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_MESH, nullptr);
    if (data[0] & 2) {
        if (!chunk->ConvertFromBuffer(data + 1, (int) size - 1)) {
            CKDeleteStateChunk(chunk);
            return 0;
        }
    } else {
        if (size < 2) {
            CKDeleteStateChunk(chunk);
            return 0;
        }
        chunk->StartWrite();
        chunk->WriteIdentifier(kIds[data[1] % std::size(kIds)]);
        for (size_t at = 2; at + 4 <= size; at += 4) {
            CKDWORD word;
            std::memcpy(&word, data + at, 4);
            chunk->WriteDword(word);
        }
        chunk->CloseChunk();
    }
    chunk->SetDataVersion((data[0] & 1) ? 9 : CK_MESH_DATAVERSION);

    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr) != 0) {
        CKDeleteStateChunk(chunk);
        return 0;
    }
    auto* mesh = static_cast<RCKMesh*>(context->CreateObject(CKCID_MESH, "fuzzed"));
    if (mesh) {
        mesh->SetVertexCount(4);
        mesh->SetFaceCount(2);
        mesh->SetFaceVertexIndex(0, 0, 1, 2);
        mesh->SetFaceVertexIndex(1, 2, 1, 3);
        mesh->Load(chunk, nullptr);
        (void) mesh->GetMaterialCount();
        (void) mesh->GetRadius();
        QxIntRect rect{0, 0, 64, 64};
        auto* manager = static_cast<RCKRenderManager*>(context->GetRenderManager());
        manager->GetSettings().SaveOptimizedMesh = 1;
        auto* rc = static_cast<RCKRenderContext*>(manager->CreateRenderContext(nullptr, 1, &rect));
        auto draw = [&] {
            mesh->UpdatePMGeometry();
            CKDrawPrimitiveData primitives;
            if (rc && mesh->UpdateRenderData(rc, primitives))
                mesh->EndDraw();
        };
        if (mesh->IsPM()) {
            draw();
            mesh->SetVerticesRendered(mesh->GetVerticesRendered() / 2);
            (void) mesh->GetPMRenderedVertex(mesh->GetVertexCount() - 1);
        }
        draw();
        CKDeleteStateChunk(CKSaveObjectState(mesh));
        mesh->Consolidate();
        mesh->RemoveDegenerateFaces();
        draw();
        CKDeleteStateChunk(CKSaveObjectState(mesh));
        context->DestroyObject(mesh);
    }
    CKDeleteStateChunk(chunk);
    CKCloseContext(context);
    return 0;
}
