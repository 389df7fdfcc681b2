#pragma once

// The lexical rules of JSON text (RFC 8259) over a byte range [p, end): white space, strings,
// numbers and the three literals. A scan starts on the first byte of its token and returns
// the position just after it, or nullptr when the bytes there do not form one.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace snv::json::lexer {

inline constexpr std::array<bool, 256> kWhiteSpace = [] {
    std::array<bool, 256> white{};
    white[' '] = white['\n'] = white['\r'] = white['\t'] = true;
    return white;
}();

inline bool is_white_space(char c) {
    return kWhiteSpace[static_cast<unsigned char>(c)];
}

inline const char* skip_white_space(const char* p, const char* end) {
    while (p != end && is_white_space(*p)) ++p;
    return p;
}

// How strictly a string is checked. A skipped string needs well-formed escapes and no raw
// control character; a string that is read must also be valid UTF-8, and its surrogate
// escapes must come in high-low pairs.
enum class Strings { skipped, read };

// From the opening quotation mark.
const char* scan_string(const char* p, const char* end, Strings rules);

// A string that is read, from its opening quotation mark, into `text`: a view of the input
// when it holds no escape, else of `scratch`, which it overwrites.
const char* read_string(const char* p, const char* end, std::string& scratch,
                        std::string_view& text);

struct Number {
    bool unsigned_integer = false;  // no sign, fraction or exponent, and at most 2^64-1
    bool exponent = false;
    std::uint64_t value = 0;  // when unsigned_integer
};

const char* scan_number(const char* p, const char* end, Number& number);

// Whether a number of the JSON grammar rounds to a value beyond the largest double. One that
// rounds to zero is in range.
bool beyond_double(std::string_view number, bool exponent);

// `word` is "true", "false" or "null".
inline const char* scan_literal(const char* p, const char* end, std::string_view word) {
    if (static_cast<std::size_t>(end - p) < word.size()) return nullptr;
    if (std::string_view(p, word.size()) != word) return nullptr;
    return p + word.size();
}

}  // namespace snv::json::lexer
