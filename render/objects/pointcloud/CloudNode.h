#pragma once

#include <bit>
#include <cstdint>

#include "includes/CKTypes.h"
#include "system/math/QxBbox.h"
#include "system/math/QxVector.h"

// One 8-byte entry of a point cloud's subdivision: a word W and a word P.
// The low byte of W tells the kind:
// - empty: both words 0 (only a root can be empty);
// - inner node: bits 5-7 clear; bits 0-3 the number of children, byte 1 the
//   child mask (bit k: octant k has a child), bits 16-19 the level mask (bit
//   L-1: a point below belongs to level L), bits 20-31 the index + 1 of the
//   vertex-buffer group the node owns; P the index of its first child in the
//   next page;
// - single-point leaf (0x80) and point entry (0x20): bytes 1-3 the quantised
//   x, y, z of the point; P the point index (bits 0-27) and its level bits
//   (bits 28-30 for levels 1 to 3);
// - multi-point leaf (0x40): bits 8-31 the number of points n; P the index
//   of its first point entry in its own page.
// P never holds a pointer: an index into a page (or, while building, into
// the builder's block store).
struct CloudNode
{
    CKDWORD W = 0;
    CKDWORD P = 0;
};
static_assert(sizeof(CloudNode) == 8, "a subdivision entry is 8 bytes");

enum : CKDWORD
{
    CLOUD_SINGLELEAF = 0x80,
    CLOUD_MULTILEAF = 0x40,
    CLOUD_POINTENTRY = 0x20,
    CLOUD_LEAFBITS = 0xE0, // any of these in the low byte: not an inner node
    CLOUD_POINTINDEXMASK = 0x0FFFFFFF,
    CLOUD_LEVELSHIFT = 28, // level L is bit 27 + L of a point word
    CLOUD_NODELEVELSHIFT = 16,
    CLOUD_GROUPSHIFT = 20,
    CLOUD_GROUPMASK = 0xFFF00000,
    CLOUD_MAXGROUPS = 0xFFF,
};

// Points a multi-point leaf holds before it is split.
constexpr int CLOUD_MAXLEAFPOINTS = 512;
// Depth beyond which a descent stops without the precision test.
constexpr int CLOUD_MAXPRECISIONDEPTH = 40;
// Levels of detail (bits 28-30 of a point word).
constexpr int CLOUD_LEVELCOUNT = 3;

inline bool CloudIsEmpty(const CloudNode& n)
{
    return n.W == 0 && n.P == 0;
}
inline bool CloudIsInner(const CloudNode& n)
{
    return (n.W & CLOUD_LEAFBITS) == 0 && !CloudIsEmpty(n);
}
inline bool CloudIsSingleLeaf(const CloudNode& n)
{
    return (n.W & 0xFF) == CLOUD_SINGLELEAF;
}
inline bool CloudIsMultiLeaf(const CloudNode& n)
{
    return (n.W & 0xFF) == CLOUD_MULTILEAF;
}
inline int CloudChildCount(const CloudNode& n)
{
    return (int) (n.W & 0xF);
}
inline CKDWORD CloudChildMask(const CloudNode& n)
{
    return (n.W >> 8) & 0xFF;
}
inline int CloudLeafPointCount(const CloudNode& n)
{
    return CloudIsSingleLeaf(n) ? 1 : CloudIsMultiLeaf(n) ? (int) (n.W >> 8) : 0;
}
// The level mask of an inner node (bit L-1 for level L).
inline CKDWORD CloudNodeLevels(const CloudNode& n)
{
    return (n.W >> CLOUD_NODELEVELSHIFT) & 0xF;
}
// The group index + 1 an inner node owns, 0 for none.
inline CKDWORD CloudNodeGroup(const CloudNode& n)
{
    return n.W >> CLOUD_GROUPSHIFT;
}
// A point word's index and level bits (bit L-1 for level L).
inline CKDWORD CloudPointIndex(CKDWORD p)
{
    return p & CLOUD_POINTINDEXMASK;
}
inline CKDWORD CloudPointLevels(CKDWORD p)
{
    return p >> CLOUD_LEVELSHIFT;
}

