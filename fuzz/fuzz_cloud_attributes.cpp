// Reads arbitrary bytes as an attribute value file into each kind of
// attribute of a small cloud: floats, 32-bit integers, and packed integers
// of the width the control byte gives.
//
// Input: a control byte (bits 0-4: the packed width - 1), then the file.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/context/CKContext.h"
#include "fuzz/FuzzRenderEngine.h"
#include "fuzz/FuzzScratchFile.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1 << 16))
        return 0;
    FuzzStartRenderEngine();
    const std::string& path = FuzzScratchPath();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);

    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr, nullptr) != 0 || !context)
        return 0;
    auto* cloud = static_cast<RCK3dPointCloud*>(context->CreateObject(CKCID_3DPOINTCLOUD, "cloud"));
    QxVector points[37];
    for (int i = 0; i < 37; ++i)
        points[i] = QxVector((float) i, (float) (i * 7 % 5), (float) (i % 3));
    QxVector precision;
    cloud->CreateFromBuffers(37, points, nullptr, nullptr, nullptr, precision);
    const int widths[3] = {32, 32, (data[0] & 31) + 1};
    for (int k = 0; k < 3; ++k) {
        CloudAttributeDesc desc;
        desc.Name = k == 0 ? "f" : k == 1 ? "i" : "p";
        desc.Type = k == 0 ? CLOUD_ATTRIBUTE_FLOAT : CLOUD_ATTRIBUTE_INTEGER;
        desc.Bits = widths[k];
        desc.Flags = CLOUD_ATTRIBUTE_DRAWN;
        const int index = cloud->AddAttribute(desc);
        cloud->EnableAttribute(index, TRUE);
        cloud->LoadAttributesFromTextFile(index, path.c_str(), 0.5f, 2.0f);
        for (int i = 0; i < 37; ++i)
            cloud->GetAttributeValue(i, index);
    }
    CKCloseContext(context);
    return 0;
}
