// Reads arbitrary bytes as the text form of an "LOD Options" value. A text
// the reader takes must write back to a text it takes again, and writing and
// reading must settle on one text within a few rounds with the same flags;
// a refused text must leave the record as it was. The same text goes through
// a parameter of the type, written back into buffers of every small size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/parameter/CKParameterOut.h"
#include "lod/LODManager.h"
#include "tools/blockharness/BlockHarness.h"

namespace {

CKContext* g_Context = nullptr;
CKParameterOut* g_Parameter = nullptr;

std::string Write(const LODOptions& options)
{
    char text[kLODOptionsTextSize];
    int size = LODOptionsToText(options, text, sizeof text);
    if (size < 1 || size > kLODOptionsTextSize || (int) std::strlen(text) != size - 1)
        std::abort();
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    RegisterBlockPlugins();
    CKCreateContext(&g_Context, nullptr, nullptr);
    g_Parameter = g_Context->CreateCKParameterOut("fuzz", LOD_OPTIONS_GUID);
    // The leak check runs after this: the context goes first.
    std::atexit([] {
        CKCloseContext(g_Context);
        CKShutdown();
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 12)
        return 0;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string text = bytes.substr(0, bytes.find('\0'));

    LODOptions options;
    options.Flags = 0xF0;
    options.FaceMag = 3.5f;
    if (!LODOptionsFromText(text.c_str(), options)) {
        if (options.Flags != 0xF0 || options.FaceMag != 3.5f)
            std::abort();
    } else {
        if (options.Flags & ~0xFu)
            std::abort();
        std::string previous = Write(options);
        bool settled = false;
        for (int round = 0; round < 4 && !settled; ++round) {
            LODOptions again;
            if (!LODOptionsFromText(previous.c_str(), again) || again.Flags != options.Flags)
                std::abort();
            std::string next = Write(again);
            settled = next == previous;
            previous = next;
        }
        if (!settled)
            std::abort();
    }

    // Through the parameter: the value, then its text in every small buffer.
    g_Parameter->SetStringValue(text.c_str());
    char full[kLODOptionsTextSize];
    int needed = g_Parameter->GetStringValue(full, sizeof full);
    if (needed != (int) std::strlen(full) + 1 || g_Parameter->GetStringValue(nullptr, 0) != needed)
        std::abort();
    for (int n = 1; n < needed; n += 7) {
        char cut[kLODOptionsTextSize];
        std::memset(cut, 'x', sizeof cut);
        if (g_Parameter->GetStringValue(cut, n) != needed || std::strlen(cut) != (size_t) n - 1 ||
            std::memcmp(cut, full, (size_t) n - 1) != 0)
            std::abort();
    }
    return 0;
}
