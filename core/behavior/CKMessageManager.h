#pragma once

#include "core/context/CKBaseManager.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "includes/XString.h"
#include "system/memory/QxFixedSizeAllocator.h"

class CKBeObject;
class CKBehavior;
class CKBehaviorIO;
class CKMessage;

// The registry of message types (names, indexed from 0), the queue of the
// messages posted during a frame, the behaviours that wait for a message
// type and the objects that received messages in the last delivery. After
// each frame's processing it delivers the queue and wakes the waiting
// behaviours.
class CKMessageManager : public CKBaseManager
{
public:
    static constexpr CK_CLASSID ChunkClassID = 83;

    explicit CKMessageManager(CKContext* context);
    ~CKMessageManager() override;

    // -1 for a null or empty name or "NULL" (any case); the index of the
    // type of that name (exact comparison); else a new type.
    int AddMessageType(const char* name);
    // The name; null outside the table.
    const char* GetMessageTypeName(int type) const;
    int GetMessageTypeCount() const { return m_TypeNames.Size(); }

    // Queues a message for the next delivery; the queue holds its one
    // reference. Null for a type outside the table.
    CKMessage* PostMessage(int type, int sendingType, CK_ID recipient);
    int GetQueuedMessageCount() const { return m_Queue.Size(); }
    // The behaviour (may be null) waits for a message of the type reaching
    // the object; output (may be null) is activated when it comes. -1 for a
    // null object or a type outside the table.
    CKERROR RegisterWait(int type, CKBeObject* object, CKBehavior* behavior, CKBehaviorIO* output);
    int GetWaitCount(int type) const;
    int GetRecipientCount() const { return m_Recipients.Size(); }
    // True while a message is still referenced somewhere.
    CKBOOL HasLiveMessages() const { return m_Pool.HasLiveBlocks(); }

    // The types used by the saved output and local "Message" parameters;
    // null when none is.
    CKStateChunk* SaveData(CKFile* file) override;
    // Adds the stored types and remaps the file's values to them.
    CKERROR LoadData(CKStateChunk* chunk, CKFile* file) override;
    CKERROR PreClearAll() override;
    // The delivery.
    CKERROR PostProcess() override;
    CKERROR OnCKReset() override;
    CKERROR OnObjectsToBeDeleted(CK_ID* ids, int count) override;
    CKDWORD GetValidFunctionsMask() override { return 0x4019; }

    // Gives a message whose last reference went back to the pool; with the
    // pool's release option, the parameters made for it (object flag
    // 0x08000000) are destroyed first. Its parameter list goes either way.
    void FreeMessage(CKMessage* message);
    // The pool's release option, set at construction.
    void SetReleaseOption(CKBOOL release) { m_ReleaseParameters = release; }
    CKBOOL GetReleaseOption() const { return m_ReleaseParameters; }

private:
    struct WaitRecord
    {
        CKBeObject* Object;
        CKBehavior* Behavior;
        CKBehaviorIO* Output;
    };

    void RegisterDefaultTypes();
    void ReleaseRecipients();
    void ReleaseQueue();
    // Adds the message to the object (once) when it waits for messages and
    // is active in the current scene; with recurse, groups pass it to their
    // members (each group once) and body parts to their characters.
    void Offer(CKObject* object, CKMessage* message, bool recurse);
    void Receive(CKBeObject* object, CKMessage* message);
    bool Matches(const WaitRecord& record, CKMessage* message, CKObject* recipient) const;
    void WakeWaiting(CKMessage* message);

    XClassArray<XString> m_TypeNames;
    XArray<XArray<WaitRecord>*> m_Waiting;
    XArray<CKMessage*> m_Queue;
    XArray<CKBeObject*> m_Recipients;
    QxFixedSizeAllocator m_Pool;
    CKBOOL m_ReleaseParameters = TRUE;
};
