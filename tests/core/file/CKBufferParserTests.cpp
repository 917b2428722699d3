#include "core/file/CKBufferParser.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <zlib.h>

#include <gtest/gtest.h>

#include "core/chunk/CKStateChunk.h"
#include "core/file/CKCompressedFileBufferParser.h"
#include "core/file/CKCompressedMemoryBufferParser.h"
#include "core/file/CKFileBufferParser.h"
#include "core/file/CKMemoryBufferParser.h"
#include "core/file/CKMemoryBufferWriter.h"
#include "core/file/CKStreamWriter.h"
#include "includes/CKByteOrder.h"
#include "platform/PlatformPaths.h"
#include "system/io/QxFile.h"
#include "system/memory/QxMemoryManager.h"
#include "tests/core/support/ChunkTestSupport.h"
#include "tests/core/support/FileTestSupport.h"
#include "tests/support/TestPaths.h"

namespace {

using Bytes = std::vector<CKBYTE>;

// Bytes that deflate well but not trivially: a slow walk with noise.
Bytes Pattern(size_t size, CKDWORD seed = 1)
{
    Bytes bytes(size);
    CKDWORD s = seed;
    for (size_t i = 0; i < size; ++i) {
        s = s * 214013 + 2531011;
        bytes[i] = (CKBYTE) ((i / 7) + ((s >> 16) & 3));
    }
    return bytes;
}

Bytes Noise(size_t size, CKDWORD seed = 7)
{
    Bytes bytes(size);
    CKDWORD s = seed;
    for (size_t i = 0; i < size; ++i) {
        s = s * 1103515245 + 12345;
        bytes[i] = (CKBYTE) (s >> 23);
    }
    return bytes;
}

Bytes Deflate(const Bytes& source, int level = 6)
{
    uLongf size = compressBound(source.size());
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, source.data(), source.size(), level), Z_OK);
    out.resize(size);
    return out;
}

CKDWORD Adler0(const Bytes& bytes)
{
    return (CKDWORD) adler32(0, bytes.data(), (uInt) bytes.size());
}

// Collects what a parser hands to a stream writer.
class CollectingWriter : public CKStreamWriter
{
public:
    CKBOOL Open(const char*) override { return TRUE; }
    CKDWORD Write(const void* buffer, CKDWORD size) override
    {
        const CKBYTE* b = static_cast<const CKBYTE*>(buffer);
        m_Bytes.insert(m_Bytes.end(), b, b + size);
        ++m_Calls;
        return size;
    }
    CKBOOL Close() override { return TRUE; }
    CKBOOL CheckAppendable(const char*) override { return TRUE; }

    Bytes m_Bytes;
    int m_Calls = 0;
};

// Everything a writer holds, through its stream output.
Bytes Contents(CKMemoryBufferParser* parser)
{
    CollectingWriter out;
    EXPECT_TRUE(parser->WriteToStream(&out));
    return out.m_Bytes;
}

ChunkPtr SampleChunk(int words, CK_CLASSID cid = 5)
{
    ChunkPtr chunk(CKCreateStateChunk(cid, nullptr));
    chunk->StartWrite();
    chunk->SetDataVersion(3);
    chunk->WriteIdentifier(0x10);
    for (int i = 0; i < words; ++i)
        chunk->WriteInt(i * 3 + 1);
    chunk->WriteObjectID(77);
    chunk->CloseChunk();
    return chunk;
}

} // namespace

TEST(CKMemoryBufferParser, ReadsAndWritesWithinItsSizeOnly)
{
    CKMemoryBufferParser parser(12);
    ASSERT_TRUE(parser.IsValid());
    CKBYTE word[4];
    StoreLE32(word, 0x12345678);
    EXPECT_TRUE(parser.Write(word, 4));
    EXPECT_TRUE(parser.Write("abcdefgh", 8));
    EXPECT_FALSE(parser.Write("x", 1)) << "a write past the end fails";
    EXPECT_TRUE(parser.HasFailed());

    CKMemoryBufferParser reader(12, parser.GetBuffer());
    EXPECT_EQ(reader.ReadInt(), 0x12345678);
    char text[9] = {};
    EXPECT_TRUE(reader.Read(text, 8));
    EXPECT_STREQ(text, "abcdefgh");
    EXPECT_FALSE(reader.HasFailed());
    CKBYTE more[4] = {1, 2, 3, 4};
    EXPECT_FALSE(reader.Read(more, 4)) << "a read past the end fails";
    EXPECT_EQ(LoadLE32(more), 0u) << "and delivers zeros";
    EXPECT_TRUE(reader.HasFailed());
}

