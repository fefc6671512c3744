#include "commands/command_palette_win.hpp"

#include <algorithm>

#include "input/modifiers_win.hpp"
#include "tolvar/core/utf.hpp"
#include "tolvar/core/win/win32.hpp"
#include "window/failures_win.hpp"

namespace tolvar::app::win {

namespace {

enum : int { k_query_id = 510 };

int text_width(HDC dc, std::u16string_view text) {
    SIZE size{0, 0};
    GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(text.data()),
                          static_cast<int>(text.size()), &size);
    return size.cx;
}

std::wstring window_text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    const int n = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(n, 0)));
    return text;
}

}  // namespace

CommandPaletteBox::~CommandPaletteBox() {
    if (edit_ && edit_previous_proc_) {
        SetWindowLongPtrW(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit_previous_proc_));
    }
    if (edit_) DestroyWindow(edit_);
}

bool CommandPaletteBox::create(HWND host) {
    host_ = host;
    edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 0, 0, host,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(k_query_id)),
                            GetModuleHandleW(nullptr), nullptr);
    if (!edit_) {
        report_failure("The command palette cannot open: " + core::win::error_text(GetLastError()));
        return false;
    }
    SetWindowLongPtrW(edit_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    edit_previous_proc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CommandPaletteBox::edit_proc)));
    return true;
}

void CommandPaletteBox::make_fonts() {
    const unsigned dpi = GetDpiForWindow(host_);
    if (dpi == font_dpi_ && font_) return;
    font_dpi_ = dpi;
    font_ = create_ui_font(dpi);
    bold_font_ = create_ui_font(dpi, FW_BOLD);
    const WindowDc dc(host_);
    const Selected selected(dc.get(), font_.get());
    TEXTMETRICW metrics{};
    if (dc.get() && GetTextMetricsW(dc.get(), &metrics)) text_height_ = metrics.tmHeight;
    SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
}

void CommandPaletteBox::open(HWND host, std::vector<PaletteEntry> entries, Run run) {
    if (!edit_ && !create(host)) return;
    make_fonts();
    run_ = std::move(run);
    model_.open(std::move(entries));
    SetWindowTextW(edit_, L"");
    place();
    ShowWindow(edit_, SW_SHOW);
    SetFocus(edit_);
    changed();
}

void CommandPaletteBox::close() {
    if (is_open()) hide(true);
}

void CommandPaletteBox::hide(bool give_focus_back) {
    // Closed before the focus moves: its loss must not close it a second time.
    model_.close();
    run_ = nullptr;
    if (give_focus_back && GetFocus() == edit_) SetFocus(host_);
    ShowWindow(edit_, SW_HIDE);
    changed();
}

void CommandPaletteBox::finish(std::size_t key) {
    Run run = std::move(run_);
    close();
    if (run) run(key);
}

PaletteLayout CommandPaletteBox::layout() const {
    RECT client{0, 0, 0, 0};
    GetClientRect(host_, &client);
    return palette_layout(client.right - client.left, client.bottom - client.top,
                          Scale{GetDpiForWindow(host_)}, text_height_, model_.match_count());
}

void CommandPaletteBox::place() {
    if (!is_open()) return;
    make_fonts();
    const PaletteLayout box = layout();
    model_.set_page(box.capacity);
    MoveWindow(edit_, box.edit.left, box.edit.top, box.edit.width(), box.edit.height(), TRUE);
    changed();
}

void CommandPaletteBox::changed() {
    if (!host_) return;
    RECT client{0, 0, 0, 0};
    GetClientRect(host_, &client);
    // As tall as the box can grow: a shorter list leaves the rest to redraw.
    const Rect most =
        palette_layout(client.right - client.left, client.bottom - client.top,
                       Scale{GetDpiForWindow(host_)}, text_height_, k_palette_max_rows)
            .frame;
    const RECT area = to_rect(most);
    InvalidateRect(host_, &area, FALSE);
}

// ------------------------------------------------------------ drawing

void CommandPaletteBox::paint(HDC dc, const Theme& theme) const {
    if (!is_open()) return;
    const PaletteLayout box = layout();
    const PaletteColors colors = palette_colors(theme);
    const Scale scale{GetDpiForWindow(host_)};
    fill(dc, box.frame, colors.fill);
    outline(dc, box.frame, colors.frame);
    fill(dc, box.query, colors.field);
    outline(dc, box.query, colors.dim);

    const Selected selected(dc, font_.get());
    if (model_.match_count() == 0) {
        const Rect row = box.row(0);
        draw_text(dc, "No matching commands", {row.left + scale(8), row.top, row.right, row.bottom},
                  colors.dim, true);
        return;
    }
    for (std::size_t i = 0; i < box.rows && model_.top() + i < model_.match_count(); ++i) {
        const std::size_t index = model_.top() + i;
        const Rect row = box.row(i);
        const bool chosen = model_.selected() == index;
        if (chosen) fill(dc, row, colors.selected_fill);
        const Rgb text = chosen ? colors.selected_text : colors.text;
        const CommandPalette::Shown shown = model_.shown(index);

        int right = row.right - scale(8);
        if (!shown.entry->chord.empty()) {
            const std::u16string chord = core::utf8_to_utf16(shown.entry->chord);
            const int width = text_width(dc, chord);
            draw_text(dc, chord, {right - width, row.top, right, row.bottom},
                      chosen ? colors.selected_text : colors.dim);
            right -= width + scale(16);
        }
        int x = row.left + scale(8);
        for (const LabelRun& run : label_runs(shown.entry->label, *shown.positions)) {
            if (x >= right) break;
            const Selected face(dc, run.matched ? bold_font_.get() : font_.get());
            const std::u16string piece = core::utf8_to_utf16(run.text);
            draw_text(dc, piece, {x, row.top, right, row.bottom}, text, true);
            x += text_width(dc, piece);
        }
    }
    if (const auto thumb = box.thumb(model_.top(), model_.match_count(), scale)) {
        fill(dc, *thumb, colors.dim);
    }
}

