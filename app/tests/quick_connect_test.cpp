#include "tolvar/app/quick_connect.hpp"

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

// Records the kinds it is asked to plan; answers with a fixed plan.
class PlanRecorder final : public ProfileLauncher {
  public:
    explicit PlanRecorder(proto::LaunchResult<proto::LaunchPlan> answer) : answer_(answer) {}
    proto::LaunchResult<proto::LaunchPlan> plan(const core::ProfileKind& kind) override {
        kinds.push_back(kind);
        return answer_;
    }
    void start_external(const proto::External&) override { ADD_FAILURE(); }
    std::vector<core::ProfileKind> kinds;

  private:
    proto::LaunchResult<proto::LaunchPlan> answer_;
};

TEST(QuickConnect, ReopensHoldingTheTextUntilItParses) {
    Rig rig;
    ScriptedPrompt prompt;
    PlanRecorder launcher(proto::LaunchPlan(proto::Console{"ssh.exe -p 2222 alice@srv1"}));
    prompt.answers = {"srv1:0", "alice@srv1:2222"};
    quick_connect(rig.ws, launcher, prompt);
    EXPECT_EQ(prompt.initials, (std::vector<std::string>{"", "srv1:0"}));
    EXPECT_EQ(prompt.errors, (std::vector<std::string>{"invalid profile: port must be non-zero"}));
    ASSERT_EQ(launcher.kinds.size(), 1u);
    EXPECT_EQ(launcher.kinds[0],
              core::ProfileKind(core::Ssh{"srv1", 2222, "alice", std::nullopt, {}}));
    ASSERT_EQ(rig.state().tabs.size(), 1u);
    const Tab& tab = rig.state().tabs[0];
    EXPECT_EQ(tab.title, "alice@srv1:2222");
    EXPECT_TRUE(tab.custom_title);
    EXPECT_EQ(tab.profile_id, std::nullopt);
    EXPECT_EQ(tab.group, std::nullopt);
    EXPECT_EQ(rig.starter.commands[0], "ssh.exe -p 2222 alice@srv1");
}

TEST(QuickConnect, CancelAndBlankEndSilently) {
    Rig rig;
    PlanRecorder launcher(proto::LaunchPlan(proto::Console{"ssh.exe x"}));
    for (std::optional<std::string> answer :
         {std::optional<std::string>(), std::optional<std::string>("  ")}) {
        ScriptedPrompt prompt;
        prompt.answers = {answer, "never asked"};
        quick_connect(rig.ws, launcher, prompt);
        EXPECT_EQ(prompt.initials.size(), 1u);
        EXPECT_TRUE(prompt.errors.empty());
    }
    EXPECT_TRUE(rig.state().tabs.empty());
}

TEST(QuickConnect, PlanErrorsReprompt) {
    Rig rig;
    ScriptedPrompt prompt;
    PlanRecorder launcher(unexpected(proto::LaunchError::program_not_found("ssh.exe")));
    prompt.answers = {" srv1 "};
    quick_connect(rig.ws, launcher, prompt);
    EXPECT_EQ(prompt.errors,
              (std::vector<std::string>{"Cannot connect: program not found: ssh.exe"}));
    EXPECT_EQ(prompt.initials, (std::vector<std::string>{"", "srv1"}));
    EXPECT_TRUE(rig.state().tabs.empty());
}

}  // namespace
}  // namespace tolvar::app
