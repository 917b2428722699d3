#pragma once

#include "includes/CKTypes.h"
#include "system/math/QxVector.h"

// A mesh's vertex record: position, normal, texture coordinates (32 bytes).
struct CKVertex
{
    QxVector Position;
    QxVector Normal;
    float u = 0.0f;
    float v = 0.0f;
};
static_assert(sizeof(CKVertex) == 32, "a mesh vertex is 32 bytes");

// A mesh's face record: the face normal, the index of its material group (0
// the default group) and its channel mask (16 bytes). Its three vertex
// indices are kept apart, three 32-bit indices a face.
struct CKFace
{
    QxVector Normal;
    CKWORD MaterialGroup = 0;
    CKWORD ChannelMask = 0xFFFF;
};
static_assert(sizeof(CKFace) == 16, "a mesh face is 16 bytes");
