#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace snv::svc {

// The run that the first argument asks for.
enum class Command { install, uninstall, console, unknown };

struct ParsedCommand {
    Command command = Command::unknown;
    std::string text;  // the argument without leading '-' and '/', ASCII letters lowered
};

ParsedCommand parse_command(std::string_view argument);

// Removes the first "--data" (ASCII case ignored) and the element after it from `args`; hands a
// non-empty value to `set_folder` (UTF-8, as given).
void take_data_option(std::vector<std::string>& args,
                      const std::function<void(std::string_view)>& set_folder);
// The same, fixing the process's data folder.
void take_data_option(std::vector<std::string>& args);

}  // namespace snv::svc
