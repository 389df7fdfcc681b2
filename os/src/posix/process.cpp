#include "os/process.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "os/quote_argument.h"
#include "os/system_error.h"

namespace snv::os {

namespace {

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
            line += first ? "\"" + arg + "\"" : quote_argument(arg);
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

void exit_process(int code) {
    std::exit(code);
}

}  // namespace snv::os
