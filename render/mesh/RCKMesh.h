#pragma once

#include <functional>
#include <memory>

#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKMeshChannel.h"

class CK3dEntity;
class CKRenderContext;
class CKSkin;
class RCKSkin;
class CKMaterialGroup;
class CKProgressiveMesh;
struct CKPickResult;
struct Qx2DVector;
class CK65KPrimitive;
class CKRasterizerContext;
class RCKRenderContext;
class RenderBatchGroup;
class RenderCallbackList;
struct CKBatchItem;
struct CKBatchKey;
class RCKRenderManager;
struct CKDrawPrimitiveData;

// Render flags of a mesh (the materials and channels it draws with).
enum : CKDWORD
{
    CKMESH_RENDER_EFFECT = 0x1,   // a material has an effect or a shader record
    CKMESH_RENDER_CHANNELS = 0x2, // a channel needs a pass of its own
    CKMESH_RENDER_SHADER = 0x4,   // a material has a shader record
};

// Sections of a mesh's state chunk, each saved under the save flag of the
// same value.
enum : CKDWORD
{
    CK_STATESAVE_MESHFLAGS = 0x2000,
    CK_STATESAVE_MESHCHANNELS = 0x4000,
    CK_STATESAVE_MESHFACECHANMASK = 0x8000, // read only
    CK_STATESAVE_MESHFACES = 0x10000,
    CK_STATESAVE_MESHFACES32 = 0x11000,
    CK_STATESAVE_MESHVERTICES = 0x20000,
    CK_STATESAVE_MESHLINES = 0x40000,
    CK_STATESAVE_MESHLINES32 = 0x41000,
    CK_STATESAVE_MESHWEIGHTS = 0x80000,
    CK_STATESAVE_MESHMATERIALS = 0x100000,
    CK_STATESAVE_MESHCHANNELDATA = 0x200000,
    CK_STATESAVE_MESHRENDERDATA = 0x400000,
    CK_STATESAVE_MESHRENDERDATA32 = 0x401000,
    CK_STATESAVE_MESHPROGRESSIVE = 0x800000,
    CK_STATESAVE_MESHBLENDSHAPES = 0x1000000,
    CK_STATESAVE_MESHONLY = 0x1FFF000,
};

// Data version of the mesh sections written now; from version 9 on the
// layout above, before it the older loader's.
constexpr int CK_MESH_DATAVERSION = 10;
constexpr int CK_MESH_FIRSTCURRENTVERSION = 9;
// At this many vertices faces and lines are saved with 32-bit indices.
constexpr int CK_MESH_32BITINDICES = 65535;

// What the vertex section stores once for all vertices, or not at all.
enum : CKDWORD
{
    CK_MESHVERTEX_ONEDIFFUSE = 0x1,
    CK_MESHVERTEX_ONESPECULAR = 0x2,
    CK_MESHVERTEX_NONORMALS = 0x4,
    CK_MESHVERTEX_ONEUV = 0x8,
    CK_MESHVERTEX_NOPOSITIONS = 0x10,
};

// A tangent and a bitangent (24 bytes).
struct CKTangentPair
{
    QxVector Tangent;
    QxVector Bitangent;
};

// A target's factor for an entity weight: 1 at the pivot, falling off by
// the slope below or above it, kept within 0..1.
float CKBlendShapeFactor(const CKBlendShapeTarget& target, float weight);

// Buffer flags of the shared buffers a mesh asks for (plus
// CKRST_VB_DYNAMIC with CKMESH_HINTDYNAMIC).
constexpr CKDWORD CKMESH_BUFFERFLAGS = 5;

