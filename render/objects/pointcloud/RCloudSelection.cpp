#include "render/objects/pointcloud/RCloudSelection.h"

#include <cstring>

#include "core/context/CKContext.h"
#include "render/context/RCKRenderManager.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"

RCloudSelection::RCloudSelection(RCK3dPointCloud* cloud, int capacity, const char* name)
    : m_Name(name), m_Capacity(capacity < 0 ? 0 : capacity), m_Cloud(cloud)
{}

RCloudSelection::~RCloudSelection()
{
    ReleaseVertexBuffers();
}

void RCloudSelection::ReleaseVertexBuffers()
{
    CKContext* context = m_Cloud ? m_Cloud->GetCKContext() : nullptr;
    RCKRenderManager* manager = context ? static_cast<RCKRenderManager*>(context->GetRenderManager()) : nullptr;
    if (manager)
        for (CKDWORD index : m_VertexBuffers)
            if (index)
                manager->ReleaseObjectIndex(index, CKRST_OBJ_VERTEXBUFFER);
    m_VertexBuffers.Clear();
    m_Flags &= ~CLOUD_SELECTION_UPTODATE;
}

void RCloudSelection::SetMaterial(CKMaterial* material)
{
    if (material != m_Material && (m_Flags & CLOUD_SELECTION_MATERIALCOLOR))
        m_Flags &= ~CLOUD_SELECTION_UPTODATE;
    m_Material = material;
}

CKBOOL RCloudSelection::UseMaterialColor(CKBOOL use)
{
    const CKBOOL old = IsUsingMaterialColor();
    if ((use ? TRUE : FALSE) != old && m_Material)
        m_Flags &= ~CLOUD_SELECTION_UPTODATE;
    SetFlag(CLOUD_SELECTION_MATERIALCOLOR, use);
    return old;
}

CloudSelectionEntry* RCloudSelection::GetEntry(int index)
{
    return index >= 0 && index < (int) m_Entries.size() ? &m_Entries[index] : nullptr;
}

CKDWORD RCloudSelection::GetEntryPointIndex(int index)
{
    return index >= 0 && index < (int) m_Entries.size() ? m_Entries[index].PointIndex : 0;
}

void RCloudSelection::SetDrawMode(int mode)
{
    m_Flags = (m_Flags & ~CLOUD_SELECTION_DRAWMODEMASK) | ((CKDWORD) mode & CLOUD_SELECTION_DRAWMODEMASK);
}

// A query that repeats the last shape keeps the entries it finds there;
// once they are gone (a reset) or were gathered under another capacity,
// the same shape must be searched again.
void RCloudSelection::Reset()
{
    m_Entries.clear();
    m_Flags &= ~CLOUD_SELECTION_UPTODATE;
    ForgetShapes();
}

void RCloudSelection::SetCapacity(int capacity)
{
    capacity = capacity < 0 ? 0 : capacity;
    if (capacity != m_Capacity)
        ForgetShapes();
    m_Capacity = capacity;
}

CKBOOL RCloudSelection::Prepare(int kind, const float* shape, int floatCount, CKBOOL replace)
{
    const int n = floatCount < kShapeFloats ? floatCount : kShapeFloats;
    if (replace && shape && m_Kind == kind && m_ShapeKept[kind] &&
        std::memcmp(m_Shapes[kind], shape, n * sizeof(float)) == 0)
        return FALSE;
    m_Kind = kind;
    if (replace)
        m_Entries.clear();
    m_Flags &= ~CLOUD_SELECTION_UPTODATE;
    if (shape) {
        std::memcpy(m_Shapes[kind], shape, n * sizeof(float));
        m_ShapeKept[kind] = true;
    }
    return TRUE;
}

void RCloudSelection::CheckPreDeletion()
{
    if (m_Material && m_Material->IsToBeDeleted())
        m_Material = nullptr;
    if (m_Mesh && m_Mesh->IsToBeDeleted())
        m_Mesh = nullptr;
}
