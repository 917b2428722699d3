#pragma once

#include <cstring>

#include "includes/CKTypes.h"
#include "platform/PlatformAssert.h"

// Bit set whose size is a multiple of 32 bits, at least 32. Up to 32 bits
// live in the object itself; above that, a zeroed block of 32-bit words is
// allocated. Reading a bit beyond the size gives 0; setting one grows the
// set by doubling until it fits (new bits 0).
class XBitArray
{
public:
    // max(words, 1) x 32 bits, all clear.
    explicit XBitArray(int words = 1)
    {
        if (words > 1) {
            m_Heap = new CKDWORD[words]();
            m_Size = words * 32;
        }
    }

    XBitArray(const XBitArray& other) : m_Size(other.m_Size)
    {
        if (other.IsOnHeap()) {
            m_Heap = new CKDWORD[WordCount()];
            std::memcpy(m_Heap, other.m_Heap, WordCount() * sizeof(CKDWORD));
        } else {
            m_Inline = other.m_Inline;
        }
    }

    XBitArray(XBitArray&& other) noexcept : m_Size(other.m_Size)
    {
        if (other.IsOnHeap())
            m_Heap = other.m_Heap;
        else
            m_Inline = other.m_Inline;
        other.m_Size = 32;
        other.m_Inline = 0;
    }

    ~XBitArray()
    {
        if (IsOnHeap())
            delete[] m_Heap;
    }

    XBitArray& operator=(const XBitArray& other)
    {
        if (this != &other) {
            XBitArray copy(other);
            Swap(copy);
        }
        return *this;
    }

    XBitArray& operator=(XBitArray&& other) noexcept
    {
        if (this != &other) {
            XBitArray taken(static_cast<XBitArray&&>(other));
            Swap(taken);
        }
        return *this;
    }

    // Size in bits (a multiple of 32).
    int Size() const { return m_Size; }

    // Bit n; 0 for a negative n or one beyond the size.
    CKBOOL IsSet(int n) const
    {
        if (n < 0 || n >= m_Size)
            return FALSE;
        return (Words()[n >> 5] >> (n & 31)) & 1;
    }

    // Sets bit n, doubling the size until it fits. A negative n, or one of
    // 2^30 and above, is reported and ignored.
    void Set(int n)
    {
        if (!PLATFORM_CHECK_TEXT(n >= 0 && n < 0x40000000, "n>=0 && n<0x40000000"))
            return;
        if (n >= m_Size) {
            int size = m_Size;
            while (size <= n)
                size *= 2;
            Grow(size / 32);
        }
        Words()[n >> 5] |= 1u << (n & 31);
    }

    // Clears bit n; nothing beyond the size.
    void Unset(int n)
    {
        if (n < 0 || n >= m_Size)
            return;
        Words()[n >> 5] &= ~(1u << (n & 31));
    }

    // Clears every bit; the size stays.
    void Clear() { std::memset(Words(), 0, WordCount() * sizeof(CKDWORD)); }

    // Index of the lowest clear bit, or Size() when every bit is set.
    int GetUnsetBitPosition() const
    {
        const CKDWORD* words = Words();
        for (int w = 0; w < WordCount(); ++w)
            if (words[w] != 0xFFFFFFFFu)
                return w * 32 + __builtin_ctz(~words[w]);
        return m_Size;
    }

    void Swap(XBitArray& other) noexcept
    {
        bool onHeap = IsOnHeap();
        CKDWORD* heap = onHeap ? m_Heap : nullptr;
        CKDWORD inl = onHeap ? 0 : m_Inline;
        if (other.IsOnHeap())
            m_Heap = other.m_Heap;
        else
            m_Inline = other.m_Inline;
        if (onHeap)
            other.m_Heap = heap;
        else
            other.m_Inline = inl;
        int size = m_Size;
        m_Size = other.m_Size;
        other.m_Size = size;
    }

private:
    bool IsOnHeap() const { return m_Size > 32; }
    int WordCount() const { return m_Size >> 5; }
    CKDWORD* Words() { return IsOnHeap() ? m_Heap : &m_Inline; }
    const CKDWORD* Words() const { return IsOnHeap() ? m_Heap : &m_Inline; }

    void Grow(int words)
    {
        CKDWORD* heap = new CKDWORD[words]();
        std::memcpy(heap, Words(), WordCount() * sizeof(CKDWORD));
        if (IsOnHeap())
            delete[] m_Heap;
        m_Heap = heap;
        m_Size = words * 32;
    }

    union
    {
        CKDWORD m_Inline = 0;
        CKDWORD* m_Heap;
    };
    int m_Size = 32;
};
