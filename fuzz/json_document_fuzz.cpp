// The strict JSON layer on arbitrary bytes: never crashes, agrees with the tokenizer's own
// verdict where the reading rules and the tokenizer agree, and writes back what it reads.
// Build (clang 16, see build.sh for the flags that std::expected needs):
//   clang++-16 -std=c++2b -O1 -g -fsanitize=fuzzer,address,undefined -D__cpp_concepts=202002L
//     -Isnv-core/src fuzz/json_document_fuzz.cpp snv-core/src/json/*.cpp
//     snv-core/src/calendar/*.cpp -o build/fuzz/json_document_fuzz
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "calendar/text.h"
#include "json/escape.h"
#include "json/prescan.h"
#include "json/reader.h"
#include "json/record.h"

namespace {

using namespace snv::json;

void check(bool condition) {
    if (!condition) std::abort();
}

// Reads a string and checks that its written form reads back the same.
void round_trip(std::string_view s) {
    std::string quoted;
    append_quoted(quoted, s);
    auto doc = Document::parse(quoted);
    check(doc.has_value());
    Reader back(*doc);
    auto again = back.string();
    check(again && *again == s);
    // The calendar parsers take any text.
    (void)snv::calendar::parse_date(s);
    (void)snv::calendar::parse_time_of_day(s);
    (void)snv::calendar::parse_date_time(s);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto doc = Document::parse(bytes);
    const bool tokenizer_accepts = nlohmann::json::accept(bytes);
    const bool refused_up_front =
        bytes.starts_with("\xEF\xBB\xBF") || bytes.find('\0') != std::string_view::npos;
    if (refused_up_front) {
        check(!doc);
    } else if (tokenizer_accepts) {
        check(doc.has_value());
    } else if (!prescan(bytes).patched) {
        // Nothing the rules treat apart: both must refuse.
        check(!doc);
    }
    if (!doc) return 0;

    Reader whole(*doc);
    const bool readable = read_all(whole);
    const bool clean = !prescan(bytes).patched;
    const Token& top = doc->tokens().front();
    if (clean) check(readable == (top.nesting <= max_nesting));
    if (readable) check(whole.finished());

    Reader mixed(*doc);
    std::uint32_t seed = static_cast<std::uint32_t>(size);
    if (read_mixed(mixed, seed)) check(mixed.finished());
    return 0;
}
