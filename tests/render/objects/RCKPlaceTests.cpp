// Places: symmetric links through portals, what a deleted place leaves, the
// section without a file, and the opening two places share, against an
// all-pairs match.
#include <cmath>

#include "core/chunk/CKStateChunk.h"
#include "core/scene/CKScene.h"
#include "render/objects/CKPortalGeometry.h"
#include "render/objects/RCKPlace.h"
#include "tests/render/objects/EntityTestSupport.h"

namespace {

class PlaceTests : public EntityFixture
{
protected:
    RCKPlace* NewPlace(const char* name) { return static_cast<RCKPlace*>(NewEntity(name, CKCID_PLACE)); }
    // A child of the place carrying a mesh of the points, moved by offset.
    void GiveMesh(RCKPlace* place, const std::vector<QxVector>& points, const QxVector& offset)
    {
        RCK3dEntity* child = NewEntity("piece");
        EntityTestMesh* mesh = NewMesh("mesh", 0);
        mesh->m_Positions = points;
        child->SetCurrentMesh(mesh);
        child->SetPosition(&offset);
        place->AddChild(child);
    }
    static std::vector<QxVector> UnitBox()
    {
        std::vector<QxVector> corners;
        for (int i = 0; i < 8; ++i)
            corners.emplace_back((float) (i & 1), (float) ((i >> 1) & 1), (float) ((i >> 2) & 1));
        return corners;
    }
};

// A place offers its portals as the one dependency of a copy, a deletion
// and a save; a replacement and a build have none.
TEST_F(PlaceTests, PortalsAreADependencyOfCopiesDeletionsAndSavesOnly)
{
    RCKPlace* place = NewPlace("hall");
    for (int mode = CK_DEPENDENCIES_COPY; mode <= CK_DEPENDENCIES_BUILD; ++mode) {
        const bool portals =
            mode == CK_DEPENDENCIES_COPY || mode == CK_DEPENDENCIES_DELETE || mode == CK_DEPENDENCIES_SAVE;
        EXPECT_EQ(place->GetDependenciesCount(mode), portals ? 1 : 0) << mode;
        EXPECT_STREQ(place->GetDependencies(0, mode), portals ? "Portals" : nullptr) << mode;
        EXPECT_EQ(place->GetDependencies(1, mode), nullptr) << mode;
    }
}

TEST_F(PlaceTests, LinksAreMirroredAndRemovedOnBothPlaces)
{
    RCKPlace* a = NewPlace("a");
    RCKPlace* b = NewPlace("b");
    RCK3dEntity* door = NewEntity("door");
    a->AddPortal(b, door);
    EXPECT_EQ(a->GetPortalCount(), 0); // not flagged as a portal
    door->SetFlags(door->GetFlags() | CK_3DENTITYFLAG_PORTAL);
    a->AddPortal(b, nullptr);
    a->AddPortal(b, door);
    EXPECT_EQ(a->GetPortalCount(), 1);
    a->RemovePortal(b, nullptr);
    a->AddPortal(b, door);
    CK3dEntity* through = nullptr;
    ASSERT_EQ(b->GetPortal(0, &through), a);
    EXPECT_EQ(through, door);
    EXPECT_EQ(a->GetPortal(1, &through), nullptr);
    EXPECT_TRUE(a->IsObjectUsed(door, CKCID_3DENTITY));
    EXPECT_TRUE(a->RemovePortal(b, door));
    EXPECT_EQ(a->GetPortalCount() + b->GetPortalCount(), 0);
    EXPECT_EQ(a->GetPriority(), 20000);

    a->AddPortal(b, door);
    RCKPlace* c = NewPlace("c");
    c->AddPortal(a, nullptr);
    m_Context->DestroyObject(door);
    EXPECT_EQ(b->GetPortalCount(), 0);
    m_Context->DestroyObject(a);
    EXPECT_EQ(c->GetPortalCount(), 0);
}

// A place stands for its zone: taken out of a scene, its children go with
// it, with or without their own dependencies.
TEST_F(PlaceTests, RemovedFromASceneWithItsChildrenThePlaceTakesThemOut)
{
    auto* scene = static_cast<CKScene*>(m_Context->CreateObject(CKCID_SCENE, "scene"));
    for (const CKBOOL children : {FALSE, TRUE}) {
        RCKPlace* place = NewPlace("room");
        RCK3dEntity* chair = NewEntity("chair");
        place->AddChild(chair);
        place->AddToScene(scene, TRUE);
        ASSERT_TRUE(place->IsInScene(scene));
        ASSERT_TRUE(chair->IsInScene(scene));
        place->RemoveFromScene(nullptr, children);
        EXPECT_TRUE(place->IsInScene(scene)) << "no scene, nothing removed";
        place->RemoveFromScene(scene, children);
        EXPECT_FALSE(place->IsInScene(scene)) << children;
        EXPECT_FALSE(chair->IsInScene(scene)) << children;
    }
}

// The links are saved under their own flag, and only when there are some;
// a link of a place to itself, which a file may hold, is dropped on load.
TEST_F(PlaceTests, LinksAreSavedUnderTheirFlagAndALinkToItselfIsDropped)
{
    RCKPlace* a = NewPlace("a");
    RCKPlace* b = NewPlace("b");
    CKFile* file = m_Context->CreateCKFile();
    struct Case
    {
        bool linked;
        CKDWORD flags;
        bool saved;
    };
    for (const Case& c : {Case{true, 0xFFFFFFFF, true}, Case{true, ~(CKDWORD) CK_STATESAVE_PLACEPORTALS, false},
                          Case{false, 0xFFFFFFFF, false}}) {
        a->RemovePortal(b, nullptr);
        if (c.linked)
            a->AddPortal(b, nullptr);
        CKStateChunk* chunk = a->Save(file, c.flags);
        EXPECT_EQ(chunk->SeekIdentifier(CK_STATESAVE_PLACEPORTALS) != 0, c.saved) << c.linked << " " << c.flags;
        CKDeleteStateChunk(chunk);
    }
    m_Context->DeleteCKFile(file);

    a->AddPortal(b, nullptr);
    a->AddPortal(a, nullptr);
    ASSERT_EQ(a->GetPortalCount(), 2);
    CKContext* loaded = SaveAndLoad({a, b});
    RCKPlace* back = Find<RCKPlace>(loaded, "a", CKCID_PLACE);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->GetPortalCount(), 1) << "only the link to b";
    EXPECT_EQ(back->GetPortal(0, nullptr), Find<RCKPlace>(loaded, "b", CKCID_PLACE));
}

