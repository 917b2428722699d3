#include <map>
#include <random>
#include <tuple>

#include "core/parameter/CKParameterGuids.h"
#include "tests/core/parameter/ParameterTestSupport.h"

namespace {

using OperationRegistry = ParameterFixture;

int g_Called = 0;
template <int N>
void Op(CKContext*, CKParameterOut*, CKParameterIn*, CKParameterIn*)
{
    g_Called = N;
}
const CK_PARAMETEROPERATION kOps[] = {Op<1>, Op<2>, Op<3>, Op<4>, Op<5>, Op<6>, Op<7>, Op<8>};

const CKGUID kAdd(0xADD, 1);

using Key = std::tuple<CKGUID, CKGUID, CKGUID>; // output, input 1, input 2

// The lookup written out plainly: the exact combination, then every parent
// retry in its order. The answer for each combination is kept in known.
CK_PARAMETEROPERATION Reference(CKParameterManager* pm, const std::map<Key, CK_PARAMETEROPERATION>& table,
                                std::map<Key, CK_PARAMETEROPERATION>& known, CKGUID out, CKGUID in1, CKGUID in2)
{
    auto it = table.find(Key{out, in1, in2});
    if (it != table.end())
        return it->second;
    auto seen = known.find(Key{out, in1, in2});
    if (seen != known.end())
        return seen->second;
    CKGUID po, p1, p2;
    bool ho = pm->GetParentGuid(out, po), h1 = pm->GetParentGuid(in1, p1), h2 = pm->GetParentGuid(in2, p2);
    std::vector<Key> tries;
    if (h1 && h2) {
        if (ho)
            tries.push_back({po, p1, p2});
        tries.push_back({out, p1, p2});
    }
    if (h1) {
        if (ho)
            tries.push_back({po, p1, in2});
        tries.push_back({out, p1, in2});
    }
    if (h2) {
        if (ho)
            tries.push_back({po, in1, p2});
        tries.push_back({out, in1, p2});
    }
    if (ho)
        tries.push_back({po, in1, in2});
    CK_PARAMETEROPERATION found = nullptr;
    for (const Key& k : tries)
        if (!found)
            found = Reference(pm, table, known, std::get<0>(k), std::get<1>(k), std::get<2>(k));
    known[Key{out, in1, in2}] = found;
    return found;
}

// The GUIDs of a node array, in order.
std::vector<CKGUID> Keys(int count, const CKOperationNode* nodes)
{
    std::vector<CKGUID> keys;
    for (int i = 0; i < count; ++i)
        keys.push_back(nodes[i].Guid);
    return keys;
}

} // namespace

TEST_F(OperationRegistry, OperationsAreRegisteredOnceAndRemovedOperationsAreForgotten)
{
    // The lookups themselves are compared with a model below.
    int code = m_Manager->RegisterOperationType(kAdd, "Add");
    ASSERT_GE(code, 0);
    EXPECT_EQ(m_Manager->RegisterOperationType(kAdd, "Again"), code);
    EXPECT_EQ(m_Manager->OperationGuidToCode(kAdd), code);
    ASSERT_NE(m_Manager->GetOperationDescription(kAdd), nullptr);
    EXPECT_STREQ(m_Manager->GetOperationDescription(kAdd)->Name, "Add");
    EXPECT_EQ(m_Manager->GetOperationDescription(CKGUID(0xADD, 2)), nullptr);
    EXPECT_EQ(m_Manager->RegisterOperationFunction(CKGUID(0xADD, 2), CKPGUID_INT, CKPGUID_INT, CKPGUID_INT, Op<2>), -4);
    EXPECT_EQ(m_Manager->RegisterOperationFunction(kAdd, CKPGUID_INT, CKPGUID_INT, CKPGUID_INT, nullptr), -1);
    EXPECT_EQ(m_Manager->RegisterOperationType(CKGUID(), "Null"), -1);
    ASSERT_EQ(m_Manager->RegisterOperationFunction(kAdd, CKPGUID_INT, CKPGUID_INT, CKPGUID_INT, Op<1>), 0);
    EXPECT_EQ(m_Manager->GetOperationFunction(kAdd, CKPGUID_INT, CKPGUID_INT, CKPGUID_INT), Op<1>);

    EXPECT_EQ(m_Manager->UnRegisterOperationType(code), 0);
    EXPECT_EQ(m_Manager->UnRegisterOperationType(code), -4);
    EXPECT_EQ(m_Manager->UnRegisterOperationType(-1), -4);
    EXPECT_EQ(m_Manager->UnRegisterOperationType(m_Manager->GetOperationsCount()), -4);
    EXPECT_EQ(m_Manager->OperationGuidToCode(kAdd), -1);
    EXPECT_EQ(m_Manager->GetOperationFunction(kAdd, CKPGUID_INT, CKPGUID_INT, CKPGUID_INT), nullptr);
    // The freed code is taken again.
    EXPECT_EQ(m_Manager->RegisterOperationType(CKGUID(0xADD, 9), "Other"), code);
    m_Manager->RemoveAllOperations();
    EXPECT_EQ(m_Manager->GetOperationsCount(), 0);
    EXPECT_EQ(m_Manager->OperationGuidToCode(CKGUID(0xADD, 9)), -1);
}

