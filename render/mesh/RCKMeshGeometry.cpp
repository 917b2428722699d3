// Renumbering of a mesh's vertices (one vertex per face corner, merging of
// equal vertices, removal of degenerate faces and unused vertices), passed
// in one pass to the faces, lines, channels, blend shapes and skins.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/context/CKContext.h"
#include "core/context/CKRenderContext.h"
#include "render/animation/RCKSkin.h"
#include "render/context/rasterizer/CKRasterizerContext.h"
#include "render/mesh/CKProgressiveMesh.h"
#include "render/mesh/RCKMesh.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKPickResult.h"
#include "system/math/Qx2DVector.h"
#include "system/math/QxVector4.h"

namespace {

bool SamePosition(const CKVertex& a, const CKVertex& b)
{
    return a.Position.x == b.Position.x && a.Position.y == b.Position.y && a.Position.z == b.Position.z;
}

// A remap of a delta or base array: records whose vertex maps to -1, or to
// a vertex an earlier record took, are removed; extra (tangents) follows.
template <class Record, class Extra>
void RemapRecords(XArray<Record>& records, XArray<Extra>* extra, const int* table, int count, int newCount)
{
    XArray<char> taken(newCount);
    taken.Resize(newCount);
    std::fill(taken.Begin(), taken.End(), (char) 0);
    int out = 0;
    const bool withExtra = extra && extra->Size() == records.Size();
    for (int i = 0; i < records.Size(); ++i) {
        const int old = (int) records[i].Vertex;
        const int mapped = old < count ? table[old] : -1;
        if (mapped < 0 || taken[mapped])
            continue;
        taken[mapped] = 1;
        records[out] = records[i];
        records[out].Vertex = (CKDWORD) mapped;
        if (withExtra)
            (*extra)[out] = (*extra)[i];
        ++out;
    }
    records.Resize(out);
    if (withExtra)
        extra->Resize(out);
}

// A split of a delta or base array: one copy per new vertex made from the
// record's old vertex, in the order of the lists.
template <class Record, class Extra>
void ExpandRecords(XArray<Record>& records, XArray<Extra>* extra, const XClassArray<XArray<int>>& lists)
{
    XArray<Record> out;
    XArray<Extra> outExtra;
    const bool withExtra = extra && extra->Size() == records.Size();
    for (int i = 0; i < records.Size(); ++i) {
        const int old = (int) records[i].Vertex;
        if (old >= lists.Size())
            continue;
        for (int made : lists[old]) {
            Record r = records[i];
            r.Vertex = (CKDWORD) made;
            out.PushBack(r);
            if (withExtra)
                outExtra.PushBack((*extra)[i]);
        }
    }
    records.Swap(out);
    if (withExtra)
        extra->Swap(outExtra);
}

} // namespace

int RCKMesh::GetInterleavedRecords(XArray<CKDWORD>& out, bool blendShapes, int* recordWords)
{
    const int n = m_Vertices.Size();
    int words = 10 + (m_BlendRecords.Size() == n && n > 0 ? 4 : 0) + (m_Tangents.Size() == n && n > 0 ? 3 : 0) +
                (m_Binormals.Size() == n && n > 0 ? 3 : 0);
    for (const CKMeshChannel& c : m_Channels)
        if (c.Data.Size() > 0)
            words += CKChannelTypeStride(c.Type) / 4;
    if (m_VertexWeights.Size() == n && n > 0)
        ++words;
    if (recordWords)
        *recordWords = words;
    const int stride = words + (blendShapes ? 6 * m_BlendShapes.Targets.Size() : 0);
    out.Resize(n * stride);
    if (n == 0)
        return stride;
    for (int i = 0; i < n; ++i) {
        CKDWORD* r = out.Begin() + (size_t) i * stride;
        auto put = [&](const void* p, int w) {
            std::memcpy(r, p, (size_t) w * 4);
            r += w;
        };
        put(&m_Vertices[i], 8);
        put(&m_Colors[i], 2);
        if (m_BlendRecords.Size() == n)
            put(&m_BlendRecords[i], 4);
        if (m_Tangents.Size() == n)
            put(&m_Tangents[i], 3);
        if (m_Binormals.Size() == n)
            put(&m_Binormals[i], 3);
        for (const CKMeshChannel& c : m_Channels)
            if (c.Data.Size() > 0) {
                const int w = CKChannelTypeStride(c.Type) / 4;
                put(&c.Data[i * w], w);
            }
        if (m_VertexWeights.Size() == n)
            put(&m_VertexWeights[i], 1);
        // Only the deltas a vertex has are written after its record.
        if (stride > words)
            std::memset(r, 0, (size_t) (stride - words) * 4);
    }
    if (blendShapes)
        for (int k = 0; k < m_BlendShapes.Targets.Size(); ++k)
            for (const CKBlendShapeDelta& d : m_BlendShapes.Targets[k].Deltas)
                if ((int) d.Vertex < n) {
                    CKDWORD* r = out.Begin() + (size_t) d.Vertex * stride + words + 6 * k;
                    std::memcpy(r, &d.Normal, 12);
                    std::memcpy(r + 3, &d.Position, 12);
                }
    return stride;
}

