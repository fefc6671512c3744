#include "tolvar/core/json_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "tolvar/core/utf.hpp"

namespace tolvar::core {

namespace {

constexpr std::size_t k_max_depth = 128;

std::string position_suffix(std::string_view text, std::size_t position) {
    position = std::min(position, text.size());
    // The library counts a line feed it has just read; point at the line it ended.
    if (position > 0 && text[position - 1] == '\n') --position;
    std::size_t line = 1;
    std::size_t line_start = 0;
    for (std::size_t i = 0; i < position; ++i) {
        if (text[i] == '\n') {
            ++line;
            line_start = i + 1;
        }
    }
    return " at line " + std::to_string(line) + " column " + std::to_string(position - line_start);
}

// The library's message without its "[json.exception...] parse error at
// line L, column C: " preamble; the position is appended in our own form.
std::string bare_parse_message(const char* what) {
    std::string_view m(what);
    if (const auto col = m.find("column "); col != std::string_view::npos) {
        if (const auto colon = m.find(": ", col); colon != std::string_view::npos) {
            return std::string(m.substr(colon + 2));
        }
    }
    if (!m.empty() && m.front() == '[') {
        if (const auto close = m.find("] "); close != std::string_view::npos) {
            return std::string(m.substr(close + 2));
        }
    }
    return std::string(m);
}

// Builds the tree from the library's SAX events. Containers stay "open"
// until their end event, so a cut-short document shows where it stopped.
class TreeBuilder {
  public:
    using json = nlohmann::json;

    explicit TreeBuilder(std::string_view text) : text_(text) {}

    JsonParse finish() { return std::move(result_); }

    bool null() {
        place().kind = JsonValue::Kind::Null;
        return true;
    }
    bool boolean(bool v) {
        JsonValue& value = place();
        value.kind = JsonValue::Kind::Bool;
        value.boolean = v;
        return true;
    }
    bool number_integer(json::number_integer_t v) {
        JsonValue& value = place();
        if (v >= 0) {
            value.kind = JsonValue::Kind::Uint;
            value.uint_value = static_cast<std::uint64_t>(v);
        } else {
            value.kind = JsonValue::Kind::Int;
            value.int_value = v;
        }
        return true;
    }
    bool number_unsigned(json::number_unsigned_t v) {
        JsonValue& value = place();
        value.kind = JsonValue::Kind::Uint;
        value.uint_value = v;
        return true;
    }
    bool number_float(json::number_float_t v, const std::string&) {
        JsonValue& value = place();
        value.kind = JsonValue::Kind::Float;
        value.float_value = v;
        return true;
    }
    bool string(json::string_t& v) {
        JsonValue& value = place();
        value.kind = JsonValue::Kind::String;
        value.text = std::move(v);
        return true;
    }
    bool binary(json::binary_t&) { return false; }  // never produced by JSON text

    bool start_object(std::size_t) { return open(JsonValue::Kind::Object); }
    bool start_array(std::size_t) { return open(JsonValue::Kind::Array); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(json::string_t& k) {
        stack_.back()->members.push_back(JsonMember{std::move(k), JsonValue{}});
        return true;
    }

    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& ex) {
        if (result_.syntax_error) return false;
        if (stack_.empty() && result_.root.kind != JsonValue::Kind::Absent) {
            // The value was complete: whatever follows it is the fault.
            result_.syntax_error = "trailing characters" + position_suffix(text_, position);
        } else {
            result_.syntax_error = bare_parse_message(ex.what()) + position_suffix(text_, position);
        }
        return false;
    }

  private:
    JsonValue& place() {
        if (stack_.empty()) return result_.root;
        JsonValue& parent = *stack_.back();
        if (parent.kind == JsonValue::Kind::Object) return parent.members.back().value;
        return parent.items.emplace_back();
    }

    bool open(JsonValue::Kind kind) {
        if (stack_.size() >= k_max_depth) {
            result_.syntax_error = "recursion limit exceeded";
            return false;
        }
        JsonValue& value = place();
        value.kind = kind;
        value.closed = false;
        stack_.push_back(&value);
        return true;
    }

    bool close() {
        stack_.back()->closed = true;
        stack_.pop_back();
        return true;
    }

    std::string_view text_;
    JsonParse result_;
    // Pointers stay valid: only the innermost open container ever grows.
    std::vector<JsonValue*> stack_;
};

}  // namespace

bool operator==(const JsonValue& a, const JsonValue& b) {
    using K = JsonValue::Kind;
    if (a.kind != b.kind || a.closed != b.closed) return false;
    switch (a.kind) {
        case K::Absent:
        case K::Null:
            return true;
        case K::Bool:
            return a.boolean == b.boolean;
        case K::Int:
            return a.int_value == b.int_value;
        case K::Uint:
            return a.uint_value == b.uint_value;
        case K::Float:
            return a.float_value == b.float_value;
        case K::String:
            return a.text == b.text;
        case K::Object:
            return a.members == b.members;
        case K::Array:
            return a.items == b.items;
    }
    return false;
}

JsonParse parse_json(std::string_view text) {
    TreeBuilder builder(text);
    nlohmann::json::sax_parse(text.begin(), text.end(), &builder,
                              nlohmann::json::input_format_t::json, true);
    return builder.finish();
}

// ---------------------------------------------------------------- writing

void append_json_escaped(std::string& out, std::string_view utf8) {
    static constexpr char k_hex[] = "0123456789abcdef";
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case 0x08:
                out += "\\b";
                break;
            case 0x09:
                out += "\\t";
                break;
            case 0x0A:
                out += "\\n";
                break;
            case 0x0C:
                out += "\\f";
                break;
            case 0x0D:
                out += "\\r";
                break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out += k_hex[c >> 4];
                    out += k_hex[c & 0xF];
                } else {
                    out += ch;
                }
        }
    }
}

