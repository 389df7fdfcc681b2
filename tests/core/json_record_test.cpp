// Records in object and positional form, field values and enumerations.
#include <gtest/gtest.h>

#include <array>

#include "calendar/text.h"
#include "json/reader.h"
#include "json/record.h"
#include "model/names.h"
#include "model/read_helpers.h"

namespace snv::json {
namespace {

enum class Color : std::uint8_t { red, green, blue };
constexpr model::NameTable<Color, 3> color_names{{"red", "green", "blue"}};
std::optional<Color> parse_color(std::string_view name) {
    return color_names.parse(name);
}
Read<Color> read_color(Reader& in, EnumForms forms = EnumForms::null_member) {
    return model::read_named(in, parse_color, forms);
}

struct Inner {
    bool flag = false;
    std::optional<std::string> note;
};

Checked read_value(Reader& in, Inner& out) {
    return read_record(in, {with_default("flag", out.flag), with_default("note", out.note)});
}

struct Rec {
    std::string id;                      // required
    std::uint32_t count = 1;             // default 1
    bool on = false;                     // required
    Color color = Color::red;            // required
    std::optional<calendar::Date> when;  // default none
    Inner inner;
    std::vector<std::uint32_t> list;
    calendar::TimeOfDay time;
};

Read<Rec> read_rec(Reader& in) {
    Rec r;
    auto ok = read_record(in, {
                                  required("id", r.id),
                                  with_default("count", r.count),
                                  required("on", r.on),
                                  required("color",
                                           [&](Reader& v) -> Checked {
                                               auto c = read_color(v);
                                               if (!c) return std::unexpected(c.error());
                                               r.color = *c;
                                               return {};
                                           }),
                                  with_default("when", r.when),
                                  with_default("inner", r.inner),
                                  with_default("list", r.list),
                                  with_default("time", r.time),
                              });
    if (!ok) return std::unexpected(ok.error());
    return r;
}

// The smallest accepted object, and a key/value to add to it.
std::string with(std::string_view extra) {
    std::string doc = R"({"id":"a","on":true,"color":"red")";
    if (!extra.empty()) doc += std::string(",") + std::string(extra);
    return doc + "}";
}

struct Case {
    std::string doc;
    bool accepted;
};

void expect_cases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        auto result = read_document(c.doc, read_rec);
        EXPECT_EQ(result.has_value(), c.accepted)
            << "document: " << c.doc
            << (result ? "" : std::string(" rejected: ") + std::string(result.error().reason));
    }
}

TEST(JsonRecord, ObjectForm) {
    expect_cases({
        {with(""), true},
        {R"({"color":"red","on":true,"id":"a"})", true},
        {R"({"on":true,"color":"red"})", false},
        {R"({"id":"a","color":"red"})", false},
        {R"({"id":"a","on":true})", false},
        {with(R"("id":"b")"), false},
        {with(R"("when":null,"when":null)"), false},
        {with(R"("when":null,"when":"2026-01-01")"), false},
        {with(R"("count":1,"count":1)"), false},
        {with(R"("\u0063ount":1,"count":1)"), false},
        {with(R"("zz":1,"zz":[],"zz":{"id":5},"zz":null,"zz":"x","zz":true)"), true},
        {with(R"("ID":5,"Count":"x","on ":null,"":1)"), true},
        {with(R"("inner":{},"inner2":{"flag":1})"), true},
        {with(R"("inner":{"flag":true,"flag":true})"), false},
        {with(R"("inner":{"x":1,"x":2,"flag":true})"), true},
        {with(R"("inner":null)"), false},
        {"[]", false},
        {"null", false},
        {"\"a\"", false},
        {"5", false},
        {"true", false},
    });
}

TEST(JsonRecord, ObjectFormValues) {
    auto r =
        read_document(R"({"\u0069d":"x\/y","on":false,"color":{"blue":null},"when":"2026-3-4",)"
                      R"("inner":["true" ,"n"],"list":[3,1,3],"time":"7:05","count":0})",
                      read_rec);
    ASSERT_FALSE(r);  // "true" is a string, not a boolean
    r = read_document(R"({"\u0069d":"x\/y","on":false,"color":{"blue":null},"when":"2026-3-4",)"
                      R"("inner":[true,"n"],"list":[3,1,3],"time":"7:05","count":0})",
                      read_rec);
    ASSERT_TRUE(r) << r.error().reason;
    EXPECT_EQ(r->id, "x/y");
    EXPECT_FALSE(r->on);
    EXPECT_EQ(r->color, Color::blue);
    EXPECT_EQ(r->when, calendar::Date::from_civil(2026, 3, 4));
    EXPECT_TRUE(r->inner.flag);
    EXPECT_EQ(r->inner.note, "n");
    EXPECT_EQ(r->list, (std::vector<std::uint32_t>{3, 1, 3}));
    EXPECT_EQ(r->time, calendar::TimeOfDay::from_hms(7, 5, 0));
    EXPECT_EQ(r->count, 0u);

    auto d = read_document(with(""), read_rec);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->count, 1u);
    EXPECT_FALSE(d->when);
    EXPECT_FALSE(d->inner.flag);
    EXPECT_FALSE(d->inner.note);
    EXPECT_TRUE(d->list.empty());
}

