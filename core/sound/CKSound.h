#pragma once

#include "core/object/CKBeObject.h"

// Chunk identifiers of a sound's sections.
enum : CKDWORD
{
    CK_STATESAVE_SOUNDFILENAME = 0x1000,
    CK_STATESAVE_SOUNDOLDFILENAME = 0x100000, // older chunks
    CK_STATESAVE_WAVSOUNDDATA = 0x400000,
    CK_STATESAVE_WAVSOUNDSTATE = 0x800000,
    CK_STATESAVE_SOUNDSECTIONS = 0x0FF00000, // save flags that ask for the derived sections
};

// How a sound's file is saved.
enum CK_SOUND_SAVEOPTIONS : int
{
    CKSOUND_EXTERNAL = 0,  // referred to where it lies
    CKSOUND_INCLUDED = 1,  // included in the saved file
    CKSOUND_USEGLOBAL = 2, // as the context's "File Options/Sounds" says
};

// A sound file that a composition refers to or includes.
class CKSound : public CKClass<CKSound, CKBeObject, CKCID_SOUND>
{
public:
    explicit CKSound(CKContext* context, const char* name = nullptr);

    // Null for none.
    const char* GetSoundFileName() const { return m_FileName.Length() ? m_FileName.CStr() : nullptr; }
    // Stores the name; sounds that play it load it too (0, or their error).
    virtual CKERROR SetSoundFileName(const char* name);
    int GetSaveOptions() const { return m_SaveOption; }
    void SetSaveOptions(int option) { m_SaveOption = option; }

    // Includes the file in a file being saved when the resolved option says
    // so; then the option and the file name without its folder.
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // -1 for a null chunk.
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    int GetMemoryOccupation() override;

    static void Register();
    static const char* GetClassName();

protected:
    XString m_FileName;
    int m_SaveOption = CKSOUND_USEGLOBAL;
};
