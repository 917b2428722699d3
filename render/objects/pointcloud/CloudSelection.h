#pragma once

#include "includes/CKTypes.h"
#include "includes/XString.h"
#include "system/math/QxVector.h"

class CKMaterial;
class CKMesh;

// Selection flags: bits 0-2 the draw mode.
enum : CKDWORD
{
    CLOUD_SELECTION_DRAWMODEMASK = 0x7,
    CLOUD_SELECTION_LIT = 0x10,
    CLOUD_SELECTION_UPTODATE = 0x20, // the drawing data holds the entries
    CLOUD_SELECTION_VISIBLE = 0x40,
    CLOUD_SELECTION_MATERIALCOLOR = 0x80, // every point takes the material's diffuse colour
};

// Draw modes of a selection.
enum : int
{
    CLOUD_SELECTION_DRAWPOINTS = 0,
    CLOUD_SELECTION_DRAWSPRITES = 1, // point sprites with the material when the device can
    CLOUD_SELECTION_DRAWMESH = 2,    // the mesh at every selected point
};

// One selected point: its position in the cloud's space and its index.
struct CloudSelectionEntry
{
    QxVector Position;
    CKDWORD PointIndex = 0;
};
static_assert(sizeof(CloudSelectionEntry) == 16, "a selection entry is 16 bytes");

// A named list of a cloud's points chosen by spatial queries, owned by the
// cloud (not an engine object).
class CloudSelection
{
public:
    virtual ~CloudSelection() = default;

    virtual const XString* GetName() = 0;
    virtual void SetName(const XString& name) = 0;
    virtual CKMaterial* GetMaterial() = 0;
    // A change while the material colour is used asks for the drawing data
    // again.
    virtual void SetMaterial(CKMaterial* material) = 0;
    // Sets or clears the material-colour flag; its old value.
    virtual CKBOOL UseMaterialColor(CKBOOL use) = 0;
    virtual CKBOOL IsUsingMaterialColor() = 0;
    virtual CKBOOL IsVisible() = 0;
    virtual void SetVisible(CKBOOL visible) = 0;
    virtual CKBOOL IsLit() = 0;
    virtual void SetLit(CKBOOL lit) = 0;
    virtual int GetPointCount() = 0;
    // Null out of range.
    virtual CloudSelectionEntry* GetEntry(int index) = 0;
    // 0 out of range.
    virtual CKDWORD GetEntryPointIndex(int index) = 0;
    virtual int GetCapacity() = 0;
    // Negative capacities count as 0.
    virtual void SetCapacity(int capacity) = 0;
    virtual int GetDrawMode() = 0;
    virtual void SetDrawMode(int mode) = 0;
    virtual CKMesh* GetMesh() = 0;
    virtual void SetMesh(CKMesh* mesh) = 0;
    // Empties the selection.
    virtual void Reset() = 0;
};
