#include "core/file/CKMemoryBufferWriter.h"

#include <cstring>
#include <new>
#include <zlib.h>

#include "core/chunk/CKChunkBytes.h"
#include "core/chunk/CKStateChunk.h"
#include "core/file/CKFileChecksum.h"
#include "core/file/CKStreamWriter.h"
#include "includes/CKByteOrder.h"

namespace {

constexpr uint64_t kPiece = CK_BUFFERPARSER_PIECE;
// 1.1 x 8 MB: the output room each 8 MB input piece of Pack is given.
constexpr int kPackWindow = 0x8CCCCD;

uint64_t RoundUp(uint64_t value, uint64_t step)
{
    return (value + step - 1) / step * step;
}

} // namespace

CKMemoryBufferWriter::CKMemoryBufferWriter(int size)
{
    m_Granularity = PlatformTempFileMapping::AllocationGranularity();
    if (size < 0)
        return;
    m_Reserved = RoundUp(size > 0 ? (uint64_t) size : 1, kPiece);
    if (!m_Mapping.Create("ckmbw", m_Reserved))
        return;
    m_Size = size;
    m_Cursor = 0;
    if (!MapFor(0))
        m_Mapping.Close();
}

CKMemoryBufferWriter::~CKMemoryBufferWriter()
{
    EndDeflateStream();
    // The view belongs to the mapping, not to the base.
    m_Buffer = nullptr;
    m_Owned = FALSE;
}

bool CKMemoryBufferWriter::MapFor(int n)
{
    uint64_t want = n > (int) kPiece ? (uint64_t) n : kPiece;
    uint64_t end = (uint64_t) m_Cursor + (uint64_t) n;
    if (end > m_Reserved) {
        if (!m_Mapping.Grow(RoundUp(end, kPiece))) {
            m_Buffer = nullptr;
            m_Mapping.UnmapView();
            return false;
        }
        m_Reserved = m_Mapping.GetSize();
    }
    uint64_t start = (uint64_t) m_Cursor / m_Granularity * m_Granularity;
    uint64_t length = RoundUp((uint64_t) m_Cursor - start + want, m_Granularity);
    if (start + length > m_Reserved)
        length = m_Reserved - start;
    m_Buffer = reinterpret_cast<char*>(m_Mapping.MapView(start, (uint32_t) length));
    if (!m_Buffer)
        return false;
    m_WindowStart = (CKDWORD) start;
    m_WindowLength = (CKDWORD) length;
    return true;
}

CKBOOL CKMemoryBufferWriter::Write(const void* data, int n)
{
    if (!m_Mapping.IsOpen() || n < 0 || (n > 0 && !data) || n > 0x7FFFFFFF - m_Cursor)
        return Fail();
    const char* src = static_cast<const char*>(data);
    while (n > 0) {
        int piece = n < (int) kPiece ? n : (int) kPiece;
        if (!m_Buffer || (CKDWORD) m_Cursor < m_WindowStart ||
            (uint64_t) m_Cursor + (uint64_t) piece > (uint64_t) m_WindowStart + m_WindowLength) {
            if (!MapFor(piece))
                return Fail();
        }
        char* at = At();
        std::memcpy(at, src, (size_t) piece);
        // The piece is still in the cache: summing it now is nearly free.
        if (m_RunningCrcValid && m_Cursor == m_RunningCrcEnd) {
            m_RunningCrc = CKFileChecksum(m_RunningCrc, at, (size_t) piece);
            m_RunningCrcEnd += piece;
        } else {
            m_RunningCrcValid = false;
        }
        m_Cursor += piece;
        src += piece;
        n -= piece;
    }
    if (m_Cursor > m_Size)
        m_Size = m_Cursor;
    return TRUE;
}

CKBOOL CKMemoryBufferWriter::Read(void* dest, int n)
{
    if (dest && n > 0)
        std::memset(dest, 0, (size_t) n);
    return FALSE;
}

void CKMemoryBufferWriter::Seek(int pos)
{
    if (!m_Mapping.IsOpen() || pos < 0) {
        Fail();
        return;
    }
    m_Cursor = pos;
    if (!MapFor(0))
        Fail();
}

template <class F>
bool CKMemoryBufferWriter::ForEachPiece(F&& visit)
{
    for (int pos = 0; pos < m_Size;) {
        int piece = m_Size - pos < (int) kPiece ? m_Size - pos : (int) kPiece;
        Seek(pos);
        if (!m_Buffer || m_Failed)
            return false;
        if (!visit(At(), piece))
            return false;
        pos += piece;
    }
    return true;
}

CKDWORD CKMemoryBufferWriter::ComputeCRC(int n, CKDWORD previous)
{
    (void) n;
    (void) previous;
    if (m_RunningCrcValid && m_RunningCrcEnd == m_Size) {
        Seek(0);
        return m_RunningCrc;
    }
    CKDWORD crc = 0;
    ForEachPiece([&](const char* bytes, int count) {
        crc = CKFileChecksum(crc, bytes, (size_t) count);
        return true;
    });
    Seek(0);
    return crc;
}

CKBOOL CKMemoryBufferWriter::WriteToStream(CKStreamWriter* writer)
{
    if (!writer || !m_Mapping.IsOpen())
        return FALSE;
    bool ok = ForEachPiece(
        [&](const char* bytes, int count) { return writer->Write(bytes, (CKDWORD) count) == (CKDWORD) count; });
    Seek(0);
    return ok;
}

