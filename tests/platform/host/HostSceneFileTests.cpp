#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/host/CustAttrib.h"
#include "platform/host/GenCamera.h"
#include "platform/host/GenLight.h"
#include "platform/host/HostCommandLine.h"
#include "platform/host/HostDump.h"
#include "platform/host/HostScene.h"
#include "platform/host/HostSceneFile.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"
#include "platform/host/KeyControl.h"
#include "platform/host/Mtl.h"
#include "platform/host/SplineShape.h"
#include "platform/host/StdFog.h"
#include "tests/support/TestPaths.h"

namespace {

std::string DataDir()
{
    return TestSourceDir() + "/tests/platform/host/data/";
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The error of reading text as a scene ("" when it reads).
std::string ErrorOf(const std::string& text)
{
    HostScene scene;
    std::string error;
    if (ReadHostScene(text.data(), text.size(), "s.json", scene, error))
        return "";
    return error;
}

const std::string kHead = R"({"format": "qdx-host-scene", "version": 1, )";

// Every prefix of a good file is refused with one line naming the file;
// the whole reads.
void EveryCutIsRefused(const std::string& text)
{
    const size_t end = text.rfind('}');
    for (size_t size = 0; size <= end; ++size) {
        HostScene scene;
        std::string error;
        EXPECT_FALSE(ReadHostScene(text.data(), size, "cut.json", scene, error)) << size;
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_EQ(error.rfind("cut.json: ", 0), 0u) << error;
    }
    HostScene scene;
    std::string error;
    EXPECT_TRUE(ReadHostScene(text.data(), end + 1, "whole.json", scene, error)) << error;
}

} // namespace

TEST(HostSceneFile, EveryKindOfItemDumpsAsTheGoldenTree)
{
    for (const char* name : {"every_kind", "geometry"}) {
        SCOPED_TRACE(name);
        HostScene scene;
        std::string error;
        ASSERT_TRUE(LoadHostSceneFile(DataDir() + name + ".json", scene, error)) << error;
        EXPECT_EQ(DumpHostScene(scene), ReadText(DataDir() + name + ".dump"));
    }
}

TEST(HostSceneFile, ItemsComeBackThroughTheHostClasses)
{
    HostScene scene;
    std::string error;
    ASSERT_TRUE(LoadHostSceneFile(DataDir() + "every_kind.json", scene, error)) << error;
    Interface ip(scene);
    INode* root = ip.GetRootNode();
    ASSERT_EQ(root->NumberOfChildren(), 13);
    INode* group = root->GetChildNode(0);
    EXPECT_TRUE(group->IsGroupHead());
    EXPECT_EQ(group->Selected(), 1);
    ASSERT_EQ(group->NumberOfChildren(), 2);
    INode* box1 = group->GetChildNode(0);
    INode* box2 = group->GetChildNode(1);
    EXPECT_STREQ(box1->GetName(), "Box01");
    EXPECT_STREQ(box2->GetName(), "Box01");
    EXPECT_EQ(box1->GetObjectRef(), box2->GetObjectRef());
    EXPECT_EQ(box2->IsHidden(), 1);
    EXPECT_EQ(box1->GetParentNode(), group);
    TSTR props;
    box1->GetUserPropBuffer(props);
    EXPECT_EQ(props, "CK_SetParamOnThis(\"Speed\", \"2.5\")\r\nMapChannel:2");
    EXPECT_EQ(box1->EvalWorldState(0).obj->SuperClassID(), GEOMOBJECT_CLASS_ID);
    EXPECT_EQ(box1->GetObjectTM(0).GetTrans(), Point3(10.0f, 20.0f, 20.0f));

    Mtl* multi = box1->GetMtl();
    EXPECT_EQ(multi->ClassID(), MULTI_CLASS_ID);
    ASSERT_EQ(multi->NumSubMtls(), 3);
    EXPECT_EQ(multi->GetSubMtl(0), box2->GetMtl());
    EXPECT_EQ(multi->GetSubMtl(1), nullptr);
    Mtl* wood = box2->GetMtl();
    EXPECT_EQ(wood->ClassID(), DMTL_CLASS_ID);
    CustAttrib* ca = wood->GetCustAttribContainer()->GetCustAttrib(0);
    EXPECT_STREQ(ca->GetName(), "Keltrane_Mat_Props");
    IParamBlock2* block = ca->GetParamBlock(0);
    Interval valid;
    int v = 0;
    EXPECT_TRUE(block->GetValue(1, 0, v, valid));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(block->GetValue(2, 0, v, valid));
    EXPECT_EQ(uint32_t(v), 0xFFFF8000u);
    EXPECT_TRUE(block->GetValue(3, 0, v, valid));
    EXPECT_EQ(v, 127);
    EXPECT_TRUE(block->GetValue(0, 0, v, valid));
    EXPECT_EQ(v, 1);
    EXPECT_FALSE(block->GetValue(4, 0, v, valid));
    EXPECT_FALSE(block->GetValue(9, 0, v, valid));
    EXPECT_EQ(v, 1);
    const char* text = nullptr;
    EXPECT_TRUE(block->GetValue(4, 0, text, valid));
    EXPECT_STREQ(text, "oak \"light\"");
    EXPECT_STREQ(block->GetDesc()->GetParamDef(4).int_name.c_str(), "note");

    INode* camera = root->GetChildNode(2);
    ASSERT_STREQ(camera->GetName(), "Camera01");
    EXPECT_STREQ(camera->GetTarget()->GetName(), "Camera01.Target");
    GenCamera* cam = static_cast<GenCamera*>(camera->EvalWorldState(0).obj);
    CameraState cs;
    cs.cbStruct = 40;
    EXPECT_EQ(cam->EvalCameraState(0, valid, &cs), 1);
    EXPECT_EQ(cs.cbStruct, 40u);
    EXPECT_EQ(cs.fov, 0.9f);
    EXPECT_EQ(cs.nearRange, 0.5f);
    EXPECT_EQ(cam->GetEnvRange(0, 0), 10.0f);
    EXPECT_EQ(cam->GetEnvRange(0, 1), 110.0f);
    // A targeted camera looks down its -Z at its target.
    const Matrix3 tm = camera->GetNodeTM(0);
    const Point3 toTarget = Normalize(camera->GetTarget()->GetNodeTM(0).GetTrans() - tm.GetTrans());
    EXPECT_NEAR(DotProd(toTarget, -tm.GetRow(2)), 1.0f, 1e-6f);

    INode* spot = root->GetChildNode(5);
    GenLight* light = static_cast<GenLight*>(spot->EvalWorldState(0).obj);
    LightState ls;
    EXPECT_EQ(light->EvalLightState(0, valid, &ls), 1);
    EXPECT_EQ(ls.type, SPOT_LGT);
    EXPECT_EQ(ls.attenEnd, 350.0f);
    EXPECT_FALSE(ls.affectSpecular);

    SplineShape* circle = static_cast<SplineShape*>(root->GetChildNode(10)->EvalWorldState(0).obj);
    ASSERT_EQ(circle->CanConvertToType(splineShapeClassID), 1);
    Object* copy = circle->ConvertToType(0, splineShapeClassID);
    ASSERT_NE(copy, circle);
    SplineShape* converted = static_cast<SplineShape*>(copy);
    EXPECT_TRUE(converted->IsTemporary());
    EXPECT_EQ(converted->shape.GetSpline(0)->GetRelOutVec(0), Point3(0.0f, 2.76f, 0.0f));
    EXPECT_EQ(converted->shape.GetSpline(0)->Closed(), 1);
    converted->DeleteMe();
    SplineShape* line = static_cast<SplineShape*>(root->GetChildNode(9)->EvalWorldState(0).obj);
    EXPECT_EQ(line->ConvertToType(0, splineShapeClassID), line);
    line->DeleteMe();
    EXPECT_EQ(line->shape.SplineCount(), 2);
    EXPECT_EQ(line->shape.GetSpline(0)->GetLineType(0), LTYPE_LINE);
    EXPECT_EQ(line->shape.GetSpline(0)->GetRelInVec(1), Point3(-2.0f, 0.0f, 0.0f));
    EXPECT_EQ(line->shape.GetSpline(2), nullptr);

    ASSERT_EQ(ip.NumAtmospheric(), 3);
    const StdFog* fog = dynamic_cast<const StdFog*>(ip.GetAtmospheric(2));
    ASSERT_NE(fog, nullptr);
    EXPECT_EQ(fog->GetParamBlock(0)->GetInt(FOG_EXPONENTIAL), 1);
    EXPECT_EQ(dynamic_cast<const StdFog*>(ip.GetAtmospheric(0)), nullptr);
    EXPECT_EQ(ip.GetNamedSelSetItem(1, 2), root->GetChildNode(8));
}

TEST(HostSceneFile, EveryMalformedSceneIsRefusedWithItsOwnMessage)
{
    const std::map<std::string, std::string> expected = {
        {"bad_class_id.json",
         "objects[0].classId[1]: \"12\" is not a hexadecimal number such as \"0x1F\" (at most 8 digits)"},
        {"cyclic_parent.json", "nodes[0].parent: the parents of node \"a\" make a loop"},
        {"derived_base_loop.json", "objects[1].base: the bases of object \"b\" make a loop"},
        {"map_face_index.json", "objects[0].maps[0].faces[0][2]: 2 is out of range 0 to 1"},
        {"mesh_face_index.json", "objects[0].faces[1][2]: 3 is out of range 0 to 2"},
        {"morph_keys_unsorted.json",
         "objects[1].modifiers[0].channels[0].weight.keys[1].time: key times must increase"},
        {"morph_target_size.json",
         "objects[1].modifiers[0].channels[0].target: expected 1 entries, one per point of the object, found 2"},
        {"normal_index.json", "objects[0].normals.faces[0][2]: 1 is out of range 0 to 0"},
        {"patch_index.json", "objects[0].patches[0].vectors[5]: 1 is out of range 0 to 0"},
        {"per_face_count.json", "objects[0].smoothingGroups: expected 0 entries, one per face, found 1"},
        {"skin_unknown_node.json", "objects[1].modifiers[0].bones[1].node: unknown id \"bone9\""},
        {"texmap_of_wrong_kind.json", "materials[0].maps.diffuse.texmap: \"m\" is a material, not a texture map"},
        {"vertex_not_finite.json", "objects[0].vertices[1][1]: not a finite number"},
        {"duplicate_id.json", "nodes[1].id: duplicate id \"box\" (already an object)"},
        {"duplicate_member.json", "nodes[0]: duplicate member \"name\""},
        {"id_of_wrong_kind.json", "nodes[0].object: \"m1\" is a material, not an object"},
        {"keys_out_of_order.json", "nodes[0].transform.position.keys[1].time: key times must increase"},
        {"look_at_loop.json", "nodes[0].target: node \"cam\" looks at a target that depends on it"},
        {"material_loop.json", "materials[0].subMaterials: material \"a\" contains itself"},
        {"nan_literal.json", "not a JSON text: parse error at line 2, column 72: syntax error while parsing value - "
                             "invalid literal; last read: '0, N'"},
        {"newer_version.json", "version: version 2 is newer than this program reads (1)"},
        {"not_a_scene.json", "format: \"gltf\" is not \"qdx-host-scene\""},
        {"not_finite.json", "nodes[0].transform.position[1]: number overflow parsing '1e999'"},
        {"out_of_range_enum.json", "objects[0].type: \"sun\" is not one of omni, spot, directional, ambient"},
        {"rotation_not_unit.json", "nodes[0].transform.rotation: a rotation must have length 1"},
        {"tension_out_of_range.json", "nodes[0].transform.position.keys[0].tension: 1.5 is out of range -1 to 1"},
        {"time_not_integer.json", "nodes[0].transform.position.keys[0].time: expected an integer, found a number"},
        {"too_deep.json", "nested deeper than 32 levels"},
        {"truncated.json", "not a JSON text: parse error at line 2, column 74: syntax error while parsing value - "
                           "unexpected end of input; expected '[', '{', or a literal"},
        {"unknown_material.json", "nodes[0].material: unknown id \"m2\""},
        {"unknown_member.json", "nodes[0]: unknown member \"userProperty\""},
        {"unknown_selection_node.json", "namedSelections[0].nodes[1]: unknown id \"n2\""},
        {"wrong_type.json", "nodes[0].hidden: expected true or false, found a string"},
    };
    const std::string folder = DataDir() + "bad/";
    DIR* dir = opendir(folder.c_str());
    ASSERT_NE(dir, nullptr);
    int files = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name[0] == '.')
            continue;
        ++files;
        SCOPED_TRACE(name);
        const auto found = expected.find(name);
        ASSERT_NE(found, expected.end()) << "no expected message for this file";
        // Through the command line: exit code 2 and the one line.
        const std::string path = folder + name;
        const char* argv[] = {"qdxexport", path.c_str(), "--dump-host"};
        char* outText = nullptr;
        char* errText = nullptr;
        size_t outSize = 0, errSize = 0;
        FILE* out = open_memstream(&outText, &outSize);
        FILE* err = open_memstream(&errText, &errSize);
        EXPECT_EQ(RunHostCommandLine(3, argv, {}, nullptr, out, err), 2);
        std::fclose(out);
        std::fclose(err);
        EXPECT_EQ(std::string(outText), "");
        EXPECT_EQ(std::string(errText), "qdxexport: " + path + ": " + found->second + "\n");
        std::free(outText);
        std::free(errText);
    }
    closedir(dir);
    EXPECT_EQ(files, int(expected.size()));
}

