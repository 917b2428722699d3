#pragma once

#include <string>
#include <vector>

#include "tools/testdata/RgbaImage.h"

// Test movies written with FFmpeg's own libraries (libavformat's AVI muxer
// and libavcodec's encoders), as another tool would make them.
enum class MovieKind
{
    Raw24, // uncompressed, 24 bits
    Raw32, // uncompressed, 32 bits
    Pal8,  // uncompressed, 8-bit palettised
    Mjpeg, // motion JPEG, full-resolution chroma
    Audio, // one audio stream and no video
};

struct MovieSpec
{
    MovieKind kind = MovieKind::Raw24;
    int width = 5;
    int height = 4;
    int frames = 17;
    int fps = 25;
    // FFmpeg writes uncompressed frames top-down; this rewrites them
    // bottom-up, as most writers do (Raw24 and Raw32 only).
    bool bottomUp = false;
};

// Frame k of the movie as it was encoded (opaque), top line first.
RgbaImage MovieFrame(const MovieSpec& spec, int frame);

// The movie's bytes; empty when FFmpeg could not write it.
std::vector<uint8_t> BuildMovie(const MovieSpec& spec);

// The decoded frame of a movie reader (bottom-up lines, as readers give
// them) turned top line first.
RgbaImage FlipFrame(const QxImageDesc& desc, const void* pixels);
