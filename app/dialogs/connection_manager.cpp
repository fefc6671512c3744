#include "dialogs/connection_manager.hpp"

#include <algorithm>
#include <variant>

#include "tolvar/core/ids.hpp"
#include "tolvar/core/lowercase.hpp"
#include "tolvar/core/utf.hpp"
#include "tolvar/proto/rules.hpp"
#include "tolvar/proto/serial_line.hpp"

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
    if (const auto* vnc = std::get_if<core::Vnc>(&kind)) {
        return "vnc " + host_port(vnc->host, vnc->port);
    }
    const auto& serial = std::get<core::Serial>(kind);
    // A port the rules refuse is still listed, as written, for the user to edit.
    const auto read = proto::read_serial(serial);
    return "serial " + (read ? proto::line_summary(read->line) : serial.port);
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

// ------------------------------------------------------------ SSH configuration

std::string ssh_host_summary(const proto::SshConfigHost& host) {
    std::string text = "ssh ";
    if (host.user) text += *host.user + "@";
    return text + host.host_name + ":" + host.port + k_em_dash + "from SSH configuration";
}

std::string ssh_host_line(const proto::SshConfigHost& host) {
    return host.alias + k_em_dash + ssh_host_summary(host);
}

std::vector<std::size_t> matching_ssh_hosts(const std::vector<proto::SshConfigHost>& hosts,
                                            std::string_view filter) {
    const std::string needle = core::to_lowercase(core::trim_unicode(filter));
    std::vector<std::size_t> shown;
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        if (!needle.empty()) {
            const std::string haystack =
                core::to_lowercase(hosts[i].alias + " " + ssh_host_summary(hosts[i]));
            if (haystack.find(needle) == std::string::npos) continue;
        }
        shown.push_back(i);
    }
    return shown;
}

proto::LaunchResult<core::ConnectionProfile> profile_from_ssh_host(
    const proto::SshConfigHost& host) {
    auto port = proto::parse_port(host.port);
    if (!port) return unexpected(port.error());
    core::Ssh ssh{host.alias, *port, host.user, std::nullopt, {}};
    return core::ConnectionProfile{core::new_id('p'), host.alias, std::move(ssh), std::nullopt,
                                   std::nullopt};
}

std::vector<proto::SshConfigHost> read_ssh_hosts(Notifier& notifier, proto::SshConfigFiles& files,
                                                 const proto::SshConfigLocations& where) {
    proto::SshConfigListing listing = proto::read_ssh_config(files, where);
    for (std::string& failure : listing.failures) notifier.notify(std::move(failure));
    return std::move(listing.hosts);
}

// ------------------------------------------------------------ the dialog

std::optional<ConnectionManager::Selected> ConnectionManager::selection(
    const ManagerSurface& surface) const {
    const auto line = surface.selected_line();
    if (!line) return std::nullopt;
    if (*line < shown_.size()) return Selected{false, shown_[*line]};
    const std::size_t host = *line - shown_.size();
    if (host < shown_hosts_.size()) return Selected{true, shown_hosts_[host]};
    return std::nullopt;
}

std::optional<std::size_t> ConnectionManager::selected_profile(ManagerSurface& surface,
                                                               std::string_view what) {
    const auto picked = selection(surface);
    if (!picked) return std::nullopt;
    if (picked->from_config) {
        surface.inform("\"" + ssh_hosts_[picked->index].alias +
                       "\" comes from the SSH configuration and cannot be " + std::string(what) +
                       " here. Duplicate makes a profile of it that can.");
        return std::nullopt;
    }
    return picked->index;
}

void ConnectionManager::selection_changed(ManagerSurface& surface) {
    const auto picked = selection(surface);
    surface.set_editable(!picked || !picked->from_config);
}

void ConnectionManager::refresh(ManagerSurface& surface) {
    const std::string filter = surface.filter_text();
    shown_ = matching_profiles(profiles_, filter);
    shown_hosts_ = matching_ssh_hosts(ssh_hosts_, filter);
    std::vector<std::string> lines;
    lines.reserve(shown_.size() + shown_hosts_.size());
    for (const std::size_t i : shown_) lines.push_back(profile_line(profiles_[i]));
    for (const std::size_t i : shown_hosts_) lines.push_back(ssh_host_line(ssh_hosts_[i]));
    surface.show_lines(lines);
    if (!lines.empty()) surface.select_line(0);
    selection_changed(surface);
}

void ConnectionManager::move_selection(ManagerSurface& surface, int delta) {
    const std::size_t count = shown_.size() + shown_hosts_.size();
    if (count == 0) return;
    const auto current = surface.selected_line();
    const long long last = static_cast<long long>(count) - 1;
    const long long from = current ? static_cast<long long>(*current) : 0;
    surface.select_line(static_cast<std::size_t>(std::clamp(from + delta, 0LL, last)));
    selection_changed(surface);
}

void ConnectionManager::connect(ManagerSurface& surface) {
    const auto picked = selection(surface);
    if (!picked) return;
    if (picked->from_config) {
        connect_id_.reset();
        connect_host_ = picked->index;
    } else {
        connect_host_.reset();
        connect_id_ = profiles_[picked->index].id;
        connect_index_ = picked->index;
    }
    surface.end();
}

const proto::SshConfigHost* ConnectionManager::chosen_ssh_host() const {
    return connect_host_ && *connect_host_ < ssh_hosts_.size() ? &ssh_hosts_[*connect_host_]
                                                               : nullptr;
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
    const auto index = selected_profile(surface, "edited");
    if (!index) return;
    auto profile = surface.edit_profile(profiles_[*index]);
    if (!profile) return;
    profiles_[*index] = std::move(*profile);
    modified_ = true;
    refresh(surface);
}

void ConnectionManager::duplicate(ManagerSurface& surface) {
    const auto picked = selection(surface);
    if (!picked) return;
    if (picked->from_config) {
        const proto::SshConfigHost& host = ssh_hosts_[picked->index];
        auto profile = profile_from_ssh_host(host);
        if (!profile) {
            surface.inform("Cannot make a profile of \"" + host.alias +
                           "\": " + profile.error().display());
            return;
        }
        profiles_.push_back(std::move(*profile));
    } else {
        core::ConnectionProfile copy = profiles_[picked->index];
        copy.id = core::new_id('p');
        copy.name += " (copy)";
        profiles_.push_back(std::move(copy));
    }
    modified_ = true;
    refresh(surface);
}

void ConnectionManager::remove(ManagerSurface& surface) {
    const auto index = selected_profile(surface, "deleted");
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

void finish_connection_manager(Workspace& workspace, SaveSchedule& saves,
                               const ConnectionManager& manager) {
    if (manager.modified()) {
        workspace.cell().change(
            [profiles = manager.profiles()](AppState& s) { s.replace_profiles(profiles); },
            [&saves] { saves.save(ConfigFile::Profiles); });
    }
    if (const core::ConnectionProfile* chosen = manager.chosen()) {
        workspace.open_profile(core::ConnectionProfile(*chosen));
    } else if (const proto::SshConfigHost* host = manager.chosen_ssh_host()) {
        workspace.open_ssh_alias(host->alias);
    }
}

}  // namespace tolvar::app
