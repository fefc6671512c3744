//! alacritty_terminal on the benchmark's payloads, with the same protocol as
//! vt-oracle's bench command, so model-bench runs it beside the model:
//!
//!   alacritty-bench bench FILE ROWS COLS SCROLLBACK CHUNK RUNS
//!
//! prints "mbps X", "bytes N" (live heap held by the terminal after the run)
//! and "scrollback N" (lines of history it holds).

use alacritty_terminal::ansi::Processor;
use alacritty_terminal::config::Config;
use alacritty_terminal::event::VoidListener;
use alacritty_terminal::grid::Dimensions;
use alacritty_terminal::Term;

#[path = "../../../vt-oracle/src/measure.rs"]
mod measure;
use measure::{cpu_seconds, live_bytes, report};

struct Size {
    rows: usize,
    cols: usize,
}

impl Dimensions for Size {
    fn total_lines(&self) -> usize {
        self.rows
    }
    fn screen_lines(&self) -> usize {
        self.rows
    }
    fn columns(&self) -> usize {
        self.cols
    }
}

fn bench(args: &[String]) {
    let payload = std::fs::read(&args[0]).expect("read payload");
    let num = |i: usize| args[i].parse::<usize>().expect("number");
    let size = Size {
        rows: num(1),
        cols: num(2),
    };
    let (scrollback, chunk, runs) = (num(3), num(4), num(5));
    let mut config = Config::default();
    config.scrolling.set_history(scrollback as u32);
    let mut times = Vec::new();
    let mut bytes = 0;
    let mut lines = 0;
    for _ in 0..runs {
        let before = live_bytes();
        let mut term = Term::new(&config, &size, VoidListener);
        let mut processor = Processor::new();
        let start = cpu_seconds();
        for piece in payload.chunks(chunk) {
            for &byte in piece {
                processor.advance(&mut term, byte);
            }
        }
        times.push(cpu_seconds() - start);
        bytes = live_bytes() - before;
        lines = term.grid().history_size();
    }
    report(payload.len(), &mut times, bytes, lines);
}

fn main() {
    let args: Vec<String> = std::env::args().skip(1).collect();
    if args.len() == 7 && args[0] == "bench" {
        bench(&args[1..]);
    } else {
        eprintln!("usage: alacritty-bench bench FILE ROWS COLS SCROLLBACK CHUNK RUNS");
        std::process::exit(2);
    }
}
