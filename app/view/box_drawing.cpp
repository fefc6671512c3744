#include "view/box_drawing.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tolvar::app {
namespace {

constexpr char32_t k_first = 0x2500;
constexpr char32_t k_last = 0x259F;
// The scan lines 1, 3, 7 and 9 of DEC special graphics; few fonts have them.
constexpr char32_t k_first_scan = 0x23BA;
constexpr char32_t k_last_scan = 0x23BD;

enum class Weight : std::uint8_t { none, light, heavy, doubled };

struct Arms {
    Weight left = Weight::none;
    Weight up = Weight::none;
    Weight right = Weight::none;
    Weight down = Weight::none;
};

// U+2500..U+257F, four characters each: the left, up, right and down arms,
// '.' none, 'l' light, 'h' heavy, 'd' double. The dashes, arcs and diagonals
// among them are shaped below; their entries give the arms they stand for.
// clang-format off
constexpr const char* k_arms[128] = {
    // U+2500
    "l.l.", "h.h.", ".l.l", ".h.h", "l.l.", "h.h.", ".l.l", ".h.h",
    "l.l.", "h.h.", ".l.l", ".h.h", "..ll", "..hl", "..lh", "..hh",
    // U+2510
    "l..l", "h..l", "l..h", "h..h", ".ll.", ".lh.", ".hl.", ".hh.",
    "ll..", "hl..", "lh..", "hh..", ".lll", ".lhl", ".hll", ".llh",
    // U+2520
    ".hlh", ".hhl", ".lhh", ".hhh", "ll.l", "hl.l", "lh.l", "ll.h",
    "lh.h", "hh.l", "hl.h", "hh.h", "l.ll", "h.ll", "l.hl", "h.hl",
    // U+2530
    "l.lh", "h.lh", "l.hh", "h.hh", "lll.", "hll.", "llh.", "hlh.",
    "lhl.", "hhl.", "lhh.", "hhh.", "llll", "hlll", "llhl", "hlhl",
    // U+2540
    "lhll", "lllh", "lhlh", "hhll", "lhhl", "hllh", "llhh", "hhhl",
    "hlhh", "hhlh", "lhhh", "hhhh", "l.l.", "h.h.", ".l.l", ".h.h",
    // U+2550
    "d.d.", ".d.d", "..dl", "..ld", "..dd", "d..l", "l..d", "d..d",
    ".ld.", ".dl.", ".dd.", "dl..", "ld..", "dd..", ".ldl", ".dld",
    // U+2560
    ".ddd", "dl.l", "ld.d", "dd.d", "d.dl", "l.ld", "d.dd", "dld.",
    "ldl.", "ddd.", "dldl", "ldld", "dddd", "..ll", "l..l", "ll..",
    // U+2570
    ".ll.", "....", "....", "....", "l...", ".l..", "..l.", "...l",
    "h...", ".h..", "..h.", "...h", "l.h.", ".l.h", "h.l.", ".h.l",
};
// clang-format on

constexpr Weight weight(char c) {
    switch (c) {
        case 'l':
            return Weight::light;
        case 'h':
            return Weight::heavy;
        case 'd':
            return Weight::doubled;
        default:
            return Weight::none;
    }
}

Arms arms_of(char32_t cp) {
    const char* a = k_arms[cp - k_first];
    return {weight(a[0]), weight(a[1]), weight(a[2]), weight(a[3])};
}

// Dashes in one cell for the dashed lines, 0 for the rest.
int dash_count(char32_t cp) {
    if (cp >= 0x2504 && cp <= 0x2507) return 3;
    if (cp >= 0x2508 && cp <= 0x250B) return 4;
    if (cp >= 0x254C && cp <= 0x254F) return 2;
    return 0;
}

// Heavy keeps the light line's parity so that both share a centre pixel row.
int heavy_of(int s) {
    return 2 * s + (s & 1);
}

int width_of(Weight w, int s) {
    switch (w) {
        case Weight::light:
            return s;
        case Weight::heavy:
            return heavy_of(s);
        case Weight::doubled:
            return 3 * s;
        case Weight::none:
            break;
    }
    return 0;
}

Weight wider(Weight a, Weight b) {
    return width_of(a, 1) >= width_of(b, 1) ? a : b;
}

struct Span {
    int lo = 0;
    int hi = 0;
};

// A band `width` wide centred on the light line that starts at `light_lo`;
// every weight differs from light by an even width, so the centre is exact.
Span band(int light_lo, int s, int width) {
    const int lo = light_lo - (width - s) / 2;
    return {lo, lo + width};
}

class Builder {
  public:
    Builder(int w, int h) : w_(w), h_(h) {}

