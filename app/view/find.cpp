#include "view/find.hpp"

#include <algorithm>

#include "tolvar/core/lowercase.hpp"

namespace tolvar::app {

bool smart_match_case(std::string_view query) {
    return core::to_lowercase(query) != query;
}

std::optional<pty::Match> Find::current() const {
    if (matches_.empty()) return std::nullopt;
    return matches_[std::min(current_, matches_.size() - 1)];
}

void Find::search(const pty::TerminalModel& model, std::string query, pty::LineNumber view_bottom) {
    query_ = std::move(query);
    find(model);
    const auto after = std::ranges::lower_bound(matches_, pty::LinePosition{view_bottom, 0}, {},
                                                &pty::Match::start);
    current_ =
        after == matches_.begin() ? 0 : static_cast<std::size_t>(after - matches_.begin()) - 1;
}

void Find::refresh(const pty::TerminalModel& model) {
    const std::optional<pty::Match> was = current();
    find(model);
    current_ = 0;
    if (!was) return;
    const auto at = std::ranges::lower_bound(matches_, was->start, {}, &pty::Match::start);
    current_ = at == matches_.end() ? (matches_.empty() ? 0 : matches_.size() - 1)
                                    : static_cast<std::size_t>(at - matches_.begin());
}

void Find::find(const pty::TerminalModel& model) {
    pty::Found found = model.find(query_, smart_match_case(query_), k_kept);
    matches_ = std::move(found.matches);
    total_ = found.total;
}

void Find::next() {
    if (!matches_.empty()) current_ = (current_ + 1) % matches_.size();
}

void Find::previous() {
    if (!matches_.empty()) current_ = (current_ + matches_.size() - 1) % matches_.size();
}

std::string Find::status() const {
    if (matches_.empty()) return "0 of 0";
    const std::size_t older = total_ - matches_.size();
    return std::to_string(older + std::min(current_, matches_.size() - 1) + 1) + " of " +
           std::to_string(total_);
}

std::vector<MatchSpan> match_spans(const Find& find, pty::LineNumber line, std::uint16_t columns) {
    std::vector<MatchSpan> spans;
    const std::vector<pty::Match>& matches = find.matches();
    const std::optional<pty::Match> current = find.current();
    // Matches are in order and never overlap: the first that ends after the
    // line's start is the first that can touch it.
    auto it = std::ranges::upper_bound(matches, pty::LinePosition{line, 0}, {}, &pty::Match::end);
    for (; it != matches.end() && it->start.line <= line; ++it) {
        const std::uint16_t first = it->start.line == line ? it->start.col : 0;
        const std::uint16_t end = it->end.line == line ? it->end.col : columns;
        if (end > first) spans.push_back({first, end, current && *it == *current});
    }
    return spans;
}

}  // namespace tolvar::app
