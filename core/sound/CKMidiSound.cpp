#include "core/sound/CKMidiSound.h"

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKPathManager.h"
#include "core/object/CKClassRegistry.h"

namespace {

constexpr int kSoundPaths = 2;

} // namespace

CKMidiSound::CKMidiSound(CKContext* context, const char* name) : CKClass(context, name)
{
    if (!m_Context)
        return;
    m_MidiManager = dynamic_cast<CKMidiManager*>(m_Context->GetManagerByGuid(MIDI_MANAGER_GUID));
    if (m_MidiManager)
        m_Source = m_MidiManager->CreateSource(m_Context->GetMainWindow());
}

CKMidiSound::~CKMidiSound()
{
    if (m_MidiManager && m_Source)
        m_MidiManager->ReleaseSource(m_Source);
}

CKERROR CKMidiSound::SetSoundFileName(const char* name)
{
    XString resolved = name;
    if (m_Context->GetPathManager() && resolved.Length())
        m_Context->GetPathManager()->ResolveFileName(resolved, kSoundPaths);
    m_FileName = resolved;
    if (!m_MidiManager)
        return CKErr::NotInitialized;
    return m_MidiManager->SetSoundFileName(m_Source, m_FileName.CStr());
}

CKStateChunk* CKMidiSound::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKSound::Save(file, flags);
    if (!file && !(flags & CK_STATESAVE_SOUNDSECTIONS)) {
        if (GetClassID() == CKCID_MIDISOUND)
            base->CloseChunk();
        return base;
    }
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_MIDISOUND, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);
    if (GetClassID() == CKCID_MIDISOUND)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

CKERROR CKMidiSound::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKSound::Load(chunk, file);
    XString name = m_FileName;
    if (chunk->SeekIdentifier(CK_STATESAVE_SOUNDOLDFILENAME)) {
        name = "";
        chunk->ReadStringInto(name);
    }
    // Handing the name to the MIDI source again; without one it is kept.
    SetSoundFileName(name.CStr());
    return CKErr::Ok;
}

void CKMidiSound::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x4B81218B, 0x2EB7145E));
}

const char* CKMidiSound::GetClassName()
{
    return "Midi Sound";
}
