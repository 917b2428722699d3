// The 3D entity in saving, loading, copying and deleting, and its section
// of the state chunk:
//
//   0x4000      current mesh (reference), mesh list (reference sequence),
//               then 0x4FAE17D7 weight count and weights when there is a
//               current mesh with weights
//   0x2000      object animations (reference sequence)
//   0x100000    3D entity flags, moveable flags, world matrix rows 0 to 3
//               (three floats each), then the place reference (with entity
//               flag 0x10000), the parent reference (with a parent) and the
//               z-order (with entity flag 0x100000)
//   0x8000      parent (reference); older files keep the flags under 0x10000
//               and a matrix (after one word) under 0x20000
//   0x200000    skin: object matrix, bones (reference sequence), each bone's
//               flags and matrix, vertex count, each vertex's influence count
//               n, position, n weights and n bone indices (chunks of data
//               version 5 and below have one more word before the object
//               matrix, each bone matrix, each position, its weights and its
//               indices)
//   0x1000      skin normals, three floats a vertex
//   0x220000    skin parameter
//   0x4FAE17D7  weight count and weights, always written last
#include <new>

#include "core/attribute/CKAttributeManager.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/animation/RCKSkin.h"
#include "render/context/CKRenderGlobals.h"
#include "render/context/RCKRenderManager.h"
#include "render/context/SceneGraphNode.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CKClassChunk.h"
#include "render/objects/RCK3dEntity.h"
#include "system/log/QxLogManager.h"

namespace {

// Moveable flags kept from the current section and from the older one.
constexpr CKDWORD kLoadedMoveableMask = 0xBB3DBFEB;
constexpr CKDWORD kOldLoadedMoveableMask = 0xFF3F00EB;
// Data versions below this one have the older skin layout.
constexpr int kSkinLayoutVersion = 6;
// The object flag that, with entity flag 0x80000, asks for a unit box.
constexpr CKDWORD kUnitBoxObjectFlag = 0x1;
// What scenes answer for an object that has an initial value there.
constexpr CKDWORD kSceneHasInitialValue = 0x80;
// Influences a vertex keeps in a saved skin.
constexpr int kSavedInfluences = 4;

int RemainingWords(CKStateChunk& chunk)
{
    return chunk.GetDataSize() / 4 - chunk.GetCurrentPos();
}

QxVector Row(const QxMatrix& m, int i)
{
    return QxVector(m[i][0], m[i][1], m[i][2]);
}

CKBOOL IsMirrored(const QxMatrix& m)
{
    return QxDotProduct(QxCrossProduct(Row(m, 0), Row(m, 1)), Row(m, 2)) < 0.0f;
}

template <class T>
T* ObjectOfClass(CKContext* context, CK_ID id, CK_CLASSID cid)
{
    CKObject* object = id && context ? context->GetObject(id) : nullptr;
    return object && CKIsChildClassOfObject(object, cid) ? static_cast<T*>(object) : nullptr;
}

template <class T>
T* ObjectOfClass(CKObject* object, CK_CLASSID cid)
{
    return object && CKIsChildClassOfObject(object, cid) ? static_cast<T*>(object) : nullptr;
}

// The attribute type that, with moveable flags 0x2100000, makes a load in
// memory keep the entity's flags; -1 while no such type is registered.
int ZBufferOnlyAttributeType(CKContext* context)
{
    CKAttributeManager* attributes = context ? context->GetAttributeManager() : nullptr;
    return attributes ? attributes->GetAttributeTypeByName("ZBuffer Only") : -1;
}

} // namespace

// Saving.

