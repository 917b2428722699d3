#include "platform/host/Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <stb_image.h>
#include <sys/stat.h>

#include "platform/PlatformPaths.h"
#include "platform/host/HostScene.h"
#include "platform/host/Interface.h"

BitmapStorage::BitmapStorage(int width, int height)
    : m_Width(width), m_Height(height), m_Pixels(size_t(width) * size_t(height))
{}

BitmapStorage::BitmapStorage(int width, int height, std::vector<BMM_Color_64> pixels)
    : m_Width(width), m_Height(height), m_Pixels(std::move(pixels))
{}

int BitmapStorage::Get16Gray(int x, int y, int pixels, WORD* ptr) const
{
    if (!ptr || x < 0 || y < 0 || y >= m_Height || pixels < 0 || pixels > m_Width - x)
        return 0;
    const BMM_Color_64* row = m_Pixels.data() + size_t(y) * size_t(m_Width) + size_t(x);
    for (int i = 0; i < pixels; ++i)
        ptr[i] = WORD((299u * row[i].r + 587u * row[i].g + 114u * row[i].b + 500u) / 1000u);
    return 1;
}

Bitmap::Bitmap(int width, int height)
{
    if (width > 0 && height > 0) {
        m_Width = width;
        m_Height = height;
        m_Storage = std::make_unique<BitmapStorage>(width, height);
    }
}

Bitmap::~Bitmap() = default;

int Bitmap::Width() const
{
    return m_Width;
}

int Bitmap::Height() const
{
    return m_Height;
}

BitmapStorage* Bitmap::Storage()
{
    Decode();
    return m_Storage.get();
}

const BitmapStorage* Bitmap::Storage() const
{
    Decode();
    return m_Storage.get();
}

void Bitmap::Decode() const
{
    if (m_File.empty())
        return;
    const std::string path = std::move(m_File);
    m_File.clear();
    int w = 0, h = 0, channels = 0;
    FILE* file = PlatformOpenFile(path.c_str(), "rb");
    if (file) {
        const bool wide = stbi_is_16_bit_from_file(file) != 0;
        void* data = wide ? static_cast<void*>(stbi_load_from_file_16(file, &w, &h, &channels, 4))
                          : static_cast<void*>(stbi_load_from_file(file, &w, &h, &channels, 4));
        std::fclose(file);
        if (data && w == m_Width && h == m_Height) {
            const size_t count = size_t(w) * size_t(h);
            std::vector<BMM_Color_64> pixels;
            pixels.reserve(count);
            for (size_t i = 0; i < count; ++i) {
                if (wide) {
                    const auto* p = static_cast<const uint16_t*>(data) + 4 * i;
                    pixels.push_back(BMM_Color_64{p[0], p[1], p[2], p[3]});
                } else {
                    const auto* p = static_cast<const uint8_t*>(data) + 4 * i;
                    pixels.push_back(
                        BMM_Color_64{WORD(p[0] * 257), WORD(p[1] * 257), WORD(p[2] * 257), WORD(p[3] * 257)});
                }
            }
            m_Storage = std::make_unique<BitmapStorage>(w, h, std::move(pixels));
        }
        stbi_image_free(data);
    }
    if (!m_Storage)
        m_Storage = std::make_unique<BitmapStorage>(m_Width, m_Height);
}

int Bitmap::CopyImage(const Bitmap* from, int operation, const BMM_Color_64&, BitmapInfo*)
{
    if (operation != COPY_IMAGE_RESIZE_HI_QUALITY || !from || !from->Storage() || !Storage())
        return 0;
    const BitmapStorage& src = *from->Storage();
    const int sw = src.Width(), sh = src.Height(), dw = Width(), dh = Height();
    const BMM_Color_64* in = src.Pixels();
    BMM_Color_64* out = m_Storage->Pixels();
    // Pixel centres mapped onto the source, neighbours clamped to its edge.
    const auto axis = [](int i, int from, int to, int& i0, int& i1, float& f) {
        float p = (float(i) + 0.5f) * float(from) / float(to) - 0.5f;
        if (p < 0.0f)
            p = 0.0f;
        i0 = int(p);
        if (i0 > from - 1)
            i0 = from - 1;
        i1 = i0 + 1 < from ? i0 + 1 : i0;
        f = p - float(i0);
        if (f > 1.0f)
            f = 1.0f;
    };
    std::vector<BMM_Color_64> result(size_t(dw) * size_t(dh));
    for (int y = 0; y < dh; ++y) {
        int y0, y1;
        float fy;
        axis(y, sh, dh, y0, y1, fy);
        for (int x = 0; x < dw; ++x) {
            int x0, x1;
            float fx;
            axis(x, sw, dw, x0, x1, fx);
            const BMM_Color_64& a = in[size_t(y0) * size_t(sw) + size_t(x0)];
            const BMM_Color_64& b = in[size_t(y0) * size_t(sw) + size_t(x1)];
            const BMM_Color_64& c = in[size_t(y1) * size_t(sw) + size_t(x0)];
            const BMM_Color_64& d = in[size_t(y1) * size_t(sw) + size_t(x1)];
            const auto mix = [fx, fy](WORD pa, WORD pb, WORD pc, WORD pd) {
                const float top = float(pa) + (float(pb) - float(pa)) * fx;
                const float bottom = float(pc) + (float(pd) - float(pc)) * fx;
                return WORD(std::lround(top + (bottom - top) * fy));
            };
            result[size_t(y) * size_t(dw) + size_t(x)] = BMM_Color_64{mix(a.r, b.r, c.r, d.r), mix(a.g, b.g, c.g, d.g),
                                                                      mix(a.b, b.b, c.b, d.b), mix(a.a, b.a, c.a, d.a)};
        }
    }
    std::copy(result.begin(), result.end(), out);
    return 1;
}

