// The 2D entity's section of its state chunk, older layouts included.
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKRenderContext.h"
#include "core/context/CKRenderManager.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "render/mesh/CKMaterial.h"
#include "render/objects/RCK2dEntity.h"

namespace {

constexpr CKDWORD kSavedBits = CK2D_SAVEDSOURCERECT | CK2D_SAVEDZORDER | CK2D_SAVEDPARENT;

void WriteRect(CKStateChunk* chunk, const QxRect& r)
{
    chunk->WriteFloat(r.left);
    chunk->WriteFloat(r.top);
    chunk->WriteFloat(r.right);
    chunk->WriteFloat(r.bottom);
}

QxRect ReadRect(CKStateChunk* chunk)
{
    QxRect r;
    r.left = chunk->ReadFloat();
    r.top = chunk->ReadFloat();
    r.right = chunk->ReadFloat();
    r.bottom = chunk->ReadFloat();
    return r;
}

} // namespace

void RCK2dEntity::PreSave(CKFile* file, CKDWORD flags)
{
    CK2dEntity::PreSave(file, flags);
    if (!file)
        return;
    if ((flags & 0x200000) && m_Material)
        file->SaveObject(m_Material, flags);
    if ((flags & 0x400000) && m_Children.Size() > 0) {
        XArray<CKObject*> children;
        for (RCK2dEntity* child : m_Children)
            children.PushBack(child);
        file->SaveObjects(children.Begin(), children.Size(), 0xFFFFFFFF);
    }
}

CKStateChunk* RCK2dEntity::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CK2dEntity::Save(file, flags);
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_2DENTITY, file);
    if (!chunk)
        return base;
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);

    CKDWORD saved = m_Flags & ~kSavedBits;
    if (!m_SourceRect.IsNull())
        saved |= CK2D_SAVEDSOURCERECT;
    if (m_ZOrder != 0)
        saved |= CK2D_SAVEDZORDER;
    if (m_Parent)
        saved |= CK2D_SAVEDPARENT;
    chunk->WriteIdentifier(CK_STATESAVE_2DENTITYDATA);
    chunk->WriteDword(saved);
    if (m_Flags & CK2D_HOMOGENEOUS)
        WriteRect(chunk, m_HomogeneousRect ? *m_HomogeneousRect : QxRect());
    else
        WriteRect(chunk, m_Rect);
    if (saved & CK2D_SAVEDSOURCERECT)
        WriteRect(chunk, m_SourceRect);
    if (saved & CK2D_SAVEDZORDER)
        chunk->WriteInt(m_ZOrder);
    if (saved & CK2D_SAVEDPARENT)
        chunk->WriteObject(m_Parent);
    if (m_Material) {
        chunk->WriteIdentifier(CK_STATESAVE_2DENTITYMATERIAL);
        chunk->WriteObject(m_Material);
    }

    if (GetClassID() == CKCID_2DENTITY)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

