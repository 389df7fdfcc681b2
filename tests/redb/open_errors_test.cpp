// Files that are not (or no longer) readable databases: each gives its error, none is touched.
#include <gtest/gtest.h>

#include <filesystem>

#include "allocators.h"
#include "super_header.h"
#include "support/redb_files.h"

namespace {

using namespace snv::test;
using redb::ErrorKind;
namespace format = redb::detail::format;
using Image = std::vector<std::uint8_t>;

struct BadFile {
    const char* name;
    Image (*make)(Image);
    ErrorKind expected;
};

Image set_versions(Image b, std::uint8_t v) {
    b[format::kSlot0Offset] = v;
    b[format::kSlot1Offset] = v;
    return b;
}

// The size of a new database before its first close.
constexpr std::size_t kNewDatabaseBytes = 1056768;

const BadFile kBadFiles[] = {
    {"text", [](Image) { return Image{'h', 'e', 'l', 'l', 'o', '\n'}; }, ErrorKind::NotRedb},
    // Zeros beyond the size of a new database are no interrupted creation.
    {"zeros", [](Image) { return Image(kNewDatabaseBytes + 4096, 0); }, ErrorKind::NotRedb},
    // No magic number, and a header page that is not all zero.
    {"zero_magic",
     [](Image) {
         Image b(8192, 0);
         b[100] = 1;
         return b;
     },
     ErrorKind::NotRedb},
    {"version1", [](Image b) { return set_versions(std::move(b), 1); }, ErrorKind::UpgradeRequired},
    {"version2", [](Image b) { return set_versions(std::move(b), 2); }, ErrorKind::UpgradeRequired},
    {"version4", [](Image b) { return set_versions(std::move(b), 4); }, ErrorKind::Corrupted},
    // redb checks the region geometry before the commit slots.
    {"version1_no_regions",
     [](Image b) {
         b = set_versions(std::move(b), 1);
         b[format::kGodByteOffset] &= static_cast<std::uint8_t>(~format::kRecoveryRequired);
         std::fill_n(b.begin() + format::kFullRegionsOffset, 8, 0);
         return b;
     },
     ErrorKind::Corrupted},
    {"magic_only",
     [](Image b) {
         b.resize(100);
         return b;
     },
     ErrorKind::Corrupted},
    {"one_page",
     [](Image b) {
         b.resize(4096);
         return b;
     },
     ErrorKind::Corrupted},
    {"half",
     [](Image b) {
         b.resize(b.size() / 2 + 1);
         return b;
     },
     ErrorKind::Corrupted},
    {"page_size",
     [](Image b) {
         b[format::kPageSizeOffset + 1] = 0x20;
         return b;
     },
     ErrorKind::Corrupted},
    {"both_slots_bad",
     [](Image b) {
         b[format::kSlot0Offset + format::kSlotChecksumOffset] ^= 1;
         b[format::kSlot1Offset + format::kSlotChecksumOffset] ^= 1;
         b[format::kGodByteOffset] &= static_cast<std::uint8_t>(~format::kTwoPhaseCommit);
         return b;
     },
     ErrorKind::Corrupted},
};

TEST(OracleOpenErrors, EachBadFileGivesItsErrorAndStaysUntouched) {
    const auto good = read_bytes(fixture("history_3_5.redb"));
    ASSERT_FALSE(good.empty());
    for (const auto& bad : kBadFiles) {
        const auto bytes = bad.make(good);
        const std::string path = scratch_path(std::string("bad-") + bad.name);
        write_bytes(path, bytes);
        {
            auto db = redb::Database::create(native(path));
            ASSERT_FALSE(db.has_value()) << bad.name;
            EXPECT_EQ(db.error().kind, bad.expected) << bad.name << ": " << db.error().to_string();
        }
        EXPECT_EQ(read_bytes(path), bytes) << bad.name;
    }
}

// What a crash leaves while a new file is laid out: the file at its first size with a header
// page of zeros, or with the header written but not yet its magic number. The next open
// makes a database of it; nobody can have committed anything into such a file.
TEST(OpenErrors, AnInterruptedCreationIsInitializedAnew) {
    auto unmarked = redb::detail::SuperHeader::new_database(
        redb::detail::RegionTracker(format::kInitialRegions, format::kMaxPageOrder + 1)
            .serialized_size());
    ASSERT_EQ(unmarked.layout.len(), kNewDatabaseBytes);
    Image header_without_magic(kNewDatabaseBytes, 0);
    const auto head = unmarked.encode(false);
    std::copy(head.begin(), head.end(), header_without_magic.begin());
    const std::pair<const char*, Image> cases[] = {
        {"all zero, new size", Image(kNewDatabaseBytes, 0)},
        {"all zero, shorter", Image(8192, 0)},
        {"header without magic", header_without_magic},
    };
    for (const auto& [name, bytes] : cases) {
        auto backend = std::make_unique<redb::InMemoryBackend>(bytes);
        auto contents = backend->contents();
        auto db = redb::Database::create(std::move(backend));
        ASSERT_TRUE(db) << name << ": " << db.error().to_string();
        ASSERT_TRUE(append_one(*db, "first")) << name;
        ASSERT_TRUE(db->close()) << name;
        auto again = redb::Database::create(std::make_unique<redb::InMemoryBackend>(*contents));
        ASSERT_TRUE(again) << name;
        EXPECT_FALSE(again->repaired_at_open()) << name;
        auto table = again->begin_read()->open_table(kHistoryTable);
        ASSERT_TRUE(table) << name;
        EXPECT_EQ(table->len(), 1u) << name;
    }
}

TEST(OpenErrors, AMissingFolderOrAFolderInsteadOfTheFileIsAnIoError) {
    for (const std::string& path :
         {scratch_path("no-such-folder/history.redb"), scratch_path("a-folder")}) {
        std::filesystem::create_directories(native(scratch_path("a-folder")));
        auto db = redb::Database::create(native(path));
        ASSERT_FALSE(db.has_value()) << path;
        EXPECT_EQ(db.error().kind, ErrorKind::Io) << path;
    }
}

#ifndef _WIN32
// A symbolic link in place of the file is refused, whatever it points to, and its target stays
// as it was.
TEST(OpenErrors, ASymbolicLinkInPlaceOfTheFileIsRefused) {
    const std::string empty_target = scratch_path("link-target-empty");
    const std::string redb_target = scratch_path("link-target.redb");
    write_bytes(empty_target, {});
    write_own_database(redb_target);
    const std::string nowhere = scratch_path("link-nowhere");
    remove_file(nowhere);
    for (const std::string& target : {empty_target, redb_target, nowhere}) {
        const std::string link = scratch_path("link.redb");
        remove_file(link);
        std::filesystem::create_symlink(target, link);
        const auto before = read_bytes(target);
        auto db = redb::Database::create(native(link));
        ASSERT_FALSE(db.has_value()) << target;
        EXPECT_EQ(db.error().kind, ErrorKind::Io) << target;
        EXPECT_EQ(read_bytes(target), before) << target;
    }
    EXPECT_FALSE(std::filesystem::exists(nowhere));
}
#endif

// A second name of a file that lies elsewhere (a hard link) is refused like a symbolic link:
// neither an empty file nor a database behind it gains a byte.
TEST(OpenErrors, AFileWithASecondNameIsRefusedAndNotWritten) {
    const std::string empty_target = scratch_path("hard-target-empty");
    const std::string redb_target = scratch_path("hard-target.redb");
    write_bytes(empty_target, {});
    write_own_database(redb_target);
    for (const std::string& target : {empty_target, redb_target}) {
        const std::string second = scratch_path("hard-link.redb");
        remove_file(second);
        std::filesystem::create_hard_link(native(target), native(second));
        const auto before = read_bytes(target);
        {
            auto db = redb::Database::create(native(second));
            ASSERT_FALSE(db.has_value()) << target;
            EXPECT_EQ(db.error().kind, ErrorKind::Io) << target;
            EXPECT_NE(db.error().to_string().find("more than one name"), std::string::npos)
                << db.error().to_string();
        }
        EXPECT_EQ(read_bytes(target), before) << target;
    }
}

// A FIFO in place of the file is refused at once, with a text that says what stands there.
TEST(OpenErrors, AFifoInPlaceOfTheFileIsRefusedByName) {
    const std::string fifo = scratch_path("fifo.redb");
    remove_file(fifo);
    const HostFifo planted(native(fifo));
    ASSERT_TRUE(planted.made());
    auto db = redb::Database::create(native(fifo));
    ASSERT_FALSE(db.has_value());
    EXPECT_EQ(db.error().kind, ErrorKind::Io);
    EXPECT_NE(db.error().to_string().find("FIFO in place of the file"), std::string::npos)
        << db.error().to_string();
}

TEST(OracleSuperHeader, ParsesAndSerializesBackToTheSameBytes) {
    for (const char* name :
         {"empty.redb", "big_5000.redb", "crash_20.redb", "nondurable_10.redb"}) {
        const auto file = read_bytes(fixture(name));
        ASSERT_GE(file.size(), format::kSuperHeaderSize) << name;
        auto header = redb::detail::parse_super_header(file);
        ASSERT_TRUE(header.has_value()) << name << ": " << header.error().to_string();
        auto bytes = header->encode();
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), file.begin())) << name;
    }
}

TEST(OracleSuperHeader, ACorruptSlotIsKeptVerbatimAndTheOtherChosen) {
    auto file = read_bytes(fixture("history_3_5.redb"));
    file[format::kGodByteOffset] &= static_cast<std::uint8_t>(~format::kTwoPhaseCommit);
    const int primary = file[format::kGodByteOffset] & 1;
    const std::size_t slot = primary ? format::kSlot1Offset : format::kSlot0Offset;
    file[slot + 20] ^= 0xFF;
    auto header = redb::detail::parse_super_header(file);
    ASSERT_TRUE(header.has_value());
    EXPECT_TRUE(header->primary_slot().corrupted());
    auto bytes = header->encode();
    EXPECT_TRUE(std::equal(bytes.begin() + 9, bytes.end(), file.begin() + 9));
    auto clean = redb::detail::finalize_super_header(*header, file.size());
    ASSERT_TRUE(clean.has_value());
    EXPECT_FALSE(*clean);
    EXPECT_EQ(header->primary, primary ^ 1);
}

}  // namespace
