// The 3D entity's matrices: the updates that keep local, world and the
// sub-tree consistent, and the placement operations built on them.
#include <cmath>

#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/SceneGraphNode.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/RCK3dEntity.h"
#include "system/math/QxComposeMatrix.h"
#include "system/math/QxMatrixRotation.h"
#include "system/math/QxTransformPoints.h"

namespace {

// Below this an angle or a length counts as zero.
constexpr float kEpsilon = 1.1920929e-7f;
// What a zero scale factor or axis component becomes, so that the matrix
// stays invertible.
constexpr float kTiny = 1e-7f;

QxVector Row(const QxMatrix& m, int i)
{
    return QxVector(m[i][0], m[i][1], m[i][2]);
}

void SetRow(QxMatrix& m, int i, const QxVector& v)
{
    m[i][0] = v.x;
    m[i][1] = v.y;
    m[i][2] = v.z;
}

float NonZero(float f)
{
    return f == 0.0f ? kTiny : f;
}

// The axis scaled to the length; a zero axis becomes the unit axis i.
QxVector ScaledAxis(const QxVector& axis, int i, float length)
{
    float magnitude = QxMagnitude(axis);
    if (magnitude == 0.0f) {
        QxVector unit;
        unit[i] = 1.0f;
        return unit * length;
    }
    return axis * (length / magnitude);
}

// The engine version word (0xDDMMYYYY) as a comparable date 0xYYYYMMDD.
CKDWORD VersionDate(CKDWORD version)
{
    return ((version & 0xFFFF) << 16) | (((version >> 16) & 0xFF) << 8) | (version >> 24);
}

// Since 7 March 2008 an entity looking straight up or down turns too. A
// context that loaded no file runs the current behaviour.
bool LooksVertically()
{
    CKDWORD version = CKGetLoadedFileEngineVersion();
    return version == 0 || VersionDate(version) >= 0x20080307u;
}

} // namespace

// Updates.

void RCK3dEntity::InvalidateNode(CKBOOL invalidateParents)
{
    if (!m_SceneGraphNode)
        return;
    if (invalidateParents)
        m_SceneGraphNode->InvalidateBox();
    else
        m_SceneGraphNode->ModifyFlags(0, CK_SCENEGRAPH_BOXVALID | CK_SCENEGRAPH_HBOXVALID);
}

void RCK3dEntity::MarkMoved(RCKRenderManager* manager)
{
    if (!(m_MoveableFlags & CK_3DENTITY_INMOVEDLIST)) {
        m_MoveableFlags |= CK_3DENTITY_INMOVEDLIST;
        if (manager)
            manager->AddMovedEntity(this);
    } else {
        m_MoveableFlags &= ~CK_3DENTITY_NOTMOVED;
    }
}

const QxMatrix& RCK3dEntity::ParentWorldMatrix() const
{
    return m_Parent ? m_Parent->m_WorldMatrix : QxMatrix::Identity();
}

void RCK3dEntity::WorldMatrixChanged(CKBOOL keepChildren, CKBOOL invalidateParents)
{
    InvalidateNode(invalidateParents);
    m_MoveableFlags &= ~(CK_3DENTITY_BOXUPTODATE | CK_3DENTITY_WORLDIDENTITY | CK_3DENTITY_INVERSEVALID);
    MarkMoved(RenderManager());
    if (m_Parent)
        QxMultiplyMatrix(m_LocalMatrix, m_Parent->GetInverseWorldMatrix(), m_WorldMatrix);
    else
        m_LocalMatrix = m_WorldMatrix;
    UpdateChildren(keepChildren);
}

void RCK3dEntity::LocalMatrixChanged(CKBOOL keepChildren, CKBOOL invalidateParents)
{
    InvalidateNode(invalidateParents);
    m_MoveableFlags &= ~(CK_3DENTITY_BOXUPTODATE | CK_3DENTITY_WORLDIDENTITY | CK_3DENTITY_INVERSEVALID);
    MarkMoved(RenderManager());
    if (m_Parent)
        QxMultiplyMatrix(m_WorldMatrix, m_Parent->m_WorldMatrix, m_LocalMatrix);
    else
        m_WorldMatrix = m_LocalMatrix;
    UpdateChildren(keepChildren);
}

