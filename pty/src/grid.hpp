// One screen grid: rows of compact cells in a ring, the cursor, the scroll
// region and, for the primary grid, the scrollback. Internal to the terminal
// model; single-threaded.
//
// Row moves (scrolling, inserting and deleting lines) move entries of the
// row order, never cells; scrolling the scroll region (the whole screen
// without one) only turns a ring over the region's entries, a constant cost
// per line whatever the region's height. Each row remembers how far from the left it may hold anything but
// default cells, so clearing and archiving a short line costs its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cells.hpp"
#include "damage_log.hpp"
#include "hyperlinks.hpp"
#include "scrollback.hpp"
#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::pty {

struct Pos {
    std::uint16_t row = 0;
    std::uint16_t col = 0;
};

class Grid {
  public:
    // Rows written are stamped with `damage`'s number, and scrolls noted there.
    Grid(std::uint16_t rows, std::uint16_t cols, std::size_t scrollback, bool allocate,
         DamageLog& damage);

    std::uint16_t rows() const { return rows_; }
    std::uint16_t cols() const { return cols_; }
    // Rows are made on first use; an unused alternate grid costs nothing.
    void allocate();

    // ---- rows and cells, by row index from the top of the screen
    // Writing access: stamps the row.
    CellData* row(std::uint16_t r) {
        ensure_allocated();
        const std::uint32_t s = slot(r);
        meta_[s].stamp = seq_;
        return &cells_[s * std::size_t{cols_}];
    }
    const CellData* row(std::uint16_t r) const;
    bool wrapped(std::uint16_t r) const;
    void set_wrapped(std::uint16_t r, bool w) {
        RowMeta& m = meta_[slot(r)];
        if (m.wrapped == w) return;
        m.wrapped = w;
        m.stamp = seq_;
    }
    // The number the row was last written under.
    std::uint64_t stamp(std::uint16_t r) const { return allocated() ? meta_[slot(r)].stamp : 0; }
    // Notes that columns below `end` may now hold non-default cells.
    void touch(std::uint16_t r, std::uint16_t end) {
        auto& m = meta_[slot(r)];
        if (m.extent < end) m.extent = end;
    }
    // The column past the last one that text may take on a row: the width,
    // or half of it (rounded up) on a line of double width. Every row of an
    // unallocated grid, and a row below the grid, is single.
    std::uint16_t edge(std::uint16_t r) const {
        if (least_edge_ == cols_ || !allocated() || r >= rows_) return cols_;
        return meta_[slot(r)].edge;
    }
    LineSize line_size(std::uint16_t r) const {
        return allocated() && r < rows_ ? meta_[slot(r)].size : LineSize::Single;
    }
    // DECDWL, DECDHL, DECSWL on row r: the cells past a new half are lost,
    // and a cursor on the row past it comes back to its last column.
    void set_line_size(std::uint16_t r, LineSize size);
    // The edge of every row is at least this: a cursor left of it is left
    // of its row's edge without looking the row up. The width until a row
    // is given a size, so that until then nothing looks rows up at all.
    std::uint16_t least_edge() const { return least_edge_; }

    // Whether the row may hold wide characters or combining marks; notes
    // that it may.
    bool row_special(std::uint16_t r) const { return meta_[slot(r)].special; }
    void mark_special(std::uint16_t r) { meta_[slot(r)].special = true; }

    // The same by a row's slot, for the text paths, which look the slot up
    // once per write. Stamps the row: what they do with the slot is a write.
    std::uint32_t slot_of(std::uint16_t r) {
        ensure_allocated();
        const std::uint32_t s = slot(r);
        meta_[s].stamp = seq_;
        return s;
    }
    // The slot alone, for a path that asks its edge before it writes.
    std::uint32_t slot_at(std::uint16_t r) {
        ensure_allocated();
        return slot(r);
    }
    void stamp_slot(std::uint32_t s) { meta_[s].stamp = seq_; }
    std::uint16_t slot_edge(std::uint32_t s) const { return meta_[s].edge; }
    CellData* slot_cells(std::uint32_t s) { return &cells_[s * std::size_t{cols_}]; }
    bool slot_special(std::uint32_t s) const { return meta_[s].special; }
    void mark_slot_special(std::uint32_t s) { meta_[s].special = true; }
    void touch_slot(std::uint32_t s, std::uint16_t end) {
        auto& m = meta_[s];
        if (m.extent < end) m.extent = end;
    }
    // The combining marks of one cell; null when it has none.
    const Marks* cell_marks(std::uint16_t r, std::uint16_t col) const;

