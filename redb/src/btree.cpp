#include "btree.h"

#include <algorithm>
#include <unordered_set>

#include "format.h"

namespace redb::detail {

namespace {

Error too_deep() {
    return Error::corrupted("B-tree exceeds the maximum depth");
}

std::vector<Entry> entries_of(const LeafView& leaf) {
    std::vector<Entry> out(leaf.size());
    for (std::size_t i = 0; i < leaf.size(); ++i) {
        out[i].key.assign(leaf.key(i).begin(), leaf.key(i).end());
        out[i].value.assign(leaf.value(i).begin(), leaf.value(i).end());
    }
    return out;
}

Entry entry_at(const LeafView& leaf, std::size_t i) {
    return {Bytes(leaf.key(i).begin(), leaf.key(i).end()),
            Bytes(leaf.value(i).begin(), leaf.value(i).end())};
}

// A branch's children with the largest key under each; the last one is bounded by `max`, the
// bound the parent gives the branch itself.
struct BranchCopy {
    std::vector<ChildRef> children;
    std::vector<std::optional<Bytes>> maxes;
};

// Replaces the children [first, last) of `node` by `refs` with their `maxes`: how a branch takes
// in what became of its children.
void splice(BranchCopy& node, std::size_t first, std::size_t last,
            const std::vector<ChildRef>& refs, const std::vector<std::optional<Bytes>>& maxes) {
    node.children.erase(node.children.begin() + first, node.children.begin() + last);
    node.children.insert(node.children.begin() + first, refs.begin(), refs.end());
    node.maxes.erase(node.maxes.begin() + first, node.maxes.begin() + last);
    node.maxes.insert(node.maxes.begin() + first, maxes.begin(), maxes.end());
}

BranchCopy copy_branch(const BranchView& b, const std::optional<Bytes>& max) {
    BranchCopy out;
    for (std::size_t i = 0; i < b.num_children(); ++i) {
        out.children.push_back({b.child(i), b.child_checksum(i)});
        out.maxes.push_back(
            i < b.num_keys() ? std::optional<Bytes>(Bytes(b.key(i).begin(), b.key(i).end())) : max);
    }
    return out;
}

// The first child whose largest key is not below the key.
std::size_t child_for(KeyOrder order, const BranchView& branch, ByteView key) {
    std::size_t lo = 0, hi = branch.num_keys();
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (compare_keys(order, branch.key(mid), key) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// A page about to be edited: a leaf's pairs, or a branch's children and the one that leads to
// the key.
struct EditNode {
    bool leaf = false;
    std::vector<Entry> entries;
    BranchCopy branch;
    std::size_t child = 0;
};

Result<EditNode> load_for_edit(PageStore& store, const TreeKind& kind, PageNumber page,
                               const std::optional<Bytes>& max, ByteView key, std::size_t depth) {
    if (depth >= format::kMaxBtreeDepth) return std::unexpected(too_deep());
    auto data = store.read(page);
    if (!data) return std::unexpected(data.error());
    const PageRef keep = *data;
    const ByteView mem(*keep);
    EditNode node;
    if (!mem.empty() && mem[0] == format::kLeafPage) {
        auto leaf = LeafView::parse(mem, kind.widths);
        if (!leaf) return std::unexpected(leaf.error());
        node.leaf = true;
        node.entries = entries_of(*leaf);
        return node;
    }
    auto branch = BranchView::parse(mem, kind.widths.key);
    if (!branch) return std::unexpected(branch.error());
    node.branch = copy_branch(*branch, max);
    node.child = child_for(kind.order, *branch, key);
    return node;
}

std::uint8_t order_for(std::size_t bytes) {
    std::uint8_t order = 0;
    while ((std::size_t{format::kPageSize} << order) < bytes) ++order;
    return order;
}

}  // namespace

Result<std::optional<Entry>> Btree::descend(
    const std::optional<BtreeHeader>& root,
    const std::function<std::size_t(const BranchView&)>& child,
    const std::function<std::optional<Entry>(const LeafView&)>& pick) {
    if (!root) return std::optional<Entry>{};
    PageNumber number = root->root;
    for (std::size_t depth = 0; depth < format::kMaxBtreeDepth; ++depth) {
        auto page = store_.read(number);
        if (!page) return std::unexpected(page.error());
        const ByteView mem(**page);
        if (mem[0] == format::kLeafPage) {
            auto leaf = LeafView::parse(mem, kind_.widths);
            if (!leaf) return std::unexpected(leaf.error());
            return pick(*leaf);
        }
        auto branch = BranchView::parse(mem, kind_.widths.key);
        if (!branch) return std::unexpected(branch.error());
        number = branch->child(child(*branch));
    }
    return std::unexpected(too_deep());
}

Result<std::optional<Bytes>> Btree::get(const std::optional<BtreeHeader>& root, ByteView key) {
    auto found = descend(
        root, [&](const BranchView& b) { return child_for(kind_.order, b, key); },
        [&](const LeafView& leaf) -> std::optional<Entry> {
            std::size_t lo = 0, hi = leaf.size();
            while (lo < hi) {
                const std::size_t mid = lo + (hi - lo) / 2;
                const int c = compare_keys(kind_.order, key, leaf.key(mid));
                if (c == 0) return Entry{{}, Bytes(leaf.value(mid).begin(), leaf.value(mid).end())};
                if (c < 0)
                    hi = mid;
                else
                    lo = mid + 1;
            }
            return std::nullopt;
        });
    if (!found) return std::unexpected(found.error());
    if (!*found) return std::optional<Bytes>{};
    return std::optional<Bytes>(std::move((*found)->value));
}

Result<std::optional<Entry>> Btree::first(const std::optional<BtreeHeader>& root) {
    return descend(
        root, [](const BranchView&) { return std::size_t{0}; },
        [](const LeafView& leaf) -> std::optional<Entry> {
            if (leaf.size() == 0) return std::nullopt;
            return entry_at(leaf, 0);
        });
}

Result<std::optional<Entry>> Btree::last(const std::optional<BtreeHeader>& root) {
    return descend(
        root, [](const BranchView& b) { return b.num_children() - 1; },
        [](const LeafView& leaf) -> std::optional<Entry> {
            if (leaf.size() == 0) return std::nullopt;
            return entry_at(leaf, leaf.size() - 1);
        });
}

// What one walk does at each page: look at it (after reading it), check its checksum, and see
// the pairs of each leaf in key order. A page reached twice is corruption: no page of a tree
// has two parents.
struct Btree::Walk {
    bool verify = false;
    bool mismatch = false;
    std::function<Status(PageNumber)> on_page;
    std::function<bool(const LeafView&)> on_leaf;
    std::unordered_set<std::uint64_t> seen;
};

Result<bool> Btree::walk_page(PageNumber number, const Checksum& expected, std::size_t depth,
                              Walk& w) {
    if (depth >= format::kMaxBtreeDepth) return std::unexpected(too_deep());
    if (!w.seen.insert(number.encode()).second)
        return std::unexpected(Error::corrupted("B-tree page referenced twice"));
    auto page = store_.read(number, false);
    if (!page) return std::unexpected(page.error());
    const PageRef keep = *page;  // the visitor may give the page up
    const ByteView mem(*keep);
    if (w.verify) {
        auto actual = page_checksum(mem, kind_.widths);
        if (!actual || *actual != expected) {
            w.mismatch = true;
            return false;
        }
    }
    if (w.on_page) {
        if (auto s = w.on_page(number); !s) return std::unexpected(s.error());
    }
    if (mem.empty()) return std::unexpected(Error::corrupted("B-tree page: empty page"));
    if (mem[0] == format::kLeafPage) {
        auto leaf = LeafView::parse(mem, kind_.widths);
        if (!leaf) return std::unexpected(leaf.error());
        return w.on_leaf ? w.on_leaf(*leaf) : true;
    }
    auto branch = BranchView::parse(mem, kind_.widths.key);
    if (!branch) return std::unexpected(branch.error());
    for (std::size_t i = 0; i < branch->num_children(); ++i) {
        auto more = walk_page(branch->child(i), branch->child_checksum(i), depth + 1, w);
        if (!more || !*more) return more;
    }
    return true;
}

Status Btree::walk(const std::optional<BtreeHeader>& root, Walk& w) {
    if (!root) return {};
    if (auto r = walk_page(root->root, root->checksum, 0, w); !r) return std::unexpected(r.error());
    return {};
}

Status Btree::for_each(const std::optional<BtreeHeader>& root,
                       const std::function<bool(ByteView, ByteView)>& visit) {
    Walk w;
    w.on_leaf = [&](const LeafView& leaf) {
        for (std::size_t i = 0; i < leaf.size(); ++i)
            if (!visit(leaf.key(i), leaf.value(i))) return false;
        return true;
    };
    return walk(root, w);
}

Result<std::vector<Entry>> Btree::all(const std::optional<BtreeHeader>& root) {
    std::vector<Entry> out;
    Walk w;
    w.on_leaf = [&](const LeafView& leaf) {
        for (std::size_t i = 0; i < leaf.size(); ++i) out.push_back(entry_at(leaf, i));
        return true;
    };
    if (auto s = walk(root, w); !s) return std::unexpected(s.error());
    return out;
}

Result<std::uint64_t> Btree::count(const std::optional<BtreeHeader>& root) {
    std::uint64_t n = 0;
    Walk w;
    w.on_leaf = [&](const LeafView& leaf) {
        n += leaf.size();
        return true;
    };
    if (auto s = walk(root, w); !s) return std::unexpected(s.error());
    return n;
}

Result<bool> Btree::verify_checksums(const std::optional<BtreeHeader>& root) {
    Walk w;
    w.verify = true;
    if (auto s = walk(root, w); !s) {
        if (s.error().kind == ErrorKind::Corrupted) return false;
        return std::unexpected(s.error());
    }
    return !w.mismatch;
}

Status Btree::visit_pages(const std::optional<BtreeHeader>& root,
                          const std::function<Status(PageNumber)>& visit) {
    Walk w;
    w.on_page = visit;
    return walk(root, w);
}

Status Btree::release_all(const std::optional<BtreeHeader>& root, std::vector<PageNumber>& freed) {
    Walk w;
    w.on_page = [&](PageNumber page) -> Status {
        store_.release(page, freed);
        return {};
    };
    return walk(root, w);
}

Result<ChildRef> Btree::write_node(Bytes content, std::optional<PageNumber>& reuse) {
    const std::uint8_t order = order_for(content.size());
    PageNumber page;
    if (reuse && reuse->order == order && store_.is_dirty(*reuse)) {
        page = *reuse;
        reuse.reset();
    } else {
        auto p = store_.allocate(order);
        if (!p) return std::unexpected(p.error());
        page = *p;
    }
    const Checksum sum = checksum_of(content);
    store_.put(page, std::move(content));
    return ChildRef{page, sum};
}

Result<Btree::Level> Btree::write_leaves(const std::vector<Entry>& entries,
                                         std::optional<PageNumber> reuse,
                                         std::vector<PageNumber>& freed) {
    // Consecutive pairs packed into pages of one base page each where they fit.
    Level out;
    std::size_t begin = 0;
    while (begin < entries.size()) {
        std::size_t end = begin + 1;
        std::size_t kv = entries[begin].key.size() + entries[begin].value.size();
        while (end < entries.size()) {
            const std::size_t more = entries[end].key.size() + entries[end].value.size();
            if (leaf_bytes(end - begin + 1, kv + more, kind_.widths) > format::kPageSize) break;
            kv += more;
            ++end;
        }
        auto ref = write_node(
            encode_leaf(std::span(entries).subspan(begin, end - begin), kind_.widths), reuse);
        if (!ref) return std::unexpected(ref.error());
        out.refs.push_back(*ref);
        out.maxes.push_back(entries[end - 1].key);
        begin = end;
    }
    if (reuse) store_.release(*reuse, freed);
    return out;
}

Result<Btree::Level> Btree::write_branches(const std::vector<ChildRef>& refs,
                                           const std::vector<std::optional<Bytes>>& maxes,
                                           std::optional<PageNumber> reuse,
                                           std::vector<PageNumber>& freed) {
    // Groups of consecutive children, each filling a page; a last group of one joins the one
    // before, since a branch needs two children.
    if (refs.size() < 2) return std::unexpected(Error::corrupted("a branch needs two children"));
    auto key_size = [&](std::size_t i) { return maxes[i] ? maxes[i]->size() : 0; };
    std::vector<std::pair<std::size_t, std::size_t>> groups;
    std::size_t begin = 0;
    while (begin < refs.size()) {
        std::size_t end = std::min(begin + 2, refs.size());
        std::size_t key_bytes = key_size(begin);
        while (end < refs.size() && branch_bytes(end - begin, key_bytes + key_size(end - 1),
                                                 kind_.widths.key) <= format::kPageSize) {
            key_bytes += key_size(end - 1);
            ++end;
        }
        groups.emplace_back(begin, end);
        begin = end;
    }
    if (groups.size() > 1 && groups.back().second - groups.back().first < 2) {
        groups[groups.size() - 2].second = groups.back().second;
        groups.pop_back();
    }
    Level out;
    for (auto [b, e] : groups) {
        std::vector<Bytes> keys;
        for (std::size_t i = b; i + 1 < e; ++i) {
            if (!maxes[i]) return std::unexpected(Error::corrupted("a branch key is missing"));
            keys.push_back(*maxes[i]);
        }
        auto ref = write_node(
            encode_branch(std::span(refs).subspan(b, e - b), keys, kind_.widths.key), reuse);
        if (!ref) return std::unexpected(ref.error());
        out.refs.push_back(*ref);
        out.maxes.push_back(maxes[e - 1]);
    }
    if (reuse) store_.release(*reuse, freed);
    return out;
}

Result<Btree::Level> Btree::insert_at(PageNumber page, const std::optional<Bytes>& max,
                                      ByteView key, ByteView value, bool& replaced,
                                      std::size_t depth, std::vector<PageNumber>& freed) {
    auto node = load_for_edit(store_, kind_, page, max, key, depth);
    if (!node) return std::unexpected(node.error());
    if (node->leaf) {
        std::vector<Entry>& entries = node->entries;
        auto it = std::lower_bound(
            entries.begin(), entries.end(), key,
            [&](const Entry& e, ByteView k) { return compare_keys(kind_.order, e.key, k) < 0; });
        if (it != entries.end() && compare_keys(kind_.order, it->key, key) == 0) {
            it->value.assign(value.begin(), value.end());
            replaced = true;
        } else {
            entries.insert(it,
                           Entry{Bytes(key.begin(), key.end()), Bytes(value.begin(), value.end())});
        }
        return write_leaves(entries, page, freed);
    }
    const std::size_t idx = node->child;
    const BranchCopy& b = node->branch;
    auto sub =
        insert_at(b.children[idx].page, b.maxes[idx], key, value, replaced, depth + 1, freed);
    if (!sub) return std::unexpected(sub.error());
    std::vector<ChildRef> refs(b.children.begin(), b.children.begin() + idx);
    std::vector<std::optional<Bytes>> maxes(b.maxes.begin(), b.maxes.begin() + idx);
    refs.insert(refs.end(), sub->refs.begin(), sub->refs.end());
    maxes.insert(maxes.end(), sub->maxes.begin(), sub->maxes.end());
    if (idx + 1 < b.children.size() && !maxes.back()) maxes.back() = b.maxes[idx];
    refs.insert(refs.end(), b.children.begin() + idx + 1, b.children.end());
    maxes.insert(maxes.end(), b.maxes.begin() + idx + 1, b.maxes.end());
    return write_branches(refs, maxes, page, freed);
}

Result<std::optional<BtreeHeader>> Btree::finish_root(Level level, std::uint64_t length,
                                                      std::vector<PageNumber>& freed) {
    if (level.refs.empty()) return std::optional<BtreeHeader>();
    while (level.refs.size() > 1) {
        auto up = write_branches(level.refs, level.maxes, std::nullopt, freed);
        if (!up) return std::unexpected(up.error());
        level = std::move(*up);
    }
    return std::optional<BtreeHeader>(
        BtreeHeader{level.refs[0].page, level.refs[0].checksum, length});
}

Result<bool> Btree::insert(std::optional<BtreeHeader>& root, ByteView key, ByteView value,
                           std::vector<PageNumber>& freed) {
    bool replaced = false;
    Result<Level> level =
        root ? insert_at(root->root, std::nullopt, key, value, replaced, 0, freed)
             : write_leaves(
                   {Entry{Bytes(key.begin(), key.end()), Bytes(value.begin(), value.end())}},
                   std::nullopt, freed);
    if (!level) return std::unexpected(level.error());
    const std::uint64_t length = (root ? root->length : 0) + (replaced ? 0 : 1);
    auto r = finish_root(std::move(*level), length, freed);
    if (!r) return std::unexpected(r.error());
    root = *r;
    return replaced;
}

Result<std::optional<Btree::Level>> Btree::remove_at(PageNumber page,
                                                     const std::optional<Bytes>& max, ByteView key,
                                                     std::size_t depth,
                                                     std::vector<PageNumber>& freed) {
    auto loaded = load_for_edit(store_, kind_, page, max, key, depth);
    if (!loaded) return std::unexpected(loaded.error());
    if (loaded->leaf) {
        std::vector<Entry>& entries = loaded->entries;
        auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) {
            return compare_keys(kind_.order, e.key, key) == 0;
        });
        if (it == entries.end()) return std::optional<Level>();
        entries.erase(it);
        if (entries.empty()) {
            store_.release(page, freed);
            return std::optional<Level>(Level{});
        }
        auto l = write_leaves(entries, page, freed);
        if (!l) return std::unexpected(l.error());
        return std::optional<Level>(std::move(*l));
    }
    const std::size_t idx = loaded->child;
    const BranchCopy& node = loaded->branch;
    auto sub = remove_at(node.children[idx].page, node.maxes[idx], key, depth + 1, freed);
    if (!sub) return std::unexpected(sub.error());
    if (!*sub) return std::optional<Level>();
    Level& r = **sub;
    if (!r.maxes.empty() && !r.maxes.back()) r.maxes.back() = node.maxes[idx];

