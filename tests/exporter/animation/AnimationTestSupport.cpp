#include "tests/exporter/animation/AnimationTestSupport.h"

#include "exporter/builder/ExportBuilder.h"
#include "platform/host/Control.h"
#include "platform/host/IParamBlock.h"
#include "platform/host/TriObject.h"
#include "render/objects/CKCamera.h"
#include "render/objects/CKLight.h"

void NodeAnimationTest::SetUp()
{
    SceneExportTest::SetUp();
    m_Exporter.exportAnimation = 1;
}

KeyControl* NodeAnimationTest::Track(KeyControl::Track track, KeyControl::Interpolation kind, std::vector<HostKey> keys)
{
    auto* control = m_Scene.Adopt(std::make_unique<KeyControl>(track, kind));
    EXPECT_TRUE(control->SetKeys(std::move(keys)));
    return control;
}

KeyControl* NodeAnimationTest::Procedural(KeyControl::Track track, KeyControl::Interpolation kind,
                                          std::vector<HostKey> keys)
{
    auto* control = m_Scene.Adopt(std::make_unique<KeyControl>(track, kind, Class_ID(0x7A11, 0x5EED), "Expression"));
    control->SetKeyInterface(false);
    EXPECT_TRUE(control->SetKeys(std::move(keys)));
    return control;
}

Object* NodeAnimationTest::Box()
{
    if (!m_Box)
        m_Box = AddObject<Object>(GEOMOBJECT_CLASS_ID, Class_ID(0x10, 0), "Box");
    return m_Box;
}

INode* NodeAnimationTest::PRSNode(const char* name, Control* position, Control* rotation, Control* scale, INode* parent)
{
    INode* node = AddNode(name, Box(), parent);
    node->SetTMController(AddObject<PRSControl>(position, rotation, scale));
    return node;
}

CKObjectAnimation* NodeAnimationTest::AnimationOf(INode* node)
{
    CK3dEntity* entity = m_Builder->FindEntity((ExportKey) node);
    if (!entity)
        entity = m_Builder->FindCamera((ExportKey) node);
    if (!entity)
        entity = m_Builder->FindLight((ExportKey) node);
    for (CKObjectAnimation* animation : m_Builder->objectAnimationList)
        if (animation && entity && animation->Get3dEntity() == entity)
            return animation;
    return nullptr;
}

std::vector<float> NodeAnimationTest::Times(CKAnimController* controller)
{
    std::vector<float> times;
    for (int i = 0; controller && i < controller->GetKeyCount(); ++i)
        times.push_back(controller->GetKey(i)->TimeStep);
    return times;
}

HostKey KeyAt(float frame, const Point3& value)
{
    HostKey key;
    key.time = (TimeValue) (frame * 160.0f);
    key.value = value;
    return key;
}

HostKey RotationAt(float frame, const Quat& value)
{
    HostKey key;
    key.time = (TimeValue) (frame * 160.0f);
    key.rotation = value;
    return key;
}

MorpherModifier* AddMorpher(HostScene& scene, INode* node, int channel, const char* name,
                            std::unique_ptr<Control> weight)
{
    auto* mesh = scene.Adopt(std::make_unique<TriObject>());
    auto* stack = scene.Adopt(std::make_unique<IDerivedObject>());
    auto* morpher = scene.Adopt(std::make_unique<MorpherModifier>());
    stack->ReferenceObject(mesh);
    stack->AddModifierAtBottom(morpher);
    MorphChannel& c = morpher->Channel(channel);
    c.SetUsed(true);
    c.SetName(name);
    if (weight)
        c.GetWeightBlock()->SetController(0, std::move(weight));
    node->SetObjectRef(stack);
    return morpher;
}

std::vector<Point3> MeshAnimationTest::QuadPoints()
{
    return {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
}

TriObject* MeshAnimationTest::Quad()
{
    auto* tri = AddObject<TriObject>();
    Mesh& m = tri->GetMesh();
    m.verts = QuadPoints();
    const DWORD faces[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (const auto& f : faces) {
        Face face;
        face.setVerts(f[0], f[1], f[2]);
        face.setSmGroup(1);
        m.faces.push_back(face);
    }
    return tri;
}

IDerivedObject* MeshAnimationTest::QuadStack(INode* node)
{
    auto* stack = AddObject<IDerivedObject>();
    stack->ReferenceObject(Quad());
    node->SetObjectRef(stack);
    return stack;
}
