#include "tools/testdata/MovieBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include "includes/CKByteOrder.h"

namespace {

uint32_t Palette(int i)
{
    return 0xFF000000u | uint32_t(i) << 16 | uint32_t((i * 7) & 0xFF) << 8 | uint32_t(255 - i);
}

uint32_t Pixel(const MovieSpec& s, int k, int x, int y)
{
    switch (s.kind) {
    case MovieKind::Pal8: return Palette((x + 3 * y + 5 * k) & 0xFF);
    case MovieKind::Mjpeg: // smooth, so that JPEG keeps it closely
        return 0xFF000000u | uint32_t(40 + 2 * x + 3 * k) << 16 | uint32_t(60 + 3 * y) << 8 | uint32_t(200 - x - y);
    default:
        return 0xFF000000u | uint32_t((x * 37 + k) & 0xFF) << 16 | uint32_t((y * 53 + k * 11) & 0xFF) << 8 |
               uint32_t((x ^ y) * 5 & 0xFF);
    }
}

void Fill(const MovieSpec& s, int k, AVFrame* f)
{
    for (int y = 0; y < s.height; ++y) {
        uint8_t* line = f->data[0] + y * f->linesize[0];
        for (int x = 0; x < s.width; ++x) {
            const uint32_t p = Pixel(s, k, x, y);
            const uint8_t r = uint8_t(p >> 16), g = uint8_t(p >> 8), b = uint8_t(p);
            switch (s.kind) {
            case MovieKind::Pal8: line[x] = uint8_t((x + 3 * y + 5 * k) & 0xFF); break;
            case MovieKind::Raw24: line[3 * x] = b, line[3 * x + 1] = g, line[3 * x + 2] = r; break;
            case MovieKind::Raw32: StoreLE32(line + 4 * x, p); break;
            default: // full-range BT.601, as JPEG defines it
                f->data[0][y * f->linesize[0] + x] = uint8_t(std::lround(0.299 * r + 0.587 * g + 0.114 * b));
                f->data[1][y * f->linesize[1] + x] = uint8_t(std::lround(128 - 0.168736 * r - 0.331264 * g + 0.5 * b));
                f->data[2][y * f->linesize[2] + x] = uint8_t(std::lround(128 + 0.5 * r - 0.418688 * g - 0.081312 * b));
            }
        }
    }
    if (s.kind == MovieKind::Pal8)
        for (int i = 0; i < 256; ++i)
            reinterpret_cast<uint32_t*>(f->data[1])[i] = Palette(i);
}

// Rewrites the frames of an uncompressed movie bottom-up and makes the
// height of its bitmap header positive.
void MakeBottomUp(std::vector<uint8_t>& b, int pitch, int height)
{
    auto walk = [&](auto& self, size_t pos, size_t end) -> void {
        while (pos + 8 <= end) {
            const size_t size = LoadLE32(&b[pos + 4]);
            const size_t data = pos + 8;
            if (size > end - data)
                return;
            if (std::memcmp(&b[pos], "LIST", 4) == 0)
                self(self, data + 4, data + size);
            else if (std::memcmp(&b[pos], "strf", 4) == 0)
                StoreLE32(&b[data + 8], uint32_t(height));
            else if ((std::memcmp(&b[pos + 2], "dc", 2) == 0 || std::memcmp(&b[pos + 2], "db", 2) == 0) &&
                     size == size_t(pitch) * height)
                for (int y = 0; y < height / 2; ++y)
                    std::swap_ranges(&b[data + y * pitch], &b[data + (y + 1) * pitch],
                                     &b[data + (height - 1 - y) * pitch]);
            pos = data + size + (size & 1);
        }
    };
    walk(walk, 12, b.size());
}

bool Encode(const MovieSpec& s, AVFormatContext* oc, AVStream* st, AVCodecContext* cc)
{
    AVFrame* f = av_frame_alloc();
    AVPacket* p = av_packet_alloc();
    bool ok = f && p;
    if (ok) {
        f->width = cc->width;
        f->height = cc->height;
        f->format = cc->pix_fmt;
        ok = av_frame_get_buffer(f, 0) >= 0;
    }
    for (int k = 0; ok && k <= s.frames; ++k) {
        if (k < s.frames) {
            ok = av_frame_make_writable(f) >= 0;
            Fill(s, k, f);
            f->pts = k;
        }
        ok = ok && avcodec_send_frame(cc, k < s.frames ? f : nullptr) >= 0;
        while (ok && avcodec_receive_packet(cc, p) == 0) {
            av_packet_rescale_ts(p, cc->time_base, st->time_base);
            p->stream_index = st->index;
            ok = av_interleaved_write_frame(oc, p) >= 0;
        }
    }
    av_packet_free(&p);
    av_frame_free(&f);
    return ok;
}

bool Write(const MovieSpec& s, const char* path)
{
    AVFormatContext* oc = nullptr;
    if (avformat_alloc_output_context2(&oc, nullptr, "avi", path) < 0)
        return false;
    const bool audio = s.kind == MovieKind::Audio;
    const AVCodecID id = audio                        ? AV_CODEC_ID_PCM_S16LE
                         : s.kind == MovieKind::Mjpeg ? AV_CODEC_ID_MJPEG
                                                      : AV_CODEC_ID_RAWVIDEO;
    const AVCodec* codec = avcodec_find_encoder(id);
    AVStream* st = avformat_new_stream(oc, nullptr);
    AVCodecContext* cc = codec ? avcodec_alloc_context3(codec) : nullptr;
    bool ok = st && cc;
    if (ok && audio) {
        cc->sample_rate = 8000;
        cc->sample_fmt = AV_SAMPLE_FMT_S16;
        av_channel_layout_default(&cc->ch_layout, 1);
        cc->time_base = {1, 8000};
    } else if (ok) {
        const AVPixelFormat formats[] = {AV_PIX_FMT_BGR24, AV_PIX_FMT_BGRA, AV_PIX_FMT_PAL8, AV_PIX_FMT_YUVJ444P};
        cc->width = s.width;
        cc->height = s.height;
        cc->pix_fmt = formats[int(s.kind)];
        cc->time_base = {1, s.fps};
        cc->flags |= AV_CODEC_FLAG_QSCALE;
        cc->global_quality = FF_QP2LAMBDA * 2;
        st->time_base = cc->time_base;
    }
    ok = ok && avcodec_open2(cc, codec, nullptr) >= 0 && avcodec_parameters_from_context(st->codecpar, cc) >= 0;
    ok = ok && avio_open(&oc->pb, path, AVIO_FLAG_WRITE) >= 0;
    ok = ok && avformat_write_header(oc, nullptr) >= 0;
    if (ok && audio) {
        std::vector<uint8_t> silence(1600, 0);
        AVPacket* p = av_packet_alloc();
        p->data = silence.data();
        p->size = int(silence.size());
        p->stream_index = 0;
        ok = av_interleaved_write_frame(oc, p) >= 0;
        av_packet_free(&p);
    } else if (ok) {
        ok = Encode(s, oc, st, cc);
    }
    ok = ok && av_write_trailer(oc) >= 0;
    avcodec_free_context(&cc);
    if (oc->pb)
        avio_closep(&oc->pb);
    avformat_free_context(oc);
    return ok;
}

} // namespace

