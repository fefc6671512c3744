//! What the benchmark measures on the Rust side, shared by vt-oracle and
//! tools/bench/alacritty: live heap bytes, counted by the global allocator,
//! and the thread's CPU time, the clock model-bench uses for the model.

use std::alloc::{GlobalAlloc, Layout, System};
use std::sync::atomic::{AtomicUsize, Ordering};

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

/// Heap bytes live now.
pub fn live_bytes() -> usize {
    LIVE.load(Ordering::Relaxed)
}

/// CPU time of this thread in seconds. (The scheduler's statistics in /proc
/// advance only in whole ticks.)
pub fn cpu_seconds() -> f64 {
    #[repr(C)]
    struct Timespec {
        tv_sec: i64,
        tv_nsec: i64,
    }
    extern "C" {
        fn clock_gettime(clock: i32, now: *mut Timespec) -> i32;
    }
    const CLOCK_THREAD_CPUTIME_ID: i32 = 3;
    let mut now = Timespec { tv_sec: 0, tv_nsec: 0 };
    // Cannot fail for the calling thread's own clock.
    unsafe { clock_gettime(CLOCK_THREAD_CPUTIME_ID, &mut now) };
    now.tv_sec as f64 + now.tv_nsec as f64 / 1e9
}

/// The bench protocol's answer: the median speed of the timed runs, the heap
/// held and the scrollback lines after the last.
pub fn report(payload_bytes: usize, times: &mut [f64], bytes: usize, lines: usize) {
    times.sort_by(|a, b| a.partial_cmp(b).unwrap());
    let median = times[times.len() / 2];
    println!("mbps {:.3}", payload_bytes as f64 / median / 1e6);
    println!("bytes {}", bytes);
    println!("scrollback {}", lines);
}
