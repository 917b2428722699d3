#pragma once

#include <cstring>
#include <type_traits>

#include "includes/CKTypes.h"
#include "platform/PlatformAssert.h"

// The begin and end pointers every engine array starts with, and the checked
// element access they share. A bad index is reported through PLATFORM_CHECK
// with the engine's text and reads or writes a zeroed (or default-made)
// dummy element, one per element type and thread, never memory outside the
// array.
template <class T>
class XElementRange
{
public:
    int Size() const { return (int) (m_End - m_Begin); }
    bool IsEmpty() const { return m_End == m_Begin; }

    T* Begin() { return m_Begin; }
    T* End() { return m_End; }
    const T* Begin() const { return m_Begin; }
    const T* End() const { return m_End; }
    T* begin() { return m_Begin; }
    T* end() { return m_End; }
    const T* begin() const { return m_Begin; }
    const T* end() const { return m_End; }

    T& operator[](int i)
    {
        if (!PLATFORM_CHECK_TEXT(i >= 0 && i < Size(), "i>=0 && i<Size()"))
            return Dummy();
        return m_Begin[i];
    }
    const T& operator[](int i) const
    {
        if (!PLATFORM_CHECK_TEXT(i >= 0 && i < Size(), "i>=0 && i<Size()"))
            return Dummy();
        return m_Begin[i];
    }

    // Index of the first element equal to value, or -1.
    int GetPosition(const T& value) const
    {
        for (const T* it = m_Begin; it != m_End; ++it)
            if (*it == value)
                return (int) (it - m_Begin);
        return -1;
    }

    CKBOOL IsHere(const T& value) const { return GetPosition(value) >= 0; }

protected:
    XElementRange() = default;
    ~XElementRange() = default;

    static T& Dummy()
    {
        if constexpr (std::is_trivially_copyable_v<T>) {
            alignas(T) static thread_local unsigned char storage[sizeof(T)];
            std::memset(storage, 0, sizeof(T));
            return *reinterpret_cast<T*>(storage);
        } else {
            static thread_local T dummy;
            dummy = T();
            return dummy;
        }
    }

    T* m_Begin = nullptr;
    T* m_End = nullptr;
};
