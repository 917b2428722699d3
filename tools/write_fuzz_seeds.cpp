// Writes the generated seed inputs of the fuzz targets of the image readers,
// the DCT texture codec and the engine's chunks and files (bitmaps,
// materials, textures, sprites, 3D entities, behaviours, scenes, parameters)
// into $FUZZ_SEEDS_OUT/<target>/; the output is committed under fuzz/corpus/:
//   FUZZ_SEEDS_OUT=fuzz/corpus build/test/tools/write_fuzz_seeds
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "core/bitmap/CKBitmapData.h"
#include "core/bitmap/CKBitmapProperties.h"
#include "core/chunk/CKStateChunk.h"
#include "core/context/CKContext.h"
#include "core/context/CKFunctions.h"
#include "core/context/CKPluginManager.h"
#include "core/context/CKStartUp.h"
#include "core/file/CKFile.h"
#include "core/object/CKClassRegistry.h"
#include "readers/dds/DDSReader.h"
#include "readers/imagereader/ImageReaderPlugin.h"
#include "readers/jpeg/JpgReader.h"
#include "readers/jpeg/JpgReaderPlugin.h"
#include "readers/png/PngReader.h"
#include "readers/png/PngReaderPlugin.h"
#include "readers/tiff/TiffReader.h"
#include "readers/tiff/TiffReaderPlugin.h"
#include "render/animation/CKKeyedController.h"
#include "render/animation/CKMorphController.h"
#include "render/animation/CKSkin.h"
#include "render/animation/RCKBodyPart.h"
#include "render/animation/RCKCharacter.h"
#include "render/animation/RCKKeyedAnimation.h"
#include "render/animation/RCKObjectAnimation.h"
#include "render/context/CKRenderEngine.h"
#include "render/mesh/CKMaterial.h"
#include "render/mesh/CKTexture.h"
#include "render/mesh/RCKMesh.h"
#include "render/mesh/RCKPatchMesh.h"
#include "render/objects/RCK3dEntity.h"
#include "render/objects/RCKSpriteText.h"
#include "render/objects/pointcloud/RCK3dPointCloud.h"
#include "system/image/QxPixelFormat.h"
#include "tools/AnimationExportSeeds.h"
#include "tools/BlockSeeds.h"
#include "tools/ContentSeeds.h"
#include "tools/CoreSeeds.h"
#include "tools/testdata/ImageFileBuilders.h"
#include "tools/testdata/LibjpegCodec.h"
#include "tools/testdata/MovieBuilder.h"
#include "tools/testdata/TestPatches.h"
#include "tools/testdata/TextureCodecTestEncoder.h"

