#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "exporter/geometry/MeshBuilder.h"
#include "tests/exporter/support/ExporterTestSupport.h"

namespace {

// The welding as a plain reading of its definition: every corner carries
// all eight channels, and each corner is compared with every later corner
// of its host vertex. The hashed welding must give exactly this.
struct LiteralCorner
{
    QxVector position, normal;
    QxColor colour{1, 1, 1, 1};
    MeshTexCoord uv[MESH_BUILDER_CHANNELS];
    int positionIndex = 0, normalIndex = -1, colourIndex = -1, target = -1;
};

struct LiteralWeld
{
    std::vector<LiteralCorner> vertices;
    std::vector<int> faces; // 3 a face
    int channelCount = 0;
};

bool Differs(const QxVector& a, const QxVector& b)
{
    return !(a.x == b.x && a.y == b.y && a.z == b.z);
}

LiteralWeld WeldLiterally(MeshBuilder b)
{
    LiteralWeld out;
    const int F = b.faces.Size(), V = b.positions.Size();
    if (F == 0 || V == 0)
        return out;
    int count = 0;
    while (count < MESH_BUILDER_CHANNELS && b.coordinates[count].Size() > 0)
        ++count;
    for (int c = 0; c < count; ++c) {
        auto& tf = b.coordinateFaces[c];
        bool bad = tf.Size() != 0 && tf.Size() != F;
        for (const MeshIndexFace& face : tf)
            for (CKDWORD i : face.index)
                bad = bad || i >= (CKDWORD) b.coordinates[c].Size();
        if (bad)
            tf.Clear();
        if (tf.Size() == 0 && b.coordinates[c].Size() < V) {
            count = 0;
            break;
        }
    }
    auto usable = [&](XArray<MeshIndexFace>& tf, int n) {
        bool bad = tf.Size() != 0 && tf.Size() != F;
        for (const MeshIndexFace& face : tf)
            for (CKDWORD i : face.index)
                bad = bad || i >= (CKDWORD) n;
        if (bad)
            tf.Clear();
        return tf.Size() != 0 || n >= V;
    };
    const bool withColours = usable(b.colourFaces, b.colours.Size());
    const bool withNormals = usable(b.normalFaces, b.normals.Size());
    std::vector<LiteralCorner> corners(3 * F);
    std::vector<std::vector<int>> lists(V);
    for (int f = 0; f < F; ++f)
        for (int k = 0; k < 3; ++k) {
            LiteralCorner& c = corners[3 * f + k];
            c.positionIndex = (int) b.faces[f].index[k];
            c.position = b.positions[c.positionIndex];
            lists[c.positionIndex].push_back(3 * f + k);
            if (withColours) {
                c.colourIndex = b.colourFaces.Size() ? (int) b.colourFaces[f].index[k] : c.positionIndex;
                c.colour = b.colours[c.colourIndex];
            }
            if (withNormals) {
                c.normalIndex = b.normalFaces.Size() ? (int) b.normalFaces[f].index[k] : c.positionIndex;
                c.normal = b.normals[c.normalIndex];
            }
            for (int ch = 0; ch < count; ++ch) {
                int i = b.coordinateFaces[ch].Size() ? (int) b.coordinateFaces[ch][f].index[k] : c.positionIndex;
                c.uv[ch] = b.coordinates[ch][i];
            }
        }
    auto equal = [&](const LiteralCorner& x, const LiteralCorner& y) {
        if (Differs(x.position, y.position))
            return false;
        if (x.normalIndex >= 0 && y.normalIndex >= 0 && Differs(x.normal, y.normal))
            return false;
        if (x.colourIndex >= 0 && y.colourIndex >= 0 && x.colour != y.colour)
            return false;
        for (int ch = 0; ch < count; ++ch)
            if (x.uv[ch].u != y.uv[ch].u || x.uv[ch].v != y.uv[ch].v)
                return false;
        return true;
    };
    for (int i = 0; i < 3 * F; ++i) {
        if (corners[i].target != -1)
            continue;
        for (int j : lists[corners[i].positionIndex])
            if (j != i && corners[j].target == -1 && equal(corners[i], corners[j]))
                corners[j].target = i;
    }
    std::vector<int> engine(3 * F);
    for (int i = 0; i < 3 * F; ++i) {
        if (corners[i].target == -1) {
            engine[i] = (int) out.vertices.size();
            out.vertices.push_back(corners[i]);
        } else {
            engine[i] = engine[corners[i].target];
        }
    }
    for (int i = 0; i < 3 * F; ++i)
        out.faces.push_back(engine[i]);
    out.channelCount = count;
    return out;
}

// Bitwise equality, so that the comparison of the two weldings does not
// itself fall for -0 or NaN.
bool Same(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A value from a small set, so that equal corners are common; now and then
// -0 or NaN.
float Pick(std::mt19937& rng, bool specials)
{
    static const float values[] = {0.0f, 1.0f, 0.5f, -1.0f, 0.25f};
    int r = (int) (rng() % 40);
    if (specials && r == 0)
        return -0.0f;
    if (specials && r == 1)
        return std::numeric_limits<float>::quiet_NaN();
    return values[r % 5];
}

MeshBuilder RandomBuilder(std::mt19937& rng)
{
    MeshBuilder b(FALSE, nullptr);
    const int V = 1 + (int) (rng() % 12);
    const int F = (int) (rng() % 20);
    const bool specials = rng() % 2;
    for (int i = 0; i < V; ++i)
        b.positions.PushBack(QxVector(Pick(rng, specials), (float) (i % 3), 0.0f));
    for (int f = 0; f < F; ++f)
        b.AddFace(rng() % V, rng() % V, rng() % V, nullptr);
    // Attribute lists of every shape: per corner, per vertex, too short,
    // with a face list of the wrong length, or absent.
    auto fill = [&](auto add, auto addFace) {
        int kind = (int) (rng() % 5);
        if (kind == 4)
            return;
        int n = kind == 1 ? V : (kind == 2 ? V / 2 : 1 + (int) (rng() % 8));
        for (int i = 0; i < n; ++i)
            add();
        if (kind == 0 || kind == 3) {
            int faces = kind == 3 ? F + 1 : F;
            for (int f = 0; f < faces; ++f)
                addFace(rng() % n, rng() % n, rng() % n);
        }
    };
    fill([&] { b.normals.PushBack(QxVector(Pick(rng, specials), Pick(rng, false), 0.0f)); },
         [&](CKDWORD x, CKDWORD y, CKDWORD z) { b.AddNormalFace(x, y, z); });
    fill([&] { b.colours.PushBack(QxColor(Pick(rng, specials), 1, 1, Pick(rng, false))); },
         [&](CKDWORD x, CKDWORD y, CKDWORD z) { b.AddColourFace(x, y, z); });
    const int channels = (int) (rng() % 4);
    for (int c = 0; c < channels; ++c)
        fill([&] { b.AddTextureCoordinate(UV(Pick(rng, specials), Pick(rng, false), Pick(rng, false)), c); },
             [&](CKDWORD x, CKDWORD y, CKDWORD z) { b.AddChannelFace(x, y, z, c); });
    return b;
}

TEST(MeshBuilderWeld, HashedWeldingEqualsTheLiteralOneOnRandomMeshes)
{
    std::mt19937 rng(1234);
    MeshCornerScratch scratch;
    for (int m = 0; m < 1000; ++m) {
        MeshBuilder b = RandomBuilder(rng);
        LiteralWeld expected = WeldLiterally(b);
        MeshBuilder welded(b.prelit, &scratch);
        welded = b;
        int result = welded.Weld(TRUE);
        ASSERT_EQ(result, expected.vertices.empty() ? 0 : 1) << "mesh " << m;
        if (!result)
            continue;
        ASSERT_EQ(welded.channelCount, expected.channelCount) << "mesh " << m;
        ASSERT_EQ(welded.weldedVertices.Size(), (int) expected.vertices.size()) << "mesh " << m;
        for (int v = 0; v < welded.weldedVertices.Size(); ++v) {
            const MeshCorner& got = welded.weldedVertices[v];
            const LiteralCorner& want = expected.vertices[v];
            ASSERT_EQ((int) got.positionIndex, want.positionIndex);
            ASSERT_EQ(got.normalIndex, want.normalIndex);
            ASSERT_EQ(got.colourIndex, want.colourIndex);
            ASSERT_TRUE(Same(got.position.x, want.position.x));
            ASSERT_TRUE(Same(got.normal.x, want.normal.x) && Same(got.normal.y, want.normal.y));
            ASSERT_TRUE(Same(got.colour.r, want.colour.r) && Same(got.colour.a, want.colour.a));
            for (int c = 0; c < welded.channelCount; ++c) {
                const MeshTexCoord& uv = welded.GetWeldedCoordinates(v)[c];
                ASSERT_TRUE(Same(uv.u, want.uv[c].u) && Same(uv.v, want.uv[c].v) && Same(uv.third, want.uv[c].third));
            }
        }
        for (int f = 0; f < welded.weldedFaces.Size(); ++f)
            for (int k = 0; k < 3; ++k)
                ASSERT_EQ((int) welded.weldedFaces[f].index[k], expected.faces[3 * f + k]) << "mesh " << m;
        // The vertex map lists each host vertex's engine vertices in order.
        for (int v = 0; v < welded.weldedVertices.Size(); ++v) {
            const XArray<int>& list = welded.vertexMap[(int) welded.weldedVertices[v].positionIndex];
            ASSERT_NE(std::find(list.Begin(), list.End(), v), list.End());
        }
    }
}

// A unit cube: 8 corners, 12 faces, two a side.
MeshBuilder Cube(bool sharedUVs)
{
    MeshBuilder b(FALSE, nullptr);
    for (int i = 0; i < 8; ++i)
        b.positions.PushBack(QxVector((float) (i & 1), (float) ((i >> 1) & 1), (float) ((i >> 2) & 1)));
    const int sides[6][4] = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
    const QxVector axes[6] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}};
    for (int s = 0; s < 6; ++s) {
        const int* q = sides[s];
        const int tris[2][3] = {{q[0], q[1], q[2]}, {q[0], q[2], q[3]}};
        const int corner[2][3] = {{0, 1, 2}, {0, 2, 3}};
        for (int t = 0; t < 2; ++t) {
            b.AddFace(tris[t][0], tris[t][1], tris[t][2], nullptr);
            const int n = b.normals.Size();
            for (int k = 0; k < 3; ++k) {
                // One smoothing group per side: the side's axis; one group
                // for all: the vertex's own direction.
                const QxVector& p = b.positions[tris[t][k]];
                b.normals.PushBack(sharedUVs ? QxVector(p.x - 0.5f, p.y - 0.5f, p.z - 0.5f) : axes[s]);
                const int c = corner[t][k];
                b.AddTextureCoordinate(sharedUVs ? UV(p.x, p.y) : UV((float) (c & 1), (float) (c >> 1)), 0);
            }
            b.AddNormalFace(n, n + 1, n + 2);
            b.AddChannelFace(n, n + 1, n + 2, 0);
        }
    }
    return b;
}

