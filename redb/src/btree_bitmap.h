#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "bytes.h"

namespace redb::detail {

// A bit array in 64-bit words; bits past `len` in the last word are kept as they are.
class GroupedBitmap {
  public:
    GroupedBitmap() = default;
    static GroupedBitmap full(std::uint32_t len, std::uint32_t capacity);
    static std::optional<GroupedBitmap> parse(ByteView bytes);
    void serialize(Bytes& out) const;
    std::size_t serialized_size() const { return 4 + words_for(len_) * 8; }

    std::uint32_t len() const { return len_; }
    // Bits outside the stored words (only in a damaged state) read as set and are not written.
    bool get(std::uint32_t bit) const {
        return bit / 64 >= words_.size() || ((words_[bit / 64] >> (bit % 64)) & 1);
    }
    // Returns whether the word holding the bit is now all ones.
    bool set(std::uint32_t bit);
    void clear(std::uint32_t bit) {
        if (bit / 64 < words_.size()) words_[bit / 64] &= ~(std::uint64_t(1) << (bit % 64));
    }
    std::optional<std::uint32_t> first_unset(std::uint32_t start) const;
    bool any_unset() const;
    void resize(std::uint32_t new_len, bool fill_ones);

  private:
    static std::size_t words_for(std::uint32_t bits) { return (std::size_t(bits) + 63) / 64; }
    std::uint32_t len_ = 0;
    std::vector<std::uint64_t> words_;
};

// A 64-way tree of bitmaps: a bit above is set when the word below is all ones, so the first
// clear leaf bit is found from the top.
class BtreeBitmap {
  public:
    BtreeBitmap() = default;
    static BtreeBitmap padded(std::uint32_t len, std::uint32_t capacity,
                              std::uint32_t max_capacity);
    static std::optional<BtreeBitmap> parse(ByteView bytes);
    void serialize(Bytes& out) const;
    std::size_t serialized_size() const;

    std::uint32_t len() const { return levels_.back().len(); }
    bool get(std::uint32_t i) const { return levels_.back().get(i); }
    void set(std::uint32_t i);
    void clear(std::uint32_t i);
    std::optional<std::uint32_t> find_first_unset() const;
    std::optional<std::uint32_t> alloc();
    bool has_unset() const { return levels_.back().any_unset(); }
    void resize(std::uint32_t new_len, bool fill_ones);

  private:
    void update_to_root(std::uint32_t i, bool full);
    std::vector<GroupedBitmap> levels_;  // root first
};

}  // namespace redb::detail