namespace {

std::string g_Root;
int g_Failures = 0;

void Put(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes)
{
    const std::string dir = g_Root + "/" + target;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (bytes.empty() || !SaveFileBytes(dir + "/" + name, bytes)) {
        std::fprintf(stderr, "write_fuzz_seeds: %s/%s not written%s\n", target.c_str(), name.c_str(),
                     bytes.empty() ? " (nothing was encoded)" : "");
        ++g_Failures;
    }
}

// The builders' pattern, with its alpha, as 32-bit ARGB words.
std::vector<uint32_t> Picture(int width, int height)
{
    std::vector<uint32_t> pixels((size_t) width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[(size_t) y * width + x] = PatternColor(x, y);
    return pixels;
}

// What the reader's writer makes of the picture with the record's words.
std::vector<uint8_t> Encode(CKBitmapReader& reader, CKBitmapProperties p, std::vector<uint32_t>& pixels, int width,
                            int height)
{
    QxImageDesc d;
    d.Width = width;
    d.Height = height;
    d.BitsPerPixel = 32;
    d.BytesPerLine = width * 4;
    d.SetDefaultMasks();
    d.Image = reinterpret_cast<CKBYTE*>(pixels.data());
    p.m_Format = d;
    p.m_Data = pixels.data();
    void* block = nullptr;
    const int size = reader.SaveMemory(&block, &p);
    std::vector<uint8_t> bytes;
    if (size > 0)
        bytes.assign(static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + size);
    reader.ReleaseMemory(block);
    return bytes;
}

void PutCorpus(const std::string& target, const std::vector<CorpusFile>& corpus, const std::set<std::string>& names)
{
    for (const CorpusFile& f : corpus)
        if (names.count(f.name))
            Put(target, f.name, f.bytes);
}

void WriteReaderSeeds()
{
    PutCorpus("bmp", BuildBmpCorpus(),
              {"bmp_1.bmp", "bmp_4.bmp", "bmp_16_565.bmp", "bmp_32_fields.bmp", "bmp_core_8.bmp", "bmp_topdown_24.bmp",
               "bmp_rle8_deltas.bmp", "bmp_rle4_deltas.bmp"});
    BmpRecipe v5;
    v5.headerSize = 124;
    v5.bits = 32;
    v5.compression = 3;
    v5.masks[0] = 0xFF0000;
    v5.masks[1] = 0xFF00;
    v5.masks[2] = 0xFF;
    Put("bmp", "bmp_v5_32_fields.bmp", BuildBmp(v5));
    PutCorpus("tga", BuildTgaCorpus(),
              {"tga_1_map16.tga", "tga_9_br.tga", "tga_10_d16.tga", "tga_11_tl.tga", "tga_2_tr.tga",
               "tga_10_across_lines.tga", "tga_10_bl.tga"});
    PutCorpus("pcx", BuildPcxCorpus(),
              {"pcx_1_rle.pcx", "pcx_4planes_rle.pcx", "pcx_4_raw.pcx", "pcx_8_rle.pcx", "pcx_24_window_padding.pcx"});

    std::vector<uint32_t> pixels = Picture(12, 9);
    JpgReader jpg;
    CKBitmapProperties j = JpgReader::DefaultProperties();
    Put("jpeg", "colour.jpg", Encode(jpg, j, pixels, 12, 9));
    j.m_Words[JpgReader::kOptionsWord] = 1 | 2; // grey, optimised, not baseline
    j.SetFloatWord(JpgReader::kQualityWord, 0.3f);
    Put("jpeg", "grey.jpg", Encode(jpg, j, pixels, 12, 9));
    std::vector<uint8_t> inks;
    for (uint32_t p : pixels)
        for (int shift : {24, 16, 8, 0})
            inks.push_back((uint8_t) (p >> shift));
    Put("jpeg", "ycck.jpg", LibjpegEncode(inks, 12, 9, 4, JCS_CMYK, 50, true, JCS_YCCK));

    PngReader png;
    struct PngCase
    {
        const char* name;
        CKDWORD depth, options, interlace;
    };
    const PngCase cases[] = {{"rgba.png", 24, 2, 0},
                             {"rgb_adam7.png", 24, 0, 1},
                             {"palette.png", 8, 0, 0},
                             {"grey2.png", 2, 1, 1},
                             {"grey_alpha.png", 8, 3, 0}};
    for (const PngCase& c : cases) {
        CKBitmapProperties p = PngReader::DefaultProperties();
        p.m_Words[PngReader::kBitDepthWord] = c.depth;
        p.m_Words[PngReader::kOptionsWord] = c.options;
        p.m_Words[PngReader::kInterlaceWord] = c.interlace;
        p.m_Words[PngReader::kFilterWord] = 15;
        Put("png", c.name, Encode(png, p, pixels, 12, 9));
    }

    TiffReader tiff;
    CKBitmapProperties t = TiffReader::DefaultProperties();
    std::vector<uint32_t> small = Picture(5, 4);
    Put("tiff", "packbits.tif", Encode(tiff, t, small, 5, 4));
    t.m_Words[TiffReader::kCompressionWord] = 1;
    Put("tiff", "raw.tif", Encode(tiff, t, small, 5, 4));
    t.m_Words[TiffReader::kCompressionWord] = 5;
    Put("tiff", "lzw.tif", Encode(tiff, t, small, 5, 4));
    t.m_Words[TiffReader::kCompressionWord] = 8;
    Put("tiff", "deflate.tif", Encode(tiff, t, small, 5, 4));

    DDSReader dds;
    const struct
    {
        const char* name;
        CKDWORD format;
    } ddsCases[] = {{"argb.dds", 21},         {"rgb565.dds", 23},       {"rgb24.dds", 20},
                    {"dxt1.dds", 0x31545844}, {"dxt3.dds", 0x33545844}, {"dxt5.dds", 0x35545844}};
    for (const auto& c : ddsCases) {
        CKBitmapProperties d = DDSReader::DefaultProperties();
        d.m_Words[DDSReader::kFormatWord] = c.format;
        Put("dds", c.name, Encode(dds, d, small, 5, 4));
    }
    // Layouts other writers make: luminance with alpha, and a 2-bit alpha.
    std::vector<uint8_t> a8l8 = BuildDdsHeader(3, 2, 0x100F, 6, 0x20001, 0, 16, 0xFF, 0, 0, 0xFF00);
    for (int i = 0; i < 12; ++i)
        a8l8.push_back(uint8_t(i * 40));
    Put("dds", "a8l8.dds", a8l8);
    std::vector<uint8_t> a2 = BuildDdsHeader(2, 2, 0x100F, 8, 0x41, 0, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000);
    for (int i = 0; i < 16; ++i)
        a2.push_back(uint8_t(0x35 * i));
    Put("dds", "a2r10g10b10.dds", a2);

    // Grey in separate planes, the extra plane's strip empty.
    const std::vector<uint8_t> grey = {0, 40, 80, 120, 160, 200};
    Put("tiff", "planar_extra.tif", BuildPlanarTiff(3, 2, 1, {grey, {}}, {0}));
}

void WriteMovieSeeds()
{
    const struct
    {
        const char* name;
        MovieKind kind;
        int width, height, frames;
        bool bottomUp;
    } movies[] = {{"raw24.avi", MovieKind::Raw24, 3, 2, 4, false},
                  {"raw32_bottom_up.avi", MovieKind::Raw32, 2, 2, 3, true},
                  {"pal8.avi", MovieKind::Pal8, 4, 2, 3, false},
                  {"mjpeg.avi", MovieKind::Mjpeg, 8, 8, 2, false}};
    for (const auto& m : movies) {
        MovieSpec spec;
        spec.kind = m.kind;
        spec.width = m.width;
        spec.height = m.height;
        spec.frames = m.frames;
        spec.bottomUp = m.bottomUp;
        Put("avi", m.name, BuildMovie(spec));
    }
}

void WriteDctSeeds()
{
    struct Case
    {
        int width, height, quality;
    };
    const Case cases[] = {{8, 8, 50}, {13, 9, 100}, {21, 3, 10}};
    for (const Case& c : cases) {
        std::vector<uint8_t> plane((size_t) c.width * c.height);
        for (size_t i = 0; i < plane.size(); ++i)
            plane[i] = (uint8_t) (i * 37 + (i / c.width) * 11);
        Put("dct",
            "plane_" + std::to_string(c.width) + "x" + std::to_string(c.height) + "_q" + std::to_string(c.quality),
            EncodeTexturePlane(plane.data(), c.width, c.height, c.quality));
    }
}

CKBitmapReader* ReaderOf(const char* extension)
{
    return static_cast<CKBitmapReader*>(CKGetPluginManager()->GetBitmapReader(extension));
}

CKBitmapProperties DefaultsOf(const char* extension)
{
    CKBitmapReader* reader = ReaderOf(extension);
    CKBitmapProperties* defaults = nullptr;
    reader->GetBitmapDefaultProperties(&defaults);
    CKBitmapProperties copy = *defaults;
    reader->Release();
    return copy;
}

// 16 pixels per slot (a 4x4 image), with varying alpha.
std::vector<uint32_t> SlotPicture(int slot)
{
    std::vector<uint32_t> pixels;
    for (int x = 0; x < 16; ++x)
        pixels.push_back((uint32_t) (255 - x * 3 - slot * 20) << 24 | (uint32_t) (x * 5 + slot * 30) << 16 |
                         (uint32_t) (90 + slot * 40));
    return pixels;
}

// A seed of the state-chunk fuzz target: control byte 0, the script
// (operation and argument pairs), then the chunk.
void PutChunkSeed(const std::string& name, CKStateChunk* chunk, std::vector<uint8_t> seed)
{
    seed.insert(seed.begin(), {0, (uint8_t) seed.size()});
    std::vector<uint8_t> bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    seed.insert(seed.end(), bytes.begin(), bytes.end());
    Put("state_chunk", name, seed);
    CKDeleteStateChunk(chunk);
}

// Chunks with bitmap data sections (identifiers 1 to 5), read by the engine's
// own readers.
void WriteBitmapChunkSeeds(CKContext* context)
{
    const CKDWORD ids[5] = {1, 2, 3, 4, 5};
    const std::pair<int, const char*> saves[] = {{CKBITMAP_SAVEFORMAT, "bmp"},      {CKBITMAP_SAVEFORMAT, "tga"},
                                                 {CKBITMAP_SAVEFORMAT, "png"},      {CKBITMAP_SAVEFORMAT, "jpg"},
                                                 {CKBITMAP_SAVEFORMAT, "tif"},      {CKBITMAP_SAVERAWDATA, "raw"},
                                                 {CKBITMAP_SAVEREFERENCES, "names"}};
    for (const auto& [options, reader] : saves) {
        CKBitmapData data(context);
        for (int slot = 0; slot < 2; ++slot) {
            if (!data.CreateImage(4, 4, 32, slot)) {
                ++g_Failures;
                return;
            }
            std::memcpy(data.GetSlotImageData(slot), SlotPicture(slot).data(), 64);
            data.SetSlotFileName(slot, slot ? "b.png" : "a.png");
        }
        data.SetSaveOptions(options);
        if (options == CKBITMAP_SAVEFORMAT) {
            CKBitmapProperties format = DefaultsOf(reader);
            data.SetSaveFormat(&format);
        }
        CKFile* file = context->CreateCKFile();
        CKStateChunk* chunk = CKCreateStateChunk(31);
        chunk->StartWrite();
        data.WriteToChunk(chunk, file, ids);
        context->DeleteCKFile(file);
        // The data in video-shadow caching as 565, then the first encoded
        // image into 565 pixels.
        PutChunkSeed(std::string("bitmap_") + reader, chunk, {32, 1 | _16_RGB565 << 1, 17, 2, 16, 4, 31, _16_RGB565});
    }

    // The older form: format-named buffers.
    CKStateChunk* chunk = CKCreateStateChunk(31);
    chunk->StartWrite();
    chunk->WriteIdentifier(5);
    chunk->WriteInt(2);
    std::vector<uint32_t> pixels = SlotPicture(0);
    CKBitmapReader* tga = ReaderOf("tga");
    std::vector<uint8_t> named = {'C', 'K', 'T', 'G', 'A'}, tgaBytes = Encode(*tga, DefaultsOf("tga"), pixels, 4, 4);
    tga->Release();
    named.insert(named.end(), tgaBytes.begin(), tgaBytes.end());
    chunk->WriteInt(0);
    chunk->WriteBuffer((int) named.size(), named.data());
    for (const CorpusFile& f : BuildPcxCorpus())
        if (f.name == "pcx_4planes_rle.pcx") {
            named = {'C', 'K', 'P', 'C', 'X'};
            named.insert(named.end(), f.bytes.begin(), f.bytes.end());
        }
    chunk->WriteInt(0);
    chunk->WriteBuffer((int) named.size(), named.data());
    PutChunkSeed("format_named", chunk, {32, 0, 17, 5, 16, 1, 29, 0});

    // Raw planes coded by the texture codec.
    chunk = CKCreateStateChunk(31);
    chunk->StartWrite();
    chunk->WriteIdentifier(3);
    chunk->WriteInt(1);
    for (CKDWORD v : {32u, 8u, 8u, 0u, 0xFF0000u, 0xFF00u, 0xFFu, 1u})
        chunk->WriteDword(v);
    for (int c = 0; c < 3; ++c) {
        std::vector<uint8_t> plane(64);
        for (int i = 0; i < 64; ++i)
            plane[(size_t) i] = (uint8_t) (i * 3 + c * 50);
        std::vector<uint8_t> coded = EncodeTexturePlane(plane.data(), 8, 8, 80);
        chunk->WriteBuffer((int) coded.size(), coded.data());
    }
    chunk->WriteDword(0);
    PutChunkSeed("coded_planes", chunk, {32, 0, 17, 3, 16, 1, 30, 0});

    // Raw bitmaps written and read back (operation 35; argument: width - 1,
    // height - 1 from bit 5, alpha in bit 7), their pixels the chunk's bytes:
    // widths of runs of eight with tails, a tail alone, and the runs alone.
    chunk = CKCreateStateChunk(31);
    chunk->StartWrite();
    for (int i = 0; i < 24; ++i)
        chunk->WriteDword(0x9E3779B9u * (CKDWORD) (i + 1));
    PutChunkSeed("raw_gather_alpha", CKCopyStateChunk(chunk), {35, 0x80 | 12, 35, 0x80 | 0x60 | 20, 35, 0x80 | 5});
    PutChunkSeed("raw_gather_opaque", chunk, {35, 12, 35, 0x40 | 20, 35, 0x20 | 15, 35, 2});
}

// Seeds of the material and texture chunk target: control byte 2 (material)
// or 3 (texture), then the object's serialised chunk; or a control byte 0 or
// 1, the section's place in the target's table and the section's words.
void PutObjectSeed(const std::string& name, CKObject* object, bool texture)
{
    // Bound to a file, as a save makes it: only then are images encoded or
    // named instead of raw.
    CKContext* context = object->GetCKContext();
    CKFile* file = context->CreateCKFile();
    CKStateChunk* chunk = object->Save(file, 0xFFFFFFFF);
    context->DeleteCKFile(file);
    std::vector<uint8_t> bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    CKDeleteStateChunk(chunk);
    bytes.insert(bytes.begin(), (uint8_t) (texture ? 3 : 2));
    Put("material_chunk", name, bytes);
}

void WriteMaterialSeeds(CKContext* context)
{
    CKMaterial* material = static_cast<CKMaterial*>(context->CreateObject(CKCID_MATERIAL, "seed"));
    CKTexture* texture = static_cast<CKTexture*>(context->CreateObject(CKCID_TEXTURE, "seed"));
    if (!material || !texture || !texture->Create(4, 4)) {
        ++g_Failures;
        return;
    }
    PutObjectSeed("material_defaults", material, false);
    material->SetTexture0(texture);
    material->EnableAlphaBlend(TRUE);
    material->SetSourceBlend(CK_BLEND_SRCALPHA);
    material->SetDestBlend(CK_BLEND_INVSRCALPHA);
    material->EnableAlphaTest(TRUE);
    material->SetAlphaRef(0x40);
    material->SetEffect(1);
    material->SetFillMode(CK_FILL_WIREFRAME);
    PutObjectSeed("material_blended", material, false);

    std::vector<uint32_t> pixels = SlotPicture(0);
    std::memcpy(texture->LockSurfacePtr(0), pixels.data(), 64);
    texture->SetSlotFileName(0, "a.png");
    texture->UseMipmap(1);
    texture->SetTransparent(TRUE);
    texture->SetTransparentColor(pixels[5]);
    const std::pair<int, const char*> saves[] = {
        {CKBITMAP_SAVEFORMAT, "png"}, {CKBITMAP_SAVERAWDATA, "raw"}, {CKBITMAP_SAVEREFERENCES, "names"}};
    for (const auto& [options, kind] : saves) {
        texture->SetSaveOptions(options);
        if (options == CKBITMAP_SAVEFORMAT) {
            CKBitmapProperties format = DefaultsOf(kind);
            texture->SetSaveFormat(&format);
        }
        PutObjectSeed(std::string("texture_") + kind, texture, true);
    }
    // Bare sections: the material's, and the texture's options.
    const std::vector<uint32_t> materialWords = {
        1,     0x3F333333, 0x3F333333, 0x3F333333, 0x3F800000, 0, 0, 0, 0, 0,    0, 0, 0, 0, 0, 0, 0x3F800000, 0,
        0x219, 4,          2,          2,          1,          0, 5, 6, 5, 0x40, 4, 3, 2, 0, 0, 0, 0,          0};
    std::vector<uint8_t> section = {0, 0};
    for (uint32_t w : materialWords)
        for (int b = 0; b < 4; ++b)
            section.push_back((uint8_t) (w >> (8 * b)));
    Put("material_chunk", "material_section", section);
    section = {1, 0};
    for (uint32_t w : {1u, 3u, 1u, 1u, 0u, 0xFF00FF00u, 0u})
        for (int b = 0; b < 4; ++b)
            section.push_back((uint8_t) (w >> (8 * b)));
    Put("material_chunk", "texture_options", section);
    context->DestroyObject(material);
    context->DestroyObject(texture);
}

// A seed of the sprite-chunk fuzz target: the control byte (bit 1: loaded
// from a file; bit 2: a sprite text; bits 3 to 7: the data version), then
// the chunk's data words.
// Seeds of the mesh chunk target: control byte 2 (data version 10) and a
// mesh's whole chunk; or control 0, the section's place in the target's
// table and the section's words.
void PutMeshSeed(const std::string& name, CKMesh* mesh)
{
    CKStateChunk* chunk = CKSaveObjectState(mesh);
    std::vector<uint8_t> bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    CKDeleteStateChunk(chunk);
    bytes.insert(bytes.begin(), 2);
    Put("mesh_chunk", name, bytes);
}

void WriteMeshSeeds(CKContext* context)
{
    auto* mesh = static_cast<CKMesh*>(context->CreateObject(CKCID_MESH, "seed"));
    auto* material = static_cast<CKMaterial*>(context->CreateObject(CKCID_MATERIAL, "seed"));
    if (!mesh || !material) {
        ++g_Failures;
        return;
    }
    mesh->SetVertexCount(4);
    for (int i = 0; i < 4; ++i) {
        mesh->SetVertexPosition(i, QxVector((float) (i & 1), (float) (i >> 1), 0.0f));
        mesh->SetVertexTextureCoordinates(i, (float) (i & 1), (float) (i >> 1));
        mesh->SetVertexColor(i, 0xFF000000u | (CKDWORD) i * 0x102030u);
    }
    mesh->SetFaceCount(2);
    mesh->SetFaceVertexIndex(0, 0, 1, 2);
    mesh->SetFaceVertexIndex(1, 2, 1, 3);
    PutMeshSeed("quad", mesh);
    // A skinned mesh's compact vertex block: no positions, one colour and
    // one coordinate for all, five words whatever the vertex count.
    mesh->SetFlags(mesh->GetFlags() | CKMESH_NOPOSITIONSSAVED);
    for (int i = 0; i < 4; ++i) {
        mesh->SetVertexTextureCoordinates(i, 0.0f, 0.0f);
        mesh->SetVertexColor(i, 0xFF000000u);
    }
    PutMeshSeed("skinned", mesh);
    mesh->SetFlags(mesh->GetFlags() & ~CKMESH_NOPOSITIONSSAVED);
    for (int i = 0; i < 4; ++i) {
        mesh->SetVertexTextureCoordinates(i, (float) (i & 1), (float) (i >> 1));
        mesh->SetVertexColor(i, 0xFF000000u | (CKDWORD) i * 0x102030u);
    }
    mesh->SetFaceMaterial(1, material);
    mesh->SetLineCount(1);
    mesh->SetLine(0, 0, 3);
    mesh->AddChannel(material, TRUE);
    int data = mesh->AddChannelEx(nullptr, FALSE, 3);
    const float values[3] = {1.0f, 2.0f, 3.0f};
    mesh->SetChannelData(2, data, values);
    mesh->SetVertexWeightsCount(4);
    mesh->SetVertexWeight(1, 0.5f);
    CKBlendShapeData shapes;
    shapes.Names.PushBack(XString("open"));
    CKBlendShapeTarget target;
    target.Deltas.PushBack(CKBlendShapeDelta{3, QxVector(0, 0, 1), QxVector()});
    shapes.Targets.PushBack(target);
    shapes.BaseVertices.PushBack(CKBlendShapeBaseVertex{3, QxVector(1, 1, 0), QxVector(0, 0, 1)});
    mesh->SetBlendShapes(shapes);
    PutMeshSeed("everything", mesh);
    // A progressive mesh drawing three of its vertices.
    mesh->CreatePM();
    mesh->SetVerticesRendered(3);
    mesh->EnablePMGeoMorph(TRUE);
    mesh->SetPMGeoMorphStep(2);
    PutMeshSeed("progressive", mesh);
    mesh->DestroyPM();
    // Bare sections: faces over the target's four vertices, the vertices.
    std::vector<uint8_t> faces = {0, 2};
    for (uint32_t w : {2u, 0x00010000u, 0x00000002u, 0x00010002u, 0x00000003u})
        for (int b = 0; b < 4; ++b)
            faces.push_back((uint8_t) (w >> (8 * b)));
    Put("mesh_chunk", "faces_section", faces);
    // A progressive-mesh section for the target's four vertices: 2 drawn,
    // 2 -> 0, 3 -> 1.
    std::vector<uint8_t> progressive = {0, 14};
    for (uint32_t w : {2u, 0u, 0u, ~0u, ~0u, 0u, 1u})
        for (int b = 0; b < 4; ++b)
            progressive.push_back((uint8_t) (w >> (8 * b)));
    Put("mesh_chunk", "progressive_section", progressive);
    // Operations of the channel target: vertices, faces, channels of each
    // type, a blend shape, then the renumberings.
    Put("mesh_channels", "operations",
        {0, 12, 0, 0, 1, 3, 1, 2, 2, 4, 0, 0,   3,  0, 1, 2, 3,  1, 3, 5, 4,  1, 0, 0, 4,  0, 0, 2,
         4, 0,  0, 3, 8, 2, 1, 3, 9, 2, 3, 128, 10, 0, 0, 0, 11, 0, 0, 0, 12, 0, 0, 0, 13, 0, 0, 0});
    context->DestroyObject(mesh);
    context->DestroyObject(material);
}

void PutSpriteSeed(const std::string& name, CKStateChunk* chunk, uint8_t control)
{
    std::vector<uint8_t> seed = {(uint8_t) (control | chunk->GetDataVersion() << 3)};
    const CKDWORD* words = chunk->GetBuffer();
    for (int i = 1; words && i <= chunk->GetDataSize() / 4; ++i)
        for (int b = 0; b < 4; ++b)
            seed.push_back((uint8_t) (words[i] >> (8 * b)));
    Put("sprite_chunk", name, seed);
    CKDeleteStateChunk(chunk);
}

// Sprites saved as a file saves them (raw, reader-encoded and named
// images), an older save-format record, a sprite text and a 2D entity
// section of the older layout.
void WriteSpriteSeeds(CKContext* context)
{
    CKFile* file = context->CreateCKFile();
    RCKSprite* sprite = static_cast<RCKSprite*>(context->CreateObject(CKCID_SPRITE, "seed"));
    sprite->Create(4, 4);
    std::memcpy(sprite->GetSlotImageData(0), SlotPicture(0).data(), 64);
    sprite->SetSlotFileName(0, "a.png");
    sprite->SetAlphaTest(TRUE, 9, 6);
    sprite->SetTransparent(TRUE);
    sprite->SetZOrder(3);
    sprite->SetHomogeneousCoordinates(TRUE);
    const CKBitmapProperties png = DefaultsOf("png");
    sprite->SetSaveFormat(&png);
    const std::pair<int, const char*> saves[] = {{CKBITMAP_SAVERAWDATA, "sprite_raw"},
                                                 {CKBITMAP_SAVEFORMAT, "sprite_png"},
                                                 {CKBITMAP_SAVEREFERENCES, "sprite_names"}};
    for (const auto& [options, name] : saves) {
        sprite->SetSaveOptions(options);
        PutSpriteSeed(name, sprite->Save(file, 0), 2);
    }

    CKStateChunk* chunk = CKCreateStateChunk(CKCID_SPRITE);
    chunk->StartWrite();
    chunk->SetDataVersion(7);
    chunk->WriteIdentifier(CK_STATESAVE_SPRITESAVEFORMAT);
    chunk->WriteInt(CKBITMAP_SAVEFORMAT);
    std::vector<uint8_t> record(60, 0);
    const CKDWORD fields[] = {
        52, png.m_ReaderGuid.d1, png.m_ReaderGuid.d2, 0x676E70, 4, 4, 16, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0, 1, 2};
    for (size_t i = 0; i < record.size() / 4; ++i)
        for (int b = 0; b < 4; ++b)
            record[4 * i + (size_t) b] = (uint8_t) (fields[i] >> (8 * b));
    chunk->WriteBuffer((int) record.size(), record.data());
    chunk->CloseChunk();
    PutSpriteSeed("old_save_format", chunk, 2);

    chunk = CKCreateStateChunk(CKCID_SPRITE);
    chunk->StartWrite();
    chunk->SetDataVersion(4);
    chunk->WriteIdentifier(CK_STATESAVE_2DENTITYFLAGS);
    chunk->WriteDword(CK2D_HOMOGENEOUS);
    chunk->WriteIdentifier(CK_STATESAVE_2DENTITYPOS);
    chunk->WriteFloat(0.25f);
    chunk->WriteFloat(0.5f);
    chunk->WriteIdentifier(CK_STATESAVE_2DENTITYSRCSIZE);
    for (int v : {8, 1, 2, 9})
        chunk->WriteInt(v);
    chunk->WriteIdentifier(CK_STATESAVE_SPRITESHARED);
    chunk->WriteInt(1); // the file's second record
    chunk->CloseChunk();
    PutSpriteSeed("old_layout", chunk, 2 | 1);

    RCKSpriteText* text = static_cast<RCKSpriteText*>(context->CreateObject(CKCID_SPRITETEXT, "text"));
    text->SetFont("DejaVu Sans", 12, 700, TRUE, FALSE);
    text->SetText("seed");
    text->SetAlign(CKSPRITETEXT_RIGHT | CKSPRITETEXT_VCENTER);
    PutSpriteSeed("sprite_text", text->Save(file, 0), 2 | 4);
    context->DeleteCKFile(file);
}

// Seeds of the patch chunk target: control byte 2 and a patch mesh's whole
// chunk (a triangle and a quad with texture patches in two records and a
// material); control 1 and the older form's words for one quad.
void WritePatchSeeds(CKContext* context)
{
    auto* mesh = static_cast<CKPatchMesh*>(context->CreateObject(CKCID_PATCHMESH, "seed"));
    auto* material = static_cast<CKMaterial*>(context->CreateObject(CKCID_MATERIAL, "seed"));
    if (!mesh || !material) {
        ++g_Failures;
        return;
    }
    FillIndependentPatches(mesh, {3, 4}, 1);
    mesh->SetTextureVertexCount(7);
    mesh->SetTexturePatchCount(2);
    CKTexturePatch tri, quad;
    for (int k = 0; k < 4; ++k) {
        tri.tv[k] = (short) (k % 3);
        quad.tv[k] = (short) (3 + k);
        mesh->SetTextureVertex(3 + k, (float) (k & 1), (float) (k >> 1));
    }
    mesh->SetTexturePatch(0, tri);
    mesh->SetTexturePatch(1, quad);
    mesh->SetPatchMaterial(1, material);
    mesh->AddChannel(material, TRUE);
    mesh->SetIterationCount(2);
    mesh->BuildRenderMesh();
    CKStateChunk* chunk = CKSaveObjectState(mesh);
    std::vector<uint8_t> bytes((size_t) chunk->ConvertToBuffer(nullptr));
    chunk->ConvertToBuffer(bytes.data());
    CKDeleteStateChunk(chunk);
    bytes.insert(bytes.begin(), 2);
    Put("patch_chunk", "two_patches", bytes);
    // Flags, material, iteration count 1, 12 vectors, 16 points, one quad
    // of 22 words, four edges of six, one texture patch, four texture
    // vertices.
    std::vector<uint32_t> words = {2, 0, 1, 12, 16 * 12, 16};
    for (int i = 0; i < 16; ++i)
        for (float f : {(float) (i & 1), (float) ((i >> 1) & 1), (float) i * 0.1f}) {
            uint32_t w;
            std::memcpy(&w, &f, 4);
            words.push_back(w);
        }
    words.insert(words.end(), {88, 1, 4, 0, 1, 2, 3, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0, 0, 1, 2, 3, 96, 4});
    for (uint32_t k = 0; k < 4; ++k)
        words.insert(words.end(), {k, 2 * k, 2 * k + 1, (k + 1) % 4, 0, 0xFFFFFFFFu});
    words.insert(words.end(), {16, 1, 0, 1, 2, 3, 32, 4});
    for (int i = 0; i < 8; ++i)
        words.push_back(i & 1 ? 0x3F800000u : 0u);
    std::vector<uint8_t> older = {1};
    for (uint32_t w : words)
        for (int b = 0; b < 4; ++b)
            older.push_back((uint8_t) (w >> (8 * b)));
    Put("patch_chunk", "older_form", older);
    context->DestroyObject(mesh);
    context->DestroyObject(material);
}

// The engine with the image readers, for the chunk seeds.
void WriteEngineSeeds()
{
    if (CKStartUp() != 0) {
        ++g_Failures;
        return;
    }
    CKPluginManager* pm = CKGetPluginManager();
    RegisterImageReaderPlugin(pm);
    pm->RegisterPlugin(0, CKGetPngPluginInfo(0), nullptr, CKGetPngReader);
    pm->AddStaticDll("PNG Reader", 1);
    pm->RegisterPlugin(0, CKGetJpgPluginInfo(0), nullptr, CKGetJpgReader);
    pm->AddStaticDll("JPG Reader", 1);
    pm->RegisterPlugin(0, CKGetTiffPluginInfo(0), nullptr, CKGetTiffReader);
    pm->AddStaticDll("Tiff Reader", 1);
    pm->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    pm->AddStaticDll("Render Engine", 1);
    CKGetRenderEnginePluginInfo(0);
    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr) != 0) {
        ++g_Failures;
    } else {
        WriteBitmapChunkSeeds(context);
        WriteMaterialSeeds(context);
        WriteSpriteSeeds(context);
        WriteMeshSeeds(context);
        WritePatchSeeds(context);
        WriteContentSeeds(context, std::filesystem::temp_directory_path().string(), Put);
        CKCloseContext(context);
        WriteCompositionSeed(std::filesystem::temp_directory_path().string(), Put);
    }
    CKShutdown();
}

