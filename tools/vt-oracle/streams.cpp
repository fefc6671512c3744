#include "streams.hpp"

#include <random>

#include "model_dump.hpp"
#include "tolvar/core/utf.hpp"

namespace tolvar::vt_oracle {
namespace {

Case fixed(std::string name, std::uint16_t rows, std::uint16_t cols, std::string bytes,
           std::size_t scrollback = 5) {
    Case c;
    c.name = std::move(name);
    c.rows = rows;
    c.cols = cols;
    c.scrollback = scrollback;
    c.ops.push_back({Op::Kind::Feed, std::move(bytes)});
    c.ops.push_back({Op::Kind::Dump});
    return c;
}

std::string utf8(std::initializer_list<char32_t> cps) {
    std::string out;
    for (char32_t cp : cps) core::append_utf8(out, cp);
    return out;
}

}  // namespace

std::vector<Case> corpus() {
    const std::string e = "\x1b";
    const std::string csi = e + "[";
    const std::string cjk = utf8({0x4e2d, 0x6587});  // two wide characters
    const std::string acute = utf8({0x301});
    std::vector<Case> out;

    out.push_back(fixed("text and wrapping", 4, 10,
                        "hello world, this wraps twice\r\nshort\r\n0123456789abc"));
    out.push_back(fixed("pending wrap then CR LF", 3, 5, "abcde\r\nfghij\nk"));
    out.push_back(fixed("controls", 4, 20,
                        "a\tb\t\tc\bd\x0b"
                        "e\x0c"
                        "f\rg\x07h\x0e\x0fi\x00j\x01k\x7fl"));
    out.push_back(fixed("tab past the edge", 2, 12, "\t\t\tx\b\by"));
    out.push_back(fixed("CAN and SUB cancel sequences", 3, 20,
                        "a" + csi +
                            "3\x18"
                            "1m b" +
                            csi +
                            "4\x1a"
                            "5m c" +
                            e +
                            "]0;t\x18"
                            "d"));
    out.push_back(
        fixed("controls inside sequences", 3, 20, "ab" + csi + "2\r\nC" + e + "\n7x" + e + "8y"));
    out.push_back(fixed("utf-8", 3, 20, utf8({0xe9, 0x20ac, 0x1f600, 0x10348}) + "x"));
    out.push_back(fixed("invalid utf-8", 3, 30,
                        "a\xc3(b\xe2\x28\xa1"
                        "c\xf0\x9f\x98"
                        "d\xed\xa0\x80"
                        "e\xc0\x80"
                        "f\xf5g\x80h\xbf"
                        "i\xe2\x82\x1b[31mj"));
    out.push_back(fixed("C1 controls are dropped", 2, 20,
                        "a\xc2\x80"
                        "b\xc2\x9b"
                        "1mc\x9b"
                        "2md\x90x\x9cy"));
    out.push_back(fixed("wide characters", 3, 7, cjk + "ab" + cjk + cjk + "x" + cjk));
    out.push_back(fixed("wide character overwritten by halves", 2, 10,
                        cjk + "\r" + "x" + csi + "1;4Hy" + csi + "1;2H" + cjk));
    out.push_back(
        fixed("wide character at the last column", 3, 5, "abcd" + cjk + "\r\nabcde" + cjk));
    out.push_back(fixed("combining marks", 3, 10,
                        "e" + acute + cjk + acute + "x" + acute + acute + acute + acute + acute +
                            acute + acute + "\r\n" + acute + "y"));
    out.push_back(fixed("combining mark after a wrap", 3, 4, "abcd" + acute + "ef" + acute));
    out.push_back(fixed("zero-width characters", 2, 10, "a" + utf8({0x200b, 0x200d}) + "b"));
    out.push_back(fixed("cursor movement", 6, 12,
                        csi + "3;4Hx" + csi + "Ay" + csi + "2Bz" + csi + "5Cw" + csi + "3Dv" + csi +
                            "0Gu" + csi + "99;99Ht" + csi + "0;0Hs" + csi + "4dr" + csi +
                            "65535Aq" + csi + "Hp" + csi + "9Go"));
    out.push_back(fixed("more cursor moves", 6, 20,
                        csi + "3;5H" + csi + "2Ex" + csi + "Fy" + csi + "12`z" + csi + "3aw" + csi +
                            "2ev" + csi + "2Iu" + csi + "3Zt" + csi + "1;20Hs" + csi + "Zr" + csi +
                            "99Iq"));
    out.push_back(
        fixed("line feed new line mode", 4, 10, "a" + csi + "20h\nb\vc\fd" + csi + "20l\ne"));
    out.push_back(fixed(
        "mode 1048", 4, 10,
        csi + "2;3H" + csi + "31m" + csi + "?1048h" + csi + "H" + csi + "0mx" + csi + "?1048ly"));
    out.push_back(fixed("origin mode", 8, 10,
                        csi + "3;6r" + csi + "?6h" + csi + "1;1Ha" + csi + "10;1Hb" + csi + "20Ac" +
                            csi + "?6l" + csi + "1;1Hd" + csi + "r"));
    out.push_back(fixed("origin mode addressing", 8, 10,
                        csi + "3;6r" + csi + "?6h" + csi + "2da" + csi + "9db" + csi + "3;1H\0337" +
                            csi + "2;4r\0338c" + csi + "?6l" + csi + "2dd"));
    out.push_back(fixed("erase in display", 4, 8,
                        "aaaaaaaa"
                        "bbbbbbbb"
                        "cccccccc"
                        "dddd" +
                            csi + "2;4H" + csi + "41m" + csi + "J" + csi + "1;3H" + csi + "1J" +
                            csi + "3J" + csi + "?0J"));
    out.push_back(fixed("erase saved lines", 2, 6,
                        "one\r\ntwo\r\nthree\r\nfour" + csi + "3J\r\nfive\r\nsix" + csi + "?3;1J" +
                            csi + "2J\r\nseven"));
    out.push_back(fixed("erase all", 3, 6, "abc\r\ndef" + csi + "44;1m" + csi + "2J" + csi + "H"));
    out.push_back(fixed("erase in line", 3, 10,
                        "0123456789" + csi + "1;5H" + csi + "K" + csi + "2;1Hxxxxxxx" + csi +
                            "2;4H" + csi + "1K" + csi + "3;1Hyyy" + csi + "2K" + csi + "?1K"));
    out.push_back(fixed(
        "erase over wide characters", 2, 8,
        cjk + cjk + csi + "1;2H" + csi + "K" + csi + "2;1H" + cjk + csi + "2;1H" + csi + "1X"));
    // Ranges long enough for the fill path, with wide characters at the ends.
    out.push_back(fixed("erase ranges over wide characters", 4, 12,
                        "a" + cjk + cjk + cjk + cjk + cjk + csi + "1;2H" + csi + "K" + csi +
                            "2;1H" + cjk + cjk + cjk + cjk + cjk + cjk + csi + "2;2H" + csi + "7X" +
                            csi + "3;1Hab" + cjk + cjk + cjk + cjk + "cd" + csi + "3;9H" + csi +
                            "1K" + csi + "4;1H" + cjk + cjk + cjk + cjk + cjk + cjk + csi + "4;5H" +
                            csi + "44m" + csi + "6X"));
    out.push_back(fixed("erase characters", 2, 10,
                        "0123456789" + csi + "1;3H" + csi + "42m" + csi + "4X" + csi + "99X"));
    out.push_back(fixed("insert characters", 3, 8,
                        "abcdefgh" + csi + "1;3H" + csi + "2@" + csi + "2;1H" + cjk + "ab" + csi +
                            "2;2H" + csi + "@" + csi + "3;1Habcdef" + cjk + csi + "3;1H" + csi +
                            "@"));
    out.push_back(fixed("delete characters", 3, 8,
                        "abcdefgh" + csi + "1;3H" + csi + "2P" + csi + "2;1Ha" + cjk + "bcd" + csi +
                            "2;2H" + csi + "P" + csi + "3;1H" + cjk + cjk + csi + "3;3H" + csi +
                            "99P"));
    out.push_back(fixed("insert and delete lines", 6, 4,
                        "1\r\n2\r\n3\r\n4\r\n5\r\n6" + csi + "2;5r" + csi + "3;1H" + csi + "L" +
                            csi + "4;1H" + csi + "2M" + csi + "6;1H" + csi + "L" + csi + "1;1H" +
                            csi + "3M" + csi + "r" + csi + "2;1H" + csi + "99L"));
    out.push_back(fixed("scroll up and down", 5, 4,
                        "1\r\n2\r\n3\r\n4\r\n5" + csi + "S" + csi + "2T" + csi + "2;4r" + csi +
                            "S" + csi + "9T" + csi + "r" + csi + "9S"));
    out.push_back(fixed(
        "scroll region and line feeds", 6, 6,
        csi + "2;4r" + csi + "4;1Ha\nb\nc\n" + csi + "6;1Hd\ne\nf" + csi + "1;1H\n\n\n\n\n\n\ng"));
    out.push_back(fixed("reverse index", 5, 6,
                        "top\r\n2\r\n3" + csi + "H" + e + "Mnew" + csi + "2;4r" + csi + "2;1H" + e +
                            "M" + e + "Mx" + csi + "1;1H" + e + "My"));
    out.push_back(fixed("index and next line", 3, 6, "a" + e + "Db" + e + "Ec" + e + "Hd"));
    out.push_back(fixed("save and restore cursor", 4, 10,
                        csi + "2;3H" + csi + "31m" + e + "7" + csi + "H" + csi + "0mx" + e + "8y" +
                            csi + "s" + csi + "4;4H" + csi + "uz"));
    out.push_back(fixed("line sizes", 4, 10,
                        "abcdefghij" + e + "#6" + csi + "9Gx\r\n" + e + "#3top" + csi + "Cup\r\n" +
                            e + "#4bottom!\r\n" + e + "#6" + csi + "4;8Hwrap" + e + "#5" + csi +
                            "1;3H" + csi + "2@" + csi + "P" + csi + "X" + csi + "K\n\n\nnew" + csi +
                            "1;1H" + csi + "J" + e + "#6" + csi + "99Gq",
                        4));
    out.push_back(fixed("save cursor with CSI s and parameters", 4, 10,
                        csi + "2;3H" + csi + "5;10s" + csi + "4;4Hx" + csi + "uy" + csi + "?69h" +
                            csi + "1;2s" + csi + "Hz" + csi + "uw"));
    out.push_back(fixed("alternate screen 1049", 4, 10,
                        "primary" + csi + "?1049h" + "alt" + csi + "2J" + csi + "Hscreen" + csi +
                            "?1049l" + "!" + csi + "?1049h" + "again"));
    out.push_back(fixed("alternate screen 47 and 1047", 3, 10,
                        "p" + csi + "?47hA" + csi + "?47l" + csi + "?47h" + "B" + csi + "?1047h" +
                            csi + "?1047l" + csi + "?47l"));
    out.push_back(fixed("modes", 3, 10,
                        csi + "?1h" + e + "=" + csi + "?25l" + csi + "?2004h" + csi + "?1000h" +
                            csi + "?1006h" + csi + "?1002h" + csi + "?1000l" + csi + "?1005h" +
                            csi + "?1006l" + csi + "?9;1003h" + csi + "4h" + csi + "?7l" + csi +
                            "?3;2004l" + e + ">"));
    out.push_back(fixed("mode resets", 3, 10,
                        csi + "?1003h" + csi + "?1002l" + csi + "?1006h" + csi + "?1005l" + csi +
                            "?25l" + csi + "?25h" + csi + "?1;2004h" + csi + "?1l"));
    out.push_back(fixed("SGR attributes", 3, 20,
                        csi + "1ma" + csi + "3mb" + csi + "4mc" + csi + "7md" + csi + "22me" + csi +
                            "23mf" + csi + "24mg" + csi + "27mh" + csi + "1;3;4;7mi" + csi + "mj" +
                            csi + "5;2;9mk"));
    out.push_back(fixed("SGR colours", 3, 24,
                        csi + "31ma" + csi + "42mb" + csi + "93mc" + csi + "104md" + csi +
                            "38;5;200me" + csi + "48;5;17mf" + csi + "38;2;1;2;3mg" + csi +
                            "48;2;250;251;252mh" + csi + "39mi" + csi + "49mj" + csi +
                            "38:2:9:8:7mk" + csi + "48:5:99ml" + csi + "38:2:0:1:2:3mm" + csi +
                            "0mn"));
    out.push_back(fixed("SGR bad colours", 3, 24,
                        csi + "31;38;5;256;1ma" + csi + "0;38;2;1;2mb" + csi + "0;38;7;1mc" + csi +
                            "0;38mc" + csi + "0;38:2:300:1:1;4md" + csi + "0;1:2;4me" + csi +
                            "0;99999mf"));
    out.push_back(fixed("SGR newer attributes", 3, 24,
                        csi + "2ma" + csi + "1mb" + csi + "22mc" + csi + "8;9md" + csi + "28me" +
                            csi + "29mf" + csi + "21mg" + csi + "4:3mh" + csi + "4:0mi" + csi +
                            "4;4:5mj" + csi + "24mk" + csi + "4:1;4:9ml" + csi + "0m" + csi +
                            "58;5;1mm" + csi + "58;2;1;31;44mn" + csi + "59;0;58:5:9mo" + csi +
                            "58:2::1:2:3mp" + csi + "58:2:4:5:6mq" + csi + "58:5:300;1mr"));
    out.push_back(fixed("newer attributes in the pen and the history", 2, 6,
                        csi + "2;9;4:3;58;2;9;8;7;41mab" + csi + "K\r\n" + e + "7" + csi + "0mx" +
                            e + "8y\r\n" + csi + "21;58:5:3m" + csi + "2Jz" + e + "cw",
                        4));
    out.push_back(fixed(
        "erase uses the pen", 3, 8,
        csi + "43;1;7mab" + csi + "K" + csi + "2;3H" + csi + "1K" + csi + "3;1H" + csi + "2K"));
    out.push_back(fixed("titles", 2, 10,
                        e + "]0;both\x07" + e + "]2;title" + e + "\\" + e + "]1;icon\x07" + e +
                            "]2;" + utf8({0x4e2d}) + "\x07" + e + "]2;bad\xff\x07" + e +
                            "]3;x\x07" + e + "]2\x07" + e + "]00;y\x07" + e + "]2;a;b\x07z"));
    out.push_back(fixed("title ends at ESC and CAN", 2, 10,
                        e + "]2;first" + csi + "31mx" + e + "]1;second\x18y" + e +
                            "]2;st\x9c"
                            "z\x07"));
    out.push_back(fixed("empty and crowded OSC", 2, 10,
                        e + "]\x07" + e + "];\x07" + e + "]2;\x07" + e +
                            "]2;;;;;;;;;;;;;;;;;;;;\x07" + e + "]0;" + std::string(300, 'x') +
                            "\x07"));
    out.push_back(fixed("OSC strings are cut at 1024 bytes", 2, 10,
                        e + "]2;" + std::string(1020, 't') + utf8({0x4e2d}) + "\x07x" + e + "]1;" +
                            std::string(1100, 'i') + ";x\x07"));
    out.push_back(fixed("device control and other strings", 2, 20,
                        "a" + e + "P1;2|data\x07more" + e + "\\b" + e + "X sos " + e + "\\c" + e +
                            "^pm\x9c"
                            "d" +
                            e + "_apc" + e + "\\e" + e +
                            "Pq\x9c"
                            "f"));
    out.push_back(fixed("escape intermediates", 2, 20,
                        "a" + e + "(Bb" + e + "#8c" + e + " Fd" + csi + "!pe" + csi + "1 qf" + csi +
                            "?1$pg" + csi + ">1;2mh" + csi + "=5ui"));
    out.push_back(fixed("private marker after parameters", 2, 20,
                        csi + "1?25lA" + csi + "2;?hB" + csi + "?25;1$hC"));
    out.push_back(fixed("reset", 3, 10,
                        "abc\r\n1\r\n2\r\n3\r\n4" + e + "]2;kept\x07" + csi + "?1049h" + csi +
                            "?25l" + csi + "31m" + e + "c" + "x"));
    out.push_back(fixed("scrollback with colour and wide text", 2, 6,
                        csi + "31mred" + csi + "0m\r\n" + cjk + "x" + acute + "\r\n" + csi +
                            "48;2;1;2;3m   \r\n" + "wrapping text\r\n\r\n" + csi + "K" + csi +
                            "7mz\r\n\r\n",
                        4));
    out.push_back(
        fixed("big parameters saturate", 3, 10,
              csi + "99999;99999Hx" + csi + "1;" + std::string(40, '9') + "Hy" + csi + "65536Gz"));
    out.push_back(fixed("one column screen", 3, 1, "abc\r\nd\te"));
    out.push_back(fixed("auto-wrap off", 3, 6,
                        csi + "?7labcdefgh\r\n" + cjk + cjk + cjk + cjk + acute + csi + "2;5H" +
                            cjk + csi + "K" + csi + "3;4Hxyz" + csi + "?7hw" + csi + "?7lv\b" +
                            csi + "@u"));
    out.push_back(fixed("selective erase", 4, 8,
                        "ab" + csi + "1\"qcd" + cjk + csi + "2\"qef" + csi + "0\"q" + csi + "1;1H" +
                            csi + "?K" + csi + "2;1Hghij" + csi + "1\"qk" + csi + "0\"ql" + csi +
                            "2;3H" + csi + "?1K" + csi + "3;1Hmnop" + csi + "2;2H" + csi + "?J" +
                            csi + "4;1Hq" + csi + "1\"qr" + csi + "H" + csi + "?2J" + e + "7" +
                            csi + "0\"q" + e + "8s" + csi + "?2J"));
    out.push_back(fixed("UTF-8 broken by a letter, an escape and a control", 3, 10,
                        "a\xe4\xb8" + csi + "31mb\xf0\x9f\x98\r\nc\xe2z\xee\xee\xee\xc3\n\xe0\x80" +
                            "\xed\xa0\x80"
                            "d"));
    out.push_back(fixed("soft reset", 4, 8,
                        csi + "2;3r" + csi + "?6h" + csi + "4h" + csi + "?7l" + csi + "?25l" + csi +
                            "?1h" + e + "=" + e + "(0" + csi + "1;7m" + csi + "1\"q" + e + "7q" +
                            csi + "!pq" + csi + "4;1Hx" + e + "8y" + csi + "?J"));
    return out;
}

// ---- random streams --------------------------------------------------------------

namespace {

class Gen {
  public:
    explicit Gen(std::uint64_t seed) : rng_(seed) {}

