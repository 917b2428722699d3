#pragma once

#include "render/objects/RCK3dEntity.h"

class CKRasterizerContext;

// A light of the scene (class 38).
class CKLight : public CKClass<CKLight, RCK3dEntity, CKCID_LIGHT>
{
public:
    using CKClass::CKClass;

    // Hands the light to the rasterizer under index and enables it: TRUE,
    // or FALSE when the light does not light this frame.
    virtual CKBOOL Setup(CKRasterizerContext* rasterizer, int index) = 0;
};
