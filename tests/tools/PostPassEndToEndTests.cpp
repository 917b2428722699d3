#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/attribute/CKAttributeManager.h"
#include "core/context/CKContext.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObjectIDList.h"
#include "core/parameter/CKParameter.h"
#include "core/scene/CKLevel.h"
#include "core/scene/CKScene.h"
#include "exporter/driver/DriverState.h"
#include "exporter/shell/PluginShell.h"
#include "lod/LODOptions.h"
#include "render/animation/CKAnimKeys.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/animation/CKSkin.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"
#include "render/mesh/CKTexture.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKCamera.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"
#include "tests/tools/QdxExportRun.h"

namespace {

constexpr float kInch = 0.0254f;

// What the checks read of one exported file, loaded into the exporter's
// context (cleared again afterwards).
struct Loaded
{
    std::vector<CKObject*> objects;

    CKObject* Find(const char* name, CK_CLASSID cid) const
    {
        for (CKObject* o : objects)
            if (CKIsChildClassOfObject(o, cid) && o->GetName() && std::string(o->GetName()) == name)
                return o;
        return nullptr;
    }
    int Count(const char* name) const
    {
        int n = 0;
        for (CKObject* o : objects)
            n += o->GetName() && std::string(o->GetName()) == name;
        return n;
    }
};

class PostPassEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(ExporterLoad(), 0); }
    void TearDown() override { ExporterUnload(); }

    // The sample scene exported with every post pass, in metres or not.
    CommandRun Export(const std::string& out, bool metres)
    {
        const std::string samples = TestSourceDir() + "/samples/";
        std::vector<std::string> args = {samples + "scene.json", out, "--opt", "exportAnimation=true"};
        const char* passes[] = {"splitMesh",         "LOD",           "DASITexture",  "DASIMaterial",
                                "DASIMesh",          "DASIAnimation", "ReadChannels", "OnlyUsedMaterials",
                                "ExportBlendShapes", "ReportToFile"};
        for (const char* pass : passes) {
            args.push_back("--opt");
            args.push_back(std::string(pass) + "=true");
        }
        for (const std::string& option :
             {"unitIsMeter=" + std::string(metres ? "true" : "false"),
              "ReadChannelsFilename=" + samples + "channels.txt",
              "ReportFilename=" + m_Dir.File(metres ? "metres.log" : "inches.log"), std::string("reportLevel=3")}) {
            args.push_back("--opt");
            args.push_back(option);
        }
        return RunQdxExport(args);
    }

    void Load(const std::string& file, Loaded& loaded)
    {
        CKContext* context = GetExportDriverState().context;
        ASSERT_NE(context, nullptr);
        CKObjectIDList list;
        CKFile* reader = context->CreateCKFile();
        ASSERT_EQ(reader->Load(file.c_str(), &list, 0), 0) << file;
        context->DeleteCKFile(reader);
        for (list.Reset(); !list.EndOfList(); list.Next()) {
            CKObject* object = list.GetCurrentObject(context);
            ASSERT_NE(object, nullptr) << "every saved object loads";
            loaded.objects.push_back(object);
        }
    }

    TestTempDir m_Dir;
};

std::vector<CKBezierKey<QxVector>> PositionKeys(CK3dEntity* entity, const Loaded& loaded)
{
    std::vector<CKBezierKey<QxVector>> keys;
    for (CKObject* o : loaded.objects) {
        if (!CKIsChildClassOfObject(o, CKCID_OBJECTANIMATION))
            continue;
        auto* animation = static_cast<CKObjectAnimation*>(o);
        CKAnimController* position = animation->Get3dEntity() == entity ? animation->GetPositionController() : nullptr;
        if (!position || position->GetType() != CKANIMATION_BEZIERPOSITION_CONTROL)
            continue;
        for (int k = 0; k < position->GetKeyCount(); ++k)
            keys.push_back(*static_cast<CKBezierKey<QxVector>*>(position->GetKey(k)));
    }
    return keys;
}

void ExpectScaled(const QxVector& metres, const QxVector& inches, const std::string& what)
{
    EXPECT_NEAR(metres.x, inches.x * kInch, 1e-5f + std::abs(inches.x) * 1e-5f) << what;
    EXPECT_NEAR(metres.y, inches.y * kInch, 1e-5f + std::abs(inches.y) * 1e-5f) << what;
    EXPECT_NEAR(metres.z, inches.z * kInch, 1e-5f + std::abs(inches.z) * 1e-5f) << what;
}

} // namespace

