#pragma once

// One engine over the fake seams, its data folder on real files, and the history it leaves in
// history.redb read back with the real redb library.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "calendar/date_time.h"
#include "calendar/text.h"
#include "engine/engine.h"
#include "model/action.h"
#include "support/fake_engine_env.h"
#include "support/file_times.h"
#include "support/model_builders.h"
#include "support/redb_files.h"
#include "support/temp_folder.h"

namespace snv::test {

// The names every engine test speaks in.
using namespace std::chrono_literals;
using engine::DueItem;
using engine::PendingAction;
using engine::TriggerKind;
using model::Action;

// A history row as the table stores it: the entry's JSON text, written here by hand so that
// the expectation does not lean on the writer under test.
struct HistoryRow {
    calendar::DateTime time;
    std::string kind;
    model::Action action;
    std::string detail;
};

inline std::string row_json(const HistoryRow& row) {
    std::string detail;
    for (char c : row.detail) {
        if (c == '"' || c == '\\') detail += '\\';
        detail += c;
    }
    std::string text = R"({"time":")" + calendar::format_date_time(row.time) + R"(","kind":")" +
                       row.kind + R"(","action":")" + std::string(model::action_name(row.action)) +
                       '"';
    if (!row.detail.empty()) text += R"(,"detail":")" + detail + '"';
    return text + "}";
}

class EngineFixture : public ::testing::Test {
  protected:
    FakeEngineEnv seams;
    std::filesystem::path case_folder;
    std::filesystem::path data;
    std::optional<engine::Engine> engine_;
    std::chrono::seconds next_stamp_{1'700'000'000};

    EngineFixture() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        case_folder = build_path(std::string("history-files/engine-") + info->test_suite_name() +
                                 "-" + info->name());
        std::error_code ignored;
        std::filesystem::remove_all(case_folder, ignored);
        data = case_folder / "data";
        seams.data_dir.set(native(data));
        seams.clock.local = local_of(at(date(2025, 3, 12), 12, 0));
    }

    static os::NativePath native(const std::filesystem::path& p) {
#ifdef _WIN32
        return p.wstring();
#else
        return p.string();
#endif
    }

    static calendar::DateTime at(calendar::Date day, unsigned h, unsigned m, unsigned s = 0,
                                 std::uint32_t ns = 0) {
        return {day, time(h, m, s, ns)};
    }

    static os::LocalTime local_of(const calendar::DateTime& t) {
        const calendar::CivilDate c = t.date.civil();
        return {c.year,          c.month,         c.day,         t.time.hour(),
                t.time.minute(), t.time.second(), t.time.nanos()};
    }

    // The seams that a test may take from the real system instead (before the engine exists).
    os::Sessions* sessions = &seams.sessions;
    os::Launcher* launcher = &seams.launcher;
    os::Power* power = &seams.power;

    // The engine, built on first use so that a test can script the first processor sample.
    engine::Engine& engine() {
        if (!engine_) {
            engine_.emplace(engine::EngineEnv{seams.clock, seams.cpu, seams.files, *sessions,
                                              *launcher, *power, seams.process, seams.history,
                                              seams.data_dir});
        }
        return *engine_;
    }

    calendar::DateTime local_now() const {
        const os::LocalTime& l = seams.clock.local;
        return {date(l.year, l.month, l.day), time(l.hour, l.minute, l.second, l.nanosecond)};
    }

    // Both clocks move on together by `by` (forward only).
    void pass(std::chrono::nanoseconds by) {
        seams.clock.advance(by);
        const calendar::DateTime now = local_now();
        const std::int64_t total =
            std::int64_t{now.time.seconds()} * 1'000'000'000 + now.time.nanos() + by.count();
        const std::int64_t day_nanos = 86'400'000'000'000;
        const calendar::Date day = *now.date.add_days(total / day_nanos);
        const std::int64_t rest = total % day_nanos;
        seams.clock.local = local_of({day, *calendar::TimeOfDay::from_seconds(
                                               static_cast<std::uint32_t>(rest / 1'000'000'000),
                                               static_cast<std::uint32_t>(rest % 1'000'000'000))});
    }

    // Sets the local clock to `t`; the monotonic clock moves on by as much as the local one,
    // or stays when `t` lies before it.
    void set_local(const calendar::DateTime& t) {
        const calendar::DateTime now = local_now();
        const std::int64_t nanos =
            (t.date.days() - now.date.days()) * 86'400'000'000'000 +
            (std::int64_t{t.time.seconds()} - now.time.seconds()) * 1'000'000'000 +
            (std::int64_t{t.time.nanos()} - now.time.nanos());
        if (nanos > 0) seams.clock.advance(std::chrono::nanoseconds(nanos));
        seams.clock.local = local_of(t);
    }

    // Writes a data file with a last-write time that no earlier write of the test had, so that
    // the planner sees every write however quickly they follow each other.
    void write_data_file(const char* name, const std::string& text) {
        std::filesystem::create_directories(data);
        write_file(data / name, text);
        next_stamp_ += std::chrono::seconds(10);
        set_last_write(data / name, next_stamp_);
    }

    // The rows of history.redb must be exactly these, in key order, and the real library must
    // open the file without repair (on a copy: opening may rewrite the header).
    void expect_history(const std::vector<HistoryRow>& rows) {
        const std::filesystem::path db = data / "history.redb";
        if (rows.empty()) {
            EXPECT_FALSE(std::filesystem::exists(db)) << "no entry expected";
            return;
        }
        std::vector<std::pair<std::uint64_t, std::string>> expected;
        for (std::size_t i = 0; i < rows.size(); ++i) expected.emplace_back(i, row_json(rows[i]));
        const std::string path = oracle_path(db);
        std::string out;
        EXPECT_EQ(oracle_check(path, false, &out), 0) << out;
        const OracleDump dump = oracle_dump(path);
        ASSERT_EQ(dump.exit_code, 0) << dump.text;
        EXPECT_EQ(dump.history, expected);
    }
};

}  // namespace snv::test
