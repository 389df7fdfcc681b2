// Prints the C runtime's own argument vector, then our split of the process command line, one
// argument a line in hexadecimal UTF-8, so that a test can compare the two.
#include <string>
#include <vector>

#include "command_line.h"
#include "os/console.h"
#include "os/path.h"
#include "os/process.h"

namespace {

std::string hex(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string out = "=";
    for (unsigned char c : text) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out + "\n";
}

void print(const std::vector<std::string>& crt) {
    std::string out;
    for (const std::string& a : crt) out += hex(a);
    out += "--\n";
    for (const std::string& a :
         snv::svc::split_command_line(snv::os::real_process().command_line())) {
        out += hex(a);
    }
    snv::os::real_console().write_out(out);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> crt;
    for (int i = 0; i < argc; ++i) crt.push_back(snv::os::to_utf8(argv[i]));
    print(crt);
    return 0;
}
#else
int main(int argc, char** argv) {
    print(std::vector<std::string>(argv, argv + argc));
    return 0;
}
#endif
