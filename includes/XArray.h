#pragma once

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "includes/CKTypes.h"
#include "includes/XElementRange.h"
#include "platform/PlatformAssert.h"
#include "platform/PlatformTableMemory.h"

// Growable array of plain elements, held as three pointers (begin, end,
// capacity end). Elements are copied bytewise and never constructed, so T
// must be trivially copyable; class elements go in XClassArray. Storage
// below kPlatformMappedArrayBytes is a heap block grown with realloc (in
// place when it can); from there on it is a mapping grown by moving its pages
// (PlatformMapArray), so that growing to millions of elements costs no more
// per element than growing to thousands. Which of the two holds the
// elements follows from the capacity alone.
//
// Every index and size is checked in every build. A failed check is reported
// through PLATFORM_CHECK and the operation carries on safely: a bad index
// reads or writes a zeroed dummy element (one per element type and thread),
// never memory outside the array.
template <class T>
class XArray : public XElementRange<T>
{
    static_assert(std::is_trivially_copyable_v<T>, "XArray holds plain elements; use XClassArray");

    using Base = XElementRange<T>;
    using Base::m_Begin;
    using Base::m_End;

public:
    using Base::GetPosition;
    using Base::IsHere;
    using Base::Size;

    XArray() = default;

    // Storage for capacity elements when capacity >= 1, none otherwise; size 0.
    explicit XArray(int capacity)
    {
        if (capacity > 0) {
            m_Begin = Allocate(capacity);
            m_End = m_Begin;
            m_AllocatedEnd = m_Begin + capacity;
        }
    }

    // Storage of exactly the other's size; an empty other gives no storage.
    XArray(const XArray& other)
    {
        int n = other.Size();
        if (n > 0) {
            m_Begin = Allocate(n);
            CopyBytes(m_Begin, other.m_Begin, n);
            m_End = m_AllocatedEnd = m_Begin + n;
        }
    }

    XArray(XArray&& other) noexcept : m_AllocatedEnd(other.m_AllocatedEnd)
    {
        m_Begin = other.m_Begin;
        m_End = other.m_End;
        other.m_Begin = other.m_End = other.m_AllocatedEnd = nullptr;
    }

    ~XArray() { Deallocate(m_Begin, Capacity()); }

    // Reuses the storage when it is large enough, else allocates exactly the
    // source's size.
    XArray& operator=(const XArray& other)
    {
        if (this == &other)
            return *this;
        int n = other.Size();
        if (n > Capacity()) {
            Deallocate(m_Begin, Capacity());
            m_Begin = Allocate(n);
            m_AllocatedEnd = m_Begin + n;
        }
        if (n > 0)
            CopyBytes(m_Begin, other.m_Begin, n);
        m_End = m_Begin + n;
        return *this;
    }

    XArray& operator=(XArray&& other) noexcept
    {
        if (this != &other) {
            Deallocate(m_Begin, Capacity());
            m_Begin = other.m_Begin;
            m_End = other.m_End;
            m_AllocatedEnd = other.m_AllocatedEnd;
            other.m_Begin = other.m_End = other.m_AllocatedEnd = nullptr;
        }
        return *this;
    }

    int Capacity() const { return (int) (m_AllocatedEnd - m_Begin); }

    // The storage regrown to exactly size elements, holding the elements,
    // when size exceeds the capacity. Asked for no more than it has room for,
    // the array stays as it is: it never drops elements nor moves them for a
    // smaller room. A negative size is reported and ignored.
    void Reserve(int size)
    {
        if (!PLATFORM_CHECK_TEXT(size >= 0, "size>=0"))
            return;
        if (size <= Capacity())
            return;
        const int keep = Size();
        T* storage = Reallocate(m_Begin, Capacity(), size);
        m_Begin = storage;
        m_End = storage + keep;
        m_AllocatedEnd = storage + size;
    }

    // Sets the size, reserving exactly size when it exceeds the capacity. New
    // elements hold whatever the storage held. A negative size does nothing.
    void Resize(int size)
    {
        if (!PLATFORM_CHECK_TEXT(size >= 0, "size>=0"))
            return;
        if (size > Capacity())
            Reserve(size);
        m_End = m_Begin + size;
    }

