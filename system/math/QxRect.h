#pragma once

#include "includes/CKTypes.h"
#include "system/math/Qx2DVector.h"

// A float rectangle: left, top, right, bottom (y grows downwards on screen).
// Default-constructed to (0, 0, 0, 0).
struct QxRect
{
    float left, top, right, bottom;

    constexpr QxRect() : left(0.0f), top(0.0f), right(0.0f), bottom(0.0f) {}
    constexpr QxRect(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}

    void Set(float l, float t, float r, float b)
    {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }

    float GetWidth() const { return right - left; }
    float GetHeight() const { return bottom - top; }
    // left + (right - left) x 0.5 and top + (bottom - top) x 0.5.
    float GetCenterX() const { return left + (right - left) * 0.5f; }
    float GetCenterY() const { return top + (bottom - top) * 0.5f; }

    // True when all four values are 0.
    bool IsNull() const { return left == 0.0f && top == 0.0f && right == 0.0f && bottom == 0.0f; }

    // left <= x <= right and top <= y <= bottom (edges included).
    bool IsInside(const Qx2DVector& p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }

    // Cuts this rectangle to other: returns FALSE and leaves it unchanged when
    // other.right <= left, other.left > right, other.bottom <= top or
    // other.top > bottom; otherwise keeps the largest left and top and the
    // smallest right and bottom and returns TRUE.
    CKBOOL Clip(const QxRect& other);

    // The point at relative coordinates (u, v): (left + (right - left)·u, top + (bottom - top)·v).
    Qx2DVector Interpolate(const Qx2DVector& uv) const
    {
        return Qx2DVector(left + (right - left) * uv.x, top + (bottom - top) * uv.y);
    }

    // Maps this rectangle from absolute coordinates into units of reference
    // (0 .. 1 across it), in place. A reference of zero width or height gives
    // infinities or NaN.
    void TransformToRelative(const QxRect& reference);
    // The inverse of TransformToRelative, in place.
    void TransformFromRelative(const QxRect& reference);
};

static_assert(sizeof(QxRect) == 16, "QxRect is four floats");

inline bool operator==(const QxRect& a, const QxRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator!=(const QxRect& a, const QxRect& b)
{
    return !(a == b);
}

// Integer rectangle and point (window coordinates).
struct QxIntRect
{
    int32_t left, top, right, bottom;
};
struct QxIntPoint
{
    int32_t x, y;
};

// True when left <= x <= right and top <= y <= bottom (edges included).
inline bool QxIsPointInRect(const QxIntRect& rect, const QxIntPoint& point)
{
    return point.x >= rect.left && point.x <= rect.right && point.y >= rect.top && point.y <= rect.bottom;
}
