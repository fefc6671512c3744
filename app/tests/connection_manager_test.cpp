#include "dialogs/connection_manager.hpp"

#include <gtest/gtest.h>

#include <deque>

#include "fakes.hpp"
#include "memory_ssh_files.hpp"
#include "test_dirs.hpp"
#include "tolvar/core/store.hpp"

namespace tolvar::app {
namespace {

using testing::Rig;

// The dialog's controls: a filter text, the list box lines and selection,
// and scripted answers for the question box and the profile editor.
class FakeSurface final : public ManagerSurface {
  public:
    std::string filter_text() const override { return filter; }
    void show_lines(const std::vector<std::string>& l) override {
        lines = l;
        selection.reset();
    }
    std::optional<std::size_t> selected_line() const override { return selection; }
    void select_line(std::size_t line) override { selection = line; }
    bool ask(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }
    void inform(const std::string& text) override { told.push_back(text); }
    void set_editable(bool e) override { editable = e; }
    std::optional<core::ConnectionProfile> edit_profile(
        const std::optional<core::ConnectionProfile>& profile) override {
        edited.push_back(profile);
        if (editor_results.empty()) return std::nullopt;
        auto result = editor_results.front();
        editor_results.pop_front();
        return result;
    }
    void end() override { ended = true; }

    std::string filter;
    std::vector<std::string> lines;
    std::optional<std::size_t> selection;
    bool answer = true;
    std::vector<std::string> questions;
    std::vector<std::string> told;
    bool editable = true;
    std::deque<std::optional<core::ConnectionProfile>> editor_results;
    std::vector<std::optional<core::ConnectionProfile>> edited;
    bool ended = false;
};

core::ConnectionProfile profile(std::string id, std::string name, core::ProfileKind kind) {
    return {std::move(id), std::move(name), std::move(kind), std::nullopt, std::nullopt};
}

std::vector<core::ConnectionProfile> sample() {
    return {
        profile("p-1", "Shell", core::LocalShell{"pwsh -NoLogo"}),
        profile("p-2", "Prod", core::Ssh{"prod.example", 22, "deploy", std::nullopt, {}}),
        profile("p-3", "Desk", core::Rdp{"desk.local", 3389, "me", "CORP", false, false}),
        profile("p-4", "Lab VNC", core::Vnc{"10.0.0.9", 5901, std::nullopt, {}}),
        profile("p-5", "Mirror",
                core::Ssh{"rdp-gw.internal", 2222, std::nullopt, std::nullopt, {}}),
    };
}

TEST(ProfileLines, KindSummaries) {
    const auto p = sample();
    EXPECT_EQ(profile_line(p[0]), "Shell \xE2\x80\x94 local \xE2\x80\x94 pwsh -NoLogo");
    EXPECT_EQ(profile_line(p[1]), "Prod \xE2\x80\x94 ssh deploy@prod.example:22");
    EXPECT_EQ(profile_line(p[2]), "Desk \xE2\x80\x94 rdp desk.local:3389");
    EXPECT_EQ(profile_line(p[3]), "Lab VNC \xE2\x80\x94 vnc 10.0.0.9:5901");
    EXPECT_EQ(profile_line(p[4]), "Mirror \xE2\x80\x94 ssh rdp-gw.internal:2222");
    core::Serial board{"COM4"};
    board.parity.value = core::JsonValue::string("even");
    EXPECT_EQ(profile_line(profile("p-6", "Board", board)),
              "Board \xE2\x80\x94 serial COM4 9600 8E1");
    // A port the rules refuse is still listed, as written, to be edited.
    EXPECT_EQ(profile_line(profile("p-7", "Bad", core::Serial{"C:\\x"})),
              "Bad \xE2\x80\x94 serial C:\\x");
}

TEST(Filter, MatchesNameAndSummaryWhateverTheCaseAndSpaces) {
    const auto p = sample();
    using V = std::vector<std::size_t>;
    EXPECT_EQ(matching_profiles(p, ""), (V{0, 1, 2, 3, 4}));
    EXPECT_EQ(matching_profiles(p, "rdp"), (V{2, 4}));  // the kind word and a host
    EXPECT_EQ(matching_profiles(p, "  RDP \t"), (V{2, 4}));
    EXPECT_EQ(matching_profiles(p, "lab vnc"), (V{3}));
    EXPECT_EQ(matching_profiles(p, ":2222"), (V{4}));
    EXPECT_EQ(matching_profiles(p, "deploy@"), (V{1}));
    EXPECT_EQ(matching_profiles(p, "nologo"), (V{0}));
    EXPECT_EQ(matching_profiles(p, "corp"), (V{}));  // the domain is not listed

    auto greek = p;
    greek[0].name = "\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3";  // capitals, ending in sigma
    EXPECT_EQ(matching_profiles(greek, "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82"), (V{0}));
}

TEST(Manager, RefreshSelectsTheFirstLineAndMovesClamp) {
    ConnectionManager m(sample());
    FakeSurface s;
    s.filter = "ssh";
    m.refresh(s);
    EXPECT_EQ(m.shown(), (std::vector<std::size_t>{1, 4}));
    EXPECT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(s.selection, 0u);
    m.on_key(s, ManagerKey::Up, false);
    EXPECT_EQ(s.selection, 0u);
    m.on_key(s, ManagerKey::Down, true);
    m.on_key(s, ManagerKey::Down, true);
    EXPECT_EQ(s.selection, 1u);
    s.selection.reset();  // no selection counts as the first entry
    m.move_selection(s, 1);
    EXPECT_EQ(s.selection, 1u);

    s.filter = "nothing like it";
    m.refresh(s);
    EXPECT_EQ(s.selection, std::nullopt);
    m.move_selection(s, 1);
    EXPECT_EQ(s.selection, std::nullopt);
    // Nothing selected: the commands do nothing.
    m.connect(s);
    m.duplicate(s);
    m.remove(s);
    m.edit(s);
    EXPECT_FALSE(s.ended);
    EXPECT_FALSE(m.modified());
    EXPECT_TRUE(s.edited.empty() && s.questions.empty());
}

TEST(Manager, ConnectTakesTheSelectedShownProfile) {
    ConnectionManager m(sample());
    FakeSurface s;
    s.filter = "vnc";
    m.refresh(s);
    m.connect(s);
    EXPECT_EQ(m.connect_id(), "p-4");
    EXPECT_TRUE(s.ended);
}

TEST(Manager, DuplicateOfADuplicate) {
    ConnectionManager m(sample());
    FakeSurface s;
    m.refresh(s);
    s.selection = 1;
    m.on_key(s, ManagerKey::CtrlD, true);
    ASSERT_EQ(m.profiles().size(), 6u);
    EXPECT_EQ(m.profiles()[5].name, "Prod (copy)");
    EXPECT_EQ(m.profiles()[5].kind, m.profiles()[1].kind);
    EXPECT_EQ(m.profiles()[5].id.rfind("p-", 0), 0u);
    EXPECT_NE(m.profiles()[5].id, "p-2");
    EXPECT_EQ(s.selection, 0u);  // the refresh went back to the top
    s.selection = 5;
    m.duplicate(s);
    EXPECT_EQ(m.profiles()[6].name, "Prod (copy) (copy)");
    EXPECT_NE(m.profiles()[6].id, m.profiles()[5].id);
    EXPECT_TRUE(m.modified());
}

TEST(Manager, DeleteAsksAndTheFilterKeepsItsKey) {
    ConnectionManager m(sample());
    FakeSurface s;
    m.refresh(s);
    s.selection = 2;
    // Typing in the filter: the key edits the text.
    EXPECT_FALSE(m.on_key(s, ManagerKey::Delete, true));
    EXPECT_TRUE(s.questions.empty());

    s.answer = false;
    EXPECT_TRUE(m.on_key(s, ManagerKey::Delete, false));
    EXPECT_EQ(s.questions, (std::vector<std::string>{"Delete profile \"Desk\"?"}));
    EXPECT_EQ(m.profiles().size(), 5u);
    EXPECT_FALSE(m.modified());
    EXPECT_EQ(s.selection, 2u);

    s.answer = true;
    m.remove(s);
    ASSERT_EQ(m.profiles().size(), 4u);
    EXPECT_EQ(m.profiles()[2].id, "p-4");
    EXPECT_TRUE(m.modified());
}

TEST(Manager, NewAndEditThroughTheEditor) {
    ConnectionManager m(sample());
    FakeSurface s;
    m.refresh(s);
    s.editor_results = {std::nullopt,
                        profile("p-9", "New", core::Ssh{"n", 22, std::nullopt, std::nullopt, {}})};
    m.on_key(s, ManagerKey::Insert, true);  // cancelled
    EXPECT_FALSE(m.modified());
    m.add(s);
    EXPECT_EQ(m.profiles().back().id, "p-9");
    ASSERT_EQ(s.edited.size(), 2u);
    EXPECT_EQ(s.edited[0], std::nullopt);

    s.selection = 1;
    auto changed = sample()[1];
    changed.name = "Prod 2";
    s.editor_results = {changed};
    m.on_key(s, ManagerKey::F2, false);
    EXPECT_EQ(s.edited.back(), sample()[1]);
    EXPECT_EQ(m.profiles()[1].name, "Prod 2");  // in place
    EXPECT_EQ(m.profiles().size(), 6u);
}

TEST(Finish, SavesEvenWithoutConnectThenConnectsWithEditedValues) {
    core::testing::ScratchDir dir;
    Rig rig;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) {
        c.data_dir = dir.path();
        c.profiles = sample();
    });
    ConnectionManager m(rig.state().config().profiles);
    FakeSurface s;
    m.refresh(s);
    s.selection = 0;
    auto edited = sample()[0];
    edited.kind = core::LocalShell{"cmd /k echo edited"};
    s.editor_results = {edited};
    m.edit(s);
    s.selection = 0;
    m.connect(s);

