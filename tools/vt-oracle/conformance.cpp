// Compares the terminal model with the reference library (vt-oracle): the
// fixed corpus split at every byte boundary, then seeded random streams.
//
//   vt-conformance --oracle PATH [--captures DIR] [--streams N] [--seed S] [--batch N]
//                  [--show N] [--verbose]
//
// DIR holds output captured from real programs through a pseudo console
// (vt-capture), in files named NAME.ROWSxCOLS.bin; they join the corpus.
//
// Prints one summary line and exits non-zero on any unexplained difference.

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "char_width.hpp"
#include "model_dump.hpp"
#include "streams.hpp"
#include "tolvar/pty/terminal_model.hpp"

namespace tolvar::vt_oracle {
namespace {

// Where the model may differ from the reference on purpose, and why. A
// difference that no entry explains fails the test.
struct Accepted {
    const char* key;
    const char* reason;
};
const Accepted k_accepted[] = {
    {"reference crashed",
     "the reference indexes outside a row or the grid and panics: a wide character on a "
     "one-column grid, a wide character cut in two by a narrowing resize, a cursor restored "
     "outside a grid that shrank, text wrapping on a one-row screen, a continuation cell in "
     "column 0. The model clamps or skips the edit and goes on."},
    {"erase saved lines",
     "CSI 3 J and CSI ? 3 J clear the scrollback in the model, as xterm does; the reference "
     "ignores them. Accepted only in a stream that holds one, and only when everything else "
     "agrees and the model's scrollback is the reference's newest lines."},
    {"parameter slots full",
     "a CSI sequence that fills all 32 parameter slots while a sub-parameter is open makes the "
     "reference walk an unset slot and loop for ever or panic; the model closes the open "
     "parameter (pinned by a unit test). Streams that could do this are not generated, so the "
     "count stays 0."},
};

// Whether a stream holds an erase of saved lines (CSI 3 J or CSI ? 3 J,
// sub-parameters and more parameters allowed after the 3).
bool erases_saved_lines(const Case& c) {
    std::string bytes;
    for (const Op& op : c.ops) bytes += op.bytes;
    for (std::size_t i = bytes.find("\x1b["); i != std::string::npos;
         i = bytes.find("\x1b[", i + 1)) {
        std::size_t j = i + 2;
        if (j < bytes.size() && bytes[j] == '?') ++j;
        unsigned first = 0;
        for (; j < bytes.size() && bytes[j] >= '0' && bytes[j] <= '9'; ++j) {
            first = std::min(first * 10 + static_cast<unsigned>(bytes[j] - '0'), 65535u);
        }
        while (j < bytes.size() && std::strchr("0123456789;:", bytes[j]) != nullptr) ++j;
        if (first == 3 && j < bytes.size() && bytes[j] == 'J') return true;
    }
    return false;
}

// The scrollback count of a dump; 0 when it has none.
std::size_t scrollback_lines(const std::string& dump) {
    const std::size_t at = dump.find("\nscrollback ");
    return at == std::string::npos ? 0 : std::strtoul(dump.c_str() + at + 12, nullptr, 10);
}

// A dump with only the newest `keep` of its scrollback lines, renumbered; as
// the model dumps after an erase of saved lines. Empty when it has fewer.
std::string newest_history(const std::string& dump, std::size_t keep) {
    const std::size_t lines = scrollback_lines(dump);
    if (keep > lines) return {};
    const std::size_t drop = lines - keep;
    std::istringstream in(dump);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("scrollback ", 0) == 0) {
            line = "scrollback " + std::to_string(keep);
        } else if (line.size() > 1 && line[0] == 'h' && std::isdigit(line[1])) {
            const std::size_t n = std::strtoul(line.c_str() + 1, nullptr, 10);
            if (n < drop) continue;
            line = "h" + std::to_string(n - drop) + line.substr(line.find(' '));
        }
        out += line + "\n";
    }
    return out;
}

struct Result {
    std::string text;  // a dump or a between line
    bool crashed = false;
};

std::vector<Result> run_oracle(const std::string& oracle, const std::string& script_text) {
    char path[] = "/tmp/vt-conformance-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        std::perror("mkstemp");
        std::exit(2);
    }
    {
        std::ofstream f(path, std::ios::binary);
        f << script_text;
    }
    const std::string command = "'" + oracle + "' dump < " + path;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) {
        std::perror("popen");
        std::exit(2);
    }
    std::string output;
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) output.append(buf, n);
    const int status = pclose(p);
    unlink(path);
    close(fd);
    if (status != 0) {
        std::cerr << "vt-oracle failed (status " << status << ")\n";
        std::exit(2);
    }
    std::vector<Result> results;
    std::istringstream in(output);
    Result current;
    for (std::string line; std::getline(in, line);) {
        if (line == "end") {
            results.push_back(std::move(current));
            current = {};
        } else if (line == "panic") {
            current.crashed = true;
        } else {
            current.text += line + "\n";
        }
    }
    return results;
}

