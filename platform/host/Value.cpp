#include "platform/host/Value.h"

#include <cmath>
#include <cstdio>

#include "platform/PlatformAssert.h"

const Value undefined;
const Value ok = Value::OkValue();
const Value empty = Value::EmptyValue();

Value Value::OkValue()
{
    Value v;
    v.m_Kind = Kind::Ok;
    return v;
}

Value Value::EmptyValue()
{
    Value v;
    v.m_Kind = Kind::Empty;
    return v;
}

Value Value::Bool(bool b)
{
    Value v;
    v.m_Kind = Kind::Boolean;
    v.m_Int = b ? 1 : 0;
    return v;
}

Value Value::Int(int i)
{
    Value v;
    v.m_Kind = Kind::Integer;
    v.m_Int = i;
    return v;
}

Value Value::Float(float f)
{
    Value v;
    v.m_Kind = Kind::Float;
    v.m_Float = f;
    return v;
}

Value Value::String(std::string text)
{
    Value v;
    v.m_Kind = Kind::String;
    v.m_Text = std::move(text);
    return v;
}

// A float converts to an int when truncating it stays in the int range.
static bool FloatFitsInt(float f)
{
    return std::isfinite(f) && f > -2147483904.0f && f < 2147483648.0f;
}

bool Value::ConvertsTo(Kind kind) const
{
    switch (kind) {
    case Kind::Boolean: return m_Kind == Kind::Boolean;
    case Kind::Integer: return m_Kind == Kind::Integer || (m_Kind == Kind::Float && FloatFitsInt(m_Float));
    case Kind::Float: return m_Kind == Kind::Integer || m_Kind == Kind::Float;
    case Kind::String: return m_Kind == Kind::String;
    default: return false;
    }
}

BOOL Value::to_bool() const
{
    if (!PLATFORM_CHECK(ConvertsTo(Kind::Boolean)))
        return FALSE;
    return m_Int;
}

int Value::to_int() const
{
    if (!PLATFORM_CHECK(ConvertsTo(Kind::Integer)))
        return 0;
    return m_Kind == Kind::Integer ? m_Int : int(m_Float);
}

float Value::to_float() const
{
    if (!PLATFORM_CHECK(ConvertsTo(Kind::Float)))
        return 0.0f;
    return m_Kind == Kind::Integer ? float(m_Int) : m_Float;
}

const char* Value::to_string() const
{
    if (!PLATFORM_CHECK(ConvertsTo(Kind::String)))
        return "";
    return m_Text.c_str();
}

std::string Value::Print() const
{
    switch (m_Kind) {
    case Kind::Undefined: return "undefined";
    case Kind::Ok: return "OK";
    case Kind::Empty: return "empty";
    case Kind::Boolean: return m_Int ? "true" : "false";
    case Kind::Integer: return std::to_string(m_Int);
    case Kind::Float: {
        char text[32];
        std::snprintf(text, sizeof(text), "%g", double(m_Float));
        return text;
    }
    case Kind::String: return "\"" + m_Text + "\"";
    }
    return "";
}

bool Value::operator==(const Value& v) const
{
    if (m_Kind != v.m_Kind)
        return false;
    switch (m_Kind) {
    case Kind::Boolean:
    case Kind::Integer: return m_Int == v.m_Int;
    case Kind::Float: return m_Float == v.m_Float;
    case Kind::String: return m_Text == v.m_Text;
    default: return true;
    }
}
