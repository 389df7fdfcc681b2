// The Linux stand-in of the session, launch and power seams: signed-in users from utmp, no
// console session, no desktop program, and every action refused. It never acts on the machine.
#ifndef _WIN32

#include <utmpx.h>

#include <gtest/gtest.h>

#include <algorithm>
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
    std::memcpy(r.ut_user, user, std::min(std::strlen(user), sizeof r.ut_user));
    std::strncpy(r.ut_line, "pts/7", sizeof r.ut_line - 1);
    return r;
}

// The user names of the sessions listed while the utmp reading of this process points at
// `file`; every one must be active.
std::vector<std::string> users_listed_by(const std::filesystem::path& file) {
    utmpxname(file.c_str());
    std::vector<std::string> users;
    const auto listed = real_sessions().enumerate_sessions();
    EXPECT_TRUE(listed) << "the stand-in's enumeration does not fail";
    for (const SessionInfo& session : listed.value_or(std::vector<SessionInfo>())) {
        EXPECT_EQ(session.state, session_state::active);
        users.push_back(real_sessions().session_user_name(session.id).value_or("(no name)"));
    }
    utmpxname(_PATH_UTMPX);
    return users;
}

TEST(StandIn, EachUserProcessRecordIsAnActiveSessionWithItsUser) {
    test::TempFolder folder("utmp");
    char full[sizeof(utmpx{}.ut_user) + 1] = {};
    std::memset(full, 'f', sizeof full - 1);  // fills the field: no NUL in the record
    struct Case {
        const char* what;
        std::vector<utmpx> records;
        std::vector<std::string> users;
    } cases[] = {
        {"no records", {}, {}},
        {"a user", {record(USER_PROCESS, "alice")}, {"alice"}},
        {"users among other records",
         {record(BOOT_TIME, ""), record(USER_PROCESS, "bob"), record(LOGIN_PROCESS, "LOGIN"),
          record(USER_PROCESS, "dave")},
         {"bob", "dave"}},
        {"a user process without a name", {record(USER_PROCESS, "")}, {""}},
        {"a name that fills its field", {record(USER_PROCESS, full)}, {full}},
        {"only a login prompt and a dead session",
         {record(LOGIN_PROCESS, "LOGIN"), record(DEAD_PROCESS, "carol")},
         {}},
    };
    for (const Case& c : cases) {
        const auto file = folder / "utmp";
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        for (const utmpx& r : c.records) {
            out.write(reinterpret_cast<const char*>(&r), sizeof r);
        }
        out.close();
        EXPECT_EQ(users_listed_by(file), c.users) << c.what;
    }
    EXPECT_EQ(users_listed_by(folder / "missing"), std::vector<std::string>())
        << "an unreadable list lists nobody";
    EXPECT_EQ(real_sessions().session_user_name(1000), std::nullopt) << "a session never listed";
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
