//! Databases written by redb itself, in the shapes the service's tests read.

use redb::{
    Database, Durability, MultimapTableDefinition, ReadableDatabase, TableDefinition,
    WriteTransaction,
};

use crate::{Failure, HISTORY, fail};

const KINDS: [&str; 8] =
    ["executed", "cancelled", "snoozed", "created", "edited", "deleted", "cleanup", "error"];

pub enum Kind {
    Empty,
    History { n: u64, start: u64 },
    Big(u64),
    Others(u64),
    WrongKey,
    WrongValue,
    Savepoint(u64),
    Crash(u64),
    CrashQuick(u64),
    NonDurable(u64),
}

impl Kind {
    pub fn parse(text: &str) -> Option<Kind> {
        let parts: Vec<&str> = text.split(':').collect();
        let number = |i: usize| parts.get(i)?.parse::<u64>().ok();
        Some(match (parts[0], parts.len()) {
            ("empty", 1) => Kind::Empty,
            ("history", 3) => Kind::History { n: number(1)?, start: number(2)? },
            ("big", 2) => Kind::Big(number(1)?),
            ("others", 2) => Kind::Others(number(1)?),
            ("wrong-key", 1) => Kind::WrongKey,
            ("wrong-value", 1) => Kind::WrongValue,
            ("savepoint", 2) => Kind::Savepoint(number(1)?),
            ("crash", 2) => Kind::Crash(number(1)?),
            ("crash-quick", 2) => Kind::CrashQuick(number(1)?),
            ("nondurable", 2) => Kind::NonDurable(number(1)?),
            _ => return None,
        })
    }
}

/// Entry `key` as the desktop program would store it, `key` seconds into January 2026 (its
/// first four weeks, repeated); `pad` x's lengthen its detail.
fn entry(key: u64, pad: usize) -> String {
    let t = key % (28 * 86400);
    let (day, h, m, s) = (1 + t / 86400, t / 3600 % 24, t / 60 % 60, t % 60);
    format!(
        "{{\"time\":\"2026-01-{day:02}T{h:02}:{m:02}:{s:02}\",\"kind\":\"{}\",\"action\":\"lock\",\"detail\":\"entry {key} {}\"}}",
        KINDS[(key % 8) as usize],
        "x".repeat(pad)
    )
}

/// Inserts the entries `keys` (detail padded by `pad`) in one transaction and commits it.
fn commit_entries(
    db: &Database,
    keys: impl Iterator<Item = u64>,
    pad: usize,
    setup: impl FnOnce(&mut WriteTransaction),
) -> Result<(), Failure> {
    let mut txn = db.begin_write().map_err(|e| fail("write", e))?;
    setup(&mut txn);
    {
        let mut history = txn.open_table(HISTORY).map_err(|e| fail("open history", e))?;
        for key in keys {
            history.insert(key, entry(key, pad).as_str()).map_err(|e| fail("insert", e))?;
        }
    }
    txn.commit().map_err(|e| fail("commit", e))
}

// The tables of other writers. Each row can be told from its key alone, so that `check` finds
// any row that a writer of "history" damaged.
pub const OTHER_TABLE: TableDefinition<&str, u64> = TableDefinition::new("other_table");
pub const BLOBS: TableDefinition<u64, &[u8]> = TableDefinition::new("blobs");
pub const TAGS: MultimapTableDefinition<&str, u64> = MultimapTableDefinition::new("tags");

pub fn other_name(value: u64) -> String {
    format!("name {value}")
}

pub fn blob(key: u64) -> Vec<u8> {
    (0..5000u64).map(|b| ((b + key) % 251) as u8).collect()
}

pub fn tag(value: u64) -> String {
    format!("tag {}", value % 5)
}

fn others(db: &Database, n: u64) -> Result<(), Failure> {
    let txn = db.begin_write().map_err(|e| fail("write", e))?;
    {
        let mut other = txn.open_table(OTHER_TABLE).map_err(|e| fail("open other_table", e))?;
        let mut blobs = txn.open_table(BLOBS).map_err(|e| fail("open blobs", e))?;
        let mut tags = txn.open_multimap_table(TAGS).map_err(|e| fail("open tags", e))?;
        for i in 0..n {
            other.insert(other_name(i).as_str(), i).map_err(|e| fail("insert", e))?;
            tags.insert(tag(i).as_str(), i).map_err(|e| fail("insert", e))?;
        }
        for i in 0..n.min(10) {
            blobs.insert(i, blob(i).as_slice()).map_err(|e| fail("insert", e))?;
        }
    }
    txn.commit().map_err(|e| fail("commit", e))
}

/// A table "history" declared with other types than the service's.
fn mistyped<K: redb::Key + 'static, V: redb::Value + 'static>(
    db: &Database,
    def: TableDefinition<K, V>,
) -> Result<(), Failure> {
    let txn = db.begin_write().map_err(|e| fail("write", e))?;
    txn.open_table(def).map_err(|e| fail("open history", e))?;
    txn.commit().map_err(|e| fail("commit", e))
}

/// Leaves the database as a crash would: no clean close, so the next open must recover.
fn end_without_close(db: Database) -> ! {
    std::mem::forget(db);
    std::process::exit(0)
}

pub fn write(kind: Kind, path: &str) -> Result<(), Failure> {
    match std::fs::remove_file(path) {
        Err(e) if e.kind() != std::io::ErrorKind::NotFound => return Err(fail("remove", e)),
        _ => {}
    }
    let db = Database::create(path).map_err(|e| fail("create", e))?;
    let none = |_: &mut WriteTransaction| {};
    match kind {
        Kind::Empty => {}
        Kind::History { n, start } => {
            commit_entries(&db, (0..n).map(|i| start.wrapping_add(i)), 0, none)?
        }
        Kind::Big(n) => commit_entries(&db, 0..n, 200, none)?,
        Kind::Others(n) => {
            commit_entries(&db, 0..n, 0, none)?;
            others(&db, n)?;
        }
        Kind::WrongKey => mistyped(&db, TableDefinition::<u32, &str>::new("history"))?,
        Kind::WrongValue => mistyped(&db, TableDefinition::<u64, &[u8]>::new("history"))?,
        Kind::Savepoint(n) => {
            commit_entries(&db, 0..n, 0, none)?;
            let txn = db.begin_write().map_err(|e| fail("write", e))?;
            txn.persistent_savepoint().map_err(|e| fail("savepoint", e))?;
            txn.commit().map_err(|e| fail("commit", e))?;
            commit_entries(&db, n..n + 5, 0, none)?;
        }
        Kind::Crash(n) => {
            for key in 0..n {
                commit_entries(&db, key..key + 1, 0, none)?;
            }
            end_without_close(db);
        }
        Kind::CrashQuick(n) => {
            for key in 0..n {
                commit_entries(&db, key..key + 1, 0, |t| t.set_quick_repair(true))?;
            }
            end_without_close(db);
        }
        Kind::NonDurable(n) => {
            for key in 0..n {
                commit_entries(&db, key..key + 1, 0, none)?;
            }
            for key in n..2 * n {
                commit_entries(&db, key..key + 1, 0, |t| {
                    let _ = t.set_durability(Durability::None);
                })?;
            }
            end_without_close(db);
        }
    }
    // A read proves the file whole before it is closed cleanly.
    db.begin_read().map_err(|e| fail("read", e))?;
    Ok(())
}
