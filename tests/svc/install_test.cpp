#include "install.h"

#include <gtest/gtest.h>

#include "command_line.h"
#include "support/fake_engine_env.h"
#include "support/fake_service.h"
#include "support/scripted_os.h"

namespace snv::svc {
namespace {

namespace scm = os::scm;
using Calls = std::vector<std::string>;

constexpr const char* kExe = "C:\\Program Files\\Somnivo\\snv-svc.exe";
constexpr const char* kFolder = "C:\\Users\\a b\\Somnivo\\";
// The path and the folder quoted; the folder's trailing backslash doubled before the quote.
constexpr const char* kLine =
    "\"C:\\Program Files\\Somnivo\\snv-svc.exe\" --data \"C:\\Users\\a b\\Somnivo\\\\\"";

const std::string kCreate =
    std::string("create Orvanel Somnivo Service 0x16 0x10 0x2 0x1 ") + kLine;
const std::string kChange = std::string("change Somnivo Service 0x10 0x2 0x1 ") + kLine;
const std::string kDescribe = "describe Runs Somnivo tasks when nobody is signed in.";

TEST(RegisteredCommandLine, QuotesWhatHasBlanksAndGivesItBackWhenSplit) {
    struct Case {
        std::string path;
        std::string folder;
        std::string line;
    };
    const Case cases[] = {
        {"C:\\svc\\snv-svc.exe", "D:\\data", "C:\\svc\\snv-svc.exe --data D:\\data"},
        {kExe, kFolder, kLine},
        {"C:\\svc\\snv-svc.exe", "D:\\x\\", "C:\\svc\\snv-svc.exe --data D:\\x\\"},
        {"C:\\svc\\snv-svc.exe", "rel\\a\\\"b", "C:\\svc\\snv-svc.exe --data \"rel\\a\\\\\\\"b\""},
        {"C:\\svc\\snv-svc.exe", "rel\\a\"b", "C:\\svc\\snv-svc.exe --data \"rel\\a\\\"b\""},
        {"C:\\svc\\snv-svc.exe", "D:\\tab\there", "C:\\svc\\snv-svc.exe --data \"D:\\tab\there\""},
    };
    for (const Case& c : cases) {
        ServiceRegistration reg;
        reg.executable_path = c.path;
        reg.launch_arguments = {"--data", c.folder};
        EXPECT_EQ(registered_command_line(reg), c.line) << c.folder;
        EXPECT_EQ(split_command_line(c.line),
                  (std::vector<std::string>{c.path, "--data", c.folder}));
    }
}

// The process and its data folder, the folder kept in an in-memory file system.
struct Installer {
    Installer(const std::string& exe, const std::string& folder) {
        process.executable = exe;
        data_dir.set(os::to_native(folder));
    }
    test::FakeProcess process;
    test::FakeEnvironment environment;
    test::FakeFileSystem files;
    paths::DataDir data_dir{environment, files};
};

class InstallTest : public ::testing::Test {
  protected:
    ServiceStatus install() { return install_service(manager_, seams_.process, seams_.data_dir); }
    ServiceStatus uninstall() { return uninstall_service(manager_, clock_); }
    // A fresh manager whose calls fail as `fails` says and whose queries give `states`.
    void script(std::map<std::string, std::uint32_t> fails, std::deque<std::uint32_t> states) {
        manager_ = test::FakeServiceManager();
        manager_.fails = std::move(fails);
        manager_.states = std::move(states);
    }

