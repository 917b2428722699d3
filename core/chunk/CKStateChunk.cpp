#include "core/chunk/CKStateChunk.h"

#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/chunk/CKChunkBytes.h"
#include "core/chunk/ChunkPositionList.h"
#include "core/context/CKDefines.h"
#include "core/file/CKFile.h"
#include "includes/CKByteOrder.h"
#include "platform/PlatformAssert.h"
#include "system/log/QxLogManager.h"

namespace {

constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;

// Words needed for n bytes; n may be any non-negative int.
int WordsForBytes(int n)
{
    return (int) (((int64_t) n + 3) / 4);
}

// Bytes are kept inside the words in file order: byte i of a buffer is byte
// i % 4 of word i / 4, least significant first.
void BytesToWords(CKDWORD* dst, const void* src, int byteCount)
{
    int words = WordsForBytes(byteCount);
    if (words == 0)
        return;
    dst[words - 1] = 0; // padding bytes are zero
    if constexpr (kLittleEndianHost) {
        std::memcpy(dst, src, (size_t) byteCount);
    } else {
        const CKBYTE* b = static_cast<const CKBYTE*>(src);
        for (int i = 0; i < byteCount; ++i) {
            if ((i & 3) == 0)
                dst[i >> 2] = 0;
            dst[i >> 2] |= (CKDWORD) b[i] << ((i & 3) * 8);
        }
    }
}

void WordsToBytes(void* dst, const CKDWORD* src, int byteCount)
{
    if constexpr (kLittleEndianHost) {
        std::memcpy(dst, src, (size_t) byteCount);
    } else {
        CKBYTE* b = static_cast<CKBYTE*>(dst);
        for (int i = 0; i < byteCount; ++i)
            b[i] = (CKBYTE) (src[i >> 2] >> ((i & 3) * 8));
    }
}

void LoadWordsLE(CKDWORD* dst, const void* src, int count)
{
    if constexpr (kLittleEndianHost) {
        std::memcpy(dst, src, sizeof(CKDWORD) * (size_t) count);
    } else {
        const CKBYTE* b = static_cast<const CKBYTE*>(src);
        for (int i = 0; i < count; ++i)
            dst[i] = LoadLE32(b + 4 * i);
    }
}

CKDWORD* AllocateWords(int count)
{
    return static_cast<CKDWORD*>(std::malloc(sizeof(CKDWORD) * (size_t) (count > 0 ? count : 1)));
}

// The parts of a packed buffer: data size, data, and the three lists in the
// order object ids (0x01), sub-chunks (0x04), managers (0x02).
struct PackedLayout
{
    int DataSize = 0;
    CKDWORD* Data = nullptr;
    CKDWORD* Lists[3] = {};
    int Counts[3] = {};
    int Words = 0; // words the layout occupies
};

constexpr CKBYTE kListBits[3] = {CHNK_OPTION_IDS, CHNK_OPTION_CHN, CHNK_OPTION_MAN};

// Fills the layout of a packed buffer of `words` words; false when the data
// or a list does not fit.
bool ParsePacked(CKDWORD* buffer, int words, CKBYTE options, PackedLayout& out)
{
    out = PackedLayout();
    if (!buffer || words <= 0)
        return true;
    CKDWORD n = buffer[0];
    if (n > (CKDWORD) (words - 1))
        return false;
    out.DataSize = (int) n;
    out.Data = buffer + 1;
    int k = 1 + (int) n;
    for (int l = 0; l < 3; ++l) {
        if (!(options & kListBits[l]))
            continue;
        if (k >= words)
            return false;
        CKDWORD c = buffer[k];
        if (c > (CKDWORD) (words - k - 1))
            return false;
        out.Counts[l] = (int) c;
        out.Lists[l] = buffer + k + 1;
        k += 1 + (int) c;
    }
    out.Words = k;
    return true;
}

int LogSource()
{
    return QxGetLogManager()->RegisterSource("CK2");
}

} // namespace

CKStateChunk::CKStateChunk(CK_CLASSID cid, CKFile* file)
    : m_ChunkClassID((CKBYTE) cid), m_ChunkOptions(CHNK_OPTION_ALLOWDYN), m_File(file)
{
    if (file)
        m_ChunkOptions |= CHNK_OPTION_FILE;
}

CKStateChunk::~CKStateChunk()
{
    FreeBuffer();
    DeleteParser();
}

void CKStateChunk::FreeBuffer()
{
    if (!(m_ChunkOptions & CHNK_OPTION_DONTDELETE_PTR))
        std::free(m_Buffer);
    m_Buffer = nullptr;
    m_BufferSize = 0;
    m_ChunkOptions &= ~CHNK_OPTION_DONTDELETE_PTR;
}

void CKStateChunk::DeleteParser()
{
    if (m_Parser != &m_OwnReader && !(m_ChunkOptions & CHNK_OPTION_DONTDELETE_PARSER))
        delete m_Parser;
    m_Parser = nullptr;
    m_ChunkOptions &= ~CHNK_OPTION_DONTDELETE_PARSER;
}

bool CKStateChunk::AllocateBuffer(int words)
{
    FreeBuffer();
    if (words <= 0)
        return true;
    m_Buffer = AllocateWords(words);
    if (!m_Buffer)
        return false;
    m_BufferSize = words;
    return true;
}

void CKStateChunk::Clear()
{
    FreeBuffer();
    DeleteParser();
    m_ChunkClassID = 0;
    m_ReadError = 0;
}

void CKStateChunk::SetReadError(const char* what)
{
    if (m_ReadError != 0)
        return;
    m_ReadError = CKErr::InvalidFile;
    QxGetLogManager()
        ->SetContext(LogSource(), QXLOG_ERROR, __LINE__, "CKStateChunk")
        ->Log("State chunk of class %d: %s", GetChunkClassID(), what);
}

