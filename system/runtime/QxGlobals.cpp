#include "system/runtime/QxGlobals.h"

#include "platform/PlatformConsole.h"
#include "platform/PlatformText.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxQuantizer.h"
#include "system/log/QxLibraryLog.h"
#include "system/log/QxLogManager.h"
#include "system/memory/QxMemoryManager.h"
#include "system/runtime/QxStartUp.h"
#include "system/runtime/QxThread.h"

namespace {

// The order matters: the main thread leaves the registry before the registry
// is made anew; the log manager's console listener frees its console before
// the console is reset; the memory manager comes last, once everything above
// has given back its strings and pool objects.
const QxGlobalReset kResets[] = {
    {"main thread", QxDeleteMainThread},
    // Threads registered by others and still alive are forgotten too: the
    // registry of a new run holds only what that run registers.
    {"thread registry", [] { QxGetThreadTable() = QxThreadTable(16); }},
    {"library log source", [] { QxSetLibraryLogSource(0); }},
    // Its listeners close their files and free their console with it.
    {"log manager", QxDestroyLogManager},
    // A console left allocated would be taken over, title and all, by the
    // next run's console listener.
    {"console", PlatformFreeConsole},
    {"text faces", PlatformReleaseTextFaces},
    {"blitter", QxResetBlitter},
    {"quantizer", QxResetQuantizer},
    {"memory manager", [] { QxGetMemoryManager()->ReleaseUnused(); }},
};

// Kept on purpose, never reset:
// - The processor record and the timing factors (QxProcessor.cpp,
//   QxTimingFactors.cpp): facts of the machine, measured once per process.
//   Measuring again would cost a sleep and a busy loop per start and could
//   give another clock, and the code paths chosen from the features (SSE,
//   MMX) must not change under a running program.
// - The span converter tables (QxSpanConverters.cpp): built once, their
//   content follows only from the processor features; building them again
//   while another thread blits would race.
// - The angle tables (QxMathTables.cpp): constants computed once.
// - The global critical section (QxGlobalLock.cpp): it must be valid whenever
//   a blit can run, before start-up, after shut-down and during static
//   destruction, and it holds nothing between two uses.
// - The memory manager itself (QxMemoryManager.cpp), with its buffers in use
//   and the pools that hold live objects: string buffers and pool objects are
//   given back at any time, up to the last static destructor; only what
//   nobody holds is released above.
// - The hooks (the math warning hook, and the platform's assert, console,
//   debug-output, counter and local-time hooks): installed and restored by
//   whoever uses them (tests, a host), never by start-up. Removing one at
//   shut-down would silently cut a capture that spans a restart.
// - The per-thread words: the in-allocator depth (0 again after every manager
//   operation), the emulated floating-point control word (a register of the
//   thread; start-up sets it every time) and the stand-in referents that an
//   index out of range gets (XString, XElementRange; written on every use).
// - The program's own module handle (PlatformSharedLibrary.cpp): it never
//   changes while the program runs.
// - The log manager's exit hook (QxLogManager.cpp): it holds nothing; it
//   deletes whatever manager exists at process exit.

constexpr int kResetCount = int(sizeof(kResets) / sizeof(kResets[0]));

} // namespace

int QxGetGlobalResetCount()
{
    return kResetCount;
}

const QxGlobalReset* QxGetGlobalReset(int index)
{
    return index >= 0 && index < kResetCount ? &kResets[index] : nullptr;
}

void QxResetGlobals()
{
    for (const QxGlobalReset& entry : kResets)
        entry.m_Reset();
}
