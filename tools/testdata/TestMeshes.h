#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A triangle mesh as the mesh tests and benchmarks use it: positions x, y,
// z and three vertex numbers a triangle.
struct TestMesh
{
    std::vector<float> Positions;
    std::vector<uint32_t> Indices;

    int VertexCount() const { return (int) Positions.size() / 3; }
    int FaceCount() const { return (int) Indices.size() / 3; }
};

// A side x side grid of vertices over the unit square, lifted into smooth
// hills and valleys with a little scanner-like noise (deterministic), two
// triangles a cell.
TestMesh GridTestMesh(int side);

// The Stanford bunny of samples/bunny/bunny.obj (the project's source folder
// compiled in); empty when the file cannot be read.
TestMesh BunnyTestMesh();

// Reads "v x y z" and "f a b c" lines (1-based numbers) of an OBJ file;
// empty on any malformed line.
TestMesh ReadObjTestMesh(const std::string& path);

// The symmetric Hausdorff distance between two surfaces, sampled: from
// every vertex and `samples` area-weighted random points of each surface
// (seeded, so repeatable), the exact distance to the nearest triangle of
// the other; the largest of them all.
double SampledHausdorffDistance(const TestMesh& a, const TestMesh& b, int samples, uint32_t seed);

// The length of the box diagonal of the mesh's vertices.
double BoxDiagonal(const TestMesh& mesh);

// The vertices the triangles use.
int UsedVertexCount(const TestMesh& mesh);