// The mesh and the animation the 3D-entity seeds refer to: what the fuzz
// target's records hold (8 vertices, 2 blend shapes).
class SeedMesh : public CKClass<SeedMesh, RCKMesh, 0>
{
public:
    using CKClass::CKClass;
    CKBOOL IsTransparent() override { return FALSE; }
    void SetLitMode(int) override {}
    int GetLitMode() override { return 1; }
    CKDWORD GetFlags() override { return CKMESH_VISIBLE; }
    void SetFlags(CKDWORD) override {}
    void* GetModifierVertices(CKDWORD* stride) override
    {
        *stride = sizeof(QxVector);
        return m_Points;
    }
    int GetModifierVertexCount() override { return 8; }
    void ModifierVertexMove(CKBOOL, CKBOOL) override {}
    int GetVertexCount() override { return 8; }
    void* GetNormalsPtr(CKDWORD* stride) override { return GetModifierVertices(stride); }
    void NormalChanged() override {}
    int GetBlendShapeCount() override { return 2; }
    int GetBlendShapeIndex(const XString&) override { return -1; }
    static const char* GetClassName() { return "Seed Mesh"; }

    QxVector m_Points[8];
};

class SeedAnimation : public CKClass<SeedAnimation, RCKObjectAnimation, 0>
{
public:
    using CKClass::CKClass;
    void AddDefaultScaleKey(const QxVector&) override {}
    static const char* GetClassName() { return "Seed Animation"; }
};

