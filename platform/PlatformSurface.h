#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Stand-in for the surfaces of the platform's 3D interface: images in system
// memory in one of its surface formats, numbered as the platform numbers them
// (the compressed ones by their four-character codes).

constexpr uint32_t PlatformFourCC(char a, char b, char c, char d)
{
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

enum PlatformD3dFormat : uint32_t
{
    PLATFORM_D3DFMT_UNKNOWN = 0,
    PLATFORM_D3DFMT_R8G8B8 = 20,
    PLATFORM_D3DFMT_A8R8G8B8 = 21,
    PLATFORM_D3DFMT_X8R8G8B8 = 22,
    PLATFORM_D3DFMT_R5G6B5 = 23,
    PLATFORM_D3DFMT_X1R5G5B5 = 24,
    PLATFORM_D3DFMT_A1R5G5B5 = 25,
    PLATFORM_D3DFMT_A4R4G4B4 = 26,
    PLATFORM_D3DFMT_R3G3B2 = 27,
    PLATFORM_D3DFMT_V8U8 = 60,
    PLATFORM_D3DFMT_L6V5U5 = 61,
    PLATFORM_D3DFMT_X8L8V8U8 = 62,
    PLATFORM_D3DFMT_V16U16 = 64,
    PLATFORM_D3DFMT_DXT1 = PlatformFourCC('D', 'X', 'T', '1'),
    PLATFORM_D3DFMT_DXT2 = PlatformFourCC('D', 'X', 'T', '2'),
    PLATFORM_D3DFMT_DXT3 = PlatformFourCC('D', 'X', 'T', '3'),
    PLATFORM_D3DFMT_DXT4 = PlatformFourCC('D', 'X', 'T', '4'),
    PLATFORM_D3DFMT_DXT5 = PlatformFourCC('D', 'X', 'T', '5'),
};

// How the pixels of a format lie in memory. Uncompressed formats give their
// depth and channel masks (BlockBytes 0; a grey layout gives one mask for
// red, green and blue); the block-compressed ones give the bytes of one
// 4 x 4 block (8 or 16) and no depth or masks.
struct PlatformSurfaceLayout
{
    uint32_t BitsPerPixel = 0;
    uint32_t RedMask = 0;
    uint32_t GreenMask = 0;
    uint32_t BlueMask = 0;
    uint32_t AlphaMask = 0;
    uint32_t BlockBytes = 0;
    bool Bump = false; // signed difference channels, not colours
};

// The layout of one of the formats above; false for any other value.
bool PlatformGetSurfaceLayout(uint32_t format, PlatformSurfaceLayout& out);

// The format whose layout has these depth and masks (compressed formats are
// never found this way); PLATFORM_D3DFMT_UNKNOWN when none has.
uint32_t PlatformFindSurfaceFormat(const PlatformSurfaceLayout& layout);

// Largest width or height of a surface: within it every byte count of a
// surface fits in 31 bits.
constexpr int32_t PLATFORM_SURFACE_MAX_SIDE = 16384;

// Bytes from one line to the next (packed: width x bytes per pixel), or from
// one row of blocks to the next; 0 for a depth that is not whole bytes or a
// size outside 1..PLATFORM_SURFACE_MAX_SIDE.
uint32_t PlatformSurfacePitch(const PlatformSurfaceLayout& layout, int32_t width);
// Bytes of a whole surface: pitch x lines, or pitch x rows of blocks
// (partial blocks counted whole, at least one); 0 as for the pitch.
size_t PlatformSurfaceSize(const PlatformSurfaceLayout& layout, int32_t width, int32_t height);

// One image in system memory: its pixels are either its own or borrowed from
// a buffer that must outlive it. Lines (or rows of blocks) are packed.
class PlatformSurface
{
public:
    PlatformSurface() = default;
    PlatformSurface(const PlatformSurface&) = delete;
    PlatformSurface& operator=(const PlatformSurface&) = delete;

    // A surface with pixels of its own (not cleared). False, leaving it
    // empty, for an unknown layout or size, or when memory runs out.
    bool Create(uint32_t format, const PlatformSurfaceLayout& layout, int32_t width, int32_t height);
    // A surface over size bytes that the caller keeps; false, leaving it
    // empty, when they are fewer than the surface needs. Over constant
    // bytes the surface is read-only: MutableBits() is null.
    bool Wrap(uint32_t format, const PlatformSurfaceLayout& layout, int32_t width, int32_t height, uint8_t* bits,
              size_t size);
    bool Wrap(uint32_t format, const PlatformSurfaceLayout& layout, int32_t width, int32_t height, const uint8_t* bits,
              size_t size);
    // Forgets the pixels (freeing its own).
    void Reset();

    // The format number, PLATFORM_D3DFMT_UNKNOWN for a layout given by
    // masks alone.
    uint32_t Format() const { return m_Format; }
    const PlatformSurfaceLayout& Layout() const { return m_Layout; }
    bool Compressed() const { return m_Layout.BlockBytes != 0; }
    int32_t Width() const { return m_Width; }
    int32_t Height() const { return m_Height; }
    uint32_t Pitch() const { return m_Pitch; }
    size_t Size() const { return m_Size; }
    const uint8_t* Bits() const { return m_Bits; }
    uint8_t* MutableBits() const { return m_Writable ? const_cast<uint8_t*>(m_Bits) : nullptr; }

private:
    bool Describe(uint32_t format, const PlatformSurfaceLayout& layout, int32_t width, int32_t height);

    uint32_t m_Format = PLATFORM_D3DFMT_UNKNOWN;
    PlatformSurfaceLayout m_Layout;
    int32_t m_Width = 0;
    int32_t m_Height = 0;
    uint32_t m_Pitch = 0;
    size_t m_Size = 0;
    const uint8_t* m_Bits = nullptr;
    bool m_Writable = false;
    std::unique_ptr<uint8_t[]> m_Own;
};