TEST(CKMemoryBufferParser, PagesHandedBackBehindTheCursorAreItsOwnOnly)
{
    // Reading a large mapped file hands back the pages already read; the
    // memory in front of the buffer belongs to someone else.
    const int piece = CK_BUFFERPARSER_PIECE;
    std::vector<char> block((size_t) piece * 5, 'x');
    CKMemoryBufferParser parser(piece * 3, block.data() + (size_t) piece * 2);
    parser.SetReleaseReadPages(TRUE);
    std::vector<char> got((size_t) piece);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(parser.Read(got.data(), piece)) << i;
        EXPECT_EQ(std::count(got.begin(), got.end(), 'x'), piece) << i;
    }
    EXPECT_EQ(std::count(block.begin(), block.begin() + (size_t) piece * 2, 'x'), piece * 2);
}

TEST(CKMemoryBufferParser, ReadStringGivesNullForLengthsBelowOneAndMovesFourBytes)
{
    CKBYTE bytes[16] = {};
    StoreLE32(bytes, 0);
    StoreLE32(bytes + 4, (CKDWORD) -5);
    StoreLE32(bytes + 8, 3);
    std::memcpy(bytes + 12, "abc", 3);
    CKMemoryBufferParser parser(16, bytes);
    EXPECT_EQ(parser.ReadString(), nullptr);
    EXPECT_EQ(parser.CursorPosition(), 4);
    EXPECT_EQ(parser.ReadString(), nullptr);
    EXPECT_EQ(parser.CursorPosition(), 8);
    char* text = parser.ReadString();
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "abc");
    QxGetMemoryManager()->Free(text);
    EXPECT_FALSE(parser.HasFailed());

    CKBYTE lying[8] = {};
    StoreLE32(lying, 1000);
    CKMemoryBufferParser liar(8, lying);
    EXPECT_EQ(liar.ReadString(), nullptr) << "a length past the end gives nothing";
    EXPECT_TRUE(liar.HasFailed());
}

TEST(CKMemoryBufferParser, ChunksGoInAfterTheirSizeAndComeBackWhole)
{
    ChunkPtr chunk = SampleChunk(5);
    Bytes bytes = Serialised(chunk.get());
    CKMemoryBufferParser parser((int) bytes.size() + 8);
    EXPECT_EQ(parser.InsertChunk(chunk.get()), (int) bytes.size());
    EXPECT_EQ(parser.InsertChunk(nullptr), 0);
    EXPECT_EQ(parser.CursorPosition(), (int) bytes.size() + 8);
    const CKBYTE* out = reinterpret_cast<const CKBYTE*>(parser.GetBuffer());
    EXPECT_EQ(LoadLE32(out), bytes.size());
    EXPECT_EQ(Bytes(out + 4, out + 4 + bytes.size()), bytes);
    EXPECT_EQ(LoadLE32(out + 4 + bytes.size()), 0u);

    // A chunk of nothing does not move; refused bytes still advance.
    parser.Seek(4);
    EXPECT_EQ(parser.ExtractChunk(0, nullptr), nullptr);
    EXPECT_EQ(parser.CursorPosition(), 4);
    ChunkPtr back(parser.ExtractChunk((int) bytes.size(), nullptr));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(parser.CursorPosition(), (int) bytes.size() + 4);
    EXPECT_EQ(Serialised(back.get()), bytes);
    Bytes junk = {1, 2, 3};
    CKMemoryBufferParser refused(3, junk.data());
    EXPECT_EQ(refused.ExtractChunk(3, nullptr), nullptr);
    EXPECT_EQ(refused.CursorPosition(), 3);
}

TEST(CKMemoryBufferParser, ComputeCRCIsZlibsAdlerContinuedFromTheGivenValueAndExtractFileWritesAll)
{
    // Past one 8 MB piece, so that the sum goes on from piece to piece.
    Bytes bytes = Pattern(CK_BUFFERPARSER_PIECE + 1000);
    CKMemoryBufferParser parser((int) bytes.size(), bytes.data());
    CKDWORD first = parser.ComputeCRC(400, 0);
    CKDWORD all = parser.ComputeCRC((int) bytes.size() - 400, first);
    EXPECT_EQ(first, (CKDWORD) adler32(0, bytes.data(), 400));
    EXPECT_EQ(all, Adler0(bytes));
    EXPECT_NE(first, (CKDWORD) adler32(1, bytes.data(), 400)) << "started from 0, not from zlib's 1";
    EXPECT_EQ(parser.CursorPosition(), (int) bytes.size());
    TestTempDir dir;
    parser.Seek(0);
    EXPECT_TRUE(parser.ExtractFile(dir.File("all.bin").c_str(), (int) bytes.size()));
    EXPECT_EQ(ReadWholeFile(dir.File("all.bin")) == bytes, true);
}

