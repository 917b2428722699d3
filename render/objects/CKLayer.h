#pragma once

#include "core/object/CKObject.h"

// One layer of a grid (class 51): a 32-bit value per cell of its owner, row
// by row (index = width x y + x), a layer type of the grid manager, a format
// word (0: the cells are saved with the layer) and a visibility flag.
class CKLayer : public CKClass<CKLayer, CKObject, CKCID_LAYER>
{
public:
    using CKClass::CKClass;

    virtual void SetType(int type) = 0;
    virtual int GetType() = 0;
    virtual void SetFormat(int format) = 0;
    virtual int GetFormat() = 0;
    // Copies the 4 bytes of the value into the cell; returns the cell's
    // index. A cell outside the cell array is left alone.
    virtual int SetValue(int x, int y, const void* value) = 0;
    // 0 for a cell outside the cell array.
    virtual void GetValue(int x, int y, void* value) = 0;
    // FALSE outside the owner's width and length.
    virtual CKBOOL SetValueChecked(int x, int y, const void* value) = 0;
    // FALSE and a zero value outside.
    virtual CKBOOL GetValueChecked(int x, int y, void* value) = 0;
    virtual void* GetCellArray() = 0;
    // The layer takes the array (new CKDWORD[] of owner width x length
    // values); the old one is not freed.
    virtual void SetCellArray(void* cells) = 0;
    virtual void SetVisible(CKBOOL visible = TRUE) = 0;
    // The grid of that id becomes the owner; the cells are made again for
    // its width and length, zeroed (none without an owner).
    virtual void InitOwner(CK_ID grid) = 0;
    // The owner without touching the cells.
    virtual void SetOwner(CK_ID grid) = 0;
    virtual CK_ID GetOwner() = 0;
};
