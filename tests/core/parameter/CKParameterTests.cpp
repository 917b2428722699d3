#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/behavior/CKBehavior.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKFunctions.h"
#include "core/object/CKBeObject.h"
#include "core/object/CKClassRegistry.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/parameter/CKParameterIn.h"
#include "core/parameter/CKParameterLocal.h"
#include "core/parameter/CKParameterOut.h"
#include "core/parameter/CKParameterVariable.h"
#include "tests/core/parameter/ParameterTestSupport.h"

namespace {

using Parameters = ParameterFixture;

// An object of the 3D object's class id, whose class is not part of the core.
class StandIn3dObject : public CKClass<StandIn3dObject, CKBeObject, CKCID_3DOBJECT>
{
public:
    explicit StandIn3dObject(CKContext* context) : CKClass(context) {}
    static void Register() { CKClassSetParameterGuid(m_ClassID, CKGUID(0x362E4DF8, 0x17443539)); }
    static const char* GetClassName() { return "Stand-in 3D Object"; }
};

class ParametersWithOwners : public ParameterFixture
{
protected:
    void RegisterClasses() override
    {
        CKClassRegisterT<StandIn3dObject, CKBeObject>("StandIn3dObject");
        CKBuildClassHierarchyTable();
    }
};

} // namespace

TEST_F(Parameters, AParameterWithoutTypeSaysSoEverywhere)
{
    auto* p = New<CKParameterOut>(CKPGUID_INT);
    auto* other = New<CKParameterOut>(CKPGUID_INT);
    p->SetType(-1);
    int word = 3;
    char text[8] = "x";
    EXPECT_EQ(p->GetType(), -1);
    EXPECT_EQ(p->GetGUID(), CKGUID());
    EXPECT_EQ(p->GetDataSize(), 0);
    EXPECT_EQ(p->GetValue(&word), CKErr::NotInitialized);
    EXPECT_EQ(p->GetValue(nullptr), CKErr::InvalidParameter);
    EXPECT_EQ(p->SetValue(&word, 4), CKErr::NotInitialized);
    EXPECT_EQ(p->GetReadDataPtr(), nullptr);
    EXPECT_EQ(p->GetStringValue(text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(p->SetStringValue("1"), CKErr::InvalidParameter);
    EXPECT_EQ(p->CopyValue(other), CKErr::InvalidParameterType);
    EXPECT_EQ(other->CopyValue(p), CKErr::InvalidParameterType);
    EXPECT_EQ(p->CopyValue(nullptr), CKErr::InvalidParameter);
    EXPECT_EQ(other->AddDestination(p, TRUE), CKErr::IncompatibleParameters);
    EXPECT_EQ(p->GetValueObject(), nullptr);
}

TEST_F(Parameters, RandomTypeChangesAgreeWithTheSteps)
{
    // Every type the context knows, and a user enumeration and structure.
    ASSERT_EQ(m_Manager->RegisterNewEnum(CKGUID(0x1E, 1), "Rand Enum", "A,B,C"), 0);
    ASSERT_EQ(m_Manager->RegisterNewStructure(CKGUID(0x1E, 2), "Rand Struct", "x,y", {CKPGUID_FLOAT, CKPGUID_STRING}),
              0);
    std::vector<int> types;
    for (int i = 0; i < m_Manager->GetParameterTypesCount(); ++i)
        if (m_Manager->IsParameterTypeValid(i))
            types.push_back(i);
    std::mt19937 rng(16);
    std::vector<CKParameter*> params = {New<CKParameterLocal>(), New<CKParameterOut>(), New<CKParameter>()};
    for (int step = 0; step < 4000; ++step) {
        CKParameter* p = params[rng() % params.size()];
        CKParameterTypeDesc* from = p->GetTypeDesc();
        ByteVector before = Bytes(p);
        int to = types[rng() % types.size()];
        CKParameterTypeDesc* next = m_Manager->GetParameterTypeDescriptionByIndex(to);
        p->SetType(to);
        ASSERT_EQ(p->GetTypeDesc(), next);
        if (from && !next->CreateDefault && !from->Destroy && !CKIsPointerParameterType(next) &&
            m_Manager->IsTypeCompatible(from->Index, to)) {
            bool keepsAll = from->ClassId
                                ? (from->ClassId == next->ClassId || CKIsChildClassOf(from->ClassId, next->ClassId))
                                : from->DefaultSize == next->DefaultSize;
            ByteVector after = Bytes(p);
            if (keepsAll) {
                EXPECT_EQ(after, before) << from->Name.CStr() << " -> " << next->Name.CStr();
            } else {
                ASSERT_EQ(p->GetDataSize(), next->DefaultSize);
                size_t shared = std::min(before.size(), after.size());
                EXPECT_TRUE(std::equal(after.begin(), after.begin() + (long) shared, before.begin()));
                EXPECT_TRUE(std::all_of(after.begin() + (long) shared, after.end(), [](CKBYTE b) { return b == 0; }));
            }
        } else if (!next->CreateDefault && !CKIsPointerParameterType(next)) {
            EXPECT_EQ(p->GetDataSize(), std::max(next->DefaultSize, 0));
            ByteVector after = Bytes(p);
            EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](CKBYTE b) { return b == 0; }));
        }
        // Random bytes into plain values, and copies between the parameters.
        if (!CKIsPointerParameterType(next) && !(next->Flags & CKPARAMETERTYPE_STRUCT) && p->GetDataSize() > 0) {
            ByteVector noise((size_t) std::max(p->GetDataSize(), 41));
            for (CKBYTE& b : noise)
                b = (CKBYTE) rng();
            int size = (next->Flags & CKPARAMETERTYPE_VARIABLESIZE) ? 1 + (int) (rng() % 40) : 0;
            p->SetValue(noise.data(), size);
        }
        p->CopyValue(params[rng() % params.size()], TRUE);
        Text(p);
    }
    for (CKParameter* p : params)
        m_Context->DestroyObject(p);
}

