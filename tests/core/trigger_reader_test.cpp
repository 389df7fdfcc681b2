#include "model/trigger_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>

#include "model/task_reader.h"
#include "support/model_builders.h"

namespace snv::model {
namespace {

using test::date;
using test::time;
using test::trigger;

std::string in_task(const std::string& trigger_json) {
    return R"({"tasks":[{"id":"a","enabled":true,"action":"lock","trigger":)" + trigger_json +
           "}]}";
}

struct Case {
    std::string trigger;
    std::optional<Trigger> expected;  // none: the document is rejected
};

const std::optional<Trigger> kRejected;

Trigger daily(std::uint32_t every = 1) {
    return trigger(Trigger::Daily{time(22, 0), every, date(2026, 1, 1)});
}

Trigger monthly_on(MonthDay on, std::vector<std::uint32_t> months = {}) {
    return trigger(Trigger::Monthly{time(8, 0), std::move(months), on});
}

const std::string kOnLastSun = R"({"kind":1,"nth":"last","weekday":"sun"})";

std::string monthly(const std::string& on) {
    return R"({"type":"monthly","time":"08:00","on":)" + on + "}";
}

std::string weekly(const std::string& days) {
    return R"({"type":"weekly","time":"08:00","days":)" + days + R"(,"start":"2026-01-05"})";
}

Trigger weekly_on(std::vector<DayOfWeek> days) {
    return trigger(Trigger::Weekly{time(8, 0), 1, std::move(days), date(2026, 1, 5)});
}

TEST(TriggerReader, Table) {
    const std::string deep = std::string(200, '[') + std::string(200, ']');
    const Case cases[] = {
        // The tag: anywhere, once, a known lower-case name.
        {R"({"type":"daily","time":"22:00","start":"2026-01-01"})", daily()},
        {R"({"time":"22:00","start":"2026-01-01","type":"daily"})", daily()},
        {R"({"time":"22:00:00","every":0,"start":"2026-1-1","type":"daily"})", daily(0)},
        {R"({"type":"daily","type":"daily","time":"22:00","start":"2026-01-01"})", kRejected},
        {R"({"time":"22:00","start":"2026-01-01"})", kRejected},
        {R"({"type":1,"time":"22:00","start":"2026-01-01"})", kRejected},
        {R"({"type":null,"time":"22:00","start":"2026-01-01"})", kRejected},
        {R"({"type":"Daily","time":"22:00","start":"2026-01-01"})", kRejected},
        {R"({"type":"hourly","time":"22:00","start":"2026-01-01"})", kRejected},
        {R"({"type":{"daily":null},"time":"22:00","start":"2026-01-01"})", kRejected},
        // Keys and names are compared with their escapes resolved, each key kept apart.
        {R"({"\u0074ime":"22:00","st\u0061rt":"2026-01-01","\u0074ype":"d\u0061ily"})", daily()},
        {R"({"type":"daily","\u0074ime":"22:00","\u0074ime":"22:00","start":"2026-01-01"})",
         kRejected},
        // Members of other variants and unknown keys are dropped; own keys once only.
        {R"({"type":"idle","minutes":15,"time":"x","days":7,"q":1,"q":2})",
         trigger(Trigger::Idle{15})},
        {R"({"minutes":15,"Minutes":"x","type":"idle"})", trigger(Trigger::Idle{15})},
        {R"({"type":"idle","minutes":15,"minutes":15})", kRejected},
        {R"({"minutes":15,"type":"idle","minutes":16})", kRejected},
        {R"({"type":"idle","minutes":1,"x":)" + deep + "}", kRejected},
        {R"({"type":"idle","minutes":1,"x":"\ud800"})", kRejected},
        {R"({"type":"idle","minutes":1,"x":[1e400]})", kRejected},
        {R"({"x":[1e400],"minutes":1,"type":"idle"})", kRejected},
        {R"({"type":"idle","minutes":1,"type":"cpu"})", kRejected},
        {R"({"type":"idle"})", kRejected},
        // However the tag stands first or later: blanks around it, written with an escape,
        // after members of any kind and number.
        {R"({ "type" :"idle","minutes":3})", trigger(Trigger::Idle{3})},
        {R"({"\u0074ype":"idle","minutes":3,"\u0074ype":"idle"})", kRejected},
        {R"({"\u0074ype":"idle","minutes":3})", trigger(Trigger::Idle{3})},
        {R"({"time":1,"time":[2],"q":{},"q":3,"minutes":3,"type":"idle"})",
         trigger(Trigger::Idle{3})},
        {R"({"minutes":3,"type":"idle","type":"idle"})", kRejected},
        {R"({"minutes":3,"type":"idle","minutes":3})", kRejected},
        // Unsigned values.
        {R"({"type":"idle","minutes":0})", trigger(Trigger::Idle{0})},
        {R"({"type":"idle","minutes":4294967295})", trigger(Trigger::Idle{4294967295u})},
        {R"({"type":"idle","minutes":4294967296})", kRejected},
        {R"({"type":"idle","minutes":5.0})", kRejected},
        {R"({"type":"idle","minutes":5e0})", kRejected},
        {R"({"type":"idle","minutes":-1})", kRejected},
        {R"({"type":"idle","minutes":-0})", kRejected},
        {R"({"type":"idle","minutes":"5"})", kRejected},
        {R"({"type":"idle","minutes":null})", kRejected},
        {R"({"type":"daily","time":"22:00","every":null,"start":"2026-01-01"})", kRejected},
        {R"({"type":"cpu","percent":250,"minutes":0})", trigger(Trigger::Cpu{250, 0, false})},
        {R"({"type":"cpu","percent":80,"minutes":5,"below":true})",
         trigger(Trigger::Cpu{80, 5, true})},
        {R"({"type":"cpu","percent":80,"minutes":5,"below":0})", kRejected},
        {R"({"type":"cpu","percent":80,"minutes":5,"below":"true"})", kRejected},
        {R"({"type":"cpu","percent":80,"minutes":5,"below":null})", kRejected},
        {R"({"type":"cpu","percent":80})", kRejected},
        // Times and dates.
        {R"({"type":"once","at":"2026-03-14T07:05:09"})",
         trigger(Trigger::Once{{date(2026, 3, 14), time(7, 5, 9)}})},
        {R"({"type":"once","at":"2026-03-14T07:05"})", kRejected},
        {R"({"type":"once","at":"2026-03-14t07:05:09"})", kRejected},
        {R"({"type":"once","at":"2026-03-14T07:05:60.25"})",
         trigger(Trigger::Once{{date(2026, 3, 14), time(7, 5, 60, 250'000'000)}})},
        {R"({"type":"daily","time":" 7: 5","start":" 2026 - 1 - 1 "})",
         trigger(Trigger::Daily{time(7, 5), 1, date(2026, 1, 1)})},
        {R"({"type":"daily","time":"24:00","start":"2026-01-01"})", kRejected},
        {R"({"type":"daily","time":"22:00","start":"2025-02-29"})", kRejected},
        {R"({"type":"daily","time":"22:00","start":"2026-13-01"})", kRejected},
        {R"({"type":"daily","time":"22:00","start":null})", kRejected},
        {R"({"type":"daily","time":"22:00"})", kRejected},
        // Weekly days.
        {weekly("[]"), weekly_on({})},
        {weekly(R"(["fri","fri",{"mon":null},{"sun":{}}])"),
         weekly_on({DayOfWeek::fri, DayOfWeek::fri, DayOfWeek::mon, DayOfWeek::sun})},
        {weekly(R"(["Fri"])"), kRejected},
        {weekly(R"(["FRI"])"), kRejected},
        {weekly(R"(["friday"])"), kRejected},
        {weekly("[4]"), kRejected},
        {weekly(R"("fri")"), kRejected},
        {weekly(R"([{"fri":0}])"), kRejected},
        {weekly(R"([{"fri":[]}])"), kRejected},
        {weekly(R"([{"fri":{"a":null}}])"), kRejected},
        {weekly(R"([{}])"), kRejected},
        {weekly(R"([{"fri":null,"sat":null}])"), kRejected},
        {R"({"type":"weekly","time":"08:00","start":"2026-01-05"})", kRejected},
        // Monthly and its day.
        {monthly(kOnLastSun), monthly_on(MonthDay{MonthDay::Weekday{Nth::last, DayOfWeek::sun}})},
        {monthly(R"({"nth":{"first":null},"weekday":{"mon":{}},"kind":"weekday"})"),
         monthly_on(MonthDay{MonthDay::Weekday{Nth::first, DayOfWeek::mon}})},
        {monthly(R"({"kind":"date","day":0})"), monthly_on(MonthDay{MonthDay::Date{0}})},
        {monthly(R"({"day":40,"kind":0,"nth":7})"), monthly_on(MonthDay{MonthDay::Date{40}})},
        {monthly(R"(["weekday","second","tue"])"),
         monthly_on(MonthDay{MonthDay::Weekday{Nth::second, DayOfWeek::tue}})},
        {monthly(R"([0,31])"), monthly_on(MonthDay{MonthDay::Date{31}})},
        {monthly(R"({"kind":2,"day":1})"), kRejected},
        {monthly(R"({"kind":-1,"day":1})"), kRejected},
        {monthly(R"({"kind":0.0,"day":1})"), kRejected},
        {monthly(R"({"kind":"Date","day":1})"), kRejected},
        {monthly(R"({"kind":"date"})"), kRejected},
        {monthly(R"({"day":1})"), kRejected},
        {monthly(R"({"kind":"date","kind":"date","day":1})"), kRejected},
        {monthly(R"({"kind":"date","day":1,"day":1})"), kRejected},
        {monthly(R"({"kind":"weekday","nth":4,"weekday":"sun"})"), kRejected},
        {monthly(R"({"kind":"weekday","nth":"last"})"), kRejected},
        {monthly(R"(["date"])"), kRejected},
        {monthly(R"(["date",1,2])"), kRejected},
        {monthly("[]"), kRejected},
        {monthly(R"("date")"), kRejected},
        {monthly("1"), kRejected},
        {monthly("null"), kRejected},
        {R"({"type":"monthly","time":"08:00","months":[0,13],"on":{"kind":"date","day":1}})",
         monthly_on(MonthDay{MonthDay::Date{1}}, {0, 13})},
        {R"({"type":"monthly","time":"08:00","months":3,"on":{"kind":"date","day":1}})", kRejected},
        {R"({"type":"monthly","time":"08:00","months":null,"on":{"kind":"date","day":1}})",
         kRejected},
        {R"({"type":"monthly","time":"08:00","months":[-1],"on":{"kind":"date","day":1}})",
         kRejected},
        // The positional form.
        {R"(["idle",15])", trigger(Trigger::Idle{15})},
        {R"(["cpu",80,5])", trigger(Trigger::Cpu{80, 5, false})},
        {R"(["cpu",80,5,true])", trigger(Trigger::Cpu{80, 5, true})},
        {R"(["daily","22:00",3,"2026-01-01"])", daily(3)},
        {R"(["daily","22:00","2026-01-01"])", kRejected},
        {R"(["idle"])", kRejected},
        {R"(["idle",1,2])", kRejected},
        {R"(["cpu",80,5,true,1])", kRejected},
        {R"([1,15])", kRejected},
        {"[]", kRejected},
        // Not an object or array.
        {R"("idle")", kRejected},
        {"15", kRejected},
        {"true", kRejected},
        {"null", kRejected},
    };
    for (const Case& c : cases) {
        auto read = read_task_file(in_task(c.trigger));
        if (!c.expected) {
            EXPECT_FALSE(read) << "accepted: " << c.trigger;
            continue;
        }
        ASSERT_TRUE(read) << read.error().reason << ": " << c.trigger;
        ASSERT_EQ(read->tasks.size(), 1u);
        EXPECT_EQ(read->tasks[0].trigger, *c.expected) << c.trigger;
    }
    // A tag that stands first is read before the members, one that stands last after them all:
    // every object above that starts with its tag reads the same with the tag moved last.
    const std::regex tag_first(R"re(^\{("type":"[a-z]+"),(.+)\}$)re");
    int moved = 0;
    for (const Case& c : cases) {
        std::smatch parts;
        if (!std::regex_match(c.trigger, parts, tag_first)) continue;
        const std::string last = "{" + parts[2].str() + "," + parts[1].str() + "}";
        auto read = read_task_file(in_task(last));
        ++moved;
        if (!c.expected) {
            EXPECT_FALSE(read) << "accepted: " << last;
            continue;
        }
        ASSERT_TRUE(read) << read.error().reason << ": " << last;
        EXPECT_EQ(read->tasks[0].trigger, *c.expected) << last;
    }
    EXPECT_GT(moved, 40);
}

}  // namespace
}  // namespace snv::model