template <class T>
void RegisterSeedClass(const char* name, CK_CLASSID parent)
{
    T::m_ClassID = CKAllocateClassID();
    CKClassRegister(name, T::m_ClassID, parent, &T::Register, &T::CreateInstance, &T::ReleaseInstance, &T::GetClassName,
                    &T::GetDependencies, &T::GetDependenciesCount);
}

// A 3D-entity seed: the control byte, then the chunk.
void PutEntitySeed(const std::string& name, uint8_t control, CKStateChunk* chunk)
{
    std::vector<uint8_t> seed(1 + (size_t) chunk->ConvertToBuffer(nullptr), control);
    chunk->ConvertToBuffer(seed.data() + 1);
    Put("entity3d", name, seed);
    CKDeleteStateChunk(chunk);
}

// Chunks of a 3D entity bound to the fuzz target's six records: parent,
// bone, mesh, animation, the entity itself and an object of no render class.
void WriteEntitySeeds()
{
    if (CKStartUp() != 0) {
        ++g_Failures;
        return;
    }
    CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
    RegisterSeedClass<SeedMesh>("SeedMesh", CKCID_MESH);
    RegisterSeedClass<SeedAnimation>("SeedAnimation", CKCID_OBJECTANIMATION);
    CKBuildClassHierarchyTable();
    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr) != 0) {
        ++g_Failures;
        CKShutdown();
        return;
    }
    auto* parent = static_cast<RCK3dEntity*>(context->CreateObject(CKCID_3DENTITY, "parent"));
    auto* bone = static_cast<RCK3dEntity*>(context->CreateObject(CKCID_3DOBJECT, "bone"));
    auto* mesh = static_cast<CKMesh*>(context->CreateObject(SeedMesh::m_ClassID, "mesh"));
    auto* animation = static_cast<CKObjectAnimation*>(context->CreateObject(SeedAnimation::m_ClassID, "walk"));
    auto* entity = static_cast<RCK3dEntity*>(context->CreateObject(CKCID_3DENTITY, "entity"));
    CKObject* other = context->CreateObject(CKCID_BEOBJECT, "other");
    CKFile& file = *context->CreateCKFile();
    for (CKObject* o :
         {(CKObject*) parent, (CKObject*) bone, (CKObject*) mesh, (CKObject*) animation, (CKObject*) entity, other})
        file.AddObjectRecord(o->GetID(), o->GetClassID());

    PutEntitySeed("minimal", 0, entity->Save(&file, CK_STATESAVE_3DENTITYDATA));

    entity->SetParent(parent, FALSE);
    entity->Rotate3f(0, 1, 0, 0.5f);
    entity->SetPosition3f(1, 2, 3);
    entity->SetZOrder(7);
    entity->SetCurrentMesh(mesh);
    entity->SetBlendShapeWeight(1, 0.5f);
    entity->AddObjectAnimation(animation);
    CKSkin* skin = entity->CreateSkin();
    skin->SetBoneCount(2);
    skin->GetBoneData(0)->Bone = bone;
    skin->GetBoneData(1)->Bone = entity;
    skin->SetVertexCount(8);
    for (int i = 0; i < 8; ++i) {
        CKSkinVertexData* vertex = skin->GetVertexData(i);
        vertex->SetInitialPos(QxVector((float) i, 1, 0));
        vertex->SetBoneCount(1 + i % 6);
        for (int k = 0; k < vertex->GetBoneCount(); ++k) {
            vertex->SetBone(k, k % 2);
            vertex->SetWeight(k, 1.0f / (float) (k + 1));
        }
    }
    skin->SetNormalCount(8);
    skin->SetSkinParam(3);
    PutEntitySeed("full", 0, entity->Save(&file, 0xFFFFFFFF));
    PutEntitySeed("full_object_from_file", 3, entity->Save(&file, 0xFFFFFFFF));

    // The older layout: parent, flags, a matrix after one word, and a skin of
    // data version 5 (one more word before each matrix, position, weights
    // and indices).
    CKStateChunk* old = CKCreateStateChunk(CKCID_3DENTITY, &file);
    old->StartWrite();
    old->SetDataVersion(5);
    old->WriteIdentifier(CK_STATESAVE_PARENT);
    old->WriteObject(parent);
    old->WriteIdentifier(CK_STATESAVE_3DENTITYFLAGS);
    old->WriteDword(0x400);
    old->WriteDword(0x40003);
    old->WriteIdentifier(CK_STATESAVE_3DENTITYMATRIX);
    old->WriteDword(0);
    old->WriteMatrix(QxMatrix::Identity());
    old->WriteIdentifier(CK_STATESAVE_SKINDATA);
    old->WriteDword(0);
    old->WriteMatrix(QxMatrix::Identity());
    old->StartObjectIDSequence(1);
    old->WriteObjectSequenceItem(bone);
    old->WriteDword(0);
    old->WriteDword(0);
    old->WriteMatrix(QxMatrix::Identity());
    old->WriteDword(1);
    old->WriteDword(2);
    old->WriteDword(0);
    old->WriteVector(QxVector(1, 2, 3));
    old->WriteDword(0);
    old->WriteFloat(0.5f);
    old->WriteFloat(0.5f);
    old->WriteDword(0);
    old->WriteDword(0);
    old->WriteDword(1);
    old->WriteIdentifier(CK_STATESAVE_SKINNORMALS);
    old->WriteVector(QxVector(0, 0, 1));
    old->CloseChunk();
    PutEntitySeed("older_layout", 0, old);

    context->DeleteCKFile(&file);
    CKCloseContext(context);
    CKShutdown();
}

