#include "console.h"

#include <gtest/gtest.h>

#include "engine_run.h"
#include "support/fake_engine_env.h"
#include "support/file_times.h"
#include "support/model_builders.h"
#include "support/temp_folder.h"

namespace snv::svc {
namespace {

using namespace std::chrono_literals;
using model::Action;
using schedule::CpuEntry;
using schedule::DayPlan;
using schedule::IdleEntry;
using schedule::PlanEntry;
using test::date;

calendar::TimeOfDay hms(unsigned h, unsigned m, unsigned s) {
    return test::time(h, m, s);
}

TEST(Console, BannerNamesTheDataFolderAfterAnEmDash) {
    os::NativePath folder = os::to_native("D:\\Somnivo data\\\xc3\xa9");
    EXPECT_EQ(console_banner(&folder),
              "Somnivo Service \xe2\x80\x94 console mode. Data: D:\\Somnivo data\\\xc3\xa9\n"
              "Press Ctrl+C to quit.\n");
}

TEST(Console, StatusBlockCountsEveryListAndListsTheAlarmsInPlanOrder) {
    DayPlan plan;
    plan.date = date(2025, 3, 12);
    plan.alarms = {{"x", hms(21, 59, 30), Action::shutdown}};
    plan.cpu = {{"c1", 80, 5, false, Action::sleep}, {"c2", 5, 10, true, Action::lock}};
    EXPECT_EQ(status_block(hms(14, 3, 7), plan, false),
              "14:03:07 plan: 1 alarm(s), 0 idle, 2 CPU task(s); GUI running: false\n"
              "  21:59:30 -> shutdown [x]\n");

    plan.alarms = {{"b", hms(7, 0, 0), Action::monitor_off},
                   {"a [1] z", hms(7, 0, 0), Action::sign_out},
                   {"\xe4\xb8\xad", hms(23, 59, 59), Action::screensaver}};
    plan.idle = {{"i", 15, Action::hibernate}};
    plan.cpu.clear();
    EXPECT_EQ(status_block(hms(0, 0, 0), plan, true),
              "00:00:00 plan: 3 alarm(s), 1 idle, 0 CPU task(s); GUI running: true\n"
              "  07:00:00 -> monitor_off [b]\n"
              "  07:00:00 -> sign_out [a [1] z]\n"
              "  23:59:59 -> screensaver [\xe4\xb8\xad]\n");
}

// The loop over a fake tick that puts the next plan of a script into the engine.
class ConsoleLoopTest : public ::testing::Test {
  protected:
    ConsoleLoopTest() { seams_.clock.local = {2025, 3, 12, 9, 30, 5, 0}; }

    // Runs one pass per step and returns what each pass printed.
    struct Step {
        DayPlan plan;
        bool desktop_running = false;
    };
    std::vector<std::string> run(const std::vector<Step>& steps) {
        std::size_t next = 0;
        ConsoleLoop loop(
            engine_,
            [&] {
                engine_.day_plan = steps[next].plan;
                engine_.desktop_running = steps[next].desktop_running;
                ++next;
            },
            seams_.clock, console_);
        std::vector<std::string> printed;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            console_.out.clear();
            loop.pass();
            printed.push_back(console_.out);
        }
        return printed;
    }

