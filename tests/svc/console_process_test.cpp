// `/console` as a user runs it: the built executable as a child process on a data folder of its
// own, its output read as it comes while the test edits tasks.json.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "os/clock.h"
#include "support/child_process.h"
#include "support/host_shell.h"
#include "support/temp_folder.h"

namespace snv::svc {
namespace {

using namespace std::chrono_literals;

// Generous: the Windows build runs under Wine on a busy machine.
constexpr auto kLimit = 30s;

std::size_t blocks(const std::string& out) {
    std::size_t n = 0;
    for (std::size_t at = out.find(" plan: "); at != std::string::npos;
         at = out.find(" plan: ", at + 1)) {
        ++n;
    }
    return n;
}

// "HH:MM:SS" of the local time `hours` from now, on the same clock as the child's.
std::string hours_from_now(int hours, int minus_seconds = 0) {
    os::LocalTime now = os::real_clock().local_now();
    int seconds = ((static_cast<int>(now.hour) + hours) * 3600 + static_cast<int>(now.minute) * 60 -
                   minus_seconds) %
                  86400;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

std::string alarm(const std::string& id, const std::string& time) {
    return R"({"id":")" + id + R"(","enabled":true,"action":"lock","trigger":)" +
           R"({"type":"daily","time":")" + time + R"(","start":"2025-01-01"}})";
}

std::string tasks(const std::vector<std::string>& list, const std::string& gap = "") {
    std::string text = R"({"version":1,"tasks":[)";
    for (std::size_t i = 0; i < list.size(); ++i) text += (i ? "," + gap : gap) + list[i];
    return text + "]}";
}

class ConsoleProcess : public ::testing::Test {
  protected:
    // Waits for the next status block and returns it.
    std::string next_block(test::RunningChild& child) {
        std::size_t seen = blocks(child.output());
        if (!child.wait_for_output([&](const std::string& out) { return blocks(out) > seen; },
                                   kLimit)) {
            ADD_FAILURE() << "no block came; output:\n" << child.output() << child.errors();
            return {};
        }
        // Let the rest of the block arrive: it is written in one piece, but pipes may split it.
        std::this_thread::sleep_for(200ms);
        std::string out = child.output();
        std::size_t start = out.rfind('\n', out.rfind(" plan: ")) + 1;
        return out.substr(start);
    }

    // Replaces tasks.json as a whole. Written in place, the console could read it between the
    // truncation and the write, empty, under the stamp that the finished file then keeps.
    void put_tasks(const std::string& text) {
        test::write_file(data_ / "tasks.json.new", text);
        std::filesystem::rename(data_ / "tasks.json.new", data_ / "tasks.json");
    }

    test::TempFolder folder_{"console"};
    std::filesystem::path data_ = folder_ / "data";
};

TEST_F(ConsoleProcess, PrintsTheBannerAndAStatusBlockWhenThePlanChanges) {
    std::filesystem::create_directories(data_);
    put_tasks(tasks({}));
    test::RunningChild child(test::built_program("snv-svc"),
                             {"--data", test::os_form(data_), "/console"});

    std::string first = next_block(child);
    std::string out = child.output();
    EXPECT_EQ(out.substr(0, out.find('\n', out.find('\n') + 1) + 1),
              "Somnivo Service \xe2\x80\x94 console mode. Data: " + test::os_form(data_) +
                  "\nPress Ctrl+C to quit.\n");
    EXPECT_EQ(first.substr(8), " plan: 0 alarm(s), 0 idle, 0 CPU task(s); GUI running: false\n");

    // Alarms far from now, so that none falls due during the test.
    const std::string at = hours_from_now(2);
    const std::string notify = hours_from_now(2, 30);  // less the default countdown
    const std::string later = hours_from_now(3);
    const std::string later_notify = hours_from_now(3, 30);
    const std::string odd_id = "a b [x]";
    // A block after its time: the counts, then "notify time -> lock [id]" lines.
    auto block = [](const std::vector<std::pair<std::string, std::string>>& alarms) {
        std::string text = " plan: " + std::to_string(alarms.size()) +
                           " alarm(s), 0 idle, 0 CPU task(s); GUI running: false\n";
        for (const auto& [time, id] : alarms) text += "  " + time + " -> lock [" + id + "]\n";
        return text;
    };

    put_tasks(tasks({alarm(odd_id, at)}));
    EXPECT_EQ(next_block(child).substr(8), block({{notify, odd_id}}));

    // The same plan from a file written anew: nothing is printed.
    put_tasks(tasks({alarm(odd_id, at)}, "\n  "));
    std::size_t before = blocks(child.output());
    EXPECT_FALSE(
        child.wait_for_output([&](const std::string& o) { return blocks(o) > before; }, 4s));

    // A second alarm at the same time comes after the first in file order, whatever its id.
    put_tasks(tasks({alarm("z", at), alarm(odd_id, at)}));
    EXPECT_EQ(next_block(child).substr(8), block({{notify, "z"}, {notify, odd_id}}));

    put_tasks(tasks({alarm("z", at), alarm(odd_id, later)}));
    EXPECT_EQ(next_block(child).substr(8), block({{notify, "z"}, {later_notify, odd_id}}));

    put_tasks(tasks({alarm("z", at)}));
    EXPECT_EQ(next_block(child).substr(8), block({{notify, "z"}}));
    child.kill();
    EXPECT_EQ(child.errors(), "");
}

// A FIFO that another program planted in place of tasks.json is read as no tasks, at once: the
// console goes on to print its plan.
TEST_F(ConsoleProcess, AFifoInPlaceOfTasksJsonGivesAnEmptyPlan) {
    std::filesystem::create_directories(data_);
    const test::HostFifo planted(data_ / "tasks.json");
    ASSERT_TRUE(planted.made());
    test::RunningChild child(test::built_program("snv-svc"),
                             {"--data", test::os_form(data_), "/console"});
    EXPECT_EQ(next_block(child).substr(8),
              " plan: 0 alarm(s), 0 idle, 0 CPU task(s); GUI running: false\n");
    child.kill();
    EXPECT_EQ(child.errors(), "");
}

}  // namespace
}  // namespace snv::svc
