#pragma once

#include <vector>

#include "platform/PlatformAssert.h"

// Stands in for the host's Tab: a growable table of plain values (pointers,
// numbers, small records), indexed from 0. Append's extra reserve is the
// host's growth step; here it only reserves. A broken precondition (an index
// or count out of range) is reported through PLATFORM_CHECK and changes
// nothing; a bad index reads a zeroed spare element.
template <class T>
class Tab
{
public:
    int Count() const { return int(m_Items.size()); }
    T& operator[](int i)
    {
        if (!PLATFORM_CHECK(i >= 0 && i < Count()))
            return m_Spare = T();
        return m_Items[size_t(i)];
    }
    const T& operator[](int i) const
    {
        if (!PLATFORM_CHECK(i >= 0 && i < Count()))
            return m_Spare = T();
        return m_Items[size_t(i)];
    }
    T* Addr(int i) { return i >= 0 && i < Count() ? &m_Items[size_t(i)] : nullptr; }

    // Appends num items from el; gives the index of the first.
    int Append(int num, const T* el, int allocExtra = 0)
    {
        if (!PLATFORM_CHECK(num >= 0 && (num == 0 || el)))
            return Count();
        const int first = Count();
        if (allocExtra > 0 && m_Items.capacity() < m_Items.size() + size_t(num))
            m_Items.reserve(m_Items.size() + size_t(num) + size_t(allocExtra));
        // Item by item: a range insert of one item trips GCC 12's overflow warning at -O2.
        for (int k = 0; k < num; ++k)
            m_Items.push_back(el[k]);
        return first;
    }
    // Inserts num items at index at (0 to Count()); gives at.
    int Insert(int at, int num, const T* el)
    {
        if (!PLATFORM_CHECK(at >= 0 && at <= Count() && num >= 0 && (num == 0 || el)))
            return at;
        m_Items.insert(m_Items.begin() + at, el, el + num);
        return at;
    }
    // Removes num items from start; gives the count left.
    int Delete(int start, int num)
    {
        if (!PLATFORM_CHECK(start >= 0 && num >= 0 && num <= Count() - start))
            return Count();
        m_Items.erase(m_Items.begin() + start, m_Items.begin() + start + num);
        return Count();
    }
    void SetCount(int n)
    {
        if (!PLATFORM_CHECK(n >= 0))
            return;
        m_Items.resize(size_t(n));
    }
    void ZeroCount() { m_Items.clear(); }
    void Resize(int n)
    {
        if (n > Count())
            m_Items.reserve(size_t(n));
    }
    void Shrink() { m_Items.shrink_to_fit(); }

private:
    std::vector<T> m_Items;
    mutable T m_Spare = T();
};
