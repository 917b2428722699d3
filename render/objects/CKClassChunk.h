#pragma once

#include <type_traits>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKDefines.h"
#include "core/object/CKObject.h"

// The save and load skeleton shared by the classes that extend their base
// class's state chunk with sections of their own (every render class).
//
// Saving is base first: the base class's Save gives its chunk; when the
// class has something to write (a file is being saved, or the save flags
// hold one of the class's own bits) a chunk of the class's id starts with
// the base chunk and goes on with the class's sections, each one an
// identifier followed by its words. Only the class the object actually is
// closes the chunk; a base class leaves it open, its data size brought up to
// date, so that the derived class goes on writing into the same chunk (the
// file writer closes a chunk still being written). Without a file and
// without any of its bits the class writes nothing and the base chunk is the
// result as it is.
//
// Loading is the mirror: the base class's Load first (its error stops the
// load), then each section the class finds by its identifier; an identifier
// that is absent leaves that part of the object as it was. The result is the
// chunk's read error, so that a chunk cut short or broken is reported once
// the object has taken what could be read; a section the class refused
// (counts beyond the data) gives its own error.
//
//     CKStateChunk* RCKThing::Save(CKFile* file, CKDWORD flags)
//     {
//         return CKSaveClassChunk(this, CKThing::m_ClassID, RCKBase::Save(file, flags), file, flags,
//                                 CK_STATESAVE_THINGONLY, [&](CKStateChunk& chunk) {
//                                     chunk.WriteIdentifier(CK_STATESAVE_THINGSIZE);
//                                     chunk.WriteFloat(m_Size);
//                                 });
//     }
//
//     CKERROR RCKThing::Load(CKStateChunk* chunk, CKFile* file)
//     {
//         return CKLoadClassChunk(chunk, [&] { return RCKBase::Load(chunk, file); }, [&](CKStateChunk& c) {
//             if (c.SeekIdentifier(CK_STATESAVE_THINGSIZE))
//                 m_Size = c.ReadFloat();
//         });
//     }

// object: the object being saved; cid: the class whose sections these are;
// ownFlags: the save flags that ask for one of them. writeSections(chunk)
// writes the sections into the open chunk.
template <class WriteSections>
CKStateChunk* CKSaveClassChunk(CKObject* object, CK_CLASSID cid, CKStateChunk* baseChunk, CKFile* file, CKDWORD flags,
                               CKDWORD ownFlags, WriteSections&& writeSections)
{
    if (!file && !(flags & ownFlags))
        return baseChunk;
    CKStateChunk* chunk = CKCreateStateChunk(cid, file);
    if (!chunk)
        return baseChunk;
    chunk->StartWrite();
    chunk->AddChunkAndDelete(baseChunk);
    writeSections(*chunk);
    if (object->GetClassID() == cid)
        chunk->CloseChunk();
    else
        chunk->UpdateDataSize();
    return chunk;
}

// loadBase() runs the base class's Load and gives its result;
// readSections(chunk) reads the class's sections and may give an error of
// its own (a section whose content it refused). -1 for a null chunk.
template <class LoadBase, class ReadSections>
CKERROR CKLoadClassChunk(CKStateChunk* chunk, LoadBase&& loadBase, ReadSections&& readSections)
{
    if (!chunk)
        return CKErr::InvalidParameter;
    CKERROR error = loadBase();
    if (error != CKErr::Ok)
        return error;
    if constexpr (std::is_void_v<decltype(readSections(*chunk))>) {
        readSections(*chunk);
    } else {
        error = readSections(*chunk);
        if (error != CKErr::Ok)
            return error;
    }
    return chunk->GetReadError();
}
