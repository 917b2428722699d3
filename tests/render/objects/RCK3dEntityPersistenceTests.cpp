#include <bit>
#include <cstring>
#include <random>

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKFile.h"
#include "core/object/CKDependencies.h"
#include "includes/CKByteOrder.h"
#include "tests/render/objects/EntityTestSupport.h"

namespace {

using Words = std::vector<CKDWORD>;
using EntityFile = EntityFixture;

constexpr CKDWORD Header(CKBYTE dataVersion, CKBYTE classId, CKBYTE chunkVersion, CKBYTE options)
{
    return (CKDWORD) dataVersion | ((CKDWORD) classId << 8) | ((CKDWORD) chunkVersion << 16) |
           ((CKDWORD) options << 24);
}

CKDWORD F(float f)
{
    return std::bit_cast<CKDWORD>(f);
}

Words Serialise(CKStateChunk* chunk)
{
    std::vector<CKBYTE> bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    Words words(bytes.size() / 4);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = LoadLE32(&bytes[4 * i]);
    return words;
}

CKStateChunk* FromWords(const Words& words)
{
    std::vector<CKBYTE> bytes(words.size() * 4);
    for (size_t i = 0; i < words.size(); ++i)
        StoreLE32(&bytes[4 * i], words[i]);
    CKStateChunk* chunk = CKCreateStateChunk(0, nullptr);
    chunk->ConvertFromBuffer(bytes.data(), (int) bytes.size());
    return chunk;
}

// Gives an entity a skin over its current mesh: bones among the entities,
// one to six influences a vertex, normals on some.
void AddRandomSkin(RCK3dEntity* e, const std::vector<RCK3dEntity*>& bones, std::mt19937& rng)
{
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    CKSkin* skin = e->CreateSkin();
    skin->SetObjectInitMatrix(RandomMatrix(rng, false, 100.0f));
    int boneCount = 1 + (int) (rng() % 5);
    skin->SetBoneCount(boneCount);
    for (int i = 0; i < boneCount; ++i) {
        CKSkinBoneData* bone = skin->GetBoneData(i);
        bone->Bone = bones[rng() % bones.size()];
        bone->Flags = rng();
        bone->InitialMatrix = RandomMatrix(rng, false, 100.0f);
    }
    int vertices = e->GetCurrentMesh()->GetVertexCount();
    skin->SetVertexCount(vertices);
    for (int i = 0; i < vertices; ++i) {
        CKSkinVertexData* vertex = skin->GetVertexData(i);
        vertex->SetInitialPos(QxVector(unit(rng), unit(rng), unit(rng)));
        vertex->SetBoneCount(1 + (int) (rng() % 6));
        for (int k = 0; k < vertex->GetBoneCount(); ++k) {
            vertex->SetBone(k, (int) (rng() % (unsigned) boneCount));
            vertex->SetWeight(k, std::fabs(unit(rng)));
        }
    }
    if (rng() % 2) {
        skin->SetNormalCount(vertices);
        for (int i = 0; i < vertices; ++i)
            skin->SetNormal(i, QxVector(unit(rng), unit(rng), unit(rng)));
    }
    skin->SetSkinParam(rng());
}

const char* NameOf(CKObject* object)
{
    return object ? object->GetName() : "(none)";
}

void ExpectSameSkin(CKSkin* a, CKSkin* b)
{
    ASSERT_EQ(a == nullptr, b == nullptr);
    if (!a)
        return;
    EXPECT_TRUE(BitEqual(a->GetObjectInitMatrix(), b->GetObjectInitMatrix()));
    ASSERT_EQ(a->GetBoneCount(), b->GetBoneCount());
    for (int i = 0; i < a->GetBoneCount(); ++i) {
        EXPECT_STREQ(NameOf(a->GetBoneData(i)->Bone), NameOf(b->GetBoneData(i)->Bone));
        EXPECT_EQ(a->GetBoneData(i)->Flags, b->GetBoneData(i)->Flags);
        EXPECT_TRUE(BitEqual(a->GetBoneData(i)->InitialMatrix, b->GetBoneData(i)->InitialMatrix));
    }
    ASSERT_EQ(a->GetVertexCount(), b->GetVertexCount());
    for (int i = 0; i < a->GetVertexCount(); ++i) {
        CKSkinVertexData* va = a->GetVertexData(i);
        CKSkinVertexData* vb = b->GetVertexData(i);
        ASSERT_LE(va->GetBoneCount(), 4) << "limited when saved";
        ASSERT_EQ(va->GetBoneCount(), vb->GetBoneCount());
        EXPECT_EQ(va->GetInitialPos(), vb->GetInitialPos());
        for (int k = 0; k < va->GetBoneCount(); ++k) {
            EXPECT_EQ(va->GetBone(k), vb->GetBone(k));
            EXPECT_EQ(va->GetWeight(k), vb->GetWeight(k));
        }
    }
    EXPECT_EQ(a->GetNormalCount(), b->GetNormalCount());
    for (int i = 0; i < a->GetNormalCount(); ++i)
        EXPECT_EQ(a->GetNormal(i), b->GetNormal(i));
    EXPECT_EQ(a->GetSkinParam(), b->GetSkinParam());
}

// Moveable flags a saved entity comes back with: the bits loading keeps,
// the mirror, visibility and hiding taken again, queued as moved.
CKDWORD ExpectedMoveable(RCK3dEntity* e)
{
    CKDWORD m = e->GetMoveableFlags() & 0xBB3DBFEB &
                ~(CK_3DENTITY_MIRRORED | CK_3DENTITY_VISIBLE | CK_3DENTITY_HIERARCHYHIDDEN | CK_3DENTITY_WORLDIDENTITY);
    if (e->GetWorldMatrix().GetDeterminant() < 0)
        m |= CK_3DENTITY_MIRRORED;
    if (e->GetObjectFlags() & CK_OBJECT_VISIBLE)
        m |= CK_3DENTITY_VISIBLE;
    if (e->GetObjectFlags() & CK_OBJECT_HIERACHICALHIDE)
        m |= CK_3DENTITY_HIERARCHYHIDDEN;
    return m | CK_3DENTITY_INMOVEDLIST;
}

} // namespace

