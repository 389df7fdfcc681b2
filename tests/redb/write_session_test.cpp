#include "redb/write_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_files.h"

namespace {

using snv::test::run_oracle;
using snv::test::StreamStorage;
using snv::test::temp_path;

TEST(WriteSession, EmptyFileBecomesCleanDatabase) {
    std::string path = temp_path("init.redb");
    std::filesystem::remove(path);
    {
        StreamStorage storage(path);
        auto session = redb::WriteSession::open(storage);
        ASSERT_TRUE(session) << session.error().to_string();
        ASSERT_TRUE((*session)->close()) << "close";
    }
    std::string out;
    EXPECT_EQ(0, run_oracle("check " + path, &out)) << out;
}

}  // namespace
