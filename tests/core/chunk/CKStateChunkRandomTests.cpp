#include "core/chunk/CKStateChunk.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/file/CKFile.h"
#include "tests/core/support/ChunkTestSupport.h"

// Random write programs: each is a list of identifier-marked sections of
// random values, sub-chunks nested inside. A program is written, turned into
// bytes, read into a fresh chunk, and every section is read back in a random
// order and compared with the program.

namespace {

enum OpKind
{
    OpInt,
    OpFloat,
    OpGuid,
    OpString,
    OpBuffer,
    OpBufferNoSize,
    OpObjectID,
    OpObjectSequence,
    OpSubChunk,
    OpSubChunkSequence,
    OpManagerInt,
    OpManagerSequence,
    OpVector,
    OpMatrix,
    OpKindCount
};

struct Program;

struct Op
{
    OpKind Kind;
    CKDWORD Word = 0;
    CKGUID Guid;
    bool Null = false;
    std::string Bytes; // string text (no zero) or buffer bytes
    std::vector<CK_ID> Ids;
    std::vector<int> Values;
    std::vector<std::shared_ptr<Program>> Subs; // null entries: null sub-chunks
    float Floats[16] = {};
};

struct Section
{
    CKDWORD Id;
    std::vector<Op> Ops;
};

struct Program
{
    CK_CLASSID ClassId = 0;
    int DataVersion = 0;
    std::vector<Section> Sections;
};

class Generator
{
public:
    explicit Generator(unsigned seed) : m_Rng(seed) {}

    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_Rng); }
    CKDWORD Word() { return (CKDWORD) m_Rng(); }
    bool Chance(int percent) { return Uniform(0, 99) < percent; }

    CK_ID Id()
    {
        // Small ids, 0 now and then; in bound chunks the ids name records.
        return Chance(15) ? 0 : (CK_ID) Uniform(1, m_Bound ? m_RecordCount : 5000);
    }

    std::shared_ptr<Program> MakeProgram(int depth)
    {
        auto p = std::make_shared<Program>();
        p->ClassId = Uniform(-1, 60);
        p->DataVersion = Uniform(0, 255);
        int sections = Uniform(0, depth == 0 ? 8 : 3);
        std::vector<CKDWORD> ids;
        while ((int) ids.size() < sections) {
            CKDWORD id = Chance(50) ? (CKDWORD) Uniform(1, 64) : Word();
            if (std::find(ids.begin(), ids.end(), id) == ids.end())
                ids.push_back(id);
        }
        for (CKDWORD id : ids) {
            Section s;
            s.Id = id;
            int ops = Uniform(0, 8);
            for (int i = 0; i < ops; ++i)
                s.Ops.push_back(MakeOp(depth));
            p->Sections.push_back(std::move(s));
        }
        return p;
    }

    bool m_Bound = false;
    int m_RecordCount = 1;

private:
    Op MakeOp(int depth)
    {
        Op op;
        op.Kind = (OpKind) Uniform(0, OpKindCount - 1);
        if ((op.Kind == OpSubChunk || op.Kind == OpSubChunkSequence) && depth >= 3)
            op.Kind = OpInt;
        switch (op.Kind) {
        case OpInt: op.Word = Word(); break;
        case OpFloat:
            op.Floats[0] = std::bit_cast<float>(Word() & 0x7F7FFFFF); // finite
            break;
        case OpGuid:
        case OpManagerInt:
            op.Guid = CKGUID(Word(), Word());
            op.Word = Word();
            break;
        case OpString:
            op.Null = Chance(15);
            for (int n = Uniform(0, 20); n > 0; --n)
                op.Bytes.push_back((char) Uniform(1, 255));
            break;
        case OpBuffer:
        case OpBufferNoSize:
            op.Null = op.Kind == OpBuffer && Chance(10);
            for (int n = Uniform(0, 40); n > 0; --n)
                op.Bytes.push_back((char) Uniform(0, 255));
            break;
        case OpObjectID: op.Ids.push_back(Id()); break;
        case OpObjectSequence:
            for (int n = Uniform(0, 6); n > 0; --n)
                op.Ids.push_back(Id());
            break;
        case OpSubChunk: op.Subs.push_back(Chance(15) ? nullptr : MakeProgram(depth + 1)); break;
        case OpSubChunkSequence:
            for (int n = Uniform(0, 3); n > 0; --n)
                op.Subs.push_back(Chance(15) ? nullptr : MakeProgram(depth + 1));
            break;
        case OpManagerSequence:
            op.Guid = CKGUID(Word(), Word());
            for (int n = Uniform(0, 5); n > 0; --n)
                op.Values.push_back((int) Word());
            break;
        case OpVector:
            for (int i = 0; i < 3; ++i)
                op.Floats[i] = (float) Uniform(-1000, 1000) / 8.0f;
            break;
        case OpMatrix:
            for (int i = 0; i < 16; ++i)
                op.Floats[i] = (float) Uniform(-1000, 1000) / 16.0f;
            break;
        case OpKindCount: break;
        }
        return op;
    }

    std::mt19937 m_Rng;
};

