#include "json/writer.h"

#include "calendar/text.h"
#include "json/escape.h"

namespace snv::json {

Writer::Writer(Layout layout) : layout_(layout) {
    out_.reserve(128);
}

void Writer::new_line(std::size_t level) {
    if (layout_ == Layout::compact) return;
    out_ += '\n';
    out_.append(2 * level, ' ');
}

void Writer::before_value() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (counts_.empty()) return;
    if (counts_.back() > 0) out_ += ',';
    ++counts_.back();
    new_line(counts_.size());
}

void Writer::close(char bracket) {
    const std::uint32_t count = counts_.back();
    counts_.pop_back();
    if (count > 0) new_line(counts_.size());
    out_ += bracket;
}

Writer& Writer::begin_object() {
    before_value();
    out_ += '{';
    counts_.push_back(0);
    return *this;
}

Writer& Writer::end_object() {
    close('}');
    return *this;
}

Writer& Writer::begin_array() {
    before_value();
    out_ += '[';
    counts_.push_back(0);
    return *this;
}

Writer& Writer::end_array() {
    close(']');
    return *this;
}

Writer& Writer::key(std::string_view name) {
    before_value();
    append_quoted(out_, name);
    out_ += layout_ == Layout::pretty ? ": " : ":";
    after_key_ = true;
    return *this;
}

Writer& Writer::string(std::string_view text) {
    before_value();
    append_quoted(out_, text);
    return *this;
}

Writer& Writer::boolean(bool value) {
    return raw(value ? "true" : "false");
}

Writer& Writer::number(std::uint64_t value) {
    return raw(std::to_string(value));
}

Writer& Writer::null() {
    return raw("null");
}

Writer& Writer::raw(std::string_view json) {
    before_value();
    out_ += json;
    return *this;
}

Writer& Writer::date(calendar::Date value) {
    return string(calendar::format_date(value));
}

Writer& Writer::time_of_day(calendar::TimeOfDay value) {
    return string(calendar::format_time_of_day(value));
}

Writer& Writer::date_time(calendar::DateTime value) {
    return string(calendar::format_date_time(value));
}

}  // namespace snv::json