// Replays a case on the model; `split` feeds every Feed op in two pieces cut
// at that offset (or byte by byte when it is npos - 1).
std::vector<std::string> replay(const Case& c, std::size_t split) {
    std::vector<std::string> out;
    pty::TerminalModel m(c.rows, c.cols, c.scrollback);
    for (const Op& op : c.ops) {
        switch (op.kind) {
            case Op::Kind::Feed:
                if (split == std::string::npos - 1) {
                    for (char b : op.bytes) m.feed(std::string_view(&b, 1));
                } else if (split < op.bytes.size()) {
                    m.feed(std::string_view(op.bytes).substr(0, split));
                    m.feed(std::string_view(op.bytes).substr(split));
                } else {
                    m.feed(op.bytes);
                }
                break;
            case Op::Kind::Size:
                m.set_size(op.a, op.b);
                break;
            case Op::Kind::Dump:
                out.push_back(dump(m));
                break;
            case Op::Kind::Between:
                out.push_back(dump_between(m, {op.a, op.b}, {op.c, op.d}));
                break;
        }
    }
    return out;
}

std::string first_difference(const std::string& expected, const std::string& actual) {
    std::istringstream a(expected), b(actual);
    std::string la, lb;
    while (true) {
        const bool ha = static_cast<bool>(std::getline(a, la));
        const bool hb = static_cast<bool>(std::getline(b, lb));
        if (!ha && !hb) return {};
        if (!ha || !hb || la != lb) {
            const auto cut = [](const std::string& s) {
                return s.size() > 300 ? s.substr(0, 300) + "..." : s;
            };
            return "  reference: " + (ha ? cut(la) : "<end>") +
                   "\n  model:     " + (hb ? cut(lb) : "<end>") + "\n";
        }
    }
}

struct Tally {
    std::size_t compared = 0;
    std::size_t unexplained = 0;
    std::map<std::string, std::size_t> accepted;
    std::map<std::string, std::size_t> crash_sites;  // where in the reference
    int show = 5;

    void check(const Case& c, const Result& expected, const std::string& actual,
               const std::string& how) {
        ++compared;
        if (expected.crashed) {
            ++accepted["reference crashed"];
            ++crash_sites[expected.text];
            return;
        }
        if (expected.text == actual) return;
        if (erases_saved_lines(c) &&
            newest_history(expected.text, scrollback_lines(actual)) == actual) {
            ++accepted["erase saved lines"];
            return;
        }
        ++unexplained;
        if (show-- > 0) {
            std::cerr << "DIFFERENCE in " << c.name << " (" << how << "), " << c.rows << "x"
                      << c.cols << " scrollback " << c.scrollback << "\n"
                      << first_difference(expected.text, actual) << "  script:\n"
                      << script(c) << "\n";
        }
    }
};

// Captures named NAME.ROWSxCOLS.bin, as corpus cases.
std::vector<Case> captures(const std::string& dir) {
    std::vector<Case> out;
    if (dir.empty()) return out;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() == ".bin") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        const std::string stem = path.stem().string();  // NAME.ROWSxCOLS
        const std::size_t dot = stem.rfind('.');
        unsigned rows = 0, cols = 0;
        if (dot == std::string::npos ||
            std::sscanf(stem.c_str() + dot + 1, "%ux%u", &rows, &cols) != 2) {
            std::cerr << "capture " << path << ": name must end in .ROWSxCOLS.bin\n";
            std::exit(2);
        }
        std::ifstream f(path, std::ios::binary);
        Case c;
        c.name = "capture " + stem.substr(0, dot);
        c.rows = static_cast<std::uint16_t>(rows);
        c.cols = static_cast<std::uint16_t>(cols);
        c.scrollback = 100;
        c.ops.push_back({Op::Kind::Feed, std::string(std::istreambuf_iterator<char>(f), {})});
        c.ops.push_back({Op::Kind::Dump});
        out.push_back(std::move(c));
    }
    return out;
}

