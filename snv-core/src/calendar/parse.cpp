#include <cstdint>
#include <limits>

#include "calendar/text.h"
#include "calendar/unicode_space.h"

namespace snv::calendar {
namespace {

// A cursor over the text; every step either advances or reports failure.
class Scanner {
  public:
    explicit Scanner(std::string_view text) : rest_(text) {}

    bool done() const { return rest_.empty(); }
    std::string_view rest() const { return rest_; }
    void reset(std::string_view rest) { rest_ = rest; }

    void skip_space() {
        while (std::size_t n = unicode_space_length(rest_)) rest_.remove_prefix(n);
    }

    bool literal(char c) {
        if (rest_.empty() || rest_.front() != c) return false;
        rest_.remove_prefix(1);
        return true;
    }

    // min_digits.. max_digits decimal digits, stopping at the first non-digit.
    std::optional<std::int64_t> digits(std::size_t min_digits, std::size_t max_digits) {
        std::int64_t value = 0;
        std::size_t count = 0;
        while (count < max_digits && count < rest_.size() && rest_[count] >= '0' &&
               rest_[count] <= '9') {
            const int digit = rest_[count] - '0';
            if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10) {
                return std::nullopt;
            }
            value = value * 10 + digit;
            ++count;
        }
        if (count < min_digits) return std::nullopt;
        rest_.remove_prefix(count);
        return value;
    }

    // White space, then one or two digits.
    std::optional<std::int64_t> small_number() {
        skip_space();
        return digits(1, 2);
    }

    // White space, then one to four digits, or a sign and one or more digits.
    std::optional<std::int64_t> year() {
        skip_space();
        if (literal('-')) {
            auto v = digits(1, std::numeric_limits<std::size_t>::max());
            if (!v) return std::nullopt;
            return -*v;
        }
        if (literal('+')) return digits(1, std::numeric_limits<std::size_t>::max());
        return digits(1, 4);
    }

    // The nanoseconds of "." and one or more digits; digits after the ninth are ignored.
    std::optional<std::uint32_t> fraction() {
        std::uint32_t nanos = 0;
        std::size_t count = 0;
        while (count < rest_.size() && rest_[count] >= '0' && rest_[count] <= '9') {
            if (count < 9) nanos = nanos * 10 + static_cast<std::uint32_t>(rest_[count] - '0');
            ++count;
        }
        if (count == 0) return std::nullopt;
        for (std::size_t i = count; i < 9; ++i) nanos *= 10;
        rest_.remove_prefix(count);
        return nanos;
    }