void RCK3dEntity::PreSave(CKFile* file, CKDWORD flags)
{
    RCKRenderObject::PreSave(file, flags);
    if (!file)
        return;
    XArray<CKObject*> objects;
    if ((flags & CK_STATESAVE_MESHS) && !CKIsChildClassOfObject(this, CKCID_CURVE)) {
        for (CKMesh* mesh : m_Meshes)
            objects.PushBack(mesh);
        file->SaveObjects(objects.Begin(), objects.Size(), flags);
    }
    if ((flags & CK_STATESAVE_ANIMATIONS) && m_ObjectAnimations) {
        objects.Clear();
        for (CKObjectAnimation* animation : *m_ObjectAnimations)
            objects.PushBack(animation);
        file->SaveObjects(objects.Begin(), objects.Size(), flags);
    }
    // The skin holds the positions and normals of its mesh.
    if (m_Skin && m_CurrentMesh)
        m_CurrentMesh->SetFlags(m_CurrentMesh->GetFlags() | CKMESH_NOPOSITIONSSAVED);
    if (flags & CK_STATESAVE_3DENTITYHIERARCHY) {
        objects.Clear();
        for (RCK3dEntity* child : m_Children)
            objects.PushBack(child);
        file->SaveObjects(objects.Begin(), objects.Size(), 0xFFFFFFFF);
    }
}

CKStateChunk* RCK3dEntity::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CK3dEntity::m_ClassID, RCKRenderObject::Save(file, flags), file, flags,
                            CK_STATESAVE_3DENTITYONLY, [&](CKStateChunk& chunk) { WriteSections(chunk, flags); });
}

void RCK3dEntity::WriteSections(CKStateChunk& chunk, CKDWORD flags)
{
    if ((flags & CK_STATESAVE_MESHS) && !CKIsChildClassOfObject(this, CKCID_CURVE) &&
        (m_CurrentMesh || m_Meshes.Size() > 0))
        WriteMeshSection(chunk);
    if ((flags & CK_STATESAVE_ANIMATIONS) && GetObjectAnimationCount() > 0) {
        chunk.WriteIdentifier(CK_STATESAVE_ANIMATIONS);
        chunk.StartObjectIDSequence(m_ObjectAnimations->Size());
        for (CKObjectAnimation* animation : *m_ObjectAnimations)
            chunk.WriteObjectSequenceItem(animation);
    }
    if (flags & CK_STATESAVE_3DENTITYDATA)
        WriteEntitySection(chunk);
    if ((flags & CK_STATESAVE_PARENT) && m_Parent) {
        chunk.WriteIdentifier(CK_STATESAVE_PARENT);
        chunk.WriteObject(m_Parent);
    }
    if (m_Skin)
        WriteSkinSections(chunk, flags);
    chunk.WriteIdentifier(CK_STATESAVE_BLENDSHAPEWEIGHTS);
    chunk.WriteDword((CKDWORD) m_BlendShapeWeights.Size());
    for (float weight : m_BlendShapeWeights)
        chunk.WriteFloat(weight);
}

void RCK3dEntity::WriteMeshSection(CKStateChunk& chunk)
{
    chunk.WriteIdentifier(CK_STATESAVE_MESHS);
    chunk.WriteObject(m_CurrentMesh);
    chunk.StartObjectIDSequence(m_Meshes.Size());
    for (CKMesh* mesh : m_Meshes)
        chunk.WriteObjectSequenceItem(mesh);
    if (m_CurrentMesh && m_BlendShapeWeights.Size() > 0) {
        chunk.WriteIdentifier(CK_STATESAVE_BLENDSHAPEWEIGHTS);
        chunk.WriteDword((CKDWORD) m_BlendShapeWeights.Size());
        for (float weight : m_BlendShapeWeights)
            chunk.WriteFloat(weight);
    }
}

void RCK3dEntity::WriteEntitySection(CKStateChunk& chunk)
{
    CKObject* place = m_ReferencePlace && m_Context ? m_Context->GetObject(m_ReferencePlace) : nullptr;
    int zOrder = GetZOrder();
    m_EntityFlags &= ~(CK_3DENTITYFLAG_PARENTVALID | CK_3DENTITYFLAG_PLACEVALID | CK_3DENTITYFLAG_ZORDERVALID);
    if (m_Parent)
        m_EntityFlags |= CK_3DENTITYFLAG_PARENTVALID;
    if (place)
        m_EntityFlags |= CK_3DENTITYFLAG_PLACEVALID;
    if (zOrder != 0)
        m_EntityFlags |= CK_3DENTITYFLAG_ZORDERVALID;

    chunk.WriteIdentifier(CK_STATESAVE_3DENTITYDATA);
    chunk.WriteDword(m_EntityFlags);
    chunk.WriteDword(m_MoveableFlags);
    for (int i = 0; i < 4; ++i)
        chunk.WriteVector(Row(m_WorldMatrix, i));
    if (m_EntityFlags & CK_3DENTITYFLAG_PLACEVALID)
        chunk.WriteObject(place);
    if (m_Parent)
        chunk.WriteObject(m_Parent);
    if (m_EntityFlags & CK_3DENTITYFLAG_ZORDERVALID)
        chunk.WriteInt(zOrder);
}

