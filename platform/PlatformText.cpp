#include "platform/PlatformText.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

const char* const kFontDir = "/usr/share/fonts/truetype/dejavu/";

// Code points 0x80..0x9F of Windows-1252 (0 where the code page has none).
const char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// FreeType and the loaded faces, shared by every call under one mutex
// (FreeType objects are not thread-safe). Released at shut-down and at
// process exit; the next call loads them again.
class FaceCache
{
public:
    ~FaceCache() { Release(); }

    std::mutex& Mutex() { return m_Mutex; }

    // Under the mutex.
    void Release()
    {
        for (auto& entry : m_Faces)
            if (entry.second)
                FT_Done_Face(entry.second);
        m_Faces.clear();
        if (m_Library)
            FT_Done_FreeType(m_Library);
        m_Library = nullptr;
    }

    // Under the mutex.
    int Count() const { return int(m_Faces.size()); }

    FT_Face Face(const std::string& file)
    {
        if (!m_Library && FT_Init_FreeType(&m_Library) != 0) {
            m_Library = nullptr;
            return nullptr;
        }
        auto it = m_Faces.find(file);
        if (it != m_Faces.end())
            return it->second;
        FT_Face face = nullptr;
        if (FT_New_Face(m_Library, (std::string(kFontDir) + file).c_str(), 0, &face) != 0)
            face = nullptr;
        m_Faces[file] = face;
        return face;
    }

private:
    std::mutex m_Mutex;
    FT_Library m_Library = nullptr;
    std::map<std::string, FT_Face> m_Faces;
};

FaceCache& Cache()
{
    static FaceCache cache;
    return cache;
}

std::string FaceFile(const PlatformLogFont& lf)
{
    std::string name(lf.FaceName, strnlen(lf.FaceName, PLATFORM_FACE_SIZE));
    for (char& c : name)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    std::string family = "DejaVuSans";
    if (name.find("mono") != std::string::npos || name.find("courier") != std::string::npos ||
        name.find("consol") != std::string::npos)
        family = "DejaVuSansMono";
    else if ((name.find("serif") != std::string::npos && name.find("sans") == std::string::npos) ||
             name.find("times") != std::string::npos || name.find("georgia") != std::string::npos)
        family = "DejaVuSerif";
    return family + (lf.Weight >= 600 ? "-Bold.ttf" : ".ttf");
}

// A face set to the font's pixel size, with its line metrics.
struct SizedFace
{
    FT_Face Face = nullptr;
    int Ascent = 0;
    int Descent = 0;
    int UnderlinePos = 0; // below the baseline, pixels
    int UnderlineThickness = 1;
};

bool PrepareFace(const PlatformLogFont& lf, SizedFace& out)
{
    FT_Face face = Cache().Face(FaceFile(lf));
    if (!face)
        return false;
    const int unitsHeight = int(face->ascender - face->descender);
    int em;
    if (lf.Height < 0)
        em = lf.Height == INT32_MIN ? 2048 : -lf.Height;
    else if (lf.Height > 0)
        em = unitsHeight > 0 ? int(int64_t(lf.Height) * face->units_per_EM / unitsHeight) : lf.Height;
    else
        em = 16 * face->units_per_EM / std::max(1, unitsHeight) + 1; // default: a cell of about 16 pixels
    em = std::clamp(em, 1, 2048);
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(em)) != 0)
        return false;
    if (lf.Italic) {
        FT_Matrix shear = {0x10000, 0x0366A, 0, 0x10000}; // about 12 degrees
        FT_Set_Transform(face, &shear, nullptr);
    } else
        FT_Set_Transform(face, nullptr, nullptr);
    out.Face = face;
    out.Ascent = int((face->size->metrics.ascender + 63) >> 6);
    out.Descent = int((-face->size->metrics.descender + 63) >> 6);
    const int64_t scale = face->size->metrics.y_scale; // 16.16, font units to 26.6
    out.UnderlinePos = int(((-int64_t(face->underline_position) * scale) >> 16) + 32) >> 6;
    out.UnderlineThickness = std::max(1, int((((int64_t(face->underline_thickness) * scale) >> 16) + 32) >> 6));
    return true;
}

int Advance(const SizedFace& f, char32_t c)
{
    if (FT_Load_Char(f.Face, c, FT_LOAD_DEFAULT) != 0)
        return 0;
    return int((f.Face->glyph->advance.x + 32) >> 6);
}

struct Line
{
    std::u32string Text;
    int64_t Width = 0;
};

