#include <gtest/gtest.h>

#include "json/escape.h"
#include "json/reader.h"
#include "json/writer.h"

namespace snv::json {
namespace {

std::string as_json(std::string_view s) {
    std::string out;
    append_quoted(out, s);
    return out;
}

TEST(JsonWriter, EscapesOnlyQuoteBackslashAndControlCharacters) {
    EXPECT_EQ(as_json("a\"b\\c\td\x1f"
                      "e/f\xC3\xA9\xE2\x82\xAC"),
              "\"a\\\"b\\\\c\\td\\u001fe/f\xC3\xA9\xE2\x82\xAC\"");
    EXPECT_EQ(as_json(""), "\"\"");
    EXPECT_EQ(as_json("\x7f"), "\"\x7f\"");
    EXPECT_EQ(as_json("\xF0\x9F\x98\x80"), "\"\xF0\x9F\x98\x80\"");
    const char* expected[32] = {
        "\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006", "\\u0007",
        "\\b",     "\\t",     "\\n",     "\\u000b", "\\f",     "\\r",     "\\u000e", "\\u000f",
        "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014", "\\u0015", "\\u0016", "\\u0017",
        "\\u0018", "\\u0019", "\\u001a", "\\u001b", "\\u001c", "\\u001d", "\\u001e", "\\u001f",
    };
    for (int c = 0; c < 32; ++c) {
        EXPECT_EQ(as_json(std::string(1, static_cast<char>(c))),
                  std::string("\"") + expected[c] + "\"")
            << c;
    }
    for (int c = 0x20; c < 0x80; ++c) {
        if (c == '"' || c == '\\') continue;
        EXPECT_EQ(as_json(std::string(1, static_cast<char>(c))),
                  "\"" + std::string(1, static_cast<char>(c)) + "\"");
    }
}

TEST(JsonWriter, WrittenStringsReadBack) {
    std::string all;
    for (int c = 1; c < 0x80; ++c) all += static_cast<char>(c);
    all += "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    all += std::string(1, '\0');
    Writer w(Layout::compact);
    w.begin_array().string(all).end_array();
    auto back = read_document(w.text(), [](Reader& in) -> Read<std::string> {
        if (auto ok = in.enter_array(); !ok) return std::unexpected(ok.error());
        in.next_element();
        auto s = in.string();
        if (!s) return std::unexpected(s.error());
        std::string copy(*s);
        in.next_element();
        return copy;
    });
    ASSERT_TRUE(back) << back.error().reason;
    EXPECT_EQ(*back, all);
}

TEST(JsonWriter, PrettyLayout) {
    Writer empty;
    empty.begin_object().key("version").number(1).key("tasks").begin_array().end_array();
    empty.end_object();
    EXPECT_EQ(empty.text(), "{\n  \"version\": 1,\n  \"tasks\": []\n}");
    EXPECT_EQ(empty.text().size(), 33u);

    Writer w;
    w.begin_object().key("version").number(1).key("tasks").begin_array();
    w.begin_object().key("id").string("t1").key("enabled").boolean(true);
    w.key("action").string("lock").key("trigger").begin_object();
    w.key("type").string("idle").key("minutes").number(5).end_object();
    w.end_object().end_array().end_object();
    EXPECT_EQ(w.text(),
              "{\n"
              "  \"version\": 1,\n"
              "  \"tasks\": [\n"
              "    {\n"
              "      \"id\": \"t1\",\n"
              "      \"enabled\": true,\n"
              "      \"action\": \"lock\",\n"
              "      \"trigger\": {\n"
              "        \"type\": \"idle\",\n"
              "        \"minutes\": 5\n"
              "      }\n"
              "    }\n"
              "  ]\n"
              "}");

    Writer nested;
    nested.begin_array().number(4294967295u).begin_array().end_array().begin_object();
    nested.end_object().begin_array().null().boolean(false).end_array().end_array();
    EXPECT_EQ(nested.text(), "[\n  4294967295,\n  [],\n  {},\n  [\n    null,\n    false\n  ]\n]");
}

TEST(JsonWriter, CompactLayoutAndValueForms) {
    Writer w(Layout::compact);
    const auto day = *calendar::Date::from_civil(2026, 3, 14);
    const auto time = *calendar::TimeOfDay::from_hms(22, 0, 5);
    w.begin_object().key("time").date_time({day, time}).key("d").date(day);
    w.key("t").time_of_day(*calendar::TimeOfDay::from_hms(1, 2, 3, 500'000'000));
    w.key("k").raw("\"executed\"").key("a").begin_array().number(0).number(1).end_array();
    w.end_object();
    EXPECT_EQ(w.text(), R"({"time":"2026-03-14T22:00:05","d":"2026-03-14","t":"01:02:03.500",)"
                        R"("k":"executed","a":[0,1]})");
}

}  // namespace
}  // namespace snv::json
