#include "core/behavior/CKBehaviorIO.h"

#include <utility>

#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKBehaviorLink.h"
#include "core/chunk/CKStateChunk.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKDependenciesContext.h"

namespace {

// Kind word bits of the saved form.
constexpr CKDWORD kSavedInput = 1;
constexpr CKDWORD kSavedOutput = 2;
constexpr CKDWORD kSavedActive = 0x100;

// Links of the graph whose input end is the IO lose it; the others lose it
// as their output end.
void ForgetInGraph(CKBehavior* behavior, CKBehaviorIO* io)
{
    if (!behavior || behavior->IsToBeDeleted() || !behavior->HasGraph())
        return;
    for (int i = 0; i < behavior->GetSubBehaviorLinkCount(); ++i) {
        CKBehaviorLink* link = behavior->GetSubBehaviorLink(i);
        if (!link)
            continue;
        if (link->GetInBehaviorIO() == io)
            link->SetInBehaviorIO(nullptr);
        else if (link->GetOutBehaviorIO() == io)
            link->SetOutBehaviorIO(nullptr);
    }
}

} // namespace

CKBehaviorIO::CKBehaviorIO(CKContext* context, const char* name) : CKClass(context, name) {}

void CKBehaviorIO::Activate(CKBOOL on)
{
    if (on)
        m_ObjectFlags |= CKBEHAVIORIO_ACTIVE;
    else
        m_ObjectFlags &= ~CKBEHAVIORIO_ACTIVE;
}

void CKBehaviorIO::SetType(CKDWORD type)
{
    m_ObjectFlags =
        (m_ObjectFlags & ~(CKBEHAVIORIO_IN | CKBEHAVIORIO_OUT)) | (type & (CKBEHAVIORIO_IN | CKBEHAVIORIO_OUT));
}

CKBehaviorLink* CKBehaviorIO::GetLink(int n) const
{
    return static_cast<CKBehaviorLink*>(m_Links.GetObject(n));
}

void CKBehaviorIO::AddLink(CKBehaviorLink* link)
{
    if (link)
        m_Links.AddIfNotHere(link);
}

void CKBehaviorIO::RemoveLink(CKBehaviorLink* link)
{
    m_Links.Remove(link);
}

void CKBehaviorIO::SortLinks()
{
    if (m_Links.Size() < 2)
        return;
    int front = 0;
    for (int i = 0; i < m_Links.Size(); ++i) {
        auto* link = static_cast<CKBehaviorLink*>(m_Links[i]);
        CKBehaviorIO* end = link ? link->GetOutBehaviorIO() : nullptr;
        if (end && end->GetOwner() == m_Owner)
            continue;
        std::swap(m_Links[i], m_Links[front]);
        ++front;
    }
}

CKStateChunk* CKBehaviorIO::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKObject::Save(file, flags);
    if (!file && !(flags & 0xF0))
        return base;
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_BEHAVIORIO, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);
    CKDWORD kind = 0;
    if (m_ObjectFlags & CKBEHAVIORIO_IN)
        kind |= kSavedInput;
    if (m_ObjectFlags & CKBEHAVIORIO_OUT)
        kind |= kSavedOutput;
    if (m_ObjectFlags & CKBEHAVIORIO_ACTIVE)
        kind |= kSavedActive;
    chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORIOFLAGS);
    chunk->WriteDword(kind);
    if (GetClassID() == CKCID_BEHAVIORIO)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

CKERROR CKBehaviorIO::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKObject::Load(chunk, file);
    if (chunk->SeekIdentifier(CK_STATESAVE_BEHAVIORIOFLAGS)) {
        CKDWORD kind = chunk->ReadDword();
        m_ObjectFlags &= ~CKBEHAVIORIO_FLAGSMASK;
        if (kind & kSavedInput)
            m_ObjectFlags |= CKBEHAVIORIO_IN;
        if (kind & kSavedOutput)
            m_ObjectFlags |= CKBEHAVIORIO_OUT;
        if (kind & kSavedActive)
            m_ObjectFlags |= CKBEHAVIORIO_ACTIVE;
    }
    return CKErr::Ok;
}

void CKBehaviorIO::PreDelete()
{
    CKObject::PreDelete();
    if (!m_Owner || m_Owner->IsToBeDeleted())
        return;
    m_Owner->RemoveIO(this);
    ForgetInGraph(m_Owner, this);
    ForgetInGraph(m_Owner->GetParent(), this);
}

void CKBehaviorIO::CheckPreDeletion()
{
    CKObject::CheckPreDeletion();
    if (m_Owner && m_Owner->IsToBeDeleted())
        m_Owner = nullptr;
    m_Links.Check();
}

CKERROR CKBehaviorIO::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKObject::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    CKObject* owner = context.Remap(m_Owner);
    m_Owner = owner && CKIsChildClassOfObject(owner, CKCID_BEHAVIOR) ? static_cast<CKBehavior*>(owner) : nullptr;
    return CKErr::Ok;
}

CKERROR CKBehaviorIO::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKObject::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (!CKIsChildClassOfObject(&source, CKCID_BEHAVIORIO))
        return CKErr::Ok;
    auto& from = static_cast<CKBehaviorIO&>(source);
    m_ObjectFlags = (m_ObjectFlags & ~CKBEHAVIORIO_FLAGSMASK) | (from.m_ObjectFlags & CKBEHAVIORIO_FLAGSMASK);
    m_Owner = from.m_Owner;
    return CKErr::Ok;
}

void CKBehaviorIO::Register()
{
    CKClassSetCreationFlags(m_ClassID, CK_GENERALOPTIONS_NODUPLICATENAMECHECK);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_BEHAVIOR);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_BEHAVIORLINK);
}

const char* CKBehaviorIO::GetClassName()
{
    return "Behavior IO";
}
