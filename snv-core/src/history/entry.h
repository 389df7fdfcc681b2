#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "calendar/date_time.h"
#include "model/action.h"

namespace snv::history {

// What a history entry records. The numbers are shared with the other writers of the table.
enum class EntryKind : std::uint8_t {
    executed = 0,
    cancelled = 1,
    snoozed = 2,
    created = 3,
    edited = 4,
    deleted = 5,
    cleanup = 6,
    error = 7,
};

std::string_view entry_kind_name(EntryKind kind);
// Exact, case-sensitive match of one of the eight JSON names.
std::optional<EntryKind> parse_entry_kind(std::string_view name);

// One history record: local time without zone, what happened, the action concerned and a
// free text for the reader (empty for none).
struct Entry {
    calendar::DateTime time;
    EntryKind kind = EntryKind::executed;
    std::optional<model::Action> action;
    std::string detail;

    friend bool operator==(const Entry&, const Entry&) = default;
};

}  // namespace snv::history
