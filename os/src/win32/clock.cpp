#include "os/clock.h"

#include <windows.h>

namespace snv::os {

namespace {

class Win32Clock final : public Clock {
public:
    MonotonicTime monotonic_now() override {
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        const std::int64_t freq = frequency();
        // Split to avoid overflowing the product for long uptimes.
        const std::int64_t secs = counter.QuadPart / freq;
        const std::int64_t rest = counter.QuadPart % freq;
        return std::chrono::seconds(secs) + std::chrono::nanoseconds(rest * 1'000'000'000 / freq);
    }

    LocalTime local_now() override {
        FILETIME now{};
        GetSystemTimePreciseAsFileTime(&now);
        SYSTEMTIME utc{};
        FileTimeToSystemTime(&now, &utc);
        ULARGE_INTEGER ticks{};
        ticks.LowPart = now.dwLowDateTime;
        ticks.HighPart = now.dwHighDateTime;
        std::uint32_t nanosecond = static_cast<std::uint32_t>((ticks.QuadPart % 10'000'000) * 100);
        SYSTEMTIME local{};
        if (!to_local(utc, local)) {
            GetLocalTime(&local);  // cannot fail; read a moment later than `now`
            nanosecond = local.wMilliseconds * 1'000'000u;
        }
        LocalTime t;
        t.year = local.wYear;
        t.month = local.wMonth;
        t.day = local.wDay;
        t.hour = local.wHour;
        t.minute = local.wMinute;
        t.second = local.wSecond;
        t.nanosecond = nanosecond;
        return t;
    }

    void sleep_for(std::chrono::nanoseconds duration) override {
        auto ms = std::chrono::ceil<std::chrono::milliseconds>(duration).count();
        Sleep(ms > 0 ? static_cast<DWORD>(ms) : 0);
    }

private:
    // The zone rules of the current year, as the date library takes them; where the system has
    // none for the year (a zone whose registry entry is missing, say), its own conversion with
    // the zone in force. Never UTC in place of local time.
    static bool to_local(const SYSTEMTIME& utc, SYSTEMTIME& local) {
        TIME_ZONE_INFORMATION tz{};
        if (GetTimeZoneInformationForYear(utc.wYear, nullptr, &tz) &&
            SystemTimeToTzSpecificLocalTime(&tz, &utc, &local)) {
            return true;
        }
        return SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    }

    static std::int64_t frequency() {
        static const std::int64_t freq = [] {
            LARGE_INTEGER f{};
            QueryPerformanceFrequency(&f);
            return f.QuadPart > 0 ? f.QuadPart : 1;
        }();
        return freq;
    }
};

}  // namespace

Clock& real_clock() {
    static Win32Clock clock;
    return clock;
}

}  // namespace snv::os
