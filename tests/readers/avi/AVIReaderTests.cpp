#include <gtest/gtest.h>

#include "platform/PlatformAviStream.h"
#include "readers/avi/AVIReader.h"
#include "tests/support/TestPaths.h"
#include "tools/testdata/MovieBuilder.h"
#include "tools/testdata/RgbaImage.h"

namespace {

// Largest channel difference between two images of the same size.
int MaxDifference(const RgbaImage& a, const RgbaImage& b)
{
    int worst = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            const int d = int((a.pixels[i] >> shift) & 0xFF) - int((b.pixels[i] >> shift) & 0xFF);
            worst = std::max(worst, std::abs(d));
        }
    return worst;
}

// Reads frame k and compares it with the source, colours only.
void ExpectFrame(AVIReader& reader, const MovieSpec& spec, int k, int tolerance)
{
    CKBitmapProperties* p = nullptr;
    ASSERT_EQ(reader.ReadFrame(k, &p), 0) << "frame " << k;
    ASSERT_NE(p->m_Data, nullptr);
    const RgbaImage frame = FlipFrame(p->m_Format, p->m_Data);
    RgbaImage source = MovieFrame(spec, k);
    ASSERT_EQ(frame.width, source.width);
    ASSERT_EQ(frame.height, source.height);
    if (tolerance == 0)
        EXPECT_EQ(DescribeDifference(frame, source, false), "") << "frame " << k;
    else
        EXPECT_LE(MaxDifference(frame, source), tolerance) << "frame " << k;
}

struct Case
{
    MovieKind kind;
    int width, height;
    bool bottomUp;
    int bits, tolerance;
};

} // namespace

TEST(AVIReader, EveryFrameOfEachKindOfMovieReadsBottomUpAsItsSource)
{
    const Case cases[] = {
        {MovieKind::Raw24, 5, 3, false, 24, 0},   {MovieKind::Raw24, 64, 20, false, 24, 0},
        {MovieKind::Raw24, 5, 3, true, 24, 0},    {MovieKind::Raw32, 5, 4, false, 32, 0},
        {MovieKind::Raw32, 64, 20, true, 32, 0},  {MovieKind::Pal8, 5, 3, false, 24, 0},
        {MovieKind::Pal8, 64, 20, false, 24, 0},  {MovieKind::Mjpeg, 5, 8, false, 24, 6},
        {MovieKind::Mjpeg, 64, 24, false, 24, 6},
    };
    TestTempDir dir;
    for (const Case& c : cases) {
        MovieSpec spec;
        spec.kind = c.kind;
        spec.width = c.width;
        spec.height = c.height;
        spec.bottomUp = c.bottomUp;
        SCOPED_TRACE(testing::Message() << int(c.kind) << " " << c.width << (c.bottomUp ? " bottom-up" : ""));
        const std::string path = dir.File("movie.avi");
        ASSERT_TRUE(SaveFileBytes(path, BuildMovie(spec)));

        AVIReader reader;
        ASSERT_EQ(reader.OpenFile(path.c_str()), 0);
        EXPECT_EQ(reader.GetMovieFrameCount(), 17);
        EXPECT_EQ(reader.GetMovieLength(), 680) << "17 frames at 25 per second";
        for (int k = 0; k < 17; ++k)
            ExpectFrame(reader, spec, k, c.tolerance);
        // Out of order too (a palette comes with the first packet only).
        for (int k : {16, 3, 3, 0, 9, 8, 12, 1})
            ExpectFrame(reader, spec, k, c.tolerance);
        CKBitmapProperties* p = nullptr;
        ASSERT_EQ(reader.ReadFrame(16, &p), 0);
        EXPECT_EQ(p->m_Format.BitsPerPixel, c.bits);
        EXPECT_EQ(p->m_Format.BytesPerLine, (c.width * c.bits / 8 + 3) & ~3) << "lines padded to 4 bytes";
        EXPECT_EQ(p->m_Format.AlphaMask, 0u);
        EXPECT_EQ(p->m_Format.RedMask, 0xFF0000u);
        EXPECT_EQ(reader.ReadFrame(17, &p), 1) << "the frame count is past the last";
        EXPECT_EQ(reader.ReadFrame(-1, &p), 1);
    }
}

