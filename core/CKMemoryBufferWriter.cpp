#include "core/CKMemoryBufferWriter.h"

#include <bit>
#include <cstring>
#include <zlib.h>

#include "core/CKStateChunk.h"
#include "core/CKStreamWriter.h"
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
            m_RunningCrc = (CKDWORD) adler32(m_RunningCrc, reinterpret_cast<const Bytef*>(at), (uInt) piece);
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
        crc = (CKDWORD) adler32(crc, reinterpret_cast<const Bytef*>(bytes), (uInt) count);
        return true;
    });
    Seek(0);
    return crc;
}

CKBOOL CKMemoryBufferWriter::WriteToStream(CKStreamWriter* writer)
{
    if (!writer || !m_Mapping.IsOpen())
        return FALSE;
    bool ok = ForEachPiece([&](const char* bytes, int count) {
        return writer->Write(bytes, (CKDWORD) count) == (CKDWORD) count;
    });
    Seek(0);
    return ok;
}

int CKMemoryBufferWriter::InsertChunk(CKStateChunk* chunk)
{
    int size = chunk ? chunk->ConvertToBuffer(nullptr) : 0;
    char word[4];
    StoreLE32(word, (CKDWORD) size);
    if (!Write(word, 4) || size == 0)
        return size;
    // The serialised form is the header word and the packed buffer; writing
    // the buffer in pieces keeps the mapped window small for huge chunks.
    const CKDWORD* words = chunk->GetBuffer();
    int count = chunk->GetBufferWords();
    if (!words || size != 4 + 4 * count) {
        // An empty chunk (header and one 0 word) or a form this does not
        // know: let the chunk write itself.
        if (MapFor(size)) {
            char* at = At();
            chunk->ConvertToBuffer(at);
            if (m_RunningCrcValid && m_Cursor == m_RunningCrcEnd) {
                m_RunningCrc = (CKDWORD) adler32(m_RunningCrc, reinterpret_cast<const Bytef*>(at), (uInt) size);
                m_RunningCrcEnd += size;
            } else {
                m_RunningCrcValid = false;
            }
            m_Cursor += size;
            if (m_Cursor > m_Size)
                m_Size = m_Cursor;
        } else {
            Fail();
        }
        return size;
    }
    char header[4];
    header[0] = (char) chunk->GetDataVersion();
    header[1] = (char) chunk->GetChunkClassID();
    header[2] = (char) chunk->GetChunkVersion();
    header[3] = (char) (chunk->GetChunkOptions() & ~(CHNK_OPTION_DONTDELETE_PTR | CHNK_OPTION_DONTDELETE_PARSER));
    Write(header, 4);
    if constexpr (std::endian::native == std::endian::little) {
        Write(words, 4 * count);
    } else {
        char piece[4096];
        for (int i = 0; i < count;) {
            int take = count - i < 1024 ? count - i : 1024;
            for (int k = 0; k < take; ++k)
                StoreLE32(piece + 4 * k, words[i + k]);
            Write(piece, 4 * take);
            i += take;
        }
    }
    return size;
}

CKBufferParser* CKMemoryBufferWriter::Pack(int n, int level)
{
    if (!m_Mapping.IsOpen())
        return nullptr;
    // The reservation is n x 1.1 with a single-precision 1.1, truncated.
    float reserve = (float) n * 1.1f;
    int reserved = reserve >= 2147483647.0f ? 0x7FFFFFFF : (int) reserve;
    CKMemoryBufferWriter* packed = new CKMemoryBufferWriter(reserved);
    if (!packed || !packed->IsValid()) {
        delete packed;
        return nullptr;
    }
    z_stream stream;
    std::memset(&stream, 0, sizeof(stream));
    if (deflateInit(&stream, level) != Z_OK) {
        delete packed;
        return nullptr;
    }
    bool ok = true;
    int out = 0;
    // Gives deflate room in the new writer's window from its cursor on.
    auto room = [&]() {
        packed->m_Cursor = out;
        if (!packed->MapFor(kPackWindow))
            return false;
        stream.next_out = reinterpret_cast<Bytef*>(packed->At());
        stream.avail_out = kPackWindow;
        return true;
    };
    auto flushOut = [&]() {
        int produced = kPackWindow - (int) stream.avail_out;
        packed->m_RunningCrc = (CKDWORD) adler32(packed->m_RunningCrc, reinterpret_cast<const Bytef*>(packed->At()),
                                                 (uInt) produced);
        packed->m_RunningCrcEnd += produced;
        out += produced;
    };
    ok = room();
    for (int pos = 0; ok && pos < m_Size;) {
        int piece = m_Size - pos < (int) kPiece ? m_Size - pos : (int) kPiece;
        bool last = pos + piece == m_Size;
        Seek(pos);
        if (!m_Buffer || m_Failed) {
            ok = false;
            break;
        }
        stream.next_in = reinterpret_cast<Bytef*>(At());
        stream.avail_in = (uInt) piece;
        for (;;) {
            int rc = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            if (rc == Z_STREAM_END)
                break;
            if (rc != Z_OK && rc != Z_BUF_ERROR) {
                ok = false;
                break;
            }
            if (stream.avail_out == 0) {
                flushOut();
                if (!room()) {
                    ok = false;
                    break;
                }
                continue;
            }
            if (!last && stream.avail_in == 0)
                break;
        }
        pos += piece;
    }
    if (ok && m_Size == 0) {
        stream.next_in = nullptr;
        stream.avail_in = 0;
        ok = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    }
    if (ok)
        flushOut();
    deflateEnd(&stream);
    Seek(0);
    if (!ok) {
        delete packed;
        return nullptr;
    }
    packed->m_Size = out;
    packed->m_Cursor = out;
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
