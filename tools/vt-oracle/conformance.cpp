// Compares the terminal model with the reference library (vt-oracle): the
// fixed corpus split at every byte boundary, then seeded random streams.
//
//   vt-conformance --oracle PATH [--captures DIR] [--streams N] [--seed S] [--batch N]
//                  [--first I] [--no-corpus]
// --first and --no-corpus run one range of the random streams alone, so that
// a long run can be split and resumed (tools/vt-oracle/run-long).
//                  [--show N] [--verbose]
//
// DIR holds output captured from real programs through a pseudo console
// (vt-capture), in files named NAME.ROWSxCOLS.bin; they join the corpus.
//
// Prints one summary line and exits non-zero on any unexplained difference.

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "char_width.hpp"
#include "model_dump.hpp"
#include "streams.hpp"
#include "tolvar/pty/terminal_model.hpp"
#include "vt_parser.hpp"

namespace tolvar::vt_oracle {
namespace {

// Where the model may differ from the reference on purpose, and why. A
// difference that no entry explains fails the test.
struct Accepted {
    const char* key;
    const char* reason;
};
const Accepted k_accepted[] = {
    {"reference crashed",
     "the reference indexes outside a row or the grid and panics: a wide character on a "
     "one-column grid, a wide character cut in two by a narrowing resize, a cursor restored "
     "outside a grid that shrank, text wrapping on a one-row screen, a continuation cell in "
     "column 0. The model clamps or skips the edit and goes on."},
    {"erase saved lines",
     "CSI 3 J and CSI ? 3 J clear the scrollback in the model, as xterm does; the reference "
     "ignores them. Accepted only in a stream that holds one, and only when everything else "
     "agrees and the model's scrollback is the reference's newest lines."},
    {"attributes the reference does not keep",
     "the reference ignores SGR 2 (faint), 8 and 28 (conceal), 9 and 29 (strikethrough), 21 "
     "(double underline), the underline styles 4:0 to 4:5 (even 4:1, single, and 4:0, none, "
     "which leave the underline as it was), SGR 58 and 59 (underline colour; it then reads "
     "the colour's parameters after 58 as SGRs of their own: 58;5;1 sets bold) and keeps no "
     "more than bold, italic, underline and inverse. The model follows xterm, 22 ending faint "
     "as well. Accepted when the model, fed the stream with those parameters taken out as "
     "the reference skips them, agrees with the reference, and the model fed the real stream "
     "at this split agrees with itself fed it whole."},
    {"background colour erase",
     "lines scrolled in (line feed, SU, SD, IL, DL, index and reverse index) and cells "
     "inserted or erased (ICH, DCH, ECH, EL, ED) take the background colour alone, as in "
     "xterm; the reference scrolls in default cells and erases with the whole pen, so vim's "
     "background vanishes as it scrolls and an erase with inverse on paints inverse blocks."},
    {"character sets",
     "ESC ( 0, ESC ) 0, SO and SI select DEC special graphics, drawn as Unicode line "
     "drawing, and DECSC saves the choice; the reference ignores them and draws letters "
     "where tmux, mc and dialog draw boxes."},
    {"HVP", "CSI f positions the cursor like CSI H, as in xterm; the reference ignores it."},
    {"index and next line",
     "ESC D moves down a line and ESC E to the start of the next, scrolling at the region's "
     "bottom, as in xterm; the reference ignores both."},
    {"tab stops",
     "ESC H sets a tab stop and CSI g and CSI 3 g clear one or all (tabs(1) sends them); the "
     "reference keeps a stop every eighth column whatever is sent."},
    {"insert mode",
     "with CSI 4 h text shifts the rest of the row right, as in xterm; the reference tracks "
     "the mode and overwrites."},
    {"repeat",
     "CSI b repeats the last character drawn (ncurses sends it for runs), up to a "
     "screenful; the reference ignores it."},
    {"scroll region homes the cursor",
     "DECSTBM moves the cursor home (the region's top in origin mode), as in xterm; the "
     "reference moves it to the region's top row, so a program that writes next lands rows "
     "low."},
    {"saved cursor per screen",
     "the primary and alternate screens keep a saved cursor each, as in xterm: a DECSC "
     "inside the alternate screen does not change what leaving 1049 restores; the reference "
     "shares one saved pen between them."},
    {"colour space form",
     "SGR 38:2:id:r:g:b and 48:2:id:r:g:b (ITU T.416, the id usually empty) set the colour; "
     "the reference reads only the form without the id."},
    {"alignment and column mode",
     "ESC # 8 fills the screen with E and CSI ? 3 h/l clear it, both resetting the region "
     "and homing the cursor (vttest uses them); the reference ignores both. The width stays "
     "the window's."},
    {"pending wrap",
     "after text reaches the last column the cursor waits there, as in xterm: BS, CUB, CUU, "
     "CUD, VPA, LF, IND and RI start from the last column (the reference moves from one past "
     "it, so BS lands a column right and the next text wraps a row low), and the text that "
     "follows wraps and continues the row even when an erase emptied its last cell since "
     "(the reference ends the row there, so a copy breaks the line)."},
    {"cursor restored onto the grid",
     "a cursor saved before the grid shrank comes back inside it (DECRC, and leaving the "
     "alternate screen), as in xterm; the reference restores it outside the grid, where the "
     "text written next is lost, or panics on it."},
    {"more cursor moves",
     "CNL and CPL (CSI E, CSI F: down or up, to the first column), HPA and HPR (CSI `, CSI a: "
     "as CHA and CUF), VPR (CSI e: as CUD), CHT and CBT (CSI I, CSI Z: forward and back by "
     "tab stops) move the cursor as in xterm; the reference ignores them all, so ncurses' "
     "hpa and cbt leave the cursor where it was."},
    {"line feed new line mode",
     "with CSI 20 h (LNM) a line feed, VT and FF also return the carriage, as in xterm; the "
     "reference ignores the mode and text after a bare line feed steps right."},
    {"mode 1048",
     "CSI ? 1048 h saves the cursor as DECSC does and CSI ? 1048 l restores it as DECRC, as "
     "in xterm; the reference ignores the mode."},
    {"resize keeps the cursor's row",
     "a shrink that would cut off the cursor's row scrolls the rows above it off the top, "
     "into the history, so the cursor keeps its row, as in xterm; the reference cuts the "
     "bottom rows and moves the cursor up onto the row above, where the next output "
     "overwrites what is there."},
    {"origin mode addressing",
     "in origin mode VPA (CSI d) counts rows from the scroll region's top and keeps the "
     "cursor in the region, as CUP does, and DECRC puts a cursor saved outside a region "
     "that changed since back into it, as in xterm; the reference addresses VPA from the "
     "screen's top and restores the row as saved, outside the region."},
    {"line size",
     "ESC # 6 (DECDWL) makes the cursor's line double width, ESC # 3 and ESC # 4 (DECDHL) the "
     "top and bottom halves of a double-height line, also double width, and ESC # 5 (DECSWL) "
     "single again, as in xterm: such a line holds half the columns, text wraps or stops at "
     "its half, cursor moves stop there and what was right of it is lost (as the VT100 "
     "documents it; xterm keeps it unseen). A line that scrolls in is single, and so is one "
     "that ED erases whole; the reference ignores all four."},
    {"save cursor with CSI s",
     "CSI s saves the cursor as DECSC does and CSI u restores it as DECRC (SCOSC and SCORC), "
     "as xterm does while left and right margins are off, which here they always are, so "
     "CSI s with parameters saves as well; the reference ignores both."},
    {"auto-wrap off",
     "with CSI ? 7 l (DECAWM off) text that reaches the last column overwrites it and the "
     "cursor stays there, a wide character taking the last two columns, as in xterm; the "
     "reference tracks the mode and wraps anyway, so a line drawn to the last column with "
     "auto-wrap off (a status line, a progress bar) moves the cursor to the next row or "
     "scrolls the screen."},
    {"selective erase",
     "DECSCA (CSI 1 \" q) protects the text written after it, and DECSED and DECSEL (CSI ? J, "
     "CSI ? K) then erase every cell but the protected ones, as in xterm, while ED, EL and ECH "
     "still erase everything; the reference ignores DECSCA and erases protected text with "
     "DECSED and DECSEL."},
    {"the byte that breaks a UTF-8 sequence",
     "a byte that cannot go on a UTF-8 sequence ends it as one U+FFFD and is then taken as "
     "itself (a letter printed, an ESC starting a sequence, a control acting), as Unicode's "
     "maximal-subpart practice and xterm have it; the reference swallows it with the "
     "replacement character, so text cut inside a character loses the letter after it, and "
     "an ESC after it prints the rest of its sequence as text."},
    {"mode 1047",
     "CSI ? 1047 h switches to the alternate screen as 47 does, and CSI ? 1047 l clears the "
     "alternate screen on the way back, as in xterm; the reference ignores the mode, so a "
     "program that uses it draws over the shell's screen."},
    {"soft reset",
     "DECSTR (CSI ! p, which xterm's reset string and so tput reset and reset(1) send) resets "
     "the pen, the character sets, the protection, insert mode, origin mode and the scroll "
     "margins, turns auto-wrap on, shows the cursor, sets the cursor keys and keypad to their "
     "normal modes and forgets the saved cursor, as in xterm; the reference ignores it."},
    {"several departures",
     "a difference that no single departure above makes, only two or more of them together; "
     "accepted under the same condition."},
    {"parameter slots full",
     "a CSI sequence that fills all 32 parameter slots while a sub-parameter is open makes the "
     "reference walk an unset slot and loop for ever or panic; the model closes the open "
     "parameter (pinned by a unit test). Streams that could do this are not generated, so the "
     "count stays 0."},
};

// The departures from the reference in the order of k_accepted.
struct Departure {
    std::uint32_t flag;
    const char* key;
};
const Departure k_departures[] = {
    {pty::departure::background_erase, "background colour erase"},
    {pty::departure::charsets, "character sets"},
    {pty::departure::hvp, "HVP"},
    {pty::departure::index_next_line, "index and next line"},
    {pty::departure::tab_stops, "tab stops"},
    {pty::departure::insert_mode, "insert mode"},
    {pty::departure::repeat, "repeat"},
    {pty::departure::region_home, "scroll region homes the cursor"},
    {pty::departure::saved_cursor_per_screen, "saved cursor per screen"},
    {pty::departure::sgr_colour_space, "colour space form"},
    {pty::departure::alignment, "alignment and column mode"},
    {pty::departure::pending_wrap, "pending wrap"},
    {pty::departure::restore_on_grid, "cursor restored onto the grid"},
    {pty::departure::cursor_moves, "more cursor moves"},
    {pty::departure::new_line_mode, "line feed new line mode"},
    {pty::departure::save_cursor_mode, "mode 1048"},
    {pty::departure::resize_keeps_cursor_row, "resize keeps the cursor's row"},
    {pty::departure::origin_addressing, "origin mode addressing"},
    {pty::departure::line_size, "line size"},
    {pty::departure::save_cursor_csi, "save cursor with CSI s"},
    {pty::departure::auto_wrap_off, "auto-wrap off"},
    {pty::departure::selective_erase, "selective erase"},
    {pty::departure::utf8_breaking_byte, "the byte that breaks a UTF-8 sequence"},
    {pty::departure::alternate_1047, "mode 1047"},
    {pty::departure::soft_reset, "soft reset"},
};

// Whether a stream holds an erase of saved lines (CSI 3 J or CSI ? 3 J,
// sub-parameters and more parameters allowed after the 3).
bool erases_saved_lines(const Case& c) {
    std::string bytes;
    for (const Op& op : c.ops) bytes += op.bytes;
    for (std::size_t i = bytes.find("\x1b["); i != std::string::npos;
         i = bytes.find("\x1b[", i + 1)) {
        std::size_t j = i + 2;
        if (j < bytes.size() && bytes[j] == '?') ++j;
        unsigned first = 0;
        for (; j < bytes.size() && bytes[j] >= '0' && bytes[j] <= '9'; ++j) {
            first = std::min(first * 10 + static_cast<unsigned>(bytes[j] - '0'), 65535u);
        }
        while (j < bytes.size() && std::strchr("0123456789;:", bytes[j]) != nullptr) ++j;
        if (first == 3 && j < bytes.size() && bytes[j] == 'J') return true;
    }
    return false;
}

// Where the model's parser dispatches SGR sequences: the offsets of their
// final bytes in each Feed op. Bytes that look like one may be text (an
// ESC swallowed by a broken UTF-8 sequence) and must stay as they are.
struct SgrFinder {
    std::size_t at = 0;
    std::vector<std::size_t> finals;

