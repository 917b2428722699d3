#include "core/behavior/CKMessageManager.h"

#include <new>
#include <strings.h>

#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKBehaviorIO.h"
#include "core/behavior/CKMessage.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterLinks.h"
#include "core/scene/CKGroup.h"
#include "includes/XBitArray.h"
#include "system/log/QxLogManager.h"

namespace {

// Behaviour flags the delivery reads and changes.
constexpr CKDWORD kWaitingForMessage = 0x40;
constexpr CKDWORD kHasSomethingToProcess = 0x10;
// Parameters made for a message, destroyed with it.
constexpr CKDWORD kMessageParameterFlag = 0x08000000;

CKMessageManager* Manager(CKContext* context)
{
    return context ? context->GetMessageManager() : nullptr;
}

CKBeObject* AsBeObject(CKObject* object)
{
    return object && CKIsChildClassOfObject(object, CKCID_BEOBJECT) ? static_cast<CKBeObject*>(object) : nullptr;
}

CKGroup* AsGroup(CKObject* object)
{
    return object && CKIsChildClassOfObject(object, CKCID_GROUP) ? static_cast<CKGroup*>(object) : nullptr;
}

// The character of a body part, null for anything else.
CKObject* CharacterOf(CKObject* object)
{
    auto characterOf = CKGetBeObjectLinks().GetBodyPartCharacter;
    return object && characterOf && CKIsChildClassOfObject(object, CKCID_BODYPART) ? characterOf(object) : nullptr;
}

void InstallLinks()
{
    CKParameterLinks links = CKGetParameterLinks();
    links.GetMessageTypeName = [](CKContext* context, int type, XString& name) -> CKBOOL {
        CKMessageManager* manager = Manager(context);
        const char* text = manager ? manager->GetMessageTypeName(type) : nullptr;
        if (!text)
            return FALSE;
        name = text;
        return TRUE;
    };
    links.AddMessageType = [](CKContext* context, const char* name) {
        CKMessageManager* manager = Manager(context);
        return manager ? manager->AddMessageType(name) : -1;
    };
    CKSetParameterLinks(links);

    CKBeObjectLinks objectLinks = CKGetBeObjectLinks();
    objectLinks.AddMessageReference = [](CKMessage* message) { message->AddRef(); };
    objectLinks.ReleaseMessage = [](CKMessage* message) { message->Release(); };
    CKSetBeObjectLinks(objectLinks);
}

} // namespace

// Messages.

int CKMessage::Release()
{
    if (--m_RefCount > 0)
        return m_RefCount;
    m_Manager->FreeMessage(this);
    return 0;
}

void CKMessage::AddParameter(CKParameter* parameter)
{
    if (!parameter)
        return;
    if (!m_Parameters)
        m_Parameters = new XArray<CK_ID>;
    m_Parameters->PushBack(parameter->GetID());
}

// The manager.

CKMessageManager::CKMessageManager(CKContext* context)
    : CKBaseManager(context, MESSAGE_MANAGER_GUID, "Message Manager"), m_Pool(sizeof(CKMessage), 64 * sizeof(CKMessage))
{
    m_TypeNames.Reserve(120);
    m_Waiting.Reserve(120);
    m_Queue.Reserve(120);
    m_Recipients.Reserve(120);
    RegisterDefaultTypes();
    InstallLinks();
    m_Context->RegisterNewManager(this);
}

CKMessageManager::~CKMessageManager()
{
    // The context's objects are gone by now: messages still queued go
    // without their parameters (the pool frees their blocks).
    for (CKMessage* message : m_Queue)
        message->~CKMessage();
    for (XArray<WaitRecord>* list : m_Waiting)
        delete list;
}

void CKMessageManager::RegisterDefaultTypes()
{
    AddMessageType("OnClick");
    AddMessageType("OnDblClick");
}

int CKMessageManager::AddMessageType(const char* name)
{
    if (!name || !*name || strcasecmp(name, "NULL") == 0)
        return -1;
    for (int i = 0; i < m_TypeNames.Size(); ++i)
        if (m_TypeNames[i] == name)
            return i;
    m_TypeNames.PushBack(XString(name));
    m_Waiting.PushBack(nullptr);
    return m_TypeNames.Size() - 1;
}

const char* CKMessageManager::GetMessageTypeName(int type) const
{
    return type >= 0 && type < m_TypeNames.Size() ? m_TypeNames[type].CStr() : nullptr;
}

CKMessage* CKMessageManager::PostMessage(int type, int sendingType, CK_ID recipient)
{
    if (type < 0 || type >= m_TypeNames.Size())
        return nullptr;
    void* block = m_Pool.Allocate();
    if (!block)
        return nullptr;
    CKMessage* message = new (block) CKMessage(this, m_Context, type, sendingType, recipient);
    m_Queue.PushBack(message);
    return message;
}