    finish_connection_manager(rig.ws, rig.saves, m);
    EXPECT_EQ(rig.state().config().profiles[0], edited);
    auto saved = core::read_profiles_file(core::platform_file_system(), dir.path());
    ASSERT_TRUE(saved && *saved);
    EXPECT_EQ((*saved)->profiles, m.profiles());
    ASSERT_EQ(rig.starter.commands.size(), 1u);
    EXPECT_EQ(rig.starter.commands[0], "cmd /k echo edited");
    EXPECT_EQ(rig.tab(0).title(), "Shell");
    EXPECT_EQ(rig.tab(0).profile_id(), "p-1");
    EXPECT_EQ(rig.window.reentry_refused, 0);
}

TEST(Finish, ConnectsToThePickedProfileWhenTwoShareAnId) {
    Rig rig;
    auto profiles = sample();
    profiles[1] = profile("p-1", "Copied by hand", core::LocalShell{"cmd /k echo second"});
    ConnectionManager m(profiles);
    FakeSurface s;
    m.refresh(s);
    s.selection = 1;
    m.connect(s);
    EXPECT_EQ(m.connect_id(), "p-1");
    finish_connection_manager(rig.ws, rig.saves, m);
    ASSERT_EQ(rig.starter.commands.size(), 1u);
    EXPECT_EQ(rig.starter.commands[0], "cmd /k echo second");
    EXPECT_EQ(rig.tab(0).title(), "Copied by hand");
}

