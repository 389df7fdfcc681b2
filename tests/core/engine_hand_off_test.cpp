// The hand-off of a due task: the desktop program's command line and path, its start in the
// console session, the queue when that cannot be, and the removal of temporary tasks.

#include <gtest/gtest.h>

#include "core/engine_fixture.h"
#include "engine/countdown_window.h"
#include "os/system_error.h"

namespace snv::test {
namespace {

#ifdef _WIN32
const std::string kServiceExe = R"(C:\Program Files\Somnivo\snv-svc.exe)";
const std::string kServiceFolder = R"(C:\Program Files\Somnivo)";
const std::string kDuskpanel = R"(C:\Program Files\Somnivo\Duskpanel.exe)";
#else
const std::string kServiceExe = "/opt/Somnivo Service/snv-svc";
const std::string kServiceFolder = "/opt/Somnivo Service";
const std::string kDuskpanel = "/opt/Somnivo Service/Duskpanel.exe";
#endif

TEST(NotifyCommandLine, QuotedPathThenSingleBlanksAndTheIdAsItIs) {
    const os::NativePath exe = os::to_native(kDuskpanel);
    struct Case {
        Action action;
        TriggerKind kind;
        std::string id;
        std::string tail;
    } cases[] = {
        {Action::shutdown, TriggerKind::timer, "d41f", " --notify shutdown timer d41f"},
        {Action::sign_out, TriggerKind::idle, "a b", " --notify sign_out idle a b"},
        {Action::monitor_off, TriggerKind::cpu, "", " --notify monitor_off cpu "},
        {Action::screensaver, TriggerKind::timer, "x\"y", " --notify screensaver timer x\"y"},
        {Action::hibernate, TriggerKind::cpu, "\xc3\xa9t\xc3\xa9",
         " --notify hibernate cpu \xc3\xa9t\xc3\xa9"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(engine::notify_command_line(exe, c.action, c.kind, c.id),
                  "\"" + kDuskpanel + "\"" + c.tail);
    }
}

TEST(CountdownExePath, BesideTheRunningExecutableOrInTheCurrentFolder) {
#ifdef _WIN32
    const std::string here = R"(.\Duskpanel.exe)";
#else
    const std::string here = "./Duskpanel.exe";
#endif
    struct Case {
        std::optional<std::string> executable;  // none: the query fails
        std::string expected;
    } cases[] = {
        {kServiceExe, kDuskpanel},
#ifdef _WIN32
        {R"(C:\snv-svc.exe)", R"(C:\Duskpanel.exe)"},
        {R"(\\server\share\bin\snv-svc.exe)", R"(\\server\share\bin\Duskpanel.exe)"},
#else
        {"/snv-svc", "/Duskpanel.exe"},
#endif
        {"snv-svc", here},
        {std::nullopt, here},
    };
    for (const Case& c : cases) {
        FakeProcess process;
        process.executable = c.executable;
        EXPECT_EQ(os::to_utf8(engine::countdown_exe_path(process)), c.expected)
            << c.executable.value_or("<fails>");
    }
}

TEST(CountdownExePath, OfTheRunningProcessIsBesideItsExecutable) {
    std::string expected = os_form(build_path("tests") / "Duskpanel.exe");
    std::string actual = os::to_utf8(engine::countdown_exe_path(os::real_process()));
#ifdef _WIN32
    // Wine may report the drive letter in either case.
    for (std::string* s : {&expected, &actual}) {
        for (char& c : *s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
#endif
    EXPECT_EQ(actual, expected);
}

using HandOff = EngineFixture;
using HandOffOracle = EngineFixture;

#ifdef _WIN32
// A path that UTF-16 holds and Unicode does not: the program, its folder and the line all get
// U+FFFD in place of the unpaired surrogate.
TEST_F(HandOff, AnUnpairedSurrogateInThePathBecomesTheReplacementCharacterEverywhere) {
    seams.process.native_executable = L"C:\\Dir\\\xD800x\\snv-svc.exe";
    seams.sessions.console_session = 2;
    ASSERT_TRUE(engine::launch_countdown_window(seams.env(), Action::lock, TriggerKind::idle, "t"));
    ASSERT_EQ(seams.launcher.starts.size(), 1u);
    const FakeLauncher::Start& start = seams.launcher.starts[0];
    EXPECT_EQ(start.native_application, L"C:\\Dir\\\xFFFDx\\Duskpanel.exe");
    EXPECT_EQ(start.native_folder, std::optional<os::NativePath>(L"C:\\Dir\\\xFFFDx"));
    EXPECT_EQ(start.command_line, "\"C:\\Dir\\\xef\xbf\xbdx\\Duskpanel.exe\" --notify lock idle t");
}
#endif

TEST_F(HandOffOracle, StartsTheDesktopProgramOrQueuesTheAction) {
    const DueItem item{"d41f", TriggerKind::timer, Action::shutdown};
    const std::string line = "\"" + kDuskpanel + "\" --notify shutdown timer d41f";
    const std::string missing = os::system_error(2).to_string();
    struct Case {
        const char* what;
        bool signed_in;
        std::optional<std::uint32_t> console;
        os::Status start;
        bool started;
        std::string error;  // the history detail after "Cannot show countdown window: "
    } cases[] = {
        {"a user and a working start", true, 3, {}, true, ""},
        {"nobody signed in", false, 3, {}, false, ""},
        {"no console session", true, std::nullopt, {}, false, "no console session"},
        {"the start fails", true, 3, std::unexpected(os::system_error(2)), false, missing},
    };
    seams.process.executable = kServiceExe;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(data);
        seams.launcher.starts.clear();
        seams.launcher.result = c.start;
        seams.sessions.console_session = c.console;
        engine().pending.clear();
        engine().user_signed_in = c.signed_in;
        engine().hand_off(item);

        if (c.signed_in && c.console) {
            ASSERT_EQ(seams.launcher.starts.size(), 1u);
            const FakeLauncher::Start& start = seams.launcher.starts[0];
            EXPECT_EQ(start.session, 3u);
            EXPECT_EQ(start.application, kDuskpanel);
            EXPECT_EQ(start.command_line, line);
            EXPECT_EQ(start.current_folder, kServiceFolder);
        } else {
            EXPECT_TRUE(seams.launcher.starts.empty());
        }
        if (c.started) {
            EXPECT_TRUE(engine().pending.empty());
        } else {
            ASSERT_EQ(engine().pending.size(), 1u);
            EXPECT_EQ(engine().pending[0].item, item);
            EXPECT_EQ(engine().pending[0].deadline, seams.clock.monotonic + 30s);
        }
        if (c.error.empty()) {
            expect_history({});
        } else {
            expect_history({{local_now(), "error", Action::shutdown,
                             "Cannot show countdown window: " + c.error}});
        }
    }
}

TEST_F(HandOff, EachQueuedItemTakesItsOwnClockReadingAndTheLoadedCountdown) {
    write_data_file("settings.json", R"({"countdown":{"seconds":5}})");
    write_data_file("tasks.json", R"({"version":1,"tasks":[]})");
    engine().tick();
    ASSERT_EQ(engine().settings.countdown.seconds, 5u);
    const auto start = seams.clock.monotonic;
    // Time passes while each hand-off reads tasks.json.
    seams.files.before = [&](const std::string& call) -> os::Status {
        if (call.starts_with("read ")) seams.clock.advance(1ms);
        return {};
    };
    engine().hand_off({"a", TriggerKind::timer, Action::sleep});
    engine().hand_off({"b", TriggerKind::idle, Action::lock});
    ASSERT_EQ(engine().pending.size(), 2u);
    EXPECT_EQ(engine().pending[0].deadline, start + 1ms + 5s);
    EXPECT_EQ(engine().pending[1].deadline, start + 2ms + 5s);
}

std::string task_text(const std::string& id, bool temporary, const std::string& name = "") {
    return R"({"id":")" + id + R"(","name":")" + name +
           R"(","enabled":true,"action":"lock","trigger":{"type":"idle","minutes":5},"temporary":)" +
           (temporary ? "true" : "false") + "}";
}

TEST_F(HandOff, ATemporaryTaskLeavesTasksJsonBeforeItsCountdown) {
    const std::string pretty_two =  // what remains, in the file's pretty form
        "{\n  \"version\": 1,\n  \"tasks\": [\n    {\n      \"id\": \"t\",\n      \"name\": "
        "\"second\",\n"
        "      \"enabled\": true,\n      \"action\": \"lock\",\n      \"trigger\": {\n"
        "        \"type\": \"idle\",\n        \"minutes\": 5\n      },\n"
        "      \"temporary\": true\n    }\n  ]\n}";
    struct Case {
        const char* what;
        std::string before;
        std::optional<std::string> after;  // none: the file is left byte for byte
    } cases[] = {
        {"the first of two with its id is removed",
         R"({"version":1,"tasks":[)" + task_text("t", true, "first") + "," +
             task_text("t", true, "second") + "]}",
         pretty_two},
        {"the first with its id is not temporary",
         R"({"version":1,"tasks":[)" + task_text("t", false) + "," + task_text("t", true) + "]}",
         std::nullopt},
        {"no task with the id", R"({"version":1,"tasks":[)" + task_text("u", true) + "]}",
         std::nullopt},
        {"an unreadable file", R"({"version":1,"tasks":[)" + task_text("t", true) + ",]}",
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write_data_file("tasks.json", c.before);
        engine().hand_off({"t", TriggerKind::idle, Action::lock});
        EXPECT_EQ(read_file(data / "tasks.json"), c.after.value_or(c.before));
        EXPECT_FALSE(std::filesystem::exists(data / "tasks.json.tmp"));
    }
    EXPECT_EQ(engine().pending.size(), std::size(cases)) << "queued whatever the file held";
}

}  // namespace
}  // namespace snv::test
