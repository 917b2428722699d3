#pragma once

#include <cstdint>

// A read-only view of a whole file, the stand-in for a file handle, a
// mapping object and a mapped view together. The state says where opening
// stopped, in the order the steps are taken.
class PlatformFileMapping
{
public:
    enum State : uint32_t
    {
        Mapped = 0,
        NotOpened = 1,     // the file could not be opened (missing, a folder, no right)
        MappingFailed = 2, // its size could not be taken or does not fit 32 bits
        ViewFailed = 3,    // the system refused to map it
    };

    PlatformFileMapping() = default;
    ~PlatformFileMapping();
    PlatformFileMapping(const PlatformFileMapping&) = delete;
    PlatformFileMapping& operator=(const PlatformFileMapping&) = delete;

    // Maps the whole file; '\' is accepted as a separator. Closes any earlier
    // view first. An empty file is mapped: Data() is then a valid pointer to
    // no bytes and Size() is 0. Returns the new state.
    State Open(const char* path);
    void Close();

    // Null and 0 unless the state is Mapped.
    const uint8_t* Data() const { return m_Data; }
    uint32_t Size() const { return m_Size; }
    State GetState() const { return m_State; }

private:
    int m_Fd = -1;
    void* m_View = nullptr; // what munmap needs; null for an empty file
    const uint8_t* m_Data = nullptr;
    uint32_t m_Size = 0;
    State m_State = NotOpened;
};
