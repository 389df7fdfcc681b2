#include "service.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>
#include <type_traits>

#include "support/fake_engine_env.h"
#include "support/fake_service.h"
#include "support/temp_folder.h"

namespace snv::svc {
namespace {

using namespace std::chrono_literals;
namespace scm = os::scm;

// A tick period that no test waits out: only a stop or the closed channel ends such a wait.
constexpr auto kForever = std::chrono::hours(1);

// The bound of every wait in these tests: far beyond what a working run needs, so that it is
// never a test of speed, yet a loop that no longer ends fails the test instead of hanging it.
constexpr auto kBound = std::chrono::seconds(10);

// A loop under test, run on a thread of its own. A loop still running after kBound can be
// neither joined nor left behind (it works on the test's objects): the failure is reported
// and the process ends, so that the test run fails at once instead of hanging.
template <typename Result>
class BoundedRun {
  public:
    template <typename Body>
    BoundedRun(const char* what, Body body)
        : what_(what), done_(std::async(std::launch::async, std::move(body))) {}
    BoundedRun(const BoundedRun&) = delete;
    BoundedRun& operator=(const BoundedRun&) = delete;
    ~BoundedRun() {
        if (done_.valid()) wait();
    }

    Result get() {
        wait();
        return done_.get();
    }

  private:
    void wait() {
        if (done_.wait_for(kBound) == std::future_status::ready) return;
        ADD_FAILURE() << what_ << " did not return within " << kBound.count()
                      << " s; ending the test process";
        std::fflush(stdout);
        std::_Exit(EXIT_FAILURE);
    }

    const char* what_;
    std::future<Result> done_;
};

template <typename Body>
BoundedRun(const char*, Body) -> BoundedRun<std::invoke_result_t<Body>>;

// Waits up to kBound for `event`; false, with a failure, when it does not come.
bool comes_within_bound(std::future<void> event, const char* what) {
    if (event.wait_for(kBound) == std::future_status::ready) return true;
    ADD_FAILURE() << what << " did not come within " << kBound.count() << " s";
    return false;
}

// Engines that record what happens to them, in order, in one shared log, with the number of
// status reports made at the time.
struct EngineLog {
    explicit EngineLog(const test::FakeServiceDispatcher& d) : dispatcher(&d) {}
    const test::FakeServiceDispatcher* dispatcher;
    std::mutex mutex;
    std::vector<std::string> events;
    std::atomic<int> ticks = 0;
    std::function<void(int tick)> on_tick;  // runs inside tick N (from 1)