void RCK3dEntity::WriteSkinSections(CKStateChunk& chunk, CKDWORD flags)
{
    RCKSkin& skin = *m_Skin;
    if (skin.GetMaxVertexInfluences() == 0)
        skin.LimitVertexInfluences(kSavedInfluences);
    if (flags & CK_STATESAVE_SKINDATA) {
        chunk.WriteIdentifier(CK_STATESAVE_SKINDATA);
        chunk.WriteMatrix(skin.GetObjectInitMatrix());
        chunk.StartObjectIDSequence(skin.GetBoneCount());
        for (int i = 0; i < skin.GetBoneCount(); ++i)
            chunk.WriteObjectSequenceItem(skin.GetBoneData(i)->Bone);
        for (int i = 0; i < skin.GetBoneCount(); ++i) {
            const CKSkinBoneData& bone = *skin.GetBoneData(i);
            chunk.WriteDword(bone.Flags);
            chunk.WriteMatrix(bone.InitialMatrix);
        }
        chunk.WriteDword((CKDWORD) skin.GetVertexCount());
        for (int i = 0; i < skin.GetVertexCount(); ++i) {
            const CKSkinVertexData& vertex = *skin.GetVertexData(i);
            chunk.WriteDword((CKDWORD) vertex.GetBoneCount());
            chunk.WriteVector(vertex.GetInitialPos());
            for (const CKSkinInfluence& influence : vertex.Influences())
                chunk.WriteFloat(influence.Weight);
            for (const CKSkinInfluence& influence : vertex.Influences())
                chunk.WriteDword((CKDWORD) influence.Bone);
        }
    }
    if ((flags & CK_STATESAVE_SKINNORMALS) && skin.GetNormalCount() > 0) {
        chunk.WriteIdentifier(CK_STATESAVE_SKINNORMALS);
        for (int i = 0; i < skin.GetVertexCount(); ++i)
            chunk.WriteVector(skin.GetNormal(i));
    }
    if (flags & (CK_STATESAVE_SKINDATA | CK_STATESAVE_3DENTITYMATRIX)) {
        chunk.WriteIdentifier(CK_STATESAVE_SKINPARAM);
        chunk.WriteDword(skin.GetSkinParam());
    }
}

// Loading.

RCK3dEntity* RCK3dEntity::ParentFromChunk(CK_ID id)
{
    RCK3dEntity* parent = ObjectOfClass<RCK3dEntity>(m_Context, id, CKCID_3DENTITY);
    for (RCK3dEntity* e = parent; e; e = e->m_Parent)
        if (e == this) {
            CKRenderLog(QXLOG_ERROR, __LINE__, "RCK3dEntity", "%s: a parent inside its own sub-tree is ignored",
                        GetName() ? GetName() : "3D entity");
            return nullptr;
        }
    return parent;
}

CKERROR RCK3dEntity::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return RCKRenderObject::Load(chunk, file); },
        [&](CKStateChunk& c) { return ReadSections(c, file); });
}

