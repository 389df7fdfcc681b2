#include "support/child_process.h"

#include <stdexcept>
#include <thread>

#include "os/path.h"
#include "os/quote_argument.h"
#include "support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace snv::test {

namespace {

bool same_name(const std::string& a, const std::string& b) {
#ifdef _WIN32
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
#else
    return a == b;
#endif
}

// "NAME=VALUE" entries of the test's environment with the changes applied.
std::vector<std::string> child_environment(const std::vector<std::string>& own,
                                           const std::vector<EnvChange>& changes) {
    std::vector<std::string> out;
    for (const std::string& entry : own) {
        // Windows keeps per-drive folders as "=C:=..." entries: their name starts after the '='.
        std::size_t eq = entry.find('=', 1);
        std::string name = entry.substr(0, eq);
        bool changed = false;
        for (const EnvChange& c : changes) changed = changed || same_name(c.name, name);
        if (!changed) out.push_back(entry);
    }
    for (const EnvChange& c : changes) {
        if (c.value) out.push_back(c.name + "=" + *c.value);
    }
    return out;
}

#ifdef _WIN32

std::vector<std::string> own_environment() {
    std::vector<std::string> out;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p != L'\0'; p += wcslen(p) + 1) out.push_back(os::to_utf8(p));
    FreeEnvironmentStringsW(block);
    return out;
}

std::string drain(HANDLE h) {
    std::string out;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
    CloseHandle(h);
    return out;
}

#else

std::string drain(int fd) {
    std::string out;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return out;
}

#endif

}  // namespace

#ifdef _WIN32

ChildRun run_child_line(const std::filesystem::path& program, const std::string& command_line,
                        const std::vector<EnvChange>& env, const std::filesystem::path& cwd) {
    return run_child_wide_line(program, os::to_native(command_line), env, cwd);
}

struct RunningChild::Process {
    HANDLE process = nullptr;
    HANDLE out = nullptr;  // read ends of the child's standard output and error
    HANDLE err = nullptr;
};

namespace {

RunningChild::Process spawn(const std::filesystem::path& program, const std::wstring& command_line,
                            const std::vector<EnvChange>& env, const std::filesystem::path& cwd) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out_read, out_write, err_read, err_write;
    if (!CreatePipe(&out_read, &out_write, &inherit, 0) ||
        !CreatePipe(&err_read, &err_write, &inherit, 0)) {
        throw std::runtime_error("CreatePipe failed");
    }
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);

    std::wstring block;
    for (const std::string& entry : child_environment(own_environment(), env)) {
        block += os::to_native(entry);
        block += L'\0';
    }
    block += L'\0';

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out_write;
    si.hStdError = err_write;
    PROCESS_INFORMATION pi{};
    std::wstring application = os::to_native(os_form(program));
    std::wstring line = command_line;
    std::wstring folder = cwd.empty() ? L"" : os::to_native(os_form(cwd));
    BOOL started = CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE,
                                  CREATE_UNICODE_ENVIRONMENT, block.data(),
                                  cwd.empty() ? nullptr : folder.c_str(), &si, &pi);
    const DWORD error = started ? 0 : GetLastError();
    CloseHandle(out_write);
    CloseHandle(err_write);
    if (!started) {
        CloseHandle(out_read);
        CloseHandle(err_read);
        throw std::runtime_error("CreateProcessW failed for " + os_form(program) + " (os error " +
                                 std::to_string(error) + ")");
    }
    CloseHandle(pi.hThread);
    return {pi.hProcess, out_read, err_read};
}

std::wstring windows_line(const std::filesystem::path& program,
                          const std::vector<std::string>& args) {
    std::string line = "\"" + os_form(program) + "\"";
    for (const std::string& arg : args) line += " " + os::quote_argument(arg);
    return os::to_native(line);
}

int wait_for_exit(RunningChild::Process& p) {
    WaitForSingleObject(p.process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(p.process, &code);
    CloseHandle(p.process);
    p.process = nullptr;
    return static_cast<int>(code);
}

}  // namespace

