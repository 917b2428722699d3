#pragma once

#include "core/file/CKStreamWriter.h"
#include "system/io/QxFile.h"

// Writes a disk file through QxFile; each context owns one.
class CKFileStreamWriter : public CKStreamWriter
{
public:
    CKFileStreamWriter() = default;
    // The embedded file closes itself.
    ~CKFileStreamWriter() override = default;

    // Keeps the name pointer (not copied) and opens the file "wb" (an
    // existing file is emptied).
    CKBOOL Open(const char* name) override;
    CKDWORD Write(const void* buffer, CKDWORD size) override;
    // Forgets the name and closes; false when closing reported an error.
    CKBOOL Close() override;
    // Opens the name "ab" and closes it again. A file that did not exist
    // before is removed afterwards, so the test leaves nothing behind.
    CKBOOL CheckAppendable(const char* name) override;

    // The name given to Open, null when closed.
    const char* GetFileName() const { return m_FileName; }

private:
    const char* m_FileName = nullptr;
    QxFile m_File;
};