// The render library's mesh.
//
// The faces name their material group by index (0: the default group,
// without material). The groups are built lazily (BuildMaterialGroups) into
// primitives of at most 65,535 vertices with 16-bit indices, in vertex-cache
// order or as strips, and drawn from shared vertex and index buffers that
// the drawing keeps up to date (UpdateRenderData). Faces that name a vertex
// past the vertex count are left out of the render data.
//
// The mesh saves itself into its state chunk and copies itself section by
// section. A progressive mesh renumbers the vertices once; its faces for
// the number of vertices drawn then stand in for the mesh's faces in the
// material groups (UpdatePMGeometry brings them up to date).
class RCKMesh : public CKMesh
{
public:
    explicit RCKMesh(CKContext* context, const char* name = nullptr);
    ~RCKMesh() override;

    static CKObject* CreateInstance(CKContext* context) { return new RCKMesh(context); }
    static const char* GetClassName() { return "Mesh"; }
    // Parameter GUID, notification from materials, creation flags 2.
    static void Register();
    // Option 0 "Material" in modes 1, 2 and 4.
    static const char* GetDependencies(int index, int mode);
    static int GetDependenciesCount(int mode);

    // CKObject
    void Show(CKDWORD show = CKSHOW) override;
    void CheckPreDeletion() override;
    int GetMemoryOccupation() override;
    CKBOOL IsObjectUsed(CKObject* object, CK_CLASSID cid) override;
    CKERROR PrepareDependencies(CKDependenciesContext& context, CKBOOL caller = TRUE) override;
    CKERROR RemapDependencies(CKDependenciesContext& context) override;
    // CKSceneObject
    void AddToScene(CKScene* scene, CKBOOL dependencies = TRUE) override;
    void RemoveFromScene(CKScene* scene, CKBOOL dependencies = TRUE) override;
    // With CK_STATESAVE_MESHMATERIALS, the materials of the groups and the
    // channels go into the file too.
    void PreSave(CKFile* file, CKDWORD flags) override;
    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    // CKErr::InvalidFile, one line logged, for a section whose counts,
    // sizes or indices do not fit the data or the mesh (the faces and lines
    // are then emptied so that none names a missing vertex).
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    // Every array of the source, lines and channel restrictions included.
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // CKMesh
    CKBOOL IsTransparent() override;
    void SetTransparent(CKBOOL transparent) override;
    void SetWrapMode(int mode) override;
    int GetWrapMode() override;
    void SetLitMode(int mode) override;
    int GetLitMode() override { return (m_Flags & CKMESH_PRELITMODE) ? 0 : 1; }
    CKDWORD GetFlags() override { return m_Flags; }
    void SetFlags(CKDWORD flags) override;

    void* GetModifierVertices(CKDWORD* stride) override { return GetPositionsPtr(stride); }
    // The vertices drawn of a progressive mesh.
    int GetModifierVertexCount() override;
    void GetModifierVertex(int index, QxVector* position) override { GetVertexPosition(index, position); }
    void SetModifierVertex(int index, const QxVector& position) override { SetVertexPosition(index, position); }
    void ModifierVertexMove(CKBOOL rebuildNormals, CKBOOL rebuildFaceNormals) override;
    void* GetModifierUVs(CKDWORD* stride, int channel = -1) override
    {
        return GetTextureCoordinatesPtr(stride, channel);
    }
    int GetModifierUVCount(int) override { return GetModifierVertexCount(); }
    void GetModifierUV(int index, float* u, float* v, int channel = -1) override
    {
        GetVertexTextureCoordinates(index, u, v, channel);
    }
    void SetModifierUV(int index, float u, float v, int channel = -1) override
    {
        SetVertexTextureCoordinates(index, u, v, channel);
    }
    void ModifierUVMove(int channel = -1) override { UVChanged(channel); }

    int GetVertexCount() override { return m_Vertices.Size(); }
    CKBOOL SetVertexCount(int count) override;

