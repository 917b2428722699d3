#pragma once

#include <cstddef>

#include "includes/CKTypes.h"
#include "render/objects/pointcloud/CloudScan.h"
#include "system/math/QxVector.h"

// ASCII point files: one point a line, numbers apart by blanks. The count of
// numbers on the first line picks the line format of the whole file:
// position (always), colour as red, green, blue integers, normal as three
// floats, intensity as an integer. Positions and normals are written x, z,
// y: the second number is the engine's z.

enum : int
{
    CLOUD_ASCII_XYZ = 0,
    CLOUD_ASCII_XYZI = 1,
    CLOUD_ASCII_XYZN = 2,
    CLOUD_ASCII_XYZNI = 3,
    CLOUD_ASCII_XYZC = 4,
    CLOUD_ASCII_XYZCI = 5,
    CLOUD_ASCII_XYZCN = 6,
    CLOUD_ASCII_XYZCNI = 7,
    CLOUD_ASCII_REFUSED = 8,
};

// Files shorter than this are refused, and the first line must end within
// one more byte.
constexpr size_t CLOUD_ASCII_MINSIZE = 256;

struct CloudAsciiFormat
{
    const char* Pattern;
    int ValueCount;
    bool Colors;
    bool Normals;
    bool Intensity;
};

// The layout of a format 0 to 7.
const CloudAsciiFormat& CloudAsciiFormatOf(int format);

// The format of a file's bytes: the first line read with ten %f
// conversions; 6 or 7 numbers whose 4th to 6th sum above 2 are colours,
// else normals (also for a sum that is not a number). CLOUD_ASCII_REFUSED
// for a file under 256 bytes, a first line with no line feed within its
// first 257 bytes, or another count of numbers.
int CloudDetectAsciiFormat(const char* data, size_t size);

// One point line, in engine order.
struct CloudAsciiPoint
{
    QxVector Position;
    CKDWORD Color = 0xFFFFFFFF; // ARGB, channels outside 0..255 clamped
    QxVector Normal;
    CKDWORD Intensity = 0; // the low 8 bits of the number
};

// Reads the point line that starts at cursor (blank lines are skipped) and
// moves cursor to the next line. Returns 1 for a point, 0 for a line that
// does not give the format's count of numbers (reading stops there), -1 at
// the end of the text.
int CloudReadAsciiPoint(const char*& cursor, const char* end, int format, CloudAsciiPoint& point);

// The ".desc" header of a point file: eight lines, each read with its
// pattern ("Version %d", "Points %d", "Format %d", "Precision (%g,%g,%g)",
// "BoxMin (%f,%f,%f)", "BoxMax (%f,%f,%f)", "Translate (%f,%f,%f)",
// "Rescale %f"), vectors written x, z, y.
struct CloudDescHeader
{
    int Version = 0;
    int Points = 0;
    int Format = 0;
    QxVector Precision;
    QxVector BoxMin;
    QxVector BoxMax;
    QxVector Translate;
    float Rescale = 1.0f;
};

// false when a line is missing or does not read, or when a value cannot be
// used: a negative point count, a rescale of 0 or not finite, a vector
// that is not finite.
bool CloudReadDescHeader(const char* data, size_t size, CloudDescHeader& header);
