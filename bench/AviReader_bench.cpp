#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "bench/BenchCase.h"
#include "includes/CKByteOrder.h"
#include "readers/avi/AVIReader.h"

// Opening a 640 x 480 uncompressed 24-bit AVI of 300 frames and reading every
// frame with the AVI reader, against FFmpeg's own open and decode loop of the
// same file (av_read_frame, avcodec_send_packet, avcodec_receive_frame). The
// movie is written once by FFmpeg into the temporary folder, top-down as
// FFmpeg writes it, and once rewritten bottom-up as most writers store
// frames (which the reader can hand out in place). Bytes per second count
// frame bytes.
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFrames = 300;
constexpr int kPitch = kWidth * 3;

std::string TempPath(const char* name)
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp ? tmp : "/tmp") + "/avireader_bench_" + name;
}

bool WriteMovie(const std::string& path)
{
    AVFormatContext* oc = nullptr;
    if (avformat_alloc_output_context2(&oc, nullptr, "avi", path.c_str()) < 0)
        return false;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO);
    AVStream* st = avformat_new_stream(oc, nullptr);
    AVCodecContext* cc = avcodec_alloc_context3(codec);
    cc->width = kWidth;
    cc->height = kHeight;
    cc->pix_fmt = AV_PIX_FMT_BGR24;
    cc->time_base = {1, 25};
    st->time_base = cc->time_base;
    bool ok = avcodec_open2(cc, codec, nullptr) >= 0 && avcodec_parameters_from_context(st->codecpar, cc) >= 0 &&
              avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(oc, nullptr) >= 0;
    AVFrame* f = av_frame_alloc();
    AVPacket* p = av_packet_alloc();
    f->width = kWidth;
    f->height = kHeight;
    f->format = AV_PIX_FMT_BGR24;
    ok = ok && av_frame_get_buffer(f, 0) >= 0;
    for (int k = 0; ok && k < kFrames; ++k) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kPitch; ++x)
                f->data[0][y * f->linesize[0] + x] = uint8_t(x + y * 3 + k * 7);
        f->pts = k;
        ok = avcodec_send_frame(cc, f) >= 0;
        while (ok && avcodec_receive_packet(cc, p) == 0) {
            av_packet_rescale_ts(p, cc->time_base, st->time_base);
            ok = av_interleaved_write_frame(oc, p) >= 0;
        }
    }
    ok = ok && av_write_trailer(oc) >= 0;
    av_packet_free(&p);
    av_frame_free(&f);
    avcodec_free_context(&cc);
    avio_closep(&oc->pb);
    avformat_free_context(oc);
    return ok;
}

// Makes the bitmap header's height positive and reverses the lines of every
// frame chunk, in place in the file.
bool MakeBottomUp(const std::string& from, const std::string& to)
{
    FILE* in = std::fopen(from.c_str(), "rb");
    if (!in)
        return false;
    std::vector<uint8_t> b;
    uint8_t chunk[1 << 16];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
        b.insert(b.end(), chunk, chunk + n);
    std::fclose(in);
    std::vector<uint8_t> line(kPitch);
    for (size_t pos = 12; pos + 8 <= b.size();) {
        const size_t size = LoadLE32(&b[pos + 4]);
        const size_t data = pos + 8;
        if (std::memcmp(&b[pos], "LIST", 4) == 0) {
            pos = data + 4; // into the list
            continue;
        }
        if (std::memcmp(&b[pos], "strf", 4) == 0)
            StoreLE32(&b[data + 8], kHeight);
        if (std::memcmp(&b[pos], "00dc", 4) == 0 && size == size_t(kPitch) * kHeight && data + size <= b.size())
            for (int y = 0; y < kHeight / 2; ++y) {
                uint8_t* top = &b[data + size_t(y) * kPitch];
                uint8_t* bottom = &b[data + size_t(kHeight - 1 - y) * kPitch];
                std::memcpy(line.data(), top, kPitch);
                std::memcpy(top, bottom, kPitch);
                std::memcpy(bottom, line.data(), kPitch);
            }
        pos = data + size + (size & 1);
    }
    FILE* out = std::fopen(to.c_str(), "wb");
    const bool ok = out && std::fwrite(b.data(), 1, b.size(), out) == b.size();
    if (out)
        std::fclose(out);
    return ok;
}

