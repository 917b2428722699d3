#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"

class RCKRenderManager;

// Record flags.
enum : CKDWORD
{
    CK_RENDERCALLBACK_TEMPORARY = 0x1,  // removed by the render manager after the frame
    CK_RENDERCALLBACK_MODIFYPATH = 0x2, // the owner is drawn by its batch group
};

// A callback function of any signature, kept as given: the owner knows
// which signature it stored and calls it back through that one.
typedef void (*CKRenderCallbackFunction)();

// One callback: function, argument and flags (12 bytes on the engine's
// 32-bit platform).
struct RenderCallbackRecord
{
    CKRenderCallbackFunction Function;
    void* Argument;
    CKDWORD Flags;
};

// An object's render callbacks: the pre-render records, one optional
// replacing render callback and the post-render records, in the order they
// were added. The flags word ORs the flags of every record added and is
// cleared when the list becomes empty.
class RenderCallbackList
{
public:
    RenderCallbackList() = default;
    // Frees the render callback record; temporary records must have been
    // withdrawn from the render manager (RemoveAll does it).
    ~RenderCallbackList();
    RenderCallbackList(const RenderCallbackList&) = delete;
    RenderCallbackList& operator=(const RenderCallbackList&) = delete;

    // FALSE for a null function or a pair already present; a temporary
    // record (flag 0x1) is also entered with the render manager.
    CKBOOL AddPreCallback(CKRenderCallbackFunction function, void* argument, CKDWORD flags, RCKRenderManager* manager);
    CKBOOL AddPostCallback(CKRenderCallbackFunction function, void* argument, CKDWORD flags, RCKRenderManager* manager);
    // TRUE when the pair was there.
    CKBOOL RemovePreCallback(CKRenderCallbackFunction function, void* argument);
    CKBOOL RemovePostCallback(CKRenderCallbackFunction function, void* argument);
    // The replacing render callback: always flags 2 in its own record.
    void SetRenderCallback(CKRenderCallbackFunction function, void* argument);
    CKBOOL RemoveRenderCallback();
    // Withdraws the temporary records from the manager and empties the list.
    void RemoveAll(RCKRenderManager* manager);

    const XArray<RenderCallbackRecord>& GetPreCallbacks() const { return m_PreCallbacks; }
    const XArray<RenderCallbackRecord>& GetPostCallbacks() const { return m_PostCallbacks; }
    // Null when none.
    const RenderCallbackRecord* GetRenderCallback() const { return m_RenderCallback; }
    CKDWORD GetFlags() const { return m_Flags; }
    CKBOOL IsEmpty() const { return m_PreCallbacks.Size() == 0 && m_PostCallbacks.Size() == 0 && !m_RenderCallback; }

private:
    static int Find(const XArray<RenderCallbackRecord>& records, CKRenderCallbackFunction function, void* argument);
    CKBOOL Add(XArray<RenderCallbackRecord>& records, CKRenderCallbackFunction function, void* argument, CKDWORD flags,
               RCKRenderManager* manager, CKBOOL post);
    CKBOOL Remove(XArray<RenderCallbackRecord>& records, CKRenderCallbackFunction function, void* argument);

    XArray<RenderCallbackRecord> m_PreCallbacks;
    RenderCallbackRecord* m_RenderCallback = nullptr; // owned
    XArray<RenderCallbackRecord> m_PostCallbacks;
    CKDWORD m_Flags = 0;
};

// The list's callbacks as a typed function pointer.
template <class F>
F CKRenderCallbackAs(const RenderCallbackRecord& record)
{
    return reinterpret_cast<F>(record.Function);
}
template <class F>
CKRenderCallbackFunction CKRenderCallbackFrom(F function)
{
    return reinterpret_cast<CKRenderCallbackFunction>(function);
}
