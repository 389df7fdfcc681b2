// The tick's order, the probe and its period, the desktop program's exit and the no-user time.

#include <gtest/gtest.h>

#include <map>

#include "core/engine_fixture.h"
#include "engine/countdown_window.h"
#include "engine/session_probe.h"

namespace snv::test {
namespace {

const std::string kMutex(engine::kDesktopMutexName);

using Tick = EngineFixture;
using TickOracle = EngineFixture;

TEST_F(Tick, ProbesAtTheFirstTickThenOnceFiveWholeSecondsHavePassed) {
    struct Step {
        std::chrono::nanoseconds after;  // since the previous tick
        int probes;                      // enumerations so far
    } steps[] = {
        {0s, 1},  {1s, 1}, {3s, 1}, {999'999'999ns, 1},
        {1ns, 2},  // 5 s after the first probe
        {4s, 2},  {1s, 3}, {7s, 4}, {4s, 4},
        {1s, 5},
    };
    for (const Step& step : steps) {
        pass(step.after);
        engine().tick();
        EXPECT_EQ(seams.sessions.enumerations, step.probes)
            << "at " << seams.clock.monotonic.count() << " ns";
    }
}

TEST_F(Tick, TheProbeTakesTheSignedInUserAndTheMutexOfTheDesktopProgram) {
    engine().probe();
    EXPECT_FALSE(engine().user_signed_in);
    EXPECT_FALSE(engine().desktop_running);
    EXPECT_EQ(engine().last_probe, seams.clock.monotonic);

    seams.sessions.signed_in = true;
    seams.sessions.mutexes = {"Global\\Somnivo.Scheduler"};
    pass(5s);
    engine().probe();
    EXPECT_TRUE(engine().user_signed_in);
    EXPECT_TRUE(engine().desktop_running);
    EXPECT_EQ(engine().last_probe, seams.clock.monotonic);

    // Another name, or the same in another case, is not the desktop program's.
    for (const char* other : {"Somnivo.Scheduler", "global\\somnivo.scheduler", "Local\\x"}) {
        seams.sessions.mutexes = {other};
        engine().probe();
        EXPECT_FALSE(engine().desktop_running) << other;
    }
}

TEST_F(Tick, OnlyTheDesktopProgramsExitReArmsTheWatches) {
    // The watches start disarmed and counting at each probe, and the probe shows whether
    // they were reset.
    struct Step {
        bool mutex;
        bool rearmed;
    } steps[] = {
        {false, false},  // closed, and it was: nothing
        {true, false},   // it starts
        {true, false},   // it still runs
        {false, true},   // it exits
        {false, false},  // still gone
        {true, false},  {false, true},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        engine().idle_armed = {false, false};
        engine().cpu_accum = {12.5};
        engine().last_cpu_eval = at(date(2025, 3, 12), 11, 0);
        seams.sessions.mutexes.clear();
        if (steps[i].mutex) seams.sessions.mutexes.insert(kMutex);
        engine().probe();
        EXPECT_EQ(engine().desktop_running, steps[i].mutex) << "step " << i;
        if (steps[i].rearmed) {
            EXPECT_EQ(engine().idle_armed, (std::vector<bool>{true, true})) << "step " << i;
            EXPECT_EQ(engine().cpu_accum, std::vector<double>{0.0}) << "step " << i;
            EXPECT_EQ(engine().last_cpu_eval, std::nullopt) << "step " << i;
        } else {
            EXPECT_EQ(engine().idle_armed, (std::vector<bool>{false, false})) << "step " << i;
            EXPECT_EQ(engine().cpu_accum, std::vector<double>{12.5}) << "step " << i;
            EXPECT_TRUE(engine().last_cpu_eval) << "step " << i;
        }
    }
}

TEST_F(Tick, NoUserTimeCountsWholeSecondsFromTheFirstTickWithNobody) {
    struct Step {
        std::chrono::nanoseconds after;
        bool signed_in;
        std::uint64_t seconds;
    } steps[] = {
        {0s, false, 0},  {999ms, false, 0},  {1ms, false, 1}, {58s, false, 59},
        {1s, false, 60}, {1s, true, 0},      {10s, true, 0},  // a user clears it
        {1s, false, 0},  {2500ms, false, 2},                  // and it starts afresh
    };
    for (const Step& step : steps) {
        pass(step.after);
        engine().user_signed_in = step.signed_in;
        EXPECT_EQ(engine().no_user_seconds(), step.seconds);
        EXPECT_EQ(engine().no_user_since.has_value(), !step.signed_in);
    }
}

TEST(SignedIn, AnActiveOrDisconnectedSessionWithAUserName) {
    namespace state = os::session_state;
    const std::map<std::uint32_t, std::string> ann = {{3, "ann"}};
    struct Case {
        const char* what;
        std::vector<os::SessionInfo> listed;
        std::map<std::uint32_t, std::string> names;  // a session not here fails its query
        bool signed_in;
        std::vector<std::uint32_t> queried;
    } cases[] = {
        {"no session", {}, {}, false, {}},
        {"an active session with a user", {{3, state::active}}, ann, true, {3}},
        {"a disconnected one", {{3, state::disconnected}}, ann, true, {3}},
        // Any other state is passed over without a query.
        {"connected", {{3, state::connected}}, ann, false, {}},
        {"connect query", {{3, state::connect_query}}, ann, false, {}},
        {"shadow", {{3, state::shadow}}, ann, false, {}},
        {"idle", {{3, state::idle}}, ann, false, {}},
        {"listen", {{3, state::listen}}, ann, false, {}},
        {"reset", {{3, state::reset}}, ann, false, {}},
        {"down", {{3, state::down}}, ann, false, {}},
        {"init", {{3, state::init}}, ann, false, {}},
        {"a state beyond the known ones", {{3, 10}}, ann, false, {}},
        {"an empty name", {{0, state::active}}, {{0, ""}}, false, {0}},
        {"a failed query skips only that session",
         {{4, state::active}, {0, state::listen}, {2, state::disconnected}},
         {{2, "bob"}},
         true,
         {4, 2}},
        {"the scan ends at the first user",
         {{0, state::disconnected}, {1, state::active}, {2, state::active}},
         {{0, ""}, {1, "cy"}, {2, "di"}},
         true,
         {0, 1}},
    };
    for (const Case& c : cases) {
        FakeSessions sessions;
        sessions.listed = c.listed;
        sessions.user_names = c.names;
        EXPECT_EQ(engine::any_user_signed_in(sessions), c.signed_in) << c.what;
        EXPECT_EQ(sessions.queried, c.queried) << c.what;
    }
    FakeSessions failing;
    failing.signed_in = true;
    failing.enumeration_fails = os::Error::os(1722, "The RPC server is unavailable.");
    EXPECT_FALSE(engine::any_user_signed_in(failing)) << "a failed enumeration is nobody";
    EXPECT_TRUE(failing.queried.empty());
}

TEST_F(Tick, AFailedEnumerationCountsAsNobodyFromThatTick) {
    write_data_file("tasks.json",
                    R"({"version":1,"tasks":[{"id":"i","enabled":true,"action":"sleep",)"
                    R"("trigger":{"type":"idle","minutes":1}}]})");
    seams.sessions.signed_in = true;
    engine().tick();
    ASSERT_TRUE(engine().user_signed_in);
    ASSERT_EQ(engine().no_user_since, std::nullopt);

    // The user is still there, but the system cannot list the sessions.
    seams.sessions.enumeration_fails = os::Error::os(1722, "The RPC server is unavailable.");
    pass(5s);
    engine().tick();
    EXPECT_FALSE(engine().user_signed_in);
    const os::MonotonicTime failed_at = seams.clock.monotonic;
    EXPECT_EQ(engine().no_user_since, failed_at);
    // The idle watch counts from that tick: due a minute later, not a second before.
    pass(59s);
    engine().tick();
    EXPECT_TRUE(engine().pending.empty());
    pass(1s);
    engine().tick();
    ASSERT_EQ(engine().pending.size(), 1u);
    EXPECT_EQ(engine().pending[0].item, (DueItem{"i", TriggerKind::idle, Action::sleep}));
    EXPECT_EQ(engine().no_user_since, failed_at);
}

TEST_F(TickOracle, WhileTheDesktopProgramRunsOnlyTheProbeAndTheQueueRun) {
    write_data_file("tasks.json", R"({"version":1,"tasks":[]})");
    seams.cpu.script = {os::CpuTimes{1, 2, 3}, os::CpuTimes{4, 5, 6}};
    seams.sessions.mutexes = {kMutex};
    engine().pending = {
        {seams.clock.monotonic, {"due", TriggerKind::idle, Action::hibernate}},
        {seams.clock.monotonic + 1s, {"later", TriggerKind::timer, Action::sleep}},
    };
    engine().tick();
    EXPECT_TRUE(engine().desktop_running);
    // The due entry was performed, the other waits.
    EXPECT_EQ(seams.power.calls, (std::vector<std::string>{"privilege", "suspend hibernate"}));
    ASSERT_EQ(engine().pending.size(), 1u);
    EXPECT_EQ(engine().pending[0].item.task_id, "later");
    // Nothing after the queue: no reload, no no-user time, no sample.
    EXPECT_EQ(engine().loaded_date, std::nullopt);
    EXPECT_TRUE(engine().force_reload);
    EXPECT_EQ(engine().no_user_since, std::nullopt);
    EXPECT_EQ(engine().last_cpu_sample, std::nullopt);
    EXPECT_EQ(seams.cpu.reads, 1);
    expect_history({{local_now(), "executed", Action::hibernate, ""}});

    // The program exits: the next probe lets the tick go on to the plan and the sample.
    seams.sessions.mutexes.clear();
    pass(5s);
    engine().tick();
    EXPECT_FALSE(engine().desktop_running);
    EXPECT_EQ(engine().loaded_date, date(2025, 3, 12));
    EXPECT_EQ(engine().last_cpu_sample, seams.clock.monotonic);
    EXPECT_EQ(engine().no_user_since, seams.clock.monotonic);
}

TEST_F(Tick, AnAlarmWhoseWindowPassesWhileTheDesktopProgramRunsNeverFires) {
    write_data_file("tasks.json",
                    R"({"version":1,"tasks":[{"id":"a","enabled":true,"action":"lock",)"
                    R"("trigger":{"type":"daily","time":"12:00:40","start":"2025-01-01"}}]})");
    engine().tick();  // 12:00:00: plans the alarm for 12:00:10
    ASSERT_EQ(engine().day_plan.alarms.size(), 1u);
    seams.sessions.mutexes = {kMutex};
    for (int i = 0; i < 30; ++i) {
        pass(1s);
        engine().tick();
    }
    seams.sessions.mutexes.clear();
    for (int i = 0; i < 10; ++i) {
        pass(1s);
        engine().tick();
    }
    EXPECT_TRUE(engine().fired.empty());
    EXPECT_TRUE(engine().pending.empty());
    EXPECT_TRUE(seams.launcher.starts.empty());
}

TEST_F(Tick, DueTasksAreHandedOnAlarmsFirst) {
    write_data_file(
        "tasks.json",
        R"({"version":1,"tasks":[)"
        R"({"id":"idle","enabled":true,"action":"restart","trigger":{"type":"idle","minutes":1}},)"
        R"({"id":"alarm","enabled":true,"action":"lock","trigger":{"type":"daily","time":"12:01:30","start":"2025-01-01"}}]})");
    engine().tick();  // 12:00:00, nobody signed in from here on
    pass(60s);        // 12:01:00: the alarm's notify time, and a minute with nobody
    engine().tick();
    ASSERT_EQ(engine().pending.size(), 2u);
    EXPECT_EQ(engine().pending[0].item, (DueItem{"alarm", TriggerKind::timer, Action::lock}));
    EXPECT_EQ(engine().pending[1].item, (DueItem{"idle", TriggerKind::idle, Action::restart}));
    EXPECT_EQ(engine().pending[0].deadline, seams.clock.monotonic + 30s);
}

}  // namespace
}  // namespace snv::test
