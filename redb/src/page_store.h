#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

#include "allocators.h"
#include "bytes.h"
#include "page_number.h"
#include "redb/error.h"
#include "redb/storage_backend.h"
#include "super_header.h"

namespace redb::detail {

// A page's bytes. Shared, so that a page handed out stays valid while the store evicts or
// rewrites it.
using PageRef = std::shared_ptr<const Bytes>;

// The pages of an open database: the committed file, with the pages written by the running
// write transaction over it (kept in memory until its commit writes them). Every page is
// checked against the layout before a byte of it is read.
class PageStore {
  public:
    PageStore(StorageBackend& backend, SuperHeader header)
        : backend_(&backend), header_(std::move(header)) {}

    SuperHeader& header() { return header_; }
    const SuperHeader& header() const { return header_; }
    const DatabaseLayout& layout() const { return header_.layout; }
    Allocators& allocators() { return allocators_; }
    void set_allocators(Allocators a) { allocators_ = std::move(a); }

    // With `keep`, a page read from the file stays in memory for the next reads; whole-tree
    // walks, which read each page once, leave it out.
    Result<PageRef> read(PageNumber page, bool keep = true);
    // A free page of the order, growing the file when none is left.
    Result<PageNumber> allocate(std::uint8_t order);
    // New content of a page this transaction allocated; written by write_dirty_pages.
    void put(PageNumber page, Bytes content);
    // Whether this transaction allocated the page (and may thus rewrite it in place).
    bool is_dirty(PageNumber page) const { return uncommitted_.contains(page.encode()); }
    // Gives a page up: one this transaction allocated is free at once, a committed one goes to
    // `pending` and stays allocated until a later commit frees it.
    void release(PageNumber page, std::vector<PageNumber>& pending);
    // Frees a committed page that no reader can reach any more.
    void free_committed(PageNumber page);

    // Writes every page of the transaction, in file order; they count as committed afterwards.
    Status write_dirty_pages();
    // Frees every page of the transaction and forgets their content.
    void discard_dirty_pages();

    Status write_header();
    Status sync();
    // Gives the free pages at the end of the file back: the layout shrinks now, and the file
    // with `truncate_to_layout` once a header naming the smaller layout is durable. Returns
    // whether it shrank.
    bool shrink_layout();
    Status truncate_to_layout();

    // The close commit packs its pages low, as redb's does, so that the end of the file is free.
    bool allocate_lowest = false;

  private:
    Status grow(std::uint8_t order);

    StorageBackend* backend_;
    SuperHeader header_;
    Allocators allocators_;
    std::map<std::uint64_t, PageRef> dirty_;
    std::set<std::uint64_t> uncommitted_;
    std::unordered_map<std::uint64_t, PageRef> cache_;
};

}  // namespace redb::detail