void RCK3dEntity::WorldPositionChanged(CKBOOL keepChildren, CKBOOL invalidateParents)
{
    InvalidateNode(invalidateParents);
    // The axes did not change: a valid inverse only needs its translation.
    m_MoveableFlags &= ~(CK_3DENTITY_BOXUPTODATE | CK_3DENTITY_WORLDIDENTITY);
    MarkMoved(RenderManager());
    if (m_Parent)
        QxMultiplyMatrix(m_LocalMatrix, m_Parent->GetInverseWorldMatrix(), m_WorldMatrix);
    else
        m_LocalMatrix = m_WorldMatrix;
    if (m_MoveableFlags & CK_3DENTITY_INVERSEVALID) {
        QxMatrix& inv = m_InverseWorldMatrix;
        const float* p = m_WorldMatrix[3];
        for (int j = 0; j < 3; ++j)
            inv[3][j] = -(p[0] * inv[0][j] + p[1] * inv[1][j] + p[2] * inv[2][j]);
    }
    UpdateChildren(keepChildren);
}

void RCK3dEntity::Prefetch(const RCK3dEntity* e)
{
    __builtin_prefetch(&e->m_MoveableFlags);
    __builtin_prefetch(&e->m_LocalMatrix);
    __builtin_prefetch(&e->m_WorldMatrix, 1);
    __builtin_prefetch(reinterpret_cast<const char*>(&e->m_WorldMatrix) + sizeof(QxMatrix) - 1, 1);
}

void RCK3dEntity::UpdateChildren(CKBOOL keepChildren)
{
    if (m_Children.Size() == 0)
        return;
    if (keepChildren) {
        const QxMatrix& inverse = GetInverseWorldMatrix();
        for (RCK3dEntity* child : m_Children)
            if (!(child->m_MoveableFlags & CK_3DENTITY_IGNOREPARENT))
                QxMultiplyMatrix(child->m_LocalMatrix, inverse, child->m_WorldMatrix);
        return;
    }
    // The sub-tree follows, level by level (a parent before its children),
    // without recursion: hierarchies read from files may be deep. A large
    // sub-tree does not fit in the cache and the update waits on memory:
    // the entities some places ahead are fetched while one is computed, then
    // their nodes and children, once the entities are there.
    RCKRenderManager* manager = RenderManager();
    XArray<RCK3dEntity*> pending;
    pending.Reserve(16);
    for (RCK3dEntity* child : m_Children)
        pending.PushBack(child);
    for (int i = 0; i < pending.Size(); ++i) {
        RCK3dEntity* const* next = pending.Begin() + i;
        RCK3dEntity* e = *next;
        const int ahead = pending.Size() - 1 - i;
        if (ahead >= 32)
            Prefetch(next[32]);
        if (ahead >= 16) {
            __builtin_prefetch(next[16]->m_SceneGraphNode, 1);
            __builtin_prefetch(next[16]->m_Children.Begin());
        }
        if (e->m_MoveableFlags & CK_3DENTITY_IGNOREPARENT)
            continue;
        if (e->m_SceneGraphNode)
            e->m_SceneGraphNode->ModifyFlags(0, CK_SCENEGRAPH_BOXVALID | CK_SCENEGRAPH_HBOXVALID);
        e->m_MoveableFlags &= ~(CK_3DENTITY_BOXUPTODATE | CK_3DENTITY_WORLDIDENTITY | CK_3DENTITY_INVERSEVALID);
        e->MarkMoved(manager);
        QxMultiplyMatrix(e->m_WorldMatrix, e->m_Parent->m_WorldMatrix, e->m_LocalMatrix);
        for (RCK3dEntity* child : e->m_Children)
            pending.PushBack(child);
    }
}

