#pragma once

#include "includes/XHashTable.h"
#include "includes/XString.h"
#include "system/config/QxConfigurationEntry.h"

// A named section of a configuration tree: entries and subsections, each
// kept in the order in which it was first added (the order of iteration and
// of writing). Names are case-sensitive. A section owns its entries and
// subsections.
class QxConfigurationSection
{
public:
    using EntryTable = XHashTable<QxConfigurationEntry*, XString>;
    using SectionTable = XHashTable<QxConfigurationSection*, XString>;
    using EntryIterator = EntryTable::Iterator;
    using SectionIterator = SectionTable::Iterator;

    QxConfigurationSection(QxConfigurationSection* parent, const char* name);
    ~QxConfigurationSection();
    QxConfigurationSection(const QxConfigurationSection&) = delete;
    QxConfigurationSection& operator=(const QxConfigurationSection&) = delete;

    // "" when empty.
    const char* GetName() const { return m_Name.CStr(); }
    QxConfigurationSection* GetParent() const { return m_Parent; }

    // The direct subsection of that name, or null.
    QxConfigurationSection* GetSubSection(const char* name);
    // With usePath, name is a path cut at each '.' ("a.b.c" is c of b of a);
    // null as soon as a level is missing. Without it, as GetSubSection.
    QxConfigurationSection* GetSubSectionByPath(const char* path, CKBOOL usePath);
    // The direct subsection of that name, made when absent. Null for a name
    // the text form cannot hold: null, empty, starting with '/', or holding a
    // line feed or carriage return.
    QxConfigurationSection* CreateSubSection(const char* name);
    // The same for every level of a dotted path (with usePath).
    QxConfigurationSection* CreateSubSectionByPath(const char* path, CKBOOL usePath);

    // The entry of that name, or null.
    QxConfigurationEntry* GetEntry(const char* name);
    // Sets the entry's value, making the entry when absent; *existing (when
    // given) receives the entry that existed, or null when it was made.
    QxConfigurationEntry* AddEntry(const char* name, const char* value, QxConfigurationEntry** existing);

    // Entries in order: null at the end.
    QxConfigurationEntry* GetFirstEntry(EntryIterator& it);
    QxConfigurationEntry* GetNextEntry(EntryIterator& it);
    int GetNumberOfEntries() const { return m_Entries.Size(); }
    // Subsections in order: null at the end.
    QxConfigurationSection* GetFirstSubSection(SectionIterator& it);
    QxConfigurationSection* GetNextSubSection(SectionIterator& it);
    int GetNumberOfSubSections() const { return m_SubSections.Size(); }

    // Deletes every entry and every subsection (however deep, without
    // recursion).
    void Clear();

private:
    QxConfigurationSection* m_Parent;
    XString m_Name;
    EntryTable m_Entries;
    SectionTable m_SubSections;
};
