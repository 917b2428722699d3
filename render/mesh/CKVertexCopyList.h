#pragma once

#include "includes/CKTypes.h"

// The copy jobs of one vertex-buffer fill: each job copies one component
// (or several that lie one after the other in both the source and the
// vertex) from a strided source array into every vertex of the locked
// buffer. Running the list walks the vertices once, gathering each through
// the primitive's remap, so the buffer is written in one pass.
class CKVertexCopyList
{
public:
    static constexpr int kMaxJobs = 16;

    // Copies size bytes (a non-zero multiple of 4) of source element k (at
    // source + k * sourceStride) to byte dstOffset of each vertex; swap
    // exchanges the red and blue bytes of each 32-bit colour. A job whose
    // source and destination continue an existing job with the same source
    // stride and swap only lengthens that job. FALSE, nothing added, for a
    // null source, a bad size or a full table.
    CKBOOL Add(const void* source, CKDWORD sourceStride, CKDWORD dstOffset, CKDWORD size, CKBOOL swap = FALSE);
    // Vertex i (dstStride bytes apart from dst) takes source element
    // remap[i], or element i when remap is null.
    void Run(void* dst, CKDWORD dstStride, const CKDWORD* remap, int count) const;
    void Clear() { m_Count = 0; }
    int GetJobCount() const { return m_Count; }
    CKDWORD GetJobSize(int job) const { return job >= 0 && job < m_Count ? m_Jobs[job].Size : 0; }

private:
    struct Job
    {
        const CKBYTE* Source;
        CKDWORD SourceStride;
        CKDWORD DstOffset;
        CKDWORD Size;
        CKBOOL Swap;
    };

    Job m_Jobs[kMaxJobs];
    int m_Count = 0;
};