std::vector<Line> SplitLines(const std::u32string& text, bool singleLine)
{
    std::vector<Line> lines(1);
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (!singleLine && (c == '\n' || c == '\r')) {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            lines.emplace_back();
            continue;
        }
        if (c < 0x20 || c == 0x7F)
            continue;
        lines.back().Text.push_back(c);
    }
    return lines;
}

// Where and how pixels are written: the clip rectangle in top-down
// coordinates and the colours as blue, green, red bytes.
class Canvas
{
public:
    Canvas(PlatformBitmap* bitmap, const PlatformRect& rect, uint32_t back, uint32_t text)
        : m_Bitmap(bitmap), m_Bytes(bitmap->Header().BitCount / 8)
    {
        m_Clip.Left = std::max(rect.Left, 0);
        m_Clip.Top = std::max(rect.Top, 0);
        m_Clip.Right = std::min(rect.Right, bitmap->Header().Width);
        m_Clip.Bottom = std::min(rect.Bottom, bitmap->Header().Height);
        SetBgr(m_Back, back);
        SetBgr(m_Text, text);
        m_Drawn = PlatformRect{};
    }

    // Fills [x0, x1) x [y0, y1) with the background colour.
    void Fill(int64_t x0, int64_t y0, int64_t x1, int64_t y1)
    {
        x0 = std::max<int64_t>(x0, m_Clip.Left);
        y0 = std::max<int64_t>(y0, m_Clip.Top);
        x1 = std::min<int64_t>(x1, m_Clip.Right);
        y1 = std::min<int64_t>(y1, m_Clip.Bottom);
        if (x0 >= x1 || y0 >= y1)
            return;
        for (int64_t y = y0; y < y1; ++y) {
            uint8_t* row = m_Bitmap->Row(int32_t(y));
            for (int64_t x = x0; x < x1; ++x)
                std::memcpy(row + x * m_Bytes, m_Back, 3);
        }
        Extend(int32_t(x0), int32_t(y0), int32_t(x1), int32_t(y1));
    }

    // Blends the text colour over one pixel with a coverage of 0..255.
    void Blend(int64_t x, int64_t y, int coverage)
    {
        if (coverage <= 0 || x < m_Clip.Left || x >= m_Clip.Right || y < m_Clip.Top || y >= m_Clip.Bottom)
            return;
        uint8_t* p = m_Bitmap->Row(int32_t(y)) + x * m_Bytes;
        for (int c = 0; c < 3; ++c)
            p[c] = uint8_t((p[c] * (255 - coverage) + m_Text[c] * coverage + 127) / 255);
        Extend(int32_t(x), int32_t(y), int32_t(x + 1), int32_t(y + 1));
    }

    const PlatformRect& Drawn() const { return m_Drawn; }

private:
    static void SetBgr(uint8_t* out, uint32_t colorRef)
    {
        out[0] = uint8_t(colorRef >> 16);
        out[1] = uint8_t(colorRef >> 8);
        out[2] = uint8_t(colorRef);
    }

