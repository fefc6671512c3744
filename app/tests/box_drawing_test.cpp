#include "view/box_drawing.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace tolvar::app {
namespace {

struct Size {
    int w;
    int h;
};
constexpr Size k_sizes[] = {{7, 15}, {8, 16}, {9, 19}, {12, 24}, {10, 10}};
constexpr int k_strokes[] = {1, 2, 3};

// A glyph painted into a cell: the percent of foreground at each pixel.
class Pixels {
  public:
    Pixels(char32_t cp, Size size, int stroke) : w_(size.w), h_(size.h), p_(size.w * size.h, 0) {
        for (const BoxFill& f : box_glyph(cp, size.w, size.h, stroke).fills) {
            EXPECT_TRUE(f.rect.left >= 0 && f.rect.top >= 0 && f.rect.right <= w_ &&
                        f.rect.bottom <= h_ && f.rect.left < f.rect.right &&
                        f.rect.top < f.rect.bottom)
                << "U+" << std::hex << static_cast<unsigned>(cp) << " leaves its cell";
            for (int y = f.rect.top; y < f.rect.bottom; ++y) {
                for (int x = f.rect.left; x < f.rect.right; ++x) p_[y * w_ + x] = f.percent;
            }
        }
    }
    bool on(int x, int y) const { return p_[y * w_ + x] != 0; }
    int percent(int x, int y) const { return p_[y * w_ + x]; }
    // The rows lit in column x, and the columns lit in row y.
    std::set<int> column(int x) const {
        std::set<int> rows;
        for (int y = 0; y < h_; ++y) {
            if (on(x, y)) rows.insert(y);
        }
        return rows;
    }
    std::set<int> row(int y) const {
        std::set<int> cols;
        for (int x = 0; x < w_; ++x) {
            if (on(x, y)) cols.insert(x);
        }
        return cols;
    }
    std::set<int> left() const { return column(0); }
    std::set<int> right() const { return column(w_ - 1); }
    std::set<int> top() const { return row(0); }
    std::set<int> bottom() const { return row(h_ - 1); }
    int lit() const {
        int n = 0;
        for (int v : p_) n += v != 0;
        return n;
    }
    // Pieces that touch, diagonals included.
    int components() const {
        std::vector<int> seen(p_.size(), 0);
        int count = 0;
        for (int start = 0; start < w_ * h_; ++start) {
            if (!p_[start] || seen[start]) continue;
            ++count;
            std::vector<int> stack{start};
            seen[start] = 1;
            while (!stack.empty()) {
                const int i = stack.back();
                stack.pop_back();
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int x = i % w_ + dx;
                        const int y = i / w_ + dy;
                        if (x < 0 || y < 0 || x >= w_ || y >= h_) continue;
                        const int j = y * w_ + x;
                        if (p_[j] && !seen[j]) {
                            seen[j] = 1;
                            stack.push_back(j);
                        }
                    }
                }
            }
        }
        return count;
    }
    bool operator==(const Pixels& other) const { return p_ == other.p_; }
    Pixels operator|(const Pixels& other) const {
        Pixels out = *this;
        for (std::size_t i = 0; i < p_.size(); ++i) out.p_[i] = std::max(p_[i], other.p_[i]);
        return out;
    }
    bool disjoint(const Pixels& other) const {
        for (std::size_t i = 0; i < p_.size(); ++i) {
            if (p_[i] && other.p_[i]) return false;
        }
        return true;
    }

  private:
    int w_;
    int h_;
    std::vector<int> p_;
};

std::string where(Size size, int stroke, char32_t cp = 0) {
    std::string text =
        std::to_string(size.w) + "x" + std::to_string(size.h) + " stroke " + std::to_string(stroke);
    if (cp) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(cp));
        text += " U+" + std::string(hex);
    }
    return text;
}

double middle(const std::set<int>& s) {
    return s.empty() ? -1 : (*s.begin() + *s.rbegin()) / 2.0;
}

