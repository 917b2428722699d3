#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "system/config/QxConfiguration.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPaths.h"

namespace {

struct ReadResult
{
    int ok;
    int counter;
    std::string error;
};

ReadResult ReadText(QxConfiguration& config, const std::string& text)
{
    TestTempDir dir;
    TestWriteFile(dir.File("c.txt"), text);
    ReadResult r{0, -1, ""};
    XString error;
    r.ok = config.ReadFromFile(dir.File("c.txt").c_str(), &r.counter, &error);
    r.error = error.CStr();
    return r;
}

// The tree as text in a fixed form, for comparisons (order included).
void Dump(QxConfigurationSection* section, std::string& out, int depth)
{
    QxConfigurationSection::EntryIterator e;
    for (QxConfigurationEntry* entry = section->GetFirstEntry(e); entry; entry = section->GetNextEntry(e))
        out += std::string(depth, '.') + "E[" + entry->GetName() + "]=[" + entry->GetValue() + "]\n";
    QxConfigurationSection::SectionIterator s;
    for (QxConfigurationSection* sub = section->GetFirstSubSection(s); sub; sub = section->GetNextSubSection(s)) {
        out += std::string(depth, '.') + "S[" + sub->GetName() + "]\n";
        Dump(sub, out, depth + 1);
    }
}

std::string Dump(QxConfiguration& config)
{
    std::string out;
    Dump(config.GetRoot(), out, 0);
    return out;
}

} // namespace

TEST(QxConfiguration, WritesTheIndentedFormAndLongLines)
{
    TestTempDir dir;
    QxConfiguration config(2);
    config.AddEntry(nullptr, "a", "1", nullptr);
    config.AddEntry("s", "b", "2", nullptr);
    config.AddEntry("s.t", "c", "3", nullptr);
    ASSERT_EQ(config.WriteToFile(dir.File("out.txt").c_str()), 1);
    EXPECT_EQ(TestReadFile(dir.File("out.txt")), "a = 1\n<s>\n  b = 2\n  <t>\n    c = 3\n  </t>\n</s>\n");

    QxConfiguration wide(4);
    wide.AddEntry("x.y", "k", "v", nullptr);
    ASSERT_EQ(wide.WriteToFile(dir.File("wide.txt").c_str()), 1);
    EXPECT_EQ(TestReadFile(dir.File("wide.txt")), "<x>\n    <y>\n        k = v\n    </y>\n</x>\n");

    EXPECT_EQ(config.WriteToFile(dir.File("missing/dir/out.txt").c_str()), 0);
    EXPECT_EQ(config.WriteToFile(nullptr), 0);
    // Long lines come back whole; a missing final line feed loses nothing.
    std::string value(100000, 'v');
    value[500] = '=';
    value[70000] = ' ';
    QxConfiguration longer;
    longer.AddEntry("s", "long", value.c_str(), nullptr);
    ASSERT_EQ(longer.WriteToFile(dir.File("long.txt").c_str()), 1);
    QxConfiguration back;
    XString error;
    int counter = 0;
    ASSERT_EQ(back.ReadFromFile(dir.File("long.txt").c_str(), &counter, &error), 1);
    EXPECT_EQ(counter, 3);
    EXPECT_EQ(std::string(back.GetSubSection("s")->GetEntry("long")->GetValue()), value);

    QxConfiguration last;
    ReadResult r = ReadText(last, "a = 1\nb = 2");
    EXPECT_EQ(r.ok, 1);
    EXPECT_EQ(r.counter, 2);
    EXPECT_STREQ(last.GetRoot()->GetEntry("b")->GetValue(), "2");
    // The writer leaves line breaks out of names and values.
    last.Clear();
    last.AddEntry(nullptr, "na\nme", "line one\nline two\r", nullptr);
    ASSERT_EQ(last.WriteToFile(dir.File("o.txt").c_str()), 1);
    EXPECT_EQ(TestReadFile(dir.File("o.txt")), "name = line oneline two\n");
}

