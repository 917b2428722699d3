#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/host/MaxTypes.h"

// A pixel with 16 bits a channel.
struct BMM_Color_64
{
    WORD r = 0, g = 0, b = 0, a = 0;
};

// Bitmap types: 32 bits a pixel (8 a channel with alpha).
constexpr int BMM_TRUE_32 = 4;
// CopyImage operations: resizing the whole image (bilinear here).
constexpr int COPY_IMAGE_RESIZE_HI_QUALITY = 2;

// Stands in for the host's bitmap description: a file name, a size, a type
// and flags.
class BitmapInfo
{
public:
    BitmapInfo() = default;
    explicit BitmapInfo(const char* name) { SetName(name); }

    const char* Name() const { return m_Name.c_str(); }
    void SetName(const char* name) { m_Name = name ? name : ""; }
    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    int Type() const { return m_Type; }
    DWORD Flags() const { return m_Flags; }
    DWORD GetCustomFlag() const { return m_CustomFlags; }
    void SetWidth(int w) { m_Width = w; }
    void SetHeight(int h) { m_Height = h; }
    void SetType(int type) { m_Type = type; }
    void SetFlags(DWORD flags) { m_Flags = flags; }
    void SetCustomFlag(DWORD flags) { m_CustomFlags = flags; }

private:
    std::string m_Name;
    int m_Width = 0, m_Height = 0, m_Type = 0;
    DWORD m_Flags = 0, m_CustomFlags = 0;
};

// The pixels of a bitmap, rows from the top, 16 bits a channel.
class BitmapStorage
{
public:
    BitmapStorage(int width, int height);
    // Takes the pixels (width x height of them).
    BitmapStorage(int width, int height, std::vector<BMM_Color_64> pixels);

    int Width() const { return m_Width; }
    int Height() const { return m_Height; }
    // pixels grey values (16 bits: 0.299 red + 0.587 green + 0.114 blue,
    // rounded) of row y from x on; 0, and nothing written, when they do not
    // all lie in the image.
    int Get16Gray(int x, int y, int pixels, WORD* ptr) const;
    BMM_Color_64* Pixels() { return m_Pixels.data(); }
    const BMM_Color_64* Pixels() const { return m_Pixels.data(); }

private:
    int m_Width, m_Height;
    std::vector<BMM_Color_64> m_Pixels;
};

// Stands in for the host's bitmap: a size and (when it holds an image) its
// storage.
class Bitmap
{
public:
    // A bitmap of that size with black transparent pixels; without storage
    // when either side is not positive.
    Bitmap(int width, int height);
    ~Bitmap();

    // 0 without storage.
    int Width() const;
    int Height() const;
    // null without storage. A bitmap read from a file decodes its pixels
    // here, the first time they are asked for.
    BitmapStorage* Storage();
    const BitmapStorage* Storage() const;
    // Copies from's image into this one's size: COPY_IMAGE_RESIZE_HI_QUALITY
    // resizes by bilinear filtering (not the host's own filter; fill is
    // unused). Gives 1, or 0 (nothing changed) for another operation or when
    // either bitmap has no storage.
    int CopyImage(const Bitmap* from, int operation, const BMM_Color_64& fill, BitmapInfo* bi = nullptr);

private:
    friend std::unique_ptr<Bitmap> LoadBitmapFile(const std::string& path);
    Bitmap() = default;
    void Decode() const;

    int m_Width = 0, m_Height = 0;
    // The file whose pixels are not decoded yet (empty once they are).
    mutable std::string m_File;
    mutable std::unique_ptr<BitmapStorage> m_Storage;
};

// Reads an image file (PNG, JPEG, TGA, BMP, PSD, GIF, HDR, PIC, PNM: what
// stb_image reads; not the engine's own readers); null when its header
// cannot be read, or when it holds more than 2^26 pixels. The pixels are
// decoded when first asked for (most exports ask only for the size, as the
// host has its bitmaps loaded already); pixels that do not decode then are
// black and transparent.
std::unique_ptr<Bitmap> LoadBitmapFile(const std::string& path);

// A place to look for a bitmap file: a folder, taken as it is ("" for the
// current one), and a path below it (a whole path when the folder is "").
struct BitmapPlace
{
    std::string folder;
    std::string path;
};

// Looks for a bitmap file (a folder is none) in each place in turn as it is
// named, then in each place again without regard to the case of the names
// below its folder, as the host's file system finds them (of several names
// that differ only in case, the first in byte order). Both separators are
// accepted. Gives the index of the place that holds the file, or -1 (found
// untouched); found is the file's path, caseBlind whether only the second
// look found it.
int FindBitmapFile(const std::vector<BitmapPlace>& places, std::string& found, bool& caseBlind);

// Resolves a bitmap's file name the way the host does: the name as given
// when that file exists, else its file part in each of the scene's map
// folders in order (a relative folder taken from the scene file's folder),
// then in the scene file's folder; then all of them again without regard to
// case (FindBitmapFile). TRUE, with the name set to the file found, or
// FALSE with the name untouched. Uses the current Interface's scene (only
// the name as given without one).
BOOL BMMGetFullFilename(BitmapInfo* bi);
