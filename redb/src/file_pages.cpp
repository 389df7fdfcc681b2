#include "file_pages.h"

namespace redb {

Error io_error(const snv::os::Error& e) { return Error::io(e.text, e.code); }

Result<std::uint64_t> PageStore::offset_of(PageNumber page) const {
    auto offset = layout_.page_offset(page);
    if (!offset) return offset;
    const std::uint64_t size = layout_.page_bytes(page);
    if (*offset > file_len_ || size > file_len_ - *offset)
        return std::unexpected(Error::corrupted("page lies beyond the end of the file"));
    return offset;
}

Result<Page> PageStore::read(PageNumber number) const {
    auto offset = offset_of(number);
    if (!offset) return std::unexpected(offset.error());
    Page page{number, std::vector<std::uint8_t>(static_cast<std::size_t>(layout_.page_bytes(number)))};
    if (auto r = file_->read_at(*offset, page.bytes); !r) return std::unexpected(io_error(r.error()));
    return page;
}

Status PageStore::write(PageNumber number, Bytes data) const {
    auto offset = offset_of(number);
    if (!offset) return std::unexpected(offset.error());
    if (data.size() != layout_.page_bytes(number))
        return std::unexpected(Error::corrupted("page write of the wrong size"));
    if (auto r = file_->write_at(*offset, data); !r) return std::unexpected(io_error(r.error()));
    return {};
}

}  // namespace redb
