#include "render/mesh/CKVertexCopyList.h"

#include <cstring>

namespace {

// Fixed sizes compile to plain moves; components are 4 to 32 bytes.
inline void CopyBytes(CKBYTE* d, const CKBYTE* s, CKDWORD size)
{
    switch (size) {
    case 4: std::memcpy(d, s, 4); break;
    case 8: std::memcpy(d, s, 8); break;
    case 12: std::memcpy(d, s, 12); break;
    case 16: std::memcpy(d, s, 16); break;
    case 20: std::memcpy(d, s, 20); break;
    case 24: std::memcpy(d, s, 24); break;
    case 28: std::memcpy(d, s, 28); break;
    case 32: std::memcpy(d, s, 32); break;
    default: std::memcpy(d, s, size); break;
    }
}

inline void CopySwapped(CKBYTE* d, const CKBYTE* s, CKDWORD size)
{
    for (CKDWORD k = 0; k < size; k += 4) {
        CKDWORD c;
        std::memcpy(&c, s + k, 4);
        c = (c & 0xFF00FF00u) | ((c >> 16) & 0xFFu) | ((c & 0xFFu) << 16);
        std::memcpy(d + k, &c, 4);
    }
}

// One component of every vertex, its size known at compile time.
template <CKDWORD Size>
void Gather(CKBYTE* out, CKDWORD dstStride, const CKBYTE* source, CKDWORD sourceStride, const CKDWORD* remap, int count)
{
    if (remap) {
        for (int i = 0; i < count; ++i, out += dstStride)
            std::memcpy(out, source + (size_t) remap[i] * sourceStride, Size);
    } else {
        for (int i = 0; i < count; ++i, out += dstStride, source += sourceStride)
            std::memcpy(out, source, Size);
    }
}

} // namespace

CKBOOL CKVertexCopyList::Add(const void* source, CKDWORD sourceStride, CKDWORD dstOffset, CKDWORD size, CKBOOL swap)
{
    if (!source || size == 0 || size % 4 != 0)
        return FALSE;
    const CKBYTE* s = static_cast<const CKBYTE*>(source);
    swap = swap ? TRUE : FALSE;
    for (int i = 0; i < m_Count; ++i) {
        Job& job = m_Jobs[i];
        if (job.SourceStride == sourceStride && job.Swap == swap && job.Source + job.Size == s &&
            job.DstOffset + job.Size == dstOffset) {
            job.Size += size;
            return TRUE;
        }
    }
    if (m_Count == kMaxJobs)
        return FALSE;
    m_Jobs[m_Count++] = Job{s, sourceStride, dstOffset, size, swap};
    return TRUE;
}

void CKVertexCopyList::Run(void* dst, CKDWORD dstStride, const CKDWORD* remap, int count) const
{
    if (!dst || count <= 0 || m_Count == 0)
        return;
    CKBYTE* out = static_cast<CKBYTE*>(dst);
    // A whole vertex copied from one array in order is one block.
    if (!remap && m_Count == 1 && !m_Jobs[0].Swap && m_Jobs[0].DstOffset == 0 && m_Jobs[0].Size == dstStride &&
        m_Jobs[0].SourceStride == dstStride) {
        std::memcpy(out, m_Jobs[0].Source, (size_t) count * dstStride);
        return;
    }
    // One job (the mesh's own vertex records, or positions alone): a tight
    // loop for the common sizes.
    if (m_Count == 1 && !m_Jobs[0].Swap) {
        const Job& job = m_Jobs[0];
        CKBYTE* d = out + job.DstOffset;
        switch (job.Size) {
        case 12: Gather<12>(d, dstStride, job.Source, job.SourceStride, remap, count); return;
        case 24: Gather<24>(d, dstStride, job.Source, job.SourceStride, remap, count); return;
        case 32: Gather<32>(d, dstStride, job.Source, job.SourceStride, remap, count); return;
        default: break;
        }
    }
    for (int i = 0; i < count; ++i, out += dstStride) {
        const size_t k = remap ? remap[i] : (size_t) i;
        for (int j = 0; j < m_Count; ++j) {
            const Job& job = m_Jobs[j];
            const CKBYTE* s = job.Source + k * job.SourceStride;
            if (job.Swap)
                CopySwapped(out + job.DstOffset, s, job.Size);
            else
                CopyBytes(out + job.DstOffset, s, job.Size);
        }
    }
}
