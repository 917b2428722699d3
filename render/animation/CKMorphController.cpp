#include "render/animation/CKMorphController.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "core/chunk/CKStateChunk.h"
#include "render/context/CKRenderGlobals.h"
#include "system/log/QxLogManager.h"
#include "system/math/QxCompressedVector.h"

namespace {

void FreeArrays(CKMorphKey& key)
{
    delete[] key.PosArray;
    delete[] key.NormArray;
    key.PosArray = nullptr;
    key.NormArray = nullptr;
}

QxVector Unpack(CKDWORD packed)
{
    // The elevation is the low word, the azimuth the high one.
    const QxCompressedVector c(CKWORD(packed & 0xFFFF), CKWORD(packed >> 16));
    QxVector v;
    v.SetFromCompressed(c);
    return v;
}

} // namespace

CKMorphController::~CKMorphController()
{
    Clear();
}

void CKMorphController::Clear()
{
    for (CKMorphKey& key : m_Keys)
        FreeArrays(key);
    m_Keys.Clear();
    m_NbKeys = 0;
}

bool CKMorphController::Allocate(CKMorphKey& key, bool withNormals) const
{
    key.PosArray = new (std::nothrow) QxVector[(size_t) std::max(m_VertexCount, 1)]();
    key.NormArray = withNormals ? new (std::nothrow) CKDWORD[(size_t) std::max(m_VertexCount, 1)]() : nullptr;
    if (!key.PosArray || (withNormals && !key.NormArray)) {
        FreeArrays(key);
        return false;
    }
    return true;
}

void CKMorphController::SetMorphVertexCount(int count)
{
    count = std::max(count, 0);
    if (count == m_VertexCount)
        return;
    const int kept = std::min(count, m_VertexCount);
    m_VertexCount = count;
    for (CKMorphKey& key : m_Keys) {
        CKMorphKey resized;
        if (!Allocate(resized, key.NormArray != nullptr)) {
            // Without memory the key loses its vertices rather than keeping
            // arrays shorter than the count.
            FreeArrays(key);
            Allocate(key, false);
            continue;
        }
        std::copy(key.PosArray, key.PosArray + kept, resized.PosArray);
        if (key.NormArray)
            std::copy(key.NormArray, key.NormArray + kept, resized.NormArray);
        FreeArrays(key);
        key.PosArray = resized.PosArray;
        key.NormArray = resized.NormArray;
    }
}

int CKMorphController::Find(float time, bool& found) const
{
    int lo = 0, hi = m_Keys.Size();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (m_Keys.Begin()[mid].TimeStep < time)
            lo = mid + 1;
        else
            hi = mid;
    }
    found = lo < m_Keys.Size() && m_Keys.Begin()[lo].TimeStep == time;
    return lo;
}

int CKMorphController::AddKeyAtTime(float time, CKBOOL withNormals)
{
    if (!std::isfinite(time))
        return -1;
    bool found = false;
    const int index = Find(time, found);
    if (found) {
        CKMorphKey& key = m_Keys.Begin()[index];
        if (withNormals && !key.NormArray)
            key.NormArray = new (std::nothrow) CKDWORD[(size_t) std::max(m_VertexCount, 1)]();
        return index;
    }
    CKMorphKey key;
    key.TimeStep = time;
    if (!Allocate(key, withNormals != FALSE))
        return -1;
    m_Keys.Insert(index, key);
    m_NbKeys = m_Keys.Size();
    return index;
}

int CKMorphController::AddKeyEx(const CKMorphKey* source, CKBOOL withNormals)
{
    if (!source || !source->PosArray || !std::isfinite(source->TimeStep))
        return -1;
    const bool normals = withNormals && source->NormArray;
    CKMorphKey key;
    key.TimeStep = source->TimeStep;
    if (!Allocate(key, normals))
        return -1;
    std::copy(source->PosArray, source->PosArray + m_VertexCount, key.PosArray);
    if (normals)
        std::copy(source->NormArray, source->NormArray + m_VertexCount, key.NormArray);
    bool found = false;
    const int index = Find(key.TimeStep, found);
    if (found) {
        FreeArrays(m_Keys.Begin()[index]);
        m_Keys.Begin()[index] = key;
    } else {
        m_Keys.Insert(index, key);
    }
    m_NbKeys = m_Keys.Size();
    return index;
}

