// A small command-line tool on the redb library itself, so that the C++ tests can compare
// our implementation of the file format with the real one, file by file.

mod fixture;
mod inspect;

use std::fmt::Display;
use std::io::Write;
use std::process::ExitCode;
use std::{thread, time::Duration};

const USAGE: &str = "\
usage:
  redb-interop dump PATH
      every table name, then every entry of the table \"history\" (u64 -> &str) in key
      order as KEY<TAB>VALUE; a first line '# repaired at open' when redb had to repair
  redb-interop check [--allow-repair] PATH
      redb's integrity check and a read of every table; prints 'ok'. A file that redb has
      to repair while opening it fails, unless --allow-repair is given
  redb-interop fixture KIND PATH
      writes a new database with redb; KIND is one of
        empty              no table
        history:N:START    history with N entries under the keys START, START+1, ...
        big:N              history with N entries of about 300 bytes each
        others:N           history with N entries, and the tables other_table (&str -> u64),
                           blobs (u64 -> &[u8]) and the multimap table tags (&str -> u64)
        wrong-key          history declared as u32 -> &str
        wrong-value        history declared as u64 -> &[u8]
        savepoint:N        history with N entries, a persistent savepoint, 5 more entries
        crash:N            N entries in N commits, then an exit without closing
        crash-quick:N      the same with quick-repair commits
        nondurable:N       N durable commits, N non-durable ones, then an exit without closing
  redb-interop append PATH TEXT...
      appends each TEXT to history under the largest key plus one (0 in an empty table)
  redb-interop hold PATH MILLIS
      opens PATH (taking redb's file lock), prints 'held', waits MILLIS ms, closes it and
      prints 'released'
exit codes: 0 done, 1 redb failed (error: ... on standard error), 2 usage
";

/// Why a command did not complete: wrong arguments (exit 2) or a failure reported by redb (1).
pub enum Failure {
    Usage,
    Redb(String),
}

/// Maps an error of redb to a failure that names the step where it happened.
pub fn at<E: Display>(step: &str) -> impl FnOnce(E) -> Failure + '_ {
    move |e| Failure::Redb(format!("{step}: {e}"))
}

fn main() -> ExitCode {
    let args: Vec<String> = std::env::args().skip(1).collect();
    let args: Vec<&str> = args.iter().map(String::as_str).collect();
    let result = run(&args);
    // Whatever was printed comes before the error, as it would on a terminal.
    let _ = std::io::stdout().flush();
    match result {
        Ok(()) => ExitCode::SUCCESS,
        Err(Failure::Usage) => {
            eprint!("{USAGE}");
            ExitCode::from(2)
        }
        Err(Failure::Redb(message)) => {
            eprintln!("error: {message}");
            ExitCode::from(1)
        }
    }
}

fn run(args: &[&str]) -> Result<(), Failure> {
    match args {
        ["dump", path] => inspect::dump(path),
        ["check", path] if !path.starts_with("--") => inspect::check(path, false),
        ["check", "--allow-repair", path] => inspect::check(path, true),
        ["fixture", kind, path] => fixture::write(&fixture::Kind::parse(kind)?, path),
        ["append", path, texts @ ..] if !texts.is_empty() => inspect::append(path, texts),
        ["hold", path, millis] => {
            let millis: u64 = millis.parse().map_err(|_| Failure::Usage)?;
            hold(path, millis)
        }
        _ => Err(Failure::Usage),
    }
}

fn hold(path: &str, millis: u64) -> Result<(), Failure> {
    let (db, _) = inspect::open(path)?;
    println!("held");
    let _ = std::io::stdout().flush();
    thread::sleep(Duration::from_millis(millis));
    inspect::close(db);
    println!("released");
    Ok(())
}