void CKStateChunk::Clone(CKStateChunk* source)
{
    if (!source || source == this)
        return;
    Clear();
    m_DataVersion = source->m_DataVersion;
    m_ChunkClassID = source->m_ChunkClassID;
    m_ChunkVersion = source->m_ChunkVersion;
    m_ChunkOptions = source->m_ChunkOptions & ~(CHNK_OPTION_DONTDELETE_PTR | CHNK_OPTION_DONTDELETE_PARSER);
    m_File = source->m_File;
    m_IDResolutionMode = source->m_IDResolutionMode;
    m_ReadError = source->m_ReadError;
    if (source->m_BufferSize > 0 && AllocateBuffer(source->m_BufferSize))
        std::memcpy(m_Buffer, source->m_Buffer, sizeof(CKDWORD) * (size_t) m_BufferSize);

    if (ChunkReader* r = source->Reader()) {
        if (ChunkReader* mine = OpenReader()) {
            mine->m_Position = r->m_Position <= mine->m_DataSize ? r->m_Position : mine->m_DataSize;
            mine->m_CurrentIdentifier = r->m_CurrentIdentifier;
        }
    } else if (ChunkWriter* w = source->Writer()) {
        ChunkWriter* mine = new ChunkWriter;
        if (mine && mine->CopyFrom(*w)) {
            m_Parser = mine;
        } else {
            delete mine;
            PLATFORM_CHECK(!"out of memory cloning a chunk writer");
        }
    }
}

// Writing.

ChunkWriter* CKStateChunk::WriterFor(int words)
{
    ChunkWriter* w = Writer();
    if (!PLATFORM_CHECK(w != nullptr))
        return nullptr;
    if (!PLATFORM_CHECK(w->Reserve(words)))
        return nullptr;
    return w;
}

void CKStateChunk::StartWrite()
{
    DeleteParser();
    FreeBuffer();
    m_ChunkVersion = CHUNK_VERSION_CURRENT;
    m_ReadError = 0;
    m_Parser = new ChunkWriter;
    PLATFORM_CHECK(m_Parser != nullptr);
}

void CKStateChunk::WriteIdentifier(CKDWORD id)
{
    if (!Writer())
        StartWrite();
    ChunkWriter* w = WriterFor(2);
    if (!w)
        return;
    if (w->m_CurrentIdentifier < w->m_Position)
        w->m_Data[w->m_CurrentIdentifier + 1] = (CKDWORD) w->m_Position;
    w->m_CurrentIdentifier = w->m_Position;
    w->m_Data[w->m_Position++] = id;
    w->m_Data[w->m_Position++] = 0;
}

void CKStateChunk::WriteDwordSlow(CKDWORD value)
{
    if (ChunkWriter* w = WriterFor(1))
        w->m_Data[w->m_Position++] = value;
}

void CKStateChunk::WriteGuid(CKGUID guid)
{
    if (ChunkWriter* w = WriterFor(2)) {
        w->m_Data[w->m_Position++] = guid.d1;
        w->m_Data[w->m_Position++] = guid.d2;
    }
}

void CKStateChunk::WriteBytes(int size, const void* bytes)
{
    int words = WordsForBytes(size);
    if (ChunkWriter* w = WriterFor(words)) {
        BytesToWords(w->m_Data + w->m_Position, bytes, size);
        w->m_Position += words;
    }
}

void CKStateChunk::WriteBuffer(int size, const void* buffer)
{
    if (!buffer || !PLATFORM_CHECK(size >= 0) || size == 0) {
        WriteDword(0);
        return;
    }
    if (!WriterFor(1 + WordsForBytes(size)))
        return;
    WriteDword((CKDWORD) size);
    WriteBytes(size, buffer);
}

void CKStateChunk::WriteBufferNoSize(int size, const void* buffer)
{
    if (!buffer || !PLATFORM_CHECK(size >= 0))
        return;
    WriteBytes(size, buffer);
}

void CKStateChunk::WriteString(const char* text)
{
    if (!text) {
        WriteDword(0);
        return;
    }
    size_t length = std::strlen(text) + 1;
    if (!PLATFORM_CHECK(length <= (size_t) ChunkWriter::MaxWords * 4))
        return;
    WriteBuffer((int) length, text);
}

void CKStateChunk::WriteRawWords(int byteCount, const CKDWORD* data)
{
    if (!data || !PLATFORM_CHECK(byteCount >= 0))
        return;
    int words = WordsForBytes(byteCount);
    if (ChunkWriter* w = WriterFor(words)) {
        std::memcpy(w->m_Data + w->m_Position, data, sizeof(CKDWORD) * (size_t) words);
        w->m_Position += words;
    }
}

void CKStateChunk::WriteVector(const QxVector& v)
{
    if (ChunkWriter* w = WriterFor(3)) {
        w->m_Data[w->m_Position++] = std::bit_cast<CKDWORD>(v.x);
        w->m_Data[w->m_Position++] = std::bit_cast<CKDWORD>(v.y);
        w->m_Data[w->m_Position++] = std::bit_cast<CKDWORD>(v.z);
    }
}

void CKStateChunk::WriteMatrix(const QxMatrix& m)
{
    if (ChunkWriter* w = WriterFor(16)) {
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 4; ++col)
                w->m_Data[w->m_Position++] = std::bit_cast<CKDWORD>(m[row][col]);
    }
}

void CKStateChunk::WriteObjectID(CK_ID id)
{
    ChunkWriter* w = WriterFor(1);
    if (!w)
        return;
    if (m_File) {
        w->m_Data[w->m_Position++] = (CKDWORD) m_File->GetSavedObjectIndex(id);
        return;
    }
    if (id != 0)
        w->m_ObjectIDs.PushBack(w->m_Position);
    w->m_Data[w->m_Position++] = id;
}

void CKStateChunk::SetWriteAllObjects(CKBOOL all)
{
    if (all)
        m_ChunkOptions |= CHNK_OPTION_ALLOWDYN;
    else
        m_ChunkOptions &= ~CHNK_OPTION_ALLOWDYN;
}

void CKStateChunk::StartObjectIDSequence(int count)
{
    ChunkWriter* w = WriterFor(1);
    if (!w)
        return;
    if (!m_File && count != 0) {
        w->m_ObjectIDs.PushBack(-1);
        w->m_ObjectIDs.PushBack(w->m_Position);
    }
    w->m_Data[w->m_Position++] = (CKDWORD) count;
}

void CKStateChunk::WriteObjectIDSequenceItem(CK_ID id)
{
    ChunkWriter* w = WriterFor(1);
    if (!w)
        return;
    w->m_Data[w->m_Position++] = m_File ? (CKDWORD) m_File->GetSavedObjectIndex(id) : id;
}

