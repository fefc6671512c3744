// Times full-window paints of the main window's frame: the background fill,
// the tab bar, one pane of a 200 x 60 screen and the copy to a window, the
// same calls the paint handler makes. Prints the median and the number of
// ExtTextOutW calls (colour runs) per frame for three screens: every cell
// coloured differently from its neighbour's word, a typical shell listing,
// the first again as a page of history, scrolled back to, and the first with
// italic and underlined words among its bold ones. Run under Wine
// with a display.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <memory>
#include <vector>

#include "view/box_drawing.hpp"
#include "view/layout.hpp"
#include "view/pane_painter_win.hpp"
#include "view/view_win.hpp"
#include "workspace/workspace.hpp"

namespace {

using namespace tolvar;

class BenchSession final : public app::Session {
  public:
    BenchSession() : model_(std::make_shared<pty::SharedModel>(60, 200)) {}
    pty::SessionId id() const override { return 1; }
    void write(std::string_view) override {}
    void resize(std::uint16_t, std::uint16_t) override {}
    const std::shared_ptr<pty::SharedModel>& shared_model() const override { return model_; }
    void acknowledge_output() override {}

  private:
    std::shared_ptr<pty::SharedModel> model_;
};

// Words of 1 to 8 letters, each in the next of 16 colours, some on a
// coloured background, some inverse: a worst case for run building. With
// `faces`, every fourth word italic and every seventh underlined among the
// bold ones: every face of the font and the underline in one frame.
std::string mixed_screen(bool faces = false) {
    std::string out;
    int word = 0;
    for (int row = 0; row < 60; ++row) {
        int col = 0;
        while (col < 200) {
            const int length = std::min(1 + word % 8, 200 - col);
            out += "\x1b[" + std::to_string(30 + word % 8) + (word % 3 == 0 ? ";1" : "");
            if (faces && word % 4 == 1) out += ";3";
            if (faces && word % 7 == 2) out += ";4";
            if (word % 5 == 0) out += ";4" + std::to_string((word / 5) % 8);
            if (word % 11 == 0) out += ";7";
            out += "m";
            for (int i = 0; i < length; ++i) out += static_cast<char>('a' + (word + i) % 26);
            out += "\x1b[0m";
            col += length;
            ++word;
        }
        if (row < 59) out += "\r\n";
    }
    return out;
}

// A directory listing under a prompt: default colours, half-empty rows.
std::string shell_screen() {
    std::string out;
    for (int row = 0; row < 59; ++row) {
        out += "2026-12-07  20:56    <DIR>          folder-" + std::to_string(row) + "\r\n";
    }
    out += "C:\\work\\tolvar>";
    return out;
}

struct Result {
    double median_ms;
    int runs;
};

// `back` lines scrolled back: the screen is fed three times, so that a
// page of it lies in history to be drawn from there.
Result measure(HWND window, const app::win::TerminalFont& font, app::AppState& state,
               const std::string& bytes, int back = 0) {
    app::Tab& tab = *state.active_tab();
    tab.scroll().to_live();
    tab.session()->model().with([&](pty::TerminalModel& model) {
        model.feed("\x1b[2J\x1b[H");
        for (int copy = 0; copy < (back > 0 ? 3 : 1); ++copy) {
            model.feed(bytes);
            if (back > 0) model.feed("\r\n");
        }
    });
    tab.scroll().scroll(app::history_extent(tab), back);
    const app::CellMetrics cell = font.cell();
    // A window just big enough for the 200 x 60 text area of a single pane.
    const int width = 200 * cell.width + 12;
    const app::Scale scale{96};
    const int height = app::tab_bar_height(scale) + 60 * cell.height + 8;
    const RECT client{0, 0, width, height};
    const app::win::WindowDc window_dc(window);
    const app::win::Font ui_font = app::win::create_ui_font(96);

    const app::Palette palette;
    std::vector<double> times;
    for (int frame = 0; frame < 60; ++frame) {
        const auto start = std::chrono::steady_clock::now();
        {
            const app::win::MemoryDc dc(CreateCompatibleDC(window_dc.get()));
            const app::win::Bitmap bitmap(CreateCompatibleBitmap(window_dc.get(), width, height));
            const app::win::Selected buffer(dc.get(), bitmap.get());
            app::win::fill(dc.get(), {0, 0, width, height}, palette.theme().background);
            app::win::paint_frame(dc.get(), client, state,
                                  app::win::FrameStyle{font, palette, ui_font.get(), scale});
            BitBlt(window_dc.get(), 0, 0, width, height, dc.get(), 0, 0, SRCCOPY);
            GdiFlush();
        }
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());

    // The runs of one pane, counted by drawing it once more.
    const app::win::MemoryDc dc(CreateCompatibleDC(window_dc.get()));
    const app::win::Bitmap bitmap(CreateCompatibleBitmap(window_dc.get(), width, height));
    const app::win::Selected buffer(dc.get(), bitmap.get());
    const app::win::Selected terminal_font(dc.get(), font.font());
    const app::Rect text =
        app::text_rect(app::terminal_area({0, 0, width, height}, scale), false, scale);
    const app::win::PaneStats stats = app::win::paint_pane(dc.get(), palette, *state.active_tab(),
                                                           text, cell, true, std::nullopt);
    return {times[times.size() / 2], stats.runs};
}

// A frame after output changed one row of the mixed screen, or scrolled it
// by one line, drawn by paint_output into the frame kept from the paint
// before, as the window paints output; the copy is of the pane alone.
Result measure_change(HWND window, const app::win::TerminalFont& font, app::AppState& state,
                      bool scroll) {
    app::Tab& tab = *state.active_tab();
    tab.scroll().to_live();
    const std::string screen = mixed_screen();
    tab.session()->model().with([&](pty::TerminalModel& model) {
        model.feed("\x1b[2J\x1b[H" + screen);
    });
    // Rows of the screen to write again, one per frame: each differs from
    // the one it replaces.
    std::vector<std::string> rows;
    for (std::size_t at = 0, next; at < screen.size(); at = next + 2) {
        next = screen.find("\r\n", at);
        if (next == std::string::npos) next = screen.size();
        rows.push_back(screen.substr(at, next - at));
    }
    const app::CellMetrics cell = font.cell();
    const int width = 200 * cell.width + 12;
    const app::Scale scale{96};
    const int height = app::tab_bar_height(scale) + 60 * cell.height + 8;
    const RECT client{0, 0, width, height};
    const app::win::WindowDc window_dc(window);
    const app::win::Font ui_font = app::win::create_ui_font(96);
    const app::Palette palette;
    const app::win::FrameStyle style{font, palette, ui_font.get(), scale};
    app::win::BackBuffer buffer;
    bool remade = false;
    HDC dc = buffer.prepare(window_dc.get(), width, height, remade);
    if (!dc) return {0, 0};
    app::win::fill(dc, {0, 0, width, height}, palette.theme().background);
    app::win::paint_frame(dc, client, state, style, &buffer);
    const app::Rect area = app::terminal_area({0, 0, width, height}, scale);
    const app::TabId ids[] = {tab.id()};
    std::vector<double> times;
    int runs = 0;
    for (int frame = 0; frame < 60; ++frame) {
        const std::string& row = rows[(frame * 7 + 3) % rows.size()];
        tab.session()->model().with([&](pty::TerminalModel& model) {
            if (scroll) {
                model.feed("\x1b[60;1H\r\n" + row);
            } else {
                model.feed("\x1b[" + std::to_string(1 + frame % 60) + ";1H" + row);
            }
        });
        const auto start = std::chrono::steady_clock::now();
        const app::win::OutputPainted painted =
            app::win::paint_output(client, state, style, buffer, ids);
        BitBlt(window_dc.get(), area.left, area.top, area.width(), area.height(), dc, area.left,
               area.top, SRCCOPY);
        GdiFlush();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        runs = painted.runs;
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], runs};
}

