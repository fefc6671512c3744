#include "dialogs/profile_editor.hpp"

#include <gtest/gtest.h>

#include "tolvar/proto/serial_line.hpp"

namespace tolvar::app {
namespace {

ProfileFields named(int kind, std::array<std::string, k_field_rows> rows) {
    ProfileFields f;
    f.kind = kind;
    f.name = "Box";
    f.rows = std::move(rows);
    return f;
}

TEST(KindLayout, RowsAndCheckBoxesPerKind) {
    EXPECT_EQ(kind_layout(-1).labels[0], "Command");
    EXPECT_EQ(kind_layout(0).labels[1], "");
    EXPECT_EQ(kind_layout(1).labels[4], "Extra args");
    EXPECT_TRUE(kind_layout(2).check_boxes);
    EXPECT_EQ(kind_layout(2).labels[4], "");
    EXPECT_EQ(kind_layout(3).labels[2], "Viewer path");
    EXPECT_FALSE(kind_layout(3).check_boxes);
    EXPECT_EQ(kind_layout(7).labels[1], "Baud rate");
    EXPECT_TRUE(kind_layout(k_serial_kind).serial_lists);
    EXPECT_FALSE(kind_layout(3).serial_lists);
}

TEST(ReadPort, NumbersOrTheKindsDefault) {
    EXPECT_EQ(read_port("2222", 22), 2222);
    EXPECT_EQ(read_port(" +22 ", 3389), 22);
    EXPECT_EQ(read_port("65535", 22), 65535);
    for (const char* bad :
         {"", "+", "-", "0", "-22", "65536", "99999999999", "22a", "2 2", "++1"}) {
        EXPECT_EQ(read_port(bad, 5900), 5900) << bad;
    }
}

TEST(ExtraArgs, SplitAtRunsOfUnicodeWhiteSpace) {
    EXPECT_EQ(split_extra_args("-v   -o  ServerAliveInterval=30"),
              (std::vector<std::string>{"-v", "-o", "ServerAliveInterval=30"}));
    EXPECT_EQ(split_extra_args(" \xE3\x80\x80-4\t-C\xC2\xA0x "),
              (std::vector<std::string>{"-4", "-C", "x"}));
    EXPECT_TRUE(split_extra_args("  ").empty());
}

TEST(Accept, TheThreeRequiredFields) {
    ProfileFields f = named(0, {"", "", "", "", ""});
    f.name = "   ";
    EXPECT_EQ(accept_fields(f, std::nullopt).error(), "A profile name is required.");
    f.name = "x";
    EXPECT_EQ(accept_fields(f, std::nullopt).error(), "A shell command is required.");
    f.kind = 2;
    EXPECT_EQ(accept_fields(f, std::nullopt).error(), "A host is required.");
    f.kind = -1;  // counts as the local shell
    f.rows[0] = "pwsh";
    EXPECT_EQ(accept_fields(f, std::nullopt)->kind, core::ProfileKind(core::LocalShell{"pwsh"}));
}

TEST(Accept, EachKindFromItsRows) {
    auto ssh = accept_fields(named(1, {"h", "", "u", "", "-v  -C"}), std::nullopt);
    EXPECT_EQ(ssh->kind, core::ProfileKind(core::Ssh{"h", 22, "u", std::nullopt, {"-v", "-C"}}));
    ProfileFields rdp = named(2, {"h", "abc", "", "CORP", "left over"});
    rdp.fullscreen = rdp.admin = true;
    EXPECT_EQ(accept_fields(rdp, std::nullopt)->kind,
              core::ProfileKind(core::Rdp{"h", 3389, std::nullopt, "CORP", true, true}));
    EXPECT_EQ(accept_fields(named(3, {"h", "5901", "C:\\v.exe", "-x", ""}), std::nullopt)->kind,
              core::ProfileKind(core::Vnc{"h", 5901, "C:\\v.exe", {"-x"}}));
}

TEST(Accept, SwitchingKindsKeepsTheRowTexts) {
    // Typed as SSH, then switched to VNC: User becomes Viewer path and
    // Identity file becomes Extra args.
    ProfileFields f = named(1, {"h", "22", "C:\\viewer.exe", "-quality 9", "-v"});
    f.kind = 3;
    EXPECT_EQ(accept_fields(f, std::nullopt)->kind,
              core::ProfileKind(core::Vnc{"h", 22, "C:\\viewer.exe", {"-quality", "9"}}));
    // RDP flags ticked, then switched to SSH: nothing of RDP is stored.
    f = named(2, {"h", "", "", "", ""});
    f.fullscreen = f.admin = true;
    f.kind = 1;
    EXPECT_EQ(accept_fields(f, std::nullopt)->kind,
              core::ProfileKind(core::Ssh{"h", 22, std::nullopt, std::nullopt, {}}));
}

TEST(Accept, IdsGroupsAndColours) {
    ProfileFields f = named(0, {"cmd", "", "", "", ""});
    auto created = accept_fields(f, std::nullopt);
    EXPECT_EQ(created->id.rfind("p-", 0), 0u);
    EXPECT_EQ(created->group, std::nullopt);
    EXPECT_EQ(created->color, std::nullopt);

    core::ConnectionProfile input{"p-7-1", "Old", core::LocalShell{"x"}, "Ops", 200};
    f = fields_of(input);
    EXPECT_EQ(f.color, -1);  // beyond the palette: no entry selected
    EXPECT_EQ(f.group, "Ops");
    auto edited = accept_fields(f, input);
    EXPECT_EQ(edited->id, "p-7-1");
    EXPECT_EQ(edited->color, std::nullopt);
    f.color = 8;  // "Gray"
    EXPECT_EQ(accept_fields(f, input)->color, 7);
}

TEST(FieldsOf, RoundTripThroughTheEditor) {
    core::ConnectionProfile ssh{"p-1", "S", core::Ssh{"h", 2200, "u", "C:\\k", {"-v", "a b"}},
                                std::nullopt, 0};
    ProfileFields f = fields_of(ssh);
    EXPECT_EQ(f.kind, 1);
    EXPECT_EQ(f.color, 1);
    EXPECT_EQ(f.rows, (std::array<std::string, k_field_rows>{"h", "2200", "u", "C:\\k", "-v a b"}));
    // A stored argument with a space cannot survive the editor: it splits.
    auto again = accept_fields(f, ssh);
    EXPECT_EQ(std::get<core::Ssh>(again->kind).extra_args,
              (std::vector<std::string>{"-v", "a", "b"}));

    core::ConnectionProfile rdp{"p-2", "R", core::Rdp{"r", 3390, std::nullopt, "D", true, true},
                                std::nullopt, std::nullopt};
    EXPECT_EQ(accept_fields(fields_of(rdp), rdp)->kind, rdp.kind);
}

TEST(SerialFields, BlankRowsAreTheDefaultsAndBadNumbersKeepTheEditorOpen) {
    ProfileFields f = named(k_serial_kind, {" COM3 ", "", "", "ignored", ""});
    f.parity = -1;
    const auto plain = accept_fields(f, std::nullopt);
    ASSERT_TRUE(plain);
    const auto read = proto::read_serial(std::get<core::Serial>(plain->kind));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->line, proto::SerialLine{"COM3"});

