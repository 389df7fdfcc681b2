#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace snv::model {

// What a task does when it fires; the numbers are stored in history entries, so they are fixed.
enum class Action : std::uint8_t {
    shutdown = 0,
    restart = 1,
    sleep = 2,
    hibernate = 3,
    sign_out = 4,
    lock = 5,
    monitor_off = 6,
    screensaver = 7,
};

// The JSON name, also used on the --notify command line and in console lines.
std::string_view action_name(Action action);

// Exact, case-sensitive match of one of the eight JSON names; anything else is unknown.
std::optional<Action> parse_action(std::string_view name);

}  // namespace snv::model
