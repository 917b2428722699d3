#include "render/animation/RCKCharacter.h"

#include "core/chunk/CKStateChunk.h"
#include "core/object/CKDependenciesContext.h"
#include "render/animation/CKAnimationObjects.h"
#include "render/animation/RCKAnimation.h"
#include "render/animation/RCKBodyPart.h"
#include "render/objects/CKClassChunk.h"

namespace {

enum : CKDWORD
{
    CK_STATESAVE_CHARACTERBODYPARTS = 0x01000000,
    CK_STATESAVE_CHARACTERANIMATIONS = 0x02000000,
    CK_STATESAVE_CHARACTERPARAMETER = 0x04000000,
    CK_STATESAVE_CHARACTERALL = 0x07000000,
};

RCKBodyPart* Part(CKBodyPart* part)
{
    return static_cast<RCKBodyPart*>(part);
}

RCKAnimation* Animation(CKAnimation* animation)
{
    return static_cast<RCKAnimation*>(animation);
}

} // namespace

CKERROR RCKCharacter::AddBodyPart(CKBodyPart* part)
{
    if (!part)
        return CKErr::InvalidParameter;
    CKCharacter* other = part->GetCharacter();
    if (other && other != this)
        other->RemoveBodyPart(part);
    m_BodyParts.AddIfNotHere(part);
    Part(part)->SetCharacter(this);
    return CKErr::Ok;
}

CKERROR RCKCharacter::RemoveBodyPart(CKBodyPart* part)
{
    if (!part || !m_BodyParts.Remove(part))
        return CKErr::NotFound;
    Part(part)->SetCharacter(nullptr);
    return CKErr::Ok;
}

CKBodyPart* RCKCharacter::GetBodyPart(int index)
{
    return index >= 0 && index < m_BodyParts.Size() ? m_BodyParts.Begin()[index] : nullptr;
}

CKBodyPart* RCKCharacter::GetRootBodyPart()
{
    // The parent may be no body part at all (the character itself): compare
    // entities, never cast the parent down.
    auto isPart = [this](CK3dEntity* entity) {
        for (CKBodyPart* part : m_BodyParts)
            if (static_cast<CK3dEntity*>(part) == entity)
                return true;
        return false;
    };
    for (CKBodyPart* part : m_BodyParts) {
        CK3dEntity* parent = part->GetParent();
        if (!parent || !isPart(parent))
            return part;
    }
    return nullptr;
}

CKERROR RCKCharacter::AddAnimation(CKAnimation* animation)
{
    if (!animation)
        return CKErr::InvalidParameter;
    CKCharacter* other = animation->GetCharacter();
    if (other && other != this)
        other->RemoveAnimation(animation);
    m_Animations.AddIfNotHere(animation);
    Animation(animation)->SetCharacter(this);
    return CKErr::Ok;
}

CKERROR RCKCharacter::RemoveAnimation(CKAnimation* animation)
{
    if (!animation || !m_Animations.Remove(animation))
        return CKErr::NotFound;
    Animation(animation)->SetCharacter(nullptr);
    return CKErr::Ok;
}

CKAnimation* RCKCharacter::GetAnimation(int index)
{
    return index >= 0 && index < m_Animations.Size() ? m_Animations.Begin()[index] : nullptr;
}

void RCKCharacter::AlignCharacterWithRootPosition()
{
    CKBodyPart* root = GetRootBodyPart();
    if (!root)
        return;
    QxVector position;
    root->GetPosition(&position);
    SetPosition(&position, nullptr, TRUE);
}

CKStateChunk* RCKCharacter::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKCharacter::m_ClassID, CKCharacter::Save(file, flags), file, flags,
                            CK_STATESAVE_CHARACTERALL, [&](CKStateChunk& chunk) {
                                chunk.WriteIdentifier(CK_STATESAVE_CHARACTERBODYPARTS);
                                chunk.StartObjectIDSequence(m_BodyParts.Size());
                                for (CKBodyPart* part : m_BodyParts)
                                    chunk.WriteObjectSequenceItem(part);
                                chunk.WriteIdentifier(CK_STATESAVE_CHARACTERANIMATIONS);
                                chunk.StartObjectIDSequence(m_Animations.Size());
                                for (CKAnimation* animation : m_Animations)
                                    chunk.WriteObjectSequenceItem(animation);
                                chunk.WriteIdentifier(CK_STATESAVE_CHARACTERPARAMETER);
                                chunk.WriteFloat(m_AnimationParameter);
                            });
}

