#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/attribute/CKAttributeManager.h"
#include "core/context/CKContext.h"
#include "core/object/CKObjectIDList.h"
#include "core/parameter/CKParameter.h"
#include "lod/LODOptions.h"
#include "render/objects/CK3dObject.h"
#include "tests/exporter/postpass/PostPassTestSupport.h"

TEST(IsNamedLOD, MatchesTheBaseNameLessSuffixDigitsAndOneJoin)
{
    const struct
    {
        const char* base;
        const char* candidate;
        bool match;
    } cases[] = {
        {"Tree_Mesh", "TreeLOD1_Mesh", true},  {"Tree_Mesh", "TreeLOD2", true},        {"Tree_Mesh", "LOD2_Tree", true},
        {"Tree_Mesh", "Tree_LOD3_Mesh", true}, {"Tree_Mesh", "TreeLOD0_Mesh", false},  // the digit gives 0
        {"Tree_Mesh", "TreeLOD", false},                                               // no digit
        {"Tree_Mesh", "TreeLODx_Mesh", false}, {"Box_Mesh", "BigBoxLOD1_Mesh", false}, // more than the base
        {"Tree_Mesh", "Tree_Mesh", false},     {"Tree_Mesh", "OakLOD1_Mesh", false},   {"Tree", "TreeLOD1", true},
        {"Tree_Mesh", "Tree__LOD1", false}, // one "_" only
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExportBuilder::IsNamedLOD("LOD", 1, c.base, c.candidate) != 0, c.match)
            << c.base << " / " << c.candidate;
    EXPECT_FALSE(ExportBuilder::IsNamedLOD("LOD", 0, "Tree_Mesh", "TreeLOD1_Mesh"));
    EXPECT_FALSE(ExportBuilder::IsNamedLOD(nullptr, 1, "Tree_Mesh", "TreeLOD1_Mesh"));
    EXPECT_TRUE(ExportBuilder::IsNamedLOD("LOD", 2, "Tree_Mesh", "TreeLOD12_Mesh"));
    EXPECT_FALSE(ExportBuilder::IsNamedLOD("LOD", 2, "Tree_Mesh", "TreeLOD1_Mesh"));
}

using NamedLevelsOfDetail = PostPassTest;

TEST_F(NamedLevelsOfDetail, LevelsJoinTheBaseEntitiesWhichGetTheAttribute)
{
    CKMesh* tree = MakeStrip("Tree_Mesh", 2, {});
    CKMesh* lod = MakeStrip("TreeLOD1_Mesh", 1, {});
    CKMesh* box = MakeStrip("Box_Mesh", 1, {});
    CKMesh* bigBox = MakeStrip("BigBoxLOD1_Mesh", 1, {});
    CK3dObject* shown = m_Builder->CreateObject3D("Tree", 0x100);
    shown->SetCurrentMesh(tree, TRUE);
    CK3dObject* lodOnly = m_Builder->CreateObject3D("TreeLOD1", 0x200);
    lodOnly->SetCurrentMesh(lod, TRUE);
    CK3dObject* lodOnlyToo = m_Builder->CreateObject3D("TreeLOD1b", 0x300);
    lodOnlyToo->SetCurrentMesh(lod, TRUE);
    CK3dObject* boxes = m_Builder->CreateObject3D("Box", 0x400);
    boxes->SetCurrentMesh(box, TRUE);
    CK3dObject* bigBoxes = m_Builder->CreateObject3D("BigBoxLOD1", 0x500);
    bigBoxes->SetCurrentMesh(bigBox, TRUE);
    CKObjectIDList saved;
    m_Builder->FinishObjects(&saved, FALSE, FALSE);
    const CK_ID lodOnlyId = lodOnly->GetID(), lodOnlyTooId = lodOnlyToo->GetID();

    EXPECT_EQ(m_Builder->FindNamedLODGlobal("LOD", 1), 1);

    EXPECT_EQ(m_Context->GetObject(lodOnlyId), nullptr) << "the entities that showed only the level went";
    EXPECT_EQ(m_Context->GetObject(lodOnlyTooId), nullptr);
    EXPECT_FALSE(BuilderNames(lodOnly, lodOnlyId));
    EXPECT_FALSE(BuilderNames(lodOnlyToo, lodOnlyTooId));
    ASSERT_EQ(shown->GetMeshCount(), 2);
    EXPECT_EQ(shown->GetCurrentMesh(), tree);
    EXPECT_EQ(shown->GetMesh(1), lod);
    EXPECT_EQ(bigBoxes->GetMeshCount(), 1) << "BigBox is no level of Box";
    EXPECT_EQ(boxes->GetMeshCount(), 1);

    const int type = m_Context->GetAttributeManager()->GetAttributeTypeByName("LOD Object");
    ASSERT_GE(type, 0);
    EXPECT_FALSE(boxes->HasAttribute(type));
    CKParameter* parameter = shown->GetAttributeParameter(type);
    ASSERT_NE(parameter, nullptr);
    LODOptions options;
    ASSERT_EQ(parameter->GetDataSize(), (int) sizeof options);
    parameter->GetValue(&options);
    const LODOptions defaults;
    EXPECT_EQ(options.Flags, (CKDWORD) LOD_MULTIPLEMESHES);
    EXPECT_EQ(options.ScreenMag, defaults.ScreenMag);
    EXPECT_EQ(options.ScreenMin, defaults.ScreenMin);
    EXPECT_EQ(options.FaceMag, defaults.FaceMag);
    EXPECT_EQ(options.FaceMin, defaults.FaceMin);
    EXPECT_EQ(options.ScreenAlphaMag, defaults.ScreenAlphaMag);
    EXPECT_EQ(options.ScreenAlphaMin, defaults.ScreenAlphaMin);

    EXPECT_NE(m_Log.m_Text.find("Found LOD suffix: p=Tree_Mesh, cur=TreeLOD1_Mesh\n"), std::string::npos);
    EXPECT_NE(m_Log.m_Text.find("Removing Unused 3DEntities: TreeLOD1, TreeLOD1b, \b\b.\n"), std::string::npos);
    EXPECT_NE(m_Log.m_Text.find("Adding LOD Mesh to 3DEntities: Tree, \b\b.\n"), std::string::npos) << m_Log.m_Text;
}