TEST_F(Parameters, OutputsPushChangesAndRefuseCyclesOfAnyLength)
{
    auto* a = New<CKParameterOut>(CKPGUID_FLOAT, "a");
    auto* b = New<CKParameterOut>(CKPGUID_FLOAT, "b");
    auto* c = New<CKParameterOut>(CKPGUID_ANGLE, "c");
    auto* local = New<CKParameterLocal>(CKPGUID_FLOAT, "local");
    auto* vector = New<CKParameterLocal>(CKPGUID_VECTOR, "vector");
    auto* myself = New<CKParameterLocal>(CKPGUID_INT, "myself");
    myself->SetAsMyselfParameter(TRUE);

    EXPECT_EQ(a->AddDestination(nullptr), CKErr::InvalidParameter);
    EXPECT_EQ(a->AddDestination(myself, FALSE), CKErr::IncompatibleParameters);
    EXPECT_EQ(a->AddDestination(vector, TRUE), CKErr::IncompatibleParameters);
    EXPECT_EQ(a->AddDestination(b), 0);
    EXPECT_EQ(a->AddDestination(b), CKErr::AlreadyPresent);
    EXPECT_EQ(b->AddDestination(c), 0);
    EXPECT_EQ(c->AddDestination(local), 0);
    EXPECT_EQ(c->AddDestination(a), CKErr::InvalidParameter); // a -> b -> c -> a
    EXPECT_EQ(b->AddDestination(a), CKErr::InvalidParameter);
    EXPECT_EQ(a->AddDestination(a), CKErr::InvalidParameter);
    EXPECT_EQ(a->GetDestinationCount(), 1);
    EXPECT_EQ(a->GetDestination(0), b);
    EXPECT_EQ(a->GetDestination(1), nullptr);

    float value = 0.75f;
    ASSERT_EQ(a->SetValue(&value), 0);
    for (CKParameter* p : std::vector<CKParameter*>{b, c, local})
        EXPECT_EQ(Bytes(p), BytesOf(value)) << p->GetName();

    // A destination that goes is dropped.
    m_Context->DestroyObject(c);
    EXPECT_EQ(b->GetDestinationCount(), 0);
    EXPECT_TRUE(a->IsObjectUsed(b, CKCID_PARAMETEROUT));
    EXPECT_FALSE(a->IsObjectUsed(b, CKCID_OBJECT));
}

