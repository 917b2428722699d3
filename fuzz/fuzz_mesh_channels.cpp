// Drives a mesh through a sequence of channel, blend-shape, renumbering and
// progressive-mesh operations chosen by the input, checking after each that
// the channel buffers keep their type's stride and the progressive mesh one
// collapse target a vertex, each of lower number, and that a save whose
// faces and lines fit the vertices loads back into a fresh mesh.
//
// Input: a sequence of 4-byte operations (opcode, then three argument
// bytes).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "render/context/CKRenderEngine.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKProgressiveMesh.h"
#include "render/mesh/RCKMesh.h"

namespace {

// Shrinking the vertex count leaves faces and lines past it (they are not
// drawn); such a mesh saves a section its load refuses.
bool IndicesFit(RCKMesh* mesh)
{
    const int n = mesh->GetVertexCount();
    for (int i = 0; i < mesh->GetFaceCount() * 3; ++i)
        if ((int) mesh->GetFacesIndices()[i] >= n)
            return false;
    for (int i = 0; i < mesh->GetLineCount() * 2; ++i)
        if ((int) mesh->GetLineIndices()[i] >= n)
            return false;
    // Blend shapes are taken as given, and may name vertices a later
    // count change removed.
    const CKBlendShapeData& shapes = mesh->BlendShapes();
    for (const CKBlendShapeTarget& t : shapes.Targets)
        for (const CKBlendShapeDelta& d : t.Deltas)
            if ((int) d.Vertex >= n)
                return false;
    for (const CKBlendShapeBaseVertex& b : shapes.BaseVertices)
        if ((int) b.Vertex >= n)
            return false;
    return true;
}

void Check(RCKMesh* mesh)
{
    for (int c = 0; c < mesh->GetChannelCount(); ++c) {
        CKDWORD stride = 0;
        if (mesh->GetTextureCoordinatesPtr(&stride, c) && (int) stride != CKChannelTypeStride(mesh->GetChannelType(c)))
            std::abort();
    }
    if (const CKProgressiveMesh* pm = mesh->GetProgressiveMesh()) {
        const std::vector<int>& targets = pm->GetCollapseTargets();
        if ((int) targets.size() != mesh->GetVertexCount())
            std::abort();
        for (size_t v = 0; v < targets.size(); ++v)
            if (targets[v] < -1 || targets[v] >= (int) v)
                std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    CKPluginManager* pm = CKGetPluginManager();
    pm->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    pm->AddStaticDll("Render Engine", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr) != 0)
        return 0;
    auto* mesh = static_cast<RCKMesh*>(context->CreateObject(CKCID_MESH, "fuzzed"));
    CKMaterial* materials[2] = {static_cast<CKMaterial*>(context->CreateObject(CKCID_MATERIAL, "a")),
                                static_cast<CKMaterial*>(context->CreateObject(CKCID_MATERIAL, "b"))};
    for (size_t at = 0; at + 4 <= size; at += 4) {
        const uint8_t op = data[at], a = data[at + 1], b = data[at + 2], c = data[at + 3];
        const int n = mesh->GetVertexCount();
        switch (op % 16) {
        case 0: mesh->SetVertexCount(a % 40); break;
        case 1:
            mesh->SetVertexPosition(a % (n + 1), QxVector((float) (b % 4), (float) (c % 4), (float) (b / 64)));
            break;
        case 2: mesh->SetFaceCount(a % 20); break;
        case 3:
            if (n > 0)
                mesh->SetFaceVertexIndex(a % (mesh->GetFaceCount() + 1), b % n, c % n, (b + c) % n);
            break;
        case 4: mesh->AddChannelEx(a & 1 ? materials[b & 1] : nullptr, c & 1, c % 6); break;
        case 5: mesh->RemoveChannel(a % 4); break;
        case 6: mesh->SetChannelType(a % 4, b % 6, c & 1); break;
        case 7: mesh->SetChannelFlags(a % 4, (CKDWORD) b << 16 | (CKDWORD) c); break;
        case 8: {
            const float values[4] = {(float) a, (float) b, (float) c, 1.0f};
            mesh->SetChannelData(a % (n + 1), b % 4, values);
            break;
        }
        case 9: {
            CKBlendShapeData shapes;
            shapes.Names.PushBack(XString("s"));
            CKBlendShapeTarget target;
            target.Deltas.PushBack(CKBlendShapeDelta{(CKDWORD) (n ? a % n : 0), QxVector(0, 1, 0), QxVector()});
            shapes.Targets.PushBack(target);
            if (n > 0)
                shapes.BaseVertices.PushBack(CKBlendShapeBaseVertex{(CKDWORD) (b % n), QxVector(), QxVector()});
            mesh->SetBlendShapes(shapes);
            const float weight = (float) c / 255.0f;
            mesh->ApplyBlendShapes(nullptr, nullptr, &weight, 1);
            break;
        }
        case 10: mesh->DissociateAllFaces(); break;
        case 11: mesh->Consolidate(); break;
        case 12: mesh->RemoveDegenerateFaces(); break;
        case 14:
            if (a & 1)
                mesh->DestroyPM();
            else
                mesh->CreatePM();
            mesh->SetVerticesRendered(b % (n + 1));
            mesh->EnablePMGeoMorph(c & 1);
            mesh->SetPMGeoMorphStep(c >> 5);
            break;
        case 15:
            mesh->UpdatePMGeometry();
            mesh->BuildMaterialGroups();
            if (mesh->GetPMRenderedVertex(a % (n + 1)) >= mesh->GetVerticesRendered() && a % (n + 1) < n)
                std::abort();
            break;
        default: mesh->SetFlags(mesh->GetFlags() ^ CKMESH_TANGENTS); break;
        }
        Check(mesh);
    }
    CKStateChunk* chunk = CKSaveObjectState(mesh);
    auto* loaded = static_cast<RCKMesh*>(context->CreateObject(CKCID_MESH, "loaded"));
    const bool fit = IndicesFit(mesh);
    if (loaded->Load(chunk, nullptr) != CKErr::Ok && fit)
        std::abort();
    if (!IndicesFit(loaded))
        std::abort();
    Check(loaded);
    CKDeleteStateChunk(chunk);
    CKCloseContext(context);
    return 0;
}
