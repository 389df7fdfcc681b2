// The engine over the native stand-in: every hand-off fails for want of a console session and
// is queued, and every queued action is refused with an error text of the usual form.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "core/engine_fixture.h"
#include "os/launcher.h"
#include "os/power.h"
#include "os/sessions.h"

namespace snv::test {
namespace {

using StandIn = EngineFixture;

TEST_F(StandIn, HandOffsAreQueuedAndEveryActionIsRefused) {
    sessions = &os::real_sessions();
    launcher = &os::real_launcher();
    power = &os::real_power();
    engine().user_signed_in = true;
    engine().hand_off({"t", TriggerKind::timer, Action::shutdown});
    ASSERT_EQ(engine().pending.size(), 1u);
    const calendar::DateTime t = local_now();

    const os::MonotonicTime now = seams.clock.monotonic;
    for (Action a :
         {Action::restart, Action::sleep, Action::hibernate, Action::sign_out, Action::lock}) {
        engine().pending.push_back({now, {"t", TriggerKind::timer, a}});
    }
    pass(30s);
    engine().run_pending();
    EXPECT_TRUE(engine().pending.empty());
    const std::string refused = std::string(std::strerror(EPERM)) + " (os error 1)";
    const calendar::DateTime later = local_now();
    std::vector<HistoryRow> rows{
        {t, "error", Action::shutdown, "Cannot show countdown window: no console session"}};
    for (const auto& [action, error] : std::vector<std::pair<Action, std::string>>{
             {Action::shutdown, refused},
             {Action::restart, refused},
             {Action::sleep, refused},
             {Action::hibernate, refused},
             {Action::sign_out, "no active console session"},
             {Action::lock, "this action needs a logged-on user"}}) {
        rows.push_back({later, "executed", action, ""});
        rows.push_back({later, "error", action, error});
    }
    expect_history(rows);
}

}  // namespace
}  // namespace snv::test

#endif
