// The patch mesh's rebuild: its patches tessellated into the render mesh
// (vertices, texture coordinates, faces, material groups, normals).
#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

#include "core/context/CKContext.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/CKRenderGlobals.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMaterialGroup.h"
#include "render/mesh/CKPatchEvaluation.h"
#include "render/mesh/MeshKernels.h"
#include "render/mesh/RCKPatchMesh.h"
#include "system/memory/QxScratchBuffer.h"

namespace {

// The render mesh stays below these; the iteration count is lowered until
// it does.
constexpr int kMaxVertices = 65000;
constexpr int kMaxFaces = 30000;
// Group indices are 16 bits: a render mesh this large (possible only
// without subdivision) leaves its groups to the ordinary build.
constexpr int kMaxGroupVertices = 65535;

inline int Index(short value)
{
    return (CKWORD) value;
}

int CornerCount(const CKPatch& patch)
{
    return patch.type == CK_PATCH_TRI ? 3 : 4;
}

bool IsDrawn(const CKPatch& patch)
{
    return patch.type == CK_PATCH_TRI || patch.type == CK_PATCH_QUAD;
}

// The interior points a patch adds at a step count (in double: a stored
// count may be far too large for any integer product).
double InteriorCount(const CKPatch& patch, double steps)
{
    if (patch.type == CK_PATCH_TRI)
        return (steps - 1) * (steps - 2) / 2;
    if (patch.type == CK_PATCH_QUAD)
        return (steps - 1) * (steps - 1);
    return 0;
}

double FaceCount(const CKPatch& patch, double steps)
{
    if (patch.type == CK_PATCH_TRI)
        return steps * steps;
    if (patch.type == CK_PATCH_QUAD)
        return 2 * steps * steps;
    return 0;
}

// Whether a channel record's texture patches can be evaluated: one per
// patch, each used corner naming an existing texture vertex.
bool HasTexturePatches(const CKPatchChannel& record, const XArray<CKPatch>& patches)
{
    if (record.texturePatches.Size() == 0 || record.texturePatches.Size() != patches.Size() ||
        record.textureVertices.Size() == 0)
        return false;
    for (int p = 0; p < patches.Size(); ++p)
        for (int k = 0; k < CornerCount(patches[p]); ++k)
            if (Index(record.texturePatches[p].tv[k]) >= record.textureVertices.Size())
                return false;
    return true;
}

// Where the next render vertex goes: its position and, per evaluated
// channel, its texture coordinates (null for a channel not evaluated).
struct Cursor
{
    CKBYTE* Position = nullptr;
    CKDWORD PositionStride = 0;
    struct Channel
    {
        CKBYTE* Coordinates = nullptr;
        CKDWORD Stride = 0;
        const CKPatchChannel* Record = nullptr;
    };
    std::vector<Channel> Channels;

    void Write(const QxVector& position)
    {
        *reinterpret_cast<QxVector*>(Position) = position;
        Position += PositionStride;
    }
    void WriteUV(size_t channel, float u, float v)
    {
        Channel& c = Channels[channel];
        if (c.Coordinates) {
            float* uv = reinterpret_cast<float*>(c.Coordinates);
            uv[0] = u;
            uv[1] = v;
        }
    }
    void Advance()
    {
        for (Channel& c : Channels)
            if (c.Coordinates)
                c.Coordinates += c.Stride;
    }
};

// The control points of one patch, gathered from the points array.
struct PatchPoints
{
    QxVector Corners[4];
    QxVector Aux[9];
    QxVector Interiors[4];
    QxVector Net[4][4]; // quads only

