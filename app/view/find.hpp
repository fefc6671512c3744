// Finding text in a pane's history and screen: the rule for case, which
// match is current as the query changes and as the user steps through them,
// what a visible line shows highlighted, and the "n of m" the box shows. The
// search itself is the terminal model's. UI thread; the model is read under
// its lock.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::app {

// Case matters only when the query has an upper-case letter.
bool smart_match_case(std::string_view query);

class Find {
  public:
    // Matches kept, the newest: what a user steps through, and a bound on
    // what a one-letter query costs in a full history. The status still
    // counts them all.
    static constexpr std::size_t k_kept = 10'000;

    const std::string& query() const { return query_; }
    const std::vector<pty::Match>& matches() const { return matches_; }
    std::optional<pty::Match> current() const;

    // A new query, searched at once. The current match becomes the last one
    // that starts before `view_bottom` (the line below the pane's last), so
    // the search begins where the user reads and goes back into history;
    // the first one when none does.
    void search(const pty::TerminalModel& model, std::string query, pty::LineNumber view_bottom);
    // The same query again over what the model holds now, keeping the
    // current match where it was (or the nearest one after it).
    void refresh(const pty::TerminalModel& model);
    // Down towards the live screen, or up into history, wrapping around.
    void next();
    void previous();

    // "1 of 3", "0 of 0"; numbered among all the matches there are.
    std::string status() const;

  private:
    void find(const pty::TerminalModel& model);

    std::string query_;
    std::vector<pty::Match> matches_;
    std::size_t total_ = 0;
    std::size_t current_ = 0;
};

// The cells of one line a match covers, as the painter colours them.
struct MatchSpan {
    std::uint16_t first_col = 0;
    std::uint16_t end_col = 0;  // exclusive
    bool current = false;
    friend bool operator==(MatchSpan, MatchSpan) = default;
};
// The spans on `line`, left to right; `columns` is the line's width, for a
// match that runs on over a wrap.
std::vector<MatchSpan> match_spans(const Find& find, pty::LineNumber line, std::uint16_t columns);

}  // namespace tolvar::app
