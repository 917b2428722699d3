#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XBitArray.h"
#include "includes/XClassArray.h"
#include "includes/XHashTable.h"
#include "includes/XString.h"

class CKContext;
class CKObject;
class CKStateChunk;
class CKBufferParser;
class CKMemoryBufferParser;
class CKStreamWriter;
class CKObjectIDList;
class QxMemoryMappedFile;

// Load flags (CKFile::OpenFile, CKFile::Load).
enum : CKDWORD
{
    CK_LOAD_DODIALOG = 0x8,           // clashing names are handed to the interface callback (message 16)
    CK_LOAD_AS_DYNAMIC_OBJECT = 0x10, // loaded objects are dynamic
    CK_LOAD_AUTOMATICMODE = 0x20,     // name clashes are resolved by the context's policies
    CK_LOAD_CHECKDUPLICATES = 0x40,
    CK_LOAD_CHECKDEPENDENCIES = 0x80, // plug-in dependencies are checked (-55 when one is missing)
    CK_LOAD_ONLYBEHAVIORS = 0x100,
    CK_LOAD_REPLACEDUPLICATES = 0x200, // every clashing record loads over the existing object
};

// Bits of the save-options word (the context's file write mode).
enum : CKDWORD
{
    CKFILE_FORVIEWER = 0x1,       // sections are offered to packing
    CKFILE_WHOLECOMPRESSED = 0x8, // sections are offered to packing
    CKFILE_NOTHUMBNAIL = 0x4,
    CKFILE_PACKMASK = CKFILE_FORVIEWER | CKFILE_WHOLECOMPRESSED,
};

// Load options of a record.
enum : CKDWORD
{
    CKFILE_LOAD_NORMAL = 0,
    CKFILE_LOAD_RENAME = 1,   // made under a numbered name (creation option 2)
    CKFILE_LOAD_REPLACE = 2,  // the existing object is reused and loaded over (creation option 1)
    CKFILE_LOAD_DONTLOAD = 3, // skipped by every load step, no PostLoad
};

// One object of a file being saved or loaded.
struct CKFileObjectRecord
{
    CK_ID m_ObjectID = 0;      // saved id; bit 31 marks a reference-only object in the file
    CK_ID m_CreatedObject = 0; // id of the object made on load, 0 until then
    CK_CLASSID m_ClassID = 0;
    CKDWORD m_SaveFlags = 0; // here rather than last: no padding in the record
    CKObject* m_Object = nullptr;
    char* m_Name = nullptr;         // owned: a memory-manager string (CKStrdup)
    CKStateChunk* m_Data = nullptr; // owned by the record
    int m_PostPackSize = 0;
    int m_PrePackSize = 0;
    CKDWORD m_LoadOption = 0;
    CKDWORD m_DataOffset = 0;
};

// A manager's own data in a file.
struct CKFileManagerRecord
{
    CKStateChunk* m_Data = nullptr; // owned
    CKGUID m_Manager;
};

// The plug-ins of one category a file needs; on load one bit per GUID says
// whether its plug-in is present.
struct CKFilePluginDependency
{
    int m_PluginCategory = 0;
    XArray<CKGUID> m_Guids;
    XBitArray m_ValidGuids;
};

// The header values of the last file written or read (all 32-bit, as in the
// file).
struct CKFileInfo
{
    CKDWORD ProductVersion = 0;
    CKDWORD ProductBuild = 0;
    CKDWORD FileWriteMode = 0; // the save-options word
    CKDWORD FileVersion = 0;
    CKDWORD CKVersion = 0; // engine version
    CKDWORD FileSize = 0;
    CKDWORD ObjectCount = 0;
    CKDWORD ManagerCount = 0;
    CKDWORD MaxIDSaved = 0;
    CKDWORD Crc = 0;
    CKDWORD Hdr1PackSize = 0;
    CKDWORD Hdr1UnPackSize = 0;
    CKDWORD DataPackSize = 0;
    CKDWORD DataUnPackSize = 0;
};

// An object whose Load, in a file load, refused what the file gave it (its
// section or a part of it).
struct CKFileRefusal
{
    CK_CLASSID m_ClassID = 0;
    XString m_Name;
    // The reason its class gave (CKNoteLoadRefusal), else the text of the
    // error its Load returned.
    XString m_Text;
};

// Hash of object ids for the file's id table. Saved ids are mostly
// consecutive, and on load they come from the file: the bits are mixed so
// that neither runs of ids nor ids sharing their low bits crowd a bucket
// (the engine's default hash of integers drops their low 8 bits).
struct CKFileIdHash
{
    CKDWORD operator()(CK_ID id) const
    {
        CKDWORD h = id * 0x9E3779B1u;
        return h ^ (h >> 15);
    }
};

