#pragma once

#include "includes/XString.h"

class QxConfigurationSection;

// One named text value of a configuration section.
class QxConfigurationEntry
{
public:
    QxConfigurationEntry(QxConfigurationSection* section, const char* name, const char* value)
        : m_Name(name), m_Section(section), m_Value(value)
    {}

    const char* GetName() const { return m_Name.CStr(); }
    // "" when empty.
    const char* GetValue() const { return m_Value.CStr(); }
    void SetValue(const char* value) { m_Value = value; }
    QxConfigurationSection* GetSection() const { return m_Section; }

private:
    XString m_Name;
    QxConfigurationSection* m_Section;
    XString m_Value;
};