    Installer seams_{kExe, kFolder};
    test::ScriptedClock clock_;
    test::FakeServiceManager manager_;
};

TEST_F(InstallTest, InstallCreatesOrUpdatesAndStartsUnlessRunning) {
    struct Case {
        std::string name;
        std::map<std::string, std::uint32_t> fails;
        std::uint32_t state;
        Calls calls;
    };
    const Case cases[] = {
        {"new service",
         {},
         scm::state_stopped,
         {"open_manager 0x3", kCreate, kDescribe, "query", "start", "close 2", "close 1"}},
        {"existing, running: reconfigured, not started",
         {{"create", 1073}},
         scm::state_running,
         {"open_manager 0x3", kCreate + " -> error 1073", "open Orvanel 0x16", kChange, kDescribe,
          "query", "close 2", "close 1"}},
        {"existing, stopped: reconfigured and started",
         {{"create", 1073}},
         scm::state_stopped,
         {"open_manager 0x3", kCreate + " -> error 1073", "open Orvanel 0x16", kChange, kDescribe,
          "query", "start", "close 2", "close 1"}},
        {"existing, paused: started",
         {{"create", 1073}},
         scm::state_paused,
         {"open_manager 0x3", kCreate + " -> error 1073", "open Orvanel 0x16", kChange, kDescribe,
          "query", "start", "close 2", "close 1"}},
    };
    for (const Case& c : cases) {
        script(c.fails, {c.state});
        EXPECT_TRUE(install()) << c.name;
        EXPECT_EQ(manager_.calls, c.calls) << c.name;
        EXPECT_TRUE(manager_.open_handles.empty()) << c.name;
    }
}

TEST_F(InstallTest, InstallReturnsTheFailedStepsErrorAndClosesServiceThenManager) {
    struct Case {
        std::map<std::string, std::uint32_t> fails;
        std::uint32_t state;
        ServiceError error;
        Calls calls;
    };
    const Case cases[] = {
        {{{"open_manager", 5}}, 1, ServiceError::system_call(5), {"open_manager 0x3 -> error 5"}},
        // The creation error is dropped for the open's.
        {{{"create", 1073}, {"open", 1060}},
         1,
         ServiceError::system_call(1060),
         {"open_manager 0x3", kCreate + " -> error 1073", "open Orvanel 0x16 -> error 1060",
          "close 1"}},
        {{{"create", 1073}, {"change", 1072}},
         1,
         ServiceError::system_call(1072),
         {"open_manager 0x3", kCreate + " -> error 1073", "open Orvanel 0x16",
          kChange + " -> error 1072", "close 2", "close 1"}},
        // A registration made before a failing later step stays.
        {{{"describe", 87}},
         1,
         ServiceError::system_call(87),
         {"open_manager 0x3", kCreate, kDescribe + " -> error 87", "close 2", "close 1"}},
        {{{"query", 6}},
         1,
         ServiceError::system_call(6),
         {"open_manager 0x3", kCreate, kDescribe, "query -> error 6", "close 2", "close 1"}},
        {{},
         0,
         ServiceError::invalid_value("service status"),
         {"open_manager 0x3", kCreate, kDescribe, "query", "close 2", "close 1"}},
        {{},
         8,
         ServiceError::invalid_value("service status"),
         {"open_manager 0x3", kCreate, kDescribe, "query", "close 2", "close 1"}},
        // Start pending: the start is refused although the registration is up to date.
        {{{"create", 1073}, {"start", 1056}},
         2,
         ServiceError::system_call(1056),
         {"open_manager 0x3", kCreate + " -> error 1073", "open Orvanel 0x16", kChange, kDescribe,
          "query", "start -> error 1056", "close 2", "close 1"}},
    };
    for (const Case& c : cases) {
        script(c.fails, {c.state});
        auto result = install();
        ASSERT_FALSE(result) << c.calls.back();
        EXPECT_EQ(result.error(), c.error);
        EXPECT_EQ(manager_.calls, c.calls);
        EXPECT_TRUE(manager_.open_handles.empty());
    }
    EXPECT_EQ(ServiceError::invalid_value("service status").text(), "invalid service status value");
}

TEST_F(InstallTest, AFailedPathLookupClosesTheManager) {
    seams_.process.executable.reset();  // the fake fails the lookup with code 5
    auto result = install();
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), ServiceError::system_call(5));
    EXPECT_EQ(manager_.calls, (Calls{"open_manager 0x3", "close 1"}));
}

