// Files that are not (or no longer) readable databases: each gives its error, none is touched.
#include <gtest/gtest.h>

#include "redb/fixtures.h"
#include "super_header.h"

namespace {

using redb::ErrorKind;

struct BadFile {
    const char* name;
    std::vector<std::uint8_t> (*make)(std::vector<std::uint8_t>);
    ErrorKind expected;
};

std::vector<std::uint8_t> set_versions(std::vector<std::uint8_t> b, std::uint8_t v) {
    b[redb::format::kSlot0Offset] = v;
    b[redb::format::kSlot1Offset] = v;
    return b;
}

const BadFile kBadFiles[] = {
    {"text", [](std::vector<std::uint8_t>) { return std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o', '\n'}; },
     ErrorKind::NotRedb},
    {"zeros", [](std::vector<std::uint8_t>) { return std::vector<std::uint8_t>(8192, 0); }, ErrorKind::NotRedb},
    {"version1", [](std::vector<std::uint8_t> b) { return set_versions(std::move(b), 1); }, ErrorKind::UpgradeRequired},
    {"version2", [](std::vector<std::uint8_t> b) { return set_versions(std::move(b), 2); }, ErrorKind::UpgradeRequired},
    {"version4", [](std::vector<std::uint8_t> b) { return set_versions(std::move(b), 4); }, ErrorKind::Corrupted},
    {"magic_only", [](std::vector<std::uint8_t> b) { b.resize(100); return b; }, ErrorKind::Corrupted},
    {"one_page", [](std::vector<std::uint8_t> b) { b.resize(4096); return b; }, ErrorKind::Corrupted},
    {"half", [](std::vector<std::uint8_t> b) { b.resize(b.size() / 2 + 1); return b; }, ErrorKind::Corrupted},
    {"page_size", [](std::vector<std::uint8_t> b) { b[redb::format::kPageSizeOffset + 1] = 0x20; return b; },
     ErrorKind::Corrupted},
    {"both_slots_bad",
     [](std::vector<std::uint8_t> b) {
         b[redb::format::kSlot0Offset + redb::format::kSlotChecksumOffset] ^= 1;
         b[redb::format::kSlot1Offset + redb::format::kSlotChecksumOffset] ^= 1;
         b[redb::format::kGodByteOffset] &= static_cast<std::uint8_t>(~redb::format::kTwoPhaseCommit);
         return b;
     },
     ErrorKind::Corrupted},
};

TEST(OpenErrors, EachBadFileGivesItsErrorAndStaysUntouched) {
    const auto good = redb_test::read_file(redb_test::fixture("history_3_5.redb"));
    ASSERT_FALSE(good.empty());
    for (const auto& bad : kBadFiles) {
        const auto bytes = bad.make(good);
        const std::string path = redb_test::fixture(std::string("scratch-bad-") + bad.name);
        redb_test::write_file(path, bytes);
        {
            auto db = redb_test::open_path(path);
            ASSERT_FALSE(db.has_value()) << bad.name;
            EXPECT_EQ(db.error().kind, bad.expected) << bad.name << ": " << db.error().to_string();
        }
        EXPECT_EQ(redb_test::read_file(path), bytes) << bad.name;
    }
}

TEST(OpenErrors, AMissingFolderIsAnIoError) {
    auto db = redb_test::open_path(redb_test::fixture("no-such-folder/history.redb"));
    ASSERT_FALSE(db.has_value());
    EXPECT_EQ(db.error().kind, ErrorKind::Io);
}

TEST(SuperHeader, ParsesAndSerializesBackToTheSameBytes) {
    for (const char* name : {"empty.redb", "big_5000.redb", "crash_20.redb", "nondurable_10.redb"}) {
        const auto file = redb_test::read_file(redb_test::fixture(name));
        ASSERT_GE(file.size(), redb::format::kSuperHeaderSize) << name;
        auto header = redb::parse_super_header(redb::Bytes(file.data(), file.size()));
        ASSERT_TRUE(header.has_value()) << name << ": " << header.error().to_string();
        auto bytes = header->encode();
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), file.begin())) << name;
    }
}

TEST(SuperHeader, ACorruptSlotIsKeptVerbatimAndTheOtherChosen) {
    auto file = redb_test::read_file(redb_test::fixture("history_3_5.redb"));
    file[redb::format::kGodByteOffset] &= static_cast<std::uint8_t>(~redb::format::kTwoPhaseCommit);
    const int primary = file[redb::format::kGodByteOffset] & 1;
    const std::size_t slot = primary ? redb::format::kSlot1Offset : redb::format::kSlot0Offset;
    file[slot + 20] ^= 0xFF;
    auto header = redb::parse_super_header(redb::Bytes(file.data(), file.size()));
    ASSERT_TRUE(header.has_value());
    EXPECT_TRUE(header->primary_slot().corrupted());
    auto bytes = header->encode();
    EXPECT_TRUE(std::equal(bytes.begin() + 9, bytes.end(), file.begin() + 9));
    auto clean = redb::finalize_super_header(*header, file.size());
    ASSERT_TRUE(clean.has_value());
    EXPECT_FALSE(*clean);
    EXPECT_EQ(header->primary, primary ^ 1);
}

}  // namespace