void CKStateChunk::WriteSubChunkItem(CKStateChunk* sub)
{
    if (!sub || !PLATFORM_CHECK(sub != this)) {
        WriteDword(0);
        return;
    }
    sub->StartRead();
    PackedLayout layout;
    if (!ParsePacked(sub->m_Buffer, sub->m_BufferSize, sub->m_ChunkOptions, layout))
        layout = PackedLayout();
    int64_t s = 7 + (int64_t) layout.DataSize + layout.Counts[0] + layout.Counts[1] + layout.Counts[2];
    if (!PLATFORM_CHECK(s < ChunkWriter::MaxWords))
        return;
    ChunkWriter* w = WriterFor(1 + (int) s);
    if (!w)
        return;
    CKDWORD* d = w->m_Data + w->m_Position;
    d[0] = (CKDWORD) s;
    d[1] = (CKDWORD) sub->GetChunkClassID();
    d[2] = (CKDWORD) sub->m_DataVersion | ((CKDWORD) sub->m_ChunkVersion << 16);
    d[3] = (CKDWORD) layout.DataSize;
    d[4] = sub->m_File ? 1 : 0;
    d[5] = (CKDWORD) layout.Counts[0];
    d[6] = (CKDWORD) layout.Counts[1];
    d[7] = (CKDWORD) layout.Counts[2];
    d += 8;
    if (layout.DataSize > 0)
        std::memcpy(d, layout.Data, sizeof(CKDWORD) * (size_t) layout.DataSize);
    d += layout.DataSize;
    for (int l = 0; l < 3; ++l) {
        if (layout.Counts[l] > 0)
            std::memcpy(d, layout.Lists[l], sizeof(CKDWORD) * (size_t) layout.Counts[l]);
        d += layout.Counts[l];
    }
    w->m_Position += 1 + (int) s;
}

void CKStateChunk::WriteSubChunk(CKStateChunk* sub)
{
    ChunkWriter* w = WriterFor(1);
    if (!w)
        return;
    if (sub)
        w->m_SubChunks.PushBack(w->m_Position);
    WriteSubChunkItem(sub);
}

void CKStateChunk::StartSubChunkSequence(int count)
{
    ChunkWriter* w = WriterFor(1);
    if (!w)
        return;
    w->m_SubChunks.PushBack(-1);
    w->m_SubChunks.PushBack(w->m_Position);
    w->m_Data[w->m_Position++] = (CKDWORD) count;
}

void CKStateChunk::WriteSubChunkSequenceItem(CKStateChunk* sub)
{
    WriteSubChunkItem(sub);
}

void CKStateChunk::WriteManagerInt(CKGUID manager, int value)
{
    ChunkWriter* w = WriterFor(3);
    if (!w)
        return;
    w->m_Managers.PushBack(w->m_Position);
    w->m_Data[w->m_Position++] = manager.d1;
    w->m_Data[w->m_Position++] = manager.d2;
    w->m_Data[w->m_Position++] = (CKDWORD) value;
}

void CKStateChunk::StartManagerSequence(CKGUID manager, int count)
{
    ChunkWriter* w = WriterFor(3 + (count > 0 && count < ChunkWriter::MaxWords ? count : 0));
    if (!w)
        return;
    w->m_Managers.PushBack(-1);
    w->m_Managers.PushBack(w->m_Position);
    w->m_Data[w->m_Position++] = (CKDWORD) count;
    w->m_Data[w->m_Position++] = manager.d1;
    w->m_Data[w->m_Position++] = manager.d2;
}

void CKStateChunk::CheckSize(int byteCount)
{
    if (PLATFORM_CHECK(byteCount >= 0))
        WriterFor(byteCount / 4);
}

CKDWORD* CKStateChunk::LockWriteBuffer(int wordCount)
{
    if (!PLATFORM_CHECK(wordCount >= 0))
        return nullptr;
    ChunkWriter* w = WriterFor(wordCount);
    return w ? w->LockAhead(wordCount) : nullptr;
}

void CKStateChunk::UpdateDataSize()
{
    if (ChunkWriter* w = Writer())
        if (w->m_DataSize < w->m_Position)
            w->m_DataSize = w->m_Position;
}

void CKStateChunk::Skip(int words)
{
    if (!PLATFORM_CHECK(words >= 0))
        return;
    if (Writer()) {
        if (ChunkWriter* w = WriterFor(words))
            w->SkipAhead(words);
        return;
    }
    if (ChunkReader* r = ReaderFor(words))
        r->m_Position += words;
}

void CKStateChunk::AddChunk(CKStateChunk* other)
{
    if (!other || other == this)
        return;
    ChunkWriter* w = WriterFor(0);
    if (!w)
        return;
    other->StartRead();
    PackedLayout layout;
    if (!ParsePacked(other->m_Buffer, other->m_BufferSize, other->m_ChunkOptions, layout))
        layout = PackedLayout();
    int n = layout.DataSize;
    if (!WriterFor(n))
        return;
    int b = w->m_Position;
    if (n > 0)
        std::memcpy(w->m_Data + b, layout.Data, sizeof(CKDWORD) * (size_t) n);
    w->m_Position += n;

    // Link the appended chain behind ours. A chain that does not go strictly
    // forward (only in broken input) is cut where it turns back.
    if (n >= 2) {
        if (w->m_CurrentIdentifier + 1 < b)
            w->m_Data[w->m_CurrentIdentifier + 1] = (CKDWORD) b;
        int i = 0;
        for (;;) {
            CKDWORD next = w->m_Data[b + i + 1];
            if (next == 0)
                break;
            if (next < (CKDWORD) i + 2 || next >= (CKDWORD) (n - 1)) {
                w->m_Data[b + i + 1] = 0;
                break;
            }
            w->m_Data[b + i + 1] = next + (CKDWORD) b;
            i = (int) next;
        }
        w->m_CurrentIdentifier = b + i;
    }

    // Entries that do not point into the other's data (only in broken
    // input) are left out; the -1 markers stay.
    XArray<int>* lists[3] = {&w->m_ObjectIDs, &w->m_SubChunks, &w->m_Managers};
    for (int l = 0; l < 3; ++l)
        for (int k = 0; k < layout.Counts[l]; ++k) {
            int e = (int) layout.Lists[l][k];
            if (e == -1)
                lists[l]->PushBack(-1);
            else if (e >= 0 && e < n)
                lists[l]->PushBack(e + b);
        }

    m_DataVersion = other->m_DataVersion;
    m_ChunkVersion = other->m_ChunkVersion;
    CKBYTE keep = CHNK_OPTION_DONTDELETE_PTR | CHNK_OPTION_DONTDELETE_PARSER;
    m_ChunkOptions = (CKBYTE) ((m_ChunkOptions & keep) | (other->m_ChunkOptions & ~keep));
    m_File = other->m_File;
}

