#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

// The FFmpeg functions the movie service calls, resolved from FFmpeg's
// shared libraries on the first movie opened. A process that opens no movie
// never maps them: they and the hundred-odd libraries they pull in took
// about two thirds of the start-up of a short export.
#define PLATFORM_FFMPEG_FUNCTIONS(X)                                                                                   \
    X(avformat_open_input)                                                                                             \
    X(avformat_close_input)                                                                                            \
    X(avformat_alloc_context)                                                                                          \
    X(av_find_input_format)                                                                                            \
    X(av_read_frame)                                                                                                   \
    X(av_seek_frame)                                                                                                   \
    X(avio_alloc_context)                                                                                              \
    X(avio_context_free)                                                                                               \
    X(avcodec_send_packet)                                                                                             \
    X(avcodec_receive_frame)                                                                                           \
    X(avcodec_parameters_to_context)                                                                                   \
    X(avcodec_open2)                                                                                                   \
    X(avcodec_free_context)                                                                                            \
    X(avcodec_flush_buffers)                                                                                           \
    X(avcodec_find_decoder)                                                                                            \
    X(avcodec_alloc_context3)                                                                                          \
    X(av_packet_unref)                                                                                                 \
    X(av_packet_free)                                                                                                  \
    X(av_packet_alloc)                                                                                                 \
    X(av_log_set_level)                                                                                                \
    X(av_log_get_level)                                                                                                \
    X(av_rescale)                                                                                                      \
    X(av_pix_fmt_desc_get)                                                                                             \
    X(av_malloc)                                                                                                       \
    X(av_get_bits_per_pixel)                                                                                           \
    X(av_freep)                                                                                                        \
    X(av_free)                                                                                                         \
    X(av_frame_free)                                                                                                   \
    X(av_frame_alloc)                                                                                                  \
    X(sws_scale)                                                                                                       \
    X(sws_getCachedContext)                                                                                            \
    X(sws_freeContext)

struct PlatformFFmpeg
{
#define PLATFORM_FFMPEG_MEMBER(name) decltype(&::name) name = nullptr;
    PLATFORM_FFMPEG_FUNCTIONS(PLATFORM_FFMPEG_MEMBER)
#undef PLATFORM_FFMPEG_MEMBER
};

// The functions, loaded once per process (the libraries stay mapped until it
// ends); null when a library or a function is missing, and then on every
// later call too.
const PlatformFFmpeg* PlatformGetFFmpeg();
// Whether the libraries are mapped already (without loading them).
bool PlatformFFmpegLoaded();
