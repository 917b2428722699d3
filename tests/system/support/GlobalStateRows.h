#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/PlatformConsole.h"
#include "platform/PlatformFont.h"
#include "platform/PlatformGdiObject.h"
#include "platform/PlatformText.h"
#include "system/image/QxBlitter.h"
#include "system/image/QxImageDesc.h"
#include "system/image/QxQuantizer.h"
#include "system/log/QxLibraryLog.h"
#include "system/log/QxLogManager.h"
#include "system/memory/QxFixedSizeAllocator.h"
#include "system/memory/QxMemoryManager.h"
#include "system/runtime/QxGlobals.h"
#include "system/runtime/QxStartUp.h"
#include "system/runtime/QxThread.h"

// One process-wide state that shut-down resets: what a run does to it and
// what a test can see of it. Shared by the library's and the engine's
// restart tests.
struct GlobalStateRow
{
    const char* Name; // as QxGetGlobalReset names it
    std::function<void()> Dirty;
    std::function<std::string()> Observe;
};

inline std::vector<GlobalStateRow> GlobalStateRows()
{
    // Thread records registered by the rows; deleted with the last copy.
    auto threads = std::make_shared<std::vector<std::unique_ptr<QxThread>>>();
    return {
        {"main thread",
         [] {
             QxThread* main = QxGetMainThread();
             main->SetFlags(QX_THREAD_DEFAULT);
             main->SetName("renamed");
         },
         [] {
             QxThread* main = QxGetMainThread();
             if (!main)
                 return std::string("none");
             return std::string(main->GetName()) + " flags " + std::to_string(main->GetFlags()) +
                    (QxFindThread(main->GetHandle()) == main ? " registered" : " unregistered");
         }},
        {"thread registry",
         [threads] {
             threads->push_back(std::make_unique<QxThread>());
             threads->back()->SetHandle(0xDEAD00 + threads->size());
             QxGetThreadTable().Insert(threads->back()->GetHandle(), threads->back().get());
         },
         [] { return std::to_string(QxGetThreadTable().Size()) + " threads"; }},
        {"library log source", [] { QxSetLibraryLogSource(QxGetLogManager()->RegisterSource("CK2_3D")); },
         [] {
             const char* name = QxGetLogManager()->GetSourceName(QxGetLibraryLogSource());
             return std::string(name ? name : "(none)");
         }},
        {"log manager",
         [] {
             QxLogManager* log = QxGetLogManager();
             log->CreateListener(QXLOG_CONSOLE_LISTENER_GUID, "Dirty console", log->RegisterSource("Dirty"));
             // Source 0 reaches no listener, but the text is still formatted.
             log->SetContext(0, QXLOG_INFO, __LINE__, __FILE__)->Log("%s", std::string(300, 'x').c_str());
         },
         [] {
             QxLogManager* log = QxGetLogManager();
             std::string text = "sources";
             for (int id = 1; id <= log->GetSourceCount(); ++id)
                 text += std::string(" ") + log->GetSourceName(id);
             return text + ", " + std::to_string(log->GetListenerCount()) + " listeners, buffer " +
                    std::to_string(log->GetFormatBufferSize());
         }},
        {"console",
         [] {
             PlatformAllocConsole();
             PlatformSetConsoleTitle("Dirty console");
         },
         [] {
             return std::string(PlatformGetConsoleOutput() ? "allocated" : "free") + ", title '" +
                    PlatformGetConsoleTitle() + "'";
         }},
        {"text faces",
         [] {
             PlatformLogFont lf;
             lf.Height = -12;
             std::strcpy(lf.FaceName, "Courier");
             PlatformFont* font = PlatformCreateFont(lf);
             PlatformGetTextExtent(font, "x", -1, nullptr, nullptr);
             PlatformDeleteObject(font);
         },
         [] { return std::to_string(PlatformGetTextFaceCount()) + " faces"; }},
        {"blitter",
         [] {
             std::vector<CKBYTE> small(2 * 2 * 4, 0x40), large(40 * 30 * 4);
             QxImageDesc src = QxMakeImageDesc32(2, 2), dst = QxMakeImageDesc32(40, 30);
             src.Image = small.data();
             dst.Image = large.data();
             QxResizeImage(src, dst);
         },
         [] { return std::to_string(QxGetBlitterWorkBytes()) + " bytes"; }},
        {"quantizer",
         [] {
             std::vector<CKBYTE> pixels(16 * 16 * 4), palette(256 * 4);
             for (size_t i = 0; i < pixels.size(); ++i)
                 pixels[i] = CKBYTE(i * 37);
             QxImageDesc src = QxMakeImageDesc32(16, 16), dst;
             src.Image = pixels.data();
             dst.BytesPerColorEntry = 4;
             dst.ColorMapEntries = 256;
             dst.ColorMap = palette.data();
             QxQuantizeImage(src, dst);
         },
         [] {
             std::string text = "nearest";
             for (int c : {0x00, 0x60, 0xA0, 0xFF})
                 text += " " + std::to_string(QxQuantizerSearch(c, 0xFF - c, c / 2));
             return text;
         }},
        {"memory manager",
         [] {
             QxMemoryManager* memory = QxGetMemoryManager();
             memory->ReleaseScratchBuffer(memory->AcquireScratchBuffer(1 << 20)->m_Data);
             memory->ReleaseTemporaryString(memory->AcquireTemporaryString());
             memory->FreePoolObject(1000, memory->AllocatePoolObject(1000));
         },
         [] {
             QxMemoryManager* memory = QxGetMemoryManager();
             std::string text = "free scratch";
             for (int i = 0; i < memory->GetFreeScratchBufferCount(); ++i)
                 text += " " + std::to_string(memory->GetFreeScratchBufferSize(i));
             text += ", " + std::to_string(memory->GetUsedScratchBufferCount()) + " used, " +
                     std::to_string(memory->GetFreeTemporaryStringCount()) + " free strings, pools";
             for (int c = 0; c < QxMemoryManager::PoolClassCount; ++c)
                 if (const QxFixedSizeAllocator* pool = memory->GetPool(c))
                     text += " " + std::to_string(c) + ":" + std::to_string(pool->GetChunkCount());
             return text;
         }},
    };
}

// Starts, notes what every row shows, then `restarts` times: runs (`run`,
// then every row's Dirty, which must change what the row shows), stops and
// starts again, and expects every row to show what it showed after the first
// start. Stops at the end.
inline void ExpectFreshAfterRestarts(const std::function<void()>& start, const std::function<void()>& run,
                                     const std::function<void()>& stop, int restarts)
{
    std::vector<GlobalStateRow> rows = GlobalStateRows();
    start();
    std::vector<std::string> fresh;
    for (const GlobalStateRow& row : rows)
        fresh.push_back(row.Observe());
    for (int restart = 1; restart <= restarts; ++restart) {
        run();
        for (size_t i = 0; i < rows.size(); ++i) {
            rows[i].Dirty();
            EXPECT_NE(rows[i].Observe(), fresh[i]) << rows[i].Name << ": the run left it as it was";
        }
        stop();
        start();
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_EQ(rows[i].Observe(), fresh[i]) << rows[i].Name << " after restart " << restart;
    }
    stop();
}
