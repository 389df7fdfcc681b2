// `/install` and `/uninstall` of the built executable against Wine's real service manager
// (services.exe). What was registered is read back with the manager's own query calls.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "os/path.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace snv::svc {
namespace {

using namespace std::chrono_literals;

constexpr const wchar_t* kName = L"Orvanel";
constexpr const char* kCallFailed = "Somnivo Service: IO error in winapi call\n";

// One handle of the service manager, closed when it goes.
class Sc {
  public:
    explicit Sc(SC_HANDLE h) : h_(h) {}
    ~Sc() {
        if (h_ != nullptr) CloseServiceHandle(h_);
    }
    Sc(Sc&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    Sc(const Sc&) = delete;
    Sc& operator=(const Sc&) = delete;
    SC_HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

  private:
    SC_HANDLE h_;
};

Sc open_service(DWORD access) {
    Sc manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    return Sc(manager ? OpenServiceW(manager.get(), kName, access) : nullptr);
}

SERVICE_STATUS_PROCESS status_of(const Sc& service) {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                         sizeof status, &needed);
    return status;
}

// Polls until the service reaches `state`; false after 30 s.
bool reaches(DWORD state) {
    Sc service = open_service(SERVICE_QUERY_STATUS);
    for (int i = 0; service && i < 300; ++i) {
        if (status_of(service).dwCurrentState == state) return true;
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

struct Config {
    DWORD type = 0, start = 0, error_control = 0;
    std::string command_line, display_name, account, description;
};

Config config_of(const Sc& service) {
    Config c;
    DWORD needed = 0;
    QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    auto* q = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (QueryServiceConfigW(service.get(), q, needed, &needed)) {
        c.type = q->dwServiceType;
        c.start = q->dwStartType;
        c.error_control = q->dwErrorControl;
        c.command_line = os::to_utf8(q->lpBinaryPathName);
        c.display_name = os::to_utf8(q->lpDisplayName);
        c.account = q->lpServiceStartName ? os::to_utf8(q->lpServiceStartName) : "";
    }
    QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed);
    std::vector<BYTE> text(needed);
    auto* d = reinterpret_cast<SERVICE_DESCRIPTIONW*>(text.data());
    if (QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, text.data(), needed,
                             &needed) &&
        d->lpDescription != nullptr) {
        c.description = os::to_utf8(d->lpDescription);
    }
    return c;
}

// Stops and deletes the service if a run left it behind.
void remove_service() {
    Sc service = open_service(SERVICE_QUERY_STATUS | SERVICE_STOP | DELETE);
    if (!service) return;
    SERVICE_STATUS ignored;
    ControlService(service.get(), SERVICE_CONTROL_STOP, &ignored);
    for (int i = 0; i < 100 && status_of(service).dwCurrentState != SERVICE_STOPPED; ++i) {
        std::this_thread::sleep_for(100ms);
    }
    DeleteService(service.get());
}

class WineServiceManager : public ::testing::Test {
  protected:
    void SetUp() override {
        remove_service();
        // A program folder and a data folder with blanks; the data folder given with a
        // trailing backslash.
        std::filesystem::create_directories(program_dir_);
        std::filesystem::copy_file(test::built_program("snv-svc"), exe_);
        data_arg_ = test::os_form(data_) + "\\";
    }
    void TearDown() override { remove_service(); }

    test::ChildRun run(const std::vector<std::string>& args) { return test::run_child(exe_, args); }

    test::TempFolder folder_{"service manager"};
    std::filesystem::path program_dir_ = folder_ / "prog dir";
    std::filesystem::path exe_ = program_dir_ / "snv-svc.exe";
    std::filesystem::path data_ = folder_ / "my data";
    std::string data_arg_;
};

TEST_F(WineServiceManager, InstallRegistersAndStartsUninstallStopsAndDeletes) {
    test::ChildRun installed = run({"/install", "--data", data_arg_});
    EXPECT_EQ(installed.exit_code, 0) << installed.err;
    EXPECT_EQ(installed.err + installed.out, "");

    // Ours is closed before the uninstall: while a handle is open the manager only marks the
    // service for deletion.
    auto service = std::make_unique<Sc>(
        open_service(SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_STOP));
    ASSERT_TRUE(*service);
    Config c = config_of(*service);
    EXPECT_EQ(c.command_line,
              "\"" + test::os_form(exe_) + "\" --data \"" + test::os_form(data_) + "\\\\\"");
    EXPECT_EQ(c.type, 0x10u);
    EXPECT_EQ(c.start, 0x2u);
    EXPECT_EQ(c.error_control, 0x1u);
    EXPECT_EQ(c.display_name, "Somnivo Service");
    EXPECT_EQ(c.account, "LocalSystem");
    EXPECT_EQ(c.description, "Runs Somnivo tasks when nobody is signed in.");

    ASSERT_TRUE(reaches(SERVICE_RUNNING));
    SERVICE_STATUS_PROCESS running = status_of(*service);
    EXPECT_EQ(running.dwControlsAccepted,
              static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN));
    EXPECT_EQ(running.dwWin32ExitCode, 0u);

