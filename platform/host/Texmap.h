#pragma once

#include <memory>
#include <string>

#include "platform/host/Bitmap.h"
#include "platform/host/Color.h"
#include "platform/host/IParamBlock2.h"
#include "platform/host/Mtl.h"

constexpr SClass_ID TEXMAP_CLASS_ID = 0xC10;
constexpr SClass_ID UVGEN_CLASS_ID = 0xC20;
constexpr Class_ID BMTEX_CLASS_ID(0x240, 0);
constexpr Class_ID STDUV_CLASS_ID(0x100, 0);

// Tiling bits of a UV generator.
constexpr int U_WRAP = 1;
constexpr int V_WRAP = 2;
constexpr int U_MIRROR = 4;
constexpr int V_MIRROR = 8;
// Where a UV generator takes its coordinates: an explicit map channel, the
// object's XYZ, the vertex colours, the world's XYZ.
constexpr int UVWSRC_EXPLICIT = 0;
constexpr int UVWSRC_OBJXYZ = 1;
constexpr int UVWSRC_EXPLICIT2 = 2;
constexpr int UVWSRC_WORLDXYZ = 3;

// Stands in for the host's standard UV generator: offsets, tiling (scale)
// and W angle, constant over time, the tiling bits, the map channel and the
// coordinate source.
class StdUVGen : public ReferenceTarget
{
public:
    StdUVGen();

    float GetUOffs(TimeValue) const { return m_UOffs; }
    float GetVOffs(TimeValue) const { return m_VOffs; }
    float GetUScl(TimeValue) const { return m_UScl; }
    float GetVScl(TimeValue) const { return m_VScl; }
    // The W angle, radians.
    float GetAng(TimeValue) const { return m_Ang; }
    int GetTextureTiling() const { return m_Tiling; }
    int GetMapChannel() const { return m_Channel; }
    int GetUVWSource() const { return m_Source; }

    void SetUOffs(float v) { m_UOffs = v; }
    void SetVOffs(float v) { m_VOffs = v; }
    void SetUScl(float v) { m_UScl = v; }
    void SetVScl(float v) { m_VScl = v; }
    void SetAng(float v) { m_Ang = v; }
    void SetTextureTiling(int tiling) { m_Tiling = tiling; }
    void SetMapChannel(int channel) { m_Channel = channel; }
    void SetUVWSource(int source) { m_Source = source; }

private:
    float m_UOffs = 0.0f, m_VOffs = 0.0f, m_UScl = 1.0f, m_VScl = 1.0f, m_Ang = 0.0f;
    int m_Tiling = U_WRAP | V_WRAP;
    int m_Channel = 1;
    int m_Source = UVWSRC_EXPLICIT;
};

// Stands in for the host's texture maps: a name, a class and a UV
// generator (every map here has one).
class Texmap : public MtlBase
{
public:
    Texmap(Class_ID classId, std::string className, std::string name);
    ~Texmap() override;

    StdUVGen* GetTheUVGen() const { return m_UVGen.get(); }
    int GetUVWSource() const { return m_UVGen->GetUVWSource(); }
    int GetMapChannel() const { return m_UVGen->GetMapChannel(); }

private:
    std::unique_ptr<StdUVGen> m_UVGen;
};

// The parameters of a bitmap texture's block 0: the crop rectangle (floats
// u, v, width, height) and whether it applies (an int).
constexpr ParamID BMTEX_CLIPU = 0;
constexpr ParamID BMTEX_CLIPV = 1;
constexpr ParamID BMTEX_CLIPW = 2;
constexpr ParamID BMTEX_CLIPH = 3;
constexpr ParamID BMTEX_APPLY = 6;

// Stands in for the host's bitmap texture: a file name (as stored, resolved
// against the map folders when loaded), the crop parameters and the bitmap,
// loaded by the first GetBitmap (with stb_image) and kept.
class BitmapTex : public Texmap
{
public:
    explicit BitmapTex(std::string name = "");
    ~BitmapTex() override;

    const char* GetMapName() const { return m_MapName.c_str(); }
    void SetMapName(const char* name);
    // The bitmap, loaded when first asked; null when the file cannot be
    // found or read.
    Bitmap* GetBitmap(TimeValue t);

    int NumParamBlocks() const override { return 1; }
    IParamBlock2* GetParamBlock(int i) const override;
    // Sets the crop rectangle and whether it applies.
    void SetCrop(bool apply, float u, float v, float w, float h);

    // The stand-in's own note of how the importer that made the map found
    // its file, with the name the file gave ("" for both when nothing was
    // looked for); the scene dump shows it.
    const std::string& FoundBy() const { return m_FoundBy; }
    const std::string& WrittenName() const { return m_WrittenName; }
    void SetFoundBy(std::string how, std::string written)
    {
        m_FoundBy = std::move(how);
        m_WrittenName = std::move(written);
    }

private:
    std::string m_MapName;
    std::string m_FoundBy, m_WrittenName;
    std::unique_ptr<IParamBlock2> m_Block;
    std::unique_ptr<Bitmap> m_Bitmap;
    bool m_Loaded = false;
};