// Maps a reference-only record (saved id without bit 31, class, name) to an
// existing object of the loading context, or null.
typedef CKObject* (*CKFileReferenceResolver)(CKContext* context, const CKFileObjectRecord& record, void* data);

// One engine file being saved or loaded: object, composition, player and
// script files share one layout (see CKFileFormat.h). A CKFile is made by
// CKContext::CreateCKFile and used for one save or one load.
//
// Saving: StartSave, then SaveObject / SaveObjects / SaveObjectList /
// SaveObjectAsReference / IncludeFile (objects add more from their PreSave),
// then EndSave, which asks every object for its state chunk, gathers the
// managers' data and the plug-in dependencies, packs, checksums and writes
// a temporary file beside the target that replaces it only once complete.
//
// Loading: Load (or OpenFile / OpenMemory then LoadFileData) reads headers
// and descriptors, checks the checksum, reads the sections, creates one
// object per descriptor, remaps references, lets the managers read their
// data and loads every object from its chunk. Every size, count, offset and
// name is checked against the bytes before it is used; a file refused before
// the objects are created leaves the context untouched.
//
// A state chunk bound to the file writes an object reference as the index of
// the object's record and reads one back as the id created for the record at
// that index.
class CKFile
{
public:
    explicit CKFile(CKContext* context);
    // ClearData, then the context's name-clash policies back to -1.
    ~CKFile();
    CKFile(const CKFile&) = delete;
    CKFile& operator=(const CKFile&) = delete;

    CKContext* GetCKContext() const { return m_Context; }

    // Saving.

    // -22 without a name or for an executable extension (".exe", ".dll" ...),
    // -50 when the file cannot be opened for appending; else 0, with the
    // context's saving flag set.
    CKERROR StartSave(const char* name, CKDWORD flags = 0);
    // Adds an object (null: nothing) to the file. An object flagged 0x1000
    // goes to SaveObjectAsReference; objects flagged 0x20, or dynamic, get no
    // record; an object added twice is saved once.
    void SaveObject(CKObject* object, CKDWORD flags = 0);
    void SaveObjectAsReference(CKObject* object, CKDWORD flags = 0);
    void SaveObjects(CKObject** objects, int count, CKDWORD flags = 0);
    void SaveObjectList(CKObjectIDList* list, CKDWORD flags = 0);
    // 1 when the file was added to the files appended to the saved file, 0
    // when refused: null or empty name, not found through the path manager
    // (category >= 0), or already included (ignoring case).
    CKBOOL IncludeFile(const char* name, int category = -1);
    // 0; -6 when a section cannot be made (or passes the 32-bit sizes of the
    // format); -50 when the output cannot be opened or put in place; -49
    // when writing fails. On failure the previous file is untouched.
    CKERROR EndSave();

    // Loading.

    // Opens a file (mapped when possible) and reads its headers. 0, -55 when
    // plug-ins are missing (the load can go on), -59 when the interface
    // callback cancelled on a name clash, else the error.
    CKERROR OpenFile(const char* name, CKDWORD loadFlags = 0);
    // As OpenFile on bytes in memory (not copied; they must outlive the
    // load). -1 for null, -22 when shorter than 32 bytes or not starting with
    // "Dorn".
    CKERROR OpenMemory(const void* buffer, int size, CKDWORD loadFlags = 0);
    // OpenFile then LoadFileData; the ids of the loaded objects that a
    // caller expects (behaviour objects, scripts ...) go into list when given.
    CKERROR Load(const char* name, CKObjectIDList* list, CKDWORD loadFlags = 0);
    // Reads the sections (unless done), creates and loads the objects. -22
    // when nothing is open.
    CKERROR LoadFileData(CKObjectIDList* list);
    // Applies CKStateChunk::RemapManagerInt to every loaded object's chunk.
    void RemapManagerInt(CKGUID manager, const int* table, int count);
    void SetReferenceResolver(CKFileReferenceResolver resolver, void* data)
    {
        m_Resolver = resolver;
        m_ResolverData = data;
    }

    // Loading: the objects whose Load refused what the file gave them (it
    // returned an error, or its class gave a reason through
    // CKNoteLoadRefusal), one entry per refused Load, in load order. The
    // load still runs to its end and its result does not change: this list
    // is how the loss is seen.
    int GetRefusalCount() const { return m_Refusals.Size(); }
    // Null for an index out of range.
    const CKFileRefusal* GetRefusal(int index) const
    {
        return index >= 0 && index < m_Refusals.Size() ? &m_Refusals[index] : nullptr;
    }
    // The reason the object now loading gives for refusing (the first one
    // given during its Load is kept). Reached through CKNoteLoadRefusal.
    void NoteRefusal(const char* text);

