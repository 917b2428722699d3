#pragma once

#include "core/object/CKObject.h"
#include "core/parameter/CKParameterTypeDesc.h"

class CKParameterManager;

// Object flags of parameters (CKObject::GetObjectFlags).
enum : CKDWORD
{
    CK_PARAMETERLOCAL_SETTING = 0x00400000, // a local that is a behaviour's setting
    CK_PARAMETEROUT_PARAMOP = 0x00800000,   // the result of a parameter operation
    CK_PARAMETERIN_DISABLED = 0x01000000,   // an input switched off by its behaviour
    CK_PARAMETERLOCAL_MYSELF = 0x02000000,  // a local holding the id of its behaviour's owner
    CK_PARAMETERIN_SHARED = 0x04000000,     // an input whose source field names another input
    CK_PARAMETER_FLAGSMASK = 0x0FC00000,    // what copies take from their source
};

// Identifiers of the parameters' state chunks.
enum : CKDWORD
{
    CK_STATESAVE_PARAMETEROUT_DESTINATIONS = 32,
    CK_STATESAVE_PARAMETER_VALUE = 64,
    CK_STATESAVE_PARAMETERLOCAL_MYSELF = 512,
    CK_STATESAVE_PARAMETERLOCAL_SETTING = 1024,
};

// Forms of a saved value, the word after the type GUID.
enum : int
{
    CK_PARAMETERVALUE_SAVELOAD = 0, // a sub-chunk made by the type's save/load callback
    CK_PARAMETERVALUE_BUFFER = 1,   // the bytes (a type GUID for "Registered Parameter")
    CK_PARAMETERVALUE_OBJECT = 2,   // an object reference
    CK_PARAMETERVALUE_NONE = 3,
    // Any other word is the first word of a manager GUID (a manager integer).
};

// GUIDs of older files, replaced by "Message", "Attribute" and "Time" on load.
constexpr CKGUID CKPGUID_OLDMESSAGE(0x213661CC, 0x7D1A2D54);
constexpr CKGUID CKPGUID_OLDATTRIBUTE(0x13B97E4C, 0x982E8B4F);
constexpr CKGUID CKPGUID_OLDTIME(0x4A4D4867, 0x3C28773F);

// A valid type whose 4-byte value is kept inside the parameter object.
CKBOOL CKIsFixedSizeParameterType(const CKParameterTypeDesc* desc);
// A type whose value is a pointer to an object the parameter owns
// ("Collection", "State Chunk", "2D Curve", the dependency types) or to
// anything ("Pointer"). Files and GetDataSize give such values 4 bytes; in
// memory they are native pointers, read and written at their native size
// (GetValue copies a whole pointer; SetValue writes one unless the type owns
// what it points to).
CKBOOL CKIsPointerParameterType(const CKParameterTypeDesc* desc);
// The GUID that replaces an older one, or the GUID itself.
CKGUID CKReplaceOldParameterGuid(CKGUID guid);

// A typed value: the type comes from the parameter manager and brings the
// value's size and callbacks. A value whose type is a fixed 4-byte type (or a
// pointer) lives inside the object; any other value in a buffer of the
// type's size that the parameter owns. A parameter may have no type: it then
// has no value, and every operation says so (a type unregistered while in
// use is dropped from its parameters).
//
// Outputs (CKParameterOut) push each change to their destinations; locals
// (CKParameterLocal) are a behaviour's own values; variable parameters
// (CKParameterVariable) read and write an engine variable. Inputs
// (CKParameterIn) are no CKParameter: they read another parameter.
class CKParameter : public CKClass<CKParameter, CKObject, CKCID_PARAMETER>
{
public:
    explicit CKParameter(CKContext* context, const char* name = nullptr);
    // Runs the type's delete callback and frees the value.
    ~CKParameter() override;

    // Value. Errors: -1 for a null argument, -24 without value.

