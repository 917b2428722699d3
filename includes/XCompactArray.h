#pragma once

#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "includes/CKTypes.h"
#include "includes/XElementRange.h"
#include "platform/PlatformAssert.h"

// Array of plain elements held as a begin and an end pointer only, sized
// exactly: it reallocates on every insertion or removal. Meant for the small
// element lists kept inside engine objects. Checks as in XArray.
template <class T>
class XCompactArray : public XElementRange<T>
{
    static_assert(std::is_trivially_copyable_v<T>, "XCompactArray holds plain elements");

    using Base = XElementRange<T>;
    using Base::m_Begin;
    using Base::m_End;

public:
    using Base::GetPosition;
    using Base::IsHere;
    using Base::Size;

    XCompactArray() = default;

    XCompactArray(const XCompactArray& other)
    {
        int n = other.Size();
        if (n > 0) {
            m_Begin = Allocate(n);
            std::memcpy((void*) m_Begin, (const void*) other.m_Begin, sizeof(T) * (size_t) n);
            m_End = m_Begin + n;
        }
    }

    XCompactArray(XCompactArray&& other) noexcept
    {
        m_Begin = other.m_Begin;
        m_End = other.m_End;
        other.m_Begin = other.m_End = nullptr;
    }

    ~XCompactArray() { Deallocate(m_Begin); }

    XCompactArray& operator=(const XCompactArray& other)
    {
        if (this != &other) {
            XCompactArray copy(other);
            Swap(copy);
        }
        return *this;
    }

    XCompactArray& operator=(XCompactArray&& other) noexcept
    {
        if (this != &other) {
            Deallocate(m_Begin);
            m_Begin = other.m_Begin;
            m_End = other.m_End;
            other.m_Begin = other.m_End = nullptr;
        }
        return *this;
    }

    // Exactly size elements: the first min(Size(), size) are kept, new ones
    // are zero. Size 0 frees the storage; a negative size does nothing.
    void Resize(int size)
    {
        if (!PLATFORM_CHECK_TEXT(size >= 0, "size>=0"))
            return;
        int old = Size();
        if (size == old)
            return;
        T* storage = nullptr;
        if (size > 0) {
            storage = Allocate(size);
            int keep = old < size ? old : size;
            if (keep > 0)
                std::memcpy((void*) storage, (const void*) m_Begin, sizeof(T) * (size_t) keep);
            if (size > keep)
                std::memset((void*) (storage + keep), 0, sizeof(T) * (size_t) (size - keep));
        }
        Deallocate(m_Begin);
        m_Begin = storage;
        m_End = storage ? storage + size : nullptr;
    }

    T& PushBack(const T& element)
    {
        T copy = element;
        Resize(Size() + 1);
        m_End[-1] = copy;
        return m_End[-1];
    }

    void PushBackValue(T value) { PushBack(value); }

    // Puts a copy before pos (0..Size()); a bad position is reported and ignored.
    void Insert(int pos, const T& element)
    {
        if (!PLATFORM_CHECK_TEXT(pos >= 0 && pos <= Size(), "pos>=0 && pos<=Size()"))
            return;
        T copy = element;
        int size = Size();
        T* storage = Allocate(size + 1);
        if (pos > 0)
            std::memcpy((void*) storage, (const void*) m_Begin, sizeof(T) * (size_t) pos);
        storage[pos] = copy;
        if (size - pos > 0)
            std::memcpy((void*) (storage + pos + 1), (const void*) (m_Begin + pos), sizeof(T) * (size_t) (size - pos));
        Deallocate(m_Begin);
        m_Begin = storage;
        m_End = storage + size + 1;
    }

    // Removes the element at pos (reallocating to the exact new size).
    void RemoveAt(int pos)
    {
        if (!PLATFORM_CHECK_TEXT(pos >= 0 && pos < Size(), "pos>=0 && pos<Size()"))
            return;
        int size = Size() - 1;
        T* storage = nullptr;
        if (size > 0) {
            storage = Allocate(size);
            if (pos > 0)
                std::memcpy((void*) storage, (const void*) m_Begin, sizeof(T) * (size_t) pos);
            if (size - pos > 0)
                std::memcpy((void*) (storage + pos), (const void*) (m_Begin + pos + 1),
                            sizeof(T) * (size_t) (size - pos));
        }
        Deallocate(m_Begin);
        m_Begin = storage;
        m_End = storage ? storage + size : nullptr;
    }

    CKBOOL Remove(const T& value)
    {
        int pos = GetPosition(value);
        if (pos < 0)
            return FALSE;
        RemoveAt(pos);
        return TRUE;
    }

    CKBOOL AddIfNotHere(const T& value)
    {
        if (IsHere(value))
            return FALSE;
        PushBack(value);
        return TRUE;
    }

    // Frees the storage.
    void Clear()
    {
        Deallocate(m_Begin);
        m_Begin = m_End = nullptr;
    }

    void Swap(XCompactArray& other) noexcept
    {
        std::swap(m_Begin, other.m_Begin);
        std::swap(m_End, other.m_End);
    }

private:
    static T* Allocate(int n) { return static_cast<T*>(::operator new[](sizeof(T) * (size_t) n)); }
    static void Deallocate(T* p) { ::operator delete[](static_cast<void*>(p)); }
};