CKERROR RCK3dEntity::ReadSections(CKStateChunk& c, CKFile* file)
{
    CKERROR result = CKErr::Ok;
    int zBufferOnly = ZBufferOnlyAttributeType(m_Context);
    const CKBOOL keepMode = !file &&
                            (m_MoveableFlags & (CK_3DENTITY_KEEPONLOAD | CK_3DENTITY_RENDERFIRST)) ==
                                (CK_3DENTITY_KEEPONLOAD | CK_3DENTITY_RENDERFIRST) &&
                            zBufferOnly >= 0 && HasAttribute(zBufferOnly);
    const CKDWORD keepAdd = keepMode ? (CKDWORD) CK_3DENTITY_WORLDIDENTITY : 0u;
    QxMatrix matrix = QxMatrix::Identity();

    if (c.SeekIdentifier(CK_STATESAVE_ANIMATIONS)) {
        XObjectPointerArray animations = c.ReadXObjectPointerArray(m_Context);
        if (!m_ObjectAnimations)
            m_ObjectAnimations = new (std::nothrow) XArray<CKObjectAnimation*>;
        if (m_ObjectAnimations) {
            m_ObjectAnimations->Clear();
            for (CKObject* o : animations)
                if (CKObjectAnimation* animation = ObjectOfClass<CKObjectAnimation>(o, CKCID_OBJECTANIMATION))
                    m_ObjectAnimations->AddIfNotHere(animation);
            if (m_ObjectAnimations->Size() == 0) {
                delete m_ObjectAnimations;
                m_ObjectAnimations = nullptr;
            }
        }
    }

    if (c.SeekIdentifier(CK_STATESAVE_MESHS)) {
        CKMesh* current = ObjectOfClass<CKMesh>(c.ReadObject(m_Context), CKCID_MESH);
        XObjectPointerArray meshes = c.ReadXObjectPointerArray(m_Context);
        m_Meshes.Clear();
        for (CKObject* o : meshes)
            if (CKMesh* mesh = ObjectOfClass<CKMesh>(o, CKCID_MESH))
                m_Meshes.AddIfNotHere(mesh);
        SetCurrentMesh(nullptr, TRUE);
        SetCurrentMesh(current, TRUE);
        if (current && c.SeekIdentifier(CK_STATESAVE_BLENDSHAPEWEIGHTS)) {
            int count = c.ReadInt();
            if (count < 0 || count > RemainingWords(c)) {
                result = Refuse("more blend-shape weights than the data holds");
            } else {
                m_BlendShapeWeights.Resize(count);
                for (float& weight : m_BlendShapeWeights)
                    weight = c.ReadFloat();
            }
        }
    }

    if (c.SeekIdentifier(CK_STATESAVE_3DENTITYDATA)) {
        CKDWORD entityFlags = c.ReadDword();
        SetFlags(entityFlags & ~(CK_3DENTITYFLAG_LASTFRAMEMATRIX | 0x20));
        CKDWORD moveable = (c.ReadDword() & kLoadedMoveableMask) | keepAdd;
        if ((moveable & CK_3DENTITY_RENDERFIRST) && m_SceneGraphNode)
            m_SceneGraphNode->SetPriority(10000);
        for (int i = 0; i < 4; ++i) {
            QxVector row;
            c.ReadVector(row);
            matrix[i][0] = row.x;
            matrix[i][1] = row.y;
            matrix[i][2] = row.z;
        }
        moveable &= ~(CK_3DENTITY_MIRRORED | CK_3DENTITY_VISIBLE | CK_3DENTITY_HIERARCHYHIDDEN);
        if (IsMirrored(matrix))
            moveable |= CK_3DENTITY_MIRRORED;
        if (m_ObjectFlags & CK_OBJECT_VISIBLE)
            moveable |= CK_3DENTITY_VISIBLE;
        if (m_ObjectFlags & CK_OBJECT_HIERACHICALHIDE)
            moveable |= CK_3DENTITY_HIERARCHYHIDDEN;
        SetMoveableFlagsKeepingQueue(moveable);
        if (entityFlags & CK_3DENTITYFLAG_PLACEVALID)
            c.ReadObjectID();
        if (entityFlags & CK_3DENTITYFLAG_PARENTVALID)
            SetParent(ParentFromChunk(c.ReadObjectID()), TRUE);
        else
            SetParent(nullptr, TRUE);
        if ((entityFlags & CK_3DENTITYFLAG_ZORDERVALID) && m_SceneGraphNode)
            m_SceneGraphNode->SetPriority(c.ReadInt());
        SetWorldMatrix(matrix, TRUE);
    } else {
        if (c.SeekIdentifier(CK_STATESAVE_PARENT))
            SetParent(ParentFromChunk(c.ReadObjectID()), TRUE);
        else
            SetParent(nullptr, TRUE);
        if (c.SeekIdentifier(CK_STATESAVE_3DENTITYFLAGS)) {
            SetFlags(c.ReadDword());
            SetMoveableFlagsKeepingQueue((c.ReadDword() & kOldLoadedMoveableMask) | keepAdd);
        }
        if (c.SeekIdentifier(CK_STATESAVE_3DENTITYMATRIX)) {
            c.Skip(1);
            c.ReadMatrix(matrix);
            if (IsMirrored(matrix))
                ModifyMoveableFlags(CK_3DENTITY_MIRRORED, 0);
            else
                ModifyMoveableFlags(0, CK_3DENTITY_MIRRORED);
            SetWorldMatrix(matrix, TRUE);
        }
    }

    if (!file) {
        CKBOOL meshHasInitialValue = FALSE;
        const CKBeObjectLinks& links = CKGetBeObjectLinks();
        if (m_CurrentMesh && links.GetCurrentScene && links.GetObjectSceneSaveFlags)
            if (CKScene* scene = links.GetCurrentScene(m_Context))
                meshHasInitialValue =
                    (links.GetObjectSceneSaveFlags(scene, m_CurrentMesh) & kSceneHasInitialValue) != 0;
        if (meshHasInitialValue || !keepMode)
            SetWorldMatrix(matrix, TRUE);
    }

    if (c.SeekIdentifier(CK_STATESAVE_SKINDATA) && CreateSkin()) {
        CKERROR skin = ReadSkinSections(c);
        if (skin != CKErr::Ok)
            result = skin;
    }

    if ((m_EntityFlags & CK_3DENTITYFLAG_UNITBOX) && (m_ObjectFlags & kUnitBoxObjectFlag)) {
        m_LocalBox = QxBbox(QxVector(-1.0f, -1.0f, -1.0f), QxVector(1.0f, 1.0f, 1.0f));
        m_WorldBox.TransformFrom(m_LocalBox, m_WorldMatrix);
        m_MoveableFlags |= CK_3DENTITY_USERBOX | CK_3DENTITY_BOXVALID;
        InvalidateNode(TRUE);
    }
    if (keepMode)
        ModifyMoveableFlags(CK_3DENTITY_KEEPONLOAD | CK_3DENTITY_RENDERFIRST, 0);
    return result;
}

