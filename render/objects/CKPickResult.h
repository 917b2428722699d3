#pragma once

#include "system/math/QxVector.h"

class CKObject;

// What a ray test reports of its hit: the object hit, the point in that
// object's frame, the face's normal and index, the texture coordinates there
// and the distance from the start along the ray.
struct CKPickResult
{
    CKObject* Object = nullptr;
    QxVector Point;
    QxVector Normal;
    float U = 0.0f;
    float V = 0.0f;
    float Distance = 0.0f;
    int FaceIndex = 0;
};
