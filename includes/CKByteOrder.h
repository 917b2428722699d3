#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Files are little-endian bytes, never structs: every layout is read and
// written field by field through these helpers.

inline uint16_t LoadLE16(const void* p)
{
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

inline uint32_t LoadLE32(const void* p)
{
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
           (static_cast<uint32_t>(b[3]) << 24);
}

inline float LoadLEFloat(const void* p)
{
    uint32_t w = LoadLE32(p);
    float f;
    std::memcpy(&f, &w, 4);
    return f;
}

inline void StoreLE16(void* p, uint16_t v)
{
    uint8_t* b = static_cast<uint8_t*>(p);
    b[0] = static_cast<uint8_t>(v);
    b[1] = static_cast<uint8_t>(v >> 8);
}

inline void StoreLE32(void* p, uint32_t v)
{
    uint8_t* b = static_cast<uint8_t*>(p);
    b[0] = static_cast<uint8_t>(v);
    b[1] = static_cast<uint8_t>(v >> 8);
    b[2] = static_cast<uint8_t>(v >> 16);
    b[3] = static_cast<uint8_t>(v >> 24);
}

inline void StoreLEFloat(void* p, float f)
{
    uint32_t w;
    std::memcpy(&w, &f, 4);
    StoreLE32(p, w);
}

// A bounded cursor over outside bytes. A read past the end fails, leaves the
// cursor where it was, zeroes the output and makes the reader fail for good,
// so a parser can read a whole record and test Ok() once.
class ByteReader
{
public:
    ByteReader(const void* data, size_t size) : m_Data(static_cast<const uint8_t*>(data)), m_Size(data ? size : 0) {}

    bool Ok() const { return m_Ok; }
    size_t Position() const { return m_Pos; }
    size_t Size() const { return m_Size; }
    size_t Remaining() const { return m_Size - m_Pos; }
    const uint8_t* Current() const { return m_Data + m_Pos; }

    bool Has(size_t n) const { return m_Ok && n <= m_Size - m_Pos; }

    bool Skip(size_t n)
    {
        if (!Has(n))
            return Fail();
        m_Pos += n;
        return true;
    }

    bool Seek(size_t pos)
    {
        if (!m_Ok || pos > m_Size)
            return Fail();
        m_Pos = pos;
        return true;
    }

    bool Read8(uint8_t& v)
    {
        if (!Has(1)) {
            v = 0;
            return Fail();
        }
        v = m_Data[m_Pos++];
        return true;
    }

    bool Read16(uint16_t& v)
    {
        if (!Has(2)) {
            v = 0;
            return Fail();
        }
        v = LoadLE16(m_Data + m_Pos);
        m_Pos += 2;
        return true;
    }

    bool Read32(uint32_t& v)
    {
        if (!Has(4)) {
            v = 0;
            return Fail();
        }
        v = LoadLE32(m_Data + m_Pos);
        m_Pos += 4;
        return true;
    }

    bool ReadS32(int32_t& v)
    {
        uint32_t w;
        bool ok = Read32(w);
        v = static_cast<int32_t>(w);
        return ok;
    }

    bool ReadFloat(float& v)
    {
        if (!Has(4)) {
            v = 0.0f;
            return Fail();
        }
        v = LoadLEFloat(m_Data + m_Pos);
        m_Pos += 4;
        return true;
    }

    bool ReadBytes(void* out, size_t n)
    {
        if (!Has(n)) {
            if (out && n)
                std::memset(out, 0, n);
            return Fail();
        }
        if (n)
            std::memcpy(out, m_Data + m_Pos, n);
        m_Pos += n;
        return true;
    }

private:
    bool Fail()
    {
        m_Ok = false;
        return false;
    }

    const uint8_t* m_Data;
    size_t m_Size;
    size_t m_Pos = 0;
    bool m_Ok = true;
};

// The writing twin of ByteReader: a bounded cursor over a buffer being
// filled. A write past the end stores nothing, leaves the cursor where it
// was and makes the writer fail for good, so a layout can be written whole
// and Ok() tested once.
class ByteWriter
{
public:
    ByteWriter(void* data, size_t size) : m_Data(static_cast<uint8_t*>(data)), m_Size(data ? size : 0) {}

    bool Ok() const { return m_Ok; }
    size_t Position() const { return m_Pos; }
    size_t Size() const { return m_Size; }
    size_t Remaining() const { return m_Size - m_Pos; }

    bool Has(size_t n) const { return m_Ok && n <= m_Size - m_Pos; }

    bool Write8(uint8_t v)
    {
        if (!Has(1))
            return Fail();
        m_Data[m_Pos++] = v;
        return true;
    }

    bool Write16(uint16_t v)
    {
        if (!Has(2))
            return Fail();
        StoreLE16(m_Data + m_Pos, v);
        m_Pos += 2;
        return true;
    }

    bool Write32(uint32_t v)
    {
        if (!Has(4))
            return Fail();
        StoreLE32(m_Data + m_Pos, v);
        m_Pos += 4;
        return true;
    }

    bool WriteS32(int32_t v) { return Write32(static_cast<uint32_t>(v)); }

    bool WriteFloat(float v)
    {
        if (!Has(4))
            return Fail();
        StoreLEFloat(m_Data + m_Pos, v);
        m_Pos += 4;
        return true;
    }

    bool WriteBytes(const void* bytes, size_t n)
    {
        if (!Has(n))
            return Fail();
        if (n)
            std::memcpy(m_Data + m_Pos, bytes, n);
        m_Pos += n;
        return true;
    }

    // n zero bytes, the padding of a layout.
    bool WriteZeros(size_t n)
    {
        if (!Has(n))
            return Fail();
        if (n)
            std::memset(m_Data + m_Pos, 0, n);
        m_Pos += n;
        return true;
    }

private:
    bool Fail()
    {
        m_Ok = false;
        return false;
    }

    uint8_t* m_Data;
    size_t m_Size;
    size_t m_Pos = 0;
    bool m_Ok = true;
};