// Matrices.

void RCK3dEntity::SetLocalMatrix(const QxMatrix& matrix, CKBOOL keepChildren)
{
    m_LocalMatrix = matrix;
    LocalMatrixChanged(keepChildren, TRUE);
}

void RCK3dEntity::SetWorldMatrix(const QxMatrix& matrix, CKBOOL keepChildren)
{
    m_WorldMatrix = matrix;
    WorldMatrixChanged(keepChildren, TRUE);
}

const QxMatrix& RCK3dEntity::GetInverseWorldMatrix()
{
    if (!(m_MoveableFlags & CK_3DENTITY_INVERSEVALID)) {
        // A singular matrix has no inverse: the identity stands for it.
        if (!QxInverseMatrix(m_InverseWorldMatrix, m_WorldMatrix))
            m_InverseWorldMatrix.SetIdentity();
        m_MoveableFlags |= CK_3DENTITY_INVERSEVALID;
    }
    return m_InverseWorldMatrix;
}

void RCK3dEntity::Transform(QxVector* out, const QxVector* point, CK3dEntity* referential)
{
    QxVector world;
    QxMultiplyMatrixVector(world, m_WorldMatrix, *point);
    if (referential)
        QxMultiplyMatrixVector(*out, referential->GetInverseWorldMatrix(), world);
    else
        *out = world;
}

void RCK3dEntity::InverseTransform(QxVector* out, const QxVector* point, CK3dEntity* referential)
{
    QxVector world = *point;
    if (referential)
        QxMultiplyMatrixVector(world, referential->GetWorldMatrix(), *point);
    QxMultiplyMatrixVector(*out, GetInverseWorldMatrix(), world);
}

void RCK3dEntity::TransformVector(QxVector* out, const QxVector* vector, CK3dEntity* referential)
{
    QxVector world;
    QxRotateVector(world, m_WorldMatrix, *vector);
    if (referential)
        QxRotateVector(*out, referential->GetInverseWorldMatrix(), world);
    else
        *out = world;
}

void RCK3dEntity::InverseTransformVector(QxVector* out, const QxVector* vector, CK3dEntity* referential)
{
    QxVector world = *vector;
    if (referential)
        QxRotateVector(world, referential->GetWorldMatrix(), *vector);
    QxRotateVector(*out, GetInverseWorldMatrix(), world);
}

void RCK3dEntity::TransformMany(QxVector* out, const QxVector* points, int count, CK3dEntity* referential)
{
    for (int i = 0; i < count; ++i)
        Transform(&out[i], &points[i], referential);
}

void RCK3dEntity::InverseTransformMany(QxVector* out, const QxVector* points, int count, CK3dEntity* referential)
{
    for (int i = 0; i < count; ++i)
        InverseTransform(&out[i], &points[i], referential);
}

// Placement.

void RCK3dEntity::SetPosition3f(float x, float y, float z, CK3dEntity* referential, CKBOOL keepChildren)
{
    QxVector position(x, y, z);
    SetPosition(&position, referential, keepChildren);
}

void RCK3dEntity::SetPosition(const QxVector* position, CK3dEntity* referential, CKBOOL keepChildren)
{
    QxVector world = *position;
    if (referential)
        QxMultiplyMatrixVector(world, referential->GetWorldMatrix(), *position);
    SetRow(m_WorldMatrix, 3, world);
    WorldPositionChanged(keepChildren, TRUE);
}

void RCK3dEntity::GetPosition(QxVector* position, CK3dEntity* referential)
{
    QxVector world = Row(m_WorldMatrix, 3);
    if (!referential)
        *position = world;
    else if (referential == m_Parent)
        *position = Row(m_LocalMatrix, 3);
    else
        referential->InverseTransform(position, &world, nullptr);
}