void RCKMesh::LoadInterleavedRecords(const XArray<CKDWORD>& buffer, int stride)
{
    const int n = stride > 0 ? buffer.Size() / stride : 0;
    const int old = m_Vertices.Size();
    const bool blend = m_BlendRecords.Size() == old && old > 0;
    const bool tangents = m_Tangents.Size() == old && old > 0;
    const bool binormals = m_Binormals.Size() == old && old > 0;
    const bool weights = m_VertexWeights.Size() == old && old > 0;
    m_Vertices.Resize(n);
    m_Colors.Resize(n);
    if (blend)
        m_BlendRecords.Resize(n);
    if (tangents)
        m_Tangents.Resize(n);
    if (binormals)
        m_Binormals.Resize(n);
    if (weights)
        m_VertexWeights.Resize(n);
    XArray<CKMeshChannel*> own;
    for (CKMeshChannel& c : m_Channels)
        if (c.Data.Size() > 0) {
            own.PushBack(&c);
            c.Data.Resize(CKChannelFloatCount(c.Type, n));
            std::fill(c.Data.Begin(), c.Data.End(), 0.0f);
            c.Flags &= ~CKCHANNEL_UPTODATE;
        }
    for (CKMeshChannel& c : m_Channels)
        if (c.Colors.Size() > 0) {
            c.Colors.Resize(n);
            std::fill(c.Colors.Begin(), c.Colors.End(), 0u);
        }
    for (int i = 0; i < n; ++i) {
        const CKDWORD* r = buffer.Begin() + (size_t) i * stride;
        auto get = [&](void* p, int w) {
            std::memcpy(p, r, (size_t) w * 4);
            r += w;
        };
        get(&m_Vertices[i], 8);
        get(&m_Colors[i], 2);
        if (blend)
            get(&m_BlendRecords[i], 4);
        if (tangents)
            get(&m_Tangents[i], 3);
        if (binormals)
            get(&m_Binormals[i], 3);
        for (CKMeshChannel* c : own) {
            const int w = CKChannelTypeStride(c->Type) / 4;
            get(&c->Data[i * w], w);
        }
        if (weights)
            get(&m_VertexWeights[i], 1);
    }
    m_Flags &= ~CKMESH_BOUNDINGUPTODATE;
    m_Flags |= CKMESH_POSCHANGED | CKMESH_NORMALCHANGED | CKMESH_COLORCHANGED | CKMESH_UVCHANGED;
    m_VertexDataUploaded = 0;
}

void RCKMesh::ForEachSkin(const std::function<void(RCKSkin&)>& visit)
{
    CKContext* context = GetCKContext();
    if (!context)
        return;
    const XArray<CKObject*>& entities = context->GetObjectListByType(CKCID_3DENTITY, TRUE);
    for (CKObject* object : entities) {
        CK3dEntity* entity = static_cast<CK3dEntity*>(object);
        if (entity->GetCurrentMesh() == this)
            if (CKSkin* skin = entity->GetSkin())
                visit(*static_cast<RCKSkin*>(skin));
    }
    // The blend records were the skin's for the old numbering.
    m_BlendRecords.Free();
}

