// One history append per process, this library against redb itself: each run opens a copy of
// the same 10000-entry file, appends one entry with the prune, closes. Prints both medians.
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

int append_once(const char* path) {
    constexpr redb::TableDefinition<redb::U64, redb::Str> kHistory{"history"};
    auto db = redb::Database::create(path);
    if (!db) return 1;
    auto txn = db->begin_write();
    if (!txn) return 1;
    auto table = txn->open_table(kHistory);
    if (!table) return 1;
    auto last = table->last();
    if (!last) return 1;
    if (!table->insert(*last ? (*last)->first + 1 : 0,
                       "{\"time\":\"2026-03-14T22:00:05\",\"kind\":\"executed\"}"))
        return 1;
    for (auto n = table->len(); n && *n > 10000; n = table->len())
        if (!table->pop_first()) return 1;
    if (!txn->commit()) return 1;
    return db->close() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--append-once") return append_once(argv[2]);
    std::string oracle = snv::bench::interop_tool(argc, argv);
    int runs = argc > 2 ? std::atoi(argv[2]) : 31;
    auto dir = std::filesystem::temp_directory_path() / "redb-append-bench";
    std::filesystem::create_directories(dir);
    std::string base = (dir / "base.redb").string(), copy = (dir / "copy.redb").string();
    if (std::system((oracle + " fixture history:10000:0 " + base).c_str()) != 0) return 1;
    std::vector<double> ours, theirs;
    for (int i = 0; i < runs; ++i) {
        std::filesystem::copy_file(base, copy, std::filesystem::copy_options::overwrite_existing);
        ours.push_back(snv::bench::time_command(std::string(argv[0]) + " --append-once " + copy));
        std::filesystem::copy_file(base, copy, std::filesystem::copy_options::overwrite_existing);
        theirs.push_back(snv::bench::time_command(
            oracle + " append " + copy +
            " '{\"time\":\"2026-03-14T22:00:05\",\"kind\":\"executed\"}'"));
    }
    double a = snv::bench::median(ours), b = snv::bench::median(theirs);
    std::printf("append one entry to a 10000-entry file, %d runs each, one process per run\n",
                runs);
    std::printf(
        "this library: median %.2f ms\nredb itself:  median %.2f ms\nratio (ours / redb): %.2f\n",
        a, b, a / b);
    return 0;
}