void RCK3dEntity::Translate3f(float x, float y, float z, CK3dEntity* referential, CKBOOL keepChildren)
{
    QxVector vector(x, y, z);
    Translate(&vector, referential, keepChildren);
}

void RCK3dEntity::Translate(const QxVector* vector, CK3dEntity* referential, CKBOOL keepChildren)
{
    QxVector move = *vector;
    if (referential)
        QxRotateVector(move, referential->GetWorldMatrix(), *vector);
    SetRow(m_WorldMatrix, 3, Row(m_WorldMatrix, 3) + move);
    WorldPositionChanged(keepChildren, TRUE);
}

void RCK3dEntity::Rotate3f(float x, float y, float z, float angle, CK3dEntity* referential, CKBOOL keepChildren)
{
    QxVector axis(x, y, z);
    Rotate(&axis, angle, referential, keepChildren);
}

void RCK3dEntity::Rotate(const QxVector* axis, float angle, CK3dEntity* referential, CKBOOL keepChildren)
{
    if (std::fabs(angle) <= kEpsilon)
        return;
    QxVector worldAxis = *axis;
    if (referential)
        QxRotateVector(worldAxis, referential->GetWorldMatrix(), *axis);
    QxMatrix rotation;
    QxMatrixFromAxisAngle(rotation, worldAxis, angle);
    // About the axis through the entity's own position.
    QxVector position = Row(m_WorldMatrix, 3);
    SetRow(m_WorldMatrix, 3, QxVector::Zero());
    QxMultiplyMatrix(m_WorldMatrix, rotation, m_WorldMatrix);
    SetRow(m_WorldMatrix, 3, position);
    WorldMatrixChanged(keepChildren, TRUE);
}

void RCK3dEntity::AddScale3f(float x, float y, float z, CKBOOL keepChildren, CKBOOL local)
{
    QxVector scale(x, y, z);
    AddScale(&scale, keepChildren, local);
}

void RCK3dEntity::AddScale(const QxVector* scale, CKBOOL keepChildren, CKBOOL local)
{
    QxMatrix factors = QxMatrix::Identity();
    factors[0][0] = NonZero(scale->x);
    factors[1][1] = NonZero(scale->y);
    factors[2][2] = NonZero(scale->z);
    QxMatrix result;
    QxMultiplyMatrix(result, local ? m_LocalMatrix : m_WorldMatrix, factors);
    if (local)
        SetLocalMatrix(result, keepChildren);
    else
        SetWorldMatrix(result, keepChildren);
}

void RCK3dEntity::SetScale3f(float x, float y, float z, CKBOOL keepChildren, CKBOOL local)
{
    QxVector scale(x, y, z);
    SetScale(&scale, keepChildren, local);
}

void RCK3dEntity::SetScale(const QxVector* scale, CKBOOL keepChildren, CKBOOL local)
{
    QxMatrix& m = local ? m_LocalMatrix : m_WorldMatrix;
    for (int i = 0; i < 3; ++i)
        SetRow(m, i, ScaledAxis(Row(m, i), i, NonZero((*scale)[i])));
    if (local)
        LocalMatrixChanged(keepChildren, TRUE);
    else
        WorldMatrixChanged(keepChildren, TRUE);
}

void RCK3dEntity::GetScale(QxVector* scale, CKBOOL local)
{
    const QxMatrix& m = local ? m_LocalMatrix : m_WorldMatrix;
    *scale = QxVector(QxMagnitude(Row(m, 0)), QxMagnitude(Row(m, 1)), QxMagnitude(Row(m, 2)));
}

