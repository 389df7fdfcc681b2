// The local time under the zone in force, also where the system has no rules of the year for
// it: Wine, for one, fails that lookup for Australia/Lord_Howe. tests/CMakeLists.txt runs this
// under several zones as well (Wine takes the zone from TZ as a process starts).
#ifdef _WIN32

#include <gtest/gtest.h>

#include <windows.h>

#include "os/clock.h"

namespace snv::os {
namespace {

int seconds_of_day(unsigned hour, unsigned minute, unsigned second) {
    return static_cast<int>(hour * 3600 + minute * 60 + second);
}

TEST(LocalTime, AgreesWithTheSystemsOwnLocalTime) {
    const LocalTime ours = real_clock().local_now();
    SYSTEMTIME system{};
    GetLocalTime(&system);
    int apart = seconds_of_day(system.wHour, system.wMinute, system.wSecond) -
                seconds_of_day(ours.hour, ours.minute, ours.second);
    if (apart < 0) apart += 86400;  // across midnight
    EXPECT_LE(apart, 2) << "ours " << ours.hour << ":" << ours.minute << ":" << ours.second
                        << ", the system's " << system.wHour << ":" << system.wMinute << ":"
                        << system.wSecond;
}

}  // namespace
}  // namespace snv::os

#endif
