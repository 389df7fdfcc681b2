// Opens an arbitrary file image as a database and reads everything reachable in it. Any input
// must end in a value or an error: no crash, hang or out-of-bounds read.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "redb/database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto backend =
        std::make_unique<redb::InMemoryBackend>(std::span<const std::uint8_t>(data, size));
    auto db = redb::Database::create(std::move(backend));
    if (!db) return 0;
    auto txn = db->begin_read();
    if (!txn) return 0;
    auto tables = txn->list_tables();
    if (!tables) return 0;
    for (const auto& t : *tables) {
        if (t.multimap) continue;
        // Open with whatever types are stored, by trying the common ones.
        for (auto [key, value] : {std::pair{redb::U64::type(), redb::Str::type()},
                                  std::pair{redb::U64::type(), redb::ByteSlice::type()},
                                  std::pair{redb::Str::type(), redb::U64::type()}}) {
            auto table = txn->open_raw(t.name, key, value);
            if (!table) continue;
            (void)table->first();
            (void)table->last();
            std::size_t n = 0;
            (void)table->for_each([&](auto k, auto) {
                if (n++ < 64) (void)table->get(k);
                return true;
            });
        }
    }
    return 0;
}
