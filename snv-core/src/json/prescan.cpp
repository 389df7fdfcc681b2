#include "json/prescan.h"

#include <cmath>
#include <cstdlib>

namespace snv::json {
namespace {

bool is_hex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

// The code unit of "\uXXXX" at `at`, or -1 when there is none.
long escape_unit(std::string_view s, std::size_t at) {
    if (at + 6 > s.size() || s[at] != '\\' || s[at + 1] != 'u') return -1;
    long unit = 0;
    for (std::size_t i = at + 2; i < at + 6; ++i) {
        if (!is_hex(s[i])) return -1;
        unit = unit * 16 + hex_value(s[i]);
    }
    return unit;
}

// Length of the well-formed UTF-8 sequence at `at` (RFC 3629), 0 when it is not one.
std::size_t utf8_length(std::string_view s, std::size_t at) {
    const auto b0 = static_cast<unsigned char>(s[at]);
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (at + n > s.size()) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(s[at + i]);
        if (b < (i == 1 ? lo : 0x80) || b > (i == 1 ? hi : 0xBF)) return 0;
    }
    return n;
}

bool is_number_char(char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// RFC 8259 number grammar, whole text.
bool is_json_number(std::string_view s) {
    std::size_t i = 0;
    auto digits = [&] {
        const std::size_t start = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
        return i > start;
    };
    if (i < s.size() && s[i] == '-') ++i;
    if (i < s.size() && s[i] == '0') {
        ++i;
    } else if (i < s.size() && s[i] >= '1' && s[i] <= '9') {
        digits();
    } else {
        return false;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        if (!digits()) return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == s.size();
}

// The tokenizer's own test: strtod of the text gives infinity. Only long numbers or ones
// with an exponent can get there.
bool overflows_double(std::string_view s) {
    if (s.size() < 300 && s.find_first_of("eE") == std::string_view::npos) return false;
    const std::string copy(s);
    return std::isinf(std::strtod(copy.c_str(), nullptr));
}

class Scan {
  public:
    explicit Scan(std::string_view bytes) : in_(bytes) {}

    Prescan run() {
        std::size_t i = 0;
        while (i < in_.size()) {
            const char c = in_[i];
            if (c == '"') {
                i = string_at(i + 1);
            } else if (c == '-' || (c >= '0' && c <= '9')) {
                i = number_at(i);
            } else {
                ++i;
            }
        }
        return std::move(out_);
    }

  private:
    void patch(std::size_t at, std::string_view with) {
        if (!out_.patched) {
            out_.patched = true;
            out_.text.assign(in_);
        }
        out_.text.replace(at, with.size(), with);
    }

    void mark_string() {
        if (out_.unreadable_strings.empty() || out_.unreadable_strings.back() != strings_) {
            out_.unreadable_strings.push_back(strings_);
        }
    }

    // From the first byte after the opening quotation mark; returns the position after the
    // closing one (or the end).
    std::size_t string_at(std::size_t i) {
        while (i < in_.size()) {
            const auto b = static_cast<unsigned char>(in_[i]);
            if (b == '"') {
                ++strings_;
                return i + 1;
            }
            if (b == '\\') {
                i = escape_at(i);
            } else if (b < 0x80) {
                ++i;
            } else if (const std::size_t n = utf8_length(in_, i)) {
                i += n;
            } else {
                mark_string();
                patch(i, "?");
                ++i;
            }
        }
        return i;
    }

    std::size_t escape_at(std::size_t i) {
        const long unit = escape_unit(in_, i);
        if (unit < 0) return i + 2;  // another escape, or a broken one the tokenizer rejects
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const long low = escape_unit(in_, i + 6);
            if (low >= 0xDC00 && low <= 0xDFFF) return i + 12;
        } else if (unit < 0xDC00 || unit > 0xDFFF) {
            return i + 6;
        }
        mark_string();
        patch(i, "\\u003f");
        return i + 6;
    }

    std::size_t number_at(std::size_t i) {
        std::size_t end = i;
        while (end < in_.size() && is_number_char(in_[end])) ++end;
        const std::string_view number = in_.substr(i, end - i);
        if (is_json_number(number) && overflows_double(number)) {
            out_.unreadable_numbers.push_back(numbers_);
            patch(i, std::string("0") + std::string(number.size() - 1, ' '));
        }
        ++numbers_;
        return end;
    }

    std::string_view in_;
    Prescan out_;
    std::uint32_t strings_ = 0;
    std::uint32_t numbers_ = 0;
};

}  // namespace

Prescan prescan(std::string_view bytes) {
    return Scan(bytes).run();
}

}  // namespace snv::json