void CKStateChunk::AddChunkAndDelete(CKStateChunk* other)
{
    if (!other || other == this)
        return;
    ChunkWriter* w = Writer();
    bool holdsNothing = m_BufferSize == 0 && !(w && w->m_Capacity > 0);
    if (!holdsNothing) {
        AddChunk(other);
        CKDeleteStateChunk(other);
        return;
    }
    DeleteParser();
    FreeBuffer();
    if (other->m_Parser == &other->m_OwnReader) {
        m_OwnReader = other->m_OwnReader;
        m_Parser = &m_OwnReader;
    } else {
        m_Parser = other->m_Parser;
    }
    other->m_Parser = nullptr;
    m_Buffer = other->m_Buffer;
    m_BufferSize = other->m_BufferSize;
    other->m_Buffer = nullptr;
    other->m_BufferSize = 0;
    m_ChunkVersion = other->m_ChunkVersion;
    m_DataVersion = other->m_DataVersion;
    m_ChunkOptions = other->m_ChunkOptions & ~CHNK_OPTION_DONTDELETE_PARSER;
    m_File = other->m_File;
    other->m_ChunkOptions &= ~(CHNK_OPTION_DONTDELETE_PTR | CHNK_OPTION_DONTDELETE_PARSER);
    CKDeleteStateChunk(other);
}

void CKStateChunk::PackWriter(ChunkWriter* w)
{
    XArray<int>* lists[3] = {&w->m_ObjectIDs, &w->m_SubChunks, &w->m_Managers};
    int64_t total = 1 + (int64_t) (w->m_DataSize > w->m_Position ? w->m_DataSize : w->m_Position);
    for (XArray<int>* list : lists)
        if (list->Size() > 0)
            total += 1 + list->Size();
    m_ChunkOptions &= ~(CHNK_OPTION_IDS | CHNK_OPTION_CHN | CHNK_OPTION_MAN);
    FreeBuffer();
    if (total == 1)
        return; // nothing written: the buffer stays empty
    for (int l = 0; l < 3; ++l)
        if (lists[l]->Size() > 0)
            m_ChunkOptions |= kListBits[l];
    int words = 0;
    CKDWORD* packed = PLATFORM_CHECK(total <= ChunkWriter::MaxWords + 0x40000) ? w->TakePacked(&words) : nullptr;
    if (!packed) {
        m_ChunkOptions &= ~(CHNK_OPTION_IDS | CHNK_OPTION_CHN | CHNK_OPTION_MAN);
        SetReadError("out of memory packing the chunk");
        return;
    }
    m_Buffer = packed;
    m_BufferSize = words;
}

void CKStateChunk::CloseChunk()
{
    if (ChunkWriter* w = Writer())
        PackWriter(w);
    DeleteParser();
}

// Reading.

ChunkReader* CKStateChunk::OpenReader()
{
    DeleteParser();
    ChunkReader* r = &m_OwnReader;
    *r = ChunkReader();
    PackedLayout layout;
    if (!ParsePacked(m_Buffer, m_BufferSize, m_ChunkOptions, layout)) {
        SetReadError("its packed buffer does not hold its lists");
        layout = PackedLayout();
    }
    r->m_Data = layout.Data;
    r->m_DataSize = layout.DataSize;
    r->m_ObjectIDs = layout.Lists[0];
    r->m_ObjectIDCount = layout.Counts[0];
    r->m_SubChunks = layout.Lists[1];
    r->m_SubChunkCount = layout.Counts[1];
    r->m_Managers = layout.Lists[2];
    r->m_ManagerCount = layout.Counts[2];
    m_Parser = r;
    return r;
}

void CKStateChunk::StartRead()
{
    if (ChunkWriter* w = Writer()) {
        PackWriter(w);
        DeleteParser();
    }
    if (ChunkReader* r = Reader()) {
        r->m_Position = 0;
        r->m_CurrentIdentifier = 0;
        return;
    }
    OpenReader();
}

ChunkReader* CKStateChunk::ReaderFor(int words)
{
    ChunkReader* r = Reader();
    if (!PLATFORM_CHECK(r != nullptr))
        return nullptr;
    if (words < 0 || r->m_Position > r->m_DataSize - words) {
        SetReadError("a read passes the end of the data");
        r->m_Position = r->m_DataSize;
        return nullptr;
    }
    return r;
}

CKBOOL CKStateChunk::SeekIdentifier(CKDWORD id)
{
    ChunkReader* r = Reader();
    if (!r) {
        StartRead();
        r = Reader();
        if (!r)
            return FALSE;
    }
    const CKDWORD* d = r->m_Data;
    int n = r->m_DataSize;
    if (n < 2)
        return FALSE;
    CKDWORD last = (CKDWORD) (n - 1);
    int cur = r->m_CurrentIdentifier;
    if (cur < 0 || cur >= n - 1)
        cur = 0;
    CKDWORD s = d[cur + 1];
    if (s >= last)
        return FALSE;
    // A chain without loops visits each index once: more steps than words
    // means a loop.
    int steps = 0;
    auto found = [&](CKDWORD at) {
        r->m_CurrentIdentifier = (int) at;
        r->m_Position = (int) at + 2;
        return TRUE;
    };
    for (CKDWORD i = s; i != 0 && i < last; i = d[i + 1]) {
        if (++steps > n) {
            SetReadError("its identifier chain loops");
            return FALSE;
        }
        if (d[i] == id)
            return found(i);
    }
    CKDWORD i = 0;
    for (;;) {
        if (++steps > 2 * n) {
            SetReadError("its identifier chain loops");
            return FALSE;
        }
        if (d[i] == id)
            return found(i);
        CKDWORD next = d[i + 1];
        if (next == s || next >= last)
            return FALSE;
        i = next;
    }
}

