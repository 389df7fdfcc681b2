// Time of one history append (open, import check, one transaction, close) on a fresh file
// and on a full table, and of importing a 12000-line history.jsonl.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "history/append_entry.h"
#include "history/history_log.h"
#include "history/redb_store.h"
#include "os/clock.h"
#include "os/file_system.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace snv;

namespace {

history::Entry sample(int i) {
    return {history::entry_time({2026, 3, 14, 22, 0, 5, 0}), history::EntryKind::executed,
            model::Action::shutdown, "Shut down \u00b7 Every day at 22:00 #" + std::to_string(i)};
}

std::string legacy_lines(int n) {
    std::string text;
    for (int k = 0; k < n; ++k) {
        text += R"({"time":"2026-01-01T00:00:00","kind":"cancelled","detail":")" +
                std::to_string(k) + "\"}\n";
    }
    return text;
}

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
    const fs::path folder = fs::temp_directory_path() / "snv-history-bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const os::NativePath db = os::join(folder.string(), "history.redb");
    history::HistoryEnv env{history::real_history_store(), os::real_clock(),
                            os::real_file_system()};

    const int fresh = 500;
    auto start = Clock::now();
    for (int i = 0; i < fresh; ++i) (void)history::append_history_entry(env, db, sample(i));
    std::printf("append, table of up to %d entries: %.3f ms each\n", fresh,
                ms_since(start) / fresh);

    // Fill the table up to the limit through one import of the rest.
    std::ofstream(folder / "history.jsonl", std::ios::binary) << legacy_lines(10000 - fresh);
    (void)history::append_history_entry(env, db, sample(fresh));
    const int full = 200;
    start = Clock::now();
    for (int i = 0; i < full; ++i) (void)history::append_history_entry(env, db, sample(i));
    std::printf("append, full table of 10000 (one prune each): %.3f ms each\n",
                ms_since(start) / full);

    fs::remove(folder / "history.redb");
    std::ofstream(folder / "history.jsonl", std::ios::binary) << legacy_lines(12000);
    start = Clock::now();
    (void)history::append_history_entry(env, db, sample(0));
    std::printf("import of 12000 lines into a new file, with the append: %.1f ms\n",
                ms_since(start));
    std::printf("history.redb after it: %llu bytes\n",
                static_cast<unsigned long long>(fs::file_size(folder / "history.redb")));
    fs::remove_all(folder);
    return 0;
}
