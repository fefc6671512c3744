#include "dialogs/quick_connect.hpp"

#include <gtest/gtest.h>

#include <deque>

#include "fakes.hpp"

namespace tolvar::app {
namespace {

using testing::Rig;

class ScriptedPrompt final : public QuickConnectPort {
  public:
    std::optional<std::string> prompt_text(const std::string& title, const std::string& label,
                                           const std::string& initial) override {
        EXPECT_EQ(title, "Quick connect");
        EXPECT_EQ(label, "SSH target \xE2\x80\x94 [user@]host[:port]:");
        initials.push_back(initial);
        if (answers.empty()) return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void error_box(const std::string& text) override { errors.push_back(text); }

    std::deque<std::optional<std::string>> answers;
    std::vector<std::string> initials;
    std::vector<std::string> errors;
};

TEST(QuickConnect, ReopensHoldingTheTextUntilItParses) {
    Rig rig;
    ScriptedPrompt prompt;
    rig.system.files.insert("C:\\Windows\\System32\\OpenSSH\\ssh.exe");
    prompt.answers = {"srv1:0", "alice@srv1:2222"};
    quick_connect(rig.ws, prompt);
    EXPECT_EQ(prompt.initials, (std::vector<std::string>{"", "srv1:0"}));
    EXPECT_EQ(prompt.errors, (std::vector<std::string>{"invalid profile: port must be non-zero"}));
    ASSERT_EQ(rig.state().tabs().size(), 1u);
    const Tab& tab = rig.tab(0);
    EXPECT_EQ(tab.title(), "alice@srv1:2222");
    EXPECT_TRUE(tab.custom_title());
    EXPECT_EQ(tab.profile_id(), std::nullopt);
    EXPECT_EQ(tab.group(), std::nullopt);
    EXPECT_EQ(rig.starter.commands[0],
              "C:\\Windows\\System32\\OpenSSH\\ssh.exe -p 2222 alice@srv1");
}

TEST(QuickConnect, CancelAndBlankEndSilently) {
    Rig rig;
    for (std::optional<std::string> answer :
         {std::optional<std::string>(), std::optional<std::string>("  ")}) {
        ScriptedPrompt prompt;
        prompt.answers = {answer, "never asked"};
        quick_connect(rig.ws, prompt);
        EXPECT_EQ(prompt.initials.size(), 1u);
        EXPECT_TRUE(prompt.errors.empty());
    }
    EXPECT_TRUE(rig.state().tabs().empty());
}

TEST(QuickConnect, TheTargetIsTrimmedAndHeldForTheNextPrompt) {
    Rig rig;
    ScriptedPrompt prompt;
    prompt.answers = {" -srv1 ", " srv1 "};
    quick_connect(rig.ws, prompt);
    EXPECT_EQ(prompt.errors,
              (std::vector<std::string>{"invalid profile: host must not start with '-'"}));
    EXPECT_EQ(prompt.initials, (std::vector<std::string>{"", "-srv1"}));
    EXPECT_EQ(rig.starter.commands.at(0), "C:\\Windows\\System32\\OpenSSH\\ssh.exe srv1");
}

}  // namespace
}  // namespace tolvar::app
