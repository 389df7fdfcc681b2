#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "redb/error.h"
#include "redb/types.h"

namespace redb {

namespace detail {
struct TableHandle;  // the table's tree within one snapshot of the file
}

// Read access to one table's stored bytes.
class RawTable {
public:
    using Bytes = std::span<const std::uint8_t>;
    struct Entry {
        std::vector<std::uint8_t> key;
        std::vector<std::uint8_t> value;
    };

    explicit RawTable(std::shared_ptr<const detail::TableHandle> handle) : handle_(std::move(handle)) {}

    // Number of entries, as the table records it.
    std::uint64_t len() const;
    Result<std::optional<std::vector<std::uint8_t>>> get(Bytes key) const;
    Result<std::optional<Entry>> first() const;
    Result<std::optional<Entry>> last() const;
    // Each entry in key order until `visit` returns false.
    Status for_each(const std::function<bool(Bytes key, Bytes value)>& visit) const;

private:
    std::shared_ptr<const detail::TableHandle> handle_;
};

// A table opened with its declared types.
template <typename K, typename V>
class ReadOnlyTable {
public:
    using Key = typename K::value_type;
    using Value = typename V::value_type;

    explicit ReadOnlyTable(RawTable raw) : raw_(std::move(raw)) {}

    std::uint64_t len() const { return raw_.len(); }
    bool empty() const { return len() == 0; }

    Result<std::optional<Value>> get(const Key& key) const {
        auto bytes = K::encode(key);
        auto found = raw_.get(bytes);
        if (!found) return std::unexpected(found.error());
        if (!*found) return std::optional<Value>{};
        return std::optional<Value>(V::decode(**found));
    }
    Result<std::optional<std::pair<Key, Value>>> first() const { return typed(raw_.first()); }
    Result<std::optional<std::pair<Key, Value>>> last() const { return typed(raw_.last()); }
    Status for_each(const std::function<bool(const Key&, const Value&)>& visit) const {
        return raw_.for_each([&](RawTable::Bytes k, RawTable::Bytes v) { return visit(K::decode(k), V::decode(v)); });
    }

private:
    static Result<std::optional<std::pair<Key, Value>>> typed(Result<std::optional<RawTable::Entry>> e) {
        if (!e) return std::unexpected(e.error());
        if (!*e) return std::optional<std::pair<Key, Value>>{};
        return std::optional(std::pair<Key, Value>(K::decode((*e)->key), V::decode((*e)->value)));
    }

    RawTable raw_;
};

}  // namespace redb
