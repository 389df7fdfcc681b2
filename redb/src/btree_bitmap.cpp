#include "btree_bitmap.h"

namespace redb::detail {

GroupedBitmap GroupedBitmap::full(std::uint32_t len, std::uint32_t capacity) {
    GroupedBitmap b;
    b.len_ = len;
    b.words_.assign(words_for(capacity), ~std::uint64_t(0));
    return b;
}

std::optional<GroupedBitmap> GroupedBitmap::parse(ByteView bytes) {
    if (bytes.size() < 4 || (bytes.size() - 4) % 8 != 0) return std::nullopt;
    GroupedBitmap b;
    b.len_ = load_u32(bytes.data());
    std::size_t words = (bytes.size() - 4) / 8;
    if (words < words_for(b.len_)) return std::nullopt;
    for (std::size_t i = 0; i < words; ++i) b.words_.push_back(load_u64(bytes.data() + 4 + 8 * i));
    return b;
}

void GroupedBitmap::serialize(Bytes& out) const {
    append_u32(out, len_);
    for (std::size_t i = 0; i < words_for(len_); ++i) append_u64(out, words_[i]);
}

bool GroupedBitmap::set(std::uint32_t bit) {
    if (bit / 64 >= words_.size()) return true;
    std::uint64_t& w = words_[bit / 64];
    w |= std::uint64_t(1) << (bit % 64);
    return w == ~std::uint64_t(0);
}

std::optional<std::uint32_t> GroupedBitmap::first_unset(std::uint32_t start) const {
    if (len_ == 0 || start / 64 >= words_.size()) return std::nullopt;
    unsigned bit = start % 64;
    std::uint64_t w = words_[start / 64] | ((std::uint64_t(1) << bit) - 1);
    if (w == ~std::uint64_t(0)) return std::nullopt;
    return start - bit + std::uint32_t(__builtin_ctzll(~w));
}

bool GroupedBitmap::any_unset() const {
    for (auto w : words_)
        if (w != ~std::uint64_t(0)) return true;
    return false;
}

void GroupedBitmap::resize(std::uint32_t new_len, bool fill_ones) {
    if (words_.size() < words_for(new_len))
        words_.resize(words_for(new_len), fill_ones ? ~std::uint64_t(0) : 0);
    std::uint32_t old = len_;
    len_ = new_len;
    if (old >= new_len) return;
    for (std::uint32_t bit = old; bit < new_len; ++bit) {
        std::uint64_t m = std::uint64_t(1) << (bit % 64);
        if (fill_ones)
            words_[bit / 64] |= m;
        else
            words_[bit / 64] &= ~m;
    }
}

static std::uint32_t div_ceil64(std::uint32_t v) {
    return (v + 63) / 64;
}

BtreeBitmap BtreeBitmap::padded(std::uint32_t len, std::uint32_t capacity,
                                std::uint32_t max_capacity) {
    BtreeBitmap b;
    std::vector<GroupedBitmap> bottom_up;
    while (true) {
        bottom_up.push_back(GroupedBitmap::full(len, capacity));
        if (capacity <= 64) break;
        capacity = div_ceil64(capacity);
        len = div_ceil64(len);
    }
    b.levels_.assign(bottom_up.rbegin(), bottom_up.rend());
    std::size_t height = 1;
    for (std::uint32_t c = max_capacity; c > 64; c = div_ceil64(c)) ++height;
    while (b.levels_.size() < height) {
        std::uint32_t parent = div_ceil64(b.levels_.front().len());
        b.levels_.insert(b.levels_.begin(), GroupedBitmap::full(parent, parent));
    }
    return b;
}

std::optional<BtreeBitmap> BtreeBitmap::parse(ByteView bytes) {
    if (bytes.size() < 4) return std::nullopt;
    std::uint32_t height = load_u32(bytes.data());
    if (height == 0 || height > 8 || bytes.size() < 4 + 4 * std::size_t(height))
        return std::nullopt;
    BtreeBitmap b;
    std::size_t start = 4 + 4 * std::size_t(height);
    for (std::uint32_t i = 0; i < height; ++i) {
        std::size_t end = load_u32(bytes.data() + 4 + 4 * i);
        if (end < start || end > bytes.size()) return std::nullopt;
        auto level = GroupedBitmap::parse(bytes.subspan(start, end - start));
        if (!level) return std::nullopt;
        b.levels_.push_back(std::move(*level));
        start = end;
    }
    return b;
}

std::size_t BtreeBitmap::serialized_size() const {
    std::size_t n = 4 + 4 * levels_.size();
    for (auto& l : levels_) n += l.serialized_size();
    return n;
}

void BtreeBitmap::serialize(Bytes& out) const {
    append_u32(out, std::uint32_t(levels_.size()));
    std::size_t offset = 4 + 4 * levels_.size();
    for (auto& l : levels_) {
        offset += l.serialized_size();
        append_u32(out, std::uint32_t(offset));
    }
    for (auto& l : levels_) l.serialize(out);
}

void BtreeBitmap::set(std::uint32_t i) {
    update_to_root(i, levels_.back().set(i));
}

void BtreeBitmap::clear(std::uint32_t i) {
    levels_.back().clear(i);
    update_to_root(i, false);
}

void BtreeBitmap::update_to_root(std::uint32_t i, bool full) {
    if (levels_.size() == 1) return;
    std::uint32_t entry = i / 64;
    for (std::size_t h = levels_.size() - 1; h-- > 0;) {
        if (full) {
            full = levels_[h].set(entry);
        } else {
            levels_[h].clear(entry);
        }
        entry /= 64;
    }
}

std::optional<std::uint32_t> BtreeBitmap::find_first_unset() const {
    auto entry = levels_[0].first_unset(0);
    if (!entry) return std::nullopt;
    std::uint32_t e = *entry;
    for (std::size_t h = 1; h < levels_.size(); ++h) {
        auto next = levels_[h].first_unset(e * 64);
        if (!next) return std::nullopt;  // only a damaged bitmap gets here
        e = *next;
    }
    return e;
}

std::optional<std::uint32_t> BtreeBitmap::alloc() {
    auto e = find_first_unset();
    if (e && *e >= len()) return std::nullopt;
    if (e) set(*e);
    return e;
}

void BtreeBitmap::resize(std::uint32_t new_len, bool fill_ones) {
    for (std::size_t h = levels_.size(); h-- > 0;) {
        levels_[h].resize(new_len, fill_ones);
        new_len = div_ceil64(new_len);
    }
}

}  // namespace redb::detail
