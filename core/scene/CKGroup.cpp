#include "core/scene/CKGroup.h"

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"
#include "core/object/CKObjectManager.h"
#include "includes/XBitArray.h"

namespace {

// Object flag a group saves as a section of its own.
constexpr CKDWORD kGroupFlag80000 = 0x80000;

bool IsLevelOrScene(CKObject* object)
{
    return CKIsChildClassOfObject(object, CKCID_LEVEL) || CKIsChildClassOfObject(object, CKCID_SCENE);
}

CKGroup* AsGroup(CKObject* object)
{
    return object && CKIsChildClassOfObject(object, CKCID_GROUP) ? static_cast<CKGroup*>(object) : nullptr;
}

} // namespace

CKGroup::CKGroup(CKContext* context, const char* name) : CKClass(context, name)
{
    m_ObjectFlags = CK_OBJECT_VISIBLE;
    if (m_Context && m_Context->GetObjectManager())
        m_GroupIndex = m_Context->GetObjectManager()->GetFreeGroupIndex();
}

CKGroup::~CKGroup()
{
    if (m_Context && m_Context->GetObjectManager() && m_GroupIndex >= 0)
        m_Context->GetObjectManager()->ReleaseGroupIndex(m_GroupIndex);
}

// Membership.

bool CKGroup::Contains(CKObject* object) const
{
    // Depth first through the member groups; each group is entered once, so
    // a ring a file brought cannot loop.
    XBitArray entered;
    XArray<const CKGroup*> pending;
    pending.PushBack(this);
    while (pending.Size() > 0) {
        const CKGroup* group = pending[pending.Size() - 1];
        pending.Resize(pending.Size() - 1);
        for (CKObject* member : group->m_ObjectArray) {
            if (member == object)
                return true;
            CKGroup* inner = AsGroup(member);
            if (inner && inner->m_GroupIndex >= 0 && !entered.IsSet(inner->m_GroupIndex)) {
                entered.Set(inner->m_GroupIndex);
                pending.PushBack(inner);
            }
        }
    }
    return false;
}

CKERROR CKGroup::AddObject(CKBeObject* object)
{
    if (!object || object == this || !CKIsChildClassOfObject(object, CKCID_BEOBJECT))
        return CKErr::InvalidParameter;
    if (CKGroup* group = AsGroup(object))
        if (group->Contains(this))
            return CKErr::InvalidParameter;
    if (object->IsInGroupIndex(m_GroupIndex))
        return CKErr::AlreadyPresent;
    object->SetGroupIndex(m_GroupIndex, TRUE);
    m_ObjectArray.PushBack(object);
    m_ClassIdUpdated = FALSE;
    return CKErr::Ok;
}

CKBeObject* CKGroup::GetObject(int index) const
{
    return static_cast<CKBeObject*>(m_ObjectArray.GetObject(index));
}

void CKGroup::Clear()
{
    for (CKObject* member : m_ObjectArray)
        if (member)
            static_cast<CKBeObject*>(member)->SetGroupIndex(m_GroupIndex, FALSE);
    m_ObjectArray.Clear();
    m_ClassIdUpdated = FALSE;
}

void CKGroup::SettleMembers()
{
    int kept = 0;
    for (int i = 0; i < m_ObjectArray.Size(); ++i) {
        CKObject* member = m_ObjectArray[i];
        if (!member || !CKIsChildClassOfObject(member, CKCID_BEOBJECT))
            continue;
        CKBeObject* object = static_cast<CKBeObject*>(member);
        CKGroup* group = AsGroup(member);
        if (member == this || (group && group->Contains(this))) {
            // A member that holds this group would close a ring.
            object->SetGroupIndex(m_GroupIndex, FALSE);
            continue;
        }
        // Only members kept in this pass carry the bit (the list was cleared
        // before it was read): a set bit means the object is listed twice.
        if (object->IsInGroupIndex(m_GroupIndex))
            continue;
        object->SetGroupIndex(m_GroupIndex, TRUE);
        m_ObjectArray[kept++] = member;
    }
    if (kept != m_ObjectArray.Size()) {
        m_ObjectArray.Resize(kept);
        m_ClassIdUpdated = FALSE;
    }
}

// Object operations.

void CKGroup::Show(CKDWORD show)
{
    CKObject::Show(show);
    if (m_Walking)
        return;
    m_Walking = true;
    for (CKObject* member : m_ObjectArray)
        if (member)
            member->Show(show);
    m_Walking = false;
}

void CKGroup::AddToScene(CKScene* scene, CKBOOL dependencies)
{
    CKBeObject::AddToScene(scene, dependencies);
    if (!dependencies || m_Walking)
        return;
    m_Walking = true;
    for (CKObject* member : m_ObjectArray)
        if (member && member != this)
            static_cast<CKBeObject*>(member)->AddToScene(scene, dependencies);
    m_Walking = false;
}

