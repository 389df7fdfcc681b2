#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <unordered_map>
#include <vector>

#include "header_codec.h"
#include "le_bytes.h"
#include "os/error.h"
#include "os/db_file.h"
#include "redb/error.h"
#include "region_allocators.h"

namespace redb::detail {


inline Error corrupted(std::string what) { return Error::corrupted(std::move(what)); }
// Errors of the file itself, with the operating system's code.
Error io_failure(const snv::os::Error& e);

// The pages of an open file: committed pages are read from the storage, pages written by the
// running transaction stay in memory until the commit writes them.
class PageStore {
public:
    PageStore(snv::os::DbFile& storage, SuperHeader header) : storage_(storage), header_(std::move(header)) {}

    snv::os::DbFile& file() { return storage_; }
    Status sync();
    SuperHeader& header() { return header_; }
    const DatabaseLayout& layout() const { return header_.layout; }
    Allocators& allocators() { return allocators_; }
    void set_allocators(Allocators a) { allocators_ = std::move(a); }

    Result<ByteView> read(PageNumber page);
    Result<PageNumber> allocate(std::uint8_t order);
    void put(PageNumber page, Bytes content);  // content padded to the page's size on write
    bool is_dirty(PageNumber page) const { return uncommitted_.contains(page.encode()); }
    // Gives a page up: one written by this transaction is free at once, a committed one goes to
    // `pending` and stays allocated until a later transaction frees it.
    void release(PageNumber page, std::vector<PageNumber>& pending);
    void free_committed(PageNumber page);

    // Writes every page of the transaction; they count as committed afterwards.
    Status write_dirty_pages();
    // Frees every page of the transaction.
    void discard_dirty_pages();
    Status write_header();

    bool use_lowest = false;  // the close commit packs its pages low, as the library does

private:
    Status grow(std::uint8_t order);

    snv::os::DbFile& storage_;
    SuperHeader header_;
    Allocators allocators_;
    std::map<std::uint64_t, Bytes> dirty_;
    std::set<std::uint64_t> uncommitted_;
    std::unordered_map<std::uint64_t, Bytes> cache_;
};

}  // namespace redb::detail
