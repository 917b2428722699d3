// Runs the user-property instructions of a node over arbitrary text, on a
// small built scene: two entities with scripts that hold text parameters, in
// an export whose options the first byte chooses (character export or not).
// Script files are looked for below a path that is a file, so none loads.
// The scanner must end, never read past the text, and leave the scene's
// entities and scripts as they were.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/behavior/CKBehavior.h"
#include "core/context/CKContext.h"
#include "core/parameter/CKParameterGuids.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/userdata/Instructions.h"
#include "fuzz/FuzzRenderEngine.h"
#include "fuzz/FuzzScratchFile.h"
#include "render/animation/CKCharacter.h"
#include "render/objects/CK3dEntity.h"

namespace {

// A fresh context every so many inputs: attributes that texts register stay
// with the attribute manager, which must not grow without end.
constexpr int kInputsPerContext = 256;

struct Scene
{
    CKContext* context = nullptr;
    ExportBuilder* builder = nullptr;
    CK3dEntity* box = nullptr;
    CK3dEntity* other = nullptr;
    int inputs = 0;

    void Make()
    {
        if (CKCreateContext(&context, nullptr) != 0)
            std::abort();
        builder = new ExportBuilder(context, TRUE);
        box = builder->CreateEntity("Box01", 1);
        other = builder->CreateEntity("Other", 2);
        for (CK3dEntity* owner : {box, other}) {
            auto* script = static_cast<CKBehavior*>(context->CreateObject(CKCID_BEHAVIOR, "Script"));
            script->SetType(1);
            script->UseGraph();
            script->CreateLocalParameter("Speed", CKPGUID_STRING);
            script->CreateLocalParameter("Name", CKPGUID_STRING);
            owner->AddScript(script);
        }
        builder->CreateCharacter("Character");
    }
    void Drop()
    {
        delete builder;
        builder = nullptr;
        CKCloseContext(context);
        context = nullptr;
    }
    // The last scene goes before the process ends, so that the leak check
    // at exit sees nothing of it.
    ~Scene()
    {
        if (context)
            Drop();
    }
};

Scene& TheScene()
{
    static Scene scene;
    if (!scene.context || scene.inputs >= kInputsPerContext) {
        if (scene.context)
            scene.Drop();
        scene.Make();
    }
    return scene;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzStartRenderEngine();
    if (size == 0)
        return 0;
    Scene& scene = TheScene();
    ++scene.inputs;
    Max2Qdx exporter;
    exporter.asObjects = (data[0] & 1) == 0;
    exporter.asCharacter = (data[0] & 1) != 0;
    exporter.EnableInstructions = 1;
    exporter.characterName = "Hero";
    scene.builder->exporter = &exporter;
    // The text stops at its first zero byte, as a user-property buffer does.
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    InstructionContext context;
    context.builder = scene.builder;
    context.scriptFolder = (FuzzScratchPath() + "/").c_str();
    context.target = data[0] & 2 ? static_cast<CKObject*>(scene.box) : scene.builder->character;
    context.character = scene.builder->character;
    context.exporter = &exporter;
    if (RunInstructions(context, text.c_str()) != 0)
        std::abort();
    if (context.cursor > context.end || scene.box->GetScriptCount() != 1 || scene.other->GetScriptCount() != 1)
        std::abort();
    scene.builder->exporter = nullptr;
    return 0;
}
