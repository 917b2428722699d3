#pragma once

#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "system/image/QxImageDesc.h"
#include "system/math/QxColor.h"
#include "system/math/QxVector.h"
#include "system/memory/QxPoolObject.h"

class CKSharedBufferPool;

// Kinds of objects a rasterizer context keeps under an index (bit values, as
// the render manager hands out indices per kind).
enum : CKDWORD
{
    CKRST_OBJ_TEXTURE = 1,
    CKRST_OBJ_SPRITE = 2,
    CKRST_OBJ_VERTEXBUFFER = 4,
    CKRST_OBJ_SHAREDVB = 64,
    CKRST_OBJ_SHAREDIB = 128,
};

// Transform slots of SetTransform.
enum : CKDWORD
{
    CKRST_TRANSFORM_WORLD = 1,
    CKRST_TRANSFORM_VIEW = 2,
    CKRST_TRANSFORM_PROJECTION = 3,
};

// Primitive types (Direct3D 9 numbering).
enum : int
{
    CKRST_PT_POINTLIST = 1,
    CKRST_PT_LINELIST = 2,
    CKRST_PT_LINESTRIP = 3,
    CKRST_PT_TRIANGLELIST = 4,
    CKRST_PT_TRIANGLESTRIP = 5,
    CKRST_PT_TRIANGLEFAN = 6,
};

// The render states the engine sets (Direct3D 9 numbering; 254 swaps the
// culling order of mirrored entities).
enum : CKDWORD
{
    CKRST_RS_TEXTUREPERSPECTIVE = 4,
    CKRST_RS_ZENABLE = 7,
    CKRST_RS_FILLMODE = 8,
    CKRST_RS_SHADEMODE = 9,
    CKRST_RS_ZWRITEENABLE = 14,
    CKRST_RS_ALPHATESTENABLE = 15,
    CKRST_RS_SRCBLEND = 19,
    CKRST_RS_DESTBLEND = 20,
    CKRST_RS_CULLMODE = 22,
    CKRST_RS_ZFUNC = 23,
    CKRST_RS_ALPHAREF = 24,
    CKRST_RS_ALPHAFUNC = 25,
    CKRST_RS_ALPHABLENDENABLE = 27,
    CKRST_RS_FOGENABLE = 28,
    CKRST_RS_SPECULARENABLE = 29,
    CKRST_RS_FOGCOLOR = 34,
    CKRST_RS_WRAP0 = 128,
    CKRST_RS_CLIPPING = 136,
    CKRST_RS_LIGHTING = 137,
    CKRST_RS_AMBIENT = 139,
    CKRST_RS_VERTEXBLEND = 151,
    CKRST_RS_CLIPPLANEENABLE = 152,
    CKRST_RS_POINTSIZE = 154,
    CKRST_RS_POINTSIZEMIN = 155,
    CKRST_RS_POINTSPRITEENABLE = 156,
    CKRST_RS_POINTSCALEENABLE = 157,
    CKRST_RS_POINTSCALE_A = 158,
    CKRST_RS_POINTSCALE_B = 159,
    CKRST_RS_POINTSCALE_C = 160,
    CKRST_RS_POINTSIZEMAX = 166,
    CKRST_RS_INDEXEDVERTEXBLENDENABLE = 167,
    CKRST_RS_INVERSEWINDING = 254,
    CKRST_RS_COUNT = 256,
};

// Values of CKRST_RS_CULLMODE.
enum : CKDWORD
{
    CKRST_CULL_NONE = 1,
    CKRST_CULL_CW = 2,
    CKRST_CULL_CCW = 3,
};

// Texture-stage states the engine sets: 11 the coordinate index, 13 to 17
// addressing and filtering (the material's own values), 39 the material's
// texture blend mode, 40 the stage blend (source << 4 | destination).
enum : CKDWORD
{
    CKRST_TSS_TEXCOORDINDEX = 11,
    CKRST_TSS_ADDRESSU = 13,
    CKRST_TSS_ADDRESSV = 14,
    CKRST_TSS_BORDERCOLOR = 15,
    CKRST_TSS_MAGFILTER = 16,
    CKRST_TSS_MINFILTER = 17,
    CKRST_TSS_TEXTUREMAPBLEND = 39,
    CKRST_TSS_STAGEBLEND = 40,
    CKRST_TSS_COUNT = 48,
};

constexpr int CKRST_MAX_STAGES = 8;
constexpr int CKRST_MAX_LIGHTS = 128;
constexpr int CKRST_MAX_CLIPPLANES = 6;

// Clear flags (the render options' clear bits).
enum : CKDWORD
{
    CKRST_CTXCLEAR_COLOR = 0x20,
    CKRST_CTXCLEAR_DEPTH = 0x10,
    CKRST_CTXCLEAR_STENCIL = 0x40,
};

// Driver capability bits.
enum : CKDWORD
{
    CKRST_CAPS_POINTSPRITES = 0x2000,
    CKRST_CAPS_COLORBGRA = 0x4000, // colours with red in the low byte
};

// Flags of a texture or sprite description that the engine asks for or
// reads back.
enum : CKDWORD
{
    CKRST_TEXTURE_COLORKEY = 0x10000,   // asked: colour-key transparency (the format is given alpha)
    CKRST_TEXTURE_ALPHAKEYED = 0x40000, // kept: the format carries the colour key's alpha
};