namespace {

// The pass as first written, every pair of meshes compared and logged, on a
// plain model of the scene: meshes by name, entities by their mesh lists.
struct LodModel
{
    struct Entity
    {
        std::vector<int> meshes;
        int current = -1;
        bool attribute = false;
        bool destroyed = false;
    };
    std::vector<std::string> names;
    std::vector<Entity> entities;
    std::string log;

    int Run(const char* suffix, int digits)
    {
        log = "FindNamedLODGlobal\n";
        int total = 0;
        for (size_t b = 0; b < names.size(); ++b) {
            log += "FindNamedLOD " + names[b] + "\n";
            for (size_t c = 0; c < names.size(); ++c) {
                if (c == b)
                    continue;
                if (!ExportBuilder::IsNamedLOD(suffix, digits, names[b].c_str(), names[c].c_str())) {
                    log += "Suffix Not Found: p=" + names[b] + ", cur=" + names[c] + "\n";
                    continue;
                }
                ++total;
                log += "Found LOD suffix: p=" + names[b] + ", cur=" + names[c] + "\n";
                log += "Removing Unused 3DEntities: ";
                for (size_t e = 0; e < entities.size(); ++e) {
                    Entity& entity = entities[e];
                    if (entity.destroyed)
                        continue;
                    const auto at = std::find(entity.meshes.begin(), entity.meshes.end(), (int) c);
                    if (at == entity.meshes.end())
                        continue;
                    entity.meshes.erase(at);
                    if (entity.current == (int) c)
                        entity.current = entity.meshes.empty() ? -1 : entity.meshes[0];
                    if (entity.meshes.empty()) {
                        entity.destroyed = true;
                        log += "E" + std::to_string(e) + ", ";
                    }
                }
                log += "\b\b.\nAdding LOD Mesh to 3DEntities: ";
                for (size_t e = 0; e < entities.size(); ++e) {
                    Entity& entity = entities[e];
                    if (entity.destroyed ||
                        std::find(entity.meshes.begin(), entity.meshes.end(), (int) b) == entity.meshes.end())
                        continue;
                    if (std::find(entity.meshes.begin(), entity.meshes.end(), (int) c) == entity.meshes.end())
                        entity.meshes.push_back((int) c);
                    entity.attribute = true;
                    log += "E" + std::to_string(e) + ", ";
                }
                log += "\b\b.\n";
            }
        }
        return total;
    }
};

// The log without its "Suffix Not Found" lines.
std::string FoundLines(const std::string& log)
{
    std::string kept;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        end = end == std::string::npos ? log.size() : end + 1;
        if (log.compare(start, 17, "Suffix Not Found:") != 0)
            kept.append(log, start, end - start);
        start = end;
    }
    return kept;
}