TEST(Finish, AnUnchangedListIsNotWritten) {
    core::testing::ScratchDir dir;
    Rig rig;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) { c.data_dir = dir.path(); });
    ConnectionManager m(sample());
    FakeSurface s;
    m.refresh(s);
    s.selection = 3;
    m.connect(s);  // p-4
    rig.system.env["ProgramFiles"] = "C:\\PF";
    rig.system.files.insert("C:\\PF\\TightVNC\\tvnviewer.exe");
    finish_connection_manager(rig.ws, rig.saves, m);
    EXPECT_FALSE(core::platform_file_system().exists(dir / "profiles.json"));
    ASSERT_EQ(rig.externals.started.size(), 1u);
    EXPECT_EQ(rig.externals.started[0].program, "C:\\PF\\TightVNC\\tvnviewer.exe");
}

// ------------------------------------------------------------ SSH configuration

std::vector<proto::SshConfigHost> config_hosts() {
    return {{"web", "web.example.com", "alice", "2222"},
            {"db", "db", std::nullopt, "22"},
            {"odd", "odd", std::nullopt, "ssh"}};
}

const std::string k_from = " \xE2\x80\x94 from SSH configuration";

TEST(SshHosts, ListedAfterTheProfilesAndFilteredLikeThem) {
    ConnectionManager m(sample(), config_hosts());
    FakeSurface s;
    m.refresh(s);
    ASSERT_EQ(s.lines.size(), 8u);
    EXPECT_EQ(s.lines[5], "web \xE2\x80\x94 ssh alice@web.example.com:2222" + k_from);
    EXPECT_EQ(s.lines[6], "db \xE2\x80\x94 ssh db:22" + k_from);

    // The alias, the resolved host, user and port, and the source all count.
    using V = std::vector<std::size_t>;
    s.filter = " EXAMPLE";
    m.refresh(s);
    EXPECT_EQ(m.shown(), (V{1}));
    EXPECT_EQ(m.shown_ssh_hosts(), (V{0}));
    EXPECT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(matching_ssh_hosts(config_hosts(), "alice@"), (V{0}));
    EXPECT_EQ(matching_ssh_hosts(config_hosts(), "from ssh config"), (V{0, 1, 2}));
    EXPECT_EQ(matching_ssh_hosts(config_hosts(), "db:22"), (V{1}));
    EXPECT_EQ(matching_profiles(sample(), "from ssh config"), (V{}));
}