TEST(HostSceneFile, EveryCutOfAGoodFileIsRefused)
{
    for (const char* name : {"every_kind.json", "geometry.json"}) {
        SCOPED_TRACE(name);
        EveryCutIsRefused(ReadText(DataDir() + name));
    }
}

TEST(HostSceneFile, ChecksEveryFieldItReads)
{
    struct Case
    {
        const char* body;
        const char* error; // "" when the scene reads
    };
    const Case cases[] = {
        {R"("nodes": []})", ""},
        {R"("nodes": {}})", "nodes: expected an array, found an object"},
        {R"("nodes": [{"name": "A"}]})", "nodes[0]: missing member \"id\""},
        {R"("nodes": [{"id": "", "name": "A"}]})", "nodes[0].id: an id must not be empty"},
        {R"("nodes": [{"id": "a"}]})", "nodes[0]: missing member \"name\""},
        {R"("nodes": [3]})", "nodes[0]: expected an object, found a number"},
        {R"("nodes": [{"id": "a", "name": "A", "target": "a"}]})", "nodes[0].target: a node cannot be its own target"},
        {R"("nodes": [{"id": "a", "name": "A", "parent": "a"}]})",
         "nodes[0].parent: the parents of node \"a\" make a loop"},
        {R"("nodes": [{"id": "a", "name": "A", "transform": {"lookAt": {}}}]})",
         "nodes[0].transform.lookAt: a look-at transform needs the node's target"},
        {R"("nodes": [{"id": "a", "name": "A", "target": "b", "transform": {"lookAt": {}, "rotation": [0,0,0,1]}},
            {"id": "b", "name": "B"}]})",
         "nodes[0].transform.lookAt: a look-at transform has only a position and a roll"},
        {R"("nodes": [{"id": "a", "name": "A", "transform": {"position": {"interpolation": "tcb", "keys": []}}}]})",
         "nodes[0].transform.position.keys: a track needs at least one key"},
        {R"("nodes": [{"id": "a", "name": "A", "transform": {"position": {"interpolation": "cubic", "keys": []}}}]})",
         "nodes[0].transform.position.interpolation: \"cubic\" is not one of linear, bezier, tcb"},
        {R"("nodes": [{"id": "a", "name": "A", "transform": {"rotation": {"interpolation": "tcb", "keys": [
            {"time": 0, "value": [0, 0, 0, 1]}]}}}]})",
         "nodes[0].transform.rotation.keys[0].value: a TCB rotation key gives \"angle\" and \"axis\", not a value"},
        {R"("nodes": [{"id": "a", "name": "A", "transform": {"rotation": {"interpolation": "tcb", "keys": [
            {"time": 0, "angle": 1, "axis": [0, 0, 0]}]}}}]})",
         "nodes[0].transform.rotation.keys[0].axis: a rotation axis must not be zero"},
        {R"("nodes": [{"id": "a", "name": "A", "transform": {"rotation": {"interpolation": "bezier", "keys": [
            {"time": 0, "value": [0, 0, 0, 1], "out": [1, 0, 0]}]}}}]})",
         "nodes[0].transform.rotation.keys[0].out: Bezier rotation keys have no tangents"},
        {R"("nodes": [{"id": "a", "name": "A", "transform": {"position": {"interpolation": "tcb", "keys": [
            {"time": 0, "value": [0, 0, 0], "angle": 1}]}}}]})",
         "nodes[0].transform.position.keys[0].angle: only TCB rotation keys give an angle"},
        {R"("nodes": [{"id": "a", "name": "A", "transform": {"position": {"interpolation": "linear", "keys": [
            {"time": 0, "value": [0, 0, 0], "axis": [0, 0, 0, 1]}]}}}]})",
         "nodes[0].transform.position.keys[0].axis: only scale keys and TCB rotation keys give an axis"},
        {R"("nodes": [{"id": "a", "name": "A", "transform": {"position": {"interpolation": "bezier", "keys": [
            {"time": 0, "value": [0, 0, 0], "inType": "wobbly"}]}}}]})",
         "nodes[0].transform.position.keys[0].inType: \"wobbly\" is not one of smooth, linear, step, fast, slow, "
         "custom, flat"},
        {R"("nodes": [{"id": "a", "name": "A", "transform": {"position": {"interpolation": "linear", "keys": [
            {"time": 2147483648, "value": [0, 0, 0]}]}}}]})",
         "nodes[0].transform.position.keys[0].time: 2147483648 is out of range -2147483648 to 2147483647"},
        {R"("nodes": [{"id": "a", "name": "A", "transform": {"position": [0, 0]}}]})",
         "nodes[0].transform.position: expected an array of 3 numbers"},
        {R"("nodes": [{"id": "a", "name": "A", "transform": {"position": [0, 0, 1e39]}}]})",
         "nodes[0].transform.position[2]: not a finite number"},
        {R"("objects": [{"id": "o", "kind": "camera", "fov": 4}]})",
         "objects[0].fov: 4 is out of range 1e-06 to 3.14159"},
        {R"("objects": [{"id": "o", "kind": "light", "type": "omni", "targeted": true}]})",
         "objects[0].targeted: only spot and directional lights have a target"},
        {R"("objects": [{"id": "o", "kind": "geometry", "classId": ["0x", "0x0"]}]})",
         "objects[0].classId[0]: \"0x\" is not a hexadecimal number such as \"0x1F\" (at most 8 digits)"},
        {R"("objects": [{"id": "o", "kind": "geometry", "classId": ["0x123456789", "0x0"]}]})",
         "objects[0].classId[0]: \"0x123456789\" is not a hexadecimal number such as \"0x1F\" (at most 8 digits)"},
        {R"("objects": [{"id": "o", "kind": "geometry", "classId": ["0xFFFFFFFF", "0Xa"]}]})", ""},
        {R"("objects": [{"id": "o", "kind": "other", "classId": ["0x1", "0x2"]}]})",
         "objects[0]: missing member \"superClassId\""},
        {R"("objects": [{"id": "o", "kind": "shape", "splines": [{"knots": [{"point": [0, 0, 0], "type": "smooth"}]}]}]})",
         "objects[0].splines[0].knots[0].type: \"smooth\" is not one of auto, corner, bezier, bezierCorner"},
        {R"("objects": [{"id": "o", "kind": "geometry", "customAttributes": [{"name": "X", "blocks": [[
            {"id": 1, "name": "a", "type": "int", "value": 1}, {"id": 1, "name": "b", "type": "int", "value": 2}]]}]}]})",
         "objects[0].customAttributes[0].blocks[0][1].id: duplicate parameter id 1"},
        {R"("objects": [{"id": "o", "kind": "geometry", "customAttributes": [{"name": "X", "blocks": [[
            {"id": 1, "name": "a", "type": "int", "value": 1}, {"id": 2, "name": "a", "type": "int", "value": 2}]]}]}]})",
         "objects[0].customAttributes[0].blocks[0][1].name: duplicate parameter name \"a\""},
        {R"("objects": [{"id": "o", "kind": "geometry", "customAttributes": [{"name": "X", "blocks": [[
            {"id": 1, "name": "a", "type": "int", "value": 1.5}]]}]}]})",
         "objects[0].customAttributes[0].blocks[0][0].value: expected an integer, found a number"},
        {R"("objects": [{"id": "o", "kind": "geometry", "customAttributes": [{"name": "X", "blocks": [[
            {"id": 40000, "name": "a", "type": "int", "value": 1}]]}]}]})",
         "objects[0].customAttributes[0].blocks[0][0].id: 40000 is out of range 0 to 32767"},
        {R"("materials": [{"id": "m", "subMaterials": ["m"]}]})",
         "materials[0].subMaterials: material \"m\" contains itself"},
        {R"("materials": [{"id": "m", "kind": "wood"}]})",
         "materials[0].kind: \"wood\" is not one of standard, multi, shell"},
        {R"("scene": {"animation": {"start": 10, "end": 0}}})",
         "scene.animation.end: the animation ends before it starts"},
        {R"("scene": {"animation": {"ticksPerFrame": 0}}})",
         "scene.animation.ticksPerFrame: 0 is out of range 1 to 4800"},
        {R"("scene": {"units": {"type": "parsecs"}}})", "scene.units.type: \"parsecs\" is not one of inches, feet, "
                                                        "miles, millimeters, centimeters, meters, kilometers"},
        {R"("scene": {"units": {"scale": 0}}})", "scene.units.scale: 0 is out of range 1e-30 to 1e+30"},
        {R"("scene": {"environment": {"atmospherics": [{"kind": "fog", "near": 2}]}}})",
         "scene.environment.atmospherics[0].near: 2 is out of range 0 to 1"},
        {R"("scene": {"environment": {"atmospherics": [{"kind": "other", "classId": ["0x10000001", "0x0"]}]}}})",
         "scene.environment.atmospherics[0].classId: the standard fog is given with kind \"fog\""},
        {R"("scene": {"mapDirs": [1]}})", "scene.mapDirs[0]: expected a string, found a number"},
        {R"("namedSelections": [{"name": "", "nodes": []}]})",
         "namedSelections[0].name: a named selection needs a name"},
        {R"("namedSelections": [{"name": "S", "nodes": ["a", "a"]}], "nodes": [{"id": "a", "name": "A"}]})",
         "namedSelections[0].nodes[1]: node \"a\" is already in the set"},
        {R"("extra": 1})", "unknown member \"extra\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        const std::string error = ErrorOf(kHead + c.body);
        EXPECT_EQ(error, *c.error ? std::string("s.json: ") + c.error : std::string());
    }
    EXPECT_EQ(ErrorOf("[]"), "s.json: expected an object, found an array");
    EXPECT_EQ(ErrorOf(R"({"format": "qdx-host-scene"})"), "s.json: missing member \"version\"");
}

