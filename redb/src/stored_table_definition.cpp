#include "stored_table_definition.h"

namespace redb {

namespace {

constexpr std::size_t kFixedPart = 1 + 8 + 1 + format::kBtreeHeaderSize + 5 + 5 + 4 + 4 + 4;

Result<TypeName> parse_type_name(Bytes data) {
    if (data.empty()) return std::unexpected(Error::corrupted("table definition: empty type name"));
    const std::uint8_t c = data[0];
    if (c < format::kTypeInternal || c > format::kTypeInternal3)
        return std::unexpected(Error::corrupted("table definition: unknown type classification"));
    return TypeName{c, std::string(data.begin() + 1, data.end())};
}

void put_type_name(std::vector<std::uint8_t>& out, const TypeName& t) {
    out.push_back(t.classification);
    out.insert(out.end(), t.name.begin(), t.name.end());
}

void put_optional_width(std::vector<std::uint8_t>& out, std::optional<std::uint32_t> w) {
    out.push_back(w ? 1 : 0);
    std::uint8_t b[4];
    store_u32(b, w.value_or(0));
    out.insert(out.end(), b, b + 4);
}

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    std::uint8_t b[4];
    store_u32(b, v);
    out.insert(out.end(), b, b + 4);
}

std::string describe(const TypeName& t) { return t.name; }

}  // namespace

TableDefinition TableDefinition::normal(const TypeDescriptor& key, const TypeDescriptor& value) {
    TableDefinition d;
    d.fixed_key_size = key.fixed_width;
    d.fixed_value_size = value.fixed_width;
    d.key_type = key.name;
    d.value_type = value.name;
    return d;
}

Result<TableDefinition> parse_table_definition(Bytes data) {
    if (data.size() < kFixedPart) return std::unexpected(Error::corrupted("table definition too short"));
    const std::uint8_t* p = data.data();
    TableDefinition d;
    d.table_type = p[0];
    if (d.table_type != format::kTableNormal && d.table_type != format::kTableMultimap)
        return std::unexpected(Error::corrupted("table definition of an unknown or legacy table type"));
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
    if (key_name_len > data.size() - off) return std::unexpected(Error::corrupted("table definition: key type beyond its end"));
    auto key = parse_type_name(data.subspan(off, key_name_len));
    if (!key) return std::unexpected(key.error());
    auto value = parse_type_name(data.subspan(off + key_name_len));
    if (!value) return std::unexpected(value.error());
    d.key_type = std::move(*key);
    d.value_type = std::move(*value);
    return d;
}

std::vector<std::uint8_t> serialize_table_definition(const TableDefinition& d) {
    std::vector<std::uint8_t> out;
    out.push_back(d.table_type);
    std::uint8_t len[8];
    store_u64(len, d.length);
    out.insert(out.end(), len, len + 8);
    std::uint8_t root[format::kBtreeHeaderSize] = {};
    if (d.root) d.root->encode(root);
    out.push_back(d.root ? 1 : 0);
    out.insert(out.end(), root, root + format::kBtreeHeaderSize);
    put_optional_width(out, d.fixed_key_size);
    put_optional_width(out, d.fixed_value_size);
    put_u32(out, d.key_alignment);
    put_u32(out, d.value_alignment);
    put_u32(out, static_cast<std::uint32_t>(d.key_type.name.size() + 1));
    put_type_name(out, d.key_type);
    put_type_name(out, d.value_type);
    return out;
}

Status check_table_types(const TableDefinition& stored, const std::string& table_name, bool multimap,
                         const TypeDescriptor& key, const TypeDescriptor& value) {
    if (stored.multimap() != multimap)
        return std::unexpected(Error{ErrorKind::TableIsMultimap,
                                     stored.multimap() ? table_name + " is a multimap table"
                                                       : table_name + " is not a multimap table",
                                     0});
    if (stored.key_alignment != format::kAlignment || stored.value_alignment != format::kAlignment)
        return std::unexpected(Error{ErrorKind::TableTypeMismatch,
                                     table_name + ": type definition changed (alignment)", 0});
    if (!(stored.key_type == key.name) || !(stored.value_type == value.name))
        return std::unexpected(Error{ErrorKind::TableTypeMismatch,
                                     table_name + " is of type Table<" + describe(stored.key_type) + ", " +
                                         describe(stored.value_type) + ">",
                                     0});
    if (stored.fixed_key_size != key.fixed_width || stored.fixed_value_size != value.fixed_width)
        return std::unexpected(Error{ErrorKind::TableTypeMismatch,
                                     table_name + ": type definition changed (width)", 0});
    return {};
}

}  // namespace redb
