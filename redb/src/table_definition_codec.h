#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "header_codec.h"
#include "le_bytes.h"

namespace redb::detail {

inline constexpr std::uint8_t kNormalTable = 3;
inline constexpr std::uint8_t kMultimapTable = 4;

// A table's entry in a table tree: its kind, root, widths, alignments and type names.
struct TableDefinition {
    std::uint8_t table_type = kNormalTable;
    std::optional<TreeRoot> root;
    std::uint64_t length = 0;
    std::optional<std::uint32_t> fixed_key;
    std::optional<std::uint32_t> fixed_value;
    std::uint32_t key_alignment = 1;
    std::uint32_t value_alignment = 1;
    Bytes key_type;    // classification byte and name
    Bytes value_type;

    static std::optional<TableDefinition> parse(ByteView bytes);
    Bytes serialize() const;
};

// A type name as the library records it: 1 (its own types) followed by the name.
Bytes internal_type_name(std::string_view name);

// The definitions this library creates.
TableDefinition history_table_definition();
TableDefinition freed_pages_table_definition();
TableDefinition allocator_state_table_definition();

}  // namespace redb::detail
