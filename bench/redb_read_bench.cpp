// Open-and-read of a history file as this library does it and as redb itself does it (the
// oracle's dump, a whole process): a 10000-entry file, opened, its first and last keys and
// count read, every entry walked. Prints medians of 20 runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "redb/database.h"
#include "timing.h"

namespace {

constexpr redb::TableDefinition<redb::U64, redb::Str> kHistory{"history"};
using snv::bench::median;
using snv::bench::millis;

}  // namespace

int main(int argc, char** argv) {
    const std::string oracle = snv::bench::interop_tool(argc, argv);
    const std::string path =
        (std::filesystem::temp_directory_path() / "redb_read_bench.redb").string();
    std::filesystem::remove(path);
    if (std::system((oracle + " fixture history:10000:0 " + path).c_str()) != 0) return 1;
    std::vector<double> ours, theirs, lookups;
    std::uint64_t checksum = 0;
    for (int run = 0; run < 20; ++run) {
        ours.push_back(millis([&] {
            auto db = redb::Database::create(path);
            if (!db) std::exit(1);
            auto table = db->begin_read()->open_table(kHistory);
            if (!table) std::exit(1);
            checksum += (*table->first())->first + (*table->last())->first + table->len();
            (void)table->for_each([&](const std::uint64_t& k, const std::string& v) {
                checksum += k + v.size();
                return true;
            });
        }));
        {
            auto db = redb::Database::create(path);
            auto table = db->begin_read()->open_table(kHistory);
            lookups.push_back(millis([&] {
                for (std::uint64_t k = 0; k < 10000; k += 10) checksum += (*table->get(k))->size();
            }));
        }
        theirs.push_back(millis([&] {
            if (std::system((oracle + " dump " + path + " > /dev/null").c_str()) != 0) std::exit(1);
        }));
    }
    std::printf(
        "open + first/last/len + walk of 10000 entries: %.2f ms (redb dump process: %.2f ms)\n",
        median(ours), median(theirs));
    std::printf("1000 lookups: %.2f ms  (checksum %llu)\n", median(lookups),
                static_cast<unsigned long long>(checksum));
    std::filesystem::remove(path);
    return 0;
}
