#include <cstring>

#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKBehaviorIO.h"
#include "core/behavior/CKBehaviorLink.h"
#include "core/behavior/CKBehaviorPrototype.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKGlobals.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObjectManager.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterOperation.h"
#include "core/parameter/CKParameterOut.h"
#include "system/log/QxLogManager.h"

namespace {

// The contents word of the saved form: which arrays follow, in this order.
constexpr CKDWORD kHasSubBehaviors = 0x100;
constexpr CKDWORD kHasLinks = 0x80000;
constexpr CKDWORD kHasOperations = 0x4000;
constexpr CKDWORD kHasInParameters = 0x200;
constexpr CKDWORD kHasOutParameters = 0x400;
constexpr CKDWORD kHasLocals = 0x20000;
constexpr CKDWORD kHasInputs = 0x800;
constexpr CKDWORD kHasOutputs = 0x1000;

// Bits of the flag word a file's data may not set in memory; the older form
// keeps the in-memory 0x4 and 0x10.
constexpr CKDWORD kLoadedFlags = 0xEF1FFFEA;
constexpr CKDWORD kLoadedFlagsOld = 0xEF1FFFFF;
// Files of data version 5 on write the flag word with what follows it.
constexpr int kDataVersionFlagWord = 5;
// A saved block version of 0 stands for the first one.
constexpr CKDWORD kFirstBlockVersion = 0x10000;
// Exactly these save flags save a copy's locals as values alone.
constexpr CKDWORD kCopyLocalsFlags = 0x20100;
constexpr CKDWORD kLocalValueFlags = 64;
// Save flags that ask more than the base sections of a chunk without file.
constexpr CKDWORD kStateFlags = 0x01FFFFF0;

// Names a prototype gives its behaviours, except these, which their blocks
// rename.
bool KeepsOwnName(const char* prototypeName)
{
    static const char* const kRenamed[] = {"Particle Systems", "Eval", "Run KSL"};
    for (const char* name : kRenamed)
        if (std::strcmp(prototypeName, name) == 0)
            return true;
    return false;
}

bool SameName(CKObject* object, const char* name)
{
    return object && name && object->GetName() && std::strcmp(object->GetName(), name) == 0;
}

// The objects of the chunk's next sequence that are of the class.
XObjectPointerArray ReadListOf(CKStateChunk* chunk, CKContext* context, CK_CLASSID cid)
{
    XObjectPointerArray list;
    XObjectPointerArray read = chunk->ReadXObjectPointerArray(context);
    for (CKObject* object : read)
        if (object && CKIsChildClassOfObject(object, cid) && !list.IsHere(object))
            list.PushBack(object);
    return list;
}

void LogDropped(CKBehavior* behavior, int count)
{
    QxGetLogManager()
        ->SetContext(CKGetLogSourceId(), QXLOG_WARNING, __LINE__, "CKBehavior")
        ->Log("Behavior %s: %d sub-behavior(s) in another graph, above it or too deep dropped",
              behavior->GetName() ? behavior->GetName() : "", count);
}

} // namespace

void CKBehavior::PreSave(CKFile* file, CKDWORD flags)
{
    CKSceneObject::PreSave(file, flags);
    if (!file)
        return;
    auto saveAll = [&](const XObjectPointerArray& list) {
        for (CKObject* object : list)
            file->SaveObject(object, 0xFFFFFFFF);
    };
    if (m_Graph) {
        saveAll(m_Graph->m_SubBehaviors);
        saveAll(m_Graph->m_Links);
        saveAll(m_Graph->m_Operations);
    }
    saveAll(m_Inputs);
    saveAll(m_Outputs);
    saveAll(m_InParameters);
    saveAll(m_OutParameters);
    saveAll(m_LocalParameters);
    file->SaveObject(GetTargetParameter(), 0xFFFFFFFF);
}

