// JSON text in and out: a parsed tree that keeps every member in document
// order (duplicates included) and marks where a syntax error cut it short, and
// a writer for the pretty and compact forms the files use. Not the record
// mappings, and no file I/O.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar::core {

struct JsonMember;

struct JsonValue {
    // Absent: a value the text never reached (a syntax error came first).
    enum class Kind : std::uint8_t { Absent, Null, Bool, Int, Uint, Float, String, Object, Array };

    Kind kind = Kind::Absent;
    // False for an object or array that a syntax error cut short.
    bool closed = true;
    bool boolean = false;
    std::int64_t int_value = 0;
    std::uint64_t uint_value = 0;
    double float_value = 0;
    std::string text;
    std::vector<JsonMember> members;
    std::vector<JsonValue> items;

    static JsonValue string(std::string utf8);
};

struct JsonMember {
    std::string key;
    JsonValue value;
};

// Out of the class: a JsonValue can be made only once JsonMember is complete
// (clang checks it where the body stands).
inline JsonValue JsonValue::string(std::string utf8) {
    JsonValue v;
    v.kind = Kind::String;
    v.text = std::move(utf8);
    return v;
}

// Same kind, the same value of that kind and the same members in order.
bool operator==(const JsonValue& a, const JsonValue& b);
inline bool operator==(const JsonMember& a, const JsonMember& b) {
    return a.key == b.key && a.value == b.value;
}

struct JsonParse {
    JsonValue root;
    // Set when the text is not one valid JSON value: the message, ending in
    // " at line L column C" where the position is known.
    std::optional<std::string> syntax_error;
};

// Parses as much of the text as is valid. Nesting deeper than 128 levels is
// refused, so hostile input cannot exhaust the stack.
JsonParse parse_json(std::string_view text);

class JsonWriter {
  public:
    enum class Style { Pretty, Compact };
    explicit JsonWriter(Style style) : style_(style) {}

    void begin_object();
    void end_object();
    void begin_array();
    void end_array();
    void key(std::string_view name);
    void null_value();
    void bool_value(bool value);
    void uint_value(std::uint64_t value);
    void string_value(std::string_view utf8);
    // Shortest text that reads back as the same float; null if not finite.
    void f32_value(float value);
    // A parsed tree as it was read, duplicate members included; a number
    // that is not finite becomes null, as JSON has no text for it.
    void value(const JsonValue& tree);

    const std::string& text() const { return out_; }
    std::string take() { return std::move(out_); }

  private:
    void before_value();
    void newline_indent();

    Style style_;
    std::string out_;
    std::vector<bool> has_items_;  // one entry per open object or array
    bool after_key_ = false;
};

// JSON string escaping as the files use it (no surrounding quotes).
void append_json_escaped(std::string& out, std::string_view utf8);

// The shortest decimal text that reads back as `value`, laid out with at
// least one digit after the point for ordinary magnitudes ("12.0", "10.5")
// and in exponent form for very small or large ones ("1e20", "1.5e-7").
std::string format_f32(float value);
// Shortest round-trip text of a double, with ".0" when it would read as an
// integer; used in messages.
std::string format_f64(double value);

// A value in double quotes with escapes, the form messages quote values in:
// \" \\ \t \r \n \0, and \u{hex} for other characters that do not print.
std::string debug_quote(std::string_view utf8);

// A value as the user wrote it, in compact JSON, cut short (with "…") past
// 60 bytes at a character boundary: the form notices show values in.
std::string shown_json(const JsonValue& value);

}  // namespace tolvar::core
