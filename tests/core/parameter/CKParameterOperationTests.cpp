#include <cstring>
#include <string>
#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterOperation.h"
#include "core/parameter/CKParameterOut.h"
#include "tests/core/parameter/ParameterTestSupport.h"

namespace {

constexpr CKGUID kScale(0x5CA1E, 1);
constexpr CKGUID kSum(0x5CA1E, 2);

// What the last call received: the first input's type and the second's.
std::vector<std::string> g_Calls;

float ReadFloat(CKParameterIn* in)
{
    float f = 0.0f;
    if (in && in->GetGUID() == CKPGUID_FLOAT)
        in->GetValue(&f);
    else if (in) {
        int i = 0;
        in->GetValue(&i);
        f = (float) i;
    }
    return f;
}

// Float x Integer -> Float: the float times the integer.
void Scale(CKContext*, CKParameterOut* out, CKParameterIn* p1, CKParameterIn* p2)
{
    g_Calls.push_back(std::string(p1 && p1->GetGUID() == CKPGUID_FLOAT ? "float" : "other") + "," +
                      (p2 && p2->GetGUID() == CKPGUID_INT ? "int" : "other"));
    float result = ReadFloat(p1) * ReadFloat(p2);
    out->SetValue(&result);
}

// Float + Float -> Float, reading its inputs (which may be results themselves).
void Sum(CKContext*, CKParameterOut* out, CKParameterIn* p1, CKParameterIn* p2)
{
    float result = ReadFloat(p1) + ReadFloat(p2);
    if (out)
        out->SetValue(&result);
}

class Operations : public ParameterFixture
{
protected:
    void SetUp() override
    {
        ParameterFixture::SetUp();
        g_Calls.clear();
        ASSERT_GE(m_Manager->RegisterOperationType(kScale, "Scale"), 0);
        ASSERT_EQ(m_Manager->RegisterOperationFunction(kScale, CKPGUID_FLOAT, CKPGUID_FLOAT, CKPGUID_INT, Scale), 0);
        ASSERT_GE(m_Manager->RegisterOperationType(kSum, "Sum"), 0);
        ASSERT_EQ(m_Manager->RegisterOperationFunction(kSum, CKPGUID_FLOAT, CKPGUID_FLOAT, CKPGUID_FLOAT, Sum), 0);
        ASSERT_EQ(m_Manager->RegisterOperationFunction(kSum, CKPGUID_NONE, CKPGUID_FLOAT, CKPGUID_FLOAT, Sum), 0);
    }

    // An operation with inputs reading fresh outputs of the given types.
    CKParameterOperation* NewOperation(CKGUID op, CKGUID out, CKGUID in1, CKGUID in2)
    {
        auto* operation = static_cast<CKParameterOperation*>(m_Context->CreateObject(CKCID_PARAMETEROPERATION));
        operation->SetOperationGuid(op);
        if (out.IsValid())
            operation->SetOutParameter(New<CKParameterOut>(out));
        for (int i = 0; i < 2; ++i) {
            CKGUID type = i == 0 ? in1 : in2;
            if (!type.IsValid())
                continue;
            auto* in = New<CKParameterIn>(type);
            in->SetDirectSource(New<CKParameterOut>(type));
            if (i == 0)
                operation->SetInParameter1(in);
            else
                operation->SetInParameter2(in);
        }
        return operation;
    }
    template <class T>
    static void Feed(CKParameterIn* in, T value)
    {
        in->GetRealSource()->SetValue(&value);
    }
};

} // namespace

TEST_F(Operations, AFunctionFoundWithTheInputsExchangedReceivesThemExchangedAndNoneCopiesInputOne)
{
    CKParameterOperation* op = NewOperation(kScale, CKPGUID_FLOAT, CKPGUID_INT, CKPGUID_FLOAT);
    Feed(op->GetInParameter1(), 3);
    Feed(op->GetInParameter2(), 1.5f);
    EXPECT_EQ(op->Update(), &Scale);
    EXPECT_STREQ(op->GetName(), "Scale");
    EXPECT_EQ(op->DoOperation(), 0);
    EXPECT_EQ(g_Calls, std::vector<std::string>{"float,int"});
    float out = 0.0f;
    op->GetOutParameter()->GetValue(&out, FALSE);
    EXPECT_EQ(out, 4.5f);

    // Without a function the output takes input 1; nothing is registered
    // under the GUID: the operation keeps its name.
    CKParameterOperation* none = NewOperation(CKGUID(0x404, 0x404), CKPGUID_INT, CKPGUID_INT, CKPGUID_INT);
    none->SetName("Mine");
    Feed(none->GetInParameter1(), 41);
    EXPECT_EQ(none->Update(), nullptr);
    EXPECT_STREQ(none->GetName(), "Mine");
    EXPECT_EQ(none->DoOperation(), CKErr::NotInitialized);
    int copied = 0;
    none->GetOutParameter()->GetValue(&copied, FALSE);
    EXPECT_EQ(copied, 41);
}

