#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>

namespace snv::svc {

// An unbounded queue of empty "stop" messages between threads: any number of sending ends, one
// receiving end. A send never blocks; the receiver waits with a time limit.
namespace stop_channel_detail {
struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t queued = 0;
    std::size_t senders = 0;
    bool receiver_alive = true;
};
}  // namespace stop_channel_detail

class StopSender {
  public:
    StopSender(const StopSender& other);
    StopSender(StopSender&& other) noexcept = default;
    StopSender& operator=(const StopSender&) = delete;
    StopSender& operator=(StopSender&&) = delete;
    // The last sending end to go closes the channel.
    ~StopSender();

    // Queues one message; false (and nothing queued) when the receiving end is gone.
    bool send();

  private:
    friend struct StopChannel;
    explicit StopSender(std::shared_ptr<stop_channel_detail::State> state);
    std::shared_ptr<stop_channel_detail::State> state_;
};

enum class StopWait { message, closed, timed_out };

class StopReceiver {
  public:
    StopReceiver(StopReceiver&& other) noexcept = default;
    StopReceiver(const StopReceiver&) = delete;
    StopReceiver& operator=(const StopReceiver&) = delete;
    StopReceiver& operator=(StopReceiver&&) = delete;
    // Queued messages are dropped; later sends fail.
    ~StopReceiver();

    // Takes one message as soon as one is queued; otherwise returns closed once no sending end
    // is left, or timed_out after `limit` on the monotonic clock.
    StopWait wait_for(std::chrono::nanoseconds limit);

  private:
    friend struct StopChannel;
    explicit StopReceiver(std::shared_ptr<stop_channel_detail::State> state);
    std::shared_ptr<stop_channel_detail::State> state_;
};

// A new, empty, open channel.
struct StopChannel {
    StopSender sender;
    StopReceiver receiver;

    static StopChannel make();
};

}  // namespace snv::svc