TEST(BoxDrawing, TheWholeRangeIsDrawnAndNothingBeyond) {
    EXPECT_FALSE(drawn_as_box(0x24FF));
    EXPECT_TRUE(drawn_as_box(0x2500));
    EXPECT_TRUE(drawn_as_box(0x259F));
    EXPECT_FALSE(drawn_as_box(0x25A0));
    EXPECT_TRUE(box_glyph(0x25A0, 8, 16, 1).fills.empty());
    EXPECT_FALSE(drawn_as_box(0x23B9));
    EXPECT_FALSE(drawn_as_box(0x23BE));
    EXPECT_TRUE(box_glyph(U'─', 0, 16, 1).fills.empty());
    // Every code point leaves some ink, inside its cell (checked by Pixels).
    for (const Size size : k_sizes) {
        for (const int stroke : k_strokes) {
            for (char32_t cp = 0x2500; cp <= 0x259F; ++cp) {
                EXPECT_GT(Pixels(cp, size, stroke).lit(), 0) << where(size, stroke, cp);
            }
        }
    }
}

TEST(BoxDrawing, ScanLinesRunAcrossTheCellFromTopToBottom) {
    // DEC special graphics o, p, r and s: scan lines 1, 3, 7 and 9.
    for (const Size size : k_sizes) {
        int last_top = -1;
        for (char32_t cp = 0x23BA; cp <= 0x23BD; ++cp) {
            const BoxGlyph g = box_glyph(cp, size.w, size.h, 1);
            ASSERT_EQ(g.fills.size(), 1u);
            const Rect r = g.fills[0].rect;
            EXPECT_EQ(r.left, 0);
            EXPECT_EQ(r.right, size.w);
            EXPECT_GT(r.top, last_top);
            last_top = r.top;
        }
        EXPECT_EQ(box_glyph(0x23BA, size.w, size.h, 1).fills[0].rect.top, 0);
        EXPECT_EQ(box_glyph(0x23BD, size.w, size.h, 1).fills[0].rect.bottom, size.h);
    }
}

TEST(BoxDrawing, StrokeFollowsDpiAndStaysAQuarterOfTheCell) {
    EXPECT_EQ(box_stroke(8, 96), 1);
    EXPECT_EQ(box_stroke(8, 72), 1);
    EXPECT_EQ(box_stroke(10, 120), 1);
    EXPECT_EQ(box_stroke(12, 144), 2);
    EXPECT_EQ(box_stroke(16, 192), 2);
    EXPECT_EQ(box_stroke(24, 288), 3);
    EXPECT_EQ(box_stroke(8, 288), 2);
    EXPECT_EQ(box_stroke(3, 288), 1);
}