int CKMorphController::AddKey(const CKKey* key)
{
    const auto* morph = static_cast<const CKMorphKey*>(key);
    return AddKeyEx(morph, morph && morph->NormArray ? TRUE : FALSE);
}

CKKey* CKMorphController::GetKey(int index)
{
    return index >= 0 && index < m_Keys.Size() ? &m_Keys.Begin()[index] : nullptr;
}

void CKMorphController::RemoveKey(int index)
{
    if (index < 0 || index >= m_Keys.Size())
        return;
    FreeArrays(m_Keys.Begin()[index]);
    m_Keys.RemoveAt(index);
    m_NbKeys = m_Keys.Size();
}

CKBOOL CKMorphController::Evaluate(float, void*)
{
    return FALSE;
}

CKBOOL CKMorphController::HasNormals() const
{
    for (const CKMorphKey& key : m_Keys)
        if (key.NormArray)
            return TRUE;
    return FALSE;
}

CKBOOL CKMorphController::EvaluateMorph(float time, int count, void* positions, CKDWORD stride, void* normals,
                                        CKDWORD normalStride)
{
    const int n = m_Keys.Size();
    if (n == 0 || !positions)
        return FALSE;
    count = std::clamp(count, 0, m_VertexCount);
    const CKMorphKey* keys = m_Keys.Begin();
    int i = 0;
    float u = 0.0f;
    if (time >= keys[n - 1].TimeStep) {
        i = n - 1;
    } else if (time > keys[0].TimeStep) {
        bool found = false;
        i = Find(time, found);
        if (!found) {
            --i;
            u = (time - keys[i].TimeStep) / (keys[i + 1].TimeStep - keys[i].TimeStep);
        }
    }
    const CKMorphKey& a = keys[i];
    const CKMorphKey& b = keys[u > 0.0f ? i + 1 : i];
    auto* out = static_cast<CKBYTE*>(positions);
    for (int v = 0; v < count; ++v, out += stride) {
        const QxVector p = u > 0.0f ? a.PosArray[v] * (1.0f - u) + b.PosArray[v] * u : a.PosArray[v];
        std::memcpy(out, &p, sizeof(p));
    }
    if (normals && a.NormArray && b.NormArray) {
        auto* nout = static_cast<CKBYTE*>(normals);
        for (int v = 0; v < count; ++v, nout += normalStride) {
            QxVector normal = Unpack(a.NormArray[v]);
            if (u > 0.0f)
                normal = QxNormalize(normal * (1.0f - u) + Unpack(b.NormArray[v]) * u);
            std::memcpy(nout, &normal, sizeof(normal));
        }
    }
    return TRUE;
}

CKBOOL CKMorphController::Clone(CKAnimController* other)
{
    if (!other || other->GetType() != m_Type)
        return FALSE;
    if (other == this)
        return TRUE;
    auto* source = static_cast<CKMorphController*>(other);
    Clear();
    m_VertexCount = source->m_VertexCount;
    m_Length = source->m_Length;
    for (const CKMorphKey& key : source->m_Keys)
        AddKeyEx(&key, key.NormArray != nullptr);
    return TRUE;
}