    // Only a triangle's or a quad's handles and interiors name vectors.
    PatchPoints(const CKPatch& patch, const QxVector* vertices, const QxVector* vectors)
    {
        const int n = CornerCount(patch);
        for (int k = 0; k < n; ++k)
            Corners[k] = vertices[Index(patch.v[k])];
        if (!IsDrawn(patch))
            return;
        for (int k = 0; k < n; ++k)
            Interiors[k] = vectors[Index(patch.interior[k])];
        if (patch.type == CK_PATCH_TRI && patch.auxPoints) {
            for (int k = 0; k < 9; ++k)
                Aux[k] = patch.auxPoints[k];
        } else if (patch.type == CK_PATCH_QUAD) {
            auto vec = [&](int k) { return vectors[Index(patch.vec[k])]; };
            const QxVector net[4][4] = {
                {Corners[0], vec(7), vec(6), Corners[3]},
                {vec(0), Interiors[0], Interiors[3], vec(5)},
                {vec(1), Interiors[1], Interiors[2], vec(4)},
                {Corners[1], vec(2), vec(3), Corners[2]},
            };
            std::memcpy(Net, net, sizeof(Net));
        }
    }
};

static_assert(std::is_trivially_destructible_v<PatchPoints>, "patch points live in a scratch buffer");

// Texture coordinates of a triangle at (a, b, c): c T0 + a T1 + b T2.
void TriUV(const CKPatchChannel& r, const CKTexturePatch& tp, float a, float b, float c, float* u, float* v)
{
    const CKPatchUV& t0 = r.textureVertices[Index(tp.tv[0])];
    const CKPatchUV& t1 = r.textureVertices[Index(tp.tv[1])];
    const CKPatchUV& t2 = r.textureVertices[Index(tp.tv[2])];
    *u = c * t0.u + a * t1.u + b * t2.u;
    *v = c * t0.v + a * t1.v + b * t2.v;
}

// Of a quad at (s, t): T0 (1-s)(1-t) + T1 (1-s) t + T2 s t + T3 s (1-t).
void QuadUV(const CKPatchChannel& r, const CKTexturePatch& tp, float s, float t, float* u, float* v)
{
    const float os = 1.0f - s, ot = 1.0f - t;
    const float w[4] = {os * ot, os * t, s * t, s * ot};
    float su = 0.0f, sv = 0.0f;
    for (int k = 0; k < 4; ++k) {
        const CKPatchUV& uv = r.textureVertices[Index(tp.tv[k])];
        su += w[k] * uv.u;
        sv += w[k] * uv.v;
    }
    *u = su;
    *v = sv;
}

// The side of the patch joining two vertices: its number, and whether it
// runs from a to b (forward) or from b to a; -1 when none does.
int FindSide(const CKPatch& patch, int a, int b, bool* forward)
{
    const int n = CornerCount(patch);
    for (int k = 0; k < n; ++k) {
        const int from = Index(patch.v[k]), to = Index(patch.v[(k + 1) % n]);
        if (from == a && to == b) {
            *forward = true;
            return k;
        }
        if (from == b && to == a) {
            *forward = false;
            return k;
        }
    }
    return -1;
}

// The parameters (s, t) of point i of a quad's side walked from its first
// corner (forward) or from its second.
void QuadSideParameters(int side, bool forward, int i, int steps, float step, float* s, float* t)
{
    const float along = (float) i * step;
    const float back = (float) (steps - i) * step;
    switch (side) {
    case 0:
        *s = 0.0f;
        *t = forward ? along : 1.0f - along;
        break;
    case 1:
        *t = 1.0f;
        *s = forward ? along : 1.0f - along;
        break;
    case 2:
        *s = 1.0f;
        *t = forward ? back : 1.0f - back;
        break;
    default:
        *t = 0.0f;
        *s = forward ? back : 1.0f - back;
        break;
    }
}

// The control points of a quad's side, in the order the net gives them.
void QuadSideCurve(const PatchPoints& pp, int side, QxVector out[4])
{
    for (int k = 0; k < 4; ++k) {
        switch (side) {
        case 0: out[k] = pp.Net[k][0]; break;
        case 1: out[k] = pp.Net[3][k]; break;
        case 2: out[k] = pp.Net[k][3]; break;
        default: out[k] = pp.Net[0][k]; break;
        }
    }
}

} // namespace

// First render vertex of each edge's run(s) of side points.
struct RCKPatchMesh::Runs
{
    int Steps = 1;
    XArray<int> First;
    XArray<int> Second;
    XArray<int> InteriorStart; // per patch
};

bool RCKPatchMesh::IsTopologyValid() const
{
    const int patches = m_Patches.Size(), edges = m_Edges.Size();
    for (const CKPatchEdge& e : m_Edges) {
        if (Index(e.startVertex) >= m_VertexCount || Index(e.endVertex) >= m_VertexCount ||
            Index(e.startVector) >= m_VectorCount || Index(e.endVector) >= m_VectorCount)
            return false;
        if (e.patch1 < 0 || e.patch1 >= patches || e.patch2 >= patches)
            return false;
    }
    for (const CKPatch& p : m_Patches) {
        const int n = CornerCount(p);
        for (int k = 0; k < n; ++k)
            if (Index(p.v[k]) >= m_VertexCount)
                return false;
        if (!IsDrawn(p))
            continue;
        for (int k = 0; k < 2 * n; ++k)
            if (Index(p.vec[k]) >= m_VectorCount)
                return false;
        for (int k = 0; k < n; ++k)
            if (Index(p.interior[k]) >= m_VectorCount || Index(p.edge[k]) >= edges)
                return false;
    }
    return true;
}

