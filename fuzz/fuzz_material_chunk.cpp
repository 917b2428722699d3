// Loads arbitrary bytes into a material or a texture as its state chunk,
// then reads every pixel of what a texture loaded and saves the object
// again. The images a texture section holds are decoded by the engine's own
// readers.
//
// Input: a control byte (bit 0: a texture, else a material; bit 1: the rest
// is a serialised state chunk; otherwise the second byte picks one of the
// class's section identifiers and the rest are that section's words).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "readers/imagereader/ImageReaderPlugin.h"
#include "readers/jpeg/JpgReaderPlugin.h"
#include "readers/png/PngReaderPlugin.h"
#include "render/context/CKRenderEngine.h"
#include "render/mesh/RCKMaterial.h"
#include "render/mesh/RCKTexture.h"

namespace {

const CKDWORD kMaterialIds[] = {CK_STATESAVE_MATERIALDATA};
const CKDWORD kTextureIds[] = {CK_STATESAVE_TEXTUREOPTIONS,    CK_STATESAVE_TEXTURESAVEFORMAT,
                               CK_STATESAVE_TEXTUREMOVIE,      CK_STATESAVE_TEXTUREREADERIMAGES,
                               CK_STATESAVE_TEXTURERAWIMAGES,  CK_STATESAVE_TEXTURESLOTNAMES,
                               CK_STATESAVE_TEXTURENAMEDIMAGES};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CKStartUp();
    CKPluginManager* pm = CKGetPluginManager();
    pm->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    pm->AddStaticDll("Render Engine", 1);
    RegisterImageReaderPlugin(pm);
    pm->RegisterPlugin(0, CKGetPngPluginInfo(0), nullptr, CKGetPngReader);
    pm->AddStaticDll("PNG Reader", 1);
    pm->RegisterPlugin(0, CKGetJpgPluginInfo(0), nullptr, CKGetJpgReader);
    pm->AddStaticDll("JPG Reader", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1 << 20))
        return 0;
    bool texture = data[0] & 1;
    CKStateChunk* chunk = nullptr;
    if (data[0] & 2) {
        chunk = CKCreateStateChunk(texture ? CKCID_TEXTURE : CKCID_MATERIAL, nullptr);
        if (!chunk->ConvertFromBuffer(data + 1, (int) size - 1)) {
            CKDeleteStateChunk(chunk);
            return 0;
        }
    } else {
        if (size < 2)
            return 0;
        const CKDWORD* ids = texture ? kTextureIds : kMaterialIds;
        size_t idCount = texture ? std::size(kTextureIds) : std::size(kMaterialIds);
        chunk = CKCreateStateChunk(texture ? CKCID_TEXTURE : CKCID_MATERIAL, nullptr);
        chunk->StartWrite();
        chunk->WriteIdentifier(ids[data[1] % idCount]);
        for (size_t at = 2; at + 4 <= size; at += 4) {
            CKDWORD word;
            std::memcpy(&word, data + at, 4);
            chunk->WriteDword(word);
        }
        chunk->CloseChunk();
    }

    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr, nullptr) != 0) {
        CKDeleteStateChunk(chunk);
        return 0;
    }
    CKObject* object = context->CreateObject(texture ? CKCID_TEXTURE : CKCID_MATERIAL, "fuzzed");
    if (object) {
        object->Load(chunk, nullptr);
        if (texture) {
            CKTexture* t = static_cast<CKTexture*>(object);
            CKDWORD sum = 0;
            for (int slot = 0; slot < t->GetSlotCount() && slot < 4; ++slot)
                for (int y = 0; y < t->GetHeight() && y < 64; ++y)
                    for (int x = 0; x < t->GetWidth() && x < 64; ++x)
                        sum += t->GetPixel(x, y, slot);
            (void) sum;
        }
        CKDeleteStateChunk(CKSaveObjectState(object));
        context->DestroyObject(object);
    }
    CKDeleteStateChunk(chunk);
    CKCloseContext(context);
    return 0;
}
