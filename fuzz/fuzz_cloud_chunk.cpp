// Loads arbitrary bytes as a point cloud's state chunk, then uses what was
// loaded the way a scene would: walks it with the iterator, selects, picks,
// draws it twice through the NULL rasterizer (levels, groups, buffers) and
// saves it again.
//
// Input: a control byte (bit 0: the chunk is bound to a file of two
// records, a material and a mesh, and the load is told of it; bit 1: draw
// at level 3; bit 2: a scene follows), with bit 2 a length byte and that
// many scene bytes, then a serialised state chunk. The scene bytes choose
// how the cloud is drawn (colours, material colour, lighting, sprites,
// attributes, clip planes, a camera) and a few more selections of every
// kind (box, sphere, oriented box, cone, entity, entities, group, ray),
// each drawn its own way, and how the frames go; a short scene reads as
// zeros.

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKRenderManager.h"
#include "core/file/CKFile.h"
#include "core/object/XObjectPointerArray.h"
#include "core/scene/CKGroup.h"
#include "fuzz/FuzzRenderEngine.h"
#include "render/context/RCKRenderContext.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CKCamera.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "tools/testdata/CubeEntity.h"

namespace {

// The scene bytes in order; past their end, zeros.
class Scene
{
public:
    Scene(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}

    uint8_t U8() { return m_At < m_Size ? m_Data[m_At++] : 0; }
    size_t At() const { return m_At; }
    void Seek(size_t at) { m_At = at; }
    int Below(int n) { return U8() % n; }
    // A fraction of the cloud's box, a quarter beyond it on either side.
    float Fraction() { return (float) U8() / 255.0f * 1.5f - 0.25f; }
    QxVector InBox(const QxVector& min, const QxVector& size)
    {
        const float x = Fraction(), y = Fraction(), z = Fraction();
        return QxVector(min.x + size.x * x, min.y + size.y * y, min.z + size.z * z);
    }
    // A unit vector ((0, 0, 1) for three middle bytes).
    QxVector Direction()
    {
        const QxVector v((float) U8() - 127.5f, (float) U8() - 127.5f, (float) U8() - 127.5f);
        const float length = QxMagnitude(v);
        return length > 1.0f ? v / length : QxVector(0, 0, 1);
    }

private:
    const uint8_t* m_Data;
    size_t m_Size;
    size_t m_At = 0;
};

// How the cloud is drawn. Colours are on and drawn unless the first byte
// says otherwise (bit 0: left as loaded, 1: not drawn), so that most scenes
// fill colours; its bit 2 takes the material's colour, 3 normals and
// lighting, 4 point sprites, 5 hides the points, 6 draws the intensity and
// a float attribute, 7 recolours some points. Second byte: bits 0-2 clip
// planes, 3 a camera looking at the cloud (with bit 7 the cloud's debug
// camera, which culls whatever the view shows), 4-5 the level drawn (with
// bit 6, its point count).
void SetUpDrawing(Scene& in, RCK3dPointCloud* cloud, CKMaterial* material, CKRenderContext* rc, CKContext* context)
{
    const uint8_t look = in.U8();
    // Enabling an attribute gives every point its value: a loaded count of up
    // to 2^28 points (a tree may hold fewer) would ask for gigabytes, so
    // larger clouds keep the attributes they were loaded with.
    const bool enable = cloud->GetPointCount() <= (1 << 20);
    if (!(look & 1) && enable)
        cloud->UseColors(TRUE);
    if (!(look & 2))
        cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_COLORS, TRUE);
    if (look & 4) {
        material->SetDiffuse(QxColor(in.U8() / 255.0f, in.U8() / 255.0f, in.U8() / 255.0f, 1.0f));
        cloud->SetMaterial(material);
        cloud->UseMaterialColor(TRUE);
    }
    if (look & 8) {
        if (enable)
            cloud->UseNormals(TRUE);
        cloud->EnableLighting(TRUE);
    }
    if (look & 16) {
        cloud->SetMaterial(material);
        cloud->UsePointSprites(TRUE);
        cloud->SetPointSize((float) in.U8() / 16.0f);
    }
    if (look & 32)
        cloud->ShowPoints(FALSE);
    if (look & 64) {
        if (enable)
            cloud->EnableAttribute(CLOUD_ATTRIBUTE_INTENSITY, TRUE);
        cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_INTENSITY, TRUE);
        CloudAttributeDesc desc;
        desc.Name = "height";
        desc.Type = CLOUD_ATTRIBUTE_FLOAT;
        desc.Flags = CLOUD_ATTRIBUTE_DRAWN;
        const int height = cloud->AddAttribute(desc);
        if (enable)
            cloud->EnableAttribute(height, TRUE);
        cloud->SetAttributeFloat(in.Below(64), height, (float) in.U8());
    }
    if (look & 128)
        for (int n = in.Below(8); n > 0; --n) {
            const int point = in.U8();
            cloud->SetPointColor(point, 0xFF000000u | (CKDWORD) in.U8() << 16 | (CKDWORD) in.U8() << 8 | in.U8());
        }
    const uint8_t view = in.U8();
    cloud->SetClipPlaneCount(view & 7);
    for (int i = 0; i < cloud->GetClipPlaneCount(); ++i) {
        const QxVector n = in.Direction();
        cloud->SetClipPlane(i, QxVector4(n.x, n.y, n.z, (float) in.U8() - 128.0f));
    }
    if (view & 8) {
        auto* camera =
            static_cast<CKCamera*>(context->CreateObject(CKCID_CAMERA, (view & 128) ? "CloudDebugCamera" : "camera"));
        const QxVector min = cloud->GetBoxMin(), size = cloud->GetBoxSize();
        const QxVector from = in.InBox(min - size, size * 3.0f), at = in.InBox(min, size);
        camera->SetPosition(&from);
        camera->LookAt(&at);
        if (!(view & 128))
            rc->AttachViewpointToCamera(camera);
    }
    cloud->SetCurrentLevel((view >> 4) & 3);
    if (view & 64)
        cloud->SetLevelPointCount(cloud->GetCurrentLevel(), in.U8() * 4);
}

