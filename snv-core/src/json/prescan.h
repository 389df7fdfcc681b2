#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace snv::json {

// The tokenizer rejects invalid UTF-8, lone surrogate escapes and numbers beyond the double
// range anywhere, while the reading rules accept them inside skipped values. This pass finds
// them first, and gives a copy in which they are replaced by harmless stand-ins of the same
// syntax ('?' for a bad byte, \u003f for a lone surrogate, 0 and spaces for a number), with
// the ordinals of the strings and numbers affected, so that reading them can be refused.
struct Prescan {
    bool patched = false;  // `text` holds the copy; else the input is used as it is
    std::string text;
    std::vector<std::uint32_t> unreadable_strings;  // ordinals among strings and keys
    std::vector<std::uint32_t> unreadable_numbers;  // ordinals among numbers
};

Prescan prescan(std::string_view bytes);

}  // namespace snv::json
