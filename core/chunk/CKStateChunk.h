#pragma once

#include <bit>
#include <cstdint>

#include "core/chunk/ChunkReader.h"
#include "core/chunk/ChunkWriter.h"
#include "core/object/XObjectArray.h"
#include "core/object/XObjectPointerArray.h"
#include "includes/CKTypes.h"
#include "includes/XString.h"
#include "system/image/QxImageDesc.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxVector.h"
#include "system/memory/QxPoolObject.h"

class CKFile;
class CKObject;
class CKContext;
class CKDependenciesContext;
class CKObjectIDList;
class CKBitmapReader;
struct CKBitmapProperties;

// Option bits of a chunk. The low four travel in the serialised header; 0x40
// and 0x80 only mean something in memory.
enum : CKBYTE
{
    CHNK_OPTION_IDS = 0x01,               // the object-id position list is present
    CHNK_OPTION_MAN = 0x02,               // the manager position list is present
    CHNK_OPTION_CHN = 0x04,               // the sub-chunk position list is present
    CHNK_OPTION_FILE = 0x08,              // bound to a file: references are saved-object indices
    CHNK_OPTION_ALLOWDYN = 0x10,          // every object reference is written, dynamic ones too
    CHNK_OPTION_DONTDELETE_PTR = 0x40,    // the buffer is borrowed, never freed
    CHNK_OPTION_DONTDELETE_PARSER = 0x80, // the parser is not owned
};

// Layout versions of the chunk itself.
enum : int
{
    CHUNK_VERSION_MARKERREFS = 3, // and below: references are marker runs, no position lists
    CHUNK_VERSION_LISTS = 4,      // position lists; sub-chunk items without a manager count
    CHUNK_VERSION_MANAGERS = 5,   // sub-chunk items and old raw chunks carry a manager count
    CHUNK_VERSION_PACKED = 6,     // the packed form of the serialised chunk (read like 7)
    CHUNK_VERSION_CURRENT = 7,    // written by this engine
};

// Marker runs of references in chunks of version 3 and below.
constexpr CKDWORD CHUNK_OLD_OBJECT_MARKER[3] = {0xE32BC4C9, 0x134212E3, 0xFCBAE9DC};
constexpr CKDWORD CHUNK_OLD_SEQUENCE_MARKER[5] = {0xE192BD47, 0x13246628, 0x13EAB3CE, 0x7891AEFC, 0x13984562};

// Flag of ReadRawBitmap and ReadReaderBitmap: the chunk allocates the pixels
// (16-byte aligned; free them with QxDeleteAligned) instead of filling the
// caller's memory.
constexpr CKDWORD CKSTATECHUNK_ALLOCATEPIXELS = 0x1;

// Sub-chunks nested deeper than this stop a walk with the chunk's read error.
constexpr int CHUNK_MAX_NESTING = 64;

// Description of one chunk level for IterateChunks: the data words and the
// three position lists, the caller's arguments, and the walk's bookkeeping.
struct ChunkIteratorData
{
    int ChunkVersion = 0;
    CKDWORD* Data = nullptr;
    int DataSize = 0;
    const CKDWORD* ObjectIDs = nullptr;
    int ObjectIDCount = 0;
    const CKDWORD* SubChunks = nullptr;
    int SubChunkCount = 0;
    const CKDWORD* Managers = nullptr;
    int ManagerCount = 0;

    // Caller's arguments.
    CKContext* Context = nullptr;
    CKDependenciesContext* DepContext = nullptr;
    CKGUID Guid;
    const int* ConversionTable = nullptr;
    int ConversionTableSize = 0;

    // Nesting level (0 for the chunk itself); set when a list entry or an
    // item was refused because it did not fit or overlapped an earlier one.
    int Depth = 0;
    CKBOOL Refused = FALSE;
};

// Called on every chunk level by IterateChunks; returns a count that is summed.
typedef int (*ChunkIterateFct)(ChunkIteratorData* record);

