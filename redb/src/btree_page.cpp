#include "btree_page.h"

#include <algorithm>
#include <string>

#include "format.h"

namespace redb::detail {

namespace {

Error bad_page(const char* what) {
    return Error::corrupted(std::string("B-tree page: ") + what);
}

std::size_t branch_header_bytes(std::size_t keys, std::optional<std::uint32_t> key_width) {
    return 8 + 24 * (keys + 1) + (key_width ? 0 : 4 * keys);
}

}  // namespace

// Leaf: type, reserved, u16 count, then the key end offsets (variable keys), the value end
// offsets (variable values), the keys and the values.
std::size_t LeafView::header_end() const {
    return 4 + (widths_.key ? 0 : 4 * num_pairs_) + (widths_.value ? 0 : 4 * num_pairs_);
}

std::size_t LeafView::key_end(std::size_t i) const {
    if (widths_.key) return header_end() + std::size_t{*widths_.key} * (i + 1);
    return load_u32(page_.data() + 4 + 4 * i);
}

std::size_t LeafView::value_end(std::size_t i) const {
    if (widths_.value) return key_end(num_pairs_ - 1) + std::size_t{*widths_.value} * (i + 1);
    return load_u32(page_.data() + 4 + 4 * i + (widths_.key ? 0 : 4 * num_pairs_));
}

Result<LeafView> LeafView::parse(ByteView page, const Widths& widths) {
    if (page.size() < 4 || page[0] != format::kLeafPage)
        return std::unexpected(bad_page("not a leaf"));
    LeafView leaf;
    leaf.page_ = page;
    leaf.widths_ = widths;
    leaf.num_pairs_ = load_u16(page.data() + 2);
    const std::uint64_t n = leaf.num_pairs_;
    // Checked in 64-bit arithmetic: fixed widths up to 4 GiB times 65535 pairs would overflow a
    // 32-bit size_t.
    const std::uint64_t header = 4 + (widths.key ? 0 : 4 * n) + (widths.value ? 0 : 4 * n);
    if (header > page.size()) return std::unexpected(bad_page("leaf offsets beyond the page"));
    std::uint64_t previous = header;
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint64_t end = widths.key ? header + std::uint64_t{*widths.key} * (i + 1)
                                             : load_u32(page.data() + 4 + 4 * i);
        if (end < previous || end > page.size())
            return std::unexpected(bad_page("leaf key offset out of order"));
        previous = end;
    }
    const std::uint64_t keys_end = previous;
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint64_t end =
            widths.value ? keys_end + std::uint64_t{*widths.value} * (i + 1)
                         : load_u32(page.data() + 4 + 4 * i + (widths.key ? 0 : 4 * n));
        if (end < previous || end > page.size())
            return std::unexpected(bad_page("leaf value offset out of order"));
        previous = end;
    }
    return leaf;
}

// Branch: type, padding, u16 key count, 4 bytes padding, the child checksums, the child page
// numbers, the key end offsets (variable keys), the keys.
std::size_t BranchView::key_section_start() const {
    return branch_header_bytes(num_keys_, key_width_);
}

std::size_t BranchView::key_end(std::size_t i) const {
    if (key_width_) return key_section_start() + std::size_t{*key_width_} * (i + 1);
    return load_u32(page_.data() + 8 + 24 * num_children() + 4 * i);
}

Result<BranchView> BranchView::parse(ByteView page, std::optional<std::uint32_t> key_width) {
    if (page.size() < 8 || page[0] != format::kBranchPage)
        return std::unexpected(bad_page("not a branch"));
    BranchView branch;
    branch.page_ = page;
    branch.key_width_ = key_width;
    branch.num_keys_ = load_u16(page.data() + 2);
    const std::uint64_t n = branch.num_keys_;
    if (n == 0) return std::unexpected(bad_page("branch without keys"));
    const std::uint64_t start = 8 + 24 * (n + 1) + (key_width ? 0 : 4 * n);
    if (start > page.size()) return std::unexpected(bad_page("branch children beyond the page"));
    std::uint64_t previous = start;
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint64_t end = key_width ? start + std::uint64_t{*key_width} * (i + 1)
                                            : load_u32(page.data() + 8 + 24 * (n + 1) + 4 * i);
        if (end < previous || end > page.size())
            return std::unexpected(bad_page("branch key offset out of order"));
        previous = end;
    }
    return branch;
}