void RCKMesh::RemapVertexUsers(const int* table, int count, int newCount)
{
    for (CKMeshChannel& c : m_Channels) {
        if (c.FaceIndices.Size() == 0)
            continue;
        XArray<CKDWORD> kept;
        for (int t = 0; t + 2 < c.FaceIndices.Size(); t += 3) {
            int mapped[3];
            bool ok = true;
            for (int k = 0; k < 3; ++k) {
                const CKDWORD old = c.FaceIndices[t + k];
                mapped[k] = (int) old < count ? table[old] : -1;
                ok = ok && mapped[k] >= 0;
            }
            if (ok)
                for (int k = 0; k < 3; ++k)
                    kept.PushBack((CKDWORD) mapped[k]);
        }
        c.FaceIndices.Swap(kept);
        c.Flags &= ~CKCHANNEL_UPTODATE;
    }
    for (int k = 0; k < m_BlendShapes.Targets.Size(); ++k)
        RemapRecords(m_BlendShapes.Targets[k].Deltas, k < m_TangentDeltas.Size() ? &m_TangentDeltas[k] : nullptr, table,
                     count, newCount);
    RemapRecords(m_BlendShapes.BaseVertices, &m_BaseTangents, table, count, newCount);
    UpdateBlendShapeBounds();
    ForEachSkin([&](RCKSkin& skin) { skin.RemapVertexIndices(table, count); });
}

void RCKMesh::DissociateAllFaces()
{
    DestroyPM();
    const int old = m_Vertices.Size(), corners = m_FaceIndices.Size();
    for (CKDWORD i : m_FaceIndices)
        if ((int) i >= old)
            return;
    XArray<CKDWORD> records;
    const int stride = GetInterleavedRecords(records, false, nullptr);
    XArray<CKDWORD> split(corners * stride);
    split.Resize(corners * stride);
    // Per old vertex: the new vertices made from it, and the faces whose
    // lowest old vertex it is (sorted old vertices, then their new ones).
    XClassArray<XArray<int>> made(old);
    made.Resize(old);
    XClassArray<XArray<CKDWORD>> faces(old);
    faces.Resize(old);
    for (int f = 0; f < corners / 3; ++f) {
        CKDWORD o[3] = {m_FaceIndices[3 * f], m_FaceIndices[3 * f + 1], m_FaceIndices[3 * f + 2]};
        int order[3] = {0, 1, 2};
        std::sort(order, order + 3, [&](int a, int b) { return o[a] < o[b]; });
        XArray<CKDWORD>& list = faces[(int) o[order[0]]];
        for (int k = 0; k < 3; ++k)
            list.PushBack(o[order[k]]);
        for (int k = 0; k < 3; ++k)
            list.PushBack((CKDWORD) (3 * f + order[k]));
    }
    for (int c = 0; c < corners; ++c) {
        const int v = (int) m_FaceIndices[c];
        made[v].PushBack(c);
        std::memcpy(split.Begin() + (size_t) c * stride, records.Begin() + (size_t) v * stride, (size_t) stride * 4);
        m_FaceIndices[c] = (CKDWORD) c;
    }
    LoadInterleavedRecords(split, stride);
    // Lines keep the first vertex made from each of their vertices.
    auto firstMade = [&](CKDWORD v) { return (int) v < old && made[(int) v].Size() ? (CKDWORD) made[(int) v][0] : 0; };
    for (CKMeshLine& line : m_Lines) {
        line.Vertex1 = firstMade(line.Vertex1);
        line.Vertex2 = firstMade(line.Vertex2);
    }
    for (int k = 0; k < m_BlendShapes.Targets.Size(); ++k)
        ExpandRecords(m_BlendShapes.Targets[k].Deltas, k < m_TangentDeltas.Size() ? &m_TangentDeltas[k] : nullptr,
                      made);
    ExpandRecords(m_BlendShapes.BaseVertices, &m_BaseTangents, made);
    UpdateBlendShapeBounds();
    for (CKMeshChannel& c : m_Channels) {
        if (c.FaceIndices.Size() == 0)
            continue;
        XArray<CKDWORD> out;
        for (int t = 0; t + 2 < c.FaceIndices.Size(); t += 3) {
            CKDWORD o[3] = {c.FaceIndices[t], c.FaceIndices[t + 1], c.FaceIndices[t + 2]};
            if ((int) o[0] >= old || (int) o[1] >= old || (int) o[2] >= old)
                continue;
            CKDWORD s[3] = {o[0], o[1], o[2]};
            std::sort(s, s + 3);
            const XArray<CKDWORD>& list = faces[(int) s[0]];
            int found = -1;
            for (int r = 0; r + 5 < list.Size() && found < 0; r += 6)
                if (list[r] == s[0] && list[r + 1] == s[1] && list[r + 2] == s[2])
                    found = r;
            for (int k = 0; k < 3; ++k) {
                CKDWORD to = 0;
                if (found >= 0) {
                    const int pos = o[k] == s[0] ? 0 : o[k] == s[1] ? 1 : 2;
                    to = list[found + 3 + pos];
                } else if (made[(int) o[k]].Size() > 0) {
                    to = (CKDWORD) made[(int) o[k]][0];
                }
                out.PushBack(to);
            }
        }
        c.FaceIndices.Swap(out);
        c.Flags &= ~CKCHANNEL_UPTODATE;
    }
    ForEachSkin([&](RCKSkin& skin) { skin.RemapVertices(made.Begin(), made.Size()); });
    StampRenderDataOutdated();
    FacesChanged();
}