TEST(JsonRecord, PositionalForm) {
    expect_cases({
        {R"(["a",1,true,"red"])", true},
        {R"(["a",1,true,"red",null,{},[],"00:00"])", true},
        {R"(["a",1,true,"red",null,{},[],"00:00",1])", false},
        {R"(["a",1,true])", false},
        {R"(["a"])", false},
        {R"([])", false},
        {R"(["a",null,true,"red"])", false},
        {R"(["a",1,true,"red","2026-02-29"])", false},
        {R"(["a",1,true,"red",null,[true,null]])", true},
        {R"(["a",1,true,"red",null,[true,null,1]])", false},
        {R"(["a",1,true,"red",null,[]])", true},
    });
    auto r = read_document(R"(["a",9,true,"green","2026-01-02",[false,""]])", read_rec);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->count, 9u);
    EXPECT_EQ(r->color, Color::green);
    EXPECT_EQ(r->when, calendar::Date::from_civil(2026, 1, 2));
    EXPECT_EQ(r->inner.note, "");
    EXPECT_TRUE(r->list.empty());
}

TEST(JsonRecord, FieldValueTypes) {
    expect_cases({
        {R"({"id":null,"on":true,"color":"red"})", false},
        {R"({"id":5,"on":true,"color":"red"})", false},
        {R"({"id":["a"],"on":true,"color":"red"})", false},
        {R"({"id":"","on":true,"color":"red"})", true},
        {R"({"id":"a","on":1,"color":"red"})", false},
        {R"({"id":"a","on":"true","color":"red"})", false},
        {R"({"id":"a","on":null,"color":"red"})", false},
        {with(R"("when":"2026-01-01T00:00:00")"), false},
        {with(R"("when":"")"), false},
        {with(R"("when":20260101)"), false},
        {with(R"("when":" 2026 - 1 - 1 ")"), true},
        {with(R"("time":"12:00:00.5")"), true},
        {with(R"("time":"12")"), false},
        {with(R"("list":5)"), false},
        {with(R"("list":null)"), false},
        {with(R"("list":{})"), false},
        {with(R"("list":[1,-1])"), false},
        {with(R"("list":[1,[2]])"), false},
        {with(R"("inner":{"note":null})"), true},
        {with(R"("inner":{"note":5})"), false},
    });
}

TEST(JsonRecord, Enumerations) {
    const std::pair<const char*, std::optional<Color>> cases[] = {
        {R"("red")", Color::red},
        {R"({"green":null})", Color::green},
        {R"( { "blue" : null } )", Color::blue},
        {R"("\u0072ed")", Color::red},
        {R"("Red")", std::nullopt},
        {R"("RED")", std::nullopt},
        {R"("")", std::nullopt},
        {R"("red ")", std::nullopt},
        {R"("purple")", std::nullopt},
        {R"({"Red":null})", std::nullopt},
        {R"({})", std::nullopt},
        {R"({"red":null,"x":null})", std::nullopt},
        {R"({"red":null,"red":null})", std::nullopt},
        {R"({"red":0})", std::nullopt},
        {R"({"red":{}})", std::nullopt},
        {R"({"red":[]})", std::nullopt},
        {R"({"red":"red"})", std::nullopt},
        {R"({"red":false})", std::nullopt},
        {R"(0)", std::nullopt},
        {R"(null)", std::nullopt},
        {R"(["red"])", std::nullopt},
        {R"(true)", std::nullopt},
    };
    for (const auto& [value, expected] : cases) {
        auto c = read_document(value, [](Reader& in) { return read_color(in); });
        EXPECT_EQ(c ? std::optional(*c) : std::nullopt, expected) << value;
    }
    auto by_empty = [](Reader& in) {
        return read_color(in, EnumForms::null_or_empty_object_member);
    };
    EXPECT_EQ(read_document(R"({"blue":{}})", by_empty), Color::blue);
    EXPECT_EQ(read_document(R"({"blue":null})", by_empty), Color::blue);
    EXPECT_EQ(read_document(R"("blue")", by_empty), Color::blue);
    EXPECT_FALSE(read_document(R"({"blue":{"a":null}})", by_empty));
    EXPECT_FALSE(read_document(R"({"blue":[]})", by_empty));
    EXPECT_FALSE(read_document(R"({"blue":{},"red":{}})", by_empty));
    EXPECT_EQ(color_names.name(Color::green), "green");
    EXPECT_EQ(color_names.parse("blue"), Color::blue);
    EXPECT_FALSE(color_names.parse("Blue"));
}

