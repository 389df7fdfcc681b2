// One history append (open with the lock wait, import check, one transaction with the prune,
// close), each in a process of its own as the service makes them, on copies of the same full
// table of 10000 entries written by the real library; beside it the real library's own append
// to the same file. Prints both medians, their ratio, and the size the file settles at.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "history/history_log.h"
#include "os/clock.h"
#include "os/environment.h"
#include "os/file_system.h"
#include "redb/storage_backend.h"
#include "timing.h"

namespace fs = std::filesystem;
using namespace snv;

namespace {

int append_once(const char* path) {
    paths::DataDir data_dir(os::real_environment(), os::real_file_system());
    history::HistoryLog log(os::real_clock(), os::real_file_system(), data_dir,
                            redb::open_file_backend);
    const history::Entry entry{history::entry_time({2026, 3, 14, 22, 0, 5, 0}),
                               history::EntryKind::executed, model::Action::shutdown,
                               "Shut down \u00b7 Every day at 22:00"};
    return log.append_history_entry(os::to_native(path), entry) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--append-once") return append_once(argv[2]);
    const std::string oracle = bench::interop_tool(argc, argv);
    const int runs = argc > 2 ? std::atoi(argv[2]) : 31;
    const fs::path dir = fs::temp_directory_path() / "snv-history-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string base = (dir / "base.redb").string();
    const std::string copy = (dir / "history.redb").string();
    if (std::system((oracle + " fixture history:10000:0 " + base + " > /dev/null").c_str()) != 0)
        return 1;
    std::vector<double> ours, theirs;
    for (int i = 0; i < runs; ++i) {
        fs::copy_file(base, copy, fs::copy_options::overwrite_existing);
        ours.push_back(bench::time_command(std::string(argv[0]) + " --append-once " + copy));
        fs::copy_file(base, copy, fs::copy_options::overwrite_existing);
        theirs.push_back(
            bench::time_command(oracle + " append " + copy +
                                " '{\"time\":\"2026-03-14T22:00:05\",\"kind\":\"executed\"}'"));
    }
    const double a = bench::median(ours), b = bench::median(theirs);
    std::printf(
        "history append to a full table of 10000 entries, %d runs each, one process per run\n",
        runs);
    std::printf(
        "history log:  median %.2f ms\nredb itself:  median %.2f ms\nratio (ours / redb): %.2f\n",
        a, b, a / b);
    fs::remove_all(dir);
    return 0;
}
