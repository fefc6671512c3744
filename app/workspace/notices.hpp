// Failures the user should read but need not answer (a session that could
// not start, a file that could not be saved or read): held in the window's
// state and shown as rows over the top of the terminal area until dismissed,
// so they never block the sessions, and where those rows lie; and the one
// way a notice is told. UI thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "view/geometry.hpp"

namespace tolvar::app {

struct Notice {
    std::uint64_t id = 0;
    std::string text;
    friend bool operator==(const Notice&, const Notice&) = default;
};

// At most this many are kept; a new one pushes out the oldest.
inline constexpr std::size_t k_max_notices = 4;

class Notices {
  public:
    // The new notice's id; a text already shown is not added again, so a
    // failure that repeats (every tab of a resume) is told once, and the id
    // is the one shown.
    std::uint64_t add(std::string text);
    void dismiss(std::uint64_t id);
    bool shows(std::string_view text) const;
    // Oldest first.
    const std::vector<Notice>& shown() const { return shown_; }
    bool empty() const { return shown_.empty(); }

  private:
    std::vector<Notice> shown_;
    std::uint64_t next_id_ = 0;
};

class StateCell;
class WindowPort;

// Tells notices through the window's state: the text is added in a change of
// its own (right after the one running, if any) and the window repaints
// after it.
class Notifier {
  public:
    Notifier(StateCell& cell, WindowPort& window) : cell_(cell), window_(window) {}
    // Shows a notice and repaints; a text already shown is not repeated.
    void notify(std::string text);

  private:
    StateCell& cell_;
    WindowPort& window_;
};

// One row per notice, oldest at the top, full width below the tab bar. A
// click on the "x" dismisses it; one on the text shows it whole.
struct NoticeRow {
    std::uint64_t id = 0;
    Rect row;
    Rect text;
    Rect close_mark;
};
std::vector<NoticeRow> notice_rows(const Notices& notices, const Rect& client, Scale scale);

struct NoticeHit {
    std::uint64_t id = 0;
    bool close = false;
    friend bool operator==(const NoticeHit&, const NoticeHit&) = default;
};
std::optional<NoticeHit> notice_hit(const Notices& notices, const Rect& client, int x, int y,
                                    Scale scale);

inline constexpr Rgb k_notice_background{66, 48, 18};
inline constexpr Rgb k_notice_rule{128, 94, 34};
inline constexpr Rgb k_notice_text{245, 232, 205};

}  // namespace tolvar::app