CKStateChunk* CKBehavior::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKSceneObject::Save(file, flags);
    if (!file && !(flags & kStateFlags))
        return base;
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_BEHAVIOR, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);
    if (!file) {
        SaveWithoutFile(chunk, flags);
    } else {
        if (m_Context && m_Context->IsInInterfaceMode()) {
            chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORINTERFACE);
            chunk->WriteSubChunk(m_InterfaceChunk);
        }
        // The in-memory meanings of 0x4 and 0x10 go first: in the saved word
        // they announce a priority and a class.
        CKDWORD word = m_Flags & ~(CKBEHAVIOR_PRIORITYSAVED | CKBEHAVIOR_COMPATIBLECLASSSAVED | CKBEHAVIOR_NEVERSAVED);
        if (!(word & CKBEHAVIOR_BUILDINGBLOCK))
            word &= ~CKBEHAVIOR_INHERITFROMPROTOTYPE;
        if (m_Priority != 0)
            word |= CKBEHAVIOR_PRIORITYSAVED;
        if (m_CompatibleClassID != CKCID_BEOBJECT)
            word |= CKBEHAVIOR_COMPATIBLECLASSSAVED;
        chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORNEWDATA);
        chunk->WriteDword(word);
        if (word & CKBEHAVIOR_BUILDINGBLOCK) {
            chunk->WriteGuid(GetPrototypeGuid());
            chunk->WriteDword(GetVersion());
        }
        if (word & CKBEHAVIOR_PRIORITYSAVED)
            chunk->WriteInt(m_Priority);
        if (word & CKBEHAVIOR_COMPATIBLECLASSSAVED)
            chunk->WriteInt(m_CompatibleClassID);
        if (word & CKBEHAVIOR_TARGETABLE)
            chunk->WriteObject(GetTargetParameter());

        static XObjectPointerArray none;
        const XObjectPointerArray* lists[] = {
            m_Graph ? &m_Graph->m_SubBehaviors : &none,
            m_Graph ? &m_Graph->m_Links : &none,
            m_Graph ? &m_Graph->m_Operations : &none,
            &m_InParameters,
            &m_OutParameters,
            &m_LocalParameters,
            &m_Inputs,
            &m_Outputs,
        };
        const CKDWORD bits[] = {kHasSubBehaviors,  kHasLinks,  kHasOperations, kHasInParameters,
                                kHasOutParameters, kHasLocals, kHasInputs,     kHasOutputs};
        CKDWORD contents = 0;
        for (int i = 0; i < 8; ++i)
            if (lists[i]->Size() > 0)
                contents |= bits[i];
        chunk->WriteDword(contents);
        for (const XObjectPointerArray* list : lists)
            if (list->Size() > 0)
                list->Save(chunk);

        const CKBeObjectLinks& links = CKGetBeObjectLinks();
        if (!file->m_SceneSaved && links.GetCurrentScene && links.SceneHoldsObject && links.GetObjectSceneSaveFlags)
            if (CKScene* scene = links.GetCurrentScene(m_Context))
                if (links.SceneHoldsObject(scene, this)) {
                    chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORSCENEFLAGS);
                    chunk->WriteDword(links.GetObjectSceneSaveFlags(scene, this));
                }
    }
    if (GetClassID() == CKCID_BEHAVIOR)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

void CKBehavior::SaveWithoutFile(CKStateChunk* chunk, CKDWORD flags)
{
    if ((flags & 0x100) && GetSubBehaviorCount() > 0) {
        chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORSUBBEHAV);
        chunk->WriteInt(GetSubBehaviorCount());
        for (int i = 0; i < GetSubBehaviorCount(); ++i) {
            CKBehavior* sub = GetSubBehavior(i);
            chunk->WriteObject(sub);
            CKStateChunk* state = sub ? CKSaveObjectState(sub, flags) : nullptr;
            chunk->WriteSubChunk(state);
            CKDeleteStateChunk(state);
        }
    }
    if (GetType() == 0 || !(flags & CK_STATESAVE_BEHAVIORLOCALS))
        return;
    chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORLOCALS);
    chunk->WriteInt(m_LocalParameters.Size());
    const CKDWORD localFlags = flags == kCopyLocalsFlags ? kLocalValueFlags : 0xFFFFFFFF;
    for (CKObject* local : m_LocalParameters) {
        chunk->WriteObject(local);
        CKStateChunk* state = local ? CKSaveObjectState(local, localFlags) : nullptr;
        chunk->WriteSubChunk(state);
        CKDeleteStateChunk(state);
    }
}