std::unique_ptr<Bitmap> LoadBitmapFile(const std::string& path)
{
    FILE* file = PlatformOpenFile(path.c_str(), "rb");
    if (!file)
        return nullptr;
    int w = 0, h = 0, channels = 0;
    std::unique_ptr<Bitmap> bitmap;
    if (stbi_info_from_file(file, &w, &h, &channels) && w > 0 && h > 0 && int64_t(w) * h <= (int64_t(1) << 26)) {
        bitmap.reset(new Bitmap);
        bitmap->m_Width = w;
        bitmap->m_Height = h;
        bitmap->m_File = path;
    }
    std::fclose(file);
    return bitmap;
}

namespace {

bool Exists(const std::string& path)
{
    return !path.empty() && PlatformPathExists(PlatformNativePath(path.c_str()).c_str());
}

// A bitmap is a file: a folder of its name is no bitmap.
bool IsFile(const std::string& path)
{
    const unsigned mode = PlatformGetFileMode(path.c_str());
    return mode != 0 && !S_ISDIR(mode);
}

bool Absolute(const std::string& path)
{
    return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

std::string Joined(const std::string& dir, const std::string& file)
{
    if (dir.empty())
        return file;
    const char last = dir.back();
    return dir + (last == '/' || last == '\\' ? "" : "/") + file;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

// The place's file found name by name below its folder, each name as it is
// or else the first in byte order that differs from it only in case; ""
// when a name is in neither form.
std::string CaseBlind(const BitmapPlace& place)
{
    const std::string path = PlatformNativePath(place.path.c_str());
    std::string at = place.folder.empty() && !path.empty() && path[0] == '/' ? "/" : place.folder;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".")
            continue;
        const std::string exact = Joined(at, name);
        if (name == ".." || Exists(exact)) {
            at = exact;
            continue;
        }
        const std::string wanted = Lower(name);
        std::string best;
        if (DIR* dir = opendir(at.empty() ? "." : PlatformNativePath(at.c_str()).c_str())) {
            while (const dirent* entry = readdir(dir)) {
                const std::string candidate = entry->d_name;
                if (Lower(candidate) == wanted && (best.empty() || candidate < best))
                    best = candidate;
            }
            closedir(dir);
        }
        if (best.empty())
            return "";
        at = Joined(at, best);
    }
    return IsFile(at) ? at : "";
}

} // namespace

int FindBitmapFile(const std::vector<BitmapPlace>& places, std::string& found, bool& caseBlind)
{
    for (size_t i = 0; i < places.size(); ++i) {
        const std::string path = Joined(places[i].folder, places[i].path);
        if (!places[i].path.empty() && IsFile(path)) {
            found = path;
            caseBlind = false;
            return int(i);
        }
    }
    for (size_t i = 0; i < places.size(); ++i) {
        if (places[i].path.empty())
            continue;
        const std::string path = CaseBlind(places[i]);
        if (!path.empty()) {
            found = path;
            caseBlind = true;
            return int(i);
        }
    }
    return -1;
}

BOOL BMMGetFullFilename(BitmapInfo* bi)
{
    if (!bi)
        return FALSE;
    const std::string name = bi->Name();
    if (name.empty())
        return FALSE;
    std::vector<BitmapPlace> places{{"", name}};
    if (const Interface* ip = GetCOREInterface()) {
        const HostSceneSettings& s = ip->Scene().Settings();
        const size_t slash = name.find_last_of("/\\");
        const std::string file = slash == std::string::npos ? name : name.substr(slash + 1);
        for (const std::string& dir : s.mapDirs)
            places.push_back({Absolute(dir) || s.sceneDir.empty() ? dir : Joined(s.sceneDir, dir), file});
        if (!s.sceneDir.empty()) {
            if (!Absolute(name))
                places.push_back({s.sceneDir, name});
            places.push_back({s.sceneDir, file});
        }
    }
    std::string found;
    bool caseBlind = false;
    const int place = FindBitmapFile(places, found, caseBlind);
    if (place < 0)
        return FALSE;
    // The name as given stays as it is.
    if (place > 0 || caseBlind)
        bi->SetName(found.c_str());
    return TRUE;
}

Bitmap* BitmapManager::Create(BitmapInfo* bi)
{
    if (!bi)
        return nullptr;
    return new Bitmap(bi->Width(), bi->Height());
}

BOOL BitmapManager::DelBitmap(Bitmap* bitmap)
{
    delete bitmap;
    return TRUE;
}
