#include "tolvar/app/completion.hpp"

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

void recompute_suggestion(Tab& tab, bool autocomplete) {
    tab.suggestion.reset();
    if (!autocomplete || tab.input_line.empty()) return;
    for (auto it = tab.history.rbegin(); it != tab.history.rend(); ++it) {
        if (it->size() > tab.input_line.size() && it->starts_with(tab.input_line)) {
            tab.suggestion = *it;
            return;
        }
    }
}

void append_history_line(AppState& state, core::FileSystem& fs, std::string_view text,
                         std::uint64_t now_seconds) {
    const std::string_view line = core::strip_line_end(text);
    if (!core::is_recordable_line(line)) return;
    Tab* tab = state.active_tab();
    if (!tab) return;
    tab->history.emplace_back(line);
    tab->suggestion.reset();
    const core::LoadedConfig& config = state.config;
    if (!config.settings.track_history || !config.data_dir) return;
    (void)core::append_history_entry(fs, *config.data_dir, tab->record_id, line, now_seconds);
}

std::optional<std::string> accept_suggestion(AppState& state) {
    Tab* tab = state.active_tab();
    if (!state.config.settings.autocomplete_history || !tab) return std::nullopt;
    std::optional<std::string> suggestion = std::exchange(tab->suggestion, std::nullopt);
    if (!suggestion || suggestion->size() <= tab->input_line.size() ||
        !suggestion->starts_with(tab->input_line)) {
        return std::nullopt;
    }
    std::string tail = suggestion->substr(tab->input_line.size());
    tab->input_line = std::move(*suggestion);
    return tail;
}

}  // namespace tolvar::app
