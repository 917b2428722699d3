#include "platform/host/Mesh.h"

#include <cstdint>

Point3 MeshNormalSpec::GetNormal(int face, int corner) const
{
    if (face < 0 || face >= GetNumFaces())
        return Point3();
    const int id = faces[size_t(face)].GetNormalID(corner);
    if (id < 0 || id >= GetNumNormals())
        return Point3();
    return normals[size_t(id)];
}

void MeshNormalSpec::BuildNormals()
{
    for (Point3& n : normals)
        n = Normalize(n);
}

namespace {

bool ValidChannel(int mp)
{
    return mp >= -NUM_HIDDENMAPS && mp < MAX_MESHMAPS;
}

} // namespace

BOOL Mesh::mapSupport(int mp) const
{
    return ValidChannel(mp) && m_Maps[mp + NUM_HIDDENMAPS].support ? TRUE : FALSE;
}

void Mesh::setMapSupport(int mp, BOOL support)
{
    if (!ValidChannel(mp))
        return;
    MeshMap& map = m_Maps[mp + NUM_HIDDENMAPS];
    map.support = support != 0;
    if (!map.support) {
        map.tv.clear();
        map.tf.clear();
    }
}

int Mesh::getNumMaps() const
{
    for (int mp = MAX_MESHMAPS - 1; mp >= 2; --mp)
        if (m_Maps[mp + NUM_HIDDENMAPS].support)
            return mp + 1;
    return 2;
}

MeshMap& Mesh::Map(int mp)
{
    if (!ValidChannel(mp)) {
        m_SpareMap = MeshMap();
        return m_SpareMap;
    }
    return m_Maps[mp + NUM_HIDDENMAPS];
}

const MeshMap& Mesh::Map(int mp) const
{
    static const MeshMap none;
    return ValidChannel(mp) ? m_Maps[mp + NUM_HIDDENMAPS] : none;
}

int Mesh::getNumMapVerts(int mp) const
{
    return mapSupport(mp) ? Map(mp).getNumVerts() : 0;
}

UVVert* Mesh::mapVerts(int mp)
{
    if (!mapSupport(mp) || Map(mp).tv.empty())
        return nullptr;
    return Map(mp).tv.data();
}

TVFace* Mesh::mapFaces(int mp)
{
    if (!mapSupport(mp) || Map(mp).tf.empty())
        return nullptr;
    return Map(mp).tf.data();
}

BOOL Mesh::vDataSupport(int channel) const
{
    return channel >= 0 && size_t(channel) < m_VData.size() && !m_VData[size_t(channel)].empty() ? TRUE : FALSE;
}

void Mesh::setVDataSupport(int channel, BOOL support)
{
    if (channel < 0 || channel >= MAX_VERTEX_DATA)
        return;
    if (size_t(channel) >= m_VData.size())
        m_VData.resize(size_t(channel) + 1);
    std::vector<float>& data = m_VData[size_t(channel)];
    if (!support)
        data.clear();
    else
        // A channel of a mesh without vertices holds nothing and so is not
        // supported: the host drops empty channels too.
        data.resize(verts.size(), 0.0f);
}

float* Mesh::vertexFloat(int channel)
{
    if (!vDataSupport(channel))
        return nullptr;
    std::vector<float>& data = m_VData[size_t(channel)];
    data.resize(verts.size(), 0.0f);
    return data.data();
}

MeshNormalSpec* Mesh::GetSpecifiedNormals()
{
    return m_HasSpecified ? &m_Specified : nullptr;
}

const MeshNormalSpec* Mesh::GetSpecifiedNormals() const
{
    return m_HasSpecified ? &m_Specified : nullptr;
}

MeshNormalSpec& Mesh::SpecifyNormals()
{
    m_HasSpecified = true;
    return m_Specified;
}

