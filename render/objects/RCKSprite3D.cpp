#include "render/objects/RCKSprite3D.h"

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "render/mesh/CKMaterial.h"
#include "render/objects/CKClassChunk.h"

RCKSprite3D::RCKSprite3D(CKContext* context, const char* name) : CKSprite3D(context, name)
{
    SetBox(Qx2DVector(1.0f, 1.0f));
}

void RCKSprite3D::Register()
{
    CKClassNeedNotificationFrom(m_ClassID, CKCID_MATERIAL);
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x23C8061B, 0x70033A27));
    CKClassRegisterDefaultDependencies(m_ClassID, 1, CK_DEPENDENCIES_COPY);
}

const char* RCKSprite3D::GetDependencies(int index, int mode)
{
    return index == 0 && GetDependenciesCount(mode) > 0 ? "Material" : nullptr;
}

int RCKSprite3D::GetDependenciesCount(int mode)
{
    return mode == CK_DEPENDENCIES_COPY || mode == CK_DEPENDENCIES_DELETE || mode == CK_DEPENDENCIES_SAVE ? 1 : 0;
}

// The box of a size (twice halfSize) at the current offset; the node's boxes
// and the world box are out of date.
void RCKSprite3D::SetBox(const Qx2DVector& halfSize)
{
    const float w = halfSize.x * 2.0f, h = halfSize.y * 2.0f;
    m_LocalBox.Min = QxVector((m_Offset.x - 1.0f) * w / 2.0f, (m_Offset.y - 1.0f) * h / 2.0f, 0.0f);
    m_LocalBox.Max = QxVector((m_Offset.x + 1.0f) * w / 2.0f, (m_Offset.y + 1.0f) * h / 2.0f, 0.0f);
    m_MoveableFlags &= ~CK_3DENTITY_BOXUPTODATE;
    InvalidateNode(TRUE);
}

void RCKSprite3D::SetSize(const Qx2DVector& size)
{
    SetBox(Qx2DVector(size.x / 2.0f, size.y / 2.0f));
}

void RCKSprite3D::GetSize(Qx2DVector& size)
{
    size = Qx2DVector(m_LocalBox.Max.x - m_LocalBox.Min.x, m_LocalBox.Max.y - m_LocalBox.Min.y);
}

void RCKSprite3D::SetOffset(const Qx2DVector& offset)
{
    Qx2DVector half((m_LocalBox.Max.x - m_LocalBox.Min.x) / 2.0f, (m_LocalBox.Max.y - m_LocalBox.Min.y) / 2.0f);
    m_Offset = offset;
    SetBox(half);
}

void RCKSprite3D::UpdateBox(CKBOOL world)
{
    if (!world || (m_MoveableFlags & CK_3DENTITY_BOXUPTODATE))
        return;
    m_WorldBox.TransformFrom(m_LocalBox, m_WorldMatrix);
    m_MoveableFlags |= CK_3DENTITY_BOXUPTODATE | CK_3DENTITY_BOXVALID;
}

CKBOOL RCKSprite3D::IsToBeRendered()
{
    return (m_MoveableFlags & CK_3DENTITY_VISIBLE) && m_Material;
}

CKBOOL RCKSprite3D::IsToBeRenderedLast()
{
    if (m_MoveableFlags & CK_3DENTITY_RENDERFIRST)
        return FALSE;
    return m_Material ? m_Material->IsAlphaTransparent() : FALSE;
}

void RCKSprite3D::PreSave(CKFile* file, CKDWORD flags)
{
    RCK3dEntity::PreSave(file, flags);
    if (file && m_Material)
        file->SaveObject(m_Material, flags);
}

CKStateChunk* RCKSprite3D::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKSprite3D::m_ClassID, RCK3dEntity::Save(file, flags), file, flags,
                            CK_STATESAVE_SPRITE3DONLY, [&](CKStateChunk& chunk) {
                                chunk.WriteIdentifier(CK_STATESAVE_SPRITE3DDATA);
                                chunk.WriteInt(m_Mode);
                                chunk.WriteFloat((m_LocalBox.Max.x - m_LocalBox.Min.x) / 2.0f);
                                chunk.WriteFloat((m_LocalBox.Max.y - m_LocalBox.Min.y) / 2.0f);
                                chunk.WriteFloat(m_Offset.x);
                                chunk.WriteFloat(m_Offset.y);
                                chunk.WriteFloat(m_UVMapping.left);
                                chunk.WriteFloat(m_UVMapping.top);
                                chunk.WriteFloat(m_UVMapping.right);
                                chunk.WriteFloat(m_UVMapping.bottom);
                                chunk.WriteObject(m_Material);
                            });
}

CKERROR RCKSprite3D::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return RCK3dEntity::Load(chunk, file); },
        [&](CKStateChunk& c) {
            if (!c.SeekIdentifier(CK_STATESAVE_SPRITE3DDATA))
                return;
            m_Mode = c.ReadInt();
            const float halfWidth = c.ReadFloat();
            const float halfHeight = c.ReadFloat();
            SetSize(Qx2DVector(halfWidth * 2.0f, halfHeight * 2.0f));
            Qx2DVector offset;
            offset.x = c.ReadFloat();
            offset.y = c.ReadFloat();
            SetOffset(offset);
            QxRect uv;
            uv.left = c.ReadFloat();
            uv.top = c.ReadFloat();
            uv.right = c.ReadFloat();
            uv.bottom = c.ReadFloat();
            SetUVMapping(uv);
            CKObject* material = c.ReadObject(m_Context);
            m_Material = material && CKIsChildClassOfObject(material, CKCID_MATERIAL)
                             ? static_cast<CKMaterial*>(material)
                             : nullptr;
            ModifyObjectFlags(0, CK_OBJECT_UPTODATE);
        });
}

void RCKSprite3D::CheckPreDeletion()
{
    RCK3dEntity::CheckPreDeletion();
    if (m_Material && m_Material->IsToBeDeleted())
        m_Material = nullptr;
}

int RCKSprite3D::GetMemoryOccupation()
{
    return RCK3dEntity::GetMemoryOccupation() + 32;
}

CKBOOL RCKSprite3D::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (object && object == m_Material)
        return TRUE;
    return RCK3dEntity::IsObjectUsed(object, cid);
}

CKERROR RCKSprite3D::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKERROR error = RCK3dEntity::PrepareDependencies(context, caller);
    if (error != CKErr::Ok)
        return error;
    if ((context.GetClassDependencies(CKSprite3D::m_ClassID) & 1) && m_Material)
        m_Material->PrepareDependencies(context, TRUE);
    return CKErr::Ok;
}

CKERROR RCKSprite3D::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = RCK3dEntity::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    CKObject* material = context.Remap(m_Material);
    SetMaterial(material && CKIsChildClassOfObject(material, CKCID_MATERIAL) ? static_cast<CKMaterial*>(material)
                                                                             : nullptr);
    return CKErr::Ok;
}

CKERROR RCKSprite3D::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = RCK3dEntity::Copy(source, context);
    if (error != CKErr::Ok || !CKIsChildClassOfObject(&source, CKCID_SPRITE3D))
        return error;
    const RCKSprite3D& from = static_cast<const RCKSprite3D&>(source);
    m_Material = from.m_Material;
    m_LocalBox = from.m_LocalBox;
    m_Offset = from.m_Offset;
    m_UVMapping = from.m_UVMapping;
    m_Mode = from.m_Mode;
    m_MoveableFlags &= ~CK_3DENTITY_BOXUPTODATE;
    return CKErr::Ok;
}
