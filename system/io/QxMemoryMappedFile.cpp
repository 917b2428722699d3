#include "system/io/QxMemoryMappedFile.h"

static_assert(static_cast<int>(QxMemoryMappedFile::QX_FILE_NOT_OPENED) ==
                  static_cast<int>(PlatformFileMapping::NotOpened),
              "states share their numbers");
static_assert(static_cast<int>(QxMemoryMappedFile::QX_VIEW_FAILED) == static_cast<int>(PlatformFileMapping::ViewFailed),
              "states share their numbers");

QxMemoryMappedFile::QxMemoryMappedFile(const char* name)
{
    m_Mapping.Open(name);
}
