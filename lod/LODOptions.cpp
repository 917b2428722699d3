#include "lod/LODOptions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "system/text/XCLocale.h"

namespace {

// The percentages are read back with the single-precision 0.01 widened to
// double, as stored records have always been.
constexpr double kFromPercent = (double) 0.01f;

} // namespace

float& LODOptionsFraction(LODOptions& options, int i)
{
    float* fields[6] = {&options.ScreenMag, &options.ScreenMin,      &options.FaceMag,
                        &options.FaceMin,   &options.ScreenAlphaMag, &options.ScreenAlphaMin};
    return *fields[i];
}

int LODOptionsToText(const LODOptions& options, char* text, int size)
{
    const char* words[4];
    const char** word = words;
    for (CKDWORD bit : kLODFlagOrder)
        *word++ = (options.Flags & bit) ? "TRUE" : "FALSE";
    // Four words of at most 6 characters and six %g of at most 13 always fit.
    char buffer[kLODOptionsTextSize];
    int n;
    {
        XCLocaleScope c;
        n = std::snprintf(buffer, sizeof buffer, "%s:%s:%s:%s:%g:%g:%g:%g:%g:%g", words[0], words[1], words[2],
                          words[3], (double) options.ScreenMag * 100.0, (double) options.ScreenMin * 100.0,
                          (double) options.FaceMag * 100.0, (double) options.FaceMin * 100.0,
                          (double) options.ScreenAlphaMag * 100.0, (double) options.ScreenAlphaMin * 100.0);
    }
    n = std::clamp(n, 0, kLODOptionsTextSize - 1);
    if (text && size > 0) {
        int copied = std::min(n, size - 1);
        std::memcpy(text, buffer, (size_t) copied);
        text[copied] = 0;
    }
    return n + 1;
}

bool LODOptionsFromText(const char* text, LODOptions& options)
{
    if (!text)
        return false;
    LODOptions read;
    for (CKDWORD bit : kLODFlagOrder) {
        if (std::strncmp(text, "TRUE:", 5) == 0) {
            read.Flags |= bit;
            text += 5;
        } else if (std::strncmp(text, "FALSE:", 6) == 0) {
            text += 6;
        } else {
            return false;
        }
    }
    float v[6];
    int n;
    {
        XCLocaleScope c;
        n = std::sscanf(text, "%g:%g:%g:%g:%g:%g", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
    }
    // Only the numbers read are scaled: a missing one keeps its default.
    for (int i = 0; i < n; ++i)
        LODOptionsFraction(read, i) = (float) ((double) v[i] * kFromPercent);
    options = read;
    return true;
}