TEST_F(Operations, PinsShareOneCopyOfTheirNames)
{
    CKParameterOperation* a = NewOperation(kSum, CKPGUID_FLOAT, CKPGUID_FLOAT, CKPGUID_FLOAT);
    CKParameterOperation* b = NewOperation(kSum, CKPGUID_FLOAT, CKPGUID_FLOAT, CKPGUID_FLOAT);
    char own[] = "Pin 0";
    b->GetInParameter1()->SetName(own);
    b->GetInParameter2()->SetName("Speed");
    a->Update();
    b->Update();
    EXPECT_EQ(a->GetInParameter1()->GetName(), b->GetInParameter1()->GetName());
    EXPECT_STREQ(a->GetInParameter1()->GetName(), "Pin 0");
    EXPECT_STREQ(a->GetInParameter2()->GetName(), "Pin 1");
    EXPECT_STREQ(b->GetInParameter2()->GetName(), "Speed");
    EXPECT_EQ(a->GetOutParameter()->GetName(), b->GetOutParameter()->GetName());
    EXPECT_STREQ(a->GetOutParameter()->GetName(), "Pout 0");
    EXPECT_TRUE(a->GetOutParameter()->GetObjectFlags() & CK_PARAMETEROUT_PARAMOP);
    EXPECT_EQ(a->GetOutParameter()->GetOwner(), a);
    EXPECT_EQ(a->GetInParameter1()->GetOwner(), a);
}

TEST_F(Operations, AResultComputesWhenReadWithTheUpdateFlagOnlyAndCyclesStop)
{
    CKParameterOperation* op = NewOperation(kSum, CKPGUID_FLOAT, CKPGUID_FLOAT, CKPGUID_FLOAT);
    op->Update();
    Feed(op->GetInParameter1(), 1.0f);
    Feed(op->GetInParameter2(), 2.0f);
    float f = -1.0f;
    op->GetOutParameter()->GetValue(&f, FALSE);
    EXPECT_EQ(f, 0.0f);
    op->GetOutParameter()->GetValue(&f, TRUE);
    EXPECT_EQ(f, 3.0f);

    // Without an output the lookup names "None" for it.
    CKParameterOperation* none = NewOperation(kSum, CKGUID(), CKPGUID_FLOAT, CKPGUID_FLOAT);
    EXPECT_EQ(none->Update(), &Sum);
    EXPECT_EQ(none->DoOperation(), 0);

    // Operations reading each other stop at the first met again.
    CKParameterOperation* a = NewOperation(kSum, CKPGUID_FLOAT, CKPGUID_FLOAT, CKPGUID_FLOAT);
    CKParameterOperation* b = NewOperation(kSum, CKPGUID_FLOAT, CKPGUID_FLOAT, CKPGUID_FLOAT);
    a->GetInParameter1()->SetDirectSource(b->GetOutParameter());
    b->GetInParameter1()->SetDirectSource(a->GetOutParameter());
    Feed(a->GetInParameter2(), 1.0f);
    Feed(b->GetInParameter2(), 10.0f);
    a->Update();
    b->Update();
    // a reads b, which reads a as it stands (0): b = 10, then a = 11.
    a->GetOutParameter()->GetValue(&f, TRUE);
    EXPECT_EQ(f, 11.0f);
}

TEST_F(Operations, OlderGuidsAreReplacedOnLoad)
{
    for (CKGUID old : {CKGUID(0x0CD9471A, 0x52D93818), CKGUID(0x48C20DED, 0xFEC20DA3)}) {
        CKStateChunk* chunk = CKCreateStateChunk(CKCID_PARAMETEROPERATION);
        chunk->StartWrite();
        chunk->SetDataVersion(10);
        chunk->WriteIdentifier(CK_STATESAVE_OPERATIONOP);
        chunk->WriteGuid(old);
        chunk->CloseChunk();
        auto* op = static_cast<CKParameterOperation*>(m_Context->CreateObject(CKCID_PARAMETEROPERATION));
        EXPECT_EQ(op->Load(chunk, nullptr), 0);
        EXPECT_EQ(op->GetOperationGuid(), CKGUID(0x4BC87AEA, 0x6B5B643E));
        CKDeleteStateChunk(chunk);
    }
    EXPECT_EQ(CKParameterOperation::ReplaceOldGuid(CKGUID(0x06B94737, 0x20D32C21)), CKGUID(0x25991E7E, 0x32CC55E7));
    EXPECT_EQ(CKParameterOperation::ReplaceOldGuid(kSum), kSum);
}

TEST_F(Operations, ACopyRecordCarriesThePinsWithTheirState)
{
    CKParameterOperation* op = NewOperation(kScale, CKPGUID_FLOAT, CKPGUID_FLOAT, CKPGUID_INT);
    op->Update();
    auto* owner = m_Context->CreateObject(CKCID_BEOBJECT, "owner");
    op->SetOwner(owner);
    CKStateChunk* chunk = CKSaveObjectState(op, 0x100 | 0x200 | 64 | 128);
    auto* copy = static_cast<CKParameterOperation*>(m_Context->CreateObject(CKCID_PARAMETEROPERATION));
    EXPECT_EQ(copy->Load(chunk, nullptr), 0);
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(copy->GetOperationGuid(), kScale);
    EXPECT_EQ(copy->GetOwner(), owner);
    EXPECT_EQ(copy->GetInParameter1(), op->GetInParameter1());
    EXPECT_EQ(copy->GetOutParameter(), op->GetOutParameter());
    // Loading bound the pins to the copy.
    EXPECT_EQ(op->GetInParameter1()->GetOwner(), copy);
    EXPECT_TRUE(op->IsObjectUsed(op->GetInParameter2(), CKCID_PARAMETERIN));

    // Deleting a pin leaves no trace of it in the operation.
    m_Context->DestroyObject(op->GetInParameter2());
    EXPECT_EQ(op->GetInParameter2(), nullptr);
    EXPECT_EQ(copy->GetInParameter2(), nullptr);
}