TEST_F(ParametersWithOwners, MyselfLocalsHoldTheObjectTheirBehaviourIsAppliedTo)
{
    auto* object = static_cast<StandIn3dObject*>(m_Context->CreateObject(StandIn3dObject::m_ClassID, "Cube"));
    auto* behavior = static_cast<CKBehavior*>(m_Context->CreateObject(CKCID_BEHAVIOR, "Spin"));
    behavior->SetOwner(object, FALSE);
    auto* myself = New<CKParameterLocal>(CKPGUID_FLOAT, "self");
    myself->SetOwner(behavior);
    myself->SetAsMyselfParameter(TRUE);
    EXPECT_EQ(myself->GetGUID(), CKGUID(0x362E4DF8, 0x17443539)); // "3D Object"
    EXPECT_EQ(myself->GetValueObject(), object);
    int other = 5;
    EXPECT_EQ(myself->SetValue(&other), CKErr::InvalidParameter);
    EXPECT_EQ(myself->GetWriteDataPtr(), nullptr);
    EXPECT_EQ(myself->SetStringValue("Cube"), CKErr::InvalidParameter);

    // A behaviour without owner: the Behavioral Object type and no object.
    behavior->SetOwner(nullptr, FALSE);
    myself->SetOwner(behavior);
    EXPECT_EQ(myself->GetGUID(), CKGUID(0x71D80779, 0x402F42F3));
    EXPECT_EQ(Bytes(myself), BytesOf(0));

    // Owned directly by a behavioural object.
    auto* holder = static_cast<CKBeObject*>(m_Context->CreateObject(CKCID_BEOBJECT, "Holder"));
    myself->SetOwner(holder);
    EXPECT_EQ(myself->GetValueObject(), holder);
    myself->SetAsMyselfParameter(FALSE);
    EXPECT_EQ(myself->SetValue(&other), 0);
}

TEST_F(Parameters, InputsReadThroughSharedInputsAndARingHasNoSource)
{
    auto* source = New<CKParameterOut>(CKPGUID_INT, "source");
    int value = 42;
    source->SetValue(&value);
    auto* first = New<CKParameterIn>(CKGUID(), "first");
    auto* second = New<CKParameterIn>(CKGUID(), "second");
    auto* third = New<CKParameterIn>(CKGUID(), "third");
    int read = 0;
    EXPECT_EQ(first->GetValue(&read), CKErr::NotInitialized);
    EXPECT_EQ(first->GetReadDataPtr(), nullptr);
    first->SetDirectSource(source);
    second->ShareSourceWith(first);
    third->ShareSourceWith(second);
    EXPECT_EQ(third->GetRealSource(), source);
    EXPECT_EQ(third->GetValue(&read), 0);
    EXPECT_EQ(read, 42);
    EXPECT_EQ(third->GetSharedSource(), second);
    EXPECT_EQ(third->GetDirectSource(), nullptr);
    EXPECT_EQ(first->ShareSourceWith(first), CKErr::InvalidParameter);

    first->ShareSourceWith(third); // a ring
    EXPECT_EQ(third->GetRealSource(), nullptr);
    EXPECT_EQ(third->GetValue(&read), CKErr::NotInitialized);

    // An input forgets a source that goes.
    first->SetDirectSource(source);
    m_Context->DestroyObject(source);
    EXPECT_EQ(first->GetDirectSource(), nullptr);
}

namespace {

struct CountingWatcher : CKVariableManager::Watcher
{
    void PreRead(const char*) override { ++reads; }
    void PostWrite(const char*) override { ++writes; }
    int reads = 0;
    int writes = 0;
};

} // namespace

