#include "history/import.h"

#include <gtest/gtest.h>

#include "core/history_fakes.h"
#include "history/append.h"
#include "history/prune.h"

namespace snv::history {
namespace {

using namespace testing;

std::string entry_line(int i) {
    return R"({"time":"2026-03-14T22:00:05","kind":"executed","detail":")" + std::to_string(i) +
           R"("})";
}

struct ImportFixture : HistoryFixture {
    const os::NativePath legacy = os::join(os::to_native("data"), "history.jsonl");

    void legacy_file(std::string text) { files.files[legacy] = std::move(text); }
    bool legacy_present() const { return files.files.contains(legacy); }
    os::Status append() { return append_history_text(env, path, "own"); }
};

TEST_F(ImportFixture, LinesGoJustBelowTheMiddleOfAnEmptyTable) {
    legacy_file(entry_line(1) + "\n" + entry_line(2) + "\n" + entry_line(3) + "\n");
    ASSERT_TRUE(append());
    const Table expected = {{9223372036854775804u, entry_line(1)},
                            {9223372036854775805u, entry_line(2)},
                            {9223372036854775806u, entry_line(3)},
                            {9223372036854775807u, "own"}};
    EXPECT_EQ(store.committed, expected);
    EXPECT_EQ(store.commits, 2);  // the import commits on its own, before the append
    EXPECT_FALSE(legacy_present());
}

TEST_F(ImportFixture, LinesGoJustBelowTheOldestEntry) {
    store.committed = keys_from(100, 120);
    std::string text;
    for (int i = 0; i < 5; ++i) text += entry_line(i) + "\n";
    legacy_file(text);
    ASSERT_TRUE(append());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(store.committed.at(95 + i), entry_line(i));
    EXPECT_EQ(store.committed.begin()->first, 95u);
    EXPECT_EQ(store.committed.rbegin()->first, 121u);
}

TEST_F(ImportFixture, LineEndsAndRejectedLines) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> stored;
    } cases[] = {
        {"crlf", entry_line(1) + "\r\n" + entry_line(2) + "\r\n", {entry_line(1), entry_line(2)}},
        {"no final line end", entry_line(1) + "\n" + entry_line(2), {entry_line(1), entry_line(2)}},
        {"final lone cr",
         entry_line(1) + "\n" + entry_line(2) + "\r",
         {entry_line(1), entry_line(2) + "\r"}},
        {"broken, empty, incomplete",
         entry_line(1) + "\n{\"time\":\n" + entry_line(3) + "\n\n" +
             R"({"time":"2026-03-14T22:00:05"})" + "\n",
         {entry_line(1), entry_line(3)}},
        {"blanks and an extra key",
         "  {\"id\":7, \"time\":\"2026-03-14T22:00:05\",\"kind\":\"error\"} \n",
         {"  {\"id\":7, \"time\":\"2026-03-14T22:00:05\",\"kind\":\"error\"} "}},
        {"every line rejected", "nothing\n\n[]\n", {}},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store.committed.clear();
        legacy_file(c.text);
        ASSERT_TRUE(append());
        std::vector<std::string> stored;
        for (const auto& [key, value] : store.committed) stored.push_back(value);
        stored.pop_back();  // the append's own entry
        EXPECT_EQ(stored, c.stored);
        if (!c.stored.empty()) {
            EXPECT_EQ(store.committed.begin()->first, kEmptyTableImportBase - c.stored.size());
        }
        EXPECT_FALSE(legacy_present());
    }
}

TEST_F(ImportFixture, InvalidUtf8KeepsTheFileForTheNextAppend) {
    legacy_file(entry_line(1) + "\n" +
                "{\"time\":\"2026-03-14T22:00:05\",\"kind\":\"error\",\"detail\":\"\xff\"}" + "\n");
    ASSERT_TRUE(append());
    ASSERT_TRUE(append());
    EXPECT_EQ(store.committed, (Table{{0, "own"}, {1, "own"}}));
    EXPECT_TRUE(legacy_present());
    EXPECT_EQ(files.reads, 2);
}

TEST_F(ImportFixture, TheLastTenThousandLinesStay) {
    std::string text;
    for (int i = 0; i < 12000; ++i) text += entry_line(i) + "\n";
    legacy_file(text);
    ASSERT_TRUE(append());
    EXPECT_EQ(store.committed.size(), kHistoryLimit);
    // The import kept lines 2000..11999; the append's own entry pushed out line 2000.
    EXPECT_EQ(store.committed.begin()->second, entry_line(2001));
    EXPECT_EQ(store.committed.rbegin()->second, "own");
    EXPECT_EQ(store.committed.rbegin()->first, kEmptyTableImportBase);
}

TEST_F(ImportFixture, NoRoomBelowTheOldestEntryImportsNothingAndKeepsTheFile) {
    store.committed = keys_from(2, 4);
    legacy_file(entry_line(1) + "\n" + entry_line(2) + "\n" + entry_line(3) + "\n");
    ASSERT_TRUE(append());
    EXPECT_EQ(store.committed.size(), 4u);
    EXPECT_EQ(store.committed.begin()->first, 2u);
    EXPECT_TRUE(legacy_present());
}

TEST_F(ImportFixture, ExactlyEnoughRoomUsesKeyZero) {
    store.committed = keys_from(2, 4);
    legacy_file(entry_line(1) + "\n" + entry_line(2) + "\n");
    ASSERT_TRUE(append());
    EXPECT_EQ(store.committed.at(0), entry_line(1));
    EXPECT_EQ(store.committed.at(1), entry_line(2));
    EXPECT_FALSE(legacy_present());
}

TEST_F(ImportFixture, StorageFailureKeepsTheFileAndTheAppendGoesOn) {
    for (const char* op : {"begin", "table", "first", "insert", "count", "commit"}) {
        SCOPED_TRACE(op);
        store.committed.clear();
        store.fail_on = op;
        store.fail_after = 0;
        legacy_file(entry_line(1) + "\n" + entry_line(2) + "\n");
        const bool appended = bool(append());
        // The import's failure is dropped; the append's own operations may still succeed.
        EXPECT_TRUE(legacy_present());
        for (const auto& [key, value] : store.committed) EXPECT_EQ(value, "own");
        store.fail_on.clear();
        (void)appended;
    }
}

TEST_F(ImportFixture, UndeletableFileIsImportedAgainBelowTheFirstImport) {
    files.fail_remove = true;
    legacy_file(entry_line(1) + "\n" + entry_line(2) + "\n");
    ASSERT_TRUE(append());
    ASSERT_TRUE(append());
    const std::vector<std::string> expected = {entry_line(1), entry_line(2), entry_line(1),
                                               entry_line(2), "own",         "own"};
    std::vector<std::string> stored;
    for (const auto& [key, value] : store.committed) stored.push_back(value);
    EXPECT_EQ(stored, expected);
}

}  // namespace
}  // namespace snv::history
