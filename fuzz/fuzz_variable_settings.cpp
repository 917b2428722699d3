// Settings files read by the variable manager: every entry goes through the
// variables' text parsing (integers, floats, enumerations and flags).
#include <cstdint>
#include <cstdio>

#include "core/context/CKContext.h"
#include "core/context/CKStartUp.h"
#include "core/context/CKVariableManager.h"
#include "fuzz/FuzzScratchFile.h"

namespace {

struct Engine
{
    CKContext* context = nullptr;
    int i = 0;
    float f = 0;
    int flags = 0;
    Engine()
    {
        CKStartUp();
        CKCreateContext(&context, nullptr, nullptr);
        CKVariableManager* vm = context->GetVariableManager();
        vm->BindInt("Fuzz/Int", &i, 0, 0, "");
        vm->BindFloat("Fuzz/Float", &f, 0, 0, "");
        vm->BindIntWithRepresentation("Fuzz/Rep", &flags, 0, 0, "flag:1=A;2=B;x;=4;8=", "");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Engine engine;
    FILE* out = std::fopen(FuzzScratchPath().c_str(), "wb");
    if (!out)
        return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);
    CKVariableManager* vm = engine.context->GetVariableManager();
    vm->LoadFromFile(FuzzScratchPath().c_str());
    XString text;
    for (auto it = vm->Begin(); it != vm->End(); ++it)
        (*it)->GetValueAsString(text);
    vm->RestoreDefaults(1);
    return 0;
}
