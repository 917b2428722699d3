#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>
#include <utility>

#include "core/context/CKContext.h"
#include "core/object/XObjectArray.h"
#include "core/parameter/CKEnumValueText.h"
#include "core/parameter/CKOwnedValue.h"
#include "core/parameter/CKParameter.h"
#include "core/parameter/CKParameterCallbacks.h"
#include "core/parameter/CKParameterLinks.h"
#include "core/parameter/CKParameterManager.h"
#include "system/text/XCLocale.h"

namespace {

// The single-precision pi of the angle forms.
constexpr float kPi = 3.1415927410125732f;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...)
{
    XCLocaleScope c;
    char small[256];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < (int) sizeof small)
        return std::string(small, n > 0 ? (size_t) n : 0);
    std::string out((size_t) n + 1, '\0');
    va_start(args, format);
    std::vsnprintf(out.data(), out.size(), format, args);
    va_end(args);
    out.resize((size_t) n);
    return out;
}

int Scan(const char* text, const char* format, ...) __attribute__((format(scanf, 2, 3)));
int Scan(const char* text, const char* format, ...)
{
    XCLocaleScope c;
    va_list args;
    va_start(args, format);
    int n = std::vsscanf(text, format, args);
    va_end(args);
    return n;
}

// Writes the text into buffer (cut to size, terminated); its size with the
// terminating zero.
int Emit(char* buffer, int size, const std::string& text)
{
    if (buffer && size > 0) {
        size_t n = std::min(text.size(), (size_t) size - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = 0;
    }
    return (int) text.size() + 1;
}

int EmitNothing(char* buffer, int size)
{
    if (buffer && size > 0)
        buffer[0] = 0;
    return 0;
}

// The value's first bytes as T words (zeros past what the value holds).
template <class T, int N>
void Read(CKParameter* param, T (&out)[N])
{
    std::memset(out, 0, sizeof out);
    const void* value = param->GetReadDataPtr(FALSE);
    int n = std::min((int) sizeof out, param->GetDataSize());
    if (value && n > 0)
        std::memcpy(out, value, (size_t) n);
}

template <class T, int N>
void Store(CKParameter* param, const T (&in)[N])
{
    param->SetValue(in, (int) sizeof in);
}

int ReadInt(CKParameter* param)
{
    int v[1];
    Read(param, v);
    return v[0];
}

void StoreInt(CKParameter* param, int value)
{
    const int v[1] = {value};
    Store(param, v);
}

CKContext* Context(CKParameter* param)
{
    return param->GetCKContext();
}

CKParameterManager* Manager(CKParameter* param)
{
    return Context(param) ? Context(param)->GetParameterManager() : nullptr;
}

// Truncation toward zero; beyond the range of an int (where it is not
// defined) the value is held at the ends, and NaN gives 0.
int Truncate(float value)
{
    if (std::isnan(value))
        return 0;
    return (int) std::clamp(value, -2147483520.0f, 2147483520.0f);
}

// An angle in radians as whole turns and the rest in degrees.
std::string AngleText(float radians)
{
    float degrees = radians * 180.0f / kPi;
    int turns = Truncate(degrees / 360.0f);
    float rest = degrees - 360.0f * (float) turns;
    return Format("%d:%g", turns, (double) rest);
}

float Radians(int turns, float degrees)
{
    return ((float) turns * 360.0f + degrees) * kPi / 180.0f;
}

// Floats written with "%g" joined by separators: {"", ",", ","} gives
// "%g,%g,%g".
template <int N>
std::string FloatsText(const float (&v)[N], const char* format)
{
    std::string out;
    const char* f = format;
    int i = 0;
    // format holds one "%g" per float; each is replaced in turn.
    while (*f) {
        if (f[0] == '%' && f[1] == 'g' && i < N) {
            out += Format("%g", (double) v[i++]);
            f += 2;
        } else if (f[0] == '%' && f[1] == '%') {
            out += '%';
            f += 2;
        } else {
            out += *f++;
        }
    }
    return out;
}

template <int N, size_t... I>
void ScanFloats(const char* text, const std::string& format, float (&v)[N], std::index_sequence<I...>)
{
    Scan(text, format.c_str(), &v[I]...);
}

// The text form of a value of N floats: read with `format`'s "%g" taken as
// "%f" (floats the text does not give keep their defaults), written with
// `format` itself.
template <int N>
int FloatsTextCallback(CKParameter* param, char* text, int size, CKBOOL read, const float (&defaults)[N],
                       const char* format)
{
    if (!param)
        return 0;
    float v[N];
    if (read) {
        if (!text)
            return 0;
        std::copy(defaults, defaults + N, v);
        std::string scan = format;
        for (size_t at = scan.find("%g"); at != std::string::npos; at = scan.find("%g", at + 2))
            scan[at + 1] = 'f';
        ScanFloats(text, scan, v, std::make_index_sequence<N>());
        Store(param, v);
        return 0;
    }
    Read(param, v);
    return Emit(text, size, FloatsText(v, format));
}

} // namespace

