#include "system/config/QxConfiguration.h"

#include <cstring>
#include <string>

#include "includes/XArray.h"
#include "system/io/QxFile.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

// [begin, end) without its leading and trailing spaces, tabs and line feeds.
void Trim(const char*& begin, const char*& end)
{
    while (begin < end && IsBlank(*begin))
        ++begin;
    while (end > begin && IsBlank(end[-1]))
        --end;
}

XString Text(const char* begin, const char* end)
{
    XString out;
    if (end > begin)
        out.Assign(begin, static_cast<int>(end - begin));
    return out;
}

// Parses the lines of a text, one at a time, into a tree.
class ConfigurationReader
{
public:
    explicit ConfigurationReader(QxConfigurationSection* root) : m_Current(root) {}

    // Handles one line (without its line feed); false with the message on a
    // faulty line.
    bool HandleLine(const char* begin, const char* end, XString& error)
    {
        // A NUL ends the line's text, as it ends a C string.
        if (const void* nul = std::memchr(begin, '\0', static_cast<size_t>(end - begin)))
            end = static_cast<const char*>(nul);
        if (end > begin && end[-1] == '\r')
            --end;
        Trim(begin, end);
        if (begin == end || *begin == '#')
            return true;
        if (*begin == '<')
            return HandleTag(begin + 1, end, error);

        const char* equal = static_cast<const char*>(std::memchr(begin, '=', static_cast<size_t>(end - begin)));
        if (!equal) {
            error = "can't find equal ('=') separator";
            return false;
        }
        const char* nameBegin = begin;
        const char* nameEnd = equal;
        const char* valueBegin = equal + 1;
        const char* valueEnd = end;
        Trim(nameBegin, nameEnd);
        Trim(valueBegin, valueEnd);
        XString name = Text(nameBegin, nameEnd);
        XString value = Text(valueBegin, valueEnd);
        m_Current->AddEntry(name.CStr(), value.CStr(), nullptr);
        return true;
    }

private:
    bool HandleTag(const char* begin, const char* end, XString& error)
    {
        const char* close = nullptr;
        for (const char* p = end; p > begin; --p)
            if (p[-1] == '>') {
                close = p - 1;
                break;
            }
        if (!close) {
            error = "can't find end of section tag";
            return false;
        }
        if (begin < close && *begin == '/') {
            XString name = Text(begin + 1, close);
            // The root has nothing to close: it is reported like any other
            // mismatch instead of leaving the reader without a section.
            if (name.CompareCString(m_Current->GetName()) != 0 || !m_Current->GetParent()) {
                error = "closing bad section : ";
                error += name;
                error += " != ";
                error += m_Current->GetName();
                return false;
            }
            m_Current = m_Current->GetParent();
            return true;
        }
        XString name = Text(begin, close);
        QxConfigurationSection* section = m_Current->CreateSubSection(name.CStr());
        if (!section) {
            error = "can't create subsection ";
            error += name;
            error += " in ";
            error += m_Current->GetName();
            return false;
        }
        m_Current = section;
        return true;
    }

    QxConfigurationSection* m_Current;
};

// Appends the text without line feeds and carriage returns.
void AppendClean(std::string& out, const char* text)
{
    for (const char* p = text; *p; ++p)
        if (*p != '\n' && *p != '\r')
            out += *p;
}

// Indentation is for the eye only (the reader ignores it); it stops growing
// here so that a pathologically deep tree is written in linear size.
constexpr int kMaxIndent = 256;

void Indent(std::string& out, int depth)
{
    out.append(static_cast<size_t>(depth < kMaxIndent ? depth : kMaxIndent), ' ');
}

void AppendEntries(std::string& out, QxConfigurationSection* section, int indent)
{
    QxConfigurationSection::EntryIterator it;
    for (QxConfigurationEntry* entry = section->GetFirstEntry(it); entry; entry = section->GetNextEntry(it)) {
        Indent(out, indent);
        AppendClean(out, entry->GetName());
        out += " = ";
        AppendClean(out, entry->GetValue());
        out += '\n';
    }
}

} // namespace

QxConfiguration::QxConfiguration(CKWORD indentStep)
    : m_Root(new QxConfigurationSection(nullptr, "root")), m_IndentStep(indentStep)
{}

QxConfiguration::~QxConfiguration()
{
    delete m_Root;
}

int QxConfiguration::AddEntry(const char* section, const char* entry, const char* value,
                              QxConfigurationEntry** existing)
{
    if (existing)
        *existing = nullptr;
    QxConfigurationSection* target = m_Root;
    if (section && *section)
        target = m_Root->CreateSubSectionByPath(section, TRUE);
    if (!target)
        return 0;
    target->AddEntry(entry, value, existing);
    return 1;
}