void Mesh::buildNormals()
{
    const size_t nv = verts.size(), nf = faces.size();
    m_FaceNormals.assign(nf, Point3());
    const auto inRange = [nv](const Face& f) { return f.v[0] < nv && f.v[1] < nv && f.v[2] < nv; };
    for (size_t f = 0; f < nf; ++f) {
        const Face& face = faces[f];
        if (inRange(face)) {
            const Point3& a = verts[face.v[0]];
            m_FaceNormals[f] = Normalize(CrossProd(verts[face.v[1]] - a, verts[face.v[2]] - a));
        }
    }
    // The faces of each vertex, in face order (counting sort).
    std::vector<uint32_t> first(nv + 1, 0);
    for (const Face& face : faces)
        if (inRange(face))
            for (const DWORD v : face.v)
                ++first[v + 1];
    for (size_t v = 0; v < nv; ++v)
        first[v + 1] += first[v];
    std::vector<uint32_t> incident(first[nv]);
    std::vector<uint32_t> fill(first.begin(), first.end() - 1);
    for (size_t f = 0; f < nf; ++f)
        if (inRange(faces[f]))
            for (const DWORD v : faces[f].v)
                incident[fill[v]++] = uint32_t(f);

    std::vector<RVertex> old = std::move(m_RVerts);
    m_RVerts.assign(nv, RVertex());
    struct Group
    {
        DWORD mask;
        Point3 sum;
        uint32_t firstFace;
    };
    std::vector<Group> groups;
    for (size_t v = 0; v < nv; ++v) {
        if (v < old.size() && (old[v].rFlags & SPECIFIED_NORMAL)) {
            m_RVerts[v] = old[v];
            continue;
        }
        groups.clear();
        uint32_t previous = UINT32_MAX;
        for (uint32_t k = first[v]; k < first[v + 1]; ++k) {
            const uint32_t f = incident[k];
            // A face that names the vertex twice counts once.
            if (f == previous)
                continue;
            previous = f;
            const DWORD s = faces[f].smGroup;
            if (s == 0)
                continue;
            // Merge the face with every group it shares a bit with; groups
            // have disjoint masks, so there are at most 32.
            Group merged{s, m_FaceNormals[f], f};
            size_t out = 0;
            for (size_t g = 0; g < groups.size(); ++g) {
                if (groups[g].mask & s) {
                    merged.mask |= groups[g].mask;
                    merged.sum += groups[g].sum;
                    merged.firstFace = merged.firstFace < groups[g].firstFace ? merged.firstFace : groups[g].firstFace;
                } else {
                    groups[out++] = groups[g];
                }
            }
            groups.resize(out);
            // Keep the groups in the order of their first faces.
            size_t at = 0;
            while (at < groups.size() && groups[at].firstFace < merged.firstFace)
                ++at;
            groups.insert(groups.begin() + long(at), merged);
        }
        RVertex& rv = m_RVerts[v];
        rv.rFlags = DWORD(groups.size()) & NORCT_MASK;
        if (groups.size() == 1) {
            rv.rn.normal = Normalize(groups[0].sum);
            rv.rn.smGroup = groups[0].mask;
        } else {
            for (const Group& g : groups)
                rv.ern.push_back(RNormal{Normalize(g.sum), g.mask});
        }
    }
}

Point3 Mesh::getFaceNormal(int f) const
{
    if (f < 0 || size_t(f) >= m_FaceNormals.size())
        return Point3();
    return m_FaceNormals[size_t(f)];
}

RVertex& Mesh::getRVert(int i)
{
    if (i < 0 || size_t(i) >= m_RVerts.size()) {
        m_SpareRVert = RVertex();
        return m_SpareRVert;
    }
    return m_RVerts[size_t(i)];
}

RVertex* Mesh::getRVertPtr(int i)
{
    return i < 0 || size_t(i) >= m_RVerts.size() ? nullptr : &m_RVerts[size_t(i)];
}

void Mesh::setNormal(int i, const Point3& n)
{
    if (i < 0 || size_t(i) >= verts.size())
        return;
    if (m_RVerts.size() < verts.size())
        m_RVerts.resize(verts.size());
    RVertex& rv = m_RVerts[size_t(i)];
    rv.rFlags = SPECIFIED_NORMAL | 1;
    rv.rn.normal = n;
    rv.ern.clear();
}