HBRUSH CommandPaletteBox::on_control_color(HWND control, HDC dc, const Theme& theme) const {
    if (!edit_ || control != edit_) return nullptr;
    const PaletteColors colors = palette_colors(theme);
    SetTextColor(dc, colorref(colors.text));
    SetBkColor(dc, colorref(colors.field));
    SetDCBrushColor(dc, colorref(colors.field));
    return static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
}

// ------------------------------------------------------------ the mouse

bool CommandPaletteBox::on_button_down(int x, int y, bool left) {
    if (left) pressed_frame_.reset();
    if (!is_open()) return false;
    const PaletteLayout box = layout();
    if (!box.frame.contains(x, y)) {
        close();
        return false;
    }
    if (!left) return true;
    pressed_frame_ = box.frame;
    if (const auto row = box.row_at(x, y)) {
        if (const auto key = model_.choose_row(*row)) {
            finish(*key);
            return true;
        }
    }
    SetFocus(edit_);
    return true;
}

bool CommandPaletteBox::on_left_double_click(int x, int y) {
    const bool taken = pressed_frame_ && pressed_frame_->contains(x, y);
    pressed_frame_.reset();
    if (taken && is_open()) SetFocus(edit_);
    return taken;
}

bool CommandPaletteBox::on_mouse_wheel(int delta, int x, int y) {
    if (!is_open() || !layout().frame.contains(x, y)) return false;
    wheel_rest_ += delta;
    const int notches = wheel_rest_ / WHEEL_DELTA;
    wheel_rest_ %= WHEEL_DELTA;
    if (notches != 0) {
        model_.scroll(-3L * notches);
        changed();
    }
    return true;
}

// ------------------------------------------------------------ the query

bool CommandPaletteBox::on_command(int id, int code) {
    if (!edit_ || id != k_query_id) return false;
    if (code == EN_CHANGE && is_open()) {
        model_.set_query(core::win::from_wide(window_text(edit_)));
        changed();
    }
    return true;
}

void CommandPaletteBox::delete_word() {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    if (start == end) {
        const std::wstring text = window_text(edit_);
        const std::string before = core::win::from_wide(
            std::wstring_view(text).substr(0, std::min<std::size_t>(start, text.size())));
        const std::size_t cut = word_start_before(before);
        start =
            static_cast<DWORD>(core::win::to_wide(std::string_view(before).substr(0, cut)).size());
    }
    SendMessageW(edit_, EM_SETSEL, start, end);
    SendMessageW(edit_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
}

LRESULT CALLBACK CommandPaletteBox::edit_proc(HWND hwnd, UINT msg, WPARAM wparam,
                                              LPARAM lparam) noexcept {
    auto* self = reinterpret_cast<CommandPaletteBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || self->edit_ != hwnd) return DefWindowProcW(hwnd, msg, wparam, lparam);
    return guarded(hwnd, msg, wparam, lparam,
                   [&] { return self->handle_edit(hwnd, msg, wparam, lparam); });
}

LRESULT CommandPaletteBox::handle_edit(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    const WNDPROC previous = edit_previous_proc_;
    switch (msg) {
        case WM_KEYDOWN: {
            if (!is_open()) break;
            const Modifiers held = current_modifiers();
            const long page = static_cast<long>(model_.page());
            switch (wparam) {
                case VK_UP:
                    model_.move(-1);
                    break;
                case VK_DOWN:
                    model_.move(1);
                    break;
                case VK_PRIOR:
                    model_.move(-page);
                    break;
                case VK_NEXT:
                    model_.move(page);
                    break;
                case VK_HOME:
                case VK_END:
                    // Without Ctrl they move the caret in the query.
                    if (!held.ctrl) return CallWindowProcW(previous, hwnd, msg, wparam, lparam);
                    wparam == VK_HOME ? model_.first() : model_.last();
                    break;
                case VK_RETURN:
                    if (const auto key = model_.choose()) finish(*key);
                    return 0;
                case VK_ESCAPE:
                    close();
                    return 0;
                case VK_BACK:
                    if (!held.ctrl) return CallWindowProcW(previous, hwnd, msg, wparam, lparam);
                    delete_word();
                    return 0;
                case 'A':
                    if (!held.ctrl) return CallWindowProcW(previous, hwnd, msg, wparam, lparam);
                    SendMessageW(hwnd, EM_SETSEL, 0, -1);
                    return 0;
                default:
                    return CallWindowProcW(previous, hwnd, msg, wparam, lparam);
            }
            changed();
            return 0;
        }
        case WM_CHAR:
            // No beep, and no character, for the keys taken above (Ctrl+A is
            // 1, Ctrl+Backspace 127) and for Tab.
            if (wparam == '\r' || wparam == 0x1B || wparam == 0x01 || wparam == 0x7F ||
                wparam == '\t') {
                return 0;
            }
            break;
        case WM_KILLFOCUS:
            // Another window took the keyboard: the box goes, the focus stays there.
            if (is_open()) hide(false);
            break;
        case WM_NCDESTROY:
            // Destroyed with the main window.
            edit_ = nullptr;
            edit_previous_proc_ = nullptr;
            model_.close();
            run_ = nullptr;
            return CallWindowProcW(previous, hwnd, msg, wparam, lparam);
        default:
            break;
    }
    return CallWindowProcW(previous, hwnd, msg, wparam, lparam);
}

}  // namespace tolvar::app::win
