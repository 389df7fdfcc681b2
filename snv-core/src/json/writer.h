#pragma once

// Builds JSON text in memory, in one of two layouts:
// - pretty (tasks.json): two spaces of indentation per level, each member and element on a
//   line of its own, "key": value with one space after the colon, "[]" / "{}" when empty, no
//   white space at line ends and no line break after the last closing bracket;
// - compact (history entries): no white space at all.
//
//     json::Writer w;
//     w.begin_object().key("version").number(1).key("tasks").begin_array().end_array();
//     w.end_object();   // w.text() == "{\n  \"version\": 1,\n  \"tasks\": []\n}"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "calendar/date.h"
#include "calendar/date_time.h"
#include "calendar/time_of_day.h"

namespace snv::json {

enum class Layout { pretty, compact };

class Writer {
  public:
    explicit Writer(Layout layout = Layout::pretty);

    Writer& begin_object();
    Writer& end_object();
    Writer& begin_array();
    Writer& end_array();
    // A member's key; its value comes next.
    Writer& key(std::string_view name);

    Writer& string(std::string_view text);
    Writer& boolean(bool value);
    Writer& number(std::uint64_t value);
    Writer& null();
    // Already formed JSON text written as one value (a name from a table, say).
    Writer& raw(std::string_view json);
    Writer& date(calendar::Date value);
    Writer& time_of_day(calendar::TimeOfDay value);
    Writer& date_time(calendar::DateTime value);

    const std::string& text() const { return out_; }
    std::string take() { return std::move(out_); }

  private:
    void before_value();
    void close(char bracket);
    void new_line(std::size_t level);

    Layout layout_;
    std::string out_;
    // Per open container: how many members or elements it has so far.
    std::vector<std::uint32_t> counts_;
    bool after_key_ = false;
};

}  // namespace snv::json
