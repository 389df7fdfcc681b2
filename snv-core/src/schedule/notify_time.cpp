#include "schedule/notify_time.h"

namespace snv::schedule {

calendar::TimeOfDay notify_time(calendar::TimeOfDay time, std::uint32_t countdown_seconds) {
    const std::uint32_t s = time.seconds();
    const std::uint32_t start = s >= countdown_seconds ? s - countdown_seconds : 0;
    // `start` never exceeds the seconds of a valid time, so the value always exists.
    return *calendar::TimeOfDay::from_seconds(start);
}

}  // namespace snv::schedule
