#include "json/lexer.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>
#include <system_error>

#include "json/utf8.h"
#include "os/path.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace snv::json::lexer {
namespace {

// What a byte means inside a string.
enum Class : std::uint8_t { plain, quote, backslash, control, beyond_ascii };

constexpr std::array<std::uint8_t, 256> kClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (int c = 0; c < 0x20; ++c) classes[c] = control;
    for (int c = 0x80; c < 0x100; ++c) classes[c] = beyond_ascii;
    classes['"'] = quote;
    classes['\\'] = backslash;
    return classes;
}();

std::uint8_t class_of(char c) {
    return kClasses[static_cast<unsigned char>(c)];
}

// Past the plain bytes from `p`: sixteen at a time where the processor compares them at
// once (a signed compare below 0x20 catches control characters and bytes beyond ASCII
// alike), the last few one by one.
[[gnu::always_inline]] inline const char* skip_plain(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i quotes = _mm_set1_epi8('"');
    const __m128i backslashes = _mm_set1_epi8('\\');
    const __m128i spaces = _mm_set1_epi8(0x20);
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i special = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, quotes), _mm_cmpeq_epi8(bytes, backslashes)),
            _mm_cmplt_epi8(bytes, spaces));
        const int marks = _mm_movemask_epi8(special);
        if (marks != 0) return p + std::countr_zero(static_cast<unsigned>(marks));
        p += 16;
    }
#endif
    while (p != end && class_of(*p) == plain) ++p;
    return p;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The code unit of "\uXXXX" at `p`, or -1 when there is none.
long escape_unit(const char* p, const char* end) {
    if (end - p < 6 || p[0] != '\\' || p[1] != 'u') return -1;
    long unit = 0;
    for (int i = 2; i < 6; ++i) {
        const int digit = hex_value(p[i]);
        if (digit < 0) return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

// One escape, from its backslash; its character goes to `out` when there is one.
template <Strings rules>
const char* escape(const char* p, const char* end, std::string* out) {
    if (end - p < 2) return nullptr;
    char c = 0;
    switch (p[1]) {
        case '"':
        case '\\':
        case '/':
            c = p[1];
            break;
        case 'b':
            c = '\b';
            break;
        case 'f':
            c = '\f';
            break;
        case 'n':
            c = '\n';
            break;
        case 'r':
            c = '\r';
            break;
        case 't':
            c = '\t';
            break;
        case 'u': {
            const long unit = escape_unit(p, end);
            if (unit < 0) return nullptr;
            if constexpr (rules == Strings::skipped) return p + 6;
            if (unit >= 0xDC00 && unit <= 0xDFFF) return nullptr;  // a low half first
            char16_t units[2] = {static_cast<char16_t>(unit), 0};
            std::size_t count = 1;
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                const long low = escape_unit(p + 6, end);
                if (low < 0xDC00 || low > 0xDFFF) return nullptr;
                units[1] = static_cast<char16_t>(low);
                count = 2;
            }
            if (out) out->append(os::utf16_to_utf8(std::u16string_view(units, count)));
            return p + 6 * count;
        }
        default:
            return nullptr;
    }
    if (out) *out += c;
    return p + 2;
}

// The rest of a string from `p` (inside it) to after its closing quotation mark; with `out`,
// its text with escapes resolved is appended there.
template <Strings rules>
const char* string_body(const char* p, const char* end, std::string* out) {
    const char* run = p;  // the start of the bytes not yet appended to `out`
    for (;;) {
        p = skip_plain(p, end);
        if (p == end) return nullptr;
        switch (class_of(*p)) {
            case quote:
                if (out) out->append(run, p);
                return p + 1;
            case backslash:
                if (out) out->append(run, p);
                p = escape<rules>(p, end, out);
                if (!p) return nullptr;
                run = p;
                break;
            case beyond_ascii:
                if constexpr (rules == Strings::read) {
                    const std::size_t n = utf8_sequence_length(p, end);
                    if (n == 0) return nullptr;
                    p += n;
                } else {
                    ++p;
                }
                break;
            default:  // a raw control character
                return nullptr;
        }
    }
}

}  // namespace