TEST_F(OperationRegistry, LookupsFollowTheParentRetriesInOrder)
{
    // Chains of several levels: Float <- Angle <- A1 <- A2, Float <- Percentage
    // <- P1, Integer <- Boolean <- B1, Quaternion <- Vector 4D.
    struct User
    {
        CKGUID guid, parent;
    } users[] = {{CKGUID(0xA1, 0), CKPGUID_ANGLE},
                 {CKGUID(0xA2, 0), CKGUID(0xA1, 0)},
                 {CKGUID(0xB1, 0), CKPGUID_BOOL},
                 {CKGUID(0xC1, 0), CKPGUID_PERCENTAGE}};
    for (const User& u : users) {
        CKParameterTypeDesc d;
        d.Guid = u.guid;
        d.Name = "User";
        d.ParentGuid = u.parent;
        ASSERT_EQ(m_Manager->RegisterParameterType(&d), 0);
    }
    std::vector<CKGUID> types = {CKPGUID_NONE,    CKPGUID_FLOAT,   CKPGUID_ANGLE,   CKPGUID_PERCENTAGE,
                                 CKPGUID_INT,     CKPGUID_BOOL,    CKPGUID_TIME,    CKPGUID_QUATERNION,
                                 CKPGUID_VECTOR4, CKGUID(0xA1, 0), CKGUID(0xA2, 0), CKGUID(0xB1, 0),
                                 CKGUID(0xC1, 0)};
    std::mt19937 rng(106);
    for (int round = 0; round < 20; ++round) {
        CKGUID op(0x0900 + round, 0);
        ASSERT_GE(m_Manager->RegisterOperationType(op, "Random"), 0);
        std::map<Key, CK_PARAMETEROPERATION> table;
        for (int k = (int) (rng() % 12); k > 0; --k) {
            Key key{types[rng() % types.size()], types[rng() % types.size()], types[rng() % types.size()]};
            CK_PARAMETEROPERATION f = kOps[rng() % 8];
            table[key] = f;
            ASSERT_EQ(m_Manager->RegisterOperationFunction(op, std::get<0>(key), std::get<1>(key), std::get<2>(key), f),
                      0);
        }
        std::map<Key, CK_PARAMETEROPERATION> known;
        for (CKGUID out : types)
            for (CKGUID a : types)
                for (CKGUID b : types)
                    ASSERT_EQ(m_Manager->GetOperationFunction(op, out, a, b),
                              Reference(m_Manager, table, known, out, a, b))
                        << round;
        // Every node array stays sorted.
        const CKOperationDesc* desc = m_Manager->GetOperationDescription(op);
        std::vector<CKGUID> first = Keys(desc->Count, desc->Nodes);
        EXPECT_TRUE(std::is_sorted(first.begin(), first.end()));
    }
}

