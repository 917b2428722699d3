#pragma once

#include "includes/CKTypes.h"
#include "system/math/QxMatrix.h"
#include "system/math/QxVector.h"

// Outcode bits: where a box lies relative to a point or another box.
enum QxBboxOutcode : CKDWORD
{
    QX_OUTCODE_POSITIVE_X = 16,  // entirely on the +x side
    QX_OUTCODE_NEGATIVE_X = 32,  // entirely on the -x side
    QX_OUTCODE_NEGATIVE_Y = 64,  // entirely on the -y side
    QX_OUTCODE_POSITIVE_Y = 128, // entirely on the +y side
    QX_OUTCODE_NEGATIVE_Z = 256, // entirely on the -z side
    QX_OUTCODE_POSITIVE_Z = 512, // entirely on the +z side
};

// An axis-aligned box stored as its maximum corner, then its minimum corner.
// Default-constructed to the zero box.
struct QxBbox
{
    QxVector Max;
    QxVector Min;

    constexpr QxBbox() : Max(), Min() {}
    // Note the argument order: minimum first (the storage order is Max, Min).
    constexpr QxBbox(const QxVector& minimum, const QxVector& maximum) : Max(maximum), Min(minimum) {}

    // (Max + Min) / 2 and (Max - Min) / 2.
    QxVector GetCenter() const { return (Max + Min) * 0.5f; }
    QxVector GetHalfSize() const { return (Max - Min) * 0.5f; }

    // TRUE when Min <= p <= Max on all three axes (bounds included).
    CKBOOL VectorIn(const QxVector& p) const
    {
        return Min.x <= p.x && p.x <= Max.x && Min.y <= p.y && p.y <= Max.y && Min.z <= p.z && p.z <= Max.z;
    }
    // TRUE when other lies within this box (bounds included).
    CKBOOL IsBoxInside(const QxBbox& other) const
    {
        return Min.x <= other.Min.x && Min.y <= other.Min.y && Min.z <= other.Min.z && other.Max.x <= Max.x &&
               other.Max.y <= Max.y && other.Max.z <= Max.z;
    }

    // Extends the box to contain p (per-axis minimum and maximum).
    void Merge(const QxVector& p)
    {
        Max = QxMax(Max, p);
        Min = QxMin(Min, p);
    }
    // Extends the box to contain other.
    void Merge(const QxBbox& other)
    {
        Max = QxMax(Max, other.Max);
        Min = QxMin(Min, other.Min);
    }

    // Sets this box to the axis-aligned bounds of box transformed by the
    // affine m: the centre transformed as a point, half extent
    // e'_j = 0.5 x (|m[0][j]·Δx| + |m[1][j]·Δy| + |m[2][j]·Δz|), Δ = Max - Min.
    // box may be this box.
    void TransformFrom(const QxBbox& box, const QxMatrix& m);

    // At most one bit per axis: x: p.x < Min.x → 16, else p.x > Max.x → 32;
    // y: p.y < Min.y → 128, else p.y > Max.y → 64; z: p.z < Min.z → 512,
    // else p.z > Max.z → 256. 0 when p is in the box.
    CKDWORD PointOutcode(const QxVector& p) const;
    // The same with this Min against other.Max and this Max against other.Min;
    // 0 when the boxes overlap (or touch) on all three axes.
    CKDWORD BoxOutcode(const QxBbox& other) const;

    // Orders two boxes for depth sorting as seen from p: -1, 0 or 1.
    int Classify(const QxBbox& other, const QxVector& p) const;
};

static_assert(sizeof(QxBbox) == 24, "QxBbox is six floats");

inline bool operator==(const QxBbox& a, const QxBbox& b)
{
    return a.Max == b.Max && a.Min == b.Min;
}
inline bool operator!=(const QxBbox& a, const QxBbox& b)
{
    return !(a == b);
}
