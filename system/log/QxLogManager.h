#pragma once

#include <cstdarg>

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XHashTable.h"
#include "includes/XString.h"

class QxLogListener;

// Message levels, one bit each.
enum QxLogLevel
{
    QXLOG_DEBUG = 1,
    QXLOG_TRACE = 2,
    QXLOG_ERROR = 4,
    QXLOG_WARNING = 8,
    QXLOG_INFO = 16,
};

// Makes a listener of a given name.
using QxLogListenerFactory = QxLogListener* (*) (const char* name);

// Class identifiers of the three listener kinds.
constexpr CKGUID QXLOG_FILE_LISTENER_GUID(0x1FA732C0, 0x3BBE0666);
constexpr CKGUID QXLOG_CONSOLE_LISTENER_GUID(0x2BA41B30, 0x77A51B5D);
constexpr CKGUID QXLOG_OUTPUTDEBUG_LISTENER_GUID(0x51F155DD, 0x7AA77819);

// The process-wide dispatcher of diagnostic messages. A message is issued as
// one expression: QxGetLogManager()->SetContext(source, level, __LINE__,
// __FILE__)->Log(format, ...). The manager takes no lock: messages come from
// one thread at a time.
class QxLogManager
{
public:
    // Registers the three listener factories.
    QxLogManager();
    // Deletes every listener.
    ~QxLogManager();
    QxLogManager(const QxLogManager&) = delete;
    QxLogManager& operator=(const QxLogManager&) = delete;

    // The 1-based id of the name, registered at the end when new; -1 for a
    // null or empty name. Ids are never reused.
    int RegisterSource(const char* name);
    // The name of an id; null for an id below 1 or above the count.
    const char* GetSourceName(int id) const;
    int GetSourceCount() const { return m_Sources.Size(); }

    // 0 when the identifier already has a factory, else registers it and 1.
    int RegisterListenerType(const CKGUID& id, QxLogListenerFactory factory);
    // The listener of that name, made by the identifier's factory when there
    // is none, with the source added to its filter. Null when a listener of
    // that name exists with another identifier, or when no factory is
    // registered under the identifier.
    QxLogListener* CreateListener(const CKGUID& id, const char* name, int source);
    // The listener of that name, or null.
    QxLogListener* GetListener(const char* name);
    int GetListenerCount() const { return m_Listeners.Size(); }

    // Records the context of the next message.
    QxLogManager* SetContext(int source, CKDWORD level, int line, const char* file);
    // Formats the text (when any listener exists) and gives it to every
    // listener that takes the recorded source and level, in the order they
    // were created. A text longer than 65,535 characters is dropped.
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void LogV(const char* format, va_list args);

    // "DEBUG", "TRACE", "ERROR", "WARNING", "INFO", "" for anything else.
    static const char* GetLevelName(CKDWORD level);

    // Size of the format buffer: 256 at first, doubled while a text does not fit.
    int GetFormatBufferSize() const { return m_BufferSize; }

private:
    int m_BufferSize = 256;
    char* m_Buffer = nullptr;
    int m_Source = 0;
    int m_Line = 0;
    CKDWORD m_Level = 0;
    XString m_File;
    XHashTable<QxLogListener*, XString> m_Listeners;
    XHashTable<QxLogListenerFactory, CKGUID> m_Factories;
    XArray<XString*> m_Sources;
    bool m_Dispatching = false;
};

// The process-wide manager, made on first use.
QxLogManager* QxGetLogManager();
// Deletes the process-wide manager and its listeners (shut-down); the next
// QxGetLogManager makes a fresh one.
void QxDestroyLogManager();
