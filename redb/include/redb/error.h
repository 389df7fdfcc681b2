#pragma once

#include <cstdint>
#include <expected>
#include <string>

namespace redb {

// What went wrong, so that callers can tell a busy database from a broken one.
enum class ErrorKind {
    Io,                     // the file could not be read or written
    AlreadyOpen,            // another process holds the database's file lock
    NotRedb,                // the file does not start with redb's magic number
    UpgradeRequired,        // a database of an older file format (v1, v2); never touched
    Corrupted,              // the file is a redb database but its contents are inconsistent
    TableDoesNotExist,      // no table of that name
    TableTypeMismatch,      // the table was created with other key or value types
    TableIsMultimap,        // the table is a multimap table, or the other way round
    ValueTooLarge,          // a key or value exceeds what the format can store
    Unsupported,            // valid, but beyond what this implementation handles
    TransactionInProgress,  // a write transaction is already running
    TransactionEnded,       // the transaction was committed or aborted, or the database closed
};

struct Error {
    ErrorKind kind = ErrorKind::Corrupted;
    std::string text;
    std::uint32_t os_code = 0;  // for Io: the operating system's code, 0 when none

    static Error corrupted(std::string why) { return {ErrorKind::Corrupted, std::move(why), 0}; }
    static Error io(std::string why, std::uint32_t code = 0) {
        return {ErrorKind::Io, std::move(why), code};
    }
    // The text as printed to a user, prefixed with the kind where the text alone is unclear.
    std::string to_string() const;
};

template <typename T>
using Result = std::expected<T, Error>;
using Status = std::expected<void, Error>;

}  // namespace redb
