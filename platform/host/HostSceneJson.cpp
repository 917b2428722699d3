#include "platform/host/HostSceneJson.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/host/IParamBlock2.h"

namespace hostscene {

std::string Place::Text() const
{
    std::string up = parent ? parent->Text() : std::string();
    if (key)
        return up.empty() ? std::string(key) : up + "." + key;
    if (index >= 0)
        return up + "[" + std::to_string(index) + "]";
    return up;
}

[[noreturn]] void Fail(const Place& place, const std::string& what)
{
    throw SceneFileError{place.Text(), what};
}

std::string Quoted(const std::string& s)
{
    return "\"" + s + "\"";
}

static const char* TypeName(const json& j)
{
    switch (j.type()) {
    case json::value_t::null: return "null";
    case json::value_t::boolean: return "a boolean";
    case json::value_t::string: return "a string";
    case json::value_t::array: return "an array";
    case json::value_t::object: return "an object";
    default: return "a number";
    }
}

[[noreturn]] void WrongType(const Place& place, const json& j, const char* wanted)
{
    Fail(place, std::string("expected ") + wanted + ", found " + TypeName(j));
}

// An object whose members are all among the names given.
const json& Members(const json& j, const Place& place, std::initializer_list<const char*> allowed)
{
    if (!j.is_object())
        WrongType(place, j, "an object");
    for (auto it = j.begin(); it != j.end(); ++it) {
        bool known = false;
        for (const char* name : allowed)
            known = known || it.key() == name;
        if (!known)
            Fail(place, "unknown member " + Quoted(it.key()));
    }
    return j;
}

const json& Array(const json& j, const Place& place)
{
    if (!j.is_array())
        WrongType(place, j, "an array");
    return j;
}

const json* Find(const json& object, const char* key)
{
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

const json& Required(const json& object, const char* key, const Place& place)
{
    const json* j = Find(object, key);
    if (!j)
        Fail(place, std::string("missing member \"") + key + "\"");
    return *j;
}

std::string String(const json& j, const Place& place)
{
    if (!j.is_string())
        WrongType(place, j, "a string");
    return j.get<std::string>();
}

bool Bool(const json& j, const Place& place)
{
    if (!j.is_boolean())
        WrongType(place, j, "true or false");
    return j.get<bool>();
}

int64_t Integer(const json& j, const Place& place, int64_t low, int64_t high)
{
    if (!j.is_number_integer())
        WrongType(place, j, "an integer");
    int64_t v = 0;
    if (j.is_number_unsigned()) {
        const uint64_t u = j.get<uint64_t>();
        v = u > uint64_t(std::numeric_limits<int64_t>::max()) ? std::numeric_limits<int64_t>::max() : int64_t(u);
    } else {
        v = j.get<int64_t>();
    }
    if (v < low || v > high)
        Fail(place, std::to_string(v) + " is out of range " + std::to_string(low) + " to " + std::to_string(high));
    return v;
}

TimeValue Time(const json& j, const Place& place)
{
    return TimeValue(Integer(j, place, std::numeric_limits<TimeValue>::min(), std::numeric_limits<TimeValue>::max()));
}

float Float(const json& j, const Place& place)
{
    if (!j.is_number())
        WrongType(place, j, "a number");
    const double d = j.get<double>();
    const float f = float(d);
    if (!std::isfinite(d) || !std::isfinite(f))
        Fail(place, "not a finite number");
    return f;
}

float FloatIn(const json& j, const Place& place, float low, float high)
{
    const float f = Float(j, place);
    if (f < low || f > high) {
        char text[96];
        std::snprintf(text, sizeof(text), "%g is out of range %g to %g", double(f), double(low), double(high));
        Fail(place, text);
    }
    return f;
}

void Floats(const json& j, const Place& place, float* out, size_t count)
{
    if (!j.is_array() || j.size() != count)
        Fail(place, "expected an array of " + std::to_string(count) + " numbers");
    for (size_t i = 0; i < count; ++i)
        out[i] = Float(j[i], place.Item(int(i)));
}

Point3 Vector(const json& j, const Place& place)
{
    float v[3];
    Floats(j, place, v, 3);
    return Point3(v[0], v[1], v[2]);
}

Color ColorValue(const json& j, const Place& place)
{
    return Color(Vector(j, place));
}

// A rotation: four numbers x, y, z, w of length 1 (within 1e-3).
Quat Rotation(const json& j, const Place& place)
{
    float v[4];
    Floats(j, place, v, 4);
    Quat q(v[0], v[1], v[2], v[3]);
    const double length = std::sqrt(double(QuatDot(q, q)));
    if (std::fabs(length - 1.0) > 1e-3)
        Fail(place, "a rotation must have length 1");
    return q.Normalize();
}

// One of the names given; gives its index.
int Enum(const json& j, const Place& place, std::initializer_list<const char*> names)
{
    const std::string s = String(j, place);
    int i = 0;
    for (const char* name : names) {
        if (s == name)
            return i;
        ++i;
    }
    std::string list;
    for (const char* name : names)
        list += (list.empty() ? "" : ", ") + std::string(name);
    Fail(place, Quoted(s) + " is not one of " + list);
}

uint32_t Hex(const json& j, const Place& place)
{
    const std::string s = String(j, place);
    if (s.size() < 3 || s.size() > 10 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X'))
        Fail(place, Quoted(s) + " is not a hexadecimal number such as \"0x1F\" (at most 8 digits)");
    uint32_t v = 0;
    for (size_t i = 2; i < s.size(); ++i) {
        const char c = s[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            Fail(place, Quoted(s) + " is not a hexadecimal number such as \"0x1F\" (at most 8 digits)");
        v = v << 4 | uint32_t(digit);
    }
    return v;
}

Class_ID ClassIdValue(const json& j, const Place& place)
{
    if (!j.is_array() || j.size() != 2)
        Fail(place, "expected a class id: an array of two hexadecimal strings");
    return Class_ID(Hex(j[0], place.Item(0)), Hex(j[1], place.Item(1)));
}

Matrix3 MatrixValue(const json& j, const Place& place)
{
    if (!j.is_array() || j.size() != 4)
        Fail(place, "expected a transform: an array of four rows of three numbers");
    return Matrix3(Vector(j[0], place.Item(0)), Vector(j[1], place.Item(1)), Vector(j[2], place.Item(2)),
                   Vector(j[3], place.Item(3)));
}

float OptionalIn(const json& object, const char* key, const Place& place, float fallback, float low, float high)
{
    const json* j = Find(object, key);
    return j ? FloatIn(*j, place.Member(key), low, high) : fallback;
}

static HostKey ReadKey(const json& k, const Place& place, KeyControl::Track track,
                       KeyControl::Interpolation interpolation)
{
    using Interpolation = KeyControl::Interpolation;
    const bool rotation = track == KeyControl::Track::Rotation;
    const bool tcbRotation = rotation && interpolation == Interpolation::TCB;
    if (interpolation == Interpolation::Linear)
        Members(k, place, {"time", "value", "axis"});
    else if (interpolation == Interpolation::Bezier)
        Members(k, place, {"time", "value", "axis", "in", "out", "inType", "outType"});
    else
        Members(k, place, {"time", "value", "axis", "angle", "tension", "continuity", "bias", "easeTo", "easeFrom"});
    HostKey key;
    key.time = Time(Required(k, "time", place), place.Member("time"));
    if (tcbRotation) {
        if (Find(k, "value"))
            Fail(place.Member("value"), "a TCB rotation key gives \"angle\" and \"axis\", not a value");
        key.angleAxis.angle = Float(Required(k, "angle", place), place.Member("angle"));
        key.angleAxis.axis = Vector(Required(k, "axis", place), place.Member("axis"));
        if (key.angleAxis.axis.LengthSquared() == 0.0f)
            Fail(place.Member("axis"), "a rotation axis must not be zero");
    } else {
        if (Find(k, "angle"))
            Fail(place.Member("angle"), "only TCB rotation keys give an angle");
        if (rotation)
            key.rotation = Rotation(Required(k, "value", place), place.Member("value"));
        else if (track == KeyControl::Track::Float)
            key.value.x = Float(Required(k, "value", place), place.Member("value"));
        else
            key.value = Vector(Required(k, "value", place), place.Member("value"));
        if (const json* axis = Find(k, "axis")) {
            if (track != KeyControl::Track::Scale)
                Fail(place.Member("axis"), "only scale keys and TCB rotation keys give an axis");
            key.rotation = Rotation(*axis, place.Member("axis"));
        }
    }
    if (interpolation == Interpolation::Bezier) {
        if (rotation && (Find(k, "in") || Find(k, "out")))
            Fail(place.Member(Find(k, "in") ? "in" : "out"), "Bezier rotation keys have no tangents");
        key.inTan = Optional<Point3>(k, "in", place, Point3(), Vector);
        key.outTan = Optional<Point3>(k, "out", place, Point3(), Vector);
        const auto tangentType = [](const json& j, const Place& p) {
            return Enum(j, p, {"smooth", "linear", "step", "fast", "slow", "custom", "flat"});
        };
        const DWORD inType = DWORD(Optional<int>(k, "inType", place, 5, tangentType));
        const DWORD outType = DWORD(Optional<int>(k, "outType", place, 5, tangentType));
        key.flags = inType << 7 | outType << 10;
    } else if (interpolation == Interpolation::TCB) {
        key.tens = OptionalIn(k, "tension", place, 0.0f, -1.0f, 1.0f);
        key.cont = OptionalIn(k, "continuity", place, 0.0f, -1.0f, 1.0f);
        key.bias = OptionalIn(k, "bias", place, 0.0f, -1.0f, 1.0f);
        key.easeIn = OptionalIn(k, "easeTo", place, 0.0f, 0.0f, 50.0f);
        key.easeOut = OptionalIn(k, "easeFrom", place, 0.0f, 0.0f, 50.0f);
    }
    return key;
}

std::unique_ptr<KeyControl> KeyedTrack(const json& j, const Place& place, KeyControl::Track track)
{
    using Interpolation = KeyControl::Interpolation;
    Members(j, place, {"interpolation", "keys", "classId", "className"});
    const Interpolation interpolation = Interpolation(
        Enum(Required(j, "interpolation", place), place.Member("interpolation"), {"linear", "bezier", "tcb"}));
    const Class_ID standard = KeyControl::ClassIdOf(track, interpolation);
    const Class_ID classId = Optional<Class_ID>(j, "classId", place, standard, ClassIdValue);
    auto control = std::make_unique<KeyControl>(track, interpolation);
    if (classId != standard) {
        // Another class that evaluates the same way, such as an expression:
        // it only answers GetValue.
        control = std::make_unique<KeyControl>(track, interpolation, classId,
                                               Optional<std::string>(j, "className", place, "", String));
        control->SetKeyInterface(false);
    } else if (Find(j, "className")) {
        control = std::make_unique<KeyControl>(track, interpolation, classId,
                                               String(*Find(j, "className"), place.Member("className")));
    }
    const Place keysPlace = place.Member("keys");
    const json& keys = Array(Required(j, "keys", place), keysPlace);
    if (keys.empty())
        Fail(keysPlace, "a track needs at least one key");
    std::vector<HostKey> read;
    read.reserve(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        read.push_back(ReadKey(keys[i], keysPlace.Item(int(i)), track, interpolation));
    for (size_t i = 1; i < read.size(); ++i)
        if (read[i].time <= read[i - 1].time)
            Fail(keysPlace.Item(int(i)).Member("time"), "key times must increase");
    control->SetKeys(std::move(read));
    return control;
}

void ParamBlock(const json& j, const Place& place, IParamBlock2& block, bool bitmaps)
{
    Array(j, place);
    for (size_t i = 0; i < j.size(); ++i) {
        const Place item = place.Item(int(i));
        const json& p = Members(j[i], item, {"id", "name", "type", "value"});
        IParamBlock2::Entry e;
        e.def.ID = ParamID(Integer(Required(p, "id", item), item.Member("id"), 0, 32767));
        e.def.int_name = String(Required(p, "name", item), item.Member("name"));
        if (block.FindEntry(e.def.ID))
            Fail(item.Member("id"), "duplicate parameter id " + std::to_string(e.def.ID));
        for (int k = 0; k < block.GetDesc()->Count(); ++k)
            if (block.GetDesc()->GetParamDef(k).int_name == e.def.int_name)
                Fail(item.Member("name"), "duplicate parameter name " + Quoted(e.def.int_name));
        static const ParamType2 types[] = {TYPE_INT, TYPE_FLOAT, TYPE_BOOL, TYPE_RGBA, TYPE_STRING, TYPE_BITMAP};
        const Place typePlace = item.Member("type");
        e.def.type =
            types[Enum(Required(p, "type", item), typePlace, {"int", "float", "bool", "color", "string", "bitmap"})];
        if (e.def.type == TYPE_BITMAP && !bitmaps)
            Fail(typePlace, "only a viewport shader's parameters hold bitmaps");
        const json& value = Required(p, "value", item);
        const Place valuePlace = item.Member("value");
        switch (e.def.type) {
        case TYPE_INT:
            e.i = int(Integer(value, valuePlace, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
            break;
        case TYPE_FLOAT: e.f = Float(value, valuePlace); break;
        case TYPE_BOOL: e.i = Bool(value, valuePlace) ? 1 : 0; break;
        case TYPE_RGBA: e.c = ColorValue(value, valuePlace); break;
        case TYPE_STRING: e.s = String(value, valuePlace); break;
        case TYPE_BITMAP: e.bitmap.bi.SetName(String(value, valuePlace).c_str()); break;
        }
        block.AddParam(e);
    }
}

} // namespace hostscene
