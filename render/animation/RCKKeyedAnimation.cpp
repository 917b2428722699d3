#include "render/animation/RCKKeyedAnimation.h"

#include "core/chunk/CKStateChunk.h"
#include "core/object/CKDependenciesContext.h"
#include "render/animation/CKAnimationObjects.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKClassChunk.h"

namespace {

constexpr CKDWORD CK_STATESAVE_KEYEDANIMANIMLIST = 0x00200000;

} // namespace

CKERROR RCKKeyedAnimation::AddAnimation(CKObjectAnimation* animation)
{
    if (!animation)
        return CKErr::InvalidParameter;
    m_Animations.PushBack(animation);
    return CKErr::Ok;
}

CKERROR RCKKeyedAnimation::RemoveAnimation(CKObjectAnimation* animation)
{
    return animation && m_Animations.Remove(animation) ? CKErr::Ok : CKErr::NotFound;
}

CKObjectAnimation* RCKKeyedAnimation::GetAnimation(int index)
{
    return index >= 0 && index < m_Animations.Size() ? m_Animations.Begin()[index] : nullptr;
}

CKObjectAnimation* RCKKeyedAnimation::GetAnimationOf(CK3dEntity* entity)
{
    if (!entity)
        return nullptr;
    for (CKObjectAnimation* animation : m_Animations)
        if (animation->Get3dEntity() == entity)
            return animation;
    return nullptr;
}

CK3dEntity* RCKKeyedAnimation::GetRootEntity()
{
    for (CKObjectAnimation* animation : m_Animations) {
        CK3dEntity* entity = animation->Get3dEntity();
        if (!entity)
            continue;
        bool moved = false;
        // The hierarchy has no cycle: the entities refuse one.
        for (CK3dEntity* a = entity->GetParent(); a && !moved; a = a->GetParent())
            moved = GetAnimationOf(a) != nullptr;
        if (!moved)
            return entity;
    }
    return nullptr;
}

void RCKKeyedAnimation::SetStep(float step)
{
    m_Step = step;
    for (CKObjectAnimation* animation : m_Animations)
        animation->SetStep(step, 0);
}

CKStateChunk* RCKKeyedAnimation::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKKeyedAnimation::m_ClassID, RCKAnimation::Save(file, flags), file, flags,
                            CK_STATESAVE_KEYEDANIMANIMLIST, [&](CKStateChunk& chunk) {
                                chunk.WriteIdentifier(CK_STATESAVE_KEYEDANIMANIMLIST);
                                chunk.StartObjectIDSequence(m_Animations.Size());
                                for (CKObjectAnimation* animation : m_Animations)
                                    chunk.WriteObjectSequenceItem(animation);
                            });
}

CKERROR RCKKeyedAnimation::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return RCKAnimation::Load(chunk, file); },
        [&](CKStateChunk& c) {
            if (!c.SeekIdentifier(CK_STATESAVE_KEYEDANIMANIMLIST))
                return;
            XObjectPointerArray animations = c.ReadXObjectPointerArray(m_Context);
            m_Animations.Clear();
            for (CKObject* o : animations)
                if (auto* animation = CKObjectAs<CKObjectAnimation>(o, CKCID_OBJECTANIMATION))
                    m_Animations.PushBack(animation);
        });
}

void RCKKeyedAnimation::CheckPreDeletion()
{
    RCKAnimation::CheckPreDeletion();
    for (int i = m_Animations.Size() - 1; i >= 0; --i)
        if (m_Animations.Begin()[i]->IsToBeDeleted())
            m_Animations.RemoveAt(i);
}

CKBOOL RCKKeyedAnimation::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (cid == CKCID_OBJECTANIMATION && object && m_Animations.IsHere(static_cast<CKObjectAnimation*>(object)))
        return TRUE;
    return RCKAnimation::IsObjectUsed(object, cid);
}

CKERROR RCKKeyedAnimation::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = RCKAnimation::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    // The object animations are the keyed animation's content.
    for (CKObjectAnimation* animation : m_Animations)
        animation->PrepareDependencies(context, TRUE);
    return CKErr::Ok;
}

CKERROR RCKKeyedAnimation::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = RCKAnimation::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    int kept = 0;
    for (CKObjectAnimation* animation : m_Animations)
        if (auto* remapped = CKObjectAs<CKObjectAnimation>(context.Remap(animation), CKCID_OBJECTANIMATION))
            m_Animations.Begin()[kept++] = remapped;
    m_Animations.Resize(kept);
    return CKErr::Ok;
}

CKERROR RCKKeyedAnimation::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = RCKAnimation::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (auto* s = CKObjectAs<RCKKeyedAnimation>(&source, CKCID_KEYEDANIMATION))
        m_Animations = s->m_Animations;
    return CKErr::Ok;
}

int RCKKeyedAnimation::GetMemoryOccupation()
{
    return RCKAnimation::GetMemoryOccupation() + (int) (sizeof(*this) - sizeof(RCKAnimation)) +
           m_Animations.Capacity() * (int) sizeof(CKObjectAnimation*);
}

void RCKKeyedAnimation::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x5BFA474D, 0x19E60236));
    CKClassNeedNotificationFrom(m_ClassID, CKCID_OBJECTANIMATION);
}

const char* RCKKeyedAnimation::GetClassName()
{
    return "Keyed Animation";
}