    void SetVertexColor(int index, CKDWORD color) override;
    void SetVertexSpecularColor(int index, CKDWORD color) override;
    void SetVertexNormal(int index, const QxVector& normal) override;
    void SetVertexPosition(int index, const QxVector& position) override;
    void SetVertexTextureCoordinates(int index, float u, float v, int channel = -1) override;
    void* GetColorsPtr(CKDWORD* stride, int channel = -1) override;
    void* GetSpecularColorsPtr(CKDWORD* stride) override;
    void* GetNormalsPtr(CKDWORD* stride) override;
    void* GetPositionsPtr(CKDWORD* stride) override;
    void* GetTextureCoordinatesPtr(CKDWORD* stride, int channel = -1) override;
    CKDWORD GetVertexColor(int index) override;
    CKDWORD GetVertexSpecularColor(int index) override;
    void GetVertexNormal(int index, QxVector* normal) override;
    void GetVertexPosition(int index, QxVector* position) override;
    void GetVertexTextureCoordinates(int index, float* u, float* v, int channel = -1) override;

    void TranslateVertices(const QxVector& offset) override;
    void ScaleVertices3f(float x, float y, float z, const QxVector* pivot = nullptr) override;
    void ScaleVertices(const QxVector& scale, const QxVector* pivot = nullptr) override;
    void RotateVertices(const QxVector& axis, float angle) override;
    void VertexMove() override;
    void UVChanged(int channel = -1) override;
    void NormalChanged() override;
    void ColorChanged() override;

    int GetFaceCount() override { return m_Faces.Size(); }
    CKBOOL SetFaceCount(int count) override;
    CKDWORD* GetFacesIndices() override { return m_FaceIndices.Begin(); }
    void GetFaceVertexIndex(int face, int& vertex1, int& vertex2, int& vertex3) override;
    CKMaterial* GetFaceMaterial(int face) override;
    const QxVector& GetFaceNormal(int face) override;
    CKWORD GetFaceChannelMask(int) override { return 0; }
    CKVertex* GetFaceVertex(int face, int corner) override;
    void* GetFaceNormalsPtr(CKDWORD* stride) override;
    CKERROR SetFaceVertexIndex(int face, int vertex1, int vertex2, int vertex3) override;

    CKERROR SetFacesMaterial(const int* faces, int count, CKMaterial* material) override;
    void SetFaceMaterial(int face, CKMaterial* material) override;
    void ReplaceMaterial(CKMaterial* oldMaterial, CKMaterial* newMaterial, CKBOOL merge = FALSE) override;
    void ApplyGlobalMaterial(CKMaterial* material) override;

    void SetLineCount(int count) override;
    int GetLineCount() override { return m_Lines.Size(); }
    CKDWORD* GetLineIndices() override { return reinterpret_cast<CKDWORD*>(m_Lines.Begin()); }
    CKERROR SetLine(int line, int vertex1, int vertex2) override;
    void GetLine(int line, int* vertex1, int* vertex2) override;
    CKERROR CreateLineStrip(int firstLine, int count, int firstVertex) override;

    void InverseWinding() override;
    void FacesChanged() override { m_Flags &= ~(CKMESH_OPTIMIZED | CKMESH_TRANSPARENCYUPTODATE); }

    float GetRadius() override;
    const QxBbox& GetLocalBox() override;
    const QxVector& GetBaryCenter() override;

    void BuildNormals() override;
    void BuildFaceNormals() override;

