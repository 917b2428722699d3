#include "render/objects/pointcloud/CloudQueries.h"

#include <cmath>

#include "system/math/QxDistance.h"
#include "system/math/QxIntersectionBox.h"
#include "system/math/QxVector.h"

namespace {

float Farthest(float c, float lo, float hi)
{
    const float a = std::fabs(c - lo), b = std::fabs(c - hi);
    return a > b ? a : b;
}

// The corners of a box farthest and nearest along a direction.
QxVector FarCorner(const QxBbox& b, const QxVector& n)
{
    return QxVector(n.x > 0.0f ? b.Max.x : b.Min.x, n.y > 0.0f ? b.Max.y : b.Min.y, n.z > 0.0f ? b.Max.z : b.Min.z);
}
QxVector NearCorner(const QxBbox& b, const QxVector& n)
{
    return QxVector(n.x > 0.0f ? b.Min.x : b.Max.x, n.y > 0.0f ? b.Min.y : b.Max.y, n.z > 0.0f ? b.Min.z : b.Max.z);
}

// The signed distance to the cone's surface, negative inside. Where the
// nearest point of the surface is the apex (the point lies behind it, out of
// reach of every generator line), the distance to the apex: taking it for
// every point behind the apex's plane would overstate the distance beside a
// cone wider than a right angle, and a box near its surface would be passed
// over.
float ConeDistance(const QxCone& cone, const QxVector& p)
{
    const QxVector v = p - cone.m_Apex;
    const float h = QxDotProduct(v, cone.m_Axis);
    const float across = QxMagnitude(QxCrossProduct(cone.m_Axis, v));
    if (h * cone.m_K1 + across * cone.m_K2 < 0.0f)
        return QxMagnitude(v);
    return across * cone.m_K1 - h * cone.m_K2;
}

float ConeDistance(const QxCone& cone, const QxBbox& b, float& halfDiagonalSquare)
{
    const QxVector half = b.GetHalfSize();
    halfDiagonalSquare = QxDotProduct(half, half);
    return ConeDistance(cone, b.GetCenter());
}

struct Picker : CloudVisitAll
{
    const QxRay& Ray;
    bool Segment;
    float Radius;
    CloudRayHit& Hit;

    Picker(const QxRay& ray, bool segment, float radius, CloudRayHit& hit)
        : Ray(ray), Segment(segment), Radius(radius), Hit(hit)
    {}

    // Whether the ray meets the box enlarged by the radius close enough to
    // beat the best hit: a point within the radius of the ray lies at
    // least (entry distance - radius) from the origin.
    bool Worth(const QxVector& min, const QxVector& size) const
    {
        const QxVector r(Radius, Radius, Radius);
        const QxBbox box(min - r, min + size + r);
        QxVector entry;
        const int met = Segment ? QxIntersectionSegmentBoxPoints(Ray, box, entry, nullptr, nullptr, nullptr)
                                : QxIntersectionRayBoxPoints(Ray, box, entry, nullptr, nullptr, nullptr);
        if (met == 0)
            return false;
        if (met < 0)
            return true;
        const float bound = QxMagnitude(entry - Ray.m_Origin) - Radius;
        return bound <= 0.0f || bound * bound < Hit.BestSquare;
    }

    CloudVisit Inner(int, int, const QxVector& min, const QxVector& size)
    {
        return Worth(min, size) ? CloudVisit::Enter : CloudVisit::Skip;
    }
    CloudVisit Leaf(int, int, const QxVector& min, const QxVector& size)
    {
        return Worth(min, size) ? CloudVisit::Enter : CloudVisit::Skip;
    }
    bool Point(const CloudNode& entry, const QxVector& min, const QxVector& size)
    {
        const QxVector p = CloudReconstruct(CloudQuantizedOf(entry), min, size);
        const float d =
            Segment ? QxPointSegmentSquareDistance(p, Ray, nullptr) : QxPointRaySquareDistance(p, Ray, nullptr);
        if (!(d < Radius * Radius))
            return true;
        const QxVector o = p - Ray.m_Origin;
        const float square = QxDotProduct(o, o);
        if (square < Hit.BestSquare) {
            Hit.Hit = true;
            Hit.BestSquare = square;
            Hit.Position = p;
            Hit.PointIndex = CloudPointIndex(entry.P);
        }
        return true;
    }
};

} // namespace

bool CloudBoxShape::Meets(const QxBbox& b) const
{
    return QxIntersectionBoxBox(Box, b) != 0;
}

bool CloudSphereShape::Inside(const QxBbox& b) const
{
    const float x = Farthest(Centre.x, b.Min.x, b.Max.x), y = Farthest(Centre.y, b.Min.y, b.Max.y),
                z = Farthest(Centre.z, b.Min.z, b.Max.z);
    return x * x + y * y + z * z <= Radius * Radius;
}

bool CloudSphereShape::Meets(const QxBbox& b) const
{
    return QxSquareDistancePointBox(Centre, b) <= Radius * Radius;
}

bool CloudSphereShape::Contains(const QxVector& p) const
{
    const QxVector d = p - Centre;
    return QxDotProduct(d, d) <= Radius * Radius;
}

bool CloudOrientedBoxShape::Inside(const QxBbox& b) const
{
    for (int k = 0; k < 8; ++k) {
        const QxVector corner(k & 1 ? b.Max.x : b.Min.x, k & 2 ? b.Max.y : b.Min.y, k & 4 ? b.Max.z : b.Min.z);
        if (!Contains(corner))
            return false;
    }
    return true;
}

bool CloudOrientedBoxShape::Meets(const QxBbox& b) const
{
    return QxIntersectionBoxOBB(b, Box) != 0;
}

bool CloudOrientedBoxShape::Contains(const QxVector& p) const
{
    const QxVector d = p - Box.m_Center;
    for (int i = 0; i < 3; ++i)
        if (!(std::fabs(QxDotProduct(d, Box.m_Axis[i])) <= Box.m_Extents[i]))
            return false;
    return true;
}

bool CloudConeShape::Inside(const QxBbox& b) const
{
    float half;
    const float d = ConeDistance(Cone, b, half);
    return d < 0.0f && d * d > half;
}

bool CloudConeShape::Meets(const QxBbox& b) const
{
    float half;
    const float d = ConeDistance(Cone, b, half);
    return !(d > 0.0f && d * d > half);
}

bool CloudConeShape::Contains(const QxVector& p) const
{
    return !(ConeDistance(Cone, p) > 0.0f);
}

bool CloudConvexShape::Inside(const QxBbox& b) const
{
    for (const QxPlane& plane : Planes)
        if (!(plane.Classify(FarCorner(b, plane.m_Normal)) < 0.0f))
            return false;
    return true;
}

bool CloudConvexShape::Meets(const QxBbox& b) const
{
    if (!Bounds.Meets(b))
        return false;
    for (const QxPlane& plane : Planes)
        if (plane.Classify(NearCorner(b, plane.m_Normal)) > 0.0f)
            return false;
    return true;
}

bool CloudConvexShape::Contains(const QxVector& p) const
{
    for (const QxPlane& plane : Planes)
        if (!(plane.Classify(p) <= 0.0f))
            return false;
    return true;
}

void CloudPickRay(const CloudTree& tree, const QxVector& rootMin, const QxVector& rootSize, const QxRay& ray,
                  bool segment, float radius, CloudRayHit& hit)
{
    if (!tree.HasRoot())
        return;
    Picker picker(ray, segment, radius, hit);
    CloudWalk(tree, rootMin, rootSize, picker);
}
