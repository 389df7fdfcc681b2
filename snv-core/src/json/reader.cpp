#include "json/reader.h"

#include <limits>
#include <vector>

#include "json/lexer.h"

namespace snv::json {
namespace {

using lexer::skip_white_space;

ValueKind kind_at(const char* p, const char* end) {
    return p == end ? ValueKind::end : kind_of(*p);
}

// The open containers of a value being scanned, one bit each (set for an object). Levels
// beyond the first 64 take a bit each on the heap, so a skipped value may nest as deep as the
// document is long.
class Nesting {
  public:
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }

    void push(bool object) {
        const std::size_t word = size_ / 64;
        if (word > 0 && word - 1 == deeper_.size()) deeper_.push_back(0);
        std::uint64_t& bits = word == 0 ? first_ : deeper_[word - 1];
        const std::uint64_t bit = std::uint64_t{1} << (size_ % 64);
        bits = object ? bits | bit : bits & ~bit;
        ++size_;
    }

    void pop() { --size_; }

    bool top_is_object() const {
        const std::size_t at = size_ - 1;
        const std::uint64_t bits = at < 64 ? first_ : deeper_[at / 64 - 1];
        return (bits >> (at % 64)) & 1;
    }

  private:
    std::size_t size_ = 0;
    std::uint64_t first_ = 0;
    std::vector<std::uint64_t> deeper_;
};

}  // namespace

Reader::Reader(std::string_view bytes) : Reader(bytes, 0) {}

Reader::Reader(std::string_view bytes, std::uint32_t depth)
    : begin_(bytes.data()),
      pos_(bytes.data()),
      end_(bytes.data() + bytes.size()),
      base_(depth),
      depth_(depth) {
    pos_ = skip_white_space(pos_, end_);
}

std::unexpected<Reject> Reader::fail(std::string_view reason) {
    if (!failed_) {
        failed_ = true;
        failure_ = reason;
    }
    return reject(failure_);
}

Checked Reader::check_finished() const {
    if (failed_) return reject(failure_);
    if (!done_) return reject("value not read whole");
    return {};
}

[[gnu::always_inline]] inline void Reader::after_value() {
    at_value_ = false;
    pos_ = skip_white_space(pos_, end_);
    if (depth_ == base_) {
        done_ = true;
        if (pos_ != end_) fail("text after the value");
    }
}

bool Reader::in_object() const {
    return depth_ > base_ && ((objects_[depth_ / 64] >> (depth_ % 64)) & 1);
}

Checked Reader::null() {
    if (!at('n')) return reject("null expected");
    const char* next = lexer::scan_literal(pos_, end_, "null");
    if (!next) return fail("malformed literal");
    pos_ = next;
    after_value();
    return {};
}

Read<bool> Reader::boolean() {
    if (!at('t') && !at('f')) return reject("true or false expected");
    const bool value = *pos_ == 't';
    const char* next = lexer::scan_literal(pos_, end_, value ? "true" : "false");
    if (!next) return fail("malformed literal");
    pos_ = next;
    after_value();
    return value;
}

Read<std::uint64_t> Reader::unsigned_number(std::uint64_t max, std::string_view reason) {
    if (peek() != ValueKind::number) return reject(reason);
    lexer::Number number;
    const char* next = lexer::scan_number(pos_, end_, number);
    if (!next) return fail("malformed number");
    // -0, 1.0, 1e3 and integers beyond 64 bits are all refused here.
    if (!number.unsigned_integer || number.value > max) return reject(reason);
    pos_ = next;
    after_value();
    return number.value;
}

Read<std::uint64_t> Reader::u64() {
    return unsigned_number(std::numeric_limits<std::uint64_t>::max(), "unsigned integer expected");
}

Read<std::uint32_t> Reader::u32() {
    auto n = unsigned_number(std::numeric_limits<std::uint32_t>::max(),
                             "unsigned 32-bit integer expected");
    if (!n) return std::unexpected(n.error());
    return static_cast<std::uint32_t>(*n);
}

Read<std::string_view> Reader::string() {
    if (!at('"')) return reject("string expected");
    std::string_view text;
    const char* next = lexer::read_string(pos_, end_, scratch_, text);
    if (!next) return fail("malformed string, or not valid UTF-8");
    pos_ = next;
    after_value();
    return text;
}