TEST(CKMemoryBufferParser, ExtractCopiesWithoutMovingTheSource)
{
    Bytes bytes = Pattern(64);
    CKMemoryBufferParser parser(64, bytes.data());
    parser.Seek(10);
    std::unique_ptr<CKMemoryBufferParser> copy(parser.Extract(20));
    ASSERT_NE(copy.get(), nullptr);
    EXPECT_EQ(parser.CursorPosition(), 10);
    EXPECT_EQ(copy->Size(), 20);
    EXPECT_EQ(copy->CursorPosition(), 20) << "its cursor stands after the copied bytes";
    EXPECT_EQ(std::memcmp(copy->GetBuffer(), bytes.data() + 10, 20), 0);
    EXPECT_EQ(parser.Extract(60), nullptr);
}

TEST(CKMemoryBufferParser, PackAndStreamingUnPackGiveTheBytesBack)
{
    Bytes bytes = Pattern(300000);
    CKMemoryBufferParser parser((int) bytes.size(), bytes.data());
    std::unique_ptr<CKBufferParser> packed(parser.Pack((int) bytes.size(), 9));
    ASSERT_NE(packed.get(), nullptr);
    EXPECT_EQ(parser.CursorPosition(), 0) << "packing leaves the source cursor";
    EXPECT_LT(packed->Size(), (int) bytes.size());
    EXPECT_EQ(Bytes((CKBYTE*) static_cast<CKMemoryBufferParser*>(packed.get())->GetBuffer(),
                    (CKBYTE*) static_cast<CKMemoryBufferParser*>(packed.get())->GetBuffer() + packed->Size()),
              Deflate(bytes, 9))
        << "the same bytes as zlib's compress2 at that level";

    CKMemoryBufferParser source(packed->Size(), static_cast<CKMemoryBufferParser*>(packed.get())->GetBuffer());
    std::unique_ptr<CKBufferParser> unpacked(source.UnPack((int) bytes.size(), packed->Size()));
    ASSERT_NE(unpacked.get(), nullptr);
    EXPECT_EQ(source.CursorPosition(), packed->Size()) << "the memory parser moves past the packed bytes";
    EXPECT_TRUE(unpacked->IsValid());
    EXPECT_EQ(unpacked->Size(), (int) bytes.size());
    Bytes back(bytes.size());
    // Small reads come from the window, large ones inflate straight through.
    EXPECT_TRUE(unpacked->Read(back.data(), 10));
    EXPECT_TRUE(unpacked->Read(back.data() + 10, 200000));
    EXPECT_TRUE(unpacked->Read(back.data() + 200010, 99990));
    EXPECT_EQ(back, bytes);
    EXPECT_EQ(unpacked->CursorPosition(), (int) bytes.size());
    EXPECT_FALSE(unpacked->Read(back.data(), 1)) << "nothing past the unpacked size";

    EXPECT_EQ(parser.Pack(0, 4), nullptr);
    EXPECT_EQ(source.UnPack(10, 0), nullptr);
}

TEST(CKInflatingParsers, SeekRestartsAndSkipsAndChecksumsFollowTheInflatedBytes)
{
    Bytes bytes = Pattern(200000, 3);
    Bytes packed = Deflate(bytes);
    CKCompressedMemoryBufferParser parser(packed.data(), (int) packed.size(), (int) bytes.size());
    parser.Seek(150000);
    EXPECT_EQ(parser.CursorPosition(), 150000);
    CKBYTE b[4];
    ASSERT_TRUE(parser.Read(b, 4));
    EXPECT_EQ(std::memcmp(b, bytes.data() + 150000, 4), 0);
    parser.Seek(7);
    ASSERT_TRUE(parser.Read(b, 4));
    EXPECT_EQ(std::memcmp(b, bytes.data() + 7, 4), 0);
    parser.Skip(100000 - 11);
    EXPECT_EQ(parser.ComputeCRC(100000, 0), (CKDWORD) adler32(0, bytes.data() + 100000, 100000));
    EXPECT_EQ(parser.InsertChunk(nullptr), 0);
    EXPECT_FALSE(parser.Write(b, 4));
    EXPECT_EQ(parser.Pack(10, 4), nullptr);
}

