#pragma once

#include "core/object/CKBeObject.h"
#include "includes/XString.h"
#include "render/mesh/CKBlendShapeData.h"
#include "render/mesh/CKMeshRecords.h"
#include "system/math/QxBbox.h"

class CK3dEntity;
class CKMaterial;
class CKMesh;
class CKRenderContext;

// A mesh's render callback: called with the render context, the entity the
// mesh is drawn for, the mesh and the argument given.
typedef void (*CK_MESHRENDERCALLBACK)(CKRenderContext* context, CK3dEntity* entity, CKMesh* mesh, void* argument);

// Mesh flags (GetFlags / SetFlags).
enum : CKDWORD
{
    CKMESH_BOUNDINGUPTODATE = 0x1,
    CKMESH_VISIBLE = 0x2,   // mirrored into the object flag CK_OBJECT_VISIBLE
    CKMESH_OPTIMIZED = 0x4, // material groups and their render data built
    CKMESH_FACENORMALSVALID = 0x8,
    CKMESH_TRANSPARENT = 0x10, // IsTransparent's cached answer
    CKMESH_PRELITMODE = 0x80,
    CKMESH_WRAPV = 0x100, // wrap mode bit 0 ("V Looping")
    CKMESH_WRAPU = 0x200, // wrap mode bit 1 ("U Looping")
    CKMESH_FORCETRANSPARENCY = 0x1000,
    CKMESH_TRANSPARENCYUPTODATE = 0x2000,
    CKMESH_UVCHANGED = 0x4000,
    CKMESH_NORMALCHANGED = 0x8000,
    CKMESH_COLORCHANGED = 0x10000,
    CKMESH_POSCHANGED = 0x20000,
    CKMESH_HINTDYNAMIC = 0x40000, // buffers are made dynamic
    CKMESH_GENNORMALS = 0x80000,  // the normals are BuildNormals' (not saved)
    CKMESH_NOUVSAVED = 0x100000,
    CKMESH_NOPOSITIONSSAVED = 0x200000, // positions and normals are not saved (a skin holds them)
    CKMESH_STRIPIFY = 0x400000,         // groups are drawn as strips, not in vertex-cache order
    CKMESH_SINGLEGROUP = 0x800000,      // the one group draws the mesh's own vertices and indices
    CKMESH_PMBUILDNORMALS = 0x1000000,  // a progressive mesh's update also rebuilds the normals
    CKMESH_TANGENTS = 0x4000000,        // keep per-vertex tangents and binormals
    CKMESH_REFILLINDICES = 0x8000000,   // index buffers are refilled at the next fill
    CKMESH_RENDERVARIANT = 0x10000000,  // a change stamps the render data outdated
};

// Wrap modes ("Wrap Mode" enumeration).
enum : int
{
    CKMESH_WRAP_NONE = 0,
    CKMESH_WRAP_V = 1,
    CKMESH_WRAP_U = 2,
    CKMESH_WRAP_UV = 3,
};

// A triangle mesh (class 32): vertices (CKVertex records with a colour
// record each), faces (CKFace records, three 32-bit vertex indices each)
// grouped by material, lines, vertex weights, and the render data built
// from them. RCKMesh implements it.
//
// Every index is checked: a getter out of range gives a neutral value (0,
// null, a zero vector), a setter out of range does nothing, and the
// operations that return a CKERROR refuse it with CKErr::InvalidParameter.
// The "channel" arguments name extra channels; -1 is the mesh's own data.
class CKMesh : public CKClass<CKMesh, CKBeObject, CKCID_MESH>
{
public:
    using CKClass::CKClass;

    // Whether a group's material draws with alpha transparency (or the mesh
    // is forced transparent); cached until faces or a material's blending
    // change.
    virtual CKBOOL IsTransparent() = 0;
    virtual void SetTransparent(CKBOOL transparent) = 0;
    virtual void SetWrapMode(int mode) = 0;
    virtual int GetWrapMode() = 0;
    // 0 prelit, 1 lit.
    virtual void SetLitMode(int mode) = 0;
    virtual int GetLitMode() = 0;
    virtual CKDWORD GetFlags() = 0;
    virtual void SetFlags(CKDWORD flags) = 0;