// Chunks of the animation classes bound to the fuzz target's six records:
// entity, object animation, keyed animation, character, body part and the
// loading object itself.
void WriteAnimationSeeds()
{
    if (CKStartUp() != 0) {
        ++g_Failures;
        return;
    }
    CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr) != 0) {
        ++g_Failures;
        CKShutdown();
        return;
    }
    auto* entity = static_cast<CK3dEntity*>(context->CreateObject(CKCID_3DENTITY, "entity"));
    auto* walk = static_cast<CKObjectAnimation*>(context->CreateObject(CKCID_OBJECTANIMATION, "walk"));
    auto* keyed = static_cast<CKKeyedAnimation*>(context->CreateObject(CKCID_KEYEDANIMATION, "keyed"));
    auto* hero = static_cast<CKCharacter*>(context->CreateObject(CKCID_CHARACTER, "hero"));
    auto* hips = static_cast<CKBodyPart*>(context->CreateObject(CKCID_BODYPART, "hips"));
    const CK_CLASSID classes[] = {CKCID_OBJECTANIMATION, CKCID_ANIMATION, CKCID_KEYEDANIMATION, CKCID_CHARACTER,
                                  CKCID_BODYPART};
    const char* names[] = {"object_animation", "animation", "keyed_animation", "character", "body_part"};
    for (int kind = 0; kind < 5; ++kind) {
        CKObject* object = context->CreateObject(classes[kind], "loaded");
        CKFile& file = *context->CreateCKFile();
        for (CKObject* o :
             {(CKObject*) entity, (CKObject*) walk, (CKObject*) keyed, (CKObject*) hero, (CKObject*) hips, object})
            file.AddObjectRecord(o->GetID(), o->GetClassID());
        if (kind == 0) {
            auto* a = static_cast<CKObjectAnimation*>(object);
            a->Set3dEntity(entity);
            a->SetLength(10.0f);
            a->ShareDataFrom(walk);
            a->ShareDataFrom(nullptr);
            const CKDWORD types[] = {CKANIMATION_TCBPOSITION_CONTROL, CKANIMATION_TCBROTATION_CONTROL,
                                     CKANIMATION_BEZIERSCALE_CONTROL, CKANIMATION_LINEARSCALEAXIS_CONTROL};
            for (CKDWORD type : types)
                a->CreateController(type);
            const CKTCBKey<QxVector> p0(0.0f, QxVector(1, 2, 3)), p1(5.0f, QxVector(4, 5, 6), 0.5f);
            a->GetPositionController()->AddKey(&p0);
            a->GetPositionController()->AddKey(&p1);
            const CKTCBKey<QxQuaternion> r0(0.0f, QxQuaternion()), r1(4.0f, QxQuaternion(0, 0.6f, 0, 0.8f));
            a->GetRotationController()->AddKey(&r0);
            a->GetRotationController()->AddKey(&r1);
            const CKBezierKey<QxVector> s0(1.0f, QxVector(1, 1, 1), 0x20002, QxVector(), QxVector());
            a->GetScaleController()->AddKey(&s0);
            const CKLinearKey<float> f0(2.0f, 0.5f);
            a->CreateController(CKANIMATION_LINEARFLOAT_CONTROL, "smile")->AddKey(&f0);
            auto* morph = static_cast<CKMorphController*>(a->CreateController(CKANIMATION_MORPH_CONTROL));
            morph->SetMorphVertexCount(3);
            morph->AddKeyAtTime(0.0f, TRUE);
            morph->AddKeyAtTime(2.0f, FALSE);
        } else if (kind == 2) {
            static_cast<CKKeyedAnimation*>(object)->AddAnimation(walk);
            static_cast<CKKeyedAnimation*>(object)->SetLength(10.0f);
        } else if (kind == 3) {
            static_cast<CKCharacter*>(object)->AddBodyPart(hips);
            static_cast<CKCharacter*>(object)->AddAnimation(keyed);
        } else if (kind == 4) {
            hero->AddBodyPart(static_cast<CKBodyPart*>(object));
        } else {
            static_cast<CKAnimation*>(object)->SetLength(4.0f);
        }
        CKStateChunk* chunk = object->Save(&file, 0xFFFFFFFF);
        if (chunk->GetDataSize() > 0 && object->GetClassID() != classes[kind])
            ++g_Failures;
        std::vector<uint8_t> seed(1 + (size_t) chunk->ConvertToBuffer(nullptr), (uint8_t) (kind | 8));
        chunk->ConvertToBuffer(seed.data() + 1);
        Put("animation_chunk", names[kind], seed);
        CKDeleteStateChunk(chunk);
        context->DeleteCKFile(&file);
    }
    CKCloseContext(context);
    CKShutdown();
}

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Point clouds: chunks (control byte, then the serialised chunk), point
// files (control byte, 16-bit header length, header, file) and attribute
// value files (control byte, then the text).
void WriteCloudSeeds()
{
    if (CKStartUp() != 0) {
        ++g_Failures;
        return;
    }
    CKGetPluginManager()->RegisterPlugin(0, CKGetRenderEnginePluginInfo(0), nullptr, nullptr);
    CKGetPluginManager()->AddStaticDll("Render Engine", 1);
    CKContext* context = nullptr;
    if (CKCreateContext(&context, nullptr) != 0) {
        ++g_Failures;
        CKShutdown();
        return;
    }
    auto putChunk = [](const std::string& name, uint8_t control, CKStateChunk* chunk) {
        std::vector<uint8_t> seed(1 + (size_t) chunk->ConvertToBuffer(nullptr), control);
        chunk->ConvertToBuffer(seed.data() + 1);
        Put("cloud_chunk", name, seed);
        CKDeleteStateChunk(chunk);
    };
    auto* cloud = static_cast<RCK3dPointCloud*>(context->CreateObject(CKCID_3DPOINTCLOUD, "cloud"));
    putChunk("empty", 0, cloud->Save(nullptr, 0xFFFFFFFF));
    std::vector<QxVector> points, normals;
    std::vector<CKDWORD> colors;
    std::vector<CKBYTE> intensities;
    unsigned seed = 1;
    auto next = [&] { return (seed = seed * 214013 + 2531011) >> 16 & 0x7FFF; };
    for (int i = 0; i < 300; ++i) {
        points.emplace_back((float) next() / 3000.0f, (float) next() / 9000.0f, (float) (next() % 64) / 8.0f);
        normals.emplace_back((float) (i % 3) - 1.0f, 0.0f, 1.0f);
        colors.push_back(0xFF000000 | next() << 9 | next());
        intensities.push_back((CKBYTE) next());
    }
    QxVector precision;
    cloud->CreateFromBuffers(300, points.data(), normals.data(), colors.data(), intensities.data(), precision);
    CloudAttributeDesc desc;
    desc.Name = "odd";
    desc.Bits = 27;
    const int odd = cloud->AddAttribute(desc);
    cloud->EnableAttribute(odd, TRUE);
    for (int i = 0; i < 300; ++i)
        cloud->SetAttributeValue(i, odd, next() * 4099u);
    CloudSelection* selection = cloud->CreateSelection("picked", 40);
    cloud->SelectInSphere(points[0], 2.0f, selection);
    // Its colours drawn, as a scene shows them: the fill writes them.
    cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_COLORS, TRUE);
    putChunk("full", 0, cloud->Save(nullptr, 0xFFFFFFFF));
    putChunk("full_level3", 2, cloud->Save(nullptr, 0xFFFFFFFF));
    // The full cloud under scene bytes (control bit 2: their count, then
    // them, before the chunk): drawn with its colours, the material's,
    // lighting, attributes, sprites and a camera, and selected by every
    // kind of query, each selection drawn its own way.
    CKStateChunk* saved = cloud->Save(nullptr, 0xFFFFFFFF);
    std::vector<uint8_t> fullBytes((size_t) saved->ConvertToBuffer(nullptr));
    saved->ConvertToBuffer(fullBytes.data());
    CKDeleteStateChunk(saved);
    // The scene bytes, a few to a line.
    auto putScene = [&](const std::string& name, std::initializer_list<std::vector<uint8_t>> lines) {
        std::vector<uint8_t> scene;
        for (const std::vector<uint8_t>& line : lines)
            scene.insert(scene.end(), line.begin(), line.end());
        std::vector<uint8_t> seed = {4, (uint8_t) scene.size()};
        seed.insert(seed.end(), scene.begin(), scene.end());
        seed.insert(seed.end(), fullBytes.begin(), fullBytes.end());
        Put("cloud_chunk", name, seed);
    };
    // The loaded colours drawn; a box over the whole cloud, then a sphere
    // twice (replacing) drawn as sprites in the material's colour.
    putScene("scene_colors", {
                                 {0x01, 0x00, 1},                              // look, view, 2 selections
                                 {0x00, 255, 43, 43, 43, 213, 213, 213, 0x00}, // box
                                 {0x09, 12, 128, 128, 128, 64, 0x31},          // sphere
                             });
    // The material's colour, lit normals, drawn attributes, two clip planes,
    // a camera and level 2; an oriented box and a cone (the cube drawn at
    // its points); the frustum tested, the cloud moved between frames and
    // its screen extents gathered.
    putScene("scene_lit", {
                              {0x4D, 200, 120, 40, 5, 77},                    // look, material, attribute
                              {0x2A, 128, 128, 255, 200, 255, 128, 128, 160}, // view, clip planes
                              {128, 128, 0, 128, 128, 128, 1},                // camera, 2 selections
                              {0x02, 40, 128, 128, 128, 255, 128, 128, 128, 255, 128, 60, 60, 60, 0x31}, // oriented box
                              {0x0B, 40, 100, 128, 128, 0, 128, 128, 255, 0x4A},                         // cone
                              {0x07}, // frames: the frustum tested, the cloud moved, its extents
                          });
    // Sprites in the material's colour over recoloured points, a camera at
    // level 1 with its count; the cube as an entity, among entities, in a
    // group, and a ray.
    putScene("scene_entities", {
                                   {0x95, 90, 180, 250, 32},                      // look, material, sprites
                                   {3, 1, 255, 0, 0, 2, 0, 255, 0, 3, 0, 0, 255}, // 3 points recoloured
                                   {0x58, 60, 60, 0, 128, 128, 128, 20, 3},       // view, camera, count, 4
                                   {0x04, 50, 128, 128, 128, 128, 1, 0x00},       // entity
                                   {0x0D, 50, 100, 100, 100, 200, 0, 0x10},       // entities, replacing
                                   {0x06, 50, 150, 150, 150, 255, 2, 0x31},       // group
                                   {0x07, 1, 128, 128, 30, 0x00},                 // ray
                               });
    QxVector coarse(100, 100, 100);
    cloud->SetAttributeDrawn(CLOUD_ATTRIBUTE_COLORS, FALSE);
    cloud->CreateFromBuffers(40, points.data(), nullptr, nullptr, nullptr, coarse);
    putChunk("leaf_root", 0, cloud->Save(nullptr, 0xFFFFFFFF));
    CKCloseContext(context);
    CKShutdown();

    auto putAscii = [](const std::string& name, const std::string& header, const std::string& file) {
        std::vector<uint8_t> seed = {(uint8_t) (header.empty() ? 0 : 1), (uint8_t) header.size(),
                                     (uint8_t) (header.size() >> 8)};
        seed.insert(seed.end(), header.begin(), header.end());
        seed.insert(seed.end(), file.begin(), file.end());
        Put("cloud_ascii", name, seed);
    };
    std::string xyz, colored, full;
    for (int i = 0; i < 30; ++i) {
        const std::string p = std::to_string(i % 7) + "." + std::to_string(i) + " " + std::to_string(i % 5) + " -" +
                              std::to_string(i % 3) + ".5";
        xyz += p + "\n";
        colored += p + " " + std::to_string(i * 8) + " 255 3\n";
        full += p + " " + std::to_string(i * 8) + " 255 3 0 0.6 0.8 " + std::to_string(i * 40) + "\n";
    }
    const std::string header = "Version 1\nPoints 30\nFormat 0\nPrecision (0.001,0.001,0.001)\n"
                               "BoxMin (0,0,-3)\nBoxMax (7,5,0)\nTranslate (1,2,3)\nRescale 2\n";
    putAscii("xyz", "", xyz);
    putAscii("xyz_header", header, xyz);
    putAscii("colors", "", colored);
    putAscii("colors_normals_intensity", header, full);
    putAscii("normals", "", "1 2 3 0 0 1\n" + xyz + xyz);

    Put("cloud_attributes", "floats",
        Bytes("\x07"
              "1.5 2.5e3 -3 nan inf 0x10 7 8 9 10\n11 12 13 14 15 16 17 18 19 20"));
    Put("cloud_attributes", "integers",
        Bytes("\x1A"
              "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 "
              "25 26 27 28 29 30 31 32 33 34 35 36 37"));
    Put("cloud_attributes", "short",
        Bytes("\x01"
              "1 2 x"));
}

