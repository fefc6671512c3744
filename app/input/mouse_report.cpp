#include "input/mouse_report.hpp"

#include <algorithm>

namespace tolvar::app {

namespace {

using pty::MouseEncoding;
using pty::MouseMode;

constexpr int k_release = 3;
constexpr int k_motion = 32;
constexpr int k_wheel = 64;
// 32 + 223 is the last value a byte holds; UTF-8's two-byte forms end at 2047.
constexpr int k_default_limit = 223;
constexpr int k_utf8_limit = 2015;

int button_code(MouseButton b) {
    switch (b) {
        case MouseButton::Left:
            return 0;
        case MouseButton::Middle:
            return 1;
        case MouseButton::Right:
            return 2;
        case MouseButton::None:
            break;
    }
    return k_release;
}

// The button a motion is reported with: xterm names the lowest held.
MouseButton held_button(HeldButtons held) {
    return held.left     ? MouseButton::Left
           : held.middle ? MouseButton::Middle
           : held.right  ? MouseButton::Right
                         : MouseButton::None;
}

bool reported(const MouseEvent& e, MouseMode mode) {
    switch (mode) {
        case MouseMode::None:
            return false;
        case MouseMode::Press:
            return e.action != MouseAction::Release && e.action != MouseAction::Motion;
        case MouseMode::PressRelease:
            return e.action != MouseAction::Motion;
        case MouseMode::ButtonMotion:
            return e.action != MouseAction::Motion || e.held.any();
        case MouseMode::AnyMotion:
            return true;
    }
    return false;
}

void append_utf8(std::string& out, int value) {
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else {
        out += static_cast<char>(0xC0 | (value >> 6));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

}  // namespace

std::optional<std::string> mouse_report(const MouseEvent& e, const ReportModes& modes) {
    if (!reported(e, modes.mode) || modes.cols == 0 || modes.rows == 0) return std::nullopt;
    if ((e.action == MouseAction::Press || e.action == MouseAction::Release) &&
        e.button == MouseButton::None) {
        return std::nullopt;
    }
    const bool sgr = modes.encoding == MouseEncoding::Sgr;
    int code = 0;
    switch (e.action) {
        case MouseAction::Press:
            code = button_code(e.button);
            break;
        case MouseAction::Release:
            // Only SGR says which button went up.
            code = sgr ? button_code(e.button) : k_release;
            break;
        case MouseAction::Motion:
            code = k_motion + button_code(held_button(e.held));
            break;
        case MouseAction::WheelUp:
            code = k_wheel;
            break;
        case MouseAction::WheelDown:
            code = k_wheel + 1;
            break;
    }
    // X10 mode carries no modifiers.
    if (modes.mode != MouseMode::Press) {
        if (e.modifiers.shift) code += 4;
        if (e.modifiers.alt) code += 8;
        if (e.modifiers.ctrl) code += 16;
    }
    const int x = std::clamp(e.col, 0, modes.cols - 1) + 1;
    const int y = std::clamp(e.row, 0, modes.rows - 1) + 1;

    std::string out = "\x1b[";
    if (sgr) {
        out += '<' + std::to_string(code) + ';' + std::to_string(x) + ';' + std::to_string(y);
        out += e.action == MouseAction::Release ? 'm' : 'M';
        return out;
    }
    const int limit = modes.encoding == MouseEncoding::Utf8 ? k_utf8_limit : k_default_limit;
    if (x > limit || y > limit) return std::nullopt;
    out += 'M';
    out += static_cast<char>(32 + code);
    if (modes.encoding == MouseEncoding::Utf8) {
        append_utf8(out, 32 + x);
        append_utf8(out, 32 + y);
    } else {
        out += static_cast<char>(32 + x);
        out += static_cast<char>(32 + y);
    }
    return out;
}

MouseRoute mouse_route(pty::MouseMode mode, Modifiers modifiers) {
    return mode == pty::MouseMode::None || modifiers.shift ? MouseRoute::Local
                                                           : MouseRoute::Application;
}

CellAt cell_at(const Rect& text, const CellMetrics& cell, int x, int y) {
    // Division that rounds down: a point just left of the text is column -1, not 0.
    const auto floor_div = [](int a, int b) {
        b = std::max(b, 1);
        return a >= 0 ? a / b : -((-a + b - 1) / b);
    };
    return {floor_div(x - text.left, cell.width), floor_div(y - text.top, cell.height)};
}

std::string_view focus_report(bool focused) {
    return focused ? "\x1b[I" : "\x1b[O";
}

}  // namespace tolvar::app
