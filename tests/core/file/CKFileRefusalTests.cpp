// A file load runs to its end whatever one object's Load gives; the objects
// whose Load refused are listed in the file with their class, name and the
// reason their class gave, so that the loss can be seen.
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/context/CKError.h"
#include "core/parameter/CKParameterOut.h"
#include "tests/core/support/ChunkTestSupport.h"
#include "tests/core/support/FileTestSupport.h"
#include "tests/core/support/HandMadeFile.h"
#include "tests/support/TestPaths.h"

namespace {

using Refusal = std::tuple<CK_CLASSID, std::string, std::string>;

std::vector<Refusal> Refusals(const CKFile* file)
{
    std::vector<Refusal> out;
    for (int i = 0; i < file->GetRefusalCount(); ++i) {
        const CKFileRefusal* r = file->GetRefusal(i);
        out.emplace_back(r->m_ClassID, r->m_Name.CStr(), r->m_Text.CStr());
    }
    return out;
}

class CKFileRefusals : public FileFixture
{
protected:
    FileTestItem* Item(const char* name, int refusal = FileTestItem::LoadsWhole, const char* reason = "")
    {
        FileTestItem* item = NewItem(m_Context, name);
        item->m_Refusal = refusal;
        item->m_Reason = reason;
        m_Saved.push_back(item);
        return item;
    }
    // Saves the items made so far; the file's path.
    std::string Save(const char* name)
    {
        const std::string path = m_Dir.File(name);
        CKFile* file = m_Context->CreateCKFile();
        EXPECT_EQ(file->StartSave(path.c_str()), CKErr::Ok);
        for (FileTestItem* item : m_Saved)
            file->SaveObject(item);
        EXPECT_EQ(file->EndSave(), CKErr::Ok);
        m_Context->DeleteCKFile(file);
        return path;
    }

    std::vector<FileTestItem*> m_Saved;
    TestTempDir m_Dir;
};

TEST_F(CKFileRefusals, EveryRefusedLoadIsListedWithItsReasonAndTheLoadStillSucceeds)
{
    const CK_CLASSID item = FileTestItem::m_ClassID;
    Item("whole");
    Item("with reason", FileTestItem::RefusesWithReason, "the count does not fit its section");
    Item("without reason", FileTestItem::RefusesWithoutReason);
    Item("in part", FileTestItem::RefusesPart, "its extra section is dropped");
    Item("two reasons", FileTestItem::GivesTwoReasons, "the first cause");
    Item("past its chunk", FileTestItem::ReadsPastItsChunk);
    Item("throwing", FileTestItem::ThrowsOnLoad);
    Item("whole too");
    const std::string path = Save("refusals.qdx");

    CKContext* context = NewContext();
    CKFile* file = context->CreateCKFile();
    ASSERT_EQ(file->Load(path.c_str(), nullptr), CKErr::Ok) << "the load runs to its end";
    const std::vector<Refusal> expected = {
        {item, "with reason", "the count does not fit its section"},
        {item, "without reason", CKErrorToString(CKErr::NotFound)},
        {item, "in part", "its extra section is dropped"},
        {item, "two reasons", "the first cause"},
        {item, "past its chunk", "its chunk is cut short or broken"},
        {item, "throwing", "its load failed with an exception"},
    };
    EXPECT_EQ(Refusals(file), expected);
    EXPECT_EQ(file->GetRefusal(-1), nullptr);
    EXPECT_EQ(file->GetRefusal((int) expected.size()), nullptr);
    EXPECT_EQ(context->GetLoadingFile(), nullptr) << "only while an object loads";
    // Every object was made and loaded all the same.
    for (const char* name : {"whole", "with reason", "in part", "whole too"}) {
        auto* loaded = static_cast<FileTestItem*>(context->GetObjectByNameAndClass(name, item));
        ASSERT_NE(loaded, nullptr) << name;
        EXPECT_EQ(loaded->m_Loads, 1) << name;
    }

    // The same file gives the same list again; ClearData empties it, and so
    // does the next load.
    CKContext* other = NewContext();
    CKFile* again = other->CreateCKFile();
    ASSERT_EQ(again->Load(path.c_str(), nullptr), CKErr::Ok);
    EXPECT_EQ(Refusals(again), expected);
    again->ClearData();
    EXPECT_EQ(again->GetRefusalCount(), 0);
    other->DeleteCKFile(again);
    ASSERT_EQ(file->Load(Save("refusals-again.qdx").c_str(), nullptr), CKErr::Ok);
    EXPECT_EQ(Refusals(file), expected);
    for (FileTestItem* saved : m_Saved)
        saved->m_Refusal = FileTestItem::LoadsWhole;
    ASSERT_EQ(file->Load(Save("clean.qdx").c_str(), nullptr), CKErr::Ok);
    EXPECT_EQ(file->GetRefusalCount(), 0);
    context->DeleteCKFile(file);
}

TEST_F(CKFileRefusals, AReasonGivenOutsideAFileLoadIsKeptNowhere)
{
    FileTestItem* source = Item("source", FileTestItem::RefusesWithReason, "not from a file");
    CKStateChunk* chunk = source->Save(nullptr, 0);
    chunk->CloseChunk();
    FileTestItem* target = NewItem(m_Context, "target");
    EXPECT_EQ(target->Load(chunk, nullptr), CKErr::InvalidFile);
    CKDeleteStateChunk(chunk);
    CKNoteLoadRefusal(nullptr, "nothing");
    // A reason given between loads does not reach the next file's list.
    m_Saved = {NewItem(m_Context, "clean")};
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->Load(Save("clean.qdx").c_str(), nullptr), CKErr::Ok);
    EXPECT_EQ(file->GetRefusalCount(), 0);
    m_Context->DeleteCKFile(file);
}

// A parameter whose type no plug-in declares keeps no value: its load
// returns the engine's error and names the type.
TEST_F(CKFileRefusals, AParameterOfAnUnknownTypeIsListedWithTheType)
{
    ChunkPtr chunk = NewChunk(CKCID_PARAMETEROUT);
    chunk->StartWrite();
    chunk->WriteIdentifier(CK_STATESAVE_PARAMETER_VALUE);
    chunk->WriteGuid(CKGUID(0x12345678, 0x9ABCDEF0));
    chunk->WriteInt(3);
    chunk->CloseChunk();
    const std::string path = m_Dir.File("unknown.qdx");
    WriteWholeFile(path, HandMadeFile({{1, CKCID_PARAMETEROUT, "Speed", Serialised(chunk.get())}}));
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->Load(path.c_str(), nullptr), CKErr::Ok);
    const std::vector<Refusal> expected = {{CKCID_PARAMETEROUT, "Speed",
                                            "unknown parameter type 0x12345678,0x9ABCDEF0 (the plug-in declaring it is "
                                            "maybe absent)"}};
    EXPECT_EQ(Refusals(file), expected);
    m_Context->DeleteCKFile(file);
}

} // namespace
