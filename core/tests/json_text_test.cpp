#include "tolvar/core/json_text.hpp"
#include "tolvar/core/utf.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

namespace tolvar::core {
namespace {

TEST(FloatText, LayoutRules) {
    const std::pair<float, const char*> cases[] = {
        {12.0f, "12.0"},
        {10.5f, "10.5"},
        {1e10f, "10000000000.0"},
        {1e12f, "1000000000000.0"},
        {1e13f, "1e13"},
        {0.001f, "0.001"},
        {1e-6f, "0.000001"},
        {1e-7f, "1e-7"},
        {1e20f, "1e20"},
        {1.5e-7f, "1.5e-7"},
        {0.0f, "0.0"},
        {-2.5f, "-2.5"},
        {0.1f, "0.1"},
        {123456.7f, "123456.7"},
        {3.4028235e38f, "3.4028235e38"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(format_f32(value), text) << value;
}

TEST(FloatText, ShortestTextReadsBackAsTheSameFloat) {
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i) {
        std::uint32_t bits = rng();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        const std::string text = format_f32(value);
        EXPECT_EQ(std::strtof(text.c_str(), nullptr), value) << text;
    }
}

TEST(FloatText, NonFiniteIsWrittenAsNull) {
    JsonWriter w(JsonWriter::Style::Compact);
    w.begin_array();
    w.f32_value(INFINITY);
    w.f32_value(NAN);
    w.end_array();
    EXPECT_EQ(w.text(), "[null,null]");
}

TEST(Writer, PrettyAndCompactLayout) {
    for (const auto style : {JsonWriter::Style::Pretty, JsonWriter::Style::Compact}) {
        JsonWriter w(style);
        w.begin_object();
        w.key("a");
        w.begin_array();
        w.uint_value(1);
        w.begin_object();
        w.end_object();
        w.end_array();
        w.key("b");
        w.begin_array();
        w.end_array();
        w.end_object();
        EXPECT_EQ(w.text(), style == JsonWriter::Style::Pretty
                                ? "{\n  \"a\": [\n    1,\n    {}\n  ],\n  \"b\": []\n}"
                                : R"({"a":[1,{}],"b":[]})");
    }
}

TEST(Parser, KeepsDuplicateMembersInOrder) {
    const JsonParse p = parse_json(R"({"a":1,"a":true})");
    ASSERT_FALSE(p.syntax_error);
    ASSERT_EQ(p.root.members.size(), 2u);
    EXPECT_EQ(p.root.members[1].value.kind, JsonValue::Kind::Bool);
}

TEST(Parser, MarksWhereASyntaxErrorCutTheTreeShort) {
    const JsonParse p = parse_json(R"({"a":[1,2)");
    ASSERT_TRUE(p.syntax_error);
    EXPECT_FALSE(p.root.closed);
    EXPECT_FALSE(p.root.members.at(0).value.closed);
    EXPECT_EQ(p.root.members.at(0).value.items.size(), 2u);

    const JsonParse q = parse_json(R"({"a":)");
    EXPECT_EQ(q.root.members.at(0).value.kind, JsonValue::Kind::Absent);
}

TEST(Parser, NumbersBySign) {
    const JsonParse p = parse_json("[0,-0,-3,18446744073709551615,1.0]");
    const auto& items = p.root.items;
    EXPECT_EQ(items[0].kind, JsonValue::Kind::Uint);
    EXPECT_EQ(items[2].int_value, -3);
    EXPECT_EQ(items[3].uint_value, 18446744073709551615u);
    EXPECT_EQ(items[4].kind, JsonValue::Kind::Float);
}

TEST(DebugQuote, EscapesLikeMessagesShowValues) {
    EXPECT_EQ(debug_quote("plain"), "\"plain\"");
    EXPECT_EQ(debug_quote("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(debug_quote(std::string("\t\r\n\0", 4)), R"("\t\r\n\0")");
    EXPECT_EQ(debug_quote("\x1b[1m\x7f"), R"("\u{1b}[1m\u{7f}")");
    EXPECT_EQ(debug_quote("\xc2\x85"), R"("\u{85}")");
    EXPECT_EQ(debug_quote("caf\xc3\xa9 \xe2\x86\x92"), "\"caf\xc3\xa9 \xe2\x86\x92\"");
}

// Notices show values this way; a long one used to be cut inside a
// character, which left invalid UTF-8 in the notice.
TEST(ShownJson, LongValuesAreCutAtACharacterBoundary) {
    EXPECT_EQ(shown_json(JsonValue::string("odd")), "\"odd\"");
    const std::string arrows = "\xe2\x86\x92\xe2\x86\x92";
    const std::string cut = shown_json(JsonValue::string(std::string(58, 'a') + arrows));
    EXPECT_EQ(cut, "\"" + std::string(58, 'a') + "\xe2\x80\xa6");
    EXPECT_TRUE(is_valid_utf8(cut));
    EXPECT_EQ(shown_json(JsonValue::string(std::string(70, 'b'))).size(), 60u + 3u);
}

}  // namespace
}  // namespace tolvar::core
