#pragma once

// A loaded shared library. The object does not free its module when it dies:
// code taken from a plug-in stays callable for as long as the process needs
// it. ReleaseLibrary frees it explicitly.
class QxSharedLibrary
{
public:
    QxSharedLibrary() = default;

    // Takes a module handle without loading anything.
    void Attach(void* module) { m_Module = module; }
    // Frees a held module, then loads the library; the floating-point control
    // word is restored afterwards (a library's start-up may change it).
    // Returns the module, null on failure.
    void* Load(const char* name);
    // The exported function's address; null without a module or a name.
    void* GetFunctionPtr(const char* name) const;
    void ReleaseLibrary();
    void* GetModule() const { return m_Module; }

private:
    void* m_Module = nullptr;
};
