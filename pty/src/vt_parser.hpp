// The escape-sequence parser: a table-driven state machine after the DEC
// parser diagram (ground, escape, CSI, OSC, DCS and string states) with UTF-8
// decoding. It assigns no meaning to sequences; a performer does. One parser
// per terminal, driven by one thread at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tolvar::pty {

// The numeric parameters of a CSI sequence: at most 32 values, grouped into
// parameters of one or more colon-separated sub-parameters ("38:2:1:2:3").
class CsiParams {
  public:
    static constexpr int k_max_values = 32;

    struct Group {
        const std::uint16_t* values;
        int count;
        std::uint16_t operator[](int i) const { return values[i]; }
        bool is(std::uint16_t v) const { return count == 1 && values[0] == v; }
    };

    // Walks the groups in order: `for (Cursor c; auto g = params.next(c);)`.
    struct Cursor {
        int index = 0;
    };
    bool next(Cursor& c, Group& g) const {
        if (c.index >= len_) return false;
        g = {values_ + c.index, group_size_[c.index]};
        c.index += group_size_[c.index];
        return true;
    }
    // First value of the first group, 0 when there is none.
    std::uint16_t first() const { return len_ > 0 ? values_[0] : 0; }
    // First value of the second group, 0 when there is none.
    std::uint16_t second() const { return len_ > group_size_[0] ? values_[group_size_[0]] : 0; }
    bool empty() const { return len_ == 0; }
    bool full() const { return len_ == k_max_values; }

    void clear() {
        len_ = 0;
        open_ = 0;
    }
    // Ends the current parameter with its last value.
    void push(std::uint16_t v) {
        group_size_[len_ - open_] = static_cast<std::uint8_t>(open_ + 1);
        values_[len_++] = v;
        open_ = 0;
    }
    // Adds a sub-parameter to the current parameter.
    void extend(std::uint16_t v) {
        values_[len_++] = v;
        ++open_;
    }
    // Takes parameter bytes ('0'-'9', ':', ';') from p on, `value` being the
    // one read so far, as the table's Param action would one at a time (a
    // value stops at 0xffff; once the slots are full the rest is dropped);
    // returns where they end. Kept in locals: stores to the byte-wide group
    // sizes would otherwise make the compiler reload every member.
    const std::uint8_t* take(const std::uint8_t* p, const std::uint8_t* end, std::uint16_t& value) {
        int len = len_;
        int open = open_;
        std::uint64_t v = value;
        while (p < end) {
            unsigned d = static_cast<unsigned>(*p) - '0';
            if (d <= 9 && v == 0 && len < k_max_values && end - p >= 4) {
                // A number of one to three digits, the usual kind, without
                // the loop's tests of the end (a value cut off by the chunk
                // before takes the loop below).
                const unsigned d1 = static_cast<unsigned>(p[1]) - '0';
                if (d1 > 9) {
                    v = d;
                    d = d1;
                    p += 1;
                } else if (const unsigned d2 = static_cast<unsigned>(p[2]) - '0'; d2 > 9) {
                    v = d * 10 + d1;
                    d = d2;
                    p += 2;
                } else if (const unsigned d3 = static_cast<unsigned>(p[3]) - '0'; d3 > 9) {
                    v = d * 100 + d1 * 10 + d2;
                    d = d3;
                    p += 3;
                }
            }
            if (d <= 9) {
                // A run of digits unclamped: nine of them cannot overflow
                // 64 bits, even after a value cut off by the chunk before.
                const std::uint8_t* const run = p;
                const std::uint64_t before = v;
                do {
                    v = v * 10 + d;
                    if (++p == end) break;
                    d = static_cast<unsigned>(*p) - '0';
                } while (d <= 9);
                if (len == k_max_values) {
                    v = before;
                } else if (p - run > 9) {
                    v = before;
                    for (const std::uint8_t* q = run; q < p && v < 0xffff; ++q)
                        v = v * 10 + (*q - '0');
                }
                if (v > 0xffff) v = 0xffff;
                if (p == end) break;
            }
            if (d > ';' - '0') break;  // neither ':' nor ';'
            ++p;
            if (len == k_max_values) continue;
            if (d == ';' - '0') {
                group_size_[len - open] = static_cast<std::uint8_t>(open + 1);
                open = 0;
            } else {
                ++open;
            }
            values_[len++] = static_cast<std::uint16_t>(v);
            v = 0;
        }
        len_ = len;
        open_ = open;
        value = static_cast<std::uint16_t>(v);
        return p;
    }
    // Closes a parameter left open when the value slots ran out, so that the
    // walk never meets an unset group size.
    void close_open_group() {
        if (open_ > 0) group_size_[len_ - open_] = static_cast<std::uint8_t>(open_);
        open_ = 0;
    }

