#include "model/task_writer.h"

#include <gtest/gtest.h>

#include "model/task_reader.h"
#include "support/model_builders.h"

namespace snv::model {
namespace {

using test::date;
using test::task;
using test::time;
using test::trigger;

TEST(TaskWriter, FileWithoutTasksIs33Bytes) {
    TaskFile file;
    file.version = 1;
    const std::string text = write_task_file(file);
    EXPECT_EQ(text, "{\n  \"version\": 1,\n  \"tasks\": []\n}");
    EXPECT_EQ(text.size(), 33u);
}

TEST(TaskWriter, OneIdleLockTaskIsTheFourteenLines) {
    TaskFile file;
    file.version = 1;
    file.tasks.push_back(task("t1", Action::lock, trigger(Trigger::Idle{5})));
    EXPECT_EQ(write_task_file(file),
              "{\n"
              "  \"version\": 1,\n"
              "  \"tasks\": [\n"
              "    {\n"
              "      \"id\": \"t1\",\n"
              "      \"enabled\": true,\n"
              "      \"action\": \"lock\",\n"
              "      \"trigger\": {\n"
              "        \"type\": \"idle\",\n"
              "        \"minutes\": 5\n"
              "      }\n"
              "    }\n"
              "  ]\n"
              "}");
}

TEST(TaskWriter, EscapesNamesAndIdsAsTheDesktopProgramDoes) {
    TaskFile file;
    file.version = 1;
    Task t = task("id\"\\\t\x1f/\xc3\xa9", Action::shutdown, trigger(Trigger::Idle{1}));
    t.name = "q\"b\\s\tu\x1f/ \xc3\xa9\xe6\x97\xa5\x7f";
    file.tasks.push_back(t);
    const std::string text = write_task_file(file);
    EXPECT_NE(text.find("\"id\": \"id\\\"\\\\\\t\\u001f/\xc3\xa9\","), std::string::npos) << text;
    EXPECT_NE(text.find("\"name\": \"q\\\"b\\\\s\\tu\\u001f/ \xc3\xa9\xe6\x97\xa5\x7f\","),
              std::string::npos)
        << text;
}

TEST(TaskWriter, OptionalKeysAndNestedLevels) {
    TaskFile file;
    file.version = 1;
    Task t = task("m", Action::restart,
                  trigger(Trigger::Monthly{time(7, 5, 9, 500'000'000), {1, 12},
                                           MonthDay{MonthDay::Weekday{Nth::last, DayOfWeek::sun}}}));
    t.name = "  ";
    t.enabled = false;
    t.skip_date = date(2026, 3, 14);
    t.temporary = true;
    file.tasks.push_back(t);
    file.tasks.push_back(task("w", Action::sleep,
                              trigger(Trigger::Weekly{time(22, 0), 2, {}, date(-5, 1, 2)})));
    EXPECT_EQ(write_task_file(file),
              "{\n"
              "  \"version\": 1,\n"
              "  \"tasks\": [\n"
              "    {\n"
              "      \"id\": \"m\",\n"
              "      \"name\": \"  \",\n"
              "      \"enabled\": false,\n"
              "      \"action\": \"restart\",\n"
              "      \"trigger\": {\n"
              "        \"type\": \"monthly\",\n"
              "        \"time\": \"07:05:09.500\",\n"
              "        \"months\": [\n"
              "          1,\n"
              "          12\n"
              "        ],\n"
              "        \"on\": {\n"
              "          \"kind\": \"weekday\",\n"
              "          \"nth\": \"last\",\n"
              "          \"weekday\": \"sun\"\n"
              "        }\n"
              "      },\n"
              "      \"skip_date\": \"2026-03-14\",\n"
              "      \"temporary\": true\n"
              "    },\n"
              "    {\n"
              "      \"id\": \"w\",\n"
              "      \"enabled\": true,\n"
              "      \"action\": \"sleep\",\n"
              "      \"trigger\": {\n"
              "        \"type\": \"weekly\",\n"
              "        \"time\": \"22:00:00\",\n"
              "        \"every\": 2,\n"
              "        \"days\": [],\n"
              "        \"start\": \"-0005-01-02\"\n"
              "      }\n"
              "    }\n"
              "  ]\n"
              "}");
}

// Every trigger kind with every field at a value no check stops; all come back unchanged.
TEST(TaskWriter, EveryTriggerKindRoundTrips) {
    const std::uint32_t max = 4294967295u;
    TaskFile file;
    file.version = 1;
    const Trigger triggers[] = {
        trigger(Trigger::Once{{date(262142, 12, 31), time(23, 59, 60, 999'999'999)}}),
        trigger(Trigger::Once{{date(-262143, 1, 1), time(0, 0, 0, 1'500'000)}}),
        trigger(Trigger::Daily{time(0, 0, 1, 7), 0, date(10000, 2, 29)}),
        trigger(Trigger::Weekly{time(12, 30), max,
                                {DayOfWeek::sun, DayOfWeek::sun, DayOfWeek::mon, DayOfWeek::wed},
                                date(0, 2, 29)}),
        trigger(Trigger::Weekly{time(1, 2, 3), 1, {}, date(1970, 1, 1)}),
        trigger(Trigger::Monthly{time(5, 6), {0, 13, max}, MonthDay{MonthDay::Date{40}}}),
        trigger(Trigger::Monthly{time(5, 6), {}, MonthDay{MonthDay::Date{0}}}),
        trigger(Trigger::Monthly{time(5, 6), {2}, MonthDay{MonthDay::Weekday{Nth::fourth, DayOfWeek::fri}}}),
        trigger(Trigger::Idle{0}),
        trigger(Trigger::Cpu{250, max, true}),
        trigger(Trigger::Cpu{0, 0, false}),
    };
    int n = 0;
    for (const Trigger& t : triggers) {
        ++n;
        Task one = task("task " + std::to_string(n), static_cast<Action>(n % 8), t);
        one.skip_date = date(2024, 2, 29);
        one.temporary = n % 2 == 0;
        one.name = n % 3 == 0 ? "" : "named";
        file.tasks.push_back(one);
    }
    const std::string text = write_task_file(file);
    auto back = read_task_file(text);
    ASSERT_TRUE(back) << back.error().reason << "\n" << text;
    EXPECT_EQ(*back, file);
    EXPECT_EQ(write_task_file(*back), text);
}

}  // namespace
}  // namespace snv::model
