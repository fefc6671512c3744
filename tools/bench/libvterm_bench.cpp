// libvterm on the benchmark's payloads, through the protocol model-bench
// speaks. libvterm keeps no scrollback: a terminal built
// on it copies each row that leaves the top into a store of its own, as here.

#include <vterm.h>

#include <deque>
#include <vector>

#include "bench_protocol.hpp"

namespace {

class Vterm {
  public:
    Vterm(int rows, int cols, std::size_t scrollback)
        : vt_(vterm_new(rows, cols)), limit_(scrollback) {
        vterm_set_utf8(vt_, 1);
        VTermScreen* screen = vterm_obtain_screen(vt_);
        static const VTermScreenCallbacks callbacks = {.sb_pushline = push_line};
        vterm_screen_set_callbacks(screen, &callbacks, this);
        vterm_screen_reset(screen, 1);
    }
    ~Vterm() { vterm_free(vt_); }
    Vterm(const Vterm&) = delete;
    Vterm& operator=(const Vterm&) = delete;

    void feed(const char* data, std::size_t size) { vterm_input_write(vt_, data, size); }
    std::size_t scrollback_rows() const { return lines_.size(); }

  private:
    // Trailing blank cells on the default background are left out, as the
    // terminals built on libvterm do; the rest is copied cell by cell.
    static int push_line(int cols, const VTermScreenCell* cells, void* user) {
        auto& self = *static_cast<Vterm*>(user);
        int used = cols;
        while (used > 0 && cells[used - 1].chars[0] == 0 &&
               VTERM_COLOR_IS_DEFAULT_BG(&cells[used - 1].bg)) {
            --used;
        }
        if (self.limit_ == 0) return 1;
        if (self.lines_.size() == self.limit_) self.lines_.pop_front();
        self.lines_.emplace_back(cells, cells + used);
        return 1;
    }

    VTerm* vt_;
    std::size_t limit_;
    std::deque<std::vector<VTermScreenCell>> lines_;
};

}  // namespace

int main(int argc, char** argv) {
    return tolvar::bench::serve_bench<Vterm>("libvterm-bench", argc, argv);
}