TEST_F(EntityFile, AThousandRandomEntitiesAndObjectsComeBackFromAnEngineFile)
{
    std::mt19937 rng(1023);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<EntityTestMesh*> meshes;
    for (int i = 0; i < 20; ++i)
        meshes.push_back(NewMesh(("mesh" + std::to_string(i)).c_str(), 1 + i, i % 4));
    const CKDWORD moveableBits[] = {0x1,      0x8,      0x80,     0x200,     0x10000,
                                    0x100000, 0x200000, 0x800000, 0x2000000, 0x80000000};
    std::vector<RCK3dEntity*> all;
    for (int i = 0; i < 1000; ++i) {
        RCK3dEntity* e = NewEntity(("e" + std::to_string(i)).c_str(), rng() % 2 ? CKCID_3DOBJECT : CKCID_3DENTITY);
        if (i > 0 && rng() % 4)
            e->SetParent(all[rng() % all.size()], rng() % 2);
        e->SetLocalMatrix(RandomMatrix(rng, rng() % 5 == 0, 100.0f));
        if (rng() % 3 == 0)
            e->SetZOrder((int) (rng() % 20001) - 10000);
        for (CKDWORD bit : moveableBits)
            if (rng() % 4 == 0)
                e->ModifyMoveableFlags(bit, 0);
        e->Show(rng() % 3 == 0 ? CKHIDE : rng() % 3 == 0 ? CKHIERARCHICALHIDE : CKSHOW);
        e->SetFlags(rng());
        for (int k = (int) (rng() % 4); k > 0; --k)
            e->AddMesh(meshes[rng() % meshes.size()]);
        if (e->GetMeshCount() > 0 && rng() % 4) {
            e->SetCurrentMesh(e->GetMesh((int) (rng() % (unsigned) e->GetMeshCount())));
            for (int k = 0; k < e->GetCurrentMesh()->GetBlendShapeCount(); ++k)
                e->SetBlendShapeWeight(k, unit(rng));
            if (rng() % 3 == 0)
                AddRandomSkin(e, all.empty() ? std::vector<RCK3dEntity*>{e} : all, rng);
        }
        all.push_back(e);
    }
    CKContext* loaded = SaveAndLoad(std::vector<CKObject*>(all.begin(), all.end()));

    for (RCK3dEntity* e : all) {
        SCOPED_TRACE(e->GetName());
        RCK3dEntity* back = Find<RCK3dEntity>(loaded, e->GetName(), e->GetClassID());
        ASSERT_NE(back, nullptr);
        EXPECT_TRUE(BitEqual(back->GetWorldMatrix(), e->GetWorldMatrix()));
        EXPECT_STREQ(NameOf(back->GetParent()), NameOf(e->GetParent()));
        ASSERT_EQ(back->GetChildrenCount(), e->GetChildrenCount());
        for (int i = 0; i < e->GetChildrenCount(); ++i)
            EXPECT_STREQ(back->GetChild(i)->GetName(), e->GetChild(i)->GetName());
        ASSERT_EQ(back->GetMeshCount(), e->GetMeshCount());
        for (int i = 0; i < e->GetMeshCount(); ++i)
            EXPECT_STREQ(back->GetMesh(i)->GetName(), e->GetMesh(i)->GetName());
        EXPECT_STREQ(NameOf(back->GetCurrentMesh()), NameOf(e->GetCurrentMesh()));
        for (int i = 0; i <= 4; ++i)
            EXPECT_EQ(back->GetBlendShapeWeight(i), e->GetBlendShapeWeight(i));
        EXPECT_EQ(back->GetZOrder(), e->GetZOrder());
        EXPECT_EQ(back->GetMoveableFlags() & ~CK_3DENTITY_INVERSEVALID, ExpectedMoveable(e));
        EXPECT_EQ(back->GetFlags(), e->GetFlags() & ~(CK_3DENTITYFLAG_LASTFRAMEMATRIX | 0x20u));
        ExpectSameSkin(e->GetSkin(), back->GetSkin());
    }
}

