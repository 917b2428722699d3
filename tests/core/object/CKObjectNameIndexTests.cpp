#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/object/CKObjectNameIndex.h"
#include "tests/core/support/CoreTestSupport.h"

namespace {

std::vector<CK_ID> Visit(const CKObjectNameIndex& index, CKDWORD hash)
{
    std::vector<CK_ID> ids;
    index.ForEach(hash, [&](CK_ID id) { ids.push_back(id); });
    std::sort(ids.begin(), ids.end());
    return ids;
}

TEST(CKObjectNameIndex, FollowsAMultimapThroughInsertsAndRemovals)
{
    // Few distinct hashes whose low bits collide, so that runs wrap around
    // the table's end and removals shift entries back across it.
    std::mt19937 random(7);
    CKObjectNameIndex index;
    std::map<CKDWORD, std::multiset<CK_ID>> model;
    std::vector<std::pair<CKDWORD, CK_ID>> present;
    CK_ID next = 1;
    for (int step = 0; step < 20000; ++step) {
        const bool add = present.empty() || random() % 5 < 3;
        if (add) {
            const CKDWORD hash = (CKDWORD) (random() % 12) * 0x40u + 0x3Cu + (CKDWORD) (random() % 6);
            index.Insert(hash, next);
            model[hash].insert(next);
            present.push_back({hash, next++});
        } else {
            const size_t at = random() % present.size();
            index.Remove(present[at].first, present[at].second);
            model[present[at].first].erase(present[at].second);
            present[at] = present.back();
            present.pop_back();
        }
        ASSERT_EQ(index.Size(), (int) present.size());
        if (step % 97 == 0) {
            for (const auto& [hash, ids] : model)
                ASSERT_EQ(Visit(index, hash), std::vector<CK_ID>(ids.begin(), ids.end())) << "step " << step;
        }
    }
    for (const auto& [hash, ids] : model)
        EXPECT_EQ(Visit(index, hash), std::vector<CK_ID>(ids.begin(), ids.end()));
}

int RefuseAdvice(void*, size_t)
{
    return -1;
}

TEST(CKObjectNameIndex, KeepsEveryEntryThroughGrowthOntoLargeStorageAndBack)
{
    // Past 131,072 entries the slots take 4 MB: the table moves onto mapped
    // storage, advised or refused huge pages, and must hold the same ids.
    for (const bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "huge pages refused" : "huge pages granted");
        const PlatformHugePageAdviceHook previous = PlatformSetHugePageAdviceHook(refused ? RefuseAdvice : nullptr);
        CKObjectNameIndex index;
        const int count = 140000;
        // Hashes of 1,000 values so that every hash has a run of ids.
        auto hashOf = [](CK_ID id) { return (CKDWORD) ((id % 1000u) * 2654435761u); };
        for (CK_ID id = 1; id <= (CK_ID) count; ++id)
            index.Insert(hashOf(id), id);
        EXPECT_EQ(index.Size(), count);
        EXPECT_EQ(index.SlotCount(), 524288);
        EXPECT_EQ(index.OnHugePages(), !refused);
        // Every third id leaves again.
        for (CK_ID id = 3; id <= (CK_ID) count; id += 3)
            index.Remove(hashOf(id), id);
        for (CKDWORD value : {0u, 1u, 2u, 499u, 998u, 999u}) {
            std::vector<CK_ID> expected;
            for (CK_ID id = value == 0 ? 1000 : value; id <= (CK_ID) count; id += 1000)
                if (id % 3 != 0)
                    expected.push_back(id);
            ASSERT_EQ(Visit(index, hashOf(expected[0])), expected) << "hash of " << value;
        }
        // Cleared, the table starts small again on the heap.
        index.Clear();
        EXPECT_EQ(index.Size(), 0);
        EXPECT_EQ(index.SlotCount(), 0);
        EXPECT_TRUE(Visit(index, hashOf(1)).empty());
        index.Prefetch(hashOf(1));
        index.Insert(hashOf(1), 1);
        EXPECT_EQ(index.SlotCount(), 64);
        EXPECT_FALSE(index.OnHugePages());
        EXPECT_EQ(Visit(index, hashOf(1)), std::vector<CK_ID>{1});
        PlatformSetHugePageAdviceHook(previous);
    }
}

TEST(CKObjectNameIndex, HashesTellApartNamesThatDifferInAnyByteOrTheirClass)
{
    // Names of every length around the eight-byte steps, each changed in
    // one byte, and the same name in another class: all different hashes.
    std::set<CKDWORD> seen;
    int made = 0;
    for (int length = 0; length <= 19; ++length) {
        std::string name(length, 'a');
        for (int cid = 1; cid <= 2; ++cid) {
            seen.insert(CKObjectNameIndex::Hash(name.c_str(), cid));
            ++made;
            for (int at = 0; at < length; ++at) {
                std::string changed = name;
                changed[at] = 'b';
                seen.insert(CKObjectNameIndex::Hash(changed.c_str(), cid));
                ++made;
            }
        }
    }
    EXPECT_EQ((int) seen.size(), made);
    // The low bits a table keeps spread sequential names over the slots.
    std::set<CKDWORD> homes;
    char name[32];
    for (int i = 0; i < 4096; ++i) {
        std::snprintf(name, sizeof(name), "Object%06d", i);
        homes.insert(CKObjectNameIndex::Hash(name, 7) & 8191u);
    }
    EXPECT_GT(homes.size(), 3000u);
}

using ObjectNameTest = EngineFixture;

