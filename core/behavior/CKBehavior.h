#pragma once

#include "core/behavior/CKBehaviorContext.h"
#include "core/object/CKSceneObject.h"
#include "core/object/XObjectPointerArray.h"

class CKBeObject;
class CKBehaviorIO;
class CKBehaviorLink;
class CKBehaviorPrototype;
class CKParameter;
class CKParameterIn;
class CKParameterOut;
class CKParameterLocal;
class CKParameterOperation;
class CKStateChunk;

// Behaviour flags (CKBehavior::GetFlags).
constexpr CKDWORD CKBEHAVIOR_ACTIVE = 0x00000001;
// CKBEHAVIOR_SCRIPT (0x2), CKBEHAVIOR_BUILDINGBLOCK (0x8000) and
// CKBEHAVIOR_INHERITFROMPROTOTYPE (0x20000000): CKBeObjectLinks.h.
constexpr CKDWORD CKBEHAVIOR_PRIORITYSAVED = 0x00000004; // in saved words: the priority follows
constexpr CKDWORD CKBEHAVIOR_USEFUNCTION = 0x00000008;
// In memory: something to process; in saved words: the class follows.
constexpr CKDWORD CKBEHAVIOR_ACTIVATENEXTFRAME = 0x00000010;
constexpr CKDWORD CKBEHAVIOR_COMPATIBLECLASSSAVED = 0x00000010;
constexpr CKDWORD CKBEHAVIOR_WAITSFORMESSAGE = 0x00000040;
constexpr CKDWORD CKBEHAVIOR_POSTLOADFIX = 0x00004000; // the post-load fix is still to run
constexpr CKDWORD CKBEHAVIOR_TARGETABLE = 0x00040000;
constexpr CKDWORD CKBEHAVIOR_RUNTIMEFLAGS = 0x00300000; // never copied
constexpr CKDWORD CKBEHAVIOR_PROCESSED = 0x00200000;
constexpr CKDWORD CKBEHAVIOR_NEVERSAVED = 0x80000000;
constexpr CKDWORD CKBEHAVIOR_DEFAULTFLAGS = 0x0000C008;

// Chunk identifiers of a behaviour's sections.
enum : CKDWORD
{
    CK_STATESAVE_BEHAVIORINTERFACE = 16,
    CK_STATESAVE_BEHAVIORNEWDATA = 32, // flags, prototype, priority, class, target, arrays
    CK_STATESAVE_BEHAVIORFLAGS_OLD = 64,
    CK_STATESAVE_BEHAVIORCLASS_OLD = 128,
    CK_STATESAVE_BEHAVIORSUBBEHAV = 256,
    CK_STATESAVE_BEHAVIORINPARAMS = 512,
    CK_STATESAVE_BEHAVIOROUTPARAMS = 1024,
    CK_STATESAVE_BEHAVIORINPUTS = 2048,
    CK_STATESAVE_BEHAVIOROUTPUTS = 4096,
    CK_STATESAVE_BEHAVIOROPERATIONS = 16384,
    CK_STATESAVE_BEHAVIORTYPE_OLD = 32768,
    CK_STATESAVE_BEHAVIOROWNER_OLD = 0x10000,
    CK_STATESAVE_BEHAVIORLOCALS = 0x20000,
    CK_STATESAVE_BEHAVIORPROTOGUID_OLD = 0x40000,
    CK_STATESAVE_BEHAVIORLINKS = 0x80000,
    CK_STATESAVE_BEHAVIORSCENEFLAGS = 0x200000,
    CK_STATESAVE_BEHAVIORPRIORITY_OLD = 0x800000,
    CK_STATESAVE_BEHAVIORTARGET_OLD = 0x1000000,
};

// Callback messages of behaviours (CKBehavior::CallCallbackFunction).
enum : CKDWORD
{
    CKM_BEHAVIORPRESAVE = 1,
    CKM_BEHAVIORDELETE = 2,
    CKM_BEHAVIORATTACH = 3,
    CKM_BEHAVIORDETACH = 4,
    CKM_BEHAVIORPAUSE = 5,
    CKM_BEHAVIORRESUME = 6,
    CKM_BEHAVIORCREATE = 7,
    CKM_BEHAVIORRESET = 9,
    CKM_BEHAVIORPOSTSAVE = 10,
    CKM_BEHAVIORLOAD = 11,
    CKM_BEHAVIOREDITED = 12,
    CKM_BEHAVIORSETTINGSEDITED = 13,
    CKM_BEHAVIORREADSTATE = 14,
    CKM_BEHAVIORNEWSCENE = 15,
    CKM_BEHAVIORACTIVATESCRIPT = 16,
    CKM_BEHAVIORDEACTIVATESCRIPT = 17,
    CKM_MAX_BEHAVIOR_CALLBACKS = 20,
};

