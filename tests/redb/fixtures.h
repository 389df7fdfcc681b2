#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "os/path.h"
#include "redb/database.h"

namespace redb_test {

// The folder the redb_fixtures setup test fills, as this build's programs address it.
inline std::string fixture_dir() {
#ifdef _WIN32
    return std::string("Z:") + SNV_BINARY_DIR + "/redb-fixtures";
#else
    return std::string(SNV_BINARY_DIR) + "/redb-fixtures";
#endif
}

inline std::string fixture(const std::string& name) { return fixture_dir() + "/" + name; }

inline std::vector<std::uint8_t> read_file(const std::string& path) {
    std::ifstream in(std::filesystem::path(snv::os::to_native(path)), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string read_text(const std::string& path) {
    auto b = read_file(path);
    return {b.begin(), b.end()};
}

inline void write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(std::filesystem::path(snv::os::to_native(path)), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A scratch copy of a fixture, so that a test never changes the shared one.
inline std::string scratch_copy(const std::string& fixture_name, const std::string& copy_name) {
    const std::string path = fixture("scratch-" + copy_name);
    write_file(path, read_file(fixture(fixture_name)));
    return path;
}

#ifndef _WIN32
// Runs the oracle with `args` and returns what it printed (standard output and error).
inline std::string run_oracle(const std::string& args) {
    std::string out;
    FILE* p = popen((std::string(SNV_ORACLE) + " " + args + " 2>&1").c_str(), "r");
    if (p == nullptr) return out;
    char buf[512];
    while (fgets(buf, sizeof buf, p) != nullptr) out += buf;
    pclose(p);
    return out;
}
#endif

inline redb::Result<redb::Database> open_path(const std::string& path) {
    return redb::Database::create(snv::os::to_native(path));
}

}  // namespace redb_test