void RCKPatchMesh::BuildVertexTables()
{
    const int patchCount = m_Patches.Size();
    const CKPatchChannel& first = m_Records[0];
    const bool textured = HasTexturePatches(first, m_Patches);
    // The texture vertex at a patch's corner (0 without texture patches).
    auto textureVertex = [&](int patch, int corner) {
        return textured && corner >= 0 ? Index(first.texturePatches[patch].tv[corner]) : (corner >= 0 ? 0 : -1);
    };
    auto lastCorner = [&](const CKPatch& patch, int vertex) {
        int found = -1;
        for (int k = 0; k < CornerCount(patch); ++k)
            if (Index(patch.v[k]) == vertex)
                found = k;
        return found;
    };

    m_SharedEdges = XBitArray(m_Edges.Size() / 32 + 1);
    for (int e = 0; e < m_Edges.Size(); ++e) {
        const CKPatchEdge& edge = m_Edges[e];
        bool shared = true;
        if (edge.patch2 >= 0) {
            const CKPatch& p1 = m_Patches[edge.patch1];
            const CKPatch& p2 = m_Patches[edge.patch2];
            if (!(p1.smoothing & p2.smoothing)) {
                shared = false;
            } else if (textured) {
                for (int vertex : {Index(edge.startVertex), Index(edge.endVertex)})
                    if (textureVertex(edge.patch1, lastCorner(p1, vertex)) !=
                        textureVertex(edge.patch2, lastCorner(p2, vertex)))
                        shared = false;
            }
        }
        if (shared)
            m_SharedEdges.Set(e);
    }

    // The patches at each control vertex, once per corner, in patch order.
    std::vector<int> start((size_t) m_VertexCount + 1, 0);
    for (const CKPatch& patch : m_Patches)
        for (int k = 0; k < CornerCount(patch); ++k)
            ++start[(size_t) Index(patch.v[k]) + 1];
    for (int c = 0; c < m_VertexCount; ++c)
        start[(size_t) c + 1] += start[(size_t) c];
    std::vector<int> listed((size_t) start.back());
    std::vector<int> fill(start.begin(), start.end() - 1);
    for (int p = 0; p < patchCount; ++p)
        for (int k = 0; k < CornerCount(m_Patches[p]); ++k)
            listed[(size_t) fill[(size_t) Index(m_Patches[p].v[k])]++] = p;

    // Per render vertex: the smoothing mask and texture vertex it serves.
    struct Served
    {
        CKDWORD Mask = 0;
        int TextureVertex = 0;
    };
    std::vector<Served> served((size_t) std::max(4 * patchCount, m_VertexCount));
    std::vector<int> nextDuplicate; // chain of each source's duplicates
    std::vector<int> firstDuplicate((size_t) m_VertexCount, -1), lastDuplicate((size_t) m_VertexCount, -1);
    m_CornerVertex.Resize(4 * patchCount);
    std::fill(m_CornerVertex.Begin(), m_CornerVertex.End(), -1);
    m_DuplicateSources.Clear();
    m_DuplicateSharesSmoothing = XBitArray();

    for (int c = 0; c < m_VertexCount; ++c) {
        for (int at = start[(size_t) c]; at < start[(size_t) c + 1]; ++at) {
            const int p = listed[(size_t) at];
            const CKPatch& patch = m_Patches[p];
            int k = 0;
            while (Index(patch.v[k]) != c)
                ++k;
            const int t = textureVertex(p, k);
            const CKDWORD mask = patch.smoothing;
            Served& own = served[(size_t) c];
            int chosen = -1;
            if (own.Mask == 0) {
                own = Served{mask, t};
                chosen = c;
            } else if ((own.Mask & mask) && own.TextureVertex == t) {
                chosen = c;
            } else {
                for (int d = firstDuplicate[(size_t) c]; d >= 0; d = nextDuplicate[(size_t) (d - m_VertexCount)])
                    if ((served[(size_t) d].Mask & mask) && served[(size_t) d].TextureVertex == t) {
                        chosen = d;
                        break;
                    }
            }
            if (chosen < 0) {
                chosen = m_VertexCount + m_DuplicateSources.Size();
                if (chosen >= 4 * patchCount && !CKGetRenderGlobals().m_PatchMeshWarned) {
                    CKGetRenderGlobals().m_PatchMeshWarned = TRUE;
                    if (m_Context)
                        m_Context->OutputToConsoleEx("Patch Mesh %s is invalid (some control points are not used at "
                                                     "all). Check the model in the DCC tool",
                                                     GetName() ? GetName() : "");
                }
                if ((size_t) chosen >= served.size())
                    served.resize((size_t) chosen * 2);
                served[(size_t) chosen] = Served{mask, t};
                if (mask & served[(size_t) c].Mask)
                    m_DuplicateSharesSmoothing.Set(m_DuplicateSources.Size());
                m_DuplicateSources.PushBack((CKDWORD) c);
                nextDuplicate.push_back(-1);
                if (lastDuplicate[(size_t) c] < 0)
                    firstDuplicate[(size_t) c] = chosen;
                else
                    nextDuplicate[(size_t) (lastDuplicate[(size_t) c] - m_VertexCount)] = chosen;
                lastDuplicate[(size_t) c] = chosen;
            }
            m_CornerVertex[4 * p + k] = chosen;
        }
    }

    // A patch using one vertex at two corners: the later corner takes the
    // other's render vertex.
    for (int p = 0; p < patchCount; ++p) {
        const CKPatch& patch = m_Patches[p];
        for (int k = 0; k < CornerCount(patch); ++k) {
            if (m_CornerVertex[4 * p + k] >= 0)
                continue;
            for (int j = 0; j < CornerCount(patch); ++j)
                if (j != k && patch.v[j] == patch.v[k] && m_CornerVertex[4 * p + j] >= 0)
                    m_CornerVertex[4 * p + k] = m_CornerVertex[4 * p + j];
        }
    }
}

void RCKPatchMesh::CountRenderMesh(int iterationCount, int* vertices, int* faces)
{
    const double steps = (double) iterationCount + 1;
    double v = (double) m_VertexCount + m_DuplicateSources.Size(), f = 0;
    for (int e = 0; e < m_Edges.Size(); ++e)
        v += (m_SharedEdges.IsSet(e) ? 1 : 2) * (steps - 1);
    for (const CKPatch& patch : m_Patches) {
        v += InteriorCount(patch, steps);
        f += FaceCount(patch, steps);
    }
    if (vertices)
        *vertices = (int) std::min(v, 2147483647.0);
    if (faces)
        *faces = (int) std::min(f, 2147483647.0);
}

void RCKPatchMesh::ComputePatchAuxPoints(int index)
{
    if (index < 0 || index >= m_Patches.Size())
        return;
    CKPatch& patch = m_Patches[index];
    const QxVector* vertices = m_Points.Begin();
    const QxVector* vectors = vertices + m_VertexCount;
    for (int k = 0; k < 3; ++k)
        if (Index(patch.v[k]) >= m_VertexCount || Index(patch.vec[2 * k]) >= m_VectorCount ||
            Index(patch.vec[2 * k + 1]) >= m_VectorCount)
            return;
    if (!patch.auxPoints)
        patch.auxPoints = new QxVector[9];
    for (int k = 0; k < 3; ++k)
        CKComputeTriSideAux(patch.auxPoints + 3 * k, vertices[Index(patch.v[k])], vectors[Index(patch.vec[2 * k])],
                            vectors[Index(patch.vec[2 * k + 1])], vertices[Index(patch.v[(k + 1) % 3])]);
}