    // The positions that geometry changes write: the address of the first
    // one, *stride receiving the bytes from one to the next.
    virtual void* GetModifierVertices(CKDWORD* stride) = 0;
    virtual int GetModifierVertexCount() = 0;
    virtual void GetModifierVertex(int index, QxVector* position) = 0;
    virtual void SetModifierVertex(int index, const QxVector& position) = 0;
    // After the modifier vertices moved.
    virtual void ModifierVertexMove(CKBOOL rebuildNormals, CKBOOL rebuildFaceNormals) = 0;
    virtual void* GetModifierUVs(CKDWORD* stride, int channel = -1) = 0;
    virtual int GetModifierUVCount(int channel = -1) = 0;
    virtual void GetModifierUV(int index, float* u, float* v, int channel = -1) = 0;
    virtual void SetModifierUV(int index, float u, float v, int channel = -1) = 0;
    virtual void ModifierUVMove(int channel = -1) = 0;

    virtual int GetVertexCount() = 0;
    // A negative count counts as 0; new vertices are zero with the colours
    // 0xFFFFFFFF (diffuse) and 0 (specular). 1.
    virtual CKBOOL SetVertexCount(int count) = 0;

    virtual void SetVertexColor(int index, CKDWORD color) = 0;
    virtual void SetVertexSpecularColor(int index, CKDWORD color) = 0;
    virtual void SetVertexNormal(int index, const QxVector& normal) = 0;
    virtual void SetVertexPosition(int index, const QxVector& position) = 0;
    virtual void SetVertexTextureCoordinates(int index, float u, float v, int channel = -1) = 0;
    // The first element and, in *stride, the bytes between elements; null
    // when there is none.
    virtual void* GetColorsPtr(CKDWORD* stride, int channel = -1) = 0;
    virtual void* GetSpecularColorsPtr(CKDWORD* stride) = 0;
    virtual void* GetNormalsPtr(CKDWORD* stride) = 0;
    virtual void* GetPositionsPtr(CKDWORD* stride) = 0;
    virtual void* GetTextureCoordinatesPtr(CKDWORD* stride, int channel = -1) = 0;
    virtual CKDWORD GetVertexColor(int index) = 0;
    virtual CKDWORD GetVertexSpecularColor(int index) = 0;
    virtual void GetVertexNormal(int index, QxVector* normal) = 0;
    virtual void GetVertexPosition(int index, QxVector* position) = 0;
    virtual void GetVertexTextureCoordinates(int index, float* u, float* v, int channel = -1) = 0;

    virtual void TranslateVertices(const QxVector& offset) = 0;
    virtual void ScaleVertices3f(float x, float y, float z, const QxVector* pivot = nullptr) = 0;
    // Each position p becomes pivot + (p - pivot) scaled per axis (pivot
    // (0, 0, 0) when null); the normals follow.
    virtual void ScaleVertices(const QxVector& scale, const QxVector* pivot = nullptr) = 0;
    // Positions about the axis by the angle (radians).
    virtual void RotateVertices(const QxVector& axis, float angle) = 0;
    // Change marks: the bounds and the vertex buffers follow at their next
    // use.
    virtual void VertexMove() = 0;
    virtual void UVChanged(int channel = -1) = 0;
    virtual void NormalChanged() = 0;
    virtual void ColorChanged() = 0;

    virtual int GetFaceCount() = 0;
    // New faces are (0, 0, 0) in group 0. 0 for a count whose indices
    // would not fit; 1 otherwise.
    virtual CKBOOL SetFaceCount(int count) = 0;
    virtual CKDWORD* GetFacesIndices() = 0;
    virtual void GetFaceVertexIndex(int face, int& vertex1, int& vertex2, int& vertex3) = 0;
    // Null for a face in the default group.
    virtual CKMaterial* GetFaceMaterial(int face) = 0;
    virtual const QxVector& GetFaceNormal(int face) = 0;
    // 0 for every face.
    virtual CKWORD GetFaceChannelMask(int face) = 0;
    // The vertex record of a corner (0 to 2); null out of range.
    virtual CKVertex* GetFaceVertex(int face, int corner) = 0;
    virtual void* GetFaceNormalsPtr(CKDWORD* stride) = 0;
    // Refused unless the face exists and the three vertices do.
    virtual CKERROR SetFaceVertexIndex(int face, int vertex1, int vertex2, int vertex3) = 0;

    // Refused, nothing written, when a listed face does not exist.
    virtual CKERROR SetFacesMaterial(const int* faces, int count, CKMaterial* material) = 0;
    virtual void SetFaceMaterial(int face, CKMaterial* material) = 0;
    // The faces of old take new: with a null old, the faces without
    // material; with a null new, old's group is removed (its faces go to the
    // default group); when new has a group already and merge is set, old's
    // faces move to it; otherwise old's group takes new as its material.
    virtual void ReplaceMaterial(CKMaterial* oldMaterial, CKMaterial* newMaterial, CKBOOL merge = FALSE) = 0;
    // Every face takes the material (a mesh of one material renames it).
    virtual void ApplyGlobalMaterial(CKMaterial* material) = 0;

