// Reading the data files as the service reads them, on the same files that the desktop
// program's reader (serde_json, bench/serde) reads in the same run; bench/serde/compare.sh
// runs both.
//
//   json_read_bench make DIR      writes tasks.json (1000 tasks, every trigger kind),
//                                 settings.json, history.jsonl (10000 entries) and nested.json
//                                 (80 MB: arrays nested 40 million deep under an unknown key)
//   json_read_bench time DIR      best-of timings of the first three, in-process
//   json_read_bench nested FILE   reads the nested document once: its time and peak memory
//   json_read_bench once DIR      reads each of the first three once, for instruction counts
//                                 (bench/serde/instructions.sh)
//
// Every figure is a line "name<TAB>value<TAB>unit", as the serde program prints them.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/date.h"
#include "calendar/time_of_day.h"
#include "history/entry_json.h"
#include "model/settings_file.h"
#include "model/task_reader.h"
#include "model/task_writer.h"

namespace {

using namespace snv;
using model::Trigger;

calendar::Date day(int i) {
    return calendar::Date::from_civil(2026, 1 + i % 12, 1 + i % 28).value();
}

calendar::TimeOfDay time_of(int i) {
    return calendar::TimeOfDay::from_hms(i % 24, (i * 7) % 60, i % 3 == 0 ? 0 : i % 60).value();
}

Trigger trigger_for(int i) {
    using model::DayOfWeek;
    using model::MonthDay;
    switch (i % 7) {
        case 0:
            return {Trigger::Once{{day(i), time_of(i)}}};
        case 1:
            return {Trigger::Daily{time_of(i), static_cast<std::uint32_t>(1 + i % 3), day(i)}};
        case 2:
            return {Trigger::Weekly{
                time_of(i), 1, {DayOfWeek::mon, DayOfWeek::wed, DayOfWeek::fri}, day(i)}};
        case 3:
            return {Trigger::Monthly{time_of(i), {1, 4, 7, 10}, MonthDay{MonthDay::Date{15}}}};
        case 4:
            return {Trigger::Monthly{
                time_of(i), {}, MonthDay{MonthDay::Weekday{model::Nth::last, DayOfWeek::sun}}}};
        case 5:
            return {Trigger::Idle{static_cast<std::uint32_t>(5 + i % 50)}};
        default:
            return {Trigger::Cpu{80, 5, i % 2 == 0}};
    }
}

std::string thousand_tasks() {
    model::TaskFile file;
    file.version = 1;
    for (int i = 0; i < 1000; ++i) {
        model::Task task;
        task.id = "6f1c0b2e-4a7d-4c1e-9b3f-" + std::to_string(100000000000 + i);
        if (i % 4 == 1) task.name = "Evening shutdown \xC2\xB7 workshop " + std::to_string(i);
        if (i % 4 == 2) task.name = "Lock the \"office\" PC \xE2\x80\x93 " + std::to_string(i);
        task.enabled = i % 5 != 0;
        task.action = static_cast<model::Action>(i % 8);
        task.trigger = trigger_for(i);
        if (i % 6 == 0) task.skip_date = day(i + 3);
        task.temporary = i % 9 == 0;
        file.tasks.push_back(std::move(task));
    }
    return model::write_task_file(file);
}

const char* const kSettings = R"({
  "language": "english",
  "theme": "dark",
  "force_close_apps": false,
  "countdown": {
    "show_window": true,
    "seconds": 45,
    "sound": "C:\\Windows\\Media\\Alarm01.wav"
  },
  "cleanup": {
    "recycle_bin": true,
    "browser_cache": false,
    "browser_cookies": false,
    "browser_history": true,
    "recent_documents": false,
    "temp_files": true
  },
  "paused": false
}
)";

std::string history_lines() {
    const char* const details[] = {
        "Shut down \xC2\xB7 Every day at 22:00",
        "Sleep \xC2\xB7 After 15 minutes of inactivity",
        "Access is denied. (os error 5)",
        "Cannot show countdown window: this action needs a logged-on user",
        "Lock \xC2\xB7 Every week on Mon, Wed, Fri at 08:30",
        "",
    };
    std::string out;
    for (int i = 0; i < 10000; ++i) {
        history::Entry entry;
        entry.time = {calendar::Date::from_civil(2025, 1, 1).value().add_days(i / 20).value(),
                      calendar::TimeOfDay::from_hms(i % 24, i % 60, (i * 13) % 60).value()};
        entry.kind = static_cast<history::EntryKind>(i % 8);
        if (i % 5 != 4) entry.action = static_cast<model::Action>(i % 8);
        entry.detail = details[i % 6];
        out += history::write_entry_json(entry);
        out += '\n';
    }
    return out;
}

// Whole, in one allocation of its size, as the service reads a data file.
std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

bool write_file(const std::string& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return bool(out);
}