void RCKPatchMesh::ComputePatchInteriors(int index)
{
    if (index < 0 || index >= m_Patches.Size())
        return;
    const CKPatch& patch = m_Patches[index];
    if (!IsDrawn(patch))
        return;
    const int n = CornerCount(patch);
    for (int k = 0; k < n; ++k)
        if (Index(patch.v[k]) >= m_VertexCount || Index(patch.interior[k]) >= m_VectorCount ||
            Index(patch.vec[2 * k]) >= m_VectorCount || Index(patch.vec[2 * k + 1]) >= m_VectorCount)
            return;
    if (patch.type == CK_PATCH_TRI)
        ComputePatchAuxPoints(index);
    QxVector* vertices = m_Points.Begin();
    QxVector* vectors = vertices + m_VertexCount;
    // Interior k: the handle before corner k plus the handle after it, less
    // the corner.
    for (int k = 0; k < n; ++k) {
        const QxVector& before = vectors[Index(patch.vec[(2 * k + 2 * n - 1) % (2 * n)])];
        const QxVector& after = vectors[Index(patch.vec[2 * k])];
        vectors[Index(patch.interior[k])] = before + (after - vertices[Index(patch.v[k])]);
    }
}

void RCKPatchMesh::AutoSmooth()
{
    std::vector<QxVector> normals((size_t) m_VertexCount, QxVector(0.0f, 0.0f, 0.0f));
    const QxVector* vertices = m_Points.Begin();
    for (const CKPatch& patch : m_Patches) {
        const QxVector& v0 = vertices[Index(patch.v[0])];
        const QxVector n = QxCrossProduct(vertices[Index(patch.v[2])] - v0, vertices[Index(patch.v[1])] - v0);
        for (int k = 0; k < CornerCount(patch); ++k)
            normals[(size_t) Index(patch.v[k])] += n;
    }
    // The mesh's normal kernel normalises the normal of a vertex record.
    std::vector<CKVertex> records((size_t) m_VertexCount);
    for (int c = 0; c < m_VertexCount; ++c)
        records[(size_t) c].Normal = normals[(size_t) c];
    CKGetMeshKernels().NormalizeVertexNormals(records.data(), m_VertexCount);
    QxVector* vectors = m_Points.Begin() + m_VertexCount;
    for (const CKPatchEdge& edge : m_Edges) {
        const QxVector& p = vertices[Index(edge.startVertex)];
        const QxVector& q = vertices[Index(edge.endVertex)];
        const QxVector& n1 = records[(size_t) Index(edge.startVertex)].Normal;
        const QxVector& n2 = records[(size_t) Index(edge.endVertex)].Normal;
        const QxVector d = (q - p) * 0.333f;
        vectors[Index(edge.startVector)] = p + QxCrossProduct(QxCrossProduct(n1, d), n1);
        vectors[Index(edge.endVector)] = q - QxCrossProduct(QxCrossProduct(n2, d), n2);
    }
}

void RCKPatchMesh::MatchChannels()
{
    while (RCKMesh::m_Channels.Size() > m_Records.Size() - 1)
        RCKMesh::RemoveChannel(RCKMesh::m_Channels.Size() - 1);
    for (int i = RCKMesh::m_Channels.Size() + 1; i < m_Records.Size(); ++i) {
        // Appended directly: two records may share a material, or have none.
        RCKMesh::m_Channels.PushBack(CKMeshChannel());
        AllocateChannelBuffers(RCKMesh::m_Channels[RCKMesh::m_Channels.Size() - 1]);
    }
    for (int i = 1; i < m_Records.Size(); ++i) {
        const CKPatchChannel& record = m_Records[i];
        CKMeshChannel& channel = RCKMesh::m_Channels[i - 1];
        channel.SourceBlend = record.sourceBlend;
        channel.DestBlend = record.destBlend;
        CKObject* material = record.material && m_Context ? m_Context->GetObject(record.material) : nullptr;
        channel.Material =
            CKIsChildClassOfObject(material, CKCID_MATERIAL) ? static_cast<CKMaterial*>(material) : nullptr;
        RCKMesh::SetChannelFlags(i - 1, record.flags);
    }
    StampRenderDataOutdated();
}

