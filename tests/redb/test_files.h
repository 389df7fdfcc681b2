#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "os/db_file.h"
#include "os/path.h"
#include "redb/write_session.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace snv::test {

// A scratch file for the writer tests, named as the oracle (a Linux program) sees it.
inline std::string temp_path(const std::string& name) {
    auto dir = std::string(SNV_BINARY_DIR) + "/writer-tmp";
#ifdef _WIN32
    std::filesystem::create_directories(std::filesystem::path(snv::os::to_native("Z:" + dir)));
#else
    std::filesystem::create_directories(dir);
#endif
    return dir + "/" + name;
}

// The same file as this build's programs address it.
inline snv::os::NativePath native(const std::string& path) {
#ifdef _WIN32
    return snv::os::to_native("Z:" + path);
#else
    return snv::os::to_native(path);
#endif
}

inline void copy_file(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(std::filesystem::path(native(from)), std::filesystem::path(native(to)),
                               std::filesystem::copy_options::overwrite_existing);
}

inline void remove_file(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(std::filesystem::path(native(path)), ec);
}

inline std::uint64_t file_size(const std::string& path) {
    return std::filesystem::file_size(std::filesystem::path(native(path)));
}

inline std::unique_ptr<snv::os::DbFile> open_file(const std::string& path) {
    auto f = snv::os::open_db_file(native(path));
    return f ? std::move(*f) : nullptr;
}

// Stops at the n-th write, resize or sync (counting from 1): that call and every later one
// fails, as if the process had died right there. With `lose_unsynced`, writes since the last
// sync are held back and at the stop only those to the header survive: the worst order in
// which a disk may have kept them.
class StoppingFile : public snv::os::DbFile {
public:
    // What the test reads after the session (and this file) is gone.
    struct Probe {
        std::uint64_t steps = 0;
        bool stopped = false;
    };
    StoppingFile(std::unique_ptr<snv::os::DbFile> inner, std::uint64_t stop_at,
                 std::shared_ptr<Probe> probe, bool lose_unsynced = false)
        : inner_(std::move(inner)), stop_at_(stop_at), probe_(std::move(probe)),
          lose_unsynced_(lose_unsynced) {}
    snv::os::Status read_at(std::uint64_t offset, std::span<std::uint8_t> out) override {
        if (auto r = inner_->read_at(offset, out); !r) return r;
        for (auto& [at, bytes] : pending_) {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                std::uint64_t pos = at + i;
                if (pos >= offset && pos < offset + out.size()) out[pos - offset] = bytes[i];
            }
        }
        return {};
    }
    snv::os::Status write_at(std::uint64_t offset, std::span<const std::uint8_t> data) override {
        if (!step()) return stop();
        if (!lose_unsynced_) return inner_->write_at(offset, data);
        pending_.emplace_back(offset, std::vector<std::uint8_t>(data.begin(), data.end()));
        return {};
    }
    snv::os::Result<std::uint64_t> len() override { return inner_->len(); }
    snv::os::Status set_len(std::uint64_t len) override {
        if (!step()) return stop();
        return inner_->set_len(len);
    }
    snv::os::Status sync() override {
        if (!step()) return stop();
        for (auto& [at, bytes] : pending_)
            if (auto r = inner_->write_at(at, bytes); !r) return r;
        pending_.clear();
        return inner_->sync();
    }
    snv::os::Result<bool> try_lock() override { return inner_->try_lock(); }

private:
    bool step() {
        if (probe_->stopped) return false;
        if (++probe_->steps >= stop_at_) {
            probe_->stopped = true;
            for (auto& [at, bytes] : pending_)
                if (at == 0) (void)inner_->write_at(at, bytes);
            pending_.clear();
        }
        return !probe_->stopped;
    }
    static snv::os::Status stop() { return std::unexpected(snv::os::Error::own("stopped")); }
    std::unique_ptr<snv::os::DbFile> inner_;
    std::uint64_t stop_at_;
    std::shared_ptr<Probe> probe_;
    bool lose_unsynced_;
    std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> pending_;
};

// Runs the redb oracle with these arguments; returns its exit code, its output in `out`.
inline int run_oracle(const std::string& args, std::string* out = nullptr) {
    std::string cmd = std::string(SNV_ORACLE) + " " + args + " 2>&1";
#ifdef _WIN32
    FILE* p = _popen(cmd.c_str(), "r");
#else
    FILE* p = popen(cmd.c_str(), "r");
#endif
    if (!p) return -1;
    std::string text;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) text.append(buf, n);
#ifdef _WIN32
    int rc = _pclose(p);
#else
    int rc = pclose(p);
    rc = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
#endif
    if (out) *out = text;
    return rc;
}

// What `redb-oracle dump` prints for a copy of the file (the original stays untouched).
struct OracleDump {
    int exit_code = -1;
    bool repaired = false;
    std::string tables;
    std::vector<std::pair<std::uint64_t, std::string>> history;
    std::string text;
};

inline OracleDump oracle_dump(const std::string& path) {
    std::string copy = path + ".dump-copy";
    copy_file(path, copy);
    OracleDump d;
    d.exit_code = run_oracle("dump " + copy, &d.text);
    std::size_t pos = 0;
    while (pos < d.text.size()) {
        std::size_t end = d.text.find('\n', pos);
        if (end == std::string::npos) end = d.text.size();
        std::string line = d.text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "# repaired at open")
            d.repaired = true;
        else if (line.starts_with("# tables: "))
            d.tables = line.substr(10);
        else if (line.starts_with("#"))
            continue;
        else if (auto tab = line.find('\t'); tab != std::string::npos)
            d.history.emplace_back(std::stoull(line.substr(0, tab)), line.substr(tab + 1));
    }
    remove_file(copy);
    return d;
}

// `redb-oracle check` (accepting a repair at open or not) on a copy of the file.
inline int oracle_check(const std::string& path, bool allow_repair, std::string* out = nullptr) {
    std::string copy = path + ".check-copy";
    copy_file(path, copy);
    int rc = run_oracle(std::string("check ") + (allow_repair ? "--allow-repair " : "") + copy, out);
    remove_file(copy);
    return rc;
}

inline redb::Result<std::unique_ptr<redb::WriteSession>> open_session(const std::string& path) {
    return redb::WriteSession::open(native(path));
}

}  // namespace snv::test