    void add(std::string event) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
    }
    std::string after_reports() const {
        return " after " + std::to_string(dispatcher->reports().size()) + " reports";
    }
    StartEngine starter() {
        return [this] {
            add("built" + after_reports());
            struct Dropped {
                EngineLog* log;
                ~Dropped() { log->add("dropped" + log->after_reports()); }
            };
            auto dropped = std::shared_ptr<Dropped>(new Dropped{this});
            return Tick([this, dropped] {
                int n = ++ticks;
                add("tick " + std::to_string(n));
                if (on_tick) on_tick(n);
            });
        };
    }
};

TEST(ControlHandler, AnswersEachControlAndSendsOnlyForStopAndShutdown) {
    struct Case {
        std::uint32_t control;
        std::uint32_t answer;
        bool sends;
    };
    const Case cases[] = {
        {scm::control_stop, 0, true},
        {scm::control_shutdown, 0, true},
        {scm::control_interrogate, 0, false},
        {scm::control_preshutdown, 120, false},
        {0, 120, false},
        {scm::control_pause, 120, false},
        {scm::control_continue, 120, false},
        {6, 120, false},   // PARAMCHANGE
        {7, 120, false},   // NETBINDADD
        {10, 120, false},  // NETBINDDISABLE
        {11, 120, false},
        {12, 120, false},
        {13, 120, false},
        {14, 120, false},  // SESSIONCHANGE
        {16, 120, false},
        {128, 120, false},
        {0xFFFFFFFF, 120, false},
    };
    for (const Case& c : cases) {
        StopChannel channel = StopChannel::make();
        EXPECT_EQ(control_handler(c.control, channel.sender), c.answer) << c.control;
        EXPECT_EQ(channel.receiver.wait_for(0ns), c.sends ? StopWait::message : StopWait::timed_out)
            << c.control;
        EXPECT_EQ(channel.receiver.wait_for(0ns), StopWait::timed_out) << c.control;
    }
}

TEST(ControlHandler, StopAfterTheRunIsOverStillAnswersNoError) {
    StopChannel channel = StopChannel::make();
    { StopReceiver gone(std::move(channel.receiver)); }
    EXPECT_EQ(control_handler(scm::control_stop, channel.sender), 0u);
    EXPECT_EQ(control_handler(scm::control_shutdown, channel.sender), 0u);
}

TEST(TickLoop, TheFirstTickComesBeforeAnyWait) {
    StopChannel channel = StopChannel::make();
    channel.sender.send();  // already queued: the wait returns at once
    int ticks = 0;
    Tick tick([&] { ++ticks; });
    BoundedRun("the loop", [&] { tick_until_stopped(tick, channel.receiver, kForever); }).get();
    EXPECT_EQ(ticks, 1);
}

TEST(TickLoop, TicksAgainAfterEachTimeOutUntilTheChannelCloses) {
    StopChannel channel = StopChannel::make();
    std::optional<StopSender> sender(std::move(channel.sender));
    int ticks = 0;
    Tick tick([&] {
        if (++ticks == 4) sender.reset();
    });
    BoundedRun("the loop", [&] { tick_until_stopped(tick, channel.receiver, 1ms); }).get();
    EXPECT_EQ(ticks, 4);
}

TEST(TickLoop, AStopDuringTheWaitEndsItAtOnce) {
    StopChannel channel = StopChannel::make();
    std::promise<void> ticked;
    int ticks = 0;
    Tick tick([&] {
        if (++ticks == 1) ticked.set_value();
    });
    BoundedRun loop("the loop woken by a stop",
                    [&] { tick_until_stopped(tick, channel.receiver, kForever); });
    if (comes_within_bound(ticked.get_future(), "the first tick")) {
        std::this_thread::sleep_for(50ms);  // into the hour-long wait
    }
    channel.sender.send();
    loop.get();
    EXPECT_EQ(ticks, 1);
}

const os::ServiceStatusReport kRunning{0x10, 4, 0x5, 0, 0, 0, 0};
const os::ServiceStatusReport kStopped{0x10, 1, 0, 0, 0, 0, 0};

TEST(ServiceRun, ReportsExactlyRunningThenStopped) {
    EXPECT_EQ(running_report(), kRunning);
    EXPECT_EQ(stopped_report(), kStopped);
}

class ServiceRunTest : public ::testing::Test {
  protected:
    ServiceStatus run() {
        return BoundedRun("the service run",
                          [&] { return run_service(dispatcher_, engines_.starter()); })
            .get();
    }
    std::vector<std::string> events() {
        std::lock_guard lock(engines_.mutex);
        return engines_.events;
    }

    test::FakeServiceDispatcher dispatcher_;
    EngineLog engines_{dispatcher_};
};

TEST_F(ServiceRunTest, StopOrShutdownDuringATickEndsTheRunAsThatTickReturns) {
    for (std::uint32_t control : {scm::control_stop, scm::control_shutdown}) {
        test::FakeServiceDispatcher dispatcher;
        EngineLog engines{dispatcher};
        engines.on_tick = [&](int) { EXPECT_EQ(dispatcher.deliver(control), 0u); };
        EXPECT_TRUE(BoundedRun("the service run",
                               [&] { return run_service(dispatcher, engines.starter()); })
                        .get())
            << control;
        EXPECT_EQ(dispatcher.registered_name, "Orvanel");
        EXPECT_EQ(dispatcher.reports(), (std::vector{kRunning, kStopped})) << control;
        // Built after running was reported, dropped after stopped was.
        EXPECT_EQ(engines.events, (std::vector<std::string>{"built after 1 reports", "tick 1",
                                                            "dropped after 2 reports"}))
            << control;
    }
}

TEST_F(ServiceRunTest, TwoStopsEndOneLoop) {
    engines_.on_tick = [&](int) {
        dispatcher_.deliver(scm::control_stop);
        dispatcher_.deliver(scm::control_stop);
    };
    EXPECT_TRUE(run());
    EXPECT_EQ(engines_.ticks, 1);
    EXPECT_EQ(dispatcher_.reports(), (std::vector{kRunning, kStopped}));
    EXPECT_EQ(dispatcher_.deliver(scm::control_stop), 0u);  // a late stop finds its context
}

TEST_F(ServiceRunTest, OtherControlsChangeNothing) {
    engines_.on_tick = [&](int n) {
        if (n == 1) {
            EXPECT_EQ(dispatcher_.deliver(scm::control_interrogate), 0u);
            EXPECT_EQ(dispatcher_.deliver(scm::control_pause), 120u);
            EXPECT_EQ(dispatcher_.deliver(scm::control_continue), 120u);
            EXPECT_EQ(dispatcher_.deliver(scm::control_preshutdown), 120u);
            EXPECT_EQ(dispatcher_.deliver(200), 120u);
        }
        if (n == 2) dispatcher_.deliver(scm::control_stop);
    };
    EXPECT_TRUE(run());
    EXPECT_EQ(engines_.ticks, 2);  // the first wait timed out: nothing had been sent
    EXPECT_EQ(dispatcher_.reports(), (std::vector{kRunning, kStopped}));
}

TEST_F(ServiceRunTest, AFailedRegistrationReportsNothingAndBuildsNoEngine) {
    dispatcher_.register_fails = 1063;
    auto result = run();
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), ServiceError::system_call(1063));
    EXPECT_TRUE(dispatcher_.reports().empty());
    EXPECT_TRUE(events().empty());
}