    int pick(int n) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(n)); }
    bool chance(int percent) { return pick(100) < percent; }

    std::string number() {
        static const int values[] = {0, 1,  1,  2,  2,  3,  4,  5,   7,
                                     8, 10, 12, 20, 24, 25, 80, 255, 256};
        const int r = pick(20);
        if (r < 17) return std::to_string(values[pick(std::size(values))]);
        if (r == 17) return std::to_string(pick(100));
        if (r == 18) return "65535";
        return "99999";
    }

    std::string params(int max_groups) {
        std::string out;
        const int groups = pick(max_groups + 1);
        for (int i = 0; i < groups; ++i) {
            if (i > 0) out += ';';
            if (chance(85)) out += number();
            if (chance(8)) out += ":" + number();
        }
        return out;
    }

    std::string text() {
        static const char32_t pool[] = {0xe9,   0xfc,    0x3b1,   0x20ac, 0x2500, 0x4e2d,
                                        0x6587, 0x1f600, 0xff21,  0x301,  0x308,  0x200b,
                                        0x200d, 0xfe0f,  0xfffd,  0x85,   0x9b,   0xad,
                                        0x1100, 0x3000,  0x10348, 0xe000, 0x2028, 0x7f};
        std::string out;
        const int n = 1 + pick(chance(20) ? 60 : 12);
        for (int i = 0; i < n; ++i) {
            const int r = pick(100);
            if (r < 70) {
                out += static_cast<char>(chance(5) ? "0123456789;:"[pick(12)] : 'a' + pick(26));
            } else if (r < 75) {
                out += ' ';
            } else {
                core::append_utf8(out, pool[pick(std::size(pool))]);
            }
        }
        return out;
    }

