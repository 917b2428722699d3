#include "tests/exporter/postpass/PostPassTestSupport.h"

#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/object/CKClassRegistry.h"
#include "core/object/CKObjectIDList.h"
#include "exporter/driver/PluginRegistration.h"

void PostPassTest::SetUp()
{
    ASSERT_EQ(CKStartUp(), 0);
    RegisterLinkedPlugins(CKGetPluginManager());
    CKBuildClassHierarchyTable();
    ASSERT_EQ(CKCreateContext(&m_Context, nullptr), 0);
    m_Builder = new ExportBuilder(m_Context, TRUE);
    m_Builder->log = &m_Log;
}

void PostPassTest::TearDown()
{
    delete m_Builder;
    m_Builder = nullptr;
    EngineFixture::TearDown();
}

CKMaterial* PostPassTest::MakeMaterial(const char* name)
{
    return m_Builder->CreateMaterial(nullptr, name, (ExportKey) 0x1000 * (ExportKey) m_NextKey++);
}

CKMesh* PostPassTest::MakeStrip(const char* name, int quads, const std::vector<CKMaterial*>& materials)
{
    MeshBuilder b(FALSE, nullptr);
    for (int x = 0; x <= quads; ++x) {
        b.positions.PushBack(QxVector((float) x, 0.0f, 0.0f));
        b.positions.PushBack(QxVector((float) x, 1.0f, 0.0f));
    }
    for (int q = 0; q < quads; ++q) {
        CKMaterial* material = materials.empty() ? nullptr : materials[(size_t) q % materials.size()];
        const CKDWORD v = (CKDWORD) (2 * q);
        b.AddFace(v, v + 2, v + 1, material);
        b.AddFace(v + 1, v + 2, v + 3, material);
    }
    b.Weld(TRUE);
    return m_Builder->CreateEngineMesh(b, name, (ExportKey) 0x1000 * (ExportKey) m_NextKey++, TRUE);
}

bool PostPassTest::BuilderNames(const void* object, CK_ID id)
{
    ExportBuilder& b = *m_Builder;
    auto in = [&](const auto& list) {
        for (const auto* o : list)
            if ((const void*) o == object)
                return true;
        return false;
    };
    if (in(b.createdObjects) || in(b.objectAnimationList) || in(b.bodyParts) || in(b.singleKeyAnimations) ||
        in(b.entities) || in(b.meshes) || in(b.materials) || in(b.textures) || in(b.textureFiles) ||
        in(b.objectAnimations) || in(b.lights) || in(b.cameras) || in(b.groups))
        return true;
    for (const MultiMaterialRecord& record : b.multiMaterials) {
        if ((const void*) record.base == object)
            return true;
        for (const MultiMaterialChannel& channel : record.channels)
            if ((const void*) channel.material == object)
                return true;
    }
    if ((const void*) b.character == object || (const void*) b.animation == object)
        return true;
    return b.savedObjects && id && b.savedObjects->FindID(id);
}
