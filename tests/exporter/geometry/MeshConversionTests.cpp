#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "exporter/builder/ExportBuilder.h"
#include "exporter/geometry/MeshConversion.h"
#include "exporter/geometry/NodeObjects.h"
#include "exporter/geometry/TexmapTransform.h"
#include "exporter/options/Max2Qdx.h"
#include "platform/host/INode.h"
#include "platform/host/IParamBlock.h"
#include "platform/host/Modifier.h"
#include "platform/host/Morpher.h"
#include "platform/host/PatchMesh.h"
#include "platform/host/SkinModifier.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"
#include "platform/host/TriObject.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKPatchMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CK3dObject.h"
#include "tests/exporter/support/ExporterTestSupport.h"

namespace {

class MeshConversion : public SceneExportTest
{
protected:
    // A triangle mesh object with the vertices and faces given.
    TriObject* Tri(std::initializer_list<Point3> vertices, std::initializer_list<std::array<DWORD, 3>> faces)
    {
        auto* tri = AddObject<TriObject>();
        Mesh& m = tri->GetMesh();
        for (const Point3& p : vertices)
            m.verts.push_back(p);
        for (const auto& f : faces) {
            Face face;
            face.setVerts(f[0], f[1], f[2]);
            face.setSmGroup(1);
            m.faces.push_back(face);
        }
        return tri;
    }
    // The node's engine entity after the object pass over the scene.
    CKMesh* MeshOf(INode* node)
    {
        CK3dEntity* entity = m_Builder->FindEntity((ExportKey) node);
        return entity ? entity->GetCurrentMesh() : nullptr;
    }
    StdMat2* Material(const char* name) { return AddObject<StdMat2>(name); }
    // The mesh conversion of one node alone, on an entity of its own.
    CKMesh* ExportOne(INode* node)
    {
        CK3dEntity* entity = m_Builder->CreateObject3D(node->GetName(), (ExportKey) node);
        m_Exporter.ExportMesh(node, entity);
        return entity ? entity->GetCurrentMesh() : nullptr;
    }
};

TEST_F(MeshConversion, OutOfRangeIndicesNaNPositionsAndZeroNormalsExportCleanWithTheirReportLines)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    TriObject* tri = Tri({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {nan, 0, 0}}, {{0, 1, 2}, {0, 1, 9}, {0, 2, 3}, {1, 1, 1}});
    Mesh& m = tri->GetMesh();
    // Texture coordinates: one face per mesh face, one index beyond.
    m.setMapSupport(1);
    m.Map(1).tv = {{0.5f, 0.5f, 0}};
    m.Map(1).tf.resize(4);
    m.Map(1).tf[2].setTVerts(0, 0, 7);
    // Colours with too few faces, alpha too short.
    m.setMapSupport(0);
    m.Map(0).tv = {{1, 0, 0}, {0, 1, 0}};
    m.Map(0).tf.resize(1);
    m.Map(0).tf[0].setTVerts(0, 1, 5);
    m.setMapSupport(MAP_ALPHA);
    m.Map(MAP_ALPHA).tv = {{0.5f, 0, 0}};
    // Specified normals: a zero normal and an index beyond.
    MeshNormalSpec& spec = m.SpecifyNormals();
    spec.normals = {{0, 0, 0}, {0, 0, 1}};
    spec.faces.resize(4);
    spec.faces[0].SetNormalID(2, 9);
    spec.faces[3].SetNormalID(0, 1);
    INode* node = AddNode("Broken", tri);
    ExportAll();

