// "Skin Join": before each drawing, every vertex of the join's mesh is put
// on the vertex of a joined object that lay closest to it when the
// correspondence was computed.
#include <cstdint>
#include <vector>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/XObjectArray.h"
#include "core/parameter/CKOwnedValue.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/scene/CKScene.h"
#include "includes/CKByteOrder.h"
#include "includes/XString.h"
#include "lod/blocks/BlockParameters.h"
#include "lod/blocks/MeshBlockSupport.h"
#include "lod/blocks/MeshBlocks.h"
#include "lod/blocks/NearestPointSearch.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "system/math/QxMatrix.h"

namespace {

// Locals.
constexpr int kJoinedObjects = 0;
constexpr int kCorrespondance = 1;
constexpr int kIsJoining = 2;
constexpr int kScratch = 3;

// A scratch record: the matrix from the joined object's space to the
// join's, then the id of its current mesh (0 for none) where the record
// once held a pointer, so that the size stays and saved bytes do not vary.
constexpr int kScratchRecord = 68;
// The best squared distance a search starts from.
constexpr float kFarAway = 66666664.0f;

XObjectArray* JoinedObjects(CKBehavior* behavior)
{
    CKParameterLocal* local = behavior->GetLocalParameter(kJoinedObjects);
    if (!local || local->GetGUID() != CKPGUID_OBJECTARRAY)
        return nullptr;
    return CKGetOwnedValue<XObjectArray>(local);
}

CK3dEntity* EntityOf(CKContext* context, CK_ID id)
{
    CKObject* object = context->GetObject(id);
    return CKIsChildClassOfObject(object, CKCID_3DENTITY) ? static_cast<CK3dEntity*>(object) : nullptr;
}

void SetJoining(CKBehavior* behavior, CKBOOL joining)
{
    behavior->SetLocalParameterValue(kIsJoining, &joining, (int) sizeof joining);
}

CKBOOL IsJoining(CKBehavior* behavior)
{
    CKBOOL joining = FALSE;
    ReadLocalParameter(behavior, kIsJoining, joining);
    return joining;
}

// Sizes a Buffer local to exactly size bytes (none for 0) and gives its
// bytes; null when it cannot be sized.
CKBYTE* SizeBuffer(CKBehavior* behavior, int local, int size)
{
    CKParameterLocal* buffer = behavior->GetLocalParameter(local);
    if (!buffer || size <= 0 || CKIsPointerParameterType(buffer->GetTypeDesc()))
        return nullptr;
    if (buffer->GetDataSize() != size && buffer->SetValue(nullptr, size) != CKErr::Ok)
        return nullptr;
    return buffer->GetDataSize() == size ? static_cast<CKBYTE*>(buffer->GetWriteDataPtr()) : nullptr;
}

CKBOOL JoinPreRender(CKRenderContext* context, CKRenderObject* object, void* argument);

// The callback's argument names the behaviour by id: a behaviour deleted
// while the callback stays behind is then simply not found.
void* CallbackArgument(CKBehavior* behavior)
{
    return reinterpret_cast<void*>((uintptr_t) behavior->GetID());
}

void AddJoinCallback(CKBehavior* behavior, CK3dEntity* owner)
{
    owner->AddPreRenderCallBack(&JoinPreRender, CallbackArgument(behavior), FALSE, FALSE);
}

void RemoveJoinCallback(CKBehavior* behavior, CK3dEntity* owner)
{
    owner->RemovePreRenderCallBack(&JoinPreRender, CallbackArgument(behavior));
}

CKBOOL JoinPreRender(CKRenderContext*, CKRenderObject* object, void* argument)
{
    if (!CKIsChildClassOfObject(object, CKCID_3DENTITY))
        return FALSE;
    auto* owner = static_cast<CK3dEntity*>(object);
    CKContext* context = owner->GetCKContext();
    CKObject* found = context->GetObject((CK_ID) (uintptr_t) argument);
    if (!found || found->GetClassID() != CKCID_BEHAVIOR)
        return FALSE;
    auto* behavior = static_cast<CKBehavior*>(found);
    CKMesh* mesh = owner->GetCurrentMesh();
    XObjectArray* joined = JoinedObjects(behavior);
    if (!mesh || !joined)
        return FALSE;
    const QxMatrix& inverseOwner = owner->GetInverseWorldMatrix();

    const int count = joined->Size();
    std::vector<QxMatrix> matrices((size_t) count);
    std::vector<CKMesh*> meshes((size_t) count, nullptr);
    CKBYTE* scratch = SizeBuffer(behavior, kScratch, kScratchRecord * count);
    for (int i = 0; i < count; ++i) {
        CK3dEntity* entity = EntityOf(context, joined->GetObjectID(i));
        QxMatrix& m = matrices[(size_t) i];
        if (entity) {
            m = entity->GetWorldMatrix();
            meshes[(size_t) i] = entity->GetCurrentMesh();
        }
        QxMultiplyMatrix(m, inverseOwner, m);
        if (scratch) {
            CKBYTE* record = scratch + (size_t) kScratchRecord * i;
            for (int r = 0; r < 4; ++r)
                for (int c = 0; c < 4; ++c)
                    StoreLEFloat(record + 16 * r + 4 * c, m[r][c]);
            StoreLE32(record + 64, meshes[(size_t) i] ? meshes[(size_t) i]->GetID() : 0);
        }
    }

    int recordBytes = 0;
    const CKBYTE* records = LocalBuffer(behavior, kCorrespondance, recordBytes);
    const int recordCount = recordBytes / 8;
    VectorSpan positions = MeshPositions(mesh);
    VectorSpan normals = MeshNormals(mesh);
    const int vertices = recordCount < positions.Count ? recordCount : positions.Count;
    for (int v = 0; v < vertices; ++v) {
        const int n = (int) LoadLE32(records + 8 * v);
        const int partner = (int) LoadLE32(records + 8 * v + 4);
        // Records that no longer fit the objects or their meshes are left out.
        if (n < 0 || n >= count || !meshes[(size_t) n] || partner < 0 ||
            partner >= meshes[(size_t) n]->GetVertexCount())
            continue;
        CKMesh* source = meshes[(size_t) n];
        const QxMatrix& m = matrices[(size_t) n];
        QxVector p;
        QxVector normal;
        source->GetVertexPosition(partner, &p);
        source->GetVertexNormal(partner, &normal);
        QxVector moved;
        QxVector tip;
        QxMultiplyMatrixVector(moved, m, p);
        QxMultiplyMatrixVector(tip, m, p + normal);
        positions[v] = moved;
        if (v < normals.Count) {
            QxVector n2 = tip - moved;
            n2.Normalize();
            normals[v] = n2;
        }
    }
    mesh->BuildFaceNormals();
    mesh->VertexMove();
    owner->SetBoundingBox(nullptr, FALSE);
    return TRUE;
}

// The world positions of every joined object's vertices, with the number
// of the object and the vertex each comes from.
struct PointCloud
{
    std::vector<QxVector> Points;
    std::vector<int> Objects;
    std::vector<int> Vertices;
};

PointCloud GatherPoints(CKContext* context, const XObjectArray& joined)
{
    PointCloud cloud;
    size_t total = 0;
    for (int n = 0; n < joined.Size(); ++n)
        if (CK3dEntity* entity = EntityOf(context, joined.GetObjectID(n)))
            if (CKMesh* mesh = entity->GetCurrentMesh())
                total += (size_t) mesh->GetVertexCount();
    cloud.Points.reserve(total);
    cloud.Objects.reserve(total);
    cloud.Vertices.reserve(total);
    for (int n = 0; n < joined.Size(); ++n) {
        CK3dEntity* entity = EntityOf(context, joined.GetObjectID(n));
        CKMesh* mesh = entity ? entity->GetCurrentMesh() : nullptr;
        VectorSpan positions = MeshPositions(mesh);
        const QxMatrix& world = entity ? entity->GetWorldMatrix() : QxMatrix::Identity();
        for (int v = 0; v < positions.Count; ++v) {
            QxVector p;
            QxMultiplyMatrixVector(p, world, positions[v]);
            cloud.Points.push_back(p);
            cloud.Objects.push_back(n);
            cloud.Vertices.push_back(v);
        }
    }
    return cloud;
}

void ComputeCorrespondence(CKBehavior* behavior)
{
    CKContext* context = behavior->GetCKContext();
    const CKGUID objectType = CKGetClassParameterGuid(CKCID_3DOBJECT);
    const CKGUID entityType = CKGetClassParameterGuid(CKCID_3DENTITY);
    for (int i = 1; i < behavior->GetInputParameterCount(); ++i) {
        CKParameterIn* in = behavior->GetInputParameter(i);
        if (!in || in->GetGUID() == objectType || in->GetGUID() == entityType)
            continue;
        XString name;
        name.Format("Object %d", i);
        in->SetGUID(objectType, TRUE, name.CStr());
    }
    XObjectArray* joined = JoinedObjects(behavior);
    if (!joined)
        return;
    joined->Free();
    for (int i = 1; i < behavior->GetInputParameterCount(); ++i)
        if (CKObject* object = InputObjectOfClass(behavior, i, CKCID_3DENTITY))
            joined->PushBack(object->GetID());

    CK3dEntity* owner = OwnerEntity(behavior);
    CKMesh* mesh = owner ? owner->GetCurrentMesh() : nullptr;
    VectorSpan ownerPositions = MeshPositions(mesh);
    if (mesh && ownerPositions.Count > 0) {
        const PointCloud cloud = GatherPoints(context, *joined);
        std::vector<QxVector> queries((size_t) ownerPositions.Count);
        const QxMatrix& world = owner->GetWorldMatrix();
        for (int v = 0; v < ownerPositions.Count; ++v)
            QxMultiplyMatrixVector(queries[(size_t) v], world, ownerPositions[v]);
        float threshold = 0.2f;
        ReadInputParameter(behavior, 0, threshold);
        float limit = threshold * threshold;
        if (!(limit < kFarAway))
            limit = kFarAway;
        std::vector<int> nearest(queries.size());
        FindNearestPoints(nearest.data(), queries.data(), (int) queries.size(), cloud.Points.data(),
                          (int) cloud.Points.size(), limit);
        if (CKBYTE* out = SizeBuffer(behavior, kCorrespondance, 8 * ownerPositions.Count)) {
            for (size_t v = 0; v < nearest.size(); ++v) {
                const int p = nearest[v];
                StoreLE32(out + 8 * v, (CKDWORD) (p >= 0 ? cloud.Objects[(size_t) p] : -1));
                StoreLE32(out + 8 * v + 4, (CKDWORD) (p >= 0 ? cloud.Vertices[(size_t) p] : -1));
            }
        }
    }
    if (CKBYTE* scratch = SizeBuffer(behavior, kScratch, kScratchRecord * joined->Size()))
        for (int i = 0; i < kScratchRecord * joined->Size(); ++i)
            scratch[i] = 0;
}

} // namespace

