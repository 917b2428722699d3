// Reads arbitrary bytes as a channel definition file on a small built
// scene: a mesh with two channels (Glass, Dirt), a mesh without channel and
// a material on none. The reader must end, count no more lines than the
// file has, and leave every channel with its material and a blend factor
// of the engine's list.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/context/CKContext.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/report/GeLog.h"
#include "fuzz/FuzzRenderEngine.h"
#include "fuzz/FuzzScratchFile.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKMesh.h"

namespace {

// Formats every message, as a log file would, and keeps none.
class FormattingLog : public GeLog
{
public:
    CKBOOL Open() override { return 1; }
    CKBOOL Close() override { return 1; }
    void NewLine() override {}
    void WriteSeparator() override {}
    void WriteLine(const char*) override {}
    void Printf(const char* format, ...) override
    {
        va_list arguments;
        va_start(arguments, format);
        VPrintf(format, arguments);
        va_end(arguments);
    }
    void VPrintf(const char* format, va_list arguments) override
    {
        char buffer[256];
        std::vsnprintf(buffer, sizeof buffer, format, arguments);
    }
};

struct Scene
{
    CKContext* context = nullptr;
    ExportBuilder* builder = nullptr;
    CKMesh* box = nullptr;
    CKMaterial* materials[3] = {};
    FormattingLog log;

    Scene()
    {
        FuzzStartRenderEngine();
        if (CKCreateContext(&context, nullptr) != 0)
            std::abort();
        builder = new ExportBuilder(context, TRUE);
        builder->log = &log;
        const char* names[3] = {"Glass", "Dirt", "Other"};
        for (int i = 0; i < 3; ++i)
            materials[i] = builder->CreateMaterial(nullptr, names[i], (ExportKey) (0x100 * (i + 1)));
        box = static_cast<CKMesh*>(context->CreateObject(CKCID_MESH, "Box01_Mesh"));
        builder->AddCreatedObject(box);
        box->SetVertexCount(3);
        box->SetFaceCount(1);
        box->SetFaceVertexIndex(0, 0, 1, 2);
        box->AddChannel(materials[0], TRUE);
        box->AddChannel(materials[1], TRUE);
        builder->AddCreatedObject(context->CreateObject(CKCID_MESH, "Empty_Mesh"));
    }
    ~Scene()
    {
        delete builder;
        CKCloseContext(context);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Scene scene;
    const std::string& path = FuzzScratchPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
    size_t lines = 0;
    for (size_t i = 0; i < size; ++i)
        lines += data[i] == '\n';
    const int applied = scene.builder->ReadChannels(path.c_str());
    if (applied < 0 || (size_t) applied > lines + 1)
        std::abort();
    if (scene.box->GetChannelCount() != 2 || scene.box->GetChannelMaterial(0) != scene.materials[0] ||
        scene.box->GetChannelMaterial(1) != scene.materials[1])
        std::abort();
    for (int c = 0; c < 2; ++c) {
        const int source = scene.box->GetChannelSourceBlend(c), dest = scene.box->GetChannelDestBlend(c);
        if (source < 1 || source > 11 || dest < 1 || dest > 11)
            std::abort();
    }
    return 0;
}