TEST_F(PostPassEndToEnd, TheSampleSceneExportsWithEveryPassAndReloads)
{
    const std::string metresFile = m_Dir.File("scene.qbx");
    const CommandRun run = Export(metresFile, true);
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err.find("ERROR"), std::string::npos) << run.err;
    const std::string first = TestReadFile(metresFile);
    ASSERT_EQ(Export(metresFile, true).code, 0);
    EXPECT_EQ(TestReadFile(metresFile), first) << "a second export writes the same bytes";
    const std::string inchesFile = m_Dir.File("inches.qbx");
    ASSERT_EQ(Export(inchesFile, false).code, 0);
    const std::string log = TestReadFile(m_Dir.File("metres.log"));

    CKContext* context = GetExportDriverState().context;
    Loaded inches;
    Load(inchesFile, inches);
    CK3dEntity* boxInches = static_cast<CK3dEntity*>(inches.Find("Box", CKCID_3DENTITY));
    ASSERT_NE(boxInches, nullptr);
    QxVector boxAt;
    boxInches->GetPosition(&boxAt);
    const std::vector<CKBezierKey<QxVector>> keysInches = PositionKeys(boxInches, inches);
    auto* cameraInches = static_cast<CKCamera*>(inches.Find("Camera01", CKCID_CAMERA));
    ASSERT_NE(cameraInches, nullptr);
    const float front = cameraInches->GetFrontPlane(), back = cameraInches->GetBackPlane();
    auto* level = static_cast<CKLevel*>(inches.Find("Level", CKCID_LEVEL));
    ASSERT_NE(level, nullptr);
    const float fogStart = level->GetLevelScene()->GetFogStart(), fogEnd = level->GetLevelScene()->GetFogEnd();
    context->ClearAll();

    Loaded metres;
    Load(metresFile, metres);
    // Three equal materials are one; the duplicate glass made one too.
    EXPECT_NE(metres.Find("Wood1", CKCID_MATERIAL), nullptr);
    EXPECT_EQ(metres.Count("Wood2") + metres.Count("Wood3") + metres.Count("GlassCopy"), 0);
    EXPECT_EQ(metres.Count("CrateB_Mesh") + metres.Count("CrateC_Mesh"), 0) << "equal meshes shared";

    // The mesh of two layered materials, split.
    auto* boxMesh = static_cast<CKMesh*>(metres.Find("Box_Mesh", CKCID_MESH));
    auto* boxPart = static_cast<CKMesh*>(metres.Find("Box_Mesh_SM1", CKCID_MESH));
    auto* box = static_cast<CK3dEntity*>(metres.Find("Box", CKCID_3DENTITY));
    auto* glass = static_cast<CKMaterial*>(metres.Find("Glass", CKCID_MATERIAL));
    ASSERT_TRUE(boxMesh && boxPart && box && glass);
    EXPECT_EQ(box->GetCurrentMesh(), boxMesh);
    ASSERT_EQ(box->GetChildrenCount(), 1);
    EXPECT_STREQ(box->GetChild(0)->GetName(), "Box_SM1");
    EXPECT_EQ(box->GetChild(0)->GetCurrentMesh(), boxPart);
    // The channel file: a quoted line (LF) and an unquoted one ending in
    // InvSrcAlpha (CRLF), the latter on the channel of the shared glass.
    const int boxGlass = boxMesh->GetChannelByMaterial(glass);
    ASSERT_GE(boxGlass, 0);
    EXPECT_EQ(boxMesh->GetChannelSourceBlend(boxGlass), 5);
    EXPECT_EQ(boxMesh->GetChannelDestBlend(boxGlass), 6);
    EXPECT_FALSE(boxMesh->IsChannelLit(boxGlass));
    const int partGlass = boxPart->GetChannelByMaterial(glass);
    ASSERT_GE(partGlass, 0) << "the part keeps the channel of the duplicate it had";
    EXPECT_EQ(boxPart->GetChannelSourceBlend(partGlass), 2);
    EXPECT_EQ(boxPart->GetChannelDestBlend(partGlass), 6);

    // A skinned mesh split: each part's skin keeps the bones its vertices use.
    auto* arm = static_cast<CK3dEntity*>(metres.Find("Arm", CKCID_3DENTITY));
    ASSERT_NE(arm, nullptr);
    ASSERT_EQ(arm->GetChildrenCount(), 1);
    ASSERT_NE(arm->GetSkin(), nullptr);
    ASSERT_NE(arm->GetChild(0)->GetSkin(), nullptr);
    EXPECT_EQ(arm->GetSkin()->GetVertexCount(), arm->GetCurrentMesh()->GetVertexCount());
    EXPECT_EQ(arm->GetChild(0)->GetSkin()->GetVertexCount(), arm->GetChild(0)->GetCurrentMesh()->GetVertexCount());

    // Named levels of detail.
    auto* tree = static_cast<CK3dEntity*>(metres.Find("Tree", CKCID_3DENTITY));
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->GetMeshCount(), 2);
    EXPECT_STREQ(tree->GetMesh(1)->GetName(), "TreeLOD1_Mesh");
    EXPECT_EQ(metres.Find("TreeLOD1", CKCID_3DENTITY), nullptr);
    auto* bigBox = static_cast<CK3dEntity*>(metres.Find("BigBoxLOD1", CKCID_3DENTITY));
    ASSERT_NE(bigBox, nullptr);
    EXPECT_EQ(bigBox->GetMeshCount(), 1);
    EXPECT_STREQ(bigBox->GetCurrentMesh()->GetName(), "BigBoxLOD1_Mesh");
    const int lodType = context->GetAttributeManager()->GetAttributeTypeByName("LOD Object");
    CKParameter* lod = lodType >= 0 ? tree->GetAttributeParameter(lodType) : nullptr;
    ASSERT_NE(lod, nullptr);
    LODOptions options;
    ASSERT_EQ(lod->GetDataSize(), (int) sizeof options);
    lod->GetValue(&options);
    EXPECT_EQ(options.Flags, 0x2u);
    EXPECT_EQ(options.ScreenMag, LODOptions().ScreenMag);
    EXPECT_EQ(options.ScreenAlphaMin, LODOptions().ScreenAlphaMin);

    // Unused removal kept the bump texture (stage 1 of Leaves).
    auto* bump = static_cast<CKTexture*>(metres.Find("bump", CKCID_TEXTURE));
    ASSERT_NE(bump, nullptr);
    auto* leaves = static_cast<CKMaterial*>(metres.Find("Leaves", CKCID_MATERIAL));
    ASSERT_NE(leaves, nullptr);
    EXPECT_EQ(leaves->GetTexture(1), bump);

    // Every length times 0.0254: positions, Bezier keys and tangents,
    // camera planes, fog.
    QxVector at;
    box->GetPosition(&at);
    ExpectScaled(at, boxAt, "Box position");
    const std::vector<CKBezierKey<QxVector>> keys = PositionKeys(box, metres);
    ASSERT_EQ(keys.size(), keysInches.size());
    ASSERT_GE(keys.size(), 2u) << "the box keeps its position keys";
    for (size_t k = 0; k < keys.size(); ++k) {
        ExpectScaled(keys[k].Value, keysInches[k].Value, "key " + std::to_string(k));
        ExpectScaled(keys[k].In, keysInches[k].In, "in tangent " + std::to_string(k));
        ExpectScaled(keys[k].Out, keysInches[k].Out, "out tangent " + std::to_string(k));
    }
    auto* camera = static_cast<CKCamera*>(metres.Find("Camera01", CKCID_CAMERA));
    ASSERT_NE(camera, nullptr);
    EXPECT_NEAR(camera->GetFrontPlane(), front * kInch, 1e-6f);
    EXPECT_NEAR(camera->GetBackPlane(), back * kInch, 1e-4f);
    level = static_cast<CKLevel*>(metres.Find("Level", CKCID_LEVEL));
    ASSERT_NE(level, nullptr);
    EXPECT_NEAR(level->GetLevelScene()->GetFogStart(), fogStart * kInch, 1e-6f);
    EXPECT_NEAR(level->GetLevelScene()->GetFogEnd(), fogEnd * kInch, 1e-5f);
    context->ClearAll();

    EXPECT_NE(log.find("RescaleScene with factor of 0.025400"), std::string::npos);
    EXPECT_NE(log.find("Sharing Object Animation from a1=CrateB to a2=CrateC"), std::string::npos);
    EXPECT_NE(log.find("Unable to find mesh named: Missing_Mesh"), std::string::npos);
    // Every line of the sample's channel file is one the reader takes.
    EXPECT_EQ(log.find("Invalid Argument Count"), std::string::npos) << log;
    EXPECT_EQ(log.find("Undefined: "), std::string::npos) << log;
    EXPECT_NE(log.find("Read Channel Mesh=Box_Mesh, Mat=Glass, Active=1, Lit=0, Src=srcalpha, Dst=invsrcalpha"),
              std::string::npos)
        << log;
}
