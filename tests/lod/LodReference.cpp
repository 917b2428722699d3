#include "tests/lod/LodReference.h"

#include <algorithm>
#include <cmath>

#include "core/context/CKDefines.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"

LodLevels LodReferenceLevels(CK3dEntity* e, CKCamera* camera, float cameraFactor, const LODOptions& o)
{
    LodLevels out;
    const QxMatrix& w = e->GetWorldMatrix();
    float s;
    if (CKMesh* mesh = e->GetMesh(0)) {
        float r2 = (2.0f * mesh->GetRadius()) * (2.0f * mesh->GetRadius());
        s = -1.0f;
        for (int i = 0; i < 3; ++i) {
            float x = 2.0f * w[i][0], y = 2.0f * w[i][1], z = 2.0f * w[i][2];
            float l = r2 * (x * x + y * y + z * z);
            if (l > s)
                s = l;
        }
    } else if (e->GetClassID() == CKCID_CHARACTER) {
        const QxBbox& box = e->GetBoundingBox(FALSE);
        QxVector d = box.Max - box.Min;
        s = d.x * d.x + d.y * d.y + d.z * d.z;
    } else {
        return out;
    }
    if (!camera)
        return out;
    out.measured = true;
    const QxMatrix& c = camera->GetWorldMatrix();
    float dx = w[3][0] - c[3][0], dy = w[3][1] - c[3][1], dz = w[3][2] - c[3][2];
    float depth = dx * c[2][0] + dy * c[2][1] + dz * c[2][2];
    float x = s / (depth * depth) * cameraFactor;
    if (depth == 0.0f || !std::isfinite(x)) {
        out.face = o.FaceMag;
        return out;
    }
    float a = o.ScreenMin * o.ScreenMin, b = o.ScreenMag * o.ScreenMag;
    if (b > a) {
        float t = std::min(std::max(x, a), b);
        out.face = o.FaceMin + (t - a) / (b - a) * (o.FaceMag - o.FaceMin);
    } else {
        out.face = x < (a + b) / 2.0f ? o.FaceMin : o.FaceMag;
    }
    if (o.Flags & LOD_ALPHA) {
        float c2 = o.ScreenAlphaMin * o.ScreenAlphaMin, d2 = o.ScreenAlphaMag * o.ScreenAlphaMag;
        if (d2 > c2)
            out.alpha = (std::min(std::max(x, c2), d2) - c2) / (d2 - c2);
        else
            out.alpha = x < (c2 + d2) / 2.0f ? 0.0f : 1.0f;
    }
    return out;
}

CKMesh* LodReferenceChoice(CK3dEntity* e, float face)
{
    int most = 0;
    for (int i = 0; i < e->GetMeshCount(); ++i)
        most = std::max(most, e->GetMesh(i)->GetFaceCount());
    double product = (double) ((float) most * face);
    int target = product <= 0.0 || product != product ? 0 : (product >= most ? most : (int) product);
    int current = e->GetCurrentMesh() ? e->GetCurrentMesh()->GetFaceCount() : 0;
    target = (int) (target * (current > target ? 1.1000000014901161 : 0.8999999985098839));
    CKMesh* chosen = e->GetCurrentMesh();
    int best = most;
    for (int i = 0; i < e->GetMeshCount(); ++i) {
        int over = e->GetMesh(i)->GetFaceCount() - target;
        if (over >= 0 && over < best) {
            best = over;
            chosen = e->GetMesh(i);
        }
    }
    return chosen;
}
