//! alacritty_terminal on the benchmark's payloads, with the same protocol as
//! vt-oracle's bench command, so model-bench runs it beside the model:
//!
//!   alacritty-bench bench FILE ROWS COLS SCROLLBACK CHUNK RUNS
//!
//! prints "mbps X", "bytes N" (live heap held by the terminal after the run)
//! and "scrollback N" (lines of history it holds).

use std::alloc::{GlobalAlloc, Layout, System};
use std::sync::atomic::{AtomicUsize, Ordering};

use alacritty_terminal::ansi::Processor;
use alacritty_terminal::config::Config;
use alacritty_terminal::event::VoidListener;
use alacritty_terminal::grid::Dimensions;
use alacritty_terminal::Term;

// Counts live heap bytes, as vt-oracle does.
struct Counting;
static LIVE: AtomicUsize = AtomicUsize::new(0);

unsafe impl GlobalAlloc for Counting {
    unsafe fn alloc(&self, layout: Layout) -> *mut u8 {
        LIVE.fetch_add(layout.size(), Ordering::Relaxed);
        System.alloc(layout)
    }
    unsafe fn dealloc(&self, ptr: *mut u8, layout: Layout) {
        LIVE.fetch_sub(layout.size(), Ordering::Relaxed);
        System.dealloc(ptr, layout)
    }
    unsafe fn realloc(&self, ptr: *mut u8, layout: Layout, new_size: usize) -> *mut u8 {
        LIVE.fetch_add(new_size, Ordering::Relaxed);
        LIVE.fetch_sub(layout.size(), Ordering::Relaxed);
        System.realloc(ptr, layout, new_size)
    }
}

#[global_allocator]
static GLOBAL: Counting = Counting;

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

// CPU time of this thread in seconds, the clock model-bench uses.
fn cpu_seconds() -> f64 {
    let mut now = libc::timespec {
        tv_sec: 0,
        tv_nsec: 0,
    };
    // Cannot fail for the calling thread's own clock.
    unsafe { libc::clock_gettime(libc::CLOCK_THREAD_CPUTIME_ID, &mut now) };
    now.tv_sec as f64 + now.tv_nsec as f64 / 1e9
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
        let before = LIVE.load(Ordering::Relaxed);
        let mut term = Term::new(&config, &size, VoidListener);
        let mut processor = Processor::new();
        let start = cpu_seconds();
        for piece in payload.chunks(chunk) {
            for &byte in piece {
                processor.advance(&mut term, byte);
            }
        }
        times.push(cpu_seconds() - start);
        bytes = LIVE.load(Ordering::Relaxed) - before;
        lines = term.grid().history_size();
    }
    times.sort_by(|a, b| a.partial_cmp(b).unwrap());
    let median = times[times.len() / 2];
    println!("mbps {:.3}", payload.len() as f64 / median / 1e6);
    println!("bytes {}", bytes);
    println!("scrollback {}", lines);
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