  private:
    std::uint16_t values_[k_max_values] = {};
    std::uint8_t group_size_[k_max_values] = {};
    int len_ = 0;
    int open_ = 0;
};

// Parameters of an OSC sequence, split at ';' (at most 16).
struct OscParams {
    static constexpr int k_max = 16;
    std::string_view items[k_max];
    int count = 0;
};

class VtParser {
  public:
    // OSC payloads are cut here, separators included, as in the reference:
    // an application cannot make the terminal hold an unbounded string.
    static constexpr std::size_t k_max_osc_bytes = 1024;

    // Performer: print(char32_t), print_ascii(const char*, std::size_t),
    // text_run() (an object with place(char32_t) -> bool, end() and begin():
    // characters placed in order as print would take them, false for one
    // it leaves to print; and fill(char32_t, std::size_t n) -> std::size_t:
    // the first of n copies of a narrow character that it places, as place
    // would, in order), execute(std::uint8_t), esc_dispatch(std::string_view
    // intermediates, std::uint8_t), csi_dispatch(const CsiParams&,
    // std::string_view intermediates, char), osc_dispatch(const OscParams&).
    template <class P>
    void advance(P& performer, std::string_view bytes);

    // Whether the byte that breaks a UTF-8 sequence is taken as itself after
    // the replacement character (Unicode's practice and xterm's: a letter is
    // printed, an ESC starts a sequence), or swallowed with it, as the
    // reference decoder does.
    void set_keep_breaking_byte(bool keep) { swallow_ = keep ? 0 : 1; }

  private:
    enum State : std::uint8_t {
        Anywhere,
        CsiEntry,
        CsiIgnore,
        CsiIntermediate,
        CsiParam,
        DcsEntry,
        DcsIgnore,
        DcsIntermediate,
        DcsParam,
        DcsPassthrough,
        Escape,
        EscapeIntermediate,
        Ground,
        OscString,
        SosPmApcString,
        Utf8,
    };
    enum Action : std::uint8_t {
        None,
        Clear,
        Collect,
        CsiDispatch,
        EscDispatch,
        Execute,
        Hook,
        Ignore,
        OscEnd,
        OscPut,
        OscStart,
        Param,
        Print,
        Put,
        Unhook,
        BeginUtf8,
    };
    using Table = std::array<std::array<std::uint8_t, 256>, 16>;
    static const Table k_table;

    // A CSI sequence from just after its ESC [, in one go when it is whole
    // in the buffer; returns where the parser goes on.
    template <class P>
    const std::uint8_t* csi(P& performer, const std::uint8_t* p, const std::uint8_t* end);
    template <class P>
    const std::uint8_t* text_run(P& performer, const std::uint8_t* p, const std::uint8_t* end,
                                 int first);
    template <class P>
    void dispatch_csi(P& performer, std::uint8_t final_byte);
    template <class P>
    void change_state(P& performer, State next, Action action, std::uint8_t byte);
    template <class P>
    void perform(P& performer, Action action, std::uint8_t byte);
    // False for a byte that broke the sequence and is to be taken again.
    template <class P>
    bool utf8(P& performer, std::uint8_t byte);
    // Length of the valid UTF-8 character at p, whole before end, with its
    // code point left in utf8_point_; 0 when it is cut off or invalid.
    int utf8_whole(const std::uint8_t* p, const std::uint8_t* end);
    // For a character at p that utf8_whole refused: the bytes the decoder
    // takes with its replacement character (the lead, the continuations that
    // fitted, and the byte that did not when it is swallowed), or 0 when the
    // buffer ends first.
    int utf8_broken(const std::uint8_t* p, const std::uint8_t* end) const;
    // Copies of a character as text_run places them, n > 0.
    template <class Run, class P>
    static void place_copies(Run& run, P& performer, char32_t c, std::size_t n);
    template <class P>
    void osc_end(P& performer);
    void osc_put(std::uint8_t byte);
    void param(std::uint8_t byte);
    // The table's Clear action: a new sequence's parameters and intermediates.
    void clear() {
        n_intermediates_ = 0;
        param_ = 0;
        params_.clear();
    }