    BranchCopy result = node;
    if (r.lone) {
        // The child shrank to one grandchild: merge it into a neighbour, so that all leaves
        // stay at one depth.
        const std::size_t sib = idx + 1 < node.children.size() ? idx + 1 : idx - 1;
        auto sdata = store_.read(node.children[sib].page);
        if (!sdata) return std::unexpected(sdata.error());
        const PageRef skeep = *sdata;
        auto sbranch = BranchView::parse(*skeep, kind_.widths.key);
        if (!sbranch) return std::unexpected(sbranch.error());
        BranchCopy merged = copy_branch(*sbranch, node.maxes[sib]);
        const std::size_t at = sib > idx ? 0 : merged.children.size();
        splice(merged, at, at, r.refs, r.maxes);
        auto m = write_branches(merged.children, merged.maxes, node.children[sib].page, freed);
        if (!m) return std::unexpected(m.error());
        splice(result, std::min(idx, sib), std::max(idx, sib) + 1, m->refs, m->maxes);
    } else {
        splice(result, idx, idx + 1, r.refs, r.maxes);
    }
    std::vector<ChildRef>& refs = result.children;
    std::vector<std::optional<Bytes>>& maxes = result.maxes;
    if (refs.empty()) {
        store_.release(page, freed);
        return std::optional<Level>(Level{});
    }
    if (refs.size() == 1) {
        store_.release(page, freed);
        return std::optional<Level>(Level{std::move(refs), std::move(maxes), true});
    }
    auto l = write_branches(refs, maxes, page, freed);
    if (!l) return std::unexpected(l.error());
    return std::optional<Level>(std::move(*l));
}

Result<bool> Btree::remove(std::optional<BtreeHeader>& root, ByteView key,
                           std::vector<PageNumber>& freed) {
    if (!root) return false;
    auto r = remove_at(root->root, std::nullopt, key, 0, freed);
    if (!r) return std::unexpected(r.error());
    if (!*r) return false;
    Level level = std::move(**r);
    level.lone = false;
    auto nr = finish_root(std::move(level), root->length > 0 ? root->length - 1 : 0, freed);
    if (!nr) return std::unexpected(nr.error());
    root = *nr;
    return true;
}

}  // namespace redb::detail
