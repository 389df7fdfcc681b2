#include "table_tree.h"

namespace redb::detail {

TreeKind table_kind(const InternalTableDefinition& d) {
    return {{d.fixed_key_size, d.multimap() ? std::nullopt : d.fixed_value_size},
            key_order_of(d.key_type, d.fixed_key_size)};
}

namespace {

// A multimap table's value sets: a leaf value is either an inline set or, tagged so, the root
// of a tree of the values as keys (with zero-width values).
Status for_each_value_tree(PageStore& store, const InternalTableDefinition& d,
                           const std::function<Status(Btree&, const BtreeHeader&)>& visit) {
    if (!d.multimap()) return {};
    Btree values(store, {{d.fixed_value_size, 0u}, key_order_of(d.value_type, d.fixed_value_size)});
    std::vector<BtreeHeader> roots;
    Status bad;
    auto walked = Btree(store, table_kind(d)).for_each(d.root, [&](ByteView, ByteView value) {
        if (value.empty()) {
            bad = std::unexpected(Error::corrupted("multimap value without a type"));
            return false;
        }
        if (value[0] != format::kMultimapSubtree) return true;
        if (value.size() < 1 + format::kBtreeHeaderSize) {
            bad = std::unexpected(Error::corrupted("multimap subtree header too short"));
            return false;
        }
        roots.push_back(BtreeHeader::decode(value.data() + 1));
        return true;
    });
    if (!walked) return walked;
    if (!bad) return bad;
    for (const BtreeHeader& root : roots)
        if (auto s = visit(values, root); !s) return s;
    return {};
}

}  // namespace

Result<std::optional<InternalTableDefinition>> TableTree::get(std::string_view name) {
    auto value = tree_.get(root_, text_bytes(name));
    if (!value) return std::unexpected(value.error());
    if (!*value) return std::optional<InternalTableDefinition>{};
    auto d = InternalTableDefinition::decode(**value);
    if (!d) return std::unexpected(d.error());
    return std::optional(std::move(*d));
}

Status TableTree::put(std::string_view name, const InternalTableDefinition& definition,
                      std::vector<PageNumber>& freed) {
    auto r = tree_.insert(root_, text_bytes(name), definition.encode(), freed);
    if (!r) return std::unexpected(r.error());
    return {};
}

Status TableTree::drop(std::string_view name, std::vector<PageNumber>& freed) {
    auto d = get(name);
    if (!d) return std::unexpected(d.error());
    if (!*d) return {};
    if (auto s = Btree(store_, table_kind(**d)).release_all((*d)->root, freed); !s) return s;
    auto r = tree_.remove(root_, text_bytes(name), freed);
    if (!r) return std::unexpected(r.error());
    return {};
}

Status TableTree::for_each(
    const std::function<bool(std::string_view, const InternalTableDefinition&)>& visit) {
    Status bad;
    auto walked = tree_.for_each(root_, [&](ByteView key, ByteView value) {
        auto d = InternalTableDefinition::decode(value);
        if (!d) {
            bad = std::unexpected(d.error());
            return false;
        }
        return visit(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()), *d);
    });
    if (!walked) return walked;
    return bad;
}

Result<std::uint64_t> TableTree::visit_all_pages(const std::function<Status(PageNumber)>& visit) {
    if (auto s = tree_.visit_pages(root_, visit); !s) return std::unexpected(s.error());
    std::vector<InternalTableDefinition> tables;
    auto listed = for_each([&](std::string_view, const InternalTableDefinition& d) {
        tables.push_back(d);
        return true;
    });
    if (!listed) return std::unexpected(listed.error());
    for (const InternalTableDefinition& d : tables) {
        if (auto s = Btree(store_, table_kind(d)).visit_pages(d.root, visit); !s)
            return std::unexpected(s.error());
        auto values = for_each_value_tree(store_, d, [&](Btree& tree, const BtreeHeader& root) {
            return tree.visit_pages(root, visit);
        });
        if (!values) return std::unexpected(values.error());
    }
    return tables.size();
}

Result<bool> TableTree::verify_checksums() {
    auto own = tree_.verify_checksums(root_);
    if (!own || !*own) return own;
    std::vector<InternalTableDefinition> tables;
    auto listed = for_each([&](std::string_view, const InternalTableDefinition& d) {
        tables.push_back(d);
        return true;
    });
    if (!listed) {
        if (listed.error().kind == ErrorKind::Corrupted) return false;
        return std::unexpected(listed.error());
    }
    for (const InternalTableDefinition& d : tables) {
        auto ok = Btree(store_, table_kind(d)).verify_checksums(d.root);
        if (!ok || !*ok) return ok;
        bool values_ok = true;
        auto values =
            for_each_value_tree(store_, d, [&](Btree& tree, const BtreeHeader& root) -> Status {
                auto v = tree.verify_checksums(root);
                if (!v) return std::unexpected(v.error());
                values_ok = values_ok && *v;
                return {};
            });
        if (!values) {
            if (values.error().kind == ErrorKind::Corrupted) return false;
            return std::unexpected(values.error());
        }
        if (!values_ok) return false;
    }
    return true;
}

}  // namespace redb::detail