    State state_ = Ground;
    char intermediates_[2] = {};
    int n_intermediates_ = 0;
    CsiParams params_;
    std::uint16_t param_ = 0;
    std::string osc_raw_;
    std::uint16_t osc_bounds_[OscParams::k_max][2] = {};
    int osc_count_ = 0;
    // UTF-8 decoder: the code point so far and the bytes still expected,
    // with the allowed range of the next byte (narrower after E0, ED, F0, F4).
    std::uint32_t utf8_point_ = 0;
    int utf8_pending_ = 0;
    std::uint8_t utf8_low_ = 0x80;
    std::uint8_t utf8_high_ = 0xbf;
    // 1 when the byte that breaks a sequence goes with it.
    std::uint8_t swallow_ = 0;
};

// ---------------------------------------------------------------------------

// The end of the run of printable ASCII (0x20..0x7e) that starts at p:
// sixteen bytes a step where SSE2 is there.
inline const std::uint8_t* printable_end(const std::uint8_t* p, const std::uint8_t* end) {
#if defined(__SSE2__)
    // Signed compares: bytes from 0x80 are negative, so not above 0x1f.
    const __m128i low = _mm_set1_epi8(0x1f);
    const __m128i high = _mm_set1_epi8(0x7f);
    const auto printable = [&](const std::uint8_t* at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        return _mm_and_si128(_mm_cmpgt_epi8(v, low), _mm_cmplt_epi8(v, high));
    };
    const auto others_in = [&](const std::uint8_t* at) {
        return ~static_cast<unsigned>(_mm_movemask_epi8(printable(at))) & 0xffffu;
    };
    // A run that goes past its first sixteen bytes is a line of text, which
    // runs long: four vectors a step while all are printable.
    if (end - p >= 16) {
        if (const unsigned others = others_in(p); others != 0) return p + __builtin_ctz(others);
        p += 16;
    }
    while (end - p >= 64) {
        const __m128i v[4] = {printable(p), printable(p + 16), printable(p + 32),
                              printable(p + 48)};
        const __m128i all = _mm_and_si128(_mm_and_si128(v[0], v[1]), _mm_and_si128(v[2], v[3]));
        if (_mm_movemask_epi8(all) != 0xffff) {
            for (int k = 0;; ++k, p += 16) {
                const unsigned others = ~static_cast<unsigned>(_mm_movemask_epi8(v[k])) & 0xffffu;
                if (others != 0) return p + __builtin_ctz(others);
            }
        }
        p += 64;
    }
    while (end - p >= 16) {
        const unsigned others = others_in(p);
        if (others != 0) return p + __builtin_ctz(others);
        p += 16;
    }
#endif
    while (p < end && *p >= 0x20 && *p < 0x7f) ++p;
    return p;
}

