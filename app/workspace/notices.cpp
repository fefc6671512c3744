#include "workspace/notices.hpp"

#include <algorithm>

#include "workspace/app_state.hpp"
#include "workspace/ports.hpp"

namespace tolvar::app {

std::uint64_t Notices::add(std::string text) {
    for (const Notice& n : shown_) {
        if (n.text == text) return n.id;
    }
    if (shown_.size() == k_max_notices) shown_.erase(shown_.begin());
    shown_.push_back({++next_id_, std::move(text)});
    return next_id_;
}

bool Notices::shows(std::string_view text) const {
    return std::ranges::any_of(shown_, [&](const Notice& n) { return n.text == text; });
}

void Notices::dismiss(std::uint64_t id) {
    std::erase_if(shown_, [&](const Notice& n) { return n.id == id; });
}

void Notifier::notify(std::string text) {
    cell_.change(
        [text = std::move(text)](AppState& state) mutable {
            const bool added = !state.notices().shows(text);
            state.add_notice(std::move(text));
            return added;
        },
        // A failure that repeats with every paint must not paint again.
        [this](bool added) {
            if (added) window_.invalidate();
        });
}

std::vector<NoticeRow> notice_rows(const Notices& notices, const Rect& client, Scale scale) {
    std::vector<NoticeRow> rows;
    const int height = scale(26);
    int top = tab_bar_height(scale);
    for (const Notice& notice : notices.shown()) {
        const Rect row{client.left, top, client.right, top + height};
        rows.push_back({notice.id,
                        row,
                        {row.left + scale(10), row.top, row.right - scale(30), row.bottom},
                        {row.right - scale(26), row.top, row.right - scale(4), row.bottom}});
        top += height;
    }
    return rows;
}

std::optional<NoticeHit> notice_hit(const Notices& notices, const Rect& client, int x, int y,
                                    Scale scale) {
    for (const NoticeRow& r : notice_rows(notices, client, scale)) {
        if (!r.row.contains(x, y)) continue;
        return NoticeHit{r.id, x >= r.close_mark.left - scale(4)};
    }
    return std::nullopt;
}

}  // namespace tolvar::app