TEST_F(EntityFile, ACanonicalEntitySectionIsWordForWordTheLayout)
{
    RCK3dEntity* parent = NewEntity("parent");
    RCK3dEntity* e = NewEntity("e");
    e->SetParent(parent, FALSE);
    e->SetLocalMatrix(QxMatrix(0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 10, 20, 30, 1));
    e->SetZOrder(5);
    e->SetFlag400();
    CKFile file(m_Context);
    file.AddObjectRecord(parent->GetID(), CKCID_3DENTITY);
    CKStateChunk* chunk = e->Save(&file, CK_STATESAVE_3DENTITYDATA | CK_STATESAVE_PARENT);
    const Words expected = {Header(10, 33, 7, 0x08), 24,
                            // Main section: entity flags (0x400 | parent | z-order), moveable
                            // flags (pickable, visible, queued as moved), world rows, parent
                            // (the first saved object), z-order.
                            0x100000, 18, 0x120400, 0x20003, F(0), F(1), F(0), F(-1), F(0), F(0), F(0), F(0), F(1),
                            F(10), F(20), F(30), 0, 5,
                            // Older parent section, then the weights (none).
                            0x8000, 21, 0, 0x4FAE17D7, 0, 0};
    EXPECT_EQ(Serialise(chunk), expected);
    CKDeleteStateChunk(chunk);
}

