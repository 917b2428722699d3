#include "system/config/QxConfigurationSection.h"

#include <cstring>

#include "includes/XArray.h"

namespace {
// Finds the next level name of a dotted path: [begin, end) and the start of
// the rest (null when this was the last level).
const char* NextLevel(const char* path, XString& level)
{
    const char* dot = std::strchr(path, '.');
    if (!dot) {
        level = path;
        return nullptr;
    }
    level.Assign(path, static_cast<int>(dot - path));
    if (dot == path)
        level = "";
    return dot + 1;
}

// Goes down the dotted path from section, one level at a time through step
// (which gets or makes the named sub-section); null when a step gives null.
template <class Step>
QxConfigurationSection* FollowPath(QxConfigurationSection* section, const char* path, Step step)
{
    XString level;
    const char* rest = path;
    while (section) {
        rest = NextLevel(rest, level);
        section = step(section, level.CStr());
        if (!rest)
            break;
    }
    return section;
}
} // namespace

QxConfigurationSection::QxConfigurationSection(QxConfigurationSection* parent, const char* name)
    : m_Parent(parent), m_Name(name)
{}

QxConfigurationSection::~QxConfigurationSection()
{
    Clear();
}

QxConfigurationSection* QxConfigurationSection::GetSubSection(const char* name)
{
    QxConfigurationSection** found = m_SubSections.FindPtr(name ? name : "");
    return found ? *found : nullptr;
}

QxConfigurationSection* QxConfigurationSection::GetSubSectionByPath(const char* path, CKBOOL usePath)
{
    if (!usePath || !path)
        return GetSubSection(path);
    return FollowPath(this, path,
                      [](QxConfigurationSection* section, const char* name) { return section->GetSubSection(name); });
}

QxConfigurationSection* QxConfigurationSection::CreateSubSection(const char* name)
{
    if (!name || !*name || *name == '/' || std::strpbrk(name, "\r\n"))
        return nullptr;
    if (QxConfigurationSection* existing = GetSubSection(name))
        return existing;
    QxConfigurationSection* section = new QxConfigurationSection(this, name);
    m_SubSections.Insert(XString(name), section);
    return section;
}

namespace {
// Whether every level of a dotted path can be a section name, so that a
// path is made whole or not at all.
bool IsValidPath(const char* path)
{
    for (const char* level = path;;) {
        const char* dot = std::strchr(level, '.');
        size_t length = dot ? static_cast<size_t>(dot - level) : std::strlen(level);
        if (length == 0 || *level == '/')
            return false;
        if (!dot)
            return true;
        level = dot + 1;
    }
}
} // namespace

QxConfigurationSection* QxConfigurationSection::CreateSubSectionByPath(const char* path, CKBOOL usePath)
{
    if (!usePath || !path)
        return CreateSubSection(path);
    if (!IsValidPath(path) || std::strpbrk(path, "\r\n"))
        return nullptr;
    return FollowPath(
        this, path, [](QxConfigurationSection* section, const char* name) { return section->CreateSubSection(name); });
}

QxConfigurationEntry* QxConfigurationSection::GetEntry(const char* name)
{
    QxConfigurationEntry** found = m_Entries.FindPtr(name ? name : "");
    return found ? *found : nullptr;
}

QxConfigurationEntry* QxConfigurationSection::AddEntry(const char* name, const char* value,
                                                       QxConfigurationEntry** existing)
{
    if (!name)
        name = "";
    QxConfigurationEntry* entry = GetEntry(name);
    if (existing)
        *existing = entry;
    if (entry) {
        entry->SetValue(value);
        return entry;
    }
    entry = new QxConfigurationEntry(this, name, value);
    m_Entries.Insert(XString(name), entry);
    return entry;
}

QxConfigurationEntry* QxConfigurationSection::GetFirstEntry(EntryIterator& it)
{
    it = m_Entries.Begin();
    return it == m_Entries.End() ? nullptr : *it;
}

QxConfigurationEntry* QxConfigurationSection::GetNextEntry(EntryIterator& it)
{
    if (it == m_Entries.End())
        return nullptr;
    ++it;
    return it == m_Entries.End() ? nullptr : *it;
}

QxConfigurationSection* QxConfigurationSection::GetFirstSubSection(SectionIterator& it)
{
    it = m_SubSections.Begin();
    return it == m_SubSections.End() ? nullptr : *it;
}

QxConfigurationSection* QxConfigurationSection::GetNextSubSection(SectionIterator& it)
{
    if (it == m_SubSections.End())
        return nullptr;
    ++it;
    return it == m_SubSections.End() ? nullptr : *it;
}

void QxConfigurationSection::Clear()
{
    // A tree read from a file can be as deep as the file has lines: the
    // subsections are gathered into a list first and deleted once emptied,
    // so no destructor ever recurses.
    XArray<QxConfigurationSection*> pending;
    for (QxConfigurationSection* child : m_SubSections)
        pending.PushBack(child);
    m_SubSections.Clear();
    for (QxConfigurationEntry* entry : m_Entries)
        delete entry;
    m_Entries.Clear();
    while (!pending.IsEmpty()) {
        QxConfigurationSection* section = pending[pending.Size() - 1];
        pending.RemoveAt(pending.Size() - 1);
        for (QxConfigurationSection* child : section->m_SubSections)
            pending.PushBack(child);
        section->m_SubSections.Clear();
        delete section; // its own Clear finds nothing below it
    }
}
