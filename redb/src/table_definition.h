#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bytes.h"
#include "format.h"
#include "redb/error.h"
#include "redb/types.h"
#include "super_header.h"

namespace redb::detail {

// A type as redb records it with a table: a classification byte and the type's name.
struct TypeName {
    std::uint8_t classification = format::kTypeInternal;
    std::string name;
    bool operator==(const TypeName&) const = default;
};

// The value stored under a table's name in a table tree (the user one or the system one).
struct InternalTableDefinition {
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

    // A new, empty normal table of these types.
    static InternalTableDefinition normal(const TypeSpec& key, const TypeSpec& value);

    // The serialized form: type, length, root (presence byte and 32 bytes), fixed key and value
    // widths (presence byte and u32 each), key and value alignment, key type name length, key
    // type name, value type name.
    static Result<InternalTableDefinition> decode(ByteView data);
    Bytes encode() const;

    // Checks the stored definition against the types a program declares, as redb does when a
    // table is opened: table kind, alignments, type names, fixed widths.
    Status check_types(std::string_view table_name, const TypeSpec& key,
                       const TypeSpec& value) const;
};

// redb's own system tables.
inline constexpr std::string_view kDataFreedTable = "data_pages_unreachable";
inline constexpr std::string_view kSystemFreedTable = "system_pages_unreachable";
inline constexpr std::string_view kAllocatorStateTable = "allocator_state";
inline constexpr std::string_view kSavepointTable = "persistent_savepoints";
inline constexpr std::string_view kDataAllocatedTable = "data_pages_allocated";

// Their key and value types.
TypeSpec freed_pages_key_type();
TypeSpec freed_pages_value_type();
TypeSpec allocator_state_key_type();

}  // namespace redb::detail
