#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "includes/XString.h"
#include "system/math/QxVector.h"

// One vertex a blend shape moves: the position and normal added at full
// weight (28 bytes in files).
struct CKBlendShapeDelta
{
    CKDWORD Vertex = 0;
    QxVector Position;
    QxVector Normal;
};

// A blend target: its sparse deltas and how an entity weight becomes its
// factor (1 at the pivot weight, falling off by the slopes on either side).
struct CKBlendShapeTarget
{
    XArray<CKBlendShapeDelta> Deltas;
    CKDWORD WeightIndex = 0;
    float Pivot = 1.0f;
    float SlopeBelow = 1.0f;
    float SlopeAbove = -1.0f;
};

// The rest position and normal of a vertex some target moves, written back
// before the targets are added.
struct CKBlendShapeBaseVertex
{
    CKDWORD Vertex = 0;
    QxVector Position;
    QxVector Normal;
};

// A mesh's blend shapes: one name per entity weight, the targets, and the
// base of every moved vertex.
struct CKBlendShapeData
{
    XClassArray<XString> Names;
    XClassArray<CKBlendShapeTarget> Targets;
    XArray<CKBlendShapeBaseVertex> BaseVertices;
};