ChildRun run_child_wide_line(const std::filesystem::path& program, const std::wstring& command_line,
                             const std::vector<EnvChange>& env, const std::filesystem::path& cwd) {
    RunningChild::Process p = spawn(program, command_line, env, cwd);
    ChildRun run;
    std::thread err_reader([&] { run.err = drain(p.err); });
    run.out = drain(p.out);
    err_reader.join();
    run.exit_code = wait_for_exit(p);
    return run;
}

ChildRun run_child(const std::filesystem::path& program, const std::vector<std::string>& args,
                   const std::vector<EnvChange>& env, const std::filesystem::path& cwd) {
    return run_child_wide_line(program, windows_line(program, args), env, cwd);
}

#else

struct RunningChild::Process {
    pid_t pid = 0;
    int out = -1;  // read ends of the child's standard output and error
    int err = -1;
};

namespace {

RunningChild::Process spawn(const std::filesystem::path& program,
                            const std::vector<std::string>& args, const std::vector<EnvChange>& env,
                            const std::filesystem::path& cwd) {
    std::vector<std::string> own;
    for (char** p = environ; *p != nullptr; ++p) own.emplace_back(*p);
    std::vector<std::string> entries = child_environment(own, env);
    std::vector<char*> envp;
    for (std::string& e : entries) envp.push_back(e.data());
    envp.push_back(nullptr);

    std::string path = program.string();
    std::vector<std::string> argv_text{path};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out_pipe[2], err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
    std::string folder = cwd.string();
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    if (spawned != 0) {
        ::close(out_pipe[0]);
        ::close(err_pipe[0]);
        throw std::runtime_error("posix_spawn failed for " + path);
    }
    return {pid, out_pipe[0], err_pipe[0]};
}

int wait_for_exit(RunningChild::Process& p) {
    int status = 0;
    while (::waitpid(p.pid, &status, 0) < 0 && errno == EINTR) {
    }
    p.pid = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

ChildRun run_child(const std::filesystem::path& program, const std::vector<std::string>& args,
                   const std::vector<EnvChange>& env, const std::filesystem::path& cwd) {
    RunningChild::Process p = spawn(program, args, env, cwd);
    ChildRun run;
    std::thread err_reader([&] { run.err = drain(p.err); });
    run.out = drain(p.out);
    err_reader.join();
    run.exit_code = wait_for_exit(p);
    return run;
}

#endif

RunningChild::RunningChild(const std::filesystem::path& program,
                           const std::vector<std::string>& args, const std::vector<EnvChange>& env,
                           const std::filesystem::path& cwd) {
#ifdef _WIN32
    process_ = std::make_unique<Process>(spawn(program, windows_line(program, args), env, cwd));
#else
    process_ = std::make_unique<Process>(spawn(program, args, env, cwd));
#endif
    out_reader_ = std::thread([this] { read_into(out_, false); });
    err_reader_ = std::thread([this] { read_into(err_, true); });
}

RunningChild::~RunningChild() {
    kill();
}

void RunningChild::read_into(std::string& text, bool standard_error) {
#ifdef _WIN32
    HANDLE h = standard_error ? process_->err : process_->out;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        std::lock_guard lock(mutex_);
        text.append(buffer, n);
        grew_.notify_all();
    }
    CloseHandle(h);
#else
    int fd = standard_error ? process_->err : process_->out;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        std::lock_guard lock(mutex_);
        text.append(buffer, static_cast<std::size_t>(n));
        grew_.notify_all();
    }
    ::close(fd);
#endif
}

bool RunningChild::wait_for_output(const std::function<bool(const std::string&)>& ready,
                                   std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return grew_.wait_for(lock, limit, [&] { return ready(out_); });
}

std::string RunningChild::output() {
    std::lock_guard lock(mutex_);
    return out_;
}

std::string RunningChild::errors() {
    std::lock_guard lock(mutex_);
    return err_;
}

void RunningChild::kill() {
    if (!process_) return;
#ifdef _WIN32
    if (process_->process != nullptr) {
        TerminateProcess(process_->process, 1);
        wait_for_exit(*process_);
    }
#else
    if (process_->pid != 0) {
        ::kill(process_->pid, SIGKILL);
        wait_for_exit(*process_);
    }
#endif
    if (out_reader_.joinable()) out_reader_.join();
    if (err_reader_.joinable()) err_reader_.join();
}

}  // namespace snv::test
