//! The reference for tolvar's terminal model: runs the vt100 crate on byte
//! streams and prints canonical dumps of its screen (the conformance test
//! compares them with the model's), times it on payload files (the benchmark
//! runs it beside the model), and lists character widths.
//!
//!   vt-oracle dump < script       script lines: "new ROWS COLS SCROLLBACK",
//!                                 "feed HEX", "size ROWS COLS", "dump",
//!                                 "between ROW COL ROW COL"
//!   vt-oracle bench FILE ROWS COLS SCROLLBACK CHUNK RUNS
//!   vt-oracle widths

use std::io::{self, BufRead, Write};
use std::panic::{self, AssertUnwindSafe};

mod measure;
use measure::{cpu_seconds, live_bytes, report};

thread_local! {
    static PANIC_PLACE: std::cell::RefCell<String> = std::cell::RefCell::new(String::new());
}

fn panic_report() -> String {
    PANIC_PLACE.with(|p| format!("panic\nat {}\nend", p.borrow()))
}

fn hex_decode(s: &str) -> Vec<u8> {
    let digit = |c: u8| match c {
        b'0'..=b'9' => c - b'0',
        b'a'..=b'f' => c - b'a' + 10,
        b'A'..=b'F' => c - b'A' + 10,
        _ => panic!("bad hex digit"),
    };
    s.as_bytes()
        .chunks(2)
        .map(|p| digit(p[0]) << 4 | digit(p[1]))
        .collect()
}

fn hex_encode(bytes: &[u8]) -> String {
    bytes.iter().map(|b| format!("{:02x}", b)).collect()
}

fn color(c: vt100::Color) -> String {
    match c {
        vt100::Color::Default => "d".to_string(),
        vt100::Color::Idx(i) => format!("i{}", i),
        vt100::Color::Rgb(r, g, b) => format!("r{},{},{}", r, g, b),
    }
}

fn cell_token(cell: &vt100::Cell) -> String {
    let contents = cell.contents();
    let mode = u8::from(cell.bold())
        | u8::from(cell.italic()) << 1
        | u8::from(cell.underline()) << 2
        | u8::from(cell.inverse()) << 3;
    let flags = format!(
        "{}{}",
        if cell.is_wide() { "w" } else { "" },
        if cell.is_wide_continuation() { "c" } else { "" }
    );
    let fg = cell.fgcolor();
    let bg = cell.bgcolor();
    if contents.is_empty()
        && flags.is_empty()
        && mode == 0
        && fg == vt100::Color::Default
        && bg == vt100::Color::Default
    {
        return ".".to_string();
    }
    let cps: Vec<String> = contents.chars().map(|c| format!("{:x}", c as u32)).collect();
    format!("{}/{}/{}/{}/{}", cps.join("+"), color(fg), color(bg), mode, flags)
}

// Tokens with repeats folded: "a", "a", "a" -> "a*3".
fn push_tokens(out: &mut String, tokens: &[String]) {
    let mut i = 0;
    while i < tokens.len() {
        let mut j = i + 1;
        while j < tokens.len() && tokens[j] == tokens[i] {
            j += 1;
        }
        out.push(' ');
        out.push_str(&tokens[i]);
        if j - i > 1 {
            out.push_str(&format!("*{}", j - i));
        }
        i = j;
    }
}

fn dump(parser: &mut vt100::Parser) -> String {
    let mut out = String::new();
    let screen = parser.screen();
    let (rows, cols) = screen.size();
    let (crow, ccol) = screen.cursor_position();
    out.push_str(&format!("size {} {}\ncursor {} {}\n", rows, cols, crow, ccol));
    let mouse = match screen.mouse_protocol_mode() {
        vt100::MouseProtocolMode::None => 0,
        vt100::MouseProtocolMode::Press => 1,
        vt100::MouseProtocolMode::PressRelease => 2,
        vt100::MouseProtocolMode::ButtonMotion => 3,
        vt100::MouseProtocolMode::AnyMotion => 4,
    };
    let encoding = match screen.mouse_protocol_encoding() {
        vt100::MouseProtocolEncoding::Default => 0,
        vt100::MouseProtocolEncoding::Utf8 => 1,
        vt100::MouseProtocolEncoding::Sgr => 2,
    };
    out.push_str(&format!(
        "modes alt={} hide={} paste={} appcursor={} appkeypad={} mouse={} encoding={}\n",
        u8::from(screen.alternate_screen()),
        u8::from(screen.hide_cursor()),
        u8::from(screen.bracketed_paste()),
        u8::from(screen.application_cursor()),
        u8::from(screen.application_keypad()),
        mouse,
        encoding
    ));
    out.push_str(&format!("title {}\n", hex_encode(screen.title().as_bytes())));
    out.push_str(&format!("icon {}\n", hex_encode(screen.icon_name().as_bytes())));
    out.push_str(&format!("text {}\n", hex_encode(screen.contents().as_bytes())));

    // With the view scrolled back over the whole scrollback, rows 0..n are
    // the scrollback lines, oldest first.
    parser.set_scrollback(usize::MAX);
    let screen = parser.screen();
    let lines = screen.scrollback();
    out.push_str(&format!("scrollback {}\n", lines));
    for i in 0..lines {
        let row = i as u16;
        let mut tokens = Vec::new();
        let mut col = 0u16;
        while let Some(cell) = screen.cell(row, col) {
            tokens.push(cell_token(cell));
            col += 1;
        }
        out.push_str(&format!("h{} w{}", i, u8::from(screen.row_wrapped(row))));
        push_tokens(&mut out, &tokens);
        out.push('\n');
    }
    parser.set_scrollback(0);
    let screen = parser.screen();
    for row in 0..rows {
        let tokens: Vec<String> = (0..cols)
            .map(|col| cell_token(screen.cell(row, col).unwrap()))
            .collect();
        out.push_str(&format!("r{} w{}", row, u8::from(screen.row_wrapped(row))));
        push_tokens(&mut out, &tokens);
        out.push('\n');
    }
    out
}

