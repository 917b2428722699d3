#include "platform/PlatformAviGetFrame.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "platform/PlatformAviStreamData.h"
#include "platform/PlatformFFmpeg.h"

// Sequential reading decodes the next frame; a jump forward of at most this
// many frames decodes through them, a longer one or a step back seeks.
constexpr int64_t kDecodeForwardLimit = 32;

struct PlatformAviGetFrame
{
    const PlatformFFmpeg* FF = nullptr;
    PlatformAviStream* Stream = nullptr;
    AVCodecContext* Codec = nullptr;
    AVPacket* Packet = nullptr;
    AVFrame* Decoded = nullptr;
    SwsContext* Scaler = nullptr;
    bool Flushed = false;                   // the end of the stream was sent to the decoder
    bool HaveFrame = false;                 // Decoded holds the frame at FramePosition
    int64_t FramePosition = 0;              // position of the frame in Decoded
    int64_t NextPosition = 0;               // position of a frame that comes without one
    AVPixelFormat Output = AV_PIX_FMT_NONE; // fixed by the first frame
    int Width = 0;
    int Height = 0;
    uint32_t Pitch = 0;
    std::unique_ptr<uint8_t[]> Pixels; // bottom-up lines, when not given in place
    PlatformAviFrame Frame;
};

namespace {

// What a decoded format is given as.
AVPixelFormat OutputFormat(const PlatformFFmpeg* ff, AVPixelFormat decoded)
{
    if (decoded == AV_PIX_FMT_RGB555LE)
        return AV_PIX_FMT_RGB555LE;
    const AVPixFmtDescriptor* d = ff->av_pix_fmt_desc_get(decoded);
    if (!d || (d->flags & AV_PIX_FMT_FLAG_PAL))
        return AV_PIX_FMT_BGR24; // the description has no colour map
    const bool rgb32 = (d->flags & AV_PIX_FMT_FLAG_RGB) && ff->av_get_bits_per_pixel(d) == 32;
    if ((d->flags & AV_PIX_FMT_FLAG_ALPHA) || rgb32)
        return AV_PIX_FMT_BGRA;
    return AV_PIX_FMT_BGR24;
}

int BitsOf(AVPixelFormat output)
{
    return output == AV_PIX_FMT_RGB555LE ? 16 : output == AV_PIX_FMT_BGRA ? 32 : 24;
}

// The 32-bit layout without alpha reads as the one with it.
bool SameLayout(AVPixelFormat decoded, AVPixelFormat output)
{
    return decoded == output || (decoded == AV_PIX_FMT_BGR0 && output == AV_PIX_FMT_BGRA);
}

void Free(PlatformAviGetFrame* g)
{
    g->FF->sws_freeContext(g->Scaler);
    g->FF->av_frame_free(&g->Decoded);
    g->FF->av_packet_free(&g->Packet);
    g->FF->avcodec_free_context(&g->Codec);
    PlatformAviStreamRelease(g->Stream);
    delete g;
}

// The next frame of the decoder into Decoded; false at the end of the
// stream or on a failure that ends it.
bool DecodeNext(PlatformAviGetFrame* g)
{
    g->HaveFrame = false;
    AVFormatContext* format = g->Stream->Format;
    for (;;) {
        const int received = g->FF->avcodec_receive_frame(g->Codec, g->Decoded);
        if (received == 0 && (g->Decoded->flags & AV_FRAME_FLAG_CORRUPT))
            continue;
        if (received == 0) {
            const int64_t pts = g->Decoded->best_effort_timestamp;
            g->FramePosition = pts != AV_NOPTS_VALUE ? pts : g->NextPosition;
            g->NextPosition = g->FramePosition + 1;
            g->HaveFrame = true;
            return true;
        }
        if (received != AVERROR(EAGAIN) || g->Flushed)
            return false;
        // Feed the next packet of the stream; every packet read is used up,
        // so a file full of bad packets still comes to an end.
        const int read = g->FF->av_read_frame(format, g->Packet);
        if (read < 0) {
            g->Flushed = true;
            g->FF->avcodec_send_packet(g->Codec, nullptr);
            continue;
        }
        // A packet cut short by the end of the file is left out, so a
        // truncated movie never shows a partly decoded frame.
        if (g->Packet->stream_index == g->Stream->StreamIndex && !(g->Packet->flags & AV_PKT_FLAG_CORRUPT))
            g->FF->avcodec_send_packet(g->Codec, g->Packet);
        g->FF->av_packet_unref(g->Packet);
    }
}

bool Seek(PlatformAviGetFrame* g, int64_t position)
{
    PlatformAviStream* s = g->Stream;
    if (g->FF->av_seek_frame(s->Format, s->StreamIndex, position, AVSEEK_FLAG_BACKWARD) < 0 &&
        g->FF->av_seek_frame(s->Format, s->StreamIndex, s->Start, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) < 0)
        return false;
    g->FF->avcodec_flush_buffers(g->Codec);
    g->Flushed = false;
    g->HaveFrame = false;
    g->NextPosition = position;
    return true;
}

// Fixes the size and depth of the frames from the first one.
bool FixLayout(PlatformAviGetFrame* g, const AVFrame* f)
{
    if (f->width < 1 || f->height < 1 || f->width > PLATFORM_AVI_MAX_SIDE || f->height > PLATFORM_AVI_MAX_SIDE ||
        int64_t(f->width) * f->height > PLATFORM_AVI_MAX_PIXELS)
        return false;
    g->Output = OutputFormat(g->FF, AVPixelFormat(f->format));
    g->Width = f->width;
    g->Height = f->height;
    g->Pitch = (uint32_t(g->Width) * uint32_t(BitsOf(g->Output)) / 8 + 3) & ~3u;
    PlatformBitmapInfoHeader& h = g->Frame.Header;
    h = PlatformBitmapInfoHeader();
    h.Width = g->Width;
    h.Height = g->Height;
    h.BitCount = uint16_t(BitsOf(g->Output));
    h.SizeImage = g->Pitch * uint32_t(g->Height);
    return true;
}

// Makes the decoded frame bottom-up in the output layout: in place when the
// decoder already gives it so, else into the decompressor's own lines.
bool Deliver(PlatformAviGetFrame* g)
{
    const AVFrame* f = g->Decoded;
    if (g->Output == AV_PIX_FMT_NONE && !FixLayout(g, f))
        return false;
    if (f->width != g->Width || f->height != g->Height || !f->data[0])
        return false;
    const ptrdiff_t pitch = ptrdiff_t(g->Pitch);
    const AVPixelFormat decoded = AVPixelFormat(f->format);
    if (SameLayout(decoded, g->Output) && f->linesize[0] == -pitch) {
        g->Frame.Bits = f->data[0] + (g->Height - 1) * ptrdiff_t(f->linesize[0]);
        return true;
    }
    if (!g->Pixels) {
        // Zeroed once, so that the padding of every line stays 0.
        g->Pixels.reset(new (std::nothrow) uint8_t[g->Frame.Header.SizeImage]());
        if (!g->Pixels)
            return false;
    }
    uint8_t* bottom = g->Pixels.get() + (g->Height - 1) * pitch;
    if (SameLayout(decoded, g->Output)) {
        const size_t bytes = size_t(g->Width) * size_t(BitsOf(g->Output) / 8);
        for (int y = 0; y < g->Height; ++y)
            std::memcpy(bottom - y * pitch, f->data[0] + y * ptrdiff_t(f->linesize[0]), bytes);
    } else {
        g->Scaler = g->FF->sws_getCachedContext(g->Scaler, g->Width, g->Height, decoded, g->Width, g->Height, g->Output,
                                                SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr,
                                                nullptr);
        if (!g->Scaler)
            return false;
        uint8_t* lines[4] = {bottom, nullptr, nullptr, nullptr};
        const int strides[4] = {-int(g->Pitch), 0, 0, 0};
        if (g->FF->sws_scale(g->Scaler, f->data, f->linesize, 0, g->Height, lines, strides) != g->Height)
            return false;
    }
    g->Frame.Bits = g->Pixels.get();
    return true;
}

} // namespace