// The serialised state of one object, one manager or a nested part of
// either: 32-bit words with a chain of identifiers that mark sections, and
// lists of the positions of object references, sub-chunks and manager values.
//
// Reading is bounded everywhere: every read, size, count, position list,
// sequence and sub-chunk is checked against the words that remain. A read
// that would pass the end sets the chunk's read error (sticky until the
// chunk is rewritten, cleared or loaded again; one log line the first time),
// moves the cursor to the end of the data and gives zeros, null or empty
// values. Identifier chains that loop stop with the same error.
//
// Writing is a programmer's business: a write with no writer open is
// reported (PLATFORM_CHECK) and ignored; a write that would pass the size
// limit or memory is reported and dropped.
class CKStateChunk : public QxPoolObject
{
public:
    // An empty chunk of the class; with a file it is bound to it (0x08).
    // Options start at 0x10 (write all objects).
    CKStateChunk(CK_CLASSID cid, CKFile* file);
    // As Clear, without touching the class id. A borrowed buffer is not freed.
    ~CKStateChunk() override;
    CKStateChunk(const CKStateChunk&) = delete;
    CKStateChunk& operator=(const CKStateChunk&) = delete;

    // Life.

    // Drops a borrowed buffer or frees the owned one, deletes an owned
    // parser, class id 0, read error cleared.
    void Clear();
    // Clear, then a copy of the source's header, buffer (owned), file binding
    // and id resolution mode. An open reader or writer of the source is
    // duplicated with its cursor. Cloning the chunk itself does nothing.
    void Clone(CKStateChunk* source);

    // Header.

    // Sign-extended; -1 marks a chunk in which every reference is written.
    CK_CLASSID GetChunkClassID() const { return (CK_CLASSID) (signed char) m_ChunkClassID; }
    int GetChunkVersion() const { return m_ChunkVersion; }
    int GetDataVersion() const { return m_DataVersion; }
    void SetDataVersion(CKDWORD version) { m_DataVersion = (CKBYTE) version; }
    CKBYTE GetChunkOptions() const { return m_ChunkOptions; }
    // Bytes of data as last packed (the buffer's first word x 4); 0 when empty.
    int GetDataSize() const { return m_BufferSize > 0 ? (int) m_Buffer[0] * 4 : 0; }
    // The packed buffer (size word, data, lists), null when empty.
    CKDWORD* GetBuffer() const { return m_BufferSize > 0 ? m_Buffer : nullptr; }
    int GetBufferWords() const { return m_BufferSize; }
    CKFile* GetFile() const { return m_File; }
    // Bit 0: references in a bound chunk are saved ids to look up among the
    // file's records rather than record indices. 0 by default.
    CKDWORD GetIDResolutionMode() const { return m_IDResolutionMode; }
    void SetIDResolutionMode(CKDWORD mode) { m_IDResolutionMode = mode; }
    // 0, or CKErr::InvalidFile once a read passed the data or the layout was
    // found broken.
    CKERROR GetReadError() const { return m_ReadError; }

    // Writing.

    // Deletes an owned parser, empties the buffer, chunk version 7, opens an
    // empty writer; whatever the chunk held is lost.
    void StartWrite();
    // Starts writing when no writer is open, links the previous identifier
    // to this one and writes the identifier and its next-index word.
    void WriteIdentifier(CKDWORD id);
    void WriteInt(int value) { WriteDword((CKDWORD) value); }
    inline void WriteDword(CKDWORD value);
    void WriteFloat(float value) { WriteDword(std::bit_cast<CKDWORD>(value)); }
    void WriteGuid(CKGUID guid);
    // A byte-count word and the bytes padded to whole words with zeros; a
    // null buffer writes one 0 word.
    void WriteBuffer(int size, const void* buffer);
    // The padded bytes without the count; null writes nothing.
    void WriteBufferNoSize(int size, const void* buffer);
    // strlen + 1, then the text and its zero padded to whole words; null
    // writes one 0 word.
    void WriteString(const char* text);
    // (byteCount + 3) / 4 words copied as they are.
    void WriteRawWords(int byteCount, const CKDWORD* data);
    void WriteVector(const QxVector& v);
    void WriteMatrix(const QxMatrix& m);

    // One reference word: in an unbound chunk the id (its position recorded
    // when not 0); in a bound chunk the object's index among the file's saved
    // objects, -1 for none or an object not saved.
    void WriteObjectID(CK_ID id);
    // As WriteObjectID of the object's id; 0 (-1 bound) for a null object or
    // one that IsObjectWritable refuses.
    void WriteObject(CKObject* object);
    // True when the chunk class id is -1; false for null; true with option
    // 0x10; otherwise true unless the object is dynamic.
    CKBOOL IsObjectWritable(CKObject* object) const;
    void SetWriteAllObjects(CKBOOL all);

