// Reading databases as redb sees them: the dump, the check, and the appends of the tests.

use std::cell::Cell;
use std::io::{BufWriter, Write};
use std::mem::ManuallyDrop;
use std::rc::Rc;

use redb::{
    Database, Key, MultimapTableHandle, ReadTransaction, ReadableDatabase, ReadableMultimapTable,
    ReadableTable, ReadableTableMetadata, TableDefinition, TableHandle, Value,
};

use crate::{Failure, at, fixture};

pub const HISTORY: TableDefinition<u64, &str> = TableDefinition::new("history");

/// A database that redb closes only through `close`: when a command fails, the file stays as
/// its failed step left it, without the commit that closing makes.
pub type Open = ManuallyDrop<Database>;

/// Opens (or creates) the database at `path`; tells whether redb repaired it while opening.
pub fn open(path: &str) -> Result<(Open, bool), Failure> {
    let repaired = Rc::new(Cell::new(false));
    let seen = repaired.clone();
    let mut builder = Database::builder();
    builder.set_repair_callback(move |_| seen.set(true));
    let db = builder.create(path).map_err(at("open"))?;
    Ok((ManuallyDrop::new(db), repaired.get()))
}

pub fn close(db: Open) {
    drop(ManuallyDrop::into_inner(db));
}

/// Names of the tables, sorted; multimap tables marked as such.
fn table_names(txn: &ReadTransaction) -> Result<Vec<(String, bool)>, Failure> {
    let mut names: Vec<(String, bool)> = Vec::new();
    for table in txn.list_tables().map_err(at("list tables"))? {
        names.push((table.name().to_string(), false));
    }
    for table in txn.list_multimap_tables().map_err(at("list tables"))? {
        names.push((table.name().to_string(), true));
    }
    names.sort();
    Ok(names)
}

pub fn dump(path: &str) -> Result<(), Failure> {
    let (db, repaired) = open(path)?;
    let mut out = BufWriter::new(std::io::stdout().lock());
    let result = write_dump(&db, repaired, &mut out);
    let _ = out.flush();
    result?;
    close(db);
    Ok(())
}

fn write_dump(db: &Database, repaired: bool, out: &mut impl Write) -> Result<(), Failure> {
    if repaired {
        writeln!(out, "# repaired at open").map_err(at("write"))?;
    }
    let txn = db.begin_read().map_err(at("begin read"))?;
    let names = table_names(&txn)?;
    let labels: Vec<String> = names
        .iter()
        .map(|(name, multimap)| {
            if *multimap {
                format!("{name} (multimap)")
            } else {
                name.clone()
            }
        })
        .collect();
    writeln!(out, "# tables: {}", labels.join(", ")).map_err(at("write"))?;
    if !names
        .iter()
        .any(|(name, multimap)| name == "history" && !multimap)
    {
        return Ok(());
    }
    let table = txn.open_table(HISTORY).map_err(at("open history"))?;
    let len = table.len().map_err(at("read history"))?;
    writeln!(out, "# history: {len} entries").map_err(at("write"))?;
    for entry in table.iter().map_err(at("read history"))? {
        let (key, value) = entry.map_err(at("read history"))?;
        writeln!(out, "{}\t{}", key.value(), value.value()).map_err(at("write"))?;
    }
    Ok(())
}

pub fn check(path: &str, allow_repair: bool) -> Result<(), Failure> {
    let (mut db, repaired) = open(path)?;
    if repaired && !allow_repair {
        return Err(Failure::Redb(
            "open: redb had to repair the file while opening it (it was not left cleanly closed)"
                .to_string(),
        ));
    }
    if !db.check_integrity().map_err(at("check_integrity"))? {
        return Err(Failure::Redb(
            "check_integrity: the file was damaged, and redb repaired it".to_string(),
        ));
    }
    let txn = db.begin_read().map_err(at("begin read"))?;
    // Listed in name order, as the tables line of the dump shows them.
    for table in txn.list_tables().map_err(at("list tables"))? {
        match table.name() {
            "history" => read_all(&txn, HISTORY, |_, _| true)?,
            // The other writers' tables of the "others" fixture, row by row as it wrote them.
            "other_table" => read_all(&txn, fixture::OTHER_TABLE, |k, v| {
                k == fixture::other_key(v)
            })?,
            "blobs" => read_all(&txn, fixture::BLOBS, |_, v| v == fixture::BLOB.as_slice())?,
            // Of a table of types unknown here redb can read no more than its length.
            _ => drop(txn.open_untyped_table(table).map_err(at("open table"))?),
        }
    }
    for table in txn.list_multimap_tables().map_err(at("list tables"))? {
        if table.name() == "tags" {
            let tags = txn
                .open_multimap_table(fixture::TAGS)
                .map_err(at("open tags"))?;
            for entry in tags.iter().map_err(at("read tags"))? {
                let (key, values) = entry.map_err(at("read tags"))?;
                for value in values {
                    value.map_err(at("read tags"))?;
                }
                if key.value() != "tag" {
                    return Err(Failure::Redb("tags: a key changed".to_string()));
                }
            }
        } else {
            drop(
                txn.open_untyped_multimap_table(table)
                    .map_err(at("open table"))?,
            );
        }
    }
    drop(txn);
    close(db);
    println!("ok");
    Ok(())
}

/// Reads every entry of a table of known types, so that redb decodes each of its pages, and
/// fails on the first entry that `intact` refuses.
fn read_all<K: Key + 'static, V: Value + 'static>(
    txn: &ReadTransaction,
    definition: TableDefinition<K, V>,
    intact: impl Fn(K::SelfType<'_>, V::SelfType<'_>) -> bool,
) -> Result<(), Failure> {
    let name = definition.name().to_string();
    let reading = format!("read {name}");
    let table = txn
        .open_table(definition)
        .map_err(at(&format!("open {name}")))?;
    for entry in table.iter().map_err(at(&reading))? {
        let (key, value) = entry.map_err(at(&reading))?;
        if !intact(key.value(), value.value()) {
            return Err(Failure::Redb(format!("{name}: an entry changed")));
        }
    }
    Ok(())
}

pub fn append(path: &str, texts: &[&str]) -> Result<(), Failure> {
    let (db, _) = open(path)?;
    for text in texts {
        let txn = db.begin_write().map_err(at("begin write"))?;
        {
            let mut table = txn.open_table(HISTORY).map_err(at("open table"))?;
            let next = match table.last().map_err(at("read history"))? {
                Some((key, _)) => key.value().checked_add(1).ok_or_else(|| {
                    Failure::Redb("append: no key left after the largest".to_string())
                })?,
                None => 0,
            };
            table.insert(next, *text).map_err(at("insert"))?;
        }
        txn.commit().map_err(at("commit"))?;
    }
    close(db);
    Ok(())
}
