// The rules of the history viewer: the recorded lines of one tab's session,
// copying one, and the two resets, behind a small surface of the dialog's
// controls. Only the files are touched, never a running tab's memory.
// UI thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tolvar/core/file_system.hpp"
#include "workspace/app_state.hpp"

namespace tolvar::app {

inline constexpr char k_reset_session_question[] = "Reset the tracked history for this session?";
inline constexpr char k_reset_all_question[] =
    "Reset ALL tracked history for every session? This cannot be undone.";

// "History — {title}", the title without the broadcast mark.
std::string history_viewer_title(const AppState& state, const Tab& tab);

class HistorySurface {
  public:
    virtual ~HistorySurface() = default;
    // Replaces the list box's lines; none is selected.
    virtual void show_lines(const std::vector<std::string>& lines) = 0;
    virtual std::optional<std::size_t> selected_line() const = 0;
    virtual bool ask(const std::string& question) = 0;
    virtual void copy_text(const std::string& text) = 0;
};

class HistoryViewer {
  public:
    HistoryViewer(core::FileSystem& fs, std::optional<core::Path> data_dir, std::string record_id)
        : fs_(fs), data_dir_(std::move(data_dir)), record_id_(std::move(record_id)) {}

    // Reads the file again; any failure shows an empty list.
    void fill(HistorySurface& surface);
    void copy_selected(HistorySurface& surface);
    void reset_session(HistorySurface& surface);
    void reset_all(HistorySurface& surface);

    const std::vector<std::string>& lines() const { return lines_; }

  private:
    core::FileSystem& fs_;
    std::optional<core::Path> data_dir_;
    std::string record_id_;
    std::vector<std::string> lines_;
};

}  // namespace tolvar::app