    std::string control() {
        static const char controls[] = {'\r', '\n', '\r', '\n', '\b', '\t', 0x0b, 0x0c,
                                        0x07, 0x0e, 0x0f, 0x00, 0x18, 0x1a, 0x05, 0x7f};
        if (chance(30)) return "\r\n";
        return std::string(1, controls[pick(std::size(controls))]);
    }

    std::string csi() {
        static const char finals[] = "@ABCDGHJKLMPSTXdhlmrfEFIZ`abcegnsuqp";
        static const char* modes[] = {"1",    "6",    "7",    "9",    "25",   "47",
                                      "1000", "1002", "1003", "1005", "1006", "1047",
                                      "1049", "2004", "3",    "12",   "1048"};
        std::string out = "\x1b[";
        const int r = pick(100);
        if (r < 20) {
            out += "?";
            const int n = 1 + pick(chance(80) ? 1 : 3);
            for (int i = 0; i < n; ++i) {
                if (i > 0) out += ';';
                out += modes[pick(std::size(modes))];
            }
            out += chance(50) ? 'h' : 'l';
            if (chance(5)) out.back() = "JK"[pick(2)];
            return out;
        }
        if (r < 45) return out + sgr() + 'm';
        if (r < 50) {
            out += number() + ";" + number() + "r";
            return out;
        }
        if (r < 53) return out + "20" + (chance(50) ? 'h' : 'l');  // LNM
        if (chance(5)) out += "?>= !$"[pick(6)];
        out += params(chance(80) ? 2 : 5);
        if (chance(3)) out += " !$'\""[pick(5)];
        out += finals[pick(sizeof(finals) - 1)];
        return out;
    }

