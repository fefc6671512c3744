#include "dialogs/quick_connect.hpp"

#include <variant>

#include "tolvar/core/utf.hpp"
#include "tolvar/proto/rules.hpp"

namespace tolvar::app {

void quick_connect(Workspace& workspace, QuickConnectPort& port) {
    std::string previous;
    for (;;) {
        auto entered = port.prompt_text(k_quick_connect_title, k_quick_connect_label, previous);
        if (!entered) return;
        const std::string text(core::trim_unicode(*entered));
        if (text.empty()) return;
        previous = text;

        auto target = proto::parse_quick_target(text);
        if (!target) {
            port.error_box(target.error().display());
            continue;
        }
        core::Ssh ssh;
        ssh.host = std::move(target->host);
        ssh.port = target->port;
        ssh.user = std::move(target->user);
        auto plan = workspace.plan(ssh);
        if (!plan) {
            port.error_box("Cannot connect: " + plan.error().display());
            continue;
        }
        if (const auto* console = std::get_if<proto::Console>(&*plan)) {
            OpenRequest request;
            request.command = console->command_line;
            request.title = text;
            workspace.open_tab(std::move(request));
        }
        return;
    }
}

}  // namespace tolvar::app