// A builder kept by moving holds what a copy holds; the one moved from is
// empty and welds again, with a scratch of its own when it had one.
TEST(MeshBuilderWeld, AMovedBuilderHoldsWhatACopyHolds)
{
    std::mt19937 rng(77);
    MeshCornerScratch scratch;
    for (int m = 0; m < 200; ++m) {
        MeshBuilder source = RandomBuilder(rng);
        MeshBuilder shared(source.prelit, m % 2 ? &scratch : nullptr);
        shared = source;
        if (!shared.Weld(TRUE))
            continue;
        const MeshBuilder copy(shared);
        const MeshBuilder moved(std::move(shared));
        ASSERT_EQ(moved.channelCount, copy.channelCount);
        ASSERT_EQ(moved.weldedVertices.Size(), copy.weldedVertices.Size());
        ASSERT_EQ(moved.weldedFaces.Size(), copy.weldedFaces.Size());
        ASSERT_EQ(moved.vertexMap.Size(), copy.vertexMap.Size());
        ASSERT_EQ(moved.positions.Size(), copy.positions.Size());
        for (int v = 0; v < moved.weldedVertices.Size(); ++v) {
            ASSERT_EQ(moved.weldedVertices[v].positionIndex, copy.weldedVertices[v].positionIndex);
            for (int c = 0; c < moved.channelCount; ++c)
                ASSERT_TRUE(Same(moved.GetWeldedCoordinates(v)[c].u, copy.GetWeldedCoordinates(v)[c].u));
        }
        EXPECT_EQ(shared.positions.Size() + shared.faces.Size() + shared.weldedVertices.Size(), 0) << m;
        EXPECT_EQ(shared.channelCount, 0);
        EXPECT_EQ(shared.RefreshVertices(), 0) << "nothing welded any more";
        MeshBuilder again = Cube(false);
        shared = again;
        EXPECT_EQ(shared.Weld(TRUE), 1);
        EXPECT_EQ(shared.weldedVertices.Size(), 24);
    }
}

