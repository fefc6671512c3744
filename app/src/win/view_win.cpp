#include "view_win.hpp"

#include "tolvar/app/workspace.hpp"
#include "tolvar/core/utf.hpp"
#include "tolvar/core/win/win32.hpp"

namespace tolvar::app::win {

namespace {

HFONT create_font(const std::string& face, unsigned dpi, float size_pt) {
    const std::wstring name =
        core::win::to_wide(face.empty() ? std::string(k_fallback_face) : face);
    return CreateFontW(-font_pixel_height(dpi, size_pt), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       FF_MODERN, name.c_str());
}

std::string resolve_family(HWND window, const core::FontSettings& settings) {
    HDC dc = GetDC(window);
    std::string chosen;
    for (const std::string& candidate : font_candidates(settings)) {
        HFONT trial = create_font(candidate, 96, 12.0f);
        HGDIOBJ old = SelectObject(dc, trial);
        wchar_t face[64] = {};
        const int n = GetTextFaceW(dc, 64, face);
        SelectObject(dc, old);
        DeleteObject(trial);
        if (n > 0 && same_face(candidate, core::win::from_wide(face))) {
            chosen = candidate;
            break;
        }
    }
    ReleaseDC(window, dc);
    return chosen.empty() ? std::string(k_fallback_face) : chosen;
}

}  // namespace

TerminalFont::~TerminalFont() {
    if (font_) DeleteObject(font_);
}

HFONT TerminalFont::create(HWND window) const {
    return create_font(family_, GetDpiForWindow(window), size_pt_);
}

void TerminalFont::setup(HWND window, const core::FontSettings& settings) {
    size_pt_ = settings.size_pt;
    family_ = resolve_family(window, settings);
    HFONT font = create(window);
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm;
    if (GetTextMetricsW(dc, &tm)) {
        cell_.width = std::max<int>(tm.tmAveCharWidth, 1);
        cell_.height = std::max<int>(tm.tmHeight + tm.tmExternalLeading, 1);
        cell_.text_height = std::max<int>(tm.tmHeight, 1);
    }
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    if (font_) DeleteObject(font_);
    font_ = font;
}

void paint_frame(HDC dc, const RECT& client, const AppState& state, const TerminalFont& font) {
    // Plain text of the active session until the full painters land.
    const Tab* tab = state.active_tab();
    if (!tab || !tab->session) return;
    HGDIOBJ old = SelectObject(dc, font.font());
    SetTextColor(dc, RGB(220, 223, 228));
    const CellMetrics& cell = font.cell();
    tab->session->model().with([&](const pty::TerminalModel& model) {
        const std::string text = model.visible_text();
        int y = k_tab_bar_height + 6;
        std::size_t start = 0;
        while (start <= text.size() && y < client.bottom) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            const std::wstring line =
                core::win::to_wide(std::string_view(text).substr(start, end - start));
            TextOutW(dc, 6, y, line.c_str(), static_cast<int>(line.size()));
            y += cell.height;
            start = end + 1;
        }
    });
    SelectObject(dc, old);
}

}  // namespace tolvar::app::win
