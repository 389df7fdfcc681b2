#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "json/reject.h"

namespace snv::json {

enum class TokenKind : std::uint8_t {
    null,
    false_literal,
    true_literal,
    unsigned_integer,  // no sign, fraction or exponent, fits 64 bits
    negative_integer,  // a minus sign, no fraction or exponent ("-0" too)
    other_number,      // fraction, exponent, or beyond 64 bits
    string,
    key,
    begin_object,
    end_object,
    begin_array,
    end_array,
};

struct Token {
    TokenKind kind = TokenKind::null;
    // string, key, number: the value cannot be read (invalid UTF-8, a lone surrogate escape,
    // a number beyond the double range) although it may be skipped. begin_*: some token
    // inside is such.
    bool unreadable = false;
    std::uint32_t nesting =
        0;                  // begin_*: levels of arrays and objects in this value, itself included
    std::uint32_t end = 0;  // begin_*: index of the matching end token
    std::uint32_t offset = 0;  // string, key: position of the unescaped bytes in Document::text
    std::uint32_t length = 0;  // string, key: their length
    std::uint64_t number = 0;  // unsigned_integer: the value
};

// One JSON value as a flat list of tokens; strings unescaped into one buffer. Only syntax
// is checked here (RFC 8259, nothing but JSON white space around the value, no byte-order
// mark); what may be read is the Reader's business.
class Document {
  public:
    static Read<Document> parse(std::string_view bytes);

    const std::vector<Token>& tokens() const { return tokens_; }
    std::string_view text(const Token& t) const { return {text_.data() + t.offset, t.length}; }

  private:
    friend class DocumentBuilder;
    std::vector<Token> tokens_;
    std::string text_;
};

}  // namespace snv::json
