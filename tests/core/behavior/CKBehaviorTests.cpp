#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/behavior/CKBehavior.h"
#include "core/behavior/CKBehaviorIO.h"
#include "core/behavior/CKBehaviorLink.h"
#include "core/behavior/CKBehaviorPrototype.h"
#include "core/behavior/CKObjectDeclaration.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPluginManager.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKBeObjectLinks.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterOperation.h"
#include "core/parameter/CKParameterOut.h"
#include "tests/core/support/FileTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

// What the test callback heard, and what it answers per message.
std::vector<CKDWORD>& Heard()
{
    static std::vector<CKDWORD> heard;
    return heard;
}

std::map<CKDWORD, CKERROR>& Answers()
{
    static std::map<CKDWORD, CKERROR> answers;
    return answers;
}

bool& Throws()
{
    static bool throws = false;
    return throws;
}

CKERROR Recorder(const CKBehaviorContext& context)
{
    Heard().push_back(context.CallbackMessage);
    if (Throws())
        throw std::runtime_error("thrown");
    auto it = Answers().find(context.CallbackMessage);
    return it == Answers().end() ? 0 : it->second;
}

int Nothing(const CKBehaviorContext&)
{
    return 0;
}

constexpr int kPrototypes = 5;

CKGUID PrototypeGuid(int n)
{
    return CKGUID(0xB10C0000 + n, 0x0000B10C);
}

// Prototype n declares n+1 inputs, an output, an input, an output and a
// local parameter, and a setting.
template <int N>
CKERROR MakePrototype(CKBehaviorPrototype** out)
{
    auto* p = CKCreateBehaviorPrototype(("Block " + std::to_string(N)).c_str());
    for (int i = 0; i <= N; ++i)
        p->DeclareInput(("In " + std::to_string(i)).c_str());
    p->DeclareOutput("Out");
    p->DeclareInParameter("Amount", CKPGUID_FLOAT, "1.5");
    p->DeclareOutParameter("Result", CKPGUID_INT);
    p->DeclareLocalParameter("Memory", CKPGUID_INT, "3");
    p->DeclareSetting("Mode", CKPGUID_BOOL, "TRUE");
    p->SetFunction(Nothing);
    p->SetBehaviorCallbackFct(Recorder, 0xFFFFFFFF);
    *out = p;
    return 0;
}

void ListDeclarations(XArray<CKObjectDeclaration*>& list)
{
    CKDLL_CREATEPROTOFUNCTION makers[kPrototypes] = {MakePrototype<0>, MakePrototype<1>, MakePrototype<2>,
                                                     MakePrototype<3>, MakePrototype<4>};
    for (int n = 0; n < kPrototypes; ++n) {
        auto* d = CKCreateObjectDeclaration(("Block " + std::to_string(n)).c_str());
        d->SetGuid(PrototypeGuid(n));
        d->SetType(CKDLL_BEHAVIORPROTOTYPE);
        d->SetCreationFunction(makers[n]);
        list.PushBack(d);
    }
}

class BehaviorTest : public FileFixture
{
protected:
    void SetUp() override
    {
        FileFixture::SetUp();
        if (!CKGetObjectDeclarationFromGuid(PrototypeGuid(0)))
            CKRegisterObjectDeclarations(nullptr, ListDeclarations);
        Heard().clear();
        Answers().clear();
        Throws() = false;
    }

    CKBehavior* NewBehavior(const char* name, CKContext* context = nullptr)
    {
        return static_cast<CKBehavior*>((context ? context : m_Context)->CreateObject(CKCID_BEHAVIOR, name));
    }

    // A building block of prototype n with the declared plugs.
    CKBehavior* NewBlock(int n, const char* name)
    {
        CKBehavior* b = NewBehavior(name);
        EXPECT_EQ(b->InitFromGuid(PrototypeGuid(n)), 0);
        CKBehaviorPrototype* p = b->GetPrototype();
        for (int i = 0; i < p->GetInputs().Size(); ++i)
            b->CreateInput(p->GetInputName(i));
        b->CreateOutput(p->GetOutputName(0));
        b->CreateInputParameterByGuid("Amount", CKPGUID_FLOAT);
        b->CreateOutputParameter("Result", CKPGUID_INT);
        b->CreateLocalParameter("Memory", CKPGUID_INT);
        b->CreateLocalParameter("Mode", CKPGUID_BOOL, TRUE);
        return b;
    }

