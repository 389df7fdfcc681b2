// Reading a tasks.json of 1000 tasks: our reader (straight into the records) against
// nlohmann's DOM parse of the same bytes, which builds a general tree and reads nothing.
#include <chrono>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "calendar/date.h"
#include "calendar/time_of_day.h"
#include "json/document.h"
#include "model/task_reader.h"
#include "model/task_writer.h"

namespace {

using namespace snv;
using model::Trigger;

model::Trigger trigger_for(int i) {
    const auto time = calendar::TimeOfDay::from_hms(i % 24, i % 60, i % 60).value();
    const auto date = calendar::Date::from_civil(2026, 1 + i % 12, 1 + i % 28).value();
    switch (i % 6) {
        case 0:
            return {Trigger::Once{{date, time}}};
        case 1:
            return {Trigger::Daily{time, 2, date}};
        case 2:
            return {Trigger::Weekly{time, 1, {model::DayOfWeek::mon, model::DayOfWeek::fri}, date}};
        case 3:
            return {
                Trigger::Monthly{time, {1, 6, 12}, model::MonthDay{model::MonthDay::Weekday{}}}};
        case 4:
            return {Trigger::Idle{static_cast<std::uint32_t>(i)}};
        default:
            return {Trigger::Cpu{80, 5, true}};
    }
}

std::string thousand_tasks() {
    model::TaskFile file;
    file.version = 1;
    for (int i = 0; i < 1000; ++i) {
        model::Task task;
        task.id = "6f1c0b2e-task-" + std::to_string(i);
        task.name = i % 3 ? "Evening shutdown " + std::to_string(i) : "";
        task.enabled = i % 5 != 0;
        task.action = static_cast<model::Action>(i % 8);
        task.trigger = trigger_for(i);
        task.temporary = i % 7 == 0;
        file.tasks.push_back(std::move(task));
    }
    return model::write_task_file(file);
}

// A SAX handler that does nothing: the floor of any reader built on nlohmann's parser.
struct IdleSax : nlohmann::json_sax<nlohmann::json> {
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }
};

template <typename F>
double best_ms(int rounds, F&& run) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        auto start = std::chrono::steady_clock::now();
        run();
        std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        if (took.count() < best) best = took.count();
    }
    return best;
}

}  // namespace

int main() {
    const std::string text = thousand_tasks();
    std::size_t sink = 0;
    const double ours = best_ms(50, [&] {
        auto file = model::read_task_file(text);
        sink += file ? file->tasks.size() : 0;
    });
    const double dom = best_ms(50, [&] {
        auto tree = nlohmann::json::parse(text);
        sink += tree["tasks"].size();
    });
    const double tokens = best_ms(50, [&] {
        auto doc = json::Document::parse(text);
        sink += doc ? 1 : 0;
    });
    const double sax = best_ms(50, [&] {
        IdleSax idle;
        sink += nlohmann::json::sax_parse(text, &idle) ? 1 : 0;
    });
    if (sink != 100'100) {
        std::printf("unexpected: the reader rejected the benchmark file\n");
        return 1;
    }
    std::printf("tasks.json of 1000 tasks, %zu bytes; best of 50 runs\n", text.size());
    std::printf("  our reader (records):  %8.3f ms\n", ours);
    std::printf("  nlohmann DOM parse:    %8.3f ms\n", dom);
    std::printf("  ratio DOM / ours:      %8.2f\n", dom / ours);
    std::printf("  of ours, the syntax check and token list alone: %.3f ms\n", tokens);
    std::printf("  nlohmann SAX parse with a handler that does nothing: %.3f ms\n", sax);
    return 0;
}
