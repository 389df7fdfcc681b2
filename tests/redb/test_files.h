#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

#include "redb/storage.h"

namespace snv::test {

using snv::os::Error;

// A database file read and written through iostreams, for tests of the redb writer.
class StreamStorage : public redb::Storage {
public:
    explicit StreamStorage(std::string path);
    snv::os::Result<std::uint64_t> length() override;
    snv::os::Status read(std::uint64_t offset, std::span<std::uint8_t> out) override;
    snv::os::Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override;
    snv::os::Status set_length(std::uint64_t length) override;
    snv::os::Status sync() override;
    std::uint64_t writes = 0, syncs = 0;

private:
    std::string path_;
    std::fstream file_;
};

// Stops at the n-th write or sync (counting both from 1): that call and every later one
// fails without touching the file, as if the process had died there.
class StoppingStorage : public redb::Storage {
public:
    StoppingStorage(redb::Storage& inner, std::uint64_t stop_at) : inner_(inner), stop_at_(stop_at) {}
    snv::os::Result<std::uint64_t> length() override { return inner_.length(); }
    snv::os::Status read(std::uint64_t offset, std::span<std::uint8_t> out) override {
        return inner_.read(offset, out);
    }
    snv::os::Status write(std::uint64_t offset, std::span<const std::uint8_t> data) override;
    snv::os::Status set_length(std::uint64_t length) override;
    snv::os::Status sync() override;
    bool stopped() const { return stopped_; }
    std::uint64_t steps() const { return steps_; }

private:
    bool step();
    redb::Storage& inner_;
    std::uint64_t stop_at_;
    std::uint64_t steps_ = 0;
    bool stopped_ = false;
};





inline StreamStorage::StreamStorage(std::string path) : path_(std::move(path)) {
    if (!std::filesystem::exists(path_)) std::ofstream(path_, std::ios::binary).flush();
    file_.open(path_, std::ios::in | std::ios::out | std::ios::binary);
}

inline snv::os::Result<std::uint64_t> StreamStorage::length() {
    file_.flush();
    std::error_code ec;
    auto n = std::filesystem::file_size(path_, ec);
    if (ec) return std::unexpected(Error::own(ec.message()));
    return n;
}

inline snv::os::Status StreamStorage::read(std::uint64_t offset, std::span<std::uint8_t> out) {
    file_.clear();
    file_.seekg(std::streamoff(offset));
    file_.read(reinterpret_cast<char*>(out.data()), std::streamsize(out.size()));
    if (!file_ || std::size_t(file_.gcount()) != out.size()) {
        file_.clear();
        return std::unexpected(Error::own("short read"));
    }
    return {};
}

inline snv::os::Status StreamStorage::write(std::uint64_t offset, std::span<const std::uint8_t> data) {
    ++writes;
    file_.clear();
    file_.seekp(std::streamoff(offset));
    file_.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    if (!file_) return std::unexpected(Error::own("write failed"));
    return {};
}

inline snv::os::Status StreamStorage::set_length(std::uint64_t length) {
    file_.flush();
    std::error_code ec;
    std::filesystem::resize_file(path_, length, ec);
    if (ec) return std::unexpected(Error::own(ec.message()));
    return {};
}

inline snv::os::Status StreamStorage::sync() {
    ++syncs;
    file_.flush();
    return {};
}

inline bool StoppingStorage::step() {
    if (stopped_) return false;
    if (++steps_ >= stop_at_) {
        stopped_ = true;
        return false;
    }
    return true;
}

inline snv::os::Status StoppingStorage::write(std::uint64_t offset, std::span<const std::uint8_t> data) {
    if (!step()) return std::unexpected(Error::own("stopped"));
    return inner_.write(offset, data);
}

inline snv::os::Status StoppingStorage::set_length(std::uint64_t length) {
    if (!step()) return std::unexpected(Error::own("stopped"));
    return inner_.set_length(length);
}

inline snv::os::Status StoppingStorage::sync() {
    if (!step()) return std::unexpected(Error::own("stopped"));
    return inner_.sync();
}

inline std::string temp_path(const std::string& name) {
    auto dir = std::filesystem::path(SNV_BINARY_DIR) / "test-tmp";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

inline void copy_file(const std::string& from, const std::string& to) {
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

inline std::string oracle_path(const std::string& path) { return path; }

// Runs the redb oracle with these arguments; returns its exit code, output in `out`.
inline int run_oracle(const std::string& args, std::string* out = nullptr) {
    std::string cmd = std::string(SNV_ORACLE) + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    std::string text;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) text.append(buf, n);
    int rc = pclose(p);
    if (out) *out = text;
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
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
        if (line == "# repaired at open") d.repaired = true;
        else if (line.starts_with("# tables: ")) d.tables = line.substr(10);
        else if (line.starts_with("#")) continue;
        else if (auto tab = line.find('\t'); tab != std::string::npos)
            d.history.emplace_back(std::stoull(line.substr(0, tab)), line.substr(tab + 1));
    }
    std::filesystem::remove(copy);
    return d;
}

// `redb-oracle check` (with or without accepting a repair) on a copy of the file.
inline int oracle_check(const std::string& path, bool allow_repair, std::string* out = nullptr) {
    std::string copy = path + ".check-copy";
    copy_file(path, copy);
    int rc = run_oracle(std::string("check ") + (allow_repair ? "--allow-repair " : "") + copy, out);
    std::filesystem::remove(copy);
    return rc;
}

}  // namespace snv::test