    void print(char32_t) {}
    void print_ascii(const char*, std::size_t) {}
    struct TextRun {
        bool place(char32_t) { return true; }
        std::size_t fill(char32_t, std::size_t n) { return n; }
        void end() {}
        void begin() {}
    };
    TextRun text_run() { return {}; }
    void execute(std::uint8_t) {}
    void esc_dispatch(std::string_view, std::uint8_t) {}
    void osc_dispatch(const pty::OscParams&) {}
    void csi_dispatch(const pty::CsiParams&, std::string_view intermediates, char action) {
        if (action == 'm' && intermediates.empty()) finals.push_back(at);
    }
};

// An SGR sequence as the reference acts on it: the parameters that the
// reference skips and the model now reads become 999, which neither reads,
// the extended colours of 38 and 48 walked as both read them. Nothing is
// taken out: an empty sequence would reset, and no sequence at all would
// leave a string before it unended.
std::string without_newer_parameters(std::string_view params) {
    using Group = std::vector<unsigned>;
    const auto skipped_by_reference = [](const Group& g) {
        if (g.size() == 1) {
            switch (g[0]) {
                case 2:
                case 8:
                case 9:
                case 21:
                case 28:
                case 29:
                case 58:
                case 59:
                    return true;
                default:
                    return false;
            }
        }
        return (g.size() == 2 && g[0] == 4) || g[0] == 58;
    };
    // The groups as the parser keeps them: at most 32 values, saturated.
    std::vector<Group> groups(1, Group(1, 0));
    int values = 1;
    for (const char b : params) {
        if (b == ';' || b == ':') {
            if (values == 32) break;
            ++values;
            if (b == ';') {
                groups.emplace_back(1, 0);
            } else {
                groups.back().push_back(0);
            }
        } else {
            unsigned& v = groups.back().back();
            v = std::min(v * 10 + static_cast<unsigned>(b - '0'), 65535u);
        }
    }
    std::vector<Group> kept;
    for (std::size_t g = 0; g < groups.size();) {
        if (groups[g] == Group{38} || groups[g] == Group{48}) {
            // The colour's own parameters, however they end.
            kept.push_back(groups[g++]);
            if (g == groups.size()) break;
            const Group kind = groups[g];
            kept.push_back(groups[g++]);
            std::size_t n = kind == Group{2} ? 3 : kind == Group{5} ? 1 : groups.size();
            for (; n > 0 && g < groups.size(); --n) kept.push_back(groups[g++]);
            continue;
        }
        kept.push_back(skipped_by_reference(groups[g]) ? Group{999} : groups[g]);
        ++g;
    }
    std::string out = "\x1b[";
    for (std::size_t g = 0; g < kept.size(); ++g) {
        if (g > 0) out += ';';
        for (std::size_t v = 0; v < kept[g].size(); ++v) {
            if (v > 0) out += ':';
            out += std::to_string(kept[g][v]);
        }
    }
    return out + 'm';
}

// The case with every plain SGR sequence (ESC [ params m, nothing inside)
// rewritten by without_newer_parameters.
Case without_newer_sgr(const Case& c) {
    Case out = c;
    pty::VtParser parser;
    parser.set_keep_breaking_byte(false);  // an ESC broken into is text to the reference
    SgrFinder finder;
    for (Op& op : out.ops) {
        if (op.kind != Op::Kind::Feed) continue;
        const std::string& bytes = op.bytes;
        finder.finals.clear();
        for (finder.at = 0; finder.at < bytes.size(); ++finder.at) {
            parser.advance(finder, std::string_view(bytes).substr(finder.at, 1));
        }
        std::string rewritten;
        std::size_t copied = 0;
        for (const std::size_t end : finder.finals) {
            std::size_t start = end;
            while (start > 0 && std::strchr("0123456789;:", bytes[start - 1]) != nullptr) --start;
            if (start < 2 || start == end || bytes.compare(start - 2, 2, "\x1b[") != 0) continue;
            rewritten.append(bytes, copied, start - 2 - copied);
            rewritten +=
                without_newer_parameters(std::string_view(bytes).substr(start, end - start));
            copied = end + 1;
        }
        rewritten.append(bytes, copied);
        op.bytes = std::move(rewritten);
    }
    return out;
}

// The scrollback count of a dump; 0 when it has none.
std::size_t scrollback_lines(const std::string& dump) {
    const std::size_t at = dump.find("\nscrollback ");
    return at == std::string::npos ? 0 : std::strtoul(dump.c_str() + at + 12, nullptr, 10);
}

// A dump with only the newest `keep` of its scrollback lines, renumbered; as
// the model dumps after an erase of saved lines. Empty when it has fewer.
std::string newest_history(const std::string& dump, std::size_t keep) {
    const std::size_t lines = scrollback_lines(dump);
    if (keep > lines) return {};
    const std::size_t drop = lines - keep;
    std::istringstream in(dump);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("scrollback ", 0) == 0) {
            line = "scrollback " + std::to_string(keep);
        } else if (line.size() > 1 && line[0] == 'h' && std::isdigit(line[1])) {
            const std::size_t n = std::strtoul(line.c_str() + 1, nullptr, 10);
            if (n < drop) continue;
            line = "h" + std::to_string(n - drop) + line.substr(line.find(' '));
        }
        out += line + "\n";
    }
    return out;
}

