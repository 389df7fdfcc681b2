// Opens an arbitrary file image (repairing it when redb would), appends with the prune,
// commits and closes. Any input must end in a value or an error: no crash, hang or
// out-of-bounds access.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "redb/database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr redb::TableDefinition<redb::U64, redb::Str> kHistory{"history"};
    auto backend =
        std::make_unique<redb::InMemoryBackend>(std::span<const std::uint8_t>(data, size));
    auto db = redb::Database::create(std::move(backend));
    if (!db) return 0;
    for (int round = 0; round < 2; ++round) {
        auto txn = db->begin_write();
        if (!txn) break;
        auto table = txn->open_table(kHistory);
        if (!table) break;
        auto last = table->last();
        if (!last) break;
        if (!table->insert(*last ? (*last)->first + 1 : 0, "fuzzed entry")) break;
        if (!table->pop_first()) break;
        (void)table->get(7);
        if (!txn->commit()) break;
    }
    (void)db->close();
    return 0;
}
