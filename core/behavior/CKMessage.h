#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"

class CKContext;
class CKMessageManager;
class CKParameter;

// How a message finds its recipients.
enum CK_MESSAGE_SENDINGTYPE : int
{
    CK_MESSAGE_BROADCAST = 1, // every object of a class and its derived classes
    CK_MESSAGE_SINGLE = 2,    // one object
    CK_MESSAGE_GROUP = 3,     // a group, its members and the members of its groups
};

// One message posted to the message manager. Messages are reference
// counted: the queue holds one reference until delivery, and every object
// that received it one more; the last release gives it back to the
// manager's pool. Made only by CKMessageManager::PostMessage.
class CKMessage
{
public:
    // The new count.
    int AddRef() { return ++m_RefCount; }
    // The count left; at 0 the message goes back to its pool (and is gone).
    int Release();
    int GetRefCount() const { return m_RefCount; }

    int GetMsgType() const { return m_Type; }
    int GetSendingType() const { return m_SendingType; }
    // An object id, or a class id for a broadcast.
    CK_ID GetRecipient() const { return m_Recipient; }
    CKContext* GetContext() const { return m_Context; }

    // Parameters that travel with the message; the ones flagged 0x08000000
    // are destroyed with it when the manager's release option is set.
    void AddParameter(CKParameter* parameter);
    int GetParameterCount() const { return m_Parameters ? m_Parameters->Size() : 0; }
    CK_ID GetParameter(int index) const
    {
        return index >= 0 && index < GetParameterCount() ? (*m_Parameters)[index] : 0;
    }

private:
    friend class CKMessageManager;
    CKMessage(CKMessageManager* manager, CKContext* context, int type, int sendingType, CK_ID recipient)
        : m_Manager(manager), m_Context(context), m_Type(type), m_SendingType(sendingType), m_Recipient(recipient)
    {}
    ~CKMessage() { delete m_Parameters; }

    CKMessageManager* m_Manager;
    CKContext* m_Context;
    int m_Type;
    int m_SendingType;
    CK_ID m_Recipient;
    int m_RefCount = 1;
    XArray<CK_ID>* m_Parameters = nullptr;
};
