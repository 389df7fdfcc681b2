#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "os/console.h"
#include "os/environment.h"
#include "os/file_system.h"
#include "os/path.h"

namespace snv::test {

// Standard output and error kept as text.
class FakeConsole final : public os::Console {
  public:
    std::string out;
    std::string err;

    void write_out(std::string_view utf8) override { out += utf8; }
    void write_err(std::string_view utf8) override { err += utf8; }
};

// Environment with scripted variables and temporary folder; names and values in UTF-8.
class FakeEnvironment final : public os::Environment {
  public:
    std::map<std::string, std::string> variables;
    std::optional<std::string> temp;  // none: the query fails
    std::vector<std::string> reads;   // names asked for, in order

    std::optional<os::NativePath> variable(std::string_view name) override;
    os::Result<os::NativePath> temp_folder() override;
};

// The one file-system double of the tests. By default an in-memory file system keyed by the
// exact path text; with `real` set, every operation goes to that file system instead (real
// files in a test folder). Either way each call is logged with its outcome, and `before` can
// fail an operation or do something in between (another program writing, say).
class FakeFileSystem final : public os::FileSystem {
  public:
    struct Entry {
        os::EntryKind kind = os::EntryKind::file;
        std::string content;
        std::uint64_t creation_time = 0;
        os::FileTime last_write = 0;
    };
    std::map<std::string, Entry> entries;
    std::set<std::string> metadata_fails;  // paths whose query fails although present
    std::set<std::string> create_fails;
    std::set<std::string> copy_fails;
    // "metadata P", "stamp P", "read P", "read own P", "write P", "replace A B", "overwrite P",
    // "remove P", "create P", "copy A B", "time P T"; a failed call gets " -> error N" appended.
    std::vector<std::string> calls;
    // Called first with the call's log text; an error returned fails the call untouched.
    std::function<os::Status(const std::string& call)> before;
    os::FileSystem* real = nullptr;

    FakeFileSystem() = default;
    explicit FakeFileSystem(os::FileSystem& passthrough) : real(&passthrough) {}

    void reset();
    void add_folder(const std::string& path, std::uint64_t created = 0);
    void add_file(const std::string& path, const std::string& content);
    // The number of logged calls that begin with `prefix`.
    std::size_t count(std::string_view prefix) const;

    os::Result<os::Metadata> metadata(const os::NativePath& path) override;
    std::optional<os::FileTime> last_write(const os::NativePath& path) override;
    os::Result<std::string> read_file(const os::NativePath& path, std::uint64_t max_bytes) override;
    // In memory the same as read_file: the in-memory files have no links.
    os::Result<std::string> read_own_file(const os::NativePath& path,
                                          std::uint64_t max_bytes) override;
    os::Status write_file(const os::NativePath& path, std::string_view bytes) override;
    os::Status replace_file(const os::NativePath& from, const os::NativePath& to) override;
    os::Status overwrite_file(const os::NativePath& path, std::string_view bytes,
                              std::uint64_t max_old_bytes) override;
    os::Status remove_file(const os::NativePath& path) override;
    os::Status create_folder_all(const os::NativePath& path) override;
    os::Status copy_file_new(const os::NativePath& from, const os::NativePath& to) override;
    os::Status set_folder_creation_time(const os::NativePath& folder, os::FileTime time) override;

  private:
    os::Result<std::string> read_entry(const std::string& path, std::uint64_t max_bytes);
    // Logs the call and runs `before`; a returned error ends the call with it.
    os::Status enter(std::string call);
    template <typename T>
    T logged(T result);

    mutable std::recursive_mutex mutex_;  // the guard's tests call in from several threads
    os::FileTime clock_ = 0;              // stamps of the in-memory files
};

// `base` joined with `name` by the platform's rule, in UTF-8.
std::string joined(const std::string& base, const std::string& name);

}  // namespace snv::test