Result<Checksum> page_checksum(ByteView page, const Widths& widths) {
    if (page.empty()) return std::unexpected(bad_page("empty page"));
    if (page[0] == format::kLeafPage) {
        auto leaf = LeafView::parse(page, widths);
        if (!leaf) return std::unexpected(leaf.error());
        if (leaf->size() == 0) return std::unexpected(bad_page("leaf without pairs"));
        return checksum_of(page.first(leaf->used_end()));
    }
    if (page[0] == format::kBranchPage) {
        auto branch = BranchView::parse(page, widths.key);
        if (!branch) return std::unexpected(branch.error());
        return checksum_of(page.first(branch->used_end()));
    }
    return std::unexpected(bad_page("unknown page type"));
}

std::size_t leaf_bytes(std::size_t pairs, std::size_t key_value_bytes, const Widths& widths) {
    return 4 + (widths.key ? 0 : 4 * pairs) + (widths.value ? 0 : 4 * pairs) + key_value_bytes;
}

std::size_t branch_bytes(std::size_t keys, std::size_t key_bytes,
                         std::optional<std::uint32_t> key_width) {
    return branch_header_bytes(keys, key_width) + key_bytes;
}

Bytes encode_leaf(std::span<const Entry> entries, const Widths& widths) {
    const std::size_t n = entries.size();
    std::size_t kv = 0;
    for (const Entry& e : entries) kv += e.key.size() + e.value.size();
    Bytes out(leaf_bytes(n, kv, widths), 0);
    out[0] = format::kLeafPage;
    store_u16(out.data() + 2, static_cast<std::uint16_t>(n));
    std::size_t pos = 4 + (widths.key ? 0 : 4 * n) + (widths.value ? 0 : 4 * n);
    const std::size_t value_ends = 4 + (widths.key ? 0 : 4 * n);
    for (std::size_t i = 0; i < n; ++i) {
        std::copy(entries[i].key.begin(), entries[i].key.end(), out.begin() + pos);
        pos += entries[i].key.size();
        if (!widths.key) store_u32(out.data() + 4 + 4 * i, static_cast<std::uint32_t>(pos));
    }
    for (std::size_t i = 0; i < n; ++i) {
        std::copy(entries[i].value.begin(), entries[i].value.end(), out.begin() + pos);
        pos += entries[i].value.size();
        if (!widths.value)
            store_u32(out.data() + value_ends + 4 * i, static_cast<std::uint32_t>(pos));
    }
    return out;
}

Bytes encode_branch(std::span<const ChildRef> children, std::span<const Bytes> keys,
                    std::optional<std::uint32_t> key_width) {
    const std::size_t n = children.size() - 1;
    std::size_t key_bytes = 0;
    for (std::size_t i = 0; i < n; ++i) key_bytes += keys[i].size();
    Bytes out(branch_bytes(n, key_bytes, key_width), 0);
    out[0] = format::kBranchPage;
    store_u16(out.data() + 2, static_cast<std::uint16_t>(n));
    for (std::size_t i = 0; i <= n; ++i) {
        children[i].checksum.store(out.data() + 8 + 16 * i);
        store_u64(out.data() + 8 + 16 * (n + 1) + 8 * i, children[i].page.encode());
    }
    std::size_t pos = branch_header_bytes(n, key_width);
    for (std::size_t i = 0; i < n; ++i) {
        std::copy(keys[i].begin(), keys[i].end(), out.begin() + pos);
        pos += keys[i].size();
        if (!key_width)
            store_u32(out.data() + 8 + 24 * (n + 1) + 4 * i, static_cast<std::uint32_t>(pos));
    }
    return out;
}

}  // namespace redb::detail
