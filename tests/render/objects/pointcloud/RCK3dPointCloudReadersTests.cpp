// Point files with and without their header, attribute text files and data
// arrays.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterGuids.h"
#include "core/scene/CKDataArray.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "tests/render/objects/EntityTestSupport.h"
#include "tests/render/objects/pointcloud/CloudTestSupport.h"

namespace {

CKERROR RecordConsole(CKUICallbackStruct& message, void* data)
{
    if (message.Reason == CKUIM_OUTTOCONSOLE)
        static_cast<std::vector<std::string>*>(data)->push_back(reinterpret_cast<const char*>(message.Param2));
    return CKErr::Ok;
}

const char* kHeader = "Version 1\nPoints %d\nFormat %d\nPrecision (%g,%g,%g)\nBoxMin (%g,%g,%g)\nBoxMax (%g,%g,%g)\n"
                      "Translate (%g,%g,%g)\nRescale %g\n";

class CloudReaderTests : public EntityFixture
{
protected:
    RCK3dPointCloud* NewCloud(const char* name = "cloud")
    {
        return static_cast<RCK3dPointCloud*>(m_Context->CreateObject(CKCID_3DPOINTCLOUD, name));
    }
    std::string Write(const std::string& name, const std::string& text)
    {
        const std::string path = m_Temp.File(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // Lines padded past the 256 bytes a point file needs with copies of
    // the last line.
    static std::string Padded(std::string lines)
    {
        const std::string last = lines.substr(lines.rfind('\n', lines.size() - 2) + 1);
        while (lines.size() < 300)
            lines += last;
        return lines;
    }
    void Listen() { m_Context->SetInterfaceMode(TRUE, RecordConsole, &m_Console); }

    std::vector<std::string> m_Console;
};

TEST_F(CloudReaderTests, ColoursAndIntensitiesComeInEngineOrderWithOrWithoutHeader)
{
    const std::string path = Write("c.asc", Padded("1 2 3 255 0 0 300\n4 5 6 0 255 0 7\n"));
    for (bool header : {false, true}) {
        if (header) {
            char text[512];
            std::snprintf(text, sizeof(text), kHeader, 100, 5, 0.001, 0.001, 0.001, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 0.0,
                          0.0, 0.0, 1.0);
            Write("c.asc.desc", text);
        }
        RCK3dPointCloud* cloud = NewCloud();
        Listen();
        ASSERT_TRUE(cloud->CreateFromAsciiFile(path.c_str()));
        EXPECT_EQ(m_Console.empty(), header);
        if (!header) {
            EXPECT_EQ(m_Console[0], "Warning : No .Desc File found :" + path + ".desc, loading cloud in two steps");
        }
        m_Console.clear();
        EXPECT_TRUE(cloud->HasColors());
        EXPECT_FALSE(cloud->HasNormals());
        EXPECT_EQ(cloud->GetPointColor(0), 0xFFF80000u);
        EXPECT_EQ(cloud->GetPointIntensity(0), 44);
        EXPECT_EQ(cloud->GetPointColor(1), 0xFF00FC00u);
        const std::vector<WalkedPoint> walked = WalkPoints(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize());
        ASSERT_EQ((int) walked.size(), cloud->GetPointCount());
        for (const WalkedPoint& w : walked) {
            if (w.Index == 0) {
                EXPECT_LT(QxMagnitude(w.Position - QxVector(1, 3, 2)), 0.01f) << "x, z, y";
            }
        }
        m_Context->DestroyObject(cloud);
    }
}

TEST_F(CloudReaderTests, TheHeaderTranslatesAndRescales)
{
    const std::string path = Write("t.asc", Padded("0 0 0\n1 1 1\n"));
    char text[512];
    std::snprintf(text, sizeof(text), kHeader, 2, 0, 0.01, 0.01, 0.01, -1.0, -1.0, -1.0, 2.0, 2.0, 2.0, 1.0, 2.0, 3.0,
                  2.0);
    Write("t.asc.desc", text);
    RCK3dPointCloud* cloud = NewCloud();
    ASSERT_TRUE(cloud->CreateFromAsciiFile(path.c_str()));
    EXPECT_EQ(cloud->GetRescale(), 2.0f);
    EXPECT_EQ(*cloud->GetTranslation(), QxVector(1, 3, 2));
    const QxBbox& box = cloud->GetBoundingBox(TRUE);
    EXPECT_EQ(box.Min, QxVector(0, 2, 1) * 2.0f);
    bool found = false;
    for (const WalkedPoint& w : WalkPoints(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize()))
        if (w.Index == 0) {
            EXPECT_LT(QxMagnitude(w.Position - QxVector(2, 6, 4)), 0.02f);
            found = true;
        }
    EXPECT_TRUE(found);
    CloudIterator* it = cloud->GetIterator();
    while (it->NextPoint())
        if (it->GetPointIndex() == 0) {
            QxVector inFile;
            it->GetPointPositionInFile(&inFile);
            EXPECT_LT(QxMagnitude(inFile), 0.02f) << "back in the file's coordinates";
        }
}

TEST_F(CloudReaderTests, ShortOrUnreadableFilesAreRefused)
{
    RCK3dPointCloud* cloud = NewCloud();
    const std::string shortFile = Write("short.asc", "1 2 3\n4 5 6\n");
    Listen();
    EXPECT_FALSE(cloud->CreateFromAsciiFile(shortFile.c_str()));
    EXPECT_EQ(m_Console.back(), "Invalid Asc File:" + shortFile);
    EXPECT_FALSE(cloud->CreateFromAsciiFile(m_Temp.File("missing.asc").c_str()));
    EXPECT_FALSE(cloud->CreateFromAsciiFile(Write("five.asc", Padded("1 2 3 4 5\n")).c_str()));
    EXPECT_FALSE(cloud->CreateFromAsciiFile(nullptr));
}

TEST_F(CloudReaderTests, UnusableOrWrongHeadersFallBackToTwoSteps)
{
    const std::string lines = Padded("0 0 0\n5 5 5\n");
    const std::string path = Write("h.asc", lines);
    char text[512];
    // Rescale 0 is refused; a box that misses the points is not trusted.
    for (double rescale : {0.0, 1.0}) {
        std::snprintf(text, sizeof(text), kHeader, -4, 0, 0.01, 0.01, 0.01, 0.0, 0.0, 0.0, 1.0, 1.0, 1.0, 0.0, 0.0, 0.0,
                      rescale);
        if (rescale == 1.0)
            std::snprintf(text, sizeof(text), kHeader, 1000000000, 0, 0.01, 0.01, 0.01, 0.0, 0.0, 0.0, 1.0, 1.0, 1.0,
                          0.0, 0.0, 0.0, rescale);
        Write("h.asc.desc", text);
        RCK3dPointCloud* cloud = NewCloud();
        Listen();
        ASSERT_TRUE(cloud->CreateFromAsciiFile(path.c_str()));
        EXPECT_EQ(m_Console.size(), 1u);
        m_Console.clear();
        EXPECT_EQ(cloud->GetBoundingBox(TRUE).Max, QxVector(5, 5, 5));
        EXPECT_EQ(cloud->GetPointCount(), (int) std::count(lines.begin(), lines.end(), '\n'));
        m_Context->DestroyObject(cloud);
    }
}

TEST_F(CloudReaderTests, AHundredThousandLinesReadTheSameWithAndWithoutTheirHeader)
{
    std::mt19937 rng(12);
    std::uniform_real_distribution<float> u(-50, 50);
    std::ostringstream lines;
    QxBbox box(QxVector(1e9f, 1e9f, 1e9f), QxVector(-1e9f, -1e9f, -1e9f));
    std::vector<QxVector> points;
    for (int i = 0; i < 100000; ++i) {
        const QxVector p(u(rng), u(rng), u(rng));
        char line[128];
        std::snprintf(line, sizeof(line), "%.4f %.4f %.4f 0 0 1\n", p.x, p.z, p.y);
        lines << line;
        float x, y, z;
        std::sscanf(line, "%f %f %f", &x, &z, &y);
        points.emplace_back(x, y, z);
        box.Merge(points.back());
    }
    const std::string path = Write("big.asc", lines.str());
    RCK3dPointCloud* twoSteps = NewCloud("two");
    ASSERT_TRUE(twoSteps->CreateFromAsciiFile(path.c_str()));
    char text[512];
    const QxVector precision = (box.Max - box.Min) * 5e-6f;
    std::snprintf(text, sizeof(text), kHeader, 100000, 2, precision.x, precision.z, precision.y, box.Min.x, box.Min.z,
                  box.Min.y, box.Max.x, box.Max.z, box.Max.y, 0.0, 0.0, 0.0, 1.0);
    Write("big.asc.desc", text);
    RCK3dPointCloud* oneStep = NewCloud("one");
    ASSERT_TRUE(oneStep->CreateFromAsciiFile(path.c_str()));
    ASSERT_EQ(oneStep->GetPointCount(), 100000);
    ASSERT_EQ(twoSteps->GetPointCount(), 100000);
    EXPECT_TRUE(oneStep->HasNormals());
    std::vector<QxVector> a(100000), b(100000);
    for (const WalkedPoint& w : WalkPoints(oneStep->GetTree(), oneStep->GetBoxMin(), oneStep->GetBoxSize()))
        a[w.Index] = w.Position;
    for (const WalkedPoint& w : WalkPoints(twoSteps->GetTree(), twoSteps->GetBoxMin(), twoSteps->GetBoxSize()))
        b[w.Index] = w.Position;
    float worst = 0;
    for (int i = 0; i < 100000; ++i) {
        worst = std::max(worst, QxMagnitude(a[i] - points[i]));
        worst = std::max(worst, QxMagnitude(b[i] - points[i]));
    }
    EXPECT_LT(worst, QxMagnitude(box.Max - box.Min) * 1e-5f);
}

TEST_F(CloudReaderTests, MoreOrFewerLinesThanAnnouncedGiveThePointsThereAre)
{
    std::string lines;
    for (int i = 0; i < 80; ++i)
        lines += std::to_string(i % 10) + " 1 1\n";
    const std::string path = Write("n.asc", lines);
    char text[512];
    for (int announced : {10, 1000}) {
        std::snprintf(text, sizeof(text), kHeader, announced, 0, 0.01, 0.01, 0.01, 0.0, 0.0, 0.0, 10.0, 10.0, 10.0, 0.0,
                      0.0, 0.0, 1.0);
        Write("n.asc.desc", text);
        RCK3dPointCloud* cloud = NewCloud();
        ASSERT_TRUE(cloud->CreateFromAsciiFile(path.c_str()));
        EXPECT_EQ(cloud->GetPointCount(), 80);
        EXPECT_EQ(WalkPoints(cloud->GetTree(), cloud->GetBoxMin(), cloud->GetBoxSize()).size(), 80u);
        m_Context->DestroyObject(cloud);
    }
}

TEST_F(CloudReaderTests, AttributeTextFilesFillTheirAttribute)
{
    RCK3dPointCloud* cloud = NewCloud();
    const QxVector p[4] = {QxVector(0, 0, 0), QxVector(1, 0, 0), QxVector(0, 1, 0), QxVector(0, 0, 1)};
    QxVector precision;
    cloud->CreateFromBuffers(4, p, nullptr, nullptr, nullptr, precision);
    CloudAttributeDesc desc;
    desc.Name = "f";
    desc.Type = CLOUD_ATTRIBUTE_FLOAT;
    const int f = cloud->AddAttribute(desc);
    desc.Name = "i";
    desc.Type = CLOUD_ATTRIBUTE_INTEGER;
    desc.Bits = 4;
    const int i = cloud->AddAttribute(desc);
    const std::string values = Write("v.txt", "1.5\n2 3\n\n4\n");
    EXPECT_FALSE(cloud->LoadAttributesFromTextFile(f, values.c_str())) << "not enabled";
    cloud->EnableAttribute(f, TRUE);
    cloud->EnableAttribute(i, TRUE);
    EXPECT_TRUE(cloud->LoadAttributesFromTextFile(f, values.c_str(), 1.0f, 2.0f));
    EXPECT_EQ(cloud->GetAttributeFloat(0, f), 5.0f);
    EXPECT_EQ(cloud->GetAttributeFloat(3, f), 10.0f);
    EXPECT_FALSE(cloud->LoadAttributesFromTextFile(i, values.c_str())) << "1.5 is no integer";
    EXPECT_TRUE(cloud->LoadAttributesFromTextFile(i, Write("w.txt", "7 20 -1 3").c_str()));
    EXPECT_EQ(cloud->GetAttributeValue(0, i), 7u);
    EXPECT_EQ(cloud->GetAttributeValue(1, i), 4u) << "kept to 4 bits";
    EXPECT_EQ(cloud->GetAttributeValue(2, i), 15u);
    EXPECT_FALSE(cloud->LoadAttributesFromTextFile(i, Write("s.txt", "9 9").c_str()));
    EXPECT_EQ(cloud->GetAttributeValue(1, i), 9u) << "values read stay";
    EXPECT_EQ(cloud->GetAttributeValue(3, i), 3u);
    Listen();
    EXPECT_FALSE(cloud->LoadAttributesFromTextFile(i, m_Temp.File("none.txt").c_str()));
    EXPECT_EQ(m_Console.back(), "Cloud::LoadAttributesFromTextFile : Could not load " + m_Temp.File("none.txt"));
    EXPECT_FALSE(cloud->LoadAttributesFromTextFile(99, values.c_str()));
}

TEST_F(CloudReaderTests, DataArraysGivePositionsAndAttributes)
{
    auto* array = static_cast<CKDataArray*>(m_Context->CreateObject(CKCID_DATAARRAY, "a"));
    array->AddColumn("x", CKARRAYTYPE_FLOAT);
    array->AddColumn("y", CKARRAYTYPE_FLOAT);
    array->AddColumn("z", CKARRAYTYPE_FLOAT);
    array->AddColumn("text", CKARRAYTYPE_STRING);
    array->AddColumn("v", CKARRAYTYPE_PARAMETER, CKPGUID_VECTOR);
    array->AddColumn("n", CKARRAYTYPE_INT);
    for (int r = 0; r < 3; ++r) {
        array->AddRow();
        array->GetElement(r, 0)->Float = (float) r;
        array->GetElement(r, 1)->Float = 10.0f + r;
        array->GetElement(r, 2)->Float = 20.0f + r;
        const std::string t = std::to_string(r) + " 5 6";
        array->SetElementString(r, 3, t.c_str());
        const QxVector v(1.0f * r, 2, 3);
        array->GetElement(r, 4)->Parameter->SetValue(&v, sizeof(v));
        array->GetElement(r, 5)->Int = 100 + r;
    }
    RCK3dPointCloud* cloud = NewCloud();
    for (int column : {0, 3, 4}) {
        ASSERT_TRUE(cloud->CreateFromArray(array, column)) << column;
        EXPECT_EQ(cloud->GetPointCount(), 3);
        const QxBbox& box = cloud->GetBoundingBox(TRUE);
        const QxVector expectedMax = column == 0   ? QxVector(2, 12, 22)
                                     : column == 3 ? QxVector(2, 6, 5)
                                                   : QxVector(2, 2, 3);
        EXPECT_EQ(box.Max, expectedMax) << column;
    }
    Listen();
    EXPECT_FALSE(cloud->CreateFromArray(array, 5));
    EXPECT_EQ(
        m_Console.back(),
        "Cloud::CreateFromArray : Unsupported data type in array (expecting floats , vector parameters or string)");
    EXPECT_FALSE(cloud->CreateFromArray(nullptr, 0));

    CloudAttributeDesc desc;
    desc.Name = "n";
    desc.Bits = 16;
    const int n = cloud->AddAttribute(desc);
    cloud->EnableAttribute(n, TRUE);
    EXPECT_TRUE(cloud->LoadAttributesFromArray(n, array, 5));
    EXPECT_EQ(cloud->GetAttributeValue(2, n), 102u);
    EXPECT_TRUE(cloud->LoadAttributesFromArray(n, array, 0)) << "another type goes on";
    EXPECT_EQ(m_Console.back(), "Cloud::LoadAttributesFromArray : Unsupported data type in array (expecting integers)");
    EXPECT_FALSE(cloud->LoadAttributesFromArray(n, array, 9));
    array->AddRow();
    EXPECT_FALSE(cloud->LoadAttributesFromArray(n, array, 5));
    EXPECT_EQ(m_Console.back(), "Cloud::LoadAttributesFromArray : Array does not have the correct size (4 points "
                                "instead of expected 3)");
}

} // namespace
