#include "tests/exporter/support/ExporterTestSupport.h"

#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "render/context/CKRenderEngine.h"

void EngineFixture::SetUp()
{
    ASSERT_EQ(CKStartUp(), 0);
    CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
    CKBuildClassHierarchyTable();
    ASSERT_EQ(CKCreateContext(&m_Context, nullptr), 0);
}

void EngineFixture::TearDown()
{
    if (m_Context) {
        EXPECT_EQ(CKCloseContext(m_Context), 0);
    }
    m_Context = nullptr;
    EXPECT_EQ(CKShutdown(), 0);
}

#include "exporter/driver/DriverState.h"
#include "platform/host/Control.h"

void SceneExportTest::SetUp()
{
    EngineFixture::SetUp();
    m_Interface = std::make_unique<Interface>(m_Scene);
    m_Interface->SetEcho(false);
    m_Interface->SetReportOutput(nullptr);
    GetExportDriverState().onlySelectedNodes = FALSE;
    m_Builder = new ExportBuilder(m_Context, TRUE);
    m_Builder->exporter = &m_Exporter;
    m_Exporter.builder = m_Builder;
    m_Exporter.context = m_Context;
    m_Exporter.maxInterface = m_Interface.get();
    m_Exporter.reportLevel = 3;
    m_Exporter.progressStarted = 0;
    SetAnimationRange(m_Scene.Settings().animStart, m_Scene.Settings().animEnd);
}

void SceneExportTest::SetAnimationRange(TimeValue start, TimeValue end)
{
    m_Scene.Settings().animStart = start;
    m_Scene.Settings().animEnd = end;
    // As the driver reads them for each export.
    m_Exporter.animStart = (float) start;
    m_Exporter.animEnd = (float) end;
    m_Exporter.framesPerTick = 1.0f / (float) GetTicksPerFrame();
}

void SceneExportTest::TearDown()
{
    m_Exporter.builder = nullptr;
    delete m_Builder;
    m_Builder = nullptr;
    m_Interface.reset();
    EngineFixture::TearDown();
}

INode* SceneExportTest::AddNode(const char* name, Object* object, INode* parent, const Matrix3& local)
{
    INode* node = m_Scene.AddNode(name, parent);
    node->SetObjectRef(object);
    node->SetTMController(m_Scene.Adopt(std::make_unique<MatrixControl>(local)));
    return node;
}

PatchObject* SceneExportTest::AddQuadPatch(int vertices)
{
    auto* object = AddObject<PatchObject>();
    PatchMesh& pm = object->patch;
    pm.verts.resize((size_t) vertices);
    pm.vecs.resize(12);
    Patch p;
    p.type = PATCH_QUAD;
    for (int i = 0; i < 4; ++i) {
        p.v[i] = i;
        p.interior[i] = 8 + i;
    }
    for (int i = 0; i < 8; ++i)
        p.vec[i] = i;
    pm.patches.push_back(p);
    pm.buildLinkages();
    return object;
}

void SceneExportTest::ExportAll()
{
    INode* root = m_Scene.GetRootNode();
    for (int i = 0; i < root->NumberOfChildren(); ++i)
        if (!m_Exporter.ExportNode(root->GetChildNode(i)))
            break;
}

#include "core/behavior/CKBehavior.h"
#include "core/file/CKFile.h"

void WriteScriptFile(CKContext* context, const std::string& path, const char* name)
{
    auto* script = static_cast<CKBehavior*>(context->CreateObject(CKCID_BEHAVIOR, name));
    ASSERT_NE(script, nullptr);
    script->SetType(1);
    script->UseGraph();
    CKFile* writer = context->CreateCKFile();
    ASSERT_EQ(writer->StartSave(path.c_str()), 0);
    writer->SaveObject(script);
    ASSERT_EQ(writer->EndSave(), 0);
    context->DeleteCKFile(writer);
    context->DestroyObjectByID(script->GetID());
}

MeshTexCoord UV(float u, float v, float third, float fourth)
{
    MeshTexCoord t;
    t.u = u;
    t.v = v;
    t.third = third;
    t.fourth = fourth;
    return t;
}
