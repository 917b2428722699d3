#pragma once

#include "core/context/CKBaseManager.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/XObjectPointerArray.h"
#include "includes/XArray.h"
#include "includes/XBitArray.h"
#include "includes/XClassArray.h"
#include "includes/XString.h"

class CKBeObject;
struct CKPluginEntry;

// Attribute type and category flags besides those behavioural objects read
// (CK_ATTRIBUTE_DONOTSAVE 0x08, CK_ATTRIBUTE_KEEPONCLEAR 0x20, ...).
enum : CKDWORD
{
    CK_ATTRIBUTE_KEEPUNUSED = 0x10,    // kept and saved even when no object carries it
    CK_ATTRIBUTE_SAVEDWITHFILE = 0x80, // set by the file writer while a saved parameter names the type
    CK_ATTRIBUTE_ALWAYSSAVE = 0x80000000,
};

// Flags a type or category that a file brings gets in addition to its own.
constexpr CKDWORD CK_ATTRIBUTE_FROMFILE = 0x13;

// Called when an object gains (set 1) or loses (set 0) an attribute.
typedef void (*CKATTRIBUTECALLBACK)(int attributeType, CKBOOL set, CKBeObject* object, void* argument);

// The registry of attribute types: named tags, optionally carrying a
// parameter of a given type, that behavioural objects carry. For each type it
// keeps the objects that carry it and those of them in the current scene,
// and calls the type's callback when an object gains or loses it. Types are
// grouped into named categories. The registry travels with saved files; a
// load gives the table from the file's type indices to the running ones and
// converts the indices stored in the loaded objects' chunks.
class CKAttributeManager : public CKBaseManager
{
public:
    explicit CKAttributeManager(CKContext* context);
    ~CKAttributeManager() override;

    // Registration and lookup.

    // -1 for a null name; a registered name gives its index and changes
    // nothing. A type with neither 0x10 nor 0x20 gets 0x10.
    int RegisterNewAttributeType(const char* name, CKGUID parameterType, CK_CLASSID compatibleCid = CKCID_BEOBJECT,
                                 CKDWORD flags = 0);
    // -1 for null or unknown. The last ten names found answer first.
    int GetAttributeTypeByName(const char* name);
    CKBOOL IsAttributeTypeValid(int type) const;
    int GetAttributeCount() const { return m_Types.Size(); }
    // "" for a type without name; null for an invalid type.
    const char* GetAttributeNameByType(int type) const;
    // (0, 0) for an invalid type or a type without value.
    CKGUID GetAttributeParameterGUID(int type) const;
    // The parameter type index of the value; -1 for none.
    int GetAttributeParameterType(int type) const;
    // 0xFFFFFFFF (-1) for an invalid type.
    CK_CLASSID GetAttributeCompatibleClassId(int type) const;
    CKDWORD GetAttributeFlags(int type) const;
    // Text of the default value of new parameters; null for none.
    const char* GetAttributeDefaultValue(int type) const;
    int GetAttributeCategoryIndex(int type) const;
    // The plug-in that registered the type (0 for the program).
    CKPluginEntry* GetAttributeCreatorDll(int type) const;
    // The objects that carry the type; an empty list for an invalid type.
    const XObjectPointerArray& GetAttributeObjectList(int type) const;
    // Those of them in the current scene.
    const XObjectPointerArray& GetAttributeSceneObjectList(int type) const;

    void SetAttributeCallbackFunction(int type, CKATTRIBUTECALLBACK callback, void* argument);
    void ModifyAttributeFlags(int type, CKDWORD add, CKDWORD remove);
    void SetAttributeDefaultValue(int type, const char* text);
    // Unless set, types flagged 0x10 are saved even when no object carries
    // them.
    void SetSaveOnlyUsedTypes(CKBOOL only) { m_SaveOnlyUsed = only; }

    // Categories.

