#include "render/mesh/CK65KPrimitive.h"

#include <vector>

void CK65KPrimitive::CompactVertices(int vertexCount)
{
    if (vertexCount <= 0)
        return;
    // Local numbers plus one, 0 for unused; indices past vertexCount are
    // numbered too, so the list never loses a corner.
    int size = vertexCount;
    for (CKWORD i : Indices)
        if (i >= size)
            size = i + 1;
    std::vector<CKDWORD> number((size_t) size, 0);
    int used = 0;
    for (CKWORD i : Indices)
        if (!number[i])
            number[i] = (CKDWORD) ++used;
    if (used >= vertexCount)
        return;
    XArray<CKDWORD> remap(used);
    remap.Resize(used);
    for (int v = 0; v < size; ++v)
        if (number[(size_t) v]) {
            CKDWORD mesh = (CKDWORD) v;
            if (v < Remap.Size())
                mesh = Remap[v];
            remap[(int) number[(size_t) v] - 1] = mesh;
        }
    for (CKWORD& i : Indices)
        i = (CKWORD) (number[i] - 1);
    Remap.Swap(remap);
    VertexCount = used;
}

int CK65KPrimitive::GetArrayBytes() const
{
    return Remap.Capacity() * (int) sizeof(CKDWORD) + Indices.Capacity() * (int) sizeof(CKWORD) +
           StripLengths.Capacity() * (int) sizeof(int);
}
