#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XClassArray.h"
#include "includes/XString.h"
#include "system/math/QxColor.h"
#include "system/math/QxVector.h"

class CKMaterial;

// Channel 0 is the mesh's own texture coordinates, 1 to 7 its extra channels.
constexpr int MESH_BUILDER_CHANNELS = 8;

// u, v and two further floats (0, or the third and fourth component of an
// extended float channel).
struct MeshTexCoord
{
    float u = 0.0f, v = 0.0f, third = 0.0f, fourth = 0.0f;
};

// Three indices into the positions, then the engine material (may be null).
struct MeshBuilderFace
{
    CKDWORD index[3] = {0, 0, 0};
    CKMaterial* material = nullptr;
};

// Three indices into one attribute list (normals, colours, a channel's
// texture coordinates).
struct MeshIndexFace
{
    CKDWORD index[3] = {0, 0, 0};
};

// One face corner before welding, one engine vertex after. Its texture
// coordinates live beside it, one record per channel in use (see
// MeshBuilder::GetWeldedCoordinates), so that a corner costs only the
// channels the mesh has.
struct MeshCorner
{
    QxVector position;
    QxVector normal;
    QxColor colour{1.0f, 1.0f, 1.0f, 1.0f};
    CKDWORD positionIndex = 0;
    int normalIndex = -1;
    int colourIndex = -1;
    CKDWORD cornerNumber = 0;
    int weldTarget = -1;
};

// What the welding reuses from mesh to mesh: the corners, their texture
// coordinates and the table that finds equal corners. Owned by the export's
// builder; grows until freed before the save.
struct MeshCornerScratch
{
    XArray<MeshCorner> corners;
    XArray<MeshTexCoord> coordinates;
    // The hash table of corners (corner + 1, 0 free), then each corner's
    // engine vertex.
    XArray<int> slots;
    XArray<int> vertexOf;

    // Gives the storage back (a later welding grows it again).
    void Free()
    {
        corners.Free();
        coordinates.Free();
        slots.Free();
        vertexOf.Free();
    }
};

// One face's blend-shape deltas: the position deltas of its three corners,
// then their normal deltas.
struct BlendShapeFaceDelta
{
    CKDWORD face = 0;
    QxVector position[3];
    QxVector normal[3];
};

struct BlendShapeSource
{
    CKDWORD nameIndex = 0;
    float weight = 1.0f;
    float risingSlope = 1.0f;
    float fallingSlope = -1.0f;
    XArray<BlendShapeFaceDelta> faceDeltas;
};

struct BlendShapeVertexDelta
{
    CKDWORD vertex = 0;
    QxVector position;
    QxVector normal;
};

struct BlendShapeTarget
{
    CKDWORD nameIndex = 0;
    float weight = 1.0f;
    float risingSlope = 1.0f;
    float fallingSlope = -1.0f;
    XString name;
    XArray<BlendShapeVertexDelta> deltas;
};

// The intermediate mesh between the host and the engine: flat attribute
// lists, each with its own index triple per face, welded into engine
// vertices (corners of one host vertex that agree exactly in every
// attribute become one vertex) and turned into a CKMesh by
// ExportBuilder::CreateEngineMesh.
class MeshBuilder
{
public:
    // prelit: the host mesh carries vertex colours. scratch may be null (the
    // builder then keeps its own).
    MeshBuilder(CKBOOL prelit, MeshCornerScratch* scratch);
    MeshBuilder(const MeshBuilder& other);
    MeshBuilder& operator=(const MeshBuilder& other);
    // Takes other's lists (and its own scratch, when it has one); other is
    // left empty, with a scratch of its own in that case.
    MeshBuilder(MeshBuilder&& other) noexcept;
    ~MeshBuilder();

    // Appending.
    void AddTextureCoordinate(const MeshTexCoord& uv, int channel);
    void AddMaterialChannel(CKMaterial* material);
    // 1 for a type 1 to 4 (a typed float channel appended), else 0.
    int AddTypedChannel(int type);
    void AddFace(CKDWORD a, CKDWORD b, CKDWORD c, CKMaterial* material);
    void AddChannelFace(CKDWORD a, CKDWORD b, CKDWORD c, int channel);
    void AddColourFace(CKDWORD a, CKDWORD b, CKDWORD c);
    void AddNormalFace(CKDWORD a, CKDWORD b, CKDWORD c);
    void AddBlendShapeWeight(float weight) { blendShapeWeights.PushBack(weight); }
    void AddBlendShapeName(const XString& name) { blendShapeNames.PushBack(name); }
    void AddBlendShapeSource(const BlendShapeSource& source) { blendShapeSources.PushBack(source); }
    // 0 for an index out of range.
    float GetBlendShapeWeight(int index) const;

    // Welds the corners into vertices (merge: equal corners of one host
    // vertex become one). 0, with nothing built, when there are no faces or
    // no positions, or when a face names a position beyond the list. Face
    // lists of the wrong length, or naming an element beyond their list, are
    // dropped (the positions' indices serve instead when the list is long
    // enough, else the attribute is left out; for a texture channel, every
    // channel is).
    int Weld(CKBOOL merge);
    // Re-reads positions (and, when not prelit and the vertices have
    // normals, normals) of the welded vertices from the lists. 0 when
    // nothing was welded, there are no positions, or a list no longer has
    // the length it had when welded.
    int RefreshVertices();

    // The channel-count texture coordinates of welded vertex i.
    const MeshTexCoord* GetWeldedCoordinates(int i) const;

    XArray<QxVector> positions;
    XArray<QxVector> normals;
    XArray<QxColor> colours;
    XArray<MeshTexCoord> coordinates[MESH_BUILDER_CHANNELS];
    XArray<MeshBuilderFace> faces;
    XArray<MeshIndexFace> normalFaces;
    XArray<MeshIndexFace> colourFaces;
    XArray<MeshIndexFace> coordinateFaces[MESH_BUILDER_CHANNELS];
    XArray<CKMaterial*> channelMaterials;
    XArray<int> channelTypes;
    // The host map channel each extra channel was read from, in channel
    // order (mesh splitting takes a channel's coordinates from it).
    XArray<int> channelMapChannels;
    XClassArray<XString> blendShapeNames;
    XClassArray<BlendShapeSource> blendShapeSources;
    XArray<float> blendShapeWeights;
    CKBOOL prelit = FALSE;
    // Per host vertex, its engine vertices.
    XClassArray<XArray<int>> vertexMap;
    XArray<MeshCorner> weldedVertices;
    XArray<MeshBuilderFace> weldedFaces;
    XClassArray<BlendShapeTarget> blendShapeTargets;
    int channelCount = 0;

private:
    void BuildCorners(bool withColours, bool withNormals);
    void MergeCorners(bool withColours, bool withNormals);
    void Compact();
    void WeldBlendShapes();

    MeshCornerScratch* m_Scratch = nullptr;
    MeshCornerScratch* m_OwnScratch = nullptr;
    // The coordinates of the welded vertices, channelCount a vertex.
    XArray<MeshTexCoord> m_WeldedCoordinates;
    // The list lengths the welding saw, which RefreshVertices insists on.
    int m_WeldedPositionCount = 0;
    int m_WeldedNormalCount = 0;
};
