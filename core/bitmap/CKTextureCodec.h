#pragma once

#include "includes/CKTypes.h"

class CKTextureBitReader;

// The engine's own lossy plane codec: one 8-bit plane in 8 x 8 blocks of
// quantised DCT coefficients. Only the decoder exists.
//
// Coded plane: quality (8 bits at bit 0), width (32 bits at bit 8), height
// (32 bits at bit 40), then the coefficient codes of every block from bit 72,
// band of 8 lines after band, block after block, without gaps.
class CKTextureCodec
{
public:
    CKTextureCodec();

    // Decodes a plane. On success *plane is a new block of width x height
    // bytes (free it with CKReaderFree) and the result is width x height;
    // width and height are returned through the optional pointers. Fails
    // with 0 (*plane null) for a null or short stream, a width or height
    // outside 1..CK_MAX_IMAGE_DIMENSION, fewer coded bits than the blocks
    // need at the least, or a code that would read past the end.
    CKDWORD Decode(const void* data, CKDWORD size, CKBYTE** plane, int* width = nullptr, int* height = nullptr);

    // Quantisation table for a quality (its low 8 bits) and the cosine
    // table; resets the zero-run counter.
    void BuildTables(int quality);
    // Entry (row, column) of the quantisation table last built.
    int GetQuantization(int row, int column) const { return m_Quant[row][column]; }
    double GetCosine(int u, int x) const { return m_Cos[u][x]; }

    // One coefficient before quantisation; the zero-run counter carries on
    // from call to call (and from block to block).
    int DecodeCoefficient(CKTextureBitReader& bits);
    // One block: 64 coefficients in zigzag order, dequantised, inverse
    // transformed into 8 x 8 bytes (row by row).
    void DecodeBlock(CKTextureBitReader& bits, CKBYTE out[64]);

private:
    int m_Quant[8][8] = {};
    double m_Cos[8][8] = {};
    double m_CosT[8][8] = {};
    int m_ZeroRun = 0;
};

// Decodes one plane with the given codec (null: a codec made for the call).
// Same contract as CKTextureCodec::Decode; the caller checks the returned
// width and height against the raw bitmap header it read.
CKDWORD CKTextureCodecDecode(CKTextureCodec* codec, const void* data, CKDWORD size, CKBYTE** plane,
                             int* width = nullptr, int* height = nullptr);
