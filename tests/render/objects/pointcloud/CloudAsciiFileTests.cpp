// Formatted reading in the C locale, the format of a point file, its lines
// and its header.
#include <climits>
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "render/objects/pointcloud/CloudAsciiFile.h"

namespace {

int Scan(const std::string& text, const char* format, CloudScanValue* v, int max = 10)
{
    const char* cursor = text.data();
    return CloudScan(cursor, text.data() + text.size(), format, v, max);
}

// A file whose first line is given, padded past 256 bytes.
std::string FileOf(const std::string& firstLine)
{
    std::string text = firstLine + "\n";
    while (text.size() < 300)
        text += "1 2 3 4 5 6 7 8 9 10 11 12\n";
    return text;
}

int Detect(const std::string& text)
{
    return CloudDetectAsciiFormat(text.data(), text.size());
}

TEST(CloudScan, ConversionsFollowTheirPatternsAndCountWhatTheyRead)
{
    CloudScanValue v[10];
    EXPECT_EQ(Scan("  1.5 -2e3\t+.25", "%f %f %f", v), 3);
    EXPECT_EQ(v[0].f, 1.5f);
    EXPECT_EQ(v[1].f, -2000.0f);
    EXPECT_EQ(v[2].f, 0.25f);
    EXPECT_EQ(Scan("1 2 3 4.5 6 7", "%f %f %f %d %d %d", v), 4) << "%d stops at the point";
    EXPECT_EQ(v[3].i, 4);
    EXPECT_EQ(Scan("0x1F 010 -7", "%i %i %i", v), 3);
    EXPECT_EQ(v[0].i, 31);
    EXPECT_EQ(v[1].i, 8);
    EXPECT_EQ(v[2].i, -7);
    EXPECT_EQ(Scan("010", "%d", v), 1);
    EXPECT_EQ(v[0].i, 10);
    EXPECT_EQ(Scan("", "%f", v), -1);
    EXPECT_EQ(Scan("   ", "%d", v), -1);
    EXPECT_EQ(Scan("x", "%d", v), 0);
    EXPECT_EQ(Scan("+-1", "%f", v), 0);
    EXPECT_EQ(Scan("1,5", "%f", v), 1) << "the C locale's decimal point only";
    EXPECT_EQ(v[0].f, 1.0f);
    EXPECT_EQ(Scan("Points 12\n", "Points %d\n", v), 1);
    EXPECT_EQ(Scan("Point 12\n", "Points %d\n", v), 0);
    EXPECT_EQ(Scan("(1, 2,3)", "(%g,%g,%g)", v), 3);
    EXPECT_EQ(Scan("(1 ,2,3)", "(%g,%g,%g)", v), 1) << "a literal comes right after the number";
    EXPECT_EQ(Scan("1 2", "%d %d", v, 1), 1) << "never more than the room given";
}

TEST(CloudScan, TheCursorNeverPassesTheEndItIsGiven)
{
    const std::string text = "7    8";
    CloudScanValue v[2];
    const char* cursor = text.data();
    EXPECT_EQ(CloudScan(cursor, text.data() + 2, "%d %d", v, 2), 1) << "the 8 lies beyond the end";
    EXPECT_EQ(cursor, text.data() + 2);
    cursor = text.data() + 1;
    EXPECT_EQ(CloudScan(cursor, text.data() + 3, "%d", v, 1), -1);
    EXPECT_EQ(cursor, text.data() + 3);
}

TEST(CloudScan, OverflowSaturatesAndNotANumberIsNoInteger)
{
    CloudScanValue v[2];
    ASSERT_EQ(Scan("1e60 -1e60", "%f %f", v), 2);
    EXPECT_EQ(v[0].f, INFINITY);
    EXPECT_EQ(v[1].f, -INFINITY);
    ASSERT_EQ(Scan("1e-60", "%f", v), 1);
    EXPECT_EQ(v[0].f, 0.0f);
    ASSERT_EQ(Scan("99999999999999999999 -99999999999999999999", "%d %d", v), 2);
    EXPECT_EQ(v[0].i, INT_MAX);
    EXPECT_EQ(v[1].i, INT_MIN);
    EXPECT_EQ(Scan("-2147483648", "%d", v), 1);
    EXPECT_EQ(v[0].i, INT_MIN);
    ASSERT_EQ(Scan("nan inf", "%f %f", v), 2);
    EXPECT_TRUE(std::isnan(v[0].f));
    EXPECT_EQ(v[1].f, INFINITY);
    EXPECT_EQ(Scan("nan", "%d", v), 0);
    EXPECT_EQ(Scan("inf", "%i", v), 0);
}

TEST(CloudAsciiFile, TheFirstLineDecidesTheFormat)
{
    const struct
    {
        const char* Line;
        int Format;
    } cases[] = {
        {"1 2 3", CLOUD_ASCII_XYZ},
        {"1 2 3 40", CLOUD_ASCII_XYZI},
        {"1 2 3 0 0 1", CLOUD_ASCII_XYZN},
        {"1 2 3 255 0 0", CLOUD_ASCII_XYZC},
        {"1 2 3 nan 0 0", CLOUD_ASCII_XYZN},
        {"1 2 3 0 0.5 1 7", CLOUD_ASCII_XYZNI},
        {"1 2 3 10 20 30 7", CLOUD_ASCII_XYZCI},
        {"1 2 3 10 20 30 0 0 1", CLOUD_ASCII_XYZCN},
        {"1 2 3 10 20 30 0 0 1 9", CLOUD_ASCII_XYZCNI},
        {"1 2", CLOUD_ASCII_REFUSED},
        {"1 2 3 4 5", CLOUD_ASCII_REFUSED},
        {"1 2 3 4 5 6 7 8", CLOUD_ASCII_REFUSED},
        {"1 2 3 4 5 6 7 8 9 10 11", CLOUD_ASCII_XYZCNI}, // ten numbers are read
        {"a b c", CLOUD_ASCII_REFUSED},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Detect(FileOf(c.Line)), c.Format) << c.Line;
}

TEST(CloudAsciiFile, ShortFilesAndLongFirstLinesAreRefused)
{
    std::string text = FileOf("1 2 3");
    EXPECT_EQ(Detect(text.substr(0, 255)), CLOUD_ASCII_REFUSED);
    EXPECT_EQ(Detect(text.substr(0, 256)), CLOUD_ASCII_XYZ);
    std::string longLine(250, ' ');
    longLine += "1 2 3";
    EXPECT_EQ(Detect(FileOf(longLine.substr(0, 251) + "1 2 3")), CLOUD_ASCII_XYZ) << "line feed at byte 256";
    EXPECT_EQ(Detect(FileOf(std::string(300, ' ') + "1 2 3")), CLOUD_ASCII_REFUSED);
    EXPECT_EQ(CloudDetectAsciiFormat(nullptr, 1000), CLOUD_ASCII_REFUSED);
}

TEST(CloudAsciiFile, PointLinesComeInEngineOrderUntilOneDoesNotRead)
{
    const std::string text =
        "1 2 3 255 0 300 0 1 0 300\n\n  \r\n4 5 6 1 2 3 0 0 -1 1\n7 8 9 1 2\n10 11 12 1 2 3 0 0 1 2\n";
    const char* cursor = text.data();
    const char* end = text.data() + text.size();
    CloudAsciiPoint p;
    ASSERT_EQ(CloudReadAsciiPoint(cursor, end, CLOUD_ASCII_XYZCNI, p), 1);
    EXPECT_EQ(p.Position, QxVector(1, 3, 2));
    EXPECT_EQ(p.Color, 0xFFFF00FFu) << "channels past 255 are 255";
    EXPECT_EQ(p.Normal, QxVector(0, 0, 1));
    EXPECT_EQ(p.Intensity, 44u) << "300 keeps its low byte";
    ASSERT_EQ(CloudReadAsciiPoint(cursor, end, CLOUD_ASCII_XYZCNI, p), 1) << "blank lines are passed";
    EXPECT_EQ(p.Position, QxVector(4, 6, 5));
    EXPECT_EQ(p.Color, 0xFF010203u);
    EXPECT_EQ(CloudReadAsciiPoint(cursor, end, CLOUD_ASCII_XYZCNI, p), 0);
    const std::string last = "1 2 3";
    cursor = last.data();
    EXPECT_EQ(CloudReadAsciiPoint(cursor, last.data() + last.size(), CLOUD_ASCII_XYZ, p), 1) << "no final line feed";
    EXPECT_EQ(CloudReadAsciiPoint(cursor, last.data() + last.size(), CLOUD_ASCII_XYZ, p), -1);
}

TEST(CloudAsciiFile, TheHeaderReadsItsEightLinesAndRefusesUnusableValues)
{
    const std::string good = "Version 1\nPoints 10\nFormat 0\nPrecision (0.1,0.2,0.3)\nBoxMin (0,0,0)\n"
                             "BoxMax (1,2,3)\nTranslate (1,2,3)\nRescale 2\n";
    CloudDescHeader h;
    ASSERT_TRUE(CloudReadDescHeader(good.data(), good.size(), h));
    EXPECT_EQ(h.Points, 10);
    EXPECT_EQ(h.Precision, QxVector(0.1f, 0.3f, 0.2f));
    EXPECT_EQ(h.BoxMax, QxVector(1, 3, 2));
    EXPECT_EQ(h.Translate, QxVector(1, 3, 2));
    EXPECT_EQ(h.Rescale, 2.0f);
    const struct
    {
        const char* From;
        const char* To;
    } broken[] = {
        {"Rescale 2", "Rescale 0"},  {"Rescale 2", "Rescale nan"},           {"Rescale 2", "Rescale inf"},
        {"Points 10", "Points -1"},  {"BoxMax (1,2,3)", "BoxMax (1,inf,3)"}, {"Format 0\n", ""},
        {"Version 1", "Versions 1"},
    };
    for (const auto& b : broken) {
        std::string text = good;
        text.replace(text.find(b.From), std::string(b.From).size(), b.To);
        EXPECT_FALSE(CloudReadDescHeader(text.data(), text.size(), h)) << b.To;
    }
    for (size_t cut = 0; cut + 1 < good.size(); ++cut)
        EXPECT_FALSE(CloudReadDescHeader(good.data(), cut, h)) << cut;
}

} // namespace