void CKMessageManager::FreeMessage(CKMessage* message)
{
    if (m_ReleaseParameters && message->m_Parameters)
        for (CK_ID id : *message->m_Parameters) {
            CKObject* parameter = m_Context->GetObject(id);
            if (parameter && (parameter->GetObjectFlags() & kMessageParameterFlag))
                CKDestroyObject(parameter, 3);
        }
    message->~CKMessage();
    m_Pool.Free(message);
}

CKERROR CKMessageManager::RegisterWait(int type, CKBeObject* object, CKBehavior* behavior, CKBehaviorIO* output)
{
    if (!object || type < 0 || type >= m_TypeNames.Size())
        return CKErr::InvalidParameter;
    if (!m_Waiting[type])
        m_Waiting[type] = new XArray<WaitRecord>;
    m_Waiting[type]->PushBack({object, behavior, output});
    return CKErr::Ok;
}

int CKMessageManager::GetWaitCount(int type) const
{
    return type >= 0 && type < m_Waiting.Size() && m_Waiting[type] ? m_Waiting[type]->Size() : 0;
}

void CKMessageManager::ReleaseRecipients()
{
    for (CKBeObject* object : m_Recipients)
        object->RemoveAllReceivedMessages();
    m_Recipients.Clear();
}

void CKMessageManager::ReleaseQueue()
{
    // A release may not touch the queue: take it first.
    XArray<CKMessage*> queue;
    queue.Swap(m_Queue);
    for (CKMessage* message : queue)
        message->Release();
}

// Delivery.

void CKMessageManager::Receive(CKBeObject* object, CKMessage* message)
{
    object->AddReceivedMessage(message);
    m_Recipients.AddIfNotHere(object);
}

void CKMessageManager::Offer(CKObject* first, CKMessage* message, bool recurse)
{
    // A worklist rather than recursion: groups are entered once each, so
    // nested groups (or a ring a file brought) cannot loop or run deep.
    XArray<CKObject*> pending;
    XBitArray enteredGroups;
    pending.PushBack(first);
    while (pending.Size() > 0) {
        CKObject* object = pending[pending.Size() - 1];
        pending.Resize(pending.Size() - 1);
        CKBeObject* target = AsBeObject(object);
        if (!target)
            continue;
        if (target->IsWaitingForMessages() && target->IsActiveInCurrentScene())
            Receive(target, message);
        if (!recurse)
            continue;
        if (CKObject* character = CharacterOf(target))
            pending.PushBack(character);
        CKGroup* group = AsGroup(target);
        if (message->m_SendingType == CK_MESSAGE_GROUP && group && group->GetGroupIndex() >= 0 &&
            !enteredGroups.IsSet(group->GetGroupIndex())) {
            enteredGroups.Set(group->GetGroupIndex());
            for (int i = group->GetObjectCount() - 1; i >= 0; --i)
                pending.PushBack(group->GetObject(i));
        }
    }
}

bool CKMessageManager::Matches(const WaitRecord& record, CKMessage* message, CKObject* recipient) const
{
    if (record.Behavior) {
        CKBehavior* script = record.Behavior->GetOwnerScript();
        if (script && !script->IsActive())
            return false;
    }
    if (record.Object == recipient)
        return true;
    if (message->m_SendingType == CK_MESSAGE_BROADCAST)
        return CKIsChildClassOf(record.Object->GetClassID(), (CK_CLASSID) message->m_Recipient);
    if (message->m_SendingType == CK_MESSAGE_GROUP && AsGroup(recipient) && record.Object->IsInGroup(recipient))
        return true;
    return recipient && CharacterOf(recipient) == record.Object;
}

void CKMessageManager::WakeWaiting(CKMessage* message)
{
    XArray<WaitRecord>* list = m_Waiting[message->m_Type];
    if (!list)
        return;
    CKObject* recipient =
        message->m_SendingType == CK_MESSAGE_BROADCAST ? nullptr : m_Context->GetObject(message->m_Recipient);
    for (int i = 0; i < list->Size();) {
        const WaitRecord record = (*list)[i];
        if (!record.Object || !Matches(record, message, recipient)) {
            ++i;
            continue;
        }
        Receive(record.Object, message);
        if (record.Output && record.Behavior && (record.Behavior->GetFlags() & kWaitingForMessage)) {
            record.Output->Activate(TRUE);
            if (CKBehavior* parent = record.Behavior->GetParent())
                parent->ModifyFlags(kHasSomethingToProcess, 0);
            record.Behavior->ModifyFlags(0, kWaitingForMessage);
        }
        list->RemoveAt(i);
    }
}

