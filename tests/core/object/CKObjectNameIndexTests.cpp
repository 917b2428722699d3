#include <gtest/gtest.h>

#include <algorithm>
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
