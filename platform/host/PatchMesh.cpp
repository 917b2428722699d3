#include "platform/host/PatchMesh.h"

#include <map>
#include <tuple>

namespace {

bool ValidChannel(int mp)
{
    return mp >= -NUM_HIDDENMAPS && mp < MAX_MESHMAPS;
}

} // namespace

BOOL PatchMesh::getMapSupport(int mp) const
{
    return ValidChannel(mp) && m_Maps[mp + NUM_HIDDENMAPS].support ? TRUE : FALSE;
}

void PatchMesh::setMapSupport(int mp, BOOL support)
{
    if (!ValidChannel(mp))
        return;
    PatchMap& map = m_Maps[mp + NUM_HIDDENMAPS];
    map.support = support != 0;
    if (!map.support) {
        map.tv.clear();
        map.tp.clear();
    }
}

int PatchMesh::getNumMapVerts(int mp) const
{
    return getMapSupport(mp) ? int(m_Maps[mp + NUM_HIDDENMAPS].tv.size()) : 0;
}

PatchTVert* PatchMesh::mapVerts(int mp)
{
    if (!getMapSupport(mp) || Map(mp).tv.empty())
        return nullptr;
    return Map(mp).tv.data();
}

TVPatch* PatchMesh::mapPatches(int mp)
{
    if (!getMapSupport(mp) || Map(mp).tp.empty())
        return nullptr;
    return Map(mp).tp.data();
}

PatchMap& PatchMesh::Map(int mp)
{
    if (!ValidChannel(mp)) {
        m_SpareMap = PatchMap();
        return m_SpareMap;
    }
    return m_Maps[mp + NUM_HIDDENMAPS];
}

void PatchMesh::buildLinkages()
{
    edges.clear();
    // An edge is its two corners and two vectors, whichever way a patch
    // walks it.
    std::map<std::tuple<int, int, int, int>, int> found;
    const int nv = getNumVerts(), nvec = getNumVecs();
    for (size_t p = 0; p < patches.size(); ++p) {
        Patch& patch = patches[p];
        const int corners = patch.Corners();
        for (int i = 0; i < 4; ++i)
            patch.edge[i] = -1;
        for (int i = 0; i < corners; ++i) {
            const int a = patch.v[i], b = patch.v[(i + 1) % corners];
            const int ab = patch.vec[2 * i], ba = patch.vec[2 * i + 1];
            if (a < 0 || a >= nv || b < 0 || b >= nv || ab < 0 || ab >= nvec || ba < 0 || ba >= nvec)
                continue;
            const auto key = a < b ? std::make_tuple(a, ab, ba, b) : std::make_tuple(b, ba, ab, a);
            auto it = found.find(key);
            if (it == found.end()) {
                PatchEdge e;
                e.v1 = a;
                e.vec12 = ab;
                e.vec21 = ba;
                e.v2 = b;
                edges.push_back(e);
                it = found.emplace(key, int(edges.size()) - 1).first;
            }
            patch.edge[i] = it->second;
            edges[size_t(it->second)].patches.push_back(int(p));
        }
    }
}

PatchObject::PatchObject() : GeomObject(GEOMOBJECT_CLASS_ID, patchObjectClassID, "Editable Patch") {}

Point3 PatchObject::GetPoint(int i) const
{
    if (i >= 0 && i < patch.getNumVerts())
        return patch.verts[size_t(i)].p;
    i -= patch.getNumVerts();
    return i >= 0 && i < patch.getNumVecs() ? patch.vecs[size_t(i)].p : Point3();
}

void PatchObject::SetPoint(int i, const Point3& p)
{
    if (i >= 0 && i < patch.getNumVerts()) {
        patch.verts[size_t(i)].p = p;
        return;
    }
    i -= patch.getNumVerts();
    if (i >= 0 && i < patch.getNumVecs())
        patch.vecs[size_t(i)].p = p;
}

std::unique_ptr<Object> PatchObject::Clone() const
{
    auto copy = std::make_unique<PatchObject>();
    copy->patch = patch;
    copy->m_Valid = m_Valid;
    return copy;
}

bool PatchObject::CopyFrom(const Object& other)
{
    const PatchObject* source = dynamic_cast<const PatchObject*>(&other);
    if (!source)
        return false;
    patch = source->patch;
    m_Valid = source->m_Valid;
    return true;
}