fn run_script() {
    // A panic of the reference is reported in the dump, not on stderr.
    panic::set_hook(Box::new(|info| {
        let place = info
            .location()
            .map_or(String::new(), |l| format!("{}:{}", l.file(), l.line()));
        PANIC_PLACE.with(|p| *p.borrow_mut() = place);
    }));
    let stdin = io::stdin();
    let stdout = io::stdout();
    let mut out = io::BufWriter::new(stdout.lock());
    let mut parser: Option<vt100::Parser> = None;
    let mut panicked = false;
    for line in stdin.lock().lines() {
        let line = line.expect("read script");
        let words: Vec<&str> = line.split(' ').collect();
        let num = |i: usize| words[i].parse::<usize>().expect("number");
        match words[0] {
            "new" => {
                parser = Some(vt100::Parser::new(num(1) as u16, num(2) as u16, num(3)));
                panicked = false;
            }
            "feed" | "size" | "dump" | "between" if panicked => {
                if words[0] == "dump" || words[0] == "between" {
                    writeln!(out, "{}", panic_report()).unwrap();
                }
            }
            "between" => {
                let (r1, c1, r2, c2) = (num(1) as u16, num(2) as u16, num(3) as u16, num(4) as u16);
                let p = parser.as_mut().expect("new first");
                match panic::catch_unwind(AssertUnwindSafe(|| {
                    p.screen().contents_between(r1, c1, r2, c2)
                })) {
                    Ok(text) => writeln!(out, "between {}\nend", hex_encode(text.as_bytes())).unwrap(),
                    Err(_) => {
                        panicked = true;
                        writeln!(out, "{}", panic_report()).unwrap();
                    }
                }
            }
            "feed" => {
                let bytes = hex_decode(words.get(1).copied().unwrap_or(""));
                let p = parser.as_mut().expect("new first");
                panicked = panic::catch_unwind(AssertUnwindSafe(|| p.process(&bytes))).is_err();
            }
            "size" => {
                let (rows, cols) = (num(1) as u16, num(2) as u16);
                let p = parser.as_mut().expect("new first");
                panicked = panic::catch_unwind(AssertUnwindSafe(|| p.set_size(rows, cols))).is_err();
            }
            "dump" => {
                let p = parser.as_mut().expect("new first");
                match panic::catch_unwind(AssertUnwindSafe(|| dump(p))) {
                    Ok(text) => write!(out, "{}end\n", text).unwrap(),
                    Err(_) => {
                        panicked = true;
                        writeln!(out, "{}", panic_report()).unwrap();
                    }
                }
            }
            "" => {}
            other => panic!("unknown script command {}", other),
        }
    }
}

fn bench(args: &[String]) {
    let payload = std::fs::read(&args[0]).expect("read payload");
    let num = |i: usize| args[i].parse::<usize>().expect("number");
    let (rows, cols, scrollback, chunk, runs) =
        (num(1) as u16, num(2) as u16, num(3), num(4), num(5));
    let mut times = Vec::new();
    let mut bytes = 0;
    let mut lines = 0;
    for _ in 0..runs {
        let before = live_bytes();
        let mut parser = vt100::Parser::new(rows, cols, scrollback);
        let start = cpu_seconds();
        for piece in payload.chunks(chunk) {
            parser.process(piece);
        }
        times.push(cpu_seconds() - start);
        bytes = live_bytes() - before;
        parser.set_scrollback(usize::MAX);
        lines = parser.screen().scrollback();
    }
    report(payload.len(), &mut times, bytes, lines);
}

fn widths() {
    use unicode_width::UnicodeWidthChar;
    let width = |c: char| c.width().map_or(-1, |w| w as i32);
    let mut out = io::BufWriter::new(io::stdout().lock());
    let mut start = 0u32;
    let mut current = 0;
    for cp in 0..=0x10ffffu32 {
        let c = match char::from_u32(cp) {
            Some(c) => c,
            None => continue,
        };
        let w = width(c);
        if cp == 0 {
            current = w;
        } else if w != current {
            writeln!(out, "{:x} {}", start, current).unwrap();
            start = cp;
            current = w;
        }
    }
    writeln!(out, "{:x} {}", start, current).unwrap();
}

fn main() {
    let args: Vec<String> = std::env::args().skip(1).collect();
    match args.first().map(String::as_str) {
        Some("dump") => run_script(),
        Some("bench") if args.len() == 7 => bench(&args[1..]),
        Some("widths") => widths(),
        _ => {
            eprintln!("usage: vt-oracle dump < script | bench FILE ROWS COLS SCROLLBACK CHUNK RUNS | widths");
            std::process::exit(2);
        }
    }
}