template <class P>
void VtParser::advance(P& performer, std::string_view bytes) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const std::uint8_t byte = *p;
        if (state_ == Ground && byte >= 0x20 && byte < 0x7f) {
            // Printable ASCII runs skip the table: the common case by far.
            const auto* run = p;
            // A character alone (after a cursor move, say) needs no scan.
            const bool alone = p + 1 == end || p[1] < 0x20 || p[1] >= 0x7f;
            p = alone ? p + 1 : printable_end(p + 1, end);
            performer.print_ascii(reinterpret_cast<const char*>(run),
                                  static_cast<std::size_t>(p - run));
            continue;
        }
        if (byte < 0x20 && state_ == Ground) {
            if (byte != 0x1b) {
                // C0 controls in the ground only execute (CAN and SUB
                // return to it, where the parser already is): line feeds
                // and carriage returns skip the table.
                ++p;
                performer.execute(byte);
                continue;
            }
            if (end - p >= 2 && p[1] == '[') {
                p = csi(performer, p + 2, end);
                continue;
            }
        }
        if ((state_ == CsiParam || state_ == CsiEntry) && byte >= 0x40 && byte <= 0x7e) {
            // A final byte: dispatch and back to the ground, as the table does.
            ++p;
            dispatch_csi(performer, byte);
            state_ = Ground;
            continue;
        }
        if ((state_ == CsiParam || state_ == CsiEntry) && byte >= '0' && byte <= ';') {
            // Parameter digits and separators, the bulk of SGR and cursor
            // sequences, skip the table too.
            state_ = CsiParam;
            p = params_.take(p, end, param_);
            continue;
        }
        if (state_ == Ground && byte >= 0xc2 && byte <= 0xf4) {
            // A whole, valid multi-byte character in the buffer skips the
            // table and the byte-at-a-time decoder; anything else takes them.
            if (const int n = utf8_whole(p, end); n > 0) {
                if (utf8_point_ >= 0xa0) {
                    p = text_run(performer, p, end, n);
                } else {
                    performer.print(utf8_point_);
                    p += n;
                }
                continue;
            }
            // A broken one, whole in the buffer, is a replacement character
            // as the decoder would make it, and text like any other.
            if (const int n = utf8_broken(p, end); n > 0) {
                utf8_point_ = 0xfffd;
                p = text_run(performer, p, end, n);
                continue;
            }
        }
        if (state_ == Utf8) {
            if (utf8(performer, byte)) ++p;
            continue;
        }
        ++p;
        std::uint8_t change = k_table[Anywhere][byte];
        if (change == 0) change = k_table[state_][byte];
        change_state(performer, static_cast<State>(change & 0x0f), static_cast<Action>(change >> 4),
                     byte);
    }
}

// Text from a whole multi-byte character on goes to the performer's text
// run, as long as its characters are whole in the buffer and printable
// (no C1 control, so that widths come from the table alone): a lone ASCII
// character between them too (the letter under a combining mark), while
// longer ASCII text ends the run and takes the ASCII path.
template <class P>
const std::uint8_t* VtParser::text_run(P& performer, const std::uint8_t* p,
                                       const std::uint8_t* end, int first) {
    auto run = performer.text_run();
    // One place for every character, so that placing it inlines here.
    char32_t c = utf8_point_;
    int n = first;
    for (;;) {
        if (!run.place(c)) {
            run.end();
            performer.print(c);
            run.begin();
        }
        p += n;
        if (p == end) break;
        const std::uint8_t byte = *p;
        if (byte >= 0x20 && byte < 0x7f) {
            if (end - p < 2 || p[1] < 0x80) break;
            c = byte;
            n = 1;
        } else if (byte >= 0xc2 && byte < 0xe0 && end - p >= 2 && (p[1] & 0xc0) == 0x80) {
            // Two and three bytes with no narrowed second byte, nearly all
            // text, are decoded here; the rest as everywhere.
            c = (byte & 0x1fu) << 6 | (p[1] & 0x3fu);
            if (c < 0xa0) break;  // C1 controls are not text
            n = 2;
        } else if (byte >= 0xe1 && byte < 0xf0 && byte != 0xed && end - p >= 3 &&
                   ((p[1] & 0xc0) | (p[2] & 0xc0) << 8) == 0x8080) {
            c = (byte & 0x0fu) << 12 | (p[1] & 0x3fu) << 6 | (p[2] & 0x3fu);
            n = 3;
        } else if (byte >= 0xc2 && byte <= 0xf4 && end - p >= 2 && (p[1] & 0xc0) != 0x80) {
            // A lead and a byte that no lead takes next: a replacement
            // character, as the decoder makes it.
            c = 0xfffd;
            n = 1 + swallow_;
            if (swallow_ == 0) {
                // Leads each broken by the next (bytes of an 8-bit charset,
                // or 0xEE after 0xEE): all but the last placed together.
                const std::uint8_t* last = p;
                while (end - last >= 3 && last[1] >= 0xc2 && last[1] <= 0xf4 &&
                       (last[2] & 0xc0) != 0x80)
                    ++last;
                if (last != p) {
                    place_copies(run, performer, c, static_cast<std::size_t>(last - p));
                    p = last;
                }
            }
        } else {
            if (byte < 0xc2 || byte > 0xf4) break;
            n = utf8_whole(p, end);
            if (n == 0) {
                n = utf8_broken(p, end);
                if (n == 0) break;
                c = 0xfffd;
            } else {
                if (utf8_point_ < 0xa0) break;
                c = utf8_point_;
            }
        }
    }
    run.end();
    return p;
}