TEST(MeshBuilderWeld, CubeWeldsInto24VerticesPerSideOr8WhenShared)
{
    MeshBuilder sides = Cube(false);
    ASSERT_EQ(sides.Weld(TRUE), 1);
    EXPECT_EQ(sides.weldedVertices.Size(), 24);
    EXPECT_EQ(sides.weldedFaces.Size(), 12);
    MeshBuilder shared = Cube(true);
    ASSERT_EQ(shared.Weld(TRUE), 1);
    EXPECT_EQ(shared.weldedVertices.Size(), 8);
    for (int v = 0; v < 8; ++v)
        EXPECT_EQ(shared.vertexMap[v].Size(), 1);
    // Without merging every corner is a vertex.
    MeshBuilder plain = Cube(true);
    ASSERT_EQ(plain.Weld(FALSE), 1);
    EXPECT_EQ(plain.weldedVertices.Size(), 36);
}

// Two faces on host vertices 0, 1, 2 whose corners differ only in what each
// case changes in the second face's first corner.
struct PairCase
{
    const char* what;
    QxVector normal;
    MeshTexCoord uv;
    bool merges;
};

TEST(MeshBuilderWeld, ExactComparisonOfEachAttribute)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float nextUp = std::nextafter(1.0f, 2.0f);
    const PairCase cases[] = {
        {"identical", {0, 1, 0}, UV(0.0f, 0.5f), true},
        {"normal one ulp apart", {0, nextUp, 0}, UV(0.0f, 0.5f), false},
        {"third float differs", {0, 1, 0}, UV(0.0f, 0.5f, 7.0f), true},
        {"fourth float differs", {0, 1, 0}, UV(0.0f, 0.5f, 0, 3.0f), true},
        {"u differs", {0, 1, 0}, UV(0.25f, 0.5f), false},
        {"-0 against +0", {-0.0f, 1, 0}, UV(-0.0f, 0.5f), true},
        {"NaN in the normal", {nan, 1, 0}, UV(0.0f, 0.5f), false},
    };
    for (const PairCase& c : cases) {
        MeshBuilder b(FALSE, nullptr);
        b.positions.PushBack(QxVector(0, 0, 0));
        b.positions.PushBack(QxVector(1, 0, 0));
        b.positions.PushBack(QxVector(0, 1, 0));
        b.AddFace(0, 1, 2, nullptr);
        b.AddFace(0, 2, 1, nullptr);
        for (int i = 0; i < 6; ++i) {
            b.normals.PushBack(i == 3 ? c.normal : QxVector(0, 1, 0));
            b.AddTextureCoordinate(i == 3 ? c.uv : UV(0.0f, 0.5f), 0);
        }
        b.AddNormalFace(0, 1, 2);
        b.AddNormalFace(3, 4, 5);
        b.AddChannelFace(0, 1, 2, 0);
        b.AddChannelFace(3, 4, 5, 0);
        ASSERT_EQ(b.Weld(TRUE), 1) << c.what;
        EXPECT_EQ(b.weldedVertices.Size(), c.merges ? 3 : 4) << c.what;
    }
}

