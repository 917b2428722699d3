#include "system/image/QxQuantizer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "system/runtime/QxGlobalLock.h"

namespace {

// The published NeuQuant constants.
constexpr int kNetSize = 256;
constexpr int kPrime1 = 499;
constexpr int kPrime2 = 491;
constexpr int kPrime3 = 487;
constexpr int kPrime4 = 503;
constexpr int kMaxNetPos = kNetSize - 1;
constexpr int kNetBiasShift = 4;
constexpr int kCycles = 100;
constexpr int kIntBiasShift = 16;
constexpr int kIntBias = 1 << kIntBiasShift;
constexpr int kGammaShift = 10;
constexpr int kBetaShift = 10;
constexpr int kBeta = kIntBias >> kBetaShift;
constexpr int kBetaGamma = kIntBias << (kGammaShift - kBetaShift);
constexpr int kInitRad = kNetSize >> 3;
constexpr int kRadiusBiasShift = 6;
constexpr int kRadiusBias = 1 << kRadiusBiasShift;
constexpr int kInitRadius = kInitRad * kRadiusBias;
constexpr int kRadiusDec = 30;
constexpr int kAlphaBiasShift = 10;
constexpr int kInitAlpha = 1 << kAlphaBiasShift;
constexpr int kRadBiasShift = 8;
constexpr int kRadBias = 1 << kRadBiasShift;
constexpr int kAlphaRadBShift = kAlphaBiasShift + kRadBiasShift;
constexpr int kAlphaRadBias = 1 << kAlphaRadBShift;

// Set by library start-up in the original; a constant here.
constexpr int kSamplingFactor = 15;

// Process-wide network, used only under the global critical section.
struct Network
{
    int neurons[kNetSize][4]; // three components, then the index before sorting
    int netIndex[256];
    int bias[kNetSize];
    int freq[kNetSize];
    int radPower[kInitRad];
};

Network g_Net;

void InitNet()
{
    for (int i = 0; i < kNetSize; ++i) {
        int* n = g_Net.neurons[i];
        n[0] = n[1] = n[2] = (i << (kNetBiasShift + 8)) / kNetSize;
        n[3] = 0;
        g_Net.freq[i] = kIntBias / kNetSize;
        g_Net.bias[i] = 0;
    }
}

void UnbiasNet()
{
    for (int i = 0; i < kNetSize; ++i) {
        for (int j = 0; j < 3; ++j)
            g_Net.neurons[i][j] >>= kNetBiasShift;
        g_Net.neurons[i][3] = i;
    }
}

// Sorts the network by the second component and indexes it by that value.
void BuildIndex()
{
    int previousCol = 0;
    int startPos = 0;
    for (int i = 0; i < kNetSize; ++i) {
        int* p = g_Net.neurons[i];
        int smallPos = i;
        int smallVal = p[1];
        for (int j = i + 1; j < kNetSize; ++j) {
            if (g_Net.neurons[j][1] < smallVal) {
                smallPos = j;
                smallVal = g_Net.neurons[j][1];
            }
        }
        int* q = g_Net.neurons[smallPos];
        if (i != smallPos) {
            for (int k = 0; k < 4; ++k) {
                const int t = q[k];
                q[k] = p[k];
                p[k] = t;
            }
        }
        if (smallVal != previousCol) {
            g_Net.netIndex[previousCol] = (startPos + i) >> 1;
            for (int j = previousCol + 1; j < smallVal; ++j)
                g_Net.netIndex[j] = i;
            previousCol = smallVal;
            startPos = i;
        }
    }
    g_Net.netIndex[previousCol] = (startPos + kMaxNetPos) >> 1;
    for (int j = previousCol + 1; j < 256; ++j)
        g_Net.netIndex[j] = kMaxNetPos;
}

int Search(int c0, int c1, int c2)
{
    int bestD = 1000;
    int best = -1;
    int i = g_Net.netIndex[c1];
    int j = i - 1;
    while (i < kNetSize || j >= 0) {
        if (i < kNetSize) {
            const int* p = g_Net.neurons[i];
            int dist = p[1] - c1;
            if (dist >= bestD)
                i = kNetSize;
            else {
                ++i;
                if (dist < 0)
                    dist = -dist;
                int a = p[0] - c0;
                dist += a < 0 ? -a : a;
                if (dist < bestD) {
                    a = p[2] - c2;
                    dist += a < 0 ? -a : a;
                    if (dist < bestD) {
                        bestD = dist;
                        best = p[3];
                    }
                }
            }
        }
        if (j >= 0) {
            const int* p = g_Net.neurons[j];
            int dist = c1 - p[1];
            if (dist >= bestD)
                j = -1;
            else {
                --j;
                if (dist < 0)
                    dist = -dist;
                int a = p[0] - c0;
                dist += a < 0 ? -a : a;
                if (dist < bestD) {
                    a = p[2] - c2;
                    dist += a < 0 ? -a : a;
                    if (dist < bestD) {
                        bestD = dist;
                        best = p[3];
                    }
                }
            }
        }
    }
    return best < 0 ? 0 : best;
}

// Finds the closest neuron, biased by how often each wins, and updates the
// frequencies and biases.
int Contest(int c0, int c1, int c2)
{
    int bestD = INT32_MAX;
    int bestBiasD = bestD;
    int bestPos = -1;
    int bestBiasPos = bestPos;
    for (int i = 0; i < kNetSize; ++i) {
        const int* n = g_Net.neurons[i];
        int dist = n[0] - c0;
        if (dist < 0)
            dist = -dist;
        int a = n[1] - c1;
        dist += a < 0 ? -a : a;
        a = n[2] - c2;
        dist += a < 0 ? -a : a;
        if (dist < bestD) {
            bestD = dist;
            bestPos = i;
        }
        const int biasDist = dist - (g_Net.bias[i] >> (kIntBiasShift - kNetBiasShift));
        if (biasDist < bestBiasD) {
            bestBiasD = biasDist;
            bestBiasPos = i;
        }
        const int betaFreq = g_Net.freq[i] >> kBetaShift;
        g_Net.freq[i] -= betaFreq;
        g_Net.bias[i] += betaFreq << kGammaShift;
    }
    g_Net.freq[bestPos] += kBeta;
    g_Net.bias[bestPos] -= kBetaGamma;
    return bestBiasPos;
}

void AlterSingle(int alpha, int i, int c0, int c1, int c2)
{
    int* n = g_Net.neurons[i];
    n[0] -= (alpha * (n[0] - c0)) / kInitAlpha;
    n[1] -= (alpha * (n[1] - c1)) / kInitAlpha;
    n[2] -= (alpha * (n[2] - c2)) / kInitAlpha;
}

void AlterNeighbours(int rad, int i, int c0, int c1, int c2)
{
    int lo = i - rad;
    if (lo < -1)
        lo = -1;
    int hi = i + rad;
    if (hi > kNetSize)
        hi = kNetSize;
    int j = i + 1;
    int k = i - 1;
    int q = 0;
    while (j < hi || k > lo) {
        const int a = g_Net.radPower[++q];
        if (j < hi) {
            int* p = g_Net.neurons[j];
            p[0] -= (a * (p[0] - c0)) / kAlphaRadBias;
            p[1] -= (a * (p[1] - c1)) / kAlphaRadBias;
            p[2] -= (a * (p[2] - c2)) / kAlphaRadBias;
            ++j;
        }
        if (k > lo) {
            int* p = g_Net.neurons[k];
            p[0] -= (a * (p[0] - c0)) / kAlphaRadBias;
            p[1] -= (a * (p[1] - c1)) / kAlphaRadBias;
            p[2] -= (a * (p[2] - c2)) / kAlphaRadBias;
            --k;
        }
    }
}

void FillRadPower(int rad, int alpha)
{
    for (int i = 0; i < rad; ++i)
        g_Net.radPower[i] = alpha * (((rad * rad - i * i) * kRadBias) / (rad * rad));
}

void Learn(const CKBYTE* picture, int byteCount)
{
    const int alphaDec = 30 + ((kSamplingFactor - 1) / 3);
    const int samplePixels = byteCount / (3 * kSamplingFactor);
    int delta = samplePixels / kCycles;
    if (delta == 0)
        delta = 1;
    int alpha = kInitAlpha;
    int radius = kInitRadius;
    int rad = radius >> kRadiusBiasShift;
    if (rad <= 1)
        rad = 0;
    FillRadPower(rad, alpha);
    std::fprintf(stderr, "beginning 1D learning: initial radius=%d\n", rad);

    int step;
    if (byteCount % kPrime1 != 0)
        step = 3 * kPrime1;
    else if (byteCount % kPrime2 != 0)
        step = 3 * kPrime2;
    else if (byteCount % kPrime3 != 0)
        step = 3 * kPrime3;
    else
        step = 3 * kPrime4;

    // The offset wraps modulo the byte count: a picture shorter than one step
    // stays inside its buffer (the published loop subtracted the count once).
    int64_t offset = 0;
    for (int i = 0; i < samplePixels;) {
        const CKBYTE* p = picture + offset;
        const int c0 = p[0] << kNetBiasShift;
        const int c1 = p[1] << kNetBiasShift;
        const int c2 = p[2] << kNetBiasShift;
        const int j = Contest(c0, c1, c2);
        AlterSingle(alpha, j, c0, c1, c2);
        if (rad)
            AlterNeighbours(rad, j, c0, c1, c2);
        offset = (offset + step) % byteCount;
        ++i;
        if (i % delta == 0) {
            alpha -= alpha / alphaDec;
            radius -= radius / kRadiusDec;
            rad = radius >> kRadiusBiasShift;
            if (rad <= 1)
                rad = 0;
            FillRadPower(rad, alpha);
        }
    }
    std::fprintf(stderr, "finished 1D learning: final alpha=%f !\n",
                 static_cast<double>(static_cast<float>(alpha) / kInitAlpha));
}

} // namespace

