#include "scrollback.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <span>

#include "char_width.hpp"
#include "tolvar/core/utf.hpp"

// A line is: flags (bit 0: wrapped, bits 1-2: the LineSize), varint columns, varint text length,
// varint runs length, the text, the runs.
//
// The text has one token per cell, in order, up to the last cell that is not
// a default cell:
//   0x20-0x7e       a narrow ASCII character
//   0x00            an empty cell
//   UTF-8 sequence  one non-ASCII character; when it is wide, the plain
//                   continuation cell after it is implied
//   0x01 f cps...   anything else: f = count of code points (bits 0-2), wide
//                   (bit 3), continuation (bit 4); then the code points
// The runs give the attributes of consecutive tokens: varint count, a tag
// byte (mode bits 0-3, foreground kind bits 4-5, background kind bits 6-7)
// and the colour payloads (1 byte indexed, 3 bytes RGB). Tokens past the
// last run have default attributes, so plain text has no runs at all.
//
// A pen with the newer attributes (faint, strikethrough, conceal, an
// underline style or colour) writes 3 as the foreground kind, which no colour
// has, and then: a byte with the real foreground kind (bits 0-1), faint,
// strikethrough and conceal (bits 2-4) and the underline style (bits 5-7),
// and a varint underline colour index, before the colour payloads. Other
// pens encode as they always did.

namespace tolvar::pty {
namespace {

constexpr std::uint32_t k_block_size = 64 * 1024;
constexpr std::uint8_t k_generic = 0x01;
constexpr unsigned k_extended_kind = 3;

// The plane's three-byte characters, nearly all non-ASCII text, first.
[[gnu::always_inline]] inline std::uint8_t* put_utf8(std::uint8_t* p, char32_t cp) {
    if (cp >= 0x800 && cp < 0x10000) {
        p[0] = static_cast<std::uint8_t>(0xe0 | cp >> 12);
        p[1] = static_cast<std::uint8_t>(0x80 | (cp >> 6 & 0x3f));
        p[2] = static_cast<std::uint8_t>(0x80 | (cp & 0x3f));
        return p + 3;
    }
    return reinterpret_cast<std::uint8_t*>(core::write_utf8(cp, reinterpret_cast<char*>(p)));
}

// Writes into a buffer sized beforehand for the worst case.
struct Writer {
    std::uint8_t* p;

