#include "json/document.h"

#include <algorithm>
#include <limits>

#include <nlohmann/json.hpp>

#include "json/prescan.h"

namespace snv::json {

// Receives the tokenizer's events and lays them out as tokens.
class DocumentBuilder {
  public:
    using json = nlohmann::json;
    using string_t = json::string_t;

    DocumentBuilder(const Prescan& pre, std::size_t input_size) : pre_(pre) {
        // Data files hold a token per four bytes or more; strings unescape shorter.
        doc_.tokens_.reserve(input_size / 4 + 1);
        doc_.text_.reserve(input_size);
    }

    Document take() { return std::move(doc_); }

    bool null() { return scalar(TokenKind::null); }
    bool boolean(bool value) {
        return scalar(value ? TokenKind::true_literal : TokenKind::false_literal);
    }
    // Only numbers written with a minus sign come here, "-0" included.
    bool number_integer(json::number_integer_t) { return number(TokenKind::negative_integer, 0); }
    bool number_unsigned(json::number_unsigned_t value) {
        return number(TokenKind::unsigned_integer, value);
    }
    bool number_float(json::number_float_t, const string_t&) {
        return number(TokenKind::other_number, 0);
    }
    bool string(string_t& value) { return text(TokenKind::string, value); }
    bool key(string_t& value) { return text(TokenKind::key, value); }
    bool binary(json::binary_t&) { return false; }
    bool start_object(std::size_t) { return open(TokenKind::begin_object); }
    bool end_object() { return close(TokenKind::end_object); }
    bool start_array(std::size_t) { return open(TokenKind::begin_array); }
    bool end_array() { return close(TokenKind::end_array); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
        return false;
    }

  private:
    struct Level {
        std::uint32_t begin;
        std::uint32_t deepest_child = 0;
        bool unreadable = false;
    };

    bool push(Token t) {
        if (doc_.tokens_.size() >= std::numeric_limits<std::uint32_t>::max() - 1) return false;
        if (t.unreadable && !levels_.empty()) levels_.back().unreadable = true;
        doc_.tokens_.push_back(t);
        return true;
    }

    bool scalar(TokenKind kind) { return push(Token{.kind = kind}); }

    bool number(TokenKind kind, std::uint64_t value) {
        // A number beyond the double range comes here as its stand-in 0.
        if (next_is(pre_.unreadable_numbers, bad_number_, numbers_++)) {
            return push(Token{.kind = TokenKind::other_number, .unreadable = true});
        }
        return push(Token{.kind = kind, .number = value});
    }

    bool text(TokenKind kind, const string_t& value) {
        const bool bad = next_is(pre_.unreadable_strings, bad_string_, strings_++);
        Token t{.kind = kind, .unreadable = bad};
        t.offset = static_cast<std::uint32_t>(doc_.text_.size());
        t.length = static_cast<std::uint32_t>(value.size());
        doc_.text_.append(value);
        return push(t);
    }

    bool open(TokenKind kind) {
        levels_.push_back(Level{static_cast<std::uint32_t>(doc_.tokens_.size())});
        return push(Token{.kind = kind});
    }

    bool close(TokenKind kind) {
        const Level level = levels_.back();
        levels_.pop_back();
        Token& begin = doc_.tokens_[level.begin];
        begin.end = static_cast<std::uint32_t>(doc_.tokens_.size());
        begin.nesting = level.deepest_child + 1;
        begin.unreadable = level.unreadable;
        if (!levels_.empty()) {
            levels_.back().deepest_child = std::max(levels_.back().deepest_child, begin.nesting);
            levels_.back().unreadable = levels_.back().unreadable || level.unreadable;
        }
        return push(Token{.kind = kind});
    }

    // Whether `ordinal` is the next entry of the sorted list `marks`.
    static bool next_is(const std::vector<std::uint32_t>& marks, std::size_t& at,
                        std::uint32_t ordinal) {
        if (at < marks.size() && marks[at] == ordinal) {
            ++at;
            return true;
        }
        return false;
    }

    const Prescan& pre_;
    Document doc_;
    std::vector<Level> levels_;
    std::uint32_t strings_ = 0;
    std::uint32_t numbers_ = 0;
    std::size_t bad_string_ = 0;
    std::size_t bad_number_ = 0;
};

Read<Document> Document::parse(std::string_view bytes) {
    // The tokenizer would skip a byte-order mark; the files must not have one.
    if (bytes.starts_with("\xEF\xBB\xBF")) return reject("byte-order mark");
    // The tokenizer takes a NUL byte for the end of the input; no JSON text may hold one.
    if (bytes.find('\0') != std::string_view::npos) return reject("NUL byte");
    if (bytes.size() >= std::numeric_limits<std::uint32_t>::max() / 2) {
        return reject("document too large");
    }
    try {
        const Prescan pre = prescan(bytes);
        const std::string_view input = pre.patched ? std::string_view(pre.text) : bytes;
        DocumentBuilder builder(pre, input.size());
        const char* first = input.data();
        const bool ok =
            nlohmann::json::sax_parse(first, first + input.size(), &builder,
                                      nlohmann::json::input_format_t::json, true, false);
        if (!ok) return reject("not one well-formed JSON value");
        return builder.take();
    } catch (...) {
        // Only memory exhaustion can get here; it rejects the document like any fault.
        return reject("out of memory");
    }
}

}  // namespace snv::json
