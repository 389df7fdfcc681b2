// Appends one entry to history.redb in the data folder given first, with the real history log on
// the real clock, files and file storage, importing a history.jsonl there as every append does.
// With a second argument "--stop-before-delete", once the import is committed and history.jsonl
// is about to be deleted it prints "committed" and waits (60 s at most, then ends with 3) for
// the test to kill it: the delete never happens.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "history/history_log.h"
#include "os/clock.h"
#include "os/console.h"
#include "os/environment.h"
#include "os/file_system.h"
#include "os/path.h"
#include "paths/data_dir.h"
#include "redb/storage_backend.h"
#include "support/fake_os.h"

int main(int argc, char** argv) {
    using namespace snv;
    if (argc < 2) {
        os::real_console().write_err("usage: history_probe DATA_FOLDER [--stop-before-delete]\n");
        return 2;
    }
    const os::NativePath folder = os::to_native(argv[1]);
    const bool stop = argc > 2 && std::string(argv[2]) == "--stop-before-delete";
    test::FakeFileSystem files(os::real_file_system());
    files.before = [&](const std::string& call) -> os::Status {
        if (stop && call.starts_with("remove ") && call.ends_with("history.jsonl")) {
            os::real_console().write_out("committed\n");
            std::this_thread::sleep_for(std::chrono::seconds(60));
            std::_Exit(3);
        }
        return {};
    };
    paths::DataDir data_dir(os::real_environment(), files);
    history::HistoryLog log(os::real_clock(), files, data_dir, redb::open_file_backend);
    const bool stored = bool(log.append_history_text(os::join(folder, "history.redb"), "probe"));
    os::real_console().write_out(stored ? "stored\n" : "failed\n");
    return stored ? 0 : 1;
}
