#include "look/terminal_font_win.hpp"

#include <algorithm>

#include "tolvar/core/win/win32.hpp"

namespace tolvar::app::win {

namespace {

// Faces Windows and common font packages install, for what the configured
// fonts lack: symbols, emoji, CJK, Indic and other scripts. Only installed
// ones are used; past them GDI's own font linking has the last word.
constexpr const char* k_stand_ins[] = {
    "Segoe UI Symbol",   "Segoe UI Emoji",    "Cambria Math",     "MS Gothic",
    "Microsoft YaHei",   "Malgun Gothic",     "Nirmala UI",       "Ebrima",
    "Segoe UI Historic", "Arial Unicode MS",  "DejaVu Sans Mono", "DejaVu Sans",
    "Noto Sans Mono",    "Noto Sans Symbols", "Noto Sans CJK SC", "Noto Color Emoji",
};

// Lines a font draws, from the top of a cell of `cell_height` where the
// text of `text_height` is centred.
LineMetrics line_metrics(HDC dc, const CellMetrics& cell, const TEXTMETRICW& tm) {
    LineMetrics lines;
    const int offset = std::max((cell.height - cell.text_height) / 2, 0);
    lines.baseline = offset + tm.tmAscent;
    lines.underline_top = lines.baseline + std::max<int>(tm.tmDescent / 2, 1);
    lines.underline_thickness = std::max<int>(tm.tmHeight / 16, 1);
    lines.strike_top = lines.baseline - tm.tmAscent / 3;
    lines.strike_thickness = lines.underline_thickness;
    const UINT size = GetOutlineTextMetricsW(dc, 0, nullptr);
    if (size >= sizeof(OUTLINETEXTMETRICW)) {
        std::vector<std::byte> buffer(size);
        auto* otm = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
        if (GetOutlineTextMetricsW(dc, size, otm) != 0) {
            // Positions count up from the baseline to the line's middle.
            const int ut = std::max<int>(static_cast<int>(otm->otmsUnderscoreSize), 1);
            lines.underline_thickness = ut;
            lines.underline_top = lines.baseline - otm->otmsUnderscorePosition - ut / 2;
            const int st = std::max<int>(static_cast<int>(otm->otmsStrikeoutSize), 1);
            lines.strike_thickness = st;
            lines.strike_top = lines.baseline - otm->otmsStrikeoutPosition - st / 2;
        }
    }
    return lines;
}

int ascent_of(HDC dc, HFONT font) {
    const Selected selected(dc, font);
    TEXTMETRICW tm;
    return GetTextMetricsW(dc, &tm) ? tm.tmAscent : 0;
}

std::string face_name(HDC dc, HFONT font) {
    const Selected selected(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    return GetTextFaceW(dc, LF_FACESIZE, face) > 0 ? core::win::from_wide(face) : std::string();
}

}  // namespace

TerminalFont::TerminalFont() : chain_(*this) {}
TerminalFont::~TerminalFont() = default;

Font TerminalFont::make_face(const std::string& name, std::uint8_t face) const {
    return make_face(name, face, dpi_);
}

Font TerminalFont::make_face(const std::string& name, std::uint8_t face, unsigned dpi) const {
    const std::wstring wide =
        core::win::to_wide(name.empty() ? std::string(k_fallback_face) : name);
    return Font(CreateFontW(
        -font_pixel_height(dpi, size_pt_), 0, 0, 0, (face & k_face_bold) ? FW_BOLD : FW_NORMAL,
        (face & k_face_italic) ? TRUE : FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, FF_MODERN, wide.c_str()));
}

Font TerminalFont::create(HWND window) const {
    return make_face(family_, 0, GetDpiForWindow(window));
}

void TerminalFont::setup(HWND window, const core::FontSettings& settings) {
    size_pt_ = settings.size_pt;
    const WindowDc dc(window);
    // The first candidate GDI has: a missing face comes back as another.
    const std::vector<std::string> candidates = font_candidates(settings);
    family_ = std::string(k_fallback_face);
    std::size_t chosen = candidates.size();
    dpi_ = 96;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Font trial = make_face(candidates[i], 0);
        if (same_face(candidates[i], face_name(dc.get(), trial.get()))) {
            family_ = candidates[i];
            chosen = i;
            break;
        }
    }
    dpi_ = GetDpiForWindow(window);
    std::array<Font, 4> faces;
    for (std::uint8_t f = 0; f < 4; ++f) faces[f] = make_face(family_, f);
    {
        const Selected selected(dc.get(), faces[0].get());
        TEXTMETRICW tm;
        if (GetTextMetricsW(dc.get(), &tm)) {
            cell_.width = std::max<int>(tm.tmAveCharWidth, 1);
            cell_.height = std::max<int>(tm.tmHeight + tm.tmExternalLeading, 1);
            cell_.text_height = std::max<int>(tm.tmHeight, 1);
            lines_ = line_metrics(dc.get(), cell_, tm);
        }
    }
    for (std::uint8_t f = 0; f < 4; ++f) {
        ascents_[f] = faces[f] ? ascent_of(dc.get(), faces[f].get()) : lines_.baseline;
    }
    faces_ = std::move(faces);
    std::vector<std::string> chain;
    for (std::size_t i = chosen + 1; i < candidates.size(); ++i) chain.push_back(candidates[i]);
    for (const char* name : k_stand_ins) chain.emplace_back(name);
    chain_.reset(std::move(chain));
}

int TerminalFont::ascent(std::uint8_t index, std::uint8_t face) const {
    if (const auto a = chain_.ascent(index)) return *a;
    return ascents_[face & 3];
}

HFONT TerminalFont::face(std::uint8_t index, std::uint8_t face) const {
    if (HFONT f = chain_.face(index, face & 3)) return f;
    return faces_[face & 3] ? faces_[face & 3].get() : faces_[0].get();
}

// ------------------------------------------------------------ the chain

TerminalFont::Chain::~Chain() {
    for (Slot& slot : slots_) ScriptFreeCache(&slot.cache);
}

void TerminalFont::Chain::reset(std::vector<std::string> names) {
    for (Slot& slot : slots_) ScriptFreeCache(&slot.cache);
    slots_.clear();
    found_.clear();
    slots_.emplace_back();  // the terminal font
    slots_[0].tried = slots_[0].usable = true;
    // A stand-in that is also a configured fallback is tried once.
    for (std::string& name : names) {
        const bool seen =
            std::ranges::any_of(slots_, [&](const Slot& s) { return same_face(s.name, name); });
        if (!seen && !same_face(name, owner_.family_)) slots_.push_back({std::move(name)});
        if (slots_.size() == 255) break;
    }
    if (!dc_) dc_ = MemoryDc(CreateCompatibleDC(nullptr));
}

bool TerminalFont::Chain::make(Slot& slot) {
    slot.tried = true;
    Font regular = owner_.make_face(slot.name, 0);
    if (!regular || !same_face(slot.name, face_name(dc_.get(), regular.get()))) return false;
    slot.ascent = ascent_of(dc_.get(), regular.get());
    slot.faces[0] = std::move(regular);
    for (std::uint8_t f = 1; f < 4; ++f) slot.faces[f] = owner_.make_face(slot.name, f);
    slot.usable = true;
    return true;
}

HFONT TerminalFont::Chain::face(std::size_t index, std::uint8_t face) const {
    if (index == 0 || index >= slots_.size() || !slots_[index].usable) return nullptr;
    const Slot& slot = slots_[index];
    return slot.faces[face] ? slot.faces[face].get() : slot.faces[0].get();
}

std::optional<int> TerminalFont::Chain::ascent(std::size_t index) const {
    if (index == 0 || index >= slots_.size() || !slots_[index].usable) return std::nullopt;
    return slots_[index].ascent;
}

bool TerminalFont::Chain::has_glyph(std::size_t index, char32_t cp) {
    Slot& slot = slots_[index];
    if (!slot.tried && !make(slot)) return false;
    if (!slot.usable || !dc_) return false;
    HFONT font = index == 0 ? owner_.faces_[0].get() : slot.faces[0].get();
    const Selected selected(dc_.get(), font);
    if (cp < 0x10000) {
        const wchar_t unit = static_cast<wchar_t>(cp);
        WORD glyph = 0xFFFF;
        return GetGlyphIndicesW(dc_.get(), &unit, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS) == 1 &&
               glyph != 0xFFFF;
    }
    const char32_t v = cp - 0x10000;
    const wchar_t pair[2] = {static_cast<wchar_t>(0xD800 + (v >> 10)),
                             static_cast<wchar_t>(0xDC00 + (v & 0x3FF))};
    WORD glyphs[2] = {};
    return ScriptGetCMap(dc_.get(), &slot.cache, pair, 2, 0, glyphs) == S_OK;
}

std::uint8_t TerminalFont::Chain::font_for(char32_t cp) {
    if (const auto it = found_.find(cp); it != found_.end()) return it->second;
    std::uint8_t index = 0;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (has_glyph(i, cp)) {
            index = static_cast<std::uint8_t>(i);
            break;
        }
    }
    // Text of every script ever shown would grow this without end.
    if (found_.size() >= 65536) found_.clear();
    found_.emplace(cp, index);
    return index;
}

}  // namespace tolvar::app::win
