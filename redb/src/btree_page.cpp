#include "btree_page.h"

#include <string>

#include "format.h"

namespace redb {

namespace {
Error bad_page(const char* what) { return Error::corrupted(std::string("B-tree page: ") + what); }
}  // namespace

// Leaf: type, reserved, u16 count, then the key end offsets (variable keys), the value end
// offsets (variable values), the keys and the values.
std::size_t LeafPage::header_end() const {
    std::size_t offset = 4;
    if (!widths_.fixed_key) offset += 4 * num_pairs_;
    if (!widths_.fixed_value) offset += 4 * num_pairs_;
    return offset;
}

std::size_t LeafPage::key_start(std::size_t i) const { return i == 0 ? header_end() : key_end(i - 1); }

std::size_t LeafPage::key_end(std::size_t i) const {
    if (widths_.fixed_key) return header_end() + std::size_t{*widths_.fixed_key} * (i + 1);
    return load_u32(page_.data() + 4 + 4 * i);
}

std::size_t LeafPage::value_start(std::size_t i) const { return i == 0 ? key_end(num_pairs_ - 1) : value_end(i - 1); }

std::size_t LeafPage::value_end(std::size_t i) const {
    if (widths_.fixed_value) return key_end(num_pairs_ - 1) + std::size_t{*widths_.fixed_value} * (i + 1);
    std::size_t offset = 4 + 4 * i;
    if (!widths_.fixed_key) offset += 4 * num_pairs_;
    return load_u32(page_.data() + offset);
}

Result<LeafPage> LeafPage::parse(Bytes page, const Widths& widths) {
    if (page.size() < 4 || page[0] != format::kLeafPage) return std::unexpected(bad_page("not a leaf"));
    LeafPage leaf;
    leaf.page_ = page;
    leaf.widths_ = widths;
    leaf.num_pairs_ = load_u16(page.data() + 2);
    const std::uint64_t n = leaf.num_pairs_;
    // Offsets are checked in 64-bit arithmetic first: fixed widths up to 4 GiB times 65535
    // pairs would overflow a 32-bit size_t.
    std::uint64_t header = 4 + (widths.fixed_key ? 0 : 4 * n) + (widths.fixed_value ? 0 : 4 * n);
    if (header > page.size()) return std::unexpected(bad_page("leaf offsets beyond the page"));
    if (n == 0) return leaf;
    std::uint64_t previous = header;
    for (std::uint64_t i = 0; i < n; ++i) {
        std::uint64_t end = widths.fixed_key ? header + std::uint64_t{*widths.fixed_key} * (i + 1)
                                             : load_u32(page.data() + 4 + 4 * i);
        if (end < previous || end > page.size()) return std::unexpected(bad_page("leaf key offset out of order"));
        previous = end;
    }
    const std::uint64_t keys_end = previous;
    for (std::uint64_t i = 0; i < n; ++i) {
        std::uint64_t end;
        if (widths.fixed_value) {
            end = keys_end + std::uint64_t{*widths.fixed_value} * (i + 1);
        } else {
            std::uint64_t offset = 4 + 4 * i + (widths.fixed_key ? 0 : 4 * n);
            end = load_u32(page.data() + offset);
        }
        if (end < previous || end > page.size()) return std::unexpected(bad_page("leaf value offset out of order"));
        previous = end;
    }
    return leaf;
}

// Branch: type, padding, u16 key count, 4 bytes padding, the child checksums, the child page
// numbers, the key end offsets (variable keys), the keys.
std::size_t BranchPage::key_section_start() const {
    std::size_t offset = 8 + 24 * num_children();
    if (!fixed_key_) offset += 4 * num_keys_;
    return offset;
}

std::size_t BranchPage::key_start(std::size_t i) const { return i == 0 ? key_section_start() : key_end(i - 1); }

std::size_t BranchPage::key_end(std::size_t i) const {
    if (fixed_key_) return key_section_start() + std::size_t{*fixed_key_} * (i + 1);
    return load_u32(page_.data() + 8 + 24 * num_children() + 4 * i);
}

Result<BranchPage> BranchPage::parse(Bytes page, std::optional<std::uint32_t> fixed_key) {
    if (page.size() < 8 || page[0] != format::kBranchPage) return std::unexpected(bad_page("not a branch"));
    BranchPage branch;
    branch.page_ = page;
    branch.fixed_key_ = fixed_key;
    branch.num_keys_ = load_u16(page.data() + 2);
    const std::uint64_t n = branch.num_keys_;
    if (n == 0) return std::unexpected(bad_page("branch without keys"));
    const std::uint64_t start = 8 + 24 * (n + 1) + (fixed_key ? 0 : 4 * n);
    if (start > page.size()) return std::unexpected(bad_page("branch children beyond the page"));
    std::uint64_t previous = start;
    for (std::uint64_t i = 0; i < n; ++i) {
        std::uint64_t end = fixed_key ? start + std::uint64_t{*fixed_key} * (i + 1)
                                      : load_u32(page.data() + 8 + 24 * (n + 1) + 4 * i);
        if (end < previous || end > page.size()) return std::unexpected(bad_page("branch key offset out of order"));
        previous = end;
    }
    return branch;
}

Result<Checksum> page_checksum(Bytes page, const Widths& widths) {
    if (page.empty()) return std::unexpected(bad_page("empty page"));
    if (page[0] == format::kLeafPage) {
        auto leaf = LeafPage::parse(page, widths);
        if (!leaf) return std::unexpected(leaf.error());
        if (leaf->size() == 0) return std::unexpected(bad_page("leaf without pairs"));
        return xxh3_checksum(page.first(leaf->used_end()));
    }
    if (page[0] == format::kBranchPage) {
        auto branch = BranchPage::parse(page, widths.fixed_key);
        if (!branch) return std::unexpected(branch.error());
        return xxh3_checksum(page.first(branch->used_end()));
    }
    return std::unexpected(bad_page("unknown page type"));
}

}  // namespace redb
