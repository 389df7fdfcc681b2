#pragma once

// Strict reading of the data files.
//
// A Reader is a pull tokenizer over the bytes of one document: the record readers take one
// value at a time from it, and it reads each byte once, holding nothing but the nesting of
// the containers entered and the string being read. It applies the files' reading rules as it
// goes: nesting counted on entered values only (127 levels), strings that are read must be
// valid UTF-8, numbers only where their type allows. A skipped value is scanned for its
// syntax alone, at any depth, without being stored. A captured value (a trigger's members,
// read before its tag is known) is checked like an entered one and read later through a
// Reader of its own. Every failure is a Reject; the first one rejects the whole document, and
// a syntax fault also stops the reader for good.
//
// Records and enumerations are read with record.h, value forms with values.h:
//
//     Read<Countdown> read_countdown(json::Reader& in) {
//         Countdown c;  // the defaults
//         auto ok = json::read_record(in, {
//             json::with_default("show_window", c.show_window),
//             json::with_default("seconds", c.seconds),
//             json::with_default("sound", c.sound),  // std::optional<std::string>
//         });
//         if (!ok) return std::unexpected(ok.error());
//         return c;
//     }
//
//     Read<Settings> s = json::read_document(bytes, read_settings);
//
// Walking by hand:
//
//     if (auto ok = in.enter_array(); !ok) return ...;
//     while (in.next_element()) { auto day = read_day_of_week(in); ... }

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "json/reject.h"

namespace snv::json {

inline constexpr std::uint32_t max_nesting = 127;

enum class ValueKind : std::uint8_t { null, boolean, number, string, object, array, end };

class Captured;

// The kind of the value whose text begins with `c`; `end` for none.
inline ValueKind kind_of(char c) {
    switch (c) {
        case '{':
            return ValueKind::object;
        case '[':
            return ValueKind::array;
        case '"':
            return ValueKind::string;
        case 't':
        case 'f':
            return ValueKind::boolean;
        case 'n':
            return ValueKind::null;
        default:
            return c == '-' || (c >= '0' && c <= '9') ? ValueKind::number : ValueKind::end;
    }
}

class Reader {
  public:
    // The whole document. The bytes must outlive the reader and what it hands out.
    explicit Reader(std::string_view bytes);

    // The kind of the value the reader stands on; `end` when it stands on none (the list or
    // object being read has no more, the reader's value has been read, or it has failed).
    ValueKind peek() const {
        if (!at_value_ || failed_ || pos_ == end_) return ValueKind::end;
        return kind_of(*pos_);
    }
    // All of the reader's value read, with nothing but white space after it.
    bool finished() const { return done_ && !failed_; }
    // Why the reader is not finished: its syntax fault, or a value not read whole.
    Checked check_finished() const;
    // Whether the reader stands on an object whose first key is `key` written without escapes
    // (`key` holds no quotation mark or backslash). Looks ahead only: nothing is read.
    bool object_starts_with_key(std::string_view key) const;
    // Where the cursor stands, for checks that a step moved it.
    std::size_t position() const { return static_cast<std::size_t>(pos_ - begin_); }

    Checked null();
    Read<bool> boolean();
    // A JSON integer without sign, fraction or exponent, 0..4294967295.
    Read<std::uint32_t> u32();
    // The same rule up to 2^64-1.
    Read<std::uint64_t> u64();
    // The unescaped bytes. A string without escapes is a view of the document; one with
    // escapes lies in the reader, valid until it reads its next string or key.
    Read<std::string_view> string();

    // Skips one value, whatever it holds: it is not counted for nesting, and its strings are
    // checked for syntax only.
    void skip();
    // Takes one value for later reading, checked as if it were entered now.
    Read<Captured> capture();

    // Objects: enter, then next_key() gives each key (a string that must be readable; valid
    // as string() says) and the reader stands on its value, which must be read, skipped or
    // captured before the next call. None once the object is closed.
    Checked enter_object();
    Read<std::optional<std::string_view>> next_key();

    // Arrays: enter, then next_element() is true while an element follows (read it before
    // the next call), false once the array is closed or the reader has failed.
    Checked enter_array();
    bool next_element();

  private:
    friend class Captured;
    Reader(std::string_view bytes, std::uint32_t depth);

    // Whether the reader stands on a value that begins with `c`.
    bool at(char c) const { return at_value_ && !failed_ && pos_ != end_ && *pos_ == c; }
    std::unexpected<Reject> fail(std::string_view reason);
    Checked enter(char bracket, std::string_view reason);
    // After a value or a container's end: white space, and the end of the reader's value.
    void after_value();
    void close();
    bool in_object() const;
    // One value from `p`, checked as captured or as skipped; nullptr and `reason` on a fault.
    template <bool captured>
    const char* scan_value(const char* p, std::string_view& reason) const;
    Read<std::uint64_t> unsigned_number(std::uint64_t max, std::string_view reason);

    const char* begin_;
    const char* pos_;  // always on the next byte that is not white space
    const char* end_;
    std::uint32_t base_;   // containers around the reader's value (a capture's surroundings)
    std::uint32_t depth_;  // containers entered, base_ included
    // One bit per entered level, indexed by depth_: set for an object.
    std::array<std::uint64_t, (max_nesting + 1 + 63) / 64> objects_{};
    bool at_value_ = true;  // a value is due: the top one, an element or a member's value
    bool fresh_ = false;    // the innermost container has given no member or element yet
    bool done_ = false;
    bool failed_ = false;
    std::string_view failure_;
    std::string scratch_;  // the last string read that held escapes
};

// One JSON value taken from a document, already checked for nesting and readable strings.
class Captured {
  public:
    ValueKind kind() const;
    // A fresh reader of this value (depth as where it was captured).
    Reader reader() const { return Reader(text_, depth_); }
    // For a captured object: the value of `key`, none when absent, rejected when it stands
    // twice.
    Read<std::optional<Captured>> unique_member(std::string_view key) const;

  private:
    friend class Reader;
    Captured(std::string_view text, std::uint32_t depth) : text_(text), depth_(depth) {}
    std::string_view text_;  // the value's bytes in the document
    std::uint32_t depth_;
};

// Reads exactly one value of `bytes` with `read(Reader&)`, which returns a Read<T>, and
// rejects anything after it but white space. T must own its strings (no views into the
// reader).
template <typename F>
auto read_document(std::string_view bytes, F&& read) -> decltype(read(std::declval<Reader&>())) {
    Reader in(bytes);
    auto value = read(in);
    if (!value) return value;
    if (auto whole = in.check_finished(); !whole) return std::unexpected(whole.error());
    return value;
}

}  // namespace snv::json