    f.rows[0] = "";
    EXPECT_EQ(accept_fields(f, std::nullopt).error(), "A port is required.");
    f.rows[0] = "COM3";
    for (const char* baud : {"0", "fast", "10000001", "-9600", "96 00"}) {
        f.rows[1] = baud;
        EXPECT_EQ(accept_fields(f, std::nullopt).error(),
                  "The baud rate must be a whole number from 1 to 10000000.")
            << baud;
    }
    f.rows[1] = "115200";
    for (const char* bits : {"4", "9", "eight"}) {
        f.rows[2] = bits;
        EXPECT_EQ(accept_fields(f, std::nullopt).error(), "Data bits must be 5, 6, 7 or 8.");
    }
}

TEST(SerialFields, RoundTripThroughTheEditor) {
    const proto::SerialLine line{"\\\\.\\COM12", 115200, 7, proto::Parity::Space,
                                 proto::StopBits::OneAndHalf, proto::FlowControl::RtsCts};
    const core::ConnectionProfile profile{"p-3", "Switch", proto::stored_serial(line), "lab", {}};
    const ProfileFields f = fields_of(profile);
    EXPECT_EQ(f.kind, k_serial_kind);
    EXPECT_EQ(f.rows, (std::array<std::string, k_field_rows>{"\\\\.\\COM12", "115200", "7", "", ""}));
    EXPECT_EQ(f.parity, 4);
    EXPECT_EQ(f.stop_bits, 1);
    EXPECT_EQ(f.flow_control, 2);
    EXPECT_EQ(accept_fields(f, profile)->kind, profile.kind);

    // A stored value the line cannot use shows as its default, and saving
    // writes what the editor showed.
    core::Serial odd{"COM1"};
    odd.parity.value = core::JsonValue::string("sometimes");
    odd.baud.value = core::JsonValue::string("x");
    const core::ConnectionProfile typo{"p-4", "T", odd, {}, {}};
    const ProfileFields shown = fields_of(typo);
    EXPECT_EQ(shown.parity, 0);
    EXPECT_EQ(shown.rows[1], "9600");
    EXPECT_EQ(accept_fields(shown, typo)->kind,
              core::ProfileKind(proto::stored_serial(proto::SerialLine{"COM1"})));
}

}  // namespace
}  // namespace tolvar::app
