// Loads arbitrary bytes, read as a serialised state chunk, into a behaviour
// of a small graph, a link, an IO, a synchronisation, critical-section or
// interface object, or the time manager, then fixes, saves, copies and
// deletes what was loaded. References in the chunk name the context's
// objects by their small ids, so a chunk can list a behaviour's own parent
// as its sub-behaviour.
//
// Input: a control byte (bits 0-2: the loader; bit 3: load with a file),
// then the chunk bytes.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKBehaviorIO.h"
#include "core/behavior/CKBehaviorLink.h"
#include "core/behavior/CKCriticalSectionObject.h"
#include "core/behavior/CKInterfaceObjectManager.h"
#include "core/behavior/CKSynchroObject.h"
#include "core/behavior/CKTimeManager.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKDependencies.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterOperation.h"

namespace {

template <class T>
T* Make(CKContext* context, CK_CLASSID cid, const char* name)
{
    return static_cast<T*>(context->CreateObject(cid, name));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1 << 20))
        return 0;
    CKContext* context = nullptr;
    CKCreateContext(&context, nullptr, nullptr);
    auto* owner = Make<CKBeObject>(context, CKCID_BEOBJECT, "Owner");
    auto* graph = Make<CKBehavior>(context, CKCID_BEHAVIOR, "Graph");
    graph->UseGraph();
    auto* a = Make<CKBehavior>(context, CKCID_BEHAVIOR, "A");
    auto* b = Make<CKBehavior>(context, CKCID_BEHAVIOR, "B");
    b->UseGraph();
    graph->AddSubBehavior(a);
    graph->AddSubBehavior(b);
    CKBehaviorIO* in = a->CreateInput("In");
    CKBehaviorIO* out = b->CreateOutput("Out");
    auto* link = Make<CKBehaviorLink>(context, CKCID_BEHAVIORLINK, "Link");
    link->SetInBehaviorIO(out);
    link->SetOutBehaviorIO(in);
    graph->AddSubBehaviorLink(link);
    a->CreateInputParameterByGuid("Amount", CKPGUID_FLOAT);
    a->CreateLocalParameter("Memory", CKPGUID_INT);
    graph->AddParameterOperation(Make<CKParameterOperation>(context, CKCID_PARAMETEROPERATION, "Op"));
    owner->AddScript(graph);
    auto* synchro = Make<CKSynchroObject>(context, CKCID_SYNCHRO, "Gate");
    auto* section = Make<CKCriticalSectionObject>(context, CKCID_CRITICALSECTION, "Section");
    auto* layout = Make<CKInterfaceObjectManager>(context, CKCID_INTERFACEOBJECTMANAGER, "Layout");
    context->SetInterfaceMode(TRUE, nullptr, nullptr);

    CKStateChunk* chunk = CKCreateStateChunk(0);
    if (chunk->ConvertFromBuffer(data + 1, (int) size - 1)) {
        CKFile* file = (data[0] & 8) ? context->CreateCKFile() : nullptr;
        switch (data[0] & 7) {
        case 0:
            a->Load(chunk, file);
            a->ModifyFlags(CKBEHAVIOR_POSTLOADFIX, 0);
            a->PostLoad();
            a->FinishFileLoad();
            break;
        case 1:
            graph->Load(chunk, file);
            graph->PostLoad();
            graph->FinishFileLoad();
            break;
        case 2:
            link->Load(chunk, file);
            link->PostLoad();
            break;
        case 3: in->Load(chunk, file); break;
        case 4: synchro->Load(chunk, file); break;
        case 5: section->Load(chunk, file); break;
        case 6: layout->Load(chunk, file); break;
        default: context->GetTimeManager()->LoadData(chunk, file); break;
        }
        if (file)
            context->DeleteCKFile(file);
        // What was loaded saves again, copies and goes away cleanly.
        for (CKObject* object : std::initializer_list<CKObject*>{graph, a, b, link, in, synchro, section, layout})
            CKDeleteStateChunk(CKSaveObjectState(object));
        graph->CallSubBehaviorsCallbackFunction(CKM_BEHAVIORPAUSE);
        graph->SetOwner(nullptr);
        CKDependencies dependencies;
        dependencies.m_Flags = CK_DEPENDENCIES_ALL;
        context->CopyObjects(graph, &dependencies);
        context->DestroyObject(a);
        context->DestroyObject(owner);
    }
    CKDeleteStateChunk(chunk);
    CKCloseContext(context);
    return 0;
}
