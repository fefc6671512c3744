// libtsm on the benchmark's payloads, through the protocol model-bench
// speaks, with libtsm's own scrollback set to the limit.

#include <libtsm.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_protocol.hpp"

namespace {

class Tsm {
  public:
    Tsm(int rows, int cols, std::size_t scrollback) : rows_(rows) {
        if (tsm_screen_new(&screen_, nullptr, nullptr) < 0 ||
            tsm_screen_resize(screen_, static_cast<unsigned>(cols), static_cast<unsigned>(rows)) <
                0 ||
            tsm_vte_new(&vte_, screen_, ignore_reply, nullptr, nullptr, nullptr) < 0) {
            std::fprintf(stderr, "libtsm-bench: cannot make a screen\n");
            std::exit(1);
        }
        tsm_screen_set_max_sb(screen_, static_cast<unsigned>(scrollback));
    }
    ~Tsm() {
        tsm_vte_unref(vte_);
        tsm_screen_unref(screen_);
    }
    Tsm(const Tsm&) = delete;
    Tsm& operator=(const Tsm&) = delete;

    void feed(const char* data, std::size_t size) { tsm_vte_input(vte_, data, size); }

    // libtsm does not say how many lines its scrollback holds: select from the
    // top of the scrollback to the bottom of the screen and count the lines
    // of the copied text.
    std::size_t scrollback_rows() {
        tsm_screen_sb_up(screen_, UINT_MAX);
        tsm_screen_selection_start(screen_, 0, 0);
        tsm_screen_sb_reset(screen_);
        tsm_screen_selection_target(screen_, tsm_screen_get_width(screen_) - 1,
                                    static_cast<unsigned>(rows_) - 1);
        char* text = nullptr;
        const int size = tsm_screen_selection_copy(screen_, &text);
        tsm_screen_selection_reset(screen_);
        std::size_t lines = 1;
        for (int i = 0; i < size; ++i) lines += text[i] == '\n';
        std::free(text);
        return size < 0 ? 0 : lines - static_cast<std::size_t>(rows_);
    }

  private:
    // Answers to queries would go to the program; there is none.
    static void ignore_reply(tsm_vte*, const char*, std::size_t, void*) {}

    int rows_;
    tsm_screen* screen_ = nullptr;
    tsm_vte* vte_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    return tolvar::bench::serve_bench<Tsm>("libtsm-bench", argc, argv);
}
