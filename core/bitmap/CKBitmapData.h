#pragma once

#include "core/bitmap/CKBitmapSlot.h"
#include "core/bitmap/CKMovieInfo.h"
#include "includes/CKTypes.h"
#include "includes/XArray.h"
#include "includes/XString.h"
#include "system/image/QxImageDesc.h"

class CKContext;
class CKFile;
class CKMovieReader;
class CKStateChunk;
struct CKBitmapProperties;

// State bits of a bitmap data.
enum CK_BITMAPDATA_FLAGS : CKDWORD
{
    CKBITMAPDATA_NOIMAGE = 0x1,
    CKBITMAPDATA_TRANSPARENT = 0x2,       // colour-key transparency on
    CKBITMAPDATA_MODIFIED = 0x4,          // the video copy must be uploaded again
    CKBITMAPDATA_BORDERTRANSPARENT = 0x8, // SetBorderTransparent ran
    CKBITMAPDATA_RASTERIZERCUBE = 0x10,   // six images the rasterizer loads itself
    CKBITMAPDATA_VIDEOCHANGED = 0x20,     // video format or caching changed: make the video object again
    CKBITMAPDATA_FLAG40 = 0x40,           // the sprite's own bit
    CKBITMAPDATA_RASTERIZERIMAGE = 0x80,  // an image the rasterizer loads itself
};

// How the images are written into a saved file.
enum CK_BITMAP_SAVEOPTIONS
{
    CKBITMAP_SAVERAWDATA = 0,      // the pixels, plane by plane
    CKBITMAP_SAVEREFERENCES = 1,   // only the names of the original files
    CKBITMAP_SAVEFORMAT = 2,       // encoded by a reader in the save format
    CKBITMAP_SAVEGLOBAL = 3,       // as the context's "File Options/Textures,Sprites" says
    CKBITMAP_SAVEINCLUDEFILES = 4, // the original files go into the saved file
};

// Whether the pixels stay in system memory once the video copy exists.
enum CK_BITMAP_SYSTEMCACHING
{
    CKBITMAP_PROCEDURAL = 0,  // always kept, as 32-bit ARGB
    CKBITMAP_VIDEOSHADOW = 1, // kept in the stored format
    CKBITMAP_DISCARD = 2,     // freed after the upload, read again from the file
};

// Most images one bitmap data holds: slot indices and counts beyond it are
// refused.
constexpr int CK_MAX_BITMAP_SLOTS = 65536;

// The system-memory images of a texture or a sprite: one or more images of
// one size ("slots"), or a movie shown in slot 0, with the file name of each
// slot, a colour key, the options by which the images are saved and the
// caching mode. Embedded by value in its owner.
class CKBitmapData
{
public:
    explicit CKBitmapData(CKContext* context);
    ~CKBitmapData();
    CKBitmapData(const CKBitmapData&) = delete;
    CKBitmapData& operator=(const CKBitmapData&) = delete;

    // Images.

    // Makes the image of a slot (grown to slot + 1 when needed): fresh
    // zeroed pixels with an opaque alpha, or the given pixels (a block of
    // width x height x bpp / 8 bytes from QxNewAligned, adopted). Every slot
    // has the size of the others: a second slot of another size is refused.
    // 0 for sizes below 1 (flag 0x1 set), above CK_MAX_IMAGE_DIMENSION, a
    // depth of 0 without pixels or above 128, a slot outside
    // 0..CK_MAX_BITMAP_SLOTS - 1, or no memory.
    CKBOOL CreateImage(int width, int height, int bpp, int slot, void* pixels = nullptr);
    // Names the slot (grown when needed) and reads its file; on failure the
    // slot count is put back.
    CKBOOL LoadSlotImage(const XString& name, int slot);
    // Reads the slot's file through the reader of its extension, into the
    // stored format (wanted gives it when not null).
    CKBOOL ReadSlotImage(int slot, const QxImageDesc* wanted);
    // Writes the slot (negative or past the end: the current one) to a file
    // named as name with the extension of the format; with useFormat and a
    // save format, in that format, else in the format of name's extension
    // (".bmp" without one). Whether the file was written.
    CKBOOL SaveImage(const char* name, int slot, CKBOOL useFormat);
    // Opens a movie through the movie reader of its extension and shows
    // frame 0; the slots are dropped. 0 when it cannot be read (the movie's
    // name stays).
    CKBOOL LoadMovieFile(const XString& name);
    // Resamples every slot to the new size. 0 with a movie, without slots
    // or image, for sizes outside 1..CK_MAX_IMAGE_DIMENSION, in discard
    // caching (with a console line) or without memory (nothing changed).
    CKBOOL Resize(int width, int height);

    // Chunks. ids: movie name, reader-encoded images, raw images, slot
    // names, and for reading the older format-named images.
    CKBOOL WriteToChunk(CKStateChunk* chunk, CKFile* file, const CKDWORD ids[4]);
    CKBOOL ReadFromChunk(CKStateChunk* chunk, CKFile* file, const CKDWORD ids[5]);

    // Slots.