TEST_F(Parameters, VariableParametersReadAndWriteTheirVariable)
{
    CKVariableManager* vm = m_Context->GetVariableManager();
    int number = 0;
    float real = 0.0f;
    XString text;
    int locked = 9; // read-only: binding leaves it as it is
    int mode = 0;
    vm->BindInt("Test/Number", &number, 12, 0, "n");
    vm->BindFloat("Test/Real", &real, 1.5f, 0, "r");
    vm->BindString("Test/Text", &text, "hello", 0, "t");
    vm->BindInt("Test/Locked", &locked, 9, CKVariableManager::READONLY, "l");
    vm->BindIntWithRepresentation("Test/Mode", &mode, 0, 0, "enum:0=Off;1=On", "m");
    CountingWatcher watcher;
    vm->RegisterWatcher("Test/Number", &watcher);

    auto* p = New<CKParameterVariable>();
    EXPECT_EQ(p->BindToVariable("Test/Missing"), CKErr::NotFound);
    ASSERT_EQ(p->BindToVariable("Test/Number"), 0);
    EXPECT_STREQ(p->GetName(), "Test/Number");
    EXPECT_EQ(p->GetGUID(), CKPGUID_INT);
    EXPECT_EQ(Bytes(p), BytesOf(12));
    EXPECT_EQ(watcher.reads, 1);
    int seven = 7;
    p->SetValue(&seven);
    EXPECT_EQ(number, 7);
    EXPECT_EQ(p->SetStringValue("31"), 0);
    EXPECT_EQ(number, 31);
    EXPECT_EQ(watcher.writes, 2); // once per write, text included

    auto* r = New<CKParameterVariable>();
    ASSERT_EQ(r->BindToVariable("Test/Real"), 0);
    EXPECT_EQ(r->GetGUID(), CKPGUID_FLOAT);
    EXPECT_EQ(Text(r), "1.5");

    // A read-only variable is never written.
    auto* l = New<CKParameterVariable>();
    ASSERT_EQ(l->BindToVariable("Test/Locked"), 0);
    EXPECT_EQ(l->SetValue(&seven), 0);
    EXPECT_EQ(l->GetWriteDataPtr(), nullptr);
    EXPECT_EQ(locked, 9);

    // An enumeration variable gets an enumeration type of its items.
    auto* m = New<CKParameterVariable>();
    ASSERT_EQ(m->BindToVariable("Test/Mode"), 0);
    mode = 1;
    EXPECT_EQ(Text(m), "On");
    EXPECT_STREQ(m_Manager->TypeToName(m->GetType()), "Test/Mode");

    // The string: the size follows the text; a read copies no more than the
    // size the caller learned, even when the text grew since.
    auto* s = New<CKParameterVariable>();
    ASSERT_EQ(s->BindToVariable("Test/Text"), 0);
    EXPECT_EQ(s->GetGUID(), CKPGUID_STRING);
    ASSERT_EQ(s->GetDataSize(), 6);
    text = "a much longer text";
    std::vector<char> buffer(6 + 8, '#');
    ASSERT_EQ(s->GetValue(buffer.data()), 0);
    EXPECT_STREQ(buffer.data(), "a muc");
    EXPECT_EQ(buffer[6], '#');
    EXPECT_EQ(s->GetDataSize(), 19);
    s->SetValue("new", 4);
    EXPECT_STREQ(text.CStr(), "new");
    EXPECT_EQ(Text(s), "new");

    // Once the variable is unbound the parameter is a plain local again.
    vm->UnRegisterWatcher("Test/Number");
    vm->UnBind("Test/Number");
    EXPECT_EQ(p->GetBoundVariable(), nullptr);
    EXPECT_EQ(p->GetValue(&seven), CKErr::NotInitialized);
    for (const char* name : {"Test/Real", "Test/Text", "Test/Locked", "Test/Mode"})
        vm->UnBind(name);
}

