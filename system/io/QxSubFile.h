#pragma once

#include "system/io/QxStream.h"

// A window [start, start + size) onto another stream (the parent, not
// owned). Positions are relative to the window; reads and writes never go
// past its end.
class QxSubFile : public QxStream
{
public:
    QxSubFile() = default;

    // Makes this the window [start, start + size) of the parent, position 0,
    // and seeks to 0.
    void Open(QxStream* parent, CKDWORD start, CKDWORD size);

    CKDWORD Tell() override { return m_Position; }
    CKDWORD GetSize() override { return m_Size; }
    // A valid parent, a non-empty window, and the window within the parent.
    CKBOOL IsValid() override;
    // Origin 0: position = offset. Origin 1: position = size - offset (counted
    // backwards from the end of the window). Origin 2: position += offset.
    // Returns the parent's result.
    CKBOOL Seek(int offset, int origin) override;
    // Clipped to the rest of the window.
    CKDWORD Read(void* buffer, CKDWORD size) override;
    CKDWORD Write(const void* buffer, CKDWORD size) override;

private:
    // Puts the parent at start + position; false when that fails.
    bool SyncParent();
    CKDWORD Remaining() const { return m_Position < m_Size ? m_Size - m_Position : 0; }

    QxStream* m_Parent = nullptr;
    CKDWORD m_Start = 0;
    CKDWORD m_Size = 0;
    CKDWORD m_Position = 0;
};