struct Result {
    std::string text;  // a dump or a between line
    bool crashed = false;
};

std::vector<Result> run_oracle(const std::string& oracle, const std::string& script_text) {
    char path[] = "/tmp/vt-conformance-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        std::perror("mkstemp");
        std::exit(2);
    }
    {
        std::ofstream f(path, std::ios::binary);
        f << script_text;
    }
    const std::string command = "'" + oracle + "' dump < " + path;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) {
        std::perror("popen");
        std::exit(2);
    }
    std::string output;
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) output.append(buf, n);
    const int status = pclose(p);
    unlink(path);
    close(fd);
    if (status != 0) {
        std::cerr << "vt-oracle failed (status " << status << ")\n";
        std::exit(2);
    }
    std::vector<Result> results;
    std::istringstream in(output);
    Result current;
    for (std::string line; std::getline(in, line);) {
        if (line == "end") {
            results.push_back(std::move(current));
            current = {};
        } else if (line == "panic") {
            current.crashed = true;
        } else {
            current.text += line + "\n";
        }
    }
    return results;
}

// Replays a case on the model; `split` feeds every Feed op in two pieces cut
// at that offset (or byte by byte when it is npos - 1).
std::vector<std::string> replay(const Case& c, std::size_t split,
                                std::uint32_t departures = pty::departure::all) {
    std::vector<std::string> out;
    pty::TerminalModel m(c.rows, c.cols, c.scrollback);
    m.set_departures(departures);
    for (const Op& op : c.ops) {
        switch (op.kind) {
            case Op::Kind::Feed:
                if (split == std::string::npos - 1) {
                    for (char b : op.bytes) m.feed(std::string_view(&b, 1));
                } else if (split < op.bytes.size()) {
                    m.feed(std::string_view(op.bytes).substr(0, split));
                    m.feed(std::string_view(op.bytes).substr(split));
                } else {
                    m.feed(op.bytes);
                }
                break;
            case Op::Kind::Size:
                m.set_size(op.a, op.b);
                break;
            case Op::Kind::Dump:
                out.push_back(dump(m));
                break;
            case Op::Kind::Between:
                out.push_back(dump_between(m, {op.a, op.b}, {op.c, op.d}));
                break;
        }
    }
    return out;
}

