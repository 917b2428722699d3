#pragma once

#include <string>
#include <vector>

#include "platform/host/Hold.h"
#include "platform/host/Interval.h"
#include "platform/host/Matrix3.h"
#include "platform/host/MaxTypes.h"
#include "platform/host/Object.h"
#include "platform/host/Quat.h"
#include "platform/host/TSTR.h"
#include "platform/host/TimeValue.h"

class Control;
class HostScene;
class Mtl;

// Stands in for the host's INode: one node of the scene tree with its name,
// selection, visibility and group flags, the object it shows (shared with
// other nodes when instanced), its transform controller, its object offset,
// its material, its look-at target and its user-property text. Nodes are
// made and owned by their HostScene.
class INode
{
public:
    // A node under parent, as its last child; with a null parent the scene's
    // root (its HostScene makes it) or, with detached, a node that waits for
    // AttachTo.
    INode(HostScene& scene, std::string name, INode* parent, bool detached = false);
    ~INode();
    INode(const INode&) = delete;
    INode& operator=(const INode&) = delete;

    HostScene& Scene() const { return m_Scene; }
    const char* GetName() const { return m_Name.c_str(); }
    void SetName(std::string name)
    {
        Remember(m_Name);
        m_Name = std::move(name);
    }
    // The id that names it in the scene file ("" for nodes made otherwise).
    const std::string& HostId() const { return m_HostId; }
    void SetHostId(std::string id) { m_HostId = std::move(id); }

    // Hierarchy. The root has no parent; a child index out of range gives null.
    BOOL IsRootNode() const { return m_Parent == nullptr; }
    INode* GetParentNode() const { return m_Parent; }
    int NumberOfChildren() const { return int(m_Children.size()); }
    INode* GetChildNode(int i) const;
    // Moves the node under a new parent, as its last child; refused (false)
    // for a null parent, the root, or a move that would make a cycle.
    bool AttachTo(INode* parent);
    // Takes a childless node out of its parent's children, before its scene
    // drops it (a node made under a hold that is cancelled).
    void DetachForDrop();

    int Selected() const { return m_Selected ? 1 : 0; }
    void SetSelected(bool selected)
    {
        Remember(m_Selected);
        m_Selected = selected;
    }
    int IsHidden() const { return m_Hidden ? 1 : 0; }
    void Hide(BOOL hide)
    {
        Remember(m_Hidden);
        m_Hidden = hide != 0;
    }
    BOOL IsGroupHead() const { return m_GroupHead; }
    BOOL IsGroupMember() const { return m_GroupMember; }
    void SetGroupHead(bool head)
    {
        Remember(m_GroupHead);
        m_GroupHead = head;
    }
    void SetGroupMember(bool member)
    {
        Remember(m_GroupMember);
        m_GroupMember = member;
    }

    // The object reference (the top of its modifier stack); null for none.
    Object* GetObjectRef() const { return m_Object; }
    void SetObjectRef(Object* object)
    {
        Remember(m_Object);
        m_Object = object;
    }
    // The object at the end of its pipeline at time t (obj null for a node
    // without object).
    const ObjectState& EvalWorldState(TimeValue t, BOOL evalHidden = TRUE);

    // Transform controller; every node but the root has one.
    Control* GetTMController() const { return m_TMController; }
    void SetTMController(Control* controller)
    {
        Remember(m_TMController);
        m_TMController = controller;
    }
    // The node's world transform: its controller's local transform times the
    // parent's world transform (the root's is the identity).
    Matrix3 GetNodeTM(TimeValue t, Interval* valid = nullptr) const;
    Matrix3 GetParentTM(TimeValue t) const;
    // The object's world transform: the object offset, then the node's.
    Matrix3 GetObjectTM(TimeValue t, Interval* valid = nullptr) const;
    // The object offset: scale, then rotation, then translation, relative to
    // the node.
    Point3 GetObjOffsetPos() const { return m_OffsetPos; }
    Quat GetObjOffsetRot() const { return m_OffsetRot; }
    Point3 GetObjOffsetScale() const { return m_OffsetScale; }
    void SetObjOffsetPos(const Point3& p)
    {
        Remember(m_OffsetPos);
        m_OffsetPos = p;
    }
    void SetObjOffsetRot(const Quat& q)
    {
        Remember(m_OffsetRot);
        m_OffsetRot = q;
    }
    void SetObjOffsetScale(const Point3& s)
    {
        Remember(m_OffsetScale);
        m_OffsetScale = s;
    }
    Matrix3 GetObjectOffsetTM() const;

    // The look-at target node; null for none.
    INode* GetTarget() const { return m_Target; }
    void SetTarget(INode* target)
    {
        Remember(m_Target);
        m_Target = target;
    }
    // The node's material; null for none.
    Mtl* GetMtl() const { return m_Mtl; }
    void SetMtl(Mtl* mtl)
    {
        Remember(m_Mtl);
        m_Mtl = mtl;
    }
    // The user-property text (Object Properties, User Defined).
    void GetUserPropBuffer(TSTR& buffer) const { buffer = m_UserProps.c_str(); }
    void SetUserPropBuffer(const TSTR& buffer)
    {
        Remember(m_UserProps);
        m_UserProps = buffer.str();
    }
    // The value of the user property key, from the line "key = value" of the
    // user-property text (keys compare without regard to case, blanks around
    // both are dropped; the first such line counts); FALSE, and value
    // untouched, when no line names it.
    BOOL GetUserPropString(const TSTR& key, TSTR& value) const;

    // Whether the node shows its vertex colours (nonzero) instead of its
    // shading.
    int GetCVertMode() const { return m_CVertMode ? 1 : 0; }
    void SetCVertMode(int show)
    {
        Remember(m_CVertMode);
        m_CVertMode = show != 0;
    }

private:
    // Lets the hold undo a change of the field.
    template <class T>
    void Remember(T& field)
    {
        if (theHold.Holding())
            theHold.Put([&field, old = field] { field = old; });
    }

    HostScene& m_Scene;
    std::string m_Name;
    std::string m_HostId;
    INode* m_Parent = nullptr;
    bool m_Detached = false;
    std::vector<INode*> m_Children;
    bool m_Selected = false;
    bool m_Hidden = false;
    bool m_GroupHead = false;
    bool m_GroupMember = false;
    Object* m_Object = nullptr;
    ObjectState m_State;
    Control* m_TMController = nullptr;
    Point3 m_OffsetPos;
    Quat m_OffsetRot;
    Point3 m_OffsetScale{1.0f, 1.0f, 1.0f};
    INode* m_Target = nullptr;
    Mtl* m_Mtl = nullptr;
    std::string m_UserProps;
    bool m_CVertMode = false;
};