    // An object-id sequence: the count (recorded as -1 and its position when
    // unbound and not 0), then count items.
    void StartObjectIDSequence(int count);
    void WriteObjectIDSequenceItem(CK_ID id);
    void WriteObjectSequenceItem(CKObject* object);
    // The list as a sequence (count 0 for null). With a context each node's
    // object is written as its id when it exists and is writable, else 0.
    void WriteObjectIDList(CKObjectIDList* list, CKContext* context = nullptr);

    // A sub-chunk item (its position recorded unless null); the sub-chunk is
    // packed and left open for reading. Null writes one 0 word.
    void WriteSubChunk(CKStateChunk* sub);
    void StartSubChunkSequence(int count);
    void WriteSubChunkSequenceItem(CKStateChunk* sub);

    // Manager values: the GUID and the value (position recorded); a sequence
    // is the count and the GUID, then count values written with WriteInt.
    void WriteManagerInt(CKGUID manager, int value);
    void StartManagerSequence(CKGUID manager, int count);

    // Ensures room for byteCount / 4 words at the position.
    void CheckSize(int byteCount);
    // Room for wordCount words; the address of the write position, to be
    // filled and then passed with Skip. Null with no writer or no room.
    CKDWORD* LockWriteBuffer(int wordCount);
    // Raises the writer's data size to the position.
    void UpdateDataSize();
    // Moves the cursor forward (reading or writing; written words are zero).
    void Skip(int words);
    // The cursor, 0 without a parser.
    int GetCurrentPos() const { return m_Parser ? m_Parser->m_Position : 0; }

    // Appends another chunk's data, chain and lists to this open writer and
    // takes its data version, chunk version, options and binding.
    void AddChunk(CKStateChunk* other);
    // Takes over the other chunk when this one holds nothing, else AddChunk;
    // deletes the other in both cases.
    void AddChunkAndDelete(CKStateChunk* other);
    // Packs an open writer into the buffer; deletes the parser either way.
    void CloseChunk();

    // Reading.

    // Packs an open writer; rewinds an open reader or opens one.
    void StartRead();
    // Searches the chain from behind the identifier found last, wrapping
    // around once; on success the cursor is behind it. Failure leaves the
    // cursor unchanged.
    CKBOOL SeekIdentifier(CKDWORD id);
    // Searches from the start; the section's size in bytes, -1 when absent.
    int SeekIdentifierAndReturnSize(CKDWORD id);

    inline int ReadInt();
    CKDWORD ReadDword() { return (CKDWORD) ReadInt(); }
    float ReadFloat() { return std::bit_cast<float>((CKDWORD) ReadInt()); }
    CKGUID ReadGuid();
    void ReadVector(QxVector& v);
    void ReadMatrix(QxMatrix& m);

    // The stored byte count; for a count above 0, *out receives a new block
    // of that many bytes (new CKBYTE[], freed by the caller with delete[]).
    // *out is null otherwise; a count that passes the data gives 0 and null.
    int ReadBuffer(void** out);
    // Reads the count and copies that many bytes into dest (when not null),
    // always moving past them. dest holds destSize bytes: a larger count sets
    // the read error and copies nothing. Returns the stored count (0 when it
    // passed the data).
    int ReadAndFillBuffer(void* dest, int destSize);
    // Copies n bytes into dest (when not null) and moves (n + 3) / 4 words.
    // When fewer remain, dest gets n zero bytes and the read error is set.
    void ReadBufferNoSize(int n, void* dest);
    // The stored count; above 0, *out receives a new zero-terminated copy of
    // the text (new char[], freed with delete[]); null otherwise.
    int ReadString(char** out);
    XString ReadXString();
    int ReadStringInto(XString& out);

    // One reference, resolved through the file's records when bound; 0 for none.
    CK_ID ReadObjectID();
    // The context's object for ReadObjectID; null when absent.
    CKObject* ReadObject(CKContext* context);
    // Object-id sequences. The list is emptied and gets each id; a null list
    // skips the sequence.
    void ReadObjectIDList(CKObjectIDList* list);
    XObjectArray ReadXObjectArray();
    // The existing objects of the sequence, in order.
    XObjectPointerArray ReadXObjectPointerArray(CKContext* context);

    // A new chunk (the caller owns it) from a sub-chunk item; null for a null
    // item, a broken one or with skip (which moves past the item).
    CKStateChunk* ReadSubChunk(CKBOOL skip = FALSE);
    // The count of a manager sequence (0 when it does not fit); *out gets the
    // GUID when given.
    int ReadManagerIntSequenceStart(CKGUID* out);

