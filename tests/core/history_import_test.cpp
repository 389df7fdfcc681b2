#include <gtest/gtest.h>

#include "core/history_fixture.h"
#include "history/legacy_import.h"

namespace snv::history {
namespace {

using namespace testing;

std::string entry_line(int i) {
    return R"({"time":"2026-03-14T22:00:05","kind":"executed","detail":")" + std::to_string(i) +
           R"("})";
}

struct ImportFixture : HistoryFixture {
    const std::string legacy = test::joined("data", "history.jsonl");

    void legacy_file(const std::string& text) { files.add_file(legacy, text); }
    bool legacy_present() const { return files.entries.contains(legacy); }
    os::Status append() { return log.append_history_text(path, "own"); }
    std::vector<std::string> values() {
        std::vector<std::string> out;
        for (const auto& [key, value] : stored()) out.push_back(value);
        return out;
    }
};

TEST_F(ImportFixture, LinesGoJustBelowTheMiddleOfAnEmptyTable) {
    legacy_file(entry_line(1) + "\n" + entry_line(2) + "\n" + entry_line(3) + "\n");
    ASSERT_TRUE(append());
    const Table expected = {{9223372036854775804u, entry_line(1)},
                            {9223372036854775805u, entry_line(2)},
                            {9223372036854775806u, entry_line(3)},
                            {9223372036854775807u, "own"}};
    EXPECT_EQ(stored(), expected);
    EXPECT_FALSE(legacy_present());
}

// The import commits on its own, before the append: an append stopped after that commit
// leaves the imported lines without its own entry.
TEST_F(ImportFixture, TheImportCommitsBeforeTheAppend) {
    const std::string text = entry_line(1) + "\n" + entry_line(2) + "\n";
    const std::vector<std::string> imported = {entry_line(1), entry_line(2)};
    bool seen_import_alone = false, completed = false;
    for (std::uint64_t stop = 1; !completed && stop < 200; ++stop) {
        SCOPED_TRACE(stop);
        bytes->clear();
        files.reset();
        legacy_file(text);
        stop_at = stop;
        (void)append();
        completed = !probe->stopped;
        stop_at.reset();
        const auto now = values();
        if (now == imported) seen_import_alone = true;
        // The lines come all or none, and the file goes only after they are in.
        std::vector<std::string> with_own = imported;
        with_own.push_back("own");
        EXPECT_TRUE(now.empty() || now == std::vector<std::string>{"own"} || now == imported ||
                    now == with_own);
        if (!legacy_present()) {
            EXPECT_TRUE(now == imported || now == with_own);
        }
    }
    EXPECT_TRUE(completed);
    EXPECT_TRUE(seen_import_alone);
}

TEST_F(ImportFixture, LinesGoJustBelowTheOldestEntry) {
    store(keys_from(100, 120));
    std::string text;
    for (int i = 0; i < 5; ++i) text += entry_line(i) + "\n";
    legacy_file(text);
    ASSERT_TRUE(append());
    const Table after = stored();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(after.at(95 + i), entry_line(i));
    EXPECT_EQ(after.begin()->first, 95u);
    EXPECT_EQ(after.rbegin()->first, 121u);
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
        bytes->clear();
        legacy_file(c.text);
        ASSERT_TRUE(append());
        const Table after = stored();
        std::vector<std::string> lines = values();
        lines.pop_back();  // the append's own entry
        EXPECT_EQ(lines, c.stored);
        if (!c.stored.empty()) {
            EXPECT_EQ(after.begin()->first, kEmptyTableImportBase - c.stored.size());
        }
        EXPECT_FALSE(legacy_present());
    }
}

TEST_F(ImportFixture, InvalidUtf8KeepsTheFileForTheNextAppend) {
    legacy_file(entry_line(1) + "\n" +
                "{\"time\":\"2026-03-14T22:00:05\",\"kind\":\"error\",\"detail\":\"\xff\"}" + "\n");
    ASSERT_TRUE(append());
    ASSERT_TRUE(append());
    EXPECT_EQ(stored(), (Table{{0, "own"}, {1, "own"}}));
    EXPECT_TRUE(legacy_present());
    EXPECT_EQ(files.count("read"), 2u);
}

TEST_F(ImportFixture, TheLastTenThousandLinesStay) {
    std::string text;
    for (int i = 0; i < 12000; ++i) text += entry_line(i) + "\n";
    legacy_file(text);
    ASSERT_TRUE(append());
    const Table after = stored();
    EXPECT_EQ(after.size(), kHistoryLimit);
    // The import kept lines 2000..11999; the append's own entry pushed out line 2000.
    EXPECT_EQ(after.begin()->second, entry_line(2001));
    EXPECT_EQ(after.rbegin()->second, "own");
    EXPECT_EQ(after.rbegin()->first, kEmptyTableImportBase);
}