int width_differences(const std::string& oracle) {
    FILE* p = popen(("'" + oracle + "' widths").c_str(), "r");
    if (p == nullptr) return 1;
    std::vector<std::pair<unsigned, int>> ranges;
    unsigned start;
    int width;
    while (std::fscanf(p, "%x %d", &start, &width) == 2) ranges.emplace_back(start, width);
    pclose(p);
    int differences = 0;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const unsigned end = i + 1 < ranges.size() ? ranges[i + 1].first : 0x110000;
        for (unsigned cp = ranges[i].first; cp < end; ++cp) {
            if (cp >= 0xd800 && cp <= 0xdfff) continue;
            if (pty::char_width(cp) != ranges[i].second && differences++ < 5) {
                std::cerr << "width of U+" << std::hex << cp << std::dec << ": reference "
                          << ranges[i].second << ", model " << pty::char_width(cp) << "\n";
            }
        }
    }
    return ranges.empty() ? 1 : differences;
}

}  // namespace
}  // namespace tolvar::vt_oracle

int main(int argc, char** argv) {
    using namespace tolvar::vt_oracle;
    std::string oracle;
    std::string capture_dir;
    std::uint64_t streams = 2000;
    std::uint64_t seed = 1;
    std::uint64_t batch = 2000;
    int show = 5;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        if (flag == "--verbose") {
            verbose = true;
            continue;
        }
        if (flag == "--oracle") {
            oracle = value;
        } else if (flag == "--captures") {
            capture_dir = value;
        } else if (flag == "--streams") {
            streams = std::strtoull(value, nullptr, 10);
        } else if (flag == "--seed") {
            seed = std::strtoull(value, nullptr, 10);
        } else if (flag == "--batch") {
            batch = std::strtoull(value, nullptr, 10);
        } else if (flag == "--show") {
            show = std::atoi(value);
        }
        ++i;
    }
    if (oracle.empty()) {
        std::cerr << "usage: vt-conformance --oracle PATH [--captures DIR] [--streams N] "
                     "[--seed S] [--batch N] [--show N] [--verbose]\n";
        return 2;
    }
    Tally tally;
    tally.show = show;

    const int widths = width_differences(oracle);

    // The corpus: one reference run per case, the model fed every split.
    std::vector<Case> cases = corpus();
    const std::vector<Case> captured = captures(capture_dir);
    cases.insert(cases.end(), captured.begin(), captured.end());
    std::string script_text;
    for (const Case& c : cases) script_text += script(c);
    const std::vector<Result> expected = run_oracle(oracle, script_text);
    std::size_t next = 0;
    std::size_t splits = 0;
    for (const Case& c : cases) {
        const std::size_t results = replay(c, std::string::npos).size();
        std::size_t length = 0;
        for (const Op& op : c.ops) length += op.bytes.size();
        for (std::size_t split = 0; split <= length + 1; ++split) {
            const std::size_t at = split == length + 1 ? std::string::npos - 1 : split;
            const std::vector<std::string> actual = replay(c, at);
            for (std::size_t i = 0; i < results; ++i) {
                tally.check(c, expected.at(next + i), actual[i],
                            at == std::string::npos - 1 ? "byte by byte"
                                                        : "split at " + std::to_string(at));
            }
            ++splits;
        }
        next += results;
    }

    // Random streams, in batches so the scripts stay small.
    for (std::uint64_t first = 0; first < streams; first += batch) {
        std::vector<Case> random;
        for (std::uint64_t i = first; i < std::min(streams, first + batch); ++i) {
            random.push_back(random_case(seed, i));
        }
        script_text.clear();
        for (const Case& c : random) script_text += script(c);
        const std::vector<Result> reference = run_oracle(oracle, script_text);
        std::size_t k = 0;
        for (const Case& c : random) {
            for (const std::string& actual : replay(c, std::string::npos)) {
                tally.check(c, reference.at(k++), actual, "as generated");
            }
        }
    }

    std::cout << "corpus: " << cases.size() << " cases (" << captured.size()
              << " captured from a pseudo console), " << splits
              << " splits; random streams: " << streams << " (seed " << seed
              << "); comparisons: " << tally.compared << "\n";
    for (const Accepted& a : k_accepted) {
        const auto it = tally.accepted.find(a.key);
        std::cout << "accepted difference, " << a.key << ": "
                  << (it == tally.accepted.end() ? 0 : it->second) << "\n    (" << a.reason
                  << ")\n";
    }
    if (verbose) {
        for (const auto& [site, count] : tally.crash_sites)
            std::cout << "  " << count << " " << site;
    }
    std::cout << "character widths differing: " << widths << "\n";
    std::cout << "unexplained differences: " << tally.unexplained << "\n";
    return tally.unexplained == 0 && widths == 0 ? 0 : 1;
}