PlatformAviGetFrame* PlatformAviStreamGetFrameOpen(PlatformAviStream* stream, PlatformAviFrameRequest request)
{
    (void) request; // every frame is given in the layouts above
    if (!stream || !stream->Format || stream->StreamIndex < 0)
        return nullptr;
    const AVCodecParameters* par = stream->Format->streams[stream->StreamIndex]->codecpar;
    // An open stream has the libraries loaded.
    const PlatformFFmpeg* ff = PlatformGetFFmpeg();
    if (!ff)
        return nullptr;
    const AVCodec* codec = ff->avcodec_find_decoder(par->codec_id);
    if (!codec)
        return nullptr;
    PlatformAviGetFrame* g = new (std::nothrow) PlatformAviGetFrame;
    if (!g)
        return nullptr;
    g->FF = ff;
    g->Stream = stream;
    PlatformAviStreamAddRef(stream);
    g->Codec = g->FF->avcodec_alloc_context3(codec);
    g->Packet = g->FF->av_packet_alloc();
    g->Decoded = g->FF->av_frame_alloc();
    if (!g->Codec || !g->Packet || !g->Decoded || g->FF->avcodec_parameters_to_context(g->Codec, par) < 0) {
        Free(g);
        return nullptr;
    }
    // One thread, as every caller of the service runs on one; frames past
    // the size limit are refused by the decoder before it allocates them.
    g->Codec->thread_count = 1;
    g->Codec->max_pixels = PLATFORM_AVI_MAX_PIXELS;
    if (g->FF->avcodec_open2(g->Codec, codec, nullptr) < 0) {
        Free(g);
        return nullptr;
    }
    g->NextPosition = stream->Start;
    return g;
}

const PlatformAviFrame* PlatformAviStreamGetFrame(PlatformAviGetFrame* g, int32_t position)
{
    if (!g)
        return nullptr;
    const PlatformAviStream* s = g->Stream;
    if (position < s->Start || int64_t(position) >= int64_t(s->Start) + s->Length)
        return nullptr;
    if (g->HaveFrame && g->FramePosition == position && g->Frame.Bits)
        return &g->Frame;
    const bool ahead =
        g->HaveFrame && position > g->FramePosition && position - g->FramePosition <= kDecodeForwardLimit;
    const bool fresh = !g->HaveFrame && g->NextPosition == position && !g->Flushed;
    if (!ahead && !fresh && !Seek(g, position))
        return nullptr;
    g->Frame.Bits = nullptr;
    do {
        if (!DecodeNext(g))
            return nullptr;
    } while (g->FramePosition < position);
    // A frame the file leaves out (a dropped frame) shows the next one.
    if (!Deliver(g))
        return nullptr;
    return &g->Frame;
}

void PlatformAviStreamGetFrameClose(PlatformAviGetFrame* g)
{
    if (g)
        Free(g);
}
