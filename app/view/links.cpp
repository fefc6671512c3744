#include "view/links.hpp"

#include <algorithm>
#include <array>
#include <cctype>

#include "tolvar/core/lowercase.hpp"
#include "tolvar/core/utf.hpp"
#include "view/layout.hpp"
#include "view/pane_painter.hpp"
#include "workspace/tab_view.hpp"

namespace tolvar::app {

using core::ascii_lower;

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = ascii_lower(c);
    return out;
}

// A cell's single ASCII character as drawn, or 0 when it draws anything else.
char ascii_of(const LinkCell& cell) {
    return !cell.concealed && cell.text.size() == 1 &&
                   static_cast<unsigned char>(cell.text[0]) < 0x80
               ? cell.text[0]
               : 0;
}

// Characters a URL in plain text can hold. Non-ASCII letters stay (paths and
// IRIs carry them); wide characters end it, since East Asian text puts
// words right after a URL without a space.
bool url_cell(const LinkCell& cell) {
    // Text the painter hides must not extend what the user reads.
    if (cell.text.empty() || cell.wide || cell.concealed) return false;
    const char c = ascii_of(cell);
    if (c == 0) return static_cast<unsigned char>(cell.text[0]) >= 0x80;
    if (c <= ' ' || c == 0x7f) return false;
    return c != '<' && c != '>' && c != '"' && c != '`' && c != '\\' && c != '{' && c != '}' &&
           c != '|' && c != '^';
}

bool word_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

constexpr std::array<std::string_view, 3> k_schemes{"https://", "http://", "file://"};

// The length of the scheme starting at cell i, or 0.
std::size_t scheme_at(const std::vector<LinkCell>& cells, std::size_t i) {
    for (std::string_view scheme : k_schemes) {
        if (i + scheme.size() > cells.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < scheme.size() && same; ++k)
            same = ascii_lower(ascii_of(cells[i + k])) == scheme[k];
        if (same) return scheme.size();
    }
    return 0;
}

bool trailing_punctuation(char c) {
    return c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?' || c == '\'' ||
           c == '"';
}

char opener_of(char c) {
    return c == ')' ? '(' : c == ']' ? '[' : 0;
}

}  // namespace

std::vector<CellRange> detect_urls(const std::vector<LinkCell>& cells) {
    std::vector<CellRange> found;
    std::size_t i = 0;
    while (i < cells.size()) {
        const std::size_t scheme = scheme_at(cells, i);
        if (scheme == 0 || (i > 0 && word_char(ascii_of(cells[i - 1])))) {
            ++i;
            continue;
        }
        const char quote = i > 0 ? ascii_of(cells[i - 1]) : 0;
        std::size_t end = i + scheme;
        while (end < cells.size() && url_cell(cells[end])) {
            // A URL quoted with ' ends at the closing ' (" never enters one).
            if (quote == '\'' && ascii_of(cells[end]) == '\'') break;
            ++end;
        }
        // Drop what users read as the sentence around the URL: a closing
        // bracket only when the URL opened none for it.
        while (end > i + scheme) {
            const char last = ascii_of(cells[end - 1]);
            if (trailing_punctuation(last)) {
                --end;
                continue;
            }
            if (const char open = opener_of(last)) {
                int depth = 0;
                for (std::size_t k = i; k < end; ++k) {
                    const char c = ascii_of(cells[k]);
                    depth += c == open ? 1 : c == last ? -1 : 0;
                }
                if (depth < 0) {
                    --end;
                    continue;
                }
            }
            break;
        }
        if (end > i + scheme) found.push_back({i, end});
        i = std::max(end, i + 1);
    }
    return found;
}

namespace {

// The cells of the logical line holding `line`, with where each one is.
struct LogicalLine {
    std::vector<pty::LineCells> rows;
    pty::LineNumber first = 0;
    std::vector<LinkCell> cells;
    std::vector<pty::LinePosition> at;  // per cell of `cells`
};

// A URL long past any sensible length still ends at the line; this bounds the
// rows a line of a runaway wrap is read over.
constexpr int k_max_rows = 64;

LogicalLine read_logical_line(const pty::TerminalModel& model, pty::LineNumber line) {
    LogicalLine out;
    pty::LineCells row;
    pty::LineNumber first = line;
    const pty::LineNumber oldest = model.history_begin();
    for (int n = 0; n < k_max_rows && first > oldest; ++n) {
        model.line(first - 1, row);
        if (!row.wrapped) break;
        --first;
    }
    out.first = first;
    for (pty::LineNumber n = first; n < first + k_max_rows; ++n) {
        out.rows.emplace_back();
        model.line(n, out.rows.back());
        if (!out.rows.back().wrapped) break;
    }
    for (std::size_t r = 0; r < out.rows.size(); ++r) {
        const auto& cells = out.rows[r].cells;
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (cells[c].wide_continuation) continue;
            out.cells.push_back(
                {cells[c].contents, cells[c].wide, cells[c].hyperlink, cells[c].conceal});
            out.at.push_back({first + r, static_cast<std::uint16_t>(c)});
        }
    }
    return out;
}