std::string first_difference(const std::string& expected, const std::string& actual) {
    std::istringstream a(expected), b(actual);
    std::string la, lb;
    while (true) {
        const bool ha = static_cast<bool>(std::getline(a, la));
        const bool hb = static_cast<bool>(std::getline(b, lb));
        if (!ha && !hb) return {};
        if (!ha || !hb || la != lb) {
            const auto cut = [](const std::string& s) {
                return s.size() > 300 ? s.substr(0, 300) + "..." : s;
            };
            return "  reference: " + (ha ? cut(la) : "<end>") +
                   "\n  model:     " + (hb ? cut(lb) : "<end>") + "\n";
        }
    }
}

struct Tally {
    std::size_t compared = 0;
    std::size_t unexplained = 0;
    std::map<std::string, std::size_t> accepted;
    std::map<std::string, std::size_t> crash_sites;  // where in the reference
    int show = 5;

    // Whether the newer SGR parameters are all that differs: see k_accepted.
    template <class Agrees>
    bool newer_attributes_explain(const Case& c, std::size_t index, const std::string& actual,
                                  std::size_t at, Agrees agrees, std::uint32_t departures) {
        const Case plain = without_newer_sgr(c);
        bool changed = false;
        for (std::size_t i = 0; i < c.ops.size(); ++i)
            changed |= plain.ops[i].bytes != c.ops[i].bytes;
        if (!changed) return false;
        if (at != std::string::npos &&
            replay(c, std::string::npos, departures).at(index) != actual) {
            return false;
        }
        return agrees(replay(plain, std::string::npos, departures).at(index));
    }

