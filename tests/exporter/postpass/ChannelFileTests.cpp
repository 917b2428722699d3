#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/exporter/postpass/PostPassTestSupport.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"

namespace {

std::vector<std::string> Split(const std::string& line)
{
    XClassArray<XString> words;
    const int count = ExportBuilder::SplitArguments(XString(line.c_str(), (int) line.size()), words);
    std::vector<std::string> out;
    for (int i = 0; i < words.Size(); ++i)
        out.emplace_back(words[i].CStr());
    EXPECT_EQ(count, (int) out.size());
    return out;
}

using Words = std::vector<std::string>;

class ChannelFile : public PostPassTest
{
protected:
    void SetUp() override
    {
        PostPassTest::SetUp();
        m_Glass = MakeMaterial("Glass");
        m_Other = MakeMaterial("Other");
        m_Mesh = MakeStrip("Box01_Mesh", 2, {MakeMaterial("Base")});
        m_Mesh->AddChannel(m_Glass, TRUE);
    }

    int Read(const std::string& text)
    {
        const std::string path = m_Dir.File("channels.txt");
        TestWriteFile(path, text);
        m_Log.m_Text.clear();
        return m_Builder->ReadChannels(path.c_str());
    }

    TestTempDir m_Dir;
    CKMaterial* m_Glass = nullptr;
    CKMaterial* m_Other = nullptr;
    CKMesh* m_Mesh = nullptr;
};

} // namespace

TEST(SplitArguments, SplitsOnBlanksGroupsQuotesAndDropsEmptyWords)
{
    const struct
    {
        const char* line;
        Words words;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"a b  c", {"a", "b", "c"}},
        {"\"two words\" x", {"two words", "x"}},
        {"\"\" a \"\"", {"a"}},
        {"a\tb", {"a\tb"}}, // only spaces separate
        {"x \"open to the end", {"x", "open to the end"}},
        {"last y", {"last", "y"}}, // a one-character last word is kept
        {"q\"uo\"te", {"q", "uo", "te"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Split(c.line), c.words) << c.line;
}

TEST_F(ChannelFile, AppliesALineAndReportsEachFailureKind)
{
    const struct
    {
        const char* line;
        int applied;
        int active, lit, source, dest;
        const char* log;
    } cases[] = {
        // Quoted words, any case for the command, flags and blends.
        {"\"setchannel\" \"Box01_Mesh\" \"Glass\" \"TRUE\" \"false\" \"SrcAlpha\" \"InvSrcAlpha\"\n", 1, 1, 0, 5, 6,
         "Read Channel Mesh=Box01_Mesh, Mat=Glass, Active=1, Lit=0, Src=srcalpha, Dst=invsrcalpha\n"},
        // Unquoted, the last word directly before the line end, LF or CRLF.
        {"setchannel Box01_Mesh Glass true true zero InvSrcAlpha\n", 1, 1, 1, 1, 6, nullptr},
        {"SetChannel Box01_Mesh Glass false true srccolor InvSrcAlpha\r\n", 1, 0, 1, 3, 6, nullptr},
        {"setchannel Box01_Mesh Glass true false srcalphasat destcolor", 1, 1, 0, 11, 9, nullptr},
        // Unknown blends give One.
        {"setchannel Box01_Mesh Glass true true bogus alsobogus\n", 1, 1, 1, 2, 2, nullptr},
        {"\n", 0, -1, -1, -1, -1, "Invalid Argument Count for: \n"},
        {"setchannel Box01_Mesh Glass true true one\n", 0, -1, -1, -1, -1,
         "Invalid Argument Count for: setchannel Box01_Mesh Glass true true one\n"},
        {"getchannel Box01_Mesh Glass true true one one\n", 0, -1, -1, -1, -1, "Undefined: getchannel\n"},
        {"setchannel box01_mesh Glass true true one one\n", 0, -1, -1, -1, -1,
         "Unable to find mesh named: box01_mesh\n"},
        {"setchannel Box01_Mesh Steel true true one one\n", 0, -1, -1, -1, -1,
         "Unable to find material named: Steel\n"},
        {"setchannel Box01_Mesh Other true true one one\n", 0, -1, -1, -1, -1,
         "Material named Other is not assigned to a channel of mesh named Box01_Mesh"},
    };
    for (const auto& c : cases) {
        m_Mesh->ActivateChannel(0, FALSE);
        m_Mesh->LitChannel(0, FALSE);
        m_Mesh->SetChannelSourceBlend(0, 4);
        m_Mesh->SetChannelDestBlend(0, 4);
        EXPECT_EQ(Read(c.line), c.applied) << c.line;
        if (c.log) {
            EXPECT_NE(m_Log.m_Text.find(c.log), std::string::npos) << c.line << m_Log.m_Text;
        }
        if (c.applied) {
            EXPECT_EQ(m_Mesh->IsChannelActive(0), c.active) << c.line;
            EXPECT_EQ(m_Mesh->IsChannelLit(0), c.lit) << c.line;
            EXPECT_EQ(m_Mesh->GetChannelSourceBlend(0), c.source) << c.line;
            EXPECT_EQ(m_Mesh->GetChannelDestBlend(0), c.dest) << c.line;
        } else {
            EXPECT_EQ(m_Mesh->GetChannelSourceBlend(0), 4) << c.line << ": a failed line changes nothing";
        }
    }
}

TEST_F(ChannelFile, ReadsEveryLineWholeAndCountsThoseApplied)
{
    std::string longName(1000, 'm');
    const std::string text = "setchannel Box01_Mesh Glass true true one one\n" + longName + "\n" +
                             "setchannel Box01_Mesh Glass true true zero srcalpha\r\n"
                             "setchannel Box01_Mesh Glass true true one invsrcalpha";
    EXPECT_EQ(Read(text), 3);
    EXPECT_EQ(m_Mesh->GetChannelDestBlend(0), 6);
    EXPECT_NE(m_Log.m_Text.find("Reading Channels from "), std::string::npos);
    EXPECT_NE(m_Log.m_Text.find("Invalid Argument Count for: " + longName + "\n"), std::string::npos)
        << "a long line is one line";
}

TEST_F(ChannelFile, AMissingFileReadsNothing)
{
    const std::string path = m_Dir.File("absent.txt");
    EXPECT_EQ(m_Builder->ReadChannels(path.c_str()), -1);
    EXPECT_EQ(m_Log.m_Text, "FAILED Reading Channels from " + path + "\n");
    m_Builder->log = nullptr;
    EXPECT_EQ(m_Builder->ReadChannels(nullptr), -1) << "no log, no name: still -1";
}

TEST_F(ChannelFile, NamesAreFoundInCreationOrderAfterRemovals)
{
    // A second mesh of the same name made later is not the one found, even
    // once an earlier object has left the builder's lists.
    CKMesh* later = MakeStrip("Box01_Mesh", 1, {m_Other});
    later->AddChannel(m_Glass, TRUE);
    m_Builder->DestroyObject(MakeMaterial("Gone"), 0);
    EXPECT_EQ(Read("setchannel Box01_Mesh Glass true true one srcalpha\n"), 1);
    EXPECT_EQ(m_Mesh->GetChannelDestBlend(0), 5);
    EXPECT_NE(later->GetChannelDestBlend(0), 5);
}
