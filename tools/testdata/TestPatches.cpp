#include "tools/testdata/TestPatches.h"

#include <random>

#include "render/mesh/CKPatchMesh.h"

void FillIndependentPatches(CKPatchMesh* mesh, const std::vector<int>& types, uint32_t seed)
{
    int vertices = 0, vectors = 0;
    for (int type : types) {
        vertices += type == 3 ? 3 : 4;
        vectors += 3 * (type == 3 ? 3 : 4);
    }
    mesh->SetVertVecCount(vertices, vectors);
    mesh->SetEdgeCount(vertices);
    mesh->SetPatchCount((int) types.size());
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> real(-1.0f, 1.0f);
    for (int i = 0; i < vertices; ++i)
        mesh->SetVert(i, QxVector(real(rng), real(rng), real(rng)));
    for (int i = 0; i < vectors; ++i)
        mesh->SetVec(i, QxVector(real(rng), real(rng), real(rng)));
    int vertex = 0, vector = 0;
    for (size_t p = 0; p < types.size(); ++p) {
        const int n = types[p] == 3 ? 3 : 4;
        CKPatch patch;
        patch.type = types[p];
        for (int k = 0; k < n; ++k) {
            patch.v[k] = (short) (vertex + k);
            patch.vec[2 * k] = (short) (vector + 2 * k);
            patch.vec[2 * k + 1] = (short) (vector + 2 * k + 1);
            patch.interior[k] = (short) (vector + 2 * n + k);
            patch.edge[k] = (short) (vertex + k);
            CKPatchEdge edge;
            edge.startVertex = patch.v[k];
            edge.endVertex = (short) (vertex + (k + 1) % n);
            edge.startVector = patch.vec[2 * k];
            edge.endVector = patch.vec[2 * k + 1];
            edge.patch1 = (short) p;
            edge.patch2 = -1;
            mesh->SetEdge(vertex + k, edge);
        }
        mesh->SetPatch((int) p, patch);
        vertex += n;
        vector += 3 * n;
    }
}