CKBOOL QxQuantizeImage(const QxImageDesc& src, const QxImageDesc& dst)
{
    PlatformLockGuard lock(QxGetGlobalCriticalSection());
    if (dst.ColorMapEntries != 256 || (dst.BytesPerColorEntry != 3 && dst.BytesPerColorEntry != 4) || !dst.ColorMap)
        return FALSE;
    if ((src.BitsPerPixel != 24 && src.BitsPerPixel != 32) || !src.Image || src.Width < 0 || src.Height < 0)
        return FALSE;

    const int pixelBytes = src.BitsPerPixel / 8;
    const int64_t byteCount = int64_t(src.Width) * src.Height * 3;
    if (byteCount > INT32_MAX)
        return FALSE;
    std::unique_ptr<CKBYTE[]> picture(new (std::nothrow) CKBYTE[byteCount > 0 ? byteCount : 1]);
    if (!picture)
        return FALSE;

    CKBYTE* out = picture.get();
    for (int y = 0; y < src.Height; ++y) {
        const CKBYTE* line = src.Image + ptrdiff_t(y) * src.BytesPerLine;
        for (int x = 0; x < src.Width; ++x, line += pixelBytes) {
            *out++ = line[2];
            *out++ = line[1];
            *out++ = line[0];
        }
    }

    InitNet();
    if (byteCount > 0)
        Learn(picture.get(), static_cast<int>(byteCount));
    UnbiasNet();
    for (int i = 0; i < kNetSize; ++i) {
        CKBYTE* entry = dst.ColorMap + i * dst.BytesPerColorEntry;
        entry[0] = static_cast<CKBYTE>(g_Net.neurons[i][0]);
        entry[1] = static_cast<CKBYTE>(g_Net.neurons[i][1]);
        entry[2] = static_cast<CKBYTE>(g_Net.neurons[i][2]);
    }
    BuildIndex();
    return TRUE;
}

int QxQuantizerSearch(int c0, int c1, int c2)
{
    PlatformLockGuard lock(QxGetGlobalCriticalSection());
    return Search(c0 & 0xFF, c1 & 0xFF, c2 & 0xFF);
}

void QxResetQuantizer()
{
    PlatformLockGuard lock(QxGetGlobalCriticalSection());
    g_Net = Network();
}

int QxQuantizerSearchLocked(int c0, int c1, int c2)
{
    return Search(c0 & 0xFF, c1 & 0xFF, c2 & 0xFF);
}