    // -1 for a null name; an existing category's index; else a new one.
    int AddCategory(const char* name, CKDWORD flags = 0);
    // Every type of the category loses it; later categories move down.
    void RemoveCategory(const char* name);
    // -1 for a null or unknown name.
    int GetCategoryByName(const char* name) const;
    int GetCategoryCount() const { return m_Categories.Size(); }
    // Null outside the categories.
    const char* GetCategoryName(int index) const;
    CKDWORD GetCategoryFlags(int index) const;
    // Adds the category when needed; its index, 0 for an invalid type.
    int SetAttributeCategory(int type, const char* category);

    // Objects (called for CKBeObject).

    // The object joins the type's lists (its scene list when it is in the
    // current scene); the callback hears of a new carrier.
    void AddAttributeToObject(int type, CKBeObject* object);
    void RemoveAttributeFromObject(int type, CKBeObject* object);
    // An object entered a scene: when it is the current one, the object
    // joins the scene lists of its types.
    void ObjectEnteredScene(CKScene* scene, CKBeObject* object);
    // Kept for old chunks of behavioural objects: loaded attribute types are
    // converted by the file's remapping of the manager's values, so nothing
    // is left to change here.
    void RemapAttributeTypes(CKStateChunk* chunk) { (void) chunk; }
    // The running index of a type index stored by the last loaded file; the
    // index itself without a table, -1 outside it.
    int ConvertLoadedType(int stored) const;

    // Manager callbacks.

    CKERROR OnObjectsAddedToScene(CKScene* scene, CK_ID* ids, int count) override;
    CKERROR OnObjectsRemovedFromScene(CKScene* scene, CK_ID* ids, int count) override;
    CKERROR PreClearAll() override;
    CKERROR PostLoad() override;
    // A chunk of class and identifier 82: the categories and the types
    // worth saving (see SaveData in the .cpp).
    CKStateChunk* SaveData(CKFile* file) override;
    // -1 for a null chunk; 0 otherwise.
    CKERROR LoadData(CKStateChunk* chunk, CKFile* file) override;
    CKDWORD GetValidFunctionsMask() override
    {
        return CKMANAGER_FUNC_PreClearAll | CKMANAGER_FUNC_PostLoad | CKMANAGER_FUNC_OnObjectsAddedToScene |
               CKMANAGER_FUNC_OnObjectsRemovedFromScene;
    }

    // The types written by the last save.
    const XBitArray& GetSavedTypes() const { return m_SavedTypes; }

    // Installs what behavioural objects reach of attribute types
    // (CKBeObjectLinks).
    static void InstallLinks();

    // Chunk class id and identifier of the manager's data.
    static constexpr CK_CLASSID ChunkClassID = 82;

private:
    struct AttributeType
    {
        XString Name;
        CKGUID ParameterType;
        XObjectPointerArray Objects;
        XObjectPointerArray SceneObjects;
        int Category = -1;
        CK_CLASSID CompatibleCid = CKCID_BEOBJECT;
        CKATTRIBUTECALLBACK Callback = nullptr;
        void* Argument = nullptr;
        XString DefaultValue;
        bool HasDefaultValue = false;
        CKDWORD Flags = 0;
        CKPluginEntry* CreatorDll = nullptr;
    };
    struct Category
    {
        XString Name;
        CKDWORD Flags = 0;
    };
    struct RecentName
    {
        XString Name;
        int Type = -1;
    };

    AttributeType* Type(int type) const { return IsAttributeTypeValid(type) ? m_Types[type] : nullptr; }
    void CallCallback(AttributeType* record, int type, CKBOOL set, CKBeObject* object, const char* failure);
    void RemoveUnusedCategories();
    // The object joins (leaves) the scene lists of its types.
    void EnterScene(CKBeObject* object, bool enter);
    // The same for the objects when the scene is the current one.
    void EnterScene(CKScene* scene, CK_ID* ids, int count, bool enter);

    XArray<AttributeType*> m_Types;
    XArray<Category*> m_Categories;
    XArray<int> m_ConversionTable;
    XBitArray m_SavedTypes;
    CKBOOL m_SaveOnlyUsed = FALSE;
    XClassArray<RecentName> m_RecentNames;
    XObjectPointerArray m_EmptyList;
};