RgbaImage MovieFrame(const MovieSpec& spec, int frame)
{
    RgbaImage image;
    image.width = spec.width;
    image.height = spec.height;
    for (int y = 0; y < spec.height; ++y)
        for (int x = 0; x < spec.width; ++x)
            image.pixels.push_back(Pixel(spec, frame, x, y));
    return image;
}

std::vector<uint8_t> BuildMovie(const MovieSpec& spec)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp ? tmp : "/tmp") + "/movie_XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0)
        return {};
    close(fd);
    std::vector<uint8_t> bytes;
    if (Write(spec, path.c_str()))
        bytes = LoadFileBytes(path);
    std::remove(path.c_str());
    if (spec.bottomUp && !bytes.empty()) {
        const int bytesPerPixel = spec.kind == MovieKind::Raw32 ? 4 : 3;
        MakeBottomUp(bytes, (spec.width * bytesPerPixel + 3) & ~3, spec.height);
    }
    return bytes;
}

RgbaImage FlipFrame(const QxImageDesc& desc, const void* pixels)
{
    QxImageDesc top = desc;
    top.Image = const_cast<CKBYTE*>(static_cast<const CKBYTE*>(pixels)) + (desc.Height - 1) * desc.BytesPerLine;
    top.BytesPerLine = -desc.BytesPerLine;
    return ToRgba(top, top.Image);
}