// A key names a field only when it is the same byte for byte: keys of every length, and
// same-length keys that differ in their first, middle or last byte.
TEST(JsonRecord, KeysMatchByteForByte) {
    const std::string names[] = {"a",
                                 "ab",
                                 "abc",
                                 "abcd",
                                 "abcdefg",
                                 "abcdefgh",
                                 "abcdefghi",
                                 "abcdefghijklmnop",
                                 "abcdefghijklmnopq",
                                 "abcdefghijklmnopqrstuvwxyz0123"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        auto read = [&](const std::string& key) {
            return read_document("{\"" + key + "\":7}", [&](Reader& in) -> Read<std::uint32_t> {
                std::uint32_t value = 0;
                auto ok = read_record(in, {with_default(name, value)});
                if (!ok) return std::unexpected(ok.error());
                return value;
            });
        };
        EXPECT_EQ(read(name), 7u);
        for (const std::size_t at : {std::size_t{0}, name.size() / 2, name.size() - 1}) {
            std::string other = name;
            other[at] = 'X';
            EXPECT_EQ(read(other), 0u) << other;
        }
        EXPECT_EQ(read(name + "a"), 0u);
        EXPECT_EQ(read(name.substr(1)), 0u);
    }
}

// A tagged record whose tag may stand anywhere: capture, find the tag, read the fields.
Read<std::pair<std::string, std::uint32_t>> read_tagged(Reader& in) {
    auto cap = in.capture();
    if (!cap) return std::unexpected(cap.error());
    if (cap->kind() != ValueKind::object) return reject("object expected");
    auto tag = cap->unique_member("type");
    if (!tag) return std::unexpected(tag.error());
    if (!*tag) return reject("no tag");
    auto name = (*tag)->reader().string();
    if (!name) return std::unexpected(name.error());
    std::uint32_t minutes = 0;
    Reader fields = cap->reader();
    if (auto ok = fields.enter_object(); !ok) return std::unexpected(ok.error());
    if (auto ok = read_object_fields(fields, {required("minutes", minutes)}); !ok) {
        return std::unexpected(ok.error());
    }
    return std::pair(std::string(*name), minutes);
}

TEST(JsonRecord, TagAnywhereThroughCapture) {
    EXPECT_EQ(read_document(R"({"minutes":5,"x":[1],"type":"idle"})", read_tagged),
              std::pair(std::string("idle"), 5u));
    EXPECT_FALSE(read_document(R"({"type":"idle","minutes":5,"type":"idle"})", read_tagged));
    EXPECT_FALSE(read_document(R"({"minutes":5})", read_tagged));
    EXPECT_FALSE(read_document(R"({"type":"idle","minutes":5,"minutes":5})", read_tagged));
    EXPECT_FALSE(read_document(R"({"type":"idle","minutes":5,"x":"\ud800"})", read_tagged));
    EXPECT_TRUE(read_document(R"({"type":"idle","minutes":5,"x":1,"x":2})", read_tagged));
}

}  // namespace
}  // namespace snv::json

namespace snv::json {
namespace {

TEST(JsonRecord, NestedOptionalsAndLists) {
    auto read = [](Reader& in) -> Read<std::optional<std::vector<std::optional<std::uint32_t>>>> {
        std::optional<std::vector<std::optional<std::uint32_t>>> v;
        if (auto ok = read_value(in, v); !ok) return std::unexpected(ok.error());
        return v;
    };
    auto some = read_document("[1,null,3]", read);
    ASSERT_TRUE(some && *some);
    EXPECT_EQ(**some, (std::vector<std::optional<std::uint32_t>>{1, std::nullopt, 3}));
    auto none = read_document("null", read);
    ASSERT_TRUE(none);
    EXPECT_FALSE(*none);
    EXPECT_FALSE(read_document("[1,\"2\"]", read));
}

}  // namespace
}  // namespace snv::json
