#pragma once

#include <functional>
#include <vector>

#include "platform/host/MaxTypes.h"

// Stands in for the host's undo system (theHold): while a super-transaction
// is open, every change made through the stand-in's setters (node and item
// creation, node fields, animatable flags, parameter values, keys) records
// how to undo itself, and SuperCancel undoes them, newest first, back to the
// matching SuperBegin. Super-transactions nest: SuperCancel undoes only the
// innermost one, SuperAccept keeps its changes (an outer SuperCancel still
// undoes them). Changes made by writing into a mesh's arrays directly are
// not recorded.
//
// Process-wide, as the host's is. A scene that is destroyed while a
// super-transaction is open drops every record (its items are gone).
class Hold
{
public:
    void SuperBegin();
    // Undoes the changes of the innermost super-transaction and closes it;
    // nothing when none is open.
    void SuperCancel();
    // Closes the innermost super-transaction and keeps its changes.
    void SuperAccept();
    // Whether changes are being recorded.
    BOOL Holding() const { return !m_Marks.empty() && !m_Restoring; }
    // Open super-transactions.
    int SuperLevel() const { return int(m_Marks.size()); }

    // Records how to undo a change (only while holding). The restore must
    // not throw.
    void Put(std::function<void()> restore);
    // Forgets every record and mark without undoing anything.
    void Reset();

private:
    std::vector<std::function<void()>> m_Restores;
    std::vector<size_t> m_Marks;
    bool m_Restoring = false;
};

extern Hold theHold;
