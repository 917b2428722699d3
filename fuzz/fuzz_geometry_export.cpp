// Exports a host scene built from arbitrary bytes through the whole driver:
// standard, multi/sub-object, shell and unknown materials with bitmap maps
// (real files, a non-power-of-two one, a missing one, a name alone), triangle
// meshes and patch meshes with arbitrary vertex, face, map, colour, alpha,
// normal and weight indices and arbitrary numbers (NaN, infinities, -0),
// nodes sharing objects under arbitrary pivots and user properties
// ("MapChannel" ones among them). The export must end and write its file
// whatever the scene holds; what a value means is read from the bytes in
// order, and a short input reads as zeros.
//
// The second byte turns on the post passes (mesh splitting, named levels of
// detail, duplicate sharing of textures, materials, meshes and animations)
// and, with its top bit, the scene shapes they look for: layered and
// composite materials, node names after a base's "_LOD<n>" pattern, a
// bitmap file that repeats another's pixels, and materials and objects read
// again from the bytes of an earlier one, so that equal ones meet; and then
// a third byte (bit 0: the report and the passes' reasons go to a log file).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "exporter/driver/DriverState.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/shell/PluginShell.h"
#include "fuzz/FuzzScratchFile.h"
#include "platform/host/Control.h"
#include "platform/host/HostScene.h"
#include "platform/host/INode.h"
#include "platform/host/Interface.h"
#include "platform/host/Matrix3.h"
#include "platform/host/Mesh.h"
#include "platform/host/Mtl.h"
#include "platform/host/PatchMesh.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"
#include "platform/host/TriObject.h"
#include "tools/testdata/ImageFileBuilders.h"
#include "tools/testdata/RgbaImage.h"

namespace {

class Bytes
{
public:
    Bytes(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}

