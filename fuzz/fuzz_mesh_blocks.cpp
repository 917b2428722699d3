// Runs the 20 mesh-changing blocks with inputs drawn from the bytes: the
// block, its version, every input parameter's bytes (objects taken from a
// small scene, or none), the mesh it works on (the scene's, flattened,
// emptied or filled with any floats, not a number and huge values
// included), and a frame that may lack its scene or render context or whose
// target is missing. Each block runs up to three times, its callback hears
// the messages an engine sends it, and the scene goes away cleanly.
//
// Input: block index, version choice, mesh choice, frame choice, then the
// bytes the inputs and the mesh values are read from.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/behavior/CKBehaviorIO.h"
#include "core/behavior/CKObjectDeclaration.h"
#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CK2dCurve.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "includes/CKByteOrder.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKLight.h"
#include "tools/blockharness/BlockHarness.h"
#include "tools/blockharness/BlockWorld.h"

namespace {

const CKGUID kBlocks[20] = {
    CKGUID(0x696353B2, 0x40667087), CKGUID(0x1D8E2716, 0x64F47239), CKGUID(0x4BF4352E, 0x6C786DB2),
    CKGUID(0x15A14196, 0x69530840), CKGUID(0x053A5BE9, 0x78CC3E15), CKGUID(0x7C9A7008, 0x6B0F1D1F),
    CKGUID(0x002D010A, 0x003D010A), CKGUID(0xFF0D010A, 0x001D010A), CKGUID(0x3918083F, 0x77D70F5C),
    CKGUID(0x45123704, 0x72F25769), CKGUID(0x53DA65C4, 0x6F0F194A), CKGUID(0x50C12830, 0x18033A52),
    CKGUID(0x38677C72, 0x4F4715CB), CKGUID(0x22D774F6, 0x4AC542C3), CKGUID(0x0E971A6B, 0x210F703A),
    CKGUID(0x75B066AF, 0x70371B90), CKGUID(0x32145678, 0x32145678), CKGUID(0x5F6428F2, 0x04E55C7A),
    CKGUID(0x08032EBC, 0x791960C9), CKGUID(0x31CE61CD, 0x69A44BEB),
};

// Counts a mesh is asked to grow to stay small enough to run quickly.
constexpr int kLargestCount = 5000;

uint8_t Byte(ByteReader& r)
{
    uint8_t v = 0;
    r.Read8(v);
    return v;
}

// An object of the world chosen by a byte, or none.
CKObject* PickObject(const BlockWorld& w, uint8_t b)
{
    CKObject* pool[] = {nullptr,
                        w.Object,
                        w.PatchObject,
                        w.Joined,
                        w.Bare,
                        w.Loose,
                        w.Material,
                        w.Texture,
                        w.Light,
                        w.Scene,
                        w.Level,
                        w.Object->GetCurrentMesh(),
                        w.Joined->GetCurrentMesh()};
    return pool[b % (sizeof pool / sizeof pool[0])];
}

// Input n of the behaviour from the bytes; counts kept small when asked.
void FillInput(const BlockWorld& w, CKBehavior* b, int n, ByteReader& r, bool smallCounts)
{
    const uint8_t how = Byte(r);
    if (how % 8 == 0) {
        ClearBlockInput(b, n);
        return;
    }
    CKParameterIn* in = b->GetInputParameter(n);
    if (!in)
        return;
    const CKGUID type = in->GetGUID();
    if (CKParameter* source = BlockInputSource(b, n)) {
        if (source->GetParameterClassID() != 0) {
            SetBlockInputObject(b, n, PickObject(w, Byte(r)));
        } else if (type == CKPGUID_2DCURVE) {
            CK2dCurve* curve = nullptr;
            if (source->GetValue(&curve) == 0 && curve) {
                const int points = Byte(r) % 6;
                curve->Resize(points);
                for (int i = 0; i < points; ++i) {
                    float x = 0.0f, y = 0.0f;
                    r.ReadFloat(x);
                    r.ReadFloat(y);
                    if (CK2dCurvePoint* p = curve->GetControlPoint(i))
                        p->SetPosition(Qx2DVector(x, y));
                }
                curve->Update();
            }
        } else if (!CKIsPointerParameterType(source->GetTypeDesc()) && source->GetDataSize() > 0 &&
                   source->GetDataSize() <= 64) {
            uint8_t bytes[64] = {};
            r.ReadBytes(bytes, (size_t) source->GetDataSize());
            // Counts that would have a mesh allocate without end are kept
            // small: the blocks pass them on to the mesh.
            if (type == CKPGUID_INT && source->GetDataSize() == 4) {
                int32_t v = (int32_t) LoadLE32(bytes);
                if (v > kLargestCount && (smallCounts || (how & 0x10)))
                    StoreLE32(bytes, (uint32_t) (v % kLargestCount));
            }
            SetBlockInput(b, n, bytes, source->GetDataSize());
        }
    }
    // Another type now and then: a hostile file may give an input any.
    if (how % 8 == 7)
        in->SetGUID(how & 0x40 ? CKPGUID_INT : CKPGUID_VECTOR);
}

// The mesh the block works on, made degenerate as the byte asks.
void ShapeMesh(CKMesh* mesh, uint8_t how, ByteReader& r)
{
    if (!mesh)
        return;
    switch (how % 6) {
    case 0: break;
    case 1: // flat along z
        for (int i = 0; i < mesh->GetModifierVertexCount(); ++i) {
            QxVector p;
            mesh->GetModifierVertex(i, &p);
            p.z = 0.0f;
            mesh->SetModifierVertex(i, p);
        }
        mesh->ModifierVertexMove(TRUE, TRUE);
        break;
    case 2: // every value from the bytes
        for (int i = 0; i < mesh->GetModifierVertexCount() && r.Remaining() >= 12; ++i) {
            QxVector p;
            r.ReadFloat(p.x);
            r.ReadFloat(p.y);
            r.ReadFloat(p.z);
            mesh->SetModifierVertex(i, p);
        }
        mesh->ModifierVertexMove(FALSE, FALSE);
        break;
    case 3: // no vertices left, faces still naming them
        mesh->SetVertexCount(Byte(r) % 4);
        break;
    case 4: // not a number and huge values here and there
        for (int i = 0; i < mesh->GetModifierVertexCount(); i += 3) {
            const float odd[] = {NAN, INFINITY, -3e38f, 1e-40f};
            mesh->SetModifierVertex(i, QxVector(odd[i % 4], odd[(i + 1) % 4], odd[(i + 2) % 4]));
        }
        break;
    default: // a single point
        mesh->SetVertexCount(1);
        mesh->SetFaceCount(Byte(r) % 3);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    RegisterBlockPlugins();
    std::atexit([] { CKShutdown(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4 || size > (1 << 14))
        return 0;
    ByteReader r(data, size);
    const CKGUID guid = kBlocks[Byte(r) % 20];
    const uint8_t versionChoice = Byte(r);
    const uint8_t meshChoice = Byte(r);
    const uint8_t frameChoice = Byte(r);
    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr, nullptr) != 0)
        return 0;
    BlockWorld w = MakeBlockWorld(context);
    const CKDWORD versions[] = {0, 0x10000, 0x20000, 0x30000, 0x5};
    CKBehaviorPrototype* prototype = CKFindPrototypeByGuid(guid);
    CKBehavior* b = nullptr;
    if (prototype)
        b = CreateBlock(context, guid, nullptr, versions[versionChoice % 5]);
    if (b) {
        CKBeObject* owner = BlockWorldOwner(w, b->GetCompatibleClassID());
        if (frameChoice & 0x10)
            owner->AddScript(b);
        SetBlockTarget(b, (frameChoice & 0x20) ? PickObject(w, frameChoice) : owner);
        if (CKObject* target = b->GetTarget()) {
            CKMesh* mesh = CKIsChildClassOfObject(target, CKCID_MESH) ? static_cast<CKMesh*>(target)
                           : CKIsChildClassOfObject(target, CKCID_3DENTITY)
                               ? static_cast<CK3dEntity*>(target)->GetCurrentMesh()
                               : nullptr;
            ShapeMesh(mesh, meshChoice, r);
        }
        SendBlockMessage(b, CKM_BEHAVIORATTACH);
        // The count blocks hand their count to the mesh, which allocates it.
        const bool counts = guid == kBlocks[2] || guid == kBlocks[3];
        for (int n = 0; n < b->GetInputParameterCount(); ++n)
            FillInput(w, b, n, r, counts);
        // Settings and locals too, now and then.
        for (int n = 0; n < b->GetLocalParameterCount(); ++n) {
            CKParameterLocal* local = b->GetLocalParameter(n);
            const uint8_t how = Byte(r);
            if (local && (how & 1) && !CKIsPointerParameterType(local->GetTypeDesc()) &&
                local->GetParameterClassID() == 0) {
                const int bytes = (how >> 1) % 4 == 0 ? 0 : (int) (Byte(r) % 128) + 1;
                uint8_t buffer[128] = {};
                r.ReadBytes(buffer, (size_t) bytes);
                if (bytes > 0)
                    local->SetValue(buffer, local->GetGUID() == CKPGUID_VOIDBUF ? bytes : local->GetDataSize());
            }
        }
        SendBlockMessage(b, CKM_BEHAVIORSETTINGSEDITED);
        SendBlockMessage(b, CKM_BEHAVIOREDITED);
        BlockFrame frame;
        frame.RenderContext = (frameChoice & 1) ? nullptr : w.Dev;
        frame.Scene = (frameChoice & 2) ? nullptr : w.Scene;
        if (frameChoice & 2)
            context->SetCurrentLevel(nullptr);
        const float deltas[] = {20.0f, 0.0f, -16.0f, 1e9f, NAN};
        for (int run = 0; run < 1 + (frameChoice >> 6); ++run) {
            frame.DeltaTime = deltas[(frameChoice >> 2) % 5];
            for (int i = 0; i < b->GetInputCount(); ++i)
                b->ActivateInput(i, (Byte(r) >> i) & 1);
            RunBlock(b, frame);
            if (w.Dev)
                RunFrame(w.Dev, {w.Object, w.PatchObject, w.Joined, w.Bare});
        }
        for (CKDWORD message : {CKM_BEHAVIORPRESAVE, CKM_BEHAVIORPOSTSAVE, CKM_BEHAVIORPAUSE, CKM_BEHAVIORRESUME,
                                CKM_BEHAVIORNEWSCENE, CKM_BEHAVIORRESET, CKM_BEHAVIORLOAD, CKM_BEHAVIORDETACH})
            SendBlockMessage(b, message);
        context->DestroyObject(b);
    }
    CKCloseContext(context);
    return 0;
}
