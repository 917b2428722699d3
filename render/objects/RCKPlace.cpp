#include "render/objects/RCKPlace.h"

#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/object/XObjectPointerArray.h"
#include "render/context/CKRenderGlobals.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CKClassChunk.h"
#include "render/objects/CKPortalGeometry.h"
#include "system/log/QxLogManager.h"

namespace {

constexpr CKDWORD kPortalsOption = 1;

RCKPlace* PlaceOf(CKObject* object)
{
    return object && CKIsChildClassOfObject(object, CKCID_PLACE) ? static_cast<RCKPlace*>(object) : nullptr;
}

CK3dEntity* EntityOf(CKObject* object)
{
    return object && CKIsChildClassOfObject(object, CKCID_3DENTITY) ? static_cast<CK3dEntity*>(object) : nullptr;
}

} // namespace

RCKPlace::RCKPlace(CKContext* context, const char* name) : CKPlace(context, name)
{
    SetPriority(20000);
}

RCKPlace::~RCKPlace()
{
    // Places deleted with this one have already dropped their links (their
    // deletion check); a place still alive loses its mirror link here.
    // While the context clears everything the other places may be gone.
    if (m_Context && !m_Context->IsInClearAll())
        for (const Link& link : m_Portals)
            if (link.Place != this && m_Context->GetObject(link.PlaceID) == link.Place)
                link.Place->Unlink(this, link.Portal);
    m_Portals.Clear();
}

void RCKPlace::Register()
{
    CKClassNeedNotificationFrom(m_ClassID, CKCID_3DENTITY);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_LEVEL);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_CAMERA);
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x249530ED, 0x4C0865F3));
}

const char* RCKPlace::GetDependencies(int index, int mode)
{
    return index == 0 && GetDependenciesCount(mode) > 0 ? "Portals" : nullptr;
}

int RCKPlace::GetDependenciesCount(int mode)
{
    return mode == CK_DEPENDENCIES_COPY || mode == CK_DEPENDENCIES_DELETE || mode == CK_DEPENDENCIES_SAVE ? 1 : 0;
}

CKObject* RCKPlace::GetReferenceObject()
{
    return m_ReferenceObject && m_Context ? m_Context->GetObject(m_ReferenceObject) : nullptr;
}

// Links.

int RCKPlace::FindLink(RCKPlace* place, CK3dEntity* portal) const
{
    for (int i = 0; i < m_Portals.Size(); ++i)
        if (m_Portals[i].Place == place && m_Portals[i].Portal == portal)
            return i;
    return -1;
}

void RCKPlace::Link2(RCKPlace* place, CK3dEntity* portal)
{
    if (FindLink(place, portal) < 0)
        m_Portals.PushBack(Link{place, portal, place->GetID()});
    if (place->FindLink(this, portal) < 0)
        place->m_Portals.PushBack(Link{this, portal, GetID()});
}

CKBOOL RCKPlace::Unlink(RCKPlace* place, CK3dEntity* portal)
{
    int i = FindLink(place, portal);
    if (i < 0)
        return FALSE;
    m_Portals.RemoveAt(i);
    return TRUE;
}

void RCKPlace::UnlinkAll()
{
    XArray<Link> links;
    links.Swap(m_Portals);
    for (const Link& link : links)
        link.Place->Unlink(this, link.Portal);
}

void RCKPlace::AddPortal(CKPlace* place, CK3dEntity* portal)
{
    RCKPlace* other = static_cast<RCKPlace*>(place);
    if (!other || (portal && !(portal->GetFlags() & CK_3DENTITYFLAG_PORTAL)))
        return;
    if (FindLink(other, nullptr) >= 0 || FindLink(other, portal) >= 0)
        return;
    Link2(other, portal);
}

CKBOOL RCKPlace::RemovePortal(CKPlace* place, CK3dEntity* portal)
{
    RCKPlace* other = static_cast<RCKPlace*>(place);
    if (!other)
        return FALSE;
    Unlink(other, portal);
    return other->Unlink(this, portal);
}

CKPlace* RCKPlace::GetPortal(int index, CK3dEntity** portal)
{
    if (index < 0 || index >= m_Portals.Size())
        return nullptr;
    if (portal)
        *portal = m_Portals[index].Portal;
    return m_Portals[index].Place;
}

// Portal geometry.

