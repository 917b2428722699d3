#include "readers/common/BufferedImageReader.h"

#include "includes/XArray.h"
#include "readers/common/DecodedImage.h"
#include "readers/common/ImageReaderResults.h"
#include "readers/common/ReaderFileIO.h"
#include "readers/common/ReaderLog.h"

BufferedImageReader::BufferedImageReader(const CKBitmapProperties& defaults, const char* tag, MemoryDecoder decode)
    : ImageReaderBase(defaults), m_Tag(tag), m_Decode(decode)
{}

int BufferedImageReader::ReadFile(const char* name, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!name || !out)
        return IMAGEREADER_NULLARGUMENT;
    XArray<CKBYTE> bytes;
    if (!ReaderReadWholeFile(name, bytes)) {
        ReaderLogError("%s: cannot read %s", m_Tag, name);
        return IMAGEREADER_CANNOTREAD;
    }
    return ReadMemory(bytes.Begin(), (CKDWORD) bytes.Size(), out);
}

int BufferedImageReader::ReadMemory(const void* memory, CKDWORD size, CKBitmapProperties** out)
{
    FreeDecoded();
    if (!out || !memory)
        return IMAGEREADER_NULLARGUMENT;
    DecodedImage image;
    const int result = m_Decode(static_cast<const CKBYTE*>(memory), size, image);
    if (result != IMAGEREADER_OK)
        return result;
    AdoptDecoded(image);
    *out = &m_Properties;
    return IMAGEREADER_OK;
}

int BufferedImageReader::SaveFile(const char* name, const CKBitmapProperties* properties)
{
    if (!name || !properties)
        return 0;
    const int size = SaveFileThroughMemory(name, properties);
    if (size < 0) {
        ReaderLogError("%s: cannot write %s", m_Tag, name);
        return IMAGEWRITER_CANNOTWRITE;
    }
    return size;
}
