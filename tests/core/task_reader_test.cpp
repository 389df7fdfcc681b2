#include "model/task_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/model_builders.h"

namespace snv::model {
namespace {

using test::date;
using test::task;
using test::trigger;

const std::string kIdle = R"({"type":"idle","minutes":5})";

TaskFile one_task(Task t, std::uint32_t version = 0) {
    TaskFile f;
    f.version = version;
    f.tasks.push_back(std::move(t));
    return f;
}

Task lock_task() { return task("a", Action::lock, trigger(Trigger::Idle{5})); }

Task with(Task t, auto change) {
    change(t);
    return t;
}

std::string wrap_task(const std::string& task_json) { return R"({"tasks":[)" + task_json + "]}"; }

struct Case {
    std::string document;
    std::optional<TaskFile> expected;  // none: rejected
};

TEST(TaskReader, Table) {
    const std::string deep = std::string(200, '[') + std::string(200, ']');
    const std::string base = R"("id":"a","enabled":true,"action":"lock","trigger":)" + kIdle;
    const Case cases[] = {
        // The top level.
        {"{}", TaskFile{}},
        {"[]", TaskFile{}},
        {"[7]", TaskFile{7, {}}},
        {R"({"version":3})", TaskFile{3, {}}},
        {R"({"version":4294967295})", TaskFile{4294967295u, {}}},
        {R"({"version":4294967296})", std::nullopt},
        {R"({"version":-0})", std::nullopt},
        {R"({"version":1.0})", std::nullopt},
        {R"({"version":"1"})", std::nullopt},
        {R"({"version":1,"version":1})", std::nullopt},
        {R"({"tasks":null})", std::nullopt},
        {R"({"tasks":{}})", std::nullopt},
        {R"([1,[],3])", std::nullopt},
        {"\"tasks\"", std::nullopt},
        {"7", std::nullopt},
        {"null", std::nullopt},
        {"", std::nullopt},
        {" \t\r\n", std::nullopt},
        {"\xef\xbb\xbf{}", std::nullopt},
        {"{} {}", std::nullopt},
        {"{}x", std::nullopt},
        {" \n\t{} \r\n ", TaskFile{}},
        {R"({"tasks":[],})", std::nullopt},
        {R"({"tasks":[1]})", std::nullopt},
        {R"({"tasks":["a"]})", std::nullopt},
        // A task object.
        {wrap_task("{" + base + "}"), one_task(lock_task())},
        {"[1,[{" + base + "}]]", one_task(lock_task(), 1)},
        {wrap_task(R"({"id":"a","enabled":true,"action":"lock"})"), std::nullopt},
        {wrap_task(R"({"id":"a","enabled":true,"trigger":)" + kIdle + "}"), std::nullopt},
        {wrap_task(R"({"id":"a","action":"lock","trigger":)" + kIdle + "}"), std::nullopt},
        {wrap_task(R"({"enabled":true,"action":"lock","trigger":)" + kIdle + "}"), std::nullopt},
        {wrap_task("{" + base + R"(,"name":null})"), std::nullopt},
        {wrap_task("{" + base + R"(,"temporary":null})"), std::nullopt},
        {wrap_task("{" + base + R"(,"skip_date":null})"), one_task(lock_task())},
        {wrap_task("{" + base + R"(,"skip_date":"2026-3-4","temporary":true,"name":"N"})"),
         one_task(with(lock_task(), [](Task& t) {
             t.skip_date = date(2026, 3, 4);
             t.temporary = true;
             t.name = "N";
         }))},
        {wrap_task("{" + base + R"(,"skip_date":"2026-02-29"})"), std::nullopt},
        {wrap_task("{" + base + R"(,"enabled":false})"), std::nullopt},
        {wrap_task("{" + base + R"(,"x":1,"x":[{}],"y":null,"z":{"a":"b"}})"), one_task(lock_task())},
        {wrap_task("{" + base + R"(,"deep":)" + deep + "}"), one_task(lock_task())},
        {wrap_task("{" + base + R"(,"id":"b"})"), std::nullopt},
        {wrap_task(R"({"id":"","enabled":true,"action":"lock","trigger":)" + kIdle + "}"),
         one_task(with(lock_task(), [](Task& t) { t.id = ""; }))},
        {wrap_task(R"({"id":"a","enabled":1,"action":"lock","trigger":)" + kIdle + "}"), std::nullopt},
        {wrap_task(R"({"id":7,"enabled":true,"action":"lock","trigger":)" + kIdle + "}"), std::nullopt},
        // The action's two forms.
        {wrap_task(R"({"id":"a","enabled":true,"action":{"lock":null},"trigger":)" + kIdle + "}"),
         one_task(lock_task())},
        {wrap_task(R"({"id":"a","enabled":true,"action":"LOCK","trigger":)" + kIdle + "}"), std::nullopt},
        {wrap_task(R"({"id":"a","enabled":true,"action":{"lock":0},"trigger":)" + kIdle + "}"), std::nullopt},
        {wrap_task(R"({"id":"a","enabled":true,"action":{"lock":null,"x":null},"trigger":)" + kIdle + "}"),
         std::nullopt},
        {wrap_task(R"({"id":"a","enabled":true,"action":{},"trigger":)" + kIdle + "}"), std::nullopt},
        {wrap_task(R"({"id":"a","enabled":true,"action":"","trigger":)" + kIdle + "}"), std::nullopt},
        {wrap_task(R"({"id":"a","enabled":true,"action":5,"trigger":)" + kIdle + "}"), std::nullopt},
        {wrap_task(R"({"id":"a","enabled":true,"action":["lock"],"trigger":)" + kIdle + "}"), std::nullopt},
        // The positional task.
        {wrap_task(R"(["a","",true,"lock",)" + kIdle + "]"), one_task(lock_task())},
        {wrap_task(R"(["a","",true,"lock",)" + kIdle + ",null]"), one_task(lock_task())},
        {wrap_task(R"(["a","",true,"lock",)" + kIdle + R"(,"2026-01-02",true])"),
         one_task(with(lock_task(), [](Task& t) {
             t.skip_date = date(2026, 1, 2);
             t.temporary = true;
         }))},
        {wrap_task(R"(["a","",true,"lock",)" + kIdle + R"(,null,false,1])"), std::nullopt},
        {wrap_task(R"(["a","",true,"lock"])"), std::nullopt},
        {wrap_task(R"(["a",true,"lock",)" + kIdle + "]"), std::nullopt},
        {wrap_task("[]"), std::nullopt},
        // Strings.
        {wrap_task(R"({"id":"\u00e9\ud83d\ude00","enabled":true,"action":"lock","trigger":)" + kIdle + "}"),
         one_task(with(lock_task(), [](Task& t) { t.id = "\xc3\xa9\xf0\x9f\x98\x80"; }))},
        {wrap_task(R"({"id":"\ud83d","enabled":true,"action":"lock","trigger":)" + kIdle + "}"), std::nullopt},
        {wrap_task("{\"id\":\"\xff\",\"enabled\":true,\"action\":\"lock\",\"trigger\":" + kIdle + "}"),
         std::nullopt},
        {wrap_task("{\"id\":\"a\tb\",\"enabled\":true,\"action\":\"lock\",\"trigger\":" + kIdle + "}"),
         std::nullopt},
        {wrap_task("{" + base + R"(,"skip":"\u00zz"})"), std::nullopt},
        {wrap_task("{" + base + R"(,'x':1})"), std::nullopt},
        {wrap_task("{" + base + R"(,"x":NaN})"), std::nullopt},
        {wrap_task("{" + base + "/*c*/}"), std::nullopt},
    };
    for (const Case& c : cases) {
        auto read = read_task_file(c.document);
        if (!c.expected) {
            EXPECT_FALSE(read) << "accepted: " << c.document;
        } else {
            ASSERT_TRUE(read) << read.error().reason << ": " << c.document;
            EXPECT_EQ(*read, *c.expected) << c.document;
        }
    }
}

// Nesting counts the levels a reader enters: the top level is the first of 127.
TEST(TaskReader, NestingLimitCountsEnteredLevelsOnly) {
    auto doc = [](int levels) {
        // top object, tasks array, task object, trigger object, "months" array: 5 levels, then
        // the rest are arrays inside an unknown key of the trigger, which are checked too.
        std::string extra(static_cast<std::size_t>(levels - 5), '[');
        std::string close(static_cast<std::size_t>(levels - 5), ']');
        return wrap_task(R"({"id":"a","enabled":true,"action":"lock","trigger":{"type":"idle","minutes":1,"x":[)" +
                         extra + close + "]}}");
    };
    EXPECT_TRUE(read_task_file(doc(127)));
    EXPECT_FALSE(read_task_file(doc(128)));
}

}  // namespace
}  // namespace snv::model
