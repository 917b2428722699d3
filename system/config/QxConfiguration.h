#pragma once

#include "includes/CKTypes.h"
#include "includes/XString.h"
#include "system/config/QxConfigurationSection.h"

// A settings tree under a root section "root", read from and written to an
// indented text form:
//
//   a = 1
//   <s>
//     b = 2
//     <t>
//       c = 3
//     </t>
//   </s>
//
// Entries are "name = value" (the value may hold '='; both are trimmed of
// spaces and tabs); '#' starts a comment line; sections are opened by
// "<name>" and closed by "</name>".
class QxConfiguration
{
public:
    // indentStep: spaces added per nesting level when writing.
    explicit QxConfiguration(CKWORD indentStep = 2);
    ~QxConfiguration();
    QxConfiguration(const QxConfiguration&) = delete;
    QxConfiguration& operator=(const QxConfiguration&) = delete;

    QxConfigurationSection* GetRoot() { return m_Root; }

    // Sets the entry in the section named by the dotted path (the root for a
    // null or empty path), making every missing level. *existing (when
    // given) receives the entry that existed, or null when it was made.
    // Returns 1, or 0 when the section cannot be made.
    int AddEntry(const char* section, const char* entry, const char* value, QxConfigurationEntry** existing);
    // The section at the dotted path below the root, or null.
    QxConfigurationSection* GetSubSection(const char* path, CKBOOL usePath = TRUE);

    // The root's subsections in order: null at the end.
    QxConfigurationSection* GetFirstSection(QxConfigurationSection::SectionIterator& it);
    QxConfigurationSection* GetNextSection(QxConfigurationSection::SectionIterator& it);
    int GetNumberOfSubSections() const { return m_Root->GetNumberOfSubSections(); }

    // Empties the tree (the root stays).
    void Clear() { m_Root->Clear(); }

    // Replaces the tree with the file's. Returns 1 with the error text "OK"
    // and the counter at the number of lines read; 0 at the first faulty
    // line, with its message and the counter at the number of lines before
    // it (the tree keeps what was read before it), or when the file cannot
    // be read. Lines may be of any length; a carriage return at the end of a
    // line is dropped. counter and error may be null.
    int ReadFromFile(const char* fileName, int* counter, XString* error);
    // Writes the tree (see above); line feeds and carriage returns inside
    // names and values are left out. 1 on success, 0 when the file cannot be
    // opened or written.
    int WriteToFile(const char* fileName);

    // The reader on bytes already in memory, as ReadFromFile after opening.
    int ReadFromText(const char* text, CKDWORD size, int* counter, XString* error);

private:
    QxConfigurationSection* m_Root;
    CKWORD m_IndentStep;
};