    // The address of wordCount words at the read position, or null (read
    // error set) when fewer remain. The cursor does not move; use Skip.
    const CKDWORD* LockReadBuffer(int wordCount);

    // Bitmaps.

    // A raw bitmap: header and four byte planes, last row first. The image
    // must have 32 bits per pixel; no image data writes one 0 word.
    void WriteRawBitmap(const QxImageDesc& image);
    // A bitmap encoded by a reader (mode, extension, reader GUID, bytes and
    // for mode 2 the alpha values).
    void WriteReaderBitmap(const QxImageDesc& image, CKBitmapReader* reader, CKBitmapProperties* properties);
    // False for no bitmap; else fills a 32-bit description of the stored size.
    CKBOOL ReadRawBitmapHeader(QxImageDesc& out);
    // Reads the planes into the image (the description from
    // ReadRawBitmapHeader). Without flags the caller's pixel memory of
    // Width x Height x 4 bytes (BytesPerLine = Width x 4) is filled; with
    // CKSTATECHUNK_ALLOCATEPIXELS the planes are checked first and
    // image.Image then receives new pixels. False when the image has no
    // memory, is empty, does not match the planes, or the planes are broken;
    // nothing is written or allocated then.
    CKBOOL ReadRawBitmap(QxImageDesc& image, CKDWORD flags = 0);
    // Reads an image encoded by a reader (found through the plug-in manager
    // by the stored GUID, else extension). Without flags, the caller's pixel
    // memory in image.Image is filled: the decoded image must have the
    // description's width and height and is converted into it. With
    // CKSTATECHUNK_ALLOCATEPIXELS the reader is asked for the description's
    // format; the decoded pixels are kept when they are in that format
    // without line padding, else converted into new 32-bit ARGB pixels, and
    // the description becomes theirs. 1 on success; 0 for no bitmap, no
    // reader, a null image pointer without the flag, a size mismatch or a
    // decoding failure (nothing copied or allocated then).
    int ReadReaderBitmap(QxImageDesc& image, CKDWORD flags = 0);
    // Older form: a buffer that names its format; the decoded pixels as new
    // 32-bit ARGB pixels (the caller frees them with QxDeleteAligned), or
    // null; image receives their description.
    CKBYTE* ReadFormatNamedBitmap(QxImageDesc& image);

    // Remapping.

    // Rewrites every recorded reference (and in chunks below version 4 every
    // marker-run reference) through the dependencies context when given,
    // else through the context's load conversion table. Only positions that
    // lie inside the chunk are written. Returns the number of words rewritten.
    int RemapObjects(CKContext* context, CKDependenciesContext* depContext = nullptr);
    // Replaces each manager value v of that manager with 0 <= v < count by
    // table[v]; returns the number of values counted.
    int RemapManagerInt(CKGUID manager, const int* table, int count);
    // Calls function on this chunk's level, then on every well-formed
    // sub-chunk item in the lists, depth first; the sum of the results. The
    // record carries the caller's arguments; its layout fields are filled
    // here. A refused entry sets the read error.
    int IterateChunks(ChunkIteratorData* record, ChunkIterateFct function);
    // The walk itself over a filled record (used on nested levels).
    static int IterateChunkLevel(ChunkIteratorData* record, ChunkIterateFct function);

    // Serialised form.

