#pragma once

#include <cstdint>
#include <string>

// A growable read-write file in the temporary folder touched through mapped
// windows: the stand-in for GetTempFileNameA, CreateFileA, SetEndOfFile,
// CreateFileMappingA, MapViewOfFile, UnmapViewOfFile and DeleteFileA, which
// the engine's large write buffers use so that no section needs one
// contiguous allocation. The file's blocks are reserved when it grows, so a
// full disk is a failed Create or Grow, never a fault on a mapped page.
class PlatformTempFileMapping
{
public:
    PlatformTempFileMapping() = default;
    // Close.
    ~PlatformTempFileMapping();
    PlatformTempFileMapping(const PlatformTempFileMapping&) = delete;
    PlatformTempFileMapping& operator=(const PlatformTempFileMapping&) = delete;

    // Granularity of view offsets (the page size here; 64 KB on the system
    // the engine comes from).
    static uint32_t AllocationGranularity();

    // Makes a unique file named prefix + six characters in the system's
    // temporary folder, readable and writable by this process only, holding
    // size zero bytes. Closes an earlier file first. False on failure, with
    // nothing left behind.
    bool Create(const char* prefix, uint64_t size);
    // Grows the file to size bytes (a smaller size does nothing); the view
    // stays valid. False when the blocks cannot be reserved.
    bool Grow(uint64_t size);
    // Maps [offset, offset + length) for reading and writing, unmapping the
    // previous view. offset must be a multiple of AllocationGranularity and
    // the range must lie within the file. Null on failure (no view then).
    uint8_t* MapView(uint64_t offset, uint32_t length);
    void UnmapView();
    // Unmaps, closes and deletes the file.
    void Close();

    bool IsOpen() const { return m_Fd >= 0; }
    uint64_t GetSize() const { return m_Size; }
    const std::string& GetPath() const { return m_Path; }

private:
    int m_Fd = -1;
    uint64_t m_Size = 0;
    std::string m_Path;
    void* m_View = nullptr;
    size_t m_ViewLength = 0;
};

// Drops the resident pages that lie wholly inside [begin, begin + length) of
// a read-only file mapping, so that a long sequential read of a mapped file
// does not keep the whole file resident; reading them again faults them back
// in from the file. Never call it on memory that was written.
void PlatformReleaseMappedPages(const void* begin, size_t length);