size_t LineCount(const std::string& text)
{
    return (size_t) std::count(text.begin(), text.end(), '\n');
}

} // namespace

// Differential: on random names (bases, levels before, inside and after the
// base's name, joined by "_" or not, digits 0 and letters, "_Mesh" anywhere)
// the pass makes what the pairwise pass makes, in the same order: the same
// levels, mesh lists, current meshes, attributes and destroyed entities, and
// the same log but for the pairs that cannot match.
TEST_F(NamedLevelsOfDetail, LevelsEqualThoseOfThePairwisePassOnRandomNames)
{
    const char* const tokens[] = {"A", "B", "Tree", "_", "LOD", "1", "2", "0", "x", "_Mesh", "LOD1", "_LOD2"};
    const struct
    {
        unsigned seed;
        const char* suffix;
        int digits;
    } runs[] = {{1, "LOD", 1}, {2, "LOD", 1}, {3, "LOD", 1}, {4, "LOD", 1}, {5, "LOD", 2}, {6, "D1", 1}};
    for (const auto& run : runs) {
        SCOPED_TRACE(testing::Message() << "seed " << run.seed << " suffix " << run.suffix << run.digits);
        TearDown();
        SetUp();
        std::mt19937 random(run.seed);
        auto pick = [&](size_t n) { return (size_t) (random() % n); };
        LodModel model;
        std::vector<CKMesh*> meshes;
        for (int m = 0; m < 60; ++m) {
            std::string name;
            if (!model.names.empty() && pick(2) == 0) {
                // A level of an earlier name: the suffix and a digit put in
                // somewhere, with a "_" or not.
                name = model.names[pick(model.names.size())];
                std::string level = pick(3) == 0 ? "_" : "";
                level += run.suffix;
                for (int d = 0; d < run.digits; ++d)
                    level += (char) ('0' + pick(4));
                level += pick(3) == 0 ? "_" : "";
                name.insert(pick(name.size() + 1), level);
            } else {
                for (size_t t = 0, n = 1 + pick(4); t < n; ++t)
                    name += tokens[pick(std::size(tokens))];
            }
            model.names.push_back(name);
            meshes.push_back(MakeStrip(name.c_str(), 1, {}));
        }
        std::vector<CK3dObject*> entities;
        for (int e = 0; e < 80; ++e) {
            CK3dObject* entity = m_Builder->CreateObject3D(("E" + std::to_string(e)).c_str(), 0x10000 + e);
            LodModel::Entity shown;
            for (size_t k = 0, n = pick(4); k < n; ++k) {
                const int m = (int) pick(meshes.size());
                if (std::find(shown.meshes.begin(), shown.meshes.end(), m) != shown.meshes.end())
                    continue;
                if (shown.meshes.empty()) {
                    entity->SetCurrentMesh(meshes[(size_t) m], TRUE);
                    shown.current = m;
                } else {
                    entity->AddMesh(meshes[(size_t) m]);
                }
                shown.meshes.push_back(m);
            }
            entities.push_back(entity);
            model.entities.push_back(shown);
        }
        // The model takes meshes and entities in the order made, which is
        // the context's.
        std::vector<CK_ID> ids;
        for (CK3dObject* entity : entities)
            ids.push_back(entity->GetID());
        m_Log.m_Text.clear();

        const int expected = model.Run(run.suffix, run.digits);
        EXPECT_EQ(m_Builder->FindNamedLODGlobal(run.suffix, run.digits), expected);
        EXPECT_GT(expected, 3) << "the names should make some levels";

        const int type = m_Context->GetAttributeManager()->GetAttributeTypeByName("LOD Object");
        for (size_t e = 0; e < entities.size(); ++e) {
            SCOPED_TRACE(testing::Message() << "entity " << e);
            const LodModel::Entity& want = model.entities[e];
            CKObject* object = m_Context->GetObject(ids[e]);
            ASSERT_EQ(object == nullptr, want.destroyed);
            if (want.destroyed)
                continue;
            auto* entity = static_cast<CK3dEntity*>(object);
            std::vector<int> shown;
            for (int m = 0; m < entity->GetMeshCount(); ++m)
                shown.push_back((int) (std::find(meshes.begin(), meshes.end(), entity->GetMesh(m)) - meshes.begin()));
            EXPECT_EQ(shown, want.meshes);
            EXPECT_EQ(entity->GetCurrentMesh(), want.current < 0 ? nullptr : meshes[(size_t) want.current]);
            EXPECT_EQ(type >= 0 && entity->HasAttribute(type), want.attribute);
        }
        EXPECT_EQ(FoundLines(m_Log.m_Text), FoundLines(model.log));
        EXPECT_LT(LineCount(m_Log.m_Text), LineCount(model.log)) << "pairs that cannot match are not logged";
    }
}