TEST(MeshBuilderWeld, NaNPositionsNeverMergeAndVerticesAtOnePlaceStayApart)
{
    MeshBuilder b(FALSE, nullptr);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    b.positions.PushBack(QxVector(nan, 0, 0));
    b.positions.PushBack(QxVector(1, 0, 0));
    b.positions.PushBack(QxVector(1, 0, 0)); // same place, another host vertex
    b.AddFace(0, 1, 2, nullptr);
    b.AddFace(0, 1, 2, nullptr);
    ASSERT_EQ(b.Weld(TRUE), 1);
    // Corners of vertices 1 and 2 merge with their twins; the NaN ones never.
    EXPECT_EQ(b.weldedVertices.Size(), 4);
    EXPECT_EQ(b.vertexMap[0].Size(), 2);
    EXPECT_EQ(b.vertexMap[1].Size(), 1);
    EXPECT_EQ(b.vertexMap[2].Size(), 1);
}

TEST(MeshBuilderWeld, RefusalsAndRepairs)
{
    MeshBuilder empty(FALSE, nullptr);
    EXPECT_EQ(empty.Weld(TRUE), 0);
    empty.positions.PushBack(QxVector());
    EXPECT_EQ(empty.Weld(TRUE), 0);

    // A face beyond the positions: nothing is built.
    MeshBuilder beyond(FALSE, nullptr);
    beyond.positions.PushBack(QxVector());
    beyond.AddFace(0, 0, 1, nullptr);
    EXPECT_EQ(beyond.Weld(TRUE), 0);
    EXPECT_EQ(beyond.weldedVertices.Size(), 0);

    // Channel 1's face list has the wrong length and too few coordinates:
    // every channel goes, channel 0 too.
    MeshBuilder channels(FALSE, nullptr);
    for (int i = 0; i < 3; ++i) {
        channels.positions.PushBack(QxVector((float) i, 0, 0));
        channels.AddTextureCoordinate(UV((float) i, 0), 0);
    }
    channels.AddFace(0, 1, 2, nullptr);
    channels.AddTextureCoordinate(UV(9, 9), 1);
    channels.AddChannelFace(0, 0, 0, 1);
    channels.AddChannelFace(0, 0, 0, 1);
    ASSERT_EQ(channels.Weld(TRUE), 1);
    EXPECT_EQ(channels.channelCount, 0);
    EXPECT_EQ(channels.GetWeldedCoordinates(0), nullptr);

    // A normal index beyond the normals drops the list; with a normal per
    // position the positions' indices serve.
    MeshBuilder normals(FALSE, nullptr);
    for (int i = 0; i < 3; ++i) {
        normals.positions.PushBack(QxVector((float) i, 0, 0));
        normals.normals.PushBack(QxVector(0, 0, (float) i));
    }
    normals.AddFace(0, 1, 2, nullptr);
    normals.AddNormalFace(0, 1, 7);
    ASSERT_EQ(normals.Weld(TRUE), 1);
    EXPECT_EQ(normals.normalFaces.Size(), 0);
    EXPECT_EQ(normals.weldedVertices[2].normalIndex, 2);
    EXPECT_FLOAT_EQ(normals.weldedVertices[2].normal.z, 2.0f);

    // Colours too short without a face list: none, and white vertices.
    MeshBuilder colours(FALSE, nullptr);
    for (int i = 0; i < 3; ++i)
        colours.positions.PushBack(QxVector((float) i, 0, 0));
    colours.colours.PushBack(QxColor(0, 0, 0, 0));
    colours.AddFace(0, 1, 2, nullptr);
    ASSERT_EQ(colours.Weld(TRUE), 1);
    EXPECT_EQ(colours.weldedVertices[0].colourIndex, -1);
    EXPECT_EQ(colours.weldedVertices[0].colour, QxColor(1, 1, 1, 1));
}

