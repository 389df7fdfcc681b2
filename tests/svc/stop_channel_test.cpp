#include "stop_channel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <optional>
#include <thread>

namespace snv::svc {
namespace {

using namespace std::chrono_literals;

// Far longer than any wake-up takes: a wait that is not woken returns timed_out after it and
// fails the test, where an endless wait would hang the test run.
constexpr auto kBound = std::chrono::seconds(10);

TEST(StopChannel, AnEmptyOpenChannelTimesOut) {
    StopChannel channel = StopChannel::make();
    EXPECT_EQ(channel.receiver.wait_for(0ns), StopWait::timed_out);
    EXPECT_EQ(channel.receiver.wait_for(20ms), StopWait::timed_out);
}

TEST(StopChannel, EveryMessageSentIsReceivedOnceEvenBeforeTheWait) {
    StopChannel channel = StopChannel::make();
    for (int i = 0; i < 1000; ++i) EXPECT_TRUE(channel.sender.send());
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(channel.receiver.wait_for(0ns), StopWait::message);
    EXPECT_EQ(channel.receiver.wait_for(0ns), StopWait::timed_out);
}

TEST(StopChannel, ClosesWhenTheLastSenderGoesAndQueuedMessagesStayDeliverable) {
    StopChannel channel = StopChannel::make();
    std::optional<StopSender> first(std::move(channel.sender));
    std::optional<StopSender> second(*first);
    first->send();
    first.reset();
    EXPECT_EQ(channel.receiver.wait_for(0ns), StopWait::message);
    EXPECT_EQ(channel.receiver.wait_for(0ns), StopWait::timed_out);  // one sender is left
    second->send();
    second.reset();
    EXPECT_EQ(channel.receiver.wait_for(0ns), StopWait::message);
    EXPECT_EQ(channel.receiver.wait_for(kBound), StopWait::closed);
}

TEST(StopChannel, SendsFailOnceTheReceiverIsGone) {
    StopChannel channel = StopChannel::make();
    channel.sender.send();
    { StopReceiver gone(std::move(channel.receiver)); }
    EXPECT_FALSE(channel.sender.send());
}

TEST(StopChannel, AWaitingReceiverWakesForASendFromAnotherThread) {
    StopChannel channel = StopChannel::make();
    auto waited = std::async(std::launch::async, [&] { return channel.receiver.wait_for(kBound); });
    std::this_thread::sleep_for(50ms);  // most likely waiting by now; either way it must wake
    channel.sender.send();
    EXPECT_EQ(waited.get(), StopWait::message);
}

TEST(StopChannel, AWaitingReceiverWakesWhenTheLastSenderGoes) {
    StopChannel channel = StopChannel::make();
    std::optional<StopSender> sender(std::move(channel.sender));
    auto waited = std::async(std::launch::async, [&] { return channel.receiver.wait_for(kBound); });
    std::this_thread::sleep_for(50ms);
    sender.reset();
    EXPECT_EQ(waited.get(), StopWait::closed);
}

TEST(StopChannel, ManySendersOnManyThreadsLoseNothing) {
    StopChannel channel = StopChannel::make();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([sender = channel.sender] mutable {
            for (int i = 0; i < 250; ++i) sender.send();
        });
    }
    int received = 0;
    while (received < 1000 && channel.receiver.wait_for(kBound) == StopWait::message) {
        ++received;
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(received, 1000);
    EXPECT_EQ(channel.receiver.wait_for(0ns), StopWait::timed_out);
}

}  // namespace
}  // namespace snv::svc