void RemoveMovies()
{
    std::remove(TempPath("topdown.avi").c_str());
    std::remove(TempPath("bottomup.avi").c_str());
}

const std::string& Movie(bool bottomUp)
{
    static const std::string topDown = [] {
        std::atexit(RemoveMovies);
        const std::string path = TempPath("topdown.avi");
        return WriteMovie(path) ? path : std::string();
    }();
    static const std::string bottom = [] {
        const std::string path = TempPath("bottomup.avi");
        return !topDown.empty() && MakeBottomUp(topDown, path) ? path : std::string();
    }();
    return bottomUp ? bottom : topDown;
}

void AviReaderReadAll(benchmark::State& state, bool bottomUp)
{
    const std::string& path = Movie(bottomUp);
    for (auto _ : state) {
        AVIReader reader;
        if (path.empty() || reader.OpenFile(path.c_str()) != 0 || reader.GetMovieFrameCount() != kFrames) {
            state.SkipWithError("the movie did not open");
            break;
        }
        for (int k = 0; k < kFrames; ++k) {
            CKBitmapProperties* p = nullptr;
            if (reader.ReadFrame(k, &p) != 0) {
                state.SkipWithError("a frame did not read");
                break;
            }
            benchmark::DoNotOptimize(p->m_Data);
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * kPitch * kHeight);
}

void FFmpegDecodeLoop(benchmark::State& state, bool bottomUp)
{
    const std::string& path = Movie(bottomUp);
    av_log_set_level(AV_LOG_QUIET);
    for (auto _ : state) {
        AVFormatContext* ic = nullptr;
        if (path.empty() || avformat_open_input(&ic, path.c_str(), nullptr, nullptr) < 0) {
            state.SkipWithError("the movie did not open");
            break;
        }
        const AVCodecParameters* par = ic->streams[0]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        AVCodecContext* cc = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(cc, par);
        cc->thread_count = 1;
        avcodec_open2(cc, codec, nullptr);
        AVPacket* p = av_packet_alloc();
        AVFrame* f = av_frame_alloc();
        int frames = 0;
        while (av_read_frame(ic, p) >= 0) {
            avcodec_send_packet(cc, p);
            av_packet_unref(p);
            while (avcodec_receive_frame(cc, f) == 0) {
                benchmark::DoNotOptimize(f->data[0]);
                ++frames;
            }
        }
        av_frame_free(&f);
        av_packet_free(&p);
        avcodec_free_context(&cc);
        avformat_close_input(&ic);
        if (frames != kFrames) {
            state.SkipWithError("FFmpeg did not decode every frame");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFrames * kPitch * kHeight);
}

} // namespace

BENCHMARK_CAPTURE(AviReaderReadAll, topdown, false)->Name("AviReadAll/ours/topdown")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FFmpegDecodeLoop, topdown, false)->Name("AviReadAll/ffmpeg/topdown")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AviReaderReadAll, bottomup, true)->Name("AviReadAll/ours/bottomup")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FFmpegDecodeLoop, bottomup, true)->Name("AviReadAll/ffmpeg/bottomup")->Unit(benchmark::kMillisecond);
BENCH_CASE_DOES("AviReadAll", "ours: AviReader::OpenFile and ReadFrame of each of the 300 frames of a 640x480 "
                              "24-bit uncompressed AVI; ffmpeg: avformat_open_input and the av_read_frame, "
                              "avcodec_send_packet, avcodec_receive_frame loop on one thread");
