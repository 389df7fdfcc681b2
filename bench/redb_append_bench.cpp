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

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double time_command(const std::string& cmd) {
    auto start = std::chrono::steady_clock::now();
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--append-once") return append_once(argv[2]);
    std::string oracle = argc > 1 ? argv[1] : "/work/shared/tools/redb-oracle/bin/redb-oracle";
    int runs = argc > 2 ? std::atoi(argv[2]) : 31;
    auto dir = std::filesystem::temp_directory_path() / "redb-append-bench";
    std::filesystem::create_directories(dir);
    std::string base = (dir / "base.redb").string(), copy = (dir / "copy.redb").string();
    if (time_command(oracle + " fixture history:10000:0 " + base) < 0) return 1;
    std::vector<double> ours, theirs;
    for (int i = 0; i < runs; ++i) {
        std::filesystem::copy_file(base, copy, std::filesystem::copy_options::overwrite_existing);
        ours.push_back(time_command(std::string(argv[0]) + " --append-once " + copy));
        std::filesystem::copy_file(base, copy, std::filesystem::copy_options::overwrite_existing);
        theirs.push_back(
            time_command(oracle + " append " + copy +
                         " '{\"time\":\"2026-03-14T22:00:05\",\"kind\":\"executed\"}'"));
    }
    double a = median(ours), b = median(theirs);
    std::printf("append one entry to a 10000-entry file, %d runs each, one process per run\n",
                runs);
    std::printf(
        "this library: median %.2f ms\nredb-oracle:  median %.2f ms\nratio (ours / redb): %.2f\n",
        a, b, a / b);
    return 0;
}
