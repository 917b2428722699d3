#pragma once

#include "core/bitmap/CKDataReader.h"
#include "core/context/CKBaseManager.h"

// A Windows wave format (WAVEFORMATEX) as sounds pass it to the sound
// manager and get it from readers.
struct CKWaveFormat
{
    CKWORD FormatTag = 0;
    CKWORD Channels = 0;
    CKDWORD SamplesPerSec = 0;
    CKDWORD AvgBytesPerSec = 0;
    CKWORD BlockAlign = 0;
    CKWORD BitsPerSample = 0;
    CKWORD ExtraSize = 0;
};

// What wave sounds ask of the sound manager (GUID 0xDCE135F6, 0), which
// this system does not provide: a player registers an implementation under
// that GUID. A source is the manager's handle for one playing buffer.
class CKSoundManager : public CKBaseManager
{
public:
    explicit CKSoundManager(CKContext* context) : CKBaseManager(context, SOUND_MANAGER_GUID, "Sound Manager") {}

    // A source that plays the file itself, its format in format; null when
    // the manager cannot.
    virtual void* CreateSourceFromFile(const char* fileName, int type, CKBOOL streamed, CKWaveFormat& format) = 0;
    // A source with an empty buffer of bufferSize bytes; null on failure.
    virtual void* CreateSource(int type, const CKWaveFormat& format, int bufferSize, CKBOOL streamed) = 0;
    virtual void ReleaseSource(void* source) = 0;
    // Up to two parts of the buffer from offset (the second when it
    // wraps); FALSE when it cannot be locked.
    virtual CKBOOL LockBuffer(void* source, int offset, int size, void** part1, int* size1, void** part2,
                              int* size2) = 0;
    virtual void UnlockBuffer(void* source, void* part1, int size1, void* part2, int size2) = 0;
    virtual void SetType(void* source, int type) = 0;
    virtual int GetType(void* source) = 0;
    virtual void SetLoop(void* source, CKBOOL loop) = 0;
    // Length of a streamed buffer, in milliseconds.
    virtual int GetDefaultBufferLength() = 0;
    // The byte offset in the source's buffer that plays next.
    virtual int GetPlayPosition(void* source) = 0;
    virtual CKBOOL IsPlaying(void* source) = 0;
    virtual void Stop(void* source) = 0;
};

// What MIDI sounds ask of the MIDI manager (GUID 0x594154A6, 0), which this
// system does not provide either.
class CKMidiManager : public CKBaseManager
{
public:
    explicit CKMidiManager(CKContext* context) : CKBaseManager(context, MIDI_MANAGER_GUID, "Midi Manager") {}

    // A source playing through the window; null on failure.
    virtual void* CreateSource(void* window) = 0;
    virtual void ReleaseSource(void* source) = 0;
    virtual CKERROR SetSoundFileName(void* source, const char* name) = 0;
};

// A sound reader plug-in (category "Sound Readers"): decodes a file into
// wave data, block by block.
class CKSoundReader : public CKDataReader
{
public:
    // Reader flag: it can read a file held in memory.
    static constexpr CKDWORD ReadsMemory = 4;

    // 0 when the file opened.
    virtual CKERROR OpenFile(const char* name) = 0;
    virtual CKERROR ReadMemory(const void* bytes, int size) = 0;
    virtual CKERROR GetWaveFormat(CKWaveFormat& format) = 0;
    // Bytes of decoded data (below 1 when unknown) and the duration in ms.
    virtual int GetDataSize() = 0;
    virtual int GetDuration() = 0;
    // Results of Decode besides 0.
    static constexpr CKERROR EndOfData = -3;
    static constexpr CKERROR EndOfStream = -2;

    // Decodes the next block: 0 with a block, EndOfData when no more data
    // is there for now, EndOfStream at the end of the stream.
    virtual CKERROR Decode() = 0;
    virtual CKERROR GetDataBuffer(const CKBYTE** data, int* size) = 0;
    virtual CKERROR Seek(int position) = 0;
};
