#include "render/objects/pointcloud/CloudAsciiFile.h"

#include <cmath>

namespace {

constexpr CloudAsciiFormat kFormats[8] = {
    {"%f %f %f", 3, false, false, false},
    {"%f %f %f %i", 4, false, false, true},
    {"%f %f %f %f %f %f", 6, false, true, false},
    {"%f %f %f %f %f %f %d", 7, false, true, true},
    {"%f %f %f %d %d %d", 6, true, false, false},
    {"%f %f %f %d %d %d %d", 7, true, false, true},
    {"%f %f %f %d %d %d %f %f %f", 9, true, true, false},
    {"%f %f %f %d %d %d %f %f %f %d", 10, true, true, true},
};

CKDWORD Channel(int v)
{
    return v < 0 ? 0 : v > 255 ? 255 : (CKDWORD) v;
}

bool Finite(const QxVector& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// x, z, y in the text.
QxVector Swizzled(const CloudScanValue* v)
{
    return QxVector(v[0].f, v[2].f, v[1].f);
}

// One header line: false when it does not give all its values.
bool HeaderLine(const char*& cursor, const char* end, const char* format, CloudScanValue* values, int count)
{
    return CloudScan(cursor, end, format, values, count) == count;
}

} // namespace

const CloudAsciiFormat& CloudAsciiFormatOf(int format)
{
    return kFormats[format >= 0 && format < 8 ? format : 0];
}

int CloudDetectAsciiFormat(const char* data, size_t size)
{
    if (!data || size < CLOUD_ASCII_MINSIZE)
        return CLOUD_ASCII_REFUSED;
    const char* end = data + (size < CLOUD_ASCII_MINSIZE + 1 ? size : CLOUD_ASCII_MINSIZE + 1);
    const char* lineEnd = CloudLineEnd(data, end);
    if (lineEnd == end)
        return CLOUD_ASCII_REFUSED;
    CloudScanValue v[10];
    const char* cursor = data;
    const int n = CloudScan(cursor, lineEnd, "%f %f %f %f %f %f %f %f %f %f", v, 10);
    const auto normalsFirst = [&] {
        const float sum = v[3].f + v[4].f + v[5].f;
        return !(sum > 2.0f);
    };
    switch (n) {
    case 3: return CLOUD_ASCII_XYZ;
    case 4: return CLOUD_ASCII_XYZI;
    case 6: return normalsFirst() ? CLOUD_ASCII_XYZN : CLOUD_ASCII_XYZC;
    case 7: return normalsFirst() ? CLOUD_ASCII_XYZNI : CLOUD_ASCII_XYZCI;
    case 9: return CLOUD_ASCII_XYZCN;
    case 10: return CLOUD_ASCII_XYZCNI;
    default: return CLOUD_ASCII_REFUSED;
    }
}

int CloudReadAsciiPoint(const char*& cursor, const char* end, int format, CloudAsciiPoint& point)
{
    const CloudAsciiFormat& f = CloudAsciiFormatOf(format);
    for (;;) {
        if (cursor >= end)
            return -1;
        const char* line = cursor;
        const char* lineEnd = CloudLineEnd(line, end);
        cursor = lineEnd < end ? lineEnd + 1 : end;
        if (CloudIsBlank(line, lineEnd))
            continue;
        CloudScanValue v[10];
        if (CloudScan(line, lineEnd, f.Pattern, v, 10) != f.ValueCount)
            return 0;
        point.Position = Swizzled(v);
        int next = 3;
        point.Color = 0xFFFFFFFF;
        if (f.Colors) {
            point.Color = 0xFF000000 | (Channel(v[3].i) << 16) | (Channel(v[4].i) << 8) | Channel(v[5].i);
            next = 6;
        }
        point.Normal = QxVector();
        if (f.Normals) {
            point.Normal = Swizzled(v + next);
            next += 3;
        }
        point.Intensity = f.Intensity ? (CKDWORD) v[next].i & 0xFF : 0;
        return 1;
    }
}

bool CloudReadDescHeader(const char* data, size_t size, CloudDescHeader& header)
{
    if (!data)
        return false;
    const char* cursor = data;
    const char* end = data + size;
    CloudScanValue v[3];
    if (!HeaderLine(cursor, end, "Version %d\n", v, 1))
        return false;
    header.Version = v[0].i;
    if (!HeaderLine(cursor, end, "Points %d\n", v, 1))
        return false;
    header.Points = v[0].i;
    if (!HeaderLine(cursor, end, "Format %d\n", v, 1))
        return false;
    header.Format = v[0].i;
    if (!HeaderLine(cursor, end, "Precision (%g,%g,%g)\n", v, 3))
        return false;
    header.Precision = Swizzled(v);
    if (!HeaderLine(cursor, end, "BoxMin (%f,%f,%f)\n", v, 3))
        return false;
    header.BoxMin = Swizzled(v);
    if (!HeaderLine(cursor, end, "BoxMax (%f,%f,%f)\n", v, 3))
        return false;
    header.BoxMax = Swizzled(v);
    if (!HeaderLine(cursor, end, "Translate (%f,%f,%f)\n", v, 3))
        return false;
    header.Translate = Swizzled(v);
    if (!HeaderLine(cursor, end, "Rescale %f\n", v, 1))
        return false;
    header.Rescale = v[0].f;
    return header.Points >= 0 && std::isfinite(header.Rescale) && header.Rescale != 0.0f && Finite(header.Precision) &&
           Finite(header.BoxMin) && Finite(header.BoxMax) && Finite(header.Translate);
}
