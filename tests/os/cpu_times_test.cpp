#include "os/cpu_times.h"

#include <gtest/gtest.h>

namespace os = snv::os;

TEST(CpuTimes, ReadsTimesThatOnlyGrow) {
    const auto first = os::real_processor_times().read();
    ASSERT_TRUE(first.has_value());
    EXPECT_GE(first->kernel, first->idle);  // kernel time includes the idle time
    EXPECT_GT(first->kernel + first->user, 0u);
    volatile std::uint64_t spin = 0;
    for (int i = 0; i < 10'000'000; ++i) spin = spin + 1;
    const auto second = os::real_processor_times().read();
    ASSERT_TRUE(second.has_value());
    EXPECT_GE(second->idle, first->idle);
    EXPECT_GE(second->kernel, first->kernel);
    EXPECT_GE(second->user, first->user);
}