pty::LinePosition after(const LogicalLine& l, std::size_t cell) {
    pty::LinePosition p = l.at[cell];
    p.col = static_cast<std::uint16_t>(p.col + (l.cells[cell].wide ? 2 : 1));
    return p;
}

std::string drawn_text(const LogicalLine& l, std::size_t first, std::size_t last) {
    std::string text;
    for (std::size_t k = first; k < last; ++k) {
        const LinkCell& cell = l.cells[k];
        if (cell.concealed || cell.text.empty()) {
            text.append(cell.wide ? 2 : 1, ' ');
        } else {
            text += cell.text;
        }
    }
    return text;
}

}  // namespace

std::vector<Link> links_in_line(const pty::TerminalModel& model, pty::LineNumber line) {
    const LogicalLine l = read_logical_line(model, line);
    std::vector<Link> links;
    // A run of cells of one hyperlink is one link; a dropped link's cells are
    // plain text again.
    for (std::size_t i = 0; i < l.cells.size();) {
        const std::uint32_t id = l.cells[i].hyperlink;
        std::size_t end = i + 1;
        while (end < l.cells.size() && l.cells[end].hyperlink == id) ++end;
        if (id != 0) {
            std::string target = model.hyperlink_target(id);
            if (!target.empty())
                links.push_back(
                    {{l.at[i], after(l, end - 1)}, std::move(target), true, drawn_text(l, i, end)});
        }
        i = end;
    }
    const std::size_t hyperlinks = links.size();
    const auto inside_hyperlink = [&](pty::LinePosition p) {
        for (std::size_t k = 0; k < hyperlinks; ++k)
            if (links[k].span.start <= p && p < links[k].span.end) return true;
        return false;
    };
    for (const CellRange& r : detect_urls(l.cells)) {
        if (inside_hyperlink(l.at[r.first]) || inside_hyperlink(l.at[r.last - 1])) continue;
        Link link;
        link.span = {l.at[r.first], after(l, r.last - 1)};
        for (std::size_t k = r.first; k < r.last; ++k) link.target += l.cells[k].text;
        link.drawn = drawn_text(l, r.first, r.last);
        links.push_back(std::move(link));
    }
    return links;
}

std::string link_tip(const Link& link) {
    return link.hyperlink || link.target != link.drawn ? link.target : std::string();
}

std::optional<Link> link_at(const pty::TerminalModel& model, pty::LinePosition at) {
    for (Link& link : links_in_line(model, at.line))
        if (link.span.start <= at && at < link.span.end) return std::move(link);
    return std::nullopt;
}

std::optional<PointedLink> link_under_pointer(const AppState& state, const Rect& client,
                                              const CellMetrics& cell, Scale scale, int x, int y) {
    const std::optional<Pane> pane = pane_at(state, client, x, y, scale);
    if (!pane) return std::nullopt;
    const Rect text = text_rect(pane->rect, pane->caption, scale);
    if (x < text.left || y < text.top || x >= text.right || y >= text.bottom) return std::nullopt;
    const Tab* tab = state.find_tab(pane->tab);
    if (!tab || !tab->session()) return std::nullopt;
    const pty::LineNumber line = tab->scroll().top_line(history_extent(*tab)) +
                                 static_cast<pty::LineNumber>(cells_in(y - text.top, cell.height));
    std::optional<Link> link;
    tab->session()->model().with([&](const pty::TerminalModel& model) {
        // A doubled line's cells are two columns wide.
        const int col =
            line_column(cells_in(x - text.left, cell.width), drawn_doubled(model.line_size(line)));
        link = link_at(model, {line, static_cast<std::uint16_t>(std::clamp(col, 0, 65535))});
    });
    if (!link) return std::nullopt;
    return PointedLink{pane->tab, std::move(*link)};
}

LinkPress link_press(const AppState& state, bool ctrl, int clicks, const Rect& client,
                     const CellMetrics& cell, Scale scale, int x, int y) {
    if (!ctrl) return {};
    std::optional<PointedLink> pointed = link_under_pointer(state, client, cell, scale, x, y);
    if (!pointed) return {};
    if (clicks != 1) return {std::nullopt, true};
    return {std::move(pointed), true};
}

bool update_hovered_link(AppState& state, bool ctrl, const Rect& client, const CellMetrics& cell,
                         Scale scale, int x, int y) {
    std::optional<HoveredLink> now;
    if (ctrl) {
        if (auto pointed = link_under_pointer(state, client, cell, scale, x, y))
            now = HoveredLink{pointed->tab, pointed->link.span, link_tip(pointed->link)};
    }
    if (now == state.hovered_link()) return false;
    if (now) {
        state.set_hovered_link(std::move(*now));
    } else {
        state.clear_hovered_link();
    }
    return true;
}

