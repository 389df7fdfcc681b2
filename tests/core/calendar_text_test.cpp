#include <gtest/gtest.h>

#include <string>

#include "calendar/text.h"

namespace snv::calendar {
namespace {

Date date(std::int32_t y, unsigned m, unsigned d) {
    return *Date::from_civil(y, m, d);
}
TimeOfDay hms(unsigned h, unsigned m, unsigned s, std::uint32_t ns = 0) {
    return *TimeOfDay::from_hms(h, m, s, ns);
}

struct DateCase {
    const char* text;
    std::optional<Date> expected;
};

TEST(CalendarText, ReadsDates) {
    const DateCase cases[] = {
        {"2026-03-14", date(2026, 3, 14)},
        {"2026-3-4", date(2026, 3, 4)},
        {" 2026 - 3 - 4 ", date(2026, 3, 4)},
        {"2026 -03- 04", date(2026, 3, 4)},
        {"\t\n\v\f\r2026-01-01\x20", date(2026, 1, 1)},
        {"\u00a0\u30002026\u2003-1-\u20281\u0085\u202f", date(2026, 1, 1)},
        {"\u16802026-1-1\u205f\u2029\u200a", date(2026, 1, 1)},
        {"0-1-1", date(0, 1, 1)},
        {"1-01-01", date(1, 1, 1)},
        {"+2026-01-01", date(2026, 1, 1)},
        {"-0001-12-31", date(-1, 12, 31)},
        {"-1-12-31", date(-1, 12, 31)},
        {"+00000000000000002026-01-01", date(2026, 1, 1)},
        {"+262142-12-31", date(262142, 12, 31)},
        {"-262143-01-01", date(-262143, 1, 1)},
        {"2024-02-29", date(2024, 2, 29)},
        {"2000-2-29", date(2000, 2, 29)},
        // Rejected
        {"", std::nullopt},
        {" ", std::nullopt},
        {"2026-02-29", std::nullopt},
        {"1900-02-29", std::nullopt},
        {"2026-13-01", std::nullopt},
        {"2026-00-01", std::nullopt},
        {"2026-01-32", std::nullopt},
        {"2026-04-31", std::nullopt},
        {"2026-01-00", std::nullopt},
        {"12026-01-01", std::nullopt},
        {"2026-001-01", std::nullopt},
        {"2026-01-001", std::nullopt},
        {"+262143-01-01", std::nullopt},
        {"-262144-12-31", std::nullopt},
        {"+99999999999999999999-01-01", std::nullopt},
        {"+ 2026-01-01", std::nullopt},
        {"+-2026-01-01", std::nullopt},
        {"2026/01/01", std::nullopt},
        {"2026-01", std::nullopt},
        {"2026-01-", std::nullopt},
        {"-01-01", std::nullopt},
        {"2026-01-01x", std::nullopt},
        {"2026-01-01T00:00:00", std::nullopt},
        {"2026-+1-01", std::nullopt},
        {"\xef\xbc\x92\xef\xbc\x90\xef\xbc\x92\xef\xbc\x96-01-01", std::nullopt},  // wide digits
        {"\u200b2026-01-01", std::nullopt},  // zero-width space is not white space
        {"\xc2", std::nullopt},
        {"2026-01-01\xe3\x80", std::nullopt},
    };
    for (const DateCase& c : cases) {
        EXPECT_EQ(parse_date(c.text), c.expected) << '"' << c.text << '"';
    }
}

struct TimeCase {
    const char* text;
    std::optional<TimeOfDay> expected;
};

TEST(CalendarText, ReadsTimesOfDay) {
    const TimeCase cases[] = {
        {"7:05", hms(7, 5, 0)},
        {"00:00", hms(0, 0, 0)},
        {"07:05:09", hms(7, 5, 9)},
        {"7:5:9", hms(7, 5, 9)},
        {" 7 : 5 : 9 ", hms(7, 5, 9)},
        {" 7 :5 ", hms(7, 5, 0)},
        {"\u30007:05\u3000", hms(7, 5, 0)},
        {"07:05:09.5", hms(7, 5, 9, 500'000'000)},
        {"07:05:09.5 ", hms(7, 5, 9, 500'000'000)},
        {"07:05:09.000001", hms(7, 5, 9, 1000)},
        {"07:05:09.123456789123", hms(7, 5, 9, 123'456'789)},
        {"23:59:59.999999999", hms(23, 59, 59, 999'999'999)},
        {"23:59:60", hms(23, 59, 60)},
        {"12:30:60.25", hms(12, 30, 60, 250'000'000)},
        // Rejected
        {"", std::nullopt},
        {"12", std::nullopt},
        {"12:", std::nullopt},
        {"12:30:", std::nullopt},
        {"24:00", std::nullopt},
        {"12:60", std::nullopt},
        {"12:30:61", std::nullopt},
        {"12:30.5", std::nullopt},
        {"12:30:05 .5", std::nullopt},
        {"12:30:05. 5", std::nullopt},
        {"12:30:05.", std::nullopt},
        {"12:30:05.5 5", std::nullopt},
        {"123:00", std::nullopt},
        {"12:300", std::nullopt},
        {"12:30:5x", std::nullopt},
        {"-1:00", std::nullopt},
        {"+1:00", std::nullopt},
        {"1:00 x", std::nullopt},
        {"12:30:05Z", std::nullopt},
        {"12.30", std::nullopt},
    };
    for (const TimeCase& c : cases) {
        EXPECT_EQ(parse_time_of_day(c.text), c.expected) << '"' << c.text << '"';
    }
}

struct DateTimeCase {
    const char* text;
    std::optional<DateTime> expected;
};

TEST(CalendarText, ReadsDateTimes) {
    const DateTimeCase cases[] = {
        {"2026-03-14T07:05:09", DateTime{date(2026, 3, 14), hms(7, 5, 9)}},
        {" 2026-3-14 T 7:05:09 ", DateTime{date(2026, 3, 14), hms(7, 5, 9)}},
        {"2026-03-14T07:05:09.5", DateTime{date(2026, 3, 14), hms(7, 5, 9, 500'000'000)}},
        {"2026-12-31T23:59:60", DateTime{date(2026, 12, 31), hms(23, 59, 60)}},
        {"+10000-01-01T00:00:00", DateTime{date(10000, 1, 1), hms(0, 0, 0)}},
        // Rejected
        {"2026-03-14T07:05", std::nullopt},
        {"2026-03-14t07:05:09", std::nullopt},
        {"2026-03-14 07:05:09", std::nullopt},
        {"2026-03-14T07:05:09Z", std::nullopt},
        {"2026-03-14T07:05:09+01:00", std::nullopt},
        {"2026-02-30T00:00:00", std::nullopt},
        {"2026-03-14T24:00:00", std::nullopt},
        {"2026-03-14", std::nullopt},
        {"T07:05:09", std::nullopt},
    };
    for (const DateTimeCase& c : cases) {
        EXPECT_EQ(parse_date_time(c.text), c.expected) << '"' << c.text << '"';
    }
}

// The written forms are read directly; with a space in front the same text takes the general
// reading, which must agree on every variant around those forms.
TEST(CalendarText, WrittenFormsReadAsTheGeneralRulesDo) {
    const std::string written[] = {
        "2026-03-14",
        "2024-02-29",
        "07:05",
        "23:59:60",
        "07:05:09.123456789012",
        "2026-03-14T07:05:09",
        "2026-12-31T23:59:60.25",
    };
    const std::string changes[] = {"", "0", "9", "12", "-", "+", ":", "T", ".", " ", "x", "\u3000"};
    std::size_t accepted = 0;
    auto agree = [&](const std::string& text) {
        const std::string spaced = " " + text;
        EXPECT_EQ(parse_date(text), parse_date(spaced)) << '"' << text << '"';
        EXPECT_EQ(parse_time_of_day(text), parse_time_of_day(spaced)) << '"' << text << '"';
        EXPECT_EQ(parse_date_time(text), parse_date_time(spaced)) << '"' << text << '"';
        accepted += parse_date(text) || parse_time_of_day(text) || parse_date_time(text);
    };
    for (const std::string& text : written) {
        agree(text);
        for (std::size_t at = 0; at <= text.size(); ++at) {
            for (const std::string& change : changes) {
                agree(text.substr(0, at) + change + text.substr(at));  // inserted
                if (at < text.size()) {
                    agree(text.substr(0, at) + change + text.substr(at + 1));  // replaced
                }
            }
        }
    }
    // Agreeing on refusals alone would show little: many of the variants read.
    EXPECT_GT(accepted, 100u);
}

TEST(CalendarText, WritesDates) {
    const std::pair<Date, const char*> cases[] = {
        {date(2026, 3, 4), "2026-03-04"},     {date(0, 1, 1), "0000-01-01"},
        {date(5, 6, 7), "0005-06-07"},        {date(9999, 12, 31), "9999-12-31"},
        {date(10000, 1, 1), "+10000-01-01"},  {date(-1, 12, 31), "-0001-12-31"},
        {date(-12345, 2, 3), "-12345-02-03"}, {Date::min(), "-262143-01-01"},
        {Date::max(), "+262142-12-31"},
    };
    for (const auto& [d, text] : cases) {
        EXPECT_EQ(format_date(d), text);
        EXPECT_EQ(parse_date(text), d) << text;
    }
}

TEST(CalendarText, WritesTimesOfDay) {
    const std::pair<TimeOfDay, const char*> cases[] = {
        {hms(0, 0, 0), "00:00:00"},
        {hms(7, 5, 9), "07:05:09"},
        {hms(12, 0, 0, 500'000'000), "12:00:00.500"},
        {hms(12, 0, 0, 1'500'000), "12:00:00.001500"},
        {hms(12, 0, 0, 1'000), "12:00:00.000001"},
        {hms(12, 0, 0, 1), "12:00:00.000000001"},
        {hms(12, 0, 0, 123'456'789), "12:00:00.123456789"},
        {hms(12, 0, 0, 120'000'000), "12:00:00.120"},
        {hms(23, 59, 60), "23:59:60"},
        {hms(23, 59, 60, 500'000'000), "23:59:60.500"},
        {hms(23, 59, 59, 999'999'999), "23:59:59.999999999"},
    };
    for (const auto& [t, text] : cases) {
        EXPECT_EQ(format_time_of_day(t), text);
        EXPECT_EQ(parse_time_of_day(text), t) << text;
    }
    EXPECT_EQ(format_hms(hms(9, 5, 0, 123)), "09:05:00");
    EXPECT_EQ(format_hms(hms(23, 59, 60, 5)), "23:59:60");
}

TEST(CalendarText, WritesDateTimes) {
    const DateTime dt{date(2026, 2, 1), hms(9, 5, 0)};
    EXPECT_EQ(format_date_time(dt), "2026-02-01T09:05:00");
    EXPECT_EQ(parse_date_time(format_date_time(dt)), dt);
    const DateTime far{date(-5, 1, 2), hms(3, 4, 5, 6'000)};
    EXPECT_EQ(format_date_time(far), "-0005-01-02T03:04:05.000006");
    EXPECT_EQ(parse_date_time(format_date_time(far)), far);
}

}  // namespace
}  // namespace snv::calendar
