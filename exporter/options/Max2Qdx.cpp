#include "exporter/options/Max2Qdx.h"

#include "exporter/options/ExportOptions.h"

Max2Qdx::Max2Qdx()
{
    SetOptionDefaults();
}

Max2Qdx::~Max2Qdx() = default;

void Max2Qdx::SetOptionDefaults()
{
    progressStarted = 1;
    asObjects = 1;
    asCharacter = asAnimation = asLevel = 0;
    for (const ExportOption& option : kExportOptions)
        SetExportOptionDefault(*this, option);
    unitScale = 1.0f;
}

void Max2Qdx::SetCharacterName(const char* name)
{
    characterName = name;
}

void Max2Qdx::SetAnimationName(const char* name)
{
    animationName = name;
}

XString Max2Qdx::GetReportIndent() const
{
    XString indent;
    for (int i = 0; i < reportIndent; ++i)
        indent += ' ';
    return indent;
}