// Every description of an object a rasterizer context keeps.
class CKRasterizerObjectDesc : public QxPoolObject
{};

// A texture: flags, its format and size as an image description, and its
// mipmap count. Default: all zero, description size 52.
class CKTextureDesc : public CKRasterizerObjectDesc
{
public:
    CKDWORD Flags = 0;
    QxImageDesc Format;
    CKDWORD MipMapCount = 0;
};

// One piece of a sprite: the texture that holds it and where it lies.
struct CKSpriteTile
{
    CKDWORD TextureIndex = 0;
    CKWORD x = 0, y = 0;
    CKWORD TextureWidth = 0, TextureHeight = 0;
    CKWORD Width = 0, Height = 0;
};
static_assert(sizeof(CKSpriteTile) == 16, "a sprite tile is 16 bytes");

// A sprite: its format, a colour-map word, its tiles and the colour it is
// modulated with.
class CKSpriteDesc : public CKRasterizerObjectDesc
{
public:
    CKTextureDesc Format;
    CKDWORD ColorMap = 0;
    XArray<CKSpriteTile> Tiles;
    CKDWORD ModulateColor = 0xFFFFFFFF;
};

// A vertex buffer of its own: flags, Direct3D vertex format code, vertex
// size and capacity.
class CKVertexBufferDesc : public CKRasterizerObjectDesc
{
public:
    CKDWORD Flags = 0;
    CKDWORD VertexFormat = 0;
    CKDWORD VertexSize = 0;
    CKDWORD MaxVertexCount = 0;
};

// Buffer flags of the shared descriptions: 8 marks a dynamic buffer.
enum : CKDWORD
{
    CKRST_VB_DYNAMIC = 8,
};

// A range of a shared vertex buffer: the caller fills flags, format, vertex
// size and count; the rasterizer context sets the pool and the range start.
// Destroying it gives the range back to its pool.
class CKSharedVBDesc : public CKRasterizerObjectDesc
{
public:
    CKSharedVBDesc() = default;
    CKSharedVBDesc(const CKSharedVBDesc&) = delete;
    CKSharedVBDesc& operator=(const CKSharedVBDesc&) = delete;
    ~CKSharedVBDesc() override;

    CKDWORD Flags = 0;
    CKDWORD VertexFormat = 0;
    CKDWORD VertexSize = 0;
    CKDWORD MaxVertexCount = 0;
    CKSharedBufferPool* Pool = nullptr;
    CKDWORD Start = 0;
    CKDWORD Last = 0xFFFFFFFF;
};

// A range of a shared 16-bit index buffer, as CKSharedVBDesc.
class CKSharedIBDesc : public CKRasterizerObjectDesc
{
public:
    CKSharedIBDesc() = default;
    CKSharedIBDesc(const CKSharedIBDesc&) = delete;
    CKSharedIBDesc& operator=(const CKSharedIBDesc&) = delete;
    ~CKSharedIBDesc() override;

    CKDWORD Flags = 0;
    CKDWORD MaxIndexCount = 0;
    CKSharedBufferPool* Pool = nullptr;
    CKDWORD Start = 0;
    CKDWORD Last = 0xFFFFFFFF;
};

// The viewport in pixels and its depth range.
struct CKViewportData
{
    int ViewX = 0;
    int ViewY = 0;
    int ViewWidth = 0;
    int ViewHeight = 0;
    float ViewZMin = 0.0f;
    float ViewZMax = 1.0f;
};

// The material record of SetMaterial: four colours and a power (17 words).
struct CKMaterialData
{
    QxColor Diffuse;
    QxColor Ambient;
    QxColor Specular;
    QxColor Emissive;
    float SpecularPower = 0.0f;
};
static_assert(sizeof(CKMaterialData) == 17 * 4, "the material record is 17 words");

// A light as Direct3D 9 lays it out (104 bytes).
struct CKLightData
{
    CKDWORD Type = 1; // 1 point, 2 spot, 3 directional
    QxColor Diffuse;
    QxColor Specular;
    QxColor Ambient;
    QxVector Position;
    QxVector Direction;
    float Range = 0.0f;
    float Falloff = 0.0f;
    float Attenuation0 = 0.0f;
    float Attenuation1 = 0.0f;
    float Attenuation2 = 0.0f;
    float InnerSpotCone = 0.0f;
    float OuterSpotCone = 0.0f;
};
static_assert(sizeof(CKLightData) == 104, "the light record is 104 bytes");

// What SetLight takes: the light and the lighting model word after it (27
// words).
struct CKLightRecord
{
    CKLightData Light;
    CKDWORD LightingModel = 0;
};
static_assert(sizeof(CKLightRecord) == 27 * 4, "the rasterizer's light is 27 words");

// Input and results of TransformVertices: positions in, clip-space
// positions, screen positions (x, y, z, 1/w) and clip codes out; any output
// may be null. Offscreen receives the AND of the clip codes.
struct CKTransformData
{
    const void* InVertices = nullptr;
    CKDWORD InStride = 0;
    void* OutVertices = nullptr; // QxVector4 per vertex
    CKDWORD OutStride = 0;
    void* ScreenVertices = nullptr; // QxVector4 per vertex
    CKDWORD ScreenStride = 0;
    CKDWORD* ClipFlags = nullptr; // one word per vertex
    CKDWORD Offscreen = 0;
};