TEST_F(OperationRegistry, RemovingATypePrunesItsNodesEverywhere)
{
    ASSERT_GE(m_Manager->RegisterOperationType(kAdd, "Add"), 0);
    m_Manager->RegisterOperationFunction(kAdd, CKPGUID_FLOAT, CKPGUID_FLOAT, CKPGUID_FLOAT, Op<1>);
    m_Manager->RegisterOperationFunction(kAdd, CKPGUID_INT, CKPGUID_INT, CKPGUID_FLOAT, Op<2>);
    m_Manager->RegisterOperationFunction(kAdd, CKPGUID_FLOAT, CKPGUID_INT, CKPGUID_INT, Op<3>);
    m_Manager->RegisterOperationFunction(kAdd, CKPGUID_INT, CKPGUID_INT, CKPGUID_INT, Op<4>);
    m_Manager->RegisterOperationFunction(kAdd, CKPGUID_INT, CKPGUID_VECTOR, CKPGUID_ANGLE, Op<5>);
    m_Manager->RegisterOperationFunction(kAdd, CKPGUID_INT, CKPGUID_VECTOR, CKPGUID_BOOL, Op<6>);

    ASSERT_EQ(m_Manager->UnRegisterParameterType(CKPGUID_FLOAT), 0); // Angle goes with it
    const CKOperationDesc* desc = m_Manager->GetOperationDescription(kAdd);
    ASSERT_NE(desc, nullptr);
    EXPECT_EQ(Keys(desc->Count, desc->Nodes), (std::vector<CKGUID>{CKPGUID_VECTOR, CKPGUID_INT}));
    const CKOperationNode& vector = desc->Nodes[0];
    EXPECT_EQ(Keys(vector.ChildCount, vector.Children), std::vector<CKGUID>{CKPGUID_BOOL});
    const CKOperationNode& integer = desc->Nodes[1];
    ASSERT_EQ(Keys(integer.ChildCount, integer.Children), std::vector<CKGUID>{CKPGUID_INT});
    EXPECT_EQ(Keys(integer.Children[0].ChildCount, integer.Children[0].Children), std::vector<CKGUID>{CKPGUID_INT});
    EXPECT_EQ(m_Manager->GetOperationFunction(kAdd, CKPGUID_INT, CKPGUID_INT, CKPGUID_INT), Op<4>);
    EXPECT_EQ(m_Manager->GetOperationFunction(kAdd, CKPGUID_FLOAT, CKPGUID_FLOAT, CKPGUID_FLOAT), nullptr);
}

TEST(OperationNodes, BisectionFindsEveryKeyOfEveryRangeAndNothingElse)
{
    // Sorted as unsigned words, first then second: high bits sort last.
    const CKGUID sorted[] = {CKGUID(0, 1),          CKGUID(1, 0),          CKGUID(1, 0x80000000),
                             CKGUID(5, 5),          CKGUID(0x7FFFFFFF, 9), CKGUID(0x80000000, 0),
                             CKGUID(0x80000000, 7), CKGUID(0xFFFFFFFF, 0), CKGUID(0xFFFFFFFF, 0xFFFFFFFF)};
    const CKGUID absent[] = {CKGUID(0, 0),          CKGUID(1, 1),          CKGUID(4, 0xFFFFFFFF),
                             CKGUID(0x80000000, 1), CKGUID(0xFFFFFFFF, 1), CKGUID(6, 0)};
    const int n = (int) std::size(sorted);
    CKOperationNode nodes[std::size(sorted)];
    for (int i = 0; i < n; ++i)
        nodes[i].Guid = sorted[i];
    for (int lo = 0; lo <= n; ++lo)
        for (int hi = lo - 1; hi < n; ++hi) {
            for (int i = 0; i < n; ++i)
                EXPECT_EQ(CKFindOperationNode(nodes, lo, hi, sorted[i]), i >= lo && i <= hi ? &nodes[i] : nullptr)
                    << lo << ".." << hi << " key " << i;
            for (const CKGUID& g : absent)
                EXPECT_EQ(CKFindOperationNode(nodes, lo, hi, g), nullptr) << lo << ".." << hi;
        }
    EXPECT_EQ(CKFindOperationNode(nullptr, 0, -1, sorted[0]), nullptr) << "an empty array";
}