TEST(HostSceneFile, OmittedFieldsTakeTheirDefaults)
{
    HostScene scene;
    std::string error;
    const std::string text = kHead + R"("objects": [{"id": "c", "kind": "camera"}, {"id": "l", "kind": "light"},
        {"id": "s", "kind": "shape", "splines": [{"knots": [{"point": [1, 2, 3]}]}]}],
        "nodes": [{"id": "a", "name": "A", "object": "c"}]})";
    ASSERT_TRUE(ReadHostScene(text.data(), text.size(), "s.json", scene, error)) << error;
    const HostSceneSettings& s = scene.Settings();
    EXPECT_EQ(s.animStart, 0);
    EXPECT_EQ(s.animEnd, 16000);
    EXPECT_EQ(s.ticksPerFrame, 160);
    EXPECT_EQ(s.unitType, 0);
    EXPECT_EQ(s.unitScale, 1.0f);
    EXPECT_EQ(s.lightTint, Color(1.0f, 1.0f, 1.0f));
    INode* a = scene.GetRootNode()->GetChildNode(0);
    EXPECT_EQ(a->Selected(), 0);
    EXPECT_EQ(a->IsHidden(), 0);
    EXPECT_TRUE(a->GetNodeTM(0).IsIdentity());
    EXPECT_EQ(a->GetTMController()->ClassID(), PRS_CONTROL_CLASS_ID);
    const GenCamera* c = static_cast<const GenCamera*>(a->GetObjectRef());
    EXPECT_FALSE(c->IsTargeted());
    EXPECT_EQ(c->State().fov, 0.7853982f);
    EXPECT_EQ(c->State().farRange, 1000.0f);
    const GenLight* l = dynamic_cast<const GenLight*>(scene.Items()[1].get());
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->Type(), OMNI_LGT);
    EXPECT_EQ(l->State().attenEnd, 200.0f);
    EXPECT_TRUE(l->State().on);
    const SplineShape* shape = dynamic_cast<const SplineShape*>(scene.Items()[2].get());
    ASSERT_NE(shape, nullptr);
    EXPECT_EQ(shape->shape.GetSpline(0)->GetKnotType(0), KTYPE_CORNER);
    EXPECT_EQ(shape->shape.GetSpline(0)->Closed(), 0);
}

