#include <algorithm>
#include <cmath>
#include <vector>

#include "core/context/CKContext.h"
#include "core/context/CKDefines.h"
#include "core/parameter/CKParameter.h"
#include "exporter/builder/ExportBuilder.h"
#include "exporter/materials/MaterialConversion.h"
#include "exporter/options/Max2Qdx.h"
#include "exporter/report/ReportPrintf.h"
#include "exporter/userdata/CustomAttributes.h"
#include "platform/host/Bitmap.h"
#include "platform/host/Interface.h"
#include "platform/host/StdMat.h"
#include "platform/host/Texmap.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKTexture.h"

bool AddEffectParameter(MaterialDesc& d, const char* name, CKParameter* parameter)
{
    if (!parameter)
        return false;
    XString text;
    const int length = name ? parameter->GetStringValue(nullptr, 0) : 0;
    if (length > 1) {
        std::vector<char> buffer((size_t) length, 0);
        parameter->GetStringValue(buffer.data(), length);
        text = buffer.data();
    }
    // The parameter was made for its text alone.
    if (CKContext* context = parameter->GetCKContext())
        context->DestroyObject(parameter);
    if (!name || text.Length() == 0)
        return false;
    d.effectParameters.Insert(XString(name), text);
    return true;
}

namespace {

// 1 - the map amount, from the amount as the host shows it (a percentage
// with a few decimals): 60 % gives 0.4, whose 255 times truncates to 102
// (the 32-bit amount itself gives 101).
double OpacityAmount(float hostAmount)
{
    const double shown = std::round((double) hostAmount * 1e6) / 1e6;
    return 1.0 - shown;
}

CKBYTE AlphaOf(CKDWORD pixel)
{
    return (CKBYTE) (pixel >> 24);
}

// Whether some engine material of the context shows the texture.
bool TextureInUse(CKContext* context, CKTexture* texture)
{
    const XArray<CKObject*> list = context->GetObjectListByType(CKCID_MATERIAL, TRUE);
    for (CKObject* object : list)
        if (static_cast<CKMaterial*>(object)->GetTexture(0) == texture)
            return true;
    return false;
}

// The alpha bytes the opacity bitmap gives, written into the texture within
// both sizes.
void WriteAlpha(CKTexture* texture, const Bitmap& opacity, double amount)
{
    const BitmapStorage* storage = opacity.Storage();
    if (!storage || !texture->LockSurfacePtr(-1))
        return;
    const int w = std::min(opacity.Width(), texture->GetWidth());
    const int h = std::min(opacity.Height(), texture->GetHeight());
    const int raise = (int) (255.0 * amount);
    std::vector<WORD> row((size_t) std::max(opacity.Width(), 1));
    for (int y = 0; y < h; ++y) {
        if (!storage->Get16Gray(0, y, opacity.Width(), row.data()))
            continue;
        for (int x = 0; x < w; ++x) {
            const int grey = row[(size_t) x] >> 8;
            const int alpha = amount == 0.0 ? grey : std::clamp(grey + raise, 0, 255);
            const CKDWORD pixel = texture->GetPixel(x, y);
            texture->SetPixel(x, y, (pixel & 0x00FFFFFFu) | ((CKDWORD) alpha << 24));
        }
    }
}

bool AlphaDiffers(CKTexture* a, CKTexture* b)
{
    const int w = std::max(a->GetWidth(), b->GetWidth()), h = std::max(a->GetHeight(), b->GetHeight());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (AlphaOf(a->GetPixel(x, y)) != AlphaOf(b->GetPixel(x, y)))
                return true;
    return false;
}

} // namespace

// A texture whose alpha an opacity map wrote serves only materials that
// write the same: another gets a copy of the file's own image, made once.
static void AvoidForeignAlpha(Max2Qdx& exporter, MaterialDesc& d)
{
    for (Max2Qdx::GeneratedAlpha& record : exporter.generatedAlphas) {
        if (record.texture != d.texture)
            continue;
        if (!record.pristine) {
            ExportBuilder* builder = exporter.builder;
            auto* fresh = static_cast<CKTexture*>(
                builder->context->CreateObject(CKCID_TEXTURE, d.texture->GetName(), builder->creationOptions));
            if (!fresh)
                return;
            if (const char* file = d.texture->GetSlotFileName(0))
                fresh->LoadImage(file, 0);
            builder->AddCreatedObject(fresh);
            record.pristine = fresh;
        }
        d.texture = record.pristine;
        return;
    }
}