    CKBehaviorLink* Link(CKBehavior* graph, CKBehaviorIO* from, CKBehaviorIO* to, CKWORD delay)
    {
        auto* link = static_cast<CKBehaviorLink*>(graph->GetCKContext()->CreateObject(CKCID_BEHAVIORLINK));
        link->SetInBehaviorIO(from);
        link->SetOutBehaviorIO(to);
        link->SetActivationDelay(delay);
        link->SetInitialActivationDelay(delay + 1);
        EXPECT_EQ(graph->AddSubBehaviorLink(link), 0);
        return link;
    }

    // Script "Brain" on "Actor": Brain > {Mind > {Block 0..2, Deep > {Block 3, 4}}}.
    CKBeObject* BuildScript()
    {
        CKBeObject* actor = static_cast<CKBeObject*>(m_Context->CreateObject(CKCID_BEOBJECT, "Actor"));
        CKBehavior* brain = NewBehavior("Brain");
        brain->UseGraph();
        brain->SetType(1);
        brain->CreateInput("Start");
        CKBehavior* mind = NewBehavior("Mind");
        mind->UseGraph();
        mind->CreateInput("Go");
        mind->CreateOutput("Done");
        mind->SetPriority(3);
        CKBehavior* deep = NewBehavior("Deep");
        deep->UseGraph();
        deep->CreateInput("Enter");
        deep->SetCompatibleClassID(CKCID_BEOBJECT + 0); // the default: no class word
        std::vector<CKBehavior*> blocks;
        for (int n = 0; n < kPrototypes; ++n)
            blocks.push_back(NewBlock(n, ("Block " + std::to_string(n)).c_str()));
        blocks[1]->SetPriority(10);
        blocks[2]->SetPriority(-4);
        blocks[4]->SetCompatibleClassID(CKCID_SCENE);
        for (int n = 0; n < 3; ++n)
            EXPECT_EQ(mind->AddSubBehavior(blocks[n]), 0);
        EXPECT_EQ(deep->AddSubBehavior(blocks[3]), 0);
        EXPECT_EQ(deep->AddSubBehavior(blocks[4]), 0);
        EXPECT_EQ(mind->AddSubBehavior(deep), 0);
        EXPECT_EQ(brain->AddSubBehavior(mind), 0);
        Link(brain, brain->GetInput(0), mind->GetInput(0), 1);
        Link(mind, mind->GetInput(0), blocks[0]->GetInput(0), 2);
        Link(mind, blocks[0]->GetOutput(0), blocks[1]->GetInput(1), 0);
        Link(mind, blocks[1]->GetOutput(0), deep->GetInput(0), 5);
        Link(mind, blocks[2]->GetOutput(0), mind->GetOutput(0), 1);
        Link(deep, deep->GetInput(0), blocks[3]->GetInput(2), 7);
        Link(deep, blocks[3]->GetOutput(0), blocks[4]->GetInput(4), 1);
        // An operation feeding a block's input.
        auto* op = static_cast<CKParameterOperation*>(m_Context->CreateObject(CKCID_PARAMETEROPERATION, "Add"));
        CKParameterOut* sum = m_Context->CreateCKParameterOut("Sum", CKPGUID_FLOAT);
        op->SetOutParameter(sum);
        EXPECT_EQ(mind->AddParameterOperation(op), 0);
        blocks[0]->GetInputParameter(0)->SetDirectSource(sum);
        EXPECT_EQ(actor->AddScript(brain), 0);
        return actor;
    }

    static std::string IoName(CKBehaviorIO* io)
    {
        if (!io)
            return "-";
        return std::string(io->GetOwner() && io->GetOwner()->GetName() ? io->GetOwner()->GetName() : "?") + "." +
               (io->GetName() ? io->GetName() : "?");
    }