void RCKPatchMesh::WritePoints(int steps, Runs& runs)
{
    const int count = m_Vertices.Size();
    const float step = 1.0f / (float) steps;
    const QxVector* vertices = m_Points.Begin();
    const QxVector* vectors = vertices + m_VertexCount;

    Cursor cursor;
    cursor.Position = reinterpret_cast<CKBYTE*>(&m_Vertices[0].Position);
    cursor.PositionStride = sizeof(CKVertex);
    cursor.Channels.resize((size_t) m_EvaluatedChannelCount);
    for (int r = 0; r < m_EvaluatedChannelCount; ++r) {
        Cursor::Channel& c = cursor.Channels[(size_t) r];
        if (!HasTexturePatches(m_Records[r], m_Patches))
            continue;
        c.Record = &m_Records[r];
        if (r == 0) {
            c.Coordinates = reinterpret_cast<CKBYTE*>(&m_Vertices[0].u);
            c.Stride = sizeof(CKVertex);
        } else if (r - 1 < RCKMesh::m_Channels.Size()) {
            CKMeshChannel& channel = RCKMesh::m_Channels[r - 1];
            const int stride = CKChannelTypeStride(channel.Type);
            if (stride >= 8 && channel.Data.Size() >= (stride / 4) * count) {
                c.Coordinates = reinterpret_cast<CKBYTE*>(channel.Data.Begin());
                c.Stride = (CKDWORD) stride;
            }
        }
    }

    // Corner coordinates, then the positions of the control vertices and
    // of their duplicates.
    for (Cursor::Channel& c : cursor.Channels) {
        if (!c.Coordinates)
            continue;
        for (int p = 0; p < m_Patches.Size(); ++p)
            for (int k = 0; k < CornerCount(m_Patches[p]); ++k) {
                const int vertex = m_CornerVertex[4 * p + k];
                const CKPatchUV& uv = c.Record->textureVertices[Index(c.Record->texturePatches[p].tv[k])];
                if (vertex >= 0 && vertex < count) {
                    float* out = reinterpret_cast<float*>(c.Coordinates + (size_t) vertex * c.Stride);
                    out[0] = uv.u;
                    out[1] = uv.v;
                }
            }
    }
    for (int c = 0; c < m_VertexCount; ++c) {
        cursor.Write(vertices[c]);
        cursor.Advance();
    }
    for (CKDWORD source : m_DuplicateSources) {
        cursor.Write(vertices[source]);
        cursor.Advance();
    }

    // Each patch's control points, gathered once: the edges and the
    // interiors read them again.
    const size_t patchCount = (size_t) m_Patches.Size();
    QxScratchBuffer scratch((CKDWORD) (patchCount * sizeof(PatchPoints)));
    if (!scratch.Data())
        return;
    PatchPoints* points = static_cast<PatchPoints*>(scratch.Data());
    for (size_t p = 0; p < patchCount; ++p)
        new (&points[p]) PatchPoints(m_Patches[(int) p], vertices, vectors);

    // Side points: one run per edge, or one for each patch where they differ.
    int next = m_VertexCount + m_DuplicateSources.Size();
    runs.Steps = steps;
    runs.First.Resize(m_Edges.Size());
    runs.Second.Resize(m_Edges.Size());
    auto writeRun = [&](const CKPatchEdge& edge, int patchIndex) {
        const CKPatch& patch = m_Patches[patchIndex];
        bool forward = true;
        const int side =
            IsDrawn(patch) ? FindSide(patch, Index(edge.startVertex), Index(edge.endVertex), &forward) : -1;
        const PatchPoints& pp = points[patchIndex];
        QxVector curve[4];
        if (side >= 0 && patch.type == CK_PATCH_QUAD)
            QuadSideCurve(pp, side, curve);
        for (int i = 1; i < steps; ++i) {
            if (side < 0) {
                // An edge that is no side of its patch: its points stay at
                // the origin.
                cursor.Write(QxVector(0.0f, 0.0f, 0.0f));
                cursor.Advance();
                continue;
            }
            if (patch.type == CK_PATCH_TRI) {
                // The end vertex weighs i x step, the start one the rest.
                const float toEnd = (float) i * step;
                const float toStart = 1.0f - toEnd;
                const float w0 = forward ? toStart : toEnd, w1 = forward ? toEnd : toStart;
                cursor.Write(CKEvaluateTriSide(side, pp.Corners, pp.Aux, w0, w1));
                float abc[3] = {0.0f, 0.0f, 0.0f}; // weights of corners 1, 2, 0
                abc[(side + 2) % 3] = w0;
                abc[side % 3] = w1;
                for (size_t r = 0; r < cursor.Channels.size(); ++r)
                    if (cursor.Channels[r].Coordinates) {
                        float u, v;
                        TriUV(*cursor.Channels[r].Record, cursor.Channels[r].Record->texturePatches[patchIndex], abc[0],
                              abc[1], abc[2], &u, &v);
                        cursor.WriteUV(r, u, v);
                    }
            } else {
                float s, t;
                QuadSideParameters(side, forward, i, steps, step, &s, &t);
                cursor.Write(CKEvaluateCubic(curve, side == 0 || side == 2 ? t : s));
                for (size_t r = 0; r < cursor.Channels.size(); ++r)
                    if (cursor.Channels[r].Coordinates) {
                        float u, v;
                        QuadUV(*cursor.Channels[r].Record, cursor.Channels[r].Record->texturePatches[patchIndex], s, t,
                               &u, &v);
                        cursor.WriteUV(r, u, v);
                    }
            }
            cursor.Advance();
        }
        const int first = next;
        next += steps - 1;
        return first;
    };
    for (int e = 0; e < m_Edges.Size(); ++e) {
        const CKPatchEdge& edge = m_Edges[e];
        runs.First[e] = writeRun(edge, edge.patch1);
        runs.Second[e] = m_SharedEdges.IsSet(e) ? runs.First[e] : writeRun(edge, edge.patch2);
    }

    // Interior points, patch by patch.
    runs.InteriorStart.Resize(m_Patches.Size());
    for (int p = 0; p < m_Patches.Size(); ++p) {
        const CKPatch& patch = m_Patches[p];
        runs.InteriorStart[p] = next;
        next += (int) InteriorCount(patch, (double) steps);
        if (!IsDrawn(patch))
            continue;
        const PatchPoints& pp = points[p];
        if (patch.type == CK_PATCH_TRI) {
            for (int i = 1; i <= steps - 2; ++i)
                for (int j = 1; j <= steps - 1 - i; ++j) {
                    const float a = (float) j * step, b = (float) i * step;
                    const float c = 1.0f - a - b;
                    cursor.Write(CKEvaluateTriPatch(pp.Corners, pp.Aux, pp.Interiors, a, b, c));
                    for (size_t r = 0; r < cursor.Channels.size(); ++r)
                        if (cursor.Channels[r].Coordinates) {
                            float u, v;
                            TriUV(*cursor.Channels[r].Record, cursor.Channels[r].Record->texturePatches[p], a, b, c, &u,
                                  &v);
                            cursor.WriteUV(r, u, v);
                        }
                    cursor.Advance();
                }
        } else {
            for (int i = 1; i <= steps - 1; ++i)
                for (int j = 1; j <= steps - 1; ++j) {
                    const float s = (float) i * step, t = (float) j * step;
                    cursor.Write(CKEvaluateQuadPatch(pp.Net, s, t));
                    for (size_t r = 0; r < cursor.Channels.size(); ++r)
                        if (cursor.Channels[r].Coordinates) {
                            float u, v;
                            QuadUV(*cursor.Channels[r].Record, cursor.Channels[r].Record->texturePatches[p], s, t, &u,
                                   &v);
                            cursor.WriteUV(r, u, v);
                        }
                    cursor.Advance();
                }
        }
    }
}

