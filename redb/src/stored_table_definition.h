#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bytes.h"
#include "format.h"
#include "redb/error.h"
#include "super_header.h"

namespace redb {

// A type as redb records it with a table: a classification byte and the type's name.
struct TypeName {
    std::uint8_t classification = format::kTypeInternal;
    std::string name;
    bool operator==(const TypeName&) const = default;
};

// A key or value type: its recorded name and its fixed width (none for variable width).
struct TypeDescriptor {
    TypeName name;
    std::optional<std::uint32_t> fixed_width;
};

// The value stored under a table's name in the table tree (or the system table tree).
struct TableDefinition {
    std::uint8_t table_type = format::kTableNormal;  // kTableNormal or kTableMultimap
    std::optional<BtreeHeader> root;
    std::uint64_t length = 0;
    std::optional<std::uint32_t> fixed_key_size;
    std::optional<std::uint32_t> fixed_value_size;
    std::uint32_t key_alignment = format::kAlignment;
    std::uint32_t value_alignment = format::kAlignment;
    TypeName key_type;
    TypeName value_type;

    bool multimap() const { return table_type == format::kTableMultimap; }

    static TableDefinition normal(const TypeDescriptor& key, const TypeDescriptor& value);
};

// The serialized form: type, length, root (presence byte and 32 bytes), fixed key and value
// widths (presence byte and u32 each), key and value alignment, key type name length, key
// type name, value type name. Its size depends only on the types, not on the contents.
Result<TableDefinition> parse_table_definition(Bytes data);
std::vector<std::uint8_t> serialize_table_definition(const TableDefinition& definition);

// Checks a stored definition against the types a program declares, as redb does when a table
// is opened: table kind, alignments, type names, fixed widths.
Status check_table_types(const TableDefinition& stored, const std::string& table_name, bool multimap,
                         const TypeDescriptor& key, const TypeDescriptor& value);

}  // namespace redb