CKBOOL CKMorphController::Compare(CKAnimController* other, float threshold)
{
    if (!other || other->GetType() != m_Type || other->GetKeyCount() != m_NbKeys ||
        !(std::fabs(other->GetLength() - m_Length) <= threshold))
        return FALSE;
    auto* o = static_cast<CKMorphController*>(other);
    if (o->m_VertexCount != m_VertexCount)
        return FALSE;
    for (int k = 0; k < m_NbKeys; ++k) {
        const CKMorphKey& a = m_Keys.Begin()[k];
        const CKMorphKey& b = o->m_Keys.Begin()[k];
        if (!(std::fabs(a.TimeStep - b.TimeStep) <= threshold) || (a.NormArray == nullptr) != (b.NormArray == nullptr))
            return FALSE;
        for (int v = 0; v < m_VertexCount; ++v) {
            const QxVector d = a.PosArray[v] - b.PosArray[v];
            if (!(std::fabs(d.x) <= threshold && std::fabs(d.y) <= threshold && std::fabs(d.z) <= threshold))
                return FALSE;
            if (a.NormArray && a.NormArray[v] != b.NormArray[v])
                return FALSE;
        }
    }
    return TRUE;
}

void CKMorphController::Write(CKStateChunk& chunk)
{
    chunk.WriteInt(m_NbKeys);
    chunk.WriteFloat(m_Length);
    chunk.WriteInt(m_VertexCount);
    for (const CKMorphKey& key : m_Keys) {
        chunk.WriteFloat(key.TimeStep);
        chunk.WriteDword(key.NormArray ? 1u : 0u);
        for (int v = 0; v < m_VertexCount; ++v)
            chunk.WriteVector(key.PosArray[v]);
        if (key.NormArray)
            for (int v = 0; v < m_VertexCount; ++v)
                chunk.WriteDword(key.NormArray[v]);
    }
}

CKERROR CKMorphController::Read(CKStateChunk& chunk)
{
    Clear();
    m_VertexCount = 0;
    const int count = chunk.ReadInt();
    const float length = chunk.ReadFloat();
    const int vertices = chunk.ReadInt();
    // Every key holds at least its time, its flag and its positions (divided
    // rather than multiplied: the product of two counts can pass 64 bits).
    if (count < 0 || vertices < 0 ||
        (count > 0 && 2 + 3LL * vertices > (long long) CKChunkRemainingWords(chunk) / count)) {
        CKRenderLog(QXLOG_ERROR, __LINE__, "CKMorphController", "%d keys of %d vertices are more than the data holds",
                    count, vertices);
        return CKErr::InvalidFile;
    }
    m_Length = std::isfinite(length) ? length : 0.0f;
    m_VertexCount = vertices;
    for (int k = 0; k < count; ++k) {
        CKMorphKey key;
        key.TimeStep = chunk.ReadFloat();
        const bool normals = chunk.ReadDword() != 0;
        if (!std::isfinite(key.TimeStep) || (normals && (long long) vertices * 4 > CKChunkRemainingWords(chunk))) {
            CKRenderLog(QXLOG_ERROR, __LINE__, "CKMorphController", "morph key %d is broken", k);
            Clear();
            return CKErr::InvalidFile;
        }
        if (!Allocate(key, normals)) {
            Clear();
            return CKErr::OutOfMemory;
        }
        for (int v = 0; v < vertices; ++v)
            chunk.ReadVector(key.PosArray[v]);
        if (normals)
            for (int v = 0; v < vertices; ++v)
                key.NormArray[v] = chunk.ReadDword();
        bool found = false;
        const int index = Find(key.TimeStep, found);
        if (found) {
            FreeArrays(m_Keys.Begin()[index]);
            m_Keys.Begin()[index] = key;
        } else {
            m_Keys.Insert(index, key);
        }
    }
    m_NbKeys = m_Keys.Size();
    // The counts may hold while the data ends early.
    if (chunk.GetReadError() != CKErr::Ok) {
        Clear();
        return CKErr::InvalidFile;
    }
    return CKErr::Ok;
}

int CKMorphController::GetMemoryOccupation() const
{
    int size = (int) sizeof(*this) + m_Keys.Capacity() * (int) sizeof(CKMorphKey);
    for (const CKMorphKey& key : m_Keys)
        size += m_VertexCount * (int) (sizeof(QxVector) + (key.NormArray ? sizeof(CKDWORD) : 0));
    return size;
}