int SkinJoin(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CK3dEntity* owner = OwnerEntity(behavior);
    if (!owner)
        return CKBR_OK;
    if (behavior->IsInputActive(0)) {
        behavior->ActivateInput(0, FALSE);
        SetJoining(behavior, TRUE);
        AddJoinCallback(behavior, owner);
    }
    if (behavior->IsInputActive(1)) {
        behavior->ActivateInput(1, FALSE);
        RemoveJoinCallback(behavior, owner);
        SetJoining(behavior, FALSE);
        return CKBR_OK;
    }
    XObjectArray* joined = JoinedObjects(behavior);
    if (owner->IsAllOutsideFrustrum() && joined && joined->Size() > 0) {
        // The join stays drawn while one joined object is in view.
        for (int i = 0; i < joined->Size(); ++i) {
            CK3dEntity* entity =
                EntityOf(context.Context ? context.Context : behavior->GetCKContext(), joined->GetObjectID(i));
            if (entity && !entity->IsAllOutsideFrustrum()) {
                const QxBbox box = entity->GetBoundingBox(FALSE);
                owner->SetBoundingBox(&box, FALSE);
                break;
            }
        }
    }
    return CKBR_ACTIVATENEXTFRAME;
}

CKERROR SkinJoinCallback(const CKBehaviorContext& context)
{
    CKBehavior* behavior = context.Behavior;
    CK3dEntity* owner = OwnerEntity(behavior);
    switch (context.CallbackMessage) {
    case CKM_BEHAVIORATTACH: SetJoining(behavior, FALSE); break;
    case CKM_BEHAVIORDELETE:
    case CKM_BEHAVIORDETACH:
    case CKM_BEHAVIORRESET:
        // A deleted behaviour leaves no callback behind either, whatever its
        // flag reads (a file may have made it unreadable).
        if (owner) {
            SetJoining(behavior, FALSE);
            RemoveJoinCallback(behavior, owner);
        }
        break;
    case CKM_BEHAVIORPAUSE:
    case CKM_BEHAVIORDEACTIVATESCRIPT:
        if (owner && IsJoining(behavior))
            RemoveJoinCallback(behavior, owner);
        break;
    case CKM_BEHAVIORRESUME:
    case CKM_BEHAVIORACTIVATESCRIPT:
        if (owner && IsJoining(behavior))
            AddJoinCallback(behavior, owner);
        break;
    case CKM_BEHAVIOREDITED: ComputeCorrespondence(behavior); break;
    case CKM_BEHAVIORNEWSCENE:
        if (owner && IsJoining(behavior)) {
            if (behavior->IsActiveInScene(RestoreScene(context)))
                AddJoinCallback(behavior, owner);
            else
                RemoveJoinCallback(behavior, owner);
        }
        break;
    default: break;
    }
    return CKErr::Ok;
}
