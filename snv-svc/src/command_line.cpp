#include "command_line.h"

#include <cstddef>

namespace snv::svc {

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// The program name: quotes switch quoting and are dropped, backslashes are always literal, and
// the name ends at the first blank or TAB outside quotes.
std::size_t take_program_name(std::string_view line, std::string& name) {
    bool quoted = false;
    std::size_t i = 0;
    for (; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (is_blank(c) && !quoted) {
            break;
        } else {
            name += c;
        }
    }
    return i;
}

// One later argument starting at `i` (not a blank); returns the index just past it.
std::size_t take_argument(std::string_view line, std::size_t i, std::string& arg) {
    bool quoted = false;
    while (i < line.size()) {
        char c = line[i];
        if (c == '\\') {
            std::size_t run = 0;
            while (i < line.size() && line[i] == '\\') {
                ++run;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                arg.append(run / 2, '\\');
                if (run % 2 == 1) {
                    arg += '"';
                    ++i;
                }
                // With an even run the quote is handled as a quote on the next pass.
            } else {
                arg.append(run, '\\');
            }
        } else if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                arg += '"';  // "" inside quotes: one literal quote, still quoted
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else if (is_blank(c) && !quoted) {
            break;
        } else {
            arg += c;
            ++i;
        }
    }
    return i;
}

}  // namespace

std::vector<std::string> split_command_line(std::string_view line) {
    std::vector<std::string> args;
    std::string name;
    std::size_t i = take_program_name(line, name);
    args.push_back(std::move(name));
    for (;;) {
        while (i < line.size() && is_blank(line[i])) ++i;
        if (i == line.size()) break;
        std::string arg;
        i = take_argument(line, i, arg);
        args.push_back(std::move(arg));
    }
    return args;
}

}  // namespace snv::svc