// One more selection: its kind (low 3 bits) and whether it replaces what it
// holds (bit 3: the query runs twice, the second finding what the first
// found), its capacity, the shape, then how it is drawn: mode (0 to 2), and
// bits of hidden, lit, with the material, material colour, with the cube
// mesh, and deleted again.
void Select(Scene& in, RCK3dPointCloud* cloud, CKRenderContext* rc, CK3dEntity* cube, CKGroup* group,
            CKMaterial* material)
{
    const uint8_t kind = in.U8();
    const CKBOOL replace = (kind & 8) ? TRUE : FALSE;
    CloudSelection* s = cloud->CreateSelection("scene", 1 + in.U8() * 8);
    const QxVector min = cloud->GetBoxMin(), size = cloud->GetBoxSize();
    const float extent = QxMagnitude(size);
    const size_t shape = in.At();
    for (int again = 0; again < 1 + (replace ? 1 : 0); ++again) {
        in.Seek(shape);
        switch (kind & 7) {
        case 0: {
            QxBbox box;
            box.Min = in.InBox(min, size);
            box.Max = in.InBox(min, size);
            cloud->SelectInBox(box, s, replace);
            break;
        }
        case 1: cloud->SelectInSphere(in.InBox(min, size), extent * in.U8() / 128.0f, s, replace); break;
        case 2: {
            QxOBB box;
            box.m_Center = in.InBox(min, size);
            box.m_Axis[0] = in.Direction();
            const QxVector other = in.Direction();
            QxVector up = QxCrossProduct(box.m_Axis[0], other);
            if (!(QxMagnitude(up) > 1e-3f))
                up = QxCrossProduct(box.m_Axis[0],
                                    std::fabs(box.m_Axis[0].x) < 0.9f ? QxVector(1, 0, 0) : QxVector(0, 1, 0));
            box.m_Axis[1] = up / QxMagnitude(up);
            box.m_Axis[2] = QxCrossProduct(box.m_Axis[0], box.m_Axis[1]);
            for (float& e : box.m_Extents)
                e = extent * in.U8() / 255.0f;
            cloud->SelectInOrientedBox(box, s, replace);
            break;
        }
        case 3: {
            const float angle = (float) in.U8() / 255.0f * 1.5707964f;
            const QxCone cone{in.InBox(min, size), in.Direction(), std::cos(angle), std::sin(angle)};
            cloud->SelectInCone(cone, s, replace);
            break;
        }
        case 4:
        case 5:
        case 6: {
            const QxVector at = in.InBox(min, size);
            cube->SetPosition(&at);
            const float scale = extent * (1 + in.U8()) / 256.0f;
            cube->SetScale3f(scale, scale * (1 + in.Below(4)), scale);
            if ((kind & 7) == 4) {
                cloud->SelectInEntity(cube, s, replace);
            } else if ((kind & 7) == 5) {
                XObjectPointerArray entities;
                entities.PushBack(cube);
                entities.PushBack(cloud);
                entities.PushBack(material);
                cloud->SelectInEntities(entities, s, replace);
            } else {
                cloud->SelectInGroup(group, s, replace);
            }
            break;
        }
        default: {
            QxRect view;
            static_cast<RCKRenderContext*>(rc)->GetViewRect(view);
            const Qx2DVector screen(view.left + (view.right - view.left) * in.U8() / 255.0f,
                                    view.top + (view.bottom - view.top) * in.U8() / 255.0f);
            cloud->SetPickingRadius(extent * in.U8() / 512.0f);
            cloud->SelectByRay(rc, screen, s, replace);
            break;
        }
        }
    }
    const uint8_t draw = in.U8();
    s->SetDrawMode(draw % 3);
    s->SetVisible((draw & 4) == 0);
    s->SetLit((draw & 8) != 0);
    if (draw & 16)
        s->SetMaterial(material);
    s->UseMaterialColor((draw & 32) != 0);
    if (draw & 64)
        s->SetMesh(cube->GetCurrentMesh());
    if (draw & 128)
        cloud->DeleteSelection(s);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1 << 20))
        return 0;
    const uint8_t control = data[0];
    size_t sceneSize = 0;
    if (control & 4) {
        sceneSize = size > 1 ? data[1] : 0;
        if (size < 2 + sceneSize)
            return 0;
    }
    const uint8_t* sceneBytes = data + ((control & 4) ? 2 : 1);
    const uint8_t* chunkBytes = sceneBytes + sceneSize;
    const int chunkSize = (int) (size - (size_t) (chunkBytes - data));
    FuzzStartRenderEngine();
    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr, nullptr) != 0 || !context)
        return 0;
    auto* cloud = static_cast<RCK3dPointCloud*>(context->CreateObject(CKCID_3DPOINTCLOUD, "cloud"));
    CKObject* records[] = {context->CreateObject(CKCID_MATERIAL, "material"),
                           context->CreateObject(CKCID_MESH, "mesh")};
    CKFile* file = context->CreateCKFile();
    for (CKObject* o : records) {
        const int index = file->AddObjectRecord(o->GetID(), o->GetClassID());
        file->m_FileObjects[index].m_CreatedObject = o->GetID();
    }
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_3DPOINTCLOUD, file);
    if (chunk->ConvertFromBuffer(chunkBytes, chunkSize))
        cloud->Load(chunk, (control & 1) ? file : nullptr);
    CKDeleteStateChunk(chunk);

    CloudIterator* it = cloud->GetIterator();
    for (int i = 0; i < 100000 && it->NextPoint(); ++i) {
        QxVector p;
        it->GetPointPositionInFile(&p);
        cloud->GetPointColor((int) it->GetPointIndex());
    }
    CloudSelection* selection = cloud->CreateSelection("fuzz", 1000);
    cloud->SelectInBox(cloud->GetBoundingBox(TRUE), selection);
    cloud->SelectInSphere(cloud->GetBoxMin(), 1.0f, selection, FALSE);
    const QxVector start = cloud->GetBoxMin() - QxVector(1, 1, 1), end = start + cloud->GetBoxSize() * 2.0f;
    cloud->RayIntersection(&start, &end, nullptr, cloud, 0);

    QxIntRect rect{0, 0, 64, 48};
    CKRenderContext* rc = context->GetRenderManager()->CreateRenderContext(nullptr, 0, &rect);
    if (rc) {
        cloud->SetCurrentLevel((control & 2) ? 3 : 0);
        // The last scene byte: bit 0 lets the render test the frustum, bit 1
        // moves the cloud between the frames (its positions filled again),
        // bit 2 has the render gather the cloud's extents on the screen.
        uint8_t frames = 0;
        if (control & 4) {
            Scene in(sceneBytes, sceneSize);
            auto* material = static_cast<CKMaterial*>(records[0]);
            SetUpDrawing(in, cloud, material, rc, context);
            CK3dEntity* cube = CreateCubeEntity(context);
            auto* group = static_cast<CKGroup*>(context->CreateObject(CKCID_GROUP, "group"));
            group->AddObject(cube);
            group->AddObject(material);
            for (int n = 1 + in.Below(4); n > 0; --n)
                Select(in, cloud, rc, cube, group, material);
            frames = in.U8();
        }
        for (int frame = 0; frame < 2; ++frame) {
            if (!(frames & 1))
                cloud->ModifyMoveableFlags(CK_3DENTITY_FRUSTUMTESTED, 0);
            if (frame == 1 && (frames & 2)) {
                const QxVector moved = cloud->GetBoxMin() + cloud->GetBoxSize() * 0.5f;
                cloud->SetPositionAndBox(&moved);
            }
            cloud->Render(rc, (frames & 4) ? 1 : 0);
        }
    }
    CKStateChunk* saved = cloud->Save(nullptr, 0xFFFFFFFF);
    if (saved)
        saved->ConvertToBuffer(nullptr);
    CKDeleteStateChunk(saved);
    context->DeleteCKFile(file);
    CKCloseContext(context);
    return 0;
}
