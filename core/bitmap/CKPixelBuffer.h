#pragma once

#include <cstddef>

#include "includes/CKTypes.h"
#include "system/image/QxImageDesc.h"

// Bytes of width x height pixels of bpp bits, computed in 64 bits; 0 for a
// size or depth below 0.
size_t CKImageBytes(int width, int height, int bpp);

// 32-bit ARGB 8888 lines without padding.
bool CKIsArgb32(const QxImageDesc& desc);

// Whether a block of bytes holds every line of the description.
bool CKFitsSlot(const QxImageDesc& desc, size_t bytes);

// A 16-byte aligned pixel block with its description, freed unless
// released.
class CKPixelBuffer
{
public:
    CKPixelBuffer() = default;
    // Allocates |BytesPerLine| x Height bytes for the description (no
    // pixels when it fails or the description is empty).
    explicit CKPixelBuffer(const QxImageDesc& desc);
    ~CKPixelBuffer();
    CKPixelBuffer(CKPixelBuffer&& other) noexcept;
    CKPixelBuffer& operator=(CKPixelBuffer&& other) noexcept;
    CKPixelBuffer(const CKPixelBuffer&) = delete;
    CKPixelBuffer& operator=(const CKPixelBuffer&) = delete;

    CKBYTE* Image() const { return m_Desc.Image; }
    // The description, its Image the block.
    const QxImageDesc& Desc() const { return m_Desc; }
    size_t Bytes() const { return m_Bytes; }
    // Sets every 32-bit word of a 32-bit block.
    void Fill(CKDWORD word);
    // Hands the block over (QxDeleteAligned frees it).
    CKBYTE* Release();

private:
    QxImageDesc m_Desc;
    size_t m_Bytes = 0;
};
