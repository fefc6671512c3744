#include "commands/command_palette.hpp"

#include <algorithm>
#include <limits>

#include "tolvar/core/lowercase.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::app {

namespace {

// The score's parts. A boundary bonus outweighs a short gap, so "nt" takes
// the word starts of "New tab" over the run inside "Print"; a run outweighs
// the gaps of a scattered match.
constexpr int k_label_start = 10;
constexpr int k_word_start = 8;
constexpr int k_consecutive = 6;
constexpr int k_gap_open = 2;  // plus one per skipped code point
constexpr int k_unmatched = std::numeric_limits<int>::min() / 2;

struct CodePoint {
    std::size_t offset;
    char32_t folded;
    bool word_start;
};

// One code point's lower case, as a single code point to compare: the first
// of a longer mapping (U+0130 is "i" and a combining dot), and the final
// sigma as the medial one, so "σ" finds a word that ends in "ς".
char32_t fold(char32_t cp) {
    if (cp < 0x80) return static_cast<unsigned char>(core::ascii_lower(static_cast<char>(cp)));
    if (cp == 0x03C2) return 0x03C3;
    char buffer[8];
    const char* end = core::lowercase_utf8(cp, buffer);
    std::size_t pos = 0;
    return core::next_code_point(std::string_view(buffer, static_cast<std::size_t>(end - buffer)),
                                 pos);
}

bool is_separator(char32_t cp) {
    if (cp >= 0x80) return core::is_unicode_whitespace(cp);
    const bool alnum =
        (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9');
    return !alnum;
}

bool is_ascii_lower(char32_t cp) {
    return cp >= 'a' && cp <= 'z';
}

bool is_ascii_upper(char32_t cp) {
    return cp >= 'A' && cp <= 'Z';
}

// Invalid bytes count as U+FFFD each, as the text field would show them.
std::vector<CodePoint> decode(std::string_view text, std::size_t limit) {
    std::vector<CodePoint> out;
    char32_t previous = ' ';
    std::size_t pos = 0;
    while (pos < text.size() && out.size() < limit) {
        const std::size_t offset = pos;
        const char32_t cp = core::next_code_point(text, pos);
        const bool word_start =
            !is_separator(cp) &&
            (is_separator(previous) || (is_ascii_lower(previous) && is_ascii_upper(cp)));
        out.push_back({offset, fold(cp), word_start});
        previous = cp;
    }
    return out;
}

std::size_t code_points(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t pos = 0; pos < text.size(); ++n) core::next_code_point(text, pos);
    return n;
}

}  // namespace

std::optional<PaletteMatch> palette_match(std::string_view query, std::string_view label) {
    const std::vector<CodePoint> q = decode(query, std::numeric_limits<std::size_t>::max());
    if (q.empty()) return PaletteMatch{};
    const std::vector<CodePoint> l = decode(label, k_palette_label_limit);
    const std::size_t m = q.size();
    const std::size_t n = l.size();
    if (m > n) return std::nullopt;

    // best[i * n + j]: the best score of query[0..i] with query[i] at label
    // position j; from[...] the position query[i - 1] took for it.
    std::vector<int> best(m * n, k_unmatched);
    std::vector<std::size_t> from(m * n, 0);
    const auto bonus = [&](std::size_t j) {
        return j == 0 ? k_label_start : l[j].word_start ? k_word_start : 0;
    };
    for (std::size_t j = 0; j < n; ++j) {
        // Earlier beats later: each code point before the first match costs one.
        if (l[j].folded == q[0].folded) best[j] = bonus(j) - static_cast<int>(j);
    }
    for (std::size_t i = 1; i < m; ++i) {
        const int* above = &best[(i - 1) * n];
        int* row = &best[i * n];
        std::size_t* row_from = &from[i * n];
        // The best of above[k] + k over k <= j - 2: a gap from k to j costs
        // k_gap_open + (j - k - 1).
        int gapped = k_unmatched;
        std::size_t gapped_from = 0;
        for (std::size_t j = 1; j < n; ++j) {
            if (j >= 2 && above[j - 2] != k_unmatched &&
                above[j - 2] + static_cast<int>(j - 2) > gapped) {
                gapped = above[j - 2] + static_cast<int>(j - 2);
                gapped_from = j - 2;
            }
            if (l[j].folded != q[i].folded) continue;
            int score = k_unmatched;
            if (above[j - 1] != k_unmatched) {
                score = above[j - 1] + k_consecutive;
                row_from[j] = j - 1;
            }
            if (gapped != k_unmatched) {
                const int via_gap = gapped - static_cast<int>(j) + 1 - k_gap_open;
                if (via_gap > score) {
                    score = via_gap;
                    row_from[j] = gapped_from;
                }
            }
            if (score != k_unmatched) row[j] = score + bonus(j);
        }
    }
    const int* last = &best[(m - 1) * n];
    const auto end = std::max_element(last, last + n);
    if (*end == k_unmatched) return std::nullopt;

    PaletteMatch match;
    match.score = *end;
    match.positions.resize(m);
    std::size_t j = static_cast<std::size_t>(end - last);
    for (std::size_t i = m; i-- > 0;) {
        match.positions[i] = l[j].offset;
        if (i > 0) j = from[i * n + j];
    }
    return match;
}