    // Frees every record's chunk and name and every manager chunk, empties
    // the record arrays, id sets, reference array, per-class lists, clash
    // list and refusals, forgets the name, closes the parser and the
    // mapping. The plug-in dependencies and the included files are kept.
    void ClearData();

    // Records (used by bound state chunks too).

    // Appends a record for an object to save under its id and enters it in
    // the id table; returns its index. An id already recorded keeps its
    // record (its index is returned).
    int AddObjectRecord(CK_ID id, CK_CLASSID cid);
    // Saving: the record index of an object id, -1 for 0 or an id that is
    // not being saved.
    int GetSavedObjectIndex(CK_ID id) const;
    int GetObjectRecordCount() const { return m_FileObjects.Size(); }
    // Loading: the id created for the record at an index; 0 for a negative
    // index or one not below the record count.
    CK_ID GetCreatedObjectID(int index) const;
    // Loading: the id created for the first record whose saved id (bit 31
    // ignored) equals id; 0 when none.
    CK_ID FindCreatedObjectID(CK_ID savedId) const;
    // Frees every record's chunk and name and empties the records and the
    // id table.
    void ClearObjectRecords();

    const CKFileInfo& GetFileInfo() const { return m_FileInfo; }
    const char* GetFileName() const { return m_FileName.CStr(); }
    CKDWORD GetLoadFlags() const { return m_LoadFlags; }
    int GetIncludedFileCount() const { return m_IncludedFiles.Size(); }
    const char* GetIncludedFile(int index) const
    {
        return index >= 0 && index < m_IncludedFiles.Size() ? m_IncludedFiles[index].CStr() : nullptr;
    }
    // Record indices of one class (exact class), in record order.
    const XArray<int>* GetIndexByClass(CK_CLASSID cid) const
    {
        return cid >= 0 && cid < m_IndexByClassId.Size() ? &m_IndexByClassId[cid] : nullptr;
    }

    CKContext* m_Context = nullptr;
    int m_SaveIDMax = 0;
    XArray<CKFileObjectRecord> m_FileObjects;
    XArray<CKFileManagerRecord> m_ManagersData;
    XClassArray<CKFilePluginDependency> m_PluginsDep;
    XClassArray<XArray<int>> m_IndexByClassId;
    XClassArray<XString> m_IncludedFiles;
    CKFileInfo m_FileInfo;
    CKDWORD m_LoadFlags = 0;
    XString m_FileName;
    CKBufferParser* m_Parser = nullptr;
    // The file being read, mapped; kept until ClearData when the loaded
    // chunks borrow from it.
    QxMemoryMappedFile* m_MappedFile = nullptr;
    // Saved id -> record index. Saving also keeps a dense table (index + 1 by
    // id) for the ids of live objects, which are small and many; the hash
    // table holds the rest and, on load, the ids read from the file.
    XHashTable<int, CK_ID, CKFileIdHash> m_ObjectsHashTable;
    XArray<int> m_SavedIndexById;
    // Records read from a file by saved id (index + 1, 0: none), for the
    // dense ids; the others are in m_ObjectsHashTable.
    XArray<int> m_LoadedIndexById;
    CKBOOL m_ReadFileDataDone = FALSE;
    CKBOOL m_SceneSaved = FALSE;
    // Records whose names clash on load (policy "ask").
    XArray<int> m_DuplicateNameFounds;
    XBitArray m_AlreadySavedMask;
    XBitArray m_AlreadyReferencedMask;
    XArray<CKObject*> m_ReferencedObjects;

private:
    // Save side.
    void AddRecord(CKObject* object, CKDWORD flags);
    CKBOOL IsExcludedFromSave(CKObject* object) const;
    void ResetIndexByClass();
    // EndSave's phases, in their order; what they hand on to each other
    // (CKFileSave.cpp).
    struct SaveState;
    // Marks the objects saved by reference with 0x1000 and their records'
    // ids with bit 31; RestoreReferenceMarks gives each object its own flag
    // back.
    void MarkReferences(SaveState& save);
    // Interface message 9 with the ids of the saved scripts that have no
    // interface chunk.
    void AnnounceScriptsWithoutInterface();
    // Asks every record's object for its state chunk (a throwing object is
    // reported and keeps none).
    void SaveObjectChunks(SaveState& save);
    // Marks the user enumerations and flags that the saved parameters use,
    // for the parameter manager to save.
    void MarkUserTypes(SaveState& save);
    // Marks (0x80) the attribute types that saved "Attribute" parameters name.
    void MarkAttributeTypes(SaveState& save);
    // Asks every manager for its data (a throwing manager is reported and
    // skipped).
    void SaveManagersData();
    // Sizes of both sections and the records' data offsets; -6 when the
    // sections pass what 32-bit sizes hold.
    CKERROR LayOutSections(SaveState& save);
    // Makes the header data buffer and fills it; -6 without memory.
    CKERROR BuildHeaderData(SaveState& save);
    // The mirror of ReadHeaderData: the descriptors, plug-in dependencies
    // and included-file table into size bytes. False unless they fill them
    // exactly.
    bool WriteHeaderData(char* bytes, int size);
    void RestoreReferenceMarks(SaveState& save);
    // Packs each section where it pays (save options 1 or 8); -6 without
    // memory.
    CKERROR PackSections(SaveState& save);
    // Adler-32 (from 0) of the data section as stored.
    CKDWORD SumDataSection(SaveState& save);
    void KeepHeaderValues(SaveState& save, CKDWORD crc);
    // Writes the file beside the target and puts it in place, the data
    // section through WriteDataSection.
    CKERROR WriteSections(const XString& target, CKMemoryBufferParser* header, SaveState& save);
    bool WriteDataSection(SaveState& save, CKStreamWriter* writer);
    void SaveThumbnail();