    uint8_t U8() { return m_At < m_Size ? m_Data[m_At++] : 0; }
    int Below(int n) { return n > 0 ? U8() % n : 0; }
    bool Flag() { return (U8() & 1) != 0; }
    // Mostly a value below n; now and then one beyond it or a huge one.
    DWORD Index(int n)
    {
        const uint8_t b = U8();
        if (b == 0xFF)
            return 0xFFFFFFFFu;
        if (b >= 0xF0)
            return DWORD(n) + (b & 7);
        return n > 0 ? DWORD(b % n) : 0;
    }
    // A small number, or one of the awkward ones.
    float Number()
    {
        const uint8_t b = U8();
        switch (b) {
        case 0xFF: return std::numeric_limits<float>::quiet_NaN();
        case 0xFE: return std::numeric_limits<float>::infinity();
        case 0xFD: return -0.0f;
        case 0xFC: return 1e30f;
        default: return (float) ((int) b - 100) / 16.0f;
        }
    }
    Point3 Point() { return Point3(Number(), Number(), Number()); }
    size_t At() const { return m_At; }
    // Reads from an earlier position, then goes on where it was: what is
    // made from those bytes is made again, equal to the first.
    template <class Make>
    auto Again(size_t at, Make make)
    {
        const size_t back = m_At;
        m_At = at;
        auto made = make();
        m_At = back;
        return made;
    }
    std::string Text(int most)
    {
        std::string text;
        for (int n = Below(most + 1); n > 0; --n)
            text.push_back((char) U8());
        return text;
    }

private:
    const uint8_t* m_Data;
    size_t m_Size;
    size_t m_At = 0;
};

// Bitmap files beside the scratch file: a power-of-two one, a wide one, one
// with alpha; then a missing file and a name with no folder; last a copy of
// the first under another name, for the scene shapes alone.
struct Images
{
    std::vector<std::string> names;
    static constexpr int kFiles = 3;
    static constexpr int kPlainNames = 5;
    Images()
    {
        const std::string base = FuzzScratchPath();
        BmpRecipe square;
        square.width = square.height = 4;
        BmpRecipe wide;
        wide.width = 6;
        wide.height = 4;
        BmpRecipe alpha;
        alpha.width = alpha.height = 8;
        alpha.bits = 32;
        const BmpRecipe recipes[] = {square, wide, alpha};
        for (int i = 0; i < kFiles; ++i) {
            names.push_back(base + "-image" + std::to_string(i) + ".bmp");
            if (!SaveFileBytes(names.back(), BuildBmp(recipes[i])))
                std::abort();
        }
        names.push_back(base + "-missing.png");
        names.push_back("nofolder.png");
        names.push_back(base + "-same.bmp");
        if (!SaveFileBytes(names.back(), BuildBmp(square)))
            std::abort();
    }
    ~Images()
    {
        for (int i = 0; i < kFiles; ++i)
            std::remove(names[(size_t) i].c_str());
        std::remove(names.back().c_str());
    }
};

const Images& TheImages()
{
    static const Images images;
    return images;
}

// The library stays loaded between inputs, as in the host, and is unloaded
// before the process ends so that the leak check at exit sees nothing of it.
struct Library
{
    Library()
    {
        if (ExporterLoad() != 0)
            std::abort();
        GetExportDriverState().scriptFolder = (FuzzScratchPath() + "/").c_str();
    }
    ~Library() { ExporterUnload(); }
};

BitmapTex* MakeMap(HostScene& scene, Bytes& in, bool shapes)
{
    const std::vector<std::string>& names = TheImages().names;
    auto* map = scene.Adopt(std::make_unique<BitmapTex>("map"));
    map->SetMapName(names[(size_t) in.Below(shapes ? (int) names.size() : Images::kPlainNames)].c_str());
    StdUVGen* uv = map->GetTheUVGen();
    uv->SetMapChannel(in.Below(5));
    uv->SetUOffs(in.Number());
    uv->SetVOffs(in.Number());
    uv->SetUScl(in.Number());
    uv->SetVScl(in.Number());
    uv->SetAng(in.Number());
    uv->SetTextureTiling(in.Below(64));
    if (in.Flag())
        map->SetCrop(in.Flag(), in.Number(), in.Number(), in.Number(), in.Number());
    return map;
}

Mtl* MakeMaterial(HostScene& scene, Bytes& in, const std::vector<Mtl*>& made, bool shapes)
{
    const std::string name = "m" + std::to_string(made.size());
    const int kind = in.Below(shapes ? 8 : 6);
    if (kind <= 2) {
        auto* m = scene.Adopt(std::make_unique<StdMat2>(name));
        m->SetDiffuse(Color(in.Number(), in.Number(), in.Number()));
        m->SetSpecular(Color(in.Number(), in.Number(), in.Number()));
        m->SetShininess(in.Number());
        m->SetShinStr(in.Number());
        m->SetSelfIllum(in.Number());
        m->SetXParency(in.Number());
        m->SetTwoSided(in.Flag());
        m->SetWire(in.Flag());
        m->SetFaceMap(in.Flag());
        m->SetShading(in.Below(5));
        if (in.Flag()) {
            m->GetShader()->SetSelfIllumClrOn(true);
            m->GetShader()->SetSelfIllumClr(Color(in.Number(), in.Number(), in.Number()));
        }
        for (int slots = in.Below(4); slots > 0; --slots)
            m->SetSubTexmap(in.Below(12), MakeMap(scene, in, shapes), in.Flag() || in.Flag(), in.Number());
        return m;
    }
    // The last two, layered and composite, are the materials whose layers
    // the mesh splitting gives channels.
    static const Class_ID kClasses[] = {MULTI_CLASS_ID, BAKE_SHELL_CLASS_ID, Class_ID(0x77, 0),
                                        Class_ID(0x61dc0cd7, 0x13640af6), Class_ID(0x250, 0)};
    Mtl* m = scene.Adopt(std::make_unique<Mtl>(kClasses[kind - 3], "Other", name));
    std::vector<Mtl*> subs;
    for (int n = in.Below(5); n > 0; --n) {
        // An earlier material, none, or the material itself.
        const int pick = in.Below((int) made.size() + 2);
        subs.push_back(pick < (int) made.size() ? made[(size_t) pick] : pick == (int) made.size() ? nullptr : m);
    }
    m->SetSubMtls(std::move(subs));
    m->SetVPDisplaySubMtl(in.Below(3));
    return m;
}

void FillMap(MeshMap& map, Bytes& in, int faces)
{
    map.tv.resize((size_t) in.Below(16));
    for (UVVert& v : map.tv)
        v = in.Point();
    map.tf.resize((size_t) (in.Flag() ? faces : in.Below(40)));
    for (TVFace& f : map.tf)
        f.setTVerts(in.Index(map.getNumVerts()), in.Index(map.getNumVerts()), in.Index(map.getNumVerts()));
}

Object* MakeTriangles(HostScene& scene, Bytes& in)
{
    auto* tri = scene.Adopt(std::make_unique<TriObject>());
    Mesh& m = tri->GetMesh();
    m.setNumVerts(in.Below(32));
    for (Point3& p : m.verts)
        p = in.Point();
    m.setNumFaces(in.Below(32));
    for (Face& f : m.faces) {
        f.setVerts(in.Index(m.getNumVerts()), in.Index(m.getNumVerts()), in.Index(m.getNumVerts()));
        f.setSmGroup(in.Flag() ? 0 : 1u << in.Below(32));
        f.setMatID((MtlID) in.Below(8));
        f.setEdgeVisFlags(in.Flag(), in.Flag(), in.Flag());
    }
    static const int kChannels[] = {MAP_ALPHA, 0, 1, 2, 3};
    const uint8_t channels = in.U8();
    for (int c = 0; c < 5; ++c)
        if (channels & (1u << c)) {
            m.setMapSupport(kChannels[c]);
            FillMap(m.Map(kChannels[c]), in, m.getNumFaces());
        }
    if (channels & 0x20) {
        MeshNormalSpec& spec = m.SpecifyNormals();
        spec.normals.resize((size_t) in.Below(8));
        for (Point3& n : spec.normals)
            n = in.Point();
        spec.faces.resize((size_t) (in.Flag() ? m.getNumFaces() : in.Below(40)));
        for (MeshNormalFace& f : spec.faces)
            for (int corner = 0; corner < 3; ++corner)
                f.SetNormalID(corner, (int) in.Index(spec.GetNumNormals()));
    }
    if (channels & 0x40) {
        m.setVDataSupport(VDATA_WEIGHT);
        float* weights = m.vertexFloat(VDATA_WEIGHT);
        for (int v = 0; weights && v < m.getNumVerts(); ++v)
            weights[v] = in.Number();
    }
    return tri;
}

Object* MakePatches(HostScene& scene, Bytes& in)
{
    auto* object = scene.Adopt(std::make_unique<PatchObject>());
    PatchMesh& p = object->patch;
    p.verts.resize((size_t) in.Below(12));
    for (PatchVert& v : p.verts)
        v.p = in.Point();
    p.vecs.resize((size_t) in.Below(24));
    for (PatchVec& v : p.vecs)
        v.p = in.Point();
    p.patches.resize((size_t) in.Below(8));
    for (Patch& patch : p.patches) {
        patch.type = in.Flag() ? PATCH_TRI : PATCH_QUAD;
        for (int& v : patch.v)
            v = (int) in.Index(p.getNumVerts());
        for (int& v : patch.vec)
            v = (int) in.Index(p.getNumVecs());
        for (int& v : patch.interior)
            v = (int) in.Index(p.getNumVecs());
        patch.smGroup = in.U8();
        patch.setMatID((MtlID) in.Below(8));
    }
    p.setMeshSteps(in.Below(4));
    for (int channel : {1, 3}) {
        if (!in.Flag())
            continue;
        p.setMapSupport(channel);
        PatchMap& map = p.Map(channel);
        map.tv.resize((size_t) in.Below(16));
        for (PatchTVert& v : map.tv)
            v.p = in.Point();
        map.tp.resize((size_t) (in.Flag() ? p.getNumPatches() : in.Below(10)));
        for (TVPatch& t : map.tp)
            for (int& v : t.tv)
                v = (int) in.Index((int) map.tv.size());
    }
    p.buildLinkages();
    return object;
}

// A node name: in the scene shapes, one of a base and its levels of detail
// as the named-level pass spells them (and names it must refuse), or text.
std::string NodeName(Bytes& in, bool shapes, size_t index)
{
    static const char* const kNames[] = {"Box",      "Box_LOD1", "Box_LOD2", "LOD3_Box",  "BoxLOD1", "Box_LOD0",
                                         "Box_LODx", "Box_LOD",  "Tree",     "Tree_LOD1", "LOD1",    "Box_Mesh_LOD2"};
    constexpr int kCount = (int) (sizeof kNames / sizeof kNames[0]);
    if (!shapes)
        return "n" + std::to_string(index);
    const int pick = in.Below(kCount + 1);
    return pick < kCount ? kNames[pick] : in.Text(12);
}

// In the scene shapes, now and then what an earlier item's bytes made, made
// again from them; else a new item from the bytes that follow.
template <class Make>
auto MakeOrRepeat(Bytes& in, bool shapes, std::vector<size_t>& starts, Make make)
{
    if (shapes && !starts.empty() && in.Below(4) == 0)
        return in.Again(starts[(size_t) in.Below((int) starts.size())], make);
    starts.push_back(in.At());
    return make();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Library library;
    Bytes in(data, size);
    HostScene scene;
    Interface ip(scene);
    ip.SetEcho(false);
    ip.SetReportOutput(nullptr);

    auto exporter = std::make_unique<Max2Qdx>();
    const uint8_t options = in.U8();
    exporter->forceAllUVs = options & 1;
    exporter->exportAlphaMap = (options >> 1) & 1;
    exporter->usePower2 = (options >> 2) & 1;
    exporter->ReadChannels = (options >> 3) & 1;
    exporter->deactivateMeshChannels = (options >> 4) & 1;
    exporter->storeOnlyTextureFileName = (options >> 5) & 1;
    exporter->EnableInstructions = (options >> 6) & 1;
    exporter->asLevel = (options >> 7) & 1;
    exporter->asObjects = !exporter->asLevel;
    const uint8_t passes = in.U8();
    exporter->splitMesh = passes & 1;
    exporter->LOD = (passes >> 1) & 1;
    exporter->DASITexture = (passes >> 2) & 1;
    exporter->DASIMaterial = (passes >> 3) & 1;
    exporter->DASIMesh = (passes >> 4) & 1;
    exporter->DASIAnimation = (passes >> 5) & 1;
    // Sampled node animations, for the animation sharing to compare.
    exporter->exportAnimation = (passes >> 6) & 1;
    const bool shapes = (passes >> 7) & 1;
    // With the scene shapes, a byte more: bit 0 copies the report into a log
    // file, where the passes also say why two objects differ.
    const uint8_t more = shapes ? in.U8() : 0;
    const std::string log = FuzzScratchPath() + ".log";
    if (more & 1) {
        exporter->ReportToFile = TRUE;
        exporter->ReportFilename = log.c_str();
    }
    exporter->reportLevel = 3;
    exporter->progressStarted = 0;

    std::vector<Mtl*> materials;
    std::vector<size_t> starts;
    for (int n = in.Below(shapes ? 9 : 6); n > 0; --n)
        materials.push_back(
            MakeOrRepeat(in, shapes, starts, [&] { return MakeMaterial(scene, in, materials, shapes); }));
    std::vector<Object*> objects;
    starts.clear();
    for (int n = in.Below(5); n > 0; --n)
        objects.push_back(MakeOrRepeat(
            in, shapes, starts, [&] { return in.Below(4) == 0 ? MakePatches(scene, in) : MakeTriangles(scene, in); }));

    std::vector<INode*> nodes;
    for (int n = in.Below(7); n > 0; --n) {
        const int parent = in.Below((int) nodes.size() + 1);
        INode* node = scene.AddNode(NodeName(in, shapes, nodes.size()),
                                    parent < (int) nodes.size() ? nodes[(size_t) parent] : nullptr);
        const int object = in.Below((int) objects.size() + 1);
        node->SetObjectRef(object < (int) objects.size() ? objects[(size_t) object] : nullptr);
        const int material = in.Below((int) materials.size() + 1);
        node->SetMtl(material < (int) materials.size() ? materials[(size_t) material] : nullptr);
        Matrix3 local;
        local.SetTrans(in.Point());
        node->SetTMController(scene.Adopt(std::make_unique<MatrixControl>(local)));
        if (in.Flag())
            node->SetObjOffsetPos(in.Point());
        std::string properties = in.Text(48);
        // Now and then an extended channel's text, whose letters are read
        // one by one.
        if (in.Below(2))
            properties = "MapChannel:" + std::to_string(2 + in.Below(4)) + " = " + (in.Flag() ? "float" : "") +
                         in.Text(7) + "\r\n" + properties;
        node->SetUserPropBuffer(TSTR(properties.c_str()));
        nodes.push_back(node);
    }

    const std::string file = FuzzScratchPath() + (exporter->asLevel ? ".qbx" : ".qdx");
    if (exporter->ExportScene(file.c_str(), &ip, FALSE) != 1)
        std::abort();
    std::remove(file.c_str());
    std::remove(log.c_str());
    return 0;
}