TEST_F(Parameters, OlderChunkFormsLoadAsTheyWereMeant)
{
    CKObject* owner = m_Context->CreateObject(CKCID_BEOBJECT, "owner");
    auto* source = New<CKParameterOut>(CKPGUID_INT, "source");
    auto* other = New<CKParameterIn>(CKPGUID_INT, "other");

    // The old time type stored whole milliseconds; a shorter fixed-size
    // value gives what is there, then zeros.
    const float xy[2] = {4, 5}, xyz[3] = {4, 5, 0};
    const struct
    {
        CKGUID saved;
        ByteVector bytes;
        CKGUID type;
        ByteVector read;
    } values[] = {{CKPGUID_OLDTIME, BytesOf(5), CKPGUID_TIME, BytesOf(5.0f)},
                  {CKPGUID_VECTOR, BytesOf(xy), CKPGUID_VECTOR, BytesOf(xyz)}};
    for (const auto& v : values) {
        CKStateChunk* chunk = HandChunk(CKCID_PARAMETERLOCAL, 10, [&](CKStateChunk* c) {
            c->WriteIdentifier(CK_STATESAVE_PARAMETER_VALUE);
            c->WriteGuid(v.saved);
            c->WriteInt(CK_PARAMETERVALUE_BUFFER);
            c->WriteBuffer((int) v.bytes.size(), v.bytes.data());
        });
        auto* p = New<CKParameterLocal>();
        EXPECT_EQ(p->Load(chunk, nullptr), 0);
        EXPECT_EQ(p->GetGUID(), v.type);
        EXPECT_EQ(Bytes(p), v.read);
        CKDeleteStateChunk(chunk);
    }

    // Inputs: version 4 drops an id before the shared input; version 5
    // does not; the older identifier 1024 takes the third reference as the
    // source when the shared one is 0; version 0 has a section per field.
    auto input = [&](int version, auto fill) {
        CKStateChunk* c = HandChunk(CKCID_PARAMETERIN, version, fill);
        auto* in = New<CKParameterIn>();
        EXPECT_EQ(in->Load(c, nullptr), 0);
        CKDeleteStateChunk(c);
        return in;
    };
    CKParameterIn* v4 = input(4, [&](CKStateChunk* c) {
        c->WriteIdentifier(CK_STATESAVE_PARAMETERIN_SHARED);
        c->WriteGuid(CKPGUID_INT);
        c->WriteObjectID(owner->GetID());
        c->WriteObjectID(other->GetID());
    });
    EXPECT_EQ(v4->GetSharedSource(), other);
    EXPECT_EQ(v4->GetGUID(), CKPGUID_INT);
    CKParameterIn* v5 = input(5, [&](CKStateChunk* c) {
        c->WriteIdentifier(CK_STATESAVE_PARAMETERIN_SOURCE);
        c->WriteGuid(CKPGUID_OLDMESSAGE);
        c->WriteObjectID(source->GetID());
    });
    EXPECT_EQ(v5->GetDirectSource(), source);
    EXPECT_EQ(v5->GetGUID(), CKPGUID_MESSAGE);
    CKParameterIn* older = input(5, [&](CKStateChunk* c) {
        c->WriteIdentifier(CK_STATESAVE_PARAMETERIN_OLD);
        c->WriteGuid(CKPGUID_INT);
        c->WriteObjectID(owner->GetID());
        c->WriteObjectID(0);
        c->WriteObjectID(source->GetID());
    });
    EXPECT_EQ(older->GetOwner(), owner);
    EXPECT_EQ(older->GetDirectSource(), source);
    CKParameterIn* v0 = input(0, [&](CKStateChunk* c) {
        c->WriteIdentifier(CK_STATESAVE_PARAMETERIN_OLD);
        c->WriteGuid(CKPGUID_FLOAT);
        c->WriteIdentifier(CK_STATESAVE_PARAMETERIN_OWNER_OLD);
        c->WriteObjectID(owner->GetID());
        c->WriteIdentifier(CK_STATESAVE_PARAMETERIN_SHARED_OLD);
        c->WriteObjectID(other->GetID());
        c->WriteIdentifier(CK_STATESAVE_PARAMETERIN_SOURCE_OLD);
        c->WriteObjectID(source->GetID());
    });
    EXPECT_EQ(v0->GetGUID(), CKPGUID_FLOAT);
    EXPECT_EQ(v0->GetOwner(), owner);
    EXPECT_EQ(v0->GetSharedSource(), other);
}