void WriteProgram(CKStateChunk* chunk, const Program& p);

CKStateChunk* BuildChunk(const Program& p, CKFile* file)
{
    CKStateChunk* chunk = CKCreateStateChunk(p.ClassId, file);
    WriteProgram(chunk, p);
    return chunk;
}

CKFile* g_File = nullptr;

void WriteOp(CKStateChunk* chunk, const Op& op)
{
    switch (op.Kind) {
    case OpInt: chunk->WriteDword(op.Word); break;
    case OpFloat: chunk->WriteFloat(op.Floats[0]); break;
    case OpGuid: chunk->WriteGuid(op.Guid); break;
    case OpString: chunk->WriteString(op.Null ? nullptr : op.Bytes.c_str()); break;
    case OpBuffer: chunk->WriteBuffer((int) op.Bytes.size(), op.Null ? nullptr : op.Bytes.data()); break;
    case OpBufferNoSize: chunk->WriteBufferNoSize((int) op.Bytes.size(), op.Bytes.data()); break;
    case OpObjectID: chunk->WriteObjectID(op.Ids[0]); break;
    case OpObjectSequence:
        chunk->StartObjectIDSequence((int) op.Ids.size());
        for (CK_ID id : op.Ids)
            chunk->WriteObjectIDSequenceItem(id);
        break;
    case OpSubChunk:
    case OpSubChunkSequence: {
        if (op.Kind == OpSubChunkSequence)
            chunk->StartSubChunkSequence((int) op.Subs.size());
        for (const auto& sub : op.Subs) {
            CKStateChunk* built = sub ? BuildChunk(*sub, nullptr) : nullptr;
            if (op.Kind == OpSubChunk)
                chunk->WriteSubChunk(built);
            else
                chunk->WriteSubChunkSequenceItem(built);
            CKDeleteStateChunk(built);
        }
        break;
    }
    case OpManagerInt: chunk->WriteManagerInt(op.Guid, (int) op.Word); break;
    case OpManagerSequence:
        chunk->StartManagerSequence(op.Guid, (int) op.Values.size());
        for (int v : op.Values)
            chunk->WriteInt(v);
        break;
    case OpVector: chunk->WriteVector(QxVector(op.Floats[0], op.Floats[1], op.Floats[2])); break;
    case OpMatrix: {
        QxMatrix m;
        for (int i = 0; i < 16; ++i)
            m[i / 4][i % 4] = op.Floats[i];
        chunk->WriteMatrix(m);
        break;
    }
    case OpKindCount: break;
    }
}

void WriteProgram(CKStateChunk* chunk, const Program& p)
{
    chunk->StartWrite();
    chunk->SetDataVersion((CKDWORD) p.DataVersion);
    for (const Section& s : p.Sections) {
        chunk->WriteIdentifier(s.Id);
        for (const Op& op : s.Ops)
            WriteOp(chunk, op);
    }
}

int OpWords(const Op& op);

int ProgramItemWords(const Program* p)
{
    if (!p)
        return 1;
    // Sub-chunk item: size word, seven header words, data and lists.
    int data = 0;
    int ids = 0, subs = 0, managers = 0;
    for (const Section& s : p->Sections) {
        data += 2;
        for (const Op& op : s.Ops) {
            data += OpWords(op);
            if (op.Kind == OpObjectID && op.Ids[0] != 0)
                ids += 1;
            if (op.Kind == OpObjectSequence && !op.Ids.empty())
                ids += 2;
            if (op.Kind == OpSubChunk && op.Subs[0])
                subs += 1;
            if (op.Kind == OpSubChunkSequence)
                subs += 2;
            if (op.Kind == OpManagerInt)
                managers += 1;
            if (op.Kind == OpManagerSequence)
                managers += 2;
        }
    }
    return 8 + data + ids + subs + managers;
}

