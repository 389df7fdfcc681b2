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
        // The syntax still counts around a stand-in.
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
    auto doc = Document::parse("[18446744073709551615]");
    ASSERT_TRUE(doc);
    Reader in(*doc);
    ASSERT_TRUE(in.enter_array());
    ASSERT_TRUE(in.next_element());
    EXPECT_EQ(in.u64(), 18446744073709551615u);
}

// The tokenizer refuses numbers beyond the double range anywhere; skipped they are fine.
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
    // The stand-ins keep the count of the numbers after them right.
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

TEST(JsonDocument, CapturedMembersAreFoundOnce) {
    auto doc = Document::parse(R"({"a":1,"b":[{"a":2}],"c":"x","c":"y"})");
    ASSERT_TRUE(doc);
    Reader in(*doc);
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