TEST_F(InstallTest, TextsWithANulAreRefusedBeforeAnyCallGetsThem) {
    struct Case {
        std::string exe;
        std::string folder;
        ServiceError error;
    };
    const Case cases[] = {
        {std::string("C:\\a\0b.exe", 10), "D:\\x", ServiceError::nul_in_text("executable path")},
        {"C:\\a.exe", std::string("D:\\x\0y", 6),
         ServiceError::nul_in_element("launch argument", 1)},
    };
    for (const Case& c : cases) {
        Installer seams(c.exe, c.folder);
        manager_ = test::FakeServiceManager();
        auto result = install_service(manager_, seams.process, seams.data_dir);
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error(), c.error);
        EXPECT_EQ(manager_.calls, (Calls{"open_manager 0x3", "close 1"}));
    }
    EXPECT_EQ(ServiceError::nul_in_element("launch argument", 1).text(),
              "launch argument contains a nul byte in element at 1 index");
}

TEST_F(InstallTest, UninstallStopsPollsEvery100MsAndDeletes) {
    auto polls = [](int n, std::uint32_t last) {
        Calls calls;
        for (int i = 1; i <= n; ++i) calls.push_back("query @" + std::to_string(100 * i));
        (void)last;
        return calls;
    };
    struct Case {
        std::string name;
        std::deque<std::uint32_t> states;
        std::map<std::string, std::uint32_t> fails;
        Calls middle;  // between the open of the service and the removal
    };
    Calls stops_at_3{"query @0", "control 1"};
    for (auto& q : polls(3, 1)) stops_at_3.push_back(q);
    Calls never_stops{"query @0", "control 1"};
    for (auto& q : polls(50, 4)) never_stops.push_back(q);
    Calls refused{"query @0", "control 1 -> error 1061"};
    for (auto& q : polls(2, 1)) refused.push_back(q);
    const Case cases[] = {
        {"stopped: deleted at once", {1}, {}, {"query @0"}},
        {"stops at the third poll", {4, 3, 3, 1}, {}, stops_at_3},
        {"never stops: 50 polls, then deleted anyway", {4}, {}, never_stops},
        {"refused stop: still polled", {2, 2, 1}, {{"control", 1061}}, refused},
    };
    for (const Case& c : cases) {
        script(c.fails, c.states);
        manager_.clock = &clock_;
        EXPECT_TRUE(uninstall()) << c.name;
        Calls expected{"open_manager 0x1", "open Orvanel 0x10024"};
        expected.insert(expected.end(), c.middle.begin(), c.middle.end());
        expected.insert(expected.end(), {"remove", "close 2", "close 1"});
        EXPECT_EQ(manager_.calls, expected) << c.name;
    }
}

TEST_F(InstallTest, UninstallFailuresReturnTheirErrorAndCloseWhatWasOpened) {
    struct Case {
        std::deque<std::uint32_t> states;
        std::map<std::string, std::uint32_t> fails;
        ServiceError error;
        Calls calls;
    };
    const Case cases[] = {
        {{1}, {{"open_manager", 5}}, ServiceError::system_call(5), {"open_manager 0x1 -> error 5"}},
        {{1},
         {{"open", 1060}},
         ServiceError::system_call(1060),
         {"open_manager 0x1", "open Orvanel 0x10024 -> error 1060", "close 1"}},
        {{1},
         {{"query", 6}},
         ServiceError::system_call(6),
         {"open_manager 0x1", "open Orvanel 0x10024", "query -> error 6", "close 2", "close 1"}},
        {{4, 9},
         {},
         ServiceError::invalid_value("service status"),
         {"open_manager 0x1", "open Orvanel 0x10024", "query", "control 1", "query", "close 2",
          "close 1"}},
        {{1},
         {{"remove", 1072}},
         ServiceError::system_call(1072),
         {"open_manager 0x1", "open Orvanel 0x10024", "query", "remove -> error 1072", "close 2",
          "close 1"}},
    };
    for (const Case& c : cases) {
        script(c.fails, c.states);
        auto result = uninstall();
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error(), c.error);
        EXPECT_EQ(manager_.calls, c.calls);
        EXPECT_TRUE(manager_.open_handles.empty());
    }
}

}  // namespace
}  // namespace snv::svc
