#pragma once

#include "includes/CKTypes.h"

// Bits of LODOptions::Flags; no other bit is read or written.
enum : CKDWORD
{
    LOD_ALPHA = 0x1,          // fade by screen size
    LOD_MULTIPLEMESHES = 0x2, // choose among the entity's meshes
    LOD_CHARACTER = 0x4,      // pass the face ratio to a character
    LOD_PATCHMESH = 0x8,      // set the patch mesh's tessellation
};

// The value of the "LOD Options" parameter type: seven little-endian 32-bit
// words. Fractions are plain numbers (0.4 is 40 %); the text form shows them
// as percentages.
struct LODOptions
{
    CKDWORD Flags = 0;
    float ScreenMag = 0.4f;       // screen fraction at and above which full detail is used
    float ScreenMin = 0.01f;      // ... at and below which minimum detail is used
    float FaceMag = 1.0f;         // face ratio at full detail
    float FaceMin = 0.02f;        // face ratio at minimum detail
    float ScreenAlphaMag = 0.1f;  // screen fraction at and above which the entity is opaque
    float ScreenAlphaMin = 0.05f; // ... at and below which it is fully transparent
};
static_assert(sizeof(LODOptions) == 28, "the parameter value is seven 32-bit words");

// The four flags in the order of the text form's words and of the blocks'
// Boolean parameters.
constexpr CKDWORD kLODFlagOrder[4] = {LOD_MULTIPLEMESHES, LOD_CHARACTER, LOD_PATCHMESH, LOD_ALPHA};

// Fraction i of the record, in record order: 0 ScreenMag, 1 ScreenMin,
// 2 FaceMag, 3 FaceMin, 4 ScreenAlphaMag, 5 ScreenAlphaMin.
float& LODOptionsFraction(LODOptions& options, int i);

// Size of the text buffer that always holds a written record.
constexpr int kLODOptionsTextSize = 128;

// The text form "MM:CA:PM:AL:%g:%g:%g:%g:%g:%g": four words TRUE or FALSE for
// the bits 0x2, 0x4, 0x8 and 0x1, then the six fractions times 100. Writes at
// most size bytes (cut and terminated) when text is not null; returns the
// length of the whole text plus 1.
int LODOptionsToText(const LODOptions& options, char* text, int size);

// Reads a text of that form into options, starting from the default record:
// the four words are required ("TRUE:" sets the bit, "FALSE:" leaves it
// clear), the numbers that follow replace the fractions in record order and
// those the text lacks keep their defaults. False, and options unchanged, for
// a null text or one without the four words.
bool LODOptionsFromText(const char* text, LODOptions& options);
