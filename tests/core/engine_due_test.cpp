// Which tasks fall due: the alarm window, idle arming, processor samples and accumulation.

#include <gtest/gtest.h>

#include <algorithm>
#include "core/engine_fixture.h"

#include "engine/countdown_window.h"
#include "engine/plan_reload.h"

namespace snv::test {
namespace {

using schedule::CpuEntry;
using schedule::IdleEntry;
using schedule::PlanEntry;

const calendar::Date kToday = date(2025, 3, 12);

using Due = EngineFixture;

std::string daily_task(const std::string& id, const std::string& time) {
    return R"({"id":")" + id +
           R"(","enabled":true,"action":"shutdown","trigger":{"type":"daily","time":")" + time +
           R"(","start":"2025-01-01"}})";
}

TEST_F(Due, TheAlarmWindowTruncatesTowardZero) {
    struct Case {
        calendar::TimeOfDay now;
        bool due;
    } cases[] = {
        {time(21, 59, 58, 900'000'000), false},  // -1.1 s
        {time(21, 59, 59, 0), false},            // -1.0 s
        {time(21, 59, 59, 1), true},             // -0.999999999 s gives 0
        {time(21, 59, 59, 200'000'000), true},
        {time(22, 0, 0), true},
        {time(22, 0, 9, 900'000'000), true},
        {time(22, 0, 9, 999'999'999), true},
        {time(22, 0, 10, 0), false},
        {time(23, 0, 0), false},
        {time(0, 0, 0), false},
    };
    for (const Case& c : cases) {
        engine().fired.clear();
        engine().day_plan = {{{"t", time(22, 0), Action::restart}}, {}, {}, kToday};
        const auto due = engine().collect_due({kToday, c.now}, 0, std::nullopt);
        if (c.due) {
            EXPECT_EQ(due, (std::vector<DueItem>{{"t", TriggerKind::timer, Action::restart}}))
                << calendar::format_time_of_day(c.now);
            EXPECT_TRUE(engine().fired.contains({kToday, "t", time(22, 0)}));
        } else {
            EXPECT_TRUE(due.empty()) << calendar::format_time_of_day(c.now);
            EXPECT_TRUE(engine().fired.empty());
        }
    }
}

TEST_F(Due, APlanOfAnotherDateGivesNoAlarmButStillWatches) {
    for (std::optional<calendar::Date> plan_date :
         {std::optional(date(2025, 3, 11)), std::optional<calendar::Date>()}) {
        engine().day_plan = {
            {{"t", time(22, 0), Action::shutdown}}, {{"i", 1, Action::lock}}, {}, plan_date};
        engine().idle_armed = {true};
        const auto due = engine().collect_due({kToday, time(22, 0, 1)}, 60, std::nullopt);
        EXPECT_EQ(due, (std::vector<DueItem>{{"i", TriggerKind::idle, Action::lock}}));
        EXPECT_TRUE(engine().fired.empty());
    }
}

TEST_F(Due, AnAlarmFiresOnceOverItsElevenTicksAndAgainWhenRetimed) {
    // Each due item starts the desktop program once.
    seams.sessions.signed_in = true;
    seams.sessions.console_session = 1;
    write_data_file("tasks.json",
                    R"({"version":1,"tasks":[)" + daily_task("d41f", "22:00:30") + "]}");
    set_local(at(kToday, 21, 59, 49, 500'000'000));
    engine().tick();
    ASSERT_EQ(engine().day_plan.alarms,
              (std::vector<PlanEntry>{{"d41f", time(22, 0), Action::shutdown}}));
    for (int i = 0; i < 30; ++i) {  // 21:59:50.5 to 22:00:19.5
        pass(1s);
        const std::size_t before = seams.launcher.starts.size();
        engine().tick();
        if (seams.launcher.starts.size() > before) {
            EXPECT_EQ(local_now().time, time(21, 59, 59, 500'000'000));
        }
    }
    ASSERT_EQ(seams.launcher.starts.size(), 1u);
    EXPECT_TRUE(seams.launcher.starts[0].command_line.ends_with(" --notify shutdown timer d41f"));
    EXPECT_EQ(engine().fired.size(), 1u);

    // The task is moved to 22:05:30: the new notify time is a new key.
    write_data_file("tasks.json",
                    R"({"version":1,"tasks":[)" + daily_task("d41f", "22:05:30") + "]}");
    set_local(at(kToday, 22, 5, 0, 100'000'000));
    engine().tick();
    EXPECT_EQ(seams.launcher.starts.size(), 2u);
    EXPECT_EQ(engine().fired.size(), 2u);
    // Moved back to 22:00:30 after its window: nothing, however often the plan is rebuilt.
    write_data_file("tasks.json",
                    R"({"version":1,"tasks":[)" + daily_task("d41f", "22:00:30") + "]}");
    set_local(at(kToday, 22, 5, 1));
    engine().tick();
    EXPECT_EQ(engine().day_plan.alarms[0].time, time(22, 0));
    EXPECT_EQ(seams.launcher.starts.size(), 2u);
    EXPECT_TRUE(engine().pending.empty());
}

