#include "model/task_writer.h"

#include <limits>

#include <variant>

namespace snv::model {

namespace {

void write_month_day(const MonthDay& on, json::Writer& out) {
    out.begin_object().key("kind").string(month_day_kind_name(on));
    if (const auto* date = std::get_if<MonthDay::Date>(&on.value)) {
        out.key("day").number(date->day);
    } else {
        const auto& weekday = std::get<MonthDay::Weekday>(on.value);
        out.key("nth").string(nth_name(weekday.nth)).key("weekday");
        write_day_of_week(weekday.weekday, out);
    }
    out.end_object();
}

struct TriggerFields {
    json::Writer& out;

    void operator()(const Trigger::Once& t) const { out.key("at").date_time(t.at); }
    void operator()(const Trigger::Daily& t) const {
        out.key("time").time_of_day(t.time).key("every").number(t.every);
        out.key("start").date(t.start);
    }
    void operator()(const Trigger::Weekly& t) const {
        out.key("time").time_of_day(t.time).key("every").number(t.every);
        out.key("days").begin_array();
        for (DayOfWeek day : t.days) write_day_of_week(day, out);
        out.end_array().key("start").date(t.start);
    }
    void operator()(const Trigger::Monthly& t) const {
        out.key("time").time_of_day(t.time).key("months").begin_array();
        for (std::uint32_t month : t.months) out.number(month);
        out.end_array().key("on");
        write_month_day(t.on, out);
    }
    void operator()(const Trigger::Idle& t) const { out.key("minutes").number(t.minutes); }
    void operator()(const Trigger::Cpu& t) const {
        out.key("percent").number(t.percent).key("minutes").number(t.minutes);
        out.key("below").boolean(t.below);
    }
};

void write_task(const Task& task, json::Writer& out) {
    out.begin_object().key("id").string(task.id);
    if (!task.name.empty()) out.key("name").string(task.name);
    out.key("enabled").boolean(task.enabled).key("action").string(action_name(task.action));
    out.key("trigger");
    write_trigger(task.trigger, out);
    if (task.skip_date) out.key("skip_date").date(*task.skip_date);
    if (task.temporary) out.key("temporary").boolean(true);
    out.end_object();
}

}  // namespace

void write_day_of_week(DayOfWeek day, json::Writer& out) {
    out.string(day_of_week_name(day));
}

void write_trigger(const Trigger& trigger, json::Writer& out) {
    out.begin_object().key("type").string(trigger_type_name(trigger));
    std::visit(TriggerFields{out}, trigger.value);
    out.end_object();
}

std::optional<std::string> write_task_file(const TaskFile& file, std::uint64_t max_bytes) {
    json::Writer out(json::Layout::pretty);
    out.begin_object().key("version").number(file.version).key("tasks").begin_array();
    for (const Task& task : file.tasks) {
        write_task(task, out);
        if (out.text().size() > max_bytes) return std::nullopt;
    }
    out.end_array().end_object();
    if (out.text().size() > max_bytes) return std::nullopt;
    return out.take();
}

std::string write_task_file(const TaskFile& file) {
    return *write_task_file(file, std::numeric_limits<std::uint64_t>::max());
}

}  // namespace snv::model
