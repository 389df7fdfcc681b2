#include "stop_channel.h"

namespace snv::svc {

using stop_channel_detail::State;

StopSender::StopSender(std::shared_ptr<State> state) : state_(std::move(state)) {
    std::lock_guard lock(state_->mutex);
    ++state_->senders;
}

StopSender::StopSender(const StopSender& other) : StopSender(other.state_) {}

StopSender::~StopSender() {
    if (!state_) return;  // moved from
    std::lock_guard lock(state_->mutex);
    if (--state_->senders == 0) state_->changed.notify_all();
}

bool StopSender::send() {
    std::lock_guard lock(state_->mutex);
    if (!state_->receiver_alive) return false;
    ++state_->queued;
    state_->changed.notify_all();
    return true;
}

StopReceiver::StopReceiver(std::shared_ptr<State> state) : state_(std::move(state)) {}

StopReceiver::~StopReceiver() {
    if (!state_) return;
    std::lock_guard lock(state_->mutex);
    state_->receiver_alive = false;
    state_->queued = 0;
}

StopWait StopReceiver::wait_for(std::chrono::nanoseconds limit) {
    // steady_clock is the monotonic clock: a change of the wall clock does not move the limit.
    auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(state_->mutex);
    state_->changed.wait_until(lock, deadline,
                               [&] { return state_->queued > 0 || state_->senders == 0; });
    if (state_->queued > 0) {
        --state_->queued;
        return StopWait::message;
    }
    return state_->senders == 0 ? StopWait::closed : StopWait::timed_out;
}

StopChannel StopChannel::make() {
    auto state = std::make_shared<State>();
    return StopChannel{StopSender(state), StopReceiver(state)};
}

}  // namespace snv::svc
