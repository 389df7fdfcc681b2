#include "model/action.h"

#include "model/names.h"

namespace snv::model {

namespace {

constexpr NameTable<Action, 8> kActions{{
    "shutdown", "restart", "sleep", "hibernate", "sign_out", "lock", "monitor_off", "screensaver",
}};

}  // namespace

std::string_view action_name(Action action) { return kActions.name(action); }
std::optional<Action> parse_action(std::string_view name) { return kActions.parse(name); }

}  // namespace snv::model
