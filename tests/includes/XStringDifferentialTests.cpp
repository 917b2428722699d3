#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "includes/XString.h"

// A long random sequence of string operations checked against std::string
// after every step.
namespace {

const char kAlphabet[] = "abAB/ ,.x\xe9";

int ModelCompare(const std::string& a, const std::string& b)
{
    if (a.empty() || b.empty())
        return (int) a.size() - (int) b.size();
    for (size_t i = 0;; ++i) {
        int ca = i < a.size() ? (signed char) a[i] : 0, cb = i < b.size() ? (signed char) b[i] : 0;
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

int ModelReplace(std::string& s, const std::string& from, const std::string& to)
{
    if (s.empty() || from.empty())
        return 0;
    std::string out;
    int count = 0;
    size_t pos = 0;
    for (size_t hit; (hit = s.find(from, pos)) != std::string::npos; pos = hit + from.size(), ++count)
        out += s.substr(pos, hit - pos) + to;
    s = out + s.substr(pos);
    return count;
}

std::string Cased(std::string s, int (*change)(int))
{
    for (char& c : s)
        c = (char) change((unsigned char) c);
    return s;
}

TEST(XStringDifferential, RandomOperationsMatchAStdStringModel)
{
    std::mt19937 engine(1234);
    auto pick = [&engine](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine); };
    auto text = [&](int maxLength) {
        std::string t((size_t) pick(0, maxLength), ' ');
        for (char& c : t)
            c = kAlphabet[pick(0, (int) sizeof(kAlphabet) - 2)];
        return t;
    };
    auto clamp = [](int v, int lo, int hi) { return std::clamp(v, lo, std::max(lo, hi)); };
    auto find = [](const std::string& in, const std::string& what, int start) {
        const size_t at = in.empty() || what.empty() ? std::string::npos : in.find(what, (size_t) std::max(start, 0));
        return at == std::string::npos ? -1 : (int) at;
    };
    XString s;
    std::string m;
    for (int step = 0; step < 20000; ++step) {
        int op = pick(0, 20);
        const std::string txt = text(12);
        switch (op) {
        case 0:
            s += txt.c_str();
            m += txt;
            break;
        case 1:
            s += XString(txt.c_str());
            m += txt;
            break;
        case 2: {
            char c = kAlphabet[pick(0, (int) sizeof(kAlphabet) - 2)];
            s += c;
            m += c;
            break;
        }
        case 3: {
            int v = pick(-100000, 100000);
            s += v;
            m += std::to_string(v);
            break;
        }
        case 4: {
            float f = (float) pick(-100000, 100000) / 64.0f;
            s += f;
            char buf[64];
            std::snprintf(buf, sizeof(buf), "%f", (double) f);
            m += buf;
            break;
        }
        case 5: {
            int len = pick(-1, (int) txt.size());
            s.SetText(txt.c_str(), len);
            m = len > 0 ? txt.substr(0, (size_t) len) : std::string();
            break;
        }
        case 6:
            s = txt.c_str();
            m = txt;
            break;
        case 7: {
            std::string from = text(2), to = text(3);
            int got = s.Replace(XString(from.c_str()), XString(to.c_str()));
            EXPECT_EQ(got, ModelReplace(m, from, to)) << step;
            break;
        }
        case 8: {
            int start = pick(-3, (int) m.size() + 3), len = pick(-3, (int) m.size() + 3);
            s.Crop(start, len);
            int from = clamp(start, 0, (int) m.size());
            int count = clamp(len, 0, (int) m.size() - from);
            m = m.substr((size_t) from, (size_t) count);
            break;
        }
        case 9: {
            int start = pick(-3, (int) m.size() + 3), count = pick(-3, (int) m.size() + 3);
            s.Cut(start, count);
            int from = clamp(start, 0, (int) m.size());
            m.erase((size_t) from, (size_t) clamp(count, 0, (int) m.size() - from));
            break;
        }
        case 10: {
            int start = pick(-3, (int) m.size() + 3), len = pick(-3, (int) m.size() + 3);
            XString sub = s.Substring(start, len);
            int from = clamp(start, 0, (int) m.size());
            int count = (int) m.size() - from;
            if (len > 0 && len < count)
                count = len;
            EXPECT_EQ(std::string(sub.CStr()), m.substr((size_t) from, (size_t) count)) << step;
            break;
        }
        case 11: {
            int start = pick(-3, (int) m.size() + 3);
            std::string what = text(2);
            EXPECT_EQ(s.Find(XString(what.c_str()), start), find(m, what, start)) << step;
            if (!what.empty()) {
                EXPECT_EQ(s.Find(what[0], start), find(m, what.substr(0, 1), start)) << step;
            }
            break;
        }
        case 12: {
            char c = kAlphabet[pick(0, (int) sizeof(kAlphabet) - 2)];
            int before = pick(-1, (int) m.size() + 3);
            EXPECT_EQ(s.RFind(c, before), (before < 0 || before > (int) m.size() ? (int) m.rfind(c)
                                           : before == 0                         ? -1
                                                         : (int) m.rfind(c, (size_t) before - 1)))
                << step;
            break;
        }
        case 13: {
            // Mostly short; now and then up to 100,000 characters.
            int len = pick(0, 20) == 0 ? pick(0, 100000) : pick(0, 40);
            std::string big(len, 'f');
            int n = pick(0, 999);
            s.Format("%s<%d>%s", big.c_str(), n, txt.c_str());
            m = big + "<" + std::to_string(n) + ">" + txt;
            break;
        }
        case 14:
            s.ToUpper();
            m = Cased(m, ::toupper);
            break;
        case 15:
            s.ToLower();
            m = Cased(m, ::tolower);
            break;
        case 16: {
            XString copy(s);
            XStringTokenizer tok(copy, " ,");
            std::vector<std::string> tokens;
            for (const char* t = tok.NextToken(nullptr); t; t = tok.NextToken(t))
                tokens.push_back(t);
            std::vector<std::string> expected(1);
            for (char c : m)
                if (c != ' ' && c != ',')
                    expected.back() += c;
                else if (!expected.back().empty())
                    expected.emplace_back();
            if (expected.back().empty())
                expected.pop_back();
            EXPECT_EQ(tokens, expected) << step;
            break;
        }
        case 17: {
            int start = pick(-3, (int) m.size() + 3);
            XString other(s);
            s.AssignSubstring(other, start);
            m = m.substr((size_t) clamp(start, 0, (int) m.size()));
            break;
        }
        case 18:
            EXPECT_EQ(s.Compare(XString(txt.c_str())), ModelCompare(m, txt)) << step;
            EXPECT_EQ(s.ICompare(XString(txt.c_str())), ModelCompare(Cased(m, ::tolower), Cased(txt, ::tolower)))
                << step;
            EXPECT_EQ(s == txt.c_str(), m == txt) << step;
            break;
        case 19:
            s = s + txt.c_str();
            m += txt;
            break;
        case 20:
            s.Assign(txt.c_str(), (int) txt.size());
            m = txt;
            break;
        }
        // Keep the string short so the run stays fast.
        if (m.size() > 400) {
            s.Crop(0, 100);
            m.resize(100);
        }
        ASSERT_EQ((size_t) s.Length(), m.size()) << "step " << step << " op " << op;
        ASSERT_EQ(std::string(s.CStr(), (size_t) s.Length()), m) << "step " << step << " op " << op;
        ASSERT_EQ(s.CStr()[s.Length()], 0) << step;
        ASSERT_GE(s.Capacity(), s.Length() == 0 ? 0 : s.Length() + 1) << step;
    }
}

} // namespace
