#include "system/math/QxRect.h"

CKBOOL QxRect::Clip(const QxRect& other)
{
    if (other.right <= left || other.left > right || other.bottom <= top || other.top > bottom)
        return FALSE;
    if (other.left > left)
        left = other.left;
    if (other.top > top)
        top = other.top;
    if (other.right < right)
        right = other.right;
    if (other.bottom < bottom)
        bottom = other.bottom;
    return TRUE;
}

void QxRect::TransformToRelative(const QxRect& reference)
{
    const float inverseWidth = 1.0f / (reference.right - reference.left);
    const float inverseHeight = 1.0f / (reference.bottom - reference.top);
    const float width = right - left;
    const float height = bottom - top;
    left = (left - reference.left) * inverseWidth;
    top = (top - reference.top) * inverseHeight;
    right = left + width * inverseWidth;
    bottom = top + height * inverseHeight;
}

void QxRect::TransformFromRelative(const QxRect& reference)
{
    const float width = reference.right - reference.left;
    const float height = reference.bottom - reference.top;
    const float relativeWidth = right - left;
    const float relativeHeight = bottom - top;
    left = left * width + reference.left;
    top = top * height + reference.top;
    right = left + relativeWidth * width;
    bottom = top + relativeHeight * height;
}
