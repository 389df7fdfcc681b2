#include "table_definition.h"

namespace redb::detail {

namespace {

constexpr std::size_t kFixedPart = 1 + 8 + 1 + format::kBtreeHeaderSize + 5 + 5 + 4 + 4 + 4;

Result<TypeName> decode_type_name(ByteView data) {
    if (data.empty()) return std::unexpected(Error::corrupted("table definition: empty type name"));
    const std::uint8_t c = data[0];
    if (c < format::kTypeInternal || c > format::kTypeInternal3)
        return std::unexpected(Error::corrupted("table definition: unknown type classification"));
    return TypeName{c, std::string(data.begin() + 1, data.end())};
}

void append_type_name(Bytes& out, const TypeName& t) {
    out.push_back(t.classification);
    out.insert(out.end(), t.name.begin(), t.name.end());
}

void append_width(Bytes& out, std::optional<std::uint32_t> w) {
    out.push_back(w ? 1 : 0);
    append_u32(out, w.value_or(0));
}

TypeName name_of(const TypeSpec& t) {
    return {t.classification, std::string(t.name)};
}

}  // namespace

InternalTableDefinition InternalTableDefinition::normal(const TypeSpec& key,
                                                        const TypeSpec& value) {
    InternalTableDefinition d;
    d.fixed_key_size = key.fixed_width;
    d.fixed_value_size = value.fixed_width;
    d.key_type = name_of(key);
    d.value_type = name_of(value);
    return d;
}

Result<InternalTableDefinition> InternalTableDefinition::decode(ByteView data) {
    if (data.size() < kFixedPart)
        return std::unexpected(Error::corrupted("table definition too short"));
    const std::uint8_t* p = data.data();
    InternalTableDefinition d;
    d.table_type = p[0];
    if (d.table_type != format::kTableNormal && d.table_type != format::kTableMultimap)
        return std::unexpected(
            Error::corrupted("table definition of an unknown or legacy table type"));
    d.length = load_u64(p + 1);
    if (p[9] != 0) d.root = BtreeHeader::decode(p + 10);
    std::size_t off = 10 + format::kBtreeHeaderSize;
    if (p[off] != 0) d.fixed_key_size = load_u32(p + off + 1);
    off += 5;
    if (p[off] != 0) d.fixed_value_size = load_u32(p + off + 1);
    off += 5;
    d.key_alignment = load_u32(p + off);
    d.value_alignment = load_u32(p + off + 4);
    const std::uint64_t key_name_len = load_u32(p + off + 8);
    off += 12;
    if (key_name_len > data.size() - off)
        return std::unexpected(Error::corrupted("table definition: key type beyond its end"));
    auto key = decode_type_name(data.subspan(off, key_name_len));
    if (!key) return std::unexpected(key.error());
    auto value = decode_type_name(data.subspan(off + key_name_len));
    if (!value) return std::unexpected(value.error());
    d.key_type = std::move(*key);
    d.value_type = std::move(*value);
    return d;
}

Bytes InternalTableDefinition::encode() const {
    Bytes out;
    out.reserve(kFixedPart + key_type.name.size() + value_type.name.size() + 2);
    out.push_back(table_type);
    append_u64(out, length);
    std::uint8_t r[format::kBtreeHeaderSize] = {};
    if (root) root->encode(r);
    out.push_back(root ? 1 : 0);
    out.insert(out.end(), r, r + format::kBtreeHeaderSize);
    append_width(out, fixed_key_size);
    append_width(out, fixed_value_size);
    append_u32(out, key_alignment);
    append_u32(out, value_alignment);
    append_u32(out, static_cast<std::uint32_t>(key_type.name.size() + 1));
    append_type_name(out, key_type);
    append_type_name(out, value_type);
    return out;
}

Status InternalTableDefinition::check_types(std::string_view table_name, const TypeSpec& key,
                                            const TypeSpec& value) const {
    const std::string name(table_name);
    if (multimap())
        return std::unexpected(Error{ErrorKind::TableIsMultimap, name + " is a multimap table", 0});
    if (key_alignment != format::kAlignment || value_alignment != format::kAlignment)
        return std::unexpected(
            Error{ErrorKind::TableTypeMismatch, name + ": type definition changed (alignment)", 0});
    if (key_type != name_of(key) || value_type != name_of(value))
        return std::unexpected(
            Error{ErrorKind::TableTypeMismatch,
                  name + " is of type Table<" + key_type.name + ", " + value_type.name + ">", 0});
    if (fixed_key_size != key.fixed_width || fixed_value_size != value.fixed_width)
        return std::unexpected(
            Error{ErrorKind::TableTypeMismatch, name + ": type definition changed (width)", 0});
    return {};
}

TypeSpec freed_pages_key_type() {
    return {format::kTypeInternal, "redb::TransactionIdWithPagination", 16};
}
TypeSpec freed_pages_value_type() {
    return {format::kTypeInternal, "redb::PageList", std::nullopt};
}
TypeSpec allocator_state_key_type() {
    return {format::kTypeInternal, "redb::AllocatorStateKey", 5};
}

}  // namespace redb::detail
