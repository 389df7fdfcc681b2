#include <gtest/gtest.h>

#include "json/reader.h"
#include "json/record.h"
#include "json/writer.h"

namespace snv::json {
namespace {

struct Pair {
    std::uint32_t a = 7;
    std::string b;
};

Read<Pair> read_pair(Reader& in) {
    Pair p;
    auto ok = read_record(in, {required("a", p.a), with_default("b", p.b)});
    if (!ok) return std::unexpected(ok.error());
    return p;
}

TEST(JsonSmoke, ReadsObjectAndArrayForms) {
    auto p = read_document(R"({"b":"x","zz":[1,{}],"a":4294967295})", read_pair);
    ASSERT_TRUE(p) << p.error().reason;
    EXPECT_EQ(p->a, 4294967295u);
    EXPECT_EQ(p->b, "x");
    auto q = read_document(" [3] ", read_pair);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->a, 3u);
    EXPECT_FALSE(read_document(R"({"a":1,"a":2})", read_pair));
    EXPECT_FALSE(read_document("\xEF\xBB\xBF{\"a\":1}", read_pair));
}

TEST(JsonSmoke, WritesEmptyTaskFileLayout) {
    Writer w;
    w.begin_object().key("version").number(1).key("tasks").begin_array().end_array().end_object();
    EXPECT_EQ(w.text(), "{\n  \"version\": 1,\n  \"tasks\": []\n}");
    EXPECT_EQ(w.text().size(), 33u);
}

}  // namespace
}  // namespace snv::json