std::vector<LabelRun> label_runs(std::string_view label,
                                 const std::vector<std::size_t>& positions) {
    std::vector<LabelRun> runs;
    auto next_position = positions.begin();
    std::size_t run_start = 0;
    bool run_matched = false;
    for (std::size_t pos = 0; pos < label.size();) {
        const std::size_t start = pos;
        while (next_position != positions.end() && *next_position < start) ++next_position;
        const bool matched = next_position != positions.end() && *next_position == start;
        if (start == 0) {
            run_matched = matched;
        } else if (matched != run_matched) {
            runs.push_back({label.substr(run_start, start - run_start), run_matched});
            run_start = start;
            run_matched = matched;
        }
        core::next_code_point(label, pos);
    }
    if (!label.empty()) runs.push_back({label.substr(run_start), run_matched});
    return runs;
}

std::size_t word_start_before(std::string_view text) {
    struct Piece {
        std::size_t offset;
        char32_t cp;
    };
    std::vector<Piece> pieces;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t offset = pos;
        pieces.push_back({offset, core::next_code_point(text, pos)});
    }
    std::size_t i = pieces.size();
    while (i > 0 && core::is_unicode_whitespace(pieces[i - 1].cp)) --i;
    if (i == 0) return 0;
    const bool word = !is_separator(pieces[i - 1].cp);
    while (i > 0 && !core::is_unicode_whitespace(pieces[i - 1].cp) &&
           !is_separator(pieces[i - 1].cp) == word) {
        --i;
    }
    return pieces[i].offset;
}

// ------------------------------------------------------------ recent entries

void RecentEntries::note(const std::string& label) {
    std::erase(labels_, label);
    labels_.push_front(label);
    if (labels_.size() > k_capacity) labels_.pop_back();
}

std::optional<std::size_t> RecentEntries::rank(std::string_view label) const {
    const auto at = std::find(labels_.begin(), labels_.end(), label);
    if (at == labels_.end()) return std::nullopt;
    return static_cast<std::size_t>(at - labels_.begin());
}

// ------------------------------------------------------------ the model

void CommandPalette::open(std::vector<PaletteEntry> entries) {
    entries_ = std::move(entries);
    open_ = true;
    set_query({});
}

void CommandPalette::close() {
    open_ = false;
    entries_.clear();
    ranked_.clear();
    query_.clear();
    selected_ = top_ = 0;
}

void CommandPalette::set_query(std::string query) {
    query_ = std::move(query);
    refilter();
    top_ = 0;
    select(0);
}

void CommandPalette::refilter() {
    ranked_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        auto match = palette_match(query_, entries_[i].label);
        if (!match) continue;
        ranked_.push_back(
            {i, match->score, code_points(entries_[i].label), std::move(match->positions)});
    }
    if (query_.empty()) {
        // Recent first, newest first; the rest as given.
        const auto recency = [&](const Ranked& r) {
            return recent_.rank(entries_[r.entry].label)
                .value_or(std::numeric_limits<std::size_t>::max());
        };
        std::stable_sort(ranked_.begin(), ranked_.end(),
                         [&](const Ranked& a, const Ranked& b) { return recency(a) < recency(b); });
        return;
    }
    std::stable_sort(ranked_.begin(), ranked_.end(), [](const Ranked& a, const Ranked& b) {
        if (a.score != b.score) return a.score > b.score;
        return a.length < b.length;
    });
}

void CommandPalette::set_page(std::size_t rows) {
    page_ = std::max<std::size_t>(rows, 1);
    keep_in_view();
}

void CommandPalette::select(std::size_t index) {
    selected_ = ranked_.empty() ? 0 : std::min(index, ranked_.size() - 1);
    keep_in_view();
}

void CommandPalette::keep_in_view() {
    if (selected_ < top_) top_ = selected_;
    if (selected_ >= top_ + page_) top_ = selected_ + 1 - page_;
    // No empty rows below the last entry while earlier ones are out of view.
    top_ = std::min(top_, ranked_.size() > page_ ? ranked_.size() - page_ : 0);
}

