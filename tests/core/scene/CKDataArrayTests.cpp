#include "core/scene/CKDataArray.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "core/file/CKFile.h"
#include "core/object/CKDependencies.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterOut.h"
#include "tests/core/scene/SceneTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

// The cells of an array as text, objects and parameters by content.
std::vector<std::string> Picture(CKContext* context, CKDataArray* array)
{
    std::vector<std::string> lines;
    for (int c = 0; c < array->GetColumnCount(); ++c)
        lines.push_back(std::string(array->GetColumnFormat(c)->Name.CStr()) + ":" +
                        std::to_string(array->GetColumnType(c)));
    for (int r = 0; r < array->GetRowCount(); ++r) {
        std::string line;
        for (int c = 0; c < array->GetColumnCount(); ++c) {
            const CKDataCell* cell = array->GetElement(r, c);
            switch (array->GetColumnType(c)) {
            case CKARRAYTYPE_INT: line += std::to_string(cell->Int); break;
            case CKARRAYTYPE_FLOAT: line += std::to_string(std::bit_cast<CKDWORD>(cell->Float)); break;
            case CKARRAYTYPE_STRING: line += cell->String ? cell->String : "(null)"; break;
            case CKARRAYTYPE_OBJECT: {
                CKObject* object = context->GetObject(cell->Object);
                line += object && object->GetName() ? object->GetName() : "(none)";
                break;
            }
            default: {
                int value = 0;
                array->GetElementValue(r, c, &value);
                line += std::to_string(value) + (cell->Parameter->GetOwner() == array ? "o" : "s");
            }
            }
            line += "|";
        }
        lines.push_back(line);
    }
    lines.push_back(std::to_string(array->GetKeyColumn()) + "," + std::to_string(array->GetSettings(0)) + "," +
                    std::to_string(array->GetSettings(1)));
    return lines;
}

class DataArrayTest : public SceneFixture
{
protected:
    CKDataArray* NewArray(CKContext* context = nullptr, const char* name = "Table")
    {
        return static_cast<CKDataArray*>((context ? context : m_Context)->CreateObject(CKCID_DATAARRAY, name));
    }

    // Five columns, one of each type, and random rows.
    CKDataArray* RandomArray(int rows, const std::vector<CKBeObject*>& objects)
    {
        CKDataArray* array = NewArray();
        EXPECT_EQ(array->AddColumn("Count", CKARRAYTYPE_INT), 0);
        array->AddColumn("Weight", CKARRAYTYPE_FLOAT);
        array->AddColumn("Label", CKARRAYTYPE_STRING);
        array->AddColumn("Target", CKARRAYTYPE_OBJECT);
        EXPECT_EQ(array->AddColumn("Value", CKARRAYTYPE_PARAMETER, CKPGUID_INT), 4);
        std::mt19937 random(7);
        for (int r = 0; r < rows; ++r) {
            array->AddRow();
            array->GetElement(r, 0)->Int = (int) random();
            array->GetElement(r, 1)->Float = (float) (int) (random() % 20000) / 16.0f;
            if (r % 7)
                array->SetElementString(r, 2, ("row " + std::to_string(random() % 1000)).c_str());
            array->GetElement(r, 3)->Object = objects[random() % objects.size()]->GetID();
            int value = (int) (random() % 100000);
            array->GetElement(r, 4)->Parameter->SetValue(&value, 4);
        }
        array->SetKeyColumn(2);
        array->SetSettings(0, 5);
        array->SetSettings(1, 9);
        return array;
    }

    std::vector<CKBeObject*> Objects(CKContext* context)
    {
        std::vector<CKBeObject*> objects;
        for (int i = 0; i < 5; ++i)
            objects.push_back(NewBeObject(("Object " + std::to_string(i)).c_str(), context));
        return objects;
    }
};

} // namespace

TEST_F(DataArrayTest, AThousandRandomRowsComeBackThroughAFileAChunkAndACopy)
{
    std::vector<CKBeObject*> objects = Objects(m_Context);
    CKDataArray* array = RandomArray(1000, objects);
    const std::vector<std::string> expected = Picture(m_Context, array);
    EXPECT_EQ(array->GetColumnType(-1), 0);
    EXPECT_EQ(array->GetColumnType(5), 0);
    EXPECT_EQ(array->GetElement(1000, 0), nullptr);
    EXPECT_EQ(array->AddColumn("Bad", 6), -1);

    TestTempDir dir;
    const std::string path = dir.File("array.qbx");
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(path.c_str()), 0);
    file->SaveObject(array, 0xFFFFFFFF);
    for (CKBeObject* object : objects)
        file->SaveObject(object);
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);
    CKContext* other = NewContext();
    ASSERT_EQ(LoadFile(other, path), 0);
    auto* loaded = static_cast<CKDataArray*>(other->GetObjectByNameAndClass("Table", CKCID_DATAARRAY));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Picture(other, loaded), expected);

    // Without a file the parameters travel inside the chunk, owned again.
    CKStateChunk* chunk = CKSaveObjectState(array);
    CKDataArray* fromChunk = NewArray(nullptr, "FromChunk");
    ASSERT_EQ(fromChunk->Load(chunk, nullptr), CKErr::Ok);
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(Picture(m_Context, fromChunk), expected);

    CKDependencies dependencies;
    dependencies.m_Flags = CK_DEPENDENCIES_ALL;
    auto* copy = static_cast<CKDataArray*>(m_Context->CopyObjects(array, &dependencies));
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetRowCount(), 1000);
    EXPECT_NE(copy->GetElement(0, 4)->Parameter, array->GetElement(0, 4)->Parameter) << "owned parameters are copied";
    EXPECT_NE(copy->GetElement(1, 2)->String, array->GetElement(1, 2)->String);
    int value = 0, original = 0;
    copy->GetElementValue(0, 4, &value);
    array->GetElementValue(0, 4, &original);
    EXPECT_EQ(value, original);
}