QxConfigurationSection* QxConfiguration::GetSubSection(const char* path, CKBOOL usePath)
{
    return m_Root->GetSubSectionByPath(path, usePath);
}

QxConfigurationSection* QxConfiguration::GetFirstSection(QxConfigurationSection::SectionIterator& it)
{
    return m_Root->GetFirstSubSection(it);
}

QxConfigurationSection* QxConfiguration::GetNextSection(QxConfigurationSection::SectionIterator& it)
{
    return m_Root->GetNextSubSection(it);
}

int QxConfiguration::ReadFromText(const char* text, CKDWORD size, int* counter, XString* error)
{
    XString scratchError;
    XString& message = error ? *error : scratchError;
    int scratchCounter = 0;
    int& lines = counter ? *counter : scratchCounter;
    m_Root->Clear();
    lines = 0;
    if (!text && size)
        size = 0;

    ConfigurationReader reader(m_Root);
    const char* p = text;
    const char* end = text + size;
    while (p < end) {
        const char* feed = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* lineEnd = feed ? feed : end;
        if (!reader.HandleLine(p, lineEnd, message))
            return 0;
        ++lines;
        p = feed ? feed + 1 : end;
    }
    message = "OK";
    return 1;
}

int QxConfiguration::ReadFromFile(const char* fileName, int* counter, XString* error)
{
    m_Root->Clear();
    if (!fileName) {
        if (error)
            *error = "null filename";
        return 0;
    }
    QxFile file;
    if (!file.Open(fileName, QX_FILE_TEXT_READ)) {
        if (error) {
            *error = "can't open file : ";
            *error += fileName;
        }
        return 0;
    }
    // The whole file is read before parsing: its size is what the disk
    // holds, never a number taken from its contents.
    std::string text;
    char block[65536];
    for (;;) {
        CKDWORD got = file.Read(block, sizeof(block));
        text.append(block, got);
        if (got < sizeof(block))
            break;
    }
    bool readFailed = !file.IsValid() || text.size() > 0xFFFFFFFFull;
    file.Close();
    if (readFailed) {
        if (counter)
            *counter = 0;
        if (error)
            *error = "Fails at the end.";
        return 0;
    }
    return ReadFromText(text.data(), static_cast<CKDWORD>(text.size()), counter, error);
}

int QxConfiguration::WriteToFile(const char* fileName)
{
    if (!fileName)
        return 0;
    QxFile file;
    if (!file.Open(fileName, QX_FILE_TEXT_WRITE))
        return 0;

    std::string out;
    AppendEntries(out, m_Root, 0);

    // Depth-first without recursion: each open section keeps its iterator.
    struct Level
    {
        QxConfigurationSection* section;
        QxConfigurationSection::SectionIterator it;
        int depth;
    };
    XArray<Level*> stack;
    bool ok = true;
    auto flush = [&]() {
        if (out.size() >= 65536) {
            ok = ok && file.Write(out.data(), static_cast<CKDWORD>(out.size())) == out.size();
            out.clear();
        }
    };
    auto open = [&](QxConfigurationSection* section, int depth) {
        Indent(out, depth);
        out += '<';
        AppendClean(out, section->GetName());
        out += ">\n";
        AppendEntries(out, section, depth + m_IndentStep);
        Level* level = new Level{section, {}, depth};
        stack.PushBack(level);
        return section->GetFirstSubSection(level->it);
    };

    QxConfigurationSection::SectionIterator rootIt;
    for (QxConfigurationSection* top = m_Root->GetFirstSubSection(rootIt); top && ok;
         top = m_Root->GetNextSubSection(rootIt)) {
        QxConfigurationSection* child = open(top, 0);
        while (!stack.IsEmpty()) {
            Level* level = stack[stack.Size() - 1];
            if (child) {
                int depth = level->depth + m_IndentStep;
                child = open(child, depth < kMaxIndent ? depth : kMaxIndent);
            } else {
                Indent(out, level->depth);
                out += "</";
                AppendClean(out, level->section->GetName());
                out += ">\n";
                stack.RemoveAt(stack.Size() - 1);
                delete level;
                if (!stack.IsEmpty()) {
                    Level* parent = stack[stack.Size() - 1];
                    child = parent->section->GetNextSubSection(parent->it);
                }
            }
            flush();
        }
    }
    for (Level* level : stack)
        delete level;
    if (ok && !out.empty())
        ok = file.Write(out.data(), static_cast<CKDWORD>(out.size())) == out.size();
    if (!file.Close())
        ok = false;
    return ok ? 1 : 0;
}
