#pragma once

#include "includes/CKTypes.h"
#include "platform/PlatformFileMapping.h"

// A whole file mapped read-only for the life of the object.
class QxMemoryMappedFile
{
public:
    enum State
    {
        QX_MAPPED = 0,
        QX_FILE_NOT_OPENED = 1,
        QX_MAPPING_FAILED = 2,
        QX_VIEW_FAILED = 3,
    };

    // Opens and maps the file ('\' or '/' separators); the state tells
    // whether and where that failed. An empty file is mapped with size 0.
    explicit QxMemoryMappedFile(const char* name);
    ~QxMemoryMappedFile() = default;
    QxMemoryMappedFile(const QxMemoryMappedFile&) = delete;
    QxMemoryMappedFile& operator=(const QxMemoryMappedFile&) = delete;

    // The mapped bytes and their count; null and 0 unless mapped.
    const void* GetBase() const { return m_Mapping.Data(); }
    CKDWORD GetFileSize() const { return m_Mapping.Size(); }
    int GetState() const { return static_cast<int>(m_Mapping.GetState()); }
    CKBOOL IsValid() const { return m_Mapping.GetState() == PlatformFileMapping::Mapped; }

private:
    PlatformFileMapping m_Mapping;
};