    CKMesh* mesh = MeshOf(node);
    ASSERT_NE(mesh, nullptr);
    // The face naming vertex 9 is left out.
    EXPECT_EQ(mesh->GetFaceCount(), 3);
    for (int v = 0; v < mesh->GetVertexCount(); ++v) {
        QxVector n;
        mesh->GetVertexNormal(v, &n);
        EXPECT_FALSE(std::isnan(n.x) || std::isnan(n.y) || std::isnan(n.z)) << v;
        float u, w;
        mesh->GetVertexTextureCoordinates(v, &u, &w);
        EXPECT_FALSE(std::isnan(u) || std::isnan(w)) << v;
    }
    const std::string report = Report();
    EXPECT_NE(report.find("Mesh Broken : 1 faces name a vertex out of range and were left out"), std::string::npos)
        << report;
    EXPECT_NE(report.find("Mesh Broken : 1 vertices are not finite numbers"), std::string::npos);
    EXPECT_NE(report.find("Mesh Broken : 1 texture coordinates out of range were read as (0, 0)"), std::string::npos);
    EXPECT_NE(report.find("Mesh Broken : 7 vertex colours out of range were read as white"), std::string::npos);
    EXPECT_NE(report.find("Mesh Broken : 1 vertex alphas out of range were read as 1"), std::string::npos);
    EXPECT_NE(report.find("Mesh Broken : 1 normals out of range were read as the face normal"), std::string::npos);
    // Face 0's corners 0, 2, 1 are engine vertices 0, 1, 2: red with the
    // alpha read, white (its index is beyond), green (its alpha is beyond).
    EXPECT_EQ(mesh->GetVertexColor(0), 0x7FFF0000u);
    EXPECT_EQ(mesh->GetVertexColor(1), 0xFFFFFFFFu);
    EXPECT_EQ(mesh->GetVertexColor(2), 0xFF00FF00u);
}

