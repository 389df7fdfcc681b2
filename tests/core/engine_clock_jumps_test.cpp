// Alarms across daylight-saving changes and clock jumps: the local clock goes where the script
// says, while the monotonic clock moves on by one second per tick as it does on a real machine.

#include <gtest/gtest.h>

#include "core/engine_fixture.h"

namespace snv::test {
namespace {

using ClockJumps = EngineFixture;

// Ticks one local second apart, from `from` through `to`; the local clock jumps between two
// stretches.
struct Stretch {
    calendar::DateTime from;
    calendar::DateTime to;
};

TEST_F(ClockJumps, AnAlarmFiresOncePerDateAndNotifyTimeWhereverTheLocalClockGoes) {
    const calendar::Date spring = date(2025, 3, 30), autumn = date(2025, 10, 26);
    const calendar::Date day = date(2025, 3, 12), next = date(2025, 3, 13);
    struct Case {
        const char* what;
        const char* time;  // of the daily task; its alarm's notify time is 30 s earlier
        std::vector<Stretch> ticks;
        std::vector<calendar::DateTime> handed_on;  // the local times the alarm fired at
    } cases[] = {
        {"inside the skipped hour: 01:59:59 is followed by 03:00:00",
         "02:30:30",
         {{at(spring, 1, 59, 0), at(spring, 1, 59, 59)}, {at(spring, 3, 0), at(spring, 3, 31)}},
         {}},
        {"inside the repeated hour: 01:00 to 01:59:59 twice",
         "01:30:30",
         {{at(autumn, 1, 0), at(autumn, 1, 59, 59)}, {at(autumn, 1, 0), at(autumn, 1, 59, 59)}},
         {at(autumn, 1, 30)}},
        {"a clock set back within the day",
         "12:00:30",
         {{at(day, 11, 59, 50), at(day, 12, 0, 20)}, {at(day, 11, 59), at(day, 12, 0, 20)}},
         {at(day, 12, 0)}},
        {"a clock set back across midnight: the earlier date's alarm again",
         "23:59:40",
         {{at(day, 23, 59), at(next, 0, 0, 30)}, {at(day, 23, 59), at(day, 23, 59, 30)}},
         {at(day, 23, 59, 10), at(day, 23, 59, 10)}},
    };
    // Each alarm that falls due starts the desktop program's countdown once.
    seams.sessions.signed_in = true;
    seams.sessions.console_session = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        engine_.reset();
        seams.launcher.starts.clear();
        write_data_file("tasks.json",
                        R"({"version":1,"tasks":[{"id":"a","enabled":true,"action":"lock",)"
                        R"("trigger":{"type":"daily","time":")" +
                            std::string(c.time) + R"(","start":"2025-01-01"}}]})");
        // As text, which a failure prints readably.
        std::vector<std::string> expected, handed_on;
        for (const calendar::DateTime& t : c.handed_on) {
            expected.push_back(calendar::format_date_time(t));
        }
        for (const Stretch& stretch : c.ticks) {
            seams.clock.advance(1s);  // the jump takes one tick, like any other second
            seams.clock.local = local_of(stretch.from);
            for (;;) {
                engine().tick();
                if (seams.launcher.starts.size() > handed_on.size()) {
                    handed_on.push_back(calendar::format_date_time(local_now()));
                }
                if (local_now() >= stretch.to) break;
                pass(1s);
            }
        }
        EXPECT_EQ(handed_on, expected);
        EXPECT_EQ(engine().loaded_date, c.ticks.back().to.date);
    }
}

}  // namespace
}  // namespace snv::test