    void Extend(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
    {
        if (m_Drawn.Right <= m_Drawn.Left) {
            m_Drawn = PlatformRect{x0, y0, x1, y1};
            return;
        }
        m_Drawn.Left = std::min(m_Drawn.Left, x0);
        m_Drawn.Top = std::min(m_Drawn.Top, y0);
        m_Drawn.Right = std::max(m_Drawn.Right, x1);
        m_Drawn.Bottom = std::max(m_Drawn.Bottom, y1);
    }

    PlatformBitmap* m_Bitmap;
    int m_Bytes;
    PlatformRect m_Clip;
    PlatformRect m_Drawn;
    uint8_t m_Back[3];
    uint8_t m_Text[3];
};

void DrawGlyph(Canvas& canvas, const FT_GlyphSlot slot, int64_t penX, int64_t baseline)
{
    const FT_Bitmap& b = slot->bitmap;
    const int64_t left = penX + slot->bitmap_left;
    const int64_t top = baseline - slot->bitmap_top;
    for (unsigned row = 0; row < b.rows; ++row) {
        const unsigned char* src = b.buffer + ptrdiff_t(row) * b.pitch;
        for (unsigned col = 0; col < b.width; ++col) {
            int coverage;
            if (b.pixel_mode == FT_PIXEL_MODE_MONO)
                coverage = (src[col >> 3] >> (7 - (col & 7))) & 1 ? 255 : 0;
            else if (b.pixel_mode == FT_PIXEL_MODE_GRAY)
                coverage = b.num_grays > 1 ? src[col] * 255 / (b.num_grays - 1) : src[col];
            else
                return;
            canvas.Blend(left + col, top + row, coverage);
        }
    }
}

bool Draw(PlatformBitmap* bitmap, const PlatformFont* font, const std::u32string& text, const PlatformRect& rect,
          uint32_t format, uint32_t backColor, uint32_t textColor, PlatformRect* drawn)
{
    std::lock_guard<std::mutex> lock(Cache().Mutex());
    SizedFace face;
    if (!PrepareFace(font->LogFont(), face))
        return false;
    const bool singleLine = (format & PLATFORM_DT_SINGLELINE) != 0;
    std::vector<Line> lines = SplitLines(text, singleLine);
    for (Line& line : lines)
        for (char32_t c : line.Text)
            line.Width += Advance(face, c);

    const int64_t lineHeight = face.Ascent + face.Descent;
    int64_t y = rect.Top;
    if (singleLine && (format & PLATFORM_DT_VCENTER))
        y = (int64_t(rect.Top) + rect.Bottom - lineHeight) / 2;
    else if (singleLine && (format & PLATFORM_DT_BOTTOM))
        y = int64_t(rect.Bottom) - lineHeight;

    Canvas canvas(bitmap, rect, backColor, textColor);
    for (const Line& line : lines) {
        int64_t x = rect.Left;
        if (format & PLATFORM_DT_CENTER)
            x = (int64_t(rect.Left) + rect.Right - line.Width) / 2;
        else if (format & PLATFORM_DT_RIGHT)
            x = int64_t(rect.Right) - line.Width;
        if (!line.Text.empty())
            canvas.Fill(x, y, x + line.Width, y + lineHeight);
        const int64_t baseline = y + face.Ascent;
        int64_t pen = x;
        for (char32_t c : line.Text) {
            if (FT_Load_Char(face.Face, c, FT_LOAD_RENDER) != 0)
                continue;
            DrawGlyph(canvas, face.Face->glyph, pen, baseline);
            pen += (face.Face->glyph->advance.x + 32) >> 6;
        }
        if (font->LogFont().Underline && line.Width > 0) {
            for (int t = 0; t < face.UnderlineThickness; ++t)
                for (int64_t ux = x; ux < x + line.Width; ++ux)
                    canvas.Blend(ux, baseline + face.UnderlinePos + t, 255);
        }
        y += lineHeight;
    }
    if (drawn)
        *drawn = canvas.Drawn();
    return true;
}

std::u32string FromCp1252(const char* text, int32_t length)
{
    const size_t n = length < 0 ? std::strlen(text) : size_t(length);
    std::u32string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t cp = c;
        if (c >= 0x80 && c < 0xA0)
            cp = kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : c;
        out.push_back(cp);
    }
    return out;
}

std::u32string FromUtf16(const char16_t* text, int32_t length)
{
    size_t n = 0;
    if (length < 0)
        while (text[n])
            ++n;
    else
        n = size_t(length);
    std::u32string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            out.push_back(0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else
            out.push_back(u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
    }
    return out;
}

} // namespace

bool PlatformDrawTextA(PlatformBitmap* bitmap, const PlatformFont* font, const char* text, int32_t length,
                       const PlatformRect& rect, uint32_t format, uint32_t backColor, uint32_t textColor,
                       PlatformRect* drawn)
{
    if (!bitmap || !font || !text)
        return false;
    return Draw(bitmap, font, FromCp1252(text, length), rect, format, backColor, textColor, drawn);
}

bool PlatformDrawTextW(PlatformBitmap* bitmap, const PlatformFont* font, const char16_t* text, int32_t length,
                       const PlatformRect& rect, uint32_t format, uint32_t backColor, uint32_t textColor,
                       PlatformRect* drawn)
{
    if (!bitmap || !font || !text)
        return false;
    return Draw(bitmap, font, FromUtf16(text, length), rect, format, backColor, textColor, drawn);
}

bool PlatformGetTextExtent(const PlatformFont* font, const char* text, int32_t length, int32_t* width, int32_t* height)
{
    if (!font || !text)
        return false;
    std::lock_guard<std::mutex> lock(Cache().Mutex());
    SizedFace face;
    if (!PrepareFace(font->LogFont(), face))
        return false;
    int64_t w = 0;
    for (char32_t c : FromCp1252(text, length))
        if (c >= 0x20 && c != 0x7F)
            w += Advance(face, c);
    if (width)
        *width = int32_t(std::min<int64_t>(w, INT32_MAX));
    if (height)
        *height = face.Ascent + face.Descent;
    return true;
}

void PlatformReleaseTextFaces()
{
    std::lock_guard<std::mutex> lock(Cache().Mutex());
    Cache().Release();
}

int PlatformGetTextFaceCount()
{
    std::lock_guard<std::mutex> lock(Cache().Mutex());
    return Cache().Count();
}