int CKStateChunk::SeekIdentifierAndReturnSize(CKDWORD id)
{
    ChunkReader* r = Reader();
    if (!r) {
        StartRead();
        r = Reader();
        if (!r)
            return -1;
    }
    const CKDWORD* d = r->m_Data;
    int n = r->m_DataSize;
    if (n < 2)
        return -1;
    CKDWORD last = (CKDWORD) (n - 1);
    CKDWORD i = 0;
    for (int steps = 0;; ++steps) {
        if (steps > n) {
            SetReadError("its identifier chain loops");
            return -1;
        }
        CKDWORD next = d[i + 1];
        if (d[i] == id) {
            if (next != 0 && (next < i + 2 || next >= last)) {
                SetReadError("an identifier links backwards or past the data");
                return -1;
            }
            r->m_CurrentIdentifier = (int) i;
            r->m_Position = (int) i + 2;
            return (int) ((next != 0 ? next : (CKDWORD) n) - i - 2) * 4;
        }
        if (next == 0 || next >= last)
            return -1;
        i = next;
    }
}

int CKStateChunk::ReadIntSlow()
{
    ChunkReader* r = ReaderFor(1);
    return r ? (int) r->m_Data[r->m_Position++] : 0;
}

CKGUID CKStateChunk::ReadGuid()
{
    ChunkReader* r = ReaderFor(2);
    if (!r)
        return CKGUID();
    CKGUID guid(r->m_Data[r->m_Position], r->m_Data[r->m_Position + 1]);
    r->m_Position += 2;
    return guid;
}

void CKStateChunk::ReadVector(QxVector& v)
{
    ChunkReader* r = ReaderFor(3);
    if (!r) {
        v = QxVector();
        return;
    }
    const CKDWORD* d = r->m_Data + r->m_Position;
    v.x = std::bit_cast<float>(d[0]);
    v.y = std::bit_cast<float>(d[1]);
    v.z = std::bit_cast<float>(d[2]);
    r->m_Position += 3;
}

void CKStateChunk::ReadMatrix(QxMatrix& m)
{
    ChunkReader* r = ReaderFor(16);
    const CKDWORD* d = r ? r->m_Data + r->m_Position : nullptr;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col)
            m[row][col] = d ? std::bit_cast<float>(d[row * 4 + col]) : 0.0f;
    if (r)
        r->m_Position += 16;
}

const CKDWORD* CKStateChunk::ReadCounted(int& count, const char* negativeWhat)
{
    count = 0;
    if (!ReaderFor(1))
        return nullptr;
    int stored = ReadInt();
    if (stored < 0)
        SetReadError(negativeWhat);
    if (stored <= 0)
        return nullptr;
    int words = WordsForBytes(stored);
    ChunkReader* r = ReaderFor(words);
    if (!r)
        return nullptr;
    const CKDWORD* bytes = r->m_Data + r->m_Position;
    r->m_Position += words;
    count = stored;
    return bytes;
}

int CKStateChunk::ReadBuffer(void** out)
{
    if (out)
        *out = nullptr;
    int count = 0;
    const CKDWORD* bytes = ReadCounted(count, "a negative byte count");
    if (!bytes)
        return 0;
    if (out) {
        CKBYTE* block = new (std::nothrow) CKBYTE[(size_t) count];
        if (!block)
            return 0;
        WordsToBytes(block, bytes, count);
        *out = block;
    }
    return count;
}

int CKStateChunk::ReadAndFillBuffer(void* dest, int destSize)
{
    int count = 0;
    const CKDWORD* bytes = ReadCounted(count, "a negative byte count");
    if (!bytes)
        return 0;
    if (dest) {
        if (count > destSize)
            SetReadError("a buffer larger than its destination");
        else
            WordsToBytes(dest, bytes, count);
    }
    return count;
}

void CKStateChunk::ReadBufferNoSize(int n, void* dest)
{
    if (!PLATFORM_CHECK(n >= 0) || n == 0)
        return;
    int words = WordsForBytes(n);
    ChunkReader* r = ReaderFor(words);
    if (!r) {
        if (dest)
            std::memset(dest, 0, (size_t) n);
        return;
    }
    if (dest)
        WordsToBytes(dest, r->m_Data + r->m_Position, n);
    r->m_Position += words;
}

int CKStateChunk::ReadString(char** out)
{
    if (out)
        *out = nullptr;
    int count = 0;
    const CKDWORD* bytes = ReadCounted(count, "a negative string length");
    if (!bytes)
        return 0;
    if (out) {
        // One byte more than stored: the text ends with a zero even when
        // the stored bytes lack it.
        char* text = new (std::nothrow) char[(size_t) count + 1];
        if (text) {
            WordsToBytes(text, bytes, count);
            text[count] = 0;
            *out = text;
        }
    }
    return count;
}

int CKStateChunk::ReadStringInto(XString& out)
{
    out = "";
    char* text = nullptr;
    int count = ReadString(&text);
    if (text) {
        out.SetText(text, (int) strnlen(text, (size_t) count));
        delete[] text;
    }
    return count;
}

XString CKStateChunk::ReadXString()
{
    XString s;
    ReadStringInto(s);
    return s;
}

// Object references.

CK_ID CKStateChunk::ResolveReference(CKDWORD word)
{
    if (!m_File)
        return word;
    if (m_IDResolutionMode & 1)
        return m_File->FindCreatedObjectID(word);
    int index = (int) word;
    if (index < 0)
        return 0;
    if (index >= m_File->GetObjectRecordCount()) {
        SetReadError("an object reference beyond the file's objects");
        return 0;
    }
    return m_File->GetCreatedObjectID(index);
}

CK_ID CKStateChunk::ReadObjectID()
{
    ChunkReader* r = ReaderFor(1);
    if (!r)
        return 0;
    CKDWORD word = r->m_Data[r->m_Position++];
    if (m_ChunkVersion < CHUNK_VERSION_LISTS) {
        if (word == 0)
            return 0;
        r = ReaderFor(3);
        if (!r)
            return 0;
        CK_ID id = r->m_Data[r->m_Position + 2];
        r->m_Position += 3;
        return id;
    }
    return ResolveReference(word);
}

