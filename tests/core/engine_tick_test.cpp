// The tick's order, the probe and its period, the desktop program's exit and the no-user time.

#include <gtest/gtest.h>

#include "core/engine_fixture.h"
#include "engine/countdown_window.h"

namespace snv::test {
namespace {

const std::string kMutex(engine::kDesktopMutexName);

using Tick = EngineFixture;

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

TEST_F(Tick, AFailedEnumerationCountsAsNobodyFromThatTick) {
    seams.sessions.signed_in = false;  // what the real probe answers when the call fails
    engine().tick();
    EXPECT_EQ(engine().no_user_since, seams.clock.monotonic);
}

TEST_F(Tick, WhileTheDesktopProgramRunsOnlyTheProbeAndTheQueueRun) {
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
