#include "core/sound/CKSound.h"

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"

namespace {

// Path-manager category of sound files.
constexpr int kSoundPaths = 2;

} // namespace

CKSound::CKSound(CKContext* context, const char* name) : CKClass(context, name) {}

CKERROR CKSound::SetSoundFileName(const char* name)
{
    m_FileName = name;
    return CKErr::Ok;
}

CKStateChunk* CKSound::Save(CKFile* file, CKDWORD flags)
{
    CKStateChunk* base = CKBeObject::Save(file, flags);
    int option = m_SaveOption;
    if (option == CKSOUND_USEGLOBAL)
        option = m_Context->GetGlobalSoundsSaveOptions();
    if (file && option == CKSOUND_INCLUDED && m_FileName.Length())
        file->IncludeFile(m_FileName.CStr(), kSoundPaths);

    CKStateChunk* chunk = CKCreateStateChunk(CKCID_SOUND, file);
    chunk->StartWrite();
    chunk->AddChunkAndDelete(base);
    chunk->WriteIdentifier(CK_STATESAVE_SOUNDFILENAME);
    chunk->WriteInt(m_SaveOption);
    XString path = m_FileName;
    chunk->WriteString(m_FileName.Length() ? CKGetFileNameFromPath(path) : nullptr);
    if (GetClassID() == CKCID_SOUND)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

CKERROR CKSound::Load(CKStateChunk* chunk, CKFile* file)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKBeObject::Load(chunk, file);
    if (chunk->SeekIdentifier(CK_STATESAVE_SOUNDFILENAME)) {
        m_SaveOption = chunk->ReadInt();
        m_FileName = "";
        chunk->ReadStringInto(m_FileName);
    }
    return CKErr::Ok;
}

int CKSound::GetMemoryOccupation()
{
    return CKBeObject::GetMemoryOccupation() + 8 + m_FileName.Length();
}

void CKSound::Register()
{
    CKClassSetParameterGuid(m_ClassID, CKGUID(0x40194410, 0x3A773F80));
}

const char* CKSound::GetClassName()
{
    return "Sound";
}