// Each arm of every line glyph meets the cell edge exactly where the straight
// line of its weight does, so it joins whatever the neighbour holds; an edge
// without an arm is bare.
TEST(BoxDrawing, EveryArmMeetsItsEdgeLikeTheStraightLine) {
    // The arms of each, left, up, right and down, as their Unicode names give
    // them: '.' none, 'l' light, 'h' heavy, 'd' double.
    const std::u32string glyphs =
        U"─━│┃┌┍┎┏┐┑┒┓└┕┖┗┘┙┚┛├┝┞┟┠┡┢┣┤┥┦┧┨┩┪┫┬┭┮┯┰┱┲┳┴┵┶┷┸┹┺┻┼┽┾┿╀╁╂╃╄╅╆╇╈╉╊╋"
        U"═║╒╓╔╕╖╗╘╙╚╛╜╝╞╟╠╡╢╣╤╥╦╧╨╩╪╫╬╭╮╯╰╴╵╶╷╸╹╺╻╼╽╾╿";
    const char* spec[] = {
        "l.l.", "h.h.", ".l.l", ".h.h", "..ll", "..hl", "..lh", "..hh", "l..l", "h..l", "l..h",
        "h..h", ".ll.", ".lh.", ".hl.", ".hh.", "ll..", "hl..", "lh..", "hh..", ".lll", ".lhl",
        ".hll", ".llh", ".hlh", ".hhl", ".lhh", ".hhh", "ll.l", "hl.l", "lh.l", "ll.h", "lh.h",
        "hh.l", "hl.h", "hh.h", "l.ll", "h.ll", "l.hl", "h.hl", "l.lh", "h.lh", "l.hh", "h.hh",
        "lll.", "hll.", "llh.", "hlh.", "lhl.", "hhl.", "lhh.", "hhh.", "llll", "hlll", "llhl",
        "hlhl", "lhll", "lllh", "lhlh", "hhll", "lhhl", "hllh", "llhh", "hhhl", "hlhh", "hhlh",
        "lhhh", "hhhh", "d.d.", ".d.d", "..dl", "..ld", "..dd", "d..l", "l..d", "d..d", ".ld.",
        ".dl.", ".dd.", "dl..", "ld..", "dd..", ".ldl", ".dld", ".ddd", "dl.l", "ld.d", "dd.d",
        "d.dl", "l.ld", "d.dd", "dld.", "ldl.", "ddd.", "dldl", "ldld", "dddd", "..ll", "l..l",
        "ll..", ".ll.", "l...", ".l..", "..l.", "...l", "h...", ".h..", "..h.", "...h", "l.h.",
        ".l.h", "h.l.", ".h.l"};
    ASSERT_EQ(std::size(spec), glyphs.size());
    for (const Size size : k_sizes) {
        for (const int stroke : k_strokes) {
            const auto across = [&](char weight, bool horizontal) {
                const char32_t straight = horizontal ? (weight == 'l'   ? U'─'
                                                        : weight == 'h' ? U'━'
                                                                        : U'═')
                                                     : (weight == 'l'   ? U'│'
                                                        : weight == 'h' ? U'┃'
                                                                        : U'║');
                const Pixels line(straight, size, stroke);
                return horizontal ? line.left() : line.top();
            };
            for (std::size_t i = 0; i < std::size(spec); ++i) {
                const char32_t cp = glyphs[i];
                const Pixels glyph(cp, size, stroke);
                const std::set<int> none;
                const char* s = spec[i];
                EXPECT_EQ(glyph.left(), s[0] == '.' ? none : across(s[0], true))
                    << where(size, stroke, cp);
                EXPECT_EQ(glyph.top(), s[1] == '.' ? none : across(s[1], false))
                    << where(size, stroke, cp);
                EXPECT_EQ(glyph.right(), s[2] == '.' ? none : across(s[2], true))
                    << where(size, stroke, cp);
                EXPECT_EQ(glyph.bottom(), s[3] == '.' ? none : across(s[3], false))
                    << where(size, stroke, cp);
            }
        }
    }
}

TEST(BoxDrawing, StraightLinesSpanTheCellOnSharedCentres) {
    for (const Size size : k_sizes) {
        for (const int stroke : k_strokes) {
            const std::string at = where(size, stroke);
            const Pixels h(U'─', size, stroke);
            const Pixels v(U'│', size, stroke);
            // Full length: every column of ─ lights the same rows.
            for (int x = 0; x < size.w; ++x) ASSERT_EQ(h.column(x), h.left()) << at;
            for (int y = 0; y < size.h; ++y) ASSERT_EQ(v.row(y), v.top()) << at;
            EXPECT_FALSE(h.left().empty()) << at;
            // ┼ is ─ and │ laid over each other.
            EXPECT_EQ(Pixels(U'┼', size, stroke), h | v) << at;
            EXPECT_EQ(Pixels(U'├', size, stroke), v | Pixels(U'╶', size, stroke)) << at;
            // The halves stop at the centre and make up the whole line.
            EXPECT_EQ(Pixels(U'╴', size, stroke) | Pixels(U'╶', size, stroke), h) << at;
            EXPECT_EQ(Pixels(U'╵', size, stroke) | Pixels(U'╷', size, stroke), v) << at;
            EXPECT_TRUE(Pixels(U'╴', size, stroke).right().empty()) << at;
            EXPECT_TRUE(Pixels(U'╷', size, stroke).top().empty()) << at;
            // Heavy and double are centred on the light line, and thicker.
            const Pixels heavy(U'━', size, stroke);
            const Pixels twin(U'═', size, stroke);
            EXPECT_EQ(middle(heavy.left()), middle(h.left())) << at;
            EXPECT_EQ(middle(twin.left()), middle(h.left())) << at;
            EXPECT_GT(heavy.left().size(), h.left().size()) << at;
            EXPECT_EQ(middle(Pixels(U'┃', size, stroke).top()), middle(v.top())) << at;
            EXPECT_EQ(middle(Pixels(U'║', size, stroke).top()), middle(v.top())) << at;
            // The double line's two strokes leave a gap on the centre.
            EXPECT_EQ(twin.components(), 2) << at;
            EXPECT_FALSE(twin.on(0, static_cast<int>(middle(h.left())))) << at;
        }
    }
}

