#include "tree_editor.h"

#include <algorithm>
#include <set>

namespace redb::detail {

namespace {

constexpr std::size_t kPage = 4096;
constexpr int kMaxDepth = 64;

std::uint8_t order_for(std::size_t bytes) {
    std::uint8_t order = 0;
    while ((kPage << order) < bytes) ++order;
    return order;
}

int cmp_u64(std::uint64_t a, std::uint64_t b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

// Allocator state keys sort as: the old variants, then regions by number, the tracker, the id.
std::pair<int, std::uint32_t> allocator_key_rank(ByteView k) {
    if (k.size() < 5) return {0, 0};
    switch (k[0]) {
        case 3:
            return {1, get_u32(k.data() + 1)};
        case 4:
            return {2, 0};
        case 5:
            return {3, 0};
        default:
            return {0, 0};
    }
}

}  // namespace

int compare_keys(KeyOrder order, ByteView a, ByteView b) {
    switch (order) {
        case KeyOrder::unsigned64:
            if (a.size() >= 8 && b.size() >= 8)
                return cmp_u64(get_u64(a.data()), get_u64(b.data()));
            break;
        case KeyOrder::freed_key:
            if (a.size() >= 16 && b.size() >= 16) {
                int c = cmp_u64(get_u64(a.data()), get_u64(b.data()));
                return c ? c : cmp_u64(get_u64(a.data() + 8), get_u64(b.data() + 8));
            }
            break;
        case KeyOrder::allocator_key: {
            auto ra = allocator_key_rank(a), rb = allocator_key_rank(b);
            return ra < rb ? -1 : (rb < ra ? 1 : 0);
        }
        case KeyOrder::bytes:
            break;
    }
    auto r = std::lexicographical_compare_three_way(a.begin(), a.end(), b.begin(), b.end());
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

std::size_t TreeEditor::child_index(const BranchNode& b, ByteView key) const {
    for (std::size_t i = 0; i < b.keys.size(); ++i)
        if (compare_keys(kind_.order, key, b.keys[i]) <= 0) return i;
    return b.keys.size();
}

Result<ChildRef> TreeEditor::write_node(Bytes content, std::optional<PageNumber>& reuse) {
    std::uint8_t order = order_for(content.size());
    PageNumber page;
    if (reuse && reuse->order == order && store_.is_dirty(*reuse)) {
        page = *reuse;
        reuse.reset();
    } else {
        auto p = store_.allocate(order);
        if (!p) return std::unexpected(p.error());
        page = *p;
    }
    Checksum sum = checksum_of(content);
    store_.put(page, std::move(content));
    return ChildRef{page, sum};
}

Result<TreeEditor::Level> TreeEditor::write_leaves(const std::vector<Entry>& entries,
                                                   std::optional<PageNumber> reuse) {
    Level out;
    std::size_t begin = 0;
    while (begin < entries.size()) {
        std::size_t end = begin + 1;
        std::size_t kv = entries[begin].key.size() + entries[begin].value.size();
        while (end < entries.size()) {
            std::size_t more = entries[end].key.size() + entries[end].value.size();
            if (leaf_bytes(end - begin + 1, kv + more, kind_.widths) > kPage) break;
            kv += more;
            ++end;
        }
        auto ref = write_node(encode_leaf(entries, begin, end, kind_.widths), reuse);
        if (!ref) return std::unexpected(ref.error());
        out.refs.push_back(*ref);
        out.maxes.push_back(entries[end - 1].key);
        begin = end;
    }
    if (reuse) store_.release(*reuse, freed_);
    return out;
}

Result<TreeEditor::Level> TreeEditor::write_branches(const std::vector<ChildRef>& refs,
                                                     const std::vector<std::optional<Bytes>>& maxes,
                                                     std::optional<PageNumber> reuse) {
    // Groups of consecutive children, each filling a page; a last group of one joins the one
    // before, since a branch needs two children.
    if (refs.size() < 2) return std::unexpected(corrupted("a branch needs two children"));
    std::vector<std::pair<std::size_t, std::size_t>> groups;
    std::size_t begin = 0;
    auto key_size = [&](std::size_t i) { return maxes[i] ? maxes[i]->size() : 0; };
    while (begin < refs.size()) {
        std::size_t end = begin + 2 <= refs.size() ? begin + 2 : refs.size();
        std::size_t key_bytes = key_size(begin);
        while (end < refs.size() && branch_bytes(end - begin, key_bytes + key_size(end - 1),
                                                 kind_.widths.key) <= kPage) {
            key_bytes += key_size(end - 1);
            ++end;
        }
        groups.push_back({begin, end});
        begin = end;
    }
    if (groups.size() > 1 && groups.back().second - groups.back().first < 2) {
        groups[groups.size() - 2].second = groups.back().second;
        groups.pop_back();
    }
    std::vector<Bytes> keys(refs.size());
    for (std::size_t i = 0; i < refs.size(); ++i) {
        if (maxes[i]) keys[i] = *maxes[i];
    }
    for (auto [b, e] : groups)
        for (std::size_t i = b; i + 1 < e; ++i)
            if (!maxes[i]) return std::unexpected(corrupted("a branch key is missing"));
    Level out;
    for (auto [b, e] : groups) {
        auto ref = write_node(encode_branch(refs, keys, b, e, kind_.widths.key), reuse);
        if (!ref) return std::unexpected(ref.error());
        out.refs.push_back(*ref);
        out.maxes.push_back(maxes[e - 1]);
    }
    if (reuse) store_.release(*reuse, freed_);
    return out;
}

Result<TreeEditor::Level> TreeEditor::insert_at(PageNumber page, const std::optional<Bytes>& max,
                                                ByteView key, ByteView value, bool& replaced,
                                                int depth) {
    // A damaged file may link pages in a cycle.
    if (depth > kMaxDepth) return std::unexpected(corrupted("tree too deep"));
    auto data = store_.read(page);
    if (!data) return std::unexpected(data.error());
    if (!data->empty() && (*data)[0] == kLeafType) {
        auto entries = decode_leaf(*data, kind_.widths);
        if (!entries) return std::unexpected(corrupted("damaged leaf page"));
        auto it = std::lower_bound(
            entries->begin(), entries->end(), key,
            [&](const Entry& e, ByteView k) { return compare_keys(kind_.order, e.key, k) < 0; });
        if (it != entries->end() && compare_keys(kind_.order, it->key, key) == 0) {
            it->value.assign(value.begin(), value.end());
            replaced = true;
        } else {
            entries->insert(
                it, Entry{Bytes(key.begin(), key.end()), Bytes(value.begin(), value.end())});
        }
        return write_leaves(*entries, page);
    }
    auto branch = decode_branch(*data, kind_.widths.key);
    if (!branch) return std::unexpected(corrupted("damaged branch page"));
    std::size_t idx = child_index(*branch, key);
    std::vector<std::optional<Bytes>> maxes;
    for (std::size_t i = 0; i < branch->children.size(); ++i)
        maxes.push_back(i < branch->keys.size() ? std::optional<Bytes>(branch->keys[i]) : max);
    auto sub = insert_at(branch->children[idx].page, maxes[idx], key, value, replaced, depth + 1);
    if (!sub) return std::unexpected(sub.error());
    std::vector<ChildRef> refs(branch->children.begin(), branch->children.begin() + idx);
    std::vector<std::optional<Bytes>> new_maxes(maxes.begin(), maxes.begin() + idx);
    refs.insert(refs.end(), sub->refs.begin(), sub->refs.end());
    new_maxes.insert(new_maxes.end(), sub->maxes.begin(), sub->maxes.end());
    if (idx + 1 < branch->children.size() && !new_maxes.back()) new_maxes.back() = maxes[idx];
    refs.insert(refs.end(), branch->children.begin() + idx + 1, branch->children.end());
    new_maxes.insert(new_maxes.end(), maxes.begin() + idx + 1, maxes.end());
    return write_branches(refs, new_maxes, page);
}

Result<std::optional<TreeRoot>> TreeEditor::finish_root(Level level, std::uint64_t length) {
    if (level.refs.empty()) return std::optional<TreeRoot>();
    while (level.refs.size() > 1) {
        auto up = write_branches(level.refs, level.maxes, std::nullopt);
        if (!up) return std::unexpected(up.error());
        level = std::move(*up);
    }
    return std::optional<TreeRoot>(TreeRoot{level.refs[0].page, level.refs[0].checksum, length});
}

Result<bool> TreeEditor::insert(std::optional<TreeRoot>& root, ByteView key, ByteView value) {
    bool replaced = false;
    Level level;
    if (!root) {
        std::vector<Entry> one{
            Entry{Bytes(key.begin(), key.end()), Bytes(value.begin(), value.end())}};
        auto l = write_leaves(one, std::nullopt);
        if (!l) return std::unexpected(l.error());
        level = std::move(*l);
    } else {
        auto l = insert_at(root->page, std::nullopt, key, value, replaced, 0);
        if (!l) return std::unexpected(l.error());
        level = std::move(*l);
    }
    std::uint64_t length = (root ? root->length : 0) + (replaced ? 0 : 1);
    auto r = finish_root(std::move(level), length);
    if (!r) return std::unexpected(r.error());
    root = *r;
    return replaced;
}

Result<std::optional<TreeEditor::Level>> TreeEditor::remove_at(PageNumber page,
                                                               const std::optional<Bytes>& max,
                                                               ByteView key, int depth) {
    if (depth > kMaxDepth) return std::unexpected(corrupted("tree too deep"));
    auto data = store_.read(page);
    if (!data) return std::unexpected(data.error());
    if (!data->empty() && (*data)[0] == kLeafType) {
        auto entries = decode_leaf(*data, kind_.widths);
        if (!entries) return std::unexpected(corrupted("damaged leaf page"));
        auto it = std::find_if(entries->begin(), entries->end(), [&](const Entry& e) {
            return compare_keys(kind_.order, e.key, key) == 0;
        });
        if (it == entries->end()) return std::optional<Level>();
        entries->erase(it);
        if (entries->empty()) {
            store_.release(page, freed_);
            return std::optional<Level>(Level{});
        }
        auto l = write_leaves(*entries, page);
        if (!l) return std::unexpected(l.error());
        return std::optional<Level>(std::move(*l));
    }
    auto branch = decode_branch(*data, kind_.widths.key);
    if (!branch) return std::unexpected(corrupted("damaged branch page"));
    std::size_t idx = child_index(*branch, key);
    std::vector<std::optional<Bytes>> maxes;
    for (std::size_t i = 0; i < branch->children.size(); ++i)
        maxes.push_back(i < branch->keys.size() ? std::optional<Bytes>(branch->keys[i]) : max);
    auto sub = remove_at(branch->children[idx].page, maxes[idx], key, depth + 1);
    if (!sub) return std::unexpected(sub.error());
    if (!*sub) return std::optional<Level>();
    Level& r = **sub;
    if (!r.maxes.empty() && !r.maxes.back()) r.maxes.back() = maxes[idx];

    std::vector<ChildRef> refs;
    std::vector<std::optional<Bytes>> new_maxes;
    if (r.lone) {
        // The child shrank to one grandchild: merge it into a neighbour, so all leaves stay at
        // the same depth.
        std::size_t sib = idx + 1 < branch->children.size() ? idx + 1 : idx - 1;
        auto sdata = store_.read(branch->children[sib].page);
        if (!sdata) return std::unexpected(sdata.error());
        auto sbranch = decode_branch(*sdata, kind_.widths.key);
        if (!sbranch) return std::unexpected(corrupted("damaged branch page"));
        std::vector<ChildRef> merged;
        std::vector<std::optional<Bytes>> merged_maxes;
        auto add_sibling = [&] {
            for (std::size_t i = 0; i < sbranch->children.size(); ++i) {
                merged.push_back(sbranch->children[i]);
                merged_maxes.push_back(
                    i < sbranch->keys.size() ? std::optional<Bytes>(sbranch->keys[i]) : maxes[sib]);
            }
        };
        if (sib > idx) {
            merged.push_back(r.refs[0]);
            merged_maxes.push_back(r.maxes[0]);
            add_sibling();
        } else {
            add_sibling();
            merged.push_back(r.refs[0]);
            merged_maxes.push_back(r.maxes[0]);
        }
        auto m = write_branches(merged, merged_maxes, branch->children[sib].page);
        if (!m) return std::unexpected(m.error());
        std::size_t lo = std::min(idx, sib), hi = std::max(idx, sib);
        for (std::size_t i = 0; i < branch->children.size(); ++i) {
            if (i == lo) {
                refs.insert(refs.end(), m->refs.begin(), m->refs.end());
                new_maxes.insert(new_maxes.end(), m->maxes.begin(), m->maxes.end());
            } else if (i != hi) {
                refs.push_back(branch->children[i]);
                new_maxes.push_back(maxes[i]);
            }
        }
    } else {
        for (std::size_t i = 0; i < branch->children.size(); ++i) {
            if (i == idx) {
                refs.insert(refs.end(), r.refs.begin(), r.refs.end());
                new_maxes.insert(new_maxes.end(), r.maxes.begin(), r.maxes.end());
            } else {
                refs.push_back(branch->children[i]);
                new_maxes.push_back(maxes[i]);
            }
        }
    }
    if (refs.empty()) {
        store_.release(page, freed_);
        return std::optional<Level>(Level{});
    }
    if (refs.size() == 1) {
        store_.release(page, freed_);
        Level lone{refs, new_maxes, true};
        return std::optional<Level>(std::move(lone));
    }
    auto l = write_branches(refs, new_maxes, page);
    if (!l) return std::unexpected(l.error());
    return std::optional<Level>(std::move(*l));
}

Result<bool> TreeEditor::remove(std::optional<TreeRoot>& root, ByteView key) {
    if (!root) return false;
    auto r = remove_at(root->page, std::nullopt, key, 0);
    if (!r) return std::unexpected(r.error());
    if (!*r) return false;
    Level level = std::move(**r);
    level.lone = false;
    auto nr = finish_root(std::move(level), root->length > 0 ? root->length - 1 : 0);
    if (!nr) return std::unexpected(nr.error());
    root = *nr;
    return true;
}

Result<std::optional<Entry>> TreeEditor::descend(
    const std::optional<TreeRoot>& root, const std::function<std::size_t(const BranchNode&)>& child,
    const std::function<std::optional<Entry>(std::vector<Entry>&)>& pick) {
    if (!root) return std::optional<Entry>();
    PageNumber page = root->page;
    for (int depth = 0; depth <= kMaxDepth; ++depth) {
        auto data = store_.read(page);
        if (!data) return std::unexpected(data.error());
        if (!data->empty() && (*data)[0] == kLeafType) {
            auto entries = decode_leaf(*data, kind_.widths);
            if (!entries) return std::unexpected(corrupted("damaged leaf page"));
            return pick(*entries);
        }
        auto branch = decode_branch(*data, kind_.widths.key);
        if (!branch) return std::unexpected(corrupted("damaged branch page"));
        page = branch->children[child(*branch)].page;
    }
    return std::unexpected(corrupted("tree too deep"));
}

Result<std::optional<Entry>> TreeEditor::get(const std::optional<TreeRoot>& root, ByteView key) {
    return descend(
        root, [&](const BranchNode& b) { return child_index(b, key); },
        [&](std::vector<Entry>& entries) -> std::optional<Entry> {
            for (auto& e : entries)
                if (compare_keys(kind_.order, e.key, key) == 0) return std::move(e);
            return std::nullopt;
        });
}

Result<std::optional<Entry>> TreeEditor::first(const std::optional<TreeRoot>& root) {
    return descend(
        root, [](const BranchNode&) { return std::size_t(0); },
        [](std::vector<Entry>& e) { return std::optional<Entry>(std::move(e.front())); });
}

Result<std::optional<Entry>> TreeEditor::last(const std::optional<TreeRoot>& root) {
    return descend(
        root, [](const BranchNode& b) { return b.children.size() - 1; },
        [](std::vector<Entry>& e) { return std::optional<Entry>(std::move(e.back())); });
}

Result<std::vector<Entry>> TreeEditor::all(const std::optional<TreeRoot>& root) {
    std::vector<Entry> out;
    if (!root) return out;
    std::vector<std::pair<PageNumber, int>> stack{{root->page, 0}};
    // In a sound tree no page has two parents; a damaged one that shares pages would repeat
    // entries, free a page twice, or take exponential time.
    std::set<PageNumber> seen;
    while (!stack.empty()) {
        auto [page, depth] = stack.back();
        stack.pop_back();
        if (depth > 64) return std::unexpected(corrupted("tree too deep"));
        if (!seen.insert(page).second) return std::unexpected(corrupted("page reached twice"));
        auto data = store_.read(page);
        if (!data) return std::unexpected(data.error());
        if (!data->empty() && (*data)[0] == kLeafType) {
            auto entries = decode_leaf(*data, kind_.widths);
            if (!entries) return std::unexpected(corrupted("damaged leaf page"));
            out.insert(out.end(), entries->begin(), entries->end());
            continue;
        }
        auto branch = decode_branch(*data, kind_.widths.key);
        if (!branch) return std::unexpected(corrupted("damaged branch page"));
        for (auto it = branch->children.rbegin(); it != branch->children.rend(); ++it)
            stack.push_back({it->page, depth + 1});
    }
    return out;
}

Status TreeEditor::release_all(const std::optional<TreeRoot>& root) {
    if (!root) return {};
    std::vector<std::pair<PageNumber, int>> stack{{root->page, 0}};
    // In a sound tree no page has two parents; a damaged one that shares pages would repeat
    // entries, free a page twice, or take exponential time.
    std::set<PageNumber> seen;
    while (!stack.empty()) {
        auto [page, depth] = stack.back();
        stack.pop_back();
        if (depth > 64) return std::unexpected(corrupted("tree too deep"));
        if (!seen.insert(page).second) return std::unexpected(corrupted("page reached twice"));
        auto data = store_.read(page);
        if (!data) return std::unexpected(data.error());
        if (!data->empty() && (*data)[0] == kBranchType) {
            auto branch = decode_branch(*data, kind_.widths.key);
            if (!branch) return std::unexpected(corrupted("damaged branch page"));
            for (auto& c : branch->children) stack.push_back({c.page, depth + 1});
        }
        store_.release(page, freed_);
    }
    return {};
}

}  // namespace redb::detail
