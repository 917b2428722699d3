#include "platform/PlatformAviStream.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

#include "platform/PlatformAviStreamData.h"
#include "platform/PlatformFFmpeg.h"
#include "platform/PlatformPaths.h"

namespace {

// The input buffer FFmpeg reads through; a power of two it reallocates at
// will.
constexpr int kIoBufferSize = 32 * 1024;

int g_InitCount = 0;
bool g_Silenced = false;
int g_SavedLogLevel = 0;

// FFmpeg's own messages are silenced while the service is set up, from the
// moment its libraries are mapped (a movie's faults are told by its reader).
void FollowInitCount(const PlatformFFmpeg* ff)
{
    if (!ff)
        return;
    if (g_InitCount > 0 && !g_Silenced) {
        g_SavedLogLevel = ff->av_log_get_level();
        ff->av_log_set_level(AV_LOG_QUIET);
        g_Silenced = true;
    } else if (g_InitCount == 0 && g_Silenced) {
        ff->av_log_set_level(g_SavedLogLevel);
        g_Silenced = false;
    }
}

int ReadInput(void* opaque, uint8_t* buffer, int size)
{
    PlatformAviStream* s = static_cast<PlatformAviStream*>(opaque);
    if (size <= 0)
        return 0;
    if (s->File) {
        const size_t got = std::fread(buffer, 1, size_t(size), s->File);
        return got > 0 ? int(got) : AVERROR_EOF;
    }
    if (s->Position < 0 || uint64_t(s->Position) >= s->Size)
        return AVERROR_EOF;
    const size_t left = s->Size - size_t(s->Position);
    const size_t n = left < size_t(size) ? left : size_t(size);
    std::memcpy(buffer, s->Data + s->Position, n);
    s->Position += int64_t(n);
    return int(n);
}

int64_t SeekInput(void* opaque, int64_t offset, int whence)
{
    PlatformAviStream* s = static_cast<PlatformAviStream*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (s->File) {
        if (whence == AVSEEK_SIZE) {
            const long here = std::ftell(s->File);
            if (here < 0 || std::fseek(s->File, 0, SEEK_END) != 0)
                return -1;
            const long end = std::ftell(s->File);
            std::fseek(s->File, here, SEEK_SET);
            return end;
        }
        if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END)
            return -1;
        if (std::fseek(s->File, long(offset), whence) != 0)
            return -1;
        return std::ftell(s->File);
    }
    const int64_t size = int64_t(s->Size);
    int64_t target;
    switch (whence) {
    case AVSEEK_SIZE: return size;
    case SEEK_SET: target = offset; break;
    case SEEK_CUR: target = s->Position + offset; break;
    case SEEK_END: target = size + offset; break;
    default: return -1;
    }
    if (target < 0 || target > size)
        return -1;
    s->Position = target;
    return target;
}

int32_t Cap32(int64_t v)
{
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
}

void Close(PlatformAviStream* s)
{
    // A stream has FFmpeg objects only once the libraries are loaded.
    const PlatformFFmpeg* ff = PlatformFFmpegLoaded() ? PlatformGetFFmpeg() : nullptr;
    if (s->Format && ff)
        ff->avformat_close_input(&s->Format);
    if (s->Io && ff) {
        ff->av_freep(&s->Io->buffer);
        ff->avio_context_free(&s->Io);
    }
    if (s->File)
        std::fclose(s->File);
    delete s;
}