    // Structure, names, owners, link ends, priorities and flags, as text.
    static void Describe(CKBehavior* b, std::string& out, int depth = 0)
    {
        const std::string pad(depth * 2, ' ');
        out += pad + b->GetName() + " type " + std::to_string(b->GetType()) + " flags " +
               std::to_string(b->GetFlags() & ~(CKBEHAVIOR_ACTIVATENEXTFRAME | CKBEHAVIOR_POSTLOADFIX)) + " priority " +
               std::to_string(b->GetPriority()) + " class " + std::to_string(b->GetCompatibleClassID()) + " owner " +
               (b->GetOwner() ? b->GetOwner()->GetName() : "-") + " parent " +
               (b->GetParent() ? b->GetParent()->GetName() : "-") + " proto " +
               std::to_string(b->GetPrototypeGuid().d1) + "\n";
        for (int i = 0; i < b->GetInputCount(); ++i)
            out += pad + " in " + IoName(b->GetInput(i)) + "\n";
        for (int i = 0; i < b->GetOutputCount(); ++i)
            out += pad + " out " + IoName(b->GetOutput(i)) + "\n";
        for (int i = 0; i < b->GetInputParameterCount(); ++i) {
            CKParameterIn* p = b->GetInputParameter(i);
            out += pad + " pin " + p->GetName() +
                   (p->GetRealSource() ? std::string(" <- ") + p->GetRealSource()->GetName() : "") + "\n";
        }
        for (int i = 0; i < b->GetOutputParameterCount(); ++i)
            out += pad + " pout " + b->GetOutputParameter(i)->GetName() + "\n";
        for (int i = 0; i < b->GetLocalParameterCount(); ++i)
            out += pad + " local " + b->GetLocalParameter(i)->GetName() + "\n";
        for (int i = 0; i < b->GetParameterOperationCount(); ++i)
            out += pad + " op " + b->GetParameterOperation(i)->GetName() + "\n";
        for (int i = 0; i < b->GetSubBehaviorLinkCount(); ++i) {
            CKBehaviorLink* l = b->GetSubBehaviorLink(i);
            out += pad + " link " + IoName(l->GetInBehaviorIO()) + " -> " + IoName(l->GetOutBehaviorIO()) + " " +
                   std::to_string(l->GetActivationDelay()) + "/" + std::to_string(l->GetInitialActivationDelay()) +
                   "\n";
        }
        for (int i = 0; i < b->GetSubBehaviorCount(); ++i)
            Describe(b->GetSubBehavior(i), out, depth + 1);
    }

    static std::string DescribeActor(CKContext* context)
    {
        auto* actor = static_cast<CKBeObject*>(context->GetObjectByNameAndClass("Actor", CKCID_BEOBJECT));
        if (!actor || actor->GetScriptCount() != 1)
            return "no actor or script";
        std::string out;
        Describe(static_cast<CKBehavior*>(actor->GetScript(0)), out);
        return out;
    }

    static void Save(CKContext* context, const std::string& path)
    {
        CKFile* file = context->CreateCKFile();
        ASSERT_EQ(file->StartSave(path.c_str()), 0);
        file->SaveObject(context->GetObjectByNameAndClass("Actor", CKCID_BEOBJECT), 0xFFFFFFFF);
        ASSERT_EQ(file->EndSave(), 0);
        context->DeleteCKFile(file);
    }

    static void Load(CKContext* context, const std::string& path)
    {
        CKFile* file = context->CreateCKFile();
        ASSERT_EQ(file->Load(path.c_str(), nullptr), 0);
        context->DeleteCKFile(file);
    }
};

} // namespace

TEST_F(BehaviorTest, AThreeLevelScriptComesBackWholeAndSavesAgainToTheSameBytes)
{
    BuildScript();
    const std::string original = DescribeActor(m_Context);
    ASSERT_NE(original.find("      Block 3 type 0"), std::string::npos) << original;
    // Sub-behaviours sorted by priority: B1 (10), Mind's others (0), B2 (-4).
    ASSERT_LT(original.find("    Block 1 "), original.find("    Block 0 ")) << original;
    ASSERT_LT(original.find("    Deep "), original.find("    Block 2 ")) << original;

    TestTempDir dir;
    Save(m_Context, dir.File("first.qdx"));
    Heard().clear();
    CKContext* loaded = NewContext();
    Load(loaded, dir.File("first.qdx"));
    EXPECT_EQ(DescribeActor(loaded), original);
    EXPECT_EQ(std::count(Heard().begin(), Heard().end(), (CKDWORD) CKM_BEHAVIORLOAD), kPrototypes)
        << "each block hears Load once";

    Save(loaded, dir.File("second.qdx"));
    CKContext* again = NewContext();
    Load(again, dir.File("second.qdx"));
    EXPECT_EQ(DescribeActor(again), original);
    Save(again, dir.File("third.qdx"));
    EXPECT_EQ(ReadWholeFile(dir.File("second.qdx")), ReadWholeFile(dir.File("third.qdx")));
}