TEST_F(EntityFile, AnOlderChunkWithADataVersion5SkinLoads)
{
    RCK3dEntity* parent = NewEntity("parent");
    RCK3dEntity* bone = NewEntity("bone");
    const CKDWORD p = parent->GetID();
    const CKDWORD b = bone->GetID();
    // Parent, flags, a matrix after one word, and a skin whose matrices,
    // positions, weights and indices each follow one more word; the second
    // vertex names a bone past the last.
    const Words words = {Header(5, 33, 7, 0x10), 84,
                         // 0: parent; 3: flags; 7: matrix; 26: skin
                         0x8000, 3, p, 0x10000, 7, 0x400, 0xFFFFFFFF, 0x20000, 26, 0xDEAD, F(2), 0, 0, 0, 0, F(2), 0, 0,
                         0, 0, F(-2), 0, F(1), F(2), F(3), F(1), 0x200000, 0, 0xDEAD, F(1), 0, 0, 0, 0, F(1), 0, 0, 0,
                         0, F(1), 0, F(5), 0, 0, F(1),
                         // bones: one entity, its flags, a word, its matrix
                         1, b, 7, 0xDEAD, F(1), 0, 0, 0, 0, F(1), 0, 0, 0, 0, F(1), 0, 0, 0, 0, F(1),
                         // two vertices
                         2, 1, 0xDEAD, F(1), F(2), F(3), 0xDEAD, F(0.5f), 0xDEAD, 0, 1, 0xDEAD, F(4), F(5), F(6),
                         0xDEAD, F(1), 0xDEAD, 3};
    CKStateChunk* chunk = FromWords(words);
    RCK3dEntity* e = NewEntity("old");
    EXPECT_EQ(e->Load(chunk, nullptr), CKErr::Ok);
    EXPECT_EQ(e->GetParent(), parent);
    EXPECT_EQ(e->GetFlags(), 0x400u);
    EXPECT_EQ(e->GetMoveableFlags() & 0xFF000000, 0xFF000000 & ~CK_3DENTITY_NOTMOVED);
    EXPECT_TRUE(e->GetMoveableFlags() & CK_3DENTITY_MIRRORED);
    EXPECT_EQ(e->GetWorldMatrix()[2][2], -2.0f);
    EXPECT_EQ(e->GetWorldMatrix()[3][1], 2.0f);
    CKSkin* skin = e->GetSkin();
    ASSERT_NE(skin, nullptr);
    EXPECT_EQ(skin->GetObjectInitMatrix()[3][0], 5.0f);
    EXPECT_EQ(skin->GetInverseObjectInitMatrix()[3][0], -5.0f);
    ASSERT_EQ(skin->GetBoneCount(), 1);
    EXPECT_EQ(skin->GetBoneData(0)->Bone, bone);
    EXPECT_EQ(skin->GetBoneData(0)->Flags, 7u);
    ASSERT_EQ(skin->GetVertexCount(), 2);
    EXPECT_EQ(skin->GetVertexData(0)->GetInitialPos(), QxVector(1, 2, 3));
    EXPECT_EQ(skin->GetVertexData(0)->GetWeight(0), 0.5f);
    EXPECT_EQ(skin->GetVertexData(1)->GetBone(0), 0) << "clamped to the last bone";
    CKDeleteStateChunk(chunk);
}

TEST_F(EntityFile, EveryCutOfASectionLoadsWithoutHarm)
{
    RCK3dEntity* e = NewEntity("e");
    RCK3dEntity* parent = NewEntity("parent");
    e->SetParent(parent);
    EntityTestMesh* mesh = NewMesh("mesh", 5, 2);
    e->SetCurrentMesh(mesh);
    e->SetBlendShapeWeight(1, 0.25f);
    e->AddObjectAnimation(NewAnimation("walk"));
    std::mt19937 rng(5);
    AddRandomSkin(e, {parent}, rng);
    CKStateChunk* chunk = e->Save(nullptr, 0xFFFFFFFF);
    Words words = Serialise(chunk);
    CKDeleteStateChunk(chunk);
    const CKDWORD dataWords = words[1];
    for (CKDWORD n = 0; n <= dataWords; ++n) {
        Words cut(words.begin(), words.begin() + 2 + n);
        cut[0] &= 0x00FFFFFF; // no position lists
        cut[1] = n;
        CKStateChunk* part = FromWords(cut);
        RCK3dEntity* target = NewEntity("target");
        target->Load(part, nullptr);
        m_Context->DestroyObject(target);
        CKDeleteStateChunk(part);
    }
    // Counts beyond the data are refused without reading on.
    const Words huge = {Header(10, 33, 7, 0), 7, 0x4000, 4, mesh->GetID(), 0, 0x4FAE17D7, 0, 0x7FFFFFFF};
    CKStateChunk* hostile = FromWords(huge);
    RCK3dEntity* target = NewEntity("hostile");
    EXPECT_EQ(target->Load(hostile, nullptr), CKErr::InvalidFile);
    CKDeleteStateChunk(hostile);
}

