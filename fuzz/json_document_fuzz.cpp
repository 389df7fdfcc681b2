// The strict JSON layer on arbitrary bytes: never crashes, agrees with an independent parser
// (nlohmann_json, used here only as a judge) wherever the reading rules and that parser
// agree, and writes back what it reads. Build with fuzz/build.sh.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "calendar/text.h"
#include "json/escape.h"
#include "json/reader.h"
#include "json/record.h"

namespace {

using namespace snv::json;

void check(bool condition) {
    if (!condition) std::abort();
}

// The judge's verdict and the deepest nesting it saw.
struct Depth : nlohmann::json_sax<nlohmann::json> {
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool open() {
        deepest = std::max(deepest, ++depth);
        return true;
    }
    bool close() {
        --depth;
        return true;
    }
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return open(); }
    bool key(string_t&) override { return true; }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }
};

// Whether the bytes may hold what the rules accept in a skipped value but the judge refuses
// anywhere: bytes beyond ASCII, a surrogate escape, or a number that may lie beyond the
// double range (one with an exponent, or a long one).
bool may_hold_lenient_parts(std::string_view bytes) {
    std::size_t digits = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (static_cast<unsigned char>(c) >= 0x80) return true;
        if (c == '\\' && i + 2 < bytes.size() && bytes[i + 1] == 'u' &&
            (bytes[i + 2] == 'd' || bytes[i + 2] == 'D')) {
            return true;
        }
        if ((c == 'e' || c == 'E') && digits > 0) return true;
        digits = c >= '0' && c <= '9' ? digits + 1 : 0;
        if (digits >= 300) return true;
    }
    return false;
}

// Reads a string and checks that its written form reads back the same.
void round_trip(std::string_view s) {
    std::string quoted;
    append_quoted(quoted, s);
    Reader back(quoted);
    auto again = back.string();
    check(again && *again == s && back.finished());
    // The calendar parsers take any text. The written forms are read directly; with a space in
    // front, the same text takes the general reading, which must agree.
    const std::string spaced = " " + std::string(s);
    check(snv::calendar::parse_date(s) == snv::calendar::parse_date(spaced));
    check(snv::calendar::parse_time_of_day(s) == snv::calendar::parse_time_of_day(spaced));
    check(snv::calendar::parse_date_time(s) == snv::calendar::parse_date_time(spaced));
}

// Enters every container and reads every key and string; true when all of it was readable.
bool read_all(Reader& in) {
    switch (in.peek()) {
        case ValueKind::object: {
            if (!in.enter_object()) return false;
            for (;;) {
                auto key = in.next_key();
                if (!key) return false;
                if (!*key) return true;
                round_trip(**key);
                if (!read_all(in)) return false;
            }
        }
        case ValueKind::array:
            if (!in.enter_array()) return false;
            while (in.next_element()) {
                if (!read_all(in)) return false;
            }
            return true;
        case ValueKind::string: {
            auto s = in.string();
            if (s) round_trip(*s);
            return s.has_value();
        }
        default:
            // Numbers and literals: a capture checks that a number is in range.
            return in.capture().has_value();
    }
}

// Reads with a mix of entering, skipping, capturing and enumeration reads chosen by `seed`;
// like every reader, it stops at the first rejection.
bool read_mixed(Reader& in, std::uint32_t& seed) {
    seed = seed * 1103515245u + 12345u;
    switch ((seed >> 16) % 5) {
        case 0:
            in.skip();
            return true;
        case 1: {
            auto cap = in.capture();
            if (!cap) return false;
            if (cap->kind() == ValueKind::object) (void)cap->unique_member("type");
            Reader r = cap->reader();
            check(read_all(r) && r.finished());  // a capture is readable whole
            return true;
        }
        case 2: {
            bool b = false;
            std::uint32_t n = 0;
            std::string s;
            return read_record(in,
                               {with_default("b", b), with_default("n", n), with_default("s", s)})
                .has_value();
        }
        case 3:
            return read_enum_name(in, EnumForms::null_or_empty_object_member).has_value();
        default:
            break;
    }
    if (in.peek() == ValueKind::array) {
        if (!in.enter_array()) return false;
        while (in.next_element()) {
            if (!read_mixed(in, seed)) return false;
        }
    } else if (in.peek() == ValueKind::object) {
        if (!in.enter_object()) return false;
        for (;;) {
            auto key = in.next_key();
            if (!key) return false;
            if (!*key) break;
            if (!read_mixed(in, seed)) return false;
        }
    } else {
        in.skip();
    }
    return true;
}

Read<bool> skip_all(Reader& in) {
    in.skip();
    return true;
}

Read<bool> read_whole(Reader& in) {
    if (!read_all(in)) return reject("not readable");
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const bool skipped = read_document(bytes, skip_all).has_value();
    const bool readable = read_document(bytes, read_whole).has_value();
    // Everything that is readable may be skipped.
    check(skipped || !readable);

    // The judge skips a byte-order mark and stops at a NUL byte; the rules refuse both.
    if (bytes.starts_with("\xEF\xBB\xBF") || bytes.find('\0') != std::string_view::npos) {
        check(!skipped);
        return 0;
    }
    Depth judge;
    if (nlohmann::json::sax_parse(bytes, &judge)) {
        check(skipped);
        check(readable == (judge.deepest <= max_nesting));
    } else {
        // The judge refuses what the rules refuse in values that are read, and also, in
        // plain bytes, everything they refuse when skipped.
        check(!readable);
        if (!may_hold_lenient_parts(bytes)) check(!skipped);
    }

    Reader mixed(bytes);
    std::uint32_t seed = static_cast<std::uint32_t>(size);
    if (read_mixed(mixed, seed)) check(mixed.check_finished().has_value() == skipped);
    return 0;
}