void CKGroup::RemoveFromScene(CKScene* scene, CKBOOL dependencies)
{
    if (dependencies && !m_Walking) {
        m_Walking = true;
        for (CKObject* member : m_ObjectArray)
            if (member && member != this)
                static_cast<CKBeObject*>(member)->RemoveFromScene(scene, dependencies);
        m_Walking = false;
    }
    CKBeObject::RemoveFromScene(scene, dependencies);
}

void CKGroup::PreSave(CKFile* file, CKDWORD flags)
{
    CKBeObject::PreSave(file, flags);
    if (!file)
        return;
    for (CKObject* member : m_ObjectArray)
        if (member && !IsLevelOrScene(member))
            file->SaveObject(member, flags);
}

CKStateChunk* CKGroup::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKBeObject::Save(file, flags);
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_GROUP, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);
    if ((flags & 0xFFFFF) && m_ObjectArray.Size() > 0) {
        chunk->WriteIdentifier(CK_STATESAVE_GROUPALL);
        m_ObjectArray.Save(chunk);
    }
    if (m_ObjectFlags & kGroupFlag80000)
        chunk->WriteIdentifier(CK_STATESAVE_GROUPFLAG80000);
    if (GetClassID() == CKCID_GROUP)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

CKERROR CKGroup::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKBeObject::Load(chunk, file);
    Clear();
    if (chunk->SeekIdentifier(CK_STATESAVE_GROUPALL)) {
        m_ObjectArray.Load(m_Context, chunk);
        if (!file)
            SettleMembers();
    }
    if (chunk->SeekIdentifier(CK_STATESAVE_GROUPFLAG80000))
        m_ObjectFlags |= kGroupFlag80000;
    m_ClassIdUpdated = FALSE;
    return CKErr::Ok;
}

void CKGroup::PostLoad()
{
    CKBeObject::PostLoad();
    SettleMembers();
}

void CKGroup::PreDelete()
{
    CKBeObject::PreDelete();
    for (CKObject* member : m_ObjectArray)
        if (member && !member->IsToBeDeleted())
            static_cast<CKBeObject*>(member)->SetGroupIndex(m_GroupIndex, FALSE);
}

void CKGroup::CheckPreDeletion()
{
    CKBeObject::CheckPreDeletion();
    if (m_ObjectArray.Check())
        m_ClassIdUpdated = FALSE;
}

int CKGroup::GetMemoryOccupation()
{
    return CKBeObject::GetMemoryOccupation() + 20 + 4 * m_ObjectArray.Capacity();
}

CKBOOL CKGroup::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (CKIsChildClassOf(cid, CKCID_BEOBJECT) && m_ObjectArray.IsHere(object))
        return TRUE;
    return CKBeObject::IsObjectUsed(object, cid);
}

CKERROR CKGroup::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = CKBeObject::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    if (!(context.GetClassDependencies(CKCID_GROUP) & CK_DEPENDENCIES_GROUP_OBJECTS))
        return CKErr::Ok;
    if (context.GetOperationMode() != CK_DEPENDENCIES_DELETE) {
        m_ObjectArray.Prepare(context);
        return CKErr::Ok;
    }
    for (CKObject* member : m_ObjectArray)
        if (member && !IsLevelOrScene(member))
            member->PrepareDependencies(context, TRUE);
    return CKErr::Ok;
}

CKERROR CKGroup::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKBeObject::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    m_ObjectArray.Remap(context);
    for (CKObject* member : m_ObjectArray)
        if (member && CKIsChildClassOfObject(member, CKCID_BEOBJECT))
            static_cast<CKBeObject*>(member)->SetGroupIndex(m_GroupIndex, TRUE);
    return CKErr::Ok;
}

CKERROR CKGroup::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKBeObject::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (CKGroup* from = AsGroup(&source)) {
        m_ObjectArray = from->m_ObjectArray;
        m_ClassIdUpdated = FALSE;
    }
    return CKErr::Ok;
}

// Class registration.

void CKGroup::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x5C0F151B, 0x6F0547FD));
    CKClassNeedNotificationFrom(m_ClassID, CKCID_BEOBJECT);

    // What behavioural objects reach of groups.
    CKBeObjectLinks links = CKGetBeObjectLinks();
    links.AddObjectToGroup = [](CKObject* group, CKBeObject* object) {
        if (CKGroup* g = AsGroup(group))
            g->AddObject(object);
    };
    links.GetGroupIndex = [](CKObject* group) {
        CKGroup* g = AsGroup(group);
        return g ? g->GetGroupIndex() : -1;
    };
    CKSetBeObjectLinks(links);
}

const char* CKGroup::GetClassName()
{
    return "Group";
}

const char* CKGroup::GetDependencies(int index, int mode)
{
    return index == 0 && GetDependenciesCount(mode) > 0 ? "Objects" : nullptr;
}

int CKGroup::GetDependenciesCount(int mode)
{
    return mode == CK_DEPENDENCIES_COPY || mode == CK_DEPENDENCIES_DELETE || mode == CK_DEPENDENCIES_SAVE ? 1 : 0;
}
