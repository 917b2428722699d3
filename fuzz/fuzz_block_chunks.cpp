// Loads arbitrary bytes, read as a serialised state chunk, into a behaviour
// of one of the 30 blocks of the mesh plug-in (its inputs, locals and
// settings made from the prototype, on an owner of a small scene) and into
// its locals, whose values are what the blocks read of a file; then sends
// it what the engine sends after a load: the load message, an attach, a
// copy and a deletion, with a run of its function and a frame between.
//
// Input: a control byte (bits 0-4: the block, in declaration order; bit 5:
// load the behaviour with a file; bit 6: run the function; bit 7: the older
// version), then the chunk: a count, then sub-chunks, the behaviour's state
// first, then each local's in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/behavior/CKObjectDeclaration.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKDependencies.h"
#include "core/parameter/CKParameterLocal.h"
#include "includes/XArray.h"
#include "lod/blocks/MeshBlockDeclarations.h"
#include "tools/blockharness/BlockHarness.h"
#include "tools/blockharness/BlockWorld.h"

namespace {

// The 30 blocks' GUIDs, in declaration order.
XArray<CKGUID>& Blocks()
{
    static XArray<CKGUID> guids;
    return guids;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    RegisterBlockPlugins();
    XArray<CKObjectDeclaration*> declarations;
    CKRegisterLodBehaviorDeclarations(declarations);
    for (CKObjectDeclaration* d : declarations) {
        Blocks().PushBack(d->GetGuid());
        delete d;
    }
    std::atexit([] {
        Blocks().Free();
        CKShutdown();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1 << 20) || Blocks().Size() == 0)
        return 0;
    const uint8_t control = data[0];
    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr, nullptr) != 0)
        return 0;
    BlockWorld w = MakeBlockWorld(context);
    const CKGUID guid = Blocks()[(control & 31) % Blocks().Size()];
    CKBehavior* b = CreateBlock(context, guid, nullptr, (control & 0x80) ? 0x10000 : 0);
    CKStateChunk* chunk = CKCreateStateChunk(0);
    if (b && chunk->ConvertFromBuffer(data + 1, (int) size - 1)) {
        CKBeObject* owner = BlockWorldOwner(w, b->GetCompatibleClassID());
        SetBlockTarget(b, owner);
        chunk->StartRead();
        const int parts = chunk->ReadInt();
        for (int i = -1; i + 1 < parts && i < 64 && chunk->GetReadError() == 0; ++i) {
            CKStateChunk* part = chunk->ReadSubChunk();
            CKObject* into = i < 0 ? static_cast<CKObject*>(b) : b->GetLocalParameter(i);
            if (part && into) {
                CKFile* file = (i < 0 && (control & 0x20)) ? context->CreateCKFile() : nullptr;
                into->Load(part, file);
                if (file)
                    context->DeleteCKFile(file);
            }
            CKDeleteStateChunk(part);
        }
        b->ModifyFlags(CKBEHAVIOR_POSTLOADFIX, 0);
        b->PostLoad();
        b->FinishFileLoad();
        owner->AddScript(b);
        SendBlockMessage(b, CKM_BEHAVIORSETTINGSEDITED);
        if (control & 0x40) {
            BlockFrame frame;
            frame.RenderContext = w.Dev;
            frame.Scene = w.Scene;
            b->ActivateInput(0, TRUE);
            RunBlock(b, frame);
            if (w.Dev)
                RunFrame(w.Dev, {w.Object, w.PatchObject, w.Joined});
        }
        // Saved again, copied, and deleted with what it made.
        CKDeleteStateChunk(CKSaveObjectState(b));
        CKDependencies all;
        all.m_Flags = CK_DEPENDENCIES_ALL;
        if (CKObject* copy = context->CopyObjects(b, &all))
            context->DestroyObject(copy);
        SendBlockMessage(b, CKM_BEHAVIORPRESAVE);
        SendBlockMessage(b, CKM_BEHAVIORPOSTSAVE);
        context->DestroyObject(b);
        if (w.Dev)
            RunFrame(w.Dev, {w.Object, w.PatchObject, w.Joined});
    }
    CKDeleteStateChunk(chunk);
    CKCloseContext(context);
    return 0;
}