TEST_F(BehaviorTest, TheCallbackRunsExactlyWhenTheMaskAllowsTheMessage)
{
    static const CKDWORD kBits[20] = {0,     0x1,   0x2,   0x4,   0x8,    0x10,   0x20,   0x40,   0,       0x1000,
                                      0x100, 0x200, 0x400, 0x800, 0x1000, 0x2000, 0x4000, 0x8000, 0x10000, 0x20000};
    CKBehavior* b = NewBehavior("Masked");
    ASSERT_EQ(b->InitFromGuid(PrototypeGuid(0)), 0);
    for (int bit = 0; bit < 32; ++bit) {
        CKBehaviorPrototype proto("Mask");
        proto.SetBehaviorCallbackFct(Recorder, 1u << bit);
        ASSERT_EQ(b->InitFromPrototype(&proto), 0);
        for (CKDWORD message = 0; message < 20; ++message) {
            Heard().clear();
            b->CallCallbackFunction(message);
            const bool allowed = kBits[message] == (1u << bit);
            EXPECT_EQ(Heard().size(), allowed ? 1u : 0u) << "message " << message << " mask bit " << bit;
        }
    }
}

TEST_F(BehaviorTest, AThrowingCallbackIsReportedAndAnswersZero)
{
    CKBehavior* b = NewBehavior("Thrower");
    ASSERT_EQ(b->InitFromGuid(PrototypeGuid(0)), 0);
    Console().clear();
    Answers()[3] = 5;
    EXPECT_EQ(b->CallCallbackFunction(3), 5);
    Throws() = true;
    EXPECT_EQ(b->CallCallbackFunction(3), 0);
    ASSERT_FALSE(Console().empty());
    EXPECT_NE(Console().back().find("Thrower=>Error"), std::string::npos) << Console().back();
    EXPECT_NE(Console().back().find("Not within a script"), std::string::npos);
    EXPECT_NE(Console().back().find("Not applied to any object"), std::string::npos);
    // A report without a text, and one that fills the whole line.
    b->ReportError(nullptr, nullptr, FALSE, FALSE);
    EXPECT_EQ(Console().back(), "Thrower=>");
    const std::string longText(600, 'x');
    b->ReportError(longText.c_str(), nullptr, FALSE, FALSE);
    EXPECT_EQ(Console().back(), "Thrower=>" + std::string(511 - 9, 'x'));
}

TEST_F(BehaviorTest, SetOwnerPutsTheOldOwnerBackWhenTheNewOneIsRefused)
{
    auto* first = static_cast<CKBeObject*>(m_Context->CreateObject(CKCID_BEOBJECT, "First"));
    auto* second = static_cast<CKBeObject*>(m_Context->CreateObject(CKCID_BEOBJECT, "Second"));
    CKBehavior* b = NewBehavior("Block");
    ASSERT_EQ(b->InitFromGuid(PrototypeGuid(1)), 0);
    EXPECT_EQ(b->SetOwner(first), 0);
    EXPECT_EQ(Heard(), (std::vector<CKDWORD>{CKM_BEHAVIORATTACH}));

    Heard().clear();
    EXPECT_EQ(b->SetOwner(first), 0) << "the same owner";
    EXPECT_TRUE(Heard().empty());

    Answers()[CKM_BEHAVIORATTACH] = CKBR_LOCKED;
    Console().clear();
    EXPECT_EQ(b->SetOwner(second), CKBR_LOCKED);
    EXPECT_EQ(b->GetOwner(), first);
    EXPECT_EQ(Heard(), (std::vector<CKDWORD>{CKM_BEHAVIORDETACH, CKM_BEHAVIORATTACH, CKM_BEHAVIORATTACH}));
    EXPECT_EQ(Console(), std::vector<std::string>{"Cannot add or move behavior, because the behavior is locked."});

    // A refusing sub-behaviour puts the graph back on its old owner.
    Answers().clear();
    CKBehavior* graph = NewBehavior("Graph");
    graph->UseGraph();
    ASSERT_EQ(graph->AddSubBehavior(b), 0);
    EXPECT_EQ(b->GetOwner(), nullptr);
    Answers()[CKM_BEHAVIORATTACH] = -1;
    EXPECT_NE(graph->SetOwner(second), 0);
    EXPECT_EQ(graph->GetOwner(), nullptr);
    EXPECT_EQ(b->GetOwner(), nullptr);
}