void RCKPlace::CollectVertices(CK3dEntity* entity, XArray<QxVector>& points)
{
    if (CKMesh* mesh = entity->GetCurrentMesh()) {
        CKDWORD stride = 0;
        const CKBYTE* positions = static_cast<const CKBYTE*>(mesh->GetModifierVertices(&stride));
        const int count = mesh->GetModifierVertexCount();
        const QxMatrix& world = entity->GetWorldMatrix();
        if (positions && stride >= sizeof(QxVector))
            for (int i = 0; i < count; ++i) {
                QxVector p;
                QxMultiplyMatrixVector(p, world, *reinterpret_cast<const QxVector*>(positions + (size_t) i * stride));
                points.PushBack(p);
            }
    }
    for (int i = 0; i < entity->GetChildrenCount(); ++i)
        CollectVertices(entity->GetChild(i), points);
}

int RCKPlace::ComputePortalGeometry(CKPlace* place, QxPrincipalBox& shape)
{
    if (!place)
        return 0;
    XArray<QxVector> a, b;
    CollectVertices(this, a);
    CollectVertices(place, b);
    std::vector<QxVector> shared;
    CKComputeSharedVertices(shared, a.Begin(), a.Size(), b.Begin(), b.Size(), CK_PLACE_PORTALTOLERANCE,
                            CK_PLACE_PORTALCELLS);
    return QxFitOrientedBox(shared.data(), sizeof(QxVector), (int) shared.size(), shape, CK_PLACE_PORTALTOLERANCE);
}

// Persistence.

void RCKPlace::PreSave(CKFile* file, CKDWORD flags)
{
    RCK3dEntity::PreSave(file, flags);
    if (file)
        if (CKObject* reference = GetReferenceObject())
            file->SaveObject(reference, flags);
}

CKStateChunk* RCKPlace::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKPlace::m_ClassID, CKBeObject::Save(file, flags), file, flags, 0,
                            [&](CKStateChunk& chunk) {
                                if (flags & CK_STATESAVE_PLACECAMERA) {
                                    chunk.WriteIdentifier(CK_STATESAVE_PLACECAMERA);
                                    chunk.WriteObject(GetReferenceObject());
                                }
                                if (flags & CK_STATESAVE_PLACESECOND) {
                                    chunk.WriteIdentifier(CK_STATESAVE_PLACESECOND);
                                    chunk.WriteObject(m_SecondObject ? m_Context->GetObject(m_SecondObject) : nullptr);
                                }
                                if ((flags & CK_STATESAVE_PLACEPORTALS) && m_Portals.Size() > 0) {
                                    chunk.WriteIdentifier(CK_STATESAVE_PLACEPORTALS);
                                    chunk.WriteInt(m_Portals.Size());
                                    for (const Link& link : m_Portals) {
                                        chunk.WriteObject(link.Place);
                                        chunk.WriteObject(link.Portal);
                                    }
                                }
                            });
}

CKERROR RCKPlace::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return CKBeObject::Load(chunk, file); },
        [&](CKStateChunk& c) -> CKERROR {
            CKDWORD moveable = m_MoveableFlags & ~(CKDWORD) (CK_3DENTITY_VISIBLE | CK_3DENTITY_HIERARCHYHIDDEN);
            if (m_ObjectFlags & CK_OBJECT_VISIBLE)
                moveable |= CK_3DENTITY_VISIBLE;
            if (m_ObjectFlags & CK_OBJECT_HIERACHICALHIDE)
                moveable |= CK_3DENTITY_HIERARCHYHIDDEN;
            SetMoveableFlags(moveable);
            if (!file)
                return CKErr::Ok;
            if (c.SeekIdentifier(CK_STATESAVE_PLACEREFERENCES)) {
                XObjectPointerArray listed = c.ReadXObjectPointerArray(m_Context);
                for (CKObject* object : listed) {
                    CK3dEntity* entity = EntityOf(object);
                    if (!entity || entity == this || entity->GetReferencePlace() == this)
                        continue;
                    if (entity->GetParent() && listed.IsHere(entity->GetParent()))
                        continue;
                    AddChild(entity, TRUE);
                }
            }
            if (c.SeekIdentifier(CK_STATESAVE_PLACECAMERA))
                m_ReferenceObject = c.ReadObjectID();
            if (c.SeekIdentifier(CK_STATESAVE_PLACESECOND))
                m_SecondObject = c.ReadObjectID();
            if (c.SeekIdentifier(CK_STATESAVE_PLACEPORTALS)) {
                UnlinkAll();
                const int count = c.ReadInt();
                if (count < 0 || (long long) count * 2 > c.GetDataSize() / 4 - c.GetCurrentPos()) {
                    CKRenderLog(QXLOG_ERROR, __LINE__, "RCKPlace", "%s: more portals than the data holds",
                                GetName() ? GetName() : "place");
                    CKNoteLoadRefusal(this, "more portals than the data holds");
                    return CKErr::InvalidFile;
                }
                for (int i = 0; i < count; ++i) {
                    CKObject* placeObject = c.ReadObject(m_Context);
                    CKObject* portalObject = c.ReadObject(m_Context);
                    // Links to objects of another class, or to the place itself,
                    // are dropped.
                    RCKPlace* place = PlaceOf(placeObject);
                    CK3dEntity* portal = EntityOf(portalObject);
                    if (!place || place == this || (portalObject && !portal))
                        continue;
                    Link2(place, portal);
                }
            }
            return CKErr::Ok;
        });
}