namespace {

// Vertex records compared by value: every word compares by its float merge
// key but those in [NotFloatBegin, NotFloatEnd), which compare by bits.
struct RecordKeys
{
    int Stride;
    int NotFloatBegin;
    int NotFloatEnd;

    // Two lanes (even and odd words), so that the multiplications of a
    // record do not wait on each other.
    CKDWORD Hash(const CKDWORD* r) const
    {
        CKDWORD h[2] = {0x811C9DC5u, 0x01000193u};
        for (int w = 0; w < Stride; ++w) {
            const CKDWORD k = w >= NotFloatBegin && w < NotFloatEnd ? r[w] : CKFloatMergeKey(r[w]);
            h[w & 1] = (((h[w & 1] << 5) | (h[w & 1] >> 27)) ^ k) * 0x9E3779B1u;
        }
        CKDWORD x = h[0] ^ ((h[1] << 16) | (h[1] >> 16));
        x ^= x >> 15;
        x *= 0x85EBCA6Bu;
        return x ^ (x >> 13);
    }

    bool Equal(const CKDWORD* a, const CKDWORD* b) const
    {
        for (int w = 0; w < Stride; ++w)
            if (a[w] != b[w] &&
                ((w >= NotFloatBegin && w < NotFloatEnd) || CKFloatMergeKey(a[w]) != CKFloatMergeKey(b[w])))
                return false;
        return true;
    }
};

} // namespace

