#include "history/entry.h"

#include "model/names.h"

namespace snv::history {

namespace {

constexpr model::NameTable<EntryKind, 8> kKindNames{
    {"executed", "cancelled", "snoozed", "created", "edited", "deleted", "cleanup", "error"}};

}  // namespace

std::string_view entry_kind_name(EntryKind kind) {
    return kKindNames.name(kind);
}

std::optional<EntryKind> parse_entry_kind(std::string_view name) {
    return kKindNames.parse(name);
}

}  // namespace snv::history
