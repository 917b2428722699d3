#pragma once

#include <random>
#include <string>
#include <vector>

#include "render/animation/RCKObjectAnimation.h"
#include "render/animation/RCKSkin.h"
#include "render/mesh/RCKMesh.h"
#include "render/objects/RCK3dObject.h"
#include "tests/render/support/RenderTestSupport.h"
#include "tests/support/TestPaths.h"

// A mesh with positions, normals, named blend shapes and flags; it saves
// its vertex count and shape names so that a loaded entity finds them. Its
// name differs from tools/testdata's TestMesh on purpose: two classes of one
// name in one program share their inline functions, and the one that loses
// the link runs the other's (a null destructor at -O0).
class EntityTestMesh : public CKClass<EntityTestMesh, RCKMesh, 0>
{
public:
    using CKClass::CKClass;

    CKBOOL IsTransparent() override { return FALSE; }
    void SetLitMode(int mode) override
    {
        m_LitMode = mode;
        ++m_LitModeSets;
    }
    int GetLitMode() override { return m_LitMode; }
    CKDWORD GetFlags() override { return m_Flags; }
    void SetFlags(CKDWORD flags) override { m_Flags = flags; }
    void* GetModifierVertices(CKDWORD* stride) override;
    int GetModifierVertexCount() override { return (int) m_Positions.size(); }
    void ModifierVertexMove(CKBOOL rebuildNormals, CKBOOL rebuildFaceNormals) override
    {
        m_Moves.emplace_back(rebuildNormals, rebuildFaceNormals);
    }
    int GetVertexCount() override { return (int) m_Positions.size(); }
    void* GetNormalsPtr(CKDWORD* stride) override;
    void NormalChanged() override {}
    int GetBlendShapeCount() override { return (int) m_Shapes.size(); }
    int GetBlendShapeIndex(const XString& name) override;

    CKStateChunk* Save(CKFile* file, CKDWORD flags) override;
    CKERROR Load(CKStateChunk* chunk, CKFile* file) override;
    CKERROR Copy(CKObject& source, CKDependenciesContext& context) override;

    // count vertices on a line along x, normals along y.
    void SetLineVertexCount(int count);

    std::vector<QxVector> m_Positions;
    std::vector<QxVector> m_Normals;
    std::vector<std::string> m_Shapes;
    CKDWORD m_Flags = CKMESH_VISIBLE;
    int m_LitMode = 1;
    int m_LitModeSets = 0;
    std::vector<std::pair<CKBOOL, CKBOOL>> m_Moves;

    static const char* GetClassName() { return "Test Mesh"; }
};

// An object animation that records the default scales it is given.
class TestAnimation : public CKClass<TestAnimation, RCKObjectAnimation, 0>
{
public:
    using CKClass::CKClass;
    void AddDefaultScaleKey(const QxVector& scale) override { m_DefaultScales.push_back(scale); }

    std::vector<QxVector> m_DefaultScales;

    static const char* GetClassName() { return "Test Animation"; }
};

// The render fixture with the mesh and animation doubles, and engine files
// saved into a temporary folder and loaded into fresh contexts.
class EntityFixture : public RenderFixture
{
protected:
    void RegisterMoreClasses() override;
    void TearDown() override;

    RCK3dEntity* NewEntity(const char* name, CK_CLASSID cid = CKCID_3DENTITY, CKContext* context = nullptr);
    EntityTestMesh* NewMesh(const char* name, int vertices, int shapes = 0);
    TestAnimation* NewAnimation(const char* name);

    // Saves the objects (with the flags) into an engine file and loads it
    // into a new context, closed by TearDown.
    CKContext* SaveAndLoad(const std::vector<CKObject*>& objects, CKDWORD flags = 0xFFFFFFFF);
    // The object of that name and exact class in the context.
    template <class T>
    static T* Find(CKContext* context, const char* name, CK_CLASSID cid)
    {
        return static_cast<T*>(context->GetObjectByNameAndClass(name, cid));
    }

    TestTempDir m_Temp;
    std::vector<CKContext*> m_Loaded;
};

// The largest element difference of two matrices over the magnitude of
// the second (at least 1).
float RelativeDifference(const QxMatrix& a, const QxMatrix& b);
// A rotation, scaled by factors near 1 (mirrored: the third row negated),
// at a position within reach of the origin: well conditioned.
QxMatrix RandomMatrix(std::mt19937& rng, bool mirrored = false, float reach = 2.0f);
// Bit-for-bit equality of all sixteen elements.
bool BitEqual(const QxMatrix& a, const QxMatrix& b);