TEST(HostSceneFile, ChildrenFollowTheFileOrderWhereverTheirParentsStand)
{
    HostScene scene;
    std::string error;
    const std::string text = kHead + R"("nodes": [{"id": "c1", "name": "C1", "parent": "p"},
        {"id": "p", "name": "P"}, {"id": "c2", "name": "C2", "parent": "p"}, {"id": "r", "name": "R"}]})";
    ASSERT_TRUE(ReadHostScene(text.data(), text.size(), "s.json", scene, error)) << error;
    INode* root = scene.GetRootNode();
    ASSERT_EQ(root->NumberOfChildren(), 2);
    INode* p = root->GetChildNode(0);
    EXPECT_STREQ(p->GetName(), "P");
    ASSERT_EQ(p->NumberOfChildren(), 2);
    EXPECT_STREQ(p->GetChildNode(0)->GetName(), "C1");
    EXPECT_STREQ(p->GetChildNode(1)->GetName(), "C2");
    EXPECT_STREQ(root->GetChildNode(1)->GetName(), "R");
}

TEST(HostSceneFile, AMissingFileIsNamed)
{
    HostScene scene;
    std::string error;
    EXPECT_FALSE(LoadHostSceneFile(DataDir() + "none.json", scene, error));
    EXPECT_EQ(error, DataDir() + "none.json: cannot be opened");
}