TEST(QxConfiguration, SectionPathsAndLookups)
{
    QxConfiguration config;
    config.AddEntry("a.b.c", "k", "v", nullptr);
    QxConfigurationSection* root = config.GetRoot();
    EXPECT_STREQ(root->GetName(), "root");
    QxConfigurationSection* c = root->GetSubSectionByPath("a.b.c", TRUE);
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->GetName(), "c");
    EXPECT_STREQ(c->GetParent()->GetParent()->GetName(), "a");
    EXPECT_EQ(root->GetSubSectionByPath("a.b.c", FALSE), nullptr);
    EXPECT_EQ(root->GetSubSectionByPath("a.x.c", TRUE), nullptr);
    EXPECT_EQ(root->GetSubSectionByPath("a.b.", TRUE), nullptr);
    EXPECT_EQ(config.GetSubSection("a.b"), c->GetParent());
    QxConfigurationSection* dotted = root->CreateSubSection("with.dot");
    ASSERT_NE(dotted, nullptr);
    EXPECT_EQ(root->GetSubSection("with.dot"), dotted);
    EXPECT_EQ(root->CreateSubSection(""), nullptr);
    EXPECT_EQ(root->CreateSubSection("/x"), nullptr);
    EXPECT_EQ(root->CreateSubSection("a\nb"), nullptr);
    QxConfigurationSection* q = root->CreateSubSectionByPath("p.q", TRUE);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(root->GetSubSectionByPath("p.q", TRUE), q);
    // A path with a level that cannot be made creates none of its levels.
    EXPECT_EQ(root->CreateSubSectionByPath("new.", TRUE), nullptr);
    EXPECT_EQ(root->CreateSubSectionByPath("new./x", TRUE), nullptr);
    EXPECT_EQ(root->GetSubSection("new"), nullptr);
    EXPECT_EQ(c->GetEntry("k")->GetSection(), c);
    EXPECT_EQ(c->GetEntry("K"), nullptr); // names are case-sensitive

    // Adding reports the entry it replaced; a bad path adds nothing.
    QxConfigurationEntry* existing = reinterpret_cast<QxConfigurationEntry*>(1);
    EXPECT_EQ(config.AddEntry("Globals", "StartingFlags", "a", &existing), 1);
    EXPECT_EQ(existing, nullptr);
    EXPECT_EQ(config.AddEntry("Globals", "StartingFlags", "b", &existing), 1);
    ASSERT_NE(existing, nullptr);
    EXPECT_STREQ(existing->GetValue(), "b");
    EXPECT_STREQ(existing->GetName(), "StartingFlags");
    EXPECT_STREQ(existing->GetSection()->GetName(), "Globals");
    const int sections = config.GetNumberOfSubSections();
    EXPECT_EQ(config.AddEntry("z..b", "x", "y", &existing), 0);
    EXPECT_EQ(config.GetNumberOfSubSections(), sections);
}

TEST(QxConfiguration, ReadsEntriesSectionsAndComments)
{
    QxConfiguration config;
    ReadResult r = ReadText(config, "# comment\n"
                                    "x = a=b\r\n"
                                    "\n"
                                    "  # indented comment\n"
                                    "<Globals>\r\n"
                                    "\tStartingFlags =  Disable Sound,Disable Input \t\n"
                                    "  <  spaced name  >trailing ignored\n"
                                    "    k=v\n"
                                    "  </  spaced name  >\n"
                                    "</Globals>\n"
                                    "<open>\n"
                                    "dup = 1\n"
                                    "dup = 2\n"
                                    "empty =\n");
    EXPECT_EQ(r.ok, 1);
    EXPECT_EQ(r.error, "OK");
    EXPECT_EQ(r.counter, 14);
    EXPECT_EQ(Dump(config), "E[x]=[a=b]\n"
                            "S[Globals]\n"
                            ".E[StartingFlags]=[Disable Sound,Disable Input]\n"
                            ".S[  spaced name  ]\n"
                            "..E[k]=[v]\n"
                            "S[open]\n"
                            ".E[dup]=[2]\n"
                            ".E[empty]=[]\n");
}