// The behaviour, scene and parameter seeds, each from a fresh engine.
void WriteCoreSeeds()
{
    const std::string scratch = std::filesystem::temp_directory_path().string();
    for (int kind = 0; kind < 3; ++kind) {
        CKContext* context = nullptr;
        if (CKStartUp() != 0 || CKCreateContext(&context, nullptr) != 0) {
            ++g_Failures;
            CKShutdown();
            continue;
        }
        if (kind == 0) {
            WriteBehaviorSeeds(context, scratch, Put);
        } else if (kind == 1) {
            WriteSceneSeeds(context, scratch, Put);
        } else {
            SetParameterWorldLinks();
            WriteParameterSeeds(context, scratch, Put, &g_Failures);
        }
        CKCloseContext(context);
        CKShutdown();
    }
}

// The mesh blocks' seeds, from an engine with the plug-ins registered.
void WriteMeshBlockSeeds()
{
    if (CKStartUp() != 0) {
        ++g_Failures;
        return;
    }
    RegisterBlockPlugins();
    WriteBlockSeeds(Put, g_Failures);
    CKShutdown();
}

} // namespace

void WriteAnimationExportSeeds()
{
    for (const auto& [name, bytes] : AnimationExportSeeds())
        Put("animation_export", name, bytes);
}

int main()
{
    const char* root = std::getenv("FUZZ_SEEDS_OUT");
    if (!root || !*root) {
        std::fprintf(stderr, "usage: FUZZ_SEEDS_OUT=<folder, e.g. fuzz/corpus> write_fuzz_seeds\n");
        return 2;
    }
    g_Root = root;
    WriteReaderSeeds();
    WriteMovieSeeds();
    WriteDctSeeds();
    WriteEngineSeeds();
    WriteEntitySeeds();
    WriteAnimationSeeds();
    WriteAnimationExportSeeds();
    WriteCloudSeeds();
    WriteCoreSeeds();
    WriteMeshBlockSeeds();
    return g_Failures == 0 ? 0 : 1;
}
