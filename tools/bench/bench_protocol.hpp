// The benchmark's clock and the protocol by which model-bench runs another
// terminal core in a program of its own:
//   PROGRAM bench FILE ROWS COLS SCROLLBACK CHUNK RUNS
// prints "mbps X", "bytes N" (heap the core holds after one run, beyond what
// it held before the core was made) and "scrollback N" (lines it keeps).
// Single-threaded; heap counts are glibc's, so Linux only.

#pragma once

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace tolvar::bench {

// CPU time of this thread in seconds: the machine may be busy with other work,
// and every core is timed the same way. Not /proc's schedstat, which moves
// only at scheduler ticks (4 ms here), a quarter of a fast run.
inline double cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Bytes in use on the heap, malloc's own headers included; the large blocks it
// maps separately count too.
inline std::size_t heap_in_use() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Serves the protocol for Core, which offers Core(rows, cols, scrollback),
// feed(const char*, std::size_t) and scrollback_rows(). Returns main's status.
template <class Core>
int serve_bench(const char* name, int argc, char** argv) {
    if (argc != 8 || std::string(argv[1]) != "bench") {
        std::fprintf(stderr, "usage: %s bench FILE ROWS COLS SCROLLBACK CHUNK RUNS\n", name);
        return 2;
    }
    std::ifstream file(argv[2], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "%s: cannot read %s\n", name, argv[2]);
        return 1;
    }
    const std::string payload{std::istreambuf_iterator<char>(file), {}};
    const auto number = [&](int i) { return std::strtoul(argv[i], nullptr, 10); };
    const auto rows = static_cast<int>(number(3));
    const auto cols = static_cast<int>(number(4));
    const std::size_t scrollback = number(5);
    const std::size_t chunk = std::max(1ul, number(6));
    const int runs = std::max(1, static_cast<int>(number(7)));

    std::vector<double> times;
    std::size_t bytes = 0;
    std::size_t lines = 0;
    for (int i = 0; i < runs; ++i) {
        const std::size_t before = heap_in_use();
        Core core(rows, cols, scrollback);
        const double start = cpu_seconds();
        for (std::size_t at = 0; at < payload.size(); at += chunk) {
            core.feed(payload.data() + at, std::min(chunk, payload.size() - at));
        }
        times.push_back(cpu_seconds() - start);
        const std::size_t after = heap_in_use();
        bytes = after > before ? after - before : 0;
        lines = core.scrollback_rows();
    }
    std::sort(times.begin(), times.end());
    std::printf("mbps %.3f\nbytes %zu\nscrollback %zu\n",
                static_cast<double>(payload.size()) / times[times.size() / 2] / 1e6, bytes, lines);
    return 0;
}

}  // namespace tolvar::bench