int CKStateChunk::ReadSequenceCount()
{
    ChunkReader* r = ReaderFor(1);
    if (!r)
        return -1;
    int count = (int) r->m_Data[r->m_Position++];
    if (count == 0)
        return -1;
    if (m_ChunkVersion < CHUNK_VERSION_LISTS) {
        r = ReaderFor(5);
        if (!r)
            return -1;
        count = (int) r->m_Data[r->m_Position + 4];
        r->m_Position += 5;
    }
    if (count < 0 || count > r->m_DataSize - r->m_Position) {
        SetReadError("an object sequence longer than the data");
        return -1;
    }
    return count;
}

XObjectArray CKStateChunk::ReadXObjectArray()
{
    XObjectArray result;
    int count = ReadSequenceCount();
    if (count <= 0)
        return result;
    ChunkReader* r = Reader();
    result.Reserve(count);
    bool old = m_ChunkVersion < CHUNK_VERSION_LISTS;
    for (int i = 0; i < count; ++i) {
        CKDWORD word = r->m_Data[r->m_Position++];
        result.PushBack(old ? word : ResolveReference(word));
    }
    return result;
}

// Sub-chunks.

CKStateChunk* CKStateChunk::ReadSubChunk(CKBOOL skip)
{
    ChunkReader* r = ReaderFor(1);
    if (!r)
        return nullptr;
    int start = r->m_Position;
    int s = (int) r->m_Data[r->m_Position++];
    if (s < 0) {
        SetReadError("a negative sub-chunk size");
        return nullptr;
    }
    if (skip) {
        if (ReaderFor(s))
            r->m_Position += s;
        return nullptr;
    }
    if (s == 0)
        return nullptr;
    if (!ReaderFor(s))
        return nullptr;
    const CKDWORD* item = r->m_Data + start + 1;
    int end = start + 1 + s;

    bool current = m_ChunkVersion >= CHUNK_VERSION_LISTS && !(s >= 2 && item[1] + 4 == (CKDWORD) s);
    CK_CLASSID cid = (CK_CLASSID) (signed char) (CKBYTE) item[0];
    if (current) {
        int header = m_ChunkVersion > CHUNK_VERSION_LISTS ? 7 : 6;
        if (s < header) {
            SetReadError("a sub-chunk item shorter than its header");
            r->m_Position = end;
            return nullptr;
        }
        CKDWORD pair = item[1];
        CKDWORD n = item[2];
        CKDWORD fileFlag = item[3];
        CKDWORD counts[3] = {item[4], item[5], header == 7 ? item[6] : 0};
        uint64_t used = (uint64_t) header + n + counts[0] + counts[1] + counts[2];
        if (used > (uint64_t) s) {
            SetReadError("a sub-chunk item whose parts pass its size");
            r->m_Position = end;
            return nullptr;
        }
        CKStateChunk* sub = new CKStateChunk(cid, nullptr);
        if (!sub) {
            r->m_Position = end;
            return nullptr;
        }
        sub->m_DataVersion = (CKBYTE) (pair & 0xFF);
        sub->m_ChunkVersion = (CKBYTE) ((pair >> 16) & 0xFF);
        if (fileFlag == 1 && m_File) {
            sub->m_File = m_File;
            sub->m_ChunkOptions |= CHNK_OPTION_FILE;
        }
        int total = 1 + (int) n;
        for (CKDWORD c : counts)
            if (c > 0)
                total += 1 + (int) c;
        if (total > 1 && sub->AllocateBuffer(total)) {
            CKDWORD* d = sub->m_Buffer;
            const CKDWORD* src = item + header;
            *d++ = n;
            std::memcpy(d, src, sizeof(CKDWORD) * n);
            d += n;
            src += n;
            for (int l = 0; l < 3; ++l) {
                if (counts[l] == 0)
                    continue;
                sub->m_ChunkOptions |= kListBits[l];
                *d++ = counts[l];
                std::memcpy(d, src, sizeof(CKDWORD) * counts[l]);
                d += counts[l];
                src += counts[l];
            }
        }
        r->m_Position = end;
        return sub;
    }

    // Oldest layout: class id, data size, one ignored word, the data.
    if (s < 3 || item[1] > (CKDWORD) (r->m_DataSize - start - 4)) {
        SetReadError("an old sub-chunk item whose data passes the data");
        r->m_Position = start + 1 + s;
        return nullptr;
    }
    int n = (int) item[1];
    CKStateChunk* sub = new CKStateChunk(cid, nullptr);
    if (sub && n > 0 && sub->AllocateBuffer(1 + n)) {
        sub->m_Buffer[0] = (CKDWORD) n;
        std::memcpy(sub->m_Buffer + 1, item + 3, sizeof(CKDWORD) * (size_t) n);
    }
    r->m_Position = start + 4 + n;
    return sub;
}

int CKStateChunk::ReadManagerIntSequenceStart(CKGUID* out)
{
    if (out)
        *out = CKGUID();
    ChunkReader* r = ReaderFor(3);
    if (!r)
        return 0;
    const CKDWORD* d = r->m_Data + r->m_Position;
    int count = (int) d[0];
    if (out)
        *out = CKGUID(d[1], d[2]);
    r->m_Position += 3;
    if (count < 0 || count > r->m_DataSize - r->m_Position) {
        SetReadError("a manager sequence longer than the data");
        return 0;
    }
    return count;
}

const CKDWORD* CKStateChunk::LockReadBuffer(int wordCount)
{
    ChunkReader* r = ReaderFor(wordCount);
    return r ? r->m_Data + r->m_Position : nullptr;
}

// Iteration and remapping.

bool CKStateChunk::FillIteratorLayout(ChunkIteratorData& record)
{
    PackedLayout layout;
    bool ok = ParsePacked(m_Buffer, m_BufferSize, m_ChunkOptions, layout);
    if (!ok)
        layout = PackedLayout();
    record.ChunkVersion = m_ChunkVersion;
    record.Data = layout.Data;
    record.DataSize = layout.DataSize;
    record.ObjectIDs = layout.Lists[0];
    record.ObjectIDCount = layout.Counts[0];
    record.SubChunks = layout.Lists[1];
    record.SubChunkCount = layout.Counts[1];
    record.Managers = layout.Lists[2];
    record.ManagerCount = layout.Counts[2];
    record.Depth = 0;
    record.Refused = FALSE;
    return ok;
}

