#include "platform/host/Hold.h"

Hold theHold;

void Hold::SuperBegin()
{
    m_Marks.push_back(m_Restores.size());
}

void Hold::SuperCancel()
{
    if (m_Marks.empty())
        return;
    const size_t mark = m_Marks.back();
    // Restores go through the same setters: they must not record again.
    m_Restoring = true;
    while (m_Restores.size() > mark) {
        std::function<void()> restore = std::move(m_Restores.back());
        m_Restores.pop_back();
        restore();
    }
    m_Restoring = false;
    m_Marks.pop_back();
}

void Hold::SuperAccept()
{
    if (m_Marks.empty())
        return;
    m_Marks.pop_back();
    if (m_Marks.empty())
        m_Restores.clear();
}

void Hold::Put(std::function<void()> restore)
{
    if (!m_Marks.empty() && !m_Restoring)
        m_Restores.push_back(std::move(restore));
}

void Hold::Reset()
{
    m_Restores.clear();
    m_Marks.clear();
}