int CKIntegerText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    if (read) {
        if (!text)
            return 0;
        int v = 0;
        Scan(text, "%d", &v);
        StoreInt(param, v);
        return 0;
    }
    return Emit(text, size, Format("%d", ReadInt(param)));
}

int CKFloatText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    if (read) {
        if (!text)
            return 0;
        float v[1] = {0.0f};
        Scan(text, "%f", &v[0]);
        Store(param, v);
        return 0;
    }
    float v[1];
    Read(param, v);
    return Emit(text, size, Format("%g", (double) v[0]));
}

int CKAngleText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    if (read) {
        if (!text)
            return 0;
        int turns = 0;
        float degrees = 0.0f;
        Scan(text, "%d:%f", &turns, &degrees);
        const float v[1] = {Radians(turns, degrees)};
        Store(param, v);
        return 0;
    }
    float v[1];
    Read(param, v);
    return Emit(text, size, AngleText(v[0]));
}

int CKEulerAnglesText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    if (read) {
        if (!text)
            return 0;
        int t[3] = {0, 0, 0};
        float d[3] = {0.0f, 0.0f, 0.0f};
        Scan(text, "%d:%f,%d:%f,%d:%f", &t[0], &d[0], &t[1], &d[1], &t[2], &d[2]);
        const float v[3] = {Radians(t[0], d[0]), Radians(t[1], d[1]), Radians(t[2], d[2])};
        Store(param, v);
        return 0;
    }
    float v[3];
    Read(param, v);
    return Emit(text, size, AngleText(v[0]) + "," + AngleText(v[1]) + "," + AngleText(v[2]));
}

int CKPercentageText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    if (read) {
        if (!text)
            return 0;
        float v[1] = {0.0f};
        Scan(text, "%f%%", &v[0]);
        v[0] /= 100.0f;
        Store(param, v);
        return 0;
    }
    float v[1];
    Read(param, v);
    return Emit(text, size, Format("%g%%", (double) (v[0] * 100.0f)));
}

int CKFloatSliderText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    if (read) {
        if (!text)
            return 0;
        float v[3] = {0.0f, 0.0f, 1.0f};
        Scan(text, "%f:%f:%f", &v[0], &v[1], &v[2]);
        Store(param, v);
        return 0;
    }
    float v[1];
    Read(param, v);
    return Emit(text, size, Format("%g", (double) v[0]));
}

int CKTimeText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    if (read) {
        if (!text)
            return 0;
        float minutes = 0.0f, seconds = 0.0f, ms = 0.0f;
        Scan(text, "%fm %fs %fms", &minutes, &seconds, &ms);
        const float v[1] = {(minutes * 60.0f + seconds) * 1000.0f + ms};
        Store(param, v);
        return 0;
    }
    float v[1];
    Read(param, v);
    int ms = Truncate(v[0]);
    return Emit(text, size, Format("%.2dm %.2ds %.3dms", ms / 60000, (ms % 60000) / 1000, ms % 1000));
}

int CKBooleanText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    if (read) {
        StoreInt(param, text && strcasecmp(text, "TRUE") == 0 ? 1 : 0);
        return 0;
    }
    return Emit(text, size, ReadInt(param) ? "TRUE" : "FALSE");
}

int CKVectorText(CKParameter* param, char* text, int size, CKBOOL read)
{
    static const float defaults[3] = {0.0f, 0.0f, 0.0f};
    return FloatsTextCallback(param, text, size, read, defaults, "%g,%g,%g");
}

int CKVector2DText(CKParameter* param, char* text, int size, CKBOOL read)
{
    static const float defaults[2] = {0.0f, 0.0f};
    return FloatsTextCallback(param, text, size, read, defaults, "%g,%g");
}

int CKFourFloatsText(CKParameter* param, char* text, int size, CKBOOL read)
{
    static const float defaults[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    return FloatsTextCallback(param, text, size, read, defaults, "%g,%g,%g,%g");
}

int CKRectangleText(CKParameter* param, char* text, int size, CKBOOL read)
{
    static const float defaults[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    return FloatsTextCallback(param, text, size, read, defaults, "(%g,%g),(%g,%g)");
}

int CKBoxText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    // The value holds the maximum corner first; the text the minimum first.
    if (read) {
        if (!text)
            return 0;
        float mn[3] = {1000000.0f, 1000000.0f, 1000000.0f};
        float mx[3] = {-1000000.0f, -1000000.0f, -1000000.0f};
        Scan(text, "(%f,%f,%f),(%f,%f,%f)", &mn[0], &mn[1], &mn[2], &mx[0], &mx[1], &mx[2]);
        const float v[6] = {mx[0], mx[1], mx[2], mn[0], mn[1], mn[2]};
        Store(param, v);
        return 0;
    }
    float v[6];
    Read(param, v);
    const float corners[6] = {v[3], v[4], v[5], v[0], v[1], v[2]};
    return Emit(text, size, FloatsText(corners, "(%g,%g,%g),(%g,%g,%g)"));
}

int CKMatrixText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    if (read) {
        if (!text)
            return 0;
        float m[16] = {};
        Scan(text, "[%f,%f,%f,%f][%f,%f,%f,%f][%f,%f,%f,%f][%f,%f,%f,%f]", &m[0], &m[1], &m[2], &m[3], &m[4], &m[5],
             &m[6], &m[7], &m[8], &m[9], &m[10], &m[11], &m[12], &m[13], &m[14], &m[15]);
        Store(param, m);
        return 0;
    }
    float m[16];
    Read(param, m);
    for (float& f : m)
        if (std::fabs(f) < 0.00001f)
            f = 0.0f;
    return Emit(text, size, FloatsText(m, "[%g,%g,%g,%g][%g,%g,%g,%g][%g,%g,%g,%g][%g,%g,%g,%g]"));
}

