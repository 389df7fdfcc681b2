#include "engine/detail_text.h"

#include <gtest/gtest.h>

#include "support/model_builders.h"

#include <string>
#include <vector>

namespace {

using snv::calendar::Date;
using snv::calendar::DateTime;
using snv::calendar::TimeOfDay;
using snv::model::Action;
using snv::model::DayOfWeek;
using snv::model::MonthDay;
using snv::model::Nth;
using snv::model::Task;
using snv::model::Trigger;
using D = DayOfWeek;
namespace engine = snv::engine;

TimeOfDay hms(unsigned h, unsigned m, unsigned s = 0, std::uint32_t ns = 0) {
    return snv::test::time(h, m, s, ns);
}
using snv::test::date;

Trigger weekly(std::uint32_t every, std::vector<DayOfWeek> days) {
    return {Trigger::Weekly{hms(9, 0), every, std::move(days), date(2025, 1, 1)}};
}
Trigger monthly(MonthDay on, std::vector<std::uint32_t> months) {
    return {Trigger::Monthly{hms(20, 0), std::move(months), on}};
}

TEST(DetailText, TriggerDescriptions) {
    const struct {
        Trigger trigger;
        const char* text;
    } cases[] = {
        {weekly(1, {D::sun, D::sat, D::sat}), "Every weekend day at 09:00"},
        {weekly(2, {D::wed, D::mon}), "Every 2 weeks on Mon, Wed at 09:00"},
        {weekly(1, {D::mon, D::tue, D::wed, D::thu, D::fri, D::sat, D::sun}), "Every day at 09:00"},
        {weekly(0, {D::fri, D::thu, D::wed, D::tue, D::mon}), "Every weekday at 09:00"},
        {weekly(3, {D::sat, D::sun}), "Every 3 weeks on weekend day at 09:00"},
        {weekly(1, {}), "Every  at 09:00"},
        {monthly(MonthDay{MonthDay::Weekday{Nth::last, D::fri}}, {7, 1}),
         "Monthly on the last Friday at 20:00 (Jan, Jul)"},
        {monthly(MonthDay{MonthDay::Weekday{Nth::second, D::wed}}, {}),
         "Monthly on the second Wednesday at 20:00"},
        {monthly(MonthDay{MonthDay::Date{15}}, {}), "Monthly on day 15 at 20:00"},
        {monthly(MonthDay{MonthDay::Date{31}}, {2}), "Monthly on day 31 at 20:00 (Feb)"},
        {monthly(MonthDay{MonthDay::Date{0}}, {12, 3, 3}), "Monthly on day 0 at 20:00 (Mar, Dec)"},
        {{Trigger::Cpu{80, 5, false}}, "When CPU stays above 80% for 5 min"},
        {{Trigger::Cpu{250, 0, true}}, "When CPU stays below 250% for 0 min"},
        {{Trigger::Once{DateTime{date(2025, 3, 10), hms(22, 0)}}}, "Once on 2025-03-10 at 22:00"},
        {{Trigger::Once{DateTime{date(12345, 1, 2), hms(7, 5, 59)}}},
         "Once on +12345-01-02 at 07:05"},
        {{Trigger::Daily{hms(22, 0), 0, date(2025, 1, 1)}}, "Every day at 22:00"},
        {{Trigger::Daily{hms(22, 0), 1, date(2025, 1, 1)}}, "Every day at 22:00"},
        {{Trigger::Daily{hms(6, 45, 30), 2, date(2025, 1, 1)}}, "Every 2 days at 06:45"},
        {{Trigger::Idle{15}}, "After 15 min without keyboard or mouse input"},
        {{Trigger::Idle{0}}, "After 0 min without keyboard or mouse input"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.trigger.describe(), c.text);
}

TEST(DetailText, HoursAndMinutes) {
    EXPECT_EQ(engine::format_hhmm(hms(0, 0)), "00:00");
    EXPECT_EQ(engine::format_hhmm(hms(23, 59, 59)), "23:59");
    EXPECT_EQ(engine::format_hhmm(hms(8, 30, 59, 999'999'999)), "08:30");
    EXPECT_EQ(engine::format_hhmm(hms(23, 59, 60, 500'000'000)), "23:59");  // leap second
}

TEST(DetailText, Days) {
    EXPECT_EQ(engine::describe_days({D::wed}), "Wed");
    EXPECT_EQ(engine::describe_days({D::sat, D::sun, D::mon}), "Mon, Sat, Sun");
    EXPECT_EQ(engine::describe_days({D::fri, D::fri}), "Fri");
    EXPECT_EQ(engine::describe_days({D::sun, D::sat}), "weekend day");
    EXPECT_EQ(engine::describe_days({D::mon, D::tue, D::wed, D::thu}), "Mon, Tue, Wed, Thu");
    EXPECT_EQ(engine::describe_days({}), "");
    const std::vector<DayOfWeek> mine = {D::sun, D::mon, D::sun};
    engine::describe_days(mine);
    EXPECT_EQ(mine, (std::vector<DayOfWeek>{D::sun, D::mon, D::sun}));
}

TEST(DetailText, Months) {
    EXPECT_EQ(engine::describe_months({}), "");
    EXPECT_EQ(engine::describe_months({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), "");
    EXPECT_EQ(engine::describe_months({12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 1, 6}), "");
    EXPECT_EQ(engine::describe_months({12, 3, 3}), " (Mar, Dec)");
    EXPECT_EQ(engine::describe_months({5}), " (May)");
    // Numbers that name no month never match; they are shown as the file holds them.
    EXPECT_EQ(engine::describe_months({13, 0, 1}), " (0, Jan, 13)");
    EXPECT_EQ(engine::describe_months({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}),
              " (0, Jan, Feb, Mar, Apr, May, Jun, Jul, Aug, Sep, Oct, Nov)");
}

TEST(DetailText, ActionLabels) {
    const char* labels[] = {"Shut down", "Restart",          "Sleep",      "Hibernate", "Sign out",
                            "Lock",      "Turn off display", "Screensaver"};
    for (int a = 0; a < 8; ++a) {
        EXPECT_EQ(engine::action_label(static_cast<Action>(a)), labels[a]);
    }
}

Task task(std::string id, std::string name, Action action, Trigger trigger) {
    Task t = snv::test::task(std::move(id), action, std::move(trigger));
    t.name = std::move(name);
    return t;
}

TEST(DetailText, TaskLabelSkipsNamesOfUnicodeWhiteSpaceOnly) {
    const struct {
        const char* name;
        const char* label;
    } cases[] = {
        {"", "Restart"},
        {" \t \t", "Restart"},
        {"\r\n\v\f", "Restart"},
        {"\xC2\xA0", "Restart"},                          // no-break space
        {"\xE3\x80\x80\xE2\x80\xA8", "Restart"},          // ideographic space, line separator
        {"\xC2\x85\xE2\x80\x8A\xE2\x80\xAF", "Restart"},  // next line, hair space, narrow nbsp
        {"\xE2\x80\x8B", "\xE2\x80\x8B"},                 // zero-width space is not white space
        {" Nightly ", " Nightly "},
        {"\xC2\xA0x", "\xC2\xA0x"},
        {"\xFF", "\xFF"},  // broken UTF-8 is kept as a name
    };
    for (const auto& c : cases) {
        EXPECT_EQ(engine::task_label(task("t", c.name, Action::restart, {Trigger::Idle{5}})),
                  c.label)
            << c.name;
    }
}

TEST(DetailText, ExecutionDetail) {
    const Trigger at22{Trigger::Daily{hms(22, 0), 1, date(2025, 1, 1)}};
    const std::vector<Task> tasks = {
        task("a", "", Action::shutdown, at22),
        task("b", "Lights out", Action::lock, {Trigger::Idle{10}}),
        task("b", "Second b", Action::sleep, at22),
    };
    EXPECT_EQ(engine::execution_detail(tasks, "a"), "Shut down \xC2\xB7 Every day at 22:00");
    EXPECT_EQ(engine::execution_detail(tasks, "b"),
              "Lights out \xC2\xB7 After 10 min without keyboard or mouse input");
    EXPECT_EQ(engine::execution_detail(tasks, "c"), "");
    EXPECT_EQ(engine::execution_detail(tasks, "A"), "");
    EXPECT_EQ(engine::execution_detail({}, ""), "");
}

}  // namespace