// Lines that the prune would take at once are never inserted: the table must end as if every
// line had gone in below the oldest entry and the smallest keys had then been removed.
TEST_F(ImportFixture, ALongFileEndsAsIfEveryLineWereInsertedThenPruned) {
    struct Case {
        std::uint64_t first_stored, stored;
        int lines;
    } cases[] = {{20000, 9000, 3000},
                 {20000, 9999, 2},
                 {20000, 10000, 5},
                 {50000, 10005, 10},
                 {20000, 1, 10001}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.stored) + " stored, " + std::to_string(c.lines) + " lines");
        const Table before = keys_from(c.first_stored, c.first_stored + c.stored - 1);
        store(before);
        std::string text;
        for (int i = 0; i < c.lines; ++i) text += entry_line(i) + "\n";
        files.reset();
        legacy_file(text);
        ASSERT_TRUE(append());

        Table expected = before;
        for (int i = 0; i < c.lines; ++i) expected[c.first_stored - c.lines + i] = entry_line(i);
        while (expected.size() > kHistoryLimit) expected.erase(expected.begin());
        expected[c.first_stored + c.stored] = "own";
        while (expected.size() > kHistoryLimit) expected.erase(expected.begin());
        EXPECT_EQ(stored(), expected);
        EXPECT_FALSE(legacy_present());
    }
}

TEST_F(ImportFixture, NoRoomBelowTheOldestEntryImportsNothingAndKeepsTheFile) {
    store(keys_from(2, 4));
    legacy_file(entry_line(1) + "\n" + entry_line(2) + "\n" + entry_line(3) + "\n");
    ASSERT_TRUE(append());
    const Table after = stored();
    EXPECT_EQ(after.size(), 4u);
    EXPECT_EQ(after.begin()->first, 2u);
    EXPECT_TRUE(legacy_present());
}

TEST_F(ImportFixture, ExactlyEnoughRoomUsesKeyZero) {
    store(keys_from(2, 4));
    legacy_file(entry_line(1) + "\n" + entry_line(2) + "\n");
    ASSERT_TRUE(append());
    const Table after = stored();
    EXPECT_EQ(after.at(0), entry_line(1));
    EXPECT_EQ(after.at(1), entry_line(2));
    EXPECT_FALSE(legacy_present());
}

// An import committed before, whose file outlived it, is not stored again: the process ended
// between the commit and the delete, or the delete failed at one append after another. The
// table ends as if the file had gone at once: the lines, the older entries, each append's own
// entry, the newest 10000 of them.
TEST_F(ImportFixture, ACommittedImportWhoseFileStayedIsNotStoredAgain) {
    struct Case {
        const char* name;
        std::uint64_t stored_before;  // entries under the keys from 100 up
        bool killed;                  // the first append ends right after the import's commit
        int failed_deletes;
    } cases[] = {
        {"ended before the delete", 0, true, 0},
        {"ended before the delete, entries below", 20, true, 0},
        {"two failed deletes", 0, false, 2},
        {"two failed deletes, the table nearly full", 9995, false, 2},
        {"two failed deletes, the table full", 10000, false, 2},
    };
    const std::vector<std::string> lines = {entry_line(1), entry_line(2), entry_line(3)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files.reset();
        bytes->clear();
        if (c.stored_before > 0) store(keys_from(100, 99 + c.stored_before));
        legacy_file(lines[0] + "\n" + lines[1] + "\n" + lines[2] + "\n");
        bool kill = c.killed;
        int deletes_to_fail = c.failed_deletes;
        files.before = [&](const std::string& call) -> os::Status {
            if (!call.starts_with("remove ")) return {};
            if (kill) {
                kill = false;
                probe->stopped = true;  // nothing after this point reaches the file
            } else if (deletes_to_fail > 0) {
                --deletes_to_fail;
            } else {
                return {};
            }
            return std::unexpected(os::Error::os(5, "Access is denied."));
        };
        stop_at = std::numeric_limits<std::uint64_t>::max();  // a backend that the kill stops
        const int appends = 1 + (c.killed ? 1 : 0) + c.failed_deletes;
        for (int i = 0; i < appends; ++i) (void)append();
        EXPECT_FALSE(legacy_present());

        std::vector<std::string> expected = lines;
        for (const auto& [key, value] : keys_from(100, 99 + c.stored_before))
            expected.push_back(value);
        expected.insert(expected.end(), appends - (c.killed ? 1 : 0), "own");
        if (expected.size() > kHistoryLimit)
            expected.erase(expected.begin(), expected.end() - kHistoryLimit);
        EXPECT_EQ(values(), expected);
    }
    files.before = nullptr;
}

// Only the same lines, in the same order, count as imported before: a file with other lines
// goes below them as usual; one with the very same lines again is taken as imported.
TEST_F(ImportFixture, OnlyTheSameLinesCountAsImportedBefore) {
    legacy_file(entry_line(1) + "\n" + entry_line(2) + "\n");
    ASSERT_TRUE(append());
    legacy_file(entry_line(2) + "\n" + entry_line(1) + "\n");
    ASSERT_TRUE(append());
    EXPECT_FALSE(legacy_present());
    legacy_file(entry_line(2) + "\n" + entry_line(1) + "\n");
    ASSERT_TRUE(append());
    EXPECT_FALSE(legacy_present());
    const std::vector<std::string> expected = {
        entry_line(2), entry_line(1), entry_line(1), entry_line(2), "own", "own", "own"};
    EXPECT_EQ(values(), expected);
}

}  // namespace
}  // namespace snv::history
