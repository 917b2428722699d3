#include "exporter/geometry/MeshBuilder.h"

#include <cstring>
#include <utility>

namespace {

// The bits of a float for hashing: -0 hashes as +0 since the two compare
// equal. NaN never reaches here (a corner holding one matches nothing).
inline CKDWORD FloatBits(float f)
{
    if (f == 0.0f)
        return 0;
    CKDWORD bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

inline CKDWORD Mix(CKDWORD h, CKDWORD value)
{
    h ^= value;
    h *= 0x01000193u;
    return h ^ (h >> 15);
}

inline bool IsNaN(float f)
{
    return f != f;
}

// Checks a face list against its element count: false when one index is
// beyond it.
bool IndicesFit(const XArray<MeshIndexFace>& faces, int count)
{
    for (const MeshIndexFace& face : faces)
        for (CKDWORD index : face.index)
            if (index >= (CKDWORD) count)
                return false;
    return true;
}

// Whether an attribute with its own face list can be read: a list of the
// wrong length or with an index out of range is emptied; then, without a
// list, the position indices serve when there are enough elements.
bool AttributeUsable(XArray<MeshIndexFace>& faces, int elementCount, int faceCount, int positionCount)
{
    if (faces.Size() != 0 && (faces.Size() != faceCount || !IndicesFit(faces, elementCount)))
        faces.Clear();
    return faces.Size() != 0 || elementCount >= positionCount;
}

} // namespace

MeshBuilder::MeshBuilder(CKBOOL isPrelit, MeshCornerScratch* scratch) : prelit(isPrelit), m_Scratch(scratch)
{
    if (!m_Scratch)
        m_Scratch = m_OwnScratch = new MeshCornerScratch;
}

MeshBuilder::MeshBuilder(const MeshBuilder& other)
{
    *this = other;
}

MeshBuilder& MeshBuilder::operator=(const MeshBuilder& other)
{
    if (this == &other)
        return *this;
    positions = other.positions;
    normals = other.normals;
    colours = other.colours;
    for (int c = 0; c < MESH_BUILDER_CHANNELS; ++c) {
        coordinates[c] = other.coordinates[c];
        coordinateFaces[c] = other.coordinateFaces[c];
    }
    faces = other.faces;
    normalFaces = other.normalFaces;
    colourFaces = other.colourFaces;
    channelMaterials = other.channelMaterials;
    channelTypes = other.channelTypes;
    channelMapChannels = other.channelMapChannels;
    blendShapeNames = other.blendShapeNames;
    blendShapeSources = other.blendShapeSources;
    blendShapeWeights = other.blendShapeWeights;
    prelit = other.prelit;
    vertexMap = other.vertexMap;
    weldedVertices = other.weldedVertices;
    weldedFaces = other.weldedFaces;
    blendShapeTargets = other.blendShapeTargets;
    channelCount = other.channelCount;
    m_WeldedCoordinates = other.m_WeldedCoordinates;
    m_WeldedPositionCount = other.m_WeldedPositionCount;
    m_WeldedNormalCount = other.m_WeldedNormalCount;
    // A copy shares the scratch of the original when that is the export's;
    // one that had its own gets its own.
    if (!m_Scratch) {
        if (other.m_OwnScratch)
            m_Scratch = m_OwnScratch = new MeshCornerScratch;
        else
            m_Scratch = other.m_Scratch;
    }
    return *this;
}

MeshBuilder::MeshBuilder(MeshBuilder&& other) noexcept
    : positions(std::move(other.positions)), normals(std::move(other.normals)), colours(std::move(other.colours)),
      faces(std::move(other.faces)), normalFaces(std::move(other.normalFaces)),
      colourFaces(std::move(other.colourFaces)), channelMaterials(std::move(other.channelMaterials)),
      channelTypes(std::move(other.channelTypes)), channelMapChannels(std::move(other.channelMapChannels)),
      blendShapeNames(std::move(other.blendShapeNames)), blendShapeSources(std::move(other.blendShapeSources)),
      blendShapeWeights(std::move(other.blendShapeWeights)), prelit(other.prelit),
      vertexMap(std::move(other.vertexMap)), weldedVertices(std::move(other.weldedVertices)),
      weldedFaces(std::move(other.weldedFaces)), blendShapeTargets(std::move(other.blendShapeTargets)),
      channelCount(other.channelCount), m_Scratch(other.m_Scratch), m_OwnScratch(other.m_OwnScratch),
      m_WeldedCoordinates(std::move(other.m_WeldedCoordinates)), m_WeldedPositionCount(other.m_WeldedPositionCount),
      m_WeldedNormalCount(other.m_WeldedNormalCount)
{
    for (int c = 0; c < MESH_BUILDER_CHANNELS; ++c) {
        coordinates[c] = std::move(other.coordinates[c]);
        coordinateFaces[c] = std::move(other.coordinateFaces[c]);
    }
    other.channelCount = 0;
    other.m_WeldedPositionCount = other.m_WeldedNormalCount = 0;
    if (other.m_OwnScratch)
        other.m_Scratch = other.m_OwnScratch = new MeshCornerScratch;
}

MeshBuilder::~MeshBuilder()
{
    delete m_OwnScratch;
}

void MeshBuilder::AddTextureCoordinate(const MeshTexCoord& uv, int channel)
{
    if (channel >= 0 && channel < MESH_BUILDER_CHANNELS)
        coordinates[channel].PushBack(uv);
}

void MeshBuilder::AddMaterialChannel(CKMaterial* material)
{
    channelMaterials.PushBack(material);
    channelTypes.PushBack(0);
}

int MeshBuilder::AddTypedChannel(int type)
{
    if (type < 1 || type > 4)
        return 0;
    channelMaterials.PushBack(nullptr);
    channelTypes.PushBack(type);
    return 1;
}

void MeshBuilder::AddFace(CKDWORD a, CKDWORD b, CKDWORD c, CKMaterial* material)
{
    MeshBuilderFace face;
    face.index[0] = a;
    face.index[1] = b;
    face.index[2] = c;
    face.material = material;
    faces.PushBack(face);
}

static MeshIndexFace Triple(CKDWORD a, CKDWORD b, CKDWORD c)
{
    MeshIndexFace face;
    face.index[0] = a;
    face.index[1] = b;
    face.index[2] = c;
    return face;
}

void MeshBuilder::AddChannelFace(CKDWORD a, CKDWORD b, CKDWORD c, int channel)
{
    if (channel >= 0 && channel < MESH_BUILDER_CHANNELS)
        coordinateFaces[channel].PushBack(Triple(a, b, c));
}

void MeshBuilder::AddColourFace(CKDWORD a, CKDWORD b, CKDWORD c)
{
    colourFaces.PushBack(Triple(a, b, c));
}

void MeshBuilder::AddNormalFace(CKDWORD a, CKDWORD b, CKDWORD c)
{
    normalFaces.PushBack(Triple(a, b, c));
}

float MeshBuilder::GetBlendShapeWeight(int index) const
{
    return index >= 0 && index < blendShapeWeights.Size() ? blendShapeWeights[index] : 0.0f;
}

const MeshTexCoord* MeshBuilder::GetWeldedCoordinates(int i) const
{
    if (i < 0 || i >= weldedVertices.Size() || channelCount == 0)
        return nullptr;
    return m_WeldedCoordinates.Begin() + (size_t) i * (size_t) channelCount;
}

int MeshBuilder::Weld(CKBOOL merge)
{
    const int faceCount = faces.Size();
    const int positionCount = positions.Size();
    if (faceCount == 0 || positionCount == 0)
        return 0;
    for (const MeshBuilderFace& face : faces)
        for (CKDWORD index : face.index)
            if (index >= (CKDWORD) positionCount)
                return 0;

    vertexMap.Clear();
    vertexMap.Resize(positionCount);

    channelCount = 0;
    while (channelCount < MESH_BUILDER_CHANNELS && coordinates[channelCount].Size() > 0)
        ++channelCount;
    for (int c = 0; c < channelCount; ++c)
        if (!AttributeUsable(coordinateFaces[c], coordinates[c].Size(), faceCount, positionCount)) {
            // One channel that cannot be read leaves the mesh without any.
            channelCount = 0;
            break;
        }
    const bool withColours = AttributeUsable(colourFaces, colours.Size(), faceCount, positionCount);
    const bool withNormals = AttributeUsable(normalFaces, normals.Size(), faceCount, positionCount);

    BuildCorners(withColours, withNormals);
    if (merge)
        MergeCorners(withColours, withNormals);
    Compact();
    WeldBlendShapes();
    m_WeldedPositionCount = positionCount;
    m_WeldedNormalCount = normals.Size();
    return 1;
}

void MeshBuilder::BuildCorners(bool withColours, bool withNormals)
{
    const int faceCount = faces.Size();
    XArray<MeshCorner>& corners = m_Scratch->corners;
    XArray<MeshTexCoord>& cornerUVs = m_Scratch->coordinates;
    corners.Resize(3 * faceCount);
    cornerUVs.Resize(3 * faceCount * channelCount);
    for (int f = 0; f < faceCount; ++f)
        for (int k = 0; k < 3; ++k) {
            const int n = 3 * f + k;
            MeshCorner& corner = corners[n];
            corner = MeshCorner();
            corner.positionIndex = faces[f].index[k];
            corner.position = positions[(int) corner.positionIndex];
            corner.cornerNumber = (CKDWORD) n;
            if (withColours) {
                CKDWORD i = colourFaces.Size() ? colourFaces[f].index[k] : corner.positionIndex;
                corner.colourIndex = (int) i;
                corner.colour = colours[(int) i];
            }
            if (withNormals) {
                CKDWORD i = normalFaces.Size() ? normalFaces[f].index[k] : corner.positionIndex;
                corner.normalIndex = (int) i;
                corner.normal = normals[(int) i];
            }
            for (int c = 0; c < channelCount; ++c) {
                CKDWORD i = coordinateFaces[c].Size() ? coordinateFaces[c][f].index[k] : corner.positionIndex;
                cornerUVs[n * channelCount + c] = coordinates[c][(int) i];
            }
        }
}

// Corners of one host vertex that agree exactly (positions, normals and
// colours when the mesh has them, u and v of every channel) merge into the
// first of them. A hash of those fields finds the candidates, so a vertex
// shared by many corners costs no quadratic time; the result is the same as
// comparing each corner with every later corner of its vertex.
void MeshBuilder::MergeCorners(bool withColours, bool withNormals)
{
    XArray<MeshCorner>& corners = m_Scratch->corners;
    const MeshTexCoord* uvs = m_Scratch->coordinates.Begin();
    const int cornerCount = corners.Size();
    const int stride = channelCount;

    int capacity = 16;
    while (capacity < 2 * cornerCount)
        capacity *= 2;
    XArray<int>& slots = m_Scratch->slots;
    slots.Resize(capacity);
    std::memset(slots.Begin(), 0, (size_t) capacity * sizeof(int));
    const CKDWORD mask = (CKDWORD) capacity - 1;

    auto same = [&](const MeshCorner& a, int ia, const MeshCorner& b, int ib) {
        if (a.positionIndex != b.positionIndex || a.position.x != b.position.x || a.position.y != b.position.y ||
            a.position.z != b.position.z)
            return false;
        if (withNormals && (a.normal.x != b.normal.x || a.normal.y != b.normal.y || a.normal.z != b.normal.z))
            return false;
        if (withColours && a.colour != b.colour)
            return false;
        const MeshTexCoord* ua = uvs + (size_t) ia * stride;
        const MeshTexCoord* ub = uvs + (size_t) ib * stride;
        for (int c = 0; c < stride; ++c)
            if (ua[c].u != ub[c].u || ua[c].v != ub[c].v)
                return false;
        return true;
    };

    for (int i = 0; i < cornerCount; ++i) {
        MeshCorner& corner = corners[i];
        const MeshTexCoord* uv = uvs + (size_t) i * stride;
        bool nan = IsNaN(corner.position.x) || IsNaN(corner.position.y) || IsNaN(corner.position.z);
        CKDWORD h = Mix(0x811C9DC5u, corner.positionIndex);
        h = Mix(h, FloatBits(corner.position.x));
        h = Mix(h, FloatBits(corner.position.y));
        h = Mix(h, FloatBits(corner.position.z));
        if (withNormals) {
            nan = nan || IsNaN(corner.normal.x) || IsNaN(corner.normal.y) || IsNaN(corner.normal.z);
            h = Mix(h, FloatBits(corner.normal.x));
            h = Mix(h, FloatBits(corner.normal.y));
            h = Mix(h, FloatBits(corner.normal.z));
        }
        if (withColours) {
            const QxColor& c = corner.colour;
            nan = nan || IsNaN(c.r) || IsNaN(c.g) || IsNaN(c.b) || IsNaN(c.a);
            h = Mix(h, FloatBits(c.r));
            h = Mix(h, FloatBits(c.g));
            h = Mix(h, FloatBits(c.b));
            h = Mix(h, FloatBits(c.a));
        }
        for (int c = 0; c < stride; ++c) {
            nan = nan || IsNaN(uv[c].u) || IsNaN(uv[c].v);
            h = Mix(h, FloatBits(uv[c].u));
            h = Mix(h, FloatBits(uv[c].v));
        }
        // A NaN differs from everything: such a corner stands alone.
        if (nan)
            continue;
        CKDWORD slot = h & mask;
        for (;;) {
            const int held = slots[(int) slot];
            if (held == 0) {
                slots[(int) slot] = i + 1;
                break;
            }
            if (same(corners[held - 1], held - 1, corner, i)) {
                corner.weldTarget = held - 1;
                break;
            }
            slot = (slot + 1) & mask;
        }
    }
}

void MeshBuilder::Compact()
{
    const XArray<MeshCorner>& corners = m_Scratch->corners;
    const MeshTexCoord* uvs = m_Scratch->coordinates.Begin();
    const int cornerCount = corners.Size();
    XArray<int>& vertexOf = m_Scratch->vertexOf;
    vertexOf.Resize(cornerCount);

    int vertexCount = 0;
    for (const MeshCorner& corner : corners)
        vertexCount += corner.weldTarget < 0 ? 1 : 0;
    weldedVertices.Resize(vertexCount);
    m_WeldedCoordinates.Resize(vertexCount * channelCount);

    int next = 0;
    for (int i = 0; i < cornerCount; ++i) {
        const MeshCorner& corner = corners[i];
        if (corner.weldTarget < 0) {
            weldedVertices[next] = corner;
            for (int c = 0; c < channelCount; ++c)
                m_WeldedCoordinates[next * channelCount + c] = uvs[(size_t) i * channelCount + c];
            vertexOf[i] = next++;
        } else {
            vertexOf[i] = vertexOf[corner.weldTarget];
        }
    }

    for (int v = 0; v < vertexCount; ++v)
        vertexMap[(int) weldedVertices[v].positionIndex].PushBack(v);

    const int faceCount = faces.Size();
    weldedFaces.Resize(faceCount);
    for (int f = 0; f < faceCount; ++f) {
        weldedFaces[f].material = faces[f].material;
        for (int k = 0; k < 3; ++k)
            weldedFaces[f].index[k] = (CKDWORD) vertexOf[3 * f + k];
    }
}

void MeshBuilder::WeldBlendShapes()
{
    blendShapeTargets.Clear();
    const XArray<int>& vertexOf = m_Scratch->vertexOf;
    const int faceCount = faces.Size();
    XArray<CKBYTE> touched;
    touched.Resize(weldedVertices.Size());
    for (const BlendShapeSource& source : blendShapeSources) {
        BlendShapeTarget& target = blendShapeTargets.PushBack(BlendShapeTarget());
        target.nameIndex = source.nameIndex;
        target.weight = source.weight;
        target.risingSlope = source.risingSlope;
        target.fallingSlope = source.fallingSlope;
        if (touched.Size())
            std::memset(touched.Begin(), 0, (size_t) touched.Size());
        for (const BlendShapeFaceDelta& delta : source.faceDeltas) {
            if (delta.face >= (CKDWORD) faceCount)
                continue;
            for (int k = 0; k < 3; ++k) {
                const QxVector& p = delta.position[k];
                const QxVector& n = delta.normal[k];
                if (p.x == 0.0f && p.y == 0.0f && p.z == 0.0f && n.x == 0.0f && n.y == 0.0f && n.z == 0.0f)
                    continue;
                const int vertex = vertexOf[3 * (int) delta.face + k];
                if (touched[vertex])
                    continue;
                touched[vertex] = 1;
                BlendShapeVertexDelta vd;
                vd.vertex = (CKDWORD) vertex;
                vd.position = p;
                vd.normal = n;
                target.deltas.PushBack(vd);
            }
        }
    }
}

int MeshBuilder::RefreshVertices()
{
    if (positions.Size() == 0 || weldedVertices.Size() == 0)
        return 0;
    if (positions.Size() != m_WeldedPositionCount)
        return 0;
    const bool withNormals = !prelit && weldedVertices[0].normalIndex >= 0;
    if (withNormals && normals.Size() != m_WeldedNormalCount)
        return 0;
    for (MeshCorner& vertex : weldedVertices) {
        if (withNormals)
            vertex.normal = normals[vertex.normalIndex];
        vertex.position = positions[(int) vertex.positionIndex];
    }
    return 1;
}