    void rect(Rect r, int percent = 100) {
        r.left = std::max(r.left, 0);
        r.top = std::max(r.top, 0);
        r.right = std::min(r.right, w_);
        r.bottom = std::min(r.bottom, h_);
        if (r.left < r.right && r.top < r.bottom) glyph_.fills.push_back({r, percent});
        last_was_row_ = false;
    }

    // Columns [lo, hi) of one row; a row that repeats the one above it
    // lengthens that row's rectangle.
    void row(int y, int lo, int hi) {
        lo = std::max(lo, 0);
        hi = std::min(hi, w_);
        if (lo >= hi) return;
        if (!glyph_.fills.empty()) {
            Rect& last = glyph_.fills.back().rect;
            if (last.bottom == y && last.left == lo && last.right == hi && last_was_row_) {
                ++last.bottom;
                return;
            }
        }
        rect({lo, y, hi, y + 1});
        last_was_row_ = true;
    }
    void end_rows() { last_was_row_ = false; }

    BoxGlyph take() { return std::move(glyph_); }

  private:
    int w_;
    int h_;
    bool last_was_row_ = false;
    BoxGlyph glyph_;
};

// The arms along one axis. `length` is the cell's size along it; `own_lo`
// is where this axis's light line starts across the cell, `cross_lo` where
// the crossing axis's light line starts along it. `emit(along, across)`.
template <class Emit>
void axis_arms(Weight neg, Weight pos, Weight cross_neg, Weight cross_pos, int length, int own_lo,
               int cross_lo, int s, Emit emit) {
    const Weight widest_cross = wider(cross_neg, cross_pos);
    const bool cross_double = cross_neg == Weight::doubled || cross_pos == Weight::doubled;
    for (const bool is_neg : {true, false}) {
        const Weight w = is_neg ? neg : pos;
        if (w == Weight::none) continue;
        if (w != Weight::doubled) {
            // Into the widest crossing line, so the join has no notch; to
            // the centre when nothing crosses.
            const Span reach = widest_cross == Weight::none
                                   ? Span{cross_lo, cross_lo + s}
                                   : band(cross_lo, s, width_of(widest_cross, s));
            emit(is_neg ? Span{0, reach.hi} : Span{reach.lo, length},
                 band(own_lo, s, width_of(w, s)));
            continue;
        }
        for (const bool first_line : {true, false}) {
            const Span across =
                first_line ? Span{own_lo - s, own_lo} : Span{own_lo + s, own_lo + 2 * s};
            // Against a crossing double line, the line on the side of a
            // crossing arm turns into that arm's near line (inner corner);
            // the other one runs on to the far line (outer corner).
            int neg_end = cross_lo + s;
            int pos_start = cross_lo;
            if (cross_double) {
                if ((first_line ? cross_neg : cross_pos) == Weight::doubled) {
                    neg_end = cross_lo;
                    pos_start = cross_lo + s;
                } else {
                    neg_end = cross_lo + 2 * s;
                    pos_start = cross_lo - s;
                }
            }
            emit(is_neg ? Span{0, neg_end} : Span{pos_start, length}, across);
        }
    }
}

struct Frame {
    int w;
    int h;
    int s;
    int vx;  // first column of the light vertical line
    int hy;  // first row of the light horizontal line
};

void lines(const Frame& f, const Arms& a, Builder& out) {
    axis_arms(a.left, a.right, a.up, a.down, f.w, f.hy, f.vx, f.s, [&](Span along, Span across) {
        out.rect({along.lo, across.lo, along.hi, across.hi});
    });
    axis_arms(a.up, a.down, a.left, a.right, f.h, f.vx, f.hy, f.s, [&](Span along, Span across) {
        out.rect({across.lo, along.lo, across.hi, along.hi});
    });
}

// `n` dashes per cell, each centred in its share of the cell so that the gap
// between two cells is as wide as the gaps inside one.
void dashes(const Frame& f, const Arms& a, int n, Builder& out) {
    const bool horizontal = a.left != Weight::none;
    const int length = horizontal ? f.w : f.h;
    const Span across =
        horizontal ? band(f.hy, f.s, width_of(a.left, f.s)) : band(f.vx, f.s, width_of(a.up, f.s));
    const int gap = std::max(1, (2 * length + 3 * n) / (6 * n));  // a third of a share
    for (int i = 0; i < n; ++i) {
        const int lo = (2 * i * length + n) / (2 * n);
        const int hi = (2 * (i + 1) * length + n) / (2 * n);
        const int g = std::clamp(hi - lo - 1, 0, gap);  // a tiny cell keeps a pixel of dash
        const Span along{lo + g / 2, hi - (g - g / 2)};
        if (horizontal) {
            out.rect({along.lo, across.lo, along.hi, across.hi});
        } else {
            out.rect({across.lo, along.lo, across.hi, along.hi});
        }
    }
}

// A quarter circle from one edge's line to the other's, with straight pieces
// of at least a pixel at both edges so the ends meet the neighbours' lines
// exactly. The circle's centre lands on a pixel corner, so no pixel centre is
// ever on the boundary of a quadrant.
void arc(const Frame& f, const Arms& a, Builder& out) {
    const int sx = a.right != Weight::none ? 1 : -1;
    const int sy = a.down != Weight::none ? 1 : -1;
    const double s = f.s;
    const double cx = f.vx + s / 2;
    const double cy = f.hy + s / 2;
    const double reach_x = sx > 0 ? f.w - cx : cx;
    const double reach_y = sy > 0 ? f.h - cy : cy;
    const double r = std::max(0.5, std::min(reach_x, reach_y) - 1);
    const double ox = cx + sx * r;
    const double oy = cy + sy * r;
    const double inner = std::max(0.0, r - s / 2);
    const double outer = r + s / 2;

    // The straight pieces: pixels whose centre lies past the circle's centre.
    const int x_split = static_cast<int>(std::ceil(ox - 0.5));
    const int y_split = static_cast<int>(std::ceil(oy - 0.5));
    if (sx > 0) {
        out.rect({x_split, f.hy, f.w, f.hy + f.s});
    } else {
        out.rect({0, f.hy, x_split, f.hy + f.s});
    }
    if (sy > 0) {
        out.rect({f.vx, y_split, f.vx + f.s, f.h});
    } else {
        out.rect({f.vx, 0, f.vx + f.s, y_split});
    }

    const int y0 = sy > 0 ? 0 : y_split;
    const int y1 = sy > 0 ? y_split : f.h;
    const int x0 = sx > 0 ? 0 : x_split;
    const int x1 = sx > 0 ? x_split : f.w;
    for (int y = y0; y < y1; ++y) {
        const double dy = y + 0.5 - oy;
        int lo = x1;
        int hi = x0;
        for (int x = x0; x < x1; ++x) {
            const double dx = x + 0.5 - ox;
            const double d2 = dx * dx + dy * dy;
            if (d2 >= inner * inner && d2 <= outer * outer) {
                lo = std::min(lo, x);
                hi = std::max(hi, x + 1);
            }
        }
        out.row(y, lo, hi);
    }
    out.end_rows();
}

// From corner to corner, `s` thick across the line; each row takes the
// columns the band crosses within it, at least one, so the line has no gaps
// however flat it lies.
void diagonal(const Frame& f, bool rising, Builder& out) {
    const double w = f.w;
    const double h = f.h;
    const double half = f.s * std::sqrt(w * w + h * h) / h / 2;
    const auto centre = [&](double y) { return rising ? w * (1 - y / h) : w * y / h; };
    for (int y = 0; y < f.h; ++y) {
        const double a = centre(y);
        const double b = centre(y + 1);
        const double lo = std::min(a, b) - half;
        const double hi = std::max(a, b) + half;
        int first = static_cast<int>(std::ceil(lo - 0.5));
        int last = static_cast<int>(std::floor(hi - 0.5));
        first = std::max(first, 0);
        last = std::min(last, f.w - 1);
        if (first > last) first = last = std::clamp(static_cast<int>((a + b) / 2), 0, f.w - 1);
        out.row(y, first, last + 1);
    }
    out.end_rows();
}

// The boundary k eighths of `length` in from an edge. Rounded once and
// shared by every block, so a bar of eighths grows by whole steps and the
// halves and quadrants tile.
int eighth(int length, int k) {
    return (k * length + 4) / 8;
}

void blocks(char32_t cp, int w, int h, Builder& out) {
    const int mid_x = eighth(w, 4);
    const int mid_y = h - eighth(h, 4);
    const Rect upper_left{0, 0, mid_x, mid_y};
    const Rect upper_right{mid_x, 0, w, mid_y};
    const Rect lower_left{0, mid_y, mid_x, h};
    const Rect lower_right{mid_x, mid_y, w, h};
    if (cp >= 0x2581 && cp <= 0x2588) {
        out.rect({0, h - eighth(h, static_cast<int>(cp - 0x2580)), w, h});
    } else if (cp >= 0x2589 && cp <= 0x258F) {
        out.rect({0, 0, eighth(w, static_cast<int>(0x2590 - cp)), h});
    } else if (cp >= 0x2591 && cp <= 0x2593) {
        out.rect({0, 0, w, h}, static_cast<int>(cp - 0x2590) * 25);
    }
    switch (cp) {
        case 0x2580:
            out.rect({0, 0, w, mid_y});
            break;
        case 0x2590:
            out.rect({mid_x, 0, w, h});
            break;
        case 0x2594:
            out.rect({0, 0, w, eighth(h, 1)});
            break;
        case 0x2595:
            out.rect({w - eighth(w, 1), 0, w, h});
            break;
        case 0x2596:
            out.rect(lower_left);
            break;
        case 0x2597:
            out.rect(lower_right);
            break;
        case 0x2598:
            out.rect(upper_left);
            break;
        case 0x2599:
            out.rect(upper_left);
            out.rect({0, mid_y, w, h});
            break;
        case 0x259A:
            out.rect(upper_left);
            out.rect(lower_right);
            break;
        case 0x259B:
            out.rect({0, 0, w, mid_y});
            out.rect(lower_left);
            break;
        case 0x259C:
            out.rect({0, 0, w, mid_y});
            out.rect(lower_right);
            break;
        case 0x259D:
            out.rect(upper_right);
            break;
        case 0x259E:
            out.rect(upper_right);
            out.rect(lower_left);
            break;
        case 0x259F:
            out.rect(upper_right);
            out.rect({0, mid_y, w, h});
            break;
        default:
            break;
    }
}

}  // namespace