std::vector<Rect> link_underline(const pty::Match& span, pty::LineNumber top, std::uint16_t rows,
                                 std::uint16_t cols, const Rect& text, const CellMetrics& cell,
                                 int thickness) {
    std::vector<Rect> out;
    for (pty::LineNumber line = std::max(span.start.line, top);
         line <= span.end.line && line < top + rows; ++line) {
        const int first = line == span.start.line ? span.start.col : 0;
        const int end = std::min<int>(line == span.end.line ? span.end.col : cols, cols);
        if (end <= first) continue;
        const int bottom = text.top + static_cast<int>(line - top + 1) * cell.height;
        out.push_back({text.left + first * cell.width, bottom - thickness,
                       text.left + end * cell.width, bottom});
    }
    return out;
}

Rect link_tip_box(const std::vector<Rect>& underline, int row_height, int width, int height,
                  const Rect& text) {
    width = std::min(width, text.width());
    height = std::min(height, text.height());
    const int left = std::clamp(underline.front().left, text.left, text.right - width);
    int top = underline.back().bottom;
    if (top + height > text.bottom) top = underline.front().bottom - row_height - height;
    top = std::clamp(top, text.top, text.bottom - height);
    return {left, top, left + width, top + height};
}

namespace {

LinkVerdict refuse(std::string reason) {
    return {LinkAction::Refuse, {}, std::move(reason)};
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = ascii_lower(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::optional<std::string> percent_decode(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return std::nullopt;
        const int hi = hex_value(s[i + 1]);
        const int lo = hex_value(s[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

// file://[localhost]/C:/path -> C:\path. Only a local path on a drive: a
// server name (file://server/share) would have the system connect, and
// authenticate, to a host the output named.
LinkVerdict judge_file(std::string_view rest, const FolderProbe& folders) {
    if (rest.substr(0, 2) != "//") return refuse("The link is not a file address.");
    rest.remove_prefix(2);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return refuse("The link names no folder.");
    const std::string host = lower(rest.substr(0, slash));
    if (!host.empty() && host != "localhost")
        return refuse("Links to folders on other computers are not opened.");
    rest.remove_prefix(slash + 1);
    const std::size_t cut = rest.find_first_of("?#");
    if (cut != std::string_view::npos) rest = rest.substr(0, cut);
    auto decoded = percent_decode(rest);
    if (!decoded || !core::is_valid_utf8(*decoded))
        return refuse("The link's path is not well formed.");
    std::string path = *decoded;
    std::replace(path.begin(), path.end(), '/', '\\');
    const bool drive = path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                       path[1] == ':' && (path.size() == 2 || path[2] == '\\');
    if (!drive) return refuse("The link names no folder on a drive.");
    // Nothing that a path check and the file manager could read apart: no
    // controls, no second colon (streams, devices), no wildcards, no ".."
    // stepping out of what the text shows.
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c < 0x20 || c == 0x7f || (c == ':' && i != 1) || c == '*' || c == '?' || c == '"' ||
            c == '<' || c == '>' || c == '|')
            return refuse("The link's path is not well formed.");
    }
    std::size_t start = 3;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        const std::string_view seg = std::string_view(path).substr(start, end - start);
        if (seg == "..") return refuse("The link's path steps out with \"..\".");
        start = end + 1;
    }
    if (path.size() == 2) path += '\\';
    if (!folders.is_folder(path))
        return refuse("Only links to existing folders are opened, never files.");
    return {LinkAction::OpenFolder, std::move(path), {}};
}

}  // namespace

LinkVerdict judge_link(std::string_view target, const FolderProbe& folders) {
    if (target.empty()) return refuse("The link is empty.");
    // Spaces and controls never belong to a well-formed address; trimming
    // them would open something other than what was checked.
    for (char ch : target) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7f) return refuse("The link holds spaces or control characters.");
    }
    if (!core::is_valid_utf8(target)) return refuse("The link is not valid text.");
    const std::size_t colon = target.find(':');
    if (colon == std::string_view::npos || colon == 0) return refuse("The link names no scheme.");
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = target[i];
        const bool ok = std::isalpha(static_cast<unsigned char>(c)) ||
                        (i > 0 && (std::isdigit(static_cast<unsigned char>(c)) || c == '+' ||
                                   c == '-' || c == '.'));
        if (!ok) return refuse("The link names no scheme.");
    }
    const std::string scheme = lower(target.substr(0, colon));
    const std::string_view rest = target.substr(colon + 1);
    std::string url = scheme + ':' + std::string(rest);
    if (scheme == "http" || scheme == "https") {
        if (rest.substr(0, 2) != "//" || rest.size() == 2 || rest[2] == '/')
            return refuse("The link names no host.");
        return {LinkAction::OpenUrl, std::move(url), {}};
    }
    if (scheme == "mailto") {
        if (rest.empty()) return refuse("The link names no address.");
        return {LinkAction::OpenUrl, std::move(url), {}};
    }
    if (scheme == "file") return judge_file(rest, folders);
    return refuse("Links of the kind \"" + scheme + ":\" are not opened.");
}

}  // namespace tolvar::app
