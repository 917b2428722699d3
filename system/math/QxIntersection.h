#pragma once

#include "system/math/QxPlane.h"
#include "system/math/QxRay.h"
#include "system/math/QxVector.h"

// Rays and segments against planes and triangles. ε is 1.1920929e-7.

// With den = normal·direction and t = -(normal·origin + d) / den, these return
// 1 with point = origin + t·direction, or 0:
//   ray, two-sided:     |den| < ε, or t < -ε, refuses;
//   ray, front only:    den > -ε (the ray must run against the normal), or t < -ε;
//   segment forms:      as the ray forms, and also t > 1.0000001.
// t is written whenever den passed, so a refused hit still leaves its t.
int QxIntersectionRayPlane(const QxRay& ray, const QxPlane& plane, QxVector& point, float& t);
int QxIntersectionRayPlaneFront(const QxRay& ray, const QxPlane& plane, QxVector& point, float& t);
int QxIntersectionSegmentPlane(const QxRay& segment, const QxPlane& plane, QxVector& point, float& t);
int QxIntersectionSegmentPlaneFront(const QxRay& segment, const QxPlane& plane, QxVector& point, float& t);

// The plane through A with the given normal, the matching plane routine, then
// QxPointInTriangle on the hit point: the result is its mask (0 when the
// plane routine refused, and then axis1 and axis2 are not written).
int QxIntersectionRayTriangle(const QxRay& ray, const QxVector& A, const QxVector& B, const QxVector& C,
                              const QxVector& normal, QxVector& point, float& t, int& axis1, int& axis2);
int QxIntersectionRayTriangleFront(const QxRay& ray, const QxVector& A, const QxVector& B, const QxVector& C,
                                   const QxVector& normal, QxVector& point, float& t, int& axis1, int& axis2);
int QxIntersectionSegmentTriangle(const QxRay& segment, const QxVector& A, const QxVector& B, const QxVector& C,
                                  const QxVector& normal, QxVector& point, float& t, int& axis1, int& axis2);
int QxIntersectionSegmentTriangleFront(const QxRay& segment, const QxVector& A, const QxVector& B, const QxVector& C,
                                       const QxVector& normal, QxVector& point, float& t, int& axis1, int& axis2);

// Whether p (on the triangle's plane) lies in the triangle, tested in the two
// coordinates other than the normal's largest (axis1, axis2 receive their
// indices first). Returns 0 outside, 1 or 2 inside (the winding of the
// projected triangle as seen from p), 3 when every edge value was within ε
// (a degenerate triangle). A point on an edge counts as inside.
int QxPointInTriangle(const QxVector& p, const QxVector& A, const QxVector& B, const QxVector& C,
                      const QxVector& normal, int& axis1, int& axis2);

// Barycentric weights of p in the triangle projected on the coordinates
// *axis1 and *axis2 (as QxPointInTriangle gives them); wA + wB + wC = 1.
// A degenerate projected triangle gives infinities or NaN.
void QxTriangleBarycentric(const QxVector& p, const QxVector& A, const QxVector& B, const QxVector& C, const int* axis1,
                           const int* axis2, float& wA, float& wB, float& wC);
