#pragma once

#include <zlib.h>

#include "includes/CKTypes.h"

// The inflating half shared by the two inflating parsers: a zlib stream, a
// 64 KB output window and the count of bytes delivered. The owner supplies
// the packed input through NextInput and RewindInput.
class CKInflateStream
{
public:
    static constexpr int kWindowSize = 0x10000;

    explicit CKInflateStream(int unpackedSize);
    virtual ~CKInflateStream();
    CKInflateStream(const CKInflateStream&) = delete;
    CKInflateStream& operator=(const CKInflateStream&) = delete;

    // False when inflateInit failed or the window could not be allocated.
    bool IsReady() const { return m_Ready; }
    int GetUnpackedSize() const { return m_UnpackedSize; }
    int GetDelivered() const { return m_Delivered; }
    // Delivers n bytes (dest null: into nothing). Requests above the window
    // inflate straight into dest. False (dest zeroed from the first missing
    // byte) when n passes the unpacked size or the packed stream is short or
    // broken; the stream is then unusable until Rewind.
    bool Inflate(void* dest, int n);
    // Back to the start of the packed stretch.
    bool Rewind();
    bool IsBroken() const { return m_Broken; }
    // The stream's own check value (zlib's Adler-32 of the inflated bytes)
    // is no longer computed nor compared: for bytes the caller checks itself.
    void SkipCheckValue()
    {
        if (m_Ready)
            inflateValidate(&m_Stream, 0);
    }

protected:
    // More packed bytes: *data and their count; 0 at the end of the packed
    // stretch, -1 when they cannot be read.
    virtual int NextInput(const CKBYTE** data) = 0;
    // Back to the start of the packed stretch; false when impossible.
    virtual bool RewindInput() = 0;

private:
    // Inflates into out until it is full or the stream can give no more;
    // returns the bytes produced, -1 on a broken stream.
    int Produce(CKBYTE* out, int capacity);

    z_stream m_Stream;
    bool m_Ready = false;
    bool m_Broken = false;
    bool m_Ended = false;
    bool m_InputDone = false;
    int m_UnpackedSize = 0;
    int m_Delivered = 0;
    CKBYTE* m_Window = nullptr;
    int m_WindowFill = 0;
    int m_WindowPos = 0;
};