TEST_F(Due, TheDueListIsAlarmsThenIdleThenCpuEachInPlanOrder) {
    engine().day_plan = {
        {{"a1", time(8, 0), Action::lock}, {"a2", time(8, 0), Action::sleep}},
        {{"i1", 1, Action::restart}, {"i2", 2, Action::hibernate}},
        {{"c1", 50, 1, false, Action::monitor_off}, {"c2", 50, 1, true, Action::shutdown}},
        kToday};
    engine().idle_armed = {true, true};
    engine().cpu_accum = {59.0, 59.0};
    engine().last_cpu_eval = at(kToday, 7, 59, 55);
    const auto due = engine().collect_due(at(kToday, 8, 0, 0), 120, 70.0f);
    EXPECT_EQ(due, (std::vector<DueItem>{{"a1", TriggerKind::timer, Action::lock},
                                         {"a2", TriggerKind::timer, Action::sleep},
                                         {"i1", TriggerKind::idle, Action::restart},
                                         {"i2", TriggerKind::idle, Action::hibernate},
                                         {"c1", TriggerKind::cpu, Action::monitor_off}}));
}

TEST_F(Due, AnIdleWatchFiresOncePerArming) {
    engine().day_plan = {{}, {{"i", 1, Action::sleep}, {"j", 3, Action::lock}}, {}, kToday};
    engine().idle_armed = {true, true};
    const DueItem idle_i{"i", TriggerKind::idle, Action::sleep};
    struct Step {
        std::uint64_t no_user;
        bool fires;
        bool armed_after;
    } steps[] = {
        {0, false, true},    {59, false, true}, {60, true, false}, {61, false, false},
        {600, false, false}, {59, false, true}, {60, true, false},  // a user came and went
    };
    for (const Step& step : steps) {
        const auto due = engine().collect_due(at(kToday, 9, 0), step.no_user, std::nullopt);
        const bool fired_i = std::ranges::count(due, idle_i) == 1;
        EXPECT_EQ(fired_i, step.fires) << step.no_user;
        EXPECT_EQ(engine().idle_armed[0], step.armed_after) << step.no_user;
    }
    // j (3 min) fired once on the way, at 600 s.
    // A re-arm while nobody is signed in makes both fire again in the same tick.
    engine().rearm_watches();
    auto due = engine().collect_due(at(kToday, 9, 0), 600, std::nullopt);
    EXPECT_EQ(due, (std::vector<DueItem>{idle_i, {"j", TriggerKind::idle, Action::lock}}));
}

TEST_F(Due, AReloadAndTheDesktopProgramsExitReArmIdleWatches) {
    write_data_file("tasks.json", R"({"version":1,"tasks":[{"id":"i","enabled":true,)"
                                  R"("action":"lock","trigger":{"type":"idle","minutes":1}}]})");
    engine().tick();
    pass(60s);
    engine().tick();
    ASSERT_EQ(engine().pending.size(), 1u);
    pass(1s);
    engine().tick();
    EXPECT_EQ(engine().pending.size(), 1u) << "fires once per arming";

    engine().force_reload = true;  // any reload: an edit, the hourly one, a new date
    pass(1s);
    engine().tick();
    EXPECT_EQ(engine().pending.size(), 2u);

    seams.sessions.mutexes = {std::string(engine::kDesktopMutexName)};
    pass(5s);
    engine().tick();  // probe: it runs
    seams.sessions.mutexes.clear();
    pass(5s);
    engine().tick();  // probe: it has gone; nobody has signed in all along
    EXPECT_EQ(engine().pending.size(), 3u);
}

