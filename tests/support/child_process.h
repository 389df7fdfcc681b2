#pragma once

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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

// A child process left running while the test reads its standard output as it comes, then
// killed. Its standard error is collected too.
class RunningChild {
  public:
    RunningChild(const std::filesystem::path& program, const std::vector<std::string>& args,
                 const std::vector<EnvChange>& env = {}, const std::filesystem::path& cwd = {});
    // Kills the child if it still runs.
    ~RunningChild();
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

    // Waits until the standard output so far satisfies `ready` or `limit` has passed; tells
    // whether it did.
    bool wait_for_output(const std::function<bool(const std::string&)>& ready,
                         std::chrono::milliseconds limit);
    std::string output();
    std::string errors();
    // Ends the child at once and waits for it.
    void kill();

    struct Process;  // the platform's handles

  private:
    void read_into(std::string& text, bool standard_error);

    std::unique_ptr<Process> process_;
    std::mutex mutex_;
    std::condition_variable grew_;
    std::string out_;
    std::string err_;
    std::thread out_reader_;
    std::thread err_reader_;
};

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
