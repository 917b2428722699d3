#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "includes/XString.h"

// A long random sequence of string operations checked against std::string
// after every step.
namespace {

const char kAlphabet[] = "abAB/ ,.x\xe9";

class Model
{
public:
    explicit Model(unsigned seed) : m_Rng(seed) {}

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_Rng); }

    std::string Text(int maxLength)
    {
        std::string s(Int(0, maxLength), ' ');
        for (char& c : s)
            c = kAlphabet[Int(0, (int) sizeof(kAlphabet) - 2)];
        return s;
    }

private:
    std::mt19937 m_Rng;
};

int Clamp(int v, int lo, int hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

int ModelCompare(const std::string& a, const std::string& b)
{
    if (a.empty())
        return -(int) b.size();
    if (b.empty())
        return (int) a.size();
    for (size_t i = 0;; ++i) {
        int ca = i < a.size() ? (signed char) a[i] : 0;
        int cb = i < b.size() ? (signed char) b[i] : 0;
        if (ca != cb)
            return ca - cb;
        if (ca == 0)
            return 0;
    }
}

int ModelFind(const std::string& s, const std::string& what, int start)
{
    if (s.empty() || what.empty())
        return -1;
    size_t from = (size_t) (start < 0 ? 0 : start);
    if (from >= s.size())
        return -1;
    size_t at = s.find(what, from);
    return at == std::string::npos ? -1 : (int) at;
}

int ModelRFind(const std::string& s, char c, int before)
{
    size_t end = (unsigned) before > s.size() ? s.size() : (size_t) before;
    for (size_t i = end; i > 0; --i)
        if (s[i - 1] == c)
            return (int) (i - 1);
    return -1;
}

int ModelReplace(std::string& s, const std::string& from, const std::string& to)
{
    if (s.empty() || from.empty())
        return 0;
    std::string out;
    int count = 0;
    size_t pos = 0;
    for (size_t hit; (hit = s.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
        out.append(s, pos, hit - pos);
        out += to;
        ++count;
    }
    out.append(s, pos, std::string::npos);
    s = out;
    return count;
}

std::vector<std::string> ModelTokens(const std::string& s, const char* delims)
{
    std::vector<std::string> tokens;
    std::string current;
    for (char c : s) {
        if (std::string(delims).find(c) != std::string::npos) {
            if (!current.empty())
                tokens.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        tokens.push_back(current);
    return tokens;
}

std::string Lowered(std::string s)
{
    for (char& c : s)
        c = (char) std::tolower((unsigned char) c);
    return s;
}

std::string Uppered(std::string s)
{
    for (char& c : s)
        c = (char) std::toupper((unsigned char) c);
    return s;
}

TEST(XStringDifferential, RandomOperationsMatchAStdStringModel)
{
    Model rng(1234);
    XString s;
    std::string m;
    for (int step = 0; step < 20000; ++step) {
        int op = rng.Int(0, 20);
        std::string text = rng.Text(12);
        switch (op) {
        case 0:
            s += text.c_str();
            m += text;
            break;
        case 1:
            s += XString(text.c_str());
            m += text;
            break;
        case 2: {
            char c = kAlphabet[rng.Int(0, (int) sizeof(kAlphabet) - 2)];
            s += c;
            m += c;
            break;
        }
        case 3: {
            int v = rng.Int(-100000, 100000);
            s += v;
            m += std::to_string(v);
            break;
        }
        case 4: {
            float f = (float) rng.Int(-100000, 100000) / 64.0f;
            s += f;
            char buf[64];
            std::snprintf(buf, sizeof(buf), "%f", (double) f);
            m += buf;
            break;
        }
        case 5: {
            int len = rng.Int(-1, (int) text.size());
            s.SetText(text.c_str(), len);
            m = len > 0 ? text.substr(0, (size_t) len) : std::string();
            break;
        }
        case 6:
            s = text.c_str();
            m = text;
            break;
        case 7: {
            std::string from = rng.Text(2), to = rng.Text(3);
            int got = s.Replace(XString(from.c_str()), XString(to.c_str()));
            EXPECT_EQ(got, ModelReplace(m, from, to)) << step;
            break;
        }
        case 8: {
            int start = rng.Int(-3, (int) m.size() + 3), len = rng.Int(-3, (int) m.size() + 3);
            s.Crop(start, len);
            int from = Clamp(start, 0, (int) m.size());
            int count = Clamp(len, 0, (int) m.size() - from);
            m = m.substr((size_t) from, (size_t) count);
            break;
        }
        case 9: {
            int start = rng.Int(-3, (int) m.size() + 3), count = rng.Int(-3, (int) m.size() + 3);
            s.Cut(start, count);
            int from = Clamp(start, 0, (int) m.size());
            m.erase((size_t) from, (size_t) Clamp(count, 0, (int) m.size() - from));
            break;
        }
        case 10: {
            int start = rng.Int(-3, (int) m.size() + 3), len = rng.Int(-3, (int) m.size() + 3);
            XString sub = s.Substring(start, len);
            int from = Clamp(start, 0, (int) m.size());
            int count = (int) m.size() - from;
            if (len > 0 && len < count)
                count = len;
            EXPECT_EQ(std::string(sub.CStr()), m.substr((size_t) from, (size_t) count)) << step;
            break;
        }
        case 11: {
            int start = rng.Int(-3, (int) m.size() + 3);
            std::string what = rng.Text(2);
            EXPECT_EQ(s.Find(XString(what.c_str()), start), ModelFind(m, what, start)) << step;
            if (!what.empty()) {
                EXPECT_EQ(s.Find(what[0], start), ModelFind(m, what.substr(0, 1), start)) << step;
            }
            break;
        }
        case 12: {
            char c = kAlphabet[rng.Int(0, (int) sizeof(kAlphabet) - 2)];
            int before = rng.Int(-1, (int) m.size() + 3);
            EXPECT_EQ(s.RFind(c, before), ModelRFind(m, c, before)) << step;
            break;
        }
        case 13: {
            // Mostly short; now and then up to 100,000 characters.
            int len = rng.Int(0, 20) == 0 ? rng.Int(0, 100000) : rng.Int(0, 40);
            std::string big(len, 'f');
            int n = rng.Int(0, 999);
            s.Format("%s<%d>%s", big.c_str(), n, text.c_str());
            m = big + "<" + std::to_string(n) + ">" + text;
            break;
        }
        case 14:
            s.ToUpper();
            m = Uppered(m);
            break;
        case 15:
            s.ToLower();
            m = Lowered(m);
            break;
        case 16: {
            XString copy(s);
            XStringTokenizer tok(copy, " ,");
            std::vector<std::string> tokens;
            for (const char* t = tok.NextToken(nullptr); t; t = tok.NextToken(t))
                tokens.push_back(t);
            EXPECT_EQ(tokens, ModelTokens(m, " ,")) << step;
            break;
        }
        case 17: {
            int start = rng.Int(-3, (int) m.size() + 3);
            XString other(s);
            s.AssignSubstring(other, start);
            m = m.substr((size_t) Clamp(start, 0, (int) m.size()));
            break;
        }
        case 18:
            EXPECT_EQ(s.Compare(XString(text.c_str())), ModelCompare(m, text)) << step;
            EXPECT_EQ(s.ICompare(XString(text.c_str())), ModelCompare(Lowered(m), Lowered(text))) << step;
            EXPECT_EQ(s == text.c_str(), m == text) << step;
            break;
        case 19:
            s = s + text.c_str();
            m += text;
            break;
        case 20:
            s.Assign(text.c_str(), (int) text.size());
            m = text;
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
