#include "platform/host/Texmap.h"

StdUVGen::StdUVGen() : ReferenceTarget(UVGEN_CLASS_ID, STDUV_CLASS_ID, "StdUVGen") {}

Texmap::Texmap(Class_ID classId, std::string className, std::string name)
    : MtlBase(TEXMAP_CLASS_ID, classId, std::move(className), std::move(name)), m_UVGen(std::make_unique<StdUVGen>())
{}

Texmap::~Texmap() = default;

BitmapTex::BitmapTex(std::string name)
    : Texmap(BMTEX_CLASS_ID, "Bitmap", std::move(name)), m_Block(std::make_unique<IParamBlock2>())
{
    SetCrop(false, 0.0f, 0.0f, 1.0f, 1.0f);
}

BitmapTex::~BitmapTex() = default;

void BitmapTex::SetMapName(const char* name)
{
    m_MapName = name ? name : "";
    m_Bitmap.reset();
    m_Loaded = false;
}

Bitmap* BitmapTex::GetBitmap(TimeValue)
{
    if (!m_Loaded) {
        m_Loaded = true;
        BitmapInfo bi(m_MapName.c_str());
        if (BMMGetFullFilename(&bi))
            m_Bitmap = LoadBitmapFile(bi.Name());
    }
    return m_Bitmap.get();
}

IParamBlock2* BitmapTex::GetParamBlock(int i) const
{
    return i == 0 ? m_Block.get() : nullptr;
}

void BitmapTex::SetCrop(bool apply, float u, float v, float w, float h)
{
    m_Block = std::make_unique<IParamBlock2>();
    const auto add = [this](ParamID id, const char* name, ParamType2 type, int i, float f) {
        IParamBlock2::Entry e;
        e.def.ID = id;
        e.def.int_name = name;
        e.def.type = type;
        e.i = i;
        e.f = f;
        m_Block->AddParam(e);
    };
    add(BMTEX_CLIPU, "clipu", TYPE_FLOAT, 0, u);
    add(BMTEX_CLIPV, "clipv", TYPE_FLOAT, 0, v);
    add(BMTEX_CLIPW, "clipw", TYPE_FLOAT, 0, w);
    add(BMTEX_CLIPH, "cliph", TYPE_FLOAT, 0, h);
    add(BMTEX_APPLY, "apply", TYPE_INT, apply ? 1 : 0, 0.0f);
}
