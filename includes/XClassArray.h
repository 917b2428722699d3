#pragma once

#include <utility>

#include "includes/CKTypes.h"
#include "includes/XElementRange.h"
#include "platform/PlatformAssert.h"

// Growable array of class elements, held as three pointers (begin, end,
// capacity end). The storage is one array-new block: every slot, used or
// not, is constructed when the block is allocated and destroyed when it is
// freed; elements move between slots by assignment. T needs a default
// constructor and assignment.
//
// Index and size checks work as in XArray: reported through PLATFORM_CHECK,
// and a bad index gives a default-constructed dummy element (one per element
// type and thread), never memory outside the array.
template <class T>
class XClassArray : public XElementRange<T>
{
    using Base = XElementRange<T>;
    using Base::m_Begin;
    using Base::m_End;

public:
    using Base::GetPosition;
    using Base::IsHere;
    using Base::Size;

    XClassArray() = default;

    explicit XClassArray(int capacity)
    {
        if (capacity > 0) {
            m_Begin = new T[capacity];
            m_End = m_Begin;
            m_AllocatedEnd = m_Begin + capacity;
        }
    }

    XClassArray(const XClassArray& other)
    {
        int n = other.Size();
        if (n > 0) {
            m_Begin = new T[n];
            m_End = m_AllocatedEnd = m_Begin + n;
            for (int i = 0; i < n; ++i)
                m_Begin[i] = other.m_Begin[i];
        }
    }

    XClassArray(XClassArray&& other) noexcept : m_AllocatedEnd(other.m_AllocatedEnd)
    {
        m_Begin = other.m_Begin;
        m_End = other.m_End;
        other.m_Begin = other.m_End = other.m_AllocatedEnd = nullptr;
    }

    ~XClassArray() { delete[] m_Begin; }

    // Element by element, reallocating (exactly the source's size) when the
    // destination's capacity is smaller than the source.
    XClassArray& operator=(const XClassArray& other)
    {
        if (this == &other)
            return *this;
        int n = other.Size();
        if (n > Capacity()) {
            delete[] m_Begin;
            m_Begin = new T[n];
            m_AllocatedEnd = m_Begin + n;
        }
        for (int i = 0; i < n; ++i)
            m_Begin[i] = other.m_Begin[i];
        m_End = m_Begin + n;
        return *this;
    }

    XClassArray& operator=(XClassArray&& other) noexcept
    {
        if (this != &other) {
            delete[] m_Begin;
            m_Begin = other.m_Begin;
            m_End = other.m_End;
            m_AllocatedEnd = other.m_AllocatedEnd;
            other.m_Begin = other.m_End = other.m_AllocatedEnd = nullptr;
        }
        return *this;
    }

    int Capacity() const { return (int) (m_AllocatedEnd - m_Begin); }

    // New storage of exactly size constructed elements (none for 0); the
    // first min(Size(), size) elements move over. Negative: reported, ignored.
    void Reserve(int size)
    {
        if (!PLATFORM_CHECK_TEXT(size >= 0, "size>=0"))
            return;
        int keep = Size() < size ? Size() : size;
        T* storage = size > 0 ? new T[size] : nullptr;
        for (int i = 0; i < keep; ++i)
            storage[i] = std::move(m_Begin[i]);
        delete[] m_Begin;
        m_Begin = storage;
        m_End = storage + keep;
        m_AllocatedEnd = storage + size;
    }

    // Sets the size, reserving exactly size when it exceeds the capacity.
    // Slots that come back into use keep what they last held.
    void Resize(int size)
    {
        if (!PLATFORM_CHECK_TEXT(size >= 0, "size>=0"))
            return;
        if (size > Capacity())
            Reserve(size);
        m_End = m_Begin + size;
    }

    // Appends a copy (taken first, so an element of this array may be
    // passed); grows to twice the size, 2 when empty.
    T& PushBack(const T& element)
    {
        if (m_End == m_AllocatedEnd) {
            T copy = element;
            Reserve(Size() ? Size() * 2 : 2);
            *m_End = std::move(copy);
        } else {
            *m_End = element;
        }
        return *m_End++;
    }

    // Puts a copy before position (0..Size()); grows to twice the capacity,
    // 1 when empty. A position outside 0..Size() is reported and ignored.
    void Insert(int pos, const T& element)
    {
        if (!PLATFORM_CHECK_TEXT(pos >= 0 && pos <= Size(), "pos>=0 && pos<=Size()"))
            return;
        T copy = element;
        if (m_End == m_AllocatedEnd) {
            int capacity = Capacity() ? Capacity() * 2 : 1;
            int size = Size();
            T* storage = new T[capacity];
            for (int i = 0; i < pos; ++i)
                storage[i] = std::move(m_Begin[i]);
            storage[pos] = std::move(copy);
            for (int i = pos; i < size; ++i)
                storage[i + 1] = std::move(m_Begin[i]);
            delete[] m_Begin;
            m_Begin = storage;
            m_End = storage + size + 1;
            m_AllocatedEnd = storage + capacity;
            return;
        }
        for (T* it = m_End; it != m_Begin + pos; --it)
            *it = std::move(*(it - 1));
        m_Begin[pos] = std::move(copy);
        ++m_End;
    }

    // Removes the element at pos, moving the tail down; the freed last slot
    // is reset to a default element. A bad index is reported and ignored.
    void RemoveAt(int pos)
    {
        if (!PLATFORM_CHECK_TEXT(pos >= 0 && pos < Size(), "pos>=0 && pos<Size()"))
            return;
        for (T* it = m_Begin + pos; it + 1 != m_End; ++it)
            *it = std::move(*(it + 1));
        --m_End;
        *m_End = T();
    }

    // Removes the first element equal to value; TRUE when one was removed.
    CKBOOL Remove(const T& value)
    {
        int pos = GetPosition(value);
        if (pos < 0)
            return FALSE;
        RemoveAt(pos);
        return TRUE;
    }

    // Destroys every element and frees the storage; all pointers become null.
    void Clear()
    {
        delete[] m_Begin;
        m_Begin = m_End = m_AllocatedEnd = nullptr;
    }

    void Free() { Clear(); }

    void Swap(XClassArray& other) noexcept
    {
        std::swap(m_Begin, other.m_Begin);
        std::swap(m_End, other.m_End);
        std::swap(m_AllocatedEnd, other.m_AllocatedEnd);
    }

private:
    T* m_AllocatedEnd = nullptr;
};