TEST(CKInflatingParsers, ShortOrBrokenStreamsFailTheReadThatRunsShort)
{
    Bytes bytes = Pattern(100000, 5);
    Bytes packed = Deflate(bytes);
    Bytes back(bytes.size());

    // The packed stream cut in half.
    CKCompressedMemoryBufferParser cut(packed.data(), (int) packed.size() / 2, (int) bytes.size());
    EXPECT_FALSE(cut.Read(back.data(), (int) bytes.size()));
    EXPECT_TRUE(cut.HasFailed());

    // A stream claiming more than it yields.
    CKCompressedMemoryBufferParser lying(packed.data(), (int) packed.size(), (int) bytes.size() + 10);
    EXPECT_TRUE(lying.Read(back.data(), (int) bytes.size()));
    EXPECT_EQ(back, bytes);
    CKBYTE more[10];
    EXPECT_FALSE(lying.Read(more, 10));
    // A stream yielding more than it claims gives no byte past its claim.
    CKCompressedMemoryBufferParser shorter(packed.data(), (int) packed.size(), (int) bytes.size() - 10);
    EXPECT_TRUE(shorter.Read(back.data(), (int) bytes.size() - 10));
    EXPECT_FALSE(shorter.Read(more, 1));

    // Corrupt bytes in the middle.
    Bytes broken = packed;
    for (size_t i = broken.size() / 3; i < broken.size() / 3 + 40; ++i)
        broken[i] ^= 0x5A;
    CKCompressedMemoryBufferParser corrupt(broken.data(), (int) broken.size(), (int) bytes.size());
    bool same = corrupt.Read(back.data(), (int) bytes.size()) && back == bytes;
    EXPECT_FALSE(same);

    // Plain bytes are no zlib stream at all.
    CKCompressedMemoryBufferParser plain(bytes.data(), 1000, 1000);
    EXPECT_FALSE(plain.Read(back.data(), 1000));

    // A stream claiming a huge size allocates only what it yields.
    CKCompressedMemoryBufferParser huge(packed.data(), (int) packed.size(), 0x7FFFFFF0);
    EXPECT_EQ(huge.ExtractChunk(0x7FFFFF00, nullptr), nullptr);
    EXPECT_TRUE(huge.HasFailed());
}

TEST(CKInflatingParsers, ExtractAndExtractFileDeliverTheInflatedBytes)
{
    TestTempDir dir;
    Bytes bytes = Pattern(90000, 9);
    Bytes packed = Deflate(bytes);
    CKCompressedMemoryBufferParser parser(packed.data(), (int) packed.size(), (int) bytes.size());
    parser.Skip(1000);
    std::unique_ptr<CKMemoryBufferParser> copy(parser.Extract(2000));
    ASSERT_NE(copy.get(), nullptr);
    EXPECT_EQ(std::memcmp(copy->GetBuffer(), bytes.data() + 1000, 2000), 0);
    EXPECT_EQ(parser.CursorPosition(), 3000) << "the inflating parser moves";
    EXPECT_TRUE(parser.ExtractFile(dir.File("part.bin").c_str(), 87000));
    EXPECT_EQ(ReadWholeFile(dir.File("part.bin")), Bytes(bytes.begin() + 3000, bytes.end()));
    EXPECT_FALSE(parser.ExtractFile(dir.File("none.bin").c_str(), 0));
}

TEST(CKFileBufferParser, ReadsTheFileAndUnpacksFromItsCursor)
{
    TestTempDir dir;
    Bytes plain = Pattern(5000, 11);
    Bytes packed = Deflate(plain);
    Bytes file(8, 0xEE);
    file.insert(file.end(), packed.begin(), packed.end());
    file.insert(file.end(), plain.begin(), plain.begin() + 100);
    WriteWholeFile(dir.File("f.bin"), file);

    CKFileBufferParser parser(dir.File("f.bin").c_str(), TRUE);
    ASSERT_TRUE(parser.IsValid());
    EXPECT_EQ(parser.Size(), (int) file.size());
    parser.Seek(8);
    EXPECT_EQ(parser.ComputeCRC((int) packed.size(), 0), Adler0(packed));
    parser.Seek(8);
    std::unique_ptr<CKBufferParser> unpacked(parser.UnPack((int) plain.size(), (int) packed.size()));
    ASSERT_NE(unpacked.get(), nullptr);
    Bytes back(plain.size());
    ASSERT_TRUE(unpacked->Read(back.data(), (int) back.size()));
    EXPECT_EQ(back, plain);
    unpacked->Seek(0); // the file is read again from the packed start
    std::fill(back.begin(), back.end(), 0);
    ASSERT_TRUE(unpacked->Read(back.data(), (int) back.size()));
    EXPECT_EQ(back, plain);
    parser.Seek(8 + (int) packed.size());
    std::unique_ptr<CKMemoryBufferParser> tail(parser.Extract(100));
    ASSERT_NE(tail.get(), nullptr);
    EXPECT_EQ(std::memcmp(tail->GetBuffer(), plain.data(), 100), 0);
    EXPECT_EQ(parser.CursorPosition(), (int) file.size());
    CKBYTE b[2];
    EXPECT_FALSE(parser.Read(b, 2)) << "nothing past the end";

    CKFileBufferParser missing(dir.File("missing.bin").c_str(), TRUE);
    EXPECT_FALSE(missing.IsValid());
}