    // Movie: its frame count (0 without a reader); else the slot count.
    int GetSlotCount() const;
    // 0 with a movie or a count outside 0..CK_MAX_BITMAP_SLOTS.
    CKBOOL SetSlotCount(int count);
    CKBOOL RemoveSlot(int index);
    CKBOOL ReleaseAllSlots();
    // Movie: shows that frame. Else makes the slot current.
    CKBOOL SetCurrentSlot(int index);
    // Movie: the frame shown, -1 before the first.
    int GetCurrentSlot() const;
    // A negative index or one past the end means the current slot; null
    // without pixels.
    CKBYTE* GetSlotImageData(int index = -1) const;
    CKBOOL FreeSlotPixels(int index);
    // Null past the end; "" for an unnamed slot.
    const char* GetSlotFileName(int index) const;
    // Past the end grows the slot array; 0 for a negative index or one at
    // or past CK_MAX_BITMAP_SLOTS.
    CKBOOL SetSlotFileName(int index, const char* name);
    // Null without a movie.
    const char* GetMovieFileName() const;
    CKMovieReader* GetMovieReader() const { return m_MovieInfo ? m_MovieInfo->m_Reader : nullptr; }

    // Pixels, as 32-bit ARGB whatever the stored format. A negative slot
    // means the current one. Outside the image, without pixels or in a
    // format without whole bytes per pixel, GetPixel gives 0 and SetPixel
    // changes nothing and gives 0.
    CKDWORD GetPixel(int x, int y, int slot = -1) const;
    CKBOOL SetPixel(int x, int y, CKDWORD color, int slot = -1);

    // Transparency.

    void SetTransparentColor(CKDWORD color);
    CKDWORD GetTransparentColor() const { return m_TransparentColor; }
    void SetTransparent(CKBOOL transparent);
    CKBOOL IsTransparent() const { return (m_BitmapFlags & CKBITMAPDATA_TRANSPARENT) != 0; }
    // Alpha 0 where a pixel matches the colour key (compared without the
    // lowest bit of each channel, which every pixel loses), else 0xFF.
    // 32-bit images only.
    void ApplyTransparentColor(const QxImageDesc& image);
    // Alpha 0 on the first and last column and row. 32-bit images only.
    void SetBorderTransparent(const QxImageDesc& image);

    // State and settings.

    CKBOOL MarkSlotModified(int slot);
    CKDWORD GetBitmapFlags() const { return m_BitmapFlags; }
    void SetBitmapFlags(CKDWORD flags) { m_BitmapFlags = flags; }
    int GetWidth() const { return m_Width; }
    int GetHeight() const { return m_Height; }
    CKDWORD GetBitmapValue() const { return m_BitmapValue; }
    void SetBitmapValue(CKDWORD value) { m_BitmapValue = value; }
    // Whether the pixels can be read again from their files: the effective
    // save options are 1 or 4.
    CKBOOL IsFileReloadable() const;
    // The layout of the system copy: the stored format in video-shadow
    // caching, or in any caching but procedural when the files are
    // reloadable; else 32-bit ARGB.
    CKBOOL GetImageDesc(QxImageDesc& desc) const;
    int GetSystemCaching() const { return m_SystemCaching; }
    int SetSystemCaching(int mode);
    int GetDesiredVideoFormat() const { return m_DesiredVideoFormat; }
    void SetDesiredVideoFormat(int format);
    int GetStoredFormat() const { return m_StoredFormat; }
    void SetStoredFormat(int format) { m_StoredFormat = format; }
    int GetSaveOptions() const { return m_SaveOptions; }
    void SetSaveOptions(int options) { m_SaveOptions = options; }
    // Null when none was set.
    CKBitmapProperties* GetSaveFormat() const { return m_SaveFormat; }
    // Keeps a copy (null clears it).
    void SetSaveFormat(const CKBitmapProperties* format);
    void Swap(CKBitmapData& other);

private:
    // CreateImage; without allocate the slot is sized but gets no pixels
    // (its caller hands them over next).
    CKBOOL CreateSlot(int width, int height, int bpp, int slot, void* pixels, bool allocate);
    // The slot of an index (negative or past the end: the current one), or null.
    CKBitmapSlot* SlotOrCurrent(int index) const;
    // Pixel (x, y) of a slot in the system copy's layout: its address and
    // description (1 x 1), or null.
    CKBYTE* PixelAddress(int x, int y, int slot, QxImageDesc& pixel) const;
    // The effective save options (3 replaced by the context's setting).
    int EffectiveSaveOptions() const;
    // Resolves the name in place through the path manager's bitmap
    // folders; whether it was found.
    bool ResolveBitmapName(XString& name) const;
    bool ShowMovieFrame(int frame);
    // Takes pixels read for a slot (16-byte aligned), converted first when
    // they are not laid out as GetImageDesc says; false (pixels untouched)
    // when they cannot be.
    bool AdoptSlotPixels(int slot, const QxImageDesc& image);
    void ReadReaderImages(CKStateChunk* chunk, int sectionBytes, XArray<CKBYTE>& marks);
    void ReadRawImages(CKStateChunk* chunk, int sectionBytes, XArray<CKBYTE>& marks);
    void ReadFormatNamedImages(CKStateChunk* chunk, int sectionBytes, XArray<CKBYTE>& marks);
    void ReadNames(CKStateChunk* chunk, int sectionBytes, const XArray<CKBYTE>& marks, bool imageFound);

    CKContext* m_Context;
    CKMovieInfo* m_MovieInfo = nullptr; // owned
    XArray<CKBitmapSlot*> m_Slots;      // owned
    int m_Width = -1;
    int m_Height = -1;
    int m_CurrentSlot = 0;
    CKDWORD m_BitmapValue = 0;
    CKDWORD m_BitmapFlags = CKBITMAPDATA_NOIMAGE;
    CKDWORD m_TransparentColor = 0;
    CKBitmapProperties* m_SaveFormat = nullptr; // owned
    int m_SaveOptions = CKBITMAP_SAVEGLOBAL;
    int m_SystemCaching = CKBITMAP_PROCEDURAL;
    int m_DesiredVideoFormat = 0;
    int m_StoredFormat = 0;
};
