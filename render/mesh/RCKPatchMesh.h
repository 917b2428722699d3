#pragma once

#include "includes/XBitArray.h"
#include "includes/XClassArray.h"
#include "render/mesh/CKPatchMesh.h"

// Identifiers of the patch mesh's chunk section: the current form and the
// older one with its two optional parts.
enum : CKDWORD
{
    CK_STATESAVE_PATCHMESHDATA = 0x8000000,
    CK_STATESAVE_PATCHMESHDATA_OLD = 0x1000000,
    CK_STATESAVE_PATCHMESHSMOOTH = 0x2000000,
    CK_STATESAVE_PATCHMESHMATERIALS = 0x4000000,
    // Any of these asks a save without a file for the patch section.
    CK_STATESAVE_PATCHMESHONLY = 0x0FF00000,
};

// The render library's patch mesh.
//
// Its render mesh (the RCKMesh it is) holds, in this order: one render
// vertex per control vertex, the duplicates of control vertices that
// patches of another smoothing group or texture vertex need, the points
// inside each edge (one run, or two on an edge where the patches differ),
// and the interior points of each patch. The vertex tables that say which
// render vertex each patch corner uses are kept between rebuilds and made
// again after a change of the topology.
//
// Loading checks every count and index against the data and the arrays; a
// refused chunk leaves no patches and logs one line.
class RCKPatchMesh : public CKPatchMesh
{
public:
    explicit RCKPatchMesh(CKContext* context, const char* name = nullptr);
    ~RCKPatchMesh() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKPatchMesh(context); }
    static const char* GetClassName() { return "Patch Mesh"; }
    // Parameter GUID, notification from materials, creation flags 2.
    static void Register();

    // CKObject
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    void CheckPostDeletion() override;
    int GetMemoryOccupation() override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;
    void AddToScene(CKScene* scene, CKBOOL dependencies = TRUE) override;
    void RemoveFromScene(CKScene* scene, CKBOOL dependencies = TRUE) override;

    // CKMesh: the modifier vertices are the control points, the modifier
    // coordinates a channel record's texture vertices.
    void* GetModifierVertices(CKDWORD* stride) override;
    int GetModifierVertexCount() override { return m_VertexCount + m_VectorCount; }
    void GetModifierVertex(int index, QxVector* position) override;
    void SetModifierVertex(int index, const QxVector& position) override;
    void ModifierVertexMove(CKBOOL rebuildNormals, CKBOOL rebuildFaceNormals) override;
    void* GetModifierUVs(CKDWORD* stride, int channel = -1) override;
    int GetModifierUVCount(int channel = -1) override;
    void GetModifierUV(int index, float* u, float* v, int channel = -1) override;
    void SetModifierUV(int index, float u, float v, int channel = -1) override;
    void ModifierUVMove(int channel = -1) override;
    void ReplaceMaterial(CKMaterial* oldMaterial, CKMaterial* newMaterial, CKBOOL merge = FALSE) override;
    void ApplyGlobalMaterial(CKMaterial* material) override;
    // The channels are the records after the first.
    int GetChannelCount() override { return m_Records.Size() - 1; }
    int AddChannel(CKMaterial* material, CKBOOL copySourceUV = TRUE) override;
    void RemoveChannel(int index) override;
    void RemoveChannelMaterial(CKMaterial* material) override;
    int GetChannelByMaterial(CKMaterial* material) override;
    void ActivateChannel(int index, CKBOOL active = TRUE) override;
    CKBOOL IsChannelActive(int index) override;
    void ActivateAllChannels(CKBOOL active = TRUE) override;
    void LitChannel(int index, CKBOOL lit = TRUE) override;
    CKBOOL IsChannelLit(int index) override;
    CKDWORD GetChannelFlags(int index) override;
    void SetChannelFlags(int index, CKDWORD flags) override;
    CKMaterial* GetChannelMaterial(int index) override;
    int GetChannelSourceBlend(int index) override;
    int GetChannelDestBlend(int index) override;
    void SetChannelMaterial(int index, CKMaterial* material) override;
    void SetChannelSourceBlend(int index, int blend) override;
    void SetChannelDestBlend(int index, int blend) override;
    // Only the control points; CKErr::InvalidFile for a chunk whose counts
    // differ from the mesh's.
    CKERROR LoadVertices(CKStateChunk* chunk) override;

    // CKPatchMesh
    CKERROR UnimplementedPatchOp1(CKDWORD) override { return CKErr::NotImplemented; }
    CKERROR UnimplementedPatchOp2(CKDWORD, CKDWORD) override { return CKErr::NotImplemented; }
    void SetIterationCount(int count) override;
    int GetIterationCount() override { return m_IterationCount; }
    void BuildRenderMesh() override;
    void CleanRenderMesh() override;
    void Clear() override;
    void ComputePatchAuxPoints(int patch) override;
    void ComputePatchInteriors(int patch) override;
    CKDWORD GetPatchFlags() override { return m_PatchFlags; }
    void SetPatchFlags(CKDWORD flags) override { m_PatchFlags = flags; }
    void SetVertVecCount(int vertexCount, int vectorCount) override;
    int GetVertCount() override { return m_VertexCount; }
    void SetVert(int index, const QxVector& position) override;
    void GetVert(int index, QxVector* position) override;
    QxVector* GetVerts() override { return m_Points.Size() ? m_Points.Begin() : nullptr; }
    int GetVecCount() override { return m_VectorCount; }
    void SetVec(int index, const QxVector& position) override;
    void GetVec(int index, QxVector* position) override;
    QxVector* GetVecs() override { return m_VectorCount > 0 ? m_Points.Begin() + m_VertexCount : nullptr; }
    void SetEdgeCount(int count) override;
    int GetEdgeCount() override { return m_Edges.Size(); }
    void SetEdge(int index, const CKPatchEdge& edge) override;
    void GetEdge(int index, CKPatchEdge* edge) override;
    CKPatchEdge* GetEdges() override { return m_Edges.Size() ? m_Edges.Begin() : nullptr; }
    void SetPatchCount(int count) override;
    int GetPatchCount() override { return m_Patches.Size(); }
    void SetPatch(int index, const CKPatch& patch) override;
    void GetPatch(int index, CKPatch* patch) override;
    CKDWORD GetPatchSmoothingGroup(int index) override;
    void SetPatchSmoothingGroup(int index, CKDWORD smoothing) override;
    CKMaterial* GetPatchMaterial(int index) override;
    void SetPatchMaterial(int index, CKMaterial* material) override;
    CKPatch* GetPatches() override { return m_Patches.Size() ? m_Patches.Begin() : nullptr; }
    void SetTexturePatchCount(int count, int channel = -1) override;
    int GetTexturePatchCount(int channel = -1) override;
    void SetTexturePatch(int index, const CKTexturePatch& patch, int channel = -1) override;
    void GetTexturePatch(int index, CKTexturePatch* patch, int channel = -1) override;
    CKTexturePatch* GetTexturePatches(int channel = -1) override;
    void SetTextureVertexCount(int count, int channel = -1) override;
    int GetTextureVertexCount(int channel = -1) override;
    void SetTextureVertex(int index, float u, float v, int channel = -1) override;
    void GetTextureVertex(int index, float* u, float* v, int channel = -1) override;
    CKPatchUV* GetTextureVertices(int channel = -1) override;

    // What the last rebuild made of the topology (for tests and tools).
    int GetDuplicateCount() const { return m_DuplicateSources.Size(); }
    // The render vertex of a patch corner, -1 out of range.
    int GetCornerVertex(int patch, int corner) const;
    // Whether the edge's points are shared by both its patches.
    CKBOOL IsEdgeShared(int edge) const { return m_SharedEdges.IsSet(edge); }
    // The render vertices and faces the patches give at an iteration count.
    void CountRenderMesh(int iterationCount, int* vertices, int* faces);