    virtual void SetLineCount(int count) = 0;
    virtual int GetLineCount() = 0;
    // Two 32-bit vertex indices a line.
    virtual CKDWORD* GetLineIndices() = 0;
    // Refused unless the line exists and the two vertices do.
    virtual CKERROR SetLine(int line, int vertex1, int vertex2) = 0;
    virtual void GetLine(int line, int* vertex1, int* vertex2) = 0;
    // Line first + i joins vertex + i and vertex + i + 1; refused unless
    // every line and vertex of the run exists.
    virtual CKERROR CreateLineStrip(int firstLine, int count, int firstVertex) = 0;

    // Exchanges the second and third corner of every face and turns every
    // normal round.
    virtual void InverseWinding() = 0;
    // The material groups and their render data are rebuilt at their next
    // use.
    virtual void FacesChanged() = 0;

    virtual float GetRadius() = 0;
    virtual const QxBbox& GetLocalBox() = 0;
    virtual const QxVector& GetBaryCenter() = 0;

    virtual void BuildNormals() = 0;
    virtual void BuildFaceNormals() = 0;

    // Drawing: the pre-render callbacks, then the replacing callback or the
    // mesh's own draw, then the post-render callbacks, each called with the
    // render context, the entity, the mesh and its argument. CKErr::Ok.
    virtual CKERROR Render(CKRenderContext* context, CK3dEntity* entity) = 0;
    // FALSE for a null function or a pair already there; a temporary callback
    // is called for one frame.
    virtual CKBOOL AddPreRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument, CKBOOL temporary = FALSE) = 0;
    // TRUE when the pair was there.
    virtual CKBOOL RemovePreRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument) = 0;
    virtual CKBOOL AddPostRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument, CKBOOL temporary = FALSE) = 0;
    virtual CKBOOL RemovePostRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument) = 0;
    // Drawn instead of the mesh.
    virtual void SetRenderCallBack(CK_MESHRENDERCALLBACK function, void* argument) = 0;
    // The mesh draws itself again.
    virtual void SetDefaultRenderCallBack() = 0;
    virtual void RemoveAllCallbacks() = 0;

    // The materials of the faces (the default group not counted), in group
    // order; the groups are built first when needed.
    virtual int GetMaterialCount() = 0;
    virtual CKMaterial* GetMaterial(int index) = 0;
    // The faces of material index, *count their number; null and 0 out of
    // range and for a mesh drawn as a single group.
    virtual CKDWORD* GetMaterialFaceIndices(int index, int* count) = 0;

    virtual int GetVertexWeightsCount() = 0;
    // Exactly count weights (new ones 0.0); 0 deletes them.
    virtual void SetVertexWeightsCount(int count) = 0;
    virtual float* GetVertexWeightsPtr() = 0;
    virtual float GetVertexWeight(int index) = 0;
    virtual void SetVertexWeight(int index, float weight) = 0;

    virtual int GetBlendShapeCount() = 0;
    // A static empty string out of range.
    virtual const XString& GetBlendShapeName(int index) = 0;
    // Index of the first blend shape of that name (case-sensitive), -1
    // when none.
    virtual int GetBlendShapeIndex(const XString& name) = 0;
    // The three arrays copied in (the bounds follow) or out.
    virtual void SetBlendShapes(const CKBlendShapeData& data) = 0;
    virtual void GetBlendShapes(CKBlendShapeData& data) = 0;

    // Extra channels. A channel index out of range makes a getter give 0
    // (1 for the blend factors, null for a material) and a setter nothing.
    virtual int GetChannelCount() = 0;
    // AddChannelEx of type 0.
    virtual int AddChannel(CKMaterial* material, CKBOOL copySourceUV = TRUE) = 0;
    // Type 0 with a material that has a channel already: that channel's
    // index (-1 for a null material). Otherwise a new channel of the type
    // (0 to 4; -1 for another), the mesh's u (and v for a stride of 8 bytes
    // or more) copied into it when asked.
    virtual int AddChannelEx(CKMaterial* material, CKBOOL copySourceUV, int type) = 0;
    virtual void RemoveChannel(int index) = 0;
    virtual int GetChannelByMaterial(CKMaterial* material) = 0;
    virtual CKDWORD GetChannelKey(int index) = 0;
    virtual void SetChannelKeys(int index, CKDWORD word, CKDWORD key) = 0;
    virtual void ActivateChannel(int index, CKBOOL active = TRUE) = 0;
    virtual CKBOOL IsChannelActive(int index) = 0;
    virtual void ActivateAllChannels(CKBOOL active = TRUE) = 0;
    // An unlit channel is drawn without lighting (CKCHANNEL_NOTLIT).
    virtual void LitChannel(int index, CKBOOL lit = TRUE) = 0;
    virtual CKBOOL IsChannelLit(int index) = 0;
    virtual CKDWORD GetChannelFlags(int index) = 0;
    // CKCHANNEL_SAMEUV frees the channel's data, its absence allocates it;
    // CKCHANNEL_COLORS allocates the colours, its absence frees them.
    virtual void SetChannelFlags(int index, CKDWORD flags) = 0;
    virtual CKMaterial* GetChannelMaterial(int index) = 0;
    // Only for channels of type 0.
    virtual void SetChannelMaterial(int index, CKMaterial* material) = 0;
    virtual int GetChannelSourceBlend(int index) = 0;
    virtual int GetChannelDestBlend(int index) = 0;
    virtual void SetChannelSourceBlend(int index, int blend) = 0;
    virtual void SetChannelDestBlend(int index, int blend) = 0;
    virtual int GetChannelType(int index) = 0;
    // The buffers made again for the type (0 to 4), zeroed; with force 0 an
    // unchanged type does nothing.
    virtual void SetChannelType(int index, int type, CKBOOL force = FALSE) = 0;
    // One vertex's values (the type's stride) into / out of the channel.
    virtual void SetChannelData(int vertex, int channel, const float* values) = 0;
    virtual void GetChannelData(int vertex, int channel, float* values) = 0;

    // Every face corner its own vertex (lines keep the first vertex made
    // from theirs); channels, blend shapes and skins follow.
    virtual void DissociateAllFaces() = 0;
    // Vertices equal in every per-vertex value (channels, weights and
    // blend-shape deltas included) merged into the first of them.
    virtual void Consolidate() = 0;
    // Faces with two equal corners or a zero normal removed, then the
    // vertices no face, channel corner or line uses.
    virtual void RemoveDegenerateFaces() = 0;
    // No faces, lines or channels and only the default group; with
    // keepVertices 0 no vertices, weights or blend shapes either.
    virtual void Clean(CKBOOL keepVertices = FALSE) = 0;
    // Key 0 removes nothing.
    virtual void RemoveChannelsByKey(CKDWORD key) = 0;
    virtual void RemoveChannelMaterial(CKMaterial* material) = 0;

    // Restricts a channel to the corners listed (three a triangle; count 0
    // with a restricted channel, or every corner of the mesh, lifts it).
    // Refused with a count not a multiple of 3 or a corner past the
    // vertices.
    virtual CKERROR SetChannelFaceIndices(int channel, int count, const CKWORD* indices) = 0;
    // Restricts a channel to the faces of the listed material indices
    // (0 = the first material); refused, nothing changed, when an index is
    // listed twice or names no material. Listing every material lifts it.
    virtual CKERROR SetChannelMaterials(int channel, const int* materials, int count) = 0;

    // Only the vertex section of a mesh chunk (an older chunk whole).
    virtual CKERROR LoadVertices(CKStateChunk* chunk) = 0;

    // Progressive mesh: the vertices renumbered so that the last ones
    // collapse first, after which only the first vertices are drawn.
    // Without one the setters do nothing and the getters answer for a mesh
    // drawn whole (every vertex, geomorph off, 0 steps).

    // Clamped to 0 .. the vertex count.
    virtual void SetVerticesRendered(int count) = 0;
    virtual int GetVerticesRendered() = 0;
    // Builds the collapse order and renumbers the vertices by it (faces,
    // lines, channels, blend shapes and skins follow). CKErr::InvalidParameter
    // for a patch mesh, a mesh without vertices, or when one exists.
    virtual CKERROR CreatePM() = 0;
    // The record goes; the render data are built again.
    virtual CKERROR DestroyPM() = 0;
    virtual CKBOOL IsPM() = 0;
    virtual void EnablePMGeoMorph(CKBOOL enable) = 0;
    virtual CKBOOL IsPMGeoMorphEnabled() = 0;
    // The number of updates a change of the count drawn is shown over;
    // negative counts give 0.
    virtual void SetPMGeoMorphStep(int steps) = 0;
    virtual int GetPMGeoMorphStep() = 0;
    // The vertex drawn in the place of vertex: itself without a progressive
    // mesh or when it is drawn, else the vertex its collapses end on; -1
    // when none is drawn or the vertex does not exist.
    virtual int GetPMRenderedVertex(int vertex) = 0;
};