    CKERROR Render(CKRenderContext* context, CK3dEntity* entity) override;
    CKBOOL AddPreRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument, CKBOOL temporary = FALSE) override;
    CKBOOL RemovePreRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument) override;
    CKBOOL AddPostRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument, CKBOOL temporary = FALSE) override;
    CKBOOL RemovePostRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument) override;
    void SetRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument) override;
    void SetDefaultRenderCallBack() override;
    void RemoveAllCallbacks() override;
    // Null until a callback was added or set.
    RenderCallbackList* GetRenderCallbacks() const { return m_RenderCallbacks; }
    // Draws the mesh for the entity: at once through the render context's
    // rasterizer context (batch null), or queued into the batch group. The
    // render data are brought up to date first; a mesh without vertices, or
    // without faces and lines, draws nothing.
    void Draw(RCKRenderContext* rc, CK3dEntity* entity, RenderBatchGroup* batch);
    // The 3D entities that deform this mesh (skin or blend shapes) in the
    // frame being drawn; the render context counts them when it batches.
    int GetDeformingEntityCount() const { return m_DeformingEntityCount; }
    void AddDeformingEntity() { ++m_DeformingEntityCount; }
    void ResetDeformingEntities() { m_DeformingEntityCount = 0; }

    int GetMaterialCount() override;
    CKMaterial* GetMaterial(int index) override;
    CKDWORD* GetMaterialFaceIndices(int index, int* count) override;

    int GetVertexWeightsCount() override { return m_VertexWeights.Size(); }
    void SetVertexWeightsCount(int count) override;
    float* GetVertexWeightsPtr() override { return m_VertexWeights.Begin(); }
    float GetVertexWeight(int index) override;
    void SetVertexWeight(int index, float weight) override;

    int GetBlendShapeCount() override { return m_BlendShapes.Names.Size(); }
    const XString& GetBlendShapeName(int index) override;
    int GetBlendShapeIndex(const XString& name) override;
    void SetBlendShapes(const CKBlendShapeData& data) override;
    void GetBlendShapes(CKBlendShapeData& data) override { data = m_BlendShapes; }
    const CKBlendShapeData& BlendShapes() const { return m_BlendShapes; }
    // How far the blend shapes can move a vertex (0 without any).
    float GetBlendShapeExtent() const { return m_BlendShapeExtent; }

    int GetChannelCount() override { return m_Channels.Size(); }
    int AddChannel(CKMaterial* material, CKBOOL copySourceUV = TRUE) override
    {
        return AddChannelEx(material, copySourceUV, 0);
    }
    int AddChannelEx(CKMaterial* material, CKBOOL copySourceUV, int type) override;
    void RemoveChannel(int index) override;
    int GetChannelByMaterial(CKMaterial* material) override;
    CKDWORD GetChannelKey(int index) override { return IsChannel(index) ? m_Channels[index].Key : 0; }
    void SetChannelKeys(int index, CKDWORD word, CKDWORD key) override;
    void ActivateChannel(int index, CKBOOL active = TRUE) override;
    CKBOOL IsChannelActive(int index) override
    {
        return IsChannel(index) && (m_Channels[index].Flags & CKCHANNEL_ACTIVE);
    }
    void ActivateAllChannels(CKBOOL active = TRUE) override;
    void LitChannel(int index, CKBOOL lit = TRUE) override;
    CKBOOL IsChannelLit(int index) override
    {
        return IsChannel(index) && !(m_Channels[index].Flags & CKCHANNEL_NOTLIT);
    }
    CKDWORD GetChannelFlags(int index) override { return IsChannel(index) ? m_Channels[index].Flags : 0; }
    void SetChannelFlags(int index, CKDWORD flags) override;
    CKMaterial* GetChannelMaterial(int index) override
    {
        return IsChannel(index) ? m_Channels[index].Material : nullptr;
    }
    void SetChannelMaterial(int index, CKMaterial* material) override;
    int GetChannelSourceBlend(int index) override { return IsChannel(index) ? m_Channels[index].SourceBlend : 1; }
    int GetChannelDestBlend(int index) override { return IsChannel(index) ? m_Channels[index].DestBlend : 1; }
    void SetChannelSourceBlend(int index, int blend) override;
    void SetChannelDestBlend(int index, int blend) override;
    int GetChannelType(int index) override { return IsChannel(index) ? m_Channels[index].Type : 0; }
    void SetChannelType(int index, int type, CKBOOL force = FALSE) override;
    void SetChannelData(int vertex, int channel, const float* values) override;
    void GetChannelData(int vertex, int channel, float* values) override;
    // The corners a channel is restricted to (empty: every face) and the
    // material indices the restriction came from.
    const XArray<CKDWORD>& GetChannelFaceIndices(int index) const { return m_Channels[index].FaceIndices; }
    const XArray<int>& GetChannelMaterialIndices(int index) const { return m_Channels[index].MaterialIndices; }

    CKERROR LoadVertices(CKStateChunk* chunk) override;

    void SetVerticesRendered(int count) override;
    int GetVerticesRendered() override;
    CKERROR CreatePM() override;
    CKERROR DestroyPM() override;
    CKBOOL IsPM() override { return m_ProgressiveMesh != nullptr; }
    void EnablePMGeoMorph(CKBOOL enable) override;
    CKBOOL IsPMGeoMorphEnabled() override;
    void SetPMGeoMorphStep(int steps) override;
    int GetPMGeoMorphStep() override;
    int GetPMRenderedVertex(int vertex) override;
    // Brings the drawn faces (and, with CKMESH_PMBUILDNORMALS, the normals
    // of the vertices drawn) up to date for the number of vertices drawn,
    // one geomorph step further when a transition runs; the material
    // groups are built again when the faces changed. Nothing without a
    // progressive mesh.
    void UpdatePMGeometry();
    // Null without one.
    const CKProgressiveMesh* GetProgressiveMesh() const { return m_ProgressiveMesh.get(); }

    // The first line passing within 10 pixels of the screen point, through
    // the render context's transformation (the entity's world matrix made
    // current first when one is given): 1 with the point on the line (in
    // the mesh's frame, perspective-correct) in result's Point; 0 without a
    // hit. result (when given) is reset first: Point, Normal, U and V 0,
    // Distance -1, FaceIndex 0.
    int IntersectLines(const Qx2DVector& point, CKPickResult* result, CKRenderContext* rc, CK3dEntity* entity);

    void DissociateAllFaces() override;
    void Consolidate() override;
    void RemoveDegenerateFaces() override;
    void Clean(CKBOOL keepVertices = FALSE) override;
    void RemoveChannelsByKey(CKDWORD key) override;
    void RemoveChannelMaterial(CKMaterial* material) override;
    CKERROR SetChannelFaceIndices(int channel, int count, const CKWORD* indices) override;
    CKERROR SetChannelMaterials(int channel, const int* materials, int count) override;
    // SetChannelMaterials again with the channel's kept list, after faces
    // changed material.
    void ReapplyChannelMaterials(int channel);
    // One record per vertex of every per-vertex value (vertex, colours,
    // blend record, tangent, binormal, channel data, weight; and with
    // blendShapes, each target's normal and position delta): the stride in
    // words; *recordWords the part without the deltas.
    int GetInterleavedRecords(XArray<CKDWORD>& out, bool blendShapes, int* recordWords);
    // The vertex count and every per-vertex array from such records.
    void LoadInterleavedRecords(const XArray<CKDWORD>& buffer, int stride);

    // Blend shapes and tangents.

    // Applies the entity's weights (count of them, one per blend-shape
    // name; nothing otherwise) to the mesh, or to the source data of the
    // entity's skin when it has one that the rasterizer does not blend.
    void ApplyBlendShapes(CK3dEntity* entity, CKRenderContext* rc, const float* weights, int count);
    // Base vertices written back, then each target added times its factor
    // (one per target); into the skin when given. With hasSkin the skin
    // deforms the result and the mesh only marks its vertices for upload.
    void ApplyBlendShapeTargets(const float* factors, CKSkin* skin, bool hasSkin, bool tangents);
    // The tangent and bitangent change each target brings, for meshes that
    // keep tangents; leaves the last target applied.
    void BuildBlendShapeTangentDeltas();
    // The per-vertex tangents and bitangents (CKMESH_TANGENTS): accumulated
    // over faces when the shader manager asks for it, else per corner and
    // shared by the vertices of one position and normal.
    void BuildTangentVectors();
    const XArray<QxVector>& GetTangents() const { return m_Tangents; }
    const XArray<QxVector>& GetBinormals() const { return m_Binormals; }

    // Material groups.

    // Index of the first group of the material (a null material finds the
    // default group); when there is none and create is set, a new group's.
    // -1 otherwise, or when the 16-bit group indices are all taken.
    int GetMaterialGroupIndex(CKMaterial* material, CKBOOL create);
    // Appends a group for the material; its index, -1 when none can be made.
    int CreateMaterialGroup(CKMaterial* material);
    int GetMaterialGroupCount() const { return m_MaterialGroups.Size(); }
    // Null out of range.
    CKMaterialGroup* GetMaterialGroup(int index) const;
    // Sorts the faces into their groups and builds each group's primitives
    // (or, for a mesh whose faces all share one group and that fits 16-bit
    // indices, lets that group draw the mesh's own arrays); removes the
    // groups no face uses. 0 for a mesh without vertices or faces, else 1.
    int BuildMaterialGroups();

    // Vertex and index buffers, for the mesh drawing.

    // The per-frame preparation against a render context: orders opaque
    // groups before transparent ones and works out the vertex format of the
    // buffers, when the buffers belong to another device or a material or
    // the lit mode changed since the last preparation.
    void PrepareForFrame(RCKRenderContext* rc);
    // Describes the mesh's vertex arrays and vertex format in a draw record.
    void DescribeVertices(CKDrawPrimitiveData& data);
    // Brings the buffers of a group and its further primitives up to date
    // in a device: TRUE when vertices were copied.
    CKBOOL FillGroupBuffers(CKRasterizerContext* rst, CKMaterialGroup& group, const CKDrawPrimitiveData& data);
    CKBOOL FillPrimitiveBuffers(CKRasterizerContext* rst, CK65KPrimitive& primitive, const CKDrawPrimitiveData& data);
    // Brings the buffers of a channel drawn in passes of its own up to date
    // (its blocks built first when what they come from changed), or marks
    // it drawn from the groups' buffers: TRUE when vertices were copied.
    CKBOOL FillChannelBuffers(CKRasterizerContext* rst, int channel, const CKDrawPrimitiveData& data);
    // The buffer steps of a draw: groups built when needed, the frame
    // preparation, the vertex description into data, the dynamic hint
    // judged over the last draws, every group's buffers filled, the device
    // remembered. FALSE without a device or without vertices.
    CKBOOL UpdateRenderData(RCKRenderContext* rc, CKDrawPrimitiveData& data);
    // The end of a draw: the change marks are cleared and the next draw
    // copies vertices only when something changes again.
    void EndDraw();
    // One record per vertex for vertex merging, into out (resized and
    // zeroed): the vertex record and its colours (40 bytes), the blend
    // record (16 bytes) when the mesh has them, the tangent and the binormal
    // (12 bytes each) when kept, the weight (4 bytes) when the mesh has
    // weights. Returns the record size in 32-bit words.
    int GetInterleavedVertices(XArray<CKDWORD>& out);

    // The channels drawn as further texture sets, each on its stage (1, 2,
    // ...), and the next stage ending the cascade.
    void SetUpTextureStages(RCKRenderContext* rc);
    // The channels drawn in passes of their own (only that one when only is
    // not -1), the projection pulled forward meanwhile.
    void DrawChannelPasses(RCKRenderContext* rc, int only);
    // A channel's record, null out of range.
    const CKMeshChannel* GetChannelRecord(int index) const { return IsChannel(index) ? &m_Channels[index] : nullptr; }
    // The channels the mesh draws as further texture sets, in stage order.
    const XArray<int>& GetExtraTextureChannels() const { return m_ExtraTextureChannels; }

    // Render state read by the drawing and its tests.
    CKDWORD GetRenderFlags() const { return m_RenderFlags; }
    CKDWORD GetVertexFormat() const { return m_VertexFormat; }
    CKDWORD GetVertexFormatCode() const { return m_FormatCode; }
    CKDWORD GetVertexSize() const { return m_VertexSize; }
    // 4 when the geometry is clipped (set by the drawing), or-ed into the
    // vertex format.
    void SetClipFlags(CKDWORD flags) { m_ClipFlags = flags; }
    // Per-vertex blend data for skinning on the rasterizer: one record per
    // vertex and the number of values used in each (0: none).
    XArray<CKVertexBlendRecord>& GetBlendRecords() { return m_BlendRecords; }
    int GetBlendWeightCount() const { return m_BlendWeightCount; }
    void SetBlendWeightCount(int count) { m_BlendWeightCount = count < 0 ? 0 : count > 4 ? 4 : count; }