// The answer of an owner change refused because the behaviour is locked.
constexpr CKERROR CKBR_LOCKED = 6;

// What a building block runs: its prototype and functions.
struct CKBehaviorBlockData
{
    CKGUID m_Guid;
    CKBEHAVIORFCT m_Function = nullptr;
    CKBEHAVIORCALLBACKFCT m_Callback = nullptr;
    CKDWORD m_CallbackMask = 0;
    void* m_CallbackArg = nullptr;
    CKDWORD m_Version = 0;
};

// What a graph holds: sub-behaviours (higher priority first), the links
// between their inputs and outputs, and parameter operations.
struct CKBehaviorGraph
{
    XObjectPointerArray m_Operations;
    XObjectPointerArray m_SubBehaviors;
    XObjectPointerArray m_Links;
    // Copied and remapped with the graph; nothing else reads them.
    XObjectPointerArray m_Kept;
    XObjectPointerArray m_Scratch;
};

// A node of a behaviour graph: a building block, whose work an execution
// function declared by a prototype would do, or a graph of sub-behaviours,
// links and parameter operations. A top-level behaviour applied to an object
// is a script. This system never runs execution functions; it keeps, copies,
// saves and loads behaviours and calls their callbacks on attach, detach,
// deletion, copy, save, load and pause.
//
// Loaded graphs are checked: sub-behaviours, link ends and every listed
// object must be of the class the list holds, a behaviour belongs to one
// graph at most and never to one below it, and graphs are at most
// kMaxGraphDepth deep; what fails is dropped.
class CKBehavior : public CKClass<CKBehavior, CKSceneObject, CKCID_BEHAVIOR>
{
public:
    static constexpr int kMaxGraphDepth = 256;

    explicit CKBehavior(CKContext* context, const char* name = nullptr);
    ~CKBehavior() override;

    // Kind and flags.
    // 0 for a building block (flag 0x8000), else 1 for a script, else 4.
    int GetType() const;
    // Kind 1 sets the script flag; other kinds change nothing.
    void SetType(int kind);
    CKDWORD GetFlags() const { return m_Flags; }
    // Sets, then clears; the new flags.
    CKDWORD ModifyFlags(CKDWORD set, CKDWORD clear);
    CKBOOL IsActive() const { return (m_Flags & CKBEHAVIOR_ACTIVE) != 0; }
    CKBOOL IsUsingTarget() const { return m_Target != 0; }
    CK_CLASSID GetCompatibleClassID() const { return m_CompatibleClassID; }
    void SetCompatibleClassID(CK_CLASSID cid) { m_CompatibleClassID = cid; }
    int GetPriority() const { return m_Priority; }
    // Re-sorts the parent's sub-behaviours.
    void SetPriority(int priority);

    // Owner and parents.
    CKBeObject* GetOwner() const;
    CKBehavior* GetParent() const;
    // The top of the parent chain when it is a script, else null.
    CKBehavior* GetOwnerScript() const;
    // True when the owner is a level; false without owner or when the owner
    // is not in the scene; else the active bit of the top behaviour's scene
    // flags there.
    CKBOOL IsActiveInScene(CKScene* scene) const;
    // Same owner: passed on to the sub-behaviours, 0. With callbacks the old
    // owner hears "Detach" (a non-zero answer is returned at once) and the
    // new one "Attach" (a non-zero answer puts the old owner back). The
    // sub-behaviours follow; one refusing puts the old owner back on all.
    // CKBR_LOCKED prints the locked message. The answer.
    CKERROR SetOwner(CKBeObject* owner, CKBOOL callback = TRUE);

