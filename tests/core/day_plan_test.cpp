#include "schedule/day_plan.h"

#include <gtest/gtest.h>

#include "support/model_builders.h"

#include "schedule/day_plan.h"

namespace {

using snv::calendar::Date;
using snv::calendar::TimeOfDay;
using snv::model::Action;
using namespace snv::schedule;

using snv::test::date;

DayPlan sample() {
    DayPlan plan;
    plan.alarms = {{"a", *TimeOfDay::from_hms(8, 0, 0), Action::lock},
                   {"b", *TimeOfDay::from_hms(9, 0, 0), Action::sleep}};
    plan.idle = {{"i", 5, Action::monitor_off}};
    plan.cpu = {{"c", 80, 5, false, Action::hibernate}};
    plan.date = date(2025, 3, 12);
    return plan;
}

TEST(DayPlan, EqualityComparesTheDateAndEveryEntryInOrder) {
    EXPECT_EQ(sample(), sample());
    EXPECT_EQ(DayPlan{}, DayPlan{});

    const struct {
        const char* what;
        void (*change)(DayPlan&);
    } changes[] = {
        {"date", [](DayPlan& p) { p.date = date(2025, 3, 13); }},
        {"no date", [](DayPlan& p) { p.date.reset(); }},
        {"alarm order", [](DayPlan& p) { std::swap(p.alarms[0], p.alarms[1]); }},
        {"alarm time fraction",
         [](DayPlan& p) { p.alarms[0].time = *TimeOfDay::from_hms(8, 0, 0, 1); }},
        {"alarm action", [](DayPlan& p) { p.alarms[1].action = Action::restart; }},
        {"idle minutes", [](DayPlan& p) { p.idle[0].minutes = 6; }},
        {"cpu task id", [](DayPlan& p) { p.cpu[0].task_id = "C"; }},
        {"cpu below", [](DayPlan& p) { p.cpu[0].below = true; }},
        {"cpu percent", [](DayPlan& p) { p.cpu[0].percent = 81; }},
        {"one entry fewer", [](DayPlan& p) { p.idle.clear(); }},
    };
    for (const auto& c : changes) {
        DayPlan other = sample();
        c.change(other);
        EXPECT_NE(sample(), other) << c.what;
    }
}

TEST(DayPlan, ACopyIsIndependent) {
    const DayPlan original = sample();
    DayPlan copy = original;
    copy.alarms[0].task_id += "-changed";
    copy.cpu.clear();
    EXPECT_EQ(original, sample());
    EXPECT_NE(copy, original);
}

TEST(DayPlan, PlansBuiltFromEqualInputsAreEqual) {
    snv::model::Task t;
    t.id = "x";
    t.enabled = true;
    t.trigger = {snv::model::Trigger::Idle{4}};
    const std::vector<snv::model::Task> tasks = {t, t};
    const snv::model::Settings settings;
    EXPECT_EQ(build_day_plan(tasks, settings, date(2025, 3, 12)),
              build_day_plan(tasks, settings, date(2025, 3, 12)));
    EXPECT_NE(build_day_plan(tasks, settings, date(2025, 3, 12)),
              build_day_plan(tasks, settings, date(2025, 3, 13)));
}

}  // namespace
