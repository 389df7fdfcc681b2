#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace snv::test {

struct ChildRun {
    int exit_code = -1;
    std::string out;  // standard output, as written
    std::string err;  // standard error, as written
};

// A change of the child's environment against the test's own: a value sets the variable,
// none removes it.
struct EnvChange {
    std::string name;
    std::optional<std::string> value;
};

// Runs `program` with `args` (UTF-8) and waits for it, in folder `cwd` when given. On Windows
// the arguments are quoted into one command line by the C runtime's rules.
ChildRun run_child(const std::filesystem::path& program, const std::vector<std::string>& args,
                   const std::vector<EnvChange>& env = {}, const std::filesystem::path& cwd = {});

#ifdef _WIN32
// Runs `program` with exactly this command line (program name included), as CreateProcessW
// hands it over.
ChildRun run_child_line(const std::filesystem::path& program, const std::string& command_line,
                        const std::vector<EnvChange>& env = {},
                        const std::filesystem::path& cwd = {});
// The same with a UTF-16 line, which may hold what UTF-8 cannot (an unpaired surrogate).
ChildRun run_child_wide_line(const std::filesystem::path& program, const std::wstring& line,
                             const std::vector<EnvChange>& env = {},
                             const std::filesystem::path& cwd = {});
#endif

}  // namespace snv::test
