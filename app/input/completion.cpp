#include "input/completion.hpp"

#include "tolvar/core/history.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::app {

namespace {

// The start of the last UTF-8 character of non-empty valid text.
std::size_t last_char_start(std::string_view text) {
    std::size_t i = text.size() - 1;
    while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
    return i;
}

char32_t last_char(std::string_view text, std::size_t& start) {
    start = last_char_start(text);
    std::size_t pos = start;
    return core::next_code_point(text, pos);
}

// Ctrl+Backspace: trailing white space, then the word before it.
void erase_last_word(std::string& line) {
    std::size_t start = 0;
    while (!line.empty() && core::is_unicode_whitespace(last_char(line, start))) {
        line.resize(start);
    }
    while (!line.empty() && !core::is_unicode_whitespace(last_char(line, start))) {
        line.resize(start);
    }
}

}  // namespace

std::vector<std::string> track_typed(std::string& line, std::string_view text) {
    std::vector<std::string> completed;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t begin = pos;
        const char32_t c = core::next_code_point(text, pos);
        if (c == 0x03) {
            line.clear();
        } else if (c == 0x08) {
            erase_last_word(line);
        } else if (c == 0x7F) {
            if (!line.empty()) line.resize(last_char_start(line));
        } else if (c == 0x0A || c == 0x0D) {
            completed.push_back(std::move(line));
            line.clear();
        } else if (c >= 0x20 && !(c >= 0x7F && c <= 0x9F)) {
            line.append(text.substr(begin, pos - begin));
        }
    }
    return completed;
}

void append_history_line(const core::LoadedConfig& config, Tab& tab, core::FileSystem& fs,
                         std::string_view text, std::uint64_t now_seconds) {
    const std::string_view line = core::strip_line_end(text);
    if (!core::is_recordable_line(line)) return;
    tab.typed().remember(std::string(line));
    if (!config.settings.track_history || !config.data_dir) return;
    (void)core::append_history_entry(fs, *config.data_dir, tab.record_id(), line, now_seconds);
}