    // Cells [from, to) of a row become part of link `id`.
    void link_cells(std::uint16_t r, std::uint16_t from, std::uint16_t to, std::uint32_t id);
    // The link of one cell; 0 when it has none.
    std::uint32_t cell_link(std::uint16_t r, std::uint16_t col) const;
    // The row's linked cells in column order; entries for cells that no
    // longer carry the link bit are stale and mean nothing.
    const std::vector<LinkedCell>& row_links(std::uint16_t r) const { return links_[slot(r)]; }

    // Cell edits that keep the combining marks in step.
    void set_cell(std::uint16_t r, std::uint16_t col, char32_t c, bool wide, const Attrs& a);
    void clear_cell(std::uint16_t r, std::uint16_t col, const Attrs& a);
    void clear_cell_keep_attrs(std::uint16_t r, std::uint16_t col);
    // Adds a combining mark to a cell of the row in slot s (slot_of).
    void append_mark(std::uint32_t s, std::uint16_t col, char32_t c);
    void clear_row(std::uint16_t r, const Attrs& a) { clear_slot(slot_of(r), a); }
    // clear_row on the row in slot s, stamped: for the scrolls, which know
    // the slot that comes in.
    void clear_slot(std::uint32_t s, const Attrs& a);
    // `edge` is the row's: erasing the last cell before it ends the row's wrap.
    void erase_cell(std::uint16_t r, std::uint16_t col, const Attrs& a, std::uint16_t edge);
    // erase_cell on every column of [from, to), in order.
    void erase_range(std::uint16_t r, std::uint16_t from, std::uint16_t to, const Attrs& a,
                     std::uint16_t edge);
    // A selective erase: erase_cell on the columns of [from, to) that are
    // not protected, in order; without protected cells there, as erase_range
    // or, for the whole of a single-width row, clear_row. `to` is cut to the
    // row's edge.
    void erase_unprotected(std::uint16_t r, std::uint16_t from, std::uint16_t to, const Attrs& a);

    // ---- cursor and region
    Pos pos;
    Pos saved_pos;
    std::uint16_t scroll_top = 0;
    std::uint16_t scroll_bottom = 0;
    bool origin_mode = false;
    bool saved_origin_mode = false;
    // The pen of rows and cells that scrolling, inserting and deleting bring
    // in: the default, or the background colour alone as xterm does.
    Attrs fill;

    // Puts the cursor row back inside the grid: only a cursor restored after
    // the grid shrank can be outside, and the reference crashes on it.
    void clamp_cursor_row() {
        if (pos.row >= rows_) pos.row = static_cast<std::uint16_t>(rows_ - 1);
    }
    void clamp_cursor_col_to_edge() {
        if (pos.col > cols_) pos.col = cols_;
    }

    void clear();  // erase everything, home the cursor, reset the region
    void set_size(std::uint16_t rows, std::uint16_t cols);
    void set_pos(Pos p);
    void save_cursor();
    // onto_grid: clamped to the grid, which may have shrunk since the save.
    void restore_cursor(bool onto_grid);
    // `home`: the cursor goes home, as in xterm; else to the region's first
    // row, as in the reference.
    void set_scroll_region(std::uint16_t top, std::uint16_t bottom, bool home);
    // DECALN: every cell an 'E' in the default pen, the region the whole
    // screen, the cursor home.
    void align();
    void set_origin_mode(bool on);

    void row_inc_clamp(std::uint16_t count);
    std::uint16_t row_inc_scroll(std::uint16_t count) {
        // A line feed at the screen's bottom, with no region: the
        // commonest scroll, and with short lines most of a line's cost.
        if (count == 1 && pos.row == rows_ - 1u && scroll_top == 0 && scroll_bottom == pos.row &&
            allocated()) {
            archive_top_row();
            return 1;
        }
        return row_inc_scroll_other(count);
    }
    std::uint16_t row_inc_scroll_other(std::uint16_t count);
    void row_dec_clamp(std::uint16_t count);
    void row_dec_scroll(std::uint16_t count);
    void row_set(std::uint16_t i);
    void col_inc(std::uint16_t count);
    void col_inc_clamp(std::uint16_t count);
    void col_dec(std::uint16_t count);
    void col_tab();
    void col_set(std::uint16_t i);