protected:
    // (The patch mesh, which rebuilds its render mesh, works on these.)
    void UpdateBoundingVolumes();
    // The frame preparation's part for the channels: their marks and
    // formats, and which are drawn as further texture sets (set up on the
    // device's stages) or in passes of their own.
    void ClassifyChannels(RCKRenderContext* rc);
    // The channel's blocks, built again when its corners, the faces or the
    // vertices changed.
    void BuildChannelBlocks(CKMeshChannel& channel);
    // The tangent and binormal of a corner of the face whose indices start
    // at first, unless its vertex has them already.
    void BuildCornerTangent(int first, int corner);
    // The skin of every entity that shows this mesh; the blend records are
    // dropped afterwards.
    void ForEachSkin(const std::function<void(RCKSkin&)>& visit);
    // Channels' corners, blend shapes and skins through an old-to-new
    // table (-1: removed).
    void RemapVertexUsers(const int* table, int count, int newCount);
    CKBOOL IsChannel(int index) const { return index >= 0 && index < m_Channels.Size(); }
    // The channel's data and colour buffers for the vertex count, zeroed.
    void AllocateChannelBuffers(CKMeshChannel& channel);
    // The blend-shape extent and box from the deltas and base vertices.
    void UpdateBlendShapeBounds();
    // Every group deleted; the groups are then made again by the caller.
    void DeleteMaterialGroups();
    // Sections of the chunk (the persistence file).
    void SaveVertices(CKStateChunk& chunk);
    void SaveChannels(CKStateChunk& chunk, CKDWORD flags);
    void SaveBlendShapes(CKStateChunk& chunk);
    CKERROR LoadSections(CKStateChunk& chunk, CKFile* file);
    // CKErr::Ok, or the refusal: one line naming the section, the faces and
    // lines emptied.
    CKERROR Refuse(const char* what);
    // The vertex section; its save flags in *vertexFlags (0 when absent).
    CKERROR LoadVertexSection(CKStateChunk& chunk, CKDWORD* vertexFlags);
    CKERROR LoadFaceSections(CKStateChunk& chunk, const XArray<int>& groupMap);
    CKERROR LoadLineSections(CKStateChunk& chunk);
    CKERROR LoadChannelSections(CKStateChunk& chunk, CKFile* file);
    CKERROR LoadBlendShapeSection(CKStateChunk& chunk);
    CKERROR LoadWeightSection(CKStateChunk& chunk);
    void LoadFaceChannelMasks(CKStateChunk& chunk);
    CKERROR LoadProgressiveMeshSection(CKStateChunk& chunk);
    void SaveProgressiveMesh(CKStateChunk& chunk);
    void SaveRenderData(CKStateChunk& chunk);
    // The vertices' new numbers (old -> new, a permutation of count)
    // passed to every per-vertex array, the faces, the lines and the users
    // of the vertices.
    void PermuteVertices(const int* table, int count);
    // The normals of the vertices drawn, from the faces drawn.
    void BuildProgressiveNormals();
    // The render data must be prepared again.
    void StampRenderDataOutdated();
    // Drawing steps (the drawing file).
    RenderCallbackList* RenderCallbacks();
    void DrawLines(RCKRenderContext* rc, CKDrawPrimitiveData& data);
    void DrawOverlay(RCKRenderContext* rc);
    bool IsChannelPassDrawn(int index) const;
    void DrawChannelBlocks(CKRasterizerContext* rst, const CKMeshChannel& channel);
    void QueueChannelPasses(RCKRenderContext* rc, CK3dEntity* entity, RenderBatchGroup* batch);
    static void DrawQueuedGroup(CKRenderContext* context, const CKBatchKey& key, const CKBatchItem& item);
    static void DrawQueuedLines(CKRenderContext* context, const CKBatchKey& key, const CKBatchItem& item);
    static void DrawQueuedChannel(CKRenderContext* context, const CKBatchKey& key, const CKBatchItem& item);
    // Removes group index (from 1 on) and renumbers the faces above it.
    void RemoveMaterialGroup(int index);
    // Step 3 to 5 of the build: the face lists, vertex counts and
    // primitives of the groups.
    void SortFacesIntoGroups(int& lowest, int& highest, int& skipped);
    void BuildGroupPrimitives(CKMaterialGroup& group, CKDWORD* map);
    // The corners the groups are built from: a progressive mesh's faces
    // for its vertices drawn (*vertexCount of them), else the mesh's own.
    const CKDWORD* DrawnCorners(int* vertexCount) const;
    void OrderGroupIndices(CKMaterialGroup& group);
    CKBOOL IsVertexIndex(int index) const { return index >= 0 && index < m_Vertices.Size(); }

    CKDWORD m_Flags = CKMESH_VISIBLE;
    QxVector m_BaryCenter;
    float m_Radius = 0.0f;
    QxBbox m_LocalBox;
    XArray<CKVertex> m_Vertices;
    XArray<CKFace> m_Faces;
    XArray<CKDWORD> m_FaceIndices;
    XArray<float> m_VertexWeights;
    XArray<CKVertexColors> m_Colors;
    CKDWORD m_ClipFlags = 0;
    XArray<CKVertexBlendRecord> m_BlendRecords;
    int m_BlendWeightCount = 0;
    XArray<CKMeshLine> m_Lines;
    // Present while CKMESH_TANGENTS is set, one per vertex.
    XArray<QxVector> m_Tangents;
    XArray<QxVector> m_Binormals;

    // Render data.
    XArray<int> m_ExtraTextureChannels; // channels drawn as further texture sets
    CKDWORD m_RenderFlags = 0;
    CKDWORD m_VertexFormat = 0; // engine vertex format word
    CKDWORD m_FormatCode = 0;   // Direct3D flexible vertex format of the buffers
    CKDWORD m_VertexSize = 0;
    // 0: the next fill copies the vertices.
    CKDWORD m_VertexDataUploaded = 0;
    int m_ModifiedDraws = 0;
    int m_Draws = 0;
    // Render-data stamp (-1: outdated) and the stamp of the last change
    // that outdates it, both from the render library's change stamp.
    int m_RenderStamp = -1;
    int m_ChangeStamp = 0;
    CKRasterizerContext* m_RasterizerContext = nullptr;
    XArray<CKMaterialGroup*> m_MaterialGroups;

    XClassArray<CKMeshChannel> m_Channels;
    CKBlendShapeData m_BlendShapes;
    // Working arrays of the blend shapes.
    XArray<float> m_TargetFactors;
    XArray<float> m_LastBlendWeights;
    XClassArray<XArray<CKTangentPair>> m_TangentDeltas; // one per target, parallel to its deltas
    XArray<CKTangentPair> m_BaseTangents;               // parallel to the base vertices
    float m_BlendShapeExtent = 0.0f;
    QxBbox m_BlendShapeBox;
    std::unique_ptr<CKProgressiveMesh> m_ProgressiveMesh;
    RenderCallbackList* m_RenderCallbacks = nullptr; // owned
    int m_DeformingEntityCount = 0;
};