// The first object of a class with a name, as a scan of the class list
// finds it.
CKObject* Scan(CKContext* context, const char* name, CK_CLASSID cid)
{
    const int count = context->GetObjectsCountByClassID(cid);
    CK_ID* ids = context->GetObjectsListByClassID(cid);
    for (int i = 0; i < count; ++i) {
        CKObject* o = context->GetObject(ids[i]);
        if (o && o->GetName() && std::string(o->GetName()) == name)
            return o;
    }
    return nullptr;
}

TEST_F(ObjectNameTest, LookupsMatchAScanThroughCreationRenamingAndDeletion)
{
    std::mt19937 random(11);
    const char* names[] = {"A", "B", "C", "Lamp", "Lamp000"};
    const CK_CLASSID classes[] = {TestObject::m_ClassID, TestListener::m_ClassID};
    static char sharedName[] = "Shared";
    std::vector<CK_ID> live;
    for (int step = 0; step < 3000; ++step) {
        const unsigned what = random() % 8;
        const char* name = names[random() % 5];
        const CK_CLASSID cid = classes[random() % 2];
        if (what < 3 || live.empty()) {
            const CKDWORD options = random() % 2 ? CK_OBJECTCREATION_RENAME : CK_OBJECTCREATION_NONAMECHECK;
            live.push_back(m_Context->CreateObject(cid, random() % 9 ? name : nullptr, options)->GetID());
        } else if (what < 5) {
            CKObject* o = m_Context->GetObject(live[random() % live.size()]);
            if (random() % 7 == 0)
                o->SetName(sharedName, TRUE);
            else
                o->SetName(random() % 9 ? name : nullptr);
        } else if (what < 7) {
            const size_t at = random() % live.size();
            m_Context->DestroyObjects(&live[at], 1);
            live[at] = live.back();
            live.pop_back();
        }
        // Lookups build the index at some point; a scan is the reference.
        if (step > 300 || what == 7) {
            for (const char* probe : {name, "Shared", "Missing"})
                for (CK_CLASSID c : classes)
                    ASSERT_EQ(m_Context->GetObjectByNameAndClass(probe, c), Scan(m_Context, probe, c))
                        << "step " << step << " name " << probe;
        }
    }
    // The index starts again empty after everything is cleared.
    m_Context->ClearAll();
    for (const char* name : names)
        EXPECT_EQ(m_Context->GetObjectByNameAndClass(name, TestObject::m_ClassID), nullptr);
    CKObject* again = m_Context->CreateObject(TestObject::m_ClassID, "A");
    EXPECT_EQ(m_Context->GetObjectByNameAndClass("A", TestObject::m_ClassID), again);
}

} // namespace

namespace {

CKContext* g_Heard = nullptr;
std::vector<std::string> g_Found; // per notice: the name each lookup gave ("-" for none)

std::string FoundName(const char* name)
{
    CKObject* o = g_Heard->GetObjectByNameAndClass(name, TestObject::m_ClassID);
    return o ? std::to_string(o->GetID()) : "-";
}

TEST_F(ObjectNameTest, ObjectsBeingDeletedAreNotFoundEvenRenamedDuringTheNotice)
{
    // Three objects share a name; the first listed wins, whichever ids.
    struct Case
    {
        std::vector<int> deleted; // positions (0 to 2) of the "Lamp"s deleted in one call
        bool renameDuringNotice;  // a listener renames the first deleted one while it hears
    };
    const Case cases[] = {
        {{0}, false}, {{0}, true}, {{1}, false}, {{0, 1}, true}, {{2, 0}, false}, {{0, 1, 2}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "deleting " << c.deleted.size() << " first " << c.deleted[0]);
        m_Context->ClearAll();
        m_Context->CreateObject(TestListener::m_ClassID, nullptr);
        std::vector<CK_ID> lamps;
        for (int i = 0; i < 3; ++i)
            lamps.push_back(
                m_Context->CreateObject(TestObject::m_ClassID, "Lamp", CK_OBJECTCREATION_NONAMECHECK)->GetID());
        ASSERT_EQ(m_Context->GetObjectByNameAndClass("Lamp", TestObject::m_ClassID)->GetID(), lamps[0]);

        std::vector<CK_ID> doomed;
        for (int at : c.deleted)
            doomed.push_back(lamps[(size_t) at]);
        static CK_ID s_Renamed;
        s_Renamed = c.renameDuringNotice ? doomed[0] : 0;
        g_Heard = m_Context;
        g_Found.clear();
        TestListener::s_OnPreDeletion = [](TestListener*) {
            if (s_Renamed)
                g_Heard->GetObject(s_Renamed)->SetName("Renamed");
            g_Found.push_back(FoundName("Lamp") + " " + FoundName("Renamed"));
        };
        m_Context->DestroyObjects(doomed.data(), (int) doomed.size());
        TestListener::s_OnPreDeletion = nullptr;

        // The first survivor in list order, during the notice and after.
        std::string survivor = "-";
        for (int i = 0; i < 3; ++i)
            if (std::find(c.deleted.begin(), c.deleted.end(), i) == c.deleted.end()) {
                survivor = std::to_string(lamps[(size_t) i]);
                break;
            }
        ASSERT_EQ(g_Found.size(), 1u);
        EXPECT_EQ(g_Found[0], survivor + " -");
        EXPECT_EQ(FoundName("Lamp"), survivor);
        EXPECT_EQ(FoundName("Renamed"), "-");
        // A new object of that name comes after the survivors.
        CK_ID fresh = m_Context->CreateObject(TestObject::m_ClassID, "Lamp", CK_OBJECTCREATION_NONAMECHECK)->GetID();
        EXPECT_EQ(FoundName("Lamp"), survivor == "-" ? std::to_string(fresh) : survivor);
    }
}

} // namespace
