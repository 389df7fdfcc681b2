#include "command.h"

#include "os/path.h"
#include "process_data_dir.h"

namespace snv::svc {

namespace {

char lower_ascii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_data_option(std::string_view arg) {
    constexpr std::string_view option = "--data";
    if (arg.size() != option.size()) return false;
    for (std::size_t i = 0; i < option.size(); ++i) {
        if (lower_ascii(arg[i]) != option[i]) return false;
    }
    return true;
}

}  // namespace

ParsedCommand parse_command(std::string_view argument) {
    std::size_t start = argument.find_first_not_of("-/");
    if (start == std::string_view::npos) start = argument.size();
    ParsedCommand parsed;
    for (char c : argument.substr(start)) parsed.text += lower_ascii(c);
    if (parsed.text == "install") {
        parsed.command = Command::install;
    } else if (parsed.text == "uninstall") {
        parsed.command = Command::uninstall;
    } else if (parsed.text == "console" || parsed.text == "c") {
        parsed.command = Command::console;
    }
    return parsed;
}

void take_data_option(std::vector<std::string>& args,
                      const std::function<void(std::string_view)>& set_folder) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!is_data_option(args[i])) continue;
        auto first = args.begin() + static_cast<std::ptrdiff_t>(i);
        auto last = first + 1;
        if (i + 1 < args.size()) {
            if (!args[i + 1].empty()) set_folder(args[i + 1]);
            ++last;
        }
        args.erase(first, last);
        return;
    }
}

void take_data_option(std::vector<std::string>& args) {
    take_data_option(
        args, [](std::string_view folder) { process_data_dir().set(os::to_native(folder)); });
}

}  // namespace snv::svc