TEST_F(ServiceRunTest, AFailedRunningReportBuildsNoEngineAndReportsNoStop) {
    dispatcher_.report_fails = {0};
    auto result = run();
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), ServiceError::system_call(31));
    EXPECT_TRUE(dispatcher_.reports().empty());
    EXPECT_TRUE(events().empty());
}

TEST_F(ServiceRunTest, AFailedStoppedReportStillDropsTheEngine) {
    dispatcher_.report_fails = {1};
    engines_.on_tick = [&](int) { dispatcher_.deliver(scm::control_stop); };
    auto result = run();
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), ServiceError::system_call(31));
    EXPECT_EQ(events(), (std::vector<std::string>{"built after 1 reports", "tick 1",
                                                  "dropped after 1 reports"}));
}

TEST_F(ServiceRunTest, TheDispatcherRunsTheServiceUntilAStopArrivesDuringTheWait) {
    std::promise<void> ticked;
    engines_.on_tick = [&](int n) {
        if (n == 1) ticked.set_value();
    };
    BoundedRun dispatched("the dispatcher",
                          [&] { return run_dispatcher(dispatcher_, engines_.starter()); });
    ASSERT_TRUE(comes_within_bound(ticked.get_future(), "the first tick"));
    EXPECT_EQ(dispatcher_.deliver(scm::control_stop), 0u);
    EXPECT_TRUE(dispatched.get());
    EXPECT_EQ(dispatcher_.dispatched_name, "Orvanel");
    EXPECT_EQ(dispatcher_.reports(), (std::vector{kRunning, kStopped}));
    EXPECT_EQ(events().back(), "dropped after 2 reports");
}

// The real engine over fakes: a lock task falls due in the first tick and waits for its
// countdown; a stop during that tick ends the run, and the action is neither performed nor
// recorded, although its deadline has passed by then.
TEST(ServiceRunEngine, ActionsWaitingForTheirCountdownAreDroppedByAStop) {
    test::TempFolder dir;
    test::write_file(dir.file("tasks.json"),
                     R"({"version":1,"tasks":[{"id":"t","enabled":true,"action":"lock",)"
                     R"("trigger":{"type":"once","at":"2025-03-12T10:00:30"}}]})");
    test::FakeEngineEnv seams;
    seams.data_dir.set(dir.path().native());
    seams.clock.local = {2025, 3, 12, 10, 0, 0, 0};  // the notify time: 30 s before
    test::FakeServiceDispatcher dispatcher;
    std::size_t queued = 0;
    int ticks = 0;
    StartEngine start = [&] {
        auto engine = std::make_shared<engine::Engine>(seams.env());
        return Tick([&, engine] {
            engine->tick();
            ++ticks;
            queued = engine->pending.size();
            seams.clock.advance(60s);  // any later tick would find the action due
            dispatcher.deliver(scm::control_stop);
        });
    };
    EXPECT_TRUE(
        BoundedRun("the service run", [&] { return run_service(dispatcher, start); }).get());
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(queued, 1u);
    EXPECT_TRUE(seams.power.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("history.redb")));
    EXPECT_EQ(dispatcher.reports(), (std::vector{kRunning, kStopped}));
}

TEST(RunDispatcher, AFailedDispatcherIsASystemCallError) {
    test::FakeServiceDispatcher dispatcher;
    dispatcher.run_fails = 1063;
    auto result = run_dispatcher(dispatcher, [] { return Tick([] {}); });
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), ServiceError::system_call(1063));
    EXPECT_EQ(result.error().text(), "IO error in winapi call");
}

}  // namespace
}  // namespace snv::svc