TEST(MeshBuilderWeld, BlendShapeDeltasGoToTheFirstCornerOfEachVertex)
{
    MeshBuilder b(FALSE, nullptr);
    for (int i = 0; i < 4; ++i)
        b.positions.PushBack(QxVector((float) i, 0, 0));
    b.AddFace(0, 1, 2, nullptr);
    b.AddFace(0, 2, 3, nullptr);
    BlendShapeSource shape;
    shape.nameIndex = 2;
    shape.weight = 0.5f;
    BlendShapeFaceDelta d0;
    d0.face = 0;
    d0.position[0] = QxVector(1, 0, 0); // vertex 0
    d0.normal[2] = QxVector(0, 0, 1);   // vertex 2
    BlendShapeFaceDelta d1;
    d1.face = 1;
    d1.position[0] = QxVector(5, 0, 0); // vertex 0 again: the first wins
    d1.position[2] = QxVector(0, 3, 0); // vertex 3
    BlendShapeFaceDelta beyond;
    beyond.face = 9;
    beyond.position[0] = QxVector(1, 1, 1);
    shape.faceDeltas.PushBack(d0);
    shape.faceDeltas.PushBack(d1);
    shape.faceDeltas.PushBack(beyond);
    b.AddBlendShapeSource(shape);
    b.AddBlendShapeSource(BlendShapeSource()); // no deltas at all
    ASSERT_EQ(b.Weld(TRUE), 1);
    ASSERT_EQ(b.blendShapeTargets.Size(), 2);
    const BlendShapeTarget& t = b.blendShapeTargets[0];
    EXPECT_EQ(t.nameIndex, 2u);
    EXPECT_EQ(t.weight, 0.5f);
    ASSERT_EQ(t.deltas.Size(), 3);
    EXPECT_EQ(t.deltas[0].vertex, 0u);
    EXPECT_EQ(t.deltas[0].position.x, 1.0f);
    EXPECT_EQ(t.deltas[1].vertex, 2u);
    EXPECT_EQ(t.deltas[1].normal.z, 1.0f);
    EXPECT_EQ(t.deltas[2].vertex, 3u);
    EXPECT_EQ(b.blendShapeTargets[1].deltas.Size(), 0);
}