    void byte(unsigned b) { *p++ = static_cast<std::uint8_t>(b); }
    void varint(std::size_t v) {
        while (v >= 0x80) {
            byte((v & 0x7f) | 0x80);
            v >>= 7;
        }
        byte(static_cast<unsigned>(v));
    }
    void utf8(char32_t cp) { p = put_utf8(p, cp); }
    void color(std::uint32_t bits) {
        switch (bits >> 24 & 3) {
            case 1:
                byte(bits & 0xff);
                break;
            case 2:
                byte(bits >> 16 & 0xff);
                byte(bits >> 8 & 0xff);
                byte(bits & 0xff);
                break;
            default:
                break;
        }
    }
    void run(std::size_t count, const CellData& attrs) {
        varint(count);
        // The link bit is not encoded; links are kept beside the lines. Nor
        // is the protection: selective erases act on the screen alone.
        const unsigned mode = attrs.mode();
        const unsigned fg_kind = attrs.fg >> 24 & 3;
        const unsigned bg_kind = attrs.bg >> 24 & 3;
        if (mode < 16 && ((attrs.fg & ~CellData::k_protected_fg) | attrs.bg) >> 26 == 0) {
            byte(mode | fg_kind << 4 | bg_kind << 6);
        } else {
            extended_tag(attrs);
        }
        color(attrs.fg);
        color(attrs.bg);
    }
    // Kept apart so that the usual run stays small enough to inline.
    void extended_tag(const CellData& attrs) {
        byte((attrs.mode() & 15u) | k_extended_kind << 4 | (attrs.bg >> 24 & 3) << 6);
        byte((attrs.fg >> 24 & 3) | (attrs.mode() >> 4u) << 2 |
             unsigned{attrs.underline_style()} << 5);
        varint(attrs.underline_color());
    }
};

// Worst cases per cell: a generic token (2 + 6 code points of 4 bytes) and a
// run of its own (varint, tag, extension byte, underline colour varint, two
// RGB colours).
constexpr std::size_t k_max_token = 2 + 6 * 4;
constexpr std::size_t k_max_run = 3 + 1 + 1 + 2 + 6;

std::size_t get_varint(const std::uint8_t*& p) {
    std::size_t v = 0;
    int shift = 0;
    while (*p & 0x80) {
        v |= static_cast<std::size_t>(*p++ & 0x7f) << shift;
        shift += 7;
    }
    return v | static_cast<std::size_t>(*p++) << shift;
}

// The encoder writes only well-formed UTF-8, so no check is needed here.
char32_t get_utf8(const std::uint8_t*& p) {
    const unsigned b = *p++;
    if (b < 0xe0) return static_cast<char32_t>((b & 0x1f) << 6 | (*p++ & 0x3f));
    if (b < 0xf0) {
        const unsigned cp = (b & 0x0f) << 12 | (p[0] & 0x3fu) << 6 | (p[1] & 0x3fu);
        p += 2;
        return static_cast<char32_t>(cp);
    }
    const unsigned cp =
        (b & 0x07) << 18 | (p[0] & 0x3fu) << 12 | (p[1] & 0x3fu) << 6 | (p[2] & 0x3fu);
    p += 3;
    return static_cast<char32_t>(cp);
}

std::uint32_t get_color(const std::uint8_t*& p, unsigned kind) {
    switch (kind) {
        case 1:
            return 1u << 24 | *p++;
        case 2: {
            const std::uint32_t v =
                2u << 24 | std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
            p += 3;
            return v;
        }
        default:
            return 0;
    }
}

}  // namespace

void Scrollback::push(const RowView& row) {
    ++pushed_;
    if (capacity_ == 0) return;
    encode(row);
    store(row);
    if (row.links != nullptr && !row.links->empty()) {
        // The grid keeps them in column order; stale entries are skipped.
        std::vector<LinkRun> runs;
        for (const LinkedCell& c : *row.links) {
            if (c.col >= row.cols || !row.cells[c.col].linked()) continue;
            if (!runs.empty() && runs.back().id == c.id &&
                runs.back().col + runs.back().count == c.col) {
                ++runs.back().count;
            } else {
                runs.push_back({c.col, 1, c.id});
            }
        }
        if (!runs.empty()) {
            runs.shrink_to_fit();
            linked_.push_back({pushed_ - 1, std::move(runs)});
        }
    }
    if (rows_.size() > capacity_) evict_oldest();
}

void Scrollback::clear() {
    blocks_.clear();
    tail_ = nullptr;
    rows_.clear();
    linked_.clear();
    first_block_ = 0;
}

void Scrollback::encode(const RowView& row) {
    std::uint16_t n = row.extent;
    while (n > 0 && row.cells[n - 1].is_default()) --n;
    if (text_.size() < n * k_max_token) text_.resize(n * k_max_token);
    if (runs_.size() < n * k_max_run) runs_.resize(n * k_max_run);
    Writer text{text_.data()};
    Writer runs{runs_.data()};

    // Marks in column order, met by a cursor as the row is walked.
    // Text printed left to right leaves them so already; only edits that
    // move cells (insert, delete) need the sorted copy.
    std::span<const Marks> marks;
    if (row.marks != nullptr && !row.marks->empty()) {
        const auto by_col = [](const Marks& a, const Marks& b) { return a.col < b.col; };
        marks = *row.marks;
        if (!std::is_sorted(marks.begin(), marks.end(), by_col)) {
            sorted_marks_.assign(marks.begin(), marks.end());
            std::sort(sorted_marks_.begin(), sorted_marks_.end(), by_col);
            marks = sorted_marks_;
        }
    }
    const Marks* next_marks = marks.data();
    const Marks* const marks_end = next_marks + marks.size();
    // Locals, since every byte stored through a writer could alias what is
    // read through row.
    const CellData* const cells = row.cells;
    const std::uint16_t cols = row.cols;
    std::uint8_t* out = text.p;
    // The open run's attributes (the word's top byte), the defaults first;
    // apart, so that they stay in registers.
    std::uint32_t run_word = 0;
    std::uint32_t run_fg = 0;
    std::uint32_t run_bg = 0;
    std::uint64_t run_colors = 0;  // fg and bg as they lie in a cell
    std::size_t run_len = 0;
    for (std::uint16_t col = 0; col < n;) {
        const CellData& c = cells[col];
        const std::uint32_t word = c.word;
        std::uint64_t colors;
        static_assert(offsetof(CellData, bg) == offsetof(CellData, fg) + 4);
        std::memcpy(&colors, reinterpret_cast<const char*>(&c) + offsetof(CellData, fg),
                    sizeof colors);
        if (((word ^ run_word) >> 24 | (colors ^ run_colors)) != 0) {
            if (run_len > 0) runs.run(run_len, CellData{run_word, run_fg, run_bg});
            run_word = word & 0xff000000u;
            run_fg = c.fg;
            run_bg = c.bg;
            run_colors = colors;
            run_len = 0;
        }
        ++run_len;
        // The character with its wide, continuation and marks bits.
        const std::uint32_t low = word & 0xffffffu;
        if (low < 0x7f && (low >= 0x20 || low == 0)) {
            if ((word | colors) == 0 && col + 4 <= n) {
                // Empty default cells, as before text that a bare line feed
                // left at the right: four at a time, this one (counted) first.
                const std::uint16_t from = col;
                for (; col + 4 <= n; col += 4, out += 4) {
                    std::uint64_t four[6];
                    std::memcpy(four, &cells[col], sizeof four);
                    if ((four[0] | four[1] | four[2] | four[3] | four[4] | four[5]) != 0) break;
                    std::memset(out, 0, 4);
                }
                if (col != from) {
                    run_len += col - from - 1u;
                    continue;
                }
            }
            // Plain ASCII in the run's attributes, the usual case: one byte a
            // cell, in a tight loop.
            *out++ = static_cast<std::uint8_t>(low);
            ++col;
            while (col < n) {
                const CellData& next = cells[col];
                const std::uint32_t ch = next.word ^ run_word;
                if (ch >= 0x7f || (ch < 0x20 && ch != 0) || next.fg != run_fg ||
                    next.bg != run_bg) {
                    break;
                }
                *out++ = static_cast<std::uint8_t>(ch);
                ++run_len;
                ++col;
            }
            continue;
        }
        // One character whose width the decoder can tell from the character
        // alone; after a wide one the continuation is implied when it is
        // plain. Characters of the plane first, which is nearly all text.
        const std::uint32_t cp = low & ~CellData::k_wide;
        const bool wide = cp != low;
        const auto implied_cont = [&] {
            return col + 1 < cols && cells[col + 1].word == CellData::k_cont &&
                   (cells[col + 1].fg | cells[col + 1].bg) == 0;
        };
        if (cp - 0x80 < 0x10000 - 0x80) {
            if ((bmp_width(cp) == 2) == wide && (!wide || implied_cont())) {
                if (cp < 0x800) {
                    out[0] = static_cast<std::uint8_t>(0xc0 | cp >> 6);
                    out[1] = static_cast<std::uint8_t>(0x80 | (cp & 0x3f));
                    out += 2;
                } else {
                    out[0] = static_cast<std::uint8_t>(0xe0 | cp >> 12);
                    out[1] = static_cast<std::uint8_t>(0x80 | (cp >> 6 & 0x3f));
                    out[2] = static_cast<std::uint8_t>(0x80 | (cp & 0x3f));
                    out += 3;
                }
                if (wide) {
                    col = static_cast<std::uint16_t>(col + 2);
                    continue;
                }
                // The same narrow cell again (a line of replacement
                // characters or of box drawing): the same bytes again.
                const std::size_t size = cp < 0x800 ? 2 : 3;
                std::uint32_t token = 0;
                std::memcpy(&token, out - size, size);
                ++col;
                while (col < n && cells[col].word == word &&
                       std::memcmp(&cells[col].fg, &colors, sizeof colors) == 0) {
                    std::memcpy(out, &token, 4);  // the buffer has room for a token more
                    out += size;
                    ++run_len;
                    ++col;
                }
                continue;
            }
        } else if (cp >= 0x10000 && cp <= CellData::k_cp_mask) {
            if ((char_width(cp) == 2) == wide && (!wide || implied_cont())) {
                out = put_utf8(out, cp);
                col = static_cast<std::uint16_t>(col + (wide ? 2 : 1));
                continue;
            }
        }
        // Anything else: a generic token.
        const char32_t base = low & CellData::k_cp_mask;
        int marks_count = 0;
        const char32_t* mark_cps = nullptr;
        if ((low & CellData::k_marks) != 0) {
            while (next_marks != marks_end && next_marks->col < col) ++next_marks;
            if (next_marks != marks_end && next_marks->col == col) {
                marks_count = next_marks->count;
                mark_cps = next_marks->cps;
            }
        }
        static_assert(CellData::k_wide >> 18 == 8 && CellData::k_cont >> 18 == 16);
        out[0] = k_generic;
        out[1] = static_cast<std::uint8_t>((base == 0 ? 0 : 1 + marks_count) | (low >> 18 & 24));
        out += 2;
        if (base != 0) {
            out = put_utf8(out, base);
            for (int i = 0; i < marks_count; ++i) out = put_utf8(out, mark_cps[i]);
        }
        ++col;
    }
    text.p = out;
    if (run_len > 0 && (run_word | run_fg | run_bg) != 0)
        runs.run(run_len, CellData{run_word, run_fg, run_bg});
    text_len_ = static_cast<std::size_t>(text.p - text_.data());
    runs_len_ = static_cast<std::size_t>(runs.p - runs_.data());
}

bool Scrollback::push_short_plain(const CellData* cells, std::uint16_t extent,
                                  std::uint16_t cols, bool wrapped) {
    if (extent > k_short || tail_ == nullptr || capacity_ == 0) return false;
    std::uint16_t n = extent;
    while (n > 0 && cells[n - 1].is_default()) --n;
    if (cols != short_header_cols_) {
        std::uint8_t code[4] = {};
        Writer h{code + 1};
        h.varint(cols);
        short_header_len_ = static_cast<std::uint8_t>(h.p - code);
        std::memcpy(&short_header_, code, sizeof short_header_);
        short_header_cols_ = cols;
    }
    Block& block = *tail_;
    // The flag and width, the text's length (one byte a cell), the runs' (0).
    const std::uint32_t header = short_header_len_ + 2u;
    const std::uint32_t need = header + n;
    if (block.size - block.used < need) return false;
    std::uint8_t* const start = block.data.get() + block.used;
    std::uint8_t* p = start + header;
    for (std::uint16_t col = 0; col < n; ++col) {
        // The whole word: no attribute, link or wide bit, no mark.
        const CellData& c = cells[col];
        if ((c.fg | c.bg) != 0 || c.word >= 0x7f || (c.word < 0x20 && c.word != 0)) return false;
        *p++ = static_cast<std::uint8_t>(c.word);
    }
    // At most four bytes, all before the text.
    std::uint8_t code[4];
    std::memcpy(code, &short_header_, sizeof code);
    code[0] = wrapped ? 1 : 0;
    std::memcpy(start, code, short_header_len_);
    start[short_header_len_] = static_cast<std::uint8_t>(n);
    start[short_header_len_ + 1] = 0;
    ++pushed_;
    const Line line{tail_id_, block.used};
    block.used += need;
    if (rows_.size() < capacity_) {
        rows_.push_back(line, capacity_);
        return true;
    }
    // evict_oldest, its usual case here: no link and no block goes.
    rows_.push_back_pop_front(line);
    if (!linked_.empty() || first_block_ < rows_.front().block) evict_from_blocks();
    return true;
}

void Scrollback::store(const RowView& row) {
    std::uint8_t header[1 + 3 * 10];
    Writer h{header};
    h.byte((row.wrapped ? 1 : 0) | static_cast<unsigned>(row.size) << 1);
    h.varint(row.cols);
    h.varint(text_len_);
    h.varint(runs_len_);
    const auto header_len = static_cast<std::size_t>(h.p - header);
    const std::size_t need = header_len + text_len_ + runs_len_;
    if (tail_ == nullptr || tail_->size - tail_->used < need) {
        Block block;
        block.size = static_cast<std::uint32_t>(std::max<std::size_t>(k_block_size, need));
        block.data = std::make_unique_for_overwrite<std::uint8_t[]>(block.size);
        blocks_.push_back(std::move(block));
        tail_ = &blocks_.back();
        tail_id_ = first_block_ + static_cast<std::uint32_t>(blocks_.size() - 1);
    }
    Block& block = *tail_;
    std::uint8_t* p = block.data.get() + block.used;
    std::memcpy(p, header, header_len);
    // An empty row has no buffers yet, and memcpy from null is undefined
    // even for zero bytes.
    if (text_len_ > 0) std::memcpy(p + header_len, text_.data(), text_len_);
    if (runs_len_ > 0) std::memcpy(p + header_len + text_len_, runs_.data(), runs_len_);
    rows_.push_back({tail_id_, block.used}, capacity_);
    block.used += static_cast<std::uint32_t>(need);
}

void Scrollback::LineRing::grow(std::size_t limit) {
    // Doubling, but never past the most the history holds at once: its
    // capacity and the line pushed before the oldest goes.
    const std::size_t most = limit == SIZE_MAX ? limit : limit + 1;
    const std::size_t n = std::max(size_ + 1, std::min(std::max<std::size_t>(16, 2 * size_), most));
    std::vector<Line> slots(n);
    for (std::size_t i = 0; i < size_; ++i) slots[i] = slots_[wrap(head_ + i)];
    slots_ = std::move(slots);
    head_ = 0;
}

void Scrollback::evict_oldest() {
    rows_.pop_front();
    evict_from_blocks();
}

void Scrollback::evict_from_blocks() {
    while (!linked_.empty() && linked_.front().number < first_number()) linked_.pop_front();
    if (rows_.empty()) {
        blocks_.clear();
        tail_ = nullptr;
        return;
    }
    while (first_block_ < rows_.front().block) {
        blocks_.pop_front();
        ++first_block_;
    }
}

const std::vector<LinkRun>* Scrollback::links(std::size_t line) const {
    const std::uint64_t number = first_number() + line;
    const auto it =
        std::lower_bound(linked_.begin(), linked_.end(), number,
                         [](const LinkedLine& l, std::uint64_t n) { return l.number < n; });
    return it != linked_.end() && it->number == number ? &it->runs : nullptr;
}

LineReader Scrollback::reader(std::size_t line) const {
    LineReader r;
    const Line& ref = rows_.at(line);
    const Block& block = blocks_[ref.block - first_block_];
    const std::uint8_t* p = block.data.get() + ref.offset;
    r.wrapped_ = (*p & 1) != 0;
    r.size_ = static_cast<LineSize>(*p++ >> 1 & 3);
    r.cols_ = static_cast<std::uint16_t>(get_varint(p));
    const std::size_t text_len = get_varint(p);
    const std::size_t runs_len = get_varint(p);
    r.text_ = r.tokens_ = p;
    r.text_end_ = r.runs_ = p + text_len;
    r.runs_end_ = r.runs_ + runs_len;
    return r;
}

bool LineReader::token(CellData& cell, Marks& marks) {
    marks.col = col_;
    marks.count = 0;
    if (pending_cont_) {
        pending_cont_ = false;
        cell = CellData{CellData::k_cont, 0, 0};
        ++col_;
        return true;
    }
    if (text_ >= text_end_ || col_ >= cols_) return false;
    const std::uint8_t b = *text_;
    if (b < 0x80 && b != k_generic) {
        cell.word |= b;
        ++text_;
    } else {
        const auto next_cp = [this]() -> char32_t {
            return *text_ < 0x80 ? *text_++ : get_utf8(text_);
        };
        if (b == k_generic) {
            const std::uint8_t f = text_[1];
            text_ += 2;
            if (f & 8) cell.word |= CellData::k_wide;
            if (f & 16) cell.word |= CellData::k_cont;
            const int count = f & 7;
            for (int i = 0; i < count; ++i) {
                const char32_t cp = next_cp();
                if (i == 0) {
                    cell.word |= cp;
                } else {
                    marks.cps[marks.count++] = cp;
                }
            }
            if (marks.count > 0) cell.word |= CellData::k_marks;
        } else {
            const char32_t cp = next_cp();
            cell.word |= cp;
            if (char_width(cp) == 2) {
                cell.word |= CellData::k_wide;
                pending_cont_ = col_ + 1 < cols_;
            }
        }
    }
    ++col_;
    return true;
}

bool LineReader::next_text(CellData& cell, Marks& marks) {
    cell = CellData{};
    return token(cell, marks);
}

bool LineReader::next(CellData& cell, Marks& marks) {
    cell = CellData{};
    // The implied right half of a wide character has no run of its own.
    if (!pending_cont_ && text_ < text_end_ && col_ < cols_) {
        if (run_left_ == 0) {
            if (runs_ < runs_end_) {
                run_left_ = get_varint(runs_);
                const std::uint8_t tag = *runs_++;
                unsigned mode = tag & 0x0f;
                unsigned fg_kind = (tag >> 4) & 3;
                Attrs extra;
                if (fg_kind == k_extended_kind) {
                    const std::uint8_t ext = *runs_++;
                    fg_kind = ext & 3;
                    mode |= (ext >> 2 & 7u) << 4;
                    extra.underline_style = static_cast<std::uint8_t>(ext >> 5);
                    extra.underline_color = static_cast<std::uint16_t>(get_varint(runs_));
                }
                extra.mode = static_cast<std::uint8_t>(mode);
                run_attrs_ = CellData::blank(extra);
                run_attrs_.fg |= get_color(runs_, fg_kind);
                run_attrs_.bg |= get_color(runs_, (tag >> 6) & 3);
            } else {
                run_attrs_ = CellData{};
                run_left_ = ~std::size_t{0};
            }
        }
        --run_left_;
        cell = run_attrs_;
    }
    return token(cell, marks);
}

bool LineReader::append_simple_text(Fold fold, std::string& out, bool& ascii) const {
    const std::uint8_t* p = tokens_;
    auto n = static_cast<std::size_t>(text_end_ - tokens_);
    // One pass that vectorises: every other token starts with k_generic, and
    // non-ASCII bytes all have the top bit.
    unsigned generic = 0;
    unsigned bits = 0;
    for (std::size_t i = 0; i < n; ++i) {
        generic |= unsigned{p[i] == k_generic};
        bits |= p[i];
    }
    if (generic != 0) return false;
    ascii = (bits & 0x80) == 0;
    while (n > 0 && p[n - 1] == 0) --n;
    const std::size_t at = out.size();
    if (ascii || fold == nullptr) {
        // Byte for byte: empty cells become spaces, upper case lower.
        const unsigned lower = fold != nullptr ? 0x20u : 0u;
        out.resize(at + n);
        char* dst = out.data() + at;
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned b = p[i];
            *dst++ = static_cast<char>(b | (b == 0 ? 0x20u : 0u) | (b - 'A' < 26u ? lower : 0u));
        }
        return true;
    }
    // A character's lower case takes at most twice its bytes (U+0130: 2 to 3).
    out.resize(at + 2 * n);
    char* dst = out.data() + at;
    for (std::size_t i = 0; i < n;) {
        const unsigned b = p[i];
        if (b < 0x80) {
            *dst++ = static_cast<char>(b == 0 ? 0x20u : b - 'A' < 26u ? b | 0x20u : b);
            ++i;
            continue;
        }
        const std::uint8_t* q = p + i;
        dst = fold(get_utf8(q), dst);
        i = static_cast<std::size_t>(q - p);
    }
    out.resize(static_cast<std::size_t>(dst - out.data()));
    return true;
}

std::size_t Scrollback::bytes() const {
    std::size_t total = rows_.size() * sizeof(Line);
    for (const Block& b : blocks_) total += b.size;
    for (const LinkedLine& l : linked_) total += sizeof(l) + l.runs.capacity() * sizeof(LinkRun);
    return total;
}

}  // namespace tolvar::pty