TEST_F(Due, ProcessorSamplesAreTakenAtMostEveryThreeSeconds) {
    for (int i = 0; i < 20; ++i) seams.cpu.script.push_back(os::CpuTimes{0, 0, 0});
    engine();  // its own sample
    struct Step {
        std::chrono::nanoseconds after;
        int reads;
    } steps[] = {{0s, 2}, {1s, 2}, {1999ms, 2}, {1ms, 3}, {2s, 3}, {1s, 4}, {10s, 5}};
    for (const Step& step : steps) {
        pass(step.after);
        engine().tick();
        EXPECT_EQ(seams.cpu.reads, step.reads);
    }
}

TEST_F(Due, TheLoadIsTheBusyShareOfTheProcessorTimeSinceTheLastSample) {
    using os::CpuTimes;
    struct Case {
        const char* what;
        std::optional<CpuTimes> previous;
        std::optional<CpuTimes> next;
        std::optional<float> load;
        std::optional<CpuTimes> kept;
    } cases[] = {
        {"quarter busy", CpuTimes{100, 200, 100}, CpuTimes{250, 400, 100}, 25.0f,
         CpuTimes{250, 400, 100}},
        {"kernel and user", CpuTimes{100, 200, 100}, CpuTimes{250, 400, 200}, 50.0f,
         CpuTimes{250, 400, 200}},
        {"all idle", CpuTimes{0, 0, 0}, CpuTimes{300, 300, 0}, 0.0f, CpuTimes{300, 300, 0}},
        {"all busy", CpuTimes{0, 0, 0}, CpuTimes{0, 100, 300}, 100.0f, CpuTimes{0, 100, 300}},
        {"no time passed", CpuTimes{5, 5, 5}, CpuTimes{5, 5, 5}, 0.0f, CpuTimes{5, 5, 5}},
        {"counters went back", CpuTimes{500, 500, 500}, CpuTimes{0, 0, 0}, 0.0f, CpuTimes{0, 0, 0}},
        {"idle above total", CpuTimes{0, 0, 0}, CpuTimes{900, 100, 100}, 0.0f,
         CpuTimes{900, 100, 100}},
        {"a third", CpuTimes{0, 0, 0}, CpuTimes{2, 2, 1}, static_cast<float>(100.0 / 3.0),
         CpuTimes{2, 2, 1}},
        {"no previous sample", std::nullopt, CpuTimes{1, 2, 3}, std::nullopt, CpuTimes{1, 2, 3}},
        {"a failed read", CpuTimes{1, 2, 3}, std::nullopt, std::nullopt, CpuTimes{1, 2, 3}},
    };
    for (const Case& c : cases) {
        engine().cpu_prev = c.previous;
        engine().last_cpu_sample.reset();
        seams.cpu.script = {c.next};
        EXPECT_EQ(engine().sample_cpu(), c.load) << c.what;
        EXPECT_EQ(engine().cpu_prev, c.kept) << c.what;
        EXPECT_EQ(engine().last_cpu_sample, seams.clock.monotonic) << c.what;
    }
}