void RCKPlace::CheckPreDeletion()
{
    RCK3dEntity::CheckPreDeletion();
    for (int i = m_Portals.Size() - 1; i >= 0; --i) {
        const Link& link = m_Portals[i];
        if (link.Place->IsToBeDeleted() || (link.Portal && link.Portal->IsToBeDeleted()))
            m_Portals.RemoveAt(i);
    }
}

void RCKPlace::CheckPostDeletion()
{
    RCK3dEntity::CheckPostDeletion();
    if (m_ReferenceObject && !m_Context->GetObject(m_ReferenceObject))
        m_ReferenceObject = 0;
    if (m_SecondObject && !m_Context->GetObject(m_SecondObject))
        m_SecondObject = 0;
}

int RCKPlace::GetMemoryOccupation()
{
    return RCK3dEntity::GetMemoryOccupation() + 32 + (m_Portals.Size() > 0 ? 8 : 0);
}

CKBOOL RCKPlace::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (CKIsChildClassOf(cid, CKCID_3DENTITY))
        for (const Link& link : m_Portals)
            if (object && (object == link.Place || object == link.Portal))
                return TRUE;
    return RCK3dEntity::IsObjectUsed(object, cid);
}

CKERROR RCKPlace::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = RCK3dEntity::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    if (context.GetClassDependencies(CKPlace::m_ClassID) & kPortalsOption)
        for (const Link& link : m_Portals)
            if (link.Portal)
                link.Portal->PrepareDependencies(context, TRUE);
    return CKErr::Ok;
}

CKERROR RCKPlace::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = RCK3dEntity::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    m_ReferenceObject = context.RemapID(m_ReferenceObject);
    m_SecondObject = context.RemapID(m_SecondObject);
    XArray<Link> links;
    links.Swap(m_Portals);
    for (const Link& link : links) {
        RCKPlace* place = PlaceOf(context.Remap(link.Place));
        CK3dEntity* portal = link.Portal ? EntityOf(context.Remap(link.Portal)) : nullptr;
        if (place && place != this && (portal || !link.Portal))
            Link2(place, portal);
    }
    return CKErr::Ok;
}

CKERROR RCKPlace::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = RCK3dEntity::Copy(source, context);
    if (error != CKErr::Ok || !CKIsChildClassOfObject(&source, CKCID_PLACE))
        return error;
    RCKPlace& from = static_cast<RCKPlace&>(source);
    m_ReferenceObject = from.m_ReferenceObject;
    m_SecondObject = from.m_SecondObject;
    // The links are mirrored on their places once remapped to the copies.
    if (context.GetClassDependencies(CKPlace::m_ClassID) & kPortalsOption)
        m_Portals = from.m_Portals;
    return CKErr::Ok;
}

void RCKPlace::AddToScene(CKScene* scene, CKBOOL dependencies)
{
    if (scene)
        RCK3dEntity::AddToScene(scene, dependencies);
}

void RCKPlace::RemoveFromScene(CKScene* scene, CKBOOL dependencies)
{
    if (!scene)
        return;
    RCK3dEntity::RemoveFromScene(scene, dependencies);
    for (int i = 0; i < GetChildrenCount(); ++i)
        GetChild(i)->RemoveFromScene(scene, dependencies);
}
