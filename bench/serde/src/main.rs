// The records of tasks.json, settings.json and history entries, read with serde_json and
// chrono as the desktop program reads them, timed on the files that json_read_bench makes.
//
//   serde-read-bench time DIR      best-of timings, in-process, same rounds as json_read_bench
//   serde-read-bench nested FILE   reads the nested document once: its time and peak memory
//   serde-read-bench once DIR      reads each of the first three once, for instruction counts
//
// Every figure is a line "name<TAB>value<TAB>unit", as json_read_bench prints them.

use chrono::{NaiveDate, NaiveDateTime, NaiveTime};
use serde_derive::Deserialize;
use std::time::Instant;

#[derive(Deserialize, Clone, Copy)]
#[serde(rename_all = "snake_case")]
#[allow(dead_code)]
enum Action {
    Shutdown,
    Restart,
    Sleep,
    Hibernate,
    SignOut,
    Lock,
    MonitorOff,
    Screensaver,
}

#[derive(Deserialize)]
#[serde(rename_all = "lowercase")]
#[allow(dead_code)]
enum DayOfWeek {
    Mon,
    Tue,
    Wed,
    Thu,
    Fri,
    Sat,
    Sun,
}

#[derive(Deserialize)]
#[serde(rename_all = "lowercase")]
#[allow(dead_code)]
enum Nth {
    First,
    Second,
    Third,
    Fourth,
    Last,
}

#[derive(Deserialize)]
#[serde(tag = "kind", rename_all = "lowercase")]
#[allow(dead_code)]
enum MonthDay {
    Date { day: u32 },
    Weekday { nth: Nth, weekday: DayOfWeek },
}

fn one() -> u32 {
    1
}

#[derive(Deserialize)]
#[serde(tag = "type", rename_all = "lowercase")]
#[allow(dead_code)]
enum Trigger {
    Once {
        at: NaiveDateTime,
    },
    Daily {
        time: NaiveTime,
        #[serde(default = "one")]
        every: u32,
        start: NaiveDate,
    },
    Weekly {
        time: NaiveTime,
        #[serde(default = "one")]
        every: u32,
        days: Vec<DayOfWeek>,
        start: NaiveDate,
    },
    Monthly {
        time: NaiveTime,
        #[serde(default)]
        months: Vec<u32>,
        on: MonthDay,
    },
    Idle {
        minutes: u32,
    },
    Cpu {
        percent: u32,
        minutes: u32,
        #[serde(default)]
        below: bool,
    },
}

#[derive(Deserialize)]
#[allow(dead_code)]
struct Task {
    id: String,
    #[serde(default)]
    name: String,
    enabled: bool,
    action: Action,
    trigger: Trigger,
    #[serde(default)]
    skip_date: Option<NaiveDate>,
    #[serde(default)]
    temporary: bool,
}

#[derive(Deserialize)]
#[allow(dead_code)]
struct TaskFile {
    #[serde(default)]
    version: u32,
    #[serde(default)]
    tasks: Vec<Task>,
}

#[derive(Deserialize, Default)]
#[serde(rename_all = "lowercase")]
#[allow(dead_code)]
enum Language {
    #[default]
    System,
    English,
    Chinese,
}

#[derive(Deserialize, Default)]
#[serde(rename_all = "lowercase")]
#[allow(dead_code)]
enum Theme {
    #[default]
    System,
    Light,
    Dark,
}

#[derive(Deserialize)]
#[serde(default)]
#[allow(dead_code)]
struct Countdown {
    show_window: bool,
    seconds: u32,
    sound: Option<String>,
}

impl Default for Countdown {
    fn default() -> Self {
        Countdown { show_window: true, seconds: 30, sound: None }
    }
}

#[derive(Deserialize, Default)]
#[serde(default)]
#[allow(dead_code)]
struct Cleanup {
    recycle_bin: bool,
    browser_cache: bool,
    browser_cookies: bool,
    browser_history: bool,
    recent_documents: bool,
    temp_files: bool,
}

#[derive(Deserialize)]
#[serde(default)]
#[allow(dead_code)]
struct Settings {
    language: Language,
    theme: Theme,
    force_close_apps: bool,
    countdown: Countdown,
    cleanup: Cleanup,
    paused: bool,
}

impl Default for Settings {
    fn default() -> Self {
        Settings {
            language: Language::System,
            theme: Theme::System,
            force_close_apps: true,
            countdown: Countdown::default(),
            cleanup: Cleanup::default(),
            paused: false,
        }
    }
}

fn read_settings(bytes: &[u8]) -> Option<Settings> {
    let mut s: Settings = serde_json::from_slice(bytes).ok()?;
    s.countdown.seconds = s.countdown.seconds.clamp(5, 3600);
    Some(s)
}

#[derive(Deserialize)]
#[serde(rename_all = "snake_case")]
#[allow(dead_code)]
enum EntryKind {
    Executed,
    Cancelled,
    Snoozed,
    Created,
    Edited,
    Deleted,
    Cleanup,
    Error,
}

