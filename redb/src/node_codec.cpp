#include "node_codec.h"

namespace redb::detail {

namespace {

struct LeafOffsets {
    std::size_t n = 0;
    std::vector<std::size_t> key_end, value_end;
};

std::optional<LeafOffsets> leaf_offsets(ByteView page, const Widths& w) {
    if (page.size() < 4 || page[0] != kLeafType) return std::nullopt;
    LeafOffsets o;
    o.n = get_u16(page.data() + 2);
    if (o.n == 0) return std::nullopt;
    std::size_t table = 4;
    std::size_t header = 4 + (w.key ? 0 : 4 * o.n) + (w.value ? 0 : 4 * o.n);
    if (header > page.size()) return std::nullopt;
    std::size_t pos = header;
    for (std::size_t i = 0; i < o.n; ++i) {
        std::size_t end = w.key ? header + std::size_t(*w.key) * (i + 1)
                                : get_u32(page.data() + table + 4 * i);
        if (end < pos || end > page.size()) return std::nullopt;
        o.key_end.push_back(end);
        pos = end;
    }
    std::size_t keys_end = pos;
    std::size_t vtable = table + (w.key ? 0 : 4 * o.n);
    for (std::size_t i = 0; i < o.n; ++i) {
        std::size_t end = w.value ? keys_end + std::size_t(*w.value) * (i + 1)
                                  : get_u32(page.data() + vtable + 4 * i);
        if (end < pos || end > page.size()) return std::nullopt;
        o.value_end.push_back(end);
        pos = end;
    }
    return o;
}

std::size_t branch_header(std::size_t keys, std::optional<std::uint32_t> kw) {
    return 8 + 24 * (keys + 1) + (kw ? 0 : 4 * keys);
}

}  // namespace

std::optional<std::vector<Entry>> decode_leaf(ByteView page, const Widths& w) {
    auto o = leaf_offsets(page, w);
    if (!o) return std::nullopt;
    std::vector<Entry> out(o->n);
    std::size_t pos = 4 + (w.key ? 0 : 4 * o->n) + (w.value ? 0 : 4 * o->n);
    for (std::size_t i = 0; i < o->n; ++i) {
        out[i].key.assign(page.begin() + pos, page.begin() + o->key_end[i]);
        pos = o->key_end[i];
    }
    for (std::size_t i = 0; i < o->n; ++i) {
        out[i].value.assign(page.begin() + pos, page.begin() + o->value_end[i]);
        pos = o->value_end[i];
    }
    return out;
}

std::optional<BranchNode> decode_branch(ByteView page, std::optional<std::uint32_t> kw) {
    if (page.size() < 8 || page[0] != kBranchType) return std::nullopt;
    std::size_t n = get_u16(page.data() + 2);
    if (n == 0) return std::nullopt;
    std::size_t header = branch_header(n, kw);
    if (header > page.size()) return std::nullopt;
    BranchNode b;
    for (std::size_t i = 0; i <= n; ++i) {
        Checksum c = Checksum::load(page.data() + 8 + 16 * i);
        PageNumber p = PageNumber::decode(get_u64(page.data() + 8 + 16 * (n + 1) + 8 * i));
        b.children.push_back({p, c});
    }
    std::size_t pos = header;
    std::size_t ends = 8 + 24 * (n + 1);
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t end = kw ? header + std::size_t(*kw) * (i + 1) : get_u32(page.data() + ends + 4 * i);
        if (end < pos || end > page.size()) return std::nullopt;
        b.keys.emplace_back(page.begin() + pos, page.begin() + end);
        pos = end;
    }
    return b;
}

std::optional<Checksum> node_checksum(ByteView page, const Widths& w) {
    if (page.empty()) return std::nullopt;
    if (page[0] == kLeafType) {
        auto o = leaf_offsets(page, w);
        if (!o) return std::nullopt;
        return checksum_of(page.first(o->value_end.back()));
    }
    if (page[0] == kBranchType) {
        if (page.size() < 8) return std::nullopt;
        std::size_t n = get_u16(page.data() + 2);
        if (n == 0 || branch_header(n, w.key) > page.size()) return std::nullopt;
        std::size_t end = w.key ? branch_header(n, w.key) + std::size_t(*w.key) * n
                                : get_u32(page.data() + 8 + 24 * (n + 1) + 4 * (n - 1));
        if (end < branch_header(n, w.key) || end > page.size()) return std::nullopt;
        return checksum_of(page.first(end));
    }
    return std::nullopt;
}

std::size_t leaf_bytes(std::size_t count, std::size_t kv_bytes, const Widths& w) {
    return 4 + (w.key ? 0 : 4 * count) + (w.value ? 0 : 4 * count) + kv_bytes;
}

std::size_t branch_bytes(std::size_t keys, std::size_t key_bytes, std::optional<std::uint32_t> kw) {
    return branch_header(keys, kw) + key_bytes;
}

Bytes encode_leaf(const std::vector<Entry>& entries, std::size_t begin, std::size_t end,
                  const Widths& w) {
    std::size_t n = end - begin, kv = 0;
    for (std::size_t i = begin; i < end; ++i) kv += entries[i].key.size() + entries[i].value.size();
    Bytes out(leaf_bytes(n, kv, w), 0);
    out[0] = kLeafType;
    put_u16(out.data() + 2, std::uint16_t(n));
    std::size_t pos = 4 + (w.key ? 0 : 4 * n) + (w.value ? 0 : 4 * n);
    std::size_t vtable = 4 + (w.key ? 0 : 4 * n);
    for (std::size_t i = 0; i < n; ++i) {
        const Bytes& k = entries[begin + i].key;
        std::copy(k.begin(), k.end(), out.begin() + pos);
        pos += k.size();
        if (!w.key) put_u32(out.data() + 4 + 4 * i, std::uint32_t(pos));
    }
    for (std::size_t i = 0; i < n; ++i) {
        const Bytes& v = entries[begin + i].value;
        std::copy(v.begin(), v.end(), out.begin() + pos);
        pos += v.size();
        if (!w.value) put_u32(out.data() + vtable + 4 * i, std::uint32_t(pos));
    }
    return out;
}

Bytes encode_branch(const std::vector<ChildRef>& children, const std::vector<Bytes>& keys,
                    std::size_t begin, std::size_t end, std::optional<std::uint32_t> kw) {
    std::size_t nkeys = end - begin - 1, key_bytes = 0;
    for (std::size_t i = begin; i + 1 < end; ++i) key_bytes += keys[i].size();
    Bytes out(branch_bytes(nkeys, key_bytes, kw), 0);
    out[0] = kBranchType;
    put_u16(out.data() + 2, std::uint16_t(nkeys));
    for (std::size_t i = 0; i <= nkeys; ++i) {
        children[begin + i].checksum.store(out.data() + 8 + 16 * i);
        put_u64(out.data() + 8 + 16 * (nkeys + 1) + 8 * i, children[begin + i].page.encode());
    }
    std::size_t pos = branch_header(nkeys, kw);
    for (std::size_t i = 0; i < nkeys; ++i) {
        const Bytes& k = keys[begin + i];
        std::copy(k.begin(), k.end(), out.begin() + pos);
        pos += k.size();
        if (!kw) put_u32(out.data() + 8 + 24 * (nkeys + 1) + 4 * i, std::uint32_t(pos));
    }
    return out;
}

}  // namespace redb::detail