TEST(CKFileBufferParser, ChunksWrittenToAFileComeBackFromIt)
{
    TestTempDir dir;
    ChunkPtr chunk = SampleChunk(40);
    Bytes bytes = Serialised(chunk.get());
    {
        CKFileBufferParser out(dir.File("c.bin").c_str(), FALSE);
        ASSERT_TRUE(out.IsValid());
        EXPECT_EQ(out.InsertChunk(chunk.get()), (int) bytes.size());
        EXPECT_EQ(out.InsertChunk(nullptr), 0);
    }
    CKFileBufferParser in(dir.File("c.bin").c_str(), TRUE);
    ASSERT_EQ(in.Size(), (int) bytes.size() + 8);
    int size = in.ReadInt();
    ChunkPtr back(in.ExtractChunk(size, nullptr));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(Serialised(back.get()), bytes);
    EXPECT_EQ(in.ReadInt(), 0);
}

TEST(CKMemoryBufferWriter, WritesGoToATemporaryFileThatDiesWithIt)
{
    std::string path;
    {
        CKMemoryBufferWriter writer(100);
        ASSERT_TRUE(writer.IsValid());
        path = writer.GetTempFileName();
        EXPECT_NE(path.find("ckmbw"), std::string::npos);
        EXPECT_TRUE(PlatformPathExists(path.c_str()));
        EXPECT_EQ(writer.Size(), 100);
        EXPECT_TRUE(writer.Write("hello", 5));
        CKBYTE b[5] = {9, 9, 9, 9, 9};
        EXPECT_FALSE(writer.Read(b, 5)) << "write only";
        EXPECT_EQ(b[0], 0);
        EXPECT_EQ(writer.ReadInt(), 0);
        EXPECT_EQ(writer.ReadString(), nullptr);
        EXPECT_EQ(writer.ExtractChunk(4, nullptr), nullptr);
        EXPECT_EQ(writer.Extract(4), nullptr);
        EXPECT_EQ(writer.UnPack(4, 4), nullptr);
        Bytes all = Contents(&writer);
        ASSERT_EQ(all.size(), 100u);
        EXPECT_EQ(std::memcmp(all.data(), "hello", 5), 0);
        EXPECT_EQ(all[99], 0) << "unwritten bytes are zero";
    }
    EXPECT_FALSE(PlatformPathExists(path.c_str()));
}

TEST(CKMemoryBufferWriter, SectionsOfEightAndSixteenMegabytesAndOneByteMoreSumWriteAndPackEveryByte)
{
    for (int size : {0x800000, 0x1000000, 0x800001}) {
        SCOPED_TRACE(size);
        Bytes bytes = Pattern((size_t) size, (CKDWORD) size);
        // The last byte differs from what the pattern would put there, so a
        // piece that drops it shows.
        bytes.back() ^= 0xA5;
        CKMemoryBufferWriter writer(size);
        ASSERT_TRUE(writer.IsValid());
        // Written in odd pieces that straddle the 8 MB windows.
        for (int pos = 0; pos < size;) {
            int piece = size - pos < 3000017 ? size - pos : 3000017;
            ASSERT_TRUE(writer.Write(bytes.data() + pos, piece));
            pos += piece;
        }
        EXPECT_EQ(writer.Size(), size);
        EXPECT_EQ(writer.ComputeCRC(123, 456), Adler0(bytes)) << "the arguments are not used";
        CollectingWriter out;
        ASSERT_TRUE(writer.WriteToStream(&out));
        EXPECT_EQ(out.m_Bytes == bytes, true);
        EXPECT_EQ(out.m_Calls, (size + 0x7FFFFF) / 0x800000) << "written in 8 MB pieces";

        std::unique_ptr<CKBufferParser> packed(writer.Pack(size, 4));
        ASSERT_NE(packed.get(), nullptr);
        Bytes deflated = Contents(static_cast<CKMemoryBufferParser*>(packed.get()));
        ASSERT_EQ((int) deflated.size(), packed->Size());
        EXPECT_EQ(packed->ComputeCRC(0, 0), Adler0(deflated));
        Bytes back(bytes.size());
        uLongf backSize = back.size();
        ASSERT_EQ(uncompress(back.data(), &backSize, deflated.data(), deflated.size()), Z_OK);
        EXPECT_EQ(backSize, bytes.size());
        EXPECT_EQ(back == bytes, true);
        // The inflating reader over it gives the same bytes and sum.
        CKCompressedMemoryBufferParser reader(deflated.data(), (int) deflated.size(), size);
        EXPECT_EQ(reader.ComputeCRC(size, 0), Adler0(bytes));
    }
}

