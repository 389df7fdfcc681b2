#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "redb/error.h"
#include "redb/types.h"

namespace redb {

namespace detail {
struct TableSnapshot;  // a table's tree as of one read transaction
struct WriteState;     // a running write transaction
}  // namespace detail

using ByteView = std::span<const std::uint8_t>;

struct RawEntry {
    std::vector<std::uint8_t> key;
    std::vector<std::uint8_t> value;
};

// Read access to one table's stored bytes, as of its read transaction. It keeps that
// transaction, and the database, alive.
class RawReadOnlyTable {
  public:
    explicit RawReadOnlyTable(std::shared_ptr<const detail::TableSnapshot> table)
        : table_(std::move(table)) {}

    // Number of entries, as the table records it.
    std::uint64_t len() const;
    Result<std::optional<std::vector<std::uint8_t>>> get(ByteView key) const;
    Result<std::optional<RawEntry>> first() const;
    Result<std::optional<RawEntry>> last() const;
    // Each entry in key order until `visit` returns false.
    Status for_each(const std::function<bool(ByteView key, ByteView value)>& visit) const;

  private:
    std::shared_ptr<const detail::TableSnapshot> table_;
};

// Read and write access to one table inside a write transaction. It keeps the transaction
// alive; once that has committed or aborted every call fails with TransactionEnded.
class RawTable {
  public:
    RawTable(std::shared_ptr<detail::WriteState> txn, std::string name)
        : txn_(std::move(txn)), name_(std::move(name)) {}

    Result<std::uint64_t> len() const;
    Result<std::optional<std::vector<std::uint8_t>>> get(ByteView key) const;
    Result<std::optional<RawEntry>> first() const;
    Result<std::optional<RawEntry>> last() const;
    Status for_each(const std::function<bool(ByteView key, ByteView value)>& visit) const;
    // Stores the value under the key, replacing one stored there.
    Status insert(ByteView key, ByteView value);
    // Returns whether the key was there.
    Result<bool> remove(ByteView key);
    // Removes and returns the entry with the smallest key; none in an empty table.
    Result<std::optional<RawEntry>> pop_first();

  private:
    std::shared_ptr<detail::WriteState> txn_;
    std::string name_;
};

namespace detail {

// The reads both kinds of table offer, with the declared types.
template <typename K, typename V, typename Raw>
class TypedReads {
  public:
    using Key = typename K::value_type;
    using Value = typename V::value_type;

    explicit TypedReads(Raw raw) : raw_(std::move(raw)) {}

    Result<std::optional<Value>> get(const Key& key) const {
        auto found = raw_.get(K::encode(key));
        if (!found) return std::unexpected(found.error());
        if (!*found) return std::nullopt;
        return V::decode(**found);
    }
    Result<std::optional<std::pair<Key, Value>>> first() const { return typed(raw_.first()); }
    Result<std::optional<std::pair<Key, Value>>> last() const { return typed(raw_.last()); }
    Status for_each(const std::function<bool(const Key&, const Value&)>& visit) const {
        return raw_.for_each(
            [&](ByteView k, ByteView v) { return visit(K::decode(k), V::decode(v)); });
    }

  protected:
    static Result<std::optional<std::pair<Key, Value>>> typed(Result<std::optional<RawEntry>> e) {
        if (!e) return std::unexpected(e.error());
        if (!*e) return std::nullopt;
        return std::pair(K::decode((*e)->key), V::decode((*e)->value));
    }

    Raw raw_;
};

}  // namespace detail

// A table opened for reading with its declared types.
template <typename K, typename V>
class ReadOnlyTable : public detail::TypedReads<K, V, RawReadOnlyTable> {
  public:
    using detail::TypedReads<K, V, RawReadOnlyTable>::TypedReads;

    std::uint64_t len() const { return this->raw_.len(); }
};

// A table opened in a write transaction with its declared types.
template <typename K, typename V>
class Table : public detail::TypedReads<K, V, RawTable> {
  public:
    using detail::TypedReads<K, V, RawTable>::TypedReads;

    Result<std::uint64_t> len() const { return this->raw_.len(); }
    template <typename KeyArg, typename ValueArg>
    Status insert(const KeyArg& key, const ValueArg& value) {
        return this->raw_.insert(K::encode(key), V::encode(value));
    }
    template <typename KeyArg>
    Result<bool> remove(const KeyArg& key) {
        return this->raw_.remove(K::encode(key));
    }
    Result<std::optional<std::pair<typename K::value_type, typename V::value_type>>> pop_first() {
        return this->typed(this->raw_.pop_first());
    }
};

}  // namespace redb
