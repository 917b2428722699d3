// Calls the script function "ExtendedExport2qdx" with arbitrary argument
// vectors: a count byte, then per argument a kind byte (undefined, ok,
// empty, boolean, integer, float, string) and its payload (one byte, four
// little-endian bytes, or a length byte and that many characters). The
// export itself is a recording stub: the function must either refuse
// (empty, nothing exported) or hand over one exporter with exactly one
// export kind that fits the file's extension.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "exporter/options/ExtendedExport2qdx.h"
#include "exporter/options/Max2Qdx.h"
#include "platform/host/HostScene.h"
#include "platform/host/Interface.h"

namespace {

int g_Calls = 0;

int CheckExport(Max2Qdx& exporter, const char* name, Interface*, BOOL)
{
    ++g_Calls;
    const int kinds = exporter.asObjects + exporter.asCharacter + exporter.asAnimation + exporter.asLevel;
    const size_t length = std::strlen(name);
    if (kinds != 1 || length <= 4 || exporter.progressStarted != 0)
        std::abort();
    const bool objectFile = strcasecmp(name + length - 4, ".qdx") == 0;
    if (objectFile == (exporter.asLevel != 0))
        std::abort();
    return 1;
}

struct Input
{
    const uint8_t* data;
    size_t size;
    size_t at = 0;

    bool Take(void* out, size_t n)
    {
        if (size - at < n)
            return false;
        std::memcpy(out, data + at, n);
        at += n;
        return true;
    }
};

Value Next(Input& in)
{
    uint8_t kind = 0;
    if (!in.Take(&kind, 1))
        return Value();
    switch (kind % 7) {
    case 1: return Value::OkValue();
    case 2: return Value::EmptyValue();
    case 3: {
        uint8_t b = 0;
        in.Take(&b, 1);
        return Value::Bool(b & 1);
    }
    case 4: {
        int32_t i = 0;
        in.Take(&i, 4);
        return Value::Int(i);
    }
    case 5: {
        float f = 0;
        in.Take(&f, 4);
        return Value::Float(f);
    }
    case 6: {
        uint8_t n = 0;
        in.Take(&n, 1);
        std::string text(n, '\0');
        if (n && !in.Take(text.data(), n))
            text.clear();
        return Value::String(text);
    }
    default: return Value();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static HostScene* scene = new HostScene();
    static Interface* ip = [] {
        auto* i = new Interface(*scene);
        i->SetEcho(false);
        SetExportSceneFunction(&CheckExport);
        return i;
    }();
    ip->ClearEvents();

    Input in{data, size};
    uint8_t count = 0;
    in.Take(&count, 1);
    std::vector<Value> values;
    for (int i = 0; i < count % 64; ++i)
        values.push_back(Next(in));
    std::vector<Value*> pointers;
    for (Value& v : values)
        pointers.push_back(&v);

    g_Calls = 0;
    Value result = ExtendedExport2qdx(pointers.data(), (int) pointers.size());
    if ((result == ok) != (g_Calls == 1) || (result != ok && result != empty) || g_Calls > 1)
        std::abort();
    return 0;
}