TEST(HostSceneFile, LongChainsOfNodesAndMaterialsNeedNoDeepStack)
{
    // Each node the child of the one before, each material holding the next:
    // reading, evaluating and dumping walk them without recursion.
    const int count = 5000;
    std::string text = kHead + R"("materials": [)";
    for (int i = 0; i < count; ++i)
        text += (i ? "," : "") + std::string(R"({"id": "m)") + std::to_string(i) + R"(", "kind": "multi")" +
                (i + 1 < count ? R"(, "subMaterials": ["m)" + std::to_string(i + 1) + "\"]" : std::string()) + "}";
    text += R"(], "nodes": [)";
    for (int i = 0; i < count; ++i)
        text += (i ? "," : "") + std::string(R"({"id": "n)") + std::to_string(i) +
                R"(", "name": "N", "material": "m0")" +
                (i ? R"(, "parent": "n)" + std::to_string(i - 1) + "\"" : std::string()) +
                R"(, "transform": {"position": [1, 0, 0]}})";
    text += "]}";
    HostScene scene;
    std::string error;
    ASSERT_TRUE(ReadHostScene(text.data(), text.size(), "s.json", scene, error)) << error;
    EXPECT_EQ(scene.Nodes().back()->GetNodeTM(0).GetTrans(), Point3(float(count), 0.0f, 0.0f));
    const std::string dump = DumpHostScene(scene);
    EXPECT_NE(dump.find("world at 0: [1 0 0] [0 1 0] [0 0 1] [5000 0 0]"), std::string::npos);
    // The same chain closed into a loop is refused.
    const size_t last = text.rfind(R"({"id": "m)" + std::to_string(count - 1) + R"(", "kind": "multi")");
    std::string loop = text;
    loop.insert(last + std::string(R"({"id": "m4999", "kind": "multi")").size(), R"(, "subMaterials": ["m0"])");
    EXPECT_EQ(ErrorOf(loop), "s.json: materials[0].subMaterials: material \"m0\" contains itself");
}