void RCK3dEntity::SetOrientation(const QxVector* direction, const QxVector* up, const QxVector* right,
                                 CK3dEntity* referential, CKBOOL keepChildren)
{
    QxVector axes[3] = {QxVector(), *up, *direction}; // right, up, direction
    if (referential) {
        const QxMatrix& frame = referential->GetWorldMatrix();
        QxRotateVector(axes[1], frame, axes[1]);
        QxRotateVector(axes[2], frame, axes[2]);
    }
    if (right) {
        axes[0] = *right;
        if (referential)
            QxRotateVector(axes[0], referential->GetWorldMatrix(), axes[0]);
    } else {
        axes[0] = QxCrossProduct(axes[1], axes[2]);
    }
    QxVector scale;
    GetScale(&scale, FALSE);
    for (int i = 0; i < 3; ++i) {
        QxVector axis = axes[i];
        for (int k = 0; k < 3; ++k)
            axis[k] = NonZero(axis[k]);
        SetRow(m_WorldMatrix, i, ScaledAxis(axis, i, NonZero(scale[i])));
    }
    WorldMatrixChanged(keepChildren, TRUE);
}

void RCK3dEntity::GetOrientation(QxVector* direction, QxVector* up, QxVector* right, CK3dEntity* referential)
{
    QxVector* outs[3] = {right, up, direction};
    for (int i = 0; i < 3; ++i) {
        if (!outs[i])
            continue;
        QxVector axis = Row(m_WorldMatrix, i);
        if (referential)
            QxRotateVector(axis, referential->GetInverseWorldMatrix(), axis);
        *outs[i] = ScaledAxis(axis, i, 1.0f);
    }
}

void RCK3dEntity::SetQuaternion(const QxQuaternion* quaternion, CK3dEntity* referential, CKBOOL keepChildren,
                                CKBOOL keepScale)
{
    QxVector scale;
    if (keepScale)
        GetScale(&scale, TRUE);
    QxVector position = Row(m_WorldMatrix, 3);
    QxMatrix rotation;
    quaternion->ToMatrix(rotation);
    if (referential)
        QxMultiplyMatrix(m_WorldMatrix, referential->GetWorldMatrix(), rotation);
    else
        m_WorldMatrix = rotation;
    SetRow(m_WorldMatrix, 3, position);
    WorldMatrixChanged(keepChildren, TRUE);
    if (keepScale)
        SetScale(&scale, FALSE, TRUE);
}

void RCK3dEntity::GetQuaternion(QxQuaternion* quaternion, CK3dEntity* referential)
{
    QxMatrix m = m_WorldMatrix;
    if (referential)
        QxMultiplyMatrix(m, referential->GetInverseWorldMatrix(), m_WorldMatrix);
    for (int i = 0; i < 3; ++i)
        SetRow(m, i, ScaledAxis(Row(m, i), i, 1.0f));
    QxQuaternionFromMatrix(*quaternion, m);
}

void RCK3dEntity::LookAt(const QxVector* position, CK3dEntity* referential, CKBOOL keepChildren)
{
    QxVector target = *position;
    if (referential)
        referential->Transform(&target, position, nullptr);
    QxVector d = target - Row(m_WorldMatrix, 3);
    float length = QxMagnitude(d);
    if (length < kEpsilon)
        return;
    QxVector currentDirection = Row(m_WorldMatrix, 2);
    QxVector currentUp = Row(m_WorldMatrix, 1);
    QxVector direction = d / length;
    if (QxCrossProduct(d, currentDirection) == QxVector::Zero()) {
        // Already looking there; a target straight behind turns the entity
        // half round its up axis.
        if (QxDotProduct(d, currentDirection) >= 0.0f)
            return;
        QxVector up = ScaledAxis(currentUp, 1, 1.0f);
        QxVector right = -ScaledAxis(Row(m_WorldMatrix, 0), 0, 1.0f);
        SetOrientation(&direction, &up, &right, nullptr, keepChildren);
        return;
    }
    QxVector right = QxCrossProduct(QxVector::AxisY(), direction);
    QxVector up = QxCrossProduct(direction, right);
    if (up.y != 0.0f) {
        if (QxDotProduct(up, currentUp) < 0.0f) {
            right = -right;
            up = -up;
        }
        SetOrientation(&direction, &up, &right, nullptr, keepChildren);
        return;
    }
    // Looking straight up or down.
    if (!LooksVertically())
        return;
    right = QxCrossProduct(currentUp, direction);
    up = QxCrossProduct(direction, right);
    if (QxSquareMagnitude(up) < 0.1f) {
        right = QxCrossProduct(QxVector::AxisZ(), direction);
        up = QxCrossProduct(direction, right);
    }
    SetOrientation(&direction, &up, &right, nullptr, keepChildren);
}