TEST(AVIReader, MoviesWithoutVideoOrUnreadableOnesFailToOpenAndReopeningReplacesTheMovie)
{
    MovieSpec spec;
    spec.kind = MovieKind::Audio;
    const std::vector<uint8_t> audio = BuildMovie(spec);
    ASSERT_FALSE(audio.empty());
    AVIReader reader;
    EXPECT_EQ(reader.OpenMemory(audio.data(), (CKDWORD) audio.size()), 3);
    EXPECT_EQ(reader.GetMovieFrameCount(), 0);
    EXPECT_EQ(reader.OpenFile(nullptr), 3);
    EXPECT_EQ(reader.OpenFile("no/such/movie.avi"), 3);
    const uint8_t junk[64] = {'R', 'I', 'F', 'F'};
    EXPECT_EQ(reader.OpenMemory(junk, sizeof junk), 3);
    CKBitmapProperties* p = nullptr;
    EXPECT_EQ(reader.ReadFrame(0, &p), 1);

    MovieSpec a;
    MovieSpec b;
    b.kind = MovieKind::Raw32;
    b.width = 9;
    b.frames = 4;
    const std::vector<uint8_t> first = BuildMovie(a);
    const std::vector<uint8_t> second = BuildMovie(b);
    ASSERT_EQ(reader.OpenMemory(first.data(), (CKDWORD) first.size()), 0);
    ASSERT_EQ(reader.OpenMemory(second.data(), (CKDWORD) second.size()), 0);
    EXPECT_EQ(reader.GetMovieFrameCount(), 4);
    ExpectFrame(reader, b, 3, 0);
    EXPECT_EQ(reader.GetOptionsCount(), 0);
    EXPECT_STREQ(reader.GetOptionDescription(0), "");
    EXPECT_EQ(reader.Reserved1(nullptr, nullptr), -7);
    EXPECT_EQ(reader.Reserved2(nullptr, nullptr), -7);
}

TEST(AVIReader, EveryPrefixOfAMovieOpensOrFailsCleanlyAndGivesOnlyTrueFrames)
{
    MovieSpec spec;
    spec.width = 3;
    spec.height = 2;
    spec.frames = 5;
    const std::vector<uint8_t> movie = BuildMovie(spec);
    ASSERT_FALSE(movie.empty());
    AVIReader reader;
    int opened = 0;
    for (size_t size = 0; size < movie.size(); ++size) {
        std::vector<uint8_t> prefix(movie.begin(), movie.begin() + size); // exact length for the sanitizer
        const int result = reader.OpenMemory(prefix.data(), (CKDWORD) size);
        ASSERT_TRUE(result == 0 || result == 3) << size;
        if (result != 0)
            continue;
        ++opened;
        for (int k = 0; k < reader.GetMovieFrameCount(); ++k) {
            CKBitmapProperties* p = nullptr;
            const int read = reader.ReadFrame(k, &p);
            ASSERT_TRUE(read == 0 || read == 1) << size;
            if (read == 0) {
                EXPECT_EQ(DescribeDifference(FlipFrame(p->m_Format, p->m_Data), MovieFrame(spec, k), false), "")
                    << size << " frame " << k;
            }
        }
    }
    EXPECT_GT(opened, 0);
}

TEST(AviService, SampleTimesFollowTheStreamsRateInSixtyFourBits)
{
    MovieSpec spec;
    spec.fps = 30;
    const std::vector<uint8_t> movie = BuildMovie(spec);
    AVIReader reader;
    ASSERT_EQ(reader.OpenMemory(movie.data(), (CKDWORD) movie.size()), 0);
    EXPECT_EQ(reader.GetMovieLength(), 567) << "17000 / 30 rounded to nearest";
    PlatformAviStream* stream = nullptr;
    ASSERT_EQ(PlatformAviStreamOpenFromMemory(&stream, movie.data(), movie.size(), PLATFORM_AVI_STREAMTYPE_VIDEO, 0),
              PLATFORM_AVI_OK);
    EXPECT_EQ(PlatformAviStreamSampleToTime(stream, 3000000), 100000000) << "3e9 would overflow 32 bits";
    PlatformAviStream* none = nullptr;
    EXPECT_EQ(PlatformAviStreamOpenFromMemory(&none, movie.data(), movie.size(), PLATFORM_AVI_STREAMTYPE_VIDEO, 1),
              PLATFORM_AVI_NOSTREAM);
    EXPECT_EQ(PlatformAviStreamRelease(stream), 0u);
}