    std::string sgr() {
        std::string out;
        const int n = pick(4);
        for (int i = 0; i < n; ++i) {
            if (i > 0) out += ';';
            const int r = pick(100);
            if (r < 40) {
                static const int codes[] = {0,  1,  3,  4,  7,  22, 23, 24,  27,  30,
                                            37, 39, 40, 47, 49, 90, 97, 100, 107, 2,
                                            5,  9,  21, 53, 58, 59, 8,  28,  29};
                out += std::to_string(codes[pick(std::size(codes))]);
            } else if (r < 55) {
                out += std::to_string(30 + pick(8) + 10 * pick(2));
            } else if (r < 70) {
                out += (chance(50) ? "38;5;" : "48;5;") + number();
            } else if (r < 85) {
                out +=
                    (chance(50) ? "38;2;" : "48;2;") + number() + ";" + number() + ";" + number();
            } else if (r < 92) {
                out += (chance(50) ? "38:2:" : "48:5:") + number() +
                       (out.back() == '2' || chance(50) ? ":" + number() + ":" + number() : "");
            } else if (r < 97) {
                out += newer();
            } else {
                out += chance(50) ? "38" : "48;7";
            }
        }
        return out;
    }

    // Underline styles and colours, which only xterm's followers read.
    std::string newer() {
        switch (pick(7)) {
            case 0:
                return "4:" + std::to_string(pick(7));
            case 1:
                return "58;5;" + number();
            case 2:
                return "58;2;" + number() + ";" + number() + ";" + number();
            case 3:
                return "58:5:" + number();
            case 4:
                return "58:2:" + number() + ":" + number() + ":" + number();
            case 5:
                return "58:2::" + number() + ":" + number() + ":" + number();
            default:
                return chance(50) ? "59" : "58";
        }
    }

