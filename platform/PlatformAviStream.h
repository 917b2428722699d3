#pragma once

#include <cstddef>
#include <cstdint>

// Stand-in for the platform's movie-file service (AVIFile), over FFmpeg's
// libavformat: the streams of an AVI file, by type and number. Only video
// streams are offered. Files are read through the service's own input
// callbacks, never by a name handed to FFmpeg, and only the AVI demuxer is
// used. Single-threaded, as the service's callers are.

struct PlatformAviStream;

// Stream type of video streams ("vids").
constexpr uint32_t PLATFORM_AVI_STREAMTYPE_VIDEO = 0x73646976;

enum PlatformAviResult : int32_t
{
    PLATFORM_AVI_OK = 0,
    PLATFORM_AVI_BADPARAM = -1,  // a null argument, or a type other than video
    PLATFORM_AVI_NOFILE = -2,    // the file cannot be opened
    PLATFORM_AVI_BADFORMAT = -3, // not an AVI file that can be read
    PLATFORM_AVI_NOSTREAM = -4,  // no stream of that type and number
    PLATFORM_AVI_NOMEMORY = -5,
};

// The library's set-up and its end, counted: the first set-up silences
// FFmpeg's own messages (a movie's faults are reported by its reader), the
// last end gives them back.
void PlatformAviFileInit();
void PlatformAviFileExit();

// Opens stream number `index` (from 0) among the streams of `type` of a file
// or of size bytes of memory (which must outlive the stream). *stream is
// the new stream (one reference) or null.
PlatformAviResult PlatformAviStreamOpenFromFile(PlatformAviStream** stream, const char* name, uint32_t type,
                                                int32_t index);
PlatformAviResult PlatformAviStreamOpenFromMemory(PlatformAviStream** stream, const void* data, size_t size,
                                                  uint32_t type, int32_t index);

// The first sample number of the stream; 0 for null.
int32_t PlatformAviStreamStart(const PlatformAviStream* stream);
// The number of samples (frames) the file announces, capped to 32 bits; 0
// for null.
int32_t PlatformAviStreamLength(const PlatformAviStream* stream);
// The time of a sample from the file's start in milliseconds, by the
// stream's time base in 64-bit arithmetic rounded to nearest and capped to
// 32 bits; 0 for null or a time base that is not positive.
int32_t PlatformAviStreamSampleToTime(const PlatformAviStream* stream, int32_t sample);

// Drops one reference; the last one closes the stream. Returns the
// references left (0 for null).
uint32_t PlatformAviStreamRelease(PlatformAviStream* stream);
