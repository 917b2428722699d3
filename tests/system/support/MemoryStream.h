#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "system/io/QxStream.h"

// A stream over a byte string, for tests: records the size of every Read and
// Write call and can be told to fail after a number of bytes.
class MemoryStream : public QxStream
{
public:
    explicit MemoryStream(std::string bytes = {}) : m_Bytes(std::move(bytes)) {}

    CKDWORD Tell() override { return m_Position; }
    CKDWORD GetSize() override { return static_cast<CKDWORD>(m_Bytes.size()); }
    CKBOOL IsValid() override { return m_Valid; }
    CKBOOL Seek(int offset, int origin) override
    {
        long long base = origin == QX_SEEK_BEGIN ? 0 : origin == QX_SEEK_END ? (long long) m_Bytes.size() : m_Position;
        long long target = base + offset;
        if (target < 0)
            return FALSE;
        m_Position = static_cast<CKDWORD>(target);
        return TRUE;
    }
    CKDWORD Read(void* buffer, CKDWORD size) override
    {
        reads.push_back(size);
        size_t available = m_Position < m_Bytes.size() ? m_Bytes.size() - m_Position : 0;
        size_t n = std::min<size_t>({size, available, readBudget});
        std::copy_n(m_Bytes.data() + m_Position, n, static_cast<char*>(buffer));
        m_Position += static_cast<CKDWORD>(n);
        readBudget -= n;
        return static_cast<CKDWORD>(n);
    }
    CKDWORD Write(const void* buffer, CKDWORD size) override
    {
        writes.push_back(size);
        size_t n = std::min<size_t>(size, writeBudget);
        if (m_Bytes.size() < m_Position + n)
            m_Bytes.resize(m_Position + n);
        std::copy_n(static_cast<const char*>(buffer), n, m_Bytes.data() + m_Position);
        m_Position += static_cast<CKDWORD>(n);
        writeBudget -= n;
        return static_cast<CKDWORD>(n);
    }

    const std::string& Bytes() const { return m_Bytes; }
    std::vector<CKDWORD> reads;
    std::vector<CKDWORD> writes;
    size_t readBudget = static_cast<size_t>(-1);
    size_t writeBudget = static_cast<size_t>(-1);
    CKBOOL m_Valid = TRUE;

private:
    std::string m_Bytes;
    CKDWORD m_Position = 0;
};
