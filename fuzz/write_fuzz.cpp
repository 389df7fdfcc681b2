// Opens an arbitrary file image for writing (repairing it when redb would), appends with the
// prune, commits and closes. Any input must end in a value or an error: no crash, hang or
// out-of-bounds access.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "os/db_file.h"
#include "redb/write_session.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto file = std::make_unique<snv::os::MemoryDbFile>(std::span<const std::uint8_t>(data, size));
    auto session = redb::WriteSession::open(std::move(file));
    if (!session) return 0;
    for (int round = 0; round < 2; ++round) {
        auto txn = (*session)->begin_write();
        if (!txn || !txn->open_table("history")) break;
        auto last = txn->last();
        if (!last) break;
        if (!txn->insert(*last ? (*last)->first + 1 : 0, "fuzzed entry")) break;
        if (!txn->remove_first()) break;
        (void)txn->get(7);
        if (!txn->commit()) break;
    }
    (void)(*session)->close();
    return 0;
}