void CommandPalette::move(long delta) {
    if (ranked_.empty()) return;
    const long last = static_cast<long>(ranked_.size()) - 1;
    select(static_cast<std::size_t>(std::clamp(static_cast<long>(selected_) + delta, 0L, last)));
}

void CommandPalette::first() {
    select(0);
}

void CommandPalette::last() {
    if (!ranked_.empty()) select(ranked_.size() - 1);
}

void CommandPalette::scroll(long rows) {
    const long most = ranked_.size() > page_ ? static_cast<long>(ranked_.size() - page_) : 0;
    top_ = static_cast<std::size_t>(std::clamp(static_cast<long>(top_) + rows, 0L, most));
    selected_ = std::clamp(selected_, top_, top_ + page_ - 1);
    if (!ranked_.empty()) selected_ = std::min(selected_, ranked_.size() - 1);
}

std::optional<std::size_t> CommandPalette::choose() {
    if (!open_ || ranked_.empty()) return std::nullopt;
    const PaletteEntry& entry = entries_[ranked_[selected_].entry];
    recent_.note(entry.label);
    return entry.key;
}

std::optional<std::size_t> CommandPalette::choose_row(std::size_t row) {
    if (row >= page_ || top_ + row >= ranked_.size()) return std::nullopt;
    select(top_ + row);
    return choose();
}

std::optional<std::size_t> CommandPalette::selected() const {
    if (ranked_.empty()) return std::nullopt;
    return selected_;
}

CommandPalette::Shown CommandPalette::shown(std::size_t i) const {
    return {&entries_[ranked_[i].entry], &ranked_[i].positions};
}

// ------------------------------------------------------------ layout

PaletteLayout palette_layout(int client_width, int client_height, Scale scale, int text_height,
                             std::size_t matches) {
    PaletteLayout layout;
    layout.row_height = std::max(text_height + scale(8), scale(24));
    const int width = std::min(scale(640), std::max(client_width - scale(32), 0));
    const int left = (client_width - width) / 2;
    const int top = tab_bar_height(scale) + scale(6);
    const int pad = scale(6);
    layout.query = {left + pad, top + pad, left + width - pad, top + pad + layout.row_height};
    const int text = std::min(text_height, layout.row_height);
    const int text_top = layout.query.top + (layout.row_height - text) / 2;
    layout.edit = {layout.query.left + scale(6), text_top,
                   std::max(layout.query.right - scale(6), layout.query.left + scale(6)),
                   text_top + text};
    layout.first_row_top = layout.query.bottom + scale(4);
    // A margin under the box as wide as its padding.
    const int room = client_height - layout.first_row_top - 2 * pad;
    layout.capacity = std::clamp<std::size_t>(
        static_cast<std::size_t>(std::max(room / layout.row_height, 0)), 1, k_palette_max_rows);
    layout.rows = std::clamp<std::size_t>(matches, 1, layout.capacity);
    layout.frame = {left, top, left + width,
                    layout.first_row_top + static_cast<int>(layout.rows) * layout.row_height + pad};
    return layout;
}

Rect PaletteLayout::row(std::size_t i) const {
    const int row_top = first_row_top + static_cast<int>(i) * row_height;
    return {query.left, row_top, query.right, row_top + row_height};
}

std::optional<std::size_t> PaletteLayout::row_at(int x, int y) const {
    for (std::size_t i = 0; i < rows; ++i) {
        if (row(i).contains(x, y)) return i;
    }
    return std::nullopt;
}

std::optional<Rect> PaletteLayout::thumb(std::size_t top, std::size_t count, Scale scale) const {
    if (count <= rows || count == 0) return std::nullopt;
    const int track_top = first_row_top;
    const int track = static_cast<int>(rows) * row_height;
    const auto part = [&](std::size_t n) {
        return static_cast<int>(static_cast<long long>(track) * static_cast<long long>(n) /
                                static_cast<long long>(count));
    };
    const int height = std::max(part(rows), scale(8));
    const int thumb_top = std::min(track_top + part(top), track_top + track - height);
    return Rect{frame.right - scale(5), thumb_top, frame.right - scale(2), thumb_top + height};
}

// ------------------------------------------------------------ colours

namespace {

Rgb mix(Rgb from, Rgb to, int tenths) {
    const auto part = [&](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>((a * (10 - tenths) + b * tenths + 5) / 10);
    };
    return {part(from.r, to.r), part(from.g, to.g), part(from.b, to.b)};
}

}  // namespace

PaletteColors palette_colors(const Theme& theme) {
    return {mix(theme.background, theme.foreground, 1),
            theme.selection_background,
            theme.background,
            theme.foreground,
            mix(theme.foreground, theme.background, 4),
            theme.selection_background,
            theme.selection_foreground};
}

}  // namespace tolvar::app
