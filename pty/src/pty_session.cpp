#include "tolvar/pty/pty_session.hpp"

#include <atomic>

#include "tolvar/core/lowercase.hpp"
#include "tolvar/core/platform.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::pty {

namespace {

std::atomic<SessionId> next_session_id{1};

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// Only the scripts whose case the system's messages use; anything else (a
// digit, a slash, a space) keeps the first letter as it is.
bool is_lower_case_letter(char32_t cp) {
    if (cp >= U'a' && cp <= U'z') return true;
    const bool cased_script =
        (cp >= 0xDF && cp <= 0x24F && cp != 0xF7) || (cp >= 0x370 && cp <= 0x52F);
    if (!cased_script) return false;
    std::string letter;
    core::append_utf8(letter, cp);
    return core::to_lowercase(letter) == letter;
}

}  // namespace

SessionId take_session_id() {
    return next_session_id.fetch_add(1, std::memory_order_relaxed);
}

std::string choose_command_line(const std::optional<std::string>& command,
                                const std::optional<std::string>& comspec) {
    if (command) return *command;
    if (comspec && !core::trim_unicode(*comspec).empty()) return *comspec;
    return std::string(k_default_shell);
}

std::string session_command_line(const std::optional<std::string>& command) {
    if (command) return *command;
    return choose_command_line(std::nullopt, core::environment_variable("COMSPEC"));
}

std::string program_name(std::string_view command_line) {
    std::size_t start = 0;
    while (start < command_line.size() && is_blank(command_line[start])) ++start;
    command_line.remove_prefix(start);
    if (!command_line.empty() && command_line.front() == '"') {
        command_line.remove_prefix(1);
        return std::string(command_line.substr(0, command_line.find('"')));
    }
    std::size_t end = 0;
    while (end < command_line.size() && !is_blank(command_line[end])) ++end;
    return std::string(command_line.substr(0, end));
}

std::string reason_from_system_text(std::string_view text) {
    constexpr std::string_view k_code = " (os error ";
    std::size_t sentence_end = text.rfind(k_code);
    if (sentence_end == std::string_view::npos) sentence_end = text.size();
    std::string sentence(text.substr(0, sentence_end));
    const std::string_view code = text.substr(sentence_end);
    if (!sentence.empty() && sentence.back() == '.') sentence.pop_back();

    if (core::is_valid_utf8(sentence) && !sentence.empty()) {
        std::size_t pos = 0;
        core::next_code_point(sentence, pos);
        const std::size_t first_end = pos;
        if (pos < sentence.size() && is_lower_case_letter(core::next_code_point(sentence, pos))) {
            sentence.replace(0, first_end,
                             core::to_lowercase(std::string_view(sentence).substr(0, first_end)));
        }
    }
    return sentence + std::string(code);
}

StartError start_error(std::string_view command_line, std::string_view step,
                       std::string_view system_text) {
    std::string reason = reason_from_system_text(system_text);
    if (!step.empty()) reason = std::string(step) + ": " + reason;
    return StartError{program_name(command_line), std::move(reason)};
}

}  // namespace tolvar::pty