CKERROR RCK2dEntity::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CK2dEntity::Load(chunk, file);

    if (chunk->GetDataVersion() >= CK_2DENTITY_DATAVERSION_ONESECTION) {
        if (chunk->SeekIdentifier(CK_STATESAVE_2DENTITYDATA)) {
            const CKDWORD saved = chunk->ReadDword();
            m_Flags = saved & ~(kSavedBits | CK2D_RELATIVEOUTDATED);
            const QxRect rect = ReadRect(chunk);
            SetFlags(m_Flags); // makes or frees the relative rectangle
            if ((m_Flags & CK2D_HOMOGENEOUS) && m_HomogeneousRect)
                *m_HomogeneousRect = rect;
            else
                m_Rect = rect;
            if (saved & CK2D_SAVEDSOURCERECT)
                m_SourceRect = ReadRect(chunk);
            else if (GetClassID() == CKCID_2DENTITY)
                m_SourceRect = QxRect(0.0f, 0.0f, 1.0f, 1.0f);
            else
                m_SourceRect = QxRect();
            m_ZOrder = (saved & CK2D_SAVEDZORDER) ? chunk->ReadInt() : 0;
            CKObject* object = (saved & CK2D_SAVEDPARENT) ? chunk->ReadObject(m_Context) : nullptr;
            // Only a 2D entity that does not lie below this one can be the
            // parent, whatever the chunk says.
            RCK2dEntity* parent =
                CKIsChildClassOfObject(object, CKCID_2DENTITY) ? From(static_cast<CK2dEntity*>(object)) : nullptr;
            if (parent && IsInSubtree(parent))
                parent = nullptr;
            if (file && parent) {
                // Linked now, sorted by PostLoad once every sibling has its
                // z-order.
                Detach();
                m_Parent = parent;
                parent->m_Children.Insert(0, this);
            } else {
                SetParent(parent);
            }
        }
        if (GetClassID() == CKCID_2DENTITY) {
            CKObject* material =
                chunk->SeekIdentifier(CK_STATESAVE_2DENTITYMATERIAL) ? chunk->ReadObject(m_Context) : nullptr;
            m_Material =
                CKIsChildClassOfObject(material, CKCID_MATERIAL) ? static_cast<CKMaterial*>(material) : nullptr;
        } else {
            m_Material = nullptr;
        }
    } else {
        if (chunk->SeekIdentifier(CK_STATESAVE_2DENTITYFLAGS)) {
            CKDWORD flags = chunk->ReadDword();
            if (!(flags & CK2D_LEGACYVISIBLE)) {
                flags |= CK2D_LEGACYVISIBLE;
                Show(CKHIDE);
            }
            flags &= ~CK2D_RELATIVEOUTDATED;
            flags |= CK2D_ANCHORLEFT | CK2D_ANCHORTOP;
            SetFlags(flags);
        }
        const bool homogeneous = (m_Flags & CK2D_HOMOGENEOUS) && m_HomogeneousRect;
        QxRect& target = homogeneous ? *m_HomogeneousRect : m_Rect;
        if (chunk->SeekIdentifier(CK_STATESAVE_2DENTITYPOS)) {
            if (homogeneous) {
                target.left = chunk->ReadFloat();
                target.top = chunk->ReadFloat();
            } else {
                target.left = (float) chunk->ReadInt();
                target.top = (float) chunk->ReadInt();
            }
        }
        if (chunk->SeekIdentifier(CK_STATESAVE_2DENTITYSIZE)) {
            float width, height;
            if (homogeneous) {
                width = chunk->ReadFloat();
                height = chunk->ReadFloat();
            } else {
                width = (float) chunk->ReadInt();
                height = (float) chunk->ReadInt();
            }
            target.right = target.left + width;
            target.bottom = target.top + height;
        }
        if (chunk->SeekIdentifier(CK_STATESAVE_2DENTITYSRCSIZE)) {
            // The older files keep right, left, top, bottom.
            m_SourceRect.right = (float) chunk->ReadInt();
            m_SourceRect.left = (float) chunk->ReadInt();
            m_SourceRect.top = (float) chunk->ReadInt();
            m_SourceRect.bottom = (float) chunk->ReadInt();
        }
        if (chunk->SeekIdentifier(CK_STATESAVE_2DENTITYZORDER))
            m_ZOrder = chunk->ReadInt();
        // The older layout names no parent: the entity goes under its root.
        if (!m_Parent)
            SetParent(nullptr);
    }
    UpdateFromRelative();
    return CKErr::Ok;
}

void RCK2dEntity::PostLoad()
{
    CK2dEntity::PostLoad();
    if (!m_Parent)
        return;
    m_Parent->SortChildren();
    // Drawn through its parent, never by a render context itself.
    CKRenderManager* manager = m_Context ? m_Context->GetRenderManager() : nullptr;
    if (manager)
        for (int i = 0; i < manager->GetRenderContextCount(); ++i)
            if (CKRenderContext* rc = manager->GetRenderContext(i))
                rc->RemoveObject(this);
}
