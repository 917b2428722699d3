#pragma once

#include "includes/CKTypes.h"

class CKObject;
class CKBeObject;
class CKContext;
class CKScene;
class CKMessage;
class CKDependenciesContext;
class XObjectArray;
class CKBitmapData;

// Behaviour flags that behavioural objects read.
enum : CKDWORD
{
    CKBEHAVIOR_SCRIPT = 0x00000002,
    CKBEHAVIOR_BUILDINGBLOCK = 0x00008000,
    CKBEHAVIOR_INHERITFROMPROTOTYPE = 0x20000000,
};

// Attribute type flags that behavioural objects read.
enum : CKDWORD
{
    CK_ATTRIBUTE_FLAG4 = 0x04,
    CK_ATTRIBUTE_DONOTSAVE = 0x08,
    CK_ATTRIBUTE_KEEPONCLEAR = 0x20,
    CK_ATTRIBUTE_DONOTCOPY = 0x40,
};

// A behaviour is a script when it has the script flag and is no building block.
inline bool IsScriptFlags(CKDWORD flags)
{
    return (flags & CKBEHAVIOR_SCRIPT) && !(flags & CKBEHAVIOR_BUILDINGBLOCK);
}

// What CKBeObject and CKDependenciesContext need of classes that are not
// part of the core object model: behaviours, attribute types, scenes,
// groups, messages and the behaviour manager. Each entry mirrors one
// operation of those classes and is installed when they are registered
// (CKSetBeObjectLinks). An entry left null means the class is absent: the
// step that needs it is skipped, as each entry says.
struct CKBeObjectLinks
{
    // Behaviours (objects of class 8 and derived).
    // Flags word. Null: no object counts as a script.
    CKDWORD (*GetBehaviorFlags)(CKObject* behavior) = nullptr;
    // Class of the objects the behaviour applies to. Null: any class.
    CK_CLASSID (*GetBehaviorCompatibleClassID)(CKObject* behavior) = nullptr;
    // Priority used to sort scripts, higher first. Null: order of addition.
    int (*GetBehaviorPriority)(CKObject* behavior) = nullptr;
    // Owner of a behaviour, and setting it (0 on success; callback: the
    // behaviour hears "Detach" and "Attach"). Null: owners are not tracked.
    CKBeObject* (*GetBehaviorOwner)(CKObject* behavior) = nullptr;
    CKERROR (*SetBehaviorOwner)(CKObject* behavior, CKBeObject* owner, CKBOOL callback) = nullptr;
    // Sets, then clears, bits of the flags word. Null: the flags stay.
    void (*ModifyBehaviorFlags)(CKObject* behavior, CKDWORD set, CKDWORD clear) = nullptr;
    // Sends a behaviour callback message (16: activated in a scene, 17:
    // deactivated). Null: none is sent.
    void (*CallBehaviorCallback)(CKObject* behavior, CKDWORD message) = nullptr;

    // Attribute types of the context's attribute manager.
    // Flags of a type (CK_ATTRIBUTE_ values). Null: 0 for every type.
    CKDWORD (*GetAttributeFlags)(CKContext* context, int type) = nullptr;
    // Null: a type applies to every class; without a valid type, -1.
    CK_CLASSID (*GetAttributeCompatibleClassID)(CKContext* context, int type) = nullptr;
    // Parameter type of a type's value ((0, 0) for none). Null: no
    // attribute carries a parameter.
    CKGUID (*GetAttributeParameterGuid)(CKContext* context, int type) = nullptr;
    // The add callbacks and the removal of an object's attribute.
    void (*AttributeAddedToObject)(CKContext* context, int type, CKBeObject* object) = nullptr;
    void (*RemoveAttributeFromObject)(CKContext* context, int type, CKBeObject* object) = nullptr;
    // The type index of an attribute type stored by files older than chunk
    // version 6 without manager values. Null: unchanged.
    int (*ConvertOldAttributeType)(CKContext* context, int type) = nullptr;
    // The older attribute form: registers (or finds) a type by name, its
    // parameter type and class, with a category when not empty; the index.
    // Null: such attributes are skipped.
    int (*RegisterAttributeType)(CKContext* context, const char* name, CKGUID parameterType, CK_CLASSID cid,
                                 const char* category) = nullptr;

    // The text of a type's default value, given to the parameter made for
    // the attribute; null for none. Null: parameters keep their type's default.
    const char* (*GetAttributeDefaultValue)(CKContext* context, int type) = nullptr;

    // Scenes. The current scene, or null. Null: there is none.
    CKScene* (*GetCurrentScene)(CKContext* context) = nullptr;
    // The scene of a scene index (the bit of CKSceneObject's scene set).
    CKScene* (*GetSceneByIndex)(CKContext* context, int index) = nullptr;
    CKBOOL (*SceneHoldsObject)(CKScene* scene, CKObject* object) = nullptr;
    // The object's scene flags in the scene, with 0x80 when it has an
    // initial value there (the word CKBeObject saves).
    CKDWORD (*GetObjectSceneSaveFlags)(CKScene* scene, CKObject* object) = nullptr;
    // Copies the scene membership of the copied objects (sources: the ids of
    // the objects reached; their copies through the context's remap table).
    void (*AddCopiesToScenes)(CKDependenciesContext& context, const XObjectArray& sources) = nullptr;

    // Groups: adds the object to the group.
    void (*AddObjectToGroup)(CKObject* group, CKBeObject* object) = nullptr;
    // Group index of a group, -1 when it has none.
    int (*GetGroupIndex)(CKObject* group) = nullptr;

    // Behaviour manager: re-sorts the objects of the current scene after a
    // priority change.
    void (*SortObjects)(CKContext* context) = nullptr;
    // Raises (activate) or lowers the object's count of active scripts.
    // Null: nothing is counted.
    void (*ChangeActiveObject)(CKContext* context, CKBeObject* object, CKBOOL activate) = nullptr;

    // Messages: reference counting of received messages.
    void (*AddMessageReference)(CKMessage* message) = nullptr;
    void (*ReleaseMessage)(CKMessage* message) = nullptr;
    // The character of a body part (class 42), to which messages for the
    // part go too. Null: body parts pass nothing on.
    CKObject* (*GetBodyPartCharacter)(CKObject* bodyPart) = nullptr;

    // Textures and sprites: the bitmap data they embed, whose readers a file
    // being saved needs. Null: no object holds bitmap data.
    CKBitmapData* (*GetBitmapData)(CKObject* object) = nullptr;
};

const CKBeObjectLinks& CKGetBeObjectLinks();
// Replaces the entries, all of them at once.
void CKSetBeObjectLinks(const CKBeObjectLinks& links);
