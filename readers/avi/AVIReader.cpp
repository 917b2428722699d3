#include "readers/avi/AVIReader.h"

#include <cstdint>

#include "platform/PlatformAviGetFrame.h"
#include "platform/PlatformAviStream.h"
#include "readers/common/ReaderLog.h"

CKBitmapProperties AVIReader::DefaultProperties()
{
    CKBitmapProperties p;
    p.m_ReaderGuid = CKGUID(0x67541bfe, 0x75e510c0);
    p.m_Ext.Set("avi");
    return p;
}

AVIReader::AVIReader() : m_Properties(DefaultProperties())
{
    PlatformAviFileInit();
}

AVIReader::~AVIReader()
{
    CloseStream();
    PlatformAviFileExit();
}

void AVIReader::CloseStream()
{
    PlatformAviStreamGetFrameClose(m_GetFrame);
    PlatformAviStreamRelease(m_Stream);
    m_GetFrame = nullptr;
    m_Stream = nullptr;
    m_FrameCount = 0;
    m_Properties.m_Data = nullptr;
    m_Properties.m_Format.Image = nullptr;
}

int AVIReader::GetMovieLength()
{
    return PlatformAviStreamSampleToTime(m_Stream, m_FrameCount);
}

int AVIReader::OpenFile(const char* name)
{
    CloseStream();
    if (!name)
        return kOpenFailed;
    PlatformAviStream* stream = nullptr;
    const PlatformAviResult result = PlatformAviStreamOpenFromFile(&stream, name, PLATFORM_AVI_STREAMTYPE_VIDEO, 0);
    if (result != PLATFORM_AVI_OK) {
        ReaderLogError("AVI: cannot open a video stream of %s (%d)", name, (int) result);
        return kOpenFailed;
    }
    return Open(stream, name);
}

int AVIReader::OpenMemory(const void* data, CKDWORD size)
{
    CloseStream();
    PlatformAviStream* stream = nullptr;
    const PlatformAviResult result =
        PlatformAviStreamOpenFromMemory(&stream, data, size, PLATFORM_AVI_STREAMTYPE_VIDEO, 0);
    if (result != PLATFORM_AVI_OK) {
        ReaderLogError("AVI: cannot open a video stream in memory (%d)", (int) result);
        return kOpenFailed;
    }
    return Open(stream, "a movie in memory");
}

int AVIReader::Open(PlatformAviStream* stream, const char* what)
{
    m_Stream = stream;
    m_GetFrame = PlatformAviStreamGetFrameOpen(m_Stream, PLATFORM_AVI_FRAME_NATIVE);
    if (!m_GetFrame)
        m_GetFrame = PlatformAviStreamGetFrameOpen(m_Stream, PLATFORM_AVI_FRAME_BESTDISPLAY);
    if (!m_GetFrame) {
        ReaderLogError("AVI: no decoder for the video of %s", what);
        CloseStream();
        return kOpenFailed;
    }
    const PlatformAviFrame* frame = PlatformAviStreamGetFrame(m_GetFrame, PlatformAviStreamStart(m_Stream));
    if (!frame) {
        ReaderLogError("AVI: cannot decode the first frame of %s", what);
        CloseStream();
        return kOpenFailed;
    }
    const PlatformBitmapInfoHeader& h = frame->Header;
    if (h.Height <= 0 || h.Width <= 0) {
        ReaderLogError("AVI: frames of %s are %d x %d", what, (int) h.Width, (int) h.Height);
        CloseStream();
        return kOpenFailed;
    }
    QxImageDesc& desc = m_Properties.m_Format;
    desc = QxImageDesc();
    desc.Width = h.Width;
    desc.Height = h.Height;
    desc.BitsPerPixel = h.BitCount;
    desc.BytesPerLine = int32_t(h.SizeImage / uint32_t(h.Height));
    desc.SetDefaultMasks();
    desc.AlphaMask = 0;
    m_FrameCount = PlatformAviStreamLength(m_Stream);
    return 0;
}

int AVIReader::ReadFrame(int frame, CKBitmapProperties** out)
{
    if (!out || !m_GetFrame || frame < 0 || frame >= m_FrameCount)
        return kReadFailed;
    const long long position = (long long) PlatformAviStreamStart(m_Stream) + frame;
    if (position > INT32_MAX)
        return kReadFailed;
    const PlatformAviFrame* f = PlatformAviStreamGetFrame(m_GetFrame, int32_t(position));
    const QxImageDesc& desc = m_Properties.m_Format;
    // The service keeps the first frame's layout; a frame that would not fit
    // the description is never handed out.
    if (!f || f->Header.Width != desc.Width || f->Header.Height != desc.Height ||
        f->Header.BitCount != desc.BitsPerPixel ||
        f->Header.SizeImage != uint32_t(desc.BytesPerLine) * uint32_t(desc.Height)) {
        m_Properties.m_Data = nullptr;
        m_Properties.m_Format.Image = nullptr;
        return kReadFailed;
    }
    m_Properties.m_Data = const_cast<CKBYTE*>(f->Bits);
    m_Properties.m_Format.Image = const_cast<CKBYTE*>(f->Bits);
    *out = &m_Properties;
    return 0;
}
