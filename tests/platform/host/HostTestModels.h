#pragma once

#include <fstream>
#include <string>

// A glTF model of one triangle whose second normal is a NaN: what the model
// import rebuilds and tells, read by the import's and the command line's
// tests.
inline void WriteNanNormalTriangle(const std::string& path)
{
    std::ofstream(path)
        << R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"name": "n", "mesh": 0}],)"
        << R"("buffers": [{"byteLength": 72, "uri": "data:application/octet-stream;base64,)"
        << R"(AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAAAAAAAAAAAAIA/AADAfwAAAAAAAAAAAAAAAAAAAAAAAIA/"}],)"
        << R"("bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 72}],)"
        << R"("accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",)"
        << R"("min": [0, 0, 0], "max": [1, 1, 0]},)"
        << R"({"bufferView": 0, "byteOffset": 36, "componentType": 5126, "count": 3, "type": "VEC3"}],)"
        << R"("meshes": [{"primitives": [{"attributes": {"POSITION": 0, "NORMAL": 1}}]}]})";
}