const char* scan_string(const char* p, const char* end, Strings rules) {
    return rules == Strings::read ? string_body<Strings::read>(p + 1, end, nullptr)
                                  : string_body<Strings::skipped>(p + 1, end, nullptr);
}

namespace {

// The rest of a string that is read, from its first byte that is not plain: kept apart so
// that the common string, plain up to its closing quotation mark, takes the short way.
[[gnu::noinline]] const char* read_string_rest(const char* start, const char* p, const char* end,
                                               std::string& scratch, std::string_view& text) {
    for (;;) {
        if (p == end) return nullptr;
        switch (class_of(*p)) {
            case quote:
                text = std::string_view(start, static_cast<std::size_t>(p - start));
                return p + 1;
            case backslash:
                scratch.assign(start, p);
                p = string_body<Strings::read>(p, end, &scratch);
                text = scratch;
                return p;
            case beyond_ascii: {
                const std::size_t n = utf8_sequence_length(p, end);
                if (n == 0) return nullptr;
                p += n;
                break;
            }
            default:
                return nullptr;
        }
        p = skip_plain(p, end);
    }
}

}  // namespace

const char* read_string(const char* p, const char* end, std::string& scratch,
                        std::string_view& text) {
    // Most strings hold no escape and are handed out as they stand in the input.
    const char* start = p + 1;
    p = skip_plain(start, end);
    if (p != end && *p == '"') {
        text = std::string_view(start, static_cast<std::size_t>(p - start));
        return p + 1;
    }
    return read_string_rest(start, p, end, scratch, text);
}

const char* scan_number(const char* p, const char* end, Number& number) {
    number = Number{};
    bool negative = false;
    bool integer = true;
    bool fits = true;
    std::uint64_t value = 0;
    auto digits = [&] {
        const char* start = p;
        while (p != end && is_digit(*p)) ++p;
        return p != start;
    };
    if (p != end && *p == '-') {
        negative = true;
        ++p;
    }
    if (p == end) return nullptr;
    if (*p == '0') {
        ++p;
    } else if (is_digit(*p)) {
        constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
        do {
            const auto digit = static_cast<std::uint64_t>(*p - '0');
            if (value > (max - digit) / 10) fits = false;
            if (fits) value = value * 10 + digit;
            ++p;
        } while (p != end && is_digit(*p));
    } else {
        return nullptr;
    }
    if (p != end && *p == '.') {
        ++p;
        if (!digits()) return nullptr;
        integer = false;
    }
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p != end && (*p == '+' || *p == '-')) ++p;
        if (!digits()) return nullptr;
        integer = false;
        number.exponent = true;
    }
    number.unsigned_integer = !negative && integer && fits;
    number.value = value;
    return p;
}

namespace {

// The power of ten just above the number's magnitude (123 -> 3, 0.05 -> -1), saturated far
// beyond the range of a double; only its sign is used.
long decimal_magnitude(std::string_view number) {
    std::size_t i = number.starts_with('-') ? 1 : 0;
    long magnitude = 0;
    bool leading = true;  // no significant digit seen yet
    bool fraction = false;
    for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
        if (number[i] == '.') {
            fraction = true;
        } else if (leading && number[i] == '0') {
            if (fraction) --magnitude;
        } else {
            if (!fraction && magnitude < 100000) ++magnitude;
            leading = false;
        }
    }
    if (leading) return 0;  // zero
    long exponent = 0;
    bool minus = false;
    if (i < number.size()) {
        ++i;
        if (number[i] == '+' || number[i] == '-') minus = number[i++] == '-';
        for (; i < number.size(); ++i) {
            if (exponent < 100000) exponent = exponent * 10 + (number[i] - '0');
        }
    }
    return magnitude + (minus ? -exponent : exponent);
}

}  // namespace

bool beyond_double(std::string_view number, bool exponent) {
    // Without an exponent only a number of some 309 digits reaches the limit.
    if (!exponent && number.size() < 300) return false;
    double value = 0;
    const auto [ptr, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc::result_out_of_range) return false;
    // Out of range above or below: only above counts.
    return decimal_magnitude(number) > 0;
}

}  // namespace snv::json::lexer
