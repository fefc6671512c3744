// Random mouse events in every mode and encoding. A report is sent only
// when the mode reports the event, always names a cell of the pane, and
// decodes back to the event's button, modifiers and clamped cell; a point
// maps to the cell whose pixels hold it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "input/mouse_report.hpp"
#include "tolvar/core/utf.hpp"

using namespace tolvar::app;
using tolvar::pty::MouseEncoding;
using tolvar::pty::MouseMode;

namespace {

class Bytes {
  public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t u8() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(u8() | u8() << 8); }
    // Window coordinates and sizes are 16-bit.
    int i16() { return static_cast<std::int16_t>(u16()); }
    bool more() const { return at_ < size_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

struct Decoded {
    int code = 0;
    int x = 0;
    int y = 0;
    bool release = false;  // SGR's final 'm'
};

std::optional<Decoded> decode(const std::string& r, MouseEncoding encoding) {
    if (!r.starts_with("\x1b[")) return std::nullopt;
    Decoded d;
    if (encoding == MouseEncoding::Sgr) {
        if (r.size() < 4 || r[2] != '<' || (r.back() != 'M' && r.back() != 'm')) return std::nullopt;
        d.release = r.back() == 'm';
        if (std::sscanf(r.c_str() + 3, "%d;%d;%d", &d.code, &d.x, &d.y) != 3) return std::nullopt;
        if (r != "\x1b[<" + std::to_string(d.code) + ';' + std::to_string(d.x) + ';' +
                     std::to_string(d.y) + r.back())
            return std::nullopt;
        return d;
    }
    if (r.size() < 6 || r[2] != 'M') return std::nullopt;
    d.code = static_cast<unsigned char>(r[3]) - 32;
    if (encoding == MouseEncoding::Default) {
        if (r.size() != 6) return std::nullopt;
        d.x = static_cast<unsigned char>(r[4]) - 32;
        d.y = static_cast<unsigned char>(r[5]) - 32;
        return d;
    }
    const std::string rest = r.substr(4);
    if (!tolvar::core::is_valid_utf8(rest)) return std::nullopt;
    std::size_t pos = 0;
    d.x = static_cast<int>(tolvar::core::next_code_point(rest, pos)) - 32;
    d.y = static_cast<int>(tolvar::core::next_code_point(rest, pos)) - 32;
    if (pos != rest.size()) return std::nullopt;
    return d;
}

bool wants(const MouseEvent& e, MouseMode mode) {
    switch (mode) {
        case MouseMode::None: return false;
        case MouseMode::Press:
            return e.action != MouseAction::Release && e.action != MouseAction::Motion;
        case MouseMode::PressRelease: return e.action != MouseAction::Motion;
        case MouseMode::ButtonMotion: return e.action != MouseAction::Motion || e.held.any();
        case MouseMode::AnyMotion: return true;
    }
    return false;
}

void check_report(const MouseEvent& e, const ReportModes& modes) {
    const std::optional<std::string> report = mouse_report(e, modes);
    const bool button_less = (e.action == MouseAction::Press || e.action == MouseAction::Release) &&
                             e.button == MouseButton::None;
    if (!wants(e, modes.mode) || modes.cols == 0 || modes.rows == 0 || button_less) {
        if (report) std::abort();
        return;
    }
    const int x = std::clamp(e.col, 0, modes.cols - 1) + 1;
    const int y = std::clamp(e.row, 0, modes.rows - 1) + 1;
    if (!report) {
        // Only a cell past what the encoding carries is dropped.
        const int limit = modes.encoding == MouseEncoding::Sgr    ? 1 << 30
                          : modes.encoding == MouseEncoding::Utf8 ? 2015
                                                                  : 223;
        if (x <= limit && y <= limit) std::abort();
        return;
    }
    const std::optional<Decoded> d = decode(*report, modes.encoding);
    if (!d || d->x != x || d->y != y) std::abort();
    if (d->release != (modes.encoding == MouseEncoding::Sgr && e.action == MouseAction::Release))
        std::abort();
    const int mods = (e.modifiers.shift ? 4 : 0) | (e.modifiers.alt ? 8 : 0) |
                     (e.modifiers.ctrl ? 16 : 0);
    if ((d->code & 28) != (modes.mode == MouseMode::Press ? 0 : mods)) std::abort();
    const int kind = d->code & ~28;
    switch (e.action) {
        case MouseAction::Press:
        case MouseAction::Release:
            if (kind != (e.action == MouseAction::Release && modes.encoding != MouseEncoding::Sgr
                             ? 3
                             : static_cast<int>(e.button) - 1))
                std::abort();
            break;
        case MouseAction::Motion:
            if (kind < 32 || kind > 35) std::abort();
            break;
        case MouseAction::WheelUp:
        case MouseAction::WheelDown:
            if (kind != 64 + (e.action == MouseAction::WheelDown)) std::abort();
            break;
    }
}

void check_cell_at(Bytes& in) {
    const Rect text{in.i16(), in.i16(), in.i16(), in.i16()};
    const CellMetrics cell{in.u8(), in.u8(), 16};
    const int x = in.i16();
    const int y = in.i16();
    const CellAt at = cell_at(text, cell, x, y);
    const int w = std::max(cell.width, 1);
    const int h = std::max(cell.height, 1);
    if (text.left + at.col * w > x || x >= text.left + (at.col + 1) * w) std::abort();
    if (text.top + at.row * h > y || y >= text.top + (at.row + 1) * h) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    ReportModes modes;
    modes.mode = static_cast<MouseMode>(in.u8() % 5);
    modes.encoding = static_cast<MouseEncoding>(in.u8() % 3);
    // Mostly panes of a real size, now and then one past what a byte can carry.
    const std::uint8_t big = in.u8();
    modes.cols = big & 1 ? in.u16() : in.u8();
    modes.rows = big & 2 ? in.u16() : in.u8();
    if (big & 4) check_cell_at(in);
    while (in.more()) {
        MouseEvent e;
        const std::uint8_t kind = in.u8();
        e.action = static_cast<MouseAction>(kind % 5);
        e.button = static_cast<MouseButton>((kind / 5) % 4);
        const std::uint8_t flags = in.u8();
        e.modifiers = {(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0};
        e.held = {(flags & 8) != 0, (flags & 16) != 0, (flags & 32) != 0};
        e.col = flags & 64 ? in.i16() : in.u8();
        e.row = flags & 128 ? in.i16() : in.u8();
        check_report(e, modes);
        if (mouse_route(modes.mode, e.modifiers) !=
            (modes.mode == MouseMode::None || e.modifiers.shift ? MouseRoute::Local
                                                                : MouseRoute::Application))
            std::abort();
    }
    return 0;
}