namespace {

// The rows of render vertices of one patch, one after the other.
struct PatchLines
{
    std::vector<int> Vertices;
    std::vector<int> Start; // Start[k]..Start[k + 1]: line k

    void Clear()
    {
        Vertices.clear();
        Start.assign(1, 0);
    }
    void Add(int vertex) { Vertices.push_back(vertex); }
    void EndLine() { Start.push_back((int) Vertices.size()); }
    int Size(int line) const { return Start[(size_t) line + 1] - Start[(size_t) line]; }
    int At(int line, int i) const { return Vertices[(size_t) (Start[(size_t) line] + i)]; }
};

// Where faces and group indices go.
struct FaceWriter
{
    CKFace* Faces;
    CKDWORD* Indices;
    int Count = 0;
    CKMaterialGroup* Group = nullptr;
    int GroupIndex = 0;
    bool GroupIndices = true;

    void Face(int a, int b, int c)
    {
        Faces[Count].MaterialGroup = (CKWORD) GroupIndex;
        CKDWORD* out = Indices + 3 * Count;
        out[0] = (CKDWORD) a;
        out[1] = (CKDWORD) b;
        out[2] = (CKDWORD) c;
        if (Group)
            Group->Faces.PushBack((CKDWORD) Count);
        ++Count;
    }
    void Index(int vertex)
    {
        if (Group && GroupIndices)
            Group->Indices.PushBack((CKWORD) vertex);
    }
};

} // namespace