TEST_F(DataArrayTest, ComparatorsOrderAsAThreeWayStableSortDoesAtTheExtremes)
{
    CKDataArray* array = NewArray();
    array->AddColumn("N", CKARRAYTYPE_INT);
    array->AddColumn("Tag", CKARRAYTYPE_INT);
    std::mt19937 random(3);
    std::vector<int> values = {INT_MIN, INT_MAX, 0, -1, 1, INT_MIN, INT_MAX, INT_MIN + 1, INT_MAX - 1};
    for (int i = 0; i < 300; ++i)
        values.push_back(i % 3 ? (int) random() : (int) (random() % 5));
    for (int i = 0; i < (int) values.size(); ++i) {
        array->AddRow();
        array->GetElement(i, 0)->Int = values[i];
        array->GetElement(i, 1)->Int = i;
    }
    CKArraySortFunction compare = array->GetColumnFormat(0)->Compare;
    for (CKBOOL direction : {TRUE, FALSE}) {
        CKDataArray::SetSortSettings(0, direction);
        std::vector<CKDataRow*> rows;
        for (int r = 0; r < array->GetRowCount(); ++r)
            rows.push_back(array->GetRow(r));
        // A row goes first when the comparator puts it before the other.
        std::stable_sort(rows.begin(), rows.end(), [&](CKDataRow* a, CKDataRow* b) { return compare(a, b) < 0; });
        std::vector<std::pair<int, int>> model;
        for (int i = 0; i < (int) values.size(); ++i)
            model.emplace_back(values[i], i);
        std::stable_sort(model.begin(), model.end(), [&](auto& a, auto& b) {
            return direction ? (int64_t) a.first > b.first : (int64_t) a.first < b.first;
        });
        for (size_t i = 0; i < rows.size(); ++i)
            ASSERT_EQ(((*rows[i])[0].Int, (*rows[i])[1].Int), model[i].second) << i;
    }
    CKDataArray::SetSortSettings(0, TRUE);
}

TEST_F(DataArrayTest, TheSixSearchOperatorsCompareTheCellWithTheReference)
{
    CKDataArray* array = NewArray();
    array->AddColumn("I", CKARRAYTYPE_INT);
    array->AddColumn("F", CKARRAYTYPE_FLOAT);
    array->AddColumn("S", CKARRAYTYPE_STRING);
    array->AddColumn("P", CKARRAYTYPE_PARAMETER, CKPGUID_INT);
    array->AddRow();
    array->GetElement(0, 0)->Int = INT_MIN;
    array->GetElement(0, 1)->Float = 2.5f;
    array->SetElementString(0, 2, "beta");
    int three = 3;
    array->GetElement(0, 3)->Parameter->SetValue(&three, 4);
    const CKDataRow* row = array->GetRow(0);

    struct Case
    {
        int column;
        const void* reference;
        int size;
        const char* expected; // per operator 1 to 6, then an unknown one
    };
    const int big = INT_MAX;
    const float half = 2.5f;
    const int four = 4;
    const Case cases[] = {
        {0, &big, 4, "0111000"},    // INT_MIN against INT_MAX: less
        {1, &half, 4, "1001010"},   // equal
        {2, "alpha", 6, "0100110"}, // greater
        {2, nullptr, 0, "0100110"}, // null is ""
        {3, &four, 4, "0111000"},   // bytes 03 against 04: less
        {3, nullptr, 0, "0000000"}, // no reference bytes
    };
    for (const Case& c : cases)
        for (int op = 1; op <= 7; ++op) {
            CKDataArray::SetSearchSettings(c.column, op, c.reference, c.size);
            EXPECT_EQ(array->GetColumnFormat(c.column)->Test(row), c.expected[op - 1] == '1')
                << "column " << c.column << " operator " << op;
        }
    CKDataArray::SetSearchSettings(0, 1, nullptr, 0);
}

