#pragma once

// Seeds of the mesh-block fuzz targets for write_fuzz_seeds: the saved state
// of a behaviour of each of the 30 blocks and of its locals (made as the chunk target makes
// it, in a fresh context holding the same scene, so that the ids in the
// chunks agree), and a few inputs of the block-running target.

#include <cstdint>
#include <string>
#include <vector>

#include "core/behavior/CKObjectDeclaration.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKStartUp.h"
#include "core/parameter/CKParameterLocal.h"
#include "includes/CKByteOrder.h"
#include "includes/XArray.h"
#include "lod/blocks/MeshBlockDeclarations.h"
#include "tools/blockharness/BlockHarness.h"
#include "tools/blockharness/BlockWorld.h"

// The state of a behaviour and of each of its locals, as the chunk target
// reads them: a count, then one sub-chunk each (the behaviour's first).
inline std::vector<uint8_t> BlockStateBytes(CKBehavior* behavior)
{
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_BEHAVIOR);
    chunk->StartWrite();
    chunk->WriteInt(1 + behavior->GetLocalParameterCount());
    for (int i = -1; i < behavior->GetLocalParameterCount(); ++i) {
        CKObject* part = i < 0 ? static_cast<CKObject*>(behavior) : behavior->GetLocalParameter(i);
        CKStateChunk* state = CKSaveObjectState(part);
        chunk->WriteSubChunk(state);
        CKDeleteStateChunk(state);
    }
    chunk->CloseChunk();
    std::vector<uint8_t> bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    CKDeleteStateChunk(chunk);
    return bytes;
}

// put(target, name, bytes) writes one seed; the engine is started and its
// plug-ins registered by the caller.
template <class Put>
void WriteBlockSeeds(Put put, int& failures)
{
    XArray<CKObjectDeclaration*> declarations;
    CKRegisterLodBehaviorDeclarations(declarations);
    for (int i = 0; i < declarations.Size(); ++i) {
        const CKGUID guid = declarations[i]->GetGuid();
        for (const bool older : {false, true}) {
            if (older && declarations[i]->GetVersion() < 0x20000)
                continue;
            CKContext* context = nullptr;
            if (CKCreateContext(&context, nullptr, nullptr) != 0) {
                ++failures;
                continue;
            }
            BlockWorld w = MakeBlockWorld(context);
            CKBehavior* b = CreateBlock(context, guid, nullptr, older ? 0x10000 : 0);
            if (!b) {
                ++failures;
                CKCloseContext(context);
                continue;
            }
            CKBeObject* owner = BlockWorldOwner(w, b->GetCompatibleClassID());
            SetBlockTarget(b, owner);
            owner->AddScript(b);
            if (b->GetInputParameterCount() > 1 && declarations[i]->GetName() == std::string("Skin Join")) {
                SetBlockInputObject(b, 1, w.Joined);
                SendBlockMessage(b, CKM_BEHAVIOREDITED);
            }
            // An older deformer's saved positions, a few short of the mesh.
            if (older && b->GetLocalParameterCount() > 0) {
                std::vector<uint8_t> saved(12 * 50);
                for (size_t k = 0; k < saved.size() / 4; ++k)
                    StoreLEFloat(saved.data() + 4 * k, 0.01f * (float) k);
                const int local = declarations[i]->GetName() == std::string("Sine Deform") ? 1 : 0;
                b->SetLocalParameterValue(local, saved.data(), (int) saved.size());
            }
            BlockFrame frame;
            frame.RenderContext = w.Dev;
            frame.Scene = w.Scene;
            b->ActivateInput(0, TRUE);
            RunBlock(b, frame);
            std::vector<uint8_t> seed(1, (uint8_t) (i | 0x40 | (older ? 0x80 : 0)));
            const std::vector<uint8_t> state = BlockStateBytes(b);
            seed.insert(seed.end(), state.begin(), state.end());
            std::string name = declarations[i]->GetName();
            for (char& c : name)
                if (c == ' ')
                    c = '_';
            put("block_chunks", name + (older ? "_older" : ""), seed);
            CKCloseContext(context);
        }
    }
    for (CKObjectDeclaration* d : declarations)
        delete d;

    // The running target: block, version, mesh and frame choices, then
    // bytes for the inputs.
    for (int block = 0; block < 20; ++block) {
        std::vector<uint8_t> seed = {(uint8_t) block, (uint8_t) (block % 5), (uint8_t) (block % 6),
                                     (uint8_t) (block * 37)};
        for (int k = 0; k < 96; ++k)
            seed.push_back((uint8_t) (k * 29 + block));
        put("mesh_blocks", "block_" + std::to_string(block), seed);
    }
}
