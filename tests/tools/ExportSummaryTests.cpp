#include <string>

#include <gtest/gtest.h>

#include "platform/host/HostScene.h"
#include "platform/host/HostSceneFile.h"
#include "platform/host/Interface.h"
#include "tools/info/ExportSummary.h"

// One line names every loss, in one order, with its count in words that
// agree with it; nothing lost, no line.
TEST(ExportSummary, TheClosingLineNamesEveryLoss)
{
    const struct
    {
        ExportLosses losses;
        const char* line;
    } rows[] = {
        {{}, ""},
        {{1, 0, 0, false, false}, "qdxexport: saved with 1 warning\n"},
        {{2, 0, 0, false, false}, "qdxexport: saved with 2 warnings\n"},
        {{0, 1, 0, false, false}, "qdxexport: saved with 1 error\n"},
        {{0, 3, 0, false, false}, "qdxexport: saved with 3 errors\n"},
        {{0, 0, 1, false, false}, "qdxexport: saved with 1 bitmap not found\n"},
        {{0, 0, 4, false, false}, "qdxexport: saved with 4 bitmaps not found\n"},
        {{0, 0, 0, true, false}, "qdxexport: saved with nothing exported\n"},
        {{0, 0, 0, false, true}, "qdxexport: saved with the scene's animation left out (exportAnimation is off)\n"},
        {{0, 0, 0, false, false, 1}, "qdxexport: saved with 1 import warning\n"},
        {{0, 0, 0, false, false, 2}, "qdxexport: saved with 2 import warnings\n"},
        {{5, 1, 2, true, true},
         "qdxexport: saved with 5 warnings, 1 error, 2 bitmaps not found, nothing exported, "
         "the scene's animation left out (exportAnimation is off)\n"},
        // The import's warnings come after the report's.
        {{0, 1, 1, false, false, 3}, "qdxexport: saved with 1 error, 3 import warnings, 1 bitmap not found\n"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ExportClosingLine(row.losses), row.line);
}

namespace {

// Whether the scene of the nodes (JSON) animates over 0 .. 1600.
bool Animates(const std::string& nodes, bool onlySelected = false, const std::string& objects = "")
{
    const std::string text =
        R"({"format": "qdx-host-scene", "version": 1, "scene": {"animation": {"start": 0, "end": 1600}},
            "objects": [{"id": "box", "kind": "geometry"})" +
        objects + R"(], "nodes": [)" + nodes + "]}";
    HostScene scene;
    std::string error;
    EXPECT_TRUE(ReadHostScene(text.data(), text.size(), "scene.json", scene, error)) << error;
    Interface ip(scene);
    ip.SetEcho(false);
    return SceneAnimates(scene.GetRootNode(), 0, 1600, onlySelected);
}

std::string Keys(int first, int last)
{
    return R"({"interpolation": "linear", "keys": [{"time": )" + std::to_string(first) + R"(, "value": [0, 0, 0]},
              {"time": )" +
           std::to_string(last) + R"(, "value": [1, 0, 0]}]})";
}

} // namespace

// A node moves or deforms within the range, by the validity the host gives
// its transform and its evaluated object; a parent's move moves its
// children, keys outside the range move nothing in it.
TEST(ExportSummary, TheSceneAnimatesWhenANodeChangesWithinTheRange)
{
    const std::string still = R"({"id": "a", "name": "A", "object": "box", "transform": {"position": [1, 2, 3]}})";
    EXPECT_FALSE(Animates(""));
    EXPECT_FALSE(Animates(still));
    EXPECT_TRUE(Animates(still + R"(, {"id": "m", "name": "M", "object": "box", "transform": {"position": )" +
                         Keys(0, 1600) + "}}"));
    EXPECT_TRUE(
        Animates(R"({"id": "m", "name": "M", "object": "box", "transform": {"position": )" + Keys(800, 4800) + "}}"));
    EXPECT_FALSE(
        Animates(R"({"id": "m", "name": "M", "object": "box", "transform": {"position": )" + Keys(3200, 4800) + "}}"));
    // Keys that end where the range starts, or start where it ends, move
    // nothing within it; one frame more does.
    const struct
    {
        int first, last;
        bool animates;
    } edges[] = {{-1600, 0, false}, {1600, 3200, false}, {-1600, 1, true}, {1599, 3200, true}};
    for (const auto& e : edges)
        EXPECT_EQ(Animates(R"({"id": "m", "name": "M", "object": "box", "transform": {"position": )" +
                           Keys(e.first, e.last) + "}}"),
                  e.animates)
            << e.first << " " << e.last;
    // A moving parent, a still child: both move, the child is selected.
    const std::string family = R"({"id": "p", "name": "P", "object": "box", "transform": {"position": )" +
                               Keys(0, 1600) + R"(}}, {"id": "c", "name": "C", "object": "box", "parent": "p",
                               "selected": true})";
    EXPECT_TRUE(Animates(family, true));
    // Only the still node is selected.
    EXPECT_FALSE(Animates(R"({"id": "m", "name": "M", "object": "box", "transform": {"position": )" + Keys(0, 1600) +
                              R"(}}, {"id": "a", "name": "A", "object": "box", "selected": true})",
                          true));
    // A deformation: the vertex animation of a mesh.
    const std::string wave = R"(, {"id": "quad", "kind": "mesh", "vertices": [[0, 0, 0], [1, 0, 0], [1, 1, 0]],
        "faces": [[0, 1, 2]]}, {"id": "wave", "kind": "derived", "base": "quad", "modifiers": [{"kind":
        "vertexAnimation", "keys": [{"time": 0, "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0]]},
        {"time": 800, "points": [[0, 0, 1], [1, 0, 0], [1, 1, 0]]}]}]})";
    EXPECT_TRUE(Animates(R"({"id": "w", "name": "W", "object": "wave"})", false, wave));
    EXPECT_FALSE(Animates(R"({"id": "w", "name": "W", "object": "quad"})", false, wave));
    EXPECT_FALSE(SceneAnimates(nullptr, 0, 1600, false));
}