TEST(SshHosts, NeitherEditedNorDeletedAndTheButtonsFollowTheSelection) {
    ConnectionManager m(sample(), config_hosts());
    FakeSurface s;
    m.refresh(s);
    EXPECT_TRUE(s.editable);
    s.selection = 4;
    m.move_selection(s, 1);  // onto the first host
    EXPECT_FALSE(s.editable);
    m.move_selection(s, -1);
    EXPECT_TRUE(s.editable);
    s.selection = 6;
    m.selection_changed(s);
    EXPECT_FALSE(s.editable);

    m.on_key(s, ManagerKey::F2, false);
    m.on_key(s, ManagerKey::Delete, false);
    EXPECT_TRUE(s.edited.empty());
    EXPECT_TRUE(s.questions.empty());
    EXPECT_EQ(s.told, (std::vector<std::string>{
                          "\"db\" comes from the SSH configuration and cannot be edited here. "
                          "Duplicate makes a profile of it that can.",
                          "\"db\" comes from the SSH configuration and cannot be deleted here. "
                          "Duplicate makes a profile of it that can."}));
    EXPECT_FALSE(m.modified());
    EXPECT_EQ(m.ssh_hosts(), config_hosts());

    // A filter that leaves only profiles gives the buttons back.
    s.filter = "shell";
    m.refresh(s);
    EXPECT_TRUE(s.editable);
}

TEST(SshHosts, DuplicateMakesAStoredSshProfileOfTheAlias) {
    ConnectionManager m(sample(), config_hosts());
    FakeSurface s;
    m.refresh(s);
    s.selection = 5;
    m.duplicate(s);
    ASSERT_EQ(m.profiles().size(), 6u);
    const core::ConnectionProfile& made = m.profiles()[5];
    EXPECT_EQ(made.id.rfind("p-", 0), 0u);
    EXPECT_EQ(made.name, "web");
    // The host stays the alias, so ssh still applies the configuration.
    EXPECT_EQ(made.kind, core::ProfileKind(core::Ssh{"web", 2222, "alice", std::nullopt, {}}));
    EXPECT_TRUE(m.modified());
    EXPECT_EQ(m.ssh_hosts().size(), 3u);  // the host is still listed
    EXPECT_EQ(s.lines.size(), 9u);

    s.selection = 8;  // "odd", whose Port ssh would refuse
    m.duplicate(s);
    EXPECT_EQ(m.profiles().size(), 6u);
    EXPECT_EQ(s.told, (std::vector<std::string>{
                          "Cannot make a profile of \"odd\": invalid profile: bad port: \"ssh\""}));
}

TEST(SshHosts, ConnectRunsSshWithTheAliasAloneAndSavesNothing) {
    core::testing::ScratchDir dir;
    Rig rig;
    testing::configure(rig.state(), [&](core::LoadedConfig& c) { c.data_dir = dir.path(); });
    ConnectionManager m(sample(), config_hosts());
    FakeSurface s;
    m.refresh(s);
    s.selection = 1;
    m.connect(s);  // a profile first, then the host: the last choice counts
    s.selection = 5;
    m.connect(s);
    EXPECT_EQ(m.chosen(), nullptr);
    ASSERT_NE(m.chosen_ssh_host(), nullptr);
    EXPECT_TRUE(s.ended);

    finish_connection_manager(rig.ws, rig.saves, m);
    ASSERT_EQ(rig.starter.commands.size(), 1u);
    EXPECT_EQ(rig.starter.commands[0], "C:\\Windows\\System32\\OpenSSH\\ssh.exe web");
    EXPECT_EQ(rig.titles(), (std::vector<std::string>{"web"}));
    EXPECT_EQ(rig.tab(0).profile_id(), std::nullopt);
    EXPECT_FALSE(core::platform_file_system().exists(dir / "profiles.json"));
}

TEST(SshHosts, ReadEveryOpeningWithUnreadableFilesInNotices) {
    Rig rig;
    proto::testing::MemoryFiles files;
    files.files["C:\\Users\\ann\\.ssh\\config"] = "Host one\nHost *\n  User u\n";
    files.unreadable.insert("C:\\ProgramData\\ssh\\ssh_config");
    const proto::SshConfigLocations where{"C:\\Users\\ann", "C:\\ProgramData"};
    auto hosts = read_ssh_hosts(rig.notifier, files, where);
    EXPECT_EQ(hosts, (std::vector<proto::SshConfigHost>{{"one", "one", "u", "22"}}));
    EXPECT_EQ(rig.notices(),
              (std::vector<std::string>{"Cannot read the SSH configuration "
                                        "C:\\ProgramData\\ssh\\ssh_config: Access is denied. "
                                        "Its hosts are not listed."}));
    files.files["C:\\Users\\ann\\.ssh\\config"] = "Host two\n";
    hosts = read_ssh_hosts(rig.notifier, files, where);
    ASSERT_EQ(hosts.size(), 1u);
    EXPECT_EQ(hosts[0].alias, "two");
    EXPECT_EQ(rig.notices().size(), 1u);  // the same failure is not told twice
}

}  // namespace
}  // namespace tolvar::app