TEST_F(Parameters, HostileValuesNeverBecomePointersOrStrayIds)
{
    auto load = [&](CKGUID type, int form, auto fill) {
        CKStateChunk* c = HandChunk(CKCID_PARAMETERLOCAL, 10, [&](CKStateChunk* chunk) {
            chunk->WriteIdentifier(CK_STATESAVE_PARAMETER_VALUE);
            chunk->WriteGuid(type);
            chunk->WriteInt(form);
            fill(chunk);
        });
        auto* p = New<CKParameterLocal>(CKGUID(), "loaded");
        CKERROR err = p->Load(c, nullptr);
        CKDeleteStateChunk(c);
        return std::make_pair(p, err);
    };
    // Words from a file for a collection, a curve or a structure are dropped:
    // their values are objects the parameter owns.
    auto [collection, e1] =
        load(CKPGUID_OBJECTARRAY, CK_PARAMETERVALUE_OBJECT, [](CKStateChunk* c) { c->WriteObjectID(0x41414141); });
    EXPECT_EQ(e1, 0);
    EXPECT_EQ(Text(collection), "0 Elements");
    auto [curve, e2] = load(CKPGUID_2DCURVE, CK_PARAMETERVALUE_BUFFER, [](CKStateChunk* c) {
        CKDWORD junk[2] = {0x41414141, 0x41414141};
        c->WriteBuffer(8, junk);
    });
    EXPECT_EQ(e2, 0);
    m_Context->DestroyObject(curve);

    // An unknown type: a console line, -2, no value.
    m_Console.clear();
    auto [unknown, e3] = load(CKGUID(0xBAD, 0xBAD), CK_PARAMETERVALUE_BUFFER, [](CKStateChunk*) {});
    EXPECT_EQ(e3, CKErr::InvalidParameterType);
    EXPECT_EQ(unknown->GetType(), -1);
    ASSERT_EQ(m_Console.size(), 1u);
    EXPECT_EQ(m_Console[0], "loaded : Unknown Parameter Type (Dll declaring this parameter is maybe absent)");
}