CKERROR RCKCharacter::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return CKCharacter::Load(chunk, file); },
        [&](CKStateChunk& c) {
            if (c.SeekIdentifier(CK_STATESAVE_CHARACTERBODYPARTS)) {
                XObjectPointerArray parts = c.ReadXObjectPointerArray(m_Context);
                for (CKBodyPart* part : XArray<CKBodyPart*>(m_BodyParts))
                    RemoveBodyPart(part);
                for (CKObject* o : parts)
                    if (auto* part = CKObjectAs<CKBodyPart>(o, CKCID_BODYPART))
                        AddBodyPart(part);
            }
            if (c.SeekIdentifier(CK_STATESAVE_CHARACTERANIMATIONS)) {
                XObjectPointerArray animations = c.ReadXObjectPointerArray(m_Context);
                for (CKAnimation* animation : XArray<CKAnimation*>(m_Animations))
                    RemoveAnimation(animation);
                for (CKObject* o : animations)
                    if (auto* animation = CKObjectAs<CKAnimation>(o, CKCID_ANIMATION))
                        AddAnimation(animation);
            }
            if (c.SeekIdentifier(CK_STATESAVE_CHARACTERPARAMETER))
                m_AnimationParameter = c.ReadFloat();
        });
}

void RCKCharacter::CheckPreDeletion()
{
    CKCharacter::CheckPreDeletion();
    for (int i = m_BodyParts.Size() - 1; i >= 0; --i)
        if (m_BodyParts.Begin()[i]->IsToBeDeleted())
            m_BodyParts.RemoveAt(i);
    for (int i = m_Animations.Size() - 1; i >= 0; --i)
        if (m_Animations.Begin()[i]->IsToBeDeleted())
            m_Animations.RemoveAt(i);
}

CKBOOL RCKCharacter::IsObjectUsed(CKObject* object, CK_CLASSID cid)
{
    if (object && (m_BodyParts.IsHere(static_cast<CKBodyPart*>(object)) ||
                   m_Animations.IsHere(static_cast<CKAnimation*>(object))))
        return TRUE;
    return CKCharacter::IsObjectUsed(object, cid);
}

CKERROR RCKCharacter::PrepareDependencies(CKDependenciesContext& context, CKBOOL caller)
{
    CKDependenciesContext::Scope scope = context.EnterDependencyScope(this, caller);
    CKERROR error = CKCharacter::PrepareDependencies(context, FALSE);
    if (error != CKErr::Ok)
        return error;
    // A character goes with its body parts and animations.
    for (CKBodyPart* part : m_BodyParts)
        part->PrepareDependencies(context, TRUE);
    for (CKAnimation* animation : m_Animations)
        animation->PrepareDependencies(context, TRUE);
    return CKErr::Ok;
}

CKERROR RCKCharacter::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKCharacter::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    XArray<CKBodyPart*> parts(m_BodyParts);
    XArray<CKAnimation*> animations(m_Animations);
    m_BodyParts.Clear();
    m_Animations.Clear();
    for (CKBodyPart* part : parts)
        if (auto* remapped = CKObjectAs<CKBodyPart>(context.Remap(part), CKCID_BODYPART)) {
            // A part that was not copied stays with its own character.
            if (remapped != part || part->GetCharacter() == this)
                AddBodyPart(remapped);
        }
    for (CKAnimation* animation : animations)
        if (auto* remapped = CKObjectAs<CKAnimation>(context.Remap(animation), CKCID_ANIMATION)) {
            if (remapped != animation || animation->GetCharacter() == this)
                AddAnimation(remapped);
        }
    return CKErr::Ok;
}

CKERROR RCKCharacter::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKCharacter::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (auto* s = CKObjectAs<RCKCharacter>(&source, CKCID_CHARACTER)) {
        // Taken over (without their links) until the remap.
        m_BodyParts = s->m_BodyParts;
        m_Animations = s->m_Animations;
        m_AnimationParameter = s->m_AnimationParameter;
    }
    return CKErr::Ok;
}

int RCKCharacter::GetMemoryOccupation()
{
    return CKCharacter::GetMemoryOccupation() + (int) (sizeof(*this) - sizeof(CKCharacter)) +
           (m_BodyParts.Capacity() + m_Animations.Capacity()) * (int) sizeof(void*);
}

void RCKCharacter::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x35985C64, 0x51AF1372));
    CKClassNeedNotificationFrom(m_ClassID, CKCID_BODYPART);
    CKClassNeedNotificationFrom(m_ClassID, CKCID_ANIMATION);
}

const char* RCKCharacter::GetClassName()
{
    return "Character";
}
