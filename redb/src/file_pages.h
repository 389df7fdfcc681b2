#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bytes.h"
#include "layout.h"
#include "os/db_file.h"
#include "page_address.h"
#include "redb/error.h"

namespace redb {

// The bytes of one page, read from the file.
struct Page {
    PageNumber number;
    std::vector<std::uint8_t> bytes;
    Bytes memory() const { return {bytes.data(), bytes.size()}; }
};

// Page access over the database file: every page is checked against the layout and the file
// length before any byte of it is read.
class PageStore {
public:
    PageStore(snv::os::DbFile& file, DatabaseLayout layout, std::uint64_t file_len)
        : file_(&file), layout_(layout), file_len_(file_len) {}

    const DatabaseLayout& layout() const { return layout_; }
    // After the file grew or shrank (writers).
    void set_layout(DatabaseLayout layout, std::uint64_t file_len) {
        layout_ = layout;
        file_len_ = file_len;
    }
    std::uint32_t page_size() const { return layout_.page_size; }
    snv::os::DbFile& file() const { return *file_; }

    // Byte offset of a page; an error when it lies outside the layout or the file.
    Result<std::uint64_t> offset_of(PageNumber page) const;
    Result<Page> read(PageNumber page) const;
    // Writes a whole page (`data` must be exactly the page's size).
    Status write(PageNumber page, Bytes data) const;

private:
    snv::os::DbFile* file_;
    DatabaseLayout layout_;
    std::uint64_t file_len_;
};

// An I/O error of the file layer as a library error.
Error io_error(const snv::os::Error& e);

}  // namespace redb