int OpWords(const Op& op)
{
    switch (op.Kind) {
    case OpInt:
    case OpFloat:
    case OpObjectID: return 1;
    case OpGuid: return 2;
    case OpString: return op.Null ? 1 : 1 + ((int) op.Bytes.size() + 1 + 3) / 4;
    case OpBuffer: return op.Null || op.Bytes.empty() ? 1 : 1 + ((int) op.Bytes.size() + 3) / 4;
    case OpBufferNoSize: return ((int) op.Bytes.size() + 3) / 4;
    case OpObjectSequence: return 1 + (int) op.Ids.size();
    case OpSubChunk:
    case OpSubChunkSequence: {
        int words = op.Kind == OpSubChunkSequence ? 1 : 0;
        for (const auto& sub : op.Subs)
            words += ProgramItemWords(sub.get());
        return words;
    }
    case OpManagerInt: return 3;
    case OpManagerSequence: return 3 + (int) op.Values.size();
    case OpVector: return 3;
    case OpMatrix: return 16;
    case OpKindCount: break;
    }
    return 0;
}

// The id a reference reads back as.
CK_ID Expected(CK_ID id, bool bound)
{
    if (!bound)
        return id;
    if (id == 0)
        return 0;
    return g_File->GetCreatedObjectID(g_File->GetSavedObjectIndex(id));
}

void CheckProgram(CKStateChunk* chunk, const Program& p, std::mt19937& rng, bool bound);

void CheckOp(CKStateChunk* chunk, const Op& op, std::mt19937& rng, bool bound)
{
    switch (op.Kind) {
    case OpInt: ASSERT_EQ(chunk->ReadDword(), op.Word); break;
    case OpFloat: ASSERT_EQ(std::bit_cast<CKDWORD>(chunk->ReadFloat()), std::bit_cast<CKDWORD>(op.Floats[0])); break;
    case OpGuid: ASSERT_EQ(chunk->ReadGuid(), op.Guid); break;
    case OpString: {
        XString s;
        int count = chunk->ReadStringInto(s);
        ASSERT_EQ(count, op.Null ? 0 : (int) op.Bytes.size() + 1);
        ASSERT_EQ(std::string(s.CStr()), op.Null ? std::string() : op.Bytes);
        break;
    }
    case OpBuffer: {
        void* block = nullptr;
        int count = chunk->ReadBuffer(&block);
        ASSERT_EQ(count, op.Null ? 0 : (int) op.Bytes.size());
        ASSERT_EQ(block == nullptr, count == 0);
        if (block) {
            EXPECT_EQ(std::memcmp(block, op.Bytes.data(), op.Bytes.size()), 0);
        }
        delete[] static_cast<CKBYTE*>(block);
        break;
    }
    case OpBufferNoSize: {
        std::string bytes(op.Bytes.size(), '\0');
        chunk->ReadBufferNoSize((int) bytes.size(), bytes.data());
        ASSERT_EQ(bytes, op.Bytes);
        break;
    }
    case OpObjectID: ASSERT_EQ(chunk->ReadObjectID(), Expected(op.Ids[0], bound)); break;
    case OpObjectSequence: {
        XObjectArray ids = chunk->ReadXObjectArray();
        ASSERT_EQ(ids.Size(), (int) op.Ids.size());
        for (int i = 0; i < ids.Size(); ++i)
            ASSERT_EQ(ids[i], Expected(op.Ids[i], bound));
        break;
    }
    case OpSubChunk:
    case OpSubChunkSequence: {
        if (op.Kind == OpSubChunkSequence) {
            ASSERT_EQ(chunk->ReadInt(), (int) op.Subs.size());
        }
        for (const auto& sub : op.Subs) {
            std::unique_ptr<CKStateChunk, void (*)(CKStateChunk*)> read(chunk->ReadSubChunk(), CKDeleteStateChunk);
            if (!sub) {
                ASSERT_EQ(read, nullptr);
                continue;
            }
            ASSERT_NE(read, nullptr);
            ASSERT_EQ(read->GetChunkClassID(), sub->ClassId);
            ASSERT_EQ(read->GetDataVersion(), sub->DataVersion);
            CheckProgram(read.get(), *sub, rng, false);
            if (::testing::Test::HasFatalFailure())
                return;
        }
        break;
    }
    case OpManagerInt:
        ASSERT_EQ(chunk->ReadGuid(), op.Guid);
        ASSERT_EQ(chunk->ReadDword(), op.Word);
        break;
    case OpManagerSequence: {
        CKGUID guid;
        ASSERT_EQ(chunk->ReadManagerIntSequenceStart(&guid), (int) op.Values.size());
        ASSERT_EQ(guid, op.Guid);
        for (int v : op.Values)
            ASSERT_EQ(chunk->ReadInt(), v);
        break;
    }
    case OpVector: {
        QxVector v;
        chunk->ReadVector(v);
        ASSERT_EQ(v.x, op.Floats[0]);
        ASSERT_EQ(v.y, op.Floats[1]);
        ASSERT_EQ(v.z, op.Floats[2]);
        break;
    }
    case OpMatrix: {
        QxMatrix m;
        chunk->ReadMatrix(m);
        for (int i = 0; i < 16; ++i)
            ASSERT_EQ(m[i / 4][i % 4], op.Floats[i]);
        break;
    }
    case OpKindCount: break;
    }
}