namespace {

// A wrapped line longer than this many rows is read no further back: its
// start is then not found, and what it holds is not recorded.
constexpr int k_max_wrapped_rows = 256;

std::string_view trim_end(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

pty::LineNumber cursor_line(const pty::TerminalModel& model) {
    return model.history_end() + model.cursor().row;
}

// Whether `line` goes on in the next one: wrapped, or filled to its last
// column, as a console that breaks long lines itself leaves them.
bool continues(const pty::TerminalModel& model, pty::LineNumber line, pty::LineCells& cells) {
    model.line(line, cells);
    return cells.wrapped || (!cells.cells.empty() && cells.cells.size() >= model.cols() &&
                             !cells.cells.back().contents.empty());
}

// The first row of the run of continued rows that holds `line`.
std::optional<pty::LineNumber> line_start(const pty::TerminalModel& model, pty::LineNumber line) {
    pty::LineCells cells;
    for (int i = 0; i < k_max_wrapped_rows; ++i) {
        if (line == model.history_begin() || !continues(model, line - 1, cells)) return line;
        --line;
    }
    return std::nullopt;
}

// The text of rows `start` up to `end`, then of row `end` up to column
// `col`, read as one line.
std::string joined_text(const pty::TerminalModel& model, pty::LineNumber start, pty::LineNumber end,
                        std::uint16_t col) {
    std::string text;
    for (pty::LineNumber line = start; line < end; ++line) {
        text += model.text_range({line, 0}, {line, model.cols()});
    }
    return text + model.text_range({end, 0}, {end, col});
}

bool ends_with_typed(std::string_view shown, std::string_view typed) {
    typed = trim_end(typed);
    return !typed.empty() && trim_end(shown).ends_with(typed);
}

bool echoed_from(const pty::TerminalModel& model, pty::LineNumber start, std::string_view typed) {
    const pty::Position cursor = model.cursor();
    const pty::LineNumber line = cursor_line(model);
    if (ends_with_typed(joined_text(model, start, line, cursor.col), typed)) return true;
    // At the last column the cursor may stand on the character just written,
    // waiting to wrap.
    return cursor.col + 1 == model.cols() &&
           ends_with_typed(joined_text(model, start, line, model.cols()), typed);
}

enum class Echo { Seen, Waiting, Missing };

Echo echo_of(const pty::TerminalModel& model, const SubmittedLine& line) {
    if (model.alternate_screen() != line.alternate || line.start < model.history_begin()) {
        return Echo::Missing;
    }
    const pty::LineNumber cursor = cursor_line(model);
    if (cursor < line.start) return Echo::Missing;
    pty::LineNumber end = line.start;
    pty::LineCells cells;
    for (int i = 0; i < k_max_wrapped_rows && end < cursor && continues(model, end, cells); ++i) {
        ++end;
    }
    if (cursor <= end)
        return echoed_from(model, line.start, line.text) ? Echo::Seen : Echo::Waiting;
    // The cursor has left the line: what it holds now is all it will hold.
    return ends_with_typed(joined_text(model, line.start, end, model.cols()), line.text)
               ? Echo::Seen
               : Echo::Missing;
}

// Records the waiting line once its echo is seen, or drops it once it
// cannot be; while it may still come, it waits when `may_wait`.
void settle(const core::LoadedConfig& config, Tab& tab, core::FileSystem& fs,
            std::uint64_t now_seconds, bool may_wait) {
    if (!tab.typed().submitted()) return;
    Echo echo = Echo::Missing;
    if (tab.session() && !tab.ended()) {
        (void)tab.session()->model().with([&](const pty::TerminalModel& model) {
            echo = echo_of(model, *tab.typed().submitted());
        });
    }
    if (echo == Echo::Waiting && may_wait) return;
    const SubmittedLine line = *tab.typed().take_submitted();
    if (echo == Echo::Seen) append_history_line(config, tab, fs, line.text, now_seconds);
}

}  // namespace

bool echoed_before_cursor(const pty::TerminalModel& model, std::string_view typed) {
    const std::optional<pty::LineNumber> start = line_start(model, cursor_line(model));
    return start && echoed_from(model, *start, typed);
}

void submit_line(const core::LoadedConfig& config, Tab& tab, core::FileSystem& fs,
                 std::string_view text, std::uint64_t now_seconds) {
    settle(config, tab, fs, now_seconds, false);
    const std::string_view line = core::strip_line_end(text);
    if (!core::is_recordable_line(line) || !tab.session() || tab.ended()) return;
    std::optional<SubmittedLine> submitted;
    (void)tab.session()->model().with([&](const pty::TerminalModel& model) {
        if (auto start = line_start(model, cursor_line(model))) {
            submitted = SubmittedLine{std::string(line), *start, model.alternate_screen()};
        }
    });
    tab.typed().wait_for_echo(std::move(submitted));
    settle_submitted_line(config, tab, fs, now_seconds);
}

void settle_submitted_line(const core::LoadedConfig& config, Tab& tab, core::FileSystem& fs,
                           std::uint64_t now_seconds) {
    settle(config, tab, fs, now_seconds, true);
}

std::optional<std::string> accept_suggestion(AppState& state) {
    Tab* tab = state.active_tab();
    if (!state.config().settings.autocomplete_history || !tab) return std::nullopt;
    std::optional<std::string> suggestion = tab->typed().take_suggestion();
    if (!suggestion || suggestion->size() <= tab->typed().text().size() ||
        !suggestion->starts_with(tab->typed().text())) {
        return std::nullopt;
    }
    bool echoed = false;
    if (tab->session()) {
        (void)tab->session()->model().with([&](const pty::TerminalModel& model) {
            echoed = echoed_before_cursor(model, tab->typed().text());
        });
    }
    if (!echoed) return std::nullopt;
    std::string tail = suggestion->substr(tab->typed().text().size());
    tab->typed().set_text(std::move(*suggestion));
    return tail;
}

}  // namespace tolvar::app
