#pragma once

#include "core/bitmap/CKBitmapProperties.h"
#include "core/bitmap/CKMovieReader.h"

struct PlatformAviStream;
struct PlatformAviGetFrame;

// The frames of the first video stream of an AVI file, through the
// platform's movie service. Frames come bottom-up (the last line first),
// 16-bit RGB 555, 24-bit or 32-bit (alpha mask 0), lines padded to 4 bytes;
// palettised movies give 24-bit frames. A frame's pixels belong to the
// service until the next ReadFrame, OpenFile or the reader's destruction.
class AVIReader : public CKMovieReader
{
public:
    // OpenFile's failure.
    static constexpr int kOpenFailed = 3;
    // ReadFrame's failure.
    static constexpr int kReadFailed = 1;

    AVIReader();
    ~AVIReader() override;
    AVIReader(const AVIReader&) = delete;
    AVIReader& operator=(const AVIReader&) = delete;

    void Release() override { delete this; }
    CKPluginInfo* GetReaderInfo() override;
    // The plug-in record for index 0, null otherwise (the plug-in's info
    // getter).
    static CKPluginInfo* GetReaderInfo(int index);
    // Reads files only.
    CKDWORD GetFlags() override { return CK_DATAREADER_FILELOAD; }

    // Frames of the open movie (0 when none is open).
    int GetMovieFrameCount() override { return m_FrameCount; }
    // The time of the frame past the last, in milliseconds.
    int GetMovieLength() override;
    // Opens a movie (closing the one open): 0, or 3 when the file cannot be
    // read, has no video stream, no decoder reads it, its first frame cannot
    // be decoded or its frames have no height.
    int OpenFile(const char* name) override;
    // The same over size bytes of memory that the caller keeps while the
    // movie is open (for tests and fuzzing).
    int OpenMemory(const void* data, CKDWORD size);
    // Frame 0..count-1 into the record: 0, or 1 for a frame outside the
    // movie (a negative one included), a null out or a frame that cannot be
    // decoded.
    int ReadFrame(int frame, CKBitmapProperties** out) override;

    // The bare record (140 bytes) of the reader's GUID, extension "avi".
    static CKBitmapProperties DefaultProperties();

private:
    // Takes the opened stream (null when opening failed) and reads its
    // first frame.
    int Open(PlatformAviStream* stream, const char* what);
    void CloseStream();

    CKBitmapProperties m_Properties;
    PlatformAviStream* m_Stream = nullptr;
    PlatformAviGetFrame* m_GetFrame = nullptr;
    int m_FrameCount = 0;
};
