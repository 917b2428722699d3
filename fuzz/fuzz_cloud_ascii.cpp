// Reads arbitrary bytes as an ASCII point file with, on request, a ".desc"
// header beside it, then walks and saves the cloud built.
//
// Input: a control byte (bit 0: write a header), a 16-bit little-endian
// header length, the header's bytes, then the point file's bytes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "fuzz/FuzzRenderEngine.h"
#include "fuzz/FuzzScratchFile.h"
#include "includes/CKByteOrder.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"

namespace {

void WriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3 || size > (1 << 20))
        return 0;
    FuzzStartRenderEngine();
    const size_t headerSize = LoadLE16(data + 1) < size - 3 ? LoadLE16(data + 1) : size - 3;
    const std::string& path = FuzzScratchPath();
    const std::string desc = path + ".desc";
    WriteFile(path, data + 3 + headerSize, size - 3 - headerSize);
    if (data[0] & 1)
        WriteFile(desc, data + 3, headerSize);
    else
        std::remove(desc.c_str());

    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr, nullptr) == 0 && context) {
        auto* cloud = static_cast<RCK3dPointCloud*>(context->CreateObject(CKCID_3DPOINTCLOUD, "cloud"));
        if (cloud->CreateFromAsciiFile(path.c_str())) {
            CloudIterator* it = cloud->GetIterator();
            while (it->NextPoint())
                cloud->GetPointNormal(nullptr, (int) it->GetPointIndex());
            CKDeleteStateChunk(cloud->Save(nullptr, 0xFFFFFFFF));
        }
        CKCloseContext(context);
    }
    std::remove(desc.c_str());
    return 0;
}
