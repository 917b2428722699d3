#include "render/mesh/CKMeshChannel.h"

#include "render/context/RCKRenderManager.h"

namespace {

// A block takes no corner that could bring it past 65,535 vertices (a
// triangle adds three) or 196,602 indices.
constexpr int kMaxBlockIndices = 196602;
constexpr int kStartBlockAtVertices = 65530;
constexpr int kMaxSharedVertices = 65535;

} // namespace

void CKChannelRenderData::Take(CKChannelRenderData& other)
{
    m_Blocks.swap(other.m_Blocks);
    m_Manager = other.m_Manager;
    m_Built = other.m_Built;
    for (int i = 0; i < 5; ++i)
        m_Signature[i] = other.m_Signature[i];
    other.m_Blocks.clear();
    other.m_Built = false;
}

void CKChannelRenderData::Release()
{
    if (m_Manager)
        for (Block& block : m_Blocks)
            if (block.VertexBuffer > 0)
                m_Manager->ReleaseObjectIndex(block.VertexBuffer, CKRST_OBJ_SHAREDVB);
    m_Blocks.clear();
    m_Built = false;
}

void CKChannelRenderData::Build(RCKRenderManager* manager, const CKDWORD* corners, int count, int vertexCount,
                                bool force)
{
    Release();
    m_Manager = manager;
    m_Built = true;
    auto newBlock = [&] {
        m_Blocks.emplace_back();
        if (manager)
            m_Blocks.back().VertexBuffer = manager->CreateObjectIndex(CKRST_OBJ_SHAREDVB);
    };
    newBlock();
    if (!force && count < kMaxBlockIndices && vertexCount < kMaxSharedVertices) {
        m_Blocks.back().VertexCount = vertexCount;
        return;
    }
    for (int i = 0; i < count; ++i)
        if (corners[i] >= (CKDWORD) vertexCount)
            return; // a corner past the vertices: nothing to draw
    std::vector<int> local((size_t) vertexCount, -1);
    for (int i = 0; i < count; ++i) {
        Block* block = &m_Blocks.back();
        if (block->Indices.Size() >= kMaxBlockIndices || (block->Remap.Size() >= kStartBlockAtVertices && i % 3 == 0)) {
            block->VertexCount = block->Remap.Size();
            for (CKDWORD v : block->Remap)
                local[v] = -1;
            newBlock();
            block = &m_Blocks.back();
        }
        int& number = local[corners[i]];
        if (number < 0) {
            number = block->Remap.Size();
            block->Remap.PushBack(corners[i]);
        }
        block->Indices.PushBack((CKWORD) number);
    }
    m_Blocks.back().VertexCount = m_Blocks.back().Remap.Size();
}
