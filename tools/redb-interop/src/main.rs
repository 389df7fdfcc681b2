//! The real redb library, driven from the command line, so that the service's tests can ask it
//! about files our C++ implementation writes and have it write files for our side to read.

mod fixtures;

use std::process::ExitCode;
use std::sync::Arc;
use std::sync::atomic::{AtomicBool, Ordering};
use std::time::Duration;

use fixtures::{BLOBS, OTHER_TABLE, TAGS};
use redb::{
    Database, MultimapTableHandle, ReadableMultimapTable, ReadableDatabase, ReadableTable, ReadableTableMetadata,
    TableDefinition, TableHandle,
};

pub const HISTORY: TableDefinition<u64, &str> = TableDefinition::new("history");

const USAGE: &str = "\
usage:
  redb-interop dump PATH           print every table name, then every (key, value) of the table
                                   \"history\" (u64 -> &str) in key order, tab-separated; a first
                                   line '# repaired at open' says that redb had to repair the file
  redb-interop check [--allow-repair] PATH
                                   redb's integrity check and a full read of every table: prints
                                   'ok' and exits 0, or prints the problem and exits 1; a file that
                                   redb must repair while opening it fails unless --allow-repair
  redb-interop fixture KIND PATH   a fresh database written by redb itself; KIND is one of:
      empty            no table at all
      history:N:START  table history with N entries, keys START..START+N-1
      big:N            table history with N entries of about 300 bytes (a tree several levels deep)
      others:N         table history with N entries plus the tables other_table (&str -> u64),
                       blobs (u64 -> &[u8], values of 5000 bytes) and the multimap table tags
      wrong-key        table history declared as u32 -> &str
      wrong-value      table history declared as u64 -> &[u8]
      savepoint:N      table history with N entries, a persistent savepoint, then 5 entries more
      crash:N          N entries committed one by one, then the process ends without closing
                       the database (the next open must repair it)
      crash-quick:N    the same with quick-repair commits
      nondurable:N     N durable entries, then N more with non-durable commits, then no close
  redb-interop append PATH TEXT... append each TEXT to history under the largest key plus one
  redb-interop hold PATH MILLIS    open PATH (taking redb's file lock), print 'held', keep it
                                   open for MILLIS ms, close it and print 'released'
exit codes: 0 success, 1 an error of redb (on standard error), 2 usage";

/// A failure of the command, printed as `error: ...`.
pub struct Failure(String);

impl<E: std::fmt::Display> From<E> for Failure {
    fn from(e: E) -> Self {
        Failure(e.to_string())
    }
}

pub fn fail(context: &str, e: impl std::fmt::Display) -> Failure {
    Failure(format!("{context}: {e}"))
}

/// Opens an existing database; the flag tells whether redb repaired it while opening.
fn open(path: &str) -> Result<(Database, bool), Failure> {
    let repaired = Arc::new(AtomicBool::new(false));
    let seen = repaired.clone();
    let db = Database::builder()
        .set_repair_callback(move |_| seen.store(true, Ordering::SeqCst))
        .open(path)
        .map_err(|e| fail("open", e))?;
    Ok((db, repaired.load(Ordering::SeqCst)))
}

/// Every table's name, sorted, a multimap table marked as such.
fn table_names(db: &Database) -> Result<Vec<String>, Failure> {
    let txn = db.begin_read().map_err(|e| fail("read", e))?;
    let mut names: Vec<String> = txn
        .list_tables()
        .map_err(|e| fail("list tables", e))?
        .map(|t| t.name().to_string())
        .collect();
    for t in txn.list_multimap_tables().map_err(|e| fail("list tables", e))? {
        names.push(format!("{} (multimap)", t.name()));
    }
    names.sort();
    Ok(names)
}

fn dump(path: &str) -> Result<(), Failure> {
    let (db, repaired) = open(path)?;
    if repaired {
        println!("# repaired at open");
    }
    let names = table_names(&db)?;
    println!("# tables: {}", names.join(", "));
    if !names.iter().any(|n| n == HISTORY.name()) {
        return Ok(());
    }
    let txn = db.begin_read().map_err(|e| fail("read", e))?;
    let history = txn.open_table(HISTORY).map_err(|e| fail("open history", e))?;
    println!("# history: {} entries", history.len().map_err(|e| fail("count", e))?);
    let mut out = String::new();
    for row in history.iter().map_err(|e| fail("read history", e))? {
        let (key, value) = row.map_err(|e| fail("read history", e))?;
        out.push_str(&format!("{}\t{}\n", key.value(), value.value()));
    }
    print!("{out}");
    Ok(())
}

fn check(path: &str, allow_repair: bool) -> Result<(), Failure> {
    let (mut db, repaired) = open(path)?;
    if repaired && !allow_repair {
        return Err(Failure(
            "open: redb had to repair the file while opening it (it was not left cleanly closed)"
                .into(),
        ));
    }
    if !db.check_integrity().map_err(|e| fail("integrity check", e))? {
        return Err(Failure("integrity check: the file was damaged and has been repaired".into()));
    }
    let txn = db.begin_read().map_err(|e| fail("read", e))?;
    for table in txn.list_tables().map_err(|e| fail("list tables", e))? {
        let name = table.name().to_string();
        let label = format!("read {name}");
        match name.as_str() {
            "history" => {
                let history = txn.open_table(HISTORY).map_err(|e| fail("open history", e))?;
                for row in history.iter().map_err(|e| fail(&label, e))? {
                    row.map_err(|e| fail(&label, e))?;
                }
            }
            "other_table" => {
                let other = txn.open_table(OTHER_TABLE).map_err(|e| fail("open other_table", e))?;
                for row in other.iter().map_err(|e| fail(&label, e))? {
                    let (key, value) = row.map_err(|e| fail(&label, e))?;
                    if key.value() != fixtures::other_name(value.value()) {
                        return Err(Failure("other_table: a row changed".into()));
                    }
                }
            }
            "blobs" => {
                let blobs = txn.open_table(BLOBS).map_err(|e| fail("open blobs", e))?;
                for row in blobs.iter().map_err(|e| fail(&label, e))? {
                    let (key, value) = row.map_err(|e| fail(&label, e))?;
                    if value.value() != fixtures::blob(key.value()).as_slice() {
                        return Err(Failure("blobs: a blob changed".into()));
                    }
                }
            }
            // Tables of other writers, of types unknown here: their trees are walked untyped.
            _ => {
                let other = txn.open_untyped_table(table.clone()).map_err(|e| fail(&label, e))?;
                other.stats().map_err(|e| fail(&label, e))?;
            }
        }
    }
    for table in txn.list_multimap_tables().map_err(|e| fail("list tables", e))? {
        let name = table.name().to_string();
        let label = format!("read {name}");
        if name == TAGS.name() {
            let tags = txn.open_multimap_table(TAGS).map_err(|e| fail("open tags", e))?;
            for row in tags.iter().map_err(|e| fail(&label, e))? {
                let (key, values) = row.map_err(|e| fail(&label, e))?;
                for value in values {
                    if key.value() != fixtures::tag(value.map_err(|e| fail(&label, e))?.value()) {
                        return Err(Failure("tags: a value changed".into()));
                    }
                }
            }
        } else {
            let other = txn.open_untyped_multimap_table(table.clone()).map_err(|e| fail(&label, e))?;
            other.stats().map_err(|e| fail(&label, e))?;
        }
    }
    println!("ok");
    Ok(())
}

fn append(path: &str, texts: &[String]) -> Result<(), Failure> {
    let db = Database::create(path).map_err(|e| fail("open", e))?;
    let txn = db.begin_write().map_err(|e| fail("write", e))?;
    {
        let mut history = txn.open_table(HISTORY).map_err(|e| fail("open history", e))?;
        let last = history.last().map_err(|e| fail("read history", e))?.map(|(k, _)| k.value());
        let mut key = last.map_or(Some(0), |k| k.checked_add(1));
        for text in texts {
            let k = key.ok_or_else(|| Failure("append: no key left after the largest".into()))?;
            history.insert(k, text.as_str()).map_err(|e| fail("insert", e))?;
            key = k.checked_add(1);
        }
    }
    txn.commit().map_err(|e| fail("commit", e))?;
    Ok(())
}

fn hold(path: &str, millis: u64) -> Result<(), Failure> {
    let db = Database::create(path).map_err(|e| fail("open", e))?;
    println!("held");
    std::thread::sleep(Duration::from_millis(millis));
    drop(db);
    println!("released");
    Ok(())
}

fn run(args: &[String]) -> Option<Result<(), Failure>> {
    let args: Vec<&str> = args.iter().map(String::as_str).collect();
    Some(match args.as_slice() {
        ["dump", path] => dump(path),
        ["check", path] => check(path, false),
        ["check", "--allow-repair", path] => check(path, true),
        ["fixture", kind, path] => fixtures::write(fixtures::Kind::parse(kind)?, path),
        ["append", path, texts @ ..] if !texts.is_empty() => {
            let texts: Vec<String> = texts.iter().map(|t| t.to_string()).collect();
            append(path, &texts)
        }
        ["hold", path, millis] => hold(path, millis.parse().ok()?),
        _ => return None,
    })
}

fn main() -> ExitCode {
    let args: Vec<String> = std::env::args().skip(1).collect();
    match run(&args) {
        None => {
            eprintln!("{USAGE}");
            ExitCode::from(2)
        }
        Some(Ok(())) => ExitCode::SUCCESS,
        Some(Err(Failure(text))) => {
            eprintln!("error: {text}");
            ExitCode::from(1)
        }
    }
}
