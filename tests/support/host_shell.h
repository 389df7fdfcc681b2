#pragma once

// Commands of the host's own shell, for what only the host can make (a FIFO, say) or run (the
// redb oracle, a Linux program). Natively through popen; under Wine through Z:\bin\sh, which
// Wine starts without waiting for it, so the script leaves its output and exit code in files
// under the build folder. Header-only: redb's own test build uses it too.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>

#ifdef _WIN32
#include <process.h>
#else
#include <sys/wait.h>
#endif

namespace snv::test {

// The host's (Unix) form of a path this build's programs use: under Wine without its drive.
inline std::string host_path(const std::filesystem::path& path) {
    std::string text = path.generic_string();
#ifdef _WIN32
    if (text.starts_with("Z:")) text.erase(0, 2);
#endif
    return text;
}

// Runs `script` with sh -c and waits for it; returns its exit code (-1 when it could not be
// run), its standard output and error in `out`.
inline int run_host_shell(const std::string& script, std::string* out = nullptr) {
#ifdef _WIN32
    // Named by process as well: several test programs run the shell at once.
    static int counter = 0;
    const std::filesystem::path dir = std::filesystem::path("Z:" SNV_BINARY_DIR) / "host-shell";
    std::filesystem::create_directories(dir);
    const std::string base =
        (dir / (std::to_string(_getpid()) + "-" + std::to_string(++counter))).generic_string();
    const std::filesystem::path out_file = base + ".out", rc_file = base + ".rc";
    std::error_code ignored;
    std::filesystem::remove(rc_file, ignored);
    const std::string rc_host = host_path(rc_file);
    const std::string wrapped = "{ " + script + "; } > '" + host_path(out_file) +
                                "' 2>&1; echo $? > '" + rc_host + ".tmp'; mv '" + rc_host +
                                ".tmp' '" + rc_host + "'";
    // The C runtime joins the arguments with blanks, unquoted.
    const std::string quoted = "\"" + wrapped + "\"";
    const char* argv[] = {"sh", "-c", quoted.c_str(), nullptr};
    _spawnv(_P_WAIT, "Z:\\bin\\sh", argv);
    for (int i = 0; i < 6000 && !std::filesystem::exists(rc_file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    auto slurp = [](const std::filesystem::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string rc = slurp(rc_file);
    if (out) *out = slurp(out_file);
    std::filesystem::remove(rc_file, ignored);
    std::filesystem::remove(out_file, ignored);
    return rc.empty() ? -1 : std::stoi(rc);
#else
    FILE* p = popen(("{ " + script + "; } 2>&1").c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) text.append(buf, n);
    const int rc = pclose(p);
    if (out) *out = text;
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
#endif
}

// A FIFO at `path` (of this build's form), as another program may plant one, removed again
// by the host when the object goes: the C++ library under Wine cannot remove one (it loops on
// it), so declare this after the folder that holds it.
class HostFifo {
  public:
    explicit HostFifo(std::filesystem::path path) : path_(std::move(path)) {
        made_ = run_host_shell("mkfifo '" + host_path(path_) + "'") == 0;
    }
    ~HostFifo() { (void)run_host_shell("rm -f '" + host_path(path_) + "'"); }
    HostFifo(const HostFifo&) = delete;
    HostFifo& operator=(const HostFifo&) = delete;

    bool made() const { return made_; }

  private:
    std::filesystem::path path_;
    bool made_ = false;
};

}  // namespace snv::test