    // Copies the value (GetDataSize bytes, a whole pointer for a pointer
    // type) into buffer. update: outputs of operations compute first.
    virtual CKERROR GetValue(void* buffer, CKBOOL update = TRUE);
    // A size of 1 or more that differs from the current one resizes a
    // buffered value first; then copies the value from buffer (a null buffer
    // only resizes). An in-object value takes its bytes from buffer (the
    // first size bytes, zero-filled, when size is 1 to 3). A pointer type
    // takes a whole pointer from buffer; -1 for one whose type owns what it
    // points to.
    virtual CKERROR SetValue(const void* buffer, int size = 0);
    // The type's copy from source: -1 for null, -2 when the types are not
    // compatible. updateSource: an operation's result computes first.
    virtual CKERROR CopyValue(CKParameter* source, CKBOOL updateSource = TRUE);
    virtual void* GetReadDataPtr(CKBOOL update = TRUE);
    virtual void* GetWriteDataPtr();
    // The type's text callback: the value from text; -1 when the type has
    // none.
    virtual CKERROR SetStringValue(const char* text);
    // The value's text into buffer (at most bufferSize bytes, cut and
    // terminated); the full size with the terminating zero, so a caller
    // asks with a null buffer first. Without a text callback an empty text
    // and 0.
    virtual int GetStringValue(char* buffer, int bufferSize, CKBOOL update = TRUE);
    virtual void SetOwner(CKObject* owner) { m_Owner = owner; }
    CKObject* GetOwner() const { return m_Owner; }

    // Type.

    // -1 without type.
    int GetType() const { return m_ParamType ? m_ParamType->Index : -1; }
    // (0, 0) without type.
    CKGUID GetGUID() const { return m_ParamType ? m_ParamType->Guid : CKGUID(); }
    CKParameterTypeDesc* GetTypeDesc() const { return m_ParamType; }
    // Changes the type (an index or GUID that names none drops the type and
    // the value). A compatible type keeps what it can of the value; a
    // type that owns an object gets a fresh one.
    void SetType(int type);
    void SetGUID(CKGUID guid);
    // The class of the objects the value names; 0 for other types.
    CK_CLASSID GetParameterClassID() const { return m_ParamType ? m_ParamType->ClassId : 0; }
    // Same type, or one derives from the other.
    CKBOOL IsCompatibleWith(CKParameter* other);
    // The object whose id is the value; null when none.
    CKObject* GetValueObject(CKBOOL update = TRUE);
    int GetDataSize() const { return m_Size; }

    // Called by the parameter manager while it unregisters the type: its
    // delete callback runs and the parameter keeps no type.
    void ForgetType();

    // CKObject.
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // -1 for a null chunk; -2 (with a console line) for a type that is not
    // registered.
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    // Forgets an owner that is being deleted.
    void CheckPreDeletion() override;
    // The type's check callback (ids of deleted objects).
    void CheckPostDeletion() override;
    int GetMemoryOccupation() override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    static void Register();
    static const char* GetClassName();

protected:
    // The value storage follows the type: in the object for fixed 4-byte
    // types, else a buffer. Variable parameters keep theirs elsewhere.
    virtual void CheckStorageClass(CKParameterTypeDesc* newType);
    CKParameterManager* Manager() const;
    // The value's bytes, whatever the class and its flags say; null without.
    void* Storage() { return m_InObject ? (void*) &m_Value : (void*) m_Buffer; }
    // Writes the first 4 bytes of the value (nothing when it has fewer or
    // holds a pointer).
    void StoreWord(CKDWORD word);
    // Runs the owning operation of an operation's result before a read,
    // unless the parameter is being deleted; a cycle of operations stops at
    // the first one met again.
    void UpdateResult();
    // The value and type sections (identifier 64) of Save.
    void WriteValue(CKStateChunk* chunk, CKDWORD flags);
    // The chunk of the class with the CKObject sections in front.
    CKStateChunk* StartChunk(CKFile* file, CKDWORD flags);
    // Frees a buffer, runs no callback.
    void FreeBuffer();

    CKObject* m_Owner = nullptr;
    CKParameterTypeDesc* m_ParamType = nullptr;
    int m_Size = 0;
    // A buffered value (owned), null for an in-object one.
    CKBYTE* m_Buffer = nullptr;
    // An in-object value: a 32-bit word, or a pointer for pointer types.
    union
    {
        CKDWORD Word;
        void* Pointer;
    } m_Value{};
    CKBOOL m_InObject = FALSE;
    CKBOOL m_Updating = FALSE;

private:
    void LoadBufferForm(CKStateChunk* chunk, CKGUID stored);
};