bool CKBehavior::AdoptLoadedSubBehavior(CKBehavior* sub)
{
    // A behaviour belongs to one graph and never to one below it: parents
    // are set as graphs load, so a ring or a second graph shows here.
    if (sub == this || (sub->m_Parent && sub->m_Parent != m_ID))
        return false;
    bool above = false;
    if (CountAncestors(sub, above) >= kMaxGraphDepth || above)
        return false;
    sub->m_Parent = m_ID;
    return true;
}

void CKBehavior::LoadFileArrays(CKStateChunk* chunk, CKDWORD contents)
{
    struct
    {
        CKDWORD bit;
        CK_CLASSID cid;
        XObjectPointerArray* list;
    } arrays[] = {
        {kHasSubBehaviors, CKCID_BEHAVIOR, m_Graph ? &m_Graph->m_SubBehaviors : nullptr},
        {kHasLinks, CKCID_BEHAVIORLINK, m_Graph ? &m_Graph->m_Links : nullptr},
        {kHasOperations, CKCID_PARAMETEROPERATION, m_Graph ? &m_Graph->m_Operations : nullptr},
        {kHasInParameters, CKCID_PARAMETERIN, &m_InParameters},
        {kHasOutParameters, CKCID_PARAMETEROUT, &m_OutParameters},
        {kHasLocals, CKCID_PARAMETERLOCAL, &m_LocalParameters},
        {kHasInputs, CKCID_BEHAVIORIO, &m_Inputs},
        {kHasOutputs, CKCID_BEHAVIORIO, &m_Outputs},
    };
    for (auto& a : arrays) {
        if (!(contents & a.bit))
            continue;
        // A building block reads past graph arrays a file gives it.
        XObjectPointerArray read = ReadListOf(chunk, m_Context, a.cid);
        if (a.list)
            *a.list = read;
    }
}

void CKBehavior::LoadOldArrays(CKStateChunk* chunk)
{
    struct
    {
        CKDWORD id;
        CK_CLASSID cid;
        XObjectPointerArray* list;
    } arrays[] = {
        {CK_STATESAVE_BEHAVIORSUBBEHAV, CKCID_BEHAVIOR, m_Graph ? &m_Graph->m_SubBehaviors : nullptr},
        {CK_STATESAVE_BEHAVIORLINKS, CKCID_BEHAVIORLINK, m_Graph ? &m_Graph->m_Links : nullptr},
        {CK_STATESAVE_BEHAVIOROPERATIONS, CKCID_PARAMETEROPERATION, m_Graph ? &m_Graph->m_Operations : nullptr},
        {CK_STATESAVE_BEHAVIORINPARAMS, CKCID_PARAMETERIN, &m_InParameters},
        {CK_STATESAVE_BEHAVIORLOCALS, CKCID_PARAMETERLOCAL, &m_LocalParameters},
        {CK_STATESAVE_BEHAVIOROUTPARAMS, CKCID_PARAMETEROUT, &m_OutParameters},
        {CK_STATESAVE_BEHAVIORINPUTS, CKCID_BEHAVIORIO, &m_Inputs},
        {CK_STATESAVE_BEHAVIOROUTPUTS, CKCID_BEHAVIORIO, &m_Outputs},
    };
    for (auto& a : arrays)
        if (a.list && chunk->SeekIdentifier(a.id))
            *a.list = ReadListOf(chunk, m_Context, a.cid);
}