    // The departures that make this result differ from the model with none:
    // each one that does so alone, or "several departures". Worked out once
    // per result of a case, from the stream fed whole.
    std::vector<const char*> departures_at_work(const Case& c, std::size_t index) {
        const std::string key = c.name + "#" + std::to_string(index);
        const auto cached = at_work.find(key);
        if (cached != at_work.end()) return cached->second;
        const std::string none = replay(c, std::string::npos, 0).at(index);
        std::vector<const char*> keys;
        for (const Departure& d : k_departures) {
            if (replay(c, std::string::npos, d.flag).at(index) != none) keys.push_back(d.key);
        }
        if (keys.empty()) keys.push_back("several departures");
        return at_work[key] = keys;
    }
    std::map<std::string, std::vector<const char*>> at_work;

    // `index` is the result's place among the case's, `at` the split it was
    // fed at (npos: whole).
    void check(const Case& c, std::size_t index, std::size_t at, const Result& expected,
               const std::string& actual, const std::string& how) {
        ++compared;
        if (expected.crashed) {
            ++accepted["reference crashed"];
            ++crash_sites[expected.text];
            return;
        }
        if (expected.text == actual) return;
        const bool erases = erases_saved_lines(c);
        const auto agrees = [&](const std::string& model) {
            return expected.text == model ||
                   (erases && newest_history(expected.text, scrollback_lines(model)) == model);
        };
        if (erases && agrees(actual)) {
            ++accepted["erase saved lines"];
            return;
        }
        if (newer_attributes_explain(c, index, actual, at, agrees, pty::departure::all)) {
            ++accepted["attributes the reference does not keep"];
            return;
        }
        // The departures from the reference explain a difference when the
        // model without them agrees with the reference (by the rules above)
        // and, fed at this split, the model with them agrees with itself fed
        // whole.
        const std::string none = replay(c, at, 0).at(index);
        const bool whole_alike =
            at == std::string::npos || replay(c, std::string::npos).at(index) == actual;
        if (whole_alike &&
            (agrees(none) || newer_attributes_explain(c, index, none, at, agrees, 0))) {
            if (none == actual) {
                // Only the stream with the newer parameters taken out met a
                // departure (a background colour the real stream never set).
                ++accepted["attributes the reference does not keep"];
            } else {
                for (const char* key : departures_at_work(c, index)) ++accepted[key];
            }
            return;
        }
        ++unexplained;
        if (show-- > 0) {
            std::cerr << "DIFFERENCE in " << c.name << " (" << how << "), " << c.rows << "x"
                      << c.cols << " scrollback " << c.scrollback << "\n"
                      << first_difference(expected.text, actual) << "  script:\n"
                      << script(c) << "\n";
        }
    }
};

