#include "btree.h"

#include <algorithm>
#include <unordered_set>

#include "format.h"

namespace redb {

std::strong_ordering order_bytes(Bytes a, Bytes b) {
    return std::lexicographical_compare_three_way(a.begin(), a.end(), b.begin(), b.end());
}

namespace {

template <typename T>
std::strong_ordering order_le(Bytes a, Bytes b) {
    // A stored fixed-width key of the wrong size would be a corrupt page; compare bytes then.
    if (a.size() != sizeof(T) || b.size() != sizeof(T)) return order_bytes(a, b);
    T x = 0, y = 0;
    for (std::size_t i = sizeof(T); i-- > 0;) {
        x = static_cast<T>((x << 8) | a[i]);
        y = static_cast<T>((y << 8) | b[i]);
    }
    return x <=> y;
}

Error too_deep() { return Error::corrupted("B-tree exceeds the maximum depth"); }
Error revisited() { return Error::corrupted("B-tree page referenced twice"); }

std::vector<std::uint8_t> copy(Bytes b) { return {b.begin(), b.end()}; }

}  // namespace

std::strong_ordering order_u64(Bytes a, Bytes b) { return order_le<std::uint64_t>(a, b); }
std::strong_ordering order_u32(Bytes a, Bytes b) { return order_le<std::uint32_t>(a, b); }

Result<std::optional<std::vector<std::uint8_t>>> BtreeReader::get(Bytes key) const {
    if (!root_) return std::optional<std::vector<std::uint8_t>>{};
    PageNumber number = root_->root;
    for (std::size_t depth = 0; depth < format::kMaxBtreeDepth; ++depth) {
        auto page = store_->read(number);
        if (!page) return std::unexpected(page.error());
        const Bytes mem = page->memory();
        if (mem[0] == format::kLeafPage) {
            auto leaf = LeafPage::parse(mem, widths_);
            if (!leaf) return std::unexpected(leaf.error());
            std::size_t lo = 0, hi = leaf->size();
            while (lo < hi) {
                std::size_t mid = lo + (hi - lo) / 2;
                auto c = order_(key, leaf->key(mid));
                if (c == 0) return std::optional(copy(leaf->value(mid)));
                if (c < 0) hi = mid; else lo = mid + 1;
            }
            return std::optional<std::vector<std::uint8_t>>{};
        }
        auto branch = BranchPage::parse(mem, widths_.fixed_key);
        if (!branch) return std::unexpected(branch.error());
        std::size_t lo = 0, hi = branch->num_keys();
        while (lo < hi) {
            std::size_t mid = lo + (hi - lo) / 2;
            auto c = order_(key, branch->key(mid));
            if (c == 0) { lo = mid; break; }
            if (c < 0) hi = mid; else lo = mid + 1;
        }
        number = branch->child(lo);
    }
    return std::unexpected(too_deep());
}

Result<std::optional<Entry>> BtreeReader::edge(bool rightmost) const {
    if (!root_) return std::optional<Entry>{};
    PageNumber number = root_->root;
    for (std::size_t depth = 0; depth < format::kMaxBtreeDepth; ++depth) {
        auto page = store_->read(number);
        if (!page) return std::unexpected(page.error());
        const Bytes mem = page->memory();
        if (mem[0] == format::kLeafPage) {
            auto leaf = LeafPage::parse(mem, widths_);
            if (!leaf) return std::unexpected(leaf.error());
            if (leaf->size() == 0) return std::optional<Entry>{};
            std::size_t i = rightmost ? leaf->size() - 1 : 0;
            return std::optional(Entry{copy(leaf->key(i)), copy(leaf->value(i))});
        }
        auto branch = BranchPage::parse(mem, widths_.fixed_key);
        if (!branch) return std::unexpected(branch.error());
        number = branch->child(rightmost ? branch->num_children() - 1 : 0);
    }
    return std::unexpected(too_deep());
}

Result<std::optional<Entry>> BtreeReader::first() const { return edge(false); }
Result<std::optional<Entry>> BtreeReader::last() const { return edge(true); }

namespace {

// Depth-first walk shared by iteration, checksum verification and page visits. `on_leaf`
// returns false to stop; a page seen twice is corruption in a tree (no page has two parents).
struct Walker {
    Walker(const PageStore& s, Widths w) : store(s), widths(w) {}
    const PageStore& store;
    Widths widths;
    std::unordered_set<std::uint64_t> seen;
    bool verify = false;      // compare each page with the checksum its parent records
    bool mismatch = false;    // set when verification failed
    std::function<Status(PageNumber)> on_page;
    std::function<bool(const LeafPage&)> on_leaf;

    // Returns false when the walk was stopped (by on_leaf or a checksum mismatch).
    Result<bool> walk(PageNumber number, Checksum expected, std::size_t depth) {
        if (depth >= format::kMaxBtreeDepth) return std::unexpected(too_deep());
        if (!seen.insert(number.encode()).second) return std::unexpected(revisited());
        if (on_page) {
            if (auto s = on_page(number); !s) return std::unexpected(s.error());
        }
        auto page = store.read(number);
        if (!page) return std::unexpected(page.error());
        const Bytes mem = page->memory();
        if (verify) {
            auto actual = page_checksum(mem, widths);
            if (!actual || *actual != expected) {
                mismatch = true;
                return false;
            }
        }
        if (mem[0] == format::kLeafPage) {
            auto leaf = LeafPage::parse(mem, widths);
            if (!leaf) return std::unexpected(leaf.error());
            return on_leaf ? on_leaf(*leaf) : true;
        }
        auto branch = BranchPage::parse(mem, widths.fixed_key);
        if (!branch) return std::unexpected(branch.error());
        for (std::size_t i = 0; i < branch->num_children(); ++i) {
            auto more = walk(branch->child(i), branch->child_checksum(i), depth + 1);
            if (!more) return more;
            if (!*more) return false;
        }
        return true;
    }
};

}  // namespace

Status BtreeReader::for_each(const std::function<bool(Bytes, Bytes)>& visit) const {
    if (!root_) return {};
    Walker w(*store_, widths_);
    w.on_leaf = [&](const LeafPage& leaf) {
        for (std::size_t i = 0; i < leaf.size(); ++i)
            if (!visit(leaf.key(i), leaf.value(i))) return false;
        return true;
    };
    if (auto r = w.walk(root_->root, root_->checksum, 0); !r) return std::unexpected(r.error());
    return {};
}

Result<std::uint64_t> BtreeReader::count() const {
    std::uint64_t n = 0;
    if (!root_) return n;
    Walker w(*store_, widths_);
    w.on_leaf = [&](const LeafPage& leaf) {
        n += leaf.size();
        return true;
    };
    if (auto r = w.walk(root_->root, root_->checksum, 0); !r) return std::unexpected(r.error());
    return n;
}

Result<bool> BtreeReader::verify_checksums() const {
    if (!root_) return true;
    Walker w(*store_, widths_);
    w.verify = true;
    auto r = w.walk(root_->root, root_->checksum, 0);
    if (!r) {
        // A tree too broken to walk does not verify; only I/O errors are errors here.
        if (r.error().kind == ErrorKind::Corrupted) return false;
        return std::unexpected(r.error());
    }
    return !w.mismatch;
}

Status BtreeReader::visit_pages(const std::function<Status(PageNumber)>& visit) const {
    if (!root_) return {};
    Walker w(*store_, widths_);
    w.on_page = visit;
    if (auto r = w.walk(root_->root, root_->checksum, 0); !r) return std::unexpected(r.error());
    return {};
}

}  // namespace redb