// A stored buffer becomes the value; a shorter one of a fixed-size type
// gives its bytes then zeros; an empty one is dropped and the value stays.
TEST_F(Parameters, AStoredBufferGivesTheValueAndAnEmptyOneLeavesIt)
{
    const CKBYTE bytes[4] = {0xAA, 0xBB, 0xCC, 0xDD};
    struct Case
    {
        CKGUID type;
        int count;
        std::string text; // the value after the load
    };
    const Case cases[] = {
        {CKPGUID_INT, 0, std::to_string(0x11223344)},
        {CKPGUID_INT, 2, std::to_string(0xBBAA)},
        {CKPGUID_INT, 4, std::to_string((int) 0xDDCCBBAA)},
        {CKPGUID_STRING, 0, "kept"},
        {CKPGUID_STRING, 3, "\xAA\xBB\xCC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " bytes");
        auto* p = New<CKParameterLocal>(c.type, "value");
        if (c.type == CKPGUID_INT) {
            const int start = 0x11223344;
            ASSERT_EQ(p->SetValue(&start, 4), CKErr::Ok);
        } else {
            ASSERT_EQ(p->SetStringValue("kept"), CKErr::Ok);
        }
        CKStateChunk* chunk = HandChunk(CKCID_PARAMETERLOCAL, 10, [&](CKStateChunk* k) {
            k->WriteIdentifier(CK_STATESAVE_PARAMETER_VALUE);
            k->WriteGuid(c.type);
            k->WriteInt(CK_PARAMETERVALUE_BUFFER);
            k->WriteBuffer(c.count, c.count ? bytes : nullptr);
        });
        EXPECT_EQ(p->Load(chunk, nullptr), CKErr::Ok);
        CKDeleteStateChunk(chunk);
        if (c.type == CKPGUID_INT) {
            EXPECT_EQ(Text(p), c.text);
        } else {
            const char* value = static_cast<const char*>(p->GetReadDataPtr());
            EXPECT_EQ(value ? std::string(value, strnlen(value, (size_t) p->GetDataSize())) : "", c.text);
        }
        m_Context->DestroyObject(p);
    }
}

TEST_F(Parameters, EveryCutOfASavedParameterLoadsWithoutHarm)
{
    ASSERT_EQ(m_Manager->RegisterNewStructure(CKGUID(0x5E, 1), "Cut Struct", "a,b", {CKPGUID_VECTOR, CKPGUID_STRING}),
              0);
    std::vector<CKObject*> sources = {
        New<CKParameterOut>(CKGUID(0x5E, 1), "s"), New<CKParameterLocal>(CKPGUID_OBJECTARRAY, "c"),
        New<CKParameterOut>(CKPGUID_2DCURVE, "k"), New<CKParameterLocal>(CKPGUID_DELETEDEPENDENCIES, "d")};
    for (CKObject* source : sources) {
        CKStateChunk* chunk = CKSaveObjectState(source);
        std::vector<CKBYTE> bytes((size_t) chunk->ConvertToBuffer(nullptr));
        chunk->ConvertToBuffer(bytes.data());
        CKDeleteStateChunk(chunk);
        for (size_t cut = 0; cut <= bytes.size(); ++cut) {
            CKStateChunk* part = CKCreateStateChunk(0);
            if (part->ConvertFromBuffer(bytes.data(), (int) cut)) {
                CKObject* target = m_Context->CreateObject(source->GetClassID());
                target->Load(part, nullptr);
                m_Context->DestroyObject(target);
            }
            CKDeleteStateChunk(part);
        }
    }
}

TEST_F(Parameters, PointerValuesAreReadAndWrittenWhole)
{
    auto* curve = New<CKParameterOut>(CKPGUID_2DCURVE, "curve");
    void* const owned = *static_cast<void**>(curve->GetReadDataPtr(FALSE));
    ASSERT_NE(owned, nullptr);
    EXPECT_EQ(curve->GetDataSize(), 4) << "the size files give it";
    void* read = nullptr;
    std::memset(&read, 0xAA, sizeof read);
    ASSERT_EQ(curve->GetValue(&read), 0);
    EXPECT_EQ(read, owned);

    // Through a behaviour's input, as building blocks read it.
    auto* behavior = static_cast<CKBehavior*>(m_Context->CreateObject(CKCID_BEHAVIOR, "reader"));
    CKParameterIn* in = behavior->CreateInputParameterByGuid("Curve", CKPGUID_2DCURVE);
    ASSERT_NE(in, nullptr);
    in->SetDirectSource(curve);
    std::memset(&read, 0xAA, sizeof read);
    ASSERT_EQ(behavior->GetInputParameterValue(0, &read), 0);
    EXPECT_EQ(read, owned);

    // An owned pointer is never replaced; a plain one is written whole.
    int somewhere = 0;
    void* other = &somewhere;
    EXPECT_EQ(curve->SetValue(&other), CKErr::InvalidParameter);
    EXPECT_EQ(*static_cast<void**>(curve->GetReadDataPtr(FALSE)), owned);
    auto* plain = New<CKParameterLocal>(CKPGUID_POINTER, "plain");
    ASSERT_EQ(plain->SetValue(&other), 0);
    EXPECT_EQ(*static_cast<void**>(plain->GetReadDataPtr(FALSE)), other);
    std::memset(&read, 0xAA, sizeof read);
    ASSERT_EQ(plain->GetValue(&read), 0);
    EXPECT_EQ(read, other);
}