TEST(CKMemoryBufferWriter, GrowsPastItsReservationAndSeeksAnywhere)
{
    CKMemoryBufferWriter writer(10);
    Bytes bytes = Noise(0x900000);
    ASSERT_TRUE(writer.Write(bytes.data(), (int) bytes.size()));
    EXPECT_EQ(writer.Size(), (int) bytes.size());
    writer.Seek(5);
    ASSERT_TRUE(writer.Write("ABC", 3));
    EXPECT_EQ(writer.CursorPosition(), 8);
    std::memcpy(bytes.data() + 5, "ABC", 3);
    EXPECT_EQ(Contents(&writer) == bytes, true);
    EXPECT_EQ(writer.ComputeCRC(0, 0), Adler0(bytes)) << "a rewrite falls back to summing the contents";

    CKMemoryBufferWriter unsummed(8);
    unsummed.SetRunningChecksum(false);
    unsummed.Write(bytes.data(), 1000);
    EXPECT_EQ(unsummed.ComputeCRC(0, 0), (CKDWORD) adler32(0, bytes.data(), 1000));
    CKMemoryBufferWriter gap(2000);
    gap.Write(bytes.data(), 1000);
    Bytes padded(bytes.begin(), bytes.begin() + 1000);
    padded.resize(2000, 0);
    EXPECT_EQ(gap.ComputeCRC(0, 0), Adler0(padded)) << "unwritten bytes count as zeros";
}

TEST(CKMemoryBufferWriter, InsertChunkWritesTheSameBytesAsTheChunkItself)
{
    CKMemoryBufferWriter writer(16);
    ChunkPtr empty(CKCreateStateChunk(3, nullptr));
    ChunkPtr small = SampleChunk(2, 100);
    ChunkPtr large = SampleChunk(3 * 1024 * 1024);
    ChunkPtr negative = SampleChunk(1, -1);
    Bytes expected;
    for (CKStateChunk* chunk : {empty.get(), small.get(), large.get(), negative.get(), (CKStateChunk*) nullptr}) {
        Bytes bytes = chunk ? Serialised(chunk) : Bytes();
        CKBYTE size[4];
        StoreLE32(size, (CKDWORD) bytes.size());
        expected.insert(expected.end(), size, size + 4);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
        EXPECT_EQ(writer.InsertChunk(chunk), (int) bytes.size());
    }
    EXPECT_EQ(Contents(&writer) == expected, true);
}

TEST(CKMemoryBufferWriter, IncompressibleDataPacksLargerAndSmallDataPacksToo)
{
    Bytes noise = Noise(50000);
    CKMemoryBufferWriter writer((int) noise.size());
    writer.Write(noise.data(), (int) noise.size());
    std::unique_ptr<CKBufferParser> packed(writer.Pack((int) noise.size(), 9));
    ASSERT_NE(packed.get(), nullptr);
    EXPECT_GE(packed->Size(), (int) noise.size()) << "the caller then keeps the plain form";

    CKMemoryBufferWriter tiny(1);
    tiny.Write("x", 1);
    std::unique_ptr<CKBufferParser> packedTiny(tiny.Pack(1, 1));
    ASSERT_NE(packedTiny.get(), nullptr);
    Bytes deflated = Contents(static_cast<CKMemoryBufferParser*>(packedTiny.get()));
    CKBYTE back[4];
    uLongf backSize = sizeof(back);
    ASSERT_EQ(uncompress(back, &backSize, deflated.data(), deflated.size()), Z_OK);
    EXPECT_EQ(backSize, 1u);
    EXPECT_EQ(back[0], 'x');
}

