// The history log on the real file system and our redb library, checked with the real redb
// library (the oracle), in both builds.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "history/entry_json.h"
#include "history/history_log.h"
#include "os/clock.h"
#include "os/environment.h"
#include "os/file_system.h"
#include "redb/storage_backend.h"
#include "support/child_process.h"
#include "support/desktop_program.h"
#include "support/redb_files.h"
#include "support/temp_folder.h"

#include <thread>

#ifndef _WIN32
#include <cstdio>
#endif

namespace snv::history {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void put(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    test::write_file(path, bytes);
}

// The history log on the real clock, file system and file storage.
HistoryLog& real_log() {
    static paths::DataDir data_dir(os::real_environment(), os::real_file_system());
    static HistoryLog log(os::real_clock(), os::real_file_system(), data_dir,
                          redb::open_file_backend);
    return log;
}

Entry sample(std::string detail = "d") {
    return {entry_time({2026, 3, 14, 22, 0, 5, 400'000'000}), EntryKind::executed,
            model::Action::shutdown, std::move(detail)};
}
const std::string kSampleText =
    R"({"time":"2026-03-14T22:00:05","kind":"executed","action":"shutdown","detail":"d"})";

std::string legacy_line(int i) {
    return R"({"time":"2026-01-01T00:00:00","kind":"cancelled","detail":")" + std::to_string(i) +
           R"("})";
}

using Rows = std::vector<std::string>;  // "key<TAB>value", in key order

std::string row(std::uint64_t key, const std::string& value) {
    return std::to_string(key) + "\t" + value;
}

// The rows the real library dumps for a copy of the file.
Rows dump(const std::string& path) {
    const test::OracleDump d = test::oracle_dump(path);
    EXPECT_EQ(d.exit_code, 0) << d.text;
    Rows rows;
    for (const auto& [key, value] : d.history) rows.push_back(row(key, value));
    return rows;
}

// Each case does its appends in a folder of its own under the build folder, where the oracle
// (a Linux program, also under Wine) sees it.
struct Case {
    std::string folder;  // as the oracle names it
    std::string db;
    explicit Case(const std::string& name)
        : folder(std::string(SNV_BINARY_DIR) + "/history-files/" + name),
          db(folder + "/data/history.redb") {
        std::error_code ignored;
        fs::remove_all(test::native(folder), ignored);
        fs::create_directories(test::native(folder + "/data"));
    }
    fs::path path(const std::string& name) const { return test::native(folder + "/" + name); }
    os::Status append(const Entry& entry = sample()) {
        return real_log().append_history_entry(test::native(db).native(), entry);
    }

    // A database written by the real library, and its rows.
    Rows fixture(const std::string& kind) {
        EXPECT_EQ(test::oracle_fixture(kind, db), 0);
        return dump(db);
    }

    // The file must pass the real library's check and hold exactly these rows.
    void expect_rows(const Rows& rows) {
        EXPECT_EQ(dump(db), rows);
        std::string out;
        EXPECT_EQ(test::oracle_check(db, false, &out), 0) << out;
    }
};

TEST(HistoryOracle, FirstAppendCreatesFolderFileAndKeyZero) {
    Case c("first");
    ASSERT_TRUE(c.append());
    ASSERT_TRUE(c.append(sample("second")));
    c.expect_rows(
        {row(0, kSampleText),
         row(1,
             R"({"time":"2026-03-14T22:00:05","kind":"executed","action":"shutdown","detail":"second"})")});
}

TEST(HistoryOracle, ExactEntryTextsAreStored) {
    Case c("texts");
    const Entry entries[] = {
        {entry_time({2026, 3, 14, 22, 0, 5, 0}), EntryKind::executed, model::Action::shutdown,
         "Shut down \u00b7 Every day at 22:00"},
        {entry_time({2026, 2, 1, 9, 5, 0, 0}), EntryKind::error, std::nullopt, ""},
        {entry_time({2026, 12, 31, 23, 59, 59, 900'000'000}), EntryKind::error, model::Action::lock,
         "q\"b\\l\nx\u00e9"},
    };
    for (const Entry& e : entries) ASSERT_TRUE(c.append(e));
    c.expect_rows({
        row(0,
            "{\"time\":\"2026-03-14T22:00:05\",\"kind\":\"executed\",\"action\":\"shutdown\","
            "\"detail\":\"Shut down \xc2\xb7 Every day at 22:00\"}"),
        row(1, R"({"time":"2026-02-01T09:05:00","kind":"error"})"),
        row(2,
            "{\"time\":\"2026-12-31T23:59:59\",\"kind\":\"error\",\"action\":\"lock\","
            "\"detail\":\"q\\\"b\\\\l\\nx\xc3\xa9\"}"),
    });
}

