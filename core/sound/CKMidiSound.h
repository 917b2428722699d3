#pragma once

#include "core/sound/CKSound.h"
#include "core/sound/CKSoundManager.h"

// A MIDI file played through the MIDI manager; without one (this system has
// none) it keeps its file and settings.
class CKMidiSound : public CKClass<CKMidiSound, CKSound, CKCID_MIDISOUND>
{
public:
    explicit CKMidiSound(CKContext* context, const char* name = nullptr);
    ~CKMidiSound() override;

    // Resolves the name through the path manager ("Sound Paths"), stores
    // it and hands it to the MIDI source: the manager's result, -24 without
    // a MIDI manager (the name is stored).
    CKERROR SetSoundFileName(const char* name) override;

    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;

    static void Register();
    static const char* GetClassName();

private:
    CKMidiManager* m_MidiManager = nullptr;
    void* m_Source = nullptr;
};