TEST_F(EntityFile, CopiesFollowEachDependencyOption)
{
    RCK3dEntity* root = NewEntity("root");
    RCK3dEntity* child = NewEntity("child");
    child->SetParent(root);
    EntityTestMesh* mesh = NewMesh("mesh", 4, 1);
    root->SetCurrentMesh(mesh);
    root->SetBlendShapeWeight(0, 0.75f);
    TestAnimation* animation = NewAnimation("walk");
    root->AddObjectAnimation(animation);
    root->SetPosition3f(1, 2, 3);
    for (CKDWORD options : {0u, 1u, 2u, 4u, 7u}) {
        SCOPED_TRACE(options);
        CKDependencies dependencies;
        dependencies.m_Flags = CK_DEPENDENCIES_CUSTOM;
        dependencies.Resize(CKGetClassCount());
        dependencies.m_Options[CKCID_3DENTITY] = options;
        RCK3dEntity* copy = static_cast<RCK3dEntity*>(m_Context->CopyObjects(root, &dependencies, "_copy"));
        ASSERT_NE(copy, nullptr);
        EXPECT_TRUE(BitEqual(copy->GetWorldMatrix(), root->GetWorldMatrix()));
        EXPECT_EQ(copy->GetCurrentMesh() == mesh, !(options & 1));
        ASSERT_NE(copy->GetCurrentMesh(), nullptr);
        EXPECT_EQ(copy->GetBlendShapeWeight(0), 0.75f);
        EXPECT_EQ(copy->GetChildrenCount(), (options & 2) ? 1 : 0);
        if (options & 2) {
            EXPECT_NE(copy->GetChild(0), child);
        }
        EXPECT_EQ(copy->GetObjectAnimationCount(), (options & 4) ? 1 : 0);
        if (options & 4) {
            EXPECT_NE(copy->GetObjectAnimation(0), animation);
        }
    }
    EXPECT_EQ(root->GetChildrenCount(), 1) << "the source keeps its child";
}

TEST_F(EntityFile, DeletingAMiddleNodeLeavesItsChildrenWhereTheyWere)
{
    RCK3dEntity* top = NewEntity("top");
    RCK3dEntity* middle = NewEntity("middle");
    RCK3dEntity* a = NewEntity("a");
    RCK3dEntity* b = NewEntity("b");
    middle->SetParent(top);
    a->SetParent(middle);
    b->SetParent(middle);
    top->SetPosition3f(1, 0, 0);
    middle->Rotate3f(0, 1, 0, 0.5f);
    a->SetPosition3f(0, 3, 0, middle);
    b->SetScale3f(2, 2, 2);
    const QxMatrix worldA = a->GetWorldMatrix();
    const QxMatrix worldB = b->GetWorldMatrix();
    EXPECT_EQ(m_Context->DestroyObject(middle), CKErr::Ok);
    EXPECT_EQ(top->GetChildrenCount(), 0);
    for (RCK3dEntity* e : {a, b}) {
        EXPECT_EQ(e->GetParent(), nullptr);
        EXPECT_EQ(e->GetSceneGraphNode()->GetParent(), Manager()->GetRootNode());
    }
    EXPECT_TRUE(BitEqual(a->GetWorldMatrix(), worldA));
    EXPECT_TRUE(BitEqual(b->GetWorldMatrix(), worldB));
    EXPECT_TRUE(BitEqual(a->GetLocalMatrix(), worldA));
}