CKBOOL RCK3dEntity::ConstructWorldMatrix(const QxVector* position, const QxVector* scale,
                                         const QxQuaternion* quaternion)
{
    if (!position || !scale || !quaternion)
        return FALSE;
    QxComposeMatrix(m_WorldMatrix, *position, *scale, *quaternion);
    WorldMatrixChanged(FALSE, TRUE);
    return TRUE;
}

CKBOOL RCK3dEntity::ConstructWorldMatrixEx(const QxVector* position, const QxVector* scale,
                                           const QxQuaternion* quaternion, const QxQuaternion* shear, float sign)
{
    if (!position || !scale || !quaternion || !shear)
        return FALSE;
    QxComposeMatrixEx(m_WorldMatrix, *position, *scale, *quaternion, *shear, sign);
    WorldMatrixChanged(FALSE, TRUE);
    return TRUE;
}

CKBOOL RCK3dEntity::ConstructLocalMatrix(const QxVector* position, const QxVector* scale,
                                         const QxQuaternion* quaternion)
{
    if (!position || !scale || !quaternion)
        return FALSE;
    QxComposeMatrix(m_LocalMatrix, *position, *scale, *quaternion);
    LocalMatrixChanged(FALSE, TRUE);
    return TRUE;
}

CKBOOL RCK3dEntity::ConstructLocalMatrixEx(const QxVector* position, const QxVector* scale,
                                           const QxQuaternion* quaternion, const QxQuaternion* shear, float sign)
{
    if (!position || !scale || !quaternion || !shear)
        return FALSE;
    QxComposeMatrixEx(m_LocalMatrix, *position, *scale, *quaternion, *shear, sign);
    LocalMatrixChanged(FALSE, TRUE);
    return TRUE;
}

void RCK3dEntity::ApplyTransformToMeshes(CK3dEntity* referential)
{
    QxMatrix m;
    if (m_MoveableFlags & CK_3DENTITY_WORLDIDENTITY) {
        if (!referential)
            return;
        m = referential->GetInverseWorldMatrix();
    } else if (referential) {
        QxMultiplyMatrix(m, referential->GetInverseWorldMatrix(), m_WorldMatrix);
    } else {
        m = m_WorldMatrix;
    }
    for (CKMesh* mesh : m_Meshes) {
        CKDWORD stride = 0;
        void* positions = mesh->GetModifierVertices(&stride);
        QxTransformPoints(positions, m, positions, mesh->GetModifierVertexCount(), stride);
        CKBOOL patch = CKIsChildClassOfObject(mesh, CKCID_PATCHMESH);
        if (mesh->GetLitMode() || patch) {
            CKBYTE* normals = static_cast<CKBYTE*>(mesh->GetNormalsPtr(&stride));
            int count = mesh->GetVertexCount();
            QxRotateVectorsSameStride(normals, m, normals, count, stride);
            for (int i = 0; normals && i < count; ++i) {
                QxVector* n = reinterpret_cast<QxVector*>(normals + (size_t) i * stride);
                float length = QxMagnitude(*n);
                if (length > 0.0f)
                    *n = *n / length;
            }
            mesh->NormalChanged();
        }
        mesh->ModifierVertexMove(patch, TRUE);
    }
    // The children stay where they are: the transform went into the meshes
    // of this entity only.
    if (referential) {
        SetWorldMatrix(referential->GetWorldMatrix(), TRUE);
    } else {
        SetWorldMatrix(QxMatrix::Identity(), TRUE);
        m_MoveableFlags |= CK_3DENTITY_WORLDIDENTITY;
    }
}
