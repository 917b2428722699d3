#include "render/animation/RCKAnimation.h"

#include <cmath>

#include "core/chunk/CKStateChunk.h"
#include "core/object/CKDependenciesContext.h"
#include "render/animation/CKAnimationObjects.h"
#include "render/animation/CKCharacter.h"
#include "render/objects/CKClassChunk.h"

namespace {

constexpr CKDWORD CK_STATESAVE_ANIMATIONLENGTH = 0x00100000;

} // namespace

CKStateChunk* RCKAnimation::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKAnimation::m_ClassID, CKAnimation::Save(file, flags), file, flags,
                            CK_STATESAVE_ANIMATIONLENGTH, [&](CKStateChunk& chunk) {
                                chunk.WriteIdentifier(CK_STATESAVE_ANIMATIONLENGTH);
                                chunk.WriteFloat(m_Length);
                            });
}

CKERROR RCKAnimation::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return CKAnimation::Load(chunk, file); },
        [&](CKStateChunk& c) {
            if (c.SeekIdentifier(CK_STATESAVE_ANIMATIONLENGTH)) {
                const float length = c.ReadFloat();
                m_Length = std::isfinite(length) ? length : 0.0f;
            }
        });
}

void RCKAnimation::CheckPreDeletion()
{
    CKAnimation::CheckPreDeletion();
    if (m_Character && m_Character->IsToBeDeleted())
        m_Character = nullptr;
}

CKERROR RCKAnimation::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKAnimation::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (auto* s = CKObjectAs<RCKAnimation>(&source, CKCID_ANIMATION)) {
        m_Length = s->m_Length;
        m_Step = s->m_Step;
    }
    return CKErr::Ok;
}

void RCKAnimation::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x5BFA474D, 0x19E60236));
    CKClassNeedNotificationFrom(m_ClassID, CKCID_CHARACTER);
}

const char* RCKAnimation::GetClassName()
{
    return "Animation";
}
