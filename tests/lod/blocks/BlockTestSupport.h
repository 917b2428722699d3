#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/behavior/CKBehavior.h"
#include "system/math/QxVector.h"
#include "tests/lod/LodTestSupport.h"
#include "tools/blockharness/BlockHarness.h"

class CK3dEntity;
class CKLevel;
class CKMesh;
class CKPatchMesh;
class CKScene;

// The GUIDs of the mesh-changing blocks.
namespace BlockGuid {
constexpr CKGUID SetVertexProperties(0x696353B2, 0x40667087);
constexpr CKGUID SetFaceProperties(0x1D8E2716, 0x64F47239);
constexpr CKGUID SetVertexCount(0x4BF4352E, 0x6C786DB2);
constexpr CKGUID SetFaceCount(0x15A14196, 0x69530840);
constexpr CKGUID PrecomputeLighting(0x053A5BE9, 0x78CC3E15);
constexpr CKGUID Bend(0x7C9A7008, 0x6B0F1D1F);
constexpr CKGUID Explode(0x002D010A, 0x003D010A);
constexpr CKGUID MeshMorpher(0xFF0D010A, 0x001D010A);
constexpr CKGUID Noise(0x3918083F, 0x77D70F5C);
constexpr CKGUID SineDeform(0x45123704, 0x72F25769);
constexpr CKGUID MultiMeshMorpher(0x53DA65C4, 0x6F0F194A);
constexpr CKGUID SetPatchMeshSteps(0x50C12830, 0x18033A52);
constexpr CKGUID SkinJoin(0x38677C72, 0x4F4715CB);
constexpr CKGUID Stretch(0x22D774F6, 0x4AC542C3);
constexpr CKGUID Taper(0x0E971A6B, 0x210F703A);
constexpr CKGUID Twist(0x75B066AF, 0x70371B90);
constexpr CKGUID TextureDisplace(0x32145678, 0x32145678);
constexpr CKGUID ChangeReferential(0x5F6428F2, 0x04E55C7A);
constexpr CKGUID VertexTranslate(0x08032EBC, 0x791960C9);
constexpr CKGUID InvertWinding(0x31CE61CD, 0x69A44BEB);
} // namespace BlockGuid

// A point in double precision, for the references the tests compute.
struct DVec
{
    double x = 0.0, y = 0.0, z = 0.0;
    double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
};
DVec operator+(const DVec& a, const DVec& b);
DVec operator-(const DVec& a, const DVec& b);
DVec operator*(const DVec& a, double s);
double Dot(const DVec& a, const DVec& b);
double Length(const DVec& a);
DVec Normalized(const DVec& a);

// Row-vector rotation by angle about a unit axis in double precision, with
// the engine's sense: p x R.
struct DRotation
{
    double m[3][3];
    static DRotation About(const DVec& axis, double angle);
    static DRotation Identity();
    DVec Apply(const DVec& p) const; // p x m
    DRotation Transposed() const;
};

// What the tests compare of a mesh: the deformed points (the modifier
// vertices: a patch mesh's control points), its vertex normals and colours.
struct MeshSnapshot
{
    std::vector<DVec> Points;
    std::vector<DVec> Positions; // the vertices' own (a patch mesh's render mesh)
    std::vector<std::array<float, 2>> UVs;
    std::vector<std::array<int, 3>> Faces;
    std::vector<DVec> Normals;
    std::vector<uint32_t> Colors;
    std::vector<uint32_t> Speculars;
};
MeshSnapshot Snap(CKMesh* mesh);

// The largest |a - b| / max(1, |b|) over the points; -1 when the counts
// differ.
double WorstRelativeError(const std::vector<DVec>& actual, const std::vector<DVec>& expected);

// The kinds of mesh every block is run on.
enum class MeshKind
{
    Lattice, // 11 x 11 x 11 vertices over [-1, 1]^3, lit
    Prelit,  // the same, pre-lit with varied colours
    Patch,   // a patch mesh of independent patches
};
const char* MeshKindName(MeshKind kind);

// A context with a current level and scene, a recording render context
// looking through a camera, and helpers that make objects holding test
// meshes whose initial state the scene keeps.
class BlockFixture : public LodFixture
{
public:
    void SetUp() override;
    using LodFixture::m_Context;
    using LodFixture::New;
    using LodFixture::NewMesh;

    // A 3D object in the level holding a new mesh of the kind as current,
    // the mesh's state kept as its initial value in the scene.
    CK3dEntity* NewObject(MeshKind kind, const char* name = "Object");
    // Fills a mesh with the 11 x 11 x 11 lattice over [-1, 1]^3 (positions,
    // texture coordinates, normals; colours for the pre-lit kind).
    static void FillLattice(CKMesh* mesh, bool prelit);
    // A 3D object in the level whose mesh holds just the points, its state
    // kept as initial value.
    CK3dEntity* PointsObject(const std::vector<QxVector>& points, const char* name = "Points");
    // Keeps the mesh's current state as its initial value in the scene.
    void KeepInitialState(CKMesh* mesh);
    // A behaviour of the block on the object, In active (of the version
    // given, else of the declaration's).
    CKBehavior* Block(CKGUID guid, CKBeObject* owner, CKDWORD version = 0);
    // Runs it with the fixture's frame.
    int Run(CKBehavior* behavior, float deltaTime = 20.0f);

    // The console lines of the context.
    std::vector<std::string> m_Console;
    CKLevel* m_Level = nullptr;
    CKScene* m_Scene = nullptr;
    CKRenderContext* m_Dev = nullptr;
    CK3dEntity* m_Viewpoint = nullptr;
};

// The flags of a behaviour's inputs and outputs (bit i: IO i active).
uint32_t ActiveInputs(CKBehavior* behavior);
uint32_t ActiveOutputs(CKBehavior* behavior);
