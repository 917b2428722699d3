#pragma once

#include "render/objects/RCK3dEntity.h"

class CKLayer;

// A grid of cells over the scene (class 50): width x length cells of one
// unit in the entity's x-z plane (its scale gives the cell size), layers of
// one value a cell, classification attributes telling which entities it
// concerns, and a display mesh that shows the layers.
class CKGrid : public CKClass<CKGrid, RCK3dEntity, CKCID_GRID>
{
public:
    using CKClass::CKClass;

    virtual void BuildDisplayMesh(float alpha) = 0;
    virtual CKERROR DestroyDisplayMesh() = 0;
    // Flag 0x8 of the grid in the current scene.
    virtual CKBOOL IsActive() = 0;
    // The y scale.
    virtual void SetHeight(float height) = 0;
    virtual float GetHeight() = 0;
    virtual int GetWidth() = 0;
    virtual int GetLength() = 0;
    // Width and length between 0 and 128 (clamped, with a console message
    // above); the scale makes the grid sizeX by sizeZ. The layers are made
    // again, zeroed. Returns the layer count.
    virtual int SetDimensions(int width, int length, float sizeX, float sizeZ) = 0;
    // The cell of a world position (truncated towards zero); returns the
    // position's height in the grid's frame.
    virtual float Get2dCoordsFromPos(const QxVector* position, int* x, int* z) = 0;
    // The world position of the centre of a cell, at the grid's base.
    virtual void Get3dPosFromCoords(QxVector* position, int x, int z) = 0;
    virtual CKERROR AddClassificationByName(const char* name) = 0;
    virtual CKERROR AddClassification(int attributeType) = 0;
    virtual CKERROR RemoveClassificationByName(const char* name) = 0;
    virtual CKERROR RemoveClassification(int attributeType) = 0;
    virtual CKBOOL HasCompatibleClass(CK3dEntity* entity) = 0;
    virtual void SetGridPriority(int priority) = 0;
    virtual int GetGridPriority() = 0;
    virtual void SetGridMode(int mode) = 0;
    virtual int GetGridMode() = 0;
    // Null without the grid manager, for an undefined type, a type the grid
    // already has or a format other than 0.
    virtual CKLayer* AddLayerByName(const char* name, int format = 0) = 0;
    virtual CKLayer* AddLayer(int type, int format = 0) = 0;
    virtual CKLayer* GetLayerByName(const char* name) = 0;
    virtual CKLayer* GetLayer(int type) = 0;
    virtual int GetLayerCount() = 0;
    virtual CKLayer* GetLayerByIndex(int index) = 0;
    virtual CKERROR RemoveLayerByName(const char* name) = 0;
    virtual CKERROR RemoveLayer(int type) = 0;
    virtual CKERROR RemoveAllLayers() = 0;
};