    // ---- editing
    void erase_all(const Attrs& a);
    void erase_all_forward(const Attrs& a);
    void erase_all_backward(const Attrs& a);
    void erase_row(const Attrs& a);
    void erase_row_forward(const Attrs& a);
    void erase_row_backward(const Attrs& a);
    void insert_cells(std::uint16_t count);
    void delete_cells(std::uint16_t count);
    void erase_cells(std::uint16_t count, const Attrs& a);
    void insert_lines(std::uint16_t count);
    void delete_lines(std::uint16_t count);
    void scroll_up(std::uint16_t count);
    void scroll_down(std::uint16_t count);

    // After the log's number moved on.
    void follow_seq() { seq_ = damage_->seq(); }

    bool allocated() const { return !cells_.empty(); }
    const Scrollback& scrollback() const { return scrollback_; }
    void drop_scrollback() { scrollback_.clear(); }
    std::size_t memory_bytes() const;

  private:
    struct RowMeta {
        std::uint16_t extent = 0;
        bool wrapped = false;
        // May hold wide halves or combining marks, which a write over them
        // must repair; until then text is stored without looking. A line
        // of another size is special too, so that the history's short path
        // for plain rows, which keeps no size, never takes it.
        bool special = false;
        LineSize size = LineSize::Single;
        std::uint16_t edge = 0;   // see edge(); set with the size
        std::uint64_t stamp = 0;  // DamageLog::seq() of the last write
    };
    // The size went into padding: a row costs no more.
    static_assert(sizeof(RowMeta) == 16);
    void give_size(RowMeta& m, LineSize size) {
        m.size = size;
        m.edge = cols_;
        if (size == LineSize::Single) return;
        least_edge_ = static_cast<std::uint16_t>(cols_ - cols_ / 2);
        m.edge = least_edge_;
        m.special = true;
    }

    std::uint32_t slot(std::uint16_t r) const {
        const unsigned offset = unsigned{r} - ring_top_;
        if (offset >= ring_size_) return order_[r];
        unsigned i = offset + ring_base_;
        if (i >= ring_size_) i -= ring_size_;
        return order_[ring_top_ + i];
    }
    void ensure_allocated() {
        if (cells_.empty()) allocate();
    }
    CellData& at(std::uint16_t r, std::uint16_t col) { return row(r)[col]; }
    Marks* find_marks(std::uint16_t r, std::uint16_t col);
    void drop_marks(std::uint16_t r, std::uint16_t col);
    void blank_row(std::uint16_t r);
    void clear_wide(std::uint16_t r, std::uint16_t col);
    bool in_scroll_region() const { return pos.row >= scroll_top && pos.row <= scroll_bottom; }
    bool scroll_region_active() const { return scroll_top != 0 || scroll_bottom != rows_ - 1; }
    std::uint16_t row_clamp_top(bool limit);
    std::uint16_t row_clamp_bottom(bool limit);
    void col_clamp();
    // Kept apart, so that the usual clamp stays as small as it was.
    [[gnu::cold, gnu::noinline]] void col_clamp_to_edge();
    // Moves rows [top, bottom] up (or down) by k; the k rows that come round
    // to the other end are blanked.
    void rotate_up(std::uint16_t top, std::uint16_t bottom, std::uint16_t k);
    void rotate_down(std::uint16_t top, std::uint16_t bottom, std::uint16_t k);
    // Moves the entries of rows [top, bottom] by k, up or down.
    void turn_order(std::uint16_t top, std::uint16_t bottom, std::uint16_t k, bool up);
    // Puts the ring's turn into the order itself and makes the ring the
    // scroll region.
    void sync_ring();
    void archive_top_row();

    std::uint16_t rows_;
    std::uint16_t cols_;
    std::uint16_t least_edge_;               // see least_edge()
    std::vector<CellData> cells_;            // slot-major, rows_ * cols_
    std::vector<RowMeta> meta_;              // by slot
    std::vector<std::vector<Marks>> marks_;  // by slot, usually empty
    // By slot, usually empty; a column's entry counts only while its cell
    // has the link bit, so overwriting a linked cell needs no lookup here.
    std::vector<std::vector<LinkedCell>> links_;
    // Row index -> slot; rows [ring_top_, ring_top_ + ring_size_) read it
    // turned by ring_base_.
    std::vector<std::uint32_t> order_;
    std::uint32_t ring_top_ = 0;
    std::uint32_t ring_size_ = 0;
    std::uint32_t ring_base_ = 0;
    Scrollback scrollback_;
    DamageLog* damage_;
    std::uint64_t seq_;  // damage_->seq(), kept here for the stamps
};

}  // namespace tolvar::pty
