#pragma once

// Strict reading of the data files.
//
// A document is first checked for syntax and turned into a flat token list (Document); a
// Reader is then a cursor over it that the record readers pull values from, in one pass, with
// the strictness of the files' reading rules: nesting counted on entered values only (127
// levels), strings that are read must be valid UTF-8, numbers only where their type allows.
// Skipped values are only checked for syntax. Captured values (a trigger's members, read
// before its tag is known) are checked like entered ones and read later through their own
// Reader. Every failure is a Reject; the first one rejects the whole document.
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

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "json/document.h"
#include "json/reject.h"

namespace snv::json {

inline constexpr std::uint32_t max_nesting = 127;

enum class ValueKind : std::uint8_t { null, boolean, number, string, object, array, end };

class Captured;

class Reader {
  public:
    // The whole document.
    explicit Reader(const Document& doc);

    // The kind of the next value; `end` when the list or object being read has no more, or
    // the reader's value has been read.
    ValueKind peek() const;
    // All of the reader's value read.
    bool finished() const { return pos_ == end_; }
    // Where the cursor stands, for checks that a step moved it.
    std::uint32_t position() const { return pos_; }

    Checked null();
    Read<bool> boolean();
    // A JSON integer without sign, fraction or exponent, 0..4294967295.
    Read<std::uint32_t> u32();
    // The same rule up to 2^64-1.
    Read<std::uint64_t> u64();
    // The unescaped bytes; valid while the Document lives.
    Read<std::string_view> string();

    // Skips one value, whatever it holds: it is not counted for nesting nor checked further.
    void skip();
    // Takes one value for later reading, checked as if it were entered now.
    Read<Captured> capture();

    // Objects: enter, then next_key() gives each key (a string that must be readable) and the
    // reader stands on its value, which must be read, skipped or captured before the next
    // call. None once the object is closed.
    Checked enter_object();
    Read<std::optional<std::string_view>> next_key();

    // Arrays: enter, then next_element() is true while an element follows (read it before
    // the next call), false once the array is closed.
    Checked enter_array();
    bool next_element();

  private:
    friend class Captured;
    Reader(const Document& doc, std::uint32_t begin, std::uint32_t end, std::uint32_t depth);
    const Token* next_token() const;
    Checked enter(TokenKind kind, std::string_view reason);

    const Document* doc_;
    std::uint32_t pos_;
    std::uint32_t end_;
    std::uint32_t depth_;  // containers entered around the cursor, captures' surroundings included
};

// One JSON value taken from a document, already checked for nesting and readable strings.
class Captured {
  public:
    ValueKind kind() const;
    // A fresh reader of this value (depth as where it was captured).
    Reader reader() const { return Reader(*doc_, begin_, end_, depth_); }
    // For a captured object: the value of `key`, none when absent, rejected when it stands
    // twice.
    Read<std::optional<Captured>> unique_member(std::string_view key) const;

  private:
    friend class Reader;
    Captured(const Document& doc, std::uint32_t begin, std::uint32_t end, std::uint32_t depth)
        : doc_(&doc), begin_(begin), end_(end), depth_(depth) {}
    const Document* doc_;
    std::uint32_t begin_;
    std::uint32_t end_;
    std::uint32_t depth_;
};

// Parses `bytes` and reads exactly one value with `read(Reader&)`, which returns a Read<T>.
template <typename F>
auto read_document(std::string_view bytes, F&& read) -> decltype(read(std::declval<Reader&>())) {
    auto doc = Document::parse(bytes);
    if (!doc) return std::unexpected(doc.error());
    Reader in(*doc);
    auto value = read(in);
    if (value && !in.finished()) return reject("value not read whole");
    return value;
}

}  // namespace snv::json
