// The terminal font: its four faces, the fonts that stand in for glyphs it
// lacks, and the cell and line metrics. Fonts are made once per set-up (the
// stand-ins the first time a character needs them), never per paint. UI
// thread only.
#pragma once

#include <usp10.h>
#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "look/fonts.hpp"
#include "view/gdi_win.hpp"
#include "view/pane_painter.hpp"

namespace tolvar::app::win {

class TerminalFont {
  public:
    TerminalFont();
    ~TerminalFont();
    TerminalFont(const TerminalFont&) = delete;
    TerminalFont& operator=(const TerminalFont&) = delete;

    // Resolves the family once per call and re-creates the fonts for the
    // window's DPI; a failed measurement keeps the previous cell.
    void setup(HWND window, const core::FontSettings& settings);
    // A new regular font of the resolved family for the window's DPI.
    Font create(HWND window) const;

    HFONT font() const { return faces_[0].get(); }
    // Face k_face_bold | k_face_italic of font `index` of the chain; the
    // terminal font when that one could not be made.
    HFONT face(std::uint8_t index, std::uint8_t face) const;
    // Its ascent: text is drawn from its top, at the terminal font's
    // baseline less this, so every font of the chain shares the baseline.
    int ascent(std::uint8_t index, std::uint8_t face) const;
    GlyphFonts& glyphs() const { return chain_; }

    const CellMetrics& cell() const { return cell_; }
    const LineMetrics& lines() const { return lines_; }
    const std::string& family() const { return family_; }

  private:
    // The fonts after the terminal font, tried in order for a glyph it lacks.
    class Chain final : public GlyphFonts {
      public:
        explicit Chain(const TerminalFont& owner) : owner_(owner) {}
        ~Chain();
        void reset(std::vector<std::string> names);
        std::uint8_t font_for(char32_t cp) override;
        HFONT face(std::size_t index, std::uint8_t face) const;
        std::optional<int> ascent(std::size_t index) const;

      private:
        struct Slot {
            std::string name;
            bool tried = false;  // made and checked to be the face asked for
            bool usable = false;
            std::array<Font, 4> faces;
            int ascent = 0;
            SCRIPT_CACHE cache = nullptr;
        };
        bool has_glyph(std::size_t index, char32_t cp);
        bool make(Slot& slot);

        const TerminalFont& owner_;
        std::vector<Slot> slots_;  // slot 0 is the terminal font
        std::unordered_map<char32_t, std::uint8_t> found_;
        MemoryDc dc_;
    };

    // At the set-up's DPI, or at another.
    Font make_face(const std::string& name, std::uint8_t face) const;
    Font make_face(const std::string& name, std::uint8_t face, unsigned dpi) const;

    std::string family_;
    float size_pt_ = 12.0f;
    unsigned dpi_ = 96;
    std::array<Font, 4> faces_;
    std::array<int, 4> ascents_{};
    mutable Chain chain_;
    CellMetrics cell_;
    LineMetrics lines_;
};

}  // namespace tolvar::app::win
