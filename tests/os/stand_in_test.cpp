// The Linux stand-in of the session, launch and power seams: signed-in users from utmp, no
// console session, no desktop program, and every action refused. It never acts on the machine.
#ifndef _WIN32

#include <utmpx.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "os/launcher.h"
#include "os/power.h"
#include "os/sessions.h"
#include "support/temp_folder.h"

namespace snv::os {
namespace {

utmpx record(short type, const char* user) {
    utmpx r{};
    r.ut_type = type;
    std::strncpy(r.ut_user, user, sizeof r.ut_user - 1);
    std::strncpy(r.ut_line, "pts/7", sizeof r.ut_line - 1);
    return r;
}

// Points the utmp reading of this process at `file` for the length of one check.
bool signed_in_by(const std::filesystem::path& file) {
    utmpxname(file.c_str());
    const bool answer = real_sessions().any_user_signed_in();
    utmpxname(_PATH_UTMPX);
    return answer;
}

TEST(StandIn, AUserProcessRecordWithANameIsASignedInUser) {
    test::TempFolder folder("utmp");
    struct Case {
        const char* what;
        std::vector<utmpx> records;
        bool signed_in;
    } cases[] = {
        {"no records", {}, false},
        {"a user", {record(USER_PROCESS, "alice")}, true},
        {"a user after others",
         {record(BOOT_TIME, ""), record(LOGIN_PROCESS, "LOGIN"), record(USER_PROCESS, "bob")},
         true},
        {"a user process without a name", {record(USER_PROCESS, "")}, false},
        {"only a login prompt and a dead session",
         {record(LOGIN_PROCESS, "LOGIN"), record(DEAD_PROCESS, "carol")},
         false},
    };
    for (const Case& c : cases) {
        const auto file = folder / "utmp";
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        for (const utmpx& r : c.records) {
            out.write(reinterpret_cast<const char*>(&r), sizeof r);
        }
        out.close();
        EXPECT_EQ(signed_in_by(file), c.signed_in) << c.what;
    }
    EXPECT_FALSE(signed_in_by(folder / "missing")) << "an unreadable list counts as nobody";
}

TEST(StandIn, NoConsoleSessionAndNoDesktopProgram) {
    EXPECT_EQ(real_sessions().active_console_session(), std::nullopt);
    EXPECT_FALSE(real_sessions().mutex_exists("Global\\Somnivo.Scheduler"));
}

TEST(StandIn, EveryStartAndEveryActionIsRefused) {
    const std::string refused = std::string(std::strerror(EPERM)) + " (os error 1)";
    const Status results[] = {
        real_launcher().start_as_session_user(1, "/bin/true", "\"/bin/true\"", std::nullopt),
        real_power().enable_shutdown_privilege(),
        real_power().shut_down(true, false),
        real_power().shut_down(false, true),
        real_power().suspend(false),
        real_power().suspend(true),
        real_power().log_off_session(1),
    };
    for (const Status& result : results) {
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().to_string(), refused);
    }
}

}  // namespace
}  // namespace snv::os

#endif
