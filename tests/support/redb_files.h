#pragma once

// Files for the redb tests and the real library's verdict on them, given by the interop tool
// (tools/redb-interop, "the oracle" here). It is a Linux program: natively it runs here; under
// Wine it runs through the host's shell. Paths are kept in the oracle's (Unix) form; `native`
// gives the form this build's programs open.

#include <gtest/gtest.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "redb/database.h"
#include "support/host_shell.h"

namespace snv::test {

// The same file as this build's programs address it: under Wine a Unix path needs its drive.
inline std::filesystem::path native(const std::string& path) {
#ifdef _WIN32
    return std::filesystem::path("Z:" + path);
#else
    return std::filesystem::path(path);
#endif
}

// The oracle's form of a path this build's programs use (under Wine: without its drive).
inline std::string oracle_path(const std::filesystem::path& path) {
    return host_path(path);
}

// A scratch file of the redb tests under the build folder.
inline std::string scratch_path(const std::string& name) {
    const std::string dir = std::string(SNV_BINARY_DIR) + "/redb-scratch";
    std::filesystem::create_directories(native(dir));
    return dir + "/" + name;
}

// Only tests of a suite whose name holds "Oracle" may run the oracle or read what it wrote:
// those are the tests that exist only when the tool is built.
inline void expect_oracle_suite() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (test != nullptr && std::string(test->test_suite_name()).find("Oracle") == std::string::npos)
        ADD_FAILURE() << "the oracle is used by a test outside the suites named *Oracle*";
}

// A file the redb_fixtures setup wrote before the tests (tests/redb/make_fixtures.sh).
inline std::string fixture(const std::string& name) {
    expect_oracle_suite();
    return std::string(SNV_BINARY_DIR) + "/redb-fixtures/" + name;
}

inline std::vector<std::uint8_t> read_bytes(const std::string& path) {
    std::ifstream in(native(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(native(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// By hand: mingw's std::filesystem::copy_file does not overwrite an existing file.
inline void copy_file(const std::string& from, const std::string& to) {
    write_bytes(to, read_bytes(from));
}

inline void remove_file(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(native(path), ignored);
}

inline std::uint64_t file_size(const std::string& path) {
    return std::filesystem::file_size(native(path));
}

// The shell command that runs the oracle with these arguments.
inline std::string oracle_command(const std::string& args) {
    expect_oracle_suite();
    return std::string(SNV_ORACLE) + " " + args;
}

// Runs the redb oracle with these arguments; returns its exit code, its output (standard
// output and error) in `out`.
inline int run_oracle(const std::string& args, std::string* out = nullptr) {
    return run_host_shell(oracle_command(args), out);
}

// The real library writes a fixture database (the oracle's `fixture KIND PATH`).
inline int oracle_fixture(const std::string& kind, const std::string& path) {
    remove_file(path);
    return run_oracle("fixture " + kind + " '" + path + "'");
}

// What the oracle's `dump` prints, parsed.
struct OracleDump {
    int exit_code = -1;
    bool repaired = false;
    std::string tables;
    std::vector<std::pair<std::uint64_t, std::string>> history;
    std::string text;
};

inline OracleDump parse_dump(std::string text, int exit_code = 0) {
    OracleDump d;
    d.exit_code = exit_code;
    d.text = std::move(text);
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
    return d;
}

// The dump of a copy of the file: opening with redb may repair it, and the original must stay.
inline OracleDump oracle_dump(const std::string& path) {
    const std::string copy = path + ".dump-copy";
    copy_file(path, copy);
    std::string text;
    const int rc = run_oracle("dump '" + copy + "'", &text);
    remove_file(copy);
    return parse_dump(std::move(text), rc);
}

// The oracle's `check` (accepting a repair at open or not) on a copy of the file.
inline int oracle_check(const std::string& path, bool allow_repair, std::string* out = nullptr) {
    const std::string copy = path + ".check-copy";
    copy_file(path, copy);
    const int rc = run_oracle(
        std::string("check ") + (allow_repair ? "--allow-repair '" : "'") + copy + "'", out);
    remove_file(copy);
    return rc;
}

inline constexpr redb::TableDefinition<redb::U64, redb::Str> kHistoryTable{"history"};

// A write transaction with the table "history" open in it.
struct HistoryWrite {
    redb::WriteTransaction txn;
    redb::Table<redb::U64, redb::Str> table;
};

inline redb::Result<HistoryWrite> write_history(redb::Database& db) {
    auto txn = db.begin_write();
    if (!txn) return std::unexpected(txn.error());
    auto table = txn->open_table(kHistoryTable);
    if (!table) return std::unexpected(table.error());
    return HistoryWrite{std::move(*txn), std::move(*table)};
}

// One append as the history log makes it, in one transaction: under the last key plus one (0
// in an empty table), then the oldest entries removed down to 10000.
inline redb::Status append_one(redb::Database& db, const std::string& text) {
    auto w = write_history(db);
    if (!w) return std::unexpected(w.error());
    auto last = w->table.last();
    if (!last) return std::unexpected(last.error());
    if (auto r = w->table.insert(*last ? (*last)->first + 1 : 0, text); !r) return r;
    for (auto n = w->table.len(); n && *n > 10000; n = w->table.len())
        if (auto r = w->table.pop_first(); !r) return std::unexpected(r.error());
    return w->txn.commit();
}

// A small database written by our own library, for tests that need one but not the real
// library's verdict (and so run without the oracle).
inline void write_own_database(const std::string& path) {
    remove_file(path);
    auto db = redb::Database::create(native(path));
    ASSERT_TRUE(db.has_value()) << db.error().to_string();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(append_one(*db, "entry " + std::to_string(i)));
}

}  // namespace snv::test