CKERROR CKBehavior::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKSceneObject::Load(chunk, file);
    if (!file) {
        LoadWithoutFile(chunk);
    } else {
        m_Flags = 0;
        auto asInput = [&](CK_ID id) -> CK_ID {
            CKObject* object = id && m_Context ? m_Context->GetObject(id) : nullptr;
            return object && object->GetClassID() == CKCID_PARAMETERIN ? id : 0;
        };
        auto takeKind = [&](CKDWORD word, CKDWORD mask, CKGUID guid) {
            m_Flags = word & mask;
            if (word & CKBEHAVIOR_BUILDINGBLOCK) {
                UseFunction();
                m_BlockData->m_Guid = guid;
            } else {
                UseGraph();
                m_Flags |= CKBEHAVIOR_ACTIVATENEXTFRAME;
            }
        };
        if (chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORNEWDATA) && chunk->GetDataVersion() >= kDataVersionFlagWord) {
            CKDWORD word = chunk->ReadDword();
            CKGUID guid;
            CKDWORD version = 0;
            if (word & CKBEHAVIOR_BUILDINGBLOCK) {
                guid = chunk->ReadGuid();
                version = chunk->ReadDword();
            }
            takeKind(word, kLoadedFlags, guid);
            if (m_BlockData) {
                m_BlockData->m_Version = version;
                InitFromGuid(guid);
            }
            m_Priority = (word & CKBEHAVIOR_PRIORITYSAVED) ? chunk->ReadInt() : 0;
            m_CompatibleClassID = (word & CKBEHAVIOR_COMPATIBLECLASSSAVED) ? chunk->ReadInt() : CKCID_BEOBJECT;
            m_Target = (word & CKBEHAVIOR_TARGETABLE) ? asInput(chunk->ReadObjectID()) : 0;
            LoadFileArrays(chunk, chunk->ReadDword());
        } else if (chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORNEWDATA)) {
            CKGUID guid = chunk->ReadGuid();
            takeKind(chunk->ReadDword(), kLoadedFlagsOld, guid);
            if (m_BlockData)
                InitFromGuid(guid);
            m_CompatibleClassID = chunk->ReadInt();
            SetType(chunk->ReadInt());
            m_Priority = chunk->ReadInt();
            m_Owner = chunk->ReadObjectID();
            CKDWORD version = chunk->ReadDword();
            if (m_BlockData)
                m_BlockData->m_Version = version ? version : kFirstBlockVersion;
            m_Target = asInput(chunk->ReadObjectID());
            LoadOldArrays(chunk);
        } else {
            CKGUID guid;
            if (chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORPROTOGUID_OLD))
                guid = chunk->ReadGuid();
            CKDWORD word = chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORFLAGS_OLD) ? chunk->ReadDword() : 0;
            // The oldest files mark a building block with 0x8 alone.
            takeKind((word & CKBEHAVIOR_USEFUNCTION) ? word | CKBEHAVIOR_BUILDINGBLOCK
                                                     : word & ~CKBEHAVIOR_BUILDINGBLOCK,
                     kLoadedFlagsOld, guid);
            if (m_BlockData) {
                m_BlockData->m_Version = kFirstBlockVersion;
                InitFromGuid(guid);
            }
            m_CompatibleClassID =
                chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORCLASS_OLD) ? chunk->ReadInt() : CKCID_BEOBJECT;
            if (chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORTYPE_OLD))
                SetType(chunk->ReadInt());
            if (chunk->SeekIdentifier(CK_STATESAVE_BEHAVIOROWNER_OLD))
                m_Owner = chunk->ReadObjectID();
            m_Priority = chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORPRIORITY_OLD) ? chunk->ReadInt() : 0;
            m_Target = chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORTARGET_OLD) ? asInput(chunk->ReadObjectID()) : 0;
            LoadOldArrays(chunk);
        }
        if (m_Owner && !GetOwner())
            m_Owner = 0;
        if (m_Graph) {
            XObjectPointerArray& subs = m_Graph->m_SubBehaviors;
            int dropped = 0;
            for (int i = 0; i < subs.Size();) {
                if (AdoptLoadedSubBehavior(static_cast<CKBehavior*>(subs[i]))) {
                    ++i;
                } else {
                    subs.RemoveAt(i);
                    ++dropped;
                }
            }
            if (dropped > 0)
                LogDropped(this, dropped);
        }
        if (m_Context && m_Context->IsInInterfaceMode() && chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORINTERFACE))
            SetInterfaceChunk(chunk->ReadSubChunk());
        m_Flags &= ~CKBEHAVIOR_NEVERSAVED;
    }
    if (chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORSCENEFLAGS)) {
        CKDWORD value = chunk->ReadDword();
        if (m_Context && m_Context->GetObjectManager())
            m_Context->GetObjectManager()->SetObjectData(this, value);
    }
    return CKErr::Ok;
}