TEST(MeshBuilderWeld, RefreshVerticesRereadsPositionsAndNormalsOfTheSameLength)
{
    MeshBuilder b(FALSE, nullptr);
    EXPECT_EQ(b.RefreshVertices(), 0);
    for (int i = 0; i < 3; ++i) {
        b.positions.PushBack(QxVector((float) i, 0, 0));
        b.normals.PushBack(QxVector(0, 1, 0));
    }
    b.AddFace(0, 1, 2, nullptr);
    ASSERT_EQ(b.Weld(TRUE), 1);
    b.positions[1] = QxVector(7, 7, 7);
    b.normals[1] = QxVector(1, 0, 0);
    ASSERT_EQ(b.RefreshVertices(), 1);
    EXPECT_EQ(b.weldedVertices[1].position.y, 7.0f);
    EXPECT_EQ(b.weldedVertices[1].normal.x, 1.0f);
    // Lists of another length are refused, the vertices left as they were.
    b.positions.PushBack(QxVector());
    EXPECT_EQ(b.RefreshVertices(), 0);
    b.positions.Resize(3);
    b.normals.Resize(2);
    EXPECT_EQ(b.RefreshVertices(), 0);
    // A prelit builder keeps its normals.
    MeshBuilder lit(TRUE, nullptr);
    lit = b;
    lit.prelit = TRUE;
    lit.normals.Resize(1);
    lit.positions[0] = QxVector(4, 0, 0);
    EXPECT_EQ(lit.RefreshVertices(), 1);
    EXPECT_EQ(lit.weldedVertices[0].position.x, 4.0f);
}

TEST(MeshBuilderLists, ChannelsAndWeights)
{
    MeshBuilder b(FALSE, nullptr);
    EXPECT_EQ(b.AddTypedChannel(0), 0);
    EXPECT_EQ(b.AddTypedChannel(5), 0);
    EXPECT_EQ(b.AddTypedChannel(3), 1);
    b.AddMaterialChannel(nullptr);
    ASSERT_EQ(b.channelTypes.Size(), 2);
    EXPECT_EQ(b.channelTypes[0], 3);
    EXPECT_EQ(b.channelTypes[1], 0);
    b.AddBlendShapeWeight(0.25f);
    EXPECT_EQ(b.GetBlendShapeWeight(0), 0.25f);
    EXPECT_EQ(b.GetBlendShapeWeight(1), 0.0f);
    EXPECT_EQ(b.GetBlendShapeWeight(-1), 0.0f);
    // Channels beyond the eight are ignored.
    b.AddTextureCoordinate(UV(1, 1), 8);
    b.AddChannelFace(0, 0, 0, -1);
    for (const auto& list : b.coordinates)
        EXPECT_EQ(list.Size(), 0);
}

} // namespace