// Captures named NAME.ROWSxCOLS.bin, as corpus cases.
std::vector<Case> captures(const std::string& dir) {
    std::vector<Case> out;
    if (dir.empty()) return out;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() == ".bin") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        const std::string stem = path.stem().string();  // NAME.ROWSxCOLS
        const std::size_t dot = stem.rfind('.');
        unsigned rows = 0, cols = 0;
        if (dot == std::string::npos ||
            std::sscanf(stem.c_str() + dot + 1, "%ux%u", &rows, &cols) != 2) {
            std::cerr << "capture " << path << ": name must end in .ROWSxCOLS.bin\n";
            std::exit(2);
        }
        std::ifstream f(path, std::ios::binary);
        Case c;
        c.name = "capture " + stem.substr(0, dot);
        c.rows = static_cast<std::uint16_t>(rows);
        c.cols = static_cast<std::uint16_t>(cols);
        c.scrollback = 100;
        c.ops.push_back({Op::Kind::Feed, std::string(std::istreambuf_iterator<char>(f), {})});
        c.ops.push_back({Op::Kind::Dump});
        out.push_back(std::move(c));
    }
    return out;
}

int width_differences(const std::string& oracle) {
    FILE* p = popen(("'" + oracle + "' widths").c_str(), "r");
    if (p == nullptr) return 1;
    std::vector<std::pair<unsigned, int>> ranges;
    unsigned start;
    int width;
    while (std::fscanf(p, "%x %d", &start, &width) == 2) ranges.emplace_back(start, width);
    pclose(p);
    int differences = 0;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const unsigned end = i + 1 < ranges.size() ? ranges[i + 1].first : 0x110000;
        for (unsigned cp = ranges[i].first; cp < end; ++cp) {
            if (cp >= 0xd800 && cp <= 0xdfff) continue;
            if (pty::char_width(cp) != ranges[i].second && differences++ < 5) {
                std::cerr << "width of U+" << std::hex << cp << std::dec << ": reference "
                          << ranges[i].second << ", model " << pty::char_width(cp) << "\n";
            }
        }
    }
    return ranges.empty() ? 1 : differences;
}

}  // namespace
}  // namespace tolvar::vt_oracle

