#include <cstdio>

#include "calendar/text.h"

namespace snv::calendar {
namespace {

void append_padded(std::string& out, std::uint64_t value, int width) {
    char buffer[24];
    const int n = std::snprintf(buffer, sizeof buffer, "%0*llu", width,
                                static_cast<unsigned long long>(value));
    out.append(buffer, static_cast<std::size_t>(n));
}

void append_hms(std::string& out, TimeOfDay time) {
    append_padded(out, time.hour(), 2);
    out += ':';
    append_padded(out, time.minute(), 2);
    out += ':';
    append_padded(out, time.is_leap_second() ? 60 : time.second(), 2);
}

void append_date(std::string& out, Date date) {
    const CivilDate c = date.civil();
    if (c.year < 0) {
        out += '-';
    } else if (c.year > 9999) {
        out += '+';
    }
    const std::int64_t year = c.year < 0 ? -static_cast<std::int64_t>(c.year) : c.year;
    append_padded(out, static_cast<std::uint64_t>(year), 4);
    out += '-';
    append_padded(out, c.month, 2);
    out += '-';
    append_padded(out, c.day, 2);
}

void append_time(std::string& out, TimeOfDay time) {
    append_hms(out, time);
    const std::uint32_t fraction = time.nanos() % nanos_per_second;
    if (fraction == 0) return;
    out += '.';
    if (fraction % 1'000'000 == 0) {
        append_padded(out, fraction / 1'000'000, 3);
    } else if (fraction % 1'000 == 0) {
        append_padded(out, fraction / 1'000, 6);
    } else {
        append_padded(out, fraction, 9);
    }
}

}  // namespace

std::string format_date(Date date) {
    std::string out;
    append_date(out, date);
    return out;
}

std::string format_time_of_day(TimeOfDay time) {
    std::string out;
    append_time(out, time);
    return out;
}

std::string format_date_time(DateTime date_time) {
    std::string out;
    append_date(out, date_time.date);
    out += 'T';
    append_time(out, date_time.time);
    return out;
}

std::string format_hms(TimeOfDay time) {
    std::string out;
    append_hms(out, time);
    return out;
}

}  // namespace snv::calendar