TEST_F(BehaviorTest, ADestroyedBehaviourHearsDetachWhenOwnedThenDelete)
{
    auto* owner = static_cast<CKBeObject*>(m_Context->CreateObject(CKCID_BEOBJECT, "Owner"));
    CKBehavior* owned = NewBehavior("Owned");
    ASSERT_EQ(owned->InitFromGuid(PrototypeGuid(1)), 0);
    ASSERT_EQ(owned->SetOwner(owner), 0);
    CKBehavior* alone = NewBehavior("Alone");
    ASSERT_EQ(alone->InitFromGuid(PrototypeGuid(2)), 0);
    Heard().clear();
    EXPECT_EQ(m_Context->DestroyObject(owned), 0);
    EXPECT_EQ(Heard(), (std::vector<CKDWORD>{CKM_BEHAVIORDETACH, CKM_BEHAVIORDELETE}));
    Heard().clear();
    CK_ID id = alone->GetID();
    EXPECT_EQ(m_Context->DestroyObjects(&id, 1), 0);
    EXPECT_EQ(Heard(), (std::vector<CKDWORD>{CKM_BEHAVIORDELETE}));
    EXPECT_EQ(m_Context->GetObject(id), nullptr);
    EXPECT_EQ(owner->GetScriptCount(), 0);
}

TEST_F(BehaviorTest, EqualPrioritiesKeepTheirOrder)
{
    CKBehavior* graph = NewBehavior("Graph");
    graph->UseGraph();
    const int priorities[] = {5, 10, 5};
    std::vector<CKBehavior*> subs;
    for (int i = 0; i < 3; ++i) {
        subs.push_back(NewBehavior(("S" + std::to_string(i)).c_str()));
        subs.back()->SetPriority(priorities[i]);
        EXPECT_EQ(subs.back()->GetFlags() & CKBEHAVIOR_POSTLOADFIX, CKBEHAVIOR_POSTLOADFIX);
        ASSERT_EQ(graph->AddSubBehavior(subs.back()), 0);
        EXPECT_EQ(subs.back()->GetFlags() & CKBEHAVIOR_POSTLOADFIX, 0u) << "its graph fixes it, as after a load";
    }
    EXPECT_EQ(graph->GetSubBehavior(0), subs[1]);
    EXPECT_EQ(graph->GetSubBehavior(1), subs[0]);
    EXPECT_EQ(graph->GetSubBehavior(2), subs[2]);
    EXPECT_EQ(graph->AddSubBehavior(graph), CKErr::InvalidParameter);
    EXPECT_EQ(subs[0]->AddSubBehavior(graph), CKErr::InvalidParameter) << "no graph of its own";
}

TEST_F(BehaviorTest, ASavedFlagWordNeverCarriesAMarkerWithoutItsWord)
{
    // In memory 0x4 and 0x10 mean other things; a behaviour with default
    // priority and class must not announce words it does not write.
    CKBehavior* b = NewBehavior("Marked");
    b->UseGraph();
    b->ModifyFlags(CKBEHAVIOR_PRIORITYSAVED | CKBEHAVIOR_ACTIVATENEXTFRAME, 0);
    TestTempDir dir;
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(dir.File("marked.qdx").c_str()), 0);
    file->SaveObject(b, 0xFFFFFFFF);
    ASSERT_EQ(file->EndSave(), 0);
    m_Context->DeleteCKFile(file);
    CKContext* other = NewContext();
    Load(other, dir.File("marked.qdx"));
    auto* back = static_cast<CKBehavior*>(other->GetObjectByNameAndClass("Marked", CKCID_BEHAVIOR));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetPriority(), 0);
    EXPECT_EQ(back->GetCompatibleClassID(), CKCID_BEOBJECT);
    EXPECT_EQ(back->GetInputCount(), 0);
}

TEST_F(BehaviorTest, ABlockWithTheActiveBitInItsSavedWordLoadsInactive)
{
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_BEHAVIOR);
    chunk->StartWrite();
    chunk->SetDataVersion(5);
    chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORNEWDATA);
    chunk->WriteDword(CKBEHAVIOR_BUILDINGBLOCK | CKBEHAVIOR_ACTIVE);
    chunk->WriteGuid(PrototypeGuid(2));
    chunk->WriteDword(0x20000);
    chunk->WriteDword(0); // no arrays
    chunk->CloseChunk();
    CKBehavior* b = NewBehavior("Loaded");
    CKFile* file = m_Context->CreateCKFile();
    EXPECT_EQ(b->Load(chunk, file), 0);
    m_Context->DeleteCKFile(file);
    EXPECT_EQ(b->GetType(), 0);
    EXPECT_FALSE(b->IsActive());
    EXPECT_EQ(b->GetVersion(), 0x20000u);
    EXPECT_EQ(b->GetCallbackFunction(), Recorder);
    CKDeleteStateChunk(chunk);
}

