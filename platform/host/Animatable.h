#pragma once

#include <memory>
#include <string>

#include "platform/host/Class_ID.h"
#include "platform/host/Interval.h"
#include "platform/host/MaxTypes.h"
#include "platform/host/TSTR.h"

class ICustAttribContainer;
class IParamBlock2;

// The identity of a function-published interface: two words.
class Interface_ID
{
public:
    constexpr Interface_ID() = default;
    constexpr Interface_ID(uint32_t a, uint32_t b) : m_A(a), m_B(b) {}
    constexpr uint32_t PartA() const { return m_A; }
    constexpr uint32_t PartB() const { return m_B; }
    constexpr bool operator==(const Interface_ID& i) const { return m_A == i.m_A && m_B == i.m_B; }
    constexpr bool operator!=(const Interface_ID& i) const { return !(*this == i); }

private:
    uint32_t m_A = 0;
    uint32_t m_B = 0;
};

// An interface an item answers for by Interface_ID.
class BaseInterface
{
public:
    virtual ~BaseInterface() = default;
    virtual Interface_ID GetID() const = 0;
};

// Animatable flags: a modifier switched off.
constexpr DWORD A_MOD_DISABLED = 0x20;

// Stands in for the root of the host's class tree: every scene item (object,
// material, controller, atmospheric effect, custom attribute) has a class
// identity and may carry custom attributes and parameter blocks. Items live
// in their HostScene, which owns them; a temporary copy made by a conversion
// is owned by whoever asked for it and released with DeleteMe.
class Animatable
{
public:
    Animatable(SClass_ID superClassId, Class_ID classId, std::string className);
    virtual ~Animatable();
    Animatable(const Animatable&) = delete;
    Animatable& operator=(const Animatable&) = delete;

    SClass_ID SuperClassID() const { return m_SuperClassId; }
    Class_ID ClassID() const { return m_ClassId; }
    void GetClassName(TSTR& s) const { s = m_ClassName.c_str(); }
    const std::string& ClassName() const { return m_ClassName; }

    // The custom attributes; null when it has none.
    ICustAttribContainer* GetCustAttribContainer() const { return m_CustAttribs.get(); }
    // The container, made empty when there was none.
    ICustAttribContainer* AllocCustAttribContainer();

    // The item's own parameter blocks; null for an index it does not have.
    virtual int NumParamBlocks() const { return 0; }
    virtual IParamBlock2* GetParamBlock(int i) const;

    // The id that names it in the scene file ("" for items made otherwise).
    const std::string& HostId() const { return m_HostId; }
    void SetHostId(std::string id) { m_HostId = std::move(id); }

    // Animatable flags (A_MOD_DISABLED...). Changes are undone by the hold.
    void SetAFlag(DWORD mask);
    void ClearAFlag(DWORD mask);
    BOOL TestAFlag(DWORD mask) const { return (m_AFlags & mask) != 0 ? TRUE : FALSE; }
    // For copies being made (not yet in a scene): takes the flags unrecorded.
    void CopyAFlags(const Animatable& from) { m_AFlags = from.m_AFlags; }

    // Interfaces by number (I_KEYCONTROL, I_SKIN...) and by Interface_ID;
    // null when the item has none. An interface given out stays valid while
    // the item lives; ReleaseInterface is for interfaces that say they need
    // it (the Physique export interface).
    virtual void* GetInterface(ULONG id);
    virtual BaseInterface* GetInterface(Interface_ID id);
    virtual void ReleaseInterface(ULONG id, void* i);

    // Sub-animatables (a Morpher's channels...): null, and "", for an index
    // the item does not have.
    virtual int NumSubs() const { return 0; }
    virtual Animatable* SubAnim(int i);
    virtual TSTR SubAnimName(int i) const;

private:
    SClass_ID m_SuperClassId;
    Class_ID m_ClassId;
    std::string m_ClassName;
    std::unique_ptr<ICustAttribContainer> m_CustAttribs;
    std::string m_HostId;
    DWORD m_AFlags = 0;
};

typedef DWORD PartID;
typedef DWORD RefMessage;
enum RefResult
{
    REF_FAIL = 0,
    REF_SUCCEED = 1
};
// The parts of an object a change touches, and the change message.
constexpr PartID PART_ALL = 0x80003FFF;
constexpr RefMessage REFMSG_CHANGE = 0x50;
constexpr SClass_ID NOTIFY_ALL = 0xFFFFFFF0;

class ReferenceMaker : public Animatable
{
public:
    using Animatable::Animatable;

    // Deletes a temporary copy; an item the scene owns stays.
    void DeleteMe();
    bool IsTemporary() const { return m_Temporary; }
    void MarkTemporary() { m_Temporary = true; }

private:
    bool m_Temporary = false;
};

class ReferenceTarget : public ReferenceMaker
{
public:
    using ReferenceMaker::ReferenceMaker;

    // Tells the items that depend on this one that it changed. Evaluation is
    // never cached across a change (every evaluation computes afresh), so
    // nothing is stale whether or not a change is announced; the call is
    // counted for tests.
    RefResult NotifyDependents(Interval changeInt, PartID partID, RefMessage message, SClass_ID sclass = NOTIFY_ALL,
                               BOOL propagate = TRUE, ReferenceTarget* hTarg = nullptr);
    int NotificationCount() const { return m_Notifications; }

private:
    int m_Notifications = 0;
};
