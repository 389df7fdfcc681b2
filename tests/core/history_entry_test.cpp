#include <gtest/gtest.h>

#include "history/entry.h"
#include "history/entry_json.h"

namespace snv::history {
namespace {

using model::Action;

calendar::DateTime at(int y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s,
                      std::uint32_t nanos = 0) {
    return {*calendar::Date::from_civil(y, mo, d), *calendar::TimeOfDay::from_hms(h, mi, s, nanos)};
}

TEST(EntryKind, NamesRoundTripExactly) {
    const char* names[] = {"executed", "cancelled", "snoozed", "created",
                           "edited",   "deleted",   "cleanup", "error"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(entry_kind_name(EntryKind(i)), names[i]);
        EXPECT_EQ(parse_entry_kind(names[i]), EntryKind(i));
    }
    for (const char* bad : {"", "Executed", "errors", "ERROR"}) {
        EXPECT_FALSE(parse_entry_kind(bad)) << bad;
    }
}

TEST(WriteEntryJson, ExactTexts) {
    struct Case {
        Entry entry;
        std::string text;
    } cases[] = {
        {{at(2026, 3, 14, 22, 0, 5), EntryKind::executed, Action::shutdown,
          "Shut down \u00b7 Every day at 22:00"},
         "{\"time\":\"2026-03-14T22:00:05\",\"kind\":\"executed\",\"action\":\"shutdown\","
         "\"detail\":\"Shut down \xc2\xb7 Every day at 22:00\"}"},
        {{at(2026, 2, 1, 9, 5, 0), EntryKind::error, std::nullopt, ""},
         R"({"time":"2026-02-01T09:05:00","kind":"error"})"},
        {{at(2026, 2, 1, 9, 5, 0), EntryKind::error, Action::monitor_off, ""},
         R"({"time":"2026-02-01T09:05:00","kind":"error","action":"monitor_off"})"},
        {{at(2026, 2, 1, 9, 5, 0), EntryKind::error, std::nullopt, "a\"b\\c\nd\u00e9\x01"},
         R"({"time":"2026-02-01T09:05:00","kind":"error","detail":"a\"b\\c\nd)"
         "\xc3\xa9"
         R"(\u0001"})"},
    };
    for (const Case& c : cases) EXPECT_EQ(write_entry_json(c.entry), c.text);

    // The example's detail is 30 characters and the whole text 110 (the dot takes two bytes).
    EXPECT_EQ(cases[0].text.size(), 111u);
}

TEST(ReadEntry, Cases) {
    const std::string t = R"("time":"2026-03-14T22:00:05")";
    const Entry plain{at(2026, 3, 14, 22, 0, 5), EntryKind::executed, std::nullopt, ""};
    struct Case {
        std::string text;
        std::optional<Entry> expected;
    } cases[] = {
        {"{" + t + R"(,"kind":"executed"})", plain},
        {R"( {"kind":"executed",)" + t + "}\t\r\n", plain},
        {"{" + t + R"(,"kind":"executed","action":null})", plain},
        {"{" + t + R"(,"kind":{"executed":null},"action":{"lock":null},"detail":"x"})",
         Entry{plain.time, EntryKind::executed, Action::lock, "x"}},
        {"{" + t + R"(,"kind":"error","action":"sleep","detail":"d\u00e9\n"})",
         Entry{plain.time, EntryKind::error, Action::sleep, "d\xc3\xa9\n"}},
        {"{" + t + R"(,"kind":"executed","id":[1,{"a":2}],"id":7})", plain},
        {R"(["2026-03-14T22:00:05","error"])",
         Entry{plain.time, EntryKind::error, std::nullopt, ""}},
        {R"(["2026-03-14T22:00:05","error","restart","x"])",
         Entry{plain.time, EntryKind::error, Action::restart, "x"}},
        {R"(["2026-03-14T22:00:05","error",null])",
         Entry{plain.time, EntryKind::error, std::nullopt, ""}},
        {R"({"time":"2026-03-14T22:00:05.123456789123","kind":"executed"})",
         Entry{at(2026, 3, 14, 22, 0, 5, 123456789), EntryKind::executed, std::nullopt, ""}},
        {R"({"time":" 2026-3-4 T 2:0:5","kind":"executed"})",
         Entry{at(2026, 3, 4, 2, 0, 5), EntryKind::executed, std::nullopt, ""}},
        // Rejections.
        {R"({"kind":"executed"})", std::nullopt},
        {"{" + t + "}", std::nullopt},
        {"{" + t + R"(,"kind":"Executed"})", std::nullopt},
        {"{" + t + R"(,"kind":"unknown"})", std::nullopt},
        {"{" + t + R"(,"kind":"error","kind":"error"})", std::nullopt},
        {"{" + t + R"(,"kind":"error","action":null,"action":null})", std::nullopt},
        {"{" + t + R"(,"kind":"error","detail":null})", std::nullopt},
        {"{" + t + R"(,"kind":{"error":null,"x":null}})", std::nullopt},
        {"{" + t + R"(,"kind":{"error":1}})", std::nullopt},
        {"{" + t + R"(,"kind":"error","action":"Lock"})", std::nullopt},
        {R"({"time":"2026-03-14T22:00","kind":"executed"})", std::nullopt},
        {R"({"time":"2026-03-14t22:00:05","kind":"executed"})", std::nullopt},
        {R"({"time":"2026-02-29T22:00:05","kind":"executed"})", std::nullopt},
        {R"(["2026-03-14T22:00:05"])", std::nullopt},
        {R"([])", std::nullopt},
        {R"(["2026-03-14T22:00:05","error",null,"",1])", std::nullopt},
        {"{" + t + R"(,"kind":"error"},)", std::nullopt},
        {"\xef\xbb\xbf{" + t + R"(,"kind":"error"})", std::nullopt},
        {"{" + t + ",\"kind\":\"error\",\"detail\":\"\xff\"}", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {R"("executed")", std::nullopt},
        {"null", std::nullopt},
        {"7", std::nullopt},
        {"true", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto entry = read_entry(c.text);
        ASSERT_EQ(entry.has_value(), c.expected.has_value());
        if (entry) {
            EXPECT_EQ(*entry, *c.expected);
        }
    }
}

}  // namespace
}  // namespace snv::history
