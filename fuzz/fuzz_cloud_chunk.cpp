// Loads arbitrary bytes as a point cloud's state chunk, then uses what was
// loaded the way a scene would: walks it with the iterator, selects, picks,
// draws it twice through the NULL rasterizer (levels, groups, buffers) and
// saves it again.
//
// Input: a control byte (bit 0: the chunk is bound to a file of two
// records, a material and a mesh, and the load is told of it; bit 1: draw
// at level 3), then a serialised state chunk.

#include <cstddef>
#include <cstdint>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKRenderManager.h"
#include "core/file/CKFile.h"
#include "fuzz/FuzzRenderEngine.h"
#include "render/context/RCKRenderContext.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1 << 20))
        return 0;
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
    if (chunk->ConvertFromBuffer(data + 1, (int) size - 1))
        cloud->Load(chunk, (data[0] & 1) ? file : nullptr);
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
        cloud->SetCurrentLevel((data[0] & 2) ? 3 : 0);
        for (int frame = 0; frame < 2; ++frame) {
            cloud->ModifyMoveableFlags(CK_3DENTITY_FRUSTUMTESTED, 0);
            cloud->Render(rc, 0);
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