void CKBehavior::LoadWithoutFile(CKStateChunk* chunk)
{
    auto loadStates = [&](CKDWORD identifier, CK_CLASSID cid) {
        if (!chunk->SeekIdentifier(identifier))
            return;
        int count = chunk->ReadInt();
        for (int i = 0; i < count && chunk->GetReadError() == 0; ++i) {
            CKObject* object = chunk->ReadObject(m_Context);
            CKStateChunk* state = chunk->ReadSubChunk();
            if (state && object && object != this && CKIsChildClassOfObject(object, cid))
                object->Load(state, nullptr);
            CKDeleteStateChunk(state);
        }
    };
    loadStates(CK_STATESAVE_BEHAVIORSUBBEHAV, CKCID_BEHAVIOR);
    loadStates(CK_STATESAVE_BEHAVIORLOCALS, CKCID_PARAMETERLOCAL);
    CallCallbackFunction(CKM_BEHAVIORREADSTATE);
}

void CKBehavior::PostLoad()
{
    CKSceneObject::PostLoad();
    if (m_Flags & (CKBEHAVIOR_POSTLOADFIX | CKBEHAVIOR_SCRIPT))
        FixAfterLoad();
}

void CKBehavior::FixAfterLoad()
{
    CKBehaviorPrototype* prototype = GetPrototype();
    if (prototype && !KeepsOwnName(prototype->GetName()))
        SetName(prototype->GetName(), TRUE);
    if (CKParameterIn* target = GetTargetParameter())
        target->SetOwner(this);

    for (int i = 0; i < m_InParameters.Size(); ++i) {
        auto* in = static_cast<CKParameterIn*>(m_InParameters[i]);
        if (!in)
            continue;
        in->SetOwner(this);
        const char* declared = prototype ? prototype->GetInParameterName(i) : nullptr;
        if (!SameName(in, declared))
            continue;
        in->SetName(declared, TRUE);
        if (CKParameter* source = in->GetRealSource(); SameName(source, declared))
            source->SetName(declared, TRUE);
    }
    for (CKObject* out : m_OutParameters)
        if (out && !(out->GetObjectFlags() & CK_PARAMETEROUT_PARAMOP))
            static_cast<CKParameterOut*>(out)->SetOwner(this);
    for (CKObject* local : m_LocalParameters)
        if (local)
            static_cast<CKParameterLocal*>(local)->SetOwner(this);
    for (int i = 0; i < m_Inputs.Size(); ++i) {
        auto* io = static_cast<CKBehaviorIO*>(m_Inputs[i]);
        if (!io)
            continue;
        io->SetOwner(this);
        const char* declared = prototype ? prototype->GetInputName(i) : nullptr;
        if (SameName(io, declared))
            io->SetName(declared, TRUE);
    }
    for (int i = 0; i < m_Outputs.Size(); ++i) {
        auto* io = static_cast<CKBehaviorIO*>(m_Outputs[i]);
        if (!io)
            continue;
        io->SetOwner(this);
        const char* declared = prototype ? prototype->GetOutputName(i) : nullptr;
        if (SameName(io, declared))
            io->SetName(declared, TRUE);
        io->SortLinks();
    }
    if (!m_Graph)
        return;
    for (int i = 0; i < GetSubBehaviorCount(); ++i) {
        CKBehavior* sub = GetSubBehavior(i);
        if (!sub)
            continue;
        sub->m_Parent = m_ID;
        sub->m_Flags &= ~CKBEHAVIOR_POSTLOADFIX;
        sub->FixAfterLoad();
    }
    SortSubBehaviors();
    for (CKObject* object : m_Graph->m_Operations) {
        if (auto* operation = static_cast<CKParameterOperation*>(object)) {
            operation->SetOwner(this);
            operation->Update();
        }
    }
}
