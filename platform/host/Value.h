#pragma once

#include <string>

#include "platform/host/MaxTypes.h"

// Stands in for the script values that a script function receives and
// returns: undefined, ok and empty, booleans, integers, floats and strings.
// The conversions follow the script language: to_bool takes a boolean only,
// to_int an integer or a float (truncated; a float outside the int range or
// not a number does not convert), to_float a number, to_string a string.
// Whether a value converts is asked with ConvertsTo before converting; a
// conversion that does not apply reports a broken precondition and gives 0,
// FALSE or "".
class Value
{
public:
    enum class Kind
    {
        Undefined,
        Ok,
        Empty,
        Boolean,
        Integer,
        Float,
        String
    };

    // undefined.
    Value() = default;
    static Value OkValue();
    static Value EmptyValue();
    static Value Bool(bool b);
    static Value Int(int i);
    static Value Float(float f);
    static Value String(std::string text);

    Kind GetKind() const { return m_Kind; }
    // Whether to_bool (kind Boolean), to_int (Integer), to_float (Float) or
    // to_string (String) applies to this value.
    bool ConvertsTo(Kind kind) const;

    BOOL to_bool() const;
    int to_int() const;
    float to_float() const;
    const char* to_string() const;

    // The value as the script listener prints it: true, 12, 0.5, "text",
    // undefined, OK, empty.
    std::string Print() const;

    bool operator==(const Value& v) const;
    bool operator!=(const Value& v) const { return !(*this == v); }

private:
    Kind m_Kind = Kind::Undefined;
    int m_Int = 0;
    float m_Float = 0.0f;
    std::string m_Text;
};

// The script language's three special values.
extern const Value undefined;
extern const Value ok;
extern const Value empty;