// The 256 colours and the text attributes, for the README's picture.
std::string chart_screen() {
    std::string out = "\x1b[1m 256 colours\x1b[0m\r\n\r\n ";
    const auto cell = [&](int index, const char* text) {
        out += "\x1b[48;5;" + std::to_string(index) + "m" + text;
    };
    for (int i = 0; i < 16; ++i) cell(i, "    ");
    out += "\x1b[0m\r\n\r\n";
    for (int g = 0; g < 6; ++g) {
        out += " ";
        for (int r = 0; r < 6; ++r) {
            for (int b = 0; b < 6; ++b) cell(16 + 36 * r + 6 * g + b, "  ");
            out += "\x1b[0m ";
        }
        out += "\r\n";
    }
    out += "\r\n ";
    for (int i = 232; i < 256; ++i) cell(i, "   ");
    out += "\x1b[0m\r\n\r\n ";
    out +=
        "\x1b[1mbold\x1b[0m \x1b[2mfaint\x1b[0m \x1b[3mitalic\x1b[0m \x1b[4munderline\x1b[0m "
        "\x1b[21mdouble\x1b[0m \x1b[4:3;58;5;196mcurly\x1b[0m \x1b[9mstrike\x1b[0m "
        "\x1b[7minverse\x1b[0m \x1b[1;31mbold red\x1b[0m \x1b[38;2;255;135;0mRGB\x1b[0m\r\n\r\n";
    out +=
        " \xE2\x94\x8C\xE2\x94\x80\xE2\x94\x80\xE2\x94\xAC\xE2\x94\x80\xE2\x94\x80\xE2\x94\x90"
        "  \xE2\x96\x81\xE2\x96\x82\xE2\x96\x83\xE2\x96\x84\xE2\x96\x85\xE2\x96\x86\xE2\x96\x87"
        "\xE2\x96\x88  \xE2\x96\x91\xE2\x96\x92\xE2\x96\x93\r\n";
    out +=
        " \xE2\x94\x94\xE2\x94\x80\xE2\x94\x80\xE2\x94\xB4\xE2\x94\x80\xE2\x94\x80\xE2\x94\x98"
        "  \xE2\x95\xAD\xE2\x94\x80\xE2\x94\x80\xE2\x95\xAE "
        "\xE2\x95\x94\xE2\x95\x90\xE2\x95\x90\xE2\x95\x97";
    return out;
}

