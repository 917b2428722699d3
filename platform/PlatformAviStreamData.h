#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/PlatformAviStream.h"

struct AVFormatContext;
struct AVIOContext;

// What an open stream holds; shared by the stream and its frame decoder
// only.
struct PlatformAviStream
{
    uint32_t References = 1;
    AVFormatContext* Format = nullptr;
    AVIOContext* Io = nullptr;
    int StreamIndex = -1; // in Format

    // The bytes read: a file, or memory the caller keeps.
    FILE* File = nullptr;
    const uint8_t* Data = nullptr;
    size_t Size = 0;
    int64_t Position = 0; // in Data

    int32_t Start = 0;
    int32_t Length = 0;
    int64_t TimeBaseNum = 0;
    int64_t TimeBaseDen = 0;
};

// Adds a reference (a frame decoder holds one on its stream).
void PlatformAviStreamAddRef(PlatformAviStream* stream);