TEST_F(BehaviorTest, OutputLinksToOtherBehavioursComeFirstAfterLoad)
{
    CKBehavior* a = NewBehavior("A");
    CKBehavior* graph = NewBehavior("G");
    graph->UseGraph();
    std::vector<CKBehavior*> targets = {a, NewBehavior("B"), a, NewBehavior("C")};
    CKBehaviorIO* out = a->CreateOutput("Out");
    for (CKBehavior* t : targets) {
        auto* link = static_cast<CKBehaviorLink*>(m_Context->CreateObject(CKCID_BEHAVIORLINK));
        EXPECT_EQ(link->GetActivationDelay(), 1);
        EXPECT_EQ(link->GetInitialActivationDelay(), 1);
        link->SetInBehaviorIO(out);
        link->SetOutBehaviorIO(t->CreateInput("In"));
    }
    out->SortLinks();
    std::string order;
    for (int i = 0; i < out->GetLinkCount(); ++i)
        order += out->GetLink(i)->GetOutBehaviorIO()->GetOwner()->GetName();
    EXPECT_EQ(order, "BCAA");
}

TEST_F(BehaviorTest, DeletingAnInputLeavesItsLinksWithoutAnInputEnd)
{
    CKBehavior* graph = NewBehavior("G");
    graph->UseGraph();
    CKBehavior* a = NewBehavior("A");
    CKBehavior* b = NewBehavior("B");
    ASSERT_EQ(graph->AddSubBehavior(a), 0);
    ASSERT_EQ(graph->AddSubBehavior(b), 0);
    CKBehaviorIO* in = a->CreateInput("In");
    CKBehaviorLink* link = Link(graph, in, b->CreateInput("In"), 1);
    CKBehaviorLink* back = Link(graph, b->CreateOutput("Out"), in, 1);
    m_Context->DestroyObject(in);
    EXPECT_EQ(a->GetInputCount(), 0);
    EXPECT_EQ(link->GetInBehaviorIO(), nullptr);
    EXPECT_EQ(back->GetOutBehaviorIO(), nullptr);
    EXPECT_NE(back->GetInBehaviorIO(), nullptr);
}

TEST_F(BehaviorTest, ANewPrototypeStartsWithoutAnotherOnesDeclarations)
{
    ASSERT_NE(CKFindPrototypeByGuid(PrototypeGuid(4)), nullptr);
    CKBehaviorPrototype* fresh = CKCreateBehaviorPrototype("Fresh");
    EXPECT_EQ(fresh->GetInputs().Size(), 0);
    EXPECT_EQ(fresh->GetInParameters().Size(), 0);
    EXPECT_EQ(fresh->GetLocalParameters().Size(), 0);
    delete fresh;
    EXPECT_EQ(CKFindPrototypeByGuid(CKGUID(1, 2)), nullptr);
    CKBehavior* b = NewBehavior("Unknown");
    EXPECT_EQ(b->InitFromGuid(CKGUID(1, 2)), CKErr::InvalidParameter);
}

TEST_F(BehaviorTest, ACopiedScriptIsWholeOwnerlessAndItsBlocksHearTheCopy)
{
    BuildScript();
    auto* actor = static_cast<CKBeObject*>(m_Context->GetObjectByNameAndClass("Actor", CKCID_BEOBJECT));
    auto* brain = static_cast<CKBehavior*>(actor->GetScript(0));
    std::string original;
    Describe(brain, original);
    Heard().clear();
    auto* copy = static_cast<CKBehavior*>(m_Context->CopyObjects(brain));
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, brain);
    EXPECT_EQ(copy->GetOwner(), nullptr) << "the owner was not copied";
    EXPECT_EQ(std::count(Heard().begin(), Heard().end(), (CKDWORD) CKM_BEHAVIORCREATE), kPrototypes);
    ASSERT_EQ(copy->GetSubBehaviorCount(), 1);
    CKBehavior* mind = copy->GetSubBehavior(0);
    EXPECT_NE(mind, brain->GetSubBehavior(0));
    EXPECT_EQ(mind->GetParent(), copy);
    // Every link of the copy joins IOs of the copy.
    for (int i = 0; i < mind->GetSubBehaviorLinkCount(); ++i) {
        CKBehaviorLink* link = mind->GetSubBehaviorLink(i);
        for (CKBehaviorIO* io : {link->GetInBehaviorIO(), link->GetOutBehaviorIO()}) {
            CKBehavior* b = io->GetOwner();
            while (b && b != copy)
                b = b->GetParent();
            EXPECT_EQ(b, copy) << IoName(io);
        }
    }
}

