#pragma once

#include "includes/CKTypes.h"
#include "includes/XHashTable.h"
#include "includes/XString.h"
#include "system/io/QxCachedFile.h"
#include "system/memory/QxFixedSizeAllocator.h"

class QxSubFile;

// The index of the files stored in one archive stream: for each lower-case
// "name.ext", the offset and size of its bytes in the archive.
class QxPackedFile
{
public:
    QxPackedFile();
    ~QxPackedFile();
    QxPackedFile(const QxPackedFile&) = delete;
    QxPackedFile& operator=(const QxPackedFile&) = delete;

    // The archive stream, owned; its owner opens it.
    QxCachedFile* GetArchive() { return &m_Archive; }
    // Put in front of every name looked up (null or "" for none).
    void SetBasePath(const char* path) { m_BasePath = path; }

    // Enters a stored file under its lower-case name and extension (its
    // folders are dropped). FALSE when the name has no file-name part or
    // offset + size passes 4 GiB; an existing name gets the new record.
    CKBOOL AddFile(const char* name, CKDWORD offset, CKDWORD size);

    // Looks the name (after the base path, lower-cased, folders dropped) up.
    // When found and a sub-file is given, opens it as the stored file's
    // window on the archive. 1 when found, 0 otherwise.
    int FindFile(const char* name, QxSubFile* subFile);

    int GetFileCount() const { return m_Index.Size(); }

    // Forgets every record (the archive stays open).
    void Clear();

private:
    struct Record
    {
        CKDWORD offset;
        CKDWORD size;
    };

    // The index key of a name: lower-case file name and extension; "" when
    // the name has no file-name part.
    static XString MakeKey(const char* name);

    QxFixedSizeAllocator m_Records;
    XHashTable<Record*, XString> m_Index;
    QxCachedFile m_Archive;
    XString m_BasePath;
};
