#include "screen_state.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "tolvar/core/utf.hpp"

namespace tolvar::pty {

void ScreenState::designate(std::string_view intermediates, std::uint8_t final) {
    if (!departs(departure::charsets)) return;
    // G0 and G1; any set but DEC special graphics is taken as ASCII.
    charsets_.graphics[intermediates == ")" ? 1 : 0] = final == '0';
}

// ---- tab stops ------------------------------------------------------------------

std::uint16_t ScreenState::next_tab_stop(std::uint16_t col, std::uint16_t cols) const {
    if (tab_stops_.empty()) return static_cast<std::uint16_t>(col - col % 8 + 8);
    col = static_cast<std::uint16_t>(col + 1);
    while (col < cols && !tab_stops_[col]) ++col;
    return col;
}

std::uint16_t ScreenState::previous_tab_stop(std::uint16_t col) const {
    if (col == 0) return 0;
    --col;
    while (col > 0 && !(tab_stops_.empty() ? col % 8 == 0 : tab_stops_[col])) --col;
    return col;
}

void ScreenState::set_tab_stop(std::uint16_t col, std::uint16_t cols) {
    if (departs(departure::tab_stops)) stop_at(col, cols) = true;
}

void ScreenState::clear_tab_stops(std::uint16_t ps, std::uint16_t col, std::uint16_t cols) {
    if (!departs(departure::tab_stops)) return;
    if (ps == 3) {
        tab_stops_.assign(cols, false);
    } else if (ps == 0) {
        stop_at(col, cols) = false;
    }
}

// The stop at a column, the table made with the usual stops first.
std::vector<bool>::reference ScreenState::stop_at(std::uint16_t col, std::uint16_t cols) {
    if (tab_stops_.empty()) {
        tab_stops_.assign(cols, false);
        for (std::size_t c = 8; c < tab_stops_.size(); c += 8) tab_stops_[c] = true;
    }
    return tab_stops_[std::min<std::size_t>(col, cols - 1u)];
}

void ScreenState::resize_tab_stops(std::uint16_t cols) {
    if (tab_stops_.empty()) return;
    const std::size_t old = tab_stops_.size();
    tab_stops_.resize(cols);
    for (std::size_t c = old; c < cols; ++c) tab_stops_[c] = c % 8 == 0 && c > 0;
}

// ---- answers --------------------------------------------------------------------

void ScreenState::answer(const CsiParams& params, std::string_view intermediates, char action,
                         unsigned row, unsigned col) {
    if (!answering_) return;
    std::string reply;
    if (action == 'c' && params.first() == 0) {
        // A VT220 with ANSI colour; a VT100-class secondary answer, as the
        // terminals that programs know best give.
        reply = intermediates.empty() ? "\x1b[?62;22c" : "\x1b[>1;10;0c";
    } else if (action == 'n' && intermediates.empty() && params.first() == 5) {
        reply = "\x1b[0n";
    } else if (action == 'n' && params.first() == 6) {
        reply = "\x1b[" + std::string(intermediates) + std::to_string(row) + ";" +
                std::to_string(col) + (intermediates.empty() ? "R" : ";1R");
    }
    // An application that asks and never reads is not given unbounded memory.
    if (answers_.size() + reply.size() <= 4096) answers_ += reply;
}

// ---- the pen --------------------------------------------------------------------

namespace {

// Colour values past 255 are unusable.
bool indexed(std::uint16_t i, Color& out) {
    if (i > 255) return false;
    out = Color::indexed(static_cast<std::uint8_t>(i));
    return true;
}

bool rgb(std::uint16_t r, std::uint16_t g, std::uint16_t b, Color& out) {
    if (r > 255 || g > 255 || b > 255) return false;
    out = Color::rgb(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                     static_cast<std::uint8_t>(b));
    return true;
}

}  // namespace

void ScreenState::set_underline_color(Color color) {
    if (color == Color()) {
        attrs_.underline_color = 0;
        return;
    }
    const auto it = std::find(underline_colors_.begin(), underline_colors_.end(), color);
    if (it != underline_colors_.end()) {
        attrs_.underline_color = static_cast<std::uint16_t>(it - underline_colors_.begin() + 1);
    } else if (underline_colors_.size() < k_max_underline_colors) {
        underline_colors_.push_back(color);
        attrs_.underline_color = static_cast<std::uint16_t>(underline_colors_.size());
    } else {
        // The table is full: the underline takes the text colour, which is
        // what a terminal without underline colours shows anyway.
        attrs_.underline_color = 0;
    }
}

void ScreenState::set_protection(std::uint16_t ps) {
    if (!departs(departure::selective_erase)) return;
    selective_erase_ = true;
    if (ps <= 2) protecting_ = ps == 1;
}

void ScreenState::set_cursor_style(std::uint16_t ps) {
    static constexpr CursorShape shapes[] = {CursorShape::Block, CursorShape::Underline,
                                             CursorShape::Bar};
    if (ps == 0) {
        cursor_style_ = {};
    } else if (ps <= 6) {
        cursor_style_ = {shapes[(ps - 1) / 2], ps % 2 == 1};
    }
}

namespace {

// SGR 0 to 29 only set and clear bits of the pen, so they go through a table
// with no branch on the code: in coloured output the code changes from cell
// to cell (bold or not, underline or inverse), and a jump on it mispredicts.
// The pen is taken as two words: the two colours, then mode, underline style
// and underline colour.
static_assert(std::is_trivially_copyable_v<Attrs> && sizeof(Attrs) == 12);
static_assert(offsetof(Attrs, fg) == 0 && offsetof(Attrs, bg) == 4 && offsetof(Attrs, mode) == 8 &&
              offsetof(Attrs, underline_style) == 9 && offsetof(Attrs, underline_color) == 10);
static_assert(std::endian::native == std::endian::little);

struct PenBits {
    std::uint64_t keep_colours = ~std::uint64_t{0};
    std::uint32_t keep_rest = ~0u;
    std::uint32_t set_rest = 0;
};

constexpr std::uint32_t k_style_byte = 0xff00;

constexpr std::uint64_t k_all = ~std::uint64_t{0};
constexpr PenBits sets(std::uint8_t mode) { return {k_all, ~0u, mode}; }
constexpr PenBits clears(std::uint8_t mode) { return {k_all, ~std::uint32_t{mode}, 0}; }
constexpr PenBits underline(std::uint32_t style) {
    return {k_all, ~k_style_byte, k_underline | style << 8};
}

constexpr std::array<PenBits, 30> k_pen_codes = [] {
    std::array<PenBits, 30> t{};
    t[0] = {0, 0, 0};
    t[1] = sets(k_bold);
    t[2] = sets(k_faint);
    t[3] = sets(k_italic);
    t[4] = underline(0);
    t[7] = sets(k_inverse);
    t[8] = sets(k_conceal);
    t[9] = sets(k_strikethrough);
    t[21] = underline(1);
    // As in xterm: normal intensity ends faint as well as bold.
    t[22] = clears(k_bold | k_faint);
    t[23] = clears(k_italic);
    t[24] = {k_all, ~(k_underline | k_style_byte), 0};
    t[27] = clears(k_inverse);
    t[28] = clears(k_conceal);
    t[29] = clears(k_strikethrough);
    return t;
}();

void apply(const PenBits& code, Attrs& pen) {
    std::uint64_t colours;
    std::uint32_t rest;
    auto* bytes = reinterpret_cast<unsigned char*>(&pen);
    std::memcpy(&colours, bytes, sizeof colours);
    std::memcpy(&rest, bytes + sizeof colours, sizeof rest);
    colours &= code.keep_colours;
    rest = (rest & code.keep_rest) | code.set_rest;
    std::memcpy(bytes, &colours, sizeof colours);
    std::memcpy(bytes + sizeof colours, &rest, sizeof rest);
}

}  // namespace

void ScreenState::sgr(const CsiParams& params) {
    CsiParams::Cursor c;
    CsiParams::Group g;
    const auto set_underline = [this](std::uint16_t style) {
        if (style == 0) {
            attrs_.mode &= ~k_underline;
            attrs_.underline_style = 0;
        } else {
            attrs_.mode |= k_underline;
            attrs_.underline_style = static_cast<std::uint8_t>(style - 1);
        }
    };
    Color color;
    // "38;5;n" and "38;2;r;g;b": the colour comes in the following
    // parameters, each a single value. Anything unusable ends the whole
    // sequence, as in the reference.
    const auto next_value = [&](std::uint16_t& v) {
        CsiParams::Group part;
        if (!params.next(c, part) || part.count != 1) return false;
        v = part[0];
        return true;
    };
    const auto extended = [&](Color& out) {
        std::uint16_t kind = 0, r = 0, gr = 0, b = 0;
        if (!next_value(kind)) return false;
        if (kind == 5) return next_value(r) && indexed(r, out);
        if (kind == 2)
            return next_value(r) && next_value(gr) && next_value(b) && rgb(r, gr, b, out);
        return false;
    };
    while (params.next(c, g)) {
        if (g.count == 1) {
            const std::uint16_t n = g[0];
            if (n < k_pen_codes.size()) {
                apply(k_pen_codes[n], attrs_);
                continue;
            }
            switch (n) {
                case 38:
                    if (!extended(attrs_.fg)) return;
                    break;
                case 39:
                    attrs_.fg = Color();
                    break;
                case 48:
                    if (!extended(attrs_.bg)) return;
                    break;
                case 49:
                    attrs_.bg = Color();
                    break;
                case 58:
                    if (!extended(color)) return;
                    set_underline_color(color);
                    break;
                case 59:
                    attrs_.underline_color = 0;
                    break;
                default:
                    if (n >= 30 && n <= 37) {
                        attrs_.fg = Color::indexed(static_cast<std::uint8_t>(n - 30));
                    } else if (n >= 40 && n <= 47) {
                        attrs_.bg = Color::indexed(static_cast<std::uint8_t>(n - 40));
                    } else if (n >= 90 && n <= 97) {
                        attrs_.fg = Color::indexed(static_cast<std::uint8_t>(n - 82));
                    } else if (n >= 100 && n <= 107) {
                        attrs_.bg = Color::indexed(static_cast<std::uint8_t>(n - 92));
                    }
                    break;
            }
        } else if (g.count == 2 && g[0] == 4) {
            // "4:0" to "4:5"; other styles are ignored.
            if (g[1] <= 5) set_underline(g[1]);
        } else if (g[0] == 58 && g.count >= 3 && g.count <= 6) {
            // "58:5:n", "58:2:r:g:b" and "58:2:id:r:g:b" (the colour space id,
            // usually empty, is ignored).
            const int at = g.count - 3;
            if (g[1] == 5 && g.count == 3) {
                if (!indexed(g[2], color)) return;
            } else if (g[1] == 2 && g.count >= 5) {
                if (!rgb(g[at], g[at + 1], g[at + 2], color)) return;
            } else {
                continue;
            }
            set_underline_color(color);
        } else if (g.count == 3 && g[1] == 5 && (g[0] == 38 || g[0] == 48)) {
            // "38:5:n"
            if (!indexed(g[2], g[0] == 38 ? attrs_.fg : attrs_.bg)) return;
        } else if (g.count == 5 && g[1] == 2 && (g[0] == 38 || g[0] == 48)) {
            // "38:2:r:g:b"
            if (!rgb(g[2], g[3], g[4], g[0] == 38 ? attrs_.fg : attrs_.bg)) return;
        } else if (g.count == 6 && g[1] == 2 && (g[0] == 38 || g[0] == 48) &&
                   departs(departure::sgr_colour_space)) {
            // "38:2:id:r:g:b", the form ITU T.416 gives, the id usually empty.
            if (!rgb(g[3], g[4], g[5], g[0] == 38 ? attrs_.fg : attrs_.bg)) return;
        }
    }
}

// ---- titles and links -----------------------------------------------------------

void ScreenState::set_titles(const OscParams& params) {
    if (params.count < 2) return;
    const std::string_view kind = params.items[0];
    const std::string_view value = params.items[1];
    const bool icon = kind == "0" || kind == "1";
    const bool title = kind == "0" || kind == "2";
    if (!(icon || title) || !core::is_valid_utf8(value)) return;
    if (icon) icon_name_.assign(value);
    if (title) title_.assign(value);
    ++titles_set_;
}

// OSC 8 ; params ; target: the text that follows links to the target, until
// an OSC 8 with an empty target. A target the parser could have cut (at its
// length or parameter limit) links nothing rather than something else.
void ScreenState::hyperlink(const OscParams& params) {
    link_ = 0;
    if (params.count < 3 || params.count == OscParams::k_max) return;
    const std::string_view last = params.items[params.count - 1];
    const auto raw = static_cast<std::size_t>(last.data() + last.size() - params.items[0].data());
    if (raw >= VtParser::k_max_osc_bytes) return;
    // A target may hold ';', which the parser took for separators.
    std::string target(params.items[2]);
    for (int i = 3; i < params.count; ++i) {
        target.push_back(';');
        target.append(params.items[i]);
    }
    link_ = hyperlinks_.open(params.items[1], target);
}

void ScreenState::reset() {
    attrs_ = Attrs{};
    saved_[0] = saved_[1] = SavedPen{};
    saved_wrap_[0] = saved_wrap_[1] = false;
    charsets_ = Charsets{};
    tab_stops_.clear();
    // No cell names an underline colour any more.
    underline_colors_.clear();
    hyperlinks_.clear();
    link_ = 0;
    cursor_style_ = {};
    modes_ = 0;
    mouse_mode_ = MouseMode::None;
    mouse_encoding_ = MouseEncoding::Default;
    insert_mode_ = false;
    new_line_mode_ = false;
    auto_wrap_ = true;
    selective_erase_ = false;
    protecting_ = false;
    reverse_video_ = false;
}

void ScreenState::soft_reset() {
    attrs_ = Attrs{};
    charsets_ = Charsets{};
    saved_[0] = saved_[1] = SavedPen{};
    saved_wrap_[0] = saved_wrap_[1] = false;
    selective_erase_ = false;
    protecting_ = false;
    insert_mode_ = false;
    auto_wrap_ = true;
    set_mode(k_hide_cursor | k_application_cursor | k_application_keypad, false);
}

}  // namespace tolvar::pty