    // Appends a copy (taken before any reallocation, so an element of this
    // array may be passed); grows to twice the size, 2 when empty.
    T& PushBack(const T& element)
    {
        T copy = element;
        if (m_End == m_AllocatedEnd)
            Reserve(Size() ? Size() * 2 : 2);
        CopyBytes(m_End, &copy, 1);
        return *m_End++;
    }

    void PushBackValue(T value) { PushBack(value); }

    // Puts a copy before position (0..Size()); grows to twice the capacity,
    // 1 when empty. A position outside 0..Size() is reported and ignored.
    void Insert(int pos, const T& element)
    {
        if (!PLATFORM_CHECK_TEXT(pos >= 0 && pos <= Size(), "pos>=0 && pos<=Size()"))
            return;
        T copy = element;
        if (m_End == m_AllocatedEnd) {
            const int capacity = Capacity() ? Capacity() * 2 : 1;
            const int size = Size();
            T* storage = Reallocate(m_Begin, Capacity(), capacity);
            m_Begin = storage;
            m_End = storage + size;
            m_AllocatedEnd = storage + capacity;
        }
        if (Size() - pos > 0)
            std::memmove((void*) (m_Begin + pos + 1), (const void*) (m_Begin + pos), (Size() - pos) * sizeof(T));
        CopyBytes(m_Begin + pos, &copy, 1);
        ++m_End;
    }

    // Removes the element at pos, moving the tail down. A bad index is
    // reported and ignored.
    void RemoveAt(int pos)
    {
        if (!PLATFORM_CHECK_TEXT(pos >= 0 && pos < Size(), "pos>=0 && pos<Size()"))
            return;
        if (Size() - pos - 1 > 0)
            std::memmove((void*) (m_Begin + pos), (const void*) (m_Begin + pos + 1), (Size() - pos - 1) * sizeof(T));
        --m_End;
    }

    // Removes the first element equal to value; true when one was removed.
    CKBOOL Remove(const T& value)
    {
        int pos = GetPosition(value);
        if (pos < 0)
            return FALSE;
        RemoveAt(pos);
        return TRUE;
    }

    // Appends value unless present; TRUE when it appended.
    CKBOOL AddIfNotHere(const T& value)
    {
        if (IsHere(value))
            return FALSE;
        PushBack(value);
        return TRUE;
    }

    // The index of value, appended at the end when absent.
    int AddUnique(const T& value)
    {
        int pos = GetPosition(value);
        if (pos >= 0)
            return pos;
        PushBack(value);
        return Size() - 1;
    }

    // Size 0; the storage stays for reuse.
    void Clear() { m_End = m_Begin; }

    // Frees the storage; all three pointers become null.
    void Free()
    {
        Deallocate(m_Begin, Capacity());
        m_Begin = m_End = m_AllocatedEnd = nullptr;
    }

    void Swap(XArray& other) noexcept
    {
        std::swap(m_Begin, other.m_Begin);
        std::swap(m_End, other.m_End);
        std::swap(m_AllocatedEnd, other.m_AllocatedEnd);
    }

private:
    static bool IsMapped(int capacity) { return sizeof(T) * (size_t) capacity >= kPlatformMappedArrayBytes; }
    static T* Allocate(int n) { return Reallocate(nullptr, 0, n); }
    // Storage of n >= capacity elements holding the first capacity elements
    // of p (of that capacity). As operator new, a failure throws: callers
    // never see a null block.
    static T* Reallocate(T* p, int capacity, int n)
    {
        const size_t bytes = sizeof(T) * (size_t) n;
        const size_t held = sizeof(T) * (size_t) capacity;
        void* block = nullptr;
        if (!IsMapped(n)) {
            block = std::realloc(static_cast<void*>(p), bytes);
        } else if (IsMapped(capacity)) {
            block = PlatformRemapArray(p, held, bytes);
        } else {
            block = PlatformMapArray(bytes);
            if (block && p) {
                std::memcpy(block, static_cast<const void*>(p), held);
                std::free(static_cast<void*>(p));
            }
        }
        if (!block)
            throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    static void Deallocate(T* p, int capacity)
    {
        if (IsMapped(capacity))
            PlatformUnmapArray(p, sizeof(T) * (size_t) capacity);
        else
            std::free(static_cast<void*>(p));
    }
    static void CopyBytes(T* dst, const T* src, int n)
    {
        std::memcpy((void*) dst, (const void*) src, sizeof(T) * (size_t) n);
    }

    T* m_AllocatedEnd = nullptr;
};