TEST_F(BehaviorTest, OlderChunkFormsLoad)
{
    // Data version 4: the fields in a row, the arrays under their own ids.
    CKBehavior* sub = NewBehavior("Sub");
    CKStateChunk* chunk = CKCreateStateChunk(CKCID_BEHAVIOR);
    chunk->StartWrite();
    chunk->SetDataVersion(4);
    chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORNEWDATA);
    chunk->WriteGuid(CKGUID());
    for (int word : {0, (int) CKCID_SCENE, 1, 9, 0, 0, 0})
        chunk->WriteInt(word);
    chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORSUBBEHAV);
    XObjectPointerArray list;
    list.PushBack(sub);
    list.Save(chunk);
    chunk->CloseChunk();
    CKBehavior* four = NewBehavior("Four");
    CKFile* file = m_Context->CreateCKFile();
    EXPECT_EQ(four->Load(chunk, file), 0);
    CKDeleteStateChunk(chunk);
    EXPECT_EQ(four->GetType(), 1);
    EXPECT_EQ(four->GetCompatibleClassID(), CKCID_SCENE);
    EXPECT_EQ(four->GetPriority(), 9);
    ASSERT_EQ(four->GetSubBehaviorCount(), 1);
    EXPECT_EQ(four->GetSubBehavior(0), sub);

    // The oldest: one identifier per field; flag 0x8 makes a block.
    chunk = CKCreateStateChunk(CKCID_BEHAVIOR);
    chunk->StartWrite();
    chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORPROTOGUID_OLD);
    chunk->WriteGuid(PrototypeGuid(3));
    chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORFLAGS_OLD);
    chunk->WriteDword(CKBEHAVIOR_USEFUNCTION);
    chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORPRIORITY_OLD);
    chunk->WriteInt(-2);
    chunk->CloseChunk();
    CKBehavior* oldest = NewBehavior("Oldest");
    EXPECT_EQ(oldest->Load(chunk, file), 0);
    CKDeleteStateChunk(chunk);
    m_Context->DeleteCKFile(file);
    EXPECT_EQ(oldest->GetType(), 0);
    EXPECT_EQ(oldest->GetPrototypeGuid(), PrototypeGuid(3));
    EXPECT_EQ(oldest->GetPriority(), -2);
    EXPECT_EQ(oldest->GetCompatibleClassID(), CKCID_BEOBJECT);
}

namespace {

constexpr CKGUID kComponentGuid(0xC0C0, 0xB10C);
constexpr CKGUID kUpgradedGuid(0xC0C1, 0xB10C);

void ListVersions(XArray<CKObjectDeclaration*>& list)
{
    // The same block twice (the newer upgrades the first), and a namesake
    // of another name that is dropped.
    const struct
    {
        const char* name;
        CKDWORD version;
        const char* category;
    } entries[] = {{"Spin", 1, "Old"}, {"Spin", 2, "New"}, {"Turn", 3, "Other"}};
    for (const auto& e : entries) {
        auto* d = CKCreateObjectDeclaration(e.name);
        d->SetGuid(kUpgradedGuid);
        d->SetVersion(e.version);
        d->SetCategory(e.category);
        d->SetCreationFunction(MakePrototype<0>);
        list.PushBack(d);
    }
}

} // namespace

TEST_F(BehaviorTest, AComponentsBlocksAreDeclaredOnceAndFilesThatUseThemNameThem)
{
    CKPluginInfo info(kComponentGuid, nullptr, "Blocks", "", "", 1, nullptr, nullptr, CKPLUGIN_BEHAVIOR_DLL);
    CKGetPluginManager()->RegisterPlugin(0, &info, ListVersions, nullptr);
    CKGetPluginManager()->AddStaticDll("blocks", 1);
    CKObjectDeclaration* d = CKGetObjectDeclarationFromGuid(kUpgradedGuid);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->GetCategory(), "New");
    EXPECT_EQ(d->GetVersion(), 2u);

    CKBehavior* b = NewBehavior("Spin");
    ASSERT_EQ(b->InitFromGuid(kUpgradedGuid), 0);
    TestTempDir dir;
    CKFile* file = m_Context->CreateCKFile();
    ASSERT_EQ(file->StartSave(dir.File("blocks.qdx").c_str()), 0);
    file->SaveObject(b, 0xFFFFFFFF);
    ASSERT_EQ(file->EndSave(), 0);
    std::vector<CKGUID> listed;
    for (const CKFilePluginDependency& dep : file->m_PluginsDep)
        if (dep.m_PluginCategory == CKPLUGIN_BEHAVIOR_DLL)
            for (CKGUID g : dep.m_Guids)
                listed.push_back(g);
    m_Context->DeleteCKFile(file);
    EXPECT_EQ(listed, (std::vector<CKGUID>{kComponentGuid, kUpgradedGuid}));
}

