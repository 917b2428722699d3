#include "platform/PlatformFileMapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/PlatformPaths.h"

namespace {
// mmap refuses a length of 0; an empty file still counts as mapped.
const uint8_t g_EmptyView[1] = {0};
} // namespace

PlatformFileMapping::~PlatformFileMapping()
{
    Close();
}

PlatformFileMapping::State PlatformFileMapping::Open(const char* path)
{
    Close();
    if (!path)
        return m_State;
    std::string native = PlatformNativePath(path);
    m_Fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_Fd < 0)
        return m_State;

    struct stat st;
    if (::fstat(m_Fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // Opening a folder succeeds on Linux; there is no file to read.
        ::close(m_Fd);
        m_Fd = -1;
        return m_State;
    }
    if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > 0xFFFFFFFFull) {
        ::close(m_Fd);
        m_Fd = -1;
        m_State = MappingFailed;
        return m_State;
    }

    uint32_t size = static_cast<uint32_t>(st.st_size);
    if (size == 0) {
        m_Data = g_EmptyView;
        m_Size = 0;
        m_State = Mapped;
        return m_State;
    }
    void* view = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, m_Fd, 0);
    if (view == MAP_FAILED) {
        ::close(m_Fd);
        m_Fd = -1;
        m_State = ViewFailed;
        return m_State;
    }
    m_View = view;
    m_Data = static_cast<const uint8_t*>(view);
    m_Size = size;
    m_State = Mapped;
    return m_State;
}

void PlatformFileMapping::Close()
{
    if (m_View)
        ::munmap(m_View, m_Size);
    if (m_Fd >= 0)
        ::close(m_Fd);
    m_Fd = -1;
    m_View = nullptr;
    m_Data = nullptr;
    m_Size = 0;
    m_State = NotOpened;
}