    // Prototype and functions.
    // The block data's GUID ((0, 0) without).
    CKGUID GetPrototypeGuid() const;
    // The prototype registered under that GUID; null when none.
    CKBehaviorPrototype* GetPrototype() const;
    // The block data's version (0 without).
    CKDWORD GetVersion() const;
    void SetFunction(CKBEHAVIORFCT function);
    CKBEHAVIORFCT GetFunction() const { return m_BlockData ? m_BlockData->m_Function : nullptr; }
    CKBEHAVIORCALLBACKFCT GetCallbackFunction() const { return m_BlockData ? m_BlockData->m_Callback : nullptr; }
    CKDWORD GetCallbackMask() const { return m_BlockData ? m_BlockData->m_CallbackMask : 0; }
    // Takes the prototype's callback and flags (and its function, which
    // makes the behaviour a building block); -34 without block data.
    CKERROR InitFromPrototype(CKBehaviorPrototype* prototype);
    // -34 without block data, -1 when no prototype has the GUID.
    CKERROR InitFromGuid(CKGUID guid);
    // A graph record (the block data goes, flags 0x8008 too).
    void UseGraph();
    // Zeroed block data (the graph goes, flags 0x8008 set).
    void UseFunction();
    CKBOOL HasGraph() const { return m_Graph != nullptr; }

    // Callbacks.
    // Runs the block's callback with the message when the callback mask
    // allows it; 0 otherwise, and when the callback throws (reported).
    int CallCallbackFunction(CKDWORD message);
    // A building block answers its callback when no GUID is given or its
    // prototype has it, else -1; a graph asks its sub-behaviours and answers
    // the last answer that was 0 or more, -1 when none was.
    int CallSubBehaviorsCallbackFunction(CKDWORD message, const CKGUID* prototype = nullptr);
    // The console report: name, "=>", text, "(" detail ")", and the script
    // and owner lines when asked.
    void ReportError(const char* text, const char* detail, CKBOOL scriptLine, CKBOOL ownerLine);
    // The callback message's name in reports.
    static const char* GetCallbackMessageName(CKDWORD message);

    // Inputs and outputs.
    int GetInputCount() const { return m_Inputs.Size(); }
    int GetOutputCount() const { return m_Outputs.Size(); }
    // Null outside the list.
    CKBehaviorIO* GetInput(int n) const;
    CKBehaviorIO* GetOutput(int n) const;
    // New IOs owned by this behaviour, appended; null when none is made.
    CKBehaviorIO* CreateInput(const char* name);
    CKBehaviorIO* CreateOutput(const char* name);
    // Sets or clears the IO's active bit (an input of a graph also marks
    // the graph to process); the IO, null outside the list.
    CKBehaviorIO* ActivateInput(int n, CKBOOL on = TRUE);
    CKBehaviorIO* ActivateOutput(int n, CKBOOL on = TRUE);
    CKBOOL IsInputActive(int n) const;
    // Takes the IO out of the inputs or outputs.
    void RemoveIO(CKBehaviorIO* io);

    // Parameters.
    int GetInputParameterCount() const { return m_InParameters.Size(); }
    int GetOutputParameterCount() const { return m_OutParameters.Size(); }
    int GetLocalParameterCount() const { return m_LocalParameters.Size(); }
    CKParameterIn* GetInputParameter(int n) const;
    CKParameterOut* GetOutputParameter(int n) const;
    CKParameterLocal* GetLocalParameter(int n) const;
    // -1 without that input, else the input's GetValue.
    CKERROR GetInputParameterValue(int n, void* buffer);
    CKObject* GetInputParameterObject(int n);
    void* GetInputParameterReadDataPtr(int n);
    // -1 without that output, else its SetValue.
    CKERROR SetOutputParameterValue(int n, const void* buffer, int size = 0);
    CKERROR GetLocalParameterValue(int n, void* buffer);
    CKERROR SetLocalParameterValue(int n, const void* buffer, int size = 0);
    // Stores the object's id (0 for null).
    CKERROR SetLocalParameterObject(int n, CKObject* object);
    CKObject* GetLocalParameterObject(int n);
    void* GetLocalParameterReadDataPtr(int n);
    void* GetLocalParameterWriteDataPtr(int n);
    // Appends it and makes this behaviour its owner; -1 for null.
    CKERROR AddInputParameter(CKParameterIn* input);
    CKParameterIn* RemoveInputParameter(int n);
    // Made through the context and appended; null when none is made.
    CKParameterIn* CreateInputParameter(const char* name, int type);
    CKParameterIn* CreateInputParameterByGuid(const char* name, CKGUID type);
    CKParameterOut* CreateOutputParameter(const char* name, CKGUID type);
    CKParameterLocal* CreateLocalParameter(const char* name, CKGUID type, CKBOOL setting = FALSE);
    // Drops the parameter from the list of its class and forgets it as the
    // target input.
    void RemoveParameter(CKObject* parameter);