CKERROR RCK3dEntity::Refuse(const char* what)
{
    CKRenderLog(QXLOG_ERROR, __LINE__, "RCK3dEntity", "%s: %s", GetName() ? GetName() : "3D entity", what);
    CKNoteLoadRefusal(this, "%s", what);
    return CKErr::InvalidFile;
}

CKERROR RCK3dEntity::ReadSkinSections(CKStateChunk& chunk)
{
    RCKSkin& skin = *m_Skin;
    const bool oldLayout = chunk.GetDataVersion() < kSkinLayoutVersion;
    auto skipOld = [&] {
        if (oldLayout)
            chunk.Skip(1);
    };
    auto broken = [&](const char* what) {
        DestroySkin();
        return Refuse(what);
    };

    skipOld();
    QxMatrix matrix;
    chunk.ReadMatrix(matrix);
    skin.SetObjectInitMatrix(matrix);

    XObjectArray bones = chunk.ReadXObjectArray();
    const int boneCount = bones.Size();
    if ((long long) boneCount * (oldLayout ? 18 : 17) > RemainingWords(chunk))
        return broken("more skin bones than the data holds");
    skin.SetBoneCount(boneCount);
    for (int i = 0; i < boneCount; ++i) {
        CKSkinBoneData& bone = *skin.GetBoneData(i);
        bone.Bone = ObjectOfClass<CK3dEntity>(m_Context, bones.GetObjectID(i), CKCID_3DENTITY);
        bone.Flags = chunk.ReadDword();
        skipOld();
        chunk.ReadMatrix(bone.InitialMatrix);
    }

    // The skin has one vertex per vertex of the mesh it deforms, whatever the
    // chunk says; vertices it lacks keep no influence, extra ones are read
    // and dropped.
    const int savedCount = chunk.ReadInt();
    const int wordsPerVertex = oldLayout ? 7 : 4;
    if (savedCount < 0 || (long long) savedCount * wordsPerVertex > RemainingWords(chunk))
        return broken("more skin vertices than the data holds");
    const int vertexCount = m_CurrentMesh ? m_CurrentMesh->GetVertexCount() : savedCount;
    skin.SetVertexCount(vertexCount);
    for (int i = 0; i < savedCount; ++i) {
        int n = chunk.ReadInt();
        if (n < 0 || (long long) n * 2 + (oldLayout ? 6 : 3) > RemainingWords(chunk))
            return broken("more influences than the data holds");
        CKSkinVertexData* vertex = skin.GetVertexData(i);
        if (vertex)
            vertex->SetBoneCount(n);
        skipOld();
        QxVector position;
        chunk.ReadVector(position);
        if (vertex)
            vertex->SetInitialPos(position);
        skipOld();
        for (int k = 0; k < n; ++k) {
            float weight = chunk.ReadFloat();
            if (vertex)
                vertex->SetWeight(k, weight);
        }
        skipOld();
        for (int k = 0; k < n; ++k) {
            int index = chunk.ReadInt();
            if (index < 0 || boneCount == 0)
                index = 0;
            else if (index > boneCount - 1)
                index = boneCount - 1;
            if (vertex)
                vertex->SetBone(k, index);
        }
    }

    if (chunk.SeekIdentifier(CK_STATESAVE_SKINNORMALS)) {
        if ((long long) savedCount * 3 > RemainingWords(chunk))
            return broken("more skin normals than the data holds");
        skin.SetNormalCount(vertexCount);
        for (int i = 0; i < savedCount; ++i) {
            QxVector normal;
            chunk.ReadVector(normal);
            skin.SetNormal(i, normal);
        }
    }
    if (chunk.SeekIdentifier(CK_STATESAVE_SKINPARAM))
        skin.SetSkinParam(chunk.ReadDword());
    return CKErr::Ok;
}

