#include "engine/plan_reload.h"

#include <gtest/gtest.h>

#include "support/model_builders.h"

#include <string>

#include "engine/engine.h"
#include "schedule/notify_time.h"
#include "support/fake_engine_env.h"
#include "support/file_times.h"
#include "support/plan_printers.h"
#include "support/temp_folder.h"

namespace {

using namespace std::chrono_literals;
using snv::calendar::Date;
using snv::calendar::TimeOfDay;
using snv::engine::Engine;
using snv::engine::FiredKey;
using snv::model::Action;
using snv::schedule::PlanEntry;
namespace os = snv::os;
namespace schedule = snv::schedule;

using snv::test::date;
TimeOfDay hms(unsigned h, unsigned m, unsigned s = 0, std::uint32_t ns = 0) {
    return snv::test::time(h, m, s, ns);
}

const Date kToday = date(2025, 3, 12);  // a Wednesday

schedule::DayPlan empty_plan(Date day) {
    schedule::DayPlan plan;
    plan.date = day;
    return plan;
}

std::string task_json(const std::string& id, const std::string& trigger,
                      const std::string& extra = "") {
    return R"({"id":")" + id + R"(","enabled":true,"action":"shutdown","trigger":)" + trigger +
           extra + "}";
}
std::string daily_at(const std::string& time) {
    return R"({"type":"daily","time":")" + time + R"(","start":"2025-01-01"})";
}
std::string tasks_file(const std::vector<std::string>& tasks) {
    std::string text = R"({"version":1,"tasks":[)";
    for (std::size_t i = 0; i < tasks.size(); ++i) text += (i ? "," : "") + tasks[i];
    return text + "]}";
}

class Planner : public ::testing::Test {
  protected:
    snv::test::TempFolder dir;
    os::NativePath folder = dir.path().native();
    snv::test::FakeEngineEnv fakes;
    snv::test::ScriptedClock& clock = fakes.clock;
    Engine engine = fixed_to(folder);
    std::chrono::seconds next_write{1'700'000'000};

    Engine fixed_to(const os::NativePath& data) {
        fakes.data_dir.set(data);
        return Engine(fakes.env());
    }

    // Writes a data file with a last-write time that no earlier write of the test had.
    void put(const char* name, const std::string& content) {
        snv::test::write_file(dir.file(name), content);
        next_write += 10s;
        snv::test::set_last_write(dir.file(name), next_write);
    }

    // Runs the planner and tells whether it reloaded: a reload drops the fired keys of other
    // days, so a key of long ago marks whether one happened.
    bool refresh(Date today = kToday) {
        const FiredKey mark{date(1900, 1, 1), "mark", hms(0, 0)};
        engine.fired.insert(mark);
        snv::engine::refresh_day_plan(engine, today);
        return engine.fired.erase(mark) == 0;
    }
};

TEST_F(Planner, FirstCallReloadsWithBothFilesMissing) {
    EXPECT_EQ(engine.day_plan, schedule::DayPlan{});
    EXPECT_TRUE(engine.force_reload);
    ASSERT_TRUE(refresh());
    EXPECT_EQ(engine.day_plan.date, kToday);
    EXPECT_TRUE(engine.day_plan.alarms.empty() && engine.day_plan.idle.empty() &&
                engine.day_plan.cpu.empty());
    EXPECT_EQ(engine.loaded_date, kToday);
    EXPECT_FALSE(engine.force_reload);
    EXPECT_EQ(engine.tasks_stamp, std::nullopt);
    EXPECT_EQ(engine.settings_stamp, std::nullopt);
    EXPECT_EQ(engine.settings, snv::model::Settings{});
    // Files that stay missing cause no reload of their own.
    EXPECT_FALSE(refresh());
}

TEST_F(Planner, ReloadsOnceTheLastReloadIsAnHourOld) {
    put("tasks.json", tasks_file({task_json("a", daily_at("22:00"))}));
    ASSERT_TRUE(refresh());
    const auto reloaded_at = *engine.last_reload;
    clock.monotonic = reloaded_at + 3599s + 900ms;
    EXPECT_FALSE(refresh());
    clock.monotonic = reloaded_at + 3600s - 1ns;
    EXPECT_FALSE(refresh());
    clock.monotonic = reloaded_at + 3600s;
    EXPECT_TRUE(refresh());
    EXPECT_EQ(engine.last_reload, reloaded_at + 3600s);
    // A clock that reads earlier than the last reload counts as no time at all.
    clock.monotonic = *engine.last_reload - 10s;
    EXPECT_FALSE(refresh());
}

TEST_F(Planner, ANewDateReloadsAndDropsTheFiredKeysOfOtherDays) {
    ASSERT_TRUE(refresh(kToday));
    const Date tomorrow = date(2025, 3, 13);
    engine.fired.insert(FiredKey{kToday, "a", hms(21, 59, 30)});
    engine.fired.insert(FiredKey{tomorrow, "a", hms(21, 59, 30)});
    engine.fired.insert(FiredKey{date(2024, 3, 13), "b", hms(8, 0)});
    EXPECT_FALSE(refresh(kToday));
    EXPECT_EQ(engine.fired.size(), 3u);
    EXPECT_TRUE(refresh(tomorrow));
    EXPECT_EQ(engine.fired.size(), 1u);
    EXPECT_TRUE(engine.fired.contains(FiredKey{tomorrow, "a", hms(21, 59, 30)}));
    EXPECT_EQ(engine.day_plan.date, tomorrow);
    EXPECT_TRUE(refresh(kToday));  // an earlier date counts as a change too
    EXPECT_TRUE(engine.fired.empty());
}

TEST_F(Planner, CreatedChangedOrDeletedDataFilesReload) {
    for (const char* name : {"tasks.json", "settings.json"}) {
        SCOPED_TRACE(name);
        refresh();
        EXPECT_FALSE(refresh());
        put(name, "{}");  // created
        EXPECT_TRUE(refresh());
        EXPECT_FALSE(refresh());
        put(name, "[]");  // written again
        EXPECT_TRUE(refresh());
        EXPECT_FALSE(refresh());
        std::filesystem::remove(dir.file(name));  // deleted
        EXPECT_TRUE(refresh());
        EXPECT_FALSE(refresh());
    }
}

TEST_F(Planner, ADeletedTasksFileEmptiesThePlan) {
    put("tasks.json", tasks_file({task_json("a", daily_at("22:00"))}));
    refresh();
    ASSERT_EQ(engine.day_plan.alarms.size(), 1u);
    std::filesystem::remove(dir.file("tasks.json"));
    ASSERT_TRUE(refresh());
    EXPECT_TRUE(engine.tasks.empty());
    EXPECT_EQ(engine.day_plan, empty_plan(kToday));
}

TEST_F(Planner, AnEditOfEitherFileRereadsBoth) {
    put("tasks.json", tasks_file({task_json("a", daily_at("22:00"))}));
    refresh();
    put("settings.json", R"({"countdown":{"seconds":60}})");
    snv::test::write_file(dir.file("tasks.json"), tasks_file({}));  // same stamp as before
    snv::test::set_last_write(dir.file("tasks.json"), next_write - 10s);
    ASSERT_TRUE(refresh());
    EXPECT_EQ(engine.settings.countdown.seconds, 60u);
    EXPECT_TRUE(engine.tasks.empty());
    EXPECT_TRUE(engine.day_plan.alarms.empty());
}

TEST_F(Planner, ACallThatDoesNotReloadChangesNothing) {
    put("tasks.json", tasks_file({task_json("a", daily_at("22:00")),
                                  task_json("i", R"({"type":"idle","minutes":5})")}));
    refresh();
    engine.idle_armed[0] = false;
    engine.fired.insert(FiredKey{date(2020, 1, 1), "old", hms(1, 0)});
    engine.last_cpu_eval = snv::calendar::DateTime{kToday, hms(9, 0)};
    const auto plan = engine.day_plan;
    const auto tasks = engine.tasks;
    // The file changes on disk but keeps its stamp: not noticed.
    snv::test::write_file(dir.file("tasks.json"), tasks_file({}));
    snv::test::set_last_write(dir.file("tasks.json"), next_write);
    EXPECT_FALSE(refresh());
    EXPECT_EQ(engine.day_plan, plan);
    EXPECT_EQ(engine.tasks, tasks);
    EXPECT_FALSE(engine.idle_armed[0]);
    EXPECT_EQ(engine.fired.size(), 1u);
    EXPECT_TRUE(engine.last_cpu_eval.has_value());
}

TEST_F(Planner, EveryReloadResetsTheWatches) {
    put("tasks.json", tasks_file({task_json("i", R"({"type":"idle","minutes":0})"),
                                  task_json("c", R"({"type":"cpu","percent":80,"minutes":0})"),
                                  task_json("c2", R"(["cpu",5,10,true])")}));
    refresh();
    ASSERT_EQ(engine.day_plan.idle.size(), 1u);
    EXPECT_EQ(engine.day_plan.idle[0].minutes, 1u);  // 0 raised to 1
    ASSERT_EQ(engine.day_plan.cpu.size(), 2u);
    EXPECT_EQ(engine.day_plan.cpu[0], (schedule::CpuEntry{"c", 80, 0, false, Action::shutdown}));
    EXPECT_EQ(engine.day_plan.cpu[1], (schedule::CpuEntry{"c2", 5, 10, true, Action::shutdown}));
    engine.idle_armed = {false};
    engine.cpu_accum = {12.5, 3.0};
    engine.last_cpu_eval = snv::calendar::DateTime{kToday, hms(9, 0)};
    clock.advance(3600s);  // the hourly reload
    ASSERT_TRUE(refresh());
    EXPECT_EQ(engine.idle_armed, std::vector<bool>{true});
    EXPECT_EQ(engine.cpu_accum, (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(engine.last_cpu_eval, std::nullopt);
}

TEST_F(Planner, PausedGivesTheDatedEmptyPlan) {
    put("tasks.json", tasks_file({task_json("a", daily_at("22:00")),
                                  task_json("i", R"({"type":"idle","minutes":5})"),
                                  task_json("c", R"({"type":"cpu","percent":5,"minutes":1})")}));
    put("settings.json", R"({"paused":true})");
    engine.fired.insert(FiredKey{date(2025, 3, 11), "a", hms(21, 59, 30)});
    engine.idle_armed = {true, true};
    engine.cpu_accum = {1.0};
    refresh();
    EXPECT_EQ(engine.day_plan, empty_plan(kToday));
    EXPECT_EQ(engine.tasks.size(), 3u);  // still loaded: the pending actions describe them
    EXPECT_TRUE(engine.fired.empty());
    EXPECT_TRUE(engine.idle_armed.empty());
    EXPECT_TRUE(engine.cpu_accum.empty());
}

TEST_F(Planner, AlarmsAreSortedByNotifyTimeAndEqualTimesKeepFileOrder) {
    put("tasks.json",
        tasks_file({
            task_json("daily", daily_at("22:00:30")),
            task_json("once", R"({"type":"once","at":"2025-03-12T22:00:30"})"),
            task_json("late", daily_at("23:00")),
            task_json(
                "weekly",
                R"({"type":"weekly","time":"22:00:30.5","days":["wed"],"start":"2025-01-01"})"),
            task_json("monthly",
                      R"({"type":"monthly","time":"8:00","on":{"kind":"date","day":12}})"),
            task_json("idle", R"({"type":"idle","minutes":3})"),
            task_json("daily2", daily_at("22:00:30")),
        }));
    refresh();
    std::vector<std::string> order;
    for (const PlanEntry& e : engine.day_plan.alarms) order.push_back(e.task_id);
    EXPECT_EQ(order,
              (std::vector<std::string>{"monthly", "daily", "once", "weekly", "daily2", "late"}));
    EXPECT_EQ(engine.day_plan.alarms[1].time, hms(22, 0));  // 22:00:30 less 30 s
    EXPECT_EQ(engine.day_plan.alarms[3].time, hms(22, 0));  // the fraction is dropped
}

TEST_F(Planner, OnlyEnabledTasksThatOccurTodayAreMade) {
    put("tasks.json",
        tasks_file({
            R"({"id":"off","enabled":false,"action":"lock","trigger":)" + daily_at("10:00") + "}",
            task_json("skip", daily_at("10:00"), R"(,"skip_date":"2025-03-12")"),
            task_json("skip-yesterday", daily_at("10:00"), R"(,"skip_date":"2025-03-11")"),
            task_json("once-earlier", R"({"type":"once","at":"2025-03-12T00:10:00"})"),
            task_json("once-other", R"({"type":"once","at":"2025-03-13T10:00:00"})"),
            task_json("weekly-thu",
                      R"({"type":"weekly","time":"10:00","days":["thu"],"start":"2025-01-01"})"),
            R"({"id":"same","enabled":true,"action":"lock","trigger":)" + daily_at("11:00") + "}",
            R"({"id":"same","enabled":true,"action":"sleep","trigger":)" + daily_at("11:00") + "}",
        }));
    refresh();
    const std::vector<PlanEntry> expected = {
        {"once-earlier", hms(0, 9, 30), Action::shutdown},
        {"skip-yesterday", hms(9, 59, 30), Action::shutdown},
        {"same", hms(10, 59, 30), Action::lock},
        {"same", hms(10, 59, 30), Action::sleep},
    };
    EXPECT_EQ(engine.day_plan.alarms, expected);
}

TEST_F(Planner, TheCountdownSetsTheNotifyTimes) {
    put("tasks.json", tasks_file({task_json("a", daily_at("22:00"))}));
    refresh();
    EXPECT_EQ(engine.day_plan.alarms.at(0).time, hms(21, 59, 30));
    put("settings.json", R"({"countdown":{"seconds":3600}})");
    ASSERT_TRUE(refresh());
    EXPECT_EQ(engine.day_plan.alarms.at(0).time, hms(21, 0));
    put("settings.json", R"({"countdown":{"seconds":0}})");  // raised to 5 on loading
    ASSERT_TRUE(refresh());
    EXPECT_EQ(engine.day_plan.alarms.at(0).time, hms(21, 59, 55));
}

TEST_F(Planner, UnreadableFilesGiveNoTasksAndDefaultSettings) {
    put("tasks.json", "{\"version\":1,\"tasks\":[");
    put("settings.json", "\xEF\xBB\xBF{\"paused\":true}");
    refresh();
    EXPECT_TRUE(engine.tasks.empty());
    EXPECT_EQ(engine.settings, snv::model::Settings{});
    EXPECT_EQ(engine.day_plan, empty_plan(kToday));
}

TEST(PlannerFolder, NoDataFolderMeansNoFilesUntilOneIsFixed) {
    snv::test::FakeEngineEnv fakes;  // its environment knows no folder to resolve
    Engine engine(fakes.env());
    snv::engine::refresh_day_plan(engine, kToday);
    EXPECT_EQ(engine.day_plan, empty_plan(kToday));
    EXPECT_TRUE(engine.tasks.empty());
    EXPECT_FALSE(engine.force_reload);
    EXPECT_EQ(fakes.files.count("stamp"), 0u);

    snv::test::TempFolder dir;
    snv::test::write_file(dir.file("tasks.json"), tasks_file({task_json("a", daily_at("22:00"))}));
    fakes.data_dir.set(dir.path().native());
    snv::engine::refresh_day_plan(engine, kToday);
    ASSERT_EQ(engine.tasks.size(), 1u);
    EXPECT_EQ(engine.tasks[0].id, "a");
}

TEST(PlannerStamps, TwoQueriesPerCallTakenBeforeTheFilesAreRead) {
    snv::test::TempFolder dir;
    snv::test::FakeEngineEnv fakes;
    int queries = 0;
    // Stamps that count the queries: the n-th query gives n, whatever the file.
    fakes.files.real = nullptr;
    fakes.files.before = [&](const std::string& call) -> os::Status {
        if (call.starts_with("stamp ")) fakes.files.entries[call.substr(6)].last_write = ++queries;
        return {};
    };
    fakes.data_dir.set(dir.path().native());
    Engine engine(fakes.env());
    snv::engine::refresh_day_plan(engine, kToday);
    EXPECT_EQ(queries, 2);
    EXPECT_EQ(engine.tasks_stamp, 1u);  // the stamps of this call, none taken after reading
    EXPECT_EQ(engine.settings_stamp, 2u);
    snv::engine::refresh_day_plan(engine, kToday);  // both stamps differ: reload
    EXPECT_EQ(queries, 4);
    EXPECT_EQ(engine.tasks_stamp, 3u);
    EXPECT_EQ(engine.settings_stamp, 4u);
}

TEST(NotifyTime, CountsBackFromTheWholeSecondAndStopsAtMidnight) {
    const struct {
        TimeOfDay time;
        std::uint32_t countdown;
        TimeOfDay expected;
    } cases[] = {
        {hms(22, 0), 30, hms(21, 59, 30)},
        {hms(0, 0, 20), 30, hms(0, 0)},
        {hms(22, 0, 0, 750'000'000), 30, hms(21, 59, 30)},
        {hms(1, 0), 3600, hms(0, 0)},
        {hms(0, 59, 59), 3600, hms(0, 0)},
        {hms(0, 0, 30), 30, hms(0, 0)},
        {hms(23, 59, 60, 250'000'000), 5, hms(23, 59, 54)},  // leap second
        {hms(12, 0), 0, hms(12, 0)},
    };
    for (const auto& c : cases) {
        const TimeOfDay got = schedule::notify_time(c.time, c.countdown);
        EXPECT_EQ(got, c.expected) << c.time.seconds() << " less " << c.countdown;
        EXPECT_EQ(got.nanos(), 0u);
    }
}

}  // namespace