TEST(CKMemoryBufferParser, RunningChecksumMatchesAdlerOverEveryByteTheCursorPassedOver)
{
    // A model of the running sum: every read, skip, chunk or file extracted
    // adds the bytes it passed over, in order; seeks, ComputeCRC, Extract and
    // failed reads add nothing. Mixed small records (sums kept back and run
    // together), runs past 64 KB, seeks back and checks mid-way; with pages
    // handed back, the parser's copy of the bytes behind the cursor may turn
    // to zeros, so its sum must be taken before.
    const int piece = CK_BUFFERPARSER_PIECE;
    for (bool release : {false, true}) {
        const Bytes bytes = Pattern(release ? (size_t) piece * 2 + 5000 : 1000000, release ? 7 : 3);
        Bytes view = bytes;
        CKMemoryBufferParser parser((int) view.size(), view.data());
        parser.SetReleaseReadPages(release ? TRUE : FALSE);
        parser.Skip(3);
        parser.StartChecksum();
        CKDWORD model = 0;
        CKDWORD s = 12345;
        auto next = [&](CKDWORD range) {
            s = s * 1103515245 + 12345;
            return (s >> 8) % range;
        };
        TestTempDir dir;
        Bytes got;
        int steps = 0;
        while (parser.CursorPosition() < parser.Size()) {
            const int cursor = parser.CursorPosition();
            const int left = parser.Size() - cursor;
            const CKDWORD kind = next(100);
            int n = next(8) == 0 ? 1 + (int) next(release ? 400000 : 20000) : 1 + (int) next(60);
            if (n > left)
                n = left;
            SCOPED_TRACE(testing::Message() << "release " << release << " step " << steps << " kind " << kind << " at "
                                            << cursor << " n " << n);
            if (kind < 50) {
                got.assign((size_t) n, 0);
                ASSERT_TRUE(parser.Read(got.data(), n));
                ASSERT_TRUE(std::equal(got.begin(), got.end(), bytes.begin() + cursor));
                model = (CKDWORD) adler32(model, bytes.data() + cursor, (uInt) n);
            } else if (kind < 75) {
                parser.Skip(n);
                model = (CKDWORD) adler32(model, bytes.data() + cursor, (uInt) n);
            } else if (kind < 80) {
                // Junk chunks are refused, but their bytes are passed over.
                CKStateChunk* chunk = parser.ExtractChunk(n, nullptr);
                if (chunk)
                    CKDeleteStateChunk(chunk);
                if (n > 0)
                    model = (CKDWORD) adler32(model, bytes.data() + cursor, (uInt) n);
            } else if (kind < 84) {
                parser.ComputeCRC(n, 0);
            } else if (kind < 88) {
                delete parser.Extract(n);
            } else if (kind < 90) {
                std::vector<char> past((size_t) left + 1);
                EXPECT_FALSE(parser.Read(past.data(), left + 1));
                ASSERT_EQ(parser.CursorPosition(), cursor);
            } else if (kind < 93 && !release) {
                parser.Seek(cursor - (int) next((CKDWORD) (cursor < 200 ? cursor : 200) + 1));
            } else if (kind < 95 && n > 0 && n < 5000) {
                ASSERT_TRUE(parser.ExtractFile(dir.File("run.bin").c_str(), n));
                model = (CKDWORD) adler32(model, bytes.data() + cursor, (uInt) n);
            } else {
                ASSERT_EQ(parser.GetChecksum(), model);
            }
            ++steps;
        }
        EXPECT_EQ(parser.GetChecksum(), model);
        EXPECT_EQ(parser.GetChecksum(), model) << "asking again changes nothing";
        if (release) {
            // Records of 40 bytes read through whole pieces handed back.
            Bytes again = bytes;
            CKMemoryBufferParser records((int) again.size(), again.data());
            records.SetReleaseReadPages(TRUE);
            records.StartChecksum();
            CKBYTE record[40];
            while (records.Read(record, records.Size() - records.CursorPosition() < 40
                                            ? records.Size() - records.CursorPosition()
                                            : 40) &&
                   records.CursorPosition() < records.Size()) {
            }
            EXPECT_EQ(records.GetChecksum(), Adler0(bytes));
        }
        parser.Seek(0);
        parser.StartChecksum();
        parser.Skip(parser.Size());
        if (!release) {
            EXPECT_EQ(parser.GetChecksum(), Adler0(bytes)) << "started again from the cursor";
        }
    }
}