// 80 MB: {"version":1,"x": 40 million '[' and as many ']', "tasks":[]}
bool write_nested(const std::string& path) {
    constexpr std::size_t depth = 40'000'000;
    std::ofstream out(path, std::ios::binary);
    out << R"({"version":1,"x":)";
    const std::string opening(1 << 20, '['), closing(1 << 20, ']');
    for (std::size_t n = 0; n < depth; n += opening.size()) {
        out.write(opening.data(),
                  static_cast<std::streamsize>(std::min(opening.size(), depth - n)));
    }
    for (std::size_t n = 0; n < depth; n += closing.size()) {
        out.write(closing.data(),
                  static_cast<std::streamsize>(std::min(closing.size(), depth - n)));
    }
    out << R"(,"tasks":[]})";
    return bool(out);
}

std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        lines.push_back(text.substr(0, lf));
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    }
    return lines;
}

template <typename F>
double best_seconds(int rounds, F&& run) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

int make(const std::string& dir) {
    const bool ok = write_file(dir + "/tasks.json", thousand_tasks()) &&
                    write_file(dir + "/settings.json", kSettings) &&
                    write_file(dir + "/history.jsonl", history_lines()) &&
                    write_nested(dir + "/nested.json");
    if (!ok) std::fprintf(stderr, "cannot write the files into %s\n", dir.c_str());
    return ok ? 0 : 1;
}

int time_reads(const std::string& dir) {
    const std::string tasks = read_file(dir + "/tasks.json");
    const std::string settings = read_file(dir + "/settings.json");
    const std::string history = read_file(dir + "/history.jsonl");
    const std::vector<std::string_view> lines = lines_of(history);

    std::size_t read = 0;
    const double t_tasks = best_seconds(200, [&] {
        auto file = model::read_task_file(tasks);
        read += file ? file->tasks.size() : 0;
    });
    constexpr int kSettingsReads = 10000;
    const double t_settings = best_seconds(20, [&] {
        for (int i = 0; i < kSettingsReads; ++i) {
            auto s = model::read_settings(settings);
            read += s ? s->countdown.seconds : 0;
        }
    });
    const double t_history = best_seconds(20, [&] {
        for (std::string_view line : lines) read += history::read_entry(line) ? 1 : 0;
    });
    const std::size_t expected = 200 * 1000 + 20 * kSettingsReads * 45 + 20 * lines.size();
    if (read != expected) {
        std::fprintf(stderr, "a document was rejected\n");
        return 1;
    }
    std::printf("tasks\t%.1f\tus per tasks.json (%zu bytes, 1000 tasks)\n", t_tasks * 1e6,
                tasks.size());
    std::printf("settings\t%.3f\tus per settings.json (%zu bytes)\n",
                t_settings * 1e6 / kSettingsReads, settings.size());
    std::printf("history\t%.3f\tms per %zu history lines (%zu bytes)\n", t_history * 1e3,
                lines.size(), history.size());
    return 0;
}

// One read each, in functions of their own that callgrind can be told to count.
[[gnu::noinline]] std::size_t once_tasks(std::string_view bytes) {
    auto file = model::read_task_file(bytes);
    return file ? file->tasks.size() : 0;
}

[[gnu::noinline]] std::size_t once_settings(std::string_view bytes) {
    return model::read_settings(bytes) ? 1 : 0;
}

[[gnu::noinline]] std::size_t once_history(const std::vector<std::string_view>& lines) {
    std::size_t read = 0;
    for (std::string_view line : lines) read += history::read_entry(line) ? 1 : 0;
    return read;
}

int once(const std::string& dir) {
    const std::string tasks = read_file(dir + "/tasks.json");
    const std::string settings = read_file(dir + "/settings.json");
    const std::string history = read_file(dir + "/history.jsonl");
    const std::vector<std::string_view> lines = lines_of(history);
    const bool ok = once_tasks(tasks) == 1000 && once_settings(settings) == 1 &&
                    once_history(lines) == lines.size();
    if (!ok) std::fprintf(stderr, "a document was rejected\n");
    return ok ? 0 : 1;
}

int nested(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    const std::string bytes = read_file(path);
    const auto loaded = std::chrono::steady_clock::now();
    auto file = model::read_task_file(bytes);
    const auto end = std::chrono::steady_clock::now();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const std::chrono::duration<double> whole = end - start, parse = end - loaded;
    std::printf(
        "nested\t%.3f\ts to load and read %zu bytes (%s; %.3f s of it reading), peak %.1f MB\n",
        whole.count(), bytes.size(), file ? "accepted" : "rejected", parse.count(),
        static_cast<double>(usage.ru_maxrss) / 1024.0);
    return file ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode == "make") return make(argv[2]);
    if (mode == "time") return time_reads(argv[2]);
    if (mode == "nested") return nested(argv[2]);
    if (mode == "once") return once(argv[2]);
    std::fprintf(stderr,
                 "usage: json_read_bench make|time|once DIR, or json_read_bench nested FILE\n");
    return 2;
}
