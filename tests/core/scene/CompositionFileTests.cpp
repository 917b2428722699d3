// A composition holding every kind of scene content, behaviour and typed
// value saves, loads into a fresh context and saves again to the same bytes,
// from the first save on.
//
// A file holds the ids of the context that saved it, and a load numbers the
// objects in file order: the composition is built once to learn the ids a
// load gives, then built again in a fresh context that hands those ids out.

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/object/CKObjectManager.h"
#include "tests/core/scene/SceneTestSupport.h"
#include "tests/support/TestPaths.h"
#include "tools/ContentSeeds.h"

namespace {

class CompositionTest : public SceneFixture
{
protected:
    // A context as the composition's editor has it (interface mode on, so
    // that behaviours keep their interface chunks).
    CKContext* EditorContext()
    {
        CKContext* context = NewContext();
        context->SetInterfaceMode(TRUE, nullptr, nullptr);
        return context;
    }

    // The next objects made in the fresh context take these ids in this
    // order: dynamic placeholders hold every id up to the largest, then go
    // so that the freed ids come back (last freed first) in that order.
    static void HandOutIds(CKContext* context, const std::vector<CK_ID>& ids)
    {
        CK_ID largest = 0;
        for (CK_ID id : ids)
            largest = std::max(largest, id);
        std::vector<CKObject*> holders((size_t) largest + 1, nullptr);
        for (CK_ID id = 1; id <= largest; ++id) {
            holders[id] = context->CreateObject(CKCID_BEOBJECT, nullptr, CK_OBJECTCREATION_DYNAMIC);
            ASSERT_EQ(holders[id]->GetID(), id) << "a fresh context";
        }
        for (CK_ID id = 1; id <= largest; ++id)
            if (std::find(ids.begin(), ids.end(), id) == ids.end())
                CKDestroyObject(holders[id]);
        for (auto it = ids.rbegin(); it != ids.rend(); ++it)
            CKDestroyObject(holders[*it]);
    }

    // Loads the file into the context; saved id -> the id made on load.
    static std::map<CK_ID, CK_ID> LoadWithIds(CKContext* context, const std::string& path)
    {
        std::map<CK_ID, CK_ID> ids;
        CKFile* file = context->CreateCKFile();
        EXPECT_EQ(file->Load(path.c_str(), nullptr), 0);
        for (const CKFileObjectRecord& record : file->m_FileObjects)
            ids[record.m_ObjectID & 0x7FFFFFFF] = record.m_CreatedObject;
        context->DeleteCKFile(file);
        return ids;
    }
};

} // namespace

TEST_F(CompositionTest, EveryKindOfContentSavesLoadsAndSavesAgainToTheSameBytes)
{
    TestTempDir dir;
    // A first build learns the ids a load gives each object it made.
    CKContext* scratch = EditorContext();
    BuildComposition(scratch);
    ASSERT_EQ(SaveComposition(scratch, dir.File("scratch.qbx")), CKErr::Ok);
    const CK_ID made = (CK_ID) scratch->GetObjectManager()->GetObjectsCount();
    std::map<CK_ID, CK_ID> loadedIds = LoadWithIds(EditorContext(), dir.File("scratch.qbx"));
    // The level scene is made with its level, not loaded: it keeps its id;
    // objects a file leaves out take the ids after the others.
    std::vector<CK_ID> ids;
    CK_ID spare = 100;
    for (CK_ID id = 1; id <= made; ++id)
        ids.push_back(loadedIds.count(id) ? loadedIds[id] : id == 2 ? 2 : spare++);

    CKContext* editor = EditorContext();
    HandOutIds(editor, ids);
    BuildComposition(editor);
    ASSERT_EQ(SaveComposition(editor, dir.File("first.qbx")), CKErr::Ok);
    CKContext* loaded = EditorContext();
    ASSERT_EQ(LoadFile(loaded, dir.File("first.qbx")), 0);
    for (CK_CLASSID cid : {CKCID_LEVEL, CKCID_SCENE, CKCID_GROUP, CKCID_DATAARRAY, CKCID_WAVESOUND, CKCID_MIDISOUND,
                           CKCID_BEHAVIOR, CKCID_BEHAVIORLINK, CKCID_PARAMETEROPERATION, CKCID_SYNCHRO, CKCID_STATE,
                           CKCID_CRITICALSECTION, CKCID_PARAMETERLOCAL})
        EXPECT_GT(loaded->GetObjectsCountByClassID(cid), 0) << "class " << cid;
    EXPECT_GE(loaded->GetMessageManager()->AddMessageType("Alarm"), 2);
    EXPECT_GE(loaded->GetParameterManager()->ParameterGuidToType(kCompositionMood), 0);
    ASSERT_EQ(SaveComposition(loaded, dir.File("second.qbx")), CKErr::Ok);
    EXPECT_EQ(ReadWholeFile(dir.File("first.qbx")), ReadWholeFile(dir.File("second.qbx")));
    CKContext* again = EditorContext();
    ASSERT_EQ(LoadFile(again, dir.File("second.qbx")), 0);
    ASSERT_EQ(SaveComposition(again, dir.File("third.qbx")), CKErr::Ok);
    EXPECT_EQ(ReadWholeFile(dir.File("second.qbx")), ReadWholeFile(dir.File("third.qbx")));
}
