// The file lock, against our own second handle and against redb itself.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "support/redb_files.h"

namespace {

using namespace snv::test;

TEST(Lock, ASecondOpenIsAlreadyOpenUntilTheFirstCloses) {
    const std::string path = scratch_path("lock-self.redb");
    write_own_database(path);
    auto first = redb::Database::create(native(path));
    ASSERT_TRUE(first.has_value()) << first.error().to_string();
    auto second = redb::Database::create(native(path));
    ASSERT_FALSE(second.has_value());
    EXPECT_EQ(second.error().kind, redb::ErrorKind::AlreadyOpen);
    // A transaction keeps the database, and its lock, after the database object is gone.
    auto txn = first->begin_read();
    ASSERT_TRUE(txn);
    first = std::unexpected(redb::Error{});
    EXPECT_FALSE(redb::Database::create(native(path)).has_value());
    txn = std::unexpected(redb::Error{});
    auto third = redb::Database::create(native(path));
    EXPECT_TRUE(third.has_value()) << third.error().to_string();
}

#ifndef _WIN32
// Runs the oracle in the background; its output comes through a pipe, line by line.
struct OracleProcess {
    FILE* out = nullptr;
    explicit OracleProcess(const std::string& args) {
        out = popen((oracle_command(args) + " 2>&1").c_str(), "r");
    }
    std::string line() {
        char buf[512];
        if (out == nullptr || fgets(buf, sizeof buf, out) == nullptr) return {};
        return buf;
    }
    int close() {
        const int status = pclose(out);
        out = nullptr;
        return status;
    }
    ~OracleProcess() {
        if (out != nullptr) pclose(out);
    }
};

// Both sides only meet natively: Wine's LockFileEx is not the host's flock.
TEST(OracleLock, WhileRedbHoldsTheFileOpeningFailsAtOnceThenSucceeds) {
    const std::string path = scratch_path("lock-held.redb");
    copy_file(fixture("history_3_5.redb"), path);
    OracleProcess hold("hold '" + path + "' 1500");
    ASSERT_EQ(hold.line(), "held\n");
    const auto start = std::chrono::steady_clock::now();
    auto busy = redb::Database::create(native(path));
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_FALSE(busy.has_value());
    EXPECT_EQ(busy.error().kind, redb::ErrorKind::AlreadyOpen);
    EXPECT_LT(took, std::chrono::milliseconds(500));  // no waiting inside the library
    EXPECT_EQ(hold.line(), "released\n");
    EXPECT_EQ(hold.close(), 0);
    auto after = redb::Database::create(native(path));
    EXPECT_TRUE(after.has_value()) << after.error().to_string();
}

TEST(OracleLock, WhileWeHoldTheFileRedbCannotAppend) {
    const std::string path = scratch_path("lock-ours.redb");
    copy_file(fixture("history_3_5.redb"), path);
    auto db = redb::Database::create(native(path));
    ASSERT_TRUE(db.has_value());
    OracleProcess append("append '" + path + "' text");
    std::string all, l;
    while (!(l = append.line()).empty()) all += l;
    EXPECT_NE(append.close(), 0);
    EXPECT_NE(all.find("Database already open"), std::string::npos) << all;
}
#endif

}  // namespace