// The three quantised coordinates of a point word pair (single leaf or point
// entry).
struct CloudQuantized
{
    CKBYTE x = 0, y = 0, z = 0;
};
inline CloudQuantized CloudQuantizedOf(const CloudNode& n)
{
    return {(CKBYTE) (n.W >> 8), (CKBYTE) (n.W >> 16), (CKBYTE) (n.W >> 24)};
}
inline CKDWORD CloudPointWord(CKDWORD lowByte, const CloudQuantized& q)
{
    return lowByte | ((CKDWORD) q.x << 8) | ((CKDWORD) q.y << 16) | ((CKDWORD) q.z << 24);
}

// q = trunc((p - min) * 256 / size) on one axis, kept in 0..255: a value on
// the maximum face (256), outside the box or not a number takes the nearest
// bound, so that no float ever reaches an integer conversion out of range.
inline CKBYTE CloudQuantizeAxis(float p, float min, float size)
{
    const float t = (p - min) * 256.0f / size;
    if (!(t > 0.0f))
        return 0;
    if (t >= 255.0f)
        return 255;
    return (CKBYTE) (int) t;
}
inline CloudQuantized CloudQuantize(const QxVector& p, const QxVector& min, const QxVector& size)
{
    return {CloudQuantizeAxis(p.x, min.x, size.x), CloudQuantizeAxis(p.y, min.y, size.y),
            CloudQuantizeAxis(p.z, min.z, size.z)};
}
// min + q * size * (1/256) per axis.
inline QxVector CloudReconstruct(const CloudQuantized& q, const QxVector& min, const QxVector& size)
{
    const float s = 1.0f / 256.0f;
    return QxVector(min.x + (float) q.x * (size.x * s), min.y + (float) q.y * (size.y * s),
                    min.z + (float) q.z * (size.z * s));
}

// The octant of p against the centre: bit 0 x, bit 1 y, bit 2 z, set for the
// upper half (coordinate >= centre).
inline int CloudOctant(const QxVector& p, const QxVector& centre)
{
    return (p.x >= centre.x ? 1 : 0) | (p.y >= centre.y ? 2 : 0) | (p.z >= centre.z ? 4 : 0);
}
// The box of octant k from the box minimum and size: half the size, the
// minimum moved up by it on the axes of the octant's bits.
inline void CloudOctantBox(int k, QxVector& min, QxVector& size)
{
    size = size * 0.5f;
    // The sums are chosen by bit masks, not branches: the octants of a walk
    // follow the points and no predictor guesses them.
    const auto pick = [](float keep, float moved, int bit) {
        const CKDWORD mask = bit ? 0xFFFFFFFFu : 0u;
        return std::bit_cast<float>((std::bit_cast<CKDWORD>(moved) & mask) | (std::bit_cast<CKDWORD>(keep) & ~mask));
    };
    min.x = pick(min.x, min.x + size.x, k & 1);
    min.y = pick(min.y, min.y + size.y, k & 2);
    min.z = pick(min.z, min.z + size.z, k & 4);
}
inline QxBbox CloudBoxOf(const QxVector& min, const QxVector& size)
{
    return QxBbox(min, min + size);
}

// Set bits of a child mask (8 bits), without a library call where the
// processor has no instruction for it.
inline int CloudBitCount(CKDWORD mask)
{
    static constexpr CKBYTE kCounts[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    return kCounts[mask & 15] + kCounts[(mask >> 4) & 15];
}

// Calls visit(index of the child in the next page, its box minimum, its
// box size) for each present child of an inner node, in octant order, until
// visit returns false; false when it did.
template <class Visit>
bool CloudForEachChild(const CloudNode& node, const QxVector& min, const QxVector& size, Visit&& visit)
{
    // Only the present octants, lowest first: a deep sparse tree has one
    // child a node, and a test of all eight costs a mispredicted branch
    // each.
    int child = (int) node.P;
    for (CKDWORD mask = CloudChildMask(node); mask; mask &= mask - 1) {
        const int k = std::countr_zero(mask);
        QxVector childMin = min, childSize = size;
        CloudOctantBox(k, childMin, childSize);
        if (!visit(child++, childMin, childSize))
            return false;
    }
    return true;
}

// Number of set bits of a child mask below octant k: the rank of octant k's
// child among the present ones.
inline int CloudChildRank(CKDWORD mask, int k)
{
    return CloudBitCount(mask & ((1u << k) - 1u));
}
