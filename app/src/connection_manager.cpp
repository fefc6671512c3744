#include "tolvar/app/connection_manager.hpp"

#include <algorithm>
#include <variant>

#include "tolvar/core/ids.hpp"
#include "tolvar/core/lowercase.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::app {

namespace {

constexpr char k_em_dash[] = " \xE2\x80\x94 ";

std::string host_port(const std::string& host, std::uint16_t port) {
    return host + ":" + std::to_string(port);
}

}  // namespace

std::string kind_summary(const core::ProfileKind& kind) {
    if (const auto* shell = std::get_if<core::LocalShell>(&kind)) {
        return std::string("local") + k_em_dash + shell->command;
    }
    if (const auto* ssh = std::get_if<core::Ssh>(&kind)) {
        if (ssh->user) return "ssh " + *ssh->user + "@" + host_port(ssh->host, ssh->port);
        return "ssh " + host_port(ssh->host, ssh->port);
    }
    if (const auto* rdp = std::get_if<core::Rdp>(&kind)) {
        return "rdp " + host_port(rdp->host, rdp->port);
    }
    const auto& vnc = std::get<core::Vnc>(kind);
    return "vnc " + host_port(vnc.host, vnc.port);
}

std::string profile_line(const core::ConnectionProfile& profile) {
    return profile.name + k_em_dash + kind_summary(profile.kind);
}

std::vector<std::size_t> matching_profiles(const std::vector<core::ConnectionProfile>& profiles,
                                           std::string_view filter) {
    const std::string needle = core::to_lowercase(core::trim_unicode(filter));
    std::vector<std::size_t> shown;
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        if (!needle.empty()) {
            const std::string haystack =
                core::to_lowercase(profiles[i].name + " " + kind_summary(profiles[i].kind));
            if (haystack.find(needle) == std::string::npos) continue;
        }
        shown.push_back(i);
    }
    return shown;
}

// ------------------------------------------------------------ the dialog

std::optional<std::size_t> ConnectionManager::selected(const ManagerSurface& surface) const {
    const auto line = surface.selected_line();
    if (!line || *line >= shown_.size()) return std::nullopt;
    return shown_[*line];
}

void ConnectionManager::refresh(ManagerSurface& surface) {
    shown_ = matching_profiles(profiles_, surface.filter_text());
    std::vector<std::string> lines;
    lines.reserve(shown_.size());
    for (const std::size_t i : shown_) lines.push_back(profile_line(profiles_[i]));
    surface.show_lines(lines);
    if (!lines.empty()) surface.select_line(0);
}

void ConnectionManager::move_selection(ManagerSurface& surface, int delta) {
    if (shown_.empty()) return;
    const auto current = surface.selected_line();
    const long long last = static_cast<long long>(shown_.size()) - 1;
    const long long from = current ? static_cast<long long>(*current) : 0;
    surface.select_line(static_cast<std::size_t>(std::clamp(from + delta, 0LL, last)));
}

void ConnectionManager::connect(ManagerSurface& surface) {
    const auto index = selected(surface);
    if (!index) return;
    connect_id_ = profiles_[*index].id;
    connect_index_ = *index;
    surface.end();
}

const core::ConnectionProfile* ConnectionManager::chosen() const {
    if (!connect_id_) return nullptr;
    if (connect_index_ < profiles_.size() && profiles_[connect_index_].id == *connect_id_) {
        return &profiles_[connect_index_];
    }
    return find_profile(profiles_, *connect_id_);
}

void ConnectionManager::add(ManagerSurface& surface) {
    auto profile = surface.edit_profile(std::nullopt);
    if (!profile) return;
    profiles_.push_back(std::move(*profile));
    modified_ = true;
    refresh(surface);
}

void ConnectionManager::edit(ManagerSurface& surface) {
    const auto index = selected(surface);
    if (!index) return;
    auto profile = surface.edit_profile(profiles_[*index]);
    if (!profile) return;
    profiles_[*index] = std::move(*profile);
    modified_ = true;
    refresh(surface);
}

void ConnectionManager::duplicate(ManagerSurface& surface) {
    const auto index = selected(surface);
    if (!index) return;
    core::ConnectionProfile copy = profiles_[*index];
    copy.id = core::new_id('p');
    copy.name += " (copy)";
    profiles_.push_back(std::move(copy));
    modified_ = true;
    refresh(surface);
}

void ConnectionManager::remove(ManagerSurface& surface) {
    const auto index = selected(surface);
    if (!index) return;
    if (!surface.ask("Delete profile \"" + profiles_[*index].name + "\"?")) return;
    profiles_.erase(profiles_.begin() + static_cast<std::ptrdiff_t>(*index));
    modified_ = true;
    refresh(surface);
}

bool ConnectionManager::on_key(ManagerSurface& surface, ManagerKey key, bool filter_focused) {
    switch (key) {
        case ManagerKey::Up:
            move_selection(surface, -1);
            return true;
        case ManagerKey::Down:
            move_selection(surface, 1);
            return true;
        case ManagerKey::Insert:
            add(surface);
            return true;
        case ManagerKey::Delete:
            if (filter_focused) return false;
            remove(surface);
            return true;
        case ManagerKey::CtrlD:
            duplicate(surface);
            return true;
        case ManagerKey::F2:
            edit(surface);
            return true;
    }
    return false;
}

// ------------------------------------------------------------ afterwards

void finish_connection_manager(Workspace& workspace, const ConnectionManager& manager) {
    if (manager.modified()) {
        if (auto state = workspace.cell().borrow()) (*state)->config.profiles = manager.profiles();
        workspace.save(ConfigFile::Profiles);
    }
    if (const core::ConnectionProfile* chosen = manager.chosen()) {
        workspace.open_profile(core::ConnectionProfile(*chosen));
    }
}

}  // namespace tolvar::app