void RCKPatchMesh::WriteFaces(int steps, const Runs& runs, int vertexCount, int faceCount)
{
    RCKMesh::SetFaceCount(faceCount);
    if (faceCount > 0) {
        std::memset(static_cast<void*>(m_Faces.Begin()), 0, sizeof(CKFace) * (size_t) faceCount);
        std::memset(m_FaceIndices.Begin(), 0, sizeof(CKDWORD) * 3 * (size_t) faceCount);
    }
    for (CKMaterialGroup* group : m_MaterialGroups) {
        group->Clear();
        group->Flags = 0;
        group->VertexCount = vertexCount;
    }
    for (CKMeshChannel& channel : RCKMesh::m_Channels) {
        channel.FaceIndices.Free();
        channel.MaterialIndices.Free();
        channel.Flags &= ~(CKCHANNEL_FACESUBSET | CKCHANNEL_MATERIALSUBSET);
        channel.Render.Release();
    }
    if (m_MaterialGroups.Size() == 0)
        CreateMaterialGroup(nullptr);

    const int n = steps - 1;
    const bool strips = n > 0;
    FaceWriter out{m_Faces.Begin(), m_FaceIndices.Begin()};
    out.GroupIndices = vertexCount < kMaxGroupVertices;
    PatchLines lines;
    for (int p = 0; p < m_Patches.Size(); ++p) {
        const CKPatch& patch = m_Patches[p];
        if (!IsDrawn(patch))
            continue;
        int group = GetMaterialGroupIndex(GetPatchMaterial(p), TRUE);
        if (group < 0)
            group = 0;
        out.GroupIndex = group;
        out.Group = m_MaterialGroups[group];
        out.Group->Type = strips ? CKRST_PT_TRIANGLESTRIP : CKRST_PT_TRIANGLELIST;
        const int* corner = &m_CornerVertex[4 * p];
        const int count = CornerCount(patch);

        // Point i (1 .. steps - 1) of side k counted from corner k.
        auto sidePoint = [&](int k, int i) {
            const int e = Index(patch.edge[k]);
            const CKPatchEdge& edge = m_Edges[e];
            const int from = Index(patch.v[k]), to = Index(patch.v[(k + 1) % count]);
            const bool reversed = !(Index(edge.startVertex) == from && Index(edge.endVertex) == to) &&
                                  Index(edge.startVertex) == to && Index(edge.endVertex) == from;
            const bool second = !m_SharedEdges.IsSet(e) && edge.patch1 != p && edge.patch2 == p;
            const int base = second ? runs.Second[e] : runs.First[e];
            return reversed ? base + (steps - i) - 1 : base + i - 1;
        };

        lines.Clear();
        if (patch.type == CK_PATCH_TRI) {
            lines.Add(corner[0]);
            for (int i = 1; i < steps; ++i)
                lines.Add(sidePoint(0, i));
            lines.Add(corner[1]);
            lines.EndLine();
            int interior = runs.InteriorStart[p];
            for (int k = 1; k <= n; ++k) {
                lines.Add(sidePoint(2, steps - k));
                for (int j = 1; j <= steps - 1 - k; ++j)
                    lines.Add(interior++);
                lines.Add(sidePoint(1, k));
                lines.EndLine();
            }
            lines.Add(corner[2]);
            lines.EndLine();

            if (n == 0) {
                out.Face(corner[2], corner[1], corner[0]);
            } else {
                for (int k = 1; k <= n; ++k) {
                    const int m = lines.Size(k - 1) - 1;
                    auto L = [&](int i) { return lines.At(k - 1, i); };
                    auto U = [&](int i) { return lines.At(k, i); };
                    out.Face(U(0), L(1), L(0));
                    for (int j = 0; j <= m - 2; ++j) {
                        out.Face(U(j), U(j + 1), L(j + 1));
                        out.Face(U(j + 1), L(j + 2), L(j + 1));
                    }
                }
                out.Face(lines.At(n, 0), corner[2], lines.At(n, 1));
            }
        } else {
            for (int k = 0; k <= n + 1; ++k) {
                if (k == 0) {
                    lines.Add(corner[0]);
                    for (int i = 1; i < steps; ++i)
                        lines.Add(sidePoint(0, i));
                    lines.Add(corner[1]);
                } else if (k == n + 1) {
                    lines.Add(corner[3]);
                    for (int i = 1; i < steps; ++i)
                        lines.Add(sidePoint(2, steps - i));
                    lines.Add(corner[2]);
                } else {
                    lines.Add(sidePoint(3, steps - k));
                    const int column = runs.InteriorStart[p] + (k - 1) * n;
                    for (int j = 0; j < n; ++j)
                        lines.Add(column + j);
                    lines.Add(sidePoint(1, k));
                }
                lines.EndLine();
            }
            for (int k = 0; k <= n; ++k)
                for (int j = 0; j <= n; ++j) {
                    out.Face(lines.At(k, j), lines.At(k + 1, j), lines.At(k, j + 1));
                    out.Face(lines.At(k, j + 1), lines.At(k + 1, j), lines.At(k + 1, j + 1));
                }
        }

        if (!out.GroupIndices)
            continue;
        if (!strips) {
            // The faces just written, as a triangle list.
            const int faces = patch.type == CK_PATCH_TRI ? 1 : 2;
            for (int f = out.Count - faces; f < out.Count; ++f)
                for (int c = 0; c < 3; ++c)
                    out.Index((int) m_FaceIndices[3 * f + c]);
            continue;
        }
        // Strips, joined to the group's earlier ones by degenerate triangles.
        XArray<CKWORD>& list = out.Group->Indices;
        if (list.Size() > 0) {
            const CKWORD last = list[list.Size() - 1];
            out.Index(last);
            out.Index(corner[0]);
        }
        if (patch.type == CK_PATCH_TRI) {
            for (int k = 1; k <= n; ++k) {
                const int m = lines.Size(k - 1) - 1;
                const bool lastRow = k == n;
                if (k > 1) {
                    out.Index(lines.At(k - 1, 0));
                    out.Index(lines.At(k - 1, 0));
                }
                if (!lastRow) {
                    for (int j = 0; j < m; ++j) {
                        out.Index(lines.At(k - 1, j));
                        out.Index(lines.At(k, j));
                    }
                    out.Index(lines.At(k - 1, m));
                    out.Index(lines.At(k - 1, m));
                } else {
                    // The last row (three points below, two above) and the top.
                    out.Index(lines.At(k - 1, 0));
                    out.Index(lines.At(k, 0));
                    out.Index(lines.At(k - 1, 1));
                    out.Index(lines.At(k, 1));
                    out.Index(lines.At(k - 1, 2));
                    out.Index(lines.At(k, 1));
                    out.Index(lines.At(k, 1));
                    out.Index(lines.At(k, 0));
                    out.Index(corner[2]);
                    out.Index(corner[2]);
                }
            }
        } else {
            for (int k = 0; k <= n; ++k) {
                if (k > 0) {
                    out.Index(lines.At(k, 0));
                    out.Index(lines.At(k, 0));
                    out.Index(lines.At(k + 1, 0));
                } else {
                    out.Index(lines.At(k, 0));
                    out.Index(lines.At(k + 1, 0));
                }
                for (int j = 1; j <= n + 1; ++j) {
                    out.Index(lines.At(k, j));
                    out.Index(lines.At(k + 1, j));
                }
                if (k < n)
                    out.Index(lines.At(k + 1, n + 1));
            }
        }
    }

    if (!out.GroupIndices) {
        // Too many vertices for 16-bit indices: the ordinary build makes the
        // groups' primitives from the faces.
        for (CKMaterialGroup* group : m_MaterialGroups)
            group->Clear();
        FacesChanged();
        return;
    }
    CKMaterialGroup* first = m_MaterialGroups[0];
    first->IndexCount = first->Indices.Size();
    first->VertexCount = first->IndexCount > 0 ? vertexCount : 0;
    for (int g = m_MaterialGroups.Size() - 1; g >= 1; --g) {
        CKMaterialGroup* group = m_MaterialGroups[g];
        if (group->Indices.Size() == 0) {
            RemoveMaterialGroup(g);
            continue;
        }
        group->VertexCount = vertexCount;
        group->IndexCount = group->Indices.Size();
        group->CompactVertices(vertexCount);
    }
    m_Flags = (m_Flags | CKMESH_OPTIMIZED | CKMESH_REFILLINDICES) & ~CKMESH_TRANSPARENCYUPTODATE;
}