TEST_F(BehaviorTest, ALoadedGraphRefusesItsAncestorsAndObjectsOfOtherClasses)
{
    CKBehavior* top = NewBehavior("Top");
    top->UseGraph();
    CKBehavior* middle = NewBehavior("Middle");
    middle->UseGraph();
    ASSERT_EQ(top->AddSubBehavior(middle), 0);
    CKBehavior* free = NewBehavior("Free");
    CKObject* stranger = m_Context->CreateObject(CKCID_BEOBJECT, "Stranger");

    CKStateChunk* chunk = CKCreateStateChunk(CKCID_BEHAVIOR);
    chunk->StartWrite();
    chunk->SetDataVersion(5);
    chunk->WriteIdentifier(CK_STATESAVE_BEHAVIORNEWDATA);
    chunk->WriteDword(0);
    chunk->WriteDword(0x100 | 0x80000); // sub-behaviours and links
    XObjectPointerArray subs;
    for (CKObject* o : {(CKObject*) top, (CKObject*) middle, stranger, (CKObject*) free})
        subs.PushBack(o);
    subs.Save(chunk);
    XObjectPointerArray links;
    links.PushBack(free);
    links.Save(chunk);
    chunk->CloseChunk();
    CKFile* file = m_Context->CreateCKFile();
    EXPECT_EQ(middle->Load(chunk, file), 0);
    m_Context->DeleteCKFile(file);
    CKDeleteStateChunk(chunk);
    ASSERT_EQ(middle->GetSubBehaviorCount(), 1) << "itself, its parent and a non-behaviour are dropped";
    EXPECT_EQ(middle->GetSubBehavior(0), free);
    EXPECT_EQ(free->GetParent(), middle);
    EXPECT_EQ(middle->GetSubBehaviorLinkCount(), 0);
}

TEST_F(BehaviorTest, AScriptMovedToAnotherObjectLeavesTheFirstOnesList)
{
    auto* first = static_cast<CKBeObject*>(m_Context->CreateObject(CKCID_BEOBJECT, "First"));
    auto* second = static_cast<CKBeObject*>(m_Context->CreateObject(CKCID_BEOBJECT, "Second"));
    CKBehavior* script = NewBehavior("Script");
    script->UseGraph();
    script->SetType(1);
    ASSERT_EQ(first->AddScript(script), 0);
    ASSERT_EQ(second->AddScript(script), 0);
    EXPECT_EQ(first->GetScriptCount(), 0);
    EXPECT_EQ(second->GetScriptCount(), 1);
    EXPECT_EQ(script->GetOwner(), second);
    m_Context->DestroyObject(script);
    EXPECT_EQ(second->GetScriptCount(), 0);
}

TEST_F(BehaviorTest, ActivatingAGraphsInputGivesItSomethingToProcess)
{
    CKBehavior* graph = NewBehavior("Graph");
    graph->UseGraph();
    graph->CreateInput("In");
    CKBehavior* block = NewBehavior("Block");
    block->UseFunction();
    block->CreateInput("In");
    block->CreateOutput("Out");
    const CKDWORD processing = CKBEHAVIOR_ACTIVATENEXTFRAME;
    graph->ModifyFlags(0, processing);
    block->ModifyFlags(0, processing);

    ASSERT_NE(graph->ActivateInput(0, FALSE), nullptr);
    EXPECT_EQ(graph->GetFlags() & processing, 0u) << "switching an input off asks for nothing";
    EXPECT_TRUE(block->ActivateInput(0)->IsActive());
    EXPECT_EQ(block->GetFlags() & processing, 0u) << "a building block has no graph to process";
    EXPECT_TRUE(graph->ActivateInput(0)->IsActive());
    EXPECT_EQ(graph->GetFlags() & processing, processing);
    EXPECT_FALSE(graph->ActivateInput(0, FALSE)->IsActive());
    EXPECT_EQ(graph->ActivateInput(1), nullptr);
    EXPECT_TRUE(block->ActivateOutput(0)->IsActive());
    EXPECT_EQ(block->ActivateOutput(3), nullptr);
}
