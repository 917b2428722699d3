#include "core/file/CKFileExtension.h"

#include <cstring>

static void CopyExtension(char* field, size_t fieldSize, const char* text)
{
    std::memset(field, 0, fieldSize);
    if (!text)
        return;
    if (*text == '.')
        ++text;
    size_t n = std::strlen(text);
    if (n > fieldSize - 1)
        n = fieldSize - 1;
    std::memcpy(field, text, n);
}

void CKShortFileExtension::Set(const char* text)
{
    CopyExtension(m_Data, sizeof(m_Data), text);
}

void CKFileExtension::Set(const char* text)
{
    CopyExtension(m_Data, sizeof(m_Data), text);
}