    // A second install while it runs reconfigures it and leaves the running process alone.
    test::ChildRun again = run({"--data", data_arg_, "install"});
    EXPECT_EQ(again.exit_code, 0) << again.err;
    EXPECT_EQ(status_of(*service).dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(status_of(*service).dwProcessId, running.dwProcessId);

    // Stopped by the manager; the service process creates its data folder again at start,
    // which shows the folder reaching it unchanged, trailing backslash and blank included.
    SERVICE_STATUS ignored;
    ASSERT_TRUE(ControlService(service->get(), SERVICE_CONTROL_STOP, &ignored));
    ASSERT_TRUE(reaches(SERVICE_STOPPED));
    std::filesystem::remove_all(data_);
    test::ChildRun restarted = run({"/INSTALL", "--data", data_arg_});
    EXPECT_EQ(restarted.exit_code, 0) << restarted.err;
    ASSERT_TRUE(reaches(SERVICE_RUNNING));
    EXPECT_TRUE(std::filesystem::is_directory(data_));

    service.reset();
    test::ChildRun removed = run({"/uninstall"});
    EXPECT_EQ(removed.exit_code, 0) << removed.err;
    EXPECT_EQ(removed.err + removed.out, "");
    EXPECT_FALSE(open_service(SERVICE_QUERY_STATUS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));

    test::ChildRun missing = run({"-uninstall"});
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_EQ(missing.err, kCallFailed);
    EXPECT_EQ(missing.out, "");
}

// The local date and time `seconds` from now, as tasks.json writes it. Taken from the system, as
// the service takes it: the C runtime's localtime reads a TZ variable as a POSIX rule, and Wine
// hands the host's TZ (a zone name) to every Windows process.
std::string local_date_time_in(int seconds) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    FILETIME at{};
    SystemTimeToFileTime(&now, &at);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = at.dwLowDateTime;
    ticks.HighPart = at.dwHighDateTime;
    ticks.QuadPart += static_cast<std::uint64_t>(seconds) * 10'000'000;
    at.dwLowDateTime = ticks.LowPart;
    at.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME later{};
    FileTimeToSystemTime(&at, &later);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", later.wYear, later.wMonth,
                  later.wDay, later.wHour, later.wMinute, later.wSecond);
    return text;
}

TEST_F(WineServiceManager, TheInstalledServiceTicksAndRecordsWhatItDid) {
    std::string soon = local_date_time_in(15);
    if (soon.substr(0, 10) != local_date_time_in(75).substr(0, 10)) {
        GTEST_SKIP() << "too close to midnight";
    }
    // A temporary lock task whose notify time (less the 5 s countdown) is 10 s away.
    std::filesystem::create_directories(data_);
    test::write_file(data_ / "tasks.json",
                     R"({"version":1,"tasks":[{"id":"soon","enabled":true,"action":"lock",)"
                     R"("trigger":{"type":"once","at":")" +
                         soon + R"("},"temporary":true}]})");
    test::write_file(data_ / "settings.json", R"({"countdown":{"seconds":5}})");
    ASSERT_EQ(run({"/install", "--data", data_arg_}).exit_code, 0);

    // The lock is refused (the service has no user's desktop), and both the attempt and the
    // refusal are recorded; the temporary task has left tasks.json.
    std::string history;
    for (int i = 0; i < 600; ++i) {
        if (std::filesystem::exists(data_ / "history.redb")) {
            history = test::read_file(data_ / "history.redb");
            if (history.find(R"("kind":"error","action":"lock")") != std::string::npos) break;
        }
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_NE(history.find(R"("kind":"executed","action":"lock")"), std::string::npos);
    EXPECT_NE(history.find(R"("kind":"error","action":"lock","detail":"this action needs a )"
                           R"(logged-on user")"),
              std::string::npos);
    EXPECT_EQ(test::read_file(data_ / "tasks.json").find("soon"), std::string::npos);
    EXPECT_EQ(run({"/uninstall"}).exit_code, 0);
}

TEST_F(WineServiceManager, UninstallDeletesAStoppedServiceAtOnce) {
    ASSERT_EQ(run({"/install", "--data", data_arg_}).exit_code, 0);
    ASSERT_TRUE(reaches(SERVICE_RUNNING));
    {
        Sc service = open_service(SERVICE_STOP | SERVICE_QUERY_STATUS);
        SERVICE_STATUS ignored;
        ASSERT_TRUE(ControlService(service.get(), SERVICE_CONTROL_STOP, &ignored));
    }
    ASSERT_TRUE(reaches(SERVICE_STOPPED));
    test::ChildRun removed = run({"/uninstall"});
    EXPECT_EQ(removed.exit_code, 0) << removed.err;
    EXPECT_FALSE(open_service(SERVICE_QUERY_STATUS));
}

}  // namespace
}  // namespace snv::svc

#endif