    // Target: the object the target input reads when it is of the input
    // type's class, else null; without a target input, the owner.
    CKObject* GetTarget();
    CKParameterIn* GetTargetParameter() const;
    // The input that names the target (null for none): owned by this
    // behaviour, with flag 0x40000 in step.
    void SetTargetParameter(CKParameterIn* input);

    // Graph. -1 without a graph or for null; -17 when present.
    int GetSubBehaviorCount() const { return m_Graph ? m_Graph->m_SubBehaviors.Size() : 0; }
    CKBehavior* GetSubBehavior(int n) const;
    // Also -1 for this behaviour or one above it, or one already in a
    // graph. The sub-behaviour takes this behaviour as parent and its owner;
    // the list stays sorted by priority.
    CKERROR AddSubBehavior(CKBehavior* behavior);
    CKBehavior* RemoveSubBehavior(CKBehavior* behavior);
    int GetSubBehaviorLinkCount() const { return m_Graph ? m_Graph->m_Links.Size() : 0; }
    CKBehaviorLink* GetSubBehaviorLink(int n) const;
    CKERROR AddSubBehaviorLink(CKBehaviorLink* link);
    CKBehaviorLink* RemoveSubBehaviorLink(CKBehaviorLink* link);
    int GetParameterOperationCount() const { return m_Graph ? m_Graph->m_Operations.Size() : 0; }
    CKParameterOperation* GetParameterOperation(int n) const;
    // Also makes this behaviour the operation's owner.
    CKERROR AddParameterOperation(CKParameterOperation* operation);
    // Clears the operation's owner.
    CKParameterOperation* RemoveParameterOperation(CKParameterOperation* operation);

    // Editor layout data (owned); null by default.
    CKStateChunk* GetInterfaceChunk() const { return m_InterfaceChunk; }
    void SetInterfaceChunk(CKStateChunk* chunk);

    // After a file load: operations of this graph that an ancestor claims
    // leave the ancestors' lists (the file is then obsolete) and are owned
    // here; then the "Load" message.
    void FinishFileLoad();

    // CKObject.
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // -1 for a null chunk.
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    // The post-load fix of a script or of a behaviour still marked for it.
    void PostLoad() override;
    void PreDelete() override;
    // Drops listed objects that are being deleted.
    void CheckPreDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    static void Register();
    static const char* GetClassName();

private:
    // The fix of PostLoad: names, owners and order, down the graph.
    void FixAfterLoad();
    void SortSubBehaviors();
    // Number of ancestors, at most kMaxGraphDepth + 1; sets isAncestor when
    // candidate is one of them.
    int CountAncestors(const CKBehavior* candidate, bool& isAncestor) const;
    // Whether a loaded sub-behaviour may join this graph (and its parent is
    // then set).
    bool AdoptLoadedSubBehavior(CKBehavior* sub);
    void LoadFileArrays(CKStateChunk* chunk, CKDWORD contents);
    void LoadOldArrays(CKStateChunk* chunk);
    void LoadWithoutFile(CKStateChunk* chunk);
    void SaveWithoutFile(CKStateChunk* chunk, CKDWORD flags);
    // Fills the context's behaviour-call record and calls the callback.
    int InvokeCallback(CKDWORD message);

    CK_ID m_Owner = 0;
    CK_ID m_Parent = 0;
    XObjectPointerArray m_Inputs;
    XObjectPointerArray m_Outputs;
    XObjectPointerArray m_InParameters;
    XObjectPointerArray m_OutParameters;
    XObjectPointerArray m_LocalParameters;
    CK_CLASSID m_CompatibleClassID = CKCID_BEOBJECT;
    int m_Priority = 0;
    CKDWORD m_Flags = CKBEHAVIOR_DEFAULTFLAGS;
    CKStateChunk* m_InterfaceChunk = nullptr;
    CKBehaviorGraph* m_Graph = nullptr;
    CKBehaviorBlockData* m_BlockData = nullptr;
    float m_LastExecutionTime = 0.0f;
    CK_ID m_Target = 0;
};
