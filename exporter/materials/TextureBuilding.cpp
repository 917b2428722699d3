#include "core/context/CKDefines.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/materials/MaterialConversion.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "platform/host/Bitmap.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"
#include "render/mesh/CKTexture.h"
#include "system/io/CKPathSplitter.h"

XString FileNamePart(const char* path)
{
    if (!path || !*path)
        return XString();
    CKPathSplitter splitter(path);
    return XString(splitter.GetName());
}

BitmapTex* AsBitmapTexture(Texmap* map)
{
    return map && map->ClassID() == BMTEX_CLASS_ID ? dynamic_cast<BitmapTex*>(map) : nullptr;
}

StdMat2* AsStandardMaterial(Mtl* m)
{
    return m && m->ClassID() == DMTL_CLASS_ID ? dynamic_cast<StdMat2*>(m) : nullptr;
}

CKBOOL IsPowerOfTwoSide(int side)
{
    return side >= 2 && (side & (side - 1)) == 0;
}

CKTexture* Max2Qdx::GetMapTexture(Mtl* m, int slot, float* amount, Texmap** map)
{
    StdMat2* standard = AsStandardMaterial(m);
    if (amount)
        *amount = standard ? standard->GetTexmapAmt(slot, 0) : 0.0f;
    BitmapTex* texture = AsBitmapTexture(standard ? standard->GetSubTexmap(slot) : nullptr);
    if (map)
        *map = texture;
    if (!texture || !builder)
        return nullptr;
    Bitmap* bitmap = texture->GetBitmap(0);
    BitmapInfo info(texture->GetMapName());
    BMMGetFullFilename(&info);
    const XString name = FileNamePart(info.Name());
    CKTexture* result = builder->CreateTexture(info.Name(), name.CStr(), (ExportKey) texture);
    if (!bitmap) {
        missingBitmaps.Insert(XString(texture->GetMapName()), TRUE);
        ReportPrintf(this, 1, "\r\n%s : file not found...\r\n", texture->GetMapName());
        return result;
    }
    const int w = bitmap->Width(), h = bitmap->Height();
    if (!IsPowerOfTwoSide(w) || !IsPowerOfTwoSide(h))
        ReportPrintf(this, 1,
                     "\r\nWarning %s :w:%d - h:%d\r\nThe width and height of the bitmap must be a power of 2 "
                     "(2,4,8 ... 256,512)\r\n",
                     texture->GetMapName(), w, h);
    return result;
}

CKTexture* ExportBuilder::CreateTexture(const char* file, const char* name, ExportKey key)
{
    if (!file && !name)
        return nullptr;
    if (!file)
        for (CKTexture* texture : textureFiles)
            // A name with dots of its own is its texture's whole name.
            if (texture && (FileNamePart(texture->GetName()).Compare(XString(name)) == 0 ||
                            XString(texture->GetName()).Compare(XString(name)) == 0))
                return texture;
    // A texture looked up by name alone is registered under that name: two
    // unknown names must not meet under one empty file name.
    const XString lookup(file ? file : name);
    if (CKTexture** found = textureFiles.FindPtr(lookup))
        return *found;
    const XString ownName = name ? XString(name) : FileNamePart(file);
    auto* texture = static_cast<CKTexture*>(Create(CKCID_TEXTURE, ownName.CStr()));
    if (!texture)
        return nullptr;
    if (file)
        texture->LoadImage(file, 0);
    if (key)
        textures.Insert(key, texture);
    textureFiles.Insert(lookup, texture);
    return texture;
}

namespace {

// A standard material's map of that slot when it takes an explicit map
// channel equal to channel.
bool MapUsesChannel(StdMat2* m, int slot, int channel)
{
    Texmap* map = m->GetSubTexmap(slot);
    return map && map->GetUVWSource() == UVWSRC_EXPLICIT && map->GetMapChannel() == channel;
}

constexpr Class_ID kCompositeClassId(0x250, 0);
constexpr Class_ID kMultiLayerClassId(0x61dc0cd7, 0x13640af6);
// Material trees deeper than this are taken for loops.
constexpr int kMaxMaterialDepth = 32;

} // namespace

Mtl* Max2Qdx::FindChannelMaterial(Mtl* m, int subMaterialId, int channel, ExportKey* key)
{
    ExportKey unused = 0;
    if (!key)
        key = &unused;
    for (int depth = 0; depth < kMaxMaterialDepth; ++depth) {
        *key = 0;
        if (!m)
            return nullptr;
        const Class_ID cid = m->ClassID();
        if (StdMat2* standard = AsStandardMaterial(m)) {
            const IParamBlock2* dx = GetDxShaderParamBlock(m);
            if (!dx) {
                if (channel == 0 || MapUsesChannel(standard, ID_DI, channel)) {
                    *key = (ExportKey) m;
                    return m;
                }
                if (MapUsesChannel(standard, ID_SI, channel)) {
                    *key = ~(ExportKey) m;
                    return m;
                }
                return nullptr;
            }
            if (channel > 0) {
                if (GetDxShaderIntParam(dx, kDxLightmapOn, 0) &&
                    GetDxShaderIntParam(dx, kDxLightmapChannel, 3) == channel) {
                    *key = ~(ExportKey) m;
                    return m;
                }
                return nullptr;
            }
            const char* file =
                GetDxShaderIntParam(dx, kDxDiffuseOn, 0) ? GetDxShaderBitmapName(dx, kDxDiffuseBitmap) : nullptr;
            if (Mtl** first = file ? dxShaderBitmaps.FindPtr(XString(file)) : nullptr) {
                *key = (ExportKey) *first;
                return *first;
            }
            return nullptr;
        }
        if (cid == BAKE_SHELL_CLASS_ID) {
            int index = 1;
            if (!shellMaterialExportBoth && m->NumParamBlocks() > 0 && m->GetParamBlock(0))
                index = m->GetParamBlock(0)->GetInt(0, 0);
            m = m->GetSubMtl(index);
        } else if (cid == MULTI_CLASS_ID) {
            const int count = m->NumSubMtls();
            if (count <= 0)
                return nullptr;
            m = m->GetSubMtl((int) ((unsigned) subMaterialId % (unsigned) count));
        } else if (cid == kCompositeClassId || cid == kMultiLayerClassId) {
            if (channel == 0) {
                m = m->GetSubMtl(0);
                continue;
            }
            Mtl* next = nullptr;
            for (int i = 0; i < m->NumSubMtls() && !next; ++i) {
                StdMat2* sub = AsStandardMaterial(m->GetSubMtl(i));
                if (sub && MapUsesChannel(sub, ID_DI, channel))
                    next = sub;
            }
            if (!next)
                return nullptr;
            m = next;
        } else {
            return nullptr;
        }
    }
    *key = 0;
    return nullptr;
}
