#include "system/math/QxTransformBox2D.h"

namespace {

CKDWORD ClipCode(const QxVector4& h)
{
    CKDWORD code = 0;
    if (h.x < -h.w)
        code |= QX_CLIP_LEFT;
    if (h.x > h.w)
        code |= QX_CLIP_RIGHT;
    if (h.y > h.w)
        code |= QX_CLIP_TOP;
    if (h.y < -h.w)
        code |= QX_CLIP_BOTTOM;
    if (h.z < 0.0f)
        code |= QX_CLIP_FRONT;
    if (h.z > h.w)
        code |= QX_CLIP_BACK;
    return code;
}

} // namespace

CKBOOL QxTransformBox2D(const QxMatrix& projection, const QxBbox& box, const QxRect* viewport, QxRect* extents,
                        CKDWORD* orFlags, CKDWORD* andFlags)
{
    const int count = (box.Max.z == box.Min.z) ? 4 : 8;
    QxVector4 corners[8];
    for (int i = 0; i < count; ++i) {
        const QxVector p((i & 1) ? box.Max.x : box.Min.x, (i & 2) ? box.Max.y : box.Min.y,
                         (i & 4) ? box.Max.z : box.Min.z);
        QxMultiplyMatrixVector4(corners[i], projection, p);
    }

    CKDWORD codeOr = 0;
    CKDWORD codeAnd = 0xFFFFFFFFu;
    for (int i = 0; i < count; ++i) {
        const CKDWORD code = ClipCode(corners[i]);
        codeOr |= code;
        codeAnd &= code;
    }

    if (extents && viewport && (codeAnd & QX_CLIP_ALL) == 0) {
        const float hw = (viewport->right - viewport->left) * 0.5f;
        const float hh = (viewport->bottom - viewport->top) * 0.5f;
        const float cx = viewport->left + hw;
        const float cy = viewport->top + hh;
        float minX = 1e10f, minY = 1e10f, maxX = -1e10f, maxY = -1e10f;
        for (int i = 0; i < count; ++i) {
            const QxVector4& h = corners[i];
            if (!(h.w > 0.0f))
                continue;
            const float sx = cx + hw * h.x / h.w;
            const float sy = cy - hh * h.y / h.w;
            if (sx < minX)
                minX = sx;
            if (sx > maxX)
                maxX = sx;
            if (sy < minY)
                minY = sy;
            if (sy > maxY)
                maxY = sy;
        }
        extents->Set(minX, minY, maxX, maxY);
        if (codeOr & QX_CLIP_FRONT) {
            if (codeOr & QX_CLIP_LEFT)
                extents->left = viewport->left;
            if (codeOr & QX_CLIP_RIGHT)
                extents->right = viewport->right;
            if (codeOr & QX_CLIP_TOP)
                extents->top = viewport->top;
            if (codeOr & QX_CLIP_BOTTOM)
                extents->bottom = viewport->bottom;
        }
    }

    if (orFlags)
        *orFlags = codeOr;
    if (andFlags)
        *andFlags = codeAnd;
    return (codeAnd & QX_CLIP_ALL) == 0 ? TRUE : FALSE;
}