TEST_F(PlaceTests, WithoutAFileOnlyTheBehaviouralSectionIsSavedAndLinksStay)
{
    RCKPlace* a = NewPlace("a");
    RCKPlace* b = NewPlace("b");
    a->AddPortal(b, nullptr);
    CKStateChunk* chunk = a->Save(nullptr, 0xFFFFFFFF);
    EXPECT_FALSE(chunk->SeekIdentifier(CK_STATESAVE_PLACEPORTALS));
    EXPECT_EQ(a->Load(chunk, nullptr), 0);
    EXPECT_EQ(a->GetPortalCount(), 1);
    CKDeleteStateChunk(chunk);
}

TEST_F(PlaceTests, BoxesSharingAFaceOpenOntoThatFace)
{
    RCKPlace* a = NewPlace("a");
    RCKPlace* b = NewPlace("b");
    GiveMesh(a, UnitBox(), QxVector(0, 0, 0));
    GiveMesh(b, UnitBox(), QxVector(1, 0, 0));
    QxPrincipalBox shape;
    ASSERT_EQ(a->ComputePortalGeometry(b, shape), 1);
    // The four corners of the face x = 1: flat along x, one by one across.
    float extents[3];
    int flat = -1;
    for (int k = 0; k < 3; ++k) {
        extents[k] = shape.m_Max[k] - shape.m_Min[k];
        if (std::fabs(std::fabs(shape.m_Axis[k].x) - 1.0f) < 1e-4f)
            flat = k;
    }
    ASSERT_GE(flat, 0);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(extents[k], (k == flat ? 0.0f : 1.0f) + 0.2f, 1e-4f);
    EXPECT_NEAR(std::fabs(shape.m_Min[flat] + 0.1f), 1.0f, 1e-4f);

    RCKPlace* far = NewPlace("far");
    GiveMesh(far, UnitBox(), QxVector(5, 0, 0));
    EXPECT_EQ(a->ComputePortalGeometry(far, shape), 0);
    EXPECT_EQ(a->ComputePortalGeometry(nullptr, shape), 0);
}

TEST_F(PlaceTests, SharedVerticesMatchAnAllPairsSearch)
{
    CKDWORD seed = 5;
    auto next = [&] { return (float) (((seed = seed * 214013u + 2531011u) >> 16) & 0x7FFF) / 32767.0f; };
    for (int round = 0; round < 20; ++round) {
        const float size = 1.0f + 30.0f * next();
        std::vector<QxVector> a(300), b(300);
        for (QxVector& p : a)
            p = QxVector(next() * size, next() * size, next() * size);
        for (size_t i = 0; i < b.size(); ++i)
            b[i] = i % 3 ? QxVector(next() * size, next() * size, next() * size)
                         : a[i] + QxVector(0.001f, -0.002f, 0.0f) * next();
        b[7] = QxVector(NAN, 0, 0);
        std::vector<QxVector> shared;
        CKComputeSharedVertices(shared, a.data(), (int) a.size(), b.data(), (int) b.size());

        // All pairs, in world units: a match is within a tenth of a cell.
        QxVector lo = a[0], hi = a[0];
        for (const std::vector<QxVector>* set : {&a, &b})
            for (const QxVector& p : *set)
                if (std::isfinite(p.x))
                    for (int k = 0; k < 3; ++k) {
                        lo[k] = std::fmin(lo[k], p[k]);
                        hi[k] = std::fmax(hi[k], p[k]);
                    }
        const float extent =
            std::fmax(std::fmax(hi.x - lo.x, hi.y - lo.y), std::fmax(hi.z - lo.z, 2.0f - 0.02f)) + 0.02f;
        const float near = 0.1f * extent / 20.0f;
        std::vector<QxVector> expected;
        for (const QxVector& q : b) {
            bool match = false;
            for (const QxVector& p : a)
                match |= std::fabs(p.x - q.x) <= near && std::fabs(p.y - q.y) <= near && std::fabs(p.z - q.z) <= near;
            bool kept = false;
            for (const QxVector& e : expected)
                kept |= std::fabs(e.x - q.x) <= 0.1f && std::fabs(e.y - q.y) <= 0.1f && std::fabs(e.z - q.z) <= 0.1f;
            if (match && !kept)
                expected.push_back(q);
        }
        ASSERT_EQ(shared.size(), expected.size()) << round;
        for (size_t i = 0; i < shared.size(); ++i)
            EXPECT_LT(QxMagnitude(shared[i] - expected[i]), 1e-3f * size);
    }
}

} // namespace
