#include "support/child_process.h"

#include <stdexcept>
#include <thread>

#include "os/path.h"
#include "os/quote_argument.h"
#include "support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
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

ChildRun run_child_wide_line(const std::filesystem::path& program, const std::wstring& command_line,
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
    CloseHandle(out_write);
    CloseHandle(err_write);
    if (!started) {
        CloseHandle(out_read);
        CloseHandle(err_read);
        throw std::runtime_error("CreateProcessW failed for " + os_form(program));
    }
    ChildRun run;
    std::thread err_reader([&] { run.err = drain(err_read); });
    run.out = drain(out_read);
    err_reader.join();
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    run.exit_code = static_cast<int>(code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return run;
}

ChildRun run_child(const std::filesystem::path& program, const std::vector<std::string>& args,
                   const std::vector<EnvChange>& env, const std::filesystem::path& cwd) {
    std::string line = "\"" + os_form(program) + "\"";
    for (const std::string& arg : args) line += " " + os::quote_argument(arg);
    return run_child_line(program, line, env, cwd);
}

#else

ChildRun run_child(const std::filesystem::path& program, const std::vector<std::string>& args,
                   const std::vector<EnvChange>& env, const std::filesystem::path& cwd) {
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
    if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out_pipe[0]);
    posix_spawn_file_actions_addclose(&actions, err_pipe[0]);
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
    ChildRun run;
    std::thread err_reader([&] { run.err = drain(err_pipe[0]); });
    run.out = drain(out_pipe[0]);
    err_reader.join();
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

#endif

}  // namespace snv::test
