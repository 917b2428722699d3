#pragma once

#include <numeric>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/PlatformConsole.h"
#include "platform/PlatformFont.h"
#include "platform/PlatformText.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxQuantizer.h"
#include "system/log/QxLibraryLog.h"
#include "system/log/QxLogManager.h"
#include "system/memory/QxMemoryManager.h"
#include "system/runtime/QxGlobals.h"
#include "system/runtime/QxStartUp.h"
#include "system/runtime/QxThread.h"

// One state that shut-down resets (named as QxGetGlobalReset names it): what
// a run does to it, and what a test sees of it.
struct GlobalStateRow
{
    const char* Name;
    void (*Dirty)();
    std::string (*Observe)();
};

inline const std::vector<GlobalStateRow>& GlobalStateRows()
{
    using std::to_string;
    static const std::vector<GlobalStateRow> rows = {
        {"main thread", [] { QxGetMainThread()->SetFlags(0); },
         [] { return to_string(QxGetMainThread()->GetFlags()); }},
        // Only stored, never read: the registry is emptied before the main thread is made again.
        {"thread registry", [] { QxGetThreadTable().Insert(0xDEAD00, QxGetMainThread()); },
         [] { return to_string(QxGetThreadTable().Size()); }},
        {"library log source", [] { QxSetLibraryLogSource(77); }, [] { return to_string(QxGetLibraryLogSource()); }},
        {"log manager", [] { QxGetLogManager()->RegisterSource("Dirty"); },
         [] { return to_string(QxGetLogManager()->GetSourceCount()); }},
        {"console", [] { PlatformAllocConsole(); }, [] { return to_string(PlatformGetConsoleOutput() != nullptr); }},
        {"text faces",
         [] {
             PlatformFont font{PlatformLogFont()};
             PlatformGetTextExtent(&font, "x", -1, nullptr, nullptr);
         },
         [] { return to_string(PlatformGetTextFaceCount()); }},
        {"blitter",
         [] {
             std::vector<CKBYTE> small(2 * 2 * 4), large(40 * 30 * 4);
             QxImageDesc src = QxMakeImageDesc32(2, 2), dst = QxMakeImageDesc32(40, 30);
             src.Image = small.data();
             dst.Image = large.data();
             QxResizeImage(src, dst);
         },
         [] { return to_string(QxGetBlitterWorkBytes()); }},
        {"quantizer",
         [] {
             std::vector<CKBYTE> pixels(16 * 16 * 4), palette(256 * 4);
             std::iota(pixels.begin(), pixels.end(), CKBYTE(0));
             QxImageDesc src = QxMakeImageDesc32(16, 16);
             src.Image = pixels.data();
             QxQuantizeImage(src, {.BytesPerColorEntry = 4, .ColorMapEntries = 256, .ColorMap = palette.data()});
         },
         [] { return to_string(QxQuantizerSearch(0xFF, 0xFF, 0xFF)) + to_string(QxQuantizerSearch(0xFF, 0, 0x80)); }},
        {"memory manager",
         [] {
             QxMemoryManager* memory = QxGetMemoryManager();
             memory->ReleaseScratchBuffer(memory->AcquireScratchBuffer(1 << 20)->m_Data);
             memory->ReleaseTemporaryString(memory->AcquireTemporaryString());
             memory->FreePoolObject(1000, memory->AllocatePoolObject(1000));
         },
         [] {
             QxMemoryManager* memory = QxGetMemoryManager();
             std::string text =
                 to_string(memory->GetFreeScratchBufferCount()) + to_string(memory->GetFreeTemporaryStringCount());
             for (int c = 0; c < QxMemoryManager::PoolClassCount; ++c)
                 text += memory->GetPool(c) ? "p" : "";
             return text;
         }},
    };
    return rows;
}

// Checks that the rows are the listed states, in order. Then stops first
// (whatever ran before in this process may have left the library started
// and its states in use), starts, notes what every row shows, and
// `restarts` times: runs (`run`, then every row's
// Dirty, which must change what its row shows), stops and starts again, and
// expects every row to show what it showed after the first start. Stops at
// the end.
inline void ExpectFreshAfterRestarts(void (*start)(), void (*run)(), void (*stop)(), int restarts)
{
    ASSERT_EQ(GlobalStateRows().size(), size_t(QxGetGlobalResetCount()));
    for (int i = 0; i < QxGetGlobalResetCount(); ++i)
        ASSERT_STREQ(GlobalStateRows()[i].Name, QxGetGlobalReset(i)->m_Name);
    stop();
    start();
    std::vector<std::string> fresh;
    for (const GlobalStateRow& row : GlobalStateRows())
        fresh.push_back(row.Observe());
    for (int restart = 1; restart <= restarts; ++restart) {
        run();
        for (size_t i = 0; i < fresh.size(); ++i) {
            GlobalStateRows()[i].Dirty();
            EXPECT_NE(GlobalStateRows()[i].Observe(), fresh[i]) << GlobalStateRows()[i].Name << " is left as it was";
        }
        stop();
        start();
        for (size_t i = 0; i < fresh.size(); ++i)
            EXPECT_EQ(GlobalStateRows()[i].Observe(), fresh[i]) << GlobalStateRows()[i].Name << ", restart " << restart;
    }
    stop();
}
