#include "redb/write_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_files.h"

namespace {

using namespace snv::test;

TEST(WriteSession, EmptyFileBecomesCleanDatabase) {
    std::string path = temp_path("init.redb");
    remove_file(path);
    {
        auto session = open_session(path);
        ASSERT_TRUE(session) << session.error().to_string();
        ASSERT_TRUE((*session)->close()) << "close";
    }
    std::string out;
    EXPECT_EQ(0, oracle_check(path, false, &out)) << out;
}

}  // namespace