CKERROR CKMessageManager::PostProcess()
{
    ReleaseRecipients();
    // Messages posted while delivering wait for the next pass.
    XArray<CKMessage*> queue;
    queue.Swap(m_Queue);
    for (CKMessage* message : queue) {
        if (message->m_SendingType == CK_MESSAGE_BROADCAST) {
            const CK_CLASSID target = (CK_CLASSID) message->m_Recipient;
            for (CK_CLASSID cid = 1; cid < CKGetClassCount(); ++cid) {
                if (!CKIsChildClassOf(cid, target))
                    continue;
                const int count = m_Context->GetObjectsCountByClassID(cid);
                CK_ID* ids = m_Context->GetObjectsListByClassID(cid);
                for (int i = 0; ids && i < count; ++i)
                    Offer(m_Context->GetObject(ids[i]), message, false);
            }
        } else {
            Offer(m_Context->GetObject(message->m_Recipient), message, true);
        }
        WakeWaiting(message);
    }
    for (CKMessage* message : queue)
        message->Release();
    return CKErr::Ok;
}

CKERROR CKMessageManager::OnCKReset()
{
    for (XArray<WaitRecord>* list : m_Waiting)
        if (list) {
            list->Clear();
            list->Reserve(10);
        }
    ReleaseQueue();
    ReleaseRecipients();
    return CKErr::Ok;
}

CKERROR CKMessageManager::OnObjectsToBeDeleted(CK_ID*, int)
{
    for (XArray<WaitRecord>* list : m_Waiting) {
        if (!list)
            continue;
        for (int i = 0; i < list->Size();) {
            const WaitRecord& record = (*list)[i];
            if ((record.Object && record.Object->IsToBeDeleted()) ||
                (record.Behavior && record.Behavior->IsToBeDeleted()))
                list->RemoveAt(i);
            else
                ++i;
        }
    }
    for (int i = 0; i < m_Recipients.Size();) {
        if (m_Recipients[i]->IsToBeDeleted())
            m_Recipients.RemoveAt(i);
        else
            ++i;
    }
    return CKErr::Ok;
}

CKERROR CKMessageManager::PreClearAll()
{
    for (XArray<WaitRecord>* list : m_Waiting)
        delete list;
    m_Waiting.Clear();
    m_TypeNames.Clear();
    ReleaseQueue();
    m_Recipients.Clear();
    RegisterDefaultTypes();
    return CKErr::Ok;
}

// Persistence.

CKStateChunk* CKMessageManager::SaveData(CKFile* file)
{
    if (!file)
        return nullptr;
    XBitArray used;
    bool any = false;
    for (const CKFileObjectRecord& record : file->m_FileObjects) {
        CKObject* object = record.m_Object;
        if (!object || (object->GetClassID() != CKCID_PARAMETEROUT && object->GetClassID() != CKCID_PARAMETERLOCAL))
            continue;
        CKParameter* parameter = static_cast<CKParameter*>(object);
        if (parameter->GetGUID() != CKPGUID_MESSAGE)
            continue;
        int type = -1;
        if (parameter->GetDataSize() == (int) sizeof(int) && parameter->GetValue(&type, TRUE) == CKErr::Ok &&
            type >= 0 && type < m_TypeNames.Size()) {
            used.Set(type);
            any = true;
        }
    }
    if (!any)
        return nullptr;
    CKStateChunk* chunk = CKCreateStateChunk(ChunkClassID, file);
    chunk->StartWrite();
    chunk->WriteIdentifier((CKDWORD) ChunkClassID);
    chunk->WriteInt(m_TypeNames.Size());
    for (int i = 0; i < m_TypeNames.Size(); ++i)
        chunk->WriteString(used.IsSet(i) ? m_TypeNames[i].CStr() : nullptr);
    chunk->CloseChunk();
    return chunk;
}

CKERROR CKMessageManager::LoadData(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    chunk->StartRead();
    if (!chunk->SeekIdentifier((CKDWORD) ChunkClassID))
        return CKErr::Ok;
    const int count = chunk->ReadInt();
    // Each stored name takes a word at least.
    const int64_t remaining = chunk->GetDataSize() / 4 - chunk->GetCurrentPos();
    if (chunk->GetReadError() != 0 || count < 0 || count > remaining) {
        QxGetLogManager()
            ->SetContext(CKGetLogSourceId(), QXLOG_ERROR, __LINE__, "CKMessageManager")
            ->Log("Message types: %d names do not fit in %lld words", count, (long long) remaining);
        return CKErr::Ok;
    }
    XArray<int> table;
    table.Resize(count);
    for (int i = 0; i < count; ++i) {
        XString name = chunk->ReadXString();
        table[i] = chunk->GetReadError() == 0 ? AddMessageType(name.CStr()) : -1;
    }
    if (file && count > 0)
        file->RemapManagerInt(MESSAGE_MANAGER_GUID, table.Begin(), table.Size());
    return CKErr::Ok;
}
