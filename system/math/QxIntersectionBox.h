#pragma once

#include "system/math/QxBbox.h"
#include "system/math/QxOBB.h"
#include "system/math/QxRay.h"
#include "system/math/QxSphere.h"
#include "system/math/QxVector.h"

// Boxes against boxes, rays, segments, oriented boxes and spheres. Touching
// counts as overlap throughout. ε is 1.1920929e-7.

// 1 when the boxes overlap or touch, 0 when some axis separates them strictly.
int QxIntersectionBoxBox(const QxBbox& a, const QxBbox& b);

// 1 when the ray (or the segment origin .. origin + direction) meets the box,
// 0 when separated (separating-axis tests, no points computed).
int QxIntersectionRayBox(const QxRay& ray, const QxBbox& box);
int QxIntersectionSegmentBox(const QxRay& segment, const QxBbox& box);

// The slab test with entry and exit: 0 no hit, 1 the box is entered ahead of
// the origin, -1 the origin is inside (entry parameter <= ε). nearPoint is
// the entry point (origin + tmin·direction), farPoint the exit point;
// nearNormal is the entry face's outward normal and farNormal the exit face's
// outward normal (the zero vector when no axis gave one). farPoint, nearNormal
// and farNormal may be null. A direction component below ε needs the origin
// within that slab. The segment form also refuses an entry beyond 1.0000001.
int QxIntersectionRayBoxPoints(const QxRay& ray, const QxBbox& box, QxVector& nearPoint, QxVector* farPoint,
                               QxVector* nearNormal, QxVector* farNormal);
int QxIntersectionSegmentBoxPoints(const QxRay& segment, const QxBbox& box, QxVector& nearPoint, QxVector* farPoint,
                                   QxVector* nearNormal, QxVector* farNormal);

// 1 when the box and the oriented box overlap, 0 when one of the 15
// separating axes (three per box and their nine cross products) separates
// them. Parallel edges give near-zero cross products; a small tolerance on
// the projected radii keeps them from separating overlapping boxes.
int QxIntersectionBoxOBB(const QxBbox& box, const QxOBB& obb);

// Squared distance from p to the box (0 inside or on it).
float QxSquareDistancePointBox(const QxVector& p, const QxBbox& box);

// 1 when the squared distance from the centre to the box is at most radius².
int QxIntersectionSphereBox(const QxSphere& sphere, const QxBbox& box);
