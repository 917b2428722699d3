#pragma once

#include "core/object/XObjectArray.h"
#include "render/objects/CKGrid.h"

class CKGridManager;
class CKMesh;

// Chunk identifier of the grid's section.
constexpr CKDWORD CK_STATESAVE_GRIDONLY = 0x400000;
constexpr CKDWORD CK_STATESAVE_GRIDSECTIONS = 0x0FC00000;
// Cells along each axis at most.
constexpr int CK_GRID_MAXSIZE = 128;

// The render library's grid. The display mesh is kept by id: whoever
// destroys it, the grid never reaches a mesh that went.
class RCKGrid : public CKGrid
{
public:
    // Local scale (1, 10, 1) and the "Grid" attribute.
    explicit RCKGrid(CKContext* context, const char* name = nullptr);
    ~RCKGrid() override = default;

    static CKObject* CreateInstance(CKContext* context) { return new RCKGrid(context); }
    static const char* GetClassName() { return "Grid"; }
    static void Register();
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

    // CKObject
    void Show(CKDWORD show = CKSHOW) override;
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void PostLoad() override;
    void CheckPostDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // CK3dEntity
    CKBOOL Render(CKRenderContext* context, CKDWORD flags) override;
    // Local box (0, 0, 0) to (width, 1, length); with world, the world box
    // follows it.
    void UpdateBox(CKBOOL world = TRUE) override;

    // CKGrid
    void BuildDisplayMesh(float alpha) override;
    CKERROR DestroyDisplayMesh() override;
    CKBOOL IsActive() override;
    void SetHeight(float height) override;
    float GetHeight() override;
    int GetWidth() override { return m_Width; }
    int GetLength() override { return m_Length; }
    int SetDimensions(int width, int length, float sizeX, float sizeZ) override;
    float Get2dCoordsFromPos(const QxVector* position, int* x, int* z) override;
    void Get3dPosFromCoords(QxVector* position, int x, int z) override;
    CKERROR AddClassificationByName(const char* name) override;
    CKERROR AddClassification(int attributeType) override;
    CKERROR RemoveClassificationByName(const char* name) override;
    CKERROR RemoveClassification(int attributeType) override;
    CKBOOL HasCompatibleClass(CK3dEntity* entity) override;
    void SetGridPriority(int priority) override { m_Priority = priority; }
    int GetGridPriority() override { return m_Priority; }
    void SetGridMode(int mode) override { m_Mode = mode; }
    int GetGridMode() override { return m_Mode; }
    CKLayer* AddLayerByName(const char* name, int format = 0) override;
    CKLayer* AddLayer(int type, int format = 0) override;
    CKLayer* GetLayerByName(const char* name) override;
    CKLayer* GetLayer(int type) override;
    int GetLayerCount() override { return m_Layers.Size(); }
    CKLayer* GetLayerByIndex(int index) override;
    CKERROR RemoveLayerByName(const char* name) override;
    CKERROR RemoveLayer(int type) override;
    CKERROR RemoveAllLayers() override;

    CKMesh* GetDisplayMesh();
    // The texture's size along an axis of that many cells.
    static int TextureSize(int cells);

private:
    // Keeps only the ids of existing layers.
    void KeepLayers();
    int ClampSize(int size, const char* message);

    XObjectArray m_Layers;
    int m_Width = 0;
    int m_Length = 0;
    int m_Priority = 0;
    int m_Mode = 0;
    CK_ID m_DisplayMesh = 0;
};
