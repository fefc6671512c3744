#include "input/mouse_report.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tolvar::app {
namespace {

using pty::MouseEncoding;
using pty::MouseMode;
using A = MouseAction;
using B = MouseButton;

constexpr Modifiers k_none{};
constexpr Modifiers k_ctrl{true, false, false};
constexpr Modifiers k_shift{false, true, false};
constexpr Modifiers k_alt{false, false, true};
constexpr Modifiers k_all{true, true, true};
constexpr HeldButtons k_free{};
constexpr HeldButtons k_left{true, false, false};
constexpr HeldButtons k_middle_right{false, true, true};

ReportModes modes(MouseMode mode, MouseEncoding encoding = MouseEncoding::Default,
                  std::uint16_t cols = 80, std::uint16_t rows = 24) {
    return {mode, encoding, cols, rows};
}

struct Case {
    const char* what;
    MouseEvent event;
    ReportModes modes;
    std::optional<std::string> bytes;
};

void expect_cases(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(mouse_report(c.event, c.modes), c.bytes) << c.what;
    }
}

TEST(MouseReport, DefaultEncodingButtonsReleasesAndTheWheel) {
    const ReportModes m = modes(MouseMode::PressRelease);
    expect_cases({
        {"left press at the top left", {A::Press, B::Left, k_none, 0, 0, k_left}, m, "\x1b[M !!"},
        {"middle press", {A::Press, B::Middle, k_none, 4, 2, {}}, m, "\x1b[M!%#"},
        {"right press", {A::Press, B::Right, k_none, 9, 0, {}}, m, "\x1b[M\"*!"},
        {"release is 3 whatever went up",
         {A::Release, B::Right, k_none, 0, 0, k_free},
         m,
         "\x1b[M#!!"},
        {"wheel up", {A::WheelUp, B::None, k_none, 1, 1, k_free}, m, "\x1b[M`\"\""},
        {"wheel down", {A::WheelDown, B::None, k_none, 1, 1, k_free}, m, "\x1b[Ma\"\""},
    });
}

TEST(MouseReport, ModifiersAddToTheButton) {
    const ReportModes m = modes(MouseMode::PressRelease);
    const ReportModes sgr = modes(MouseMode::PressRelease, MouseEncoding::Sgr);
    expect_cases({
        {"shift +4", {A::Press, B::Left, k_shift, 0, 0, k_left}, m, "\x1b[M$!!"},
        {"alt +8", {A::Press, B::Left, k_alt, 0, 0, k_left}, m, "\x1b[M(!!"},
        {"ctrl +16", {A::Press, B::Left, k_ctrl, 0, 0, k_left}, m, "\x1b[M0!!"},
        {"all three", {A::Press, B::Right, k_all, 0, 0, {}}, sgr, "\x1b[<30;1;1M"},
        {"ctrl on the wheel", {A::WheelDown, B::None, k_ctrl, 0, 0, {}}, sgr, "\x1b[<81;1;1M"},
        {"ctrl on a release", {A::Release, B::Left, k_ctrl, 0, 0, {}}, m, "\x1b[M3!!"},
    });
}

TEST(MouseReport, SgrKeepsTheReleasedButtonAndHasNoLimit) {
    const ReportModes m = modes(MouseMode::PressRelease, MouseEncoding::Sgr, 3000, 3000);
    expect_cases({
        {"press", {A::Press, B::Middle, k_none, 9, 19, {}}, m, "\x1b[<1;10;20M"},
        {"release names its button",
         {A::Release, B::Right, k_none, 9, 19, {}},
         m,
         "\x1b[<2;10;20m"},
        {"far columns in decimal",
         {A::Press, B::Left, k_none, 2499, 0, k_left},
         m,
         "\x1b[<0;2500;1M"},
    });
}

TEST(MouseReport, TheDefaultEncodingSendsNothingPastColumn223) {
    const ReportModes m = modes(MouseMode::PressRelease, MouseEncoding::Default, 300, 300);
    expect_cases({
        {"the last it carries",
         {A::Press, B::Left, k_none, 222, 222, k_left},
         m,
         "\x1b[M \xff\xff"},
        {"a column past it", {A::Press, B::Left, k_none, 223, 0, k_left}, m, std::nullopt},
        {"a row past it", {A::Release, B::Left, k_none, 0, 223, k_free}, m, std::nullopt},
    });
}

TEST(MouseReport, Utf8CarriesCoordinatesTo2015) {
    const ReportModes m = modes(MouseMode::PressRelease, MouseEncoding::Utf8, 3000, 3000);
    expect_cases({
        {"one byte up to column 95", {A::Press, B::Left, k_none, 94, 0, k_left}, m, "\x1b[M \x7f!"},
        {"two bytes from column 96",
         {A::Press, B::Left, k_none, 95, 0, k_left},
         m,
         "\x1b[M \xc2\x80!"},
        {"past 223, which the default cannot",
         {A::Press, B::Left, k_none, 299, 0, k_left},
         m,
         "\x1b[M \xc5\x8c!"},
        {"the last", {A::Press, B::Left, k_none, 2014, 2014, k_left}, m, "\x1b[M \xdf\xbf\xdf\xbf"},
        {"past the last", {A::Press, B::Left, k_none, 2015, 0, k_left}, m, std::nullopt},
    });
}