void RCKPatchMesh::BuildPatchNormals(const Runs& runs)
{
    const int count = m_Vertices.Size();
    RCKMesh::BuildFaceNormals();
    for (CKVertex& vertex : m_Vertices)
        vertex.Normal = QxVector(0.0f, 0.0f, 0.0f);
    for (int f = 0; f < m_Faces.Size(); ++f)
        for (int c = 0; c < 3; ++c) {
            const CKDWORD v = m_FaceIndices[3 * f + c];
            if ((int) v < count)
                m_Vertices[(int) v].Normal += m_Faces[f].Normal;
        }
    // A seam of texture coordinates only: both runs get the sum.
    for (int e = 0; e < m_Edges.Size(); ++e) {
        const CKPatchEdge& edge = m_Edges[e];
        if (m_SharedEdges.IsSet(e) || edge.patch2 < 0 ||
            !(m_Patches[edge.patch1].smoothing & m_Patches[edge.patch2].smoothing))
            continue;
        for (int i = 0; i < runs.Steps - 1; ++i) {
            QxVector& a = m_Vertices[runs.First[e] + i].Normal;
            QxVector& b = m_Vertices[runs.Second[e] + i].Normal;
            const QxVector sum = a + b;
            a = sum;
            b = sum;
        }
    }
    const int duplicates = m_DuplicateSources.Size();
    for (int d = 0; d < duplicates; ++d)
        if (m_DuplicateSharesSmoothing.IsSet(d))
            m_Vertices[(int) m_DuplicateSources[d]].Normal += m_Vertices[m_VertexCount + d].Normal;
    for (int d = 0; d < duplicates; ++d)
        if (m_DuplicateSharesSmoothing.IsSet(d))
            m_Vertices[m_VertexCount + d].Normal = m_Vertices[(int) m_DuplicateSources[d]].Normal;
    CKGetMeshKernels().NormalizeVertexNormals(m_Vertices.Begin(), count);
    if (m_Flags & CKMESH_TANGENTS)
        BuildTangentVectors();
}

void RCKPatchMesh::BuildRenderMesh()
{
    if ((m_PatchFlags & CK_PATCHMESH_UPTODATE) || m_Edges.Size() == 0 || m_Patches.Size() == 0 || m_VertexCount == 0 ||
        m_VectorCount == 0)
        return;
    // Records set through the accessors are not checked one by one: an
    // index naming nothing leaves the render mesh as it is. Only a change of
    // the counts or records can make one.
    if (m_TopologyChanged && !IsTopologyValid())
        return;
    m_VertexDataUploaded = 0;
    StampRenderDataOutdated();
    m_EvaluatedChannelCount = m_Records.Size();
    if (m_EvaluatedChannelCount == 1 && m_Records[0].texturePatches.Size() == 0)
        m_EvaluatedChannelCount = 0;

    const bool tablesRebuilt = m_TopologyChanged != FALSE;
    if (m_TopologyChanged) {
        BuildVertexTables();
        m_TopologyChanged = FALSE;
    }
    // The largest count not above the stored one that fits (counts grow with
    // it); as lowering it one step at a time, without the steps.
    int vertexCount = 0, faceCount = 0;
    CountRenderMesh(m_IterationCount, &vertexCount, &faceCount);
    auto fits = [&](int iterations) {
        int v = 0, f = 0;
        CountRenderMesh(iterations, &v, &f);
        return v < kMaxVertices && f < kMaxFaces;
    };
    if ((vertexCount >= kMaxVertices || faceCount >= kMaxFaces) && m_IterationCount > 0) {
        int low = 0, high = std::min(m_IterationCount, 65000);
        while (low < high) {
            const int middle = low + (high - low + 1) / 2;
            if (fits(middle))
                low = middle;
            else
                high = middle - 1;
        }
        m_IterationCount = low;
        CountRenderMesh(m_IterationCount, &vertexCount, &faceCount);
    }
    const int steps = m_IterationCount + 1;

    if (m_PatchFlags & CK_PATCHMESH_AUTOSMOOTH)
        AutoSmooth();
    for (int p = 0; p < m_Patches.Size(); ++p)
        ComputePatchInteriors(p);

    const int oldVertexCount = m_Vertices.Size();
    RCKMesh::SetVertexCount(vertexCount);
    MatchChannels();
    Runs runs;
    WritePoints(steps, runs);

    // Faces name render vertices through the tables: written again whenever
    // those, the step count or the vertex count changed, not only when the
    // face count or the materials did.
    if (faceCount != m_Faces.Size() || !(m_PatchFlags & CK_PATCHMESH_MATERIALSUPTODATE) || tablesRebuilt ||
        steps != m_BuiltSteps || vertexCount != oldVertexCount)
        WriteFaces(steps, runs, vertexCount, faceCount);
    m_BuiltSteps = steps;

    if (m_PatchFlags & CK_PATCHMESH_BUILDNORMALS)
        BuildPatchNormals(runs);
    else
        m_Flags &= ~CKMESH_FACENORMALSVALID;
    m_PatchFlags |= CK_PATCHMESH_UPTODATE | CK_PATCHMESH_MATERIALSUPTODATE;
    VertexMove();
}
