#pragma once

#include <fstream>
#include <string>

// The buffer, view and accessor (accessor 0) of three vertices, (0, 0, 0),
// (1, 0, 0) and (0, 1, 0), for the small glTF models the tests write.
inline constexpr const char* kThreeVerticesGltf =
    R"("buffers": [{"byteLength": 36, "uri": "data:application/octet-stream;base64,)"
    R"(AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}],)"
    R"("bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 36}],)"
    R"("accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",)"
    R"("min": [0, 0, 0], "max": [1, 1, 0]}],)";

// A glTF model of one triangle whose second normal is a NaN: what the model
// import rebuilds and tells, read by the import's and the command line's
// tests. With points, a second node draws its three vertices as points,
// which the import leaves out and tells as well.
inline void WriteNanNormalTriangle(const std::string& path, bool withPoints = false)
{
    std::ofstream(path)
        << R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0)" << (withPoints ? ", 1" : "")
        << R"(]}], "nodes": [{"name": "n", "mesh": 0})" << (withPoints ? R"(, {"name": "p", "mesh": 1})" : "") << "],"
        << R"("buffers": [{"byteLength": 72, "uri": "data:application/octet-stream;base64,)"
        << R"(AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAAAAAAAAAAAAIA/AADAfwAAAAAAAAAAAAAAAAAAAAAAAIA/"}],)"
        << R"("bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 72}],)"
        << R"("accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",)"
        << R"("min": [0, 0, 0], "max": [1, 1, 0]},)"
        << R"({"bufferView": 0, "byteOffset": 36, "componentType": 5126, "count": 3, "type": "VEC3"}],)"
        << R"("meshes": [{"primitives": [{"attributes": {"POSITION": 0, "NORMAL": 1}}]})"
        << (withPoints ? R"(, {"primitives": [{"attributes": {"POSITION": 0}, "mode": 0}]})" : "") << "]}";
}

// A glTF model of one node drawing three points, a strip of two lines and
// one triangle over the same three vertices: the import keeps the triangle
// and tells that it left "3 points and 2 lines" out.
inline void WritePointsLinesTriangle(const std::string& path)
{
    std::ofstream(path)
        << R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"name": "n", "mesh": 0}],)"
        << kThreeVerticesGltf << R"("meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "mode": 0},)"
        << R"({"attributes": {"POSITION": 0}, "mode": 3}, {"attributes": {"POSITION": 0}}]}]})";
}