// A line-drawing test pattern in DEC special graphics, as tmux, mc and
// vttest draw it: corners, tees, a cross, lines and the other symbols.
std::string line_drawing_screen() {
    const std::string dec = "\x1b(0", ascii = "\x1b(B";
    std::string out = "\x1b[1m DEC special graphics (ESC ( 0)\x1b[0m\r\n\r\n";
    const char* rows[] = {
        "lqqqqqqwqqqqqqk   lqqqqqqqqqqqqqqqqqk",  //
        "x      x      x   x ` a f g ~ { | } x",  //
        "tqqqqqqnqqqqqqu   x j k l m n t u v x",  //
        "x      x      x   x w o p q r s y z x",  //
        "mqqqqqqvqqqqqqj   mqqqqqqqqqqqqqqqqqj",
    };
    for (const char* row : rows) out += " " + dec + row + ascii + "\r\n";
    return out + "\r\n \x1b[32m" + dec + "lqk" + ascii + " in colour, \x1b[7m" + dec + "x" +
           ascii + "\x1b[27m inverse\x1b[0m";
}

// Paints `screen` in an 80-column pane of `rows` rows and writes it as a
// binary PPM.
int write_picture(HWND window, const app::win::TerminalFont& font, app::AppState& state,
                  const wchar_t* path, const std::string& screen, std::uint16_t rows) {
    app::Tab& tab = *state.active_tab();
    tab.session()->model().with([&](pty::TerminalModel& model) {
        model.set_size(rows, 80);
        model.feed(screen + "\x1b[?25l");
    });
    const app::CellMetrics cell = font.cell();
    const int width = 80 * cell.width;
    const int height = rows * cell.height;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const app::win::WindowDc window_dc(window);
    const app::win::MemoryDc dc(CreateCompatibleDC(window_dc.get()));
    std::uint32_t* bits = nullptr;
    const app::win::Bitmap bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS,
                                                   reinterpret_cast<void**>(&bits), nullptr, 0));
    if (!bitmap || !bits) return 1;
    const app::win::Selected buffer(dc.get(), bitmap.get());
    const app::win::Selected terminal(dc.get(), font.font());
    const app::Palette palette;
    app::win::PaneLook look(palette);
    look.font = &font;
    look.box_stroke = app::box_stroke(cell.width, 96);
    app::win::paint_pane(dc.get(), look, tab, {0, 0, width, height}, cell, false, std::nullopt);
    GdiFlush();
    FILE* out = _wfopen(path, L"wb");
    if (!out) return 1;
    std::fprintf(out, "P6\n%d %d\n255\n", width, height);
    for (int i = 0; i < width * height; ++i) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(bits[i] >> 16),
                                      static_cast<unsigned char>(bits[i] >> 8),
                                      static_cast<unsigned char>(bits[i])};
        std::fwrite(rgb, 1, 3, out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    HWND window = CreateWindowExW(0, L"STATIC", L"paint-bench", WS_POPUP | WS_VISIBLE, 0, 0, 1700,
                                  1100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        std::fprintf(stderr, "no window\n");
        return 1;
    }
    app::win::TerminalFont font;
    core::FontSettings settings;
    font.setup(window, settings);

    app::AppState state;
    state.add_tab(app::Tab({.title = "bench", .session = std::make_unique<BenchSession>()}));

    // --chart FILE and --line-drawing FILE: the pictures in the README and
    // docs instead of timings.
    if (argc == 3 && std::wstring(argv[1]) == L"--chart") {
        return write_picture(window, font, state, argv[2], chart_screen(), 18);
    }
    if (argc == 3 && std::wstring(argv[1]) == L"--line-drawing") {
        return write_picture(window, font, state, argv[2], line_drawing_screen(), 10);
    }
    std::printf("font %s, cell %d x %d\n", font.family().c_str(), font.cell().width,
                font.cell().height);
    const Result mixed = measure(window, font, state, mixed_screen());
    std::printf("mixed colours: %.2f ms per frame (median of 60), %d ExtTextOutW calls\n",
                mixed.median_ms, mixed.runs);
    const Result shell = measure(window, font, state, shell_screen());
    std::printf("shell listing: %.2f ms per frame (median of 60), %d ExtTextOutW calls\n",
                shell.median_ms, shell.runs);
    const Result back = measure(window, font, state, mixed_screen(), 90);
    std::printf(
        "mixed colours, scrolled back 90 lines: %.2f ms per frame (median of 60), "
        "%d ExtTextOutW calls\n",
        back.median_ms, back.runs);
    const Result styled = measure(window, font, state, mixed_screen(true));
    std::printf(
        "mixed colours with bold, italic and underline: %.2f ms per frame (median of 60), "
        "%d ExtTextOutW calls\n",
        styled.median_ms, styled.runs);
    const Result row = measure_change(window, font, state, false);
    std::printf(
        "mixed colours, one row changed: %.2f ms per frame (median of 60), %d ExtTextOutW "
        "calls; %.1f %% and %.1f %% of the whole frame\n",
        row.median_ms, row.runs, 100 * row.median_ms / mixed.median_ms,
        100.0 * row.runs / mixed.runs);
    const Result scrolled = measure_change(window, font, state, true);
    std::printf(
        "mixed colours, scrolled by one line: %.2f ms per frame (median of 60), %d ExtTextOutW "
        "calls; %.1f %% and %.1f %% of the whole frame\n",
        scrolled.median_ms, scrolled.runs, 100 * scrolled.median_ms / mixed.median_ms,
        100.0 * scrolled.runs / mixed.runs);
    DestroyWindow(window);
    return 0;
}
