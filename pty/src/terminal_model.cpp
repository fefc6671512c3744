#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::pty {

class Screen {
  public:
    Screen(std::uint16_t rows, std::uint16_t cols) : rows_(rows), cols_(cols) {}
    std::uint16_t rows_;
    std::uint16_t cols_;
};

TerminalModel::TerminalModel(std::uint16_t rows, std::uint16_t cols, std::size_t)
    : screen_(std::make_unique<Screen>(rows, cols)) {}
TerminalModel::~TerminalModel() = default;
TerminalModel::TerminalModel(TerminalModel&&) noexcept = default;
TerminalModel& TerminalModel::operator=(TerminalModel&&) noexcept = default;

void TerminalModel::feed(std::string_view) {}
void TerminalModel::set_size(std::uint16_t rows, std::uint16_t cols) {
    screen_->rows_ = rows;
    screen_->cols_ = cols;
}
std::uint16_t TerminalModel::rows() const {
    return screen_->rows_;
}
std::uint16_t TerminalModel::cols() const {
    return screen_->cols_;
}
bool TerminalModel::alternate_screen() const {
    return false;
}
Cell TerminalModel::cell(std::uint16_t, std::uint16_t) const {
    return {};
}
bool TerminalModel::row_wrapped(std::uint16_t) const {
    return false;
}
Position TerminalModel::cursor() const {
    return {};
}
bool TerminalModel::hide_cursor() const {
    return false;
}
std::string TerminalModel::title() const {
    return {};
}
std::string TerminalModel::icon_name() const {
    return {};
}
bool TerminalModel::bracketed_paste() const {
    return false;
}
bool TerminalModel::application_cursor() const {
    return false;
}
bool TerminalModel::application_keypad() const {
    return false;
}
MouseMode TerminalModel::mouse_mode() const {
    return MouseMode::None;
}
MouseEncoding TerminalModel::mouse_encoding() const {
    return MouseEncoding::Default;
}
std::string TerminalModel::visible_text() const {
    return {};
}
std::string TerminalModel::text_between(Position, Position) const {
    return {};
}
std::size_t TerminalModel::scrollback_rows() const {
    return 0;
}
std::size_t TerminalModel::scrollback_bytes() const {
    return 0;
}

}  // namespace tolvar::pty