TEST_F(MeshConversion, CornerNormalsFollowTheRenderVertex)
{
    TriObject* tri = Tri({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    Mesh& m = tri->GetMesh();
    m.buildNormals();
    const Point3 faceNormal = m.getFaceNormal(0);
    RVertex rv;
    rv.rFlags = SPECIFIED_NORMAL | 2;
    rv.rn.normal = Point3(9, 9, 9);
    EXPECT_EQ(GetCornerNormal(m, 0, rv).x, 9.0f);
    rv.rFlags = 0;
    EXPECT_EQ(GetCornerNormal(m, 0, rv).z, faceNormal.z);
    rv.rFlags = 1;
    EXPECT_EQ(GetCornerNormal(m, 0, rv).x, 9.0f);
    rv.rFlags = 3;
    rv.ern = {{Point3(1, 0, 0), 1}, {Point3(2, 0, 0), 2}, {Point3(3, 0, 0), 3}};
    EXPECT_EQ(GetCornerNormal(m, 0, rv).x, 3.0f) << "the last sharing a group";
    m.faces[0].setSmGroup(4);
    EXPECT_EQ(GetCornerNormal(m, 0, rv).z, faceNormal.z) << "none shares one: the face normal";
    m.faces[0].setSmGroup(0);
    EXPECT_EQ(GetCornerNormal(m, 0, rv).z, faceNormal.z);
    // A count beyond the list reads only the list.
    m.faces[0].setSmGroup(2);
    rv.ern[2].smGroup = 4;
    rv.rFlags = 9;
    EXPECT_EQ(GetCornerNormal(m, 0, rv).x, 2.0f);
    // A list beyond the count is read up to the count only.
    rv.rFlags = 2;
    rv.ern[2].smGroup = 2;
    EXPECT_EQ(GetCornerNormal(m, 0, rv).x, 2.0f);
}

TEST_F(MeshConversion, FaceMapCoordinatesByVisibleEdges)
{
    // e = 7, vertices increasing: hidden edge 2, start corner 0; v[1] >= v[2]
    // fails, so the base is TA = (0,0), (1,1), (1,0), not turned.
    Face face;
    face.setVerts(0, 1, 2);
    float uv[3][2];
    MakeFaceMapCoordinates(face, uv);
    EXPECT_EQ(uv[0][0], 0.0f);
    EXPECT_EQ(uv[0][1], 0.0f);
    EXPECT_EQ(uv[1][0], 1.0f);
    EXPECT_EQ(uv[1][1], 1.0f);
    EXPECT_EQ(uv[2][0], 1.0f);
    EXPECT_EQ(uv[2][1], 0.0f);
    // e = 5: hidden edge 1 (start corner 1), TA turned once: base 2, 0, 1.
    face.setEdgeVisFlags(1, 0, 1);
    MakeFaceMapCoordinates(face, uv);
    EXPECT_EQ(uv[0][0], 1.0f);
    EXPECT_EQ(uv[0][1], 0.0f);
    EXPECT_EQ(uv[1][0], 0.0f);
    EXPECT_EQ(uv[2][1], 1.0f);
    // e = 1: hidden edge 1, start corner 1; v[0] >= v[1] holds with (5, 2, 9):
    // TB = (0,1), (1,1), (0,0), no turn.
    face.setVerts(5, 2, 9);
    face.setEdgeVisFlags(1, 0, 0);
    MakeFaceMapCoordinates(face, uv);
    EXPECT_EQ(uv[0][0], 1.0f);
    EXPECT_EQ(uv[0][1], 1.0f);
    EXPECT_EQ(uv[1][0], 0.0f);
    EXPECT_EQ(uv[1][1], 0.0f);
    EXPECT_EQ(uv[2][0], 0.0f);
    EXPECT_EQ(uv[2][1], 1.0f);
}

TEST_F(MeshConversion, TexmapTransformCropsScalesAndOffsets)
{
    TexmapTransform t;
    float u = 0.5f, v = 0.25f;
    ApplyTexmapTransform(u, v, t, FALSE);
    EXPECT_EQ(u, 0.5f);
    EXPECT_EQ(v, 0.75f);
    t.cropApply = TRUE;
    t.cropU = 0.5f;
    t.cropWidth = 0.5f;
    t.cropV = std::numeric_limits<float>::quiet_NaN();
    t.uScale = 2.0f;
    t.vOffset = 0.125f;
    u = 0.5f;
    v = 0.25f;
    ApplyTexmapTransform(u, v, t, TRUE);
    // u: crop 0.75, then (0.25 * 2) + 0.5; v: 0.75 uncropped (NaN), + 0.125.
    EXPECT_EQ(u, 1.0f);
    EXPECT_EQ(v, 0.875f);
    // Cropped both ways: u 0.5 * 0.5 + 0.25, v 0.25 * 0.75 + 0.5.
    TexmapTransform crop;
    crop.cropApply = TRUE;
    crop.cropU = 0.25f;
    crop.cropWidth = 0.5f;
    crop.cropV = 0.5f;
    crop.cropHeight = 0.25f;
    u = 0.5f;
    v = 0.25f;
    ApplyTexmapTransform(u, v, crop, TRUE);
    EXPECT_EQ(u, 0.5f);
    EXPECT_EQ(v, 0.6875f);

    StdMat2* m = Material("placed");
    auto* bitmap = AddObject<BitmapTex>("b");
    bitmap->GetTheUVGen()->SetUOffs(0.25f);
    bitmap->GetTheUVGen()->SetTextureTiling(U_MIRROR | V_MIRROR | U_WRAP);
    bitmap->SetCrop(true, 0.1f, 0.2f, 0.3f, 0.4f);
    m->SetSubTexmap(ID_DI, bitmap);
    TexmapTransform read;
    ASSERT_EQ(GetTexmapTransform(m, read), 1);
    EXPECT_TRUE(read.uMirror && read.vMirror && read.uTile && !read.vTile && read.cropApply);
    EXPECT_EQ(read.uOffset, 0.25f);
    EXPECT_EQ(read.cropHeight, 0.4f);
    TexmapTransform untouched;
    untouched.uOffset = 7.0f;
    EXPECT_EQ(GetTexmapTransform(Material("bare"), untouched), 0);
    EXPECT_EQ(GetTexmapTransform(nullptr, untouched), 0);
    EXPECT_EQ(untouched.uOffset, 7.0f);
}

TEST_F(MeshConversion, InstancesShareOnlyWithEverythingEqual)
{
    TriObject* tri = Tri({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    StdMat2* red = Material("red");
    StdMat2* blue = Material("blue");
    INode* a = AddNode("A", tri);
    INode* b = AddNode("B", tri);
    INode* other = AddNode("OtherMaterial", tri);
    INode* pivot = AddNode("Pivot", tri);
    INode* channels = AddNode("Channels", tri);
    a->SetMtl(red);
    b->SetMtl(red);
    other->SetMtl(blue);
    pivot->SetMtl(red);
    pivot->SetObjOffsetPos(Point3(0, 0, 1));
    channels->SetMtl(red);
    channels->SetUserPropBuffer(TSTR("MapChannel:2 = floatx"));
    ExportAll();
    EXPECT_EQ(MeshOf(a), MeshOf(b));
    EXPECT_NE(MeshOf(a), MeshOf(other));
    EXPECT_NE(MeshOf(a), MeshOf(pivot));
    EXPECT_NE(MeshOf(a), MeshOf(channels));
    EXPECT_NE(Report().find("Mesh Instance : B....."), std::string::npos);
    EXPECT_EQ(m_Exporter.meshInstances.Size(), 4);
}

TEST_F(MeshConversion, ASkinnedInstanceGetsItsOwnMeshAndTheMorpherIsOnAgain)
{
    TriObject* tri = Tri({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    auto* stack = AddObject<IDerivedObject>();
    stack->ReferenceObject(tri);
    auto* skin = AddObject<SkinModifier>();
    auto* morpher = AddObject<MorpherModifier>();
    stack->AddModifierAtBottom(morpher);
    stack->AddModifierAtBottom(skin);
    INode* plain = AddNode("Plain", tri);
    INode* skinned = AddNode("Skinned", stack);
    auto* morphOnly = AddObject<IDerivedObject>();
    morphOnly->ReferenceObject(tri);
    auto* morpher2 = AddObject<MorpherModifier>();
    morphOnly->AddModifierAtBottom(morpher2);
    INode* morphed = AddNode("Morphed", morphOnly);
    INode* morphedCopy = AddNode("MorphedCopy", morphOnly);
    ExportAll();
    EXPECT_EQ(FindSkinModifier(skinned), skin);
    EXPECT_EQ(FindSkinModifier(plain), nullptr);
    int index = -1;
    IDerivedObject* derived = nullptr;
    EXPECT_EQ(FindModifier(skinned, MORPHER_CLASS_ID, &index, &derived), morpher);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(derived, stack);
    ASSERT_NE(MeshOf(skinned), nullptr);
    EXPECT_NE(MeshOf(plain), MeshOf(skinned));
    // Read with the Morpher off, on again after, also when the node ends as
    // an instance.
    EXPECT_TRUE(morpher->IsEnabled());
    EXPECT_TRUE(morpher2->IsEnabled());
    EXPECT_EQ(MeshOf(morphed), MeshOf(morphedCopy));
    EXPECT_EQ(morpher2->NotificationCount(), 4);
    // A Morpher switched off stays off.
    DisableModifier(morpher2);
    AddNode("MorphedOff", morphOnly);
    ExportAll();
    EXPECT_FALSE(morpher2->IsEnabled());
}

TEST_F(MeshConversion, ExtendedChannelsFromPropertiesAndForcedChannels)
{
    TriObject* tri = Tri({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    Mesh& m = tri->GetMesh();
    for (int c : {2, 3, 4, 5}) {
        m.setMapSupport(c);
        // Channel 4: every component equal; 5: x and z vary.
        if (c == 4)
            m.Map(c).tv = {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}};
        else
            m.Map(c).tv = {{0.1f, 0.5f, 0.9f}, {0.2f, 0.5f, 0.8f}, {0.3f, 0.5f, 0.7f}};
        m.Map(c).tf.resize(1);
        m.Map(c).tf[0].setTVerts(0, 1, 2);
    }
    INode* node = AddNode("Channels", tri);
    node->SetUserPropBuffer(TSTR("MapChannel:2 = float0b\r\nMapChannel:3 = -none-"));
    m_Exporter.forceAllUVs = TRUE;
    ExportAll();
    CKMesh* mesh = MeshOf(node);
    ASSERT_NE(mesh, nullptr);
    const std::string report = Report();
    EXPECT_NE(report.find("Extended Channel2 Created. name= float0b, type= float2 (0,B,A,A)"), std::string::npos)
        << report;
    EXPECT_NE(report.find("No Material Detected. Exporting a FLOAT2 extended channel."), std::string::npos);
    EXPECT_NE(report.find("Invalid Extended channel. All components were equals."), std::string::npos);
    // Channels 2 (float2), 3 (forced, FLOAT2) and 5 (FLOAT2); 4 is skipped.
    ASSERT_EQ(mesh->GetChannelCount(), 3);
    EXPECT_EQ(mesh->GetChannelType(0), 2);
    float values[4] = {};
    mesh->GetChannelData(0, 0, values);
    EXPECT_EQ(values[0], 0.0f);
    EXPECT_FLOAT_EQ(values[1], 1.0f - 0.9f);
    float forced[4] = {};
    mesh->GetChannelData(0, 1, forced);
    EXPECT_FLOAT_EQ(forced[0], 0.1f);
    EXPECT_FLOAT_EQ(forced[1], 0.5f);
}

TEST_F(MeshConversion, AnUnknownComponentEndsTheChannelListAtLevelZero)
{
    TriObject* tri = Tri({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    for (int c : {2, 3}) {
        tri->GetMesh().setMapSupport(c);
        tri->GetMesh().Map(c).tv = {{1, 2, 3}};
        tri->GetMesh().Map(c).tf.resize(1);
    }
    INode* node = AddNode("Bad", tri);
    node->SetUserPropBuffer(TSTR("MapChannel:2 = floatxq\r\nMapChannel:3 = floatx\r\n"));
    m_Exporter.reportLevel = 0;
    ExportAll();
    EXPECT_NE(Report().find("Unknown character 'q' at for component 1. Please check the naming convention of the "
                            "channel in Tools/ChannelInfo.\r\n"),
              std::string::npos)
        << Report();
    ASSERT_NE(MeshOf(node), nullptr);
    // What was read before the unknown character stands: two float1
    // channels.
    ASSERT_EQ(MeshOf(node)->GetChannelCount(), 2);
    EXPECT_EQ(MeshOf(node)->GetChannelType(0), 1);
    EXPECT_EQ(MeshOf(node)->GetChannelType(1), 1);
}

// Map channel 3 carries the property text of each case, map channel 4 none
// (forced out with forceAllUVs): whatever channel 3's text says, channel 4
// still comes out after it. Codes: x y z of the map vertex, m their mean,
// 0 and 1 constants, '-' an unset slot.
TEST_F(MeshConversion, ExtendedChannelTextsGiveTheirComponentsAndLaterChannelsFollow)
{
    const struct
    {
        const char* text;
        const char* components; // "" when channel 3 makes no channel
        const char* letters;    // the report's four letters, "" when none
        int unknownAt;          // component index of the reported unknown character, -1 when none
        char unknown;
    } cases[] = {
        {"floatxyz", "xyz", "R,G,B,A", -1, 0},
        {"floatrgbm", "xyzm", "R,G,B,M", -1, 0},
        {"floatxyzm1", "xyzm", "R,G,B,M", -1, 0}, // a fifth letter is not read
        {"floatxyzmq", "xyzm", "R,G,B,M", -1, 0},
        {"floatxm1", "xm1", "R,M,1,A", -1, 0},
        {"float01", "01", "0,1,A,A", -1, 0},
        {"floatxx", "xx", "R,R,A,A", -1, 0}, // a component may repeat
        {"floatzy", "zy", "B,G,A,A", -1, 0},
        {"myfloatb", "z", "B,A,A,A", -1, 0}, // what stands before "float" is not read
        {"floatxy z", "xy", "R,G,A,A", -1, 0},
        {"floatx\ty", "x", "R,A,A,A", -1, 0},
        {"floatq", "", "", 0, 'q'},
        {"floatxq", "x", "R,A,A,A", 1, 'q'},
        {"floatxyq", "xy", "R,G,A,A", 2, 'q'},
        {"floatxyzq", "xyz", "R,G,B,A", 3, 'q'},
        {"floatqx", "", "", 0, 'q'},
        {"floatX", "", "", 0, 'X'}, // letters are lower case
        {"floatfloatx", "", "", 0, 'f'},
        {"float", "", "", -1, 0},
        {"float xyz", "", "", -1, 0}, // a blank ends the list
        {"vector", "", "", -1, 0},
    };
    const Point3 mapVertices[3] = {{0.125f, 0.25f, 0.5f}, {0.375f, 0.625f, 0.75f}, {0.875f, 0.0625f, 0.3125f}};
    const Point3 forcedVertices[3] = {{1, 2, 3}, {4, 2, 5}, {6, 2, 7}}; // y constant: FLOAT2 of x and z
    m_Exporter.forceAllUVs = TRUE;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TriObject* tri = Tri({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
        Mesh& m = tri->GetMesh();
        for (int channel : {3, 4}) {
            m.setMapSupport(channel);
            const Point3* values = channel == 3 ? mapVertices : forcedVertices;
            m.Map(channel).tv = {values[0], values[1], values[2]};
            m.Map(channel).tf.resize(1);
            m.Map(channel).tf[0].setTVerts(0, 1, 2);
        }
        INode* node = AddNode(c.text, tri);
        node->SetUserPropBuffer(TSTR((std::string("MapChannel:3 = ") + c.text).c_str()));
        const std::string::size_type before = Report().size();
        CKMesh* mesh = ExportOne(node);
        ASSERT_NE(mesh, nullptr);
        const std::string report = Report().substr(before);
        const int count = (int) std::strlen(c.components);
        const bool made = count > 0;
        ASSERT_EQ(mesh->GetChannelCount(), made ? 2 : 1) << report;
        if (made) {
            EXPECT_EQ(mesh->GetChannelType(0), count);
            const std::string created = std::string("\r\nExtended Channel3 Created. name= ") + c.text +
                                        ", type= float" + std::to_string(count) + " (" + c.letters + ")";
            EXPECT_NE(report.find(created), std::string::npos) << report;
            EXPECT_EQ(report.find("Invalid Extended channel 3."), std::string::npos);
        } else {
            EXPECT_NE(report.find("\r\nInvalid Extended channel 3."), std::string::npos) << report;
            EXPECT_EQ(report.find("Extended Channel3 Created."), std::string::npos);
        }
        const std::string unknown = "Unknown character '";
        if (c.unknownAt >= 0)
            EXPECT_NE(report.find(unknown + c.unknown + "' at for component " + std::to_string(c.unknownAt) +
                                  ". Please check the naming convention of the channel in Tools/ChannelInfo.\r\n"),
                      std::string::npos)
                << report;
        else
            EXPECT_EQ(report.find(unknown), std::string::npos) << report;
        // Each engine vertex is the host vertex of its position (x, z, y).
        for (int v = 0; v < mesh->GetVertexCount(); ++v) {
            QxVector p;
            mesh->GetVertexPosition(v, &p);
            const int host = p.x == 1.0f ? 1 : p.z == 1.0f ? 2 : 0;
            const Point3& t = mapVertices[host];
            auto component = [&](char code) {
                switch (code) {
                case 'x': return t.x;
                case 'y': return t.y;
                case 'z': return t.z;
                case 'm': return (t.x + t.y + t.z) / 3.0f;
                case '1': return 1.0f;
                default: return 0.0f;
                }
            };
            float expected[4] = {0, 0, 0, 0};
            for (int k = 0; k < count; ++k)
                expected[k] = k == 1 ? 1.0f - component(c.components[k]) : component(c.components[k]);
            float values[4] = {-1, -1, -1, -1};
            if (made) {
                mesh->GetChannelData(v, 0, values);
                for (int k = 0; k < count; ++k)
                    EXPECT_FLOAT_EQ(values[k], expected[k]) << "vertex " << v << " component " << k;
            }
            // The forced channel 4: x and 1 - y of its vertex, the varying
            // components being x and z.
            float forced[4] = {-1, -1, -1, -1};
            mesh->GetChannelData(v, made ? 1 : 0, forced);
            EXPECT_EQ(mesh->GetChannelType(made ? 1 : 0), 2);
            EXPECT_EQ(forced[0], forcedVertices[host].x) << "vertex " << v;
            EXPECT_EQ(forced[1], 1.0f - forcedVertices[host].y) << "vertex " << v;
        }
        EXPECT_NE(report.find("No Material Detected. Exporting a FLOAT2 extended channel."), std::string::npos);
    }
}

// A map channel that a material's map names becomes a channel of that
// material, each corner with its own map vertex (v flipped).
TEST_F(MeshConversion, AMaterialChannelTakesEachCornersMapVertex)
{
    TriObject* tri = Tri({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    Mesh& m = tri->GetMesh();
    m.setMapSupport(3);
    m.Map(3).tv = {{0.125f, 0.25f, 0}, {0.375f, 0.5f, 0}, {0.625f, 0.875f, 0}};
    m.Map(3).tf.resize(1);
    m.Map(3).tf[0].setTVerts(2, 0, 1);
    StdMat2* lit = Material("lit");
    auto* light = AddObject<BitmapTex>("light");
    light->GetTheUVGen()->SetMapChannel(3);
    lit->SetSubTexmap(ID_SI, light);
    CKMaterial* lightmap = m_Builder->CreateMaterial(nullptr, "lit_Lightmap", ~(ExportKey) lit);
    INode* node = AddNode("Lit", tri);
    node->SetMtl(lit);
    CKMesh* mesh = ExportOne(node);
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->GetChannelCount(), 1);
    EXPECT_EQ(mesh->GetChannelMaterial(0), lightmap);
    // Host corner k of the face is host vertex k and map vertex tf[k].
    const int mapOf[3] = {2, 0, 1};
    for (int v = 0; v < mesh->GetVertexCount(); ++v) {
        QxVector p;
        mesh->GetVertexPosition(v, &p);
        const int host = p.x == 1.0f ? 1 : p.z == 1.0f ? 2 : 0;
        const UVVert& t = m.Map(3).tv[(size_t) mapOf[host]];
        float u = -1, w = -1;
        mesh->GetVertexTextureCoordinates(v, &u, &w, 0);
        EXPECT_EQ(u, t.x) << "vertex " << v;
        EXPECT_EQ(w, 1.0f - t.y) << "vertex " << v;
    }
}

// A mesh takes seven extra channels at most: the first seven map channels
// that make one.
TEST_F(MeshConversion, SevenExtraChannelsAtMost)
{
    TriObject* tri = Tri({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    Mesh& m = tri->GetMesh();
    std::string properties;
    for (int c = 2; c <= 10; ++c) {
        m.setMapSupport(c);
        m.Map(c).tv = {{(float) c, 0, 0}, {(float) c, 0, 0}, {(float) c, 0, 0}};
        m.Map(c).tf.resize(1);
        m.Map(c).tf[0].setTVerts(0, 1, 2);
        properties += "MapChannel:" + std::to_string(c) + " = floatx\r\n";
    }
    INode* node = AddNode("Many", tri);
    node->SetUserPropBuffer(TSTR(properties.c_str()));
    CKMesh* mesh = ExportOne(node);
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->GetChannelCount(), 7);
    for (int channel = 0; channel < 7; ++channel) {
        float values[4] = {};
        mesh->GetChannelData(0, channel, values);
        EXPECT_EQ(values[0], (float) (channel + 2)) << channel;
    }
}

// Without a property text, or with "-none-", a channel without material is
// forced out like any other.
TEST_F(MeshConversion, EmptyAndNoneTextsLeaveTheChannelToForceAllUVs)
{
    m_Exporter.forceAllUVs = TRUE;
    for (const char* text : {"MapChannel:3 =", "MapChannel:3 = -none-", "MapChannel:3 =   "}) {
        SCOPED_TRACE(text);
        TriObject* tri = Tri({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
        Mesh& m = tri->GetMesh();
        for (int channel : {3, 4}) {
            m.setMapSupport(channel);
            m.Map(channel).tv = {{0.1f, 0.5f, 0.2f}, {0.3f, 0.5f, 0.4f}, {0.5f, 0.5f, 0.6f}};
            m.Map(channel).tf.resize(1);
            m.Map(channel).tf[0].setTVerts(0, 1, 2);
        }
        INode* node = AddNode(text, tri);
        node->SetUserPropBuffer(TSTR(text));
        const std::string::size_type before = Report().size();
        CKMesh* mesh = ExportOne(node);
        ASSERT_NE(mesh, nullptr);
        const std::string report = Report().substr(before);
        EXPECT_EQ(mesh->GetChannelCount(), 2) << report;
        EXPECT_EQ(report.find("Invalid Extended channel 3."), std::string::npos);
        EXPECT_EQ(report.find("Extended Channel3"), std::string::npos);
    }
}

TEST_F(MeshConversion, VertexWeightsAndDeactivatedChannels)
{
    TriObject* tri = Tri({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    Mesh& m = tri->GetMesh();
    m.setVDataSupport(VDATA_WEIGHT);
    float* w = m.vertexFloat(VDATA_WEIGHT);
    w[0] = 0.25f;
    w[1] = 0.5f;
    w[2] = 0.75f;
    INode* node = AddNode("Weighted", tri);
    ExportAll();
    CKMesh* mesh = MeshOf(node);
    ASSERT_EQ(mesh->GetVertexWeightsCount(), 3);
    // Engine vertex 1 is host vertex 2 (corners 1 and 2 exchange).
    EXPECT_EQ(mesh->GetVertexWeight(1), 0.75f);
}

TEST_F(MeshConversion, ANodeWithoutGeometryOrFacesMakesNoMesh)
{
    TriObject* empty = Tri({}, {});
    empty->GetMesh().setMapSupport(0);
    INode* noFaces = AddNode("Empty", empty);
    INode* helper = AddNode("Nothing", nullptr);
    ExportAll();
    EXPECT_EQ(MeshOf(noFaces), nullptr);
    EXPECT_EQ(MeshOf(helper), nullptr);
    m_Exporter.ExportMesh(nullptr, nullptr);
}

// Patches.

class PatchExport : public MeshConversion
{};

TEST_F(PatchExport, SeventyThousandVerticesAreRefused)
{
    INode* node = AddNode("Huge", AddQuadPatch(70000));
    ExportAll();
    EXPECT_EQ(MeshOf(node), nullptr);
    EXPECT_NE(Report().find("Patch Mesh Huge refused: more elements than 16-bit indices reach"), std::string::npos)
        << Report();
}

// The first map channel's coordinates go through the placement of the map
// that uses them: U offset 0.25 takes u 0.5 to 0.25 (v flips).
TEST_F(PatchExport, TextureCoordinatesFollowTheirMapsPlacement)
{
    PatchObject* object = AddQuadPatch(4);
    PatchMesh& pm = object->patch;
    pm.setMapSupport(1);
    pm.Map(1).tv.resize(4);
    for (PatchTVert& t : pm.Map(1).tv)
        t.p = Point3(0.5f, 0.25f, 0);
    TVPatch tp;
    for (int k = 0; k < 4; ++k)
        tp.tv[k] = k;
    pm.Map(1).tp.push_back(tp);
    StdMat2* m = Material("placed");
    auto* bitmap = AddObject<BitmapTex>("b");
    bitmap->GetTheUVGen()->SetUOffs(0.25f);
    m->SetSubTexmap(ID_DI, bitmap);
    INode* node = AddNode("Placed", object);
    node->SetMtl(m);
    ExportAll();
    auto* mesh = static_cast<CKPatchMesh*>(MeshOf(node));
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->GetTextureVertexCount(), 4);
    float u = 0, v = 0;
    mesh->GetTextureVertex(2, &u, &v);
    EXPECT_EQ(u, 0.25f);
    EXPECT_EQ(v, 0.75f);
}

// A pass without its node or its entity makes nothing.
TEST_F(PatchExport, WithoutNodeOrEntityNothingIsMade)
{
    INode* tri = AddNode("Tri", Tri({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}));
    INode* patch = AddNode("Patch", AddQuadPatch(4));
    CK3dEntity* entity = m_Builder->CreateEntity("Entity", 1);
    ASSERT_NE(entity, nullptr);
    const int made = m_Builder->createdObjects.Size();
    m_Exporter.ExportMesh(tri, nullptr);
    m_Exporter.ExportMesh(nullptr, entity);
    m_Exporter.ExportPatchMesh(patch, nullptr);
    m_Exporter.ExportPatchMesh(nullptr, entity);
    EXPECT_EQ(m_Builder->createdObjects.Size(), made);
    EXPECT_EQ(entity->GetCurrentMesh(), nullptr);
}

TEST_F(PatchExport, ChannelsWithoutMaterialAndBadTextureIndices)
{
    PatchObject* object = AddQuadPatch(4);
    PatchMesh& pm = object->patch;
    for (int c : {1, 2}) {
        pm.setMapSupport(c);
        pm.Map(c).tv.resize(4);
        TVPatch tp;
        tp.tv[0] = 0;
        tp.tv[1] = 1;
        tp.tv[2] = 2;
        tp.tv[3] = 9;
        pm.Map(c).tp.push_back(tp);
    }
    INode* a = AddNode("Patch", object);
    INode* b = AddNode("PatchCopy", object);
    ExportAll();
    ASSERT_NE(MeshOf(a), nullptr);
    EXPECT_EQ(MeshOf(a), MeshOf(b));
    const std::string report = Report();
    EXPECT_NE(report.find("Patch Mesh Patch : map channel 2 has no material and was left out"), std::string::npos)
        << report;
    EXPECT_NE(report.find("Mesh Patch : 1 texture coordinates out of range were read as (0, 0)"), std::string::npos);
    EXPECT_NE(report.find("Patch Mesh Instance: PatchCopy....."), std::string::npos);

    // A patch naming a vertex, vector or edge beyond its list is refused,
    // each alone.
    const std::string line = "refused: a patch names a vertex, vector or edge out of range";
    for (int which = 0; which < 5; ++which) {
        PatchObject* broken = AddQuadPatch(4);
        Patch& p = broken->patch.patches[0];
        int* const fields[] = {&p.v[1], &p.vec[2], &p.vec[3], &p.interior[2], &p.edge[1]};
        *fields[which] = 40;
        const std::string name = "Broken" + std::to_string(which);
        INode* c = AddNode(name.c_str(), broken);
        ExportAll();
        EXPECT_EQ(MeshOf(c), nullptr) << which;
        EXPECT_NE(Report().find("Patch Mesh " + name + " " + line), std::string::npos) << which;
    }
}

} // namespace
