#pragma once

#include "system/io/QxFile.h"
#include "system/log/QxLogListener.h"

// Writes each line to the file <directory><name>.log, where the directory is
// that of the running program, or the folder named by the environment
// variable ENGINE_LOG_DIR when it is set. With flag 1 the date "[%y %m %d]"
// goes before the extension and a new file is opened each day; with flag 4
// the file is appended to, otherwise truncated when opened. The file is
// flushed after every line; one that cannot be opened is tried again at the
// next message.
class QxFileListener : public QxLogListener
{
public:
    explicit QxFileListener(const char* name);
    ~QxFileListener() override;

    const CKGUID* GetGuid() override;
    void WriteMessage(int source, CKDWORD level, int line, const char* file, const char* text) override;

    const char* GetDirectory() const { return m_Directory.CStr(); }
    // The path of the file opened last ("" before the first message).
    const char* GetFilePath() const { return m_Path.CStr(); }

private:
    bool EnsureOpen();

    int m_OpenDay = -1;
    XString m_Extension;
    XString m_Directory;
    XString m_Path;
    XString m_Line;
    QxFile m_File;
};