// Steps of the opacity map: its grey levels into the alpha of the base
// texture (or of a copy when another material shows that texture).
static void GenerateAlpha(Max2Qdx& exporter, StdMat2* s, MaterialDesc& d)
{
    BitmapTex* opacity = AsBitmapTexture(s->GetSubTexmap(ID_OP));
    if (!opacity)
        return AvoidForeignAlpha(exporter, d);
    const double amount = OpacityAmount(s->GetTexmapAmt(ID_OP, 0));
    Bitmap* alphaBitmap = opacity->GetBitmap(0);
    BitmapTex* base = AsBitmapTexture(s->GetSubTexmap(s->MapEnabled(ID_DI) ? ID_DI : ID_SI));
    Bitmap* baseBitmap = base ? base->GetBitmap(0) : nullptr;
    if (!alphaBitmap || !alphaBitmap->Storage() || !baseBitmap || !baseBitmap->Storage()) {
        // A missing base bitmap was counted where its texture was made.
        if (!alphaBitmap || !alphaBitmap->Storage())
            exporter.missingBitmaps.Insert(XString(opacity->GetMapName()), TRUE);
        ReportPrintf(&exporter, 1, "\r\nOpacity map : %s not found...\r\n", opacity->GetMapName());
        return AvoidForeignAlpha(exporter, d);
    }
    ExportBuilder* builder = exporter.builder;
    CKContext* context = builder->context;
    CKTexture* original = d.texture;
    CKTexture* copy = nullptr;
    if (TextureInUse(context, original))
        copy = static_cast<CKTexture*>(context->CopyObjects(original, nullptr, nullptr, builder->creationOptions));
    CKTexture* target = copy ? copy : original;
    ReportPrintf(&exporter, 3, "\r\nGenerating alpha from opacity map : %s\r\n", opacity->GetMapName());

    const int width = baseBitmap->Width(), height = baseBitmap->Height();
    Bitmap* resized = nullptr;
    const Bitmap* source = alphaBitmap;
    if (alphaBitmap->Width() != width || alphaBitmap->Height() != height) {
        BitmapInfo info;
        info.SetType(BMM_TRUE_32);
        info.SetFlags(0);
        info.SetWidth(width);
        info.SetHeight(height);
        resized = TheManager->Create(&info);
        if (!resized || !resized->CopyImage(alphaBitmap, COPY_IMAGE_RESIZE_HI_QUALITY, BMM_Color_64())) {
            ReportPrintf(&exporter, 1,
                         "\r\nOpacity map : %s cannot resize alpha map in order to put it in the alpha component of "
                         "texture...\r\n",
                         opacity->GetMapName());
            if (resized)
                TheManager->DelBitmap(resized);
            if (copy)
                context->DestroyObject(copy);
            return AvoidForeignAlpha(exporter, d);
        }
        source = resized;
    }
    WriteAlpha(target, *source, amount);
    if (resized)
        TheManager->DelBitmap(resized);
    if (copy) {
        if (AlphaDiffers(copy, original)) {
            d.texture = copy;
            builder->AddCreatedObject(copy);
        } else {
            context->DestroyObject(copy);
        }
    }
    Max2Qdx::GeneratedAlpha record;
    record.texture = d.texture;
    exporter.generatedAlphas.PushBack(record);
}

void Max2Qdx::ConvertStandardMaterial(Mtl* m, MaterialDesc& d, int& alphaUsed)
{
    StdMat2* s = AsStandardMaterial(m);
    if (!s || !builder)
        return;
    const bool diffuseOn = s->MapEnabled(ID_DI) != 0;
    const bool selfIllumOn = s->MapEnabled(ID_SI) != 0;

    if (diffuseOn && selfIllumOn)
        if (BitmapTex* lightmap = AsBitmapTexture(s->GetSubTexmap(ID_SI))) {
            lightmap->GetBitmap(0);
            BitmapInfo info(lightmap->GetMapName());
            BMMGetFullFilename(&info);
            d.texture = builder->CreateTexture(info.Name(), FileNamePart(info.Name()).CStr(), (ExportKey) lightmap);
            if (d.texture)
                d.texture->UseMipmap(1);
            XString name(m->GetName().data());
            name += "_Lightmap";
            if (CKMaterial* material = builder->CreateMaterial(&d, name.CStr(), ~(ExportKey) m)) {
                material->SetTextureMinMode(CK_TEXFILTER_LINEARMIPLINEAR);
                ApplyMaterialProperties(material, m);
            }
        }

    if (diffuseOn || selfIllumOn) {
        d.textureBlendMode = CK_TEXBLEND_MODULATEALPHA;
        d.texture = GetMapTexture(m, diffuseOn ? ID_DI : ID_SI, nullptr, nullptr);
    }

    const bool opacityStep = exportAlphaMap && d.texture && s->MapEnabled(ID_OP);
    if (d.texture && !opacityStep)
        AvoidForeignAlpha(*this, d);
    if (opacityStep) {
        GenerateAlpha(*this, s, d);
        // Blended whatever became of the map.
        alphaUsed = 1;
        d.diffuse.a = 1.0f;
        d.alphaBlend = 1;
        d.sourceBlend = CK_BLEND_SRCALPHA;
        d.destBlend = CK_BLEND_INVSRCALPHA;
    }

    const bool bump = s->MapEnabled(ID_BU) != 0;
    const bool reflection = s->MapEnabled(ID_RL) != 0;
    if (bump) {
        float amount = 0.0f;
        CKTexture* texture = GetMapTexture(m, ID_BU, &amount, nullptr);
        d.effectName = "Environment Bump Map";
        AddEffectParameter(d, "Bump Texture", builder->MakeObjectParameter(texture, CKCID_OBJECT));
        AddEffectParameter(d, "Env. Texture", builder->MakeObjectParameter(nullptr, CKCID_OBJECT));
        AddEffectParameter(d, "Amplitude", builder->MakeFloatParameter(amount));
        AddEffectParameter(d, "EnvMap Combine", builder->MakeStringParameter("Add"));
        AddEffectParameter(d, "EnvMap TexGen", builder->MakeStringParameter("Chrome"));
        AddEffectParameter(d, "EnvMap Referential", builder->MakeObjectParameter(nullptr, CKCID_3DENTITY));
    }
    if (reflection) {
        CKTexture* texture = GetMapTexture(m, ID_RL, nullptr, nullptr);
        d.effectName = "Combine 2 Textures";
        AddEffectParameter(d, "Texture 1", builder->MakeObjectParameter(texture, CKCID_OBJECT));
        AddEffectParameter(d, "Combine", builder->MakeStringParameter("Add"));
        AddEffectParameter(d, "TexGen", builder->MakeStringParameter("Chrome"));
        AddEffectParameter(d, "Referential", builder->MakeObjectParameter(nullptr, CKCID_3DENTITY));
    }
}
