#include "tolvar/proto/launch_plan.hpp"

#include <array>
#include <atomic>

#include "tolvar/core/utf.hpp"
#include "tolvar/proto/command_line.hpp"
#include "tolvar/proto/rules.hpp"

namespace tolvar::proto {

namespace {

// Process-wide so that two files made within one clock tick still differ.
std::atomic<std::uint64_t> g_rdp_counter{0};

LaunchError invalid(std::string message) {
    return LaunchError::invalid_profile(std::move(message));
}

LaunchResult<LaunchPlan> local_shell_plan(const core::LocalShell& shell) {
    if (auto clean = check_no_controls("command", shell.command); !clean) {
        return unexpected(clean.error());
    }
    if (core::trim_unicode(shell.command).empty()) return unexpected(invalid("command is empty"));
    return LaunchPlan(Console{shell.command});
}

LaunchResult<void> check_endpoint(std::string_view host, std::uint16_t port) {
    if (auto valid = validate_host(host); !valid) return valid;
    return check_port_nonzero(port);
}

LaunchResult<LaunchPlan> ssh_plan(const core::Ssh& ssh, LaunchSystem& system) {
    if (auto valid = check_endpoint(ssh.host, ssh.port); !valid) return unexpected(valid.error());
    if (ssh.user) {
        if (auto valid = validate_name_field("user", *ssh.user); !valid) {
            return unexpected(valid.error());
        }
    }
    if (ssh.identity_file) {
        // A leading '-' is allowed: the path always follows "-i" as its value.
        if (auto clean = check_no_controls("identity_file", *ssh.identity_file); !clean) {
            return unexpected(clean.error());
        }
        if (ssh.identity_file->empty()) return unexpected(invalid("identity_file is empty"));
    }
    if (auto valid = check_ssh_extra_args(ssh.extra_args); !valid) {
        return unexpected(valid.error());
    }

    std::vector<std::string> args;
    if (ssh.port != 22) {
        args.push_back("-p");
        args.push_back(std::to_string(ssh.port));
    }
    if (ssh.identity_file) {
        args.push_back("-i");
        args.push_back(*ssh.identity_file);
    }
    args.insert(args.end(), ssh.extra_args.begin(), ssh.extra_args.end());
    args.push_back(ssh.user ? *ssh.user + "@" + ssh.host : ssh.host);
    return LaunchPlan(Console{join_command_line(find_ssh_program(system), args)});
}

LaunchResult<LaunchPlan> rdp_plan(const core::Rdp& rdp, LaunchSystem& system) {
    if (auto valid = check_endpoint(rdp.host, rdp.port); !valid) return unexpected(valid.error());
    if (rdp.user) {
        if (auto valid = validate_name_field("user", *rdp.user); !valid) {
            return unexpected(valid.error());
        }
    }
    if (rdp.domain) {
        if (auto valid = validate_name_field("domain", *rdp.domain); !valid) {
            return unexpected(valid.error());
        }
    }
    const std::string text = rdp_file_text(rdp);
    const std::uint32_t pid = system.process_id();
    const std::uint64_t counter = g_rdp_counter.fetch_add(1);
    const std::string name = rdp_file_name(pid, counter, system.system_time_100ns());

    auto temp = system.temp_directory();
    if (!temp) return unexpected(LaunchError::io(temp.error()));
    std::string path = join_windows_path(*temp, name);
    if (auto written = system.write_file(path, text); !written) {
        return unexpected(LaunchError::io(written.error()));
    }
    return LaunchPlan(External{"mstsc.exe", {path}, path});
}

LaunchResult<LaunchPlan> vnc_plan(const core::Vnc& vnc, LaunchSystem& system) {
    if (auto valid = check_endpoint(vnc.host, vnc.port); !valid) return unexpected(valid.error());
    if (auto valid = check_extra_args(vnc.extra_args); !valid) return unexpected(valid.error());

    std::string program;
    if (vnc.viewer_path) {
        if (auto clean = check_no_controls("viewer_path", *vnc.viewer_path); !clean) {
            return unexpected(clean.error());
        }
        if (!system.is_file(*vnc.viewer_path)) {
            return unexpected(LaunchError::program_not_found("configured VNC viewer not found: " +
                                                             *vnc.viewer_path));
        }
        program = *vnc.viewer_path;
    } else if (auto found = find_vnc_viewer(system)) {
        program = std::move(*found);
    } else {
        return unexpected(
            LaunchError::program_not_found("no VNC viewer configured and none autodetected "
                                           "(TightVNC/RealVNC/UltraVNC default install paths)"));
    }

    std::vector<std::string> args = vnc.extra_args;
    args.push_back(vnc.host + ":" + std::to_string(vnc.port));
    return LaunchPlan(External{std::move(program), std::move(args), std::nullopt});
}

}  // namespace

LaunchResult<LaunchPlan> build_launch_plan(const core::ProfileKind& kind, LaunchSystem& system) {
    struct Visitor {
        LaunchSystem& system;
        LaunchResult<LaunchPlan> operator()(const core::LocalShell& k) {
            return local_shell_plan(k);
        }
        LaunchResult<LaunchPlan> operator()(const core::Ssh& k) { return ssh_plan(k, system); }
        LaunchResult<LaunchPlan> operator()(const core::Rdp& k) { return rdp_plan(k, system); }
        LaunchResult<LaunchPlan> operator()(const core::Vnc& k) { return vnc_plan(k, system); }
        LaunchResult<LaunchPlan> operator()(const core::Serial& k) {
            auto read = read_serial(k);
            if (!read) return unexpected(read.error());
            return LaunchPlan(SerialPort{std::move(read->line), std::move(read->notices)});
        }
    };
    return std::visit(Visitor{system}, kind);
}

LaunchResult<LaunchPlan> ssh_alias_plan(std::string_view alias, LaunchSystem& system) {
    if (auto valid = validate_host(alias); !valid) return unexpected(valid.error());
    const std::string args[] = {std::string(alias)};
    return LaunchPlan(Console{join_command_line(find_ssh_program(system), args)});
}

std::string find_ssh_program(LaunchSystem& system) {
    // An empty value would make the path relative, and a planted
    // System32\OpenSSH\ssh.exe in the current directory would run.
    std::string root = system.environment_variable("SystemRoot").value_or("");
    if (root.empty()) root = "C:\\Windows";
    std::string path = join_windows_path(root, "System32\\OpenSSH\\ssh.exe");
    if (system.is_file(path)) return path;
    const std::vector<std::string> dirs = program_search_dirs(system);
    if (auto found = resolve_program("ssh.exe", dirs,
                                     [&](const std::string& p) { return system.is_file(p); })) {
        return std::move(*found);
    }
    return path;
}

namespace {

// "C:\..." or "\\server\...": a folder that does not move with the
// current directory or drive.
bool is_absolute_windows_path(std::string_view path) {
    const auto slash = [](char c) { return c == '\\' || c == '/'; };
    if (path.size() >= 2 && slash(path[0]) && slash(path[1])) return true;
    return path.size() >= 3 &&
           ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z')) &&
           path[1] == ':' && slash(path[2]);
}

}  // namespace

std::vector<std::string> program_search_dirs(LaunchSystem& system) {
    std::vector<std::string> dirs;
    if (auto dir = system.system_directory(); dir && !dir->empty()) dirs.push_back(std::move(*dir));
    if (auto path = system.environment_variable("PATH")) {
        for (std::string& dir : split_search_path(*path)) {
            // "." or "bin" in PATH is the current directory by another name.
            if (is_absolute_windows_path(dir)) dirs.push_back(std::move(dir));
        }
    }
    return dirs;
}

std::optional<std::string> find_vnc_viewer(LaunchSystem& system) {
    static constexpr std::array<std::string_view, 3> k_viewers = {
        "TightVNC\\tvnviewer.exe", "RealVNC\\VNC Viewer\\vncviewer.exe",
        "uvnc bvba\\UltraVNC\\vncviewer.exe"};
    std::vector<std::string> bases;
    for (const std::string_view name : {"ProgramFiles", "ProgramFiles(x86)"}) {
        auto value = system.environment_variable(name);
        if (value && !value->empty()) bases.push_back(std::move(*value));
    }
    for (const std::string_view viewer : k_viewers) {
        for (const std::string& base : bases) {
            std::string path = join_windows_path(base, viewer);
            if (system.is_file(path)) return path;
        }
    }
    return std::nullopt;
}

std::string rdp_file_text(const core::Rdp& rdp) {
    std::string text = "full address:s:" + rdp.host;
    if (rdp.port != 3389) {
        text += ":";
        text += std::to_string(rdp.port);
    }
    text += "\r\n";
    if (rdp.user) {
        text += "username:s:";
        if (rdp.domain) text += *rdp.domain + "\\";
        text += *rdp.user + "\r\n";
    }
    text += rdp.fullscreen ? "screen mode id:i:2\r\n" : "screen mode id:i:1\r\n";
    if (rdp.admin) text += "administrative session:i:1\r\n";
    return text;
}

std::string rdp_file_name(std::uint32_t pid, std::uint64_t counter, std::int64_t time_100ns) {
    // Nanoseconds are the ticks followed by two zeros; writing them so cannot
    // overflow whatever the clock says.
    const std::string nanoseconds = time_100ns > 0 ? std::to_string(time_100ns) + "00" : "0";
    return "tolvar-" + std::to_string(pid) + "-" + std::to_string(counter) + "-" + nanoseconds +
           ".rdp";
}

}  // namespace tolvar::proto