TEST(HistoryOracle, KeysFollowTheLargestKeyOfAFileRedbWrote) {
    Case c("keys");
    Rows rows = c.fixture("history:35:7");
    ASSERT_EQ(rows.size(), 35u);
    ASSERT_TRUE(rows.front().starts_with("7\t"));
    ASSERT_TRUE(c.append());
    rows.push_back(row(42, kSampleText));
    c.expect_rows(rows);
}

TEST(HistoryOracle, FullTableStaysAtTheLimit) {
    Case c("full");
    Rows rows = c.fixture("history:10000:0");
    ASSERT_EQ(rows.size(), 10000u);
    ASSERT_TRUE(c.append());
    rows.erase(rows.begin());
    rows.push_back(row(10000, kSampleText));
    c.expect_rows(rows);
}

TEST(HistoryOracle, NoKeyLeftChangesNothing) {
    Case c("nokey");
    const Rows rows = c.fixture("history:1:18446744073709551615");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_FALSE(c.append());
    c.expect_rows(rows);
}

// A table "history" of other types is another program's: the append fails, and the real
// library still opens the file without repair and finds the table with its own types.
TEST(HistoryOracle, TableOfOtherTypesFailsTheAppend) {
    const std::pair<const char*, const char*> cases[] = {{"wrong-key", "Table<u32, &str>"},
                                                         {"wrong-value", "Table<u64, &[u8]>"}};
    for (const auto& [kind, type] : cases) {
        SCOPED_TRACE(kind);
        Case c(kind);
        ASSERT_EQ(test::oracle_fixture(kind, c.db), 0);
        EXPECT_FALSE(c.append());
        std::string out;
        test::run_oracle("dump '" + c.db + "'", &out);
        EXPECT_TRUE(out.starts_with("# tables: history\n")) << out;
        EXPECT_NE(out.find(type), std::string::npos) << out;
    }
}

TEST(HistoryOracle, ImportThreeLinesIntoNewFile) {
    Case c("import3");
    put(c.path("data/history.jsonl"),
        legacy_line(1) + "\r\n" + "broken{\n" + legacy_line(2) + "\n\n" + legacy_line(3));
    ASSERT_TRUE(c.append());
    EXPECT_FALSE(fs::exists(c.path("data/history.jsonl")));
    c.expect_rows(
        {row(9223372036854775804u, legacy_line(1)), row(9223372036854775805u, legacy_line(2)),
         row(9223372036854775806u, legacy_line(3)), row(9223372036854775807u, kSampleText)});
}

TEST(HistoryOracle, ImportBelowTheSmallestKeyOfAFileRedbWrote) {
    Case c("import100");
    const Rows stored = c.fixture("history:3:100");
    std::string text;
    for (int i = 0; i < 5; ++i) text += legacy_line(i) + "\n";
    put(c.path("data/history.jsonl"), text);
    ASSERT_TRUE(c.append());
    Rows rows;
    for (int i = 0; i < 5; ++i) rows.push_back(row(95 + i, legacy_line(i)));
    rows.insert(rows.end(), stored.begin(), stored.end());
    rows.push_back(row(103, kSampleText));
    c.expect_rows(rows);
}

// Lines 0..n-1 of a history.jsonl, each ending with a line feed.
std::string legacy_text(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += legacy_line(i) + "\n";
    return text;
}

// The rows of n imported lines below the middle of an empty table, followed by these entries.
Rows imported_then(int n, const std::vector<std::string>& own) {
    Rows rows;
    const std::uint64_t first_key = 9223372036854775807u - static_cast<std::uint64_t>(n);
    for (int i = 0; i < n; ++i) rows.push_back(row(first_key + i, legacy_line(i)));
    for (std::size_t i = 0; i < own.size(); ++i) rows.push_back(row(first_key + n + i, own[i]));
    return rows;
}

