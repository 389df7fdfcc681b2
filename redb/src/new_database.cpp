#include "new_database.h"

#include <algorithm>

#include "header_codec.h"
#include "region_allocators.h"
#include "write_pages.h"

namespace redb::detail {

// A new file gets the library's default start: about 1 MiB of pages plus room for the region
// tracker, an empty two-phase header written first without and then with the magic number.
Status initialize_new_database(snv::os::DbFile& storage) {
    std::uint64_t tracker_bytes = RegionTracker(kInitialRegions, kMaxOrder + 1).serialized_size();
    std::uint64_t tracker_space = (tracker_bytes + 4095) / 4096 * 4096;
    DatabaseLayout layout =
        DatabaseLayout::with_usable_bytes((1u << 20) + tracker_space, kMaxPageIndex + 1, 0, 4096);
    auto io = [](const snv::os::Status& s) -> Status {
        if (!s) return std::unexpected(io_failure(s.error()));
        return {};
    };
    if (auto s = io(storage.set_len(layout.file_length())); !s) return s;
    SuperHeader h;
    h.two_phase_commit = true;
    h.layout = layout;
    auto bytes = h.serialize();
    std::fill(bytes.begin(), bytes.begin() + 9, 0);
    if (auto s = io(storage.write_at(0, bytes)); !s) return s;
    if (auto s = io(storage.sync()); !s) return s;
    bytes = h.serialize();
    if (auto s = io(storage.write_at(0, bytes)); !s) return s;
    return io(storage.sync());
}

}  // namespace redb::detail