bool drawn_as_box(char32_t cp) {
    return (cp >= k_first && cp <= k_last) || (cp >= k_first_scan && cp <= k_last_scan);
}

int box_stroke(int cell_width, unsigned dpi) {
    const int by_dpi = std::max(1, static_cast<int>((dpi + 48) / 96));
    return std::max(1, std::min(by_dpi, cell_width / 4));
}

BoxGlyph box_glyph(char32_t cp, int cell_width, int cell_height, int light_stroke) {
    if (!drawn_as_box(cp) || cell_width <= 0 || cell_height <= 0) return {};
    Builder out(cell_width, cell_height);
    if (cp <= k_last_scan) {
        // Scan line n of nine, 5 being the middle line; so 1 is the top row
        // and 9 the bottom one.
        static constexpr int k_scan[] = {1, 3, 7, 9};
        const int s = std::max(1, std::min(light_stroke, cell_height / 4));
        const int y = (k_scan[cp - k_first_scan] - 1) * (cell_height - s) / 8;
        return BoxGlyph{{BoxFill{Rect{0, y, cell_width, y + s}}}};
    }
    if (cp >= 0x2580) {
        blocks(cp, cell_width, cell_height, out);
        return out.take();
    }
    // box_stroke's bound again, for any caller: a wider double line would touch
    // the cell edge and merge with its neighbour's.
    const int s = std::max(1, std::min(light_stroke, std::min(cell_width, cell_height) / 4));
    const Frame f{cell_width, cell_height, s, (cell_width - s) / 2, (cell_height - s) / 2};
    if (cp >= 0x2571 && cp <= 0x2573) {
        if (cp != 0x2572) diagonal(f, true, out);
        if (cp != 0x2571) diagonal(f, false, out);
        return out.take();
    }
    const Arms a = arms_of(cp);
    if (cp >= 0x256D && cp <= 0x2570) {
        arc(f, a, out);
    } else if (const int n = dash_count(cp)) {
        dashes(f, a, n, out);
    } else {
        lines(f, a, out);
    }
    return out.take();
}

Rgb blend(Rgb fg, Rgb bg, int percent) {
    const int p = std::clamp(percent, 0, 100);
    const auto mix = [p](std::uint8_t f, std::uint8_t b) {
        return static_cast<std::uint8_t>((f * p + b * (100 - p) + 50) / 100);
    };
    return {mix(fg.r, bg.r), mix(fg.g, bg.g), mix(fg.b, bg.b)};
}

}  // namespace tolvar::app
