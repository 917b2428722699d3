#pragma once

#include <vector>

#include "includes/CKTypes.h"
#include "render/mesh/CKMeshRecords.h"

class RCKRenderManager;

// Orders a triangle list of 16-bit indices for the graphic card's vertex
// cache, or turns it into triangle strips. The work is meshoptimizer's:
// meshopt_optimizeVertexCacheFifo for a cache of the size the render
// manager's "CK2_3D/VertexCache" gives (meshopt_optimizeVertexCache when that
// size is below 3), and meshopt_stripify (after meshopt_optimizeVertexCacheStrip)
// for strips. The tolerances of the calls are not used: meshoptimizer
// settles them itself.
class CKStripifier
{
public:
    enum Mode
    {
        VERTEXCACHE = 0,
        STRIPS = 1,
    };

    // Clears the input and results and sets the mode.
    void Init(int mode);
    // Takes a copy of a triangle list (index count a multiple of 3, every
    // index below the vertex count); the vertex records are not read and may
    // be null. -1 (nothing kept) otherwise.
    CKERROR SetInput(const CKWORD* indices, int indexCount, const CKVertex* vertices, int vertexCount);
    // The triangles re-ordered for the cache (the cache size of the render
    // manager, 16 without one); GetIndices gives them. -1 without input or
    // in strip mode.
    CKERROR OptimizeVertexCache(RCKRenderManager* manager, float tolerance = 0.001f);
    // Strips of the same triangles, same windings; GetStrips gives them.
    // -1 without input or in cache mode.
    CKERROR Stripify(RCKRenderManager* manager, float tolerance = 0.001f, int unused = 1);
    void GetIndices(int& count, const CKWORD*& indices) const;
    // The strips one after the other; lengths[i] is strip i's triangle count
    // (it uses lengths[i] + 2 indices).
    void GetStrips(int& stripCount, const CKWORD*& indices, const int*& lengths) const;
    // Frees the input and results.
    void Free();

private:
    int m_Mode = VERTEXCACHE;
    int m_VertexCount = 0;
    std::vector<unsigned int> m_Input;
    std::vector<CKWORD> m_Indices;
    std::vector<int> m_StripLengths;
};