    // Packs an open writer and copies the header word and the packed buffer
    // (8 bytes for an empty chunk) into dest when it is not null. Returns the
    // byte count. The bytes are those of CKEmitChunkBytes.
    int ConvertToBuffer(void* dest);
    // The first word of the serialised form: data version, class id, chunk
    // version, options (0x40 and 0x80 stored as 0), one byte each.
    void StoreHeaderWord(CKBYTE out[4]) const;
    // ReadFromRawBuffer without borrowing.
    CKBOOL ConvertFromBuffer(const void* source, int size);
    // Reads a serialised chunk of size bytes. True when one was read; false
    // (chunk cleared, read error set) for a null, short or inconsistent
    // source. With borrow the chunk keeps pointing into source (which must
    // outlive it) when the source is aligned on 4 bytes; otherwise it is
    // copied. A borrowed buffer is never written: remapping or iterating
    // first gives the chunk a copy of its own.
    CKBOOL ReadFromRawBuffer(void* source, int size, CKBOOL borrow);
    // As ReadFromRawBuffer of a serialised chunk whose first 4 bytes (the
    // header word) lie apart from the other size - 4, which block holds: a
    // malloc block that becomes the chunk's buffer (no copy) when it can,
    // and is freed otherwise, on failure too.
    CKBOOL AdoptRawBuffer(const void* header, void* block, int size);

private:
    ChunkWriter* Writer() const
    {
        return m_Parser && m_Parser->m_Kind == ChunkParser::KindWriter ? static_cast<ChunkWriter*>(m_Parser) : nullptr;
    }
    ChunkReader* Reader() const
    {
        return m_Parser && m_Parser->m_Kind == ChunkParser::KindReader ? static_cast<ChunkReader*>(m_Parser) : nullptr;
    }
    // The open writer; reports and gives null when none is open.
    ChunkWriter* WriterFor(int words);
    // The open reader with n words left at the cursor; else sets the read
    // error, moves the cursor to the end and gives null.
    ChunkReader* ReaderFor(int words);
    void SetReadError(const char* what);
    void WriteDwordSlow(CKDWORD value);
    int ReadIntSlow();
    void WriteBytes(int size, const void* bytes);
    // A byte count word and the words holding that many bytes, the cursor
    // moved past them: their address, with count set. Null (count 0) for a
    // count of 0 or below (a negative one sets the read error, naming it
    // negativeWhat) or bytes that pass the data.
    const CKDWORD* ReadCounted(int& count, const char* negativeWhat);
    CK_ID ResolveReference(CKDWORD word);
    // Reads an object-id sequence count; -1 when there is none to read.
    int ReadSequenceCount();
    void DeleteParser();
    void FreeBuffer();
    bool AllocateBuffer(int words);
    void PackWriter(ChunkWriter* writer);
    ChunkReader* OpenReader();
    enum BufferSource
    {
        BufferCopied,
        BufferBorrowed,
        BufferAdopted,
    };
    // The mirror of StoreHeaderWord; options 0x40 and 0x80 are ignored.
    void LoadHeaderWord(const CKBYTE in[4]);
    // The body of ReadFromRawBuffer: b is the header word, words the
    // wordBytes behind it.
    CKBOOL ReadSerialised(const CKBYTE* b, CKBYTE* words, int wordBytes, BufferSource source);
    // Gives a borrowed buffer's chunk a copy of its own (open reader kept);
    // false (read error set) when memory runs out.
    bool OwnBuffer();
    bool FillIteratorLayout(ChunkIteratorData& record);
    void WriteSubChunkItem(CKStateChunk* sub);

    // Ordered so that no padding lies between them: a loaded file holds one
    // chunk per object.
    CKBYTE m_DataVersion = 0;
    CKBYTE m_ChunkClassID = 0;
    CKBYTE m_ChunkVersion = 0;
    CKBYTE m_ChunkOptions = 0;
    int m_BufferSize = 0;        // words
    CKDWORD* m_Buffer = nullptr; // packed: data size, data, lists
    CKFile* m_File = nullptr;
    ChunkParser* m_Parser = nullptr;
    CKDWORD m_IDResolutionMode = 0;
    CKERROR m_ReadError = 0;
    // The reader is kept in the chunk rather than allocated for each chunk
    // read (a loaded file reads one chunk per object); m_Parser points here
    // while it is open.
    ChunkReader m_OwnReader;
};

// A new chunk of the class, bound to the file when one is given.
CKStateChunk* CKCreateStateChunk(CK_CLASSID cid, CKFile* file = nullptr);
// A new chunk that is a clone of chunk (null for null).
CKStateChunk* CKCopyStateChunk(CKStateChunk* chunk);
// Destroys a chunk; null is ignored.
void CKDeleteStateChunk(CKStateChunk* chunk);

inline void CKStateChunk::WriteDword(CKDWORD value)
{
    ChunkWriter* w = Writer();
    if (w && w->m_Position < w->m_Capacity) {
        w->m_Data[w->m_Position++] = value;
        return;
    }
    WriteDwordSlow(value);
}

inline int CKStateChunk::ReadInt()
{
    ChunkReader* r = Reader();
    if (r && r->m_Position < r->m_DataSize)
        return (int) r->m_Data[r->m_Position++];
    return ReadIntSlow();
}
