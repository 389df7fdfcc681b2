#include "os/process.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <iterator>
#include <vector>

#include "os/system_error.h"

namespace snv::os {

namespace {

// The Windows quoting of one argument, which the splitting rules undo exactly.
std::string quote(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

class PosixProcess final : public Process {
public:
    // Linux hands over the arguments already split; they are put back into one Windows-style
    // line so that both builds take the same road from here.
    std::string command_line() override {
        std::ifstream in("/proc/self/cmdline", std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string line;
        std::size_t start = 0;
        bool first = true;
        while (start < all.size()) {
            std::size_t end = all.find('\0', start);
            if (end == std::string::npos) end = all.size();
            std::string arg = all.substr(start, end - start);
            if (!first) line += ' ';
            // The program name keeps its backslashes literally; only quotes steer it.
            if (first) std::erase(arg, '"');
            line += first ? "\"" + arg + "\"" : quote(arg);
            first = false;
            start = end + 1;
        }
        return line;
    }

    Result<NativePath> executable_path() override {
        std::vector<char> buffer(4096);
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return std::unexpected(last_system_error());
        if (static_cast<std::size_t>(n) >= buffer.size()) {
            return std::unexpected(Error::own("executable path too long"));
        }
        return NativePath(buffer.data(), static_cast<std::size_t>(n));
    }
};

}  // namespace

Process& real_process() {
    static PosixProcess process;
    return process;
}

void exit_process(int code) { std::exit(code); }

}  // namespace snv::os
