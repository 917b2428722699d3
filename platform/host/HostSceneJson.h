#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/host/Class_ID.h"
#include "platform/host/Color.h"
#include "platform/host/KeyControl.h"
#include "platform/host/Matrix3.h"
#include "platform/host/Point3.h"
#include "platform/host/Quat.h"
#include "platform/host/TimeValue.h"

class IParamBlock2;

// The checked readers the host scene file is read with: each takes a JSON
// value and the place it sits at, and throws SceneFileError naming the
// place when the value is not what it must be.
namespace hostscene {

using json = nlohmann::json;

// Where a value sits in the file, rendered only when something is wrong. A
// place points at its parent: keep each link of a chain in a variable of
// its own when the place outlives the expression.
struct Place
{
    const Place* parent = nullptr;
    const char* key = nullptr;
    int index = -1;

    Place Member(const char* name) const { return Place{this, name, -1}; }
    Place Item(int i) const { return Place{this, nullptr, i}; }

    std::string Text() const;
};

struct SceneFileError
{
    std::string place;
    std::string what;
};

[[noreturn]] void Fail(const Place& place, const std::string& what);
std::string Quoted(const std::string& s);
[[noreturn]] void WrongType(const Place& place, const json& j, const char* wanted);

// An object whose members are all among the names given.
const json& Members(const json& j, const Place& place, std::initializer_list<const char*> allowed);
const json& Array(const json& j, const Place& place);
const json* Find(const json& object, const char* key);
const json& Required(const json& object, const char* key, const Place& place);
std::string String(const json& j, const Place& place);
bool Bool(const json& j, const Place& place);
int64_t Integer(const json& j, const Place& place, int64_t low, int64_t high);
TimeValue Time(const json& j, const Place& place);
// A finite number (as a 32-bit float).
float Float(const json& j, const Place& place);
float FloatIn(const json& j, const Place& place, float low, float high);
void Floats(const json& j, const Place& place, float* out, size_t count);
Point3 Vector(const json& j, const Place& place);
Color ColorValue(const json& j, const Place& place);
// A rotation: four numbers x, y, z, w of length 1 (within 1e-3).
Quat Rotation(const json& j, const Place& place);
// A transform: four rows of three numbers (the axes, then the translation).
Matrix3 MatrixValue(const json& j, const Place& place);
// One of the names given; gives its index.
int Enum(const json& j, const Place& place, std::initializer_list<const char*> names);
uint32_t Hex(const json& j, const Place& place);
Class_ID ClassIdValue(const json& j, const Place& place);

template <class T>
T Optional(const json& object, const char* key, const Place& place, T fallback, T (*read)(const json&, const Place&))
{
    const json* j = Find(object, key);
    return j ? read(*j, place.Member(key)) : fallback;
}

float OptionalIn(const json& object, const char* key, const Place& place, float fallback, float low, float high);

// A keyed track {"interpolation", "keys", "classId", "className"} of the
// kind given (keys at least one, times increasing); a track whose class is
// not the standard one of its interpolation hides its keys.
std::unique_ptr<KeyControl> KeyedTrack(const json& j, const Place& place, KeyControl::Track track);

// A parameter block: [{"id", "name", "type", "value"}...]; "bitmap"
// parameters (a file name) only when bitmaps is set.
void ParamBlock(const json& j, const Place& place, IParamBlock2& block, bool bitmaps);

} // namespace hostscene