namespace {

// Visits the sub-chunk item at q of a level; returns the position behind it,
// or -1 when it does not fit. Nested levels of the current layout are walked.
int VisitSubChunkItem(ChunkIteratorData* record, int q, ChunkIterateFct function, int& sum)
{
    const CKDWORD* d = record->Data;
    int n = record->DataSize;
    if (q >= n)
        return -1;
    CKDWORD s = d[q];
    if (s == 0)
        return q + 1;
    if (s > (CKDWORD) (n - q - 1))
        return -1;
    const CKDWORD* item = d + q + 1;
    bool current = record->ChunkVersion >= CHUNK_VERSION_LISTS && !(s >= 2 && item[1] + 4 == s);
    if (!current) {
        // Oldest layout: skipped, sized as ReadSubChunk reads it.
        if (s < 3 || item[1] > (CKDWORD) (n - q - 4))
            return -1;
        return q + 4 + (int) item[1];
    }
    int header = record->ChunkVersion > CHUNK_VERSION_LISTS ? 7 : 6;
    if (s < (CKDWORD) header)
        return -1;
    CKDWORD counts[3] = {item[4], item[5], header == 7 ? item[6] : 0};
    uint64_t used = (uint64_t) header + item[2] + counts[0] + counts[1] + counts[2];
    if (used > s)
        return -1;
    ChunkIteratorData child = *record;
    child.ChunkVersion = (int) ((item[1] >> 16) & 0xFF);
    child.Data = const_cast<CKDWORD*>(item) + header;
    child.DataSize = (int) item[2];
    child.ObjectIDs = child.Data + child.DataSize;
    child.ObjectIDCount = (int) counts[0];
    child.SubChunks = child.ObjectIDs + counts[0];
    child.SubChunkCount = (int) counts[1];
    child.Managers = child.SubChunks + counts[1];
    child.ManagerCount = (int) counts[2];
    child.Depth = record->Depth + 1;
    child.Refused = FALSE;
    sum += CKStateChunk::IterateChunkLevel(&child, function);
    if (child.Refused)
        record->Refused = TRUE;
    return q + 1 + (int) s;
}

int RemapManagerFunction(ChunkIteratorData* record)
{
    CKDWORD* d = record->Data;
    int counted = 0;
    auto convert = [&](CKDWORD& value) {
        int v = (int) value;
        if (v >= 0 && v < record->ConversionTableSize)
            value = (CKDWORD) record->ConversionTable[v];
        ++counted;
    };
    // A single value spans the GUID and the value; a sequence its count, the
    // GUID and the values, so its count word is the first of three.
    WalkChunkPositionList(record, record->Managers, record->ManagerCount, 3, 3, [&](int p, int count, bool sequence) {
        if (!sequence) {
            if (CKGUID(d[p], d[p + 1]) == record->Guid)
                convert(d[p + 2]);
            return;
        }
        if (CKGUID(d[p + 1], d[p + 2]) != record->Guid)
            return;
        for (int k = 0; k < count; ++k)
            convert(d[p + 3 + k]);
    });
    return counted;
}

} // namespace

int CKStateChunk::IterateChunkLevel(ChunkIteratorData* record, ChunkIterateFct function)
{
    int sum = function ? function(record) : 0;
    if (record->SubChunkCount == 0 || !record->SubChunks)
        return sum;
    if (record->Depth >= CHUNK_MAX_NESTING) {
        record->Refused = TRUE;
        return sum;
    }
    WalkChunkPositionList(record, record->SubChunks, record->SubChunkCount, 1, 1, [&](int p, int count, bool sequence) {
        if (!sequence) {
            if (VisitSubChunkItem(record, p, function, sum) < 0)
                record->Refused = TRUE;
            return;
        }
        int q = p + 1;
        for (int k = 0; k < count; ++k) {
            q = VisitSubChunkItem(record, q, function, sum);
            if (q < 0) {
                record->Refused = TRUE;
                return;
            }
        }
    });
    return sum;
}

int CKStateChunk::IterateChunks(ChunkIteratorData* record, ChunkIterateFct function)
{
    if (!record)
        return 0;
    // The function may rewrite the words: a borrowed buffer is never written.
    if (!OwnBuffer())
        return 0;
    if (!FillIteratorLayout(*record))
        SetReadError("its packed buffer does not hold its lists");
    int sum = IterateChunkLevel(record, function);
    if (record->Refused)
        SetReadError("a position list entry or sub-chunk item does not fit its data");
    return sum;
}

int CKStateChunk::RemapManagerInt(CKGUID manager, const int* table, int count)
{
    if (!table)
        return 0;
    if (Writer())
        StartRead(); // the list bits are known once the writer is packed
    if (!(m_ChunkOptions & (CHNK_OPTION_CHN | CHNK_OPTION_MAN)))
        return 0;
    StartRead();
    ChunkIteratorData record;
    record.Guid = manager;
    record.ConversionTable = table;
    record.ConversionTableSize = count;
    return IterateChunks(&record, RemapManagerFunction);
}

// Serialised form.

int CKStateChunk::ConvertToBuffer(void* dest)
{
    CloseChunk();
    if (dest) {
        CKBYTE* out = static_cast<CKBYTE*>(dest);
        CKEmitChunkBytes(this, [&out](const void* bytes, int n) {
            std::memcpy(out, bytes, (size_t) n);
            out += n;
            return true;
        });
    }
    return 4 + 4 * (m_BufferSize > 0 ? m_BufferSize : 1);
}

// Both directions of the header word, byte by byte in file order.
namespace {
constexpr CKBYTE kUnstoredOptions = CHNK_OPTION_DONTDELETE_PTR | CHNK_OPTION_DONTDELETE_PARSER;
}

void CKStateChunk::StoreHeaderWord(CKBYTE out[4]) const
{
    out[0] = m_DataVersion;
    out[1] = m_ChunkClassID;
    out[2] = m_ChunkVersion;
    out[3] = m_ChunkOptions & ~kUnstoredOptions;
}

void CKStateChunk::LoadHeaderWord(const CKBYTE in[4])
{
    m_DataVersion = in[0];
    m_ChunkClassID = in[1];
    m_ChunkVersion = in[2];
    m_ChunkOptions = in[3] & ~kUnstoredOptions;
}

CKBOOL CKStateChunk::ConvertFromBuffer(const void* source, int size)
{
    return ReadFromRawBuffer(const_cast<void*>(source), size, FALSE);
}