void RCK3dEntity::PostLoad()
{
    if (GetObjectAnimationCount() > 0) {
        QxVector scale;
        GetScale(&scale, TRUE);
        for (CKObjectAnimation* animation : *m_ObjectAnimations)
            animation->AddDefaultScaleKey(scale);
    }
    UpdateSkin();
    RCKRenderObject::PostLoad();
}

// Deleting.

void RCK3dEntity::PreDelete()
{
    RCKRenderObject::PreDelete();
    XArray<RCK3dEntity*> children = m_Children;
    for (RCK3dEntity* child : children)
        if (!child->IsToBeDeleted())
            child->SetParent(nullptr, TRUE);
    if (m_Parent && !m_Parent->IsToBeDeleted())
        SetParent(nullptr, TRUE);
    if (!m_Parent && m_SceneGraphNode && m_SceneGraphNode->GetParent())
        m_SceneGraphNode->GetParent()->RemoveChild(m_SceneGraphNode);
}

void RCK3dEntity::CheckPreDeletion()
{
    RCKRenderObject::CheckPreDeletion();
    for (int i = m_Meshes.Size() - 1; i >= 0; --i)
        if (m_Meshes.Begin()[i]->IsToBeDeleted())
            m_Meshes.RemoveAt(i);
    if (m_CurrentMesh && m_CurrentMesh->IsToBeDeleted())
        SetCurrentMesh(nullptr, FALSE);
    if (m_ObjectAnimations) {
        for (int i = m_ObjectAnimations->Size() - 1; i >= 0; --i)
            if (m_ObjectAnimations->Begin()[i]->IsToBeDeleted())
                m_ObjectAnimations->RemoveAt(i);
        if (m_ObjectAnimations->Size() == 0) {
            delete m_ObjectAnimations;
            m_ObjectAnimations = nullptr;
        }
    }
    if (m_Skin)
        for (int i = 0; i < m_Skin->GetBoneCount(); ++i) {
            CKSkinBoneData* bone = m_Skin->GetBoneData(i);
            if (bone->Bone && bone->Bone->IsToBeDeleted())
                bone->Bone = nullptr;
        }
}