int CKColorText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    if (read) {
        if (!text)
            return 0;
        int c[4] = {0, 0, 0, 0};
        Scan(text, "%d,%d,%d,%d", &c[0], &c[1], &c[2], &c[3]);
        const float v[4] = {(float) c[0] / 255.0f, (float) c[1] / 255.0f, (float) c[2] / 255.0f, (float) c[3] / 255.0f};
        Store(param, v);
        return 0;
    }
    float v[4];
    Read(param, v);
    int c[4];
    for (int i = 0; i < 4; ++i)
        c[i] = Truncate(v[i] * 255.0f);
    return Emit(text, size, Format("%d,%d,%d,%d", c[0], c[1], c[2], c[3]));
}

int CKStringText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    if (read) {
        if (!text)
            return 0;
        param->SetValue(text, (int) std::strlen(text) + 1);
        return 0;
    }
    const char* value = static_cast<const char*>(param->GetReadDataPtr(FALSE));
    int length = param->GetDataSize();
    if (text && size > 0) {
        int n = value ? std::min(length, size) : 0;
        if (n > 0)
            std::memcpy(text, value, (size_t) n);
        // Terminated even when the value's bytes hold no zero.
        if (n <= 0 || !std::memchr(text, 0, (size_t) n))
            text[n > 0 ? n - 1 : 0] = 0;
    }
    return value ? length : 0;
}

int CKCollectionText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param || read)
        return 0;
    XObjectArray* array = CKGetOwnedValue<XObjectArray>(param);
    if (!array)
        return EmitNothing(text, size);
    return Emit(text, size, Format("%d Elements", array->Size()));
}

int CKObjectText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param || !Context(param))
        return 0;
    if (read) {
        if (!text)
            return 0;
        CKObject* found = Context(param)->GetObjectByNameAndParentClass(text, param->GetParameterClassID(), nullptr);
        StoreInt(param, found ? (int) found->GetID() : 0);
        return 0;
    }
    CKObject* object = Context(param)->GetObject((CK_ID) ReadInt(param));
    if (!object || !object->GetName())
        return EmitNothing(text, size);
    return Emit(text, size, object->GetName());
}

int CKMessageText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    const CKParameterLinks& links = CKGetParameterLinks();
    if (read) {
        if (!text)
            return 0;
        int index = -1;
        if (*text && strcasecmp(text, "NULL") != 0 && links.AddMessageType)
            index = links.AddMessageType(Context(param), text);
        StoreInt(param, index);
        return 0;
    }
    XString name;
    if (!links.GetMessageTypeName || !links.GetMessageTypeName(Context(param), ReadInt(param), name))
        return 0;
    return Emit(text, size, name.CStr());
}

int CKAttributeText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    const CKParameterLinks& links = CKGetParameterLinks();
    if (read) {
        if (!text)
            return 0;
        StoreInt(param, links.GetAttributeTypeByName ? links.GetAttributeTypeByName(Context(param), text) : -1);
        return 0;
    }
    XString name;
    if (!links.GetAttributeName || !links.GetAttributeName(Context(param), ReadInt(param), name))
        return 0;
    return Emit(text, size, name.CStr());
}

int CKEnumText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    CKParameterManager* pm = Manager(param);
    const CKEnumDesc* record = pm ? pm->GetEnumDescByType(param->GetType()) : nullptr;
    if (read) {
        if (!text)
            return 0;
        StoreInt(param, CKEnumValueFromText(record, text));
        return 0;
    }
    XString out;
    CKEnumValueToText(record, ReadInt(param), out);
    return Emit(text, size, out.CStr());
}

int CKFlagsText(CKParameter* param, char* text, int size, CKBOOL read)
{
    if (!param)
        return 0;
    CKParameterManager* pm = Manager(param);
    const CKFlagsDesc* record = pm ? pm->GetFlagsDescByType(param->GetType()) : nullptr;
    if (read) {
        StoreInt(param, CKFlagsValueFromText(record, text));
        return 0;
    }
    XString out;
    CKFlagsValueToText(record, ReadInt(param), out);
    return Emit(text, size, out.CStr());
}
