// Cost of the strict JSON layer on a tasks.json-sized document: tokenizing into a Document
// and walking it (entering every container, reading every key and string) against a DOM
// parse of the same bytes with nlohmann_json.
#include <chrono>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "json/reader.h"
#include "json/writer.h"

namespace {

using namespace snv::json;

std::string make_document(int tasks) {
    Writer w;
    w.begin_object().key("version").number(1).key("tasks").begin_array();
    for (int i = 0; i < tasks; ++i) {
        w.begin_object().key("id").string("task-" + std::to_string(i));
        w.key("name").string("Shut down the workshop PC \xE2\x80\x93 evening");
        w.key("enabled").boolean(true).key("action").string("shutdown");
        w.key("trigger").begin_object().key("type").string("weekly");
        w.key("time").string("22:30:00").key("every").number(1);
        w.key("days").begin_array().string("mon").string("wed").string("fri").end_array();
        w.key("start").string("2026-01-05").end_object();
        w.key("skip_date").string("2026-03-14").end_object();
    }
    w.end_array().end_object();
    return w.take();
}

std::size_t walk(Reader& in) {
    std::size_t n = 1;
    switch (in.peek()) {
        case ValueKind::object:
            (void)in.enter_object();
            while (auto key = in.next_key()) {
                if (!*key) break;
                n += walk(in);
            }
            break;
        case ValueKind::array:
            (void)in.enter_array();
            while (in.next_element()) n += walk(in);
            break;
        case ValueKind::string:
            n += in.string()->size();
            break;
        default:
            in.skip();
    }
    return n;
}

template <typename F>
double best_of(int rounds, F&& f) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        const auto start = std::chrono::steady_clock::now();
        f();
        const std::chrono::duration<double, std::micro> took =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

}  // namespace

int main() {
    const std::string text = make_document(1000);
    std::size_t sink = 0;
    const double ours = best_of(50, [&] {
        auto doc = Document::parse(text);
        Reader in(*doc);
        sink += walk(in);
    });
    const double dom = best_of(50, [&] { sink += nlohmann::json::parse(text).size(); });
    std::printf("document: %zu bytes, 1000 task-like records\n", text.size());
    std::printf("strict layer (tokens + walk): %.0f us\n", ours);
    std::printf("nlohmann DOM parse:           %.0f us\n", dom);
    std::printf("ratio DOM / ours:             %.2f   (%zu)\n", dom / ours, sink % 10);
    return 0;
}
