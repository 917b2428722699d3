#include <gtest/gtest.h>

#include <cmath>

#include "platform/host/Value.h"
#include "tests/support/AssertCapture.h"

TEST(HostValue, ConversionsFollowTheScriptLanguage)
{
    using Kind = Value::Kind;
    struct Case
    {
        Value value;
        bool toBool, toInt, toFloat, toString;
    };
    const Case cases[] = {
        {undefined, false, false, false, false},
        {ok, false, false, false, false},
        {empty, false, false, false, false},
        {Value::Bool(true), true, false, false, false},
        {Value::Int(-7), false, true, true, false},
        {Value::Float(2.75f), false, true, true, false},
        {Value::Float(3e9f), false, false, true, false},
        {Value::Float(NAN), false, false, true, false},
        {Value::String("a.qdx"), false, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.Print());
        EXPECT_EQ(c.value.ConvertsTo(Kind::Boolean), c.toBool);
        EXPECT_EQ(c.value.ConvertsTo(Kind::Integer), c.toInt);
        EXPECT_EQ(c.value.ConvertsTo(Kind::Float), c.toFloat);
        EXPECT_EQ(c.value.ConvertsTo(Kind::String), c.toString);
        EXPECT_FALSE(c.value.ConvertsTo(Kind::Ok));
    }
    EXPECT_EQ(Value::Bool(true).to_bool(), TRUE);
    EXPECT_EQ(Value::Bool(false).to_bool(), FALSE);
    EXPECT_EQ(Value::Int(-7).to_int(), -7);
    EXPECT_EQ(Value::Int(-7).to_float(), -7.0f);
    EXPECT_EQ(Value::Float(2.75f).to_int(), 2);
    EXPECT_EQ(Value::Float(-2.75f).to_int(), -2);
    EXPECT_EQ(Value::Float(-2147483648.0f).to_int(), -2147483647 - 1);
    EXPECT_FALSE(Value::Float(2147483648.0f).ConvertsTo(Kind::Integer));
    EXPECT_STREQ(Value::String("a.qdx").to_string(), "a.qdx");
}

TEST(HostValue, AConversionThatDoesNotApplyIsReportedAndGivesZero)
{
    AssertCapture capture;
    EXPECT_EQ(Value::Int(1).to_bool(), FALSE);
    EXPECT_EQ(Value::String("1").to_int(), 0);
    EXPECT_EQ(undefined.to_float(), 0.0f);
    EXPECT_STREQ(Value::Int(1).to_string(), "");
    EXPECT_EQ(capture.Texts().size(), 4u);
}

TEST(HostValue, SpecialValuesPrintAndCompareAsTheListenerShowsThem)
{
    EXPECT_EQ(ok.Print(), "OK");
    EXPECT_EQ(empty.Print(), "empty");
    EXPECT_EQ(undefined.Print(), "undefined");
    EXPECT_EQ(Value::Bool(true).Print(), "true");
    EXPECT_EQ(Value::Float(0.5f).Print(), "0.5");
    EXPECT_EQ(Value::String("x").Print(), "\"x\"");
    EXPECT_EQ(ok, Value::OkValue());
    EXPECT_NE(ok, empty);
    EXPECT_NE(Value::Int(1), Value::Bool(true));
    EXPECT_NE(Value::Int(1), Value::Int(2));
    EXPECT_EQ(Value::String("a"), Value::String("a"));
}
