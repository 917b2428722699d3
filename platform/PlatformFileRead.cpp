#include "platform/PlatformFileRead.h"

#include <cerrno>
#include <unistd.h>

size_t PlatformReadFileAt(FILE* file, void* buffer, size_t size, uint64_t offset)
{
    if (!file || !buffer)
        return 0;
    int fd = ::fileno(file);
    if (fd < 0)
        return 0;
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}
