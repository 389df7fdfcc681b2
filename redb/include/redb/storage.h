#pragma once

#include <cstdint>
#include <span>

#include "os/error.h"

namespace redb {

// The bytes of one database file. The writer reaches the file only through this, so tests can
// hand it a file that fails or stops at any write or sync.
class Storage {
public:
    virtual ~Storage() = default;
    virtual snv::os::Result<std::uint64_t> length() = 0;
    // Reads exactly out.size() bytes; reading past the end is an error.
    virtual snv::os::Status read(std::uint64_t offset, std::span<std::uint8_t> out) = 0;
    virtual snv::os::Status write(std::uint64_t offset, std::span<const std::uint8_t> data) = 0;
    virtual snv::os::Status set_length(std::uint64_t length) = 0;
    // Makes every earlier write durable.
    virtual snv::os::Status sync() = 0;
};

}  // namespace redb
