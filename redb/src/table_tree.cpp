#include "table_tree.h"

namespace redb {

namespace {

constexpr std::uint8_t kMultimapSubtree = 3;

KeyOrder order_for(const TypeName& key, std::optional<std::uint32_t> width) {
    if (key.classification == format::kTypeInternal) {
        if (key.name == "u64" && width == 8u) return order_u64;
        if (key.name == "u32" && width == 4u) return order_u32;
    }
    return order_bytes;
}

BtreeReader subtree_reader(const PageStore& store, const TableDefinition& d, const BtreeHeader& root) {
    // A value set is a tree of the values as keys, with unit (zero-width) values.
    return BtreeReader(store, root, Widths{d.fixed_value_size, 0u}, order_for(d.value_type, d.fixed_value_size));
}

}  // namespace

BtreeReader table_reader(const PageStore& store, const TableDefinition& d) {
    Widths widths{d.fixed_key_size, d.multimap() ? std::nullopt : d.fixed_value_size};
    return BtreeReader(store, d.root, widths, order_for(d.key_type, d.fixed_key_size));
}

Status for_each_multimap_subtree(const PageStore& store, const TableDefinition& d,
                                 const std::function<Status(const BtreeHeader&)>& visit) {
    if (!d.multimap()) return {};
    Status result;
    auto walked = table_reader(store, d).for_each([&](Bytes, Bytes value) {
        if (value.empty()) {
            result = std::unexpected(Error::corrupted("multimap value without a type"));
            return false;
        }
        if (value[0] != kMultimapSubtree) return true;
        if (value.size() < 1 + format::kBtreeHeaderSize) {
            result = std::unexpected(Error::corrupted("multimap subtree header too short"));
            return false;
        }
        result = visit(BtreeHeader::decode(value.data() + 1));
        return result.has_value();
    });
    if (!walked) return walked;
    return result;
}

Result<std::optional<TableDefinition>> TableTreeReader::find(const std::string& name) const {
    auto value = tree_.get(Bytes(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()));
    if (!value) return std::unexpected(value.error());
    if (!*value) return std::optional<TableDefinition>{};
    auto d = parse_table_definition(**value);
    if (!d) return std::unexpected(d.error());
    return std::optional(std::move(*d));
}

Status TableTreeReader::for_each(const std::function<bool(const std::string&, const TableDefinition&)>& visit) const {
    Status result;
    auto walked = tree_.for_each([&](Bytes key, Bytes value) {
        auto d = parse_table_definition(value);
        if (!d) {
            result = std::unexpected(d.error());
            return false;
        }
        return visit(std::string(key.begin(), key.end()), *d);
    });
    if (!walked) return walked;
    return result;
}

Result<bool> TableTreeReader::verify_checksums() const {
    auto own = tree_.verify_checksums();
    if (!own || !*own) return own;
    bool ok = true;
    Status failure;
    auto walked = for_each([&](const std::string&, const TableDefinition& d) {
        auto r = table_reader(*store_, d).verify_checksums();
        if (!r) {
            failure = std::unexpected(r.error());
            return false;
        }
        if (!*r) {
            ok = false;
            return false;
        }
        auto subtrees = for_each_multimap_subtree(*store_, d, [&](const BtreeHeader& root) -> Status {
            auto s = subtree_reader(*store_, d, root).verify_checksums();
            if (!s) return std::unexpected(s.error());
            if (!*s) ok = false;
            return {};
        });
        if (!subtrees) {
            if (subtrees.error().kind != ErrorKind::Corrupted) failure = subtrees;
            ok = false;
        }
        return ok;
    });
    if (!failure) return std::unexpected(failure.error());
    if (!walked) {
        if (walked.error().kind == ErrorKind::Corrupted) return false;
        return std::unexpected(walked.error());
    }
    return ok;
}

Status TableTreeReader::visit_pages(const std::function<Status(PageNumber)>& visit) const {
    if (auto s = tree_.visit_pages(visit); !s) return s;
    Status result;
    auto walked = for_each([&](const std::string&, const TableDefinition& d) {
        result = table_reader(*store_, d).visit_pages(visit);
        if (result)
            result = for_each_multimap_subtree(*store_, d, [&](const BtreeHeader& root) {
                return subtree_reader(*store_, d, root).visit_pages(visit);
            });
        return result.has_value();
    });
    if (!walked) return walked;
    return result;
}

}  // namespace redb
