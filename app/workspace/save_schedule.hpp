// The save points of a run: which configuration files are due, writing them
// from the state, and the one notice per file that could not be written. It
// owns what is due, the session list's hold and the failures told; the
// state it writes stays the cell's. UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "tolvar/core/file_system.hpp"
#include "workspace/app_state.hpp"
#include "workspace/ports.hpp"

namespace tolvar::app {

// The files saved during a run; aliases.json is only ever written at the
// first start.
enum class ConfigFile : std::uint8_t { Settings, Profiles, Sessions };

class SaveSchedule {
  public:
    SaveSchedule(StateCell& cell, WindowPort& window, core::FileSystem& fs)
        : cell_(cell), window_(window), fs_(fs) {}

    // A save point: writes the file from the state, and with it every file
    // an earlier save point failed to write. A failure keeps everything in
    // memory and is told once, until a save of that file succeeds again.
    // Asked for inside a change, the files are written right after it, from
    // the state as it is then.
    void save(ConfigFile file);
    void save_session_list() { save(ConfigFile::Sessions); }
    // Held from the window's creation until the first tabs open after its
    // first paint: until then the file is the last run's list, still to be
    // resumed, and a close in between must not write an empty list over it.
    // A held save stays due and is made by the next save point after.
    void hold_session_list(bool held) { session_list_held_ = held; }

  private:
    void flush();
    // Writes the files due; true when a notice came or went.
    bool write_due(AppState& state);

    StateCell& cell_;
    WindowPort& window_;
    core::FileSystem& fs_;
    // Files waiting to be written, one bit each.
    std::uint8_t due_ = 0;
    bool session_list_held_ = false;
    // The notice that told each file's failure, while it is told.
    std::array<std::optional<std::uint64_t>, 3> failure_notice_{};
};

// One record per tab, in tab-bar order, as the session list is saved.
std::vector<core::SessionRecord> session_records(const AppState& state);

}  // namespace tolvar::app
