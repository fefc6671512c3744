// Links in terminal output: URLs found in the text of a logical line, and the
// rule deciding which link targets may be handed to the system. Pure; reads
// the model with its lock held by the caller. Starts nothing itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "look/fonts.hpp"
#include "tolvar/pty/terminal_model.hpp"
#include "view/geometry.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app {

// A link in the output: its cells (end exclusive, possibly running over
// wrapped lines), the target it names and the text its cells draw. For a
// detected URL the target is the text itself; an application's hyperlink
// names its own, which the text need not show.
struct Link {
    pty::Match span;
    std::string target;
    bool hyperlink = false;
    std::string drawn;  // concealed cells as blanks
    friend bool operator==(const Link&, const Link&) = default;
};

// The tip shown over a hovered link before a click opens it: the target of
// an application's hyperlink, and of any link whose target is not the text
// drawn; empty when the link reads as what it opens.
std::string link_tip(const Link& link);

// One cell of a logical line as detection reads it.
struct LinkCell {
    std::string_view text;        // the cell's characters; empty for a blank cell
    bool wide = false;            // takes two cells; never part of a URL
    std::uint32_t hyperlink = 0;  // the application's link it belongs to, 0 for none
    bool concealed = false;       // drawn blank (SGR 8); ends a URL as a blank does
};

// The URLs (http, https, file) in a run of cells, as [first, last) cell
// indexes. Trailing punctuation and unbalanced closing brackets are left
// out; a URL after a quote ends before that quote's partner.
struct CellRange {
    std::size_t first = 0;
    std::size_t last = 0;
    friend bool operator==(CellRange, CellRange) = default;
};
std::vector<CellRange> detect_urls(const std::vector<LinkCell>& cells);

// Every link of the logical line (its wrapped rows joined) holding `line`:
// the application's hyperlinks, then the URLs in the text outside them.
std::vector<Link> links_in_line(const pty::TerminalModel& model, pty::LineNumber line);

// The link under a cell, if any. The right half of a wide character counts as
// the character.
std::optional<Link> link_at(const pty::TerminalModel& model, pty::LinePosition at);

// The link under the pointer in a pane's text, read with the tab's model
// lock held for the call only.
struct PointedLink {
    TabId tab;
    Link link;
};
std::optional<PointedLink> link_under_pointer(const AppState& state, const Rect& client,
                                              const CellMetrics& cell, Scale scale, int x, int y);

// A left press with the link keys held (`ctrl`): the link it opens, and
// whether the press is taken, so that it selects nothing. Only the first
// press of a click opens: the second press of a double-click and the third
// of a triple click belong to the click that opened the link, and are taken
// without opening it again. `clicks` counts the presses of the click.
struct LinkPress {
    std::optional<PointedLink> open;
    bool taken = false;
};
LinkPress link_press(const AppState& state, bool ctrl, int clicks, const Rect& client,
                     const CellMetrics& cell, Scale scale, int x, int y);

// Pointer move: the hovered link follows the pointer while `ctrl` is held
// and is gone without it. True when it changed, for a repaint.
bool update_hovered_link(AppState& state, bool ctrl, const Rect& client, const CellMetrics& cell,
                         Scale scale, int x, int y);

// The lines under a link's cells in a pane showing line `top` first, one
// rectangle per row in view, `thickness` pixels high at the cells' bottom.
std::vector<Rect> link_underline(const pty::Match& span, pty::LineNumber top, std::uint16_t rows,
                                 std::uint16_t cols, const Rect& text, const CellMetrics& cell,
                                 int thickness);

// Where the target of a hovered hyperlink shows: a box `width` x `height`
// under the link's last row in view (`underline`, not empty), above its
// first row when there is no room below, kept inside the pane's text.
Rect link_tip_box(const std::vector<Rect>& underline, int row_height, int width, int height,
                  const Rect& text);

// Whether a path names an existing folder, through the system.
class FolderProbe {
  public:
    virtual ~FolderProbe() = default;
    // `path` is a local Windows path in UTF-8, e.g. "C:\\Users".
    virtual bool is_folder(const std::string& path) const = 0;
};

// What a click on a link may do. A click on output must never run a
// program, so anything but a web or mail address, or an existing folder,
// is refused without starting anything.
enum class LinkAction { Refuse, OpenUrl, OpenFolder };
struct LinkVerdict {
    LinkAction action = LinkAction::Refuse;
    std::string target;  // the URL (scheme lower-cased) or the folder's path
    std::string reason;  // why it was refused, for the user
};
LinkVerdict judge_link(std::string_view target, const FolderProbe& folders);

}  // namespace tolvar::app
