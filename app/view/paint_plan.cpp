#include "view/paint_plan.hpp"

#include <algorithm>

#include "view/layout.hpp"
#include "view/tab_bar.hpp"
#include "workspace/tab_view.hpp"

namespace tolvar::app {
namespace {

bool same_selection(const std::optional<SelectionSpan>& a, const std::optional<SelectionSpan>& b) {
    if (a.has_value() != b.has_value()) return false;
    if (!a) return true;
    return a->start == b->start && a->end == b->end && a->block == b->block;
}

// The rows a selection covers on a pane whose first row shows `top`.
void add_selection_rows(const std::optional<SelectionSpan>& s, pty::LineNumber top,
                        std::uint16_t rows, std::vector<std::uint16_t>& out) {
    if (!s || rows == 0) return;
    const pty::LineNumber first = std::min(s->start.line, s->end.line);
    const pty::LineNumber last = std::max(s->start.line, s->end.line);
    if (last < top || first >= top + rows) return;
    const pty::LineNumber from = std::max(first, top);
    const pty::LineNumber to = std::min<pty::LineNumber>(last, top + rows - 1);
    for (pty::LineNumber line = from; line <= to; ++line)
        out.push_back(static_cast<std::uint16_t>(line - top));
}

// Where a row's pixels are after the blits, if still on the pane.
std::optional<std::uint16_t> after_scrolls(std::uint16_t row,
                                           const std::vector<pty::ScrollMove>& scrolls) {
    int at = row;
    for (const pty::ScrollMove& m : scrolls) {
        if (at < m.top || at > m.bottom) continue;
        at -= m.count;
        if (at < m.top || at > m.bottom) return std::nullopt;
    }
    return static_cast<std::uint16_t>(at);
}

}  // namespace

PanePlan plan_pane(const PaneShown& drawn, const PaneShown& now, const pty::Damage& damage) {
    PanePlan plan;
    const bool content = !damage.scrolls.empty() || !damage.rows.empty();
    const bool live = drawn.offset == 0 && now.offset == 0;
    if (drawn.seq == 0 || damage.everything || damage.modes || !(drawn.text == now.text) ||
        drawn.look != now.look || drawn.rows != now.rows || drawn.offset != now.offset ||
        drawn.find != now.find || (!live && content)) {
        plan.whole = true;
        return plan;
    }
    // A blit moves a selection's pixels with the rows, which its lines do
    // not follow in a region; with no blit the pane shows the same lines.
    const bool selected = drawn.selection || now.selection;
    if (!damage.scrolls.empty() && selected) {
        plan.whole = true;
        return plan;
    }
    if (damage.scrolls.empty() && drawn.top != now.top) {
        plan.whole = true;
        return plan;
    }
    for (const pty::ScrollMove& m : damage.scrolls) {
        // Rows from past the visible ones would come in undrawn.
        if (m.bottom >= now.rows || m.top > m.bottom) {
            plan.whole = true;
            return plan;
        }
        if (m.count != 0) plan.scrolls.push_back(m);
    }

    for (const std::uint16_t r : damage.rows)
        if (r < now.rows) plan.rows.push_back(r);
    if (!same_selection(drawn.selection, now.selection)) {
        add_selection_rows(drawn.selection, drawn.top, drawn.rows, plan.rows);
        add_selection_rows(now.selection, now.top, now.rows, plan.rows);
    }
    // The cursor and the ghost text are drawn over the cells: where they
    // were (moved by the blits) loses them, where they are gets them.
    if (damage.cursor || !plan.scrolls.empty() || drawn.overlay_row != now.overlay_row ||
        drawn.overlay != now.overlay) {
        if (drawn.overlay_row) {
            if (const auto moved = after_scrolls(*drawn.overlay_row, plan.scrolls))
                plan.rows.push_back(*moved);
        }
        if (now.overlay_row && *now.overlay_row < now.rows) plan.rows.push_back(*now.overlay_row);
    }
    std::sort(plan.rows.begin(), plan.rows.end());
    plan.rows.erase(std::unique(plan.rows.begin(), plan.rows.end()), plan.rows.end());
    return plan;
}

namespace {

class Mix {
  public:
    void add(std::uint64_t v) { h_ = (h_ ^ v) * 0x100000001b3u; }
    void add(std::string_view text) {
        add(text.size());
        for (const char c : text) add(static_cast<unsigned char>(c));
    }
    void add(const Rect& r) {
        add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(r.left)) << 32 |
            static_cast<std::uint32_t>(r.top));
        add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(r.right)) << 32 |
            static_cast<std::uint32_t>(r.bottom));
    }
    void add(Rgb c) { add(std::uint64_t{c.r} << 16 | std::uint64_t{c.g} << 8 | c.b); }
    std::uint64_t value() const { return h_; }

  private:
    std::uint64_t h_ = 0xcbf29ce484222325u;
};

}  // namespace

std::uint64_t frame_chrome(const AppState& state, const Rect& client, Scale scale) {
    Mix m;
    m.add(static_cast<std::uint64_t>(state.view_mode()));
    m.add(static_cast<std::uint64_t>(state.active()));
    m.add(state.help_visible());
    for (const Notice& n : state.notices().shown()) m.add(n.id);
    for (const BarItem& item : bar_items(state)) {
        const BarItemLook look = bar_item_look(state, item);
        m.add(look.text);
        m.add(look.background);
        for (const std::optional<Rgb>& stripe : {look.top_stripe, look.bottom_stripe}) {
            m.add(stripe.has_value());
            if (stripe) m.add(*stripe);
        }
    }
    for (const Pane& pane : panes(state, client, scale)) {
        m.add(static_cast<std::uint64_t>(pane.tab));
        m.add(pane.rect);
        m.add(pane.caption);
        if (const Tab* tab = state.find_tab(pane.tab)) {
            if (pane.caption) m.add(marked_title(state, *tab));
            m.add(tab->scroll().live());
            m.add(tab->color() ? 1u + *tab->color() : 0u);
        }
    }
    if (const auto& link = state.hovered_link()) {
        m.add(1 + static_cast<std::uint64_t>(link->tab));
        m.add(link->span.start.line);
        m.add(link->span.start.col);
        m.add(link->tip);
    }
    if (state.find()) m.add(1 + static_cast<std::uint64_t>(state.find()->tab));
    if (const MouseSelection& s = state.selection(); s.state != SelectionState::None) {
        m.add(static_cast<std::uint64_t>(s.tab));
        m.add(static_cast<std::uint64_t>(s.state));
        m.add(s.anchor.line);
        m.add(s.anchor.col);
        m.add(s.end.line);
        m.add(s.end.col);
        m.add(s.block);
    }
    return m.value();
}

}  // namespace tolvar::app
