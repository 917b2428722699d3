// "Set Face Count", "Set Vertex Count", "Set Face Properties" and "Set Vertex
// Properties": a mesh's size, or one element's data.
#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "lod/blocks/BlockParameters.h"
#include "lod/blocks/MeshBlockSupport.h"
#include "lod/blocks/MeshBlocks.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "system/math/Qx2DVector.h"
#include "system/math/QxColor.h"
#include "system/math/QxFloatToInt.h"

namespace {

// The common steps: In off, Out on, the target mesh (null when missing).
CKMesh* BeginBasic(CKBehavior* behavior)
{
    PassThrough(behavior);
    CKObject* target = behavior->GetTarget();
    return CKIsChildClassOfObject(target, CKCID_MESH) ? static_cast<CKMesh*>(target) : nullptr;
}

} // namespace

int SetFaceCount(const CKBehaviorContext& context)
{
    CKMesh* mesh = BeginBasic(context.Behavior);
    if (!mesh)
        return CKBR_OWNERERROR;
    int count = 100;
    ReadInputParameter(context.Behavior, 0, count);
    if (count < 0 || !mesh->SetFaceCount(count))
        return CKBR_PARAMETERERROR;
    return CKBR_OK;
}

int SetVertexCount(const CKBehaviorContext& context)
{
    CKMesh* mesh = BeginBasic(context.Behavior);
    if (!mesh)
        return CKBR_OWNERERROR;
    int count = 100;
    ReadInputParameter(context.Behavior, 0, count);
    if (count < 0)
        return CKBR_PARAMETERERROR;
    mesh->SetVertexCount(count);
    return CKBR_OK;
}

int SetFaceProperties(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CKMesh* mesh = BeginBasic(behavior);
    if (!mesh)
        return CKBR_OWNERERROR;
    int face = 0;
    ReadInputParameter(behavior, 0, face);
    if (face < 0 || face >= mesh->GetFaceCount())
        return CKBR_PARAMETERERROR;
    CK_ID id = 0;
    if (ReadInputParameter(behavior, 1, id)) {
        CKObject* object = context.Context ? context.Context->GetObject(id) : nullptr;
        auto* material = CKIsChildClassOfObject(object, CKCID_MATERIAL) ? static_cast<CKMaterial*>(object) : nullptr;
        mesh->SetFaceMaterial(face, material);
    }
    QxVector corners(0.0f, 0.0f, 0.0f);
    if (!ReadInputParameter(behavior, 2, corners))
        return CKBR_OK;
    // The mesh refuses corners that name no vertex.
    if (mesh->SetFaceVertexIndex(face, QxTruncToInt(corners.x), QxTruncToInt(corners.y), QxTruncToInt(corners.z)) !=
        CKErr::Ok)
        return CKBR_PARAMETERERROR;
    mesh->ModifierVertexMove(FALSE, TRUE);
    return CKBR_OK;
}

int SetVertexProperties(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CKMesh* mesh = BeginBasic(behavior);
    if (!mesh)
        return CKBR_OWNERERROR;
    int vertex = 0;
    ReadInputParameter(behavior, 0, vertex);
    if (vertex < 0 || vertex >= mesh->GetVertexCount())
        return CKBR_PARAMETERERROR;
    QxVector position;
    if (ReadInputParameter(behavior, 1, position))
        mesh->SetVertexPosition(vertex, position);
    if (mesh->GetLitMode() == 0) {
        QxColor color;
        if (ReadInputParameter(behavior, 3, color))
            mesh->SetVertexColor(vertex, color.GetARGB());
        if (ReadInputParameter(behavior, 4, color))
            mesh->SetVertexSpecularColor(vertex, color.GetARGB());
    } else {
        QxVector normal;
        if (ReadInputParameter(behavior, 2, normal))
            mesh->SetVertexNormal(vertex, normal);
    }
    Qx2DVector uv;
    if (!ReadInputParameter(behavior, 5, uv))
        return CKBR_OK;
    int channel = -1;
    ReadInputParameter(behavior, 6, channel);
    if (channel < -1 || channel >= mesh->GetChannelCount())
        return CKBR_PARAMETERERROR;
    mesh->SetVertexTextureCoordinates(vertex, uv.x, uv.y, channel);
    return CKBR_OK;
}