// The corner's arms meet in one piece; a double crossing keeps its four
// corners apart; arcs and diagonals have no holes however they are rounded.
TEST(BoxDrawing, JoinsAreClosedAndCurvesUnbroken) {
    for (const Size size : k_sizes) {
        for (const int stroke : k_strokes) {
            for (const char32_t cp : std::u32string(U"┌┐└┘┏┛┍┞╆╋╭╮╯╰╱╲╳╼╿")) {
                EXPECT_EQ(Pixels(cp, size, stroke).components(), 1) << where(size, stroke, cp);
            }
            EXPECT_EQ(Pixels(U'╔', size, stroke).components(), 2) << where(size, stroke);
            EXPECT_EQ(Pixels(U'╬', size, stroke).components(), 4) << where(size, stroke);
            EXPECT_EQ(Pixels(U'╦', size, stroke).components(), 3) << where(size, stroke);
            // The corner fills the square where its arms cross.
            const Pixels corner(U'┌', size, stroke);
            const int x = *Pixels(U'│', size, stroke).top().begin();
            const int y = *Pixels(U'─', size, stroke).left().begin();
            EXPECT_TRUE(corner.on(x, y)) << where(size, stroke);
            EXPECT_FALSE(corner.on(x - 1, y)) << where(size, stroke);
            EXPECT_FALSE(corner.on(x, y - 1)) << where(size, stroke);
            // Diagonals run corner to corner, so they join diagonal neighbours.
            const Pixels rising(U'╱', size, stroke);
            EXPECT_TRUE(rising.on(0, size.h - 1) && rising.on(size.w - 1, 0))
                << where(size, stroke);
            EXPECT_EQ(Pixels(U'╳', size, stroke), rising | Pixels(U'╲', size, stroke));
        }
    }
}

TEST(BoxDrawing, DashesAreCountedAndStayOnTheLine) {
    struct Case {
        char32_t dashed;
        char32_t solid;
        int dashes;
    };
    const Case cases[] = {{U'┄', U'─', 3}, {U'┅', U'━', 3}, {U'┆', U'│', 3}, {U'┇', U'┃', 3},
                          {U'┈', U'─', 4}, {U'┉', U'━', 4}, {U'┊', U'│', 4}, {U'┋', U'┃', 4},
                          {U'╌', U'─', 2}, {U'╍', U'━', 2}, {U'╎', U'│', 2}, {U'╏', U'┃', 2}};
    for (const Size size : {Size{8, 16}, Size{9, 19}, Size{12, 24}}) {
        for (const int stroke : k_strokes) {
            for (const Case& c : cases) {
                const Pixels dashed(c.dashed, size, stroke);
                const Pixels solid(c.solid, size, stroke);
                EXPECT_EQ(dashed.components(), c.dashes) << where(size, stroke, c.dashed);
                EXPECT_EQ(dashed | solid, solid) << where(size, stroke, c.dashed);
            }
        }
    }
}