int CKMemoryBufferWriter::InsertChunk(CKStateChunk* chunk)
{
    int size = chunk ? chunk->ConvertToBuffer(nullptr) : 0;
    char word[4];
    StoreLE32(word, (CKDWORD) size);
    if (Write(word, 4))
        CKEmitChunkBytes(chunk, [&](const void* bytes, int n) { return Write(bytes, n) != FALSE; });
    return size;
}

CKMemoryBufferWriter* CKMemoryBufferWriter::NewPackTarget(int n)
{
    // The reservation is n x 1.1 with a single-precision 1.1, truncated.
    float reserve = (float) n * 1.1f;
    int reserved = reserve >= 2147483647.0f ? 0x7FFFFFFF : (int) reserve;
    CKMemoryBufferWriter* packed = new CKMemoryBufferWriter(reserved);
    if (packed && !packed->IsValid()) {
        delete packed;
        packed = nullptr;
    }
    return packed;
}

bool CKMemoryBufferWriter::BeginDeflate(int level)
{
    EndDeflateStream();
    m_DeflateOk = false;
    // A writer that lost its buffer or failed a write holds no section.
    if (!IsValid())
        return false;
    m_Deflate = new (std::nothrow) z_stream;
    if (!m_Deflate)
        return false;
    std::memset(m_Deflate, 0, sizeof(z_stream));
    if (deflateInit(m_Deflate, level) != Z_OK) {
        delete m_Deflate;
        m_Deflate = nullptr;
        return false;
    }
    m_Size = 0;
    m_Cursor = 0;
    m_RunningCrc = 0;
    m_RunningCrcEnd = 0;
    m_RunningCrcValid = true;
    m_DeflateOk = DeflateRoom();
    return m_DeflateOk;
}

bool CKMemoryBufferWriter::DeflateRoom()
{
    if (!MapFor(kPackWindow))
        return false;
    m_Deflate->next_out = reinterpret_cast<Bytef*>(At());
    m_Deflate->avail_out = kPackWindow;
    return true;
}

void CKMemoryBufferWriter::DeflateCommit()
{
    // The window starts at the cursor; what deflate put there is summed
    // while it is still in the cache.
    int produced = kPackWindow - (int) m_Deflate->avail_out;
    m_RunningCrc = CKFileChecksum(m_RunningCrc, At(), (size_t) produced);
    m_RunningCrcEnd += produced;
    m_Cursor += produced;
    m_Size = m_Cursor;
}

bool CKMemoryBufferWriter::DeflateRun(int flush)
{
    for (;;) {
        int rc = deflate(m_Deflate, flush);
        if (rc == Z_STREAM_END)
            return true;
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return false;
        if (m_Deflate->avail_out == 0) {
            DeflateCommit();
            if (!DeflateRoom())
                return false;
            continue;
        }
        if (flush != Z_FINISH && m_Deflate->avail_in == 0)
            return true;
    }
}

bool CKMemoryBufferWriter::DeflatePiece(const void* data, int n)
{
    if (!m_Deflate || !m_DeflateOk || n < 0)
        return m_DeflateOk = false;
    // zlib takes 32-bit counts; pieces stay far below them.
    const Bytef* p = static_cast<const Bytef*>(data);
    while (n > 0 && m_DeflateOk) {
        int piece = n < (int) kPiece ? n : (int) kPiece;
        m_Deflate->next_in = const_cast<Bytef*>(p);
        m_Deflate->avail_in = (uInt) piece;
        m_DeflateOk = DeflateRun(Z_NO_FLUSH);
        p += piece;
        n -= piece;
    }
    return m_DeflateOk;
}

bool CKMemoryBufferWriter::EndDeflate()
{
    if (!m_Deflate)
        return false;
    bool ok = m_DeflateOk;
    if (ok) {
        m_Deflate->next_in = nullptr;
        m_Deflate->avail_in = 0;
        ok = DeflateRun(Z_FINISH);
    }
    if (ok)
        DeflateCommit();
    EndDeflateStream();
    if (ok)
        Seek(0);
    return ok;
}

void CKMemoryBufferWriter::EndDeflateStream()
{
    if (m_Deflate) {
        deflateEnd(m_Deflate);
        delete m_Deflate;
        m_Deflate = nullptr;
    }
}

CKBufferParser* CKMemoryBufferWriter::Pack(int n, int level)
{
    if (!m_Mapping.IsOpen())
        return nullptr;
    CKMemoryBufferWriter* packed = NewPackTarget(n);
    if (!packed || !packed->BeginDeflate(level)) {
        delete packed;
        return nullptr;
    }
    bool ok = ForEachPiece([&](const char* bytes, int count) { return packed->DeflatePiece(bytes, count); });
    ok = packed->EndDeflate() && ok;
    Seek(0);
    if (!ok) {
        delete packed;
        return nullptr;
    }
    packed->m_Cursor = packed->m_Size;
    return packed;
}

CKStateChunk* CKMemoryBufferWriter::ExtractChunk(int n, CKFile* file)
{
    (void) n;
    (void) file;
    return nullptr;
}

CKMemoryBufferParser* CKMemoryBufferWriter::Extract(int n)
{
    (void) n;
    return nullptr;
}

CKBOOL CKMemoryBufferWriter::ExtractFile(const char* name, int n)
{
    (void) name;
    (void) n;
    return FALSE;
}

CKBufferParser* CKMemoryBufferWriter::UnPack(int unpackedSize, int packedSize)
{
    (void) unpackedSize;
    (void) packedSize;
    return nullptr;
}
