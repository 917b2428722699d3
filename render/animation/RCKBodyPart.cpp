#include "render/animation/RCKBodyPart.h"

#include "core/chunk/CKStateChunk.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/object/CKDependenciesContext.h"
#include "render/animation/CKAnimationObjects.h"
#include "render/animation/CKCharacter.h"
#include "render/objects/CKClassChunk.h"

namespace {

constexpr CKDWORD CK_STATESAVE_BODYPARTCHARACTER = 0x01000000;

} // namespace

CKStateChunk* RCKBodyPart::Save(CKFile* file, CKDWORD flags)
{
    return CKSaveClassChunk(this, CKBodyPart::m_ClassID, CKBodyPart::Save(file, flags), file, flags,
                            CK_STATESAVE_BODYPARTCHARACTER, [&](CKStateChunk& chunk) {
                                chunk.WriteIdentifier(CK_STATESAVE_BODYPARTCHARACTER);
                                chunk.WriteObject(m_Character);
                            });
}

CKERROR RCKBodyPart::Load(CKStateChunk* chunk, CKFile* file)
{
    return CKLoadClassChunk(
        chunk, [&] { return CKBodyPart::Load(chunk, file); },
        [&](CKStateChunk& c) {
            if (c.SeekIdentifier(CK_STATESAVE_BODYPARTCHARACTER))
                m_Character = CKObjectAs<CKCharacter>(c.ReadObject(m_Context), CKCID_CHARACTER);
        });
}

void RCKBodyPart::CheckPreDeletion()
{
    CKBodyPart::CheckPreDeletion();
    if (m_Character && m_Character->IsToBeDeleted())
        m_Character = nullptr;
}

CKERROR RCKBodyPart::RemapDependencies(CKDependenciesContext& context)
{
    CKERROR error = CKBodyPart::RemapDependencies(context);
    if (error != CKErr::Ok)
        return error;
    m_Character = CKObjectAs<CKCharacter>(context.Remap(m_Character), CKCID_CHARACTER);
    return CKErr::Ok;
}

CKERROR RCKBodyPart::Copy(CKObject& source, CKDependenciesContext& context)
{
    CKERROR error = CKBodyPart::Copy(source, context);
    if (error != CKErr::Ok)
        return error;
    if (auto* s = CKObjectAs<RCKBodyPart>(&source, CKCID_BODYPART))
        m_Character = s->m_Character;
    return CKErr::Ok;
}

void RCKBodyPart::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x4BA1010E, 0x7ABD6D02));
    CKClassNeedNotificationFrom(m_ClassID, CKCID_CHARACTER);
    CKBeObjectLinks links = CKGetBeObjectLinks();
    links.GetBodyPartCharacter = [](CKObject* part) -> CKObject* {
        auto* p = CKObjectAs<RCKBodyPart>(part, CKCID_BODYPART);
        return p ? p->GetCharacter() : nullptr;
    };
    CKSetBeObjectLinks(links);
}

const char* RCKBodyPart::GetClassName()
{
    return "Body Part";
}