// A process killed after the import's commit, before history.jsonl was deleted: the next
// append finds the lines in the table and only deletes the file.
TEST(HistoryOracle, AnImportKilledBeforeTheDeleteIsNotStoredAgain) {
    Case c("import-killed");
    put(c.path("data/history.jsonl"), legacy_text(3000));
    {
        test::RunningChild probe(test::built_program("history_probe"),
                                 {test::os_form(c.path("data")), "--stop-before-delete"});
        ASSERT_TRUE(probe.wait_for_output(
            [](const std::string& out) { return out.find("committed\n") != std::string::npos; },
            60s))
            << probe.errors();
        probe.kill();
    }
    ASSERT_TRUE(fs::exists(c.path("data/history.jsonl")));
    ASSERT_TRUE(c.append());
    EXPECT_FALSE(fs::exists(c.path("data/history.jsonl")));
    c.expect_rows(imported_then(3000, {kSampleText}));
}

#ifdef _WIN32
// Another process holds history.jsonl open without delete sharing, or the file is read-only:
// two appends cannot delete it and do not store its lines again; once it can be deleted, the
// third append does so.
TEST(HistoryOracle, AFileThatCannotBeDeletedIsImportedOnce) {
    const std::pair<const char*, bool> cases[] = {{"held open", true}, {"read-only", false}};
    for (const auto& [what, held] : cases) {
        SCOPED_TRACE(what);
        Case c(held ? "jsonl-held" : "jsonl-read-only");
        const fs::path legacy = c.path("data/history.jsonl");
        put(legacy, legacy_text(50));
        std::optional<test::HeldFile> holder;
        if (held) {
            holder.emplace(legacy, c.path("holder"));
            ASSERT_TRUE(holder->held());
        } else {
            fs::permissions(
                legacy, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                fs::perm_options::remove);
        }
        ASSERT_TRUE(c.append(sample("1")));
        ASSERT_TRUE(c.append(sample("2")));
        ASSERT_TRUE(fs::exists(legacy));
        if (held) {
            EXPECT_EQ(holder->release(), 0);
        } else {
            fs::permissions(legacy, fs::perms::owner_write, fs::perm_options::add);
        }
        ASSERT_TRUE(c.append(sample("3")));
        EXPECT_FALSE(fs::exists(legacy));
        std::vector<std::string> own;
        for (const char* detail : {"1", "2", "3"}) own.push_back(write_entry_json(sample(detail)));
        c.expect_rows(imported_then(50, own));
    }
}
#endif

TEST(HistoryOracle, InvalidUtf8LeavesTheFile) {
    Case c("badutf8");
    const std::string text = legacy_line(1) + "\n\xc3(\n";
    put(c.path("data/history.jsonl"), text);
    ASSERT_TRUE(c.append());
    ASSERT_TRUE(c.append());
    EXPECT_EQ(test::read_file(c.path("data/history.jsonl")), text);
    c.expect_rows({row(0, kSampleText), row(1, kSampleText)});
}

TEST(HistoryOracle, TwelveThousandLinesKeepTheLastTenThousand) {
    Case c("import12000");
    std::string text;
    for (int i = 0; i < 12000; ++i) text += legacy_line(i) + "\n";
    put(c.path("data/history.jsonl"), text);
    ASSERT_TRUE(c.append());
    EXPECT_FALSE(fs::exists(c.path("data/history.jsonl")));
    // Lines 2000..11999 were imported under keys ending just below 2^63-1; the append's own
    // entry then pushed out line 2000.
    Rows rows;
    const std::uint64_t first_key = 9223372036854775807u - 12000;
    for (int i = 2001; i < 12000; ++i) rows.push_back(row(first_key + i, legacy_line(i)));
    rows.push_back(row(9223372036854775807u, kSampleText));
    c.expect_rows(rows);
}

TEST(HistoryFiles, NonDatabaseFileFailsAtOnceAndStaysAsItWas) {
    Case c("notredb");
    const std::string text = "these are someone else's bytes, not a database\n";
    put(test::native(c.db), text);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(c.append());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(test::read_file(test::native(c.db)), text);
}

TEST(HistoryFiles, FolderNamedLikeTheFileFailsAtOnce) {
    Case c("folder");
    fs::create_directories(test::native(c.db));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(c.append());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_TRUE(fs::is_directory(test::native(c.db)));
    EXPECT_TRUE(fs::is_empty(test::native(c.db)));
}

