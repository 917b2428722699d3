#pragma once

#include "render/objects/CKLayer.h"

class CKGrid;

// Chunk identifier of the layer's section.
constexpr CKDWORD CK_STATESAVE_LAYERONLY = 0x10;
// The layout the layer writes with a file: colour and parameter type follow.
constexpr int CK_LAYER_FILEVERSION = 3;

// The render library's grid layer. The owner is kept by id, so that a layer
// whose grid went never reaches it; the cell array's length is kept beside
// it, and no access goes past it whatever the owner's size says now.
class RCKLayer : public CKLayer
{
public:
    explicit RCKLayer(CKContext* context, const char* name = nullptr) : CKLayer(context, name) {}
    ~RCKLayer() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKLayer(context); }
    static const char* GetClassName() { return "Grid Layer"; }
    static void Register();
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

    // CKObject
    CKBOOL IsVisible() override { return (m_Flags & 1) != 0; }
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    int GetMemoryOccupation() override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // CKLayer
    void SetType(int type) override { m_Type = type; }
    int GetType() override { return m_Type; }
    void SetFormat(int format) override { m_Format = format; }
    int GetFormat() override { return m_Format; }
    int SetValue(int x, int y, const void* value) override;
    void GetValue(int x, int y, void* value) override;
    CKBOOL SetValueChecked(int x, int y, const void* value) override;
    CKBOOL GetValueChecked(int x, int y, void* value) override;
    void* GetCellArray() override { return m_Cells; }
    void SetCellArray(void* cells) override;
    void SetVisible(CKBOOL visible = TRUE) override;
    void InitOwner(CK_ID grid) override;
    void SetOwner(CK_ID grid) override;
    CK_ID GetOwner() override { return OwnerGrid() ? m_Owner : 0; }

    // The grid reads and sets it when it draws the layer.
    int m_Shown = 0;
    int GetCellCount() const { return m_CellCount; }

private:
    CKGrid* OwnerGrid();
    // The owner's width and length, 0 each without one.
    void OwnerSize(int& width, int& length);
    // A zeroed array for the owner's size (none without an owner).
    void AllocateCells();
    void FreeCells();

    CK_ID m_Owner = 0;
    int m_Type = 1;
    int m_Format = 0;
    CKDWORD m_Flags = 1;
    CKDWORD* m_Cells = nullptr;
    int m_CellCount = 0;
};