  private:
    std::string_view rest_;
};

std::optional<Date> scan_date(Scanner& s) {
    const auto year = s.year();
    if (!year) return std::nullopt;
    s.skip_space();
    if (!s.literal('-')) return std::nullopt;
    const auto month = s.small_number();
    if (!month) return std::nullopt;
    s.skip_space();
    if (!s.literal('-')) return std::nullopt;
    const auto day = s.small_number();
    if (!day) return std::nullopt;
    s.skip_space();
    return Date::from_civil(*year, static_cast<unsigned>(*month), static_cast<unsigned>(*day));
}

struct Hms {
    std::int64_t hour = 0;
    std::int64_t minute = 0;
    std::int64_t second = 0;
    std::uint32_t nanos = 0;
};

// ":" and the second (after optional white space), and then an optional fraction.
bool scan_seconds(Scanner& s, Hms& t) {
    s.skip_space();
    if (!s.literal(':')) return false;
    const auto second = s.small_number();
    if (!second) return false;
    t.second = *second;
    if (s.literal('.')) {
        const auto nanos = s.fraction();
        if (!nanos) return false;
        t.nanos = *nanos;
    }
    return true;
}

std::optional<Hms> scan_time(Scanner& s, bool seconds_required) {
    Hms t;
    const auto hour = s.small_number();
    if (!hour) return std::nullopt;
    s.skip_space();
    if (!s.literal(':')) return std::nullopt;
    const auto minute = s.small_number();
    if (!minute) return std::nullopt;
    t.hour = *hour;
    t.minute = *minute;
    const std::string_view after_minute = s.rest();
    if (!scan_seconds(s, t)) {
        if (seconds_required) return std::nullopt;
        // The seconds are optional: what follows the minute must then be white space only.
        t = Hms{*hour, *minute, 0, 0};
        s.reset(after_minute);
    }
    s.skip_space();
    return t;
}

std::optional<TimeOfDay> to_time(const Hms& t) {
    if (t.hour > 23 || t.minute > 59 || t.second > 60) return std::nullopt;
    return TimeOfDay::from_hms(static_cast<unsigned>(t.hour), static_cast<unsigned>(t.minute),
                               static_cast<unsigned>(t.second), t.nanos);
}

// The forms the programs write ("2026-03-14", "07:05:09", "2026-03-14T07:05:09.5") are read
// directly, without the scanner's checks for white space between every part. Any other text,
// or one of these forms naming no date or time, goes to the scanner, which decides. Inlined
// whole, so that their optional results stay in registers.

// The two decimal digits at `p`, or -1.
int two_digits(const char* p) {
    const unsigned tens = static_cast<unsigned char>(p[0]) - unsigned{'0'};
    const unsigned ones = static_cast<unsigned char>(p[1]) - unsigned{'0'};
    if (tens > 9 || ones > 9) return -1;
    return static_cast<int>(tens * 10 + ones);
}

// "YYYY-MM-DD" at the start of `text`, which holds at least ten bytes.
[[gnu::always_inline]] inline std::optional<Date> fixed_date(std::string_view text) {
    if (text[4] != '-' || text[7] != '-') return std::nullopt;
    const int century = two_digits(&text[0]);
    const int year = two_digits(&text[2]);
    const int month = two_digits(&text[5]);
    const int day = two_digits(&text[8]);
    if (century < 0 || year < 0 || month < 0 || day < 0) return std::nullopt;
    return Date::from_civil(century * 100 + year, static_cast<unsigned>(month),
                            static_cast<unsigned>(day));
}

// All of `text` as "HH:MM:SS", as that with "." and digits, or as "HH:MM" when the seconds may
// be left out.
[[gnu::always_inline]] inline std::optional<TimeOfDay> fixed_time(std::string_view text,
                                                                  bool seconds_required) {
    if (text.size() < 5 || text[2] != ':') return std::nullopt;
    const int hour = two_digits(&text[0]);
    const int minute = two_digits(&text[3]);
    if (hour < 0 || minute < 0) return std::nullopt;
    int second = 0;
    std::uint32_t nanos = 0;
    if (text.size() > 5 || seconds_required) {
        if (text.size() < 8 || text[5] != ':') return std::nullopt;
        second = two_digits(&text[6]);
        if (second < 0) return std::nullopt;
        if (text.size() > 8) {
            if (text[8] != '.') return std::nullopt;
            Scanner fraction(text.substr(9));
            const auto value = fraction.fraction();
            if (!value || !fraction.done()) return std::nullopt;
            nanos = *value;
        }
    }
    return TimeOfDay::from_hms(static_cast<unsigned>(hour), static_cast<unsigned>(minute),
                               static_cast<unsigned>(second), nanos);
}

}  // namespace

std::optional<Date> parse_date(std::string_view text) {
    if (text.size() == 10) {
        if (auto date = fixed_date(text)) return date;
    }
    Scanner s(text);
    auto date = scan_date(s);
    if (!date || !s.done()) return std::nullopt;
    return date;
}

std::optional<TimeOfDay> parse_time_of_day(std::string_view text) {
    if (auto time = fixed_time(text, false)) return time;
    Scanner s(text);
    const auto t = scan_time(s, false);
    if (!t || !s.done()) return std::nullopt;
    return to_time(*t);
}

std::optional<DateTime> parse_date_time(std::string_view text) {
    if (text.size() >= 19 && text[10] == 'T') {
        const auto date = fixed_date(text);
        const auto time = fixed_time(text.substr(11), true);
        if (date && time) return DateTime{*date, *time};
    }
    Scanner s(text);
    const auto date = scan_date(s);
    if (!date || !s.literal('T')) return std::nullopt;
    const auto t = scan_time(s, true);
    if (!t || !s.done()) return std::nullopt;
    const auto time = to_time(*t);
    if (!time) return std::nullopt;
    return DateTime{*date, *time};
}

}  // namespace snv::calendar
