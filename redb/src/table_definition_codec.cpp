#include "table_definition_codec.h"

namespace redb::detail {

std::optional<TableDefinition> TableDefinition::parse(ByteView b) {
    // type, length, root flag and root, key width flag and width, value width flag and width,
    // two alignments, key type length.
    constexpr std::size_t kFixed = 1 + 8 + 1 + TreeRoot::kBytes + 5 + 5 + 4 + 4 + 4;
    if (b.size() < kFixed) return std::nullopt;
    TableDefinition d;
    const std::uint8_t* p = b.data();
    d.table_type = p[0];
    if (d.table_type != kNormalTable && d.table_type != kMultimapTable) return std::nullopt;
    d.length = get_u64(p + 1);
    if (p[9]) d.root = TreeRoot::load(p + 10);
    std::size_t o = 10 + TreeRoot::kBytes;
    if (p[o]) d.fixed_key = get_u32(p + o + 1);
    o += 5;
    if (p[o]) d.fixed_value = get_u32(p + o + 1);
    o += 5;
    d.key_alignment = get_u32(p + o);
    d.value_alignment = get_u32(p + o + 4);
    std::size_t key_len = get_u32(p + o + 8);
    o += 12;
    if (key_len > b.size() - o) return std::nullopt;
    d.key_type.assign(b.begin() + o, b.begin() + o + key_len);
    d.value_type.assign(b.begin() + o + key_len, b.end());
    return d;
}

Bytes TableDefinition::serialize() const {
    Bytes out;
    out.reserve(96);
    out.push_back(table_type);
    append_u64(out, length);
    out.push_back(root ? 1 : 0);
    std::uint8_t r[TreeRoot::kBytes] = {};
    if (root) root->store(r);
    out.insert(out.end(), r, r + sizeof r);
    out.push_back(fixed_key ? 1 : 0);
    append_u32(out, fixed_key.value_or(0));
    out.push_back(fixed_value ? 1 : 0);
    append_u32(out, fixed_value.value_or(0));
    append_u32(out, key_alignment);
    append_u32(out, value_alignment);
    append_u32(out, std::uint32_t(key_type.size()));
    out.insert(out.end(), key_type.begin(), key_type.end());
    out.insert(out.end(), value_type.begin(), value_type.end());
    return out;
}

Bytes internal_type_name(std::string_view name) {
    Bytes out;
    out.reserve(name.size() + 1);
    out.push_back(1);
    out.insert(out.end(), name.begin(), name.end());
    return out;
}

TableDefinition history_table_definition() {
    TableDefinition d;
    d.fixed_key = 8;
    d.key_type = internal_type_name("u64");
    d.value_type = internal_type_name("&str");
    return d;
}

TableDefinition freed_pages_table_definition() {
    TableDefinition d;
    d.fixed_key = 16;
    d.key_type = internal_type_name("redb::TransactionIdWithPagination");
    d.value_type = internal_type_name("redb::PageList");
    return d;
}

TableDefinition allocator_state_table_definition() {
    TableDefinition d;
    d.fixed_key = 5;
    d.key_type = internal_type_name("redb::AllocatorStateKey");
    d.value_type = internal_type_name("&[u8]");
    return d;
}

}  // namespace redb::detail