// The log names the pairs that could match only, so it grows with the
// scene: ten times the meshes give ten times the lines.
TEST_F(NamedLevelsOfDetail, TheLogGrowsWithTheScene)
{
    size_t lines[2] = {};
    const int sizes[2] = {30, 300};
    for (int run = 0; run < 2; ++run) {
        TearDown();
        SetUp();
        for (int i = 0; i < sizes[run]; ++i) {
            const std::string name = "Obj" + std::to_string(i);
            CK3dObject* entity = m_Builder->CreateObject3D(name.c_str(), 0x10000 + 3 * i);
            entity->SetCurrentMesh(MakeStrip((name + "_Mesh").c_str(), 1, {}), TRUE);
            CK3dObject* level = m_Builder->CreateObject3D((name + "LOD1").c_str(), 0x10001 + 3 * i);
            level->SetCurrentMesh(MakeStrip((name + "LOD1_Mesh").c_str(), 1, {}), TRUE);
            // A near miss: logged as such.
            CK3dObject* miss = m_Builder->CreateObject3D((name + "LOD0").c_str(), 0x10002 + 3 * i);
            miss->SetCurrentMesh(MakeStrip((name + "LOD0_Mesh").c_str(), 1, {}), TRUE);
        }
        m_Log.m_Text.clear();
        EXPECT_EQ(m_Builder->FindNamedLODGlobal("LOD", 1), sizes[run]);
        lines[run] = LineCount(m_Log.m_Text);
        const std::string miss = "Suffix Not Found: p=Obj7_Mesh, cur=Obj7LOD0_Mesh\n";
        EXPECT_NE(m_Log.m_Text.find(miss), std::string::npos);
    }
    // One header line, and per base its line, its level's three and its
    // near miss's one; the levels' own bases find nothing.
    EXPECT_EQ(lines[0], 1u + 30u * (1 + 3 + 1) + 2u * 30u);
    EXPECT_EQ(lines[1] - 1, 10 * (lines[0] - 1));
}

// Without a suffix or digits no name can be a level: nothing is made and no
// pair is named.
TEST_F(NamedLevelsOfDetail, NoSuffixOrNoDigitsNamesNoPair)
{
    CK3dObject* tree = m_Builder->CreateObject3D("Tree", 0x100);
    tree->SetCurrentMesh(MakeStrip("Tree_Mesh", 1, {}), TRUE);
    CK3dObject* level = m_Builder->CreateObject3D("TreeLOD1", 0x200);
    level->SetCurrentMesh(MakeStrip("TreeLOD1_Mesh", 1, {}), TRUE);
    MakeStrip("TreeLOD_Mesh", 1, {});
    const struct
    {
        const char* suffix;
        int digits;
    } cases[] = {{"LOD", 0}, {"LOD", -1}, {"", 1}, {nullptr, 1}};
    for (const auto& c : cases) {
        m_Log.m_Text.clear();
        EXPECT_EQ(m_Builder->FindNamedLODGlobal(c.suffix, c.digits), 0);
        EXPECT_EQ(m_Log.m_Text, "FindNamedLODGlobal\nFindNamedLOD Tree_Mesh\nFindNamedLOD TreeLOD1_Mesh\n"
                                "FindNamedLOD TreeLOD_Mesh\n");
        EXPECT_EQ(level->GetMeshCount(), 1);
    }
}