TEST_F(EntityFile, AThreeDObjectLeavesItsEntityChunkOpenForItsOwnClass)
{
    // Its entity section comes back through files with the random world above.
    RCK3dEntity* object = NewEntity("object", CKCID_3DOBJECT);
    CKStateChunk* chunk = object->Save(nullptr, CK_STATESAVE_3DENTITYONLY);
    EXPECT_EQ(chunk->GetChunkClassID(), CKCID_3DENTITY) << "left open for the class after it";
    CKDeleteStateChunk(chunk);
    CKStateChunk* base = object->Save(nullptr, 0);
    EXPECT_NE(base->GetChunkClassID(), CKCID_3DENTITY) << "no file, no flag: the base chunk";
    CKDeleteStateChunk(base);
}

TEST_F(EntityFile, ReferencesOfTheWrongClassOrMakingACycleAreIgnored)
{
    RCK3dEntity* e = NewEntity("e");
    RCK3dEntity* child = NewEntity("child");
    child->SetParent(e);
    EntityTestMesh* mesh = NewMesh("mesh", 3);
    const CKDWORD noEntity = mesh->GetID();
    // Parent section naming a mesh, then one naming a child of the entity.
    for (CKDWORD parent : {noEntity, child->GetID()}) {
        CKStateChunk* chunk = FromWords({Header(10, 33, 7, 0), 17, 0x100000, 0, 0x20000, 0x3, F(1), 0, 0, 0, F(1), 0, 0,
                                         0, F(1), F(1), F(2), F(3), parent});
        EXPECT_EQ(e->Load(chunk, nullptr), CKErr::Ok);
        EXPECT_EQ(e->GetParent(), nullptr);
        EXPECT_EQ(child->GetParent(), e);
        EXPECT_EQ(e->GetWorldMatrix()[3][2], 3.0f);
        CKDeleteStateChunk(chunk);
    }
    // A mesh section whose current mesh is an entity: no mesh is taken.
    CKStateChunk* chunk = FromWords({Header(10, 33, 7, 0), 5, 0x4000, 0, child->GetID(), 1, child->GetID()});
    e->Load(chunk, nullptr);
    EXPECT_EQ(e->GetCurrentMesh(), nullptr);
    EXPECT_EQ(e->GetMeshCount(), 0);
    CKDeleteStateChunk(chunk);
}

TEST_F(EntityFile, ASkinHasOneVertexPerVertexOfItsMeshWhateverTheChunkSays)
{
    RCK3dEntity* source = NewEntity("source");
    source->SetCurrentMesh(NewMesh("five", 5));
    std::mt19937 rng(3);
    AddRandomSkin(source, {source}, rng);
    CKStateChunk* chunk = source->Save(nullptr, 0xFFFFFFFF);
    RCK3dEntity* target = NewEntity("target");
    target->SetCurrentMesh(NewMesh("three", 3));
    // The chunk names the five-vertex mesh: take the skin over a three-vertex
    // one by dropping the mesh section.
    Words words = Serialise(chunk);
    CKDeleteStateChunk(chunk);
    for (size_t i = 2; i + 1 < words.size(); ++i)
        if (words[i] == CK_STATESAVE_MESHS)
            words[i] = 0x7777; // an identifier nobody reads
    CKStateChunk* edited = FromWords(words);
    EXPECT_EQ(target->Load(edited, nullptr), CKErr::Ok);
    ASSERT_NE(target->GetSkin(), nullptr);
    EXPECT_EQ(target->GetSkin()->GetVertexCount(), 3);
    EXPECT_EQ(target->GetSkin()->GetVertexData(2)->GetInitialPos(),
              source->GetSkin()->GetVertexData(2)->GetInitialPos());
    CKDeleteStateChunk(edited);
}