    std::string esc() {
        static const char finals[] = "78=>McgDEHZ\\";
        if (chance(10)) return std::string("\x1b") + "(#% )"[pick(5)] + "B8G03456"[pick(8)];
        return std::string("\x1b") + finals[pick(sizeof(finals) - 1)];
    }

    std::string osc() {
        static const char* kinds[] = {"0", "1", "2", "2", "0", "3", "10", "", "00"};
        std::string out = std::string("\x1b]") + kinds[pick(std::size(kinds))];
        if (chance(90)) out += ";" + text();
        if (chance(10)) out += ";" + text();
        if (chance(5)) out += "\xff";
        const int end = pick(10);
        if (end < 6) return out + "\x07";
        if (end < 9) return out + "\x1b\\";
        return out;  // ended by whatever comes next
    }

    std::string string_sequence() {
        static const char* starts[] = {"\x1bP", "\x1bX", "\x1b^", "\x1b_"};
        std::string out = starts[pick(4)];
        if (chance(50)) out += params(2);
        out += chance(50) ? "q" : "|";
        out += text();
        out += chance(50) ? "\x1b\\" : "\x9c";
        return out;
    }

    std::string raw() {
        std::string out;
        const int n = 1 + pick(4);
        for (int i = 0; i < n; ++i) out += static_cast<char>(0x80 + pick(128));
        return out;
    }

