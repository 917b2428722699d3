#include "core/file/CKInflateStream.h"

#include <cstring>
#include <new>

CKInflateStream::CKInflateStream(int unpackedSize) : m_UnpackedSize(unpackedSize > 0 ? unpackedSize : 0)
{
    std::memset(&m_Stream, 0, sizeof(m_Stream));
    m_Window = new (std::nothrow) CKBYTE[kWindowSize];
    m_Ready = m_Window && inflateInit(&m_Stream) == Z_OK;
    if (!m_Ready)
        m_UnpackedSize = 0;
}

CKInflateStream::~CKInflateStream()
{
    if (m_Ready)
        inflateEnd(&m_Stream);
    delete[] m_Window;
}

bool CKInflateStream::Rewind()
{
    if (!m_Ready)
        return false;
    m_Delivered = 0;
    m_WindowFill = m_WindowPos = 0;
    m_Ended = m_InputDone = false;
    m_Stream.next_in = nullptr;
    m_Stream.avail_in = 0;
    m_Broken = inflateReset(&m_Stream) != Z_OK || !RewindInput();
    return !m_Broken;
}

int CKInflateStream::Produce(CKBYTE* out, int capacity)
{
    m_Stream.next_out = out;
    m_Stream.avail_out = (uInt) capacity;
    while (m_Stream.avail_out > 0 && !m_Ended) {
        if (m_Stream.avail_in == 0 && !m_InputDone) {
            const CKBYTE* data = nullptr;
            int got = NextInput(&data);
            if (got < 0)
                return -1;
            if (got == 0) {
                m_InputDone = true;
            } else {
                m_Stream.next_in = const_cast<Bytef*>(data);
                m_Stream.avail_in = (uInt) got;
            }
        }
        uInt before = m_Stream.avail_out;
        int rc = inflate(&m_Stream, Z_SYNC_FLUSH);
        if (rc == Z_STREAM_END) {
            m_Ended = true;
        } else if (rc == Z_BUF_ERROR) {
            // No progress possible: the packed stretch ended inside the stream.
            if (m_InputDone && m_Stream.avail_in == 0 && m_Stream.avail_out == before)
                break;
        } else if (rc != Z_OK) {
            return -1;
        }
    }
    return capacity - (int) m_Stream.avail_out;
}

bool CKInflateStream::Inflate(void* dest, int n)
{
    CKBYTE* out = static_cast<CKBYTE*>(dest);
    auto fail = [&](int done) {
        if (out && n > done)
            std::memset(out + done, 0, (size_t) (n - done));
        m_Broken = true;
        return false;
    };
    if (n < 0 || !m_Ready || m_Broken || n > m_UnpackedSize - m_Delivered)
        return fail(0);
    int done = 0;
    while (done < n) {
        if (m_WindowPos < m_WindowFill) {
            int take = m_WindowFill - m_WindowPos;
            if (take > n - done)
                take = n - done;
            if (out)
                std::memcpy(out + done, m_Window + m_WindowPos, (size_t) take);
            m_WindowPos += take;
            done += take;
            m_Delivered += take;
            continue;
        }
        if (out && n - done > kWindowSize) {
            int got = Produce(out + done, n - done);
            if (got <= 0)
                return fail(done);
            done += got;
            m_Delivered += got;
            continue;
        }
        int got = Produce(m_Window, kWindowSize);
        if (got <= 0)
            return fail(done);
        m_WindowFill = got;
        m_WindowPos = 0;
    }
    return true;
}