template <class Run, class P>
void VtParser::place_copies(Run& run, P& performer, char32_t c, std::size_t n) {
    for (;;) {
        n -= run.fill(c, n);
        if (n == 0) return;
        // At the edge, or a cell that needs repairs: as one character.
        if (!run.place(c)) {
            run.end();
            performer.print(c);
            run.begin();
        }
        if (--n == 0) return;
    }
}

template <class P>
const std::uint8_t* VtParser::csi(P& performer, const std::uint8_t* p, const std::uint8_t* end) {
    clear();
    state_ = CsiEntry;
    if (p == end) return p;
    if (*p >= 0x3c && *p <= 0x3f) {
        intermediates_[n_intermediates_++] = static_cast<char>(*p++);
        state_ = CsiParam;
    }
    const std::uint8_t* const params_end = params_.take(p, end, param_);
    if (params_end != p) state_ = CsiParam;
    p = params_end;
    if (p < end && *p >= 0x20 && *p <= 0x2f) {
        state_ = CsiIntermediate;
        for (; p < end && *p >= 0x20 && *p <= 0x2f; ++p) {
            if (n_intermediates_ < 2) intermediates_[n_intermediates_++] = static_cast<char>(*p);
        }
    }
    if (p < end && *p >= 0x40 && *p <= 0x7e) {
        dispatch_csi(performer, *p);
        state_ = Ground;
        return p + 1;
    }
    // Cut off by the chunk's end or something unusual: the table goes on
    // from the state these bytes led to.
    return p;
}

template <class P>
void VtParser::dispatch_csi(P& performer, std::uint8_t final_byte) {
    if (params_.full()) {
        params_.close_open_group();
    } else {
        params_.push(param_);
    }
    performer.csi_dispatch(params_, std::string_view(intermediates_, n_intermediates_),
                           static_cast<char>(final_byte));
}

template <class P>
void VtParser::change_state(P& performer, State next, Action action, std::uint8_t byte) {
    if (next == Anywhere) {
        perform(performer, action, byte);
        return;
    }
    if (state_ == OscString) osc_end(performer);
    if (action != None) perform(performer, action, byte);
    switch (next) {
        case CsiEntry:
        case DcsEntry:
        case Escape:
            perform(performer, Clear, byte);
            break;
        case OscString:
            perform(performer, OscStart, byte);
            break;
        default:
            break;
    }
    state_ = next;
}

template <class P>
void VtParser::perform(P& performer, Action action, std::uint8_t byte) {
    switch (action) {
        case Print:
            performer.print(static_cast<char32_t>(byte));
            break;
        case Execute:
            performer.execute(byte);
            break;
        case OscStart:
            osc_raw_.clear();
            osc_count_ = 0;
            break;
        case OscPut:
            osc_put(byte);
            break;
        case CsiDispatch:
            dispatch_csi(performer, byte);
            break;
        case EscDispatch:
            performer.esc_dispatch(std::string_view(intermediates_, n_intermediates_), byte);
            break;
        case Collect:
            if (n_intermediates_ < 2) intermediates_[n_intermediates_++] = static_cast<char>(byte);
            break;
        case Param:
            param(byte);
            break;
        case Clear:
            clear();
            break;
        case BeginUtf8:
            utf8(performer, byte);
            break;
        case OscEnd:  // only reached through change_state
        case Hook:    // device control strings carry nothing the model keeps
        case Put:
        case Unhook:
        case Ignore:
        case None:
            break;
    }
}