TEST(BoxDrawing, BlocksTileTheCell) {
    for (const Size size : k_sizes) {
        const std::string at = where(size, 1);
        const auto px = [&](char32_t cp) { return Pixels(cp, size, 1); };
        const BoxGlyph full = box_glyph(U'█', size.w, size.h, 1);
        ASSERT_EQ(full.fills.size(), 1u) << at;
        EXPECT_EQ(full.fills[0], (BoxFill{{0, 0, size.w, size.h}, 100})) << at;
        // Halves partition the cell.
        EXPECT_TRUE(px(U'▀').disjoint(px(U'▄'))) << at;
        EXPECT_EQ(px(U'▀') | px(U'▄'), px(U'█')) << at;
        EXPECT_TRUE(px(U'▌').disjoint(px(U'▐'))) << at;
        EXPECT_EQ(px(U'▌') | px(U'▐'), px(U'█')) << at;
        // A bar of eighths never shrinks from one step to the next, and grows
        // at every step once the cell has eight pixels to give.
        const std::u32string left = U"▏▎▍▌▋▊▉█";
        const std::u32string lower = U"▁▂▃▄▅▆▇█";
        for (std::size_t k = 1; k < 8; ++k) {
            EXPECT_EQ(px(left[k]) | px(left[k - 1]), px(left[k])) << at;
            EXPECT_EQ(px(lower[k]) | px(lower[k - 1]), px(lower[k])) << at;
            if (size.w >= 8) {
                EXPECT_GT(px(left[k]).lit(), px(left[k - 1]).lit()) << at << " step " << k;
            }
            if (size.h >= 8) {
                EXPECT_GT(px(lower[k]).lit(), px(lower[k - 1]).lit()) << at << " step " << k;
            }
        }
        EXPECT_EQ(px(U'▔').lit(), px(U'▁').lit()) << at;
        EXPECT_EQ(px(U'▕').lit(), px(U'▏').lit()) << at;
        EXPECT_TRUE(px(U'▔').on(0, 0) && px(U'▕').on(size.w - 1, 0)) << at;
        // Quadrants split where the halves do and combine into the rest.
        const Pixels ul = px(U'▘'), ur = px(U'▝'), ll = px(U'▖'), lr = px(U'▗');
        EXPECT_EQ(ul | ur, px(U'▀')) << at;
        EXPECT_EQ(ll | lr, px(U'▄')) << at;
        EXPECT_EQ(ul | ll, px(U'▌')) << at;
        EXPECT_TRUE(ul.disjoint(ur) && ul.disjoint(ll) && lr.disjoint(ur) && lr.disjoint(ll));
        EXPECT_EQ(px(U'▙'), ul | ll | lr) << at;
        EXPECT_EQ(px(U'▛'), ul | ur | ll) << at;
        EXPECT_EQ(px(U'▜'), ul | ur | lr) << at;
        EXPECT_EQ(px(U'▟'), ur | ll | lr) << at;
        EXPECT_EQ(px(U'▚'), ul | lr) << at;
        EXPECT_EQ(px(U'▞'), ur | ll) << at;
    }
}

TEST(BoxDrawing, ShadesCoverTheCellAtTheirLevel) {
    const std::u32string shades = U"░▒▓";
    for (std::size_t i = 0; i < shades.size(); ++i) {
        const BoxGlyph g = box_glyph(shades[i], 9, 19, 1);
        ASSERT_EQ(g.fills.size(), 1u);
        EXPECT_EQ(g.fills[0], (BoxFill{{0, 0, 9, 19}, 25 * static_cast<int>(i + 1)}));
    }
    constexpr Rgb white{255, 255, 255}, black{0, 0, 0}, red{200, 0, 0}, blue{0, 0, 100};
    EXPECT_EQ(blend(white, black, 50), (Rgb{128, 128, 128}));
    EXPECT_EQ(blend(red, blue, 25), (Rgb{50, 0, 75}));
    EXPECT_EQ(blend(red, blue, 100), red);
    EXPECT_EQ(blend(red, blue, 0), blue);
}

}  // namespace
}  // namespace tolvar::app
