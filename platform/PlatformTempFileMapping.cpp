#include "platform/PlatformTempFileMapping.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "platform/PlatformPaths.h"

PlatformTempFileMapping::~PlatformTempFileMapping()
{
    Close();
}

uint32_t PlatformTempFileMapping::AllocationGranularity()
{
    long page = ::sysconf(_SC_PAGESIZE);
    return page > 0 ? static_cast<uint32_t>(page) : 4096u;
}

bool PlatformTempFileMapping::Create(const char* prefix, uint64_t size)
{
    Close();
    std::string pattern = PlatformGetTempPath() + (prefix ? prefix : "") + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    m_Fd = fd;
    m_Path = name.data();
    m_Size = 0;
    if (!Grow(size)) {
        Close();
        return false;
    }
    return true;
}

bool PlatformTempFileMapping::Grow(uint64_t size)
{
    if (m_Fd < 0)
        return false;
    if (size <= m_Size)
        return true;
    // posix_fallocate reserves the blocks, so a full disk shows here rather
    // than as SIGBUS on a later write through a view.
    int rc = ::posix_fallocate(m_Fd, 0, static_cast<off_t>(size));
    if (rc == EOPNOTSUPP || rc == EINVAL)
        rc = ::ftruncate(m_Fd, static_cast<off_t>(size)) == 0 ? 0 : errno;
    if (rc != 0)
        return false;
    m_Size = size;
    return true;
}

uint8_t* PlatformTempFileMapping::MapView(uint64_t offset, uint32_t length)
{
    UnmapView();
    if (m_Fd < 0 || length == 0 || offset % AllocationGranularity() != 0 || offset > m_Size || length > m_Size - offset)
        return nullptr;
    void* view = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, m_Fd, static_cast<off_t>(offset));
    if (view == MAP_FAILED)
        return nullptr;
    m_View = view;
    m_ViewLength = length;
    return static_cast<uint8_t*>(view);
}

void PlatformTempFileMapping::UnmapView()
{
    if (m_View)
        ::munmap(m_View, m_ViewLength);
    m_View = nullptr;
    m_ViewLength = 0;
}

void PlatformTempFileMapping::Close()
{
    UnmapView();
    if (m_Fd >= 0) {
        ::close(m_Fd);
        ::unlink(m_Path.c_str());
    }
    m_Fd = -1;
    m_Size = 0;
    m_Path.clear();
}

void PlatformReleaseMappedPages(const void* begin, size_t length)
{
    if (!begin || length == 0)
        return;
    uintptr_t page = PlatformTempFileMapping::AllocationGranularity();
    uintptr_t start = (reinterpret_cast<uintptr_t>(begin) + page - 1) & ~(page - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(begin) + length) & ~(page - 1);
    if (end > start)
        ::madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED);
}
