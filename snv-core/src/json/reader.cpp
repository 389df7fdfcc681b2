#include "json/reader.h"

#include <limits>

namespace snv::json {
namespace {

ValueKind kind_of(TokenKind kind) {
    switch (kind) {
        case TokenKind::null:
            return ValueKind::null;
        case TokenKind::false_literal:
        case TokenKind::true_literal:
            return ValueKind::boolean;
        case TokenKind::unsigned_integer:
        case TokenKind::negative_integer:
        case TokenKind::other_number:
            return ValueKind::number;
        case TokenKind::string:
            return ValueKind::string;
        case TokenKind::begin_object:
            return ValueKind::object;
        case TokenKind::begin_array:
            return ValueKind::array;
        case TokenKind::key:
        case TokenKind::end_object:
        case TokenKind::end_array:
            break;
    }
    return ValueKind::end;
}

bool is_begin(TokenKind kind) {
    return kind == TokenKind::begin_object || kind == TokenKind::begin_array;
}

}  // namespace

Reader::Reader(const Document& doc)
    : Reader(doc, 0, static_cast<std::uint32_t>(doc.tokens().size()), 0) {}

Reader::Reader(const Document& doc, std::uint32_t begin, std::uint32_t end, std::uint32_t depth)
    : doc_(&doc), pos_(begin), end_(end), depth_(depth) {}

const Token* Reader::next_token() const {
    return pos_ < end_ ? &doc_->tokens()[pos_] : nullptr;
}

ValueKind Reader::peek() const {
    const Token* t = next_token();
    return t ? kind_of(t->kind) : ValueKind::end;
}

Checked Reader::null() {
    const Token* t = next_token();
    if (!t || t->kind != TokenKind::null) return reject("null expected");
    ++pos_;
    return {};
}

Read<bool> Reader::boolean() {
    const Token* t = next_token();
    if (!t || (t->kind != TokenKind::true_literal && t->kind != TokenKind::false_literal)) {
        return reject("true or false expected");
    }
    ++pos_;
    return t->kind == TokenKind::true_literal;
}

Read<std::uint64_t> Reader::u64() {
    // -0, 1.0, 1e3 and integers beyond 64 bits are all other kinds of token.
    const Token* t = next_token();
    if (!t || t->kind != TokenKind::unsigned_integer) return reject("unsigned integer expected");
    ++pos_;
    return t->number;
}

Read<std::uint32_t> Reader::u32() {
    const Token* t = next_token();
    if (!t || t->kind != TokenKind::unsigned_integer ||
        t->number > std::numeric_limits<std::uint32_t>::max()) {
        return reject("unsigned 32-bit integer expected");
    }
    ++pos_;
    return static_cast<std::uint32_t>(t->number);
}

Read<std::string_view> Reader::string() {
    const Token* t = next_token();
    if (!t || t->kind != TokenKind::string) return reject("string expected");
    if (t->unreadable) return reject("string is not valid UTF-8");
    ++pos_;
    return doc_->text(*t);
}

void Reader::skip() {
    const Token* t = next_token();
    if (!t || kind_of(t->kind) == ValueKind::end) return;
    pos_ = is_begin(t->kind) ? t->end + 1 : pos_ + 1;
}

Read<Captured> Reader::capture() {
    const Token* t = next_token();
    if (!t || kind_of(t->kind) == ValueKind::end) return reject("value expected");
    if (t->unreadable) return reject("value holds an unreadable string or number");
    const std::uint32_t begin = pos_;
    if (is_begin(t->kind)) {
        if (depth_ + t->nesting > max_nesting) return reject("nested too deep");
        pos_ = t->end + 1;
    } else {
        ++pos_;
    }
    return Captured(*doc_, begin, pos_, depth_);
}

Checked Reader::enter(TokenKind kind, std::string_view reason) {
    const Token* t = next_token();
    if (!t || t->kind != kind) return reject(reason);
    if (depth_ + 1 > max_nesting) return reject("nested too deep");
    ++depth_;
    ++pos_;
    return {};
}

Checked Reader::enter_object() {
    return enter(TokenKind::begin_object, "object expected");
}
Checked Reader::enter_array() {
    return enter(TokenKind::begin_array, "array expected");
}

Read<std::optional<std::string_view>> Reader::next_key() {
    const Token* t = next_token();
    if (t && t->kind == TokenKind::end_object) {
        ++pos_;
        --depth_;
        return std::nullopt;
    }
    if (!t || t->kind != TokenKind::key) return reject("member value left unread");
    if (t->unreadable) return reject("key is not valid UTF-8");
    ++pos_;
    return doc_->text(*t);
}

bool Reader::next_element() {
    const Token* t = next_token();
    if (t && t->kind == TokenKind::end_array) {
        ++pos_;
        --depth_;
        return false;
    }
    // Only a value can be an element; anything else means the caller lost its place.
    return t != nullptr && kind_of(t->kind) != ValueKind::end;
}

ValueKind Captured::kind() const {
    return kind_of(doc_->tokens()[begin_].kind);
}

Read<std::optional<Captured>> Captured::unique_member(std::string_view key) const {
    const auto& tokens = doc_->tokens();
    if (tokens[begin_].kind != TokenKind::begin_object) return reject("object expected");
    std::optional<Captured> found;
    std::uint32_t i = begin_ + 1;
    while (tokens[i].kind == TokenKind::key) {
        const std::uint32_t value = i + 1;
        const std::uint32_t next = is_begin(tokens[value].kind) ? tokens[value].end + 1 : value + 1;
        if (doc_->text(tokens[i]) == key) {
            if (found) return reject("repeated key");
            found = Captured(*doc_, value, next, depth_ + 1);
        }
        i = next;
    }
    return found;
}

}  // namespace snv::json