    test::FakeEngineEnv seams_;
    engine::Engine engine_{seams_.env()};
    test::FakeConsole console_;
};

TEST_F(ConsoleLoopTest, PrintsTheFirstPlanAndThenOnlyPlansThatDiffer) {
    DayPlan empty;
    DayPlan today;
    today.date = date(2025, 3, 12);
    DayPlan one = today;
    one.alarms = {{"a", hms(21, 59, 30), Action::lock}};
    DayPlan retimed = today;
    retimed.alarms = {{"a", hms(21, 59, 0), Action::lock}};
    DayPlan other_action = today;
    other_action.alarms = {{"a", hms(21, 59, 0), Action::monitor_off}};
    DayPlan renamed = today;
    renamed.alarms = {{"A", hms(21, 59, 0), Action::monitor_off}};
    DayPlan idle = renamed;
    idle.idle = {{"i", 5, Action::lock}};
    DayPlan idle_longer = renamed;
    idle_longer.idle = {{"i", 6, Action::lock}};
    DayPlan cpu = idle_longer;
    cpu.cpu = {{"c", 80, 5, false, Action::lock}};
    DayPlan cpu_below = idle_longer;
    cpu_below.cpu = {{"c", 80, 5, true, Action::lock}};
    DayPlan next_day = cpu_below;
    next_day.date = date(2025, 3, 13);

    struct Case {
        Step step;
        bool prints;
    };
    const Case cases[] = {
        {{empty, true}, true},  // the first pass prints, even an empty plan
        {{empty, false}, false},       {{today, false}, true},  // a date where there was none
        {{today, false}, false},       {{one, false}, true},    // alarm added
        {{one, true}, false},  // the desktop program alone prints nothing
        {{one, false}, false},         {{retimed, false}, true},
        {{other_action, false}, true}, {{renamed, false}, true},
        {{idle, false}, true},         {{idle_longer, false}, true},
        {{cpu, false}, true},          {{cpu_below, false}, true},
        {{next_day, false}, true},  // equal lists, another date
        {{today, false}, true},     // everything removed
    };
    std::vector<Step> steps;
    for (const Case& c : cases) steps.push_back(c.step);
    std::vector<std::string> printed = run(steps);
    for (std::size_t i = 0; i < printed.size(); ++i) {
        if (!cases[i].prints) {
            EXPECT_EQ(printed[i], "") << "pass " << i;
            continue;
        }
        EXPECT_EQ(printed[i],
                  status_block(hms(9, 30, 5), cases[i].step.plan, cases[i].step.desktop_running))
            << "pass " << i;
    }
    EXPECT_EQ(printed[0], "09:30:05 plan: 0 alarm(s), 0 idle, 0 CPU task(s); GUI running: true\n");
}

TEST_F(ConsoleLoopTest, SleepsOneSecondAfterEachPass) {
    auto before = seams_.clock.monotonic;
    run({{DayPlan{}, false}, {DayPlan{}, false}, {DayPlan{}, false}});
    EXPECT_EQ(seams_.clock.monotonic - before, 3s);
}

// The real planner over a scripted clock: midnight brings the next day's plan, printed even
// when its lists are equal.
TEST(ConsoleMidnight, TheNewDatesPlanIsPrinted) {
    test::TempFolder dir;
    test::write_file(dir.file("tasks.json"),
                   R"({"version":1,"tasks":[{"id":"d","enabled":true,"action":"lock",)"
                   R"("trigger":{"type":"daily","time":"10:00","start":"2025-01-01"}}]})");
    test::FakeEngineEnv seams;
    seams.data_dir.set(dir.path().native());
    engine::Engine engine(seams.env());
    test::FakeConsole console;
    ConsoleLoop loop(
        engine, [&] { engine.tick(); }, seams.clock, console);

    const std::string block =
        " plan: 1 alarm(s), 0 idle, 0 CPU task(s); GUI running: false\n"
        "  09:59:30 -> lock [d]\n";
    seams.clock.local = {2025, 3, 12, 23, 59, 58, 0};
    loop.pass();
    EXPECT_EQ(console.out, "23:59:58" + block);
    seams.clock.local = {2025, 3, 12, 23, 59, 59, 900'000'000};
    loop.pass();
    EXPECT_EQ(console.out, "23:59:58" + block);
    seams.clock.local = {2025, 3, 13, 0, 0, 0, 500'000'000};
    loop.pass();
    EXPECT_EQ(console.out, "23:59:58" + block + "00:00:00" + block);
    EXPECT_EQ(engine.day_plan.date, date(2025, 3, 13));
}

}  // namespace
}  // namespace snv::svc