CKBOOL CKStateChunk::ReadFromRawBuffer(void* source, int size, CKBOOL borrow)
{
    Clear();
    if (!source || size < 4) {
        SetReadError("a serialised chunk shorter than its header");
        return FALSE;
    }
    CKBYTE* b = static_cast<CKBYTE*>(source);
    return ReadSerialised(b, b + 4, size - 4, borrow ? BufferBorrowed : BufferCopied);
}

CKBOOL CKStateChunk::AdoptRawBuffer(const void* header, void* block, int size)
{
    Clear();
    if (!header || !block || size < 4) {
        std::free(block);
        SetReadError("a serialised chunk shorter than its header");
        return FALSE;
    }
    return ReadSerialised(static_cast<const CKBYTE*>(header), static_cast<CKBYTE*>(block), size - 4, BufferAdopted);
}

CKBOOL CKStateChunk::ReadSerialised(const CKBYTE* b, CKBYTE* words, int wordBytes, BufferSource source)
{
    // An adopted block that does not become the buffer is freed on every path.
    struct Release
    {
        void* block;
        ~Release() { std::free(block); }
    } release{source == BufferAdopted ? words : nullptr};
    LoadHeaderWord(b);
    if (m_ChunkVersion > CHUNK_VERSION_CURRENT)
        return TRUE;               // a newer layout: kept as an empty chunk
    int available = wordBytes / 4; // whole words behind the header
    auto fail = [&](const char* what) {
        Clear();
        SetReadError(what);
        return FALSE;
    };

    if (m_ChunkVersion >= CHUNK_VERSION_PACKED) {
        if (available < 1)
            return fail("a serialised chunk without its data size");
        CKDWORD n = LoadLE32(words);
        if (n > (CKDWORD) (available - 1))
            return fail("a serialised chunk whose data passes its size");
        int k = 1 + (int) n;
        for (CKBYTE bit : kListBits) {
            if (!(m_ChunkOptions & bit))
                continue;
            if (k >= available)
                return fail("a serialised chunk whose list count passes its size");
            CKDWORD c = LoadLE32(words + 4 * k);
            if (c > (CKDWORD) (available - k - 1))
                return fail("a serialised chunk whose list passes its size");
            k += 1 + (int) c;
        }
        if (!(m_ChunkOptions & CHNK_OPTION_FILE))
            m_File = nullptr;
        bool usable = ((uintptr_t) words & 3) == 0 && kLittleEndianHost;
        if (source == BufferBorrowed && usable) {
            m_Buffer = reinterpret_cast<CKDWORD*>(words);
            m_BufferSize = k;
            m_ChunkOptions |= CHNK_OPTION_DONTDELETE_PTR;
            return TRUE;
        }
        if (source == BufferAdopted && usable) {
            release.block = nullptr;
            m_Buffer = reinterpret_cast<CKDWORD*>(words);
            m_BufferSize = k;
            return TRUE;
        }
        if (!AllocateBuffer(k))
            return fail("out of memory");
        LoadWordsLE(m_Buffer, words, k);
        return TRUE;
    }

    // Versions up to 5: class id, data size, an ignored word, the object-id
    // and sub-chunk counts, and from version 5 the manager count.
    int header = m_ChunkVersion == CHUNK_VERSION_MANAGERS ? 6 : 5;
    if (available < header)
        return fail("an old serialised chunk shorter than its header");
    m_ChunkOptions = 0;
    m_File = nullptr;
    m_ChunkClassID = (CKBYTE) LoadLE32(words);
    int n = (int) LoadLE32(words + 4);
    if (n <= 0) {
        Clear();
        return FALSE;
    }
    CKDWORD counts[3] = {LoadLE32(words + 12), LoadLE32(words + 16), header == 6 ? LoadLE32(words + 20) : 0};
    uint64_t needed = (uint64_t) header + (CKDWORD) n + counts[0] + counts[1] + counts[2];
    if (needed > (uint64_t) available)
        return fail("an old serialised chunk whose parts pass its size");
    int total = 1 + n;
    for (CKDWORD c : counts)
        if (c > 0)
            total += 1 + (int) c;
    if (!AllocateBuffer(total))
        return fail("out of memory");
    CKDWORD* d = m_Buffer;
    const CKBYTE* src = words + 4 * header;
    *d++ = (CKDWORD) n;
    LoadWordsLE(d, src, n);
    d += n;
    src += 4 * n;
    for (int l = 0; l < 3; ++l) {
        if (counts[l] == 0)
            continue;
        m_ChunkOptions |= kListBits[l];
        *d++ = counts[l];
        LoadWordsLE(d, src, (int) counts[l]);
        d += counts[l];
        src += 4 * counts[l];
    }
    return TRUE;
}

bool CKStateChunk::OwnBuffer()
{
    if (!(m_ChunkOptions & CHNK_OPTION_DONTDELETE_PTR))
        return true;
    CKDWORD* copy = AllocateWords(m_BufferSize);
    if (!copy) {
        SetReadError("out of memory copying a borrowed buffer");
        return false;
    }
    std::memcpy(copy, m_Buffer, sizeof(CKDWORD) * (size_t) m_BufferSize);
    m_Buffer = copy;
    m_ChunkOptions &= ~CHNK_OPTION_DONTDELETE_PTR;
    // An open reader points into the borrowed words: it moves to the copy.
    if (ChunkReader* r = Reader()) {
        int position = r->m_Position;
        int identifier = r->m_CurrentIdentifier;
        if (ChunkReader* moved = OpenReader()) {
            moved->m_Position = position <= moved->m_DataSize ? position : moved->m_DataSize;
            moved->m_CurrentIdentifier = identifier;
        }
    }
    return true;
}

// Creation.

CKStateChunk* CKCreateStateChunk(CK_CLASSID cid, CKFile* file)
{
    return new CKStateChunk(cid, file);
}

CKStateChunk* CKCopyStateChunk(CKStateChunk* chunk)
{
    if (!chunk)
        return nullptr;
    CKStateChunk* copy = new CKStateChunk(0, nullptr);
    if (copy)
        copy->Clone(chunk);
    return copy;
}

void CKDeleteStateChunk(CKStateChunk* chunk)
{
    delete chunk;
}