    // Load side.
    // Takes the parser made over the bytes to read (memory kind: inMemory)
    // and reads the headers; -6 for no parser, -1 (deleted) for an invalid one.
    CKERROR OpenWith(CKBufferParser* parser, CKBOOL inMemory, CKDWORD loadFlags);
    CKERROR OpenParser(CKDWORD loadFlags);
    CKERROR ReadFileHeaders();
    CKERROR ReadHeaderData(const char* bytes, int size);
    // Enters a record read from a file under its saved id (bit 31 cleared):
    // ids below limit in the direct table, the others in the hash table.
    void IndexLoadedId(int index, CK_ID saved, CK_ID limit);
    CKERROR CheckDependenciesOfOldFile();
    void ResolveNameClashes();
    CKERROR ReadFileData();
    CKERROR ReadIncludedFiles();
    CKERROR FinishLoading(CKObjectIDList* list, CKDWORD loadFlags);
    // The context's parameter that a parameter saved by reference stands
    // for; null (with a console line) when none matches.
    CKObject* FindSharedParameter(CKFileObjectRecord& record);
    // Runs a record's Load and lists the object when it refuses.
    void LoadRecord(CKFileObjectRecord& record, CKObject* object);
    // Deletes the parser; unmaps the file unless chunks borrow from it.
    void CloseParser();
    void ReleaseMapping();
    void ResetNameClashPolicies();
    // One line at the ERROR level of the engine's log source, naming what was wrong.
    void LogError(const char* format, ...) __attribute__((format(printf, 2, 3)));

    CKDWORD m_SaveFlags = 0;
    CKFileReferenceResolver m_Resolver = nullptr;
    void* m_ResolverData = nullptr;
    // Load: the included-file count of the header data; where the stored
    // data section starts and ends in the file.
    int m_IncludedFileCount = 0;
    int m_DataStart = 0;
    int m_DataEnd = 0;
    // Load: m_Parser is a memory parser (over the mapped file or the caller's bytes).
    CKBOOL m_ParserInMemory = FALSE;
    // Load: the records' chunks borrow their words from the mapped file,
    // which then stays mapped until ClearData.
    CKBOOL m_MappingLent = FALSE;
    // Load: the largest saved id among the records.
    CK_ID m_LoadedIDMax = 0;
    // Load: the records whose chunks hold references to rewrite.
    XArray<int> m_RecordsToRemap;
    // Load: the inflated data section, when the chunks borrow from it (kept
    // until ClearData).
    CKMemoryBufferParser* m_InflatedData = nullptr;
    // Load: the objects that refused, and the reason given during the Load
    // that runs now (m_RefusalNoted when one was).
    XClassArray<CKFileRefusal> m_Refusals;
    XString m_RefusalReason;
    CKBOOL m_RefusalNoted = FALSE;
};

// Said by an object's Load that refuses what a file gave it, or a part of
// it (printf-style): the file loading the object lists it with this reason
// (CKFile::GetRefusal). Outside a file's Load of an object nothing is kept;
// null does nothing.
void CKNoteLoadRefusal(CKObject* object, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The engine version word of the file last loaded (a build date 0xDDMMYYYY).
CKDWORD CKGetLoadedFileEngineVersion();
// The file version and save options of the file last loaded, and whether it
// was of an obsolete layout.
CKDWORD CKGetLoadedFileVersion();
CKDWORD CKGetLoadedFileWriteMode();
CKBOOL CKIsLoadedFileObsolete();