// A crash while the first append laid out a new file leaves it at its first size with a header
// of zeros: the next append makes a database of it, which the real library accepts.
TEST(HistoryOracle, AnInterruptedCreationIsInitializedByTheNextAppend) {
    Case c("interrupted");
    put(test::native(c.db), std::string(1056768, '\0'));
    ASSERT_TRUE(c.append());
    c.expect_rows({row(0, kSampleText)});
}

#ifndef _WIN32
// history.redb is a symbolic link planted in the data folder: the append refuses it like any
// failed open, and whatever it points to stays byte for byte.
TEST(HistoryOracle, ALinkInPlaceOfTheFileIsRefused) {
    Case c("link");
    const fs::path empty = c.path("empty-target");
    const fs::path database = c.path("redb-target");
    put(empty, "");
    ASSERT_EQ(test::oracle_fixture("history:3:0", database.string()), 0);
    for (const fs::path& target : {empty, database}) {
        SCOPED_TRACE(target.string());
        const std::string before = test::read_file(target);
        fs::remove(c.db);
        fs::create_symlink(target, c.db);
        EXPECT_FALSE(c.append());
        EXPECT_EQ(test::read_file(target), before);
        EXPECT_TRUE(fs::is_symlink(c.db));
    }
}
#endif

// Another handle on the file holds its lock for a while, as the desktop program would: the
// append waits and then stores its entry. Runs in both builds (LockFileEx under Wine).
TEST(HistoryOracle, WaitsForAnotherHandleOfTheFile) {
    Case c("hold-handle");
    ASSERT_TRUE(c.append());
    auto holder = redb::open_file_backend(test::native(c.db));
    ASSERT_TRUE(holder);
    std::thread release([&] {
        std::this_thread::sleep_for(300ms);
        holder->reset();
    });
    const auto start = std::chrono::steady_clock::now();
    const bool stored = bool(c.append());
    const auto waited = std::chrono::steady_clock::now() - start;
    release.join();
    EXPECT_TRUE(stored);
    EXPECT_GE(waited, 280ms);
    EXPECT_LT(waited, 1500ms);
    c.expect_rows({row(0, kSampleText), row(1, kSampleText)});
}

#ifndef _WIN32
// Holds the file with the real library for `millis` and returns how long after the release
// our append finished, and how long the append took.
struct HoldResult {
    bool stored = false;
    std::chrono::milliseconds after_release{0};
    std::chrono::milliseconds waited{0};
};

HoldResult append_while_held(Case& c, int millis) {
    c.fixture("empty");
    FILE* p =
        popen(test::oracle_command("hold '" + c.db + "' " + std::to_string(millis)).c_str(), "r");
    char line[256];
    EXPECT_TRUE(fgets(line, sizeof line, p) && std::string(line) == "held\n");

    std::chrono::steady_clock::time_point released;
    std::thread reader([&] {
        if (fgets(line, sizeof line, p) && std::string(line) == "released\n") {
            released = std::chrono::steady_clock::now();
        }
    });
    const auto start = std::chrono::steady_clock::now();
    HoldResult r;
    r.stored = bool(c.append());
    const auto end = std::chrono::steady_clock::now();
    reader.join();
    pclose(p);
    r.waited = std::chrono::duration_cast<std::chrono::milliseconds>(end - start);
    r.after_release = std::chrono::duration_cast<std::chrono::milliseconds>(end - released);
    return r;
}

TEST(HistoryOracle, WaitsForAHolderOfOneSecond) {
    Case c("hold1");
    HoldResult r = append_while_held(c, 1000);
    std::printf("held 1 s: append waited %lld ms, finished %lld ms after the release\n",
                static_cast<long long>(r.waited.count()),
                static_cast<long long>(r.after_release.count()));
    ASSERT_TRUE(r.stored);
    EXPECT_GE(r.waited, 900ms);
    EXPECT_LT(r.after_release, 200ms);  // ~20 ms pause plus one open and two transactions
    c.expect_rows({row(0, kSampleText)});
}

TEST(HistoryOracle, GivesUpOnAHolderOfFiveSeconds) {
    Case c("hold5");
    HoldResult r = append_while_held(c, 5000);
    std::printf("held 5 s: append gave up after %lld ms\n",
                static_cast<long long>(r.waited.count()));
    EXPECT_FALSE(r.stored);
    EXPECT_GE(r.waited, 3000ms);
    EXPECT_LT(r.waited, 3500ms);
    c.expect_rows({});
}
#endif

}  // namespace
}  // namespace snv::history