#[derive(Deserialize)]
#[allow(dead_code)]
struct Entry {
    time: NaiveDateTime,
    kind: EntryKind,
    #[serde(default)]
    action: Option<Action>,
    #[serde(default)]
    detail: String,
}

fn best_seconds(rounds: u32, mut run: impl FnMut()) -> f64 {
    let mut best = f64::MAX;
    for _ in 0..rounds {
        let start = Instant::now();
        run();
        best = best.min(start.elapsed().as_secs_f64());
    }
    best
}

fn read(path: &str) -> Vec<u8> {
    std::fs::read(path).unwrap_or_else(|e| panic!("cannot read {path}: {e}"))
}

fn time_reads(dir: &str) -> i32 {
    let tasks = read(&format!("{dir}/tasks.json"));
    let settings = read(&format!("{dir}/settings.json"));
    let history = String::from_utf8(read(&format!("{dir}/history.jsonl"))).expect("UTF-8");
    let lines: Vec<&str> = history.lines().collect();

    let mut count: usize = 0;
    let t_tasks = best_seconds(200, || {
        let file: Option<TaskFile> = serde_json::from_slice(&tasks).ok();
        count += file.map_or(0, |f| f.tasks.len());
    });
    const SETTINGS_READS: usize = 10000;
    let t_settings = best_seconds(20, || {
        for _ in 0..SETTINGS_READS {
            count += read_settings(&settings).map_or(0, |s| s.countdown.seconds as usize);
        }
    });
    let t_history = best_seconds(20, || {
        for line in &lines {
            count += serde_json::from_str::<Entry>(line).map_or(0, |_| 1);
        }
    });
    let expected = 200 * 1000 + 20 * SETTINGS_READS * 45 + 20 * lines.len();
    if count != expected {
        eprintln!("a document was rejected");
        return 1;
    }
    println!("tasks\t{:.1}\tus per tasks.json ({} bytes, 1000 tasks)", t_tasks * 1e6, tasks.len());
    println!(
        "settings\t{:.3}\tus per settings.json ({} bytes)",
        t_settings * 1e6 / SETTINGS_READS as f64,
        settings.len()
    );
    println!(
        "history\t{:.3}\tms per {} history lines ({} bytes)",
        t_history * 1e3,
        lines.len(),
        history.len()
    );
    0
}

// One read each, in functions of their own that callgrind can be told to count.
#[inline(never)]
fn once_tasks(bytes: &[u8]) -> usize {
    serde_json::from_slice::<TaskFile>(bytes).map_or(0, |f| f.tasks.len())
}

#[inline(never)]
fn once_settings(bytes: &[u8]) -> usize {
    read_settings(bytes).map_or(0, |_| 1)
}

#[inline(never)]
fn once_history(lines: &[&str]) -> usize {
    lines.iter().filter(|line| serde_json::from_str::<Entry>(line).is_ok()).count()
}

fn once(dir: &str) -> i32 {
    let tasks = read(&format!("{dir}/tasks.json"));
    let settings = read(&format!("{dir}/settings.json"));
    let history = String::from_utf8(read(&format!("{dir}/history.jsonl"))).expect("UTF-8");
    let lines: Vec<&str> = history.lines().collect();
    let ok = once_tasks(&tasks) == 1000
        && once_settings(&settings) == 1
        && once_history(&lines) == lines.len();
    if !ok {
        eprintln!("a document was rejected");
        return 1;
    }
    0
}

// Peak resident memory of this process, from the kernel's VmHWM.
fn peak_mb() -> f64 {
    let status = std::fs::read_to_string("/proc/self/status").unwrap_or_default();
    status
        .lines()
        .find_map(|l| l.strip_prefix("VmHWM:"))
        .and_then(|v| v.trim().trim_end_matches("kB").trim().parse::<f64>().ok())
        .map_or(0.0, |kb| kb / 1024.0)
}

fn nested(path: &str) -> i32 {
    let start = Instant::now();
    let bytes = read(path);
    let loaded = Instant::now();
    let file: Result<TaskFile, _> = serde_json::from_slice(&bytes);
    let parse = loaded.elapsed().as_secs_f64();
    let whole = start.elapsed().as_secs_f64();
    println!(
        "nested\t{:.3}\ts to load and read {} bytes ({}; {:.3} s of it reading), peak {:.1} MB",
        whole,
        bytes.len(),
        if file.is_ok() { "accepted" } else { "rejected" },
        parse,
        peak_mb()
    );
    if file.is_ok() {
        0
    } else {
        1
    }
}

fn main() {
    let args: Vec<String> = std::env::args().collect();
    let code = match (args.get(1).map(String::as_str), args.get(2)) {
        (Some("time"), Some(dir)) if args.len() == 3 => time_reads(dir),
        (Some("nested"), Some(file)) if args.len() == 3 => nested(file),
        (Some("once"), Some(dir)) if args.len() == 3 => once(dir),
        _ => {
            eprintln!("usage: serde-read-bench time|once DIR, or serde-read-bench nested FILE");
            2
        }
    };
    std::process::exit(code);
}