TEST(HostSceneFile, EveryIndexAndRangeTakesItsBoundsAndRefusesOnePast)
{
    // Each body holds one value, written as %: the scene reads with each
    // bound and is refused one past either, naming the place and the range.
    struct Case
    {
        const char* body;
        int64_t low, high;
        const char* place;
    };
    const std::string tri = R"("id": "m", "kind": "mesh", "vertices": [[0, 0, 0], [1, 0, 0], [0, 1, 0]],
        "faces": [[0, 1, 2]])";
    const std::string patch = R"("id": "p", "kind": "patch", "vertices": [[0, 0, 0], [1, 0, 0], [0, 1, 0]],
        "vectors": [[0, 0, 0], [1, 1, 1]])";
    const std::string triPatch = patch + R"(, "patches": [{"type": "tri", )";
    const std::string whole = R"("corners": [0, 1, 2], "vectors": [0, 1, 0, 1, 0, 1], "interior": [0, 0, 0]}])";
    const std::string patches[] = {
        R"({"objects": [{)" + triPatch +
            R"("corners": [0, 1, 2], "vectors": [0, 1, 0, 1, 0, %], "interior": [0, 0, 1]}]}]})",
        R"({"objects": [{)" + triPatch +
            R"("corners": [0, 1, 2], "vectors": [0, 1, 0, 1, 0, 1], "interior": [%, 0, 0]}]}]})",
        R"({"objects": [{)" + triPatch +
            R"("corners": [0, 1, %], "vectors": [0, 1, 0, 1, 0, 1], "interior": [0, 0, 0]}]}]})",
        R"({"objects": [{)" + triPatch + whole + R"(,
            "maps": [{"channel": %, "vertices": [[0, 0]], "patches": [[0, 0, 0]]}]}]})",
        R"({"objects": [{)" + triPatch + whole + R"(,
            "maps": [{"channel": 1, "vertices": [[0, 0], [1, 1]], "patches": [[0, %, 0]]}]}]})",
        R"({"objects": [{)" + patch + R"(, "steps": %}]})",
    };
    const std::string meshes[] = {
        R"({"objects": [{)" + tri + R"(, "maps": [{"channel": %, "vertices": [[0, 0]], "faces": [[0, 0, 0]]}]}]})",
        R"({"objects": [{)" + tri +
            R"(, "maps": [{"channel": 1, "vertices": [[0, 0], [1, 1]], "faces": [[0, %, 0]]}]}]})",
        R"({"objects": [{)" + tri + R"(, "normals": {"normals": [[0, 0, 1], [0, 1, 0]], "faces": [[%, 0, 0]]}}]})",
        R"({"objects": [{)" + tri + R"(, "materialIds": [%]}]})",
        R"({"objects": [{)" + tri + R"(, "edgeVisibility": [%]}]})",
        R"({"objects": [{"id": "m", "kind": "mesh", "vertices": [[0, 0, 0], [1, 0, 0], [0, 1, 0]], "faces": [[%, 1, 2]]}]})",
        R"({"texmaps": [{"id": "t", "mapChannel": %}]})",
    };
    const Case cases[] = {
        {patches[0].c_str(), 0, 1, "objects[0].patches[0].vectors[5]"},
        {patches[1].c_str(), 0, 1, "objects[0].patches[0].interior[0]"},
        {patches[2].c_str(), 0, 2, "objects[0].patches[0].corners[2]"},
        {patches[3].c_str(), -2, 99, "objects[0].maps[0].channel"},
        {patches[4].c_str(), 0, 1, "objects[0].maps[0].patches[0][1]"},
        {patches[5].c_str(), 0, 100, "objects[0].steps"},
        {meshes[0].c_str(), -2, 99, "objects[0].maps[0].channel"},
        {meshes[1].c_str(), 0, 1, "objects[0].maps[0].faces[0][1]"},
        {meshes[2].c_str(), 0, 1, "objects[0].normals.faces[0][0]"},
        {meshes[3].c_str(), 0, 0xFFFF, "objects[0].materialIds[0]"},
        {meshes[4].c_str(), 0, 7, "objects[0].edgeVisibility[0]"},
        {meshes[5].c_str(), 0, 2, "objects[0].faces[0][0]"},
        {meshes[6].c_str(), 1, 99, "texmaps[0].mapChannel"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        const auto with = [&](int64_t value) {
            std::string text = kHead + (c.body + 1);
            text.replace(text.find('%'), 1, std::to_string(value));
            return ErrorOf(text);
        };
        EXPECT_EQ(with(c.low), "");
        EXPECT_EQ(with(c.high), "");
        for (const int64_t past : {c.low - 1, c.high + 1})
            EXPECT_EQ(with(past), "s.json: " + std::string(c.place) + ": " + std::to_string(past) +
                                      " is out of range " + std::to_string(c.low) + " to " + std::to_string(c.high));
    }
}