TEST_F(DataArrayTest, CellsOfAHostileChunkAreRefusedAndEveryPrefixLoadsSafely)
{
    auto chunkOf = [](int columns, int type, int rows) {
        CKStateChunk* chunk = CKCreateStateChunk(CKCID_DATAARRAY);
        chunk->StartWrite();
        chunk->WriteIdentifier(CK_STATESAVE_DATAARRAYFORMAT);
        chunk->WriteInt(columns);
        for (int c = 0; c < columns && c < 4; ++c) {
            chunk->WriteString("c");
            chunk->WriteInt(type);
        }
        chunk->WriteIdentifier(CK_STATESAVE_DATAARRAYDATA);
        chunk->WriteInt(rows);
        chunk->WriteInt(1);
        chunk->CloseChunk();
        return chunk;
    };
    CKDataArray* array = NewArray();
    for (auto [columns, type, rows, expectColumns] : std::vector<std::tuple<int, int, int, int>>{
             {1, 9, 1, 0}, {1000000, 1, 1, 0}, {-1, 1, 1, 0}, {1, 1, 1000000, 1}, {1, 1, -5, 1}, {0, 1, 50000, 0}}) {
        CKStateChunk* chunk = chunkOf(columns, type, rows);
        EXPECT_EQ(array->Load(chunk, nullptr), CKErr::Ok);
        EXPECT_EQ(array->GetColumnCount(), expectColumns) << columns << " " << type;
        EXPECT_EQ(array->GetRowCount(), 0);
        CKDeleteStateChunk(chunk);
    }
    EXPECT_EQ(array->Load(nullptr, nullptr), CKErr::InvalidParameter);

    // A parameter cell from a file must name a parameter.
    CKDataArray* source = NewArray(nullptr, "Source");
    source->AddColumn("P", CKARRAYTYPE_PARAMETER, CKPGUID_INT);
    source->AddColumn("S", CKARRAYTYPE_STRING);
    source->AddRow();
    source->SetElementString(0, 1, "text");
    CKStateChunk* saved = CKSaveObjectState(source);
    std::vector<CKBYTE> bytes((size_t) saved->ConvertToBuffer(nullptr));
    saved->ConvertToBuffer(bytes.data());
    CKDeleteStateChunk(saved);
    for (size_t n = 0; n <= bytes.size(); ++n) {
        CKStateChunk* cut = CKCreateStateChunk(0);
        if (cut->ConvertFromBuffer(bytes.data(), (int) n)) {
            array->Load(cut, nullptr);
            array->PostLoad();
        }
        CKDeleteStateChunk(cut);
    }
    EXPECT_EQ(array->GetRowCount(), 1) << "the whole chunk loads last";
    EXPECT_STREQ(array->GetElement(0, 1)->String, "text");
}

TEST_F(DataArrayTest, ParametersOutliveTheirCellsAndTheirArraySafely)
{
    CKDataArray* array = NewArray();
    array->AddColumn("P", CKARRAYTYPE_PARAMETER, CKPGUID_INT);
    array->AddRow();
    CKParameterOut* shared = m_Context->CreateCKParameterOut("Shared", CKPGUID_INT);
    int seven = 7;
    shared->SetValue(&seven, 4);
    CKParameter* owned = array->GetElement(0, 0)->Parameter;
    array->GetElement(0, 0)->Parameter = shared;
    EXPECT_TRUE(array->IsObjectUsed(shared, CKCID_PARAMETEROUT) == FALSE) << "an int parameter names no object";
    m_Context->DestroyObject(shared);
    CKParameter* replacement = array->GetElement(0, 0)->Parameter;
    ASSERT_NE(replacement, nullptr);
    EXPECT_EQ(replacement->GetOwner(), array);
    int value = 0;
    array->GetElementValue(0, 0, &value);
    EXPECT_EQ(value, 7);

    // The array goes without its parameters (no dependencies): they stay
    // and point at nothing.
    const CK_ID kept = replacement->GetID();
    m_Context->DestroyObject(owned);
    m_Context->DestroyObject(array);
    auto* left = static_cast<CKParameter*>(m_Context->GetObject(kept));
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->GetOwner(), nullptr);
}

TEST_F(DataArrayTest, OldChunksKeepTheKeyColumnUnsetAndTakeTheNewColumnGuid)
{
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_DATAARRAY);
    chunk->StartWrite();
    chunk->SetDataVersion(4);
    chunk->WriteIdentifier(CK_STATESAVE_DATAARRAYFORMAT);
    chunk->WriteInt(1);
    chunk->WriteString("Time");
    chunk->WriteInt(CKARRAYTYPE_PARAMETER);
    chunk->WriteGuid(CKGUID(0x4A4D4867, 0x3C28773F));
    chunk->WriteIdentifier(CK_STATESAVE_DATAARRAYMEMBERS);
    chunk->WriteDword(1);
    chunk->WriteDword(2);
    chunk->WriteInt(0);
    chunk->CloseChunk();
    CKDataArray* array = NewArray();
    ASSERT_EQ(array->Load(chunk, nullptr), CKErr::Ok);
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(array->GetKeyColumn(), -1);
    EXPECT_EQ(array->GetSettings(1), 2u);
    EXPECT_EQ(array->GetColumnFormat(0)->ParameterType, CKGUID(0x54B4422B, 0x730F0F4F));
}