TEST(MouseReport, EachModeReportsItsEvents) {
    const MouseEvent press{A::Press, B::Left, k_ctrl, 0, 0, k_left};
    const MouseEvent release{A::Release, B::Left, k_none, 0, 0, k_free};
    const MouseEvent drag{A::Motion, B::None, k_none, 2, 0, k_left};
    const MouseEvent hover{A::Motion, B::None, k_none, 2, 0, k_free};
    const MouseEvent wheel{A::WheelUp, B::None, k_none, 0, 0, k_free};
    expect_cases({
        {"off: nothing", press, modes(MouseMode::None), std::nullopt},
        {"X10: a press, without its modifiers", press, modes(MouseMode::Press), "\x1b[M !!"},
        {"X10: no release", release, modes(MouseMode::Press), std::nullopt},
        {"X10: no drag", drag, modes(MouseMode::Press), std::nullopt},
        {"X10: the wheel is a press", wheel, modes(MouseMode::Press), "\x1b[M`!!"},
        {"1000: no drag", drag, modes(MouseMode::PressRelease), std::nullopt},
        {"1002: a drag", drag, modes(MouseMode::ButtonMotion), "\x1b[M@#!"},
        {"1002: no motion without a button", hover, modes(MouseMode::ButtonMotion), std::nullopt},
        {"1003: motion without a button is 3 + 32", hover, modes(MouseMode::AnyMotion),
         "\x1b[MC#!"},
        {"1003: a drag", drag, modes(MouseMode::AnyMotion), "\x1b[M@#!"},
    });
}

TEST(MouseReport, DragsNameTheLowestHeldButtonAndClampToThePane) {
    const ReportModes m = modes(MouseMode::ButtonMotion, MouseEncoding::Sgr, 10, 5);
    expect_cases({
        {"middle and right held: middle",
         {A::Motion, B::None, k_alt, 3, 3, k_middle_right},
         m,
         "\x1b[<41;4;4M"},
        {"past the right and bottom edges",
         {A::Motion, B::None, k_none, 40, 9, k_left},
         m,
         "\x1b[<32;10;5M"},
        {"above and left of the pane",
         {A::Motion, B::None, k_none, -3, -1, k_left},
         m,
         "\x1b[<32;1;1M"},
        {"a release past the edge",
         {A::Release, B::Left, k_none, 99, 99, k_free},
         m,
         "\x1b[<0;10;5m"},
    });
}

TEST(MouseReport, NothingWithoutAButtonOrAGrid) {
    expect_cases({
        {"a press of no button",
         {A::Press, B::None, k_none, 0, 0, {}},
         modes(MouseMode::AnyMotion),
         std::nullopt},
        {"an empty grid",
         {A::Press, B::Left, k_none, 0, 0, k_left},
         modes(MouseMode::AnyMotion, MouseEncoding::Sgr, 0, 0),
         std::nullopt},
    });
}

TEST(MouseRoute, ShiftKeepsTheMouseLocalAndOtherwiseReportsTakeIt) {
    EXPECT_EQ(mouse_route(MouseMode::None, k_none), MouseRoute::Local);
    EXPECT_EQ(mouse_route(MouseMode::None, k_ctrl), MouseRoute::Local);
    for (MouseMode mode : {MouseMode::Press, MouseMode::PressRelease, MouseMode::ButtonMotion,
                           MouseMode::AnyMotion}) {
        EXPECT_EQ(mouse_route(mode, k_none), MouseRoute::Application);
        EXPECT_EQ(mouse_route(mode, k_alt), MouseRoute::Application);
        EXPECT_EQ(mouse_route(mode, k_shift), MouseRoute::Local);
        EXPECT_EQ(mouse_route(mode, k_all), MouseRoute::Local);
    }
}

TEST(CellAt, RoundsDownOnBothSidesOfTheText) {
    const Rect text{10, 20, 90, 100};
    const CellMetrics cell{8, 16, 16};
    EXPECT_EQ(cell_at(text, cell, 10, 20), (CellAt{0, 0}));
    EXPECT_EQ(cell_at(text, cell, 17, 35), (CellAt{0, 0}));
    EXPECT_EQ(cell_at(text, cell, 18, 36), (CellAt{1, 1}));
    // Left of and above the text is before the first cell, not in it.
    EXPECT_EQ(cell_at(text, cell, 9, 19), (CellAt{-1, -1}));
    EXPECT_EQ(cell_at(text, cell, 2, 4), (CellAt{-1, -1}));
    EXPECT_EQ(cell_at(text, cell, 1, 3), (CellAt{-2, -2}));
}

TEST(FocusReport, InAndOut) {
    EXPECT_EQ(focus_report(true), "\x1b[I");
    EXPECT_EQ(focus_report(false), "\x1b[O");
}

}  // namespace
}  // namespace tolvar::app
