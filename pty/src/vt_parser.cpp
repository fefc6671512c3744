#include "vt_parser.hpp"

namespace tolvar::pty {

// The transitions of the DEC parser diagram as the reference parser has them.
// An entry packs the next state (low four bits) and the action (high four);
// 0 means "no transition": the byte is dropped and the state kept. The
// Anywhere row is consulted first, for every state but UTF-8.
const VtParser::Table VtParser::k_table = [] {
    Table t{};
    auto set = [&t](State s, int from, int to, State next, Action action) {
        for (int b = from; b <= to; ++b) {
            t[s][b] = static_cast<std::uint8_t>(action << 4 | next);
        }
    };
    // C0 controls run inside most sequences without ending them.
    auto c0 = [&set](State s, Action action) {
        set(s, 0x00, 0x17, Anywhere, action);
        set(s, 0x19, 0x19, Anywhere, action);
        set(s, 0x1c, 0x1f, Anywhere, action);
    };

    set(Anywhere, 0x18, 0x18, Ground, Execute);
    set(Anywhere, 0x1a, 0x1a, Ground, Execute);
    set(Anywhere, 0x1b, 0x1b, Escape, None);

    c0(Ground, Execute);
    set(Ground, 0x20, 0x7f, Anywhere, Print);
    set(Ground, 0x80, 0x8f, Anywhere, Execute);
    set(Ground, 0x91, 0x9a, Anywhere, Execute);
    set(Ground, 0x9c, 0x9c, Anywhere, Execute);
    set(Ground, 0xc2, 0xf4, Utf8, BeginUtf8);

    c0(Escape, Execute);
    set(Escape, 0x7f, 0x7f, Anywhere, Ignore);
    set(Escape, 0x20, 0x2f, EscapeIntermediate, Collect);
    set(Escape, 0x30, 0x4f, Ground, EscDispatch);
    set(Escape, 0x51, 0x57, Ground, EscDispatch);
    set(Escape, 0x59, 0x5a, Ground, EscDispatch);
    set(Escape, 0x5c, 0x5c, Ground, EscDispatch);
    set(Escape, 0x60, 0x7e, Ground, EscDispatch);
    set(Escape, 0x5b, 0x5b, CsiEntry, None);
    set(Escape, 0x5d, 0x5d, OscString, None);
    set(Escape, 0x50, 0x50, DcsEntry, None);
    set(Escape, 0x58, 0x58, SosPmApcString, None);
    set(Escape, 0x5e, 0x5f, SosPmApcString, None);

    c0(EscapeIntermediate, Execute);
    set(EscapeIntermediate, 0x20, 0x2f, Anywhere, Collect);
    set(EscapeIntermediate, 0x7f, 0x7f, Anywhere, Ignore);
    set(EscapeIntermediate, 0x30, 0x7e, Ground, EscDispatch);

    c0(CsiEntry, Execute);
    set(CsiEntry, 0x7f, 0x7f, Anywhere, Ignore);
    set(CsiEntry, 0x20, 0x2f, CsiIntermediate, Collect);
    set(CsiEntry, 0x30, 0x3b, CsiParam, Param);
    set(CsiEntry, 0x3c, 0x3f, CsiParam, Collect);
    set(CsiEntry, 0x40, 0x7e, Ground, CsiDispatch);

    c0(CsiIgnore, Execute);
    set(CsiIgnore, 0x20, 0x3f, Anywhere, Ignore);
    set(CsiIgnore, 0x7f, 0x7f, Anywhere, Ignore);
    set(CsiIgnore, 0x40, 0x7e, Ground, None);

    c0(CsiParam, Execute);
    set(CsiParam, 0x30, 0x3b, Anywhere, Param);
    set(CsiParam, 0x7f, 0x7f, Anywhere, Ignore);
    set(CsiParam, 0x3c, 0x3f, CsiIgnore, None);
    set(CsiParam, 0x20, 0x2f, CsiIntermediate, Collect);
    set(CsiParam, 0x40, 0x7e, Ground, CsiDispatch);

    c0(CsiIntermediate, Execute);
    set(CsiIntermediate, 0x20, 0x2f, Anywhere, Collect);
    set(CsiIntermediate, 0x7f, 0x7f, Anywhere, Ignore);
    set(CsiIntermediate, 0x30, 0x3f, CsiIgnore, None);
    set(CsiIntermediate, 0x40, 0x7e, Ground, CsiDispatch);

    c0(DcsEntry, Ignore);
    set(DcsEntry, 0x7f, 0x7f, Anywhere, Ignore);
    set(DcsEntry, 0x20, 0x2f, DcsIntermediate, Collect);
    set(DcsEntry, 0x30, 0x3b, DcsParam, Param);
    set(DcsEntry, 0x3c, 0x3f, DcsParam, Collect);
    set(DcsEntry, 0x40, 0x7e, DcsPassthrough, None);

    c0(DcsIntermediate, Ignore);
    set(DcsIntermediate, 0x20, 0x2f, Anywhere, Collect);
    set(DcsIntermediate, 0x7f, 0x7f, Anywhere, Ignore);
    set(DcsIntermediate, 0x30, 0x3f, DcsIgnore, None);
    set(DcsIntermediate, 0x40, 0x7e, DcsPassthrough, None);

    c0(DcsIgnore, Ignore);
    set(DcsIgnore, 0x20, 0x7f, Anywhere, Ignore);
    set(DcsIgnore, 0x9c, 0x9c, Ground, None);

    c0(DcsParam, Ignore);
    set(DcsParam, 0x30, 0x3b, Anywhere, Param);
    set(DcsParam, 0x7f, 0x7f, Anywhere, Ignore);
    set(DcsParam, 0x3c, 0x3f, DcsIgnore, None);
    set(DcsParam, 0x20, 0x2f, DcsIntermediate, Collect);
    set(DcsParam, 0x40, 0x7e, DcsPassthrough, None);

    c0(DcsPassthrough, Put);
    set(DcsPassthrough, 0x20, 0x7e, Anywhere, Put);
    set(DcsPassthrough, 0x7f, 0x7f, Anywhere, Ignore);
    set(DcsPassthrough, 0x9c, 0x9c, Ground, None);

    c0(SosPmApcString, Ignore);
    set(SosPmApcString, 0x20, 0x7f, Anywhere, Ignore);
    set(SosPmApcString, 0x9c, 0x9c, Ground, None);

    set(OscString, 0x00, 0x06, Anywhere, Ignore);
    set(OscString, 0x07, 0x07, Ground, None);
    set(OscString, 0x08, 0x17, Anywhere, Ignore);
    set(OscString, 0x19, 0x19, Anywhere, Ignore);
    set(OscString, 0x1c, 0x1f, Anywhere, Ignore);
    set(OscString, 0x20, 0xff, Anywhere, OscPut);
    return t;
}();

}  // namespace tolvar::pty
