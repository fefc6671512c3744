// Ingest speed and memory of the terminal model beside other terminal cores,
// on the same payloads in the same run: twenty-one workloads fed in 8192-byte chunks
// to a 50 x 200 screen with 10 000 lines of scrollback, median of 5 runs.
// Then the model's history as the view reads it: a search for text that is
// not there over a full history, and the decoding of one page of it.
//
//   model-bench [--oracle PATH] [--megabytes N] [--runs N] [--only WORKLOAD] [--reader 1]
//
// Prints a Markdown table. The other cores run as programs of their own,
// speaking the benchmark's protocol: the vt100 crate always (vt-oracle,
// PATH), and alacritty_terminal, libtsm and libvterm in a build configured
// with -DTOLVAR_BENCH_CORES=ON (which the compare-cores script makes). A
// core whose program is missing or fails shows "-". Times are CPU times, so a
// busy machine slows no side.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_protocol.hpp"
#include "tolvar/core/utf.hpp"
#include "tolvar/pty/terminal_model.hpp"

namespace {

constexpr std::uint16_t k_rows = 50;
constexpr std::uint16_t k_cols = 200;
constexpr std::size_t k_scrollback = 10000;
constexpr std::size_t k_chunk = 8192;

struct Workload {
    const char* name;
    std::string (*make)(std::size_t bytes);
};

std::string word(std::mt19937& rng) {
    std::string w;
    const int n = 2 + static_cast<int>(rng() % 8);
    for (int i = 0; i < n; ++i) w += static_cast<char>('a' + rng() % 26);
    return w;
}

// Lines as long as the screen is wide, as from `cat` of a log file.
std::string dense_ascii(std::size_t bytes) {
    std::mt19937 rng(1);
    std::string out;
    while (out.size() < bytes) {
        std::string line;
        while (line.size() < k_cols - 1) line += word(rng) + ' ';
        line.resize(k_cols - 1);
        out += line + "\r\n";
    }
    return out;
}

// Coloured output: every word in its own colour and style, as from a
// compiler or `ls --color`.
std::string sgr_heavy(std::size_t bytes) {
    std::mt19937 rng(2);
    std::string out;
    while (out.size() < bytes) {
        int width = 0;
        while (width < 150) {
            const std::string w = word(rng);
            switch (rng() % 4) {
                case 0:
                    out += "\x1b[1;3" + std::to_string(rng() % 8) + "m";
                    break;
                case 1:
                    out += "\x1b[38;5;" + std::to_string(rng() % 256) + "m";
                    break;
                case 2:
                    out += "\x1b[38;2;" + std::to_string(rng() % 256) + ";" +
                           std::to_string(rng() % 256) + ";" + std::to_string(rng() % 256) + "m";
                    break;
                default:
                    out += "\x1b[4;4" + std::to_string(rng() % 8) + "m";
                    break;
            }
            out += w + "\x1b[0m ";
            width += static_cast<int>(w.size()) + 1;
        }
        out += "\r\n";
    }
    return out;
}

// CJK text with combining marks.
std::string wide_and_combining(std::size_t bytes) {
    std::mt19937 rng(3);
    std::string out;
    while (out.size() < bytes) {
        int width = 0;
        while (width < k_cols - 4) {
            if (rng() % 3 == 0) {
                tolvar::core::append_utf8(out, U'a' + rng() % 26);
                tolvar::core::append_utf8(out, 0x300 + rng() % 0x40);
                width += 1;
            } else {
                tolvar::core::append_utf8(out, 0x4e00 + rng() % 0x5000);
                width += 2;
            }
        }
        out += "\r\n";
    }
    return out;
}

// Full-screen redraws by cursor address, as from `top` or an editor.
std::string cursor_redraw(std::size_t bytes) {
    std::mt19937 rng(4);
    std::string out;
    while (out.size() < bytes) {
        out += "\x1b[H";
        for (int r = 1; r <= k_rows; ++r) {
            out += "\x1b[" + std::to_string(r) + ";1H";
            if (rng() % 2) out += "\x1b[7m";
            int width = 0;
            while (width < 120) {
                const std::string w = word(rng);
                out += w + ' ';
                width += static_cast<int>(w.size()) + 1;
            }
            out += "\x1b[0m\x1b[K";
        }
    }
    return out;
}

// Short lines that scroll, as from a build log.
std::string short_lines(std::size_t bytes) {
    std::mt19937 rng(5);
    std::string out;
    while (out.size() < bytes) out += word(rng) + " " + std::to_string(rng() % 1000) + "\r\n";
    return out;
}

// ---- the shapes of the field's standard throughput benchmark

// A line of words as wide as the screen, less one column.
std::string full_line(std::mt19937& rng) {
    std::string line;
    while (line.size() < k_cols - 1) line += word(rng) + ' ';
    line.resize(k_cols - 1);
    return line;
}

// Lines entering a scroll region at its top (reverse index at the region's
// first row) or at its bottom (line feed at its last row), as a pager or a
// multiplexer's pane scrolls.
std::string region_scroll(std::size_t bytes, int top, int bottom, bool at_top, unsigned seed) {
    std::mt19937 rng(seed);
    std::string out = "\x1b[" + std::to_string(top) + ";" + std::to_string(bottom) + "r";
    const std::string place = "\x1b[" + std::to_string(at_top ? top : bottom) + ";1H";
    while (out.size() < bytes) {
        out += place;
        if (at_top) out += "\x1bM";
        out += full_line(rng);
        if (!at_top) out += "\r\n";
    }
    return out;
}
std::string region_full_top(std::size_t bytes) {
    return region_scroll(bytes, 1, k_rows, true, 11);
}
std::string region_full_bottom(std::size_t bytes) {
    return region_scroll(bytes, 1, k_rows, false, 12);
}
std::string region_half_top(std::size_t bytes) {
    return region_scroll(bytes, 1, k_rows / 2, false, 13);
}
std::string region_half_bottom(std::size_t bytes) {
    return region_scroll(bytes, k_rows / 2 + 1, k_rows, true, 14);
}

// One character at a random cell each time.
std::string random_motion(std::size_t bytes) {
    std::mt19937 rng(15);
    std::string out;
    while (out.size() < bytes) {
        out += "\x1b[" + std::to_string(1 + rng() % k_rows) + ";" +
               std::to_string(1 + rng() % k_cols) + "H" + static_cast<char>('a' + rng() % 26);
    }
    return out;
}

// Screens redrawn on the alternate screen: `cells` picks how each cell or
// word is written.
template <class Row>
std::string alternate_redraws(std::size_t bytes, unsigned seed, Row row) {
    std::mt19937 rng(seed);
    std::string out = "\x1b[?1049h";
    while (out.size() < bytes) {
        out += "\x1b[H";
        for (int r = 0; r < k_rows; ++r) {
            row(rng, out);
            out += r + 1 < k_rows ? "\r\n" : "";
        }
    }
    return out;
}

// Every cell in its own 256-colour or RGB colours and attributes.
std::string dense_cells(std::size_t bytes) {
    return alternate_redraws(bytes, 16, [](std::mt19937& rng, std::string& out) {
        for (int c = 0; c < k_cols; ++c) {
            out += "\x1b[" + std::to_string(rng() % 2) + ";38;5;" + std::to_string(rng() % 256) +
                   ";48;2;" + std::to_string(rng() % 256) + ";" + std::to_string(rng() % 256) +
                   ";" + std::to_string(rng() % 256) + (rng() % 2 ? ";4" : ";7") + "m" +
                   static_cast<char>('!' + rng() % 94);
        }
        out += "\x1b[0m";
    });
}

// An editor's redraw: runs of a few words in one colour, a line number.
std::string medium_cells(std::size_t bytes) {
    int number = 0;
    return alternate_redraws(bytes, 17, [&](std::mt19937& rng, std::string& out) {
        out += "\x1b[33m" + std::to_string(1000 + number++ % 9000) + " \x1b[0m";
        int width = 5;
        while (width < k_cols - 12) {
            out += "\x1b[" + std::to_string(30 + rng() % 8) + "m";
            for (int w = 0; w < 3; ++w) {
                const std::string text = word(rng);
                out += text + ' ';
                width += static_cast<int>(text.size()) + 1;
            }
        }
        out += "\x1b[0m\x1b[K";
    });
}

// Plain text filling the alternate screen: nothing scrolls.
std::string plain_alternate(std::size_t bytes) {
    return alternate_redraws(bytes, 18,
                             [](std::mt19937& rng, std::string& out) { out += full_line(rng); });
}

// Text with lone 0xEE bytes (an invalid UTF-8 lead) between words.
std::string invalid_utf8(std::size_t bytes) {
    std::mt19937 rng(19);
    std::string out;
    while (out.size() < bytes) {
        std::string line;
        while (line.size() < k_cols - 12) line += word(rng) + (rng() % 3 ? " " : "\xee ");
        out += line + "\r\n";
    }
    return out;
}

// `y` and a line feed, repeated, as `yes` prints, after `setup`: each line
// holds one character, so what a line costs (the row that scrolls in, the
// turn of the rows, the line the history takes) is the whole cost. A bare
// line feed keeps the column, so the character walks to the last column and
// stays there; through a terminal's line discipline (ONLCR) each line feed
// comes with a carriage return, and the character stays in the first.
std::string one_per_line(std::size_t bytes, const std::string& setup, const char* line) {
    std::string out = setup;
    while (out.size() < bytes) out += line;
    return out;
}
std::string region_below_first() {
    return "\x1b[2;" + std::to_string(k_rows) + "r";
}
std::string region_above_last() {
    return "\x1b[1;" + std::to_string(k_rows - 1) + "r";
}
std::string lf_below_first(std::size_t bytes) {
    return one_per_line(bytes, region_below_first(), "y\n");
}
std::string lf_above_last(std::size_t bytes) {
    return one_per_line(bytes, region_above_last(), "y\n");
}
std::string lf_history(std::size_t bytes) {
    return one_per_line(bytes, "", "y\n");
}
std::string crlf_below_first(std::size_t bytes) {
    return one_per_line(bytes, region_below_first(), "y\r\n");
}
std::string crlf_above_last(std::size_t bytes) {
    return one_per_line(bytes, region_above_last(), "y\r\n");
}
std::string crlf_history(std::size_t bytes) {
    return one_per_line(bytes, "", "y\r\n");
}

// Lone 0xEE bytes and nothing else: every character drawn is a replacement
// character, as a byte-wise `tr` of text that a font lacks sends.
std::string lone_invalid_bytes(std::size_t bytes) {
    return std::string(bytes, '\xee');
}

// A log as a long-running session leaves it, a line as wide as the screen
// each: timestamps, levels and words of mixed case; every seventh line
// coloured, every tenth with accented letters, box drawing or a check mark,
// every twentieth with CJK text.
std::string mixed_history(std::size_t lines) {
    std::mt19937 rng(6);
    static const char* levels[] = {"INFO", "DEBUG", "WARN", "ERROR", "info", "trace"};
    static const char* others[] = {"\xc3\xa9t\xc3\xa9", "M\xc3\xbcller", "\xe2\x94\x80\xe2\x94\x80",
                                   "\xe2\x9c\x93", "na\xc3\xafve"};
    std::string out;
    for (std::size_t i = 0; i < lines; ++i) {
        std::string line = "2024-05-0" + std::to_string(1 + i % 9) +
                           " 12:" + std::to_string(10 + i % 50) + ":" +
                           std::to_string(10 + i % 47) + " " + levels[rng() % 6] + " ";
        int width = static_cast<int>(line.size());
        const bool coloured = i % 7 == 0;
        while (width < k_cols - 12) {
            std::string w = word(rng);
            if (rng() % 5 == 0) w[0] = static_cast<char>(w[0] - 32);
            if (i % 10 == 3 && rng() % 6 == 0) {
                w = others[rng() % 5];
                width -= 2;  // the others are narrower than their bytes
            } else if (i % 20 == 9 && rng() % 6 == 0) {
                w = "\xe6\x97\xa5\xe5\xbf\x97";  // two wide characters
                width -= 2;
            }
            if (coloured) line += "\x1b[3" + std::to_string(1 + rng() % 7) + "m";
            line += w + (coloured ? "\x1b[0m " : " ");
            width += static_cast<int>(w.size()) + 1;
        }
        out += line + "\r\n";
    }
    return out;
}

// Lines of Cyrillic words, capitals among them: no line is ASCII, as in a
// session that speaks Russian.
std::string cyrillic_history(std::size_t lines) {
    std::mt19937 rng(7);
    std::string out;
    for (std::size_t i = 0; i < lines; ++i) {
        int width = 0;
        while (width < k_cols - 12) {
            const int n = 2 + static_cast<int>(rng() % 8);
            for (int k = 0; k < n; ++k) {
                const char32_t letter = (k == 0 && rng() % 4 == 0 ? 0x410 : 0x430) + rng() % 32;
                tolvar::core::append_utf8(out, letter);
            }
            out += ' ';
            width += n + 1;
        }
        out += "\r\n";
    }
    return out;
}

struct History {
    const char* name;
    std::string (*make)(std::size_t lines);
    const char* letter;  // common in it: the find box's first key press
};

// A full history, searched for text that is not there and for one common
// letter (keeping the newest 10 000 matches, as the find box does), and read
// a page at a time as scrolling through all of it would.
void measure_history(const History& h, int runs) {
    tolvar::pty::TerminalModel model(k_rows, k_cols, k_scrollback);
    model.feed(h.make(k_scrollback + k_rows));
    const auto median_ms = [runs](auto&& work) {
        std::vector<double> times;
        for (int i = 0; i < std::max(runs, 1); ++i) {
            const double start = tolvar::bench::cpu_seconds();
            work();
            times.push_back((tolvar::bench::cpu_seconds() - start) * 1e3);
        }
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    std::size_t found = 0;
    const double exact = median_ms([&] { found += model.find("no such words here", true).size(); });
    const double folded =
        median_ms([&] { found += model.find("No Such Words Here", false).size(); });
    std::size_t letters = 0;
    const double letter = median_ms([&] { letters = model.find(h.letter, false, 10'000).total; });
    tolvar::pty::LineCells cells;
    constexpr std::uint64_t k_page = 60;
    const std::uint64_t pages = model.scrollback_rows() / k_page;
    const double all_pages = median_ms([&] {
        for (std::uint64_t n = 0; n < pages * k_page; ++n) {
            model.line(model.history_begin() + n, cells);
        }
    });
    std::printf("| %s | %zu | %.2f | %.2f ms | %.2f ms | %.2f ms (%zu) | %.1f us |\n", h.name,
                model.scrollback_rows(),
                static_cast<double>(model.scrollback_bytes()) /
                    static_cast<double>(model.scrollback_rows() * k_cols),
                exact, folded, letter, letters, all_pages * 1e3 / static_cast<double>(pages));
    if (found != 0) std::printf("(the absent string was found %zu times)\n", found);
}

void measure_histories(int runs) {
    std::printf(
        "\nhistory of %u columns: find of an absent string, and line() of a page of 60 lines "
        "into one LineCells; median of %d runs\n\n",
        unsigned{k_cols}, runs);
    std::printf(
        "| history | lines | B/cell | find, match case | find, ignore case | one letter "
        "(matches) | page of 60 lines |\n"
        "|---|---:|---:|---:|---:|---:|---:|\n");
    measure_history({"mixed log text", mixed_history, "e"}, runs);
    measure_history({"Cyrillic words", cyrillic_history, "\xd0\xbe"}, runs);  // о
}

struct Measure {
    double mbps = 0;
    std::size_t bytes = 0;  // memory the scrollback holds after one run
    std::size_t scrollback_rows = 0;
};

struct Core {
    std::string name;
    std::string program;
    Measure empty;  // heap with nothing fed, to leave out its screen
    bool usable = false;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// --reader 1: a reader of the damage record asks after every chunk, as a
// window would, to measure what the record costs it.
bool g_reader = false;

Measure measure_model(const std::string& payload, int runs) {
    std::vector<double> rates;
    Measure m;
    for (int i = 0; i < runs; ++i) {
        tolvar::pty::TerminalModel model(k_rows, k_cols, k_scrollback);
        const double start = tolvar::bench::cpu_seconds();
        std::uint64_t seen = 0;
        for (std::size_t at = 0; at < payload.size(); at += k_chunk) {
            model.feed(std::string_view(payload).substr(at, k_chunk));
            if (g_reader) seen = model.damage_since(seen).now;
        }
        const double took = tolvar::bench::cpu_seconds() - start;
        rates.push_back(static_cast<double>(payload.size()) / took / 1e6);
        m.bytes = model.scrollback_bytes();
        m.scrollback_rows = model.scrollback_rows();
    }
    m.mbps = median(rates);
    return m;
}

bool measure_core(const Core& core, const std::string& payload_file, int runs, Measure& out) {
    const std::string command = "'" + core.program + "' bench " + payload_file + " " +
                                std::to_string(k_rows) + " " + std::to_string(k_cols) + " " +
                                std::to_string(k_scrollback) + " " + std::to_string(k_chunk) + " " +
                                std::to_string(runs);
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return false;
    const bool read = std::fscanf(p, "mbps %lf\nbytes %zu\nscrollback %zu", &out.mbps, &out.bytes,
                                  &out.scrollback_rows) == 3;
    return pclose(p) == 0 && read;
}

// The payload in a file of its own for the other cores' programs.
class PayloadFile {
  public:
    explicit PayloadFile(const std::string& payload) {
        const int fd = mkstemp(path_);
        if (fd >= 0) {
            close(fd);
            std::ofstream(path_, std::ios::binary) << payload;
        }
    }
    ~PayloadFile() { unlink(path_); }
    PayloadFile(const PayloadFile&) = delete;
    PayloadFile& operator=(const PayloadFile&) = delete;
    const char* path() const { return path_; }

  private:
    char path_[32] = "/tmp/model-bench-XXXXXX";
};

std::string per_cell(double bytes, std::size_t lines) {
    if (lines == 0) return "-";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", bytes / static_cast<double>(lines * k_cols));
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    std::string oracle = TOLVAR_VT_ORACLE;
    std::size_t megabytes = 8;
    int runs = 5;
    std::string only;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const char* value = argv[i + 1];
        if (flag == "--oracle") {
            oracle = value;
        } else if (flag == "--megabytes") {
            megabytes = std::strtoul(value, nullptr, 10);
        } else if (flag == "--runs") {
            runs = std::atoi(value);
        } else if (flag == "--only") {
            only = value;
        } else if (flag == "--reader") {
            g_reader = std::atoi(value) != 0;
        }
    }
    const std::size_t size = megabytes << 20;
    const Workload workloads[] = {
        {"dense ASCII lines", dense_ascii},         {"SGR-heavy text", sgr_heavy},
        {"wide and combining", wide_and_combining}, {"cursor-addressed redraw", cursor_redraw},
        {"short lines scrolling", short_lines},
        {"scroll region, full height, text at the top", region_full_top},
        {"scroll region, full height, text at the bottom", region_full_bottom},
        {"scroll region, top half, text at its bottom", region_half_top},
        {"scroll region, bottom half, text at its top", region_half_bottom},
        {"random cursor motion", random_motion},
        {"dense cells, alternate screen", dense_cells},
        {"medium cells, alternate screen", medium_cells},
        {"plain text, alternate screen", plain_alternate},
        {"invalid UTF-8", invalid_utf8},
        {"y LF, region of every row but the first", lf_below_first},
        {"y LF, region of every row but the last", lf_above_last},
        {"y LF, primary screen into the history", lf_history},
        {"y CR LF, region of every row but the first", crlf_below_first},
        {"y CR LF, region of every row but the last", crlf_above_last},
        {"y CR LF, primary screen into the history", crlf_history},
        {"lone 0xEE bytes", lone_invalid_bytes},
    };
    const bool history = std::string("history").find(only) != std::string::npos;
    if (std::none_of(std::begin(workloads), std::end(workloads), [&](const Workload& w) {
            return std::string(w.name).find(only) != std::string::npos;
        })) {
        if (history) measure_histories(runs);
        return 0;
    }
    std::vector<Core> cores = {{"vt100", oracle}};
#ifdef TOLVAR_BENCH_CORES
    cores.push_back({"alacritty_terminal", TOLVAR_ALACRITTY_BENCH});
    cores.push_back({"libtsm", TOLVAR_LIBTSM_BENCH});
    cores.push_back({"libvterm", TOLVAR_LIBVTERM_BENCH});
#endif
    {
        const PayloadFile nothing("");
        for (Core& core : cores) {
            core.usable = access(core.program.c_str(), X_OK) == 0 &&
                          measure_core(core, nothing.path(), 1, core.empty);
            if (!core.usable)
                std::fprintf(stderr, "%s: %s missing or failing\n", core.name.c_str(),
                             core.program.c_str());
        }
    }

    std::printf(
        "%u x %u screen, %zu lines of scrollback, %zu-byte chunks, %zu MiB per workload, "
        "median of %d runs taken in turns\n\n",
        unsigned{k_rows}, unsigned{k_cols}, k_scrollback, k_chunk, megabytes, runs);
    if (cores.size() > 1) std::printf("ratio: the model's MB/s over the fastest other core's\n\n");

    std::string header = "| workload | model MB/s |";
    std::string rule = "|---|---:|";
    for (const Core& core : cores) header += " " + core.name + " MB/s |";
    header += " ratio | model B/scrollback cell |";
    for (const Core& core : cores) header += " " + core.name + " B/scrollback cell |";
    for (std::size_t i = 0; i < 2 * cores.size() + 2; ++i) rule += "---:|";
    std::printf("%s\n%s\n", header.c_str(), rule.c_str());

    for (const Workload& w : workloads) {
        if (std::string(w.name).find(only) == std::string::npos) continue;
        const std::string payload = w.make(size);
        const PayloadFile file(payload);
        // The cores take turns, a run each, so that a change in the
        // machine's load falls on all of them alike; the median of each.
        std::vector<double> our_rates;
        std::vector<std::vector<double>> their_rates(cores.size());
        std::vector<Measure> theirs(cores.size());
        std::vector<bool> failed(cores.size(), false);
        Measure ours;
        for (int r = 0; r < runs; ++r) {
            ours = measure_model(payload, 1);
            our_rates.push_back(ours.mbps);
            for (std::size_t i = 0; i < cores.size(); ++i) {
                if (!cores[i].usable || failed[i]) continue;
                if (measure_core(cores[i], file.path(), 1, theirs[i])) {
                    their_rates[i].push_back(theirs[i].mbps);
                } else {
                    failed[i] = true;
                }
            }
        }
        ours.mbps = median(our_rates);
        std::string speeds;
        std::string cells;
        double fastest = 0;
        for (std::size_t i = 0; i < cores.size(); ++i) {
            const Core& core = cores[i];
            if (core.usable && !failed[i]) {
                const Measure& m = theirs[i];
                const double mbps = median(their_rates[i]);
                char buf[32];
                std::snprintf(buf, sizeof buf, " %.1f |", mbps);
                speeds += buf;
                cells +=
                    " " +
                    per_cell(static_cast<double>(m.bytes) - static_cast<double>(core.empty.bytes),
                             m.scrollback_rows) +
                    " |";
                fastest = std::max(fastest, mbps);
            } else {
                speeds += " - |";
                cells += " - |";
            }
        }
        char ratio[32] = "-";
        if (fastest > 0) std::snprintf(ratio, sizeof ratio, "%.1f", ours.mbps / fastest);
        std::printf("| %s | %.0f |%s %s | %s |%s\n", w.name, ours.mbps, speeds.c_str(), ratio,
                    per_cell(static_cast<double>(ours.bytes), ours.scrollback_rows).c_str(),
                    cells.c_str());
        std::fflush(stdout);
    }
    if (history) measure_histories(runs);
    return 0;
}