void RCKMesh::Consolidate()
{
    DestroyPM();
    const int old = m_Vertices.Size();
    if (old > 0) {
        XArray<CKDWORD> records;
        const int stride = GetInterleavedRecords(records, true, nullptr);
        // Records compare by value: every word is a float but the colours
        // and the blend record, which follow the 8 words of the vertex.
        const RecordKeys keys{stride, 8, 8 + 2 + (m_BlendRecords.Size() == old ? 4 : 0)};
        // Open addressing on the new index of each kept record. The kept
        // records move down in place as they are found: a record only ever
        // moves to a place whose own record was dealt with before.
        size_t size = 16;
        while (size < 2 * (size_t) old)
            size *= 2;
        std::vector<int> table(size, -1);
        XArray<int> map(old);
        map.Resize(old);
        CKDWORD* const base = records.Begin();
        // The table is far bigger than the caches: each record's slot is
        // fetched a few records ahead, its hash kept until then.
        constexpr int ahead = 16;
        CKDWORD hashes[ahead];
        auto fetch = [&](int i) {
            const CKDWORD h = keys.Hash(base + (size_t) i * stride);
            hashes[i % ahead] = h;
            __builtin_prefetch(&table[h & (size - 1)]);
        };
        for (int i = 0; i < old && i < ahead; ++i)
            fetch(i);
        int next = 0;
        for (int i = 0; i < old; ++i) {
            const CKDWORD* r = base + (size_t) i * stride;
            size_t slot = hashes[i % ahead] & (size - 1);
            if (i + ahead < old)
                fetch(i + ahead);
            int found = -1;
            for (int e; found < 0 && (e = table[slot]) >= 0; slot = (slot + 1) & (size - 1))
                if (keys.Equal(base + (size_t) e * stride, r))
                    found = e;
            if (found >= 0) {
                map[i] = found;
                continue;
            }
            table[slot] = next;
            if (next != i)
                std::memcpy(base + (size_t) next * stride, r, (size_t) stride * 4);
            map[i] = next++;
        }
        records.Resize(next * stride);
        // The blend-shape words at the end of each record are not loaded:
        // the deltas follow through RemapVertexUsers.
        LoadInterleavedRecords(records, stride);
        for (CKDWORD& i : m_FaceIndices)
            i = (int) i < old ? (CKDWORD) map[(int) i] : 0;
        for (CKMeshLine& line : m_Lines) {
            line.Vertex1 = (int) line.Vertex1 < old ? (CKDWORD) map[(int) line.Vertex1] : 0;
            line.Vertex2 = (int) line.Vertex2 < old ? (CKDWORD) map[(int) line.Vertex2] : 0;
        }
        RemapVertexUsers(map.Begin(), old, next);
    }
    FacesChanged();
}

void RCKMesh::RemoveDegenerateFaces()
{
    if (!(m_Flags & CKMESH_FACENORMALSVALID))
        BuildFaceNormals();
    const int n = m_Vertices.Size();
    for (CKDWORD i : m_FaceIndices)
        if ((int) i >= n)
            return;
    int faces = m_Faces.Size();
    const int before = faces;
    for (int f = 0; f < faces;) {
        const CKDWORD* i = &m_FaceIndices[3 * f];
        const QxVector& normal = m_Faces[f].Normal;
        const bool degenerate =
            i[0] == i[1] || i[1] == i[2] || i[0] == i[2] || (normal.x == 0.0f && normal.y == 0.0f && normal.z == 0.0f);
        if (!degenerate) {
            ++f;
            continue;
        }
        --faces;
        m_Faces[f] = m_Faces[faces];
        std::memmove(&m_FaceIndices[3 * f], &m_FaceIndices[3 * faces], 12);
    }
    for (CKMeshChannel& c : m_Channels) {
        XArray<CKDWORD>& list = c.FaceIndices;
        int size = list.Size() - list.Size() % 3;
        for (int t = 0; t < size;) {
            const CKDWORD a = list[t], b = list[t + 1], d = list[t + 2];
            const bool bad = (int) a >= n || (int) b >= n || (int) d >= n ||
                             SamePosition(m_Vertices[a], m_Vertices[b]) || SamePosition(m_Vertices[b], m_Vertices[d]) ||
                             SamePosition(m_Vertices[a], m_Vertices[d]);
            if (!bad) {
                t += 3;
                continue;
            }
            size -= 3;
            std::memmove(&list[t], &list[size], 12);
        }
        if (size != list.Size()) {
            list.Resize(size);
            c.Flags &= ~CKCHANNEL_UPTODATE;
        }
    }
    if (faces != before) {
        // SetFaceCount keeps the first records.
        SetFaceCount(faces);
    }
    XArray<int> map(n);
    map.Resize(n);
    std::fill(map.Begin(), map.End(), -1);
    for (CKDWORD i : m_FaceIndices)
        if ((int) i < n)
            map[(int) i] = 0;
    for (const CKMeshChannel& c : m_Channels)
        for (CKDWORD i : c.FaceIndices)
            if ((int) i < n)
                map[(int) i] = 0;
    // Lines keep their vertices too.
    for (const CKMeshLine& line : m_Lines) {
        if ((int) line.Vertex1 < n)
            map[(int) line.Vertex1] = 0;
        if ((int) line.Vertex2 < n)
            map[(int) line.Vertex2] = 0;
    }
    int next = 0;
    for (int& m : map)
        if (m == 0)
            m = next++;
    if (next < n) {
        XArray<CKDWORD> records;
        const int stride = GetInterleavedRecords(records, false, nullptr);
        XArray<CKDWORD> kept(next * stride);
        kept.Resize(next * stride);
        for (int i = 0; i < n; ++i)
            if (map[i] >= 0)
                std::memcpy(kept.Begin() + (size_t) map[i] * stride, records.Begin() + (size_t) i * stride,
                            (size_t) stride * 4);
        LoadInterleavedRecords(kept, stride);
        for (CKDWORD& i : m_FaceIndices)
            i = (CKDWORD) map[(int) i];
        for (CKMeshLine& line : m_Lines) {
            line.Vertex1 = (int) line.Vertex1 < n ? (CKDWORD) map[(int) line.Vertex1] : 0;
            line.Vertex2 = (int) line.Vertex2 < n ? (CKDWORD) map[(int) line.Vertex2] : 0;
        }
        RemapVertexUsers(map.Begin(), n, next);
        if (m_ProgressiveMesh)
            m_ProgressiveMesh->RemoveVertices(map.Begin(), n);
    }
    if (next < n || faces != before)
        FacesChanged();
}