template <class P>
bool VtParser::utf8(P& performer, std::uint8_t byte) {
    if (utf8_pending_ == 0) {
        // A lead byte: Ground sends only C2..F4 here.
        utf8_low_ = 0x80;
        utf8_high_ = 0xbf;
        if (byte < 0xe0) {
            utf8_point_ = (byte & 0x1fu) << 6;
            utf8_pending_ = 1;
        } else if (byte < 0xf0) {
            utf8_point_ = (byte & 0x0fu) << 12;
            utf8_pending_ = 2;
            if (byte == 0xe0) utf8_low_ = 0xa0;
            if (byte == 0xed) utf8_high_ = 0x9f;
        } else {
            utf8_point_ = (byte & 0x07u) << 18;
            utf8_pending_ = 3;
            if (byte == 0xf0) utf8_low_ = 0x90;
            if (byte == 0xf4) utf8_high_ = 0x8f;
        }
        state_ = Utf8;
        return true;
    }
    if (byte < utf8_low_ || byte > utf8_high_) {
        utf8_pending_ = 0;
        state_ = Ground;
        performer.print(U'\uFFFD');
        return swallow_ != 0;
    }
    utf8_low_ = 0x80;
    utf8_high_ = 0xbf;
    --utf8_pending_;
    utf8_point_ |= (byte & 0x3fu) << (6 * utf8_pending_);
    if (utf8_pending_ == 0) {
        state_ = Ground;
        performer.print(static_cast<char32_t>(utf8_point_));
    }
    return true;
}

template <class P>
void VtParser::osc_end(P& performer) {
    const auto end = static_cast<std::uint16_t>(osc_raw_.size());
    if (osc_count_ < OscParams::k_max) {
        osc_bounds_[osc_count_][0] = osc_count_ == 0 ? 0 : osc_bounds_[osc_count_ - 1][1];
        osc_bounds_[osc_count_][1] = end;
        ++osc_count_;
    }
    OscParams params;
    params.count = osc_count_;
    for (int i = 0; i < osc_count_; ++i) {
        params.items[i] = std::string_view(osc_raw_).substr(osc_bounds_[i][0],
                                                            osc_bounds_[i][1] - osc_bounds_[i][0]);
    }
    performer.osc_dispatch(params);
}

inline int VtParser::utf8_whole(const std::uint8_t* p, const std::uint8_t* end) {
    const std::uint8_t lead = p[0];
    const int n = lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
    if (end - p < n) return 0;
    // The second byte's range narrows after E0, ED, F0 and F4.
    const std::uint8_t low = lead == 0xe0 ? 0xa0 : lead == 0xf0 ? 0x90 : 0x80;
    const std::uint8_t high = lead == 0xed ? 0x9f : lead == 0xf4 ? 0x8f : 0xbf;
    if (p[1] < low || p[1] > high) return 0;
    std::uint32_t cp = lead & (n == 2 ? 0x1fu : n == 3 ? 0x0fu : 0x07u);
    cp = cp << 6 | (p[1] & 0x3fu);
    for (int i = 2; i < n; ++i) {
        if ((p[i] & 0xc0) != 0x80) return 0;
        cp = cp << 6 | (p[i] & 0x3fu);
    }
    utf8_point_ = cp;
    return n;
}

inline int VtParser::utf8_broken(const std::uint8_t* p, const std::uint8_t* end) const {
    const std::uint8_t lead = p[0];
    const int n = lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
    const std::uint8_t low = lead == 0xe0 ? 0xa0 : lead == 0xf0 ? 0x90 : 0x80;
    const std::uint8_t high = lead == 0xed ? 0x9f : lead == 0xf4 ? 0x8f : 0xbf;
    for (int i = 1; i < n; ++i) {
        if (i >= end - p) return 0;
        if (p[i] < (i == 1 ? low : 0x80) || p[i] > (i == 1 ? high : 0xbf)) return i + swallow_;
    }
    return 0;  // whole after all
}

inline void VtParser::param(std::uint8_t byte) {
    if (params_.full()) return;
    if (byte == ';') {
        params_.push(param_);
        param_ = 0;
    } else if (byte == ':') {
        params_.extend(param_);
        param_ = 0;
    } else {
        const unsigned v = param_ * 10u + (byte - '0');
        param_ = static_cast<std::uint16_t>(v > 0xffff ? 0xffff : v);
    }
}

inline void VtParser::osc_put(std::uint8_t byte) {
    if (osc_raw_.size() >= k_max_osc_bytes) return;
    if (byte == ';') {
        if (osc_count_ == OscParams::k_max) return;
        const auto end = static_cast<std::uint16_t>(osc_raw_.size());
        osc_bounds_[osc_count_][0] = osc_count_ == 0 ? 0 : osc_bounds_[osc_count_ - 1][1];
        osc_bounds_[osc_count_][1] = end;
        ++osc_count_;
        return;
    }
    osc_raw_.push_back(static_cast<char>(byte));
}

}  // namespace tolvar::pty
