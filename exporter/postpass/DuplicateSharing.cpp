#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/bitmap/CKBitmapData.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/postpass/PostPassSupport.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKObjectAnimation.h"
#include "render/mesh/CKMesh.h"
#include "render/objects/CK2dEntity.h"
#include "render/objects/CK3dEntity.h"
#include "render/objects/CKSprite3D.h"
#include "system/image/QxImageDesc.h"

// Candidates are sorted into buckets by a hash of every field the
// comparison checks exactly; only objects of one bucket can be equal, so
// the tolerance comparison runs within a bucket alone.

namespace {

constexpr float kEpsilon = 1.1920929e-07f;

// A 64-bit hash of the fields' bytes, eight at a time (the bytes only
// choose a bucket: equal fields give equal hashes).
struct FieldHash
{
    uint64_t value = 1469598103934665603ULL;

    void Mix(uint64_t word)
    {
        value = (value ^ word) * 0x9E3779B97F4A7C15ULL;
        value ^= value >> 29;
    }
    void Bytes(const void* data, size_t size)
    {
        const auto* p = static_cast<const CKBYTE*>(data);
        for (; size >= 8; p += 8, size -= 8) {
            uint64_t word;
            std::memcpy(&word, p, 8);
            Mix(word);
        }
        uint64_t tail = size;
        for (size_t i = 0; i < size; ++i)
            tail = (tail << 8) | p[i];
        Mix(tail);
    }
    template <class T>
    void Add(const T& field)
    {
        Bytes(&field, sizeof field);
    }
};

const char* NameOf(CKObject* object)
{
    return object && object->GetName() ? object->GetName() : "";
}

// The engine's own objects (the render manager's default materials) are
// never saved: users relinked to one would lose what they showed.
bool Shareable(CKObject* object)
{
    return !(object->GetObjectFlags() & CK_OBJECT_NOTTOBESAVED);
}

bool Near(float a, float b)
{
    return std::fabs(a - b) <= kEpsilon;
}

bool Near(const QxVector& a, const QxVector& b)
{
    return Near(a.x, b.x) && Near(a.y, b.y) && Near(a.z, b.z);
}

bool SameColor(const QxColor& a, const QxColor& b)
{
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

// The member parameters of a material's effect parameter, in order.
std::vector<CKParameter*> EffectMembers(CKContext* context, CKMaterial* material)
{
    std::vector<CKParameter*> members;
    CKParameter* effect = material->GetEffectParameter();
    const auto* ids = effect ? static_cast<const CKBYTE*>(effect->GetReadDataPtr(FALSE)) : nullptr;
    for (int offset = 0; ids && offset + 4 <= effect->GetDataSize(); offset += 4) {
        CK_ID id = 0;
        std::memcpy(&id, ids + offset, sizeof id);
        CKObject* object = id ? context->GetObject(id) : nullptr;
        members.push_back(IsOfClass(object, CKCID_PARAMETER) ? static_cast<CKParameter*>(object) : nullptr);
    }
    return members;
}

bool SameParameterValue(CKParameter* a, CKParameter* b)
{
    if (!a || !b)
        return a == b;
    if (a->GetGUID() != b->GetGUID() || a->GetDataSize() != b->GetDataSize())
        return false;
    const void* x = a->GetReadDataPtr(FALSE);
    const void* y = b->GetReadDataPtr(FALSE);
    if (!x || !y)
        return x == y;
    return std::memcmp(x, y, (size_t) a->GetDataSize()) == 0;
}

void HashEffect(FieldHash& h, CKContext* context, CKMaterial* material)
{
    for (CKParameter* member : EffectMembers(context, material)) {
        const void* data = member ? member->GetReadDataPtr(FALSE) : nullptr;
        h.Add(member ? member->GetDataSize() : -1);
        if (data)
            h.Bytes(data, (size_t) member->GetDataSize());
    }
}

uint64_t TextureKey(CKTexture* t)
{
    FieldHash h;
    CKBitmapData& data = t->GetBitmapData();
    const int slots = data.GetSlotCount();
    h.Add(slots);
    QxImageDesc desc;
    t->GetSystemTextureDesc(desc);
    h.Add(desc.Width);
    h.Add(desc.Height);
    h.Add(desc.BitsPerPixel);
    h.Add(t->GetMipmapCount());
    h.Add(data.GetBitmapFlags() & 0xD2u);
    h.Add(data.GetDesiredVideoFormat());
    h.Add(data.GetTransparentColor());
    for (int s = 0; s < slots; ++s)
        for (int y = 0; y < data.GetHeight(); ++y)
            for (int x = 0; x < data.GetWidth(); ++x)
                h.Add(data.GetPixel(x, y, s));
    return h.value;
}

uint64_t MaterialKey(CKContext* context, CKMaterial* m)
{
    FieldHash h;
    h.Add(m->GetAmbient());
    h.Add(m->GetDiffuse());
    h.Add(m->GetEmissive());
    h.Add(m->GetPower());
    h.Add(m->GetSpecular());
    h.Add(m->GetEffect());
    HashEffect(h, context, m);
    for (int stage = 0; stage < CKMATERIAL_STAGES; ++stage)
        h.Add(m->GetTexture(stage));
    const int modes[] = {m->GetTextureAddressMode(),
                         m->GetTextureBlendMode(),
                         (int) m->GetTextureBorderColor(),
                         m->GetTextureMagMode(),
                         m->GetTextureMinMode(),
                         m->PerspectiveCorrectionEnabled(),
                         m->AlphaBlendEnabled(),
                         m->GetDestBlend(),
                         m->GetSourceBlend(),
                         m->IsAlphaTransparent(),
                         m->GetFillMode(),
                         m->GetShadeMode(),
                         m->GetZFunc(),
                         m->IsTwoSided(),
                         m->ZWriteEnabled(),
                         m->AlphaTestEnabled(),
                         m->GetAlphaFunc(),
                         m->GetAlphaRef()};
    h.Add(modes);
    return h.value;
}

uint64_t MeshKey(CKMesh* m)
{
    FieldHash h;
    const int vertices = m->GetVertexCount();
    const int faces = m->GetFaceCount();
    const int channels = m->GetChannelCount();
    // The comparison reads the radius before the flags, which brings the
    // bounding volumes (and their flag) up to date in both meshes: that flag
    // cannot tell them apart.
    const int counts[] = {vertices,
                          faces,
                          m->GetLineCount(),
                          m->GetMaterialCount(),
                          channels,
                          m->GetVertexWeightsCount(),
                          (int) (m->GetFlags() & ~(CKDWORD) CKMESH_BOUNDINGUPTODATE)};
    h.Add(counts);
    for (int i = 0; i < m->GetMaterialCount(); ++i)
        h.Add(m->GetMaterial(i));
    for (int c = 0; c < channels; ++c) {
        const int fields[] = {m->GetChannelDestBlend(c), m->GetChannelSourceBlend(c), (int) m->GetChannelFlags(c),
                              m->GetChannelType(c)};
        h.Add(fields);
        h.Add(m->GetChannelMaterial(c));
    }
    if (const CKDWORD* indices = m->GetFacesIndices())
        h.Bytes(indices, sizeof(CKDWORD) * 3 * (size_t) faces);
    for (int f = 0; f < faces; ++f)
        h.Add(m->GetFaceMaterial(f));
    CKDWORD stride = 0;
    const auto* colours = static_cast<const CKBYTE*>(m->GetColorsPtr(&stride, -1));
    for (int v = 0; colours && v < vertices; ++v) {
        CKDWORD diffuse;
        std::memcpy(&diffuse, colours + (size_t) v * stride, sizeof diffuse);
        h.Add(diffuse);
    }
    for (int l = 0; l < m->GetLineCount(); ++l) {
        int a = 0, b = 0;
        m->GetLine(l, &a, &b);
        h.Add(a);
        h.Add(b);
    }
    h.Add(m->GetBlendShapeCount());
    return h.value;
}

// The fields of an object animation its comparison checks exactly: which
// channels it has, each controller's type and key count, the morph vertex
// count, and the named controllers' names.
void HashController(FieldHash& h, CKAnimController* controller)
{
    h.Add(controller != nullptr);
    if (!controller)
        return;
    h.Add(controller->GetType());
    h.Add(controller->GetKeyCount());
}

uint64_t AnimationKey(CKObjectAnimation* a)
{
    FieldHash h;
    HashController(h, a->GetPositionController());
    HashController(h, a->GetRotationController());
    HashController(h, a->GetScaleController());
    HashController(h, a->GetScaleAxisController());
    HashController(h, a->GetMorphController());
    h.Add(a->GetMorphController() ? a->GetMorphVertexCount() : 0);
    const int named = a->GetNamedControllerCount();
    h.Add(named);
    for (int i = 0; i < named; ++i) {
        const CKAnimControllerEntry* entry = a->GetNamedControllerEntry(i);
        h.Add(entry ? entry->Name.Length() : -1);
        if (entry)
            h.Bytes(entry->Name.CStr(), (size_t) entry->Name.Length());
        HashController(h, entry ? entry->Controller : nullptr);
    }
    return h.value;
}

// The x of a mesh's first vertex (0 without vertex).
float FirstVertexX(CKMesh* mesh)
{
    QxVector p;
    if (mesh->GetVertexCount() > 0)
        mesh->GetVertexPosition(0, &p);
    return p.x;
}

// The index of users by the object they hold, in list order, so that each
// duplicate's users are found without walking every object again.
using UserIndex = std::unordered_map<CKObject*, std::vector<CKObject*>>;

} // namespace

void ExportBuilder::Reason(XString& reason, const char* format, ...)
{
    // The global passes want a reason only for their log.
    if (m_QuietCompare)
        return;
    va_list arguments;
    va_start(arguments, format);
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::vector<char> text((size_t) (length > 0 ? length : 0) + 1);
    std::vsnprintf(text.data(), text.size(), format, arguments);
    va_end(arguments);
    reason = text.data();
}

// Done bookkeeping of one global pass: a set, and the order found.
struct ExportBuilder::SharingDone
{
    std::unordered_set<CK_ID> ids;
    std::vector<CK_ID> order;
};

CKBOOL ExportBuilder::CompareTextures(CKTexture* t1, CKTexture* t2, XString& reason)
{
    const char* n1 = NameOf(t1);
    const char* n2 = NameOf(t2);
    CKBitmapData& a = t1->GetBitmapData();
    CKBitmapData& b = t2->GetBitmapData();
    if (a.GetSlotCount() != b.GetSlotCount()) {
        Reason(reason, "Not same SlotCount: t1=%s, t2=%s\n", n1, n2);
        return FALSE;
    }
    QxImageDesc d1, d2;
    t1->GetSystemTextureDesc(d1);
    t2->GetSystemTextureDesc(d2);
    if (d1 != d2) {
        Reason(reason, "Not same SystemTextureDesc: t1=%s, t2=%s\n", n1, n2);
        return FALSE;
    }
    if (t1->GetMipmapCount() != t2->GetMipmapCount()) {
        Reason(reason, "Not same MipmapCount: t1=%s, t2=%s\n", n1, n2);
        return FALSE;
    }
    static const struct
    {
        CKDWORD bit;
        const char* format;
    } kFlags[] = {{0x10, "Not same IsCubeMap: t1=%s, t2=%s\n"},
                  {0x80, "Not same IsVolumeMap: t1=%s, t2=%s\n"},
                  {0x40, "Not same DynamicHint: t1=%s, t2=%s\n"},
                  {0x02, "Not same IsTransparent: t1=%s, t2=%s\n"}};
    for (const auto& flag : kFlags)
        if ((a.GetBitmapFlags() & flag.bit) != (b.GetBitmapFlags() & flag.bit)) {
            Reason(reason, flag.format, n1, n2);
            return FALSE;
        }
    if (a.GetDesiredVideoFormat() != b.GetDesiredVideoFormat()) {
        Reason(reason, "Not same DesiredVideoFormat: t1=%s, t2=%s\n", n1, n2);
        return FALSE;
    }
    if (a.GetTransparentColor() != b.GetTransparentColor()) {
        Reason(reason, "Not same TransparentColor: t1=%s, t2=%s\n", n1, n2);
        return FALSE;
    }
    for (int s = 0; s < a.GetSlotCount(); ++s)
        for (int y = 0; y < a.GetHeight(); ++y)
            for (int x = 0; x < a.GetWidth(); ++x)
                if (a.GetPixel(x, y, s) != b.GetPixel(x, y, s)) {
                    Reason(reason, "Not same Slot[%d].Pixel[%d][%d].Color: t1=%s, t2=%s\n", s, y, x, n1, n2);
                    return FALSE;
                }
    return TRUE;
}

CKBOOL ExportBuilder::CompareMaterials(CKMaterial* m1, CKMaterial* m2, XString& reason)
{
    const char* n1 = NameOf(m1);
    const char* n2 = NameOf(m2);
    auto differ = [&](const char* field) {
        Reason(reason, "Not same %s: m1=%s, m2=%s\n", field, n1, n2);
        return FALSE;
    };
    if (!SameColor(m1->GetAmbient(), m2->GetAmbient()))
        return differ("Ambient");
    if (!SameColor(m1->GetDiffuse(), m2->GetDiffuse()))
        return differ("Diffuse");
    if (!SameColor(m1->GetEmissive(), m2->GetEmissive()))
        return differ("Emissive");
    if (m1->GetPower() != m2->GetPower())
        return differ("Power");
    if (!SameColor(m1->GetSpecular(), m2->GetSpecular()))
        return differ("Specular");
    if (m1->GetEffect() != m2->GetEffect())
        return differ("Effect");
    {
        const std::vector<CKParameter*> p1 = EffectMembers(context, m1);
        const std::vector<CKParameter*> p2 = EffectMembers(context, m2);
        bool same = p1.size() == p2.size();
        for (size_t i = 0; same && i < p1.size(); ++i)
            same = SameParameterValue(p1[i], p2[i]);
        if (!same)
            return differ("EffectParameter");
    }
    if (m1->GetTexture(0) != m2->GetTexture(0))
        return differ("Texture");
    for (int stage = 1; stage < CKMATERIAL_STAGES; ++stage)
        if (m1->GetTexture(stage) != m2->GetTexture(stage)) {
            Reason(reason, "Not same Texture[%d]: m1=%s, m2=%s\n", stage, n1, n2);
            return FALSE;
        }
    if (m1->GetTextureAddressMode() != m2->GetTextureAddressMode())
        return differ("TextureAddressMode");
    if (m1->GetTextureBlendMode() != m2->GetTextureBlendMode())
        return differ("TextureBlendMode");
    if (m1->GetTextureBorderColor() != m2->GetTextureBorderColor())
        return differ("TextureBorderColor");
    if (m1->GetTextureMagMode() != m2->GetTextureMagMode())
        return differ("TextureMagMode");
    if (m1->GetTextureMinMode() != m2->GetTextureMinMode())
        return differ("TextureMinMode");
    if (m1->PerspectiveCorrectionEnabled() != m2->PerspectiveCorrectionEnabled())
        return differ("PerspectiveCorrectionEnabled");
    if (m1->AlphaBlendEnabled() != m2->AlphaBlendEnabled())
        return differ("AlphaBlendEnabled");
    if (m1->GetDestBlend() != m2->GetDestBlend())
        return differ("DestBlend");
    if (m1->GetSourceBlend() != m2->GetSourceBlend())
        return differ("SourceBlend");
    if (m1->IsAlphaTransparent() != m2->IsAlphaTransparent())
        return differ("IsAlphaTransparent");
    if (m1->GetFillMode() != m2->GetFillMode())
        return differ("FillMode");
    if (m1->GetShadeMode() != m2->GetShadeMode())
        return differ("ShadeMode");
    if (m1->GetZFunc() != m2->GetZFunc())
        return differ("ZFunc");
    if (m1->IsTwoSided() != m2->IsTwoSided())
        return differ("IsTwoSided");
    if (m1->ZWriteEnabled() != m2->ZWriteEnabled())
        return differ("ZWriteEnabled");
    if (m1->AlphaTestEnabled() != m2->AlphaTestEnabled())
        return differ("AlphaTestEnabled");
    if (m1->GetAlphaFunc() != m2->GetAlphaFunc())
        return differ("AlphaFunc");
    if (m1->GetAlphaRef() != m2->GetAlphaRef())
        return differ("AlphaRef");
    return TRUE;
}

namespace {

// Reads one vertex attribute through its pointer and stride.
template <class T>
const T& At(const void* base, CKDWORD stride, int i)
{
    return *reinterpret_cast<const T*>(static_cast<const CKBYTE*>(base) + (size_t) i * stride);
}

} // namespace

CKBOOL ExportBuilder::CompareMeshes(CKMesh* p, CKMesh* cur, XString& reason)
{
    const char* n1 = NameOf(p);
    const char* n2 = NameOf(cur);
    auto differ = [&](const char* field) {
        Reason(reason, "Not same %s: p=%s, cur=%s\n", field, n1, n2);
        return FALSE;
    };
    auto differAt = [&](const char* format, int index) {
        Reason(reason, format, index, n1, n2);
        return FALSE;
    };
    const int vertices = p->GetVertexCount();
    const int faces = p->GetFaceCount();
    const int channels = p->GetChannelCount();
    if (vertices != cur->GetVertexCount())
        return differ("VertexCount");
    if (faces != cur->GetFaceCount())
        return differ("FaceCount");
    if (p->GetLineCount() != cur->GetLineCount())
        return differ("LineCount");
    if (p->GetMaterialCount() != cur->GetMaterialCount())
        return differ("MaterialCount");
    if (channels != cur->GetChannelCount())
        return differ("ChannelCount");
    if (p->GetVertexWeightsCount() != cur->GetVertexWeightsCount())
        return differ("WeightsCount");
    if (!Near(p->GetRadius(), cur->GetRadius()))
        return differ("Radius");
    if (!Near(p->GetBaryCenter(), cur->GetBaryCenter()))
        return differ("BaryCenter");
    const QxBbox& b1 = p->GetLocalBox();
    const QxBbox& b2 = cur->GetLocalBox();
    if (!Near(b1.Max, b2.Max) || !Near(b1.Min, b2.Min))
        return differ("LocalBox");
    if (p->GetFlags() != cur->GetFlags())
        return differ("Flags");
    for (int i = 0; i < p->GetMaterialCount(); ++i)
        if (p->GetMaterial(i) != cur->GetMaterial(i))
            return differAt("Not same Material[%d]: p=%s, cur=%s\n", i);
    for (int c = 0; c < channels; ++c) {
        if (p->GetChannelDestBlend(c) != cur->GetChannelDestBlend(c))
            return differAt("Not same Channel[%d].DestBlend: p=%s, cur=%s\n", c);
        if (p->GetChannelSourceBlend(c) != cur->GetChannelSourceBlend(c))
            return differAt("Not same Channel[%d].SourceBlend: p=%s, cur=%s\n", c);
        if (p->GetChannelFlags(c) != cur->GetChannelFlags(c))
            return differAt("Not same Channel[%d].Flags: p=%s, cur=%s\n", c);
        if (p->GetChannelType(c) != cur->GetChannelType(c))
            return differAt("Not same Channel[%d].Type: p=%s, cur=%s\n", c);
        if (p->GetChannelMaterial(c) != cur->GetChannelMaterial(c))
            return differAt("Not same Channel[%d].Material: p=%s, cur=%s\n", c);
    }
    CKDWORD s1 = 0, s2 = 0;
    const void* v1 = p->GetPositionsPtr(&s1);
    const void* v2 = cur->GetPositionsPtr(&s2);
    for (int i = 0; v1 && v2 && i < vertices; ++i)
        if (!Near(At<QxVector>(v1, s1, i), At<QxVector>(v2, s2, i)))
            return differAt("Not same Vertex[%d]: p=%s, cur=%s\n", i);
    v1 = p->GetNormalsPtr(&s1);
    v2 = cur->GetNormalsPtr(&s2);
    for (int i = 0; v1 && v2 && i < vertices; ++i)
        if (!Near(At<QxVector>(v1, s1, i), At<QxVector>(v2, s2, i)))
            return differAt("Not same Normal[%d]: p=%s, cur=%s\n", i);
    const CKDWORD* f1 = p->GetFacesIndices();
    const CKDWORD* f2 = cur->GetFacesIndices();
    for (int i = 0; f1 && f2 && i < 3 * faces; ++i)
        if (f1[i] != f2[i])
            return differAt("Not same FaceIndice[%d]: p=%s, cur=%s\n", i);
    for (int f = 0; f < faces; ++f)
        if (!Near(p->GetFaceNormal(f), cur->GetFaceNormal(f)))
            return differAt("Not same FaceNormal[%d]: p=%s, cur=%s\n", f);
    for (int f = 0; f < faces; ++f)
        if (p->GetFaceMaterial(f) != cur->GetFaceMaterial(f))
            return differAt("Not same FaceMaterial[%d]: p=%s, cur=%s\n", f);
    for (int c = -1; c < channels; ++c)
        for (int i = 0; i < vertices; ++i) {
            float u1 = 0, w1 = 0, u2 = 0, w2 = 0;
            p->GetVertexTextureCoordinates(i, &u1, &w1, c);
            cur->GetVertexTextureCoordinates(i, &u2, &w2, c);
            if (!Near(u1, u2) || !Near(w1, w2)) {
                Reason(reason, "Not same Channel[%d].TextureCoord[%d][%d]: p=%s, cur=%s\n", c, i, Near(u1, u2) ? 1 : 0,
                       n1, n2);
                return FALSE;
            }
        }
    for (int i = 0; i < p->GetVertexWeightsCount(); ++i)
        if (!Near(p->GetVertexWeight(i), cur->GetVertexWeight(i)))
            return differAt("Not same VertexWeight[%d]: p=%s, cur=%s\n", i);
    for (int i = 0; i < vertices; ++i)
        if (p->GetVertexColor(i) != cur->GetVertexColor(i))
            return differAt("Not same VertexColor[%d]: p=%s, cur=%s\n", i);
    for (int l = 0; l < p->GetLineCount(); ++l) {
        int a1 = 0, a2 = 0, c1 = 0, c2 = 0;
        p->GetLine(l, &a1, &c1);
        cur->GetLine(l, &a2, &c2);
        if ((CKWORD) a1 != (CKWORD) a2)
            return differAt("Not same LineIndice[%d]: p=%s, cur=%s\n", 2 * l);
        if ((CKWORD) c1 != (CKWORD) c2)
            return differAt("Not same LineIndice[%d]: p=%s, cur=%s\n", 2 * l + 1);
    }
    if (p->GetBlendShapeCount() != cur->GetBlendShapeCount())
        return differ("blend shape count");
    if (p->GetBlendShapeCount() == 0)
        return TRUE;
    CKBlendShapeData d1, d2;
    p->GetBlendShapes(d1);
    cur->GetBlendShapes(d2);
    bool sameNames = d1.Names.Size() == d2.Names.Size();
    for (int i = 0; sameNames && i < d1.Names.Size(); ++i)
        sameNames = d1.Names[i] == d2.Names[i];
    if (!sameNames)
        return differ("blend shape names");
    if (d1.BaseVertices.Size() != d2.BaseVertices.Size())
        return differ("blend shape initial vertices");
    for (int i = 0; i < d1.BaseVertices.Size(); ++i) {
        const CKBlendShapeBaseVertex& a = d1.BaseVertices[i];
        const CKBlendShapeBaseVertex& b = d2.BaseVertices[i];
        if (a.Vertex != b.Vertex)
            return differ("blend shape initial vertex index");
        if (!Near(a.Normal, b.Normal))
            return differ("blend shape initial vertex normal");
        if (!Near(a.Position, b.Position))
            return differ("blend shape initial vertex position");
    }
    if (d1.Targets.Size() != d2.Targets.Size())
        return differ("physical blend shape count");
    for (int t = 0; t < d1.Targets.Size(); ++t) {
        const CKBlendShapeTarget& a = d1.Targets[t];
        const CKBlendShapeTarget& b = d2.Targets[t];
        if (a.Pivot != b.Pivot)
            return differ("physical blend shape weight");
        if (a.SlopeBelow != b.SlopeBelow)
            return differ("physical blend shape inslope");
        if (a.SlopeAbove != b.SlopeAbove)
            return differ("physical blend shape outslope");
        if (a.WeightIndex != b.WeightIndex)
            return differ("logical blend shape index");
        // Lists of unequal length differ: neither is read past its end.
        if (a.Deltas.Size() != b.Deltas.Size())
            return differ("blend shape delta count");
        for (int i = 0; i < a.Deltas.Size(); ++i) {
            if (a.Deltas[i].Vertex != b.Deltas[i].Vertex)
                return differ("blend shape delta index");
            if (!Near(a.Deltas[i].Normal, b.Deltas[i].Normal))
                return differ("blend shape normal delta");
            if (!Near(a.Deltas[i].Position, b.Deltas[i].Position))
                return differ("blend shape position delta");
        }
    }
    return TRUE;
}

// Relinking: each pass's users of the candidate take the reference.

namespace {

void RelinkTextureUsers(CKContext* context, GeLog* log, CKTexture* reference, CKTexture* candidate,
                        const std::vector<CKObject*>& users)
{
    const CK_ID referenceId = reference->GetID();
    for (CKObject* user : users) {
        auto* material = static_cast<CKMaterial*>(user);
        for (int stage = 0; stage < CKMATERIAL_STAGES; ++stage)
            if (material->GetTexture(stage) == candidate) {
                material->SetTexture(stage, reference);
                PostLog(log, "%s, ", NameOf(material));
            }
        bool named = false;
        ForEachEffectTexture(context, material, [&](CKParameter* member) {
            if (member->GetValueObject(FALSE) == candidate) {
                member->SetValue(&referenceId, sizeof referenceId);
                named = true;
            }
        });
        if (named)
            PostLog(log, "%s, ", NameOf(material));
    }
}

void RelinkMaterialUsers(GeLog* log, CKMaterial* reference, CKMaterial* candidate, const std::vector<CKObject*>& users)
{
    for (CKObject* user : users) {
        if (IsOfClass(user, CKCID_MESH)) {
            auto* mesh = static_cast<CKMesh*>(user);
            for (int i = 0; i < mesh->GetMaterialCount(); ++i)
                if (mesh->GetMaterial(i) == candidate) {
                    mesh->ReplaceMaterial(candidate, reference, FALSE);
                    PostLog(log, "%s, ", NameOf(mesh));
                }
            // Channels keep their place: the duplicate is about to go.
            for (int c = 0; c < mesh->GetChannelCount(); ++c)
                if (mesh->GetChannelMaterial(c) == candidate) {
                    mesh->SetChannelMaterial(c, reference);
                    PostLog(log, "%s, ", NameOf(mesh));
                }
        } else if (IsOfClass(user, CKCID_2DENTITY)) {
            static_cast<CK2dEntity*>(user)->SetMaterial(reference);
            PostLog(log, "%s, ", NameOf(user));
        } else if (IsOfClass(user, CKCID_SPRITE3D)) {
            static_cast<CKSprite3D*>(user)->SetMaterial(reference);
            PostLog(log, "%s, ", NameOf(user));
        }
    }
}

void RelinkMeshUsers(GeLog* log, CKMesh* reference, CKMesh* candidate, const std::vector<CKObject*>& users)
{
    for (CKObject* user : users) {
        auto* entity = static_cast<CK3dEntity*>(user);
        for (int m = 0; m < entity->GetMeshCount(); ++m) {
            if (entity->GetMesh(m) != candidate)
                continue;
            const bool current = entity->GetCurrentMesh() == candidate;
            std::vector<float> weights;
            for (int w = 0; w < candidate->GetBlendShapeCount(); ++w)
                weights.push_back(entity->GetBlendShapeWeight(w));
            entity->RemoveMesh(candidate);
            if (current) {
                entity->SetCurrentMesh(reference, TRUE);
                for (int w = 0; w < (int) weights.size(); ++w)
                    entity->SetBlendShapeWeight(w, weights[(size_t) w]);
            } else {
                entity->AddMesh(reference);
            }
            PostLog(log, "%s, ", NameOf(entity));
            m = -1; // the list changed: look again from the start
        }
    }
}

// The objects of the list that hold each object of the pass's kind.
UserIndex IndexTextureUsers(CKContext* context, const XArray<CKObject*>& objects)
{
    UserIndex index;
    for (CKObject* object : objects) {
        if (!IsOfClass(object, CKCID_MATERIAL))
            continue;
        auto* material = static_cast<CKMaterial*>(object);
        std::unordered_set<CKObject*> held;
        for (int stage = 0; stage < CKMATERIAL_STAGES; ++stage)
            if (CKTexture* texture = material->GetTexture(stage))
                held.insert(texture);
        ForEachEffectTexture(context, material,
                             [&](CKParameter* member) { held.insert(member->GetValueObject(FALSE)); });
        for (CKObject* texture : held)
            index[texture].push_back(object);
    }
    return index;
}

UserIndex IndexMaterialUsers(const XArray<CKObject*>& objects)
{
    UserIndex index;
    for (CKObject* object : objects) {
        std::unordered_set<CKObject*> held;
        if (IsOfClass(object, CKCID_MESH)) {
            auto* mesh = static_cast<CKMesh*>(object);
            for (int i = 0; i < mesh->GetMaterialCount(); ++i)
                held.insert(mesh->GetMaterial(i));
            for (int c = 0; c < mesh->GetChannelCount(); ++c)
                held.insert(mesh->GetChannelMaterial(c));
        } else if (IsOfClass(object, CKCID_2DENTITY)) {
            held.insert(static_cast<CK2dEntity*>(object)->GetMaterial());
        } else if (IsOfClass(object, CKCID_SPRITE3D)) {
            held.insert(static_cast<CKSprite3D*>(object)->GetMaterial());
        }
        held.erase(nullptr);
        for (CKObject* material : held)
            index[material].push_back(object);
    }
    return index;
}

UserIndex IndexMeshUsers(const XArray<CKObject*>& objects)
{
    UserIndex index;
    for (CKObject* object : objects) {
        if (!IsOfClass(object, CKCID_3DENTITY))
            continue;
        auto* entity = static_cast<CK3dEntity*>(object);
        std::unordered_set<CKObject*> held;
        for (int m = 0; m < entity->GetMeshCount(); ++m)
            if (CKMesh* mesh = entity->GetMesh(m))
                held.insert(mesh);
        for (CKObject* mesh : held)
            index[mesh].push_back(object);
    }
    return index;
}

// A relinked user now holds the reference instead of the candidate.
void MoveUsers(UserIndex& index, CKObject* reference, CKObject* candidate)
{
    auto found = index.find(candidate);
    if (found == index.end())
        return;
    std::vector<CKObject*> moved = std::move(found->second);
    index.erase(found);
    std::vector<CKObject*>& users = index[reference];
    for (CKObject* user : moved)
        if (std::find(users.begin(), users.end(), user) == users.end())
            users.push_back(user);
}

struct SharingKind
{
    CK_CLASSID cid;
    const char* globalName;
    const char* passName;
    const char* usersHeader;
};

constexpr SharingKind kTextures{CKCID_TEXTURE, "DASITexturesGlobal", "DASITextures", "Relinking Materials: "};
constexpr SharingKind kMaterials{CKCID_MATERIAL, "DASIMaterialsGlobal", "DASIMaterials", "Relinking Meshes: "};
constexpr SharingKind kMeshes{CKCID_MESH, "DASIMeshesGlobal", "DASIMeshes", "Relinking 3DEntities: "};

} // namespace

int ExportBuilder::ShareDuplicates(int kind, CKObject* reference, const XArray<CKObject*>& candidates,
                                   SharingDone& done, void* users)
{
    const SharingKind& k = kind == 0 ? kTextures : kind == 1 ? kMaterials : kMeshes;
    auto& index = *static_cast<UserIndex*>(users);
    PostLog(log, "%s %s\n", k.passName, NameOf(reference));
    if (!Shareable(reference))
        return 0;
    XString reason(100);
    int found = 0;
    for (CKObject* candidate : candidates) {
        if (candidate == reference || !IsOfClass(candidate, k.cid) || !Shareable(candidate) ||
            done.ids.count(candidate->GetID()))
            continue;
        const bool same =
            kind == 0 ? CompareTextures(static_cast<CKTexture*>(reference), static_cast<CKTexture*>(candidate), reason)
            : kind == 1
                ? CompareMaterials(static_cast<CKMaterial*>(reference), static_cast<CKMaterial*>(candidate), reason)
                : CompareMeshes(static_cast<CKMesh*>(reference), static_cast<CKMesh*>(candidate), reason);
        if (!same) {
            PostLog(log, "%s", reason.CStr());
            continue;
        }
        ++found;
        PostLog(log, "Found Dupplicates: p=%s, cur=%s\n", NameOf(reference), NameOf(candidate));
        PostLog(log, "%s", k.usersHeader);
        auto holders = index.find(candidate);
        static const std::vector<CKObject*> kNone;
        const std::vector<CKObject*>& list = holders == index.end() ? kNone : holders->second;
        if (kind == 0)
            RelinkTextureUsers(context, log, static_cast<CKTexture*>(reference), static_cast<CKTexture*>(candidate),
                               list);
        else if (kind == 1)
            RelinkMaterialUsers(log, static_cast<CKMaterial*>(reference), static_cast<CKMaterial*>(candidate), list);
        else
            RelinkMeshUsers(log, static_cast<CKMesh*>(reference), static_cast<CKMesh*>(candidate), list);
        MoveUsers(index, reference, candidate);
        PostLog(log, "\b\b.\n");
        done.ids.insert(candidate->GetID());
        done.order.push_back(candidate->GetID());
    }
    return found;
}

int ExportBuilder::RunSharingPass(int kind)
{
    const SharingKind& k = kind == 0 ? kTextures : kind == 1 ? kMaterials : kMeshes;
    PostLog(log, "%s\n", k.globalName);
    XArray<CKObject*> objects = CopyAllObjects(context);
    UserIndex users = kind == 0   ? IndexTextureUsers(context, objects)
                      : kind == 1 ? IndexMaterialUsers(objects)
                                  : IndexMeshUsers(objects);
    // Meshes are shared among the builder's own only.
    std::unordered_set<CKObject*> created;
    if (kind == 2)
        created.insert(createdObjects.Begin(), createdObjects.End());
    std::unordered_map<uint64_t, XArray<CKObject*>> buckets;
    std::vector<uint64_t> bucketOrder;
    for (CKObject* object : objects) {
        if (!IsOfClass(object, k.cid) || !Shareable(object) || (kind == 2 && !created.count(object)))
            continue;
        const uint64_t key = kind == 0   ? TextureKey(static_cast<CKTexture*>(object))
                             : kind == 1 ? MaterialKey(context, static_cast<CKMaterial*>(object))
                                         : MeshKey(static_cast<CKMesh*>(object));
        XArray<CKObject*>& bucket = buckets[key];
        if (bucket.Size() == 0)
            bucketOrder.push_back(key);
        bucket.PushBack(object);
    }
    SharingDone done;
    int total = 0;
    m_QuietCompare = log == nullptr;
    for (uint64_t key : bucketOrder) {
        const XArray<CKObject*>& bucket = buckets[key];
        // Meshes equal within the tolerance have their first vertices within
        // it too: sorted by its x, a mesh is compared only with those close
        // by.
        std::vector<std::pair<float, int>> byX;
        if (kind == 2)
            for (int i = 0; i < bucket.Size(); ++i)
                byX.emplace_back(FirstVertexX(static_cast<CKMesh*>(bucket[i])), i);
        std::sort(byX.begin(), byX.end());
        for (int i = 0; i + 1 < bucket.Size(); ++i) {
            if (done.ids.count(bucket[i]->GetID()))
                continue;
            // Earlier members were references already and found different.
            XArray<CKObject*> later;
            if (kind == 2) {
                const double x = FirstVertexX(static_cast<CKMesh*>(bucket[i]));
                auto from = std::lower_bound(byX.begin(), byX.end(), std::make_pair((float) (x - 2.0 * kEpsilon), -1));
                std::vector<int> close;
                for (auto it = from; it != byX.end() && it->first <= x + 2.0 * kEpsilon; ++it)
                    if (it->second > i)
                        close.push_back(it->second);
                std::sort(close.begin(), close.end());
                for (int j : close)
                    later.PushBack(bucket[j]);
            } else {
                for (int j = i + 1; j < bucket.Size(); ++j)
                    later.PushBack(bucket[j]);
            }
            total += ShareDuplicates(kind, bucket[i], later, done, &users);
        }
    }
    m_QuietCompare = FALSE;
    // The most recent duplicate first, as the done list runs.
    XArray<CK_ID> duplicates;
    for (auto it = done.order.rbegin(); it != done.order.rend(); ++it)
        duplicates.PushBack(*it);
    DestroyWithDependencies(duplicates);
    return total;
}

int ExportBuilder::DASITexturesGlobal()
{
    return RunSharingPass(0);
}

int ExportBuilder::DASIMaterialsGlobal()
{
    return RunSharingPass(1);
}

int ExportBuilder::DASIMeshesGlobal()
{
    return RunSharingPass(2);
}

namespace {

template <class F>
int PerReference(XArray<CK_ID>& doneList, F run)
{
    ExportBuilder::SharingDone done;
    for (CK_ID id : doneList) {
        done.ids.insert(id);
    }
    const int found = run(done);
    // New ids go to the front of the list.
    for (CK_ID id : done.order)
        doneList.Insert(0, id);
    return found;
}

} // namespace

int ExportBuilder::DASITextures(CKTexture* reference, const XArray<CKObject*>& objects, XArray<CK_ID>& done)
{
    UserIndex users = IndexTextureUsers(context, objects);
    return PerReference(done, [&](SharingDone& d) { return ShareDuplicates(0, reference, objects, d, &users); });
}

int ExportBuilder::DASIMaterials(CKMaterial* reference, const XArray<CKObject*>& objects, XArray<CK_ID>& done)
{
    UserIndex users = IndexMaterialUsers(objects);
    return PerReference(done, [&](SharingDone& d) { return ShareDuplicates(1, reference, objects, d, &users); });
}

int ExportBuilder::DASIMeshes(CKMesh* reference, const XArray<CKObject*>& objects, XArray<CK_ID>& done)
{
    UserIndex users = IndexMeshUsers(objects);
    return PerReference(done, [&](SharingDone& d) { return ShareDuplicates(2, reference, objects, d, &users); });
}

int ExportBuilder::DASIAnimations(CKObjectAnimation* reference, const XArray<CKObject*>& objects)
{
    PostLog(log, "DASIAnimations %s\n", NameOf(reference));
    // An animation that shares another's data is neither reference nor
    // candidate: its data is not its own to give.
    if (!reference || reference->GetDataOwner() || !Shareable(reference))
        return 0;
    int found = 0;
    for (CKObject* object : objects) {
        if (object == reference || !IsOfClass(object, CKCID_OBJECTANIMATION))
            continue;
        auto* candidate = static_cast<CKObjectAnimation*>(object);
        if (candidate->GetDataOwner() || !Shareable(candidate))
            continue;
        if (reference->Compare(candidate, kEpsilon)) {
            candidate->ShareDataFrom(reference);
            ++found;
            PostLog(log, "Sharing Object Animation from a1=%s to a2=%s\n", NameOf(reference), NameOf(candidate));
        } else {
            PostLog(log, "Not same Object Animation: a1=%s, a2=%s\n", NameOf(reference), NameOf(candidate));
        }
    }
    return found;
}

int ExportBuilder::DASIAnimationsGlobal()
{
    PostLog(log, "DASIAnimationsGlobal\n");
    XArray<CKObject*> objects = CopyAllObjects(context);
    // Each animation is compared with those of its bucket alone (in list
    // order): the others differ in a field compared exactly. Sharing keeps
    // those fields, so an animation stays in its bucket.
    std::vector<CKObjectAnimation*> animations;
    std::vector<uint64_t> keys;
    std::unordered_map<uint64_t, XArray<CKObject*>> buckets;
    for (CKObject* object : objects)
        if (IsOfClass(object, CKCID_OBJECTANIMATION)) {
            auto* animation = static_cast<CKObjectAnimation*>(object);
            animations.push_back(animation);
            keys.push_back(AnimationKey(animation));
            buckets[keys.back()].PushBack(object);
        }
    int total = 0;
    for (size_t i = 0; i < animations.size(); ++i)
        total += DASIAnimations(animations[i], buckets[keys[i]]);
    return total;
}