    std::string item() {
        const int r = pick(100);
        if (r < 35) return text();
        if (r < 50) return control();
        if (r < 78) return csi();
        if (r < 86) return esc();
        if (r < 91) return osc();
        if (r < 94) return string_sequence();
        return raw();
    }

  private:
    std::mt19937_64 rng_;
};

// The reference walks CSI parameters through an unset slot, and loops for
// ever or crashes, when a sequence fills all 32 value slots while a
// parameter is still open. Streams that could do so are not compared.
bool could_fill_params(const std::string& bytes) {
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (bytes[i] != '\x1b' || bytes[i + 1] != '[') continue;
        int separators = 0;
        for (std::size_t j = i + 2; j < bytes.size(); ++j) {
            const auto b = static_cast<unsigned char>(bytes[j]);
            if (b == ';' || b == ':') ++separators;
            if ((b >= 0x40 && b <= 0x7e) || b == 0x1b || b == 0x18 || b == 0x1a) break;
        }
        if (separators >= 30) return true;
    }
    return false;
}

}  // namespace

Case random_case(std::uint64_t seed, std::uint64_t index) {
    // One row or one column crashes the reference on most streams, so those
    // sizes come up rarely.
    static const std::uint16_t row_choices[] = {2, 3, 4, 5, 8, 12, 24, 1};
    static const std::uint16_t col_choices[] = {2, 3, 4, 5, 8, 10, 20, 40, 80, 1};
    const auto size = [](Gen& g, const auto& choices) {
        const int n = static_cast<int>(std::size(choices));
        return choices[g.chance(3) ? n - 1 : g.pick(n - 1)];
    };
    for (std::uint64_t attempt = 0;; ++attempt) {
        Gen g(seed * 0x9e3779b97f4a7c15ull + index * 0x100000001b3ull + attempt);
        Case c;
        c.name = "random " + std::to_string(seed) + ":" + std::to_string(index);
        c.rows = size(g, row_choices);
        c.cols = size(g, col_choices);
        c.scrollback = static_cast<std::size_t>(g.pick(3) == 0 ? 0 : g.pick(2) == 0 ? 3 : 20);
        std::string all;
        const int steps = 1 + g.pick(6);
        for (int s = 0; s < steps; ++s) {
            if (s > 0 && g.chance(15)) {
                c.ops.push_back({Op::Kind::Size, {}, size(g, row_choices), size(g, col_choices)});
            }
            std::string bytes;
            const int items = 1 + g.pick(25);
            for (int i = 0; i < items; ++i) bytes += g.item();
            all += bytes;
            c.ops.push_back({Op::Kind::Feed, std::move(bytes)});
        }
        if (could_fill_params(all)) continue;
        const int betweens = g.pick(3);
        for (int i = 0; i < betweens; ++i) {
            Op op{Op::Kind::Between};
            op.a = static_cast<std::uint16_t>(g.pick(c.rows + 2));
            op.b = static_cast<std::uint16_t>(g.pick(c.cols + 3));
            op.c = static_cast<std::uint16_t>(op.a + g.pick(3));
            op.d = static_cast<std::uint16_t>(g.pick(c.cols + 3));
            c.ops.push_back(op);
        }
        c.ops.push_back({Op::Kind::Dump});
        return c;
    }
}

std::string script(const Case& c) {
    std::string out = "new " + std::to_string(c.rows) + " " + std::to_string(c.cols) + " " +
                      std::to_string(c.scrollback) + "\n";
    for (const Op& op : c.ops) {
        switch (op.kind) {
            case Op::Kind::Feed:
                out += "feed " + hex(op.bytes) + "\n";
                break;
            case Op::Kind::Size:
                out += "size " + std::to_string(op.a) + " " + std::to_string(op.b) + "\n";
                break;
            case Op::Kind::Dump:
                out += "dump\n";
                break;
            case Op::Kind::Between:
                out += "between " + std::to_string(op.a) + " " + std::to_string(op.b) + " " +
                       std::to_string(op.c) + " " + std::to_string(op.d) + "\n";
                break;
        }
    }
    return out;
}

}  // namespace tolvar::vt_oracle