int RCKMesh::IntersectLines(const Qx2DVector& point, CKPickResult* result, CKRenderContext* rc, CK3dEntity* entity)
{
    const int n = m_Vertices.Size();
    CKRasterizerContext* rst = rc ? rc->GetRasterizerContext() : nullptr;
    if (n == 0 || m_Lines.Size() == 0 || !rst)
        return 0;
    if (entity)
        rc->SetWorldTransformationMatrix(entity->GetWorldMatrix());
    XArray<QxVector4> screen(n);
    screen.Resize(n);
    CKTransformData data;
    data.InVertices = &m_Vertices.Begin()->Position;
    data.InStride = sizeof(CKVertex);
    data.ScreenVertices = screen.Begin();
    data.ScreenStride = sizeof(QxVector4);
    rst->TransformVertices(n, data);
    if (result) {
        result->Point = QxVector();
        result->Normal = QxVector();
        result->U = result->V = 0.0f;
        result->Distance = -1.0f;
        result->FaceIndex = 0;
    }
    for (const CKMeshLine& line : m_Lines) {
        if ((int) line.Vertex1 >= n || (int) line.Vertex2 >= n)
            continue;
        const QxVector4& a = screen[(int) line.Vertex1];
        const QxVector4& b = screen[(int) line.Vertex2];
        // An end at or behind the eye has no place on the screen.
        if (!(a.w > 0.0f) || !(b.w > 0.0f))
            continue;
        const float dx = b.x - a.x, dy = b.y - a.y;
        const float length2 = dx * dx + dy * dy;
        const float pax = point.x - a.x, pay = point.y - a.y;
        const float along = pax * dx + pay * dy;
        if (!(length2 > 0.0f) || along < 0.0f || (point.x - b.x) * dx + (point.y - b.y) * dy > 0.0f)
            continue;
        const float cross = pax * dy - pay * dx;
        // Within 10 pixels of the line.
        if (!(cross * cross / length2 < 100.0f))
            continue;
        // The screen fraction made perspective-correct: the records keep
        // 1/w, so 1/that is each end's w.
        const float s = along / length2;
        const float wa = 1.0f / a.w, wb = 1.0f / b.w;
        const float t = (wa * s) / (wb + s * (wa - wb));
        if (result) {
            const QxVector& from = m_Vertices[(int) line.Vertex1].Position;
            result->Point = from + (m_Vertices[(int) line.Vertex2].Position - from) * t;
        }
        return 1;
    }
    return 0;
}
