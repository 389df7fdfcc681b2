// The document and its strings and numbers: what is accepted when read and when skipped.
#include <gtest/gtest.h>

#include <string>

#include "json/reader.h"
#include "json/record.h"

namespace snv::json {
namespace {

// Accepts any one value without reading into it.
Read<bool> skip_all(Reader& in) {
    in.skip();
    return true;
}

// {"s": string read, anything else skipped}
Read<std::string> read_s(Reader& in) {
    std::string s;
    auto ok = read_record(in, {with_default("s", s)});
    if (!ok) return std::unexpected(ok.error());
    return s;
}

// {"n": u32, anything else skipped}
Read<std::uint32_t> read_n(Reader& in) {
    std::uint32_t n = 0;
    auto ok = read_record(in, {required("n", n)});
    if (!ok) return std::unexpected(ok.error());
    return n;
}

// {"t": a captured object, read later like a trigger}
Read<bool> read_t(Reader& in) {
    bool found = false;
    auto ok = read_record(in, {with_default("t", [&](Reader& r) -> Checked {
                              auto cap = r.capture();
                              if (!cap) return std::unexpected(cap.error());
                              found = true;
                              return {};
                          })});
    if (!ok) return std::unexpected(ok.error());
    return found;
}

struct Case {
    std::string doc;
    bool accepted;
};

void expect_cases(const std::vector<Case>& cases, auto read) {
    for (const Case& c : cases) {
        auto result = read_document(c.doc, read);
        EXPECT_EQ(result.has_value(), c.accepted)
            << "document: " << testing::PrintToString(c.doc)
            << (result ? "" : std::string(" rejected: ") + std::string(result.error().reason));
    }
}

TEST(JsonDocument, OneValueWithJsonWhiteSpaceOnly) {
    expect_cases(
        {
            {"{}", true},
            {" \t\r\n{} \t\r\n\n\n", true},
            {"[]", true},
            {"0", true},
            {"\"x\"", true},
            {"null", true},
            {"", false},
            {" \n", false},
            {"\xEF\xBB\xBF{}", false},
            {" \xEF\xBB\xBF{}", false},
            {"{} x", false},
            {"{}{}", false},
            {"{},", false},
            {"{} // note", false},
            {"/* note */ {}", false},
            {"{\"a\": 1 /* note */}", false},
            {"[1,]", false},
            {"{\"a\":1,}", false},
            {"[,1]", false},
            {"{'a':1}", false},
            {"['a']", false},
            {"NaN", false},
            {"[NaN]", false},
            {"[Infinity]", false},
            {"[-Infinity]", false},
            {"\v{}", false},
            {"\f{}", false},
            {"\xC2\xA0{}", false},
            {std::string("\0{}", 3), false},
            {std::string("[\"a\0\"]", 6), false},
            {std::string("{}\0", 3), false},
            {"[01]", false},
            {"[1.]", false},
            {"[.5]", false},
            {"[+1]", false},
            {"[0x10]", false},
            {"[1e]", false},
            {"[True]", false},
            {"[nul]", false},
            {"{\"a\" 1}", false},
            {"{\"a\":}", false},
            {"{1:1}", false},
            {"[", false},
            {"{\"a\":[}", false},
            {"\"\\x\"", false},
            {"\"\\u12\"", false},
            {"\"\\u12G4\"", false},
            {"\"a\tb\"", false},
            {"\"a\nb\"", false},
            {"\"\x1f\"", false},
            {"\"\x7f\"", true},
            {"\"open", false},
        },
        skip_all);
}

TEST(JsonDocument, StringsThatAreReadMustBeValidUtf8) {
    const std::string bad[] = {
        "\xFF",
        "\xC0\xAF",          // overlong "/"
        "\xE0\x80\xAF",      // overlong
        "\xED\xA0\x80",      // a surrogate in UTF-8
        "\xF4\x90\x80\x80",  // beyond U+10FFFF
        "\xF5\x80\x80\x80",
        "\x80",
        "a\xC3",  // cut short before the closing quotation mark
        "\\ud800",
        "\\udc00",
        "\\ud800\\u0041",
        "\\ud800x\\udc00",
        "\\ude00\\ud83d",
    };
    for (const std::string& s : bad) {
        SCOPED_TRACE(testing::PrintToString(s));
        EXPECT_FALSE(read_document("{\"s\":\"" + s + "\"}", read_s));
        // Inside a skipped value, only the syntax of the string counts.
        EXPECT_TRUE(read_document("{\"x\":\"" + s + "\",\"s\":\"ok\"}", read_s));
        EXPECT_TRUE(read_document("{\"x\":[{\"" + s + "\":[\"" + s + "\"]}],\"s\":\"\"}", read_s));
        // The key of the record being read is read, known or not.
        EXPECT_FALSE(read_document("{\"" + s + "\":1}", read_s));
        // A captured value is checked whole.
        EXPECT_FALSE(read_document("{\"t\":{\"u\":[\"" + s + "\"]}}", read_t));
        // The syntax still counts around a string that is not valid UTF-8.
        EXPECT_FALSE(read_document("{\"x\":\"" + s + "\",}", read_s));
        EXPECT_FALSE(read_document("{\"x\":\"" + s + "\"", read_s));
    }
    // Control characters and broken escapes are rejected even where skipped.
    EXPECT_FALSE(read_document("{\"x\":\"\xFF\x01\"}", read_s));
    EXPECT_FALSE(read_document("{\"x\":\"\xFF\\q\"}", read_s));
    EXPECT_FALSE(read_document("{\"x\":\"\\\xFF\"}", read_s));
}

TEST(JsonDocument, EscapesAreResolved) {
    const std::pair<const char*, const char*> cases[] = {
        {R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
        {R"("\u00e9\u00E9")", "\xC3\xA9\xC3\xA9"},
        {R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},
        {R"("\u0000")", std::string_view("\0", 1).data()},
        {"\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
    };
    for (const auto& [doc, expected] : cases) {
        auto s = read_document(std::string("{\"s\":") + doc + "}", read_s);
        ASSERT_TRUE(s) << doc;
        if (std::string_view(doc) == R"("\u0000")") {
            EXPECT_EQ(*s, std::string(1, '\0'));
        } else {
            EXPECT_EQ(*s, expected);
        }
    }
}

TEST(JsonDocument, UnsignedNumbers) {
    const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
        {"0", 0u},
        {"7", 7u},
        {"4294967295", 4294967295u},
        {"4294967296", std::nullopt},
        {"18446744073709551615", std::nullopt},
        {"18446744073709551616", std::nullopt},
        {"-0", std::nullopt},
        {"-1", std::nullopt},
        {"1.0", std::nullopt},
        {"0.0", std::nullopt},
        {"1e3", std::nullopt},
        {"1E3", std::nullopt},
        {"1e0", std::nullopt},
        {"5.5", std::nullopt},
        {"\"5\"", std::nullopt},
        {"null", std::nullopt},
        {"true", std::nullopt},
        {"[5]", std::nullopt},
        {"1e400", std::nullopt},
    };
    for (const auto& [number, expected] : cases) {
        auto n = read_document(std::string("{\"n\":") + number + "}", read_n);
        EXPECT_EQ(n ? std::optional(*n) : std::nullopt, expected) << number;
    }
    Reader in("[18446744073709551615]");
    ASSERT_TRUE(in.enter_array());
    ASSERT_TRUE(in.next_element());
    EXPECT_EQ(in.u64(), 18446744073709551615u);
    EXPECT_FALSE(in.next_element());
    EXPECT_TRUE(in.finished());
}

// Numbers beyond the double range are refused where read or captured; skipped they are fine.
TEST(JsonDocument, HugeNumbersOnlyWhereSkipped) {
    const std::string huge[] = {"1e400", "-1e400", "1.5E+309", std::string(400, '9'),
                                "-" + std::string(400, '9') + ".5"};
    for (const std::string& h : huge) {
        SCOPED_TRACE(h);
        EXPECT_TRUE(read_document("{\"x\":[" + h + "," + h + "],\"n\":1}", read_n));
        EXPECT_FALSE(read_document("{\"n\":" + h + "}", read_n));
        EXPECT_FALSE(read_document("{\"t\":[" + h + "]}", read_t));
    }
    EXPECT_TRUE(read_document("{\"x\":1e-400,\"n\":1}", read_n));
    EXPECT_TRUE(read_document("{\"x\":1.7976931348623157e308,\"n\":1}", read_n));
    EXPECT_FALSE(read_document("{\"x\":01e400,\"n\":1}", read_n));
    EXPECT_FALSE(read_document("{\"x\":1e400x,\"n\":1}", read_n));
    EXPECT_FALSE(read_document("{\"x\":1e400e5,\"n\":1}", read_n));
    // A skipped huge number leaves the numbers after it readable.
    EXPECT_EQ(read_document("{\"x\":[1e999,2e999],\"n\":3}", read_n), 3u);
}

// Arrays nested n deep, each entered by the reader.
std::string nested(std::size_t n, std::string_view inner = "") {
    return std::string(n, '[') + std::string(inner) + std::string(n, ']');
}

Checked enter_all(Reader& in) {
    if (auto ok = in.enter_array(); !ok) return ok;
    while (in.next_element()) {
        if (auto ok = enter_all(in); !ok) return ok;
    }
    return {};
}

Read<bool> read_nested(Reader& in) {
    auto ok = enter_all(in);
    if (!ok) return std::unexpected(ok.error());
    return true;
}

TEST(JsonDocument, NestingCountsEnteredValuesOnly) {
    EXPECT_TRUE(read_document(nested(127), read_nested));
    EXPECT_FALSE(read_document(nested(128), read_nested));
    EXPECT_TRUE(read_document("{\"x\":" + nested(200) + ",\"n\":1}", read_n));
    EXPECT_TRUE(read_document("{\"x\":" + nested(100000) + ",\"n\":1}", read_n));
    EXPECT_TRUE(read_document(nested(5000), skip_all));
    // Captured at level 1 inside an object at level 2: 125 more levels fit.
    EXPECT_TRUE(read_document("{\"t\":{\"u\":" + nested(125) + "}}", read_t));
    EXPECT_FALSE(read_document("{\"t\":{\"u\":" + nested(126) + "}}", read_t));
    EXPECT_FALSE(read_document("{\"t\":{\"u\":" + nested(200) + "}}", read_t));
}

// Reads every value: containers entered, strings, numbers (as u32) and literals read.
Checked read_every(Reader& in) {
    switch (in.peek()) {
        case ValueKind::object:
            if (auto ok = in.enter_object(); !ok) return ok;
            for (;;) {
                auto key = in.next_key();
                if (!key) return std::unexpected(key.error());
                if (!*key) return {};
                if (auto ok = read_every(in); !ok) return ok;
            }
        case ValueKind::array:
            if (auto ok = in.enter_array(); !ok) return ok;
            while (in.next_element()) {
                if (auto ok = read_every(in); !ok) return ok;
            }
            return {};
        case ValueKind::string:
            if (auto s = in.string(); !s) return std::unexpected(s.error());
            return {};
        case ValueKind::number:
            if (auto n = in.u32(); !n) return std::unexpected(n.error());
            return {};
        case ValueKind::boolean:
            if (auto b = in.boolean(); !b) return std::unexpected(b.error());
            return {};
        case ValueKind::null:
            return in.null();
        case ValueKind::end:
            break;
    }
    return reject("value expected");
}

Read<bool> read_every_value(Reader& in) {
    auto ok = read_every(in);
    if (!ok) return std::unexpected(ok.error());
    return true;
}

// A fault in the syntax between values that are read ends the reading for good, even where
// the reader's loop only sees that no element follows.
TEST(JsonDocument, SyntaxFaultsBetweenReadValues) {
    const std::vector<Case> cases = {
        {R"([1,2,{"a":[true,null,"x"]}])", true},
        {"[1 2]", false},
        {"[1,,2]", false},
        {"[1}", false},
        {"[1]]", false},
        {"[[1]", false},
        {R"({"a":1 "b":2})", false},
        {R"({"a":1,,"b":2})", false},
        {R"({"a":1])", false},
        {R"({"a":1}})", false},
        {R"({"a"})", false},
        {R"({"a",1})", false},
        {R"({"a"::1})", false},
        {R"(["a" "b"])", false},
        {R"(["a":"b"])", false},
        {"[true false]", false},
        {"[truex]", false},
        {"[nullx]", false},
        {"[tru]", false},
        {"[1x]", false},
        {"[01]", false},
        {"[1.5.5]", false},
        {"[-]", false},
        {"[1,", false},
        {"[1", false},
        {R"({"a":1,)", false},
        {R"({"a":)", false},
    };
    expect_cases(cases, read_every_value);
    // The same faults inside a value that is skipped or captured.
    std::vector<Case> skipped, captured;
    for (const Case& c : cases) {
        skipped.push_back({"{\"x\":" + c.doc + ",\"n\":1}", c.accepted});
        captured.push_back({"{\"t\":" + c.doc + "}", c.accepted});
    }
    expect_cases(skipped, read_n);
    expect_cases(captured, read_t);
}

// Objects and arrays mixed, deeper than the first 64 levels that a skip keeps apart: each
// closing bracket must match its own opening one at every depth.
TEST(JsonDocument, SkippedValuesMatchBracketsAtAnyDepth) {
    auto mixed = [](std::size_t levels, std::size_t wrong_at) {
        std::string open, close;
        for (std::size_t i = 0; i < levels; ++i) {
            const bool object = i % 3 == 1;
            open += object ? "{\"k\":" : "[";
            const bool wrong = i == wrong_at;
            close.insert(0, 1, object != wrong ? '}' : ']');
        }
        return "{\"x\":" + open + "0" + close + ",\"n\":1}";
    };
    const std::size_t none = std::size_t(-1);
    for (std::size_t levels : {10u, 64u, 65u, 130u, 1000u, 100000u}) {
        SCOPED_TRACE(levels);
        EXPECT_TRUE(read_document(mixed(levels, none), read_n));
        EXPECT_FALSE(read_document(mixed(levels, levels - 1), read_n));
        EXPECT_FALSE(read_document(mixed(levels, levels / 2), read_n));
        EXPECT_FALSE(read_document(mixed(levels, 0), read_n));
    }
}

// A captured number must round to a double (correctly: halfway above the largest double
// goes up); one that rounds to zero is fine.
TEST(JsonDocument, CapturedNumbersMustFitADouble) {
    const std::pair<const char*, bool> cases[] = {
        {"1.7976931348623157e308", true},
        {"1.7976931348623158e308", true},
        {"1.797693134862315808e308", false},
        {"-1.797693134862315808e308", false},
        {"179769313486231570000e288", true},
        {"1000e306", false},
        {"0.001e311", true},
        {"0.001e312", false},
        {"1e-400", true},
        {"-1e-400", true},
        {"0e99999", true},
        {"0.0000e-99999", true},
        {"4.9e-324", true},
        {"1e309", false},
        {"1E+309", false},
    };
    for (const auto& [number, fits] : cases) {
        EXPECT_EQ(read_document(std::string("{\"t\":[") + number + "]}", read_t).has_value(), fits)
            << number;
        EXPECT_TRUE(read_document(std::string("{\"x\":[") + number + "],\"n\":1}", read_n))
            << number;
    }
}

// Calls that do not fit where the reader stands are refused, and the document with them.
TEST(JsonDocument, CallsThatDoNotFitThePlaceAreRefused) {
    {
        Reader in(R"(["a":1})");
        ASSERT_TRUE(in.enter_array());
        EXPECT_FALSE(in.next_key());
        EXPECT_FALSE(in.next_element());
        EXPECT_FALSE(in.check_finished());
    }
    {
        Reader in(R"({"a":1})");
        ASSERT_TRUE(in.enter_object());
        EXPECT_FALSE(in.next_element());
        EXPECT_FALSE(in.next_key());
        EXPECT_FALSE(in.finished());
    }
    {
        Reader in(R"({"a":1,"b":2})");
        ASSERT_TRUE(in.enter_object());
        EXPECT_EQ(in.peek(), ValueKind::end);  // standing on a key, not a value
        EXPECT_FALSE(in.string());
        auto key = in.next_key();
        ASSERT_TRUE(key && *key);
        EXPECT_EQ(**key, "a");
        EXPECT_FALSE(in.next_key());  // the value of "a" was left unread
        EXPECT_FALSE(in.u32());
    }
    {
        Reader in("[1]");
        in.skip();
        EXPECT_TRUE(in.finished());
        in.skip();
        EXPECT_FALSE(in.capture());
        EXPECT_FALSE(in.finished());
    }
}

TEST(JsonDocument, CapturedMembersAreFoundOnce) {
    Reader in(R"({"a":1,"b":[{"a":2}],"c":"x","c":"y"})");
    auto cap = in.capture();
    ASSERT_TRUE(cap);
    EXPECT_TRUE(in.finished());
    EXPECT_EQ(cap->kind(), ValueKind::object);
    auto a = cap->unique_member("a");
    ASSERT_TRUE(a && *a);
    EXPECT_EQ((*a)->reader().u32(), 1u);
    auto b = cap->unique_member("b");
    ASSERT_TRUE(b && *b);
    EXPECT_EQ((*b)->kind(), ValueKind::array);
    EXPECT_FALSE(cap->unique_member("c"));
    auto z = cap->unique_member("z");
    ASSERT_TRUE(z);
    EXPECT_FALSE(*z);
}

}  // namespace
}  // namespace snv::json