int main(int argc, char** argv) {
    using namespace tolvar::vt_oracle;
    std::string oracle;
    std::string capture_dir;
    std::uint64_t streams = 2000;
    std::uint64_t seed = 1;
    std::uint64_t batch = 2000;
    std::uint64_t first_stream = 0;
    bool with_corpus = true;
    int show = 5;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        if (flag == "--verbose") {
            verbose = true;
            continue;
        }
        if (flag == "--no-corpus") {
            with_corpus = false;
            continue;
        }
        if (flag == "--oracle") {
            oracle = value;
        } else if (flag == "--captures") {
            capture_dir = value;
        } else if (flag == "--streams") {
            streams = std::strtoull(value, nullptr, 10);
        } else if (flag == "--seed") {
            seed = std::strtoull(value, nullptr, 10);
        } else if (flag == "--first") {
            first_stream = std::strtoull(value, nullptr, 10);
        } else if (flag == "--batch") {
            batch = std::strtoull(value, nullptr, 10);
        } else if (flag == "--show") {
            show = std::atoi(value);
        }
        ++i;
    }
    if (oracle.empty()) {
        std::cerr << "usage: vt-conformance --oracle PATH [--captures DIR] [--streams N] "
                     "[--seed S] [--batch N] [--first I] [--no-corpus] [--show N] [--verbose]\n";
        return 2;
    }
    Tally tally;
    tally.show = show;

    const int widths = width_differences(oracle);

    // The corpus: one reference run per case, the model fed every split.
    std::vector<Case> cases;
    std::vector<Case> captured;
    if (with_corpus) {
        cases = corpus();
        captured = captures(capture_dir);
        cases.insert(cases.end(), captured.begin(), captured.end());
    }
    std::string script_text;
    for (const Case& c : cases) script_text += script(c);
    const std::vector<Result> expected =
        cases.empty() ? std::vector<Result>{} : run_oracle(oracle, script_text);
    std::size_t next = 0;
    std::size_t splits = 0;
    for (const Case& c : cases) {
        const std::size_t results = replay(c, std::string::npos).size();
        std::size_t length = 0;
        for (const Op& op : c.ops) length += op.bytes.size();
        for (std::size_t split = 0; split <= length + 1; ++split) {
            const std::size_t at = split == length + 1 ? std::string::npos - 1 : split;
            const std::vector<std::string> actual = replay(c, at);
            for (std::size_t i = 0; i < results; ++i) {
                tally.check(c, i, at, expected.at(next + i), actual[i],
                            at == std::string::npos - 1 ? "byte by byte"
                                                        : "split at " + std::to_string(at));
            }
            ++splits;
        }
        next += results;
    }

    // Random streams, in batches so the scripts stay small.
    const std::uint64_t end = first_stream + streams;
    for (std::uint64_t first = first_stream; first < end; first += batch) {
        std::vector<Case> random;
        for (std::uint64_t i = first; i < std::min(end, first + batch); ++i) {
            random.push_back(random_case(seed, i));
        }
        script_text.clear();
        for (const Case& c : random) script_text += script(c);
        const std::vector<Result> reference = run_oracle(oracle, script_text);
        std::size_t k = 0;
        for (const Case& c : random) {
            const std::vector<std::string> actual = replay(c, std::string::npos);
            for (std::size_t i = 0; i < actual.size(); ++i) {
                tally.check(c, i, std::string::npos, reference.at(k++), actual[i], "as generated");
            }
        }
    }

    std::cout << "corpus: " << cases.size() << " cases (" << captured.size()
              << " captured from a pseudo console), " << splits
              << " splits; random streams: " << streams << " (seed " << seed << ", from "
              << first_stream << "); comparisons: " << tally.compared << "\n";
    for (const Accepted& a : k_accepted) {
        const auto it = tally.accepted.find(a.key);
        std::cout << "accepted difference, " << a.key << ": "
                  << (it == tally.accepted.end() ? 0 : it->second) << "\n    (" << a.reason
                  << ")\n";
    }
    if (verbose) {
        for (const auto& [site, count] : tally.crash_sites)
            std::cout << "  " << count << " " << site;
    }
    std::cout << "character widths differing: " << widths << "\n";
    std::cout << "unexplained differences: " << tally.unexplained << "\n";
    return tally.unexplained == 0 && widths == 0 ? 0 : 1;
}
