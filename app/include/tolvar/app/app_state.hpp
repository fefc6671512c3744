// The single state of the UI thread: configuration, tabs, groups and view
// state, and the guard through which every operation reaches it. Nested
// access is refused, so an operation can never observe a half-made change.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "tolvar/app/ports.hpp"
#include "tolvar/core/store.hpp"

namespace tolvar::app {

using GroupId = std::uint64_t;

struct Rgb {
    std::uint8_t r, g, b;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

struct NamedColor {
    std::string_view name;
    Rgb rgb;
};

// Shared by tab colours, group colours and the colour menu.
inline constexpr std::array<NamedColor, core::k_palette_size> k_color_table{{
    {"Red", {231, 72, 86}},
    {"Orange", {247, 140, 60}},
    {"Yellow", {249, 241, 165}},
    {"Green", {22, 198, 12}},
    {"Cyan", {97, 214, 214}},
    {"Blue", {59, 120, 255}},
    {"Purple", {200, 80, 200}},
    {"Gray", {150, 150, 150}},
}};

// The colour of a stored index; nothing for none or an index above 7.
constexpr std::optional<Rgb> color_rgb(std::optional<std::uint8_t> index) {
    if (auto usable = core::usable_color(index)) return k_color_table[*usable].rgb;
    return std::nullopt;
}

enum class ViewMode { Single, TileGroup, TileAll, BrowseGroups };

struct CellPoint {
    std::uint16_t row = 0;
    std::uint16_t col = 0;
    friend constexpr bool operator==(CellPoint, CellPoint) = default;
};

enum class SelectionState : std::uint8_t { Finished = 0, Selecting = 1, None = 2 };

// The mouse text selection, one for the whole window. Rows and columns are
// cells of the pane's visible screen, from 0.
struct MouseSelection {
    std::size_t tab = 0;
    CellPoint anchor;  // where the button went down
    CellPoint end;     // under the pointer
    SelectionState state = SelectionState::None;
};

struct Tab {
    std::optional<std::uint8_t> color;
    std::optional<GroupId> group;
    std::string title;
    std::string record_id;
    std::string input_line;
    std::vector<std::string> history;
    std::optional<std::string> profile_id;
    std::optional<std::string> suggestion;
    std::unique_ptr<Session> session;
    bool custom_title = false;
};

struct TabGroup {
    std::optional<GroupId> parent;
    std::string name;
    GroupId id = 0;
    std::uint8_t color = 0;
    bool collapsed = false;
};

struct OpenRequest {
    std::optional<std::uint8_t> color;
    std::optional<std::string> command;
    std::optional<std::string> title;
    std::optional<std::string> group;
    std::optional<std::string> profile_id;
    std::optional<std::string> record_id;
};

struct AppState {
    core::LoadedConfig config;
    std::vector<Tab> tabs;
    std::vector<TabGroup> groups;
    std::size_t active = 0;
    GroupId next_group_id = 0;
    std::set<GroupId> broadcast;
    ViewMode view_mode = ViewMode::Single;
    std::size_t tile_selection = 0;
    std::vector<GroupId> browse_path;
    MouseSelection selection;
    bool help_visible = false;
    bool tray_added = false;

    Tab* active_tab() { return active < tabs.size() ? &tabs[active] : nullptr; }
    const Tab* active_tab() const { return active < tabs.size() ? &tabs[active] : nullptr; }
    TabGroup* find_group(GroupId id);
    const TabGroup* find_group(GroupId id) const;
    std::optional<std::size_t> tab_index_of(pty::SessionId id) const;
};

// Hands out the state to one user at a time. A second, nested request gets
// nothing and must give up: that is what keeps re-entrant window messages
// (a dialog's loop, a destroy inside an operation) from corrupting it.
class StateCell {
  public:
    class Guard {
      public:
        explicit Guard(StateCell& cell) : cell_(&cell) { cell_->borrowed_ = true; }
        Guard(Guard&& other) noexcept : cell_(std::exchange(other.cell_, nullptr)) {}
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
        Guard& operator=(Guard&&) = delete;
        ~Guard() {
            if (cell_) cell_->borrowed_ = false;
        }
        AppState& operator*() const { return cell_->state_; }
        AppState* operator->() const { return &cell_->state_; }

      private:
        StateCell* cell_;
    };

    std::optional<Guard> borrow() {
        if (borrowed_) return std::nullopt;
        return std::optional<Guard>(std::in_place, *this);
    }
    bool borrowed() const { return borrowed_; }

  private:
    AppState state_;
    bool borrowed_ = false;
};

}  // namespace tolvar::app