// Compression starts only on a writer that holds its buffer and at a level
// zlib takes (-1 to 9); a start that failed fails every step after it and
// Pack gives nothing.
TEST(CKMemoryBufferWriter, DeflateStartsOnlyOnAValidWriterAtALevelZlibTakes)
{
    struct Case
    {
        const char* what;
        int size;
        bool failedWrite;
        int level;
        bool starts;
    };
    const Case cases[] = {
        {"level -2", 100, false, -2, false}, {"default level", 100, false, -1, true},
        {"level 0", 100, false, 0, true},    {"level 1", 100, false, 1, true},
        {"level 9", 100, false, 9, true},    {"level 10", 100, false, 10, false},
        {"no buffer", -1, false, 6, false},  {"a write failed", 100, true, 6, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CKMemoryBufferWriter writer(c.size);
        if (c.failedWrite) {
            EXPECT_FALSE(writer.Write(nullptr, 1));
        }
        ASSERT_EQ(writer.BeginDeflate(c.level), c.starts);
        EXPECT_EQ(writer.DeflatePiece("abcabcabc", 9), c.starts);
        EXPECT_EQ(writer.EndDeflate(), c.starts);
        if (c.starts) {
            Bytes deflated = Contents(&writer);
            CKBYTE back[16];
            uLongf backSize = sizeof(back);
            ASSERT_EQ(uncompress(back, &backSize, deflated.data(), deflated.size()), Z_OK);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(back), backSize), "abcabcabc");
        }
        // Packing deflates into a fresh writer at the same level.
        std::unique_ptr<CKBufferParser> packed(writer.Pack(100, c.level));
        EXPECT_EQ(packed != nullptr, c.starts);
    }
}

// Reading into nothing (as Skip does) is bounded as a read into memory is:
// on every kind, from the start or mid-way, a request of 0 up to the bytes
// left succeeds and moves the cursor as far as a real read, and a request
// past the end or below 0 fails and leaves the parser failed; a skip past
// the end fails alike.
TEST(CKBufferParsers, ReadingIntoNothingPastTheEndFailsAsARealReadDoes)
{
    TestTempDir dir;
    const Bytes plain = Pattern(150000, 21); // past one 64 KB window
    const Bytes packed = Deflate(plain);
    WriteWholeFile(dir.File("plain.bin"), plain);
    WriteWholeFile(dir.File("packed.bin"), packed);

    // A parser of one kind over the plain bytes (an outer file parser kept
    // alive for the inflating file kind).
    struct Opened
    {
        std::unique_ptr<CKBufferParser> outer;
        std::unique_ptr<CKBufferParser> parser;
    };
    const std::vector<std::pair<const char*, std::function<Opened()>>> kinds = {
        {"memory",
         [&] {
             return Opened{nullptr, std::make_unique<CKMemoryBufferParser>((int) plain.size(),
                                                                           const_cast<CKBYTE*>(plain.data()))};
         }},
        {"file",
         [&] {
             return Opened{nullptr, std::make_unique<CKFileBufferParser>(dir.File("plain.bin").c_str(), TRUE)};
         }},
        {"inflating memory",
         [&] {
             return Opened{nullptr, std::make_unique<CKCompressedMemoryBufferParser>(packed.data(), (int) packed.size(),
                                                                                     (int) plain.size())};
         }},
        {"inflating file",
         [&] {
             Opened opened;
             opened.outer = std::make_unique<CKFileBufferParser>(dir.File("packed.bin").c_str(), TRUE);
             opened.parser.reset(opened.outer->UnPack((int) plain.size(), (int) packed.size()));
             return opened;
         }},
    };
    const int size = (int) plain.size();
    for (const auto& [kind, open] : kinds) {
        for (int start : {0, 70000}) {
            const int left = size - start;
            for (int n : {-1, 0, 1, left - 1, left, left + 1, left + 5000}) {
                SCOPED_TRACE(std::string(kind) + " from " + std::to_string(start) + ", " + std::to_string(n));
                Opened real = open(), none = open(), skip = open();
                for (Opened* o : {&real, &none, &skip}) {
                    ASSERT_NE(o->parser.get(), nullptr);
                    o->parser->Seek(start);
                    ASSERT_EQ(o->parser->CursorPosition(), start);
                }
                const bool fits = n >= 0 && n <= left;
                Bytes into((size_t) std::max(n, 0));
                EXPECT_EQ(real.parser->Read(into.data(), n) != FALSE, fits);
                EXPECT_EQ(none.parser->Read(nullptr, n) != FALSE, fits);
                skip.parser->Skip(n);
                for (Opened* o : {&real, &none, &skip}) {
                    EXPECT_EQ(o->parser->HasFailed() != FALSE, !fits);
                    EXPECT_EQ(o->parser->CursorPosition(), real.parser->CursorPosition());
                }
                if (fits) {
                    EXPECT_EQ(real.parser->CursorPosition(), start + n);
                    if (n > 0) {
                        EXPECT_EQ(std::memcmp(into.data(), plain.data() + start, (size_t) n), 0);
                    }
                    // The next bytes are those after the request, whichever way it went.
                    const int next = start + n + 4 <= size ? (int) LoadLE32(plain.data() + start + n) : 0;
                    for (Opened* o : {&real, &none, &skip}) {
                        EXPECT_EQ(o->parser->ReadInt(), next);
                    }
                }
            }
        }
    }
}