void CheckProgram(CKStateChunk* chunk, const Program& p, std::mt19937& rng, bool bound)
{
    std::vector<size_t> order(p.Sections.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), rng);
    chunk->StartRead();
    for (size_t k : order) {
        const Section& s = p.Sections[k];
        int words = 0;
        for (const Op& op : s.Ops)
            words += OpWords(op);
        if (rng() & 1) {
            ASSERT_TRUE(chunk->SeekIdentifier(s.Id)) << "section " << s.Id;
        } else {
            ASSERT_EQ(chunk->SeekIdentifierAndReturnSize(s.Id), words * 4) << "section " << s.Id;
        }
        int start = chunk->GetCurrentPos();
        for (const Op& op : s.Ops) {
            CheckOp(chunk, op, rng, bound);
            if (::testing::Test::HasFatalFailure())
                return;
        }
        ASSERT_EQ(chunk->GetCurrentPos() - start, words);
    }
    ASSERT_EQ(chunk->GetReadError(), 0);
}

} // namespace

TEST(CKStateChunkRandom, ProgramsReadBackEqualThroughBytesFreeOrBoundToAFile)
{
    CKFile file(nullptr);
    for (CK_ID id = 1; id <= 40; ++id) {
        file.AddObjectRecord(id * 3, 1); // saved objects have ids 3, 6, ... 120
        file.m_FileObjects[(int) id - 1].m_CreatedObject = 1000 + id;
    }
    g_File = &file;
    for (bool bound : {false, true}) {
        Generator gen(bound ? 999 : 12345);
        gen.m_Bound = bound;
        gen.m_RecordCount = 130; // some ids are not among the saved objects
        std::mt19937 order(bound ? 5 : 777);
        for (int iteration = 0; iteration < (bound ? 500 : 2000); ++iteration) {
            auto program = gen.MakeProgram(0);
            ChunkPtr chunk(BuildChunk(*program, bound ? &file : nullptr));
            std::vector<CKBYTE> bytes = Serialised(chunk.get());
            ChunkPtr back = NewChunk(0, bound ? &file : nullptr);
            ASSERT_TRUE(back->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
            CheckProgram(back.get(), *program, order, bound);
            ASSERT_FALSE(HasFatalFailure()) << "iteration " << iteration;
            // Reading again from the start gives the same values.
            CheckProgram(back.get(), *program, order, bound);
            ASSERT_EQ(Serialised(back.get()), bytes);
        }
    }
    g_File = nullptr;
}

TEST(CKStateChunkRandom, CloneOfAnOpenWriterOrReaderGivesTheSameBytes)
{
    Generator gen(4242);
    std::mt19937 order(9);
    for (int iteration = 0; iteration < 300; ++iteration) {
        auto program = gen.MakeProgram(0);
        // Split the program: write the first part, clone, write the rest into both.
        Program head = *program, tail = *program;
        size_t cut = program->Sections.size() / 2;
        head.Sections.resize(cut);
        tail.Sections.erase(tail.Sections.begin(), tail.Sections.begin() + (long) cut);

        ChunkPtr chunk = NewChunk(program->ClassId);
        WriteProgram(chunk.get(), head);
        ChunkPtr clone(CKCopyStateChunk(chunk.get()));
        for (CKStateChunk* c : {chunk.get(), clone.get()})
            for (const Section& s : tail.Sections) {
                c->WriteIdentifier(s.Id);
                for (const Op& op : s.Ops)
                    WriteOp(c, op);
            }
        std::vector<CKBYTE> bytes = Serialised(chunk.get());
        ASSERT_EQ(Serialised(clone.get()), bytes);

        // A clone of a chunk being read carries on from the same place.
        ChunkPtr reader = NewChunk(0);
        ASSERT_TRUE(reader->ConvertFromBuffer(bytes.data(), (int) bytes.size()));
        if (!program->Sections.empty()) {
            const Section& s = program->Sections.back();
            ASSERT_TRUE(reader->SeekIdentifier(s.Id));
            ChunkPtr readerClone(CKCopyStateChunk(reader.get()));
            for (const Op& op : s.Ops) {
                CheckOp(readerClone.get(), op, order, false);
                ASSERT_FALSE(HasFatalFailure());
            }
            ASSERT_EQ(Serialised(readerClone.get()), bytes);
        }
    }
}
