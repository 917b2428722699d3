#include "render/mesh/CKStripifier.h"

#include <meshoptimizer.h>

#include "render/context/RCKRenderManager.h"

namespace {

// The vertex cache the triangles are ordered for.
int CacheSize(RCKRenderManager* manager)
{
    return manager ? manager->GetSettings().VertexCache : 16;
}

} // namespace

void CKStripifier::Init(int mode)
{
    Free();
    m_Mode = mode;
}

void CKStripifier::Free()
{
    m_VertexCount = 0;
    std::vector<unsigned int>().swap(m_Input);
    std::vector<CKWORD>().swap(m_Indices);
    std::vector<int>().swap(m_StripLengths);
}

CKERROR CKStripifier::SetInput(const CKWORD* indices, int indexCount, const CKVertex*, int vertexCount)
{
    m_Input.clear();
    m_Indices.clear();
    m_StripLengths.clear();
    m_VertexCount = 0;
    if (!indices || indexCount < 0 || indexCount % 3 != 0 || vertexCount < 0 || vertexCount > 0x10000)
        return CKErr::InvalidParameter;
    for (int i = 0; i < indexCount; ++i)
        if (indices[i] >= vertexCount)
            return CKErr::InvalidParameter;
    m_Input.assign(indices, indices + indexCount);
    m_VertexCount = vertexCount;
    return CKErr::Ok;
}

CKERROR CKStripifier::OptimizeVertexCache(RCKRenderManager* manager, float)
{
    if (m_Mode != VERTEXCACHE || m_Input.empty())
        return CKErr::InvalidParameter;
    std::vector<unsigned int> ordered(m_Input.size());
    int cache = CacheSize(manager);
    if (cache >= 3)
        meshopt_optimizeVertexCacheFifo(ordered.data(), m_Input.data(), m_Input.size(), (size_t) m_VertexCount,
                                        (unsigned int) cache);
    else
        meshopt_optimizeVertexCache(ordered.data(), m_Input.data(), m_Input.size(), (size_t) m_VertexCount);
    m_Indices.assign(ordered.begin(), ordered.end());
    return CKErr::Ok;
}

CKERROR CKStripifier::Stripify(RCKRenderManager*, float, int)
{
    if (m_Mode != STRIPS || m_Input.empty())
        return CKErr::InvalidParameter;
    std::vector<unsigned int> ordered(m_Input.size());
    meshopt_optimizeVertexCacheStrip(ordered.data(), m_Input.data(), m_Input.size(), (size_t) m_VertexCount);
    // Strips apart (restart markers), each drawn on its own.
    const unsigned int restart = ~0u;
    std::vector<unsigned int> strips(meshopt_stripifyBound(ordered.size()));
    strips.resize(meshopt_stripify(strips.data(), ordered.data(), ordered.size(), (size_t) m_VertexCount, restart));
    m_Indices.clear();
    m_StripLengths.clear();
    size_t begin = 0;
    for (size_t i = 0; i <= strips.size(); ++i) {
        if (i < strips.size() && strips[i] != restart)
            continue;
        if (i - begin >= 3) {
            m_Indices.insert(m_Indices.end(), strips.begin() + (long) begin, strips.begin() + (long) i);
            m_StripLengths.push_back((int) (i - begin) - 2);
        }
        begin = i + 1;
    }
    return CKErr::Ok;
}

void CKStripifier::GetIndices(int& count, const CKWORD*& indices) const
{
    count = (int) m_Indices.size();
    indices = m_Indices.empty() ? nullptr : m_Indices.data();
}

void CKStripifier::GetStrips(int& stripCount, const CKWORD*& indices, const int*& lengths) const
{
    stripCount = (int) m_StripLengths.size();
    indices = m_Indices.empty() ? nullptr : m_Indices.data();
    lengths = m_StripLengths.empty() ? nullptr : m_StripLengths.data();
}
