// Databases written by redb itself, for our reader and writer to meet.

use redb::{Database, Durability, MultimapTableDefinition, TableDefinition, WriteTransaction};

use crate::inspect::{HISTORY, close, open};
use crate::{Failure, at};

// The tables of other writers in the "others" fixture; `check` finds any of their rows changed.
pub const OTHER_TABLE: TableDefinition<&str, u64> = TableDefinition::new("other_table");
pub const BLOBS: TableDefinition<u64, &[u8]> = TableDefinition::new("blobs");
pub const TAGS: MultimapTableDefinition<&str, u64> = MultimapTableDefinition::new("tags");
pub const BLOB: [u8; 5000] = [0xab; 5000];

/// The key of other_table under which the fixture stores `value`.
pub fn other_key(value: u64) -> String {
    format!("key-{:05}", value / 7)
}
const WRONG_KEY: TableDefinition<u32, &str> = TableDefinition::new("history");
const WRONG_VALUE: TableDefinition<u64, &[u8]> = TableDefinition::new("history");

const KINDS: [&str; 8] = [
    "executed",
    "cancelled",
    "snoozed",
    "created",
    "edited",
    "deleted",
    "cleanup",
    "error",
];

pub enum Kind {
    Empty,
    History { count: u64, start: u64 },
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
    pub fn parse(text: &str) -> Result<Kind, Failure> {
        let parts: Vec<&str> = text.split(':').collect();
        let number = |i: usize| parts[i].parse::<u64>().map_err(|_| Failure::Usage);
        Ok(match (parts[0], parts.len()) {
            ("empty", 1) => Kind::Empty,
            ("wrong-key", 1) => Kind::WrongKey,
            ("wrong-value", 1) => Kind::WrongValue,
            ("history", 3) => Kind::History {
                count: number(1)?,
                start: number(2)?,
            },
            ("big", 2) => Kind::Big(number(1)?),
            ("others", 2) => Kind::Others(number(1)?),
            ("savepoint", 2) => Kind::Savepoint(number(1)?),
            ("crash", 2) => Kind::Crash(number(1)?),
            ("crash-quick", 2) => Kind::CrashQuick(number(1)?),
            ("nondurable", 2) => Kind::NonDurable(number(1)?),
            _ => return Err(Failure::Usage),
        })
    }
}

/// The value of history entry `key`: a history record of the service, its time `key` seconds
/// after 2026-01-01 00:00:00 (the day counted modulo 28), its detail padded with `pad` x's.
pub fn entry(key: u64, pad: usize) -> String {
    let day = 1 + (key / 86400) % 28;
    let (hour, minute, second) = ((key / 3600) % 24, (key / 60) % 60, key % 60);
    format!(
        "{{\"time\":\"2026-01-{day:02}T{hour:02}:{minute:02}:{second:02}\",\"kind\":\"{}\",\
         \"action\":\"lock\",\"detail\":\"entry {key} {}\"}}",
        KINDS[(key % 8) as usize],
        "x".repeat(pad)
    )
}

pub fn write(kind: &Kind, path: &str) -> Result<(), Failure> {
    // A fresh file: an existing one would be opened, not replaced.
    let _ = std::fs::remove_file(path);
    let (db, _) = open(path)?;
    match *kind {
        Kind::Empty => {}
        Kind::History { count, start } => commit_entries(&db, start, count, 0, |_| {})?,
        Kind::Big(count) => commit_entries(&db, 0, count, 200, |_| {})?,
        Kind::Others(count) => {
            commit_entries(&db, 0, count, 0, |_| {})?;
            write_others(&db)?;
        }
        Kind::WrongKey => {
            let txn = begin(&db)?;
            let mut table = txn.open_table(WRONG_KEY).map_err(at("open table"))?;
            table.insert(0, "{}").map_err(at("insert"))?;
            drop(table);
            commit(txn)?;
        }
        Kind::WrongValue => {
            let txn = begin(&db)?;
            let mut table = txn.open_table(WRONG_VALUE).map_err(at("open table"))?;
            table.insert(0, b"{}".as_slice()).map_err(at("insert"))?;
            drop(table);
            commit(txn)?;
        }
        Kind::Savepoint(count) => {
            commit_entries(&db, 0, count, 0, |_| {})?;
            let txn = begin(&db)?;
            txn.persistent_savepoint().map_err(at("savepoint"))?;
            commit(txn)?;
            commit_entries(&db, count, 5, 0, |_| {})?;
        }
        // These end the process without closing the database, as a crash would.
        Kind::Crash(count) => {
            for key in 0..count {
                commit_entries(&db, key, 1, 0, |_| {})?;
            }
            return Ok(());
        }
        Kind::CrashQuick(count) => {
            for key in 0..count {
                commit_entries(&db, key, 1, 0, |txn| txn.set_quick_repair(true))?;
            }
            return Ok(());
        }
        Kind::NonDurable(count) => {
            for key in 0..count {
                commit_entries(&db, key, 1, 0, |_| {})?;
            }
            for key in count..2 * count {
                commit_entries(&db, key, 1, 0, |txn| {
                    txn.set_durability(Durability::None)
                        .expect("a transaction without savepoints takes any durability")
                })?;
            }
            return Ok(());
        }
    }
    close(db);
    Ok(())
}

fn begin(db: &Database) -> Result<WriteTransaction, Failure> {
    db.begin_write().map_err(at("begin write"))
}

fn commit(txn: WriteTransaction) -> Result<(), Failure> {
    txn.commit().map_err(at("commit"))
}

/// One transaction that adds history entries `start`, `start + 1`, ... (`count` of them).
fn commit_entries(
    db: &Database,
    start: u64,
    count: u64,
    pad: usize,
    setup: impl FnOnce(&mut WriteTransaction),
) -> Result<(), Failure> {
    let mut txn = begin(db)?;
    setup(&mut txn);
    {
        let mut table = txn.open_table(HISTORY).map_err(at("open table"))?;
        for i in 0..count {
            let key = start.wrapping_add(i);
            table
                .insert(key, entry(key, pad).as_str())
                .map_err(at("insert"))?;
        }
    }
    commit(txn)
}

fn write_others(db: &Database) -> Result<(), Failure> {
    let txn = begin(db)?;
    {
        let mut other = txn.open_table(OTHER_TABLE).map_err(at("open table"))?;
        for i in 0..500u64 {
            other
                .insert(format!("key-{i:05}").as_str(), i * 7)
                .map_err(at("insert"))?;
        }
        let mut blobs = txn.open_table(BLOBS).map_err(at("open table"))?;
        for i in 0..20u64 {
            blobs.insert(i, BLOB.as_slice()).map_err(at("insert"))?;
        }
        let mut tags = txn.open_multimap_table(TAGS).map_err(at("open table"))?;
        for i in 0..50u64 {
            tags.insert("tag", i).map_err(at("insert"))?;
        }
    }
    commit(txn)
}