TEST(QxConfiguration, FaultyLinesGiveTheirMessageAndTheLinesBeforeThem)
{
    struct Case
    {
        std::string text;
        std::string error;
        int counter;
    };
    const std::vector<Case> cases = {
        {"<s>\n</t>\n", "closing bad section : t != s", 1},
        {"novalue\n", "can't find equal ('=') separator", 0},
        {"a = 1\n# c\n\nnovalue\n", "can't find equal ('=') separator", 3},
        {"<s\n", "can't find end of section tag", 0},
        {"a=1\n<s>\n<t\n", "can't find end of section tag", 2},
        {"<s>\n<t>\n</s>\n", "closing bad section : s != t", 2},
        {"<s>\n</S>\n", "closing bad section : S != s", 1},
        {"</root>\n", "closing bad section : root != root", 0},
        {"<>\n", "can't create subsection  in root", 0},
        {"<a>\n</>\n", "closing bad section :  != a", 1},
        {"<a>\n<//x>\n", "closing bad section : /x != a", 1},
        {"<a>\n</a\n", "can't find end of section tag", 1},
    };
    for (const Case& c : cases) {
        QxConfiguration config;
        ReadResult r = ReadText(config, c.text);
        EXPECT_EQ(r.ok, 0) << c.text;
        EXPECT_EQ(r.error, c.error) << c.text;
        EXPECT_EQ(r.counter, c.counter) << c.text;
    }
    // What was read before the faulty line stays.
    QxConfiguration config;
    config.AddEntry(nullptr, "stale", "1", nullptr);
    EXPECT_EQ(ReadText(config, "a = 1\n<s>\nb = 2\noops\nc = 3\n").ok, 0);
    EXPECT_EQ(Dump(config), "E[a]=[1]\nS[s]\n.E[b]=[2]\n");

    // Files that cannot be read clear the tree first.
    TestTempDir dir;
    XString error;
    int counter = -1;
    const std::string missing = dir.File("none.cfg");
    EXPECT_EQ(config.ReadFromFile(missing.c_str(), &counter, &error), 0);
    EXPECT_EQ(std::string(error.CStr()), "can't open file : " + missing);
    EXPECT_EQ(config.GetRoot()->GetNumberOfEntries() + config.GetNumberOfSubSections(), 0);
    EXPECT_EQ(config.ReadFromFile(nullptr, &counter, &error), 0);
    EXPECT_STREQ(error.CStr(), "null filename");
    EXPECT_EQ(config.ReadFromFile(missing.c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(config.ReadFromFile(dir.Path().c_str(), &counter, &error), 0); // a folder
    EXPECT_STREQ(error.CStr(), "Fails at the end.");
}

TEST(QxConfiguration, ADeepTreeIsWrittenReadAndFreedWithoutRecursion)
{
    TestTempDir dir;
    const int depth = 5000;
    QxConfiguration config;
    QxConfigurationSection* s = config.GetRoot();
    for (int i = 0; i < depth; ++i)
        s = s->CreateSubSection("n");
    s->AddEntry("k", "v", nullptr);
    ASSERT_EQ(config.WriteToFile(dir.File("deep.txt").c_str()), 1);
    QxConfiguration back;
    XString error;
    int counter = 0;
    ASSERT_EQ(back.ReadFromFile(dir.File("deep.txt").c_str(), &counter, &error), 1);
    EXPECT_EQ(counter, 2 * depth + 1);
    EXPECT_EQ(Dump(back), Dump(config));
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "<n>\n";
    ReadResult r = ReadText(back, text);
    EXPECT_EQ(r.ok, 1);
    EXPECT_EQ(r.counter, 200000);
}

TEST(QxConfiguration, RandomTreesRoundTripInOrder)
{
    std::mt19937 rng(2024);
    const std::string nameChars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.";
    const std::string valueChars = nameChars + " =,/\\:;\"'()[]<>#";
    auto randomText = [&](const std::string& chars, int minLength, int maxLength) {
        int length = minLength + static_cast<int>(rng() % (maxLength - minLength + 1));
        std::string s;
        for (int i = 0; i < length; ++i)
            s += chars[rng() % chars.size()];
        return s;
    };
    TestTempDir dir;
    for (int round = 0; round < 40; ++round) {
        CKWORD step = static_cast<CKWORD>(rng() % 5);
        QxConfiguration config(step);
        std::vector<QxConfigurationSection*> sections{config.GetRoot()};
        int operations = 1 + static_cast<int>(rng() % 60);
        for (int i = 0; i < operations; ++i) {
            QxConfigurationSection* target = sections[rng() % sections.size()];
            if (rng() % 3 == 0) {
                std::string name = randomText(nameChars, 1, 8);
                if (QxConfigurationSection* made = target->CreateSubSection(name.c_str()))
                    sections.push_back(made);
            } else {
                // Names start and end with a letter, values with a non-blank:
                // the reader trims both.
                std::string name = "k" + randomText(nameChars, 0, 6) + "z";
                std::string value = rng() % 5 ? "v" + randomText(valueChars, 0, 30) + "w" : "";
                target->AddEntry(name.c_str(), value.c_str(), nullptr);
            }
        }
        std::string path = dir.File("round.txt");
        ASSERT_EQ(config.WriteToFile(path.c_str()), 1);
        QxConfiguration back(step);
        XString error;
        int counter = 0;
        ASSERT_EQ(back.ReadFromFile(path.c_str(), &counter, &error), 1) << error.CStr() << "\n" << TestReadFile(path);
        EXPECT_EQ(Dump(back), Dump(config)) << TestReadFile(path);
        // Written again, the tree read back gives the same bytes.
        std::string first = TestReadFile(path);
        ASSERT_EQ(back.WriteToFile(path.c_str()), 1);
        EXPECT_EQ(TestReadFile(path), first);
    }
}