// Opens the demuxer over the stream's input and picks the stream.
PlatformAviResult Open(PlatformAviStream* s, int32_t index)
{
    const PlatformFFmpeg* ff = PlatformGetFFmpeg();
    if (!ff)
        return PLATFORM_AVI_BADFORMAT;
    FollowInitCount(ff);
    uint8_t* buffer = static_cast<uint8_t*>(ff->av_malloc(kIoBufferSize));
    if (!buffer)
        return PLATFORM_AVI_NOMEMORY;
    s->Io = ff->avio_alloc_context(buffer, kIoBufferSize, 0, s, ReadInput, nullptr, SeekInput);
    if (!s->Io) {
        ff->av_free(buffer);
        return PLATFORM_AVI_NOMEMORY;
    }
    s->Format = ff->avformat_alloc_context();
    if (!s->Format)
        return PLATFORM_AVI_NOMEMORY;
    s->Format->pb = s->Io;
    s->Format->flags |= AVFMT_FLAG_CUSTOM_IO;
    const AVInputFormat* avi = ff->av_find_input_format("avi");
    if (!avi)
        return PLATFORM_AVI_BADFORMAT;
    if (ff->avformat_open_input(&s->Format, nullptr, avi, nullptr) < 0) {
        s->Format = nullptr; // freed by the failed open
        return PLATFORM_AVI_BADFORMAT;
    }
    int seen = 0;
    for (unsigned i = 0; i < s->Format->nb_streams; ++i) {
        AVStream* st = s->Format->streams[i];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || seen++ != index) {
            st->discard = AVDISCARD_ALL;
            continue;
        }
        s->StreamIndex = int(i);
    }
    if (s->StreamIndex < 0)
        return PLATFORM_AVI_NOSTREAM;
    const AVStream* st = s->Format->streams[s->StreamIndex];
    s->Start = st->start_time != AV_NOPTS_VALUE ? Cap32(st->start_time) : 0;
    const int64_t length = st->duration > 0 ? st->duration : st->nb_frames;
    s->Length = length > 0 ? Cap32(length) : 0;
    s->TimeBaseNum = st->time_base.num;
    s->TimeBaseDen = st->time_base.den;
    return PLATFORM_AVI_OK;
}

PlatformAviResult OpenStream(PlatformAviStream* s, PlatformAviStream** out, int32_t index)
{
    const PlatformAviResult result = Open(s, index);
    if (result != PLATFORM_AVI_OK) {
        Close(s);
        return result;
    }
    *out = s;
    return PLATFORM_AVI_OK;
}

} // namespace

void PlatformAviFileInit()
{
    ++g_InitCount;
    if (PlatformFFmpegLoaded())
        FollowInitCount(PlatformGetFFmpeg());
}

void PlatformAviFileExit()
{
    if (g_InitCount > 0)
        --g_InitCount;
    if (PlatformFFmpegLoaded())
        FollowInitCount(PlatformGetFFmpeg());
}

PlatformAviResult PlatformAviStreamOpenFromFile(PlatformAviStream** stream, const char* name, uint32_t type,
                                                int32_t index)
{
    if (!stream)
        return PLATFORM_AVI_BADPARAM;
    *stream = nullptr;
    if (!name || type != PLATFORM_AVI_STREAMTYPE_VIDEO || index < 0)
        return PLATFORM_AVI_BADPARAM;
    PlatformAviStream* s = new (std::nothrow) PlatformAviStream;
    if (!s)
        return PLATFORM_AVI_NOMEMORY;
    s->File = PlatformOpenFile(name, "rb");
    if (!s->File) {
        Close(s);
        return PLATFORM_AVI_NOFILE;
    }
    return OpenStream(s, stream, index);
}

PlatformAviResult PlatformAviStreamOpenFromMemory(PlatformAviStream** stream, const void* data, size_t size,
                                                  uint32_t type, int32_t index)
{
    if (!stream)
        return PLATFORM_AVI_BADPARAM;
    *stream = nullptr;
    if (!data || type != PLATFORM_AVI_STREAMTYPE_VIDEO || index < 0)
        return PLATFORM_AVI_BADPARAM;
    PlatformAviStream* s = new (std::nothrow) PlatformAviStream;
    if (!s)
        return PLATFORM_AVI_NOMEMORY;
    s->Data = static_cast<const uint8_t*>(data);
    s->Size = size;
    return OpenStream(s, stream, index);
}

int32_t PlatformAviStreamStart(const PlatformAviStream* stream)
{
    return stream ? stream->Start : 0;
}

int32_t PlatformAviStreamLength(const PlatformAviStream* stream)
{
    return stream ? stream->Length : 0;
}

int32_t PlatformAviStreamSampleToTime(const PlatformAviStream* stream, int32_t sample)
{
    if (!stream || stream->TimeBaseNum <= 0 || stream->TimeBaseDen <= 0)
        return 0;
    // A stream exists only once the libraries are loaded.
    return Cap32(PlatformGetFFmpeg()->av_rescale(sample, stream->TimeBaseNum * 1000, stream->TimeBaseDen));
}

void PlatformAviStreamAddRef(PlatformAviStream* stream)
{
    if (stream)
        ++stream->References;
}

uint32_t PlatformAviStreamRelease(PlatformAviStream* stream)
{
    if (!stream)
        return 0;
    if (--stream->References > 0)
        return stream->References;
    Close(stream);
    return 0;
}