CKBOOL RCK3dEntity::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (cid == CKCID_OBJECTANIMATION && m_ObjectAnimations)
        for (CKObjectAnimation* animation : *m_ObjectAnimations)
            if (animation == object)
                return TRUE;
    if (cid == CKCID_MESH || cid == CKCID_PATCHMESH)
        for (CKMesh* mesh : m_Meshes)
            if (mesh == object)
                return TRUE;
    return RCKRenderObject::IsObjectUsed(object, cid);
}

int RCK3dEntity::GetMemoryOccupation()
{
    // The entity's own fields as the engine's 32-bit figures count them.
    int size = RCKRenderObject::GetMemoryOccupation() + 348 + 4 * m_Meshes.Capacity();
    if (m_ObjectAnimations)
        size += 4 * m_ObjectAnimations->Capacity() + 12;
    if (m_LastFrameMatrix)
        size += 64;
    if (m_Skin)
        size += m_Skin->GetMemoryOccupation();
    if (m_Children.Size() > 0)
        size += 8;
    if (m_Callbacks)
        size += 12 * (m_Callbacks->GetPreCallbacks().Capacity() + m_Callbacks->GetPostCallbacks().Capacity()) + 32;
    return size;
}

// Dependencies and copies.

CKERROR RCK3dEntity::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = RCKRenderObject::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    CKDWORD options = context.GetClassDependencies(CK3dEntity::m_ClassID);
    if (options & CK_DEPENDENCIES_3DENTITY_MESHES)
        for (CKMesh* mesh : m_Meshes)
            mesh->PrepareDependencies(context, TRUE);
    if (options & CK_DEPENDENCIES_3DENTITY_CHILDREN)
        for (RCK3dEntity* child : m_Children)
            child->PrepareDependencies(context, TRUE);
    if ((options & CK_DEPENDENCIES_3DENTITY_ANIMATIONS) && m_ObjectAnimations)
        for (CKObjectAnimation* animation : *m_ObjectAnimations)
            animation->PrepareDependencies(context, TRUE);
    if (m_Skin && (options & CK_DEPENDENCIES_3DENTITY_MESHES)) {
        if (m_CurrentMesh)
            m_CurrentMesh->PrepareDependencies(context, TRUE);
        for (int i = 0; i < m_Skin->GetBoneCount(); ++i)
            if (CK3dEntity* bone = m_Skin->GetBoneData(i)->Bone)
                bone->PrepareDependencies(context, TRUE);
    }
    return CKErr::Ok;
}

CKERROR RCK3dEntity::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = RCKRenderObject::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    CKDWORD options = context.GetClassDependencies(CK3dEntity::m_ClassID);
    if (CKIsChildClassOfObject(this, CKCID_BODYPART))
        options |= CK_DEPENDENCIES_3DENTITY_CHILDREN;
    m_ReferencePlace = context.RemapID(m_ReferencePlace);
    if ((options & CK_DEPENDENCIES_3DENTITY_MESHES) || m_Skin) {
        XArray<CKMesh*> meshes;
        for (CKMesh* mesh : m_Meshes)
            if (CKMesh* image = ObjectOfClass<CKMesh>(context.Remap(mesh), CKCID_MESH))
                meshes.AddIfNotHere(image);
        m_Meshes = meshes;
        // The weights stay with the image of the mesh they weigh.
        XArray<float> weights = m_BlendShapeWeights;
        SetCurrentMesh(ObjectOfClass<CKMesh>(context.Remap(m_CurrentMesh), CKCID_MESH), FALSE);
        if (m_BlendShapeWeights.Size() == weights.Size())
            m_BlendShapeWeights = weights;
    }
    if ((options & CK_DEPENDENCIES_3DENTITY_CHILDREN) && m_Parent)
        if (CK3dEntity* parent = ObjectOfClass<CK3dEntity>(context.Remap(m_Parent), CKCID_3DENTITY))
            SetParent(parent, TRUE);
    if ((options & CK_DEPENDENCIES_3DENTITY_ANIMATIONS) && m_ObjectAnimations)
        for (CKObjectAnimation*& animation : *m_ObjectAnimations)
            if (CKObjectAnimation* image =
                    ObjectOfClass<CKObjectAnimation>(context.Remap(animation), CKCID_OBJECTANIMATION))
                animation = image;
    if (m_Skin)
        for (int i = 0; i < m_Skin->GetBoneCount(); ++i) {
            CKSkinBoneData* bone = m_Skin->GetBoneData(i);
            CK3dEntity* image = ObjectOfClass<CK3dEntity>(context.Remap(bone->Bone), CKCID_3DENTITY);
            if (!image)
                continue;
            bone->Bone = image;
            CK3dEntity* parent = image->GetParent();
            if (CK3dEntity* parentImage = ObjectOfClass<CK3dEntity>(context.Remap(parent), CKCID_3DENTITY))
                if (parentImage != parent)
                    image->SetParent(parentImage, TRUE);
        }
    return CKErr::Ok;
}