template <bool captured>
const char* Reader::scan_value(const char* p, std::string_view& reason) const {
    constexpr auto strings = captured ? lexer::Strings::read : lexer::Strings::skipped;
    const char* const end = end_;
    Nesting open;
    auto fault = [&](std::string_view why) -> const char* {
        reason = why;
        return nullptr;
    };
    // A member's key and colon, from its opening quotation mark, to where its value starts.
    auto member = [&](const char* q) -> const char* {
        if (q == end || *q != '"') return nullptr;
        q = lexer::scan_string(q, end, strings);
        if (!q) return nullptr;
        q = skip_white_space(q, end);
        if (q == end || *q != ':') return nullptr;
        return skip_white_space(q + 1, end);
    };
    for (;;) {
        // A value starts at p.
        if (p == end) return fault("value expected");
        switch (*p) {
            case '{':
            case '[': {
                const bool object = *p == '{';
                if (captured && depth_ + open.size() + 1 > max_nesting) {
                    return fault("nested too deep");
                }
                p = skip_white_space(p + 1, end);
                if (p != end && *p == (object ? '}' : ']')) {
                    ++p;
                    break;
                }
                open.push(object);
                if (object && !(p = member(p))) return fault("member expected");
                continue;
            }
            case '"':
                p = lexer::scan_string(p, end, strings);
                if (!p) return fault("malformed string, or not valid UTF-8");
                break;
            case 't':
            case 'f':
            case 'n':
                p = lexer::scan_literal(p, end, *p == 't' ? "true" : *p == 'f' ? "false" : "null");
                if (!p) return fault("malformed literal");
                break;
            default: {
                const char* start = p;
                lexer::Number number;
                p = lexer::scan_number(p, end, number);
                if (!p) return fault("value expected");
                const std::string_view text(start, static_cast<std::size_t>(p - start));
                if (captured && lexer::beyond_double(text, number.exponent)) {
                    return fault("number beyond the range of a double");
                }
                break;
            }
        }
        // After a value: close what ends here, up to the next element or member.
        for (;;) {
            if (open.empty()) return p;
            p = skip_white_space(p, end);
            if (p == end) return fault("container not closed");
            const bool object = open.top_is_object();
            if (*p == ',') {
                p = skip_white_space(p + 1, end);
                if (object && !(p = member(p))) return fault("member expected");
                break;
            }
            if (*p != (object ? '}' : ']')) return fault("',' or closing bracket expected");
            open.pop();
            ++p;
        }
    }
}

void Reader::skip() {
    if (failed_) return;
    if (!at_value_) {
        fail("no value to skip");
        return;
    }
    std::string_view reason;
    const char* next = scan_value<false>(pos_, reason);
    if (!next) {
        fail(reason);
        return;
    }
    pos_ = next;
    after_value();
}

bool Reader::object_starts_with_key(std::string_view key) const {
    if (!at('{')) return false;
    const char* p = skip_white_space(pos_ + 1, end_);
    const auto left = static_cast<std::size_t>(end_ - p);
    return left >= key.size() + 2 && p[0] == '"' && std::string_view(p + 1, key.size()) == key &&
           p[key.size() + 1] == '"';
}

Read<Captured> Reader::capture() {
    if (failed_) return reject(failure_);
    if (!at_value_) return fail("value expected");
    std::string_view reason;
    const char* next = scan_value<true>(pos_, reason);
    if (!next) return fail(reason);
    const Captured value(std::string_view(pos_, static_cast<std::size_t>(next - pos_)), depth_);
    pos_ = next;
    after_value();
    return value;
}

Checked Reader::enter(char bracket, std::string_view reason) {
    if (failed_) return reject(failure_);
    if (!at(bracket)) return reject(reason);
    if (depth_ + 1 > max_nesting) return reject("nested too deep");
    ++depth_;
    const std::uint64_t bit = std::uint64_t{1} << (depth_ % 64);
    std::uint64_t& bits = objects_[depth_ / 64];
    bits = bracket == '{' ? bits | bit : bits & ~bit;
    fresh_ = true;
    at_value_ = false;
    pos_ = skip_white_space(pos_ + 1, end_);
    return {};
}

Checked Reader::enter_object() {
    return enter('{', "object expected");
}
Checked Reader::enter_array() {
    return enter('[', "array expected");
}

void Reader::close() {
    ++pos_;
    --depth_;
    fresh_ = false;  // the container now closed was the outer one's member or element
    after_value();
}

Read<std::optional<std::string_view>> Reader::next_key() {
    if (failed_) return reject(failure_);
    if (at_value_ || !in_object()) return fail("member value left unread");
    if (pos_ == end_) return fail("object not closed");
    if (*pos_ == '}') {
        close();
        return std::nullopt;
    }
    if (!fresh_) {
        if (*pos_ != ',') return fail("',' or '}' expected");
        pos_ = skip_white_space(pos_ + 1, end_);
    }
    if (pos_ == end_ || *pos_ != '"') return fail("key expected");
    std::string_view key;
    const char* next = lexer::read_string(pos_, end_, scratch_, key);
    if (!next) return fail("malformed key, or not valid UTF-8");
    next = skip_white_space(next, end_);
    if (next == end_ || *next != ':') return fail("':' expected");
    pos_ = skip_white_space(next + 1, end_);
    fresh_ = false;
    at_value_ = true;
    return key;
}

bool Reader::next_element() {
    if (failed_) return false;
    if (at_value_ || depth_ == base_ || in_object()) {
        fail("element left unread");
        return false;
    }
    if (pos_ == end_) {
        fail("array not closed");
        return false;
    }
    if (*pos_ == ']') {
        close();
        return false;
    }
    if (!fresh_) {
        if (*pos_ != ',') {
            fail("',' or ']' expected");
            return false;
        }
        pos_ = skip_white_space(pos_ + 1, end_);
    }
    fresh_ = false;
    at_value_ = true;
    if (kind_at(pos_, end_) == ValueKind::end) {
        fail("value expected");
        return false;
    }
    return true;
}

ValueKind Captured::kind() const {
    return kind_at(text_.data(), text_.data() + text_.size());
}

Read<std::optional<Captured>> Captured::unique_member(std::string_view key) const {
    Reader in = reader();
    if (auto ok = in.enter_object(); !ok) return std::unexpected(ok.error());
    std::optional<Captured> found;
    for (;;) {
        auto name = in.next_key();
        if (!name) return std::unexpected(name.error());
        if (!*name) break;
        if (**name != key) {
            in.skip();
            continue;
        }
        if (found) return reject("repeated key");
        auto value = in.capture();
        if (!value) return std::unexpected(value.error());
        found = *value;
    }
    return found;
}

}  // namespace snv::json