private:
    // Rebuild steps.
    struct Runs;
    // Whether every stored index names an existing element.
    bool IsTopologyValid() const;
    void BuildVertexTables();
    void AutoSmooth();
    void MatchChannels();
    void WritePoints(int steps, Runs& runs);
    void WriteFaces(int steps, const Runs& runs, int vertexCount, int faceCount);
    void BuildPatchNormals(const Runs& runs);
    // The record of a channel (-1 the mesh's own), null when there is none.
    CKPatchChannel* Record(int channel);
    const CKPatchChannel* Record(int channel) const;
    // Render mesh out of date, faces and groups too.
    void MarkMaterialsChanged() { m_PatchFlags &= ~(CK_PATCHMESH_UPTODATE | CK_PATCHMESH_MATERIALSUPTODATE); }
    void FreeAuxPoints(CKPatch& patch);
    void ResizePoints(int vertexCount, int vectorCount);
    // Persistence.
    // Vector count, byte size, point count and the points into the arrays;
    // false (nothing set) when they do not fit together or the data.
    bool ReadControlPoints(CKStateChunk& chunk);
    CKERROR LoadCurrentForm(CKStateChunk& chunk);
    CKERROR LoadOlderForm(CKStateChunk& chunk);
    // CKErr::InvalidFile with one line naming what was refused; the patches,
    // edges, points and texture data are emptied.
    CKERROR Refuse(const char* what);
    bool AreLoadedIndicesValid() const;

    XArray<QxVector> m_Points;
    int m_VertexCount = 0;
    int m_VectorCount = 0;
    XArray<CKPatchEdge> m_Edges;
    XArray<CKPatch> m_Patches;
    XClassArray<CKPatchChannel> m_Records;
    CKDWORD m_PatchFlags = CK_PATCHMESH_BUILDNORMALS;
    int m_EvaluatedChannelCount = 1;
    int m_IterationCount = 0;
    CKBOOL m_TopologyChanged = TRUE;
    // Rebuild tables: render vertex of each patch corner (four per patch),
    // the control vertex each duplicate copies and whether its patch shares
    // a smoothing group with the source's, and per edge whether both patches
    // use one run of points.
    XArray<int> m_CornerVertex;
    XArray<CKDWORD> m_DuplicateSources;
    XBitArray m_DuplicateSharesSmoothing;
    XBitArray m_SharedEdges;
    // Iteration count, vertex count and face count of the last rebuild:
    // faces are written again when one changes.
    int m_BuiltSteps = -1;
};