CKERROR RCK3dEntity::Copy(CKObject& source, CKDependenciesContext& context)
{
    if (!CKIsChildClassOfObject(&source, CKCID_3DENTITY))
        return RCKRenderObject::Copy(source, context);
    RCK3dEntity& from = static_cast<RCK3dEntity&>(source);
    SetFlags(from.m_EntityFlags);
    CKERROR error = RCKRenderObject::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    SetFlags(from.m_EntityFlags);
    // Box marks and the inverse belong to the source.
    SetMoveableFlagsKeepingQueue(from.m_MoveableFlags &
                                 ~(CK_3DENTITY_BOXUPTODATE | CK_3DENTITY_USERBOX | CK_3DENTITY_BOXVALID |
                                   CK_3DENTITY_INVERSEVALID | CK_3DENTITY_IGNOREPARENT));
    SetParent(from.m_Parent, TRUE);
    SetZOrder(from.GetZOrder());
    SetWorldMatrix(from.m_WorldMatrix, TRUE);
    m_Meshes = from.m_Meshes;
    SetCurrentMesh(from.m_CurrentMesh, TRUE);
    // The weights go with the mesh they weigh.
    if (m_BlendShapeWeights.Size() == from.m_BlendShapeWeights.Size())
        m_BlendShapeWeights = from.m_BlendShapeWeights;
    if ((context.GetClassDependencies(CK3dEntity::m_ClassID) & CK_DEPENDENCIES_3DENTITY_ANIMATIONS) &&
        from.m_ObjectAnimations)
        for (CKObjectAnimation* animation : *from.m_ObjectAnimations)
            AddObjectAnimation(animation);
    if (from.m_Skin) {
        DestroySkin();
        m_Skin = new RCKSkin(*from.m_Skin);
    }
    return CKErr::Ok;
}

// Scenes.

void RCK3dEntity::AddToScene(CKScene* scene, CKBOOL dependencies)
{
    if (!scene)
        return;
    RCKRenderObject::AddToScene(scene, dependencies);
    if (!dependencies)
        return;
    for (CKMesh* mesh : m_Meshes)
        mesh->AddToScene(scene, dependencies);
    if (m_ObjectAnimations)
        for (CKObjectAnimation* animation : *m_ObjectAnimations)
            animation->AddToScene(scene, dependencies);
    for (RCK3dEntity* child : m_Children)
        if (!child->IsInScene(scene))
            child->AddToScene(scene, TRUE);
}

void RCK3dEntity::RemoveFromScene(CKScene* scene, CKBOOL dependencies)
{
    if (!scene)
        return;
    RCKRenderObject::RemoveFromScene(scene, dependencies);
    if (!dependencies)
        return;
    for (CKMesh* mesh : m_Meshes)
        mesh->RemoveFromScene(scene, dependencies);
    if (m_ObjectAnimations)
        for (CKObjectAnimation* animation : *m_ObjectAnimations)
            animation->RemoveFromScene(scene, dependencies);
}