TEST_F(Due, CpuWatchesAccumulateTheLocalTimeWhileTheirConditionHolds) {
    engine().day_plan = {{},
                         {},
                         {{"above", 50, 1, false, Action::sleep},
                          {"below", 50, 1, true, Action::lock},
                          {"never", 50, 0, true, Action::restart},
                          {"over100", 101, 1, false, Action::shutdown},
                          {"long", 50, 2, true, Action::hibernate}},
                         kToday};
    engine().cpu_accum = {0, 0, 7, 0, 0};
    struct Step {
        std::chrono::milliseconds after;  // local time since the previous step
        std::optional<float> load;
        std::vector<double> accum;
        std::vector<std::string> due;
    } steps[] = {
        {0ms, 80.0f, {0, 0, 7, 0, 0}, {}},  // the first evaluation adds nothing
        {3000ms, 80.0f, {3, 0, 7, 0, 0}, {}},
        {2500ms, std::nullopt, {3, 0, 7, 0, 0}, {}},  // no sample: nothing moves
        {500ms, 80.0f, {6, 0, 7, 0, 0}, {}},          // the whole 3 s since the last one
        {3000ms, 50.0f, {0, 0, 7, 0, 0}, {}},         // equal holds neither way
        {3000ms, 20.0f, {0, 3, 7, 0, 3}, {}},
        {600000ms, 20.0f, {0, 0, 7, 0, 63}, {"below"}},  // ten minutes count as one
        {1ms, 0.0f, {0, 0.001, 7, 0, 63.001}, {}},
        {-60000ms, 90.0f, {0, 0, 7, 0, 0}, {}},  // a clock set back adds 0
        {59999ms, 90.0f, {59.999, 0, 7, 0, 0}, {}},
        {1ms, 90.0f, {0, 0, 7, 0, 0}, {"above"}},  // 60 s reached: fires and starts over
        {3000ms, 100.0f, {3, 0, 7, 0, 0}, {}},
    };
    calendar::DateTime now = at(kToday, 12, 0);
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const Step& step = steps[i];
        const std::int64_t ms = std::int64_t{now.time.seconds()} * 1000 +
                                now.time.nanos() / 1'000'000 + step.after.count();
        now.time =
            *calendar::TimeOfDay::from_seconds(static_cast<std::uint32_t>(ms / 1000),
                                               static_cast<std::uint32_t>(ms % 1000) * 1'000'000);
        const auto due = engine().collect_due(now, 0, step.load);
        std::vector<std::string> ids;
        for (const DueItem& item : due) ids.push_back(item.task_id);
        EXPECT_EQ(ids, step.due) << "step " << i;
        ASSERT_EQ(engine().cpu_accum.size(), step.accum.size());
        for (std::size_t w = 0; w < step.accum.size(); ++w) {
            EXPECT_NEAR(engine().cpu_accum[w], step.accum[w], 1e-9)
                << "step " << i << " watch " << w;
        }
        if (step.load) {
            EXPECT_EQ(engine().last_cpu_eval, now) << "step " << i;
        }
    }
}

TEST_F(Due, TheFirstEvaluationAfterAReArmAddsNothing) {
    engine().day_plan = {{}, {}, {{"c", 10, 1, false, Action::sleep}}, kToday};
    engine().cpu_accum = {30.0};
    engine().last_cpu_eval = at(kToday, 11, 59, 57);
    engine().rearm_watches();
    EXPECT_TRUE(engine().collect_due(at(kToday, 12, 0), 0, 99.0f).empty());
    EXPECT_EQ(engine().cpu_accum, std::vector<double>{0.0});
    EXPECT_TRUE(engine().collect_due(at(kToday, 12, 0, 3), 0, 99.0f).empty());
    EXPECT_EQ(engine().cpu_accum, std::vector<double>{3.0});
}

TEST_F(Due, ShorterStateListsPairOnlyWhatTheyHave) {
    engine().day_plan = {{},
                         {{"i1", 1, Action::lock}, {"i2", 1, Action::lock}},
                         {{"c1", 0, 1, false, Action::lock}, {"c2", 0, 1, false, Action::lock}},
                         kToday};
    engine().idle_armed = {true};
    engine().cpu_accum = {60.0};
    engine().last_cpu_eval = at(kToday, 12, 0);
    const auto due = engine().collect_due(at(kToday, 12, 0, 3), 600, 10.0f);
    EXPECT_EQ(due, (std::vector<DueItem>{{"i1", TriggerKind::idle, Action::lock},
                                         {"c1", TriggerKind::cpu, Action::lock}}));
}

}  // namespace
}  // namespace snv::test