void JsonWriter::newline_indent() {
    if (style_ != Style::Pretty) return;
    out_ += '\n';
    out_.append(2 * has_items_.size(), ' ');
}

void JsonWriter::before_value() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (has_items_.empty()) return;
    if (has_items_.back()) out_ += ',';
    has_items_.back() = true;
    newline_indent();
}

void JsonWriter::begin_object() {
    before_value();
    out_ += '{';
    has_items_.push_back(false);
}

void JsonWriter::begin_array() {
    before_value();
    out_ += '[';
    has_items_.push_back(false);
}

void JsonWriter::end_object() {
    const bool had_items = has_items_.back();
    has_items_.pop_back();
    if (had_items) newline_indent();
    out_ += '}';
}

void JsonWriter::end_array() {
    const bool had_items = has_items_.back();
    has_items_.pop_back();
    if (had_items) newline_indent();
    out_ += ']';
}

void JsonWriter::key(std::string_view name) {
    if (has_items_.back()) out_ += ',';
    has_items_.back() = true;
    newline_indent();
    out_ += '"';
    append_json_escaped(out_, name);
    out_ += style_ == Style::Pretty ? "\": " : "\":";
    after_key_ = true;
}

void JsonWriter::null_value() {
    before_value();
    out_ += "null";
}

void JsonWriter::bool_value(bool value) {
    before_value();
    out_ += value ? "true" : "false";
}

void JsonWriter::uint_value(std::uint64_t value) {
    before_value();
    out_ += std::to_string(value);
}

void JsonWriter::string_value(std::string_view utf8) {
    before_value();
    out_ += '"';
    append_json_escaped(out_, utf8);
    out_ += '"';
}

void JsonWriter::f32_value(float value) {
    before_value();
    if (!std::isfinite(value)) {
        out_ += "null";
        return;
    }
    out_ += format_f32(value);
}

void JsonWriter::value(const JsonValue& tree) {
    using K = JsonValue::Kind;
    switch (tree.kind) {
        case K::Absent:
        case K::Null:
            null_value();
            return;
        case K::Bool:
            bool_value(tree.boolean);
            return;
        case K::Uint:
            uint_value(tree.uint_value);
            return;
        case K::Int:
            before_value();
            out_ += std::to_string(tree.int_value);
            return;
        case K::Float:
            before_value();
            out_ += std::isfinite(tree.float_value) ? format_f64(tree.float_value) : "null";
            return;
        case K::String:
            string_value(tree.text);
            return;
        case K::Object:
            begin_object();
            for (const JsonMember& member : tree.members) {
                key(member.key);
                value(member.value);
            }
            end_object();
            return;
        case K::Array:
            begin_array();
            for (const JsonValue& item : tree.items) value(item);
            end_array();
            return;
    }
}

std::string format_f32(float value) {
    if (value == 0.0f) return std::signbit(value) ? "-0.0" : "0.0";
    if (!std::isfinite(value)) return "null";
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));

    std::string out;
    if (sci.front() == '-') {
        out += '-';
        sci.remove_prefix(1);
    }
    const auto e = sci.find('e');
    std::string digits;
    for (const char c : sci.substr(0, e)) {
        if (c != '.') digits += c;
    }
    int exp10 = 0;
    std::from_chars(sci.data() + e + 1 + (sci[e + 1] == '+'), sci.data() + sci.size(), exp10);
    // value = 0.d1d2...dn x 10^k
    const int n = static_cast<int>(digits.size());
    const int k = exp10 + 1;
    if (n <= k && k <= 13) {
        out += digits;
        out.append(static_cast<std::size_t>(k - n), '0');
        out += ".0";
    } else if (0 < k && k < n) {
        out += digits.substr(0, static_cast<std::size_t>(k));
        out += '.';
        out += digits.substr(static_cast<std::size_t>(k));
    } else if (-6 < k && k <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-k), '0');
        out += digits;
    } else {
        out += digits[0];
        if (n > 1) {
            out += '.';
            out += digits.substr(1);
        }
        out += 'e';
        out += std::to_string(k - 1);
    }
    return out;
}

std::string format_f64(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    std::string out(buf, res.ptr);
    if (out.find_first_of(".e") == std::string::npos) out += ".0";
    return out;
}

namespace {

bool is_printable(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
    if (c == 0xAD || c == 0x61C || c == 0x6DD || c == 0x70F || c == 0x180E || c == 0xFEFF) {
        return false;
    }
    if ((c >= 0x600 && c <= 0x605) || (c >= 0x200B && c <= 0x200F) ||
        (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) ||
        (c >= 0xFFF9 && c <= 0xFFFB) || c == 0xFFFE || c == 0xFFFF ||
        (c >= 0xE000 && c <= 0xF8FF) || c >= 0xF0000 || (c >= 0xE0000 && c <= 0xE0FFF)) {
        return false;
    }
    return true;
}

}  // namespace

std::string debug_quote(std::string_view utf8) {
    std::string out = "\"";
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t c = next_code_point(utf8, pos);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case 0:
                out += "\\0";
                break;
            default:
                if (is_printable(c)) {
                    append_utf8(out, c);
                } else {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "\\u{%x}", static_cast<unsigned>(c));
                    out += buf;
                }
        }
    }
    out += '"';
    return out;
}

std::string shown_json(const JsonValue& value) {
    constexpr std::size_t longest = 60;
    JsonWriter writer(JsonWriter::Style::Compact);
    writer.value(value);
    std::string text = writer.take();
    if (text.size() > longest) {
        std::size_t cut = longest;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
        text += "\xE2\x80\xA6";
    }
    return text;
}

}  // namespace tolvar::core
