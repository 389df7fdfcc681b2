#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "os/environment.h"
#include "os/file_system.h"
#include "os/path.h"

namespace snv::test {

// Environment with scripted variables and temporary folder; names and values in UTF-8.
class FakeEnvironment final : public os::Environment {
  public:
    std::map<std::string, std::string> variables;
    std::optional<std::string> temp;  // none: the query fails
    std::vector<std::string> reads;   // names asked for, in order

    std::optional<os::NativePath> variable(std::string_view name) override;
    os::Result<os::NativePath> temp_folder() override;
};

// An in-memory file system keyed by the exact path text, with scripted failures.
class FakeFileSystem final : public os::FileSystem {
  public:
    struct Entry {
        os::EntryKind kind = os::EntryKind::file;
        std::string content;
        std::uint64_t creation_time = 0;
    };
    std::map<std::string, Entry> entries;
    std::set<std::string> metadata_fails;  // paths whose query fails although present
    std::set<std::string> create_fails;
    std::set<std::string> copy_fails;
    std::vector<std::string> calls;  // "metadata P", "create P", "copy A B", "time P T"

    void reset();
    void add_folder(const std::string& path, std::uint64_t created = 0);
    void add_file(const std::string& path, const std::string& content);

    os::Result<os::Metadata> metadata(const os::NativePath& path) override;
    os::Status create_folder_all(const os::NativePath& path) override;
    os::Status copy_file_new(const os::NativePath& from, const os::NativePath& to) override;
    os::Status set_folder_creation_time(const os::NativePath& folder, std::uint64_t time) override;

  private:
    std::mutex mutex_;  // the guard's tests call in from several threads
};

// `base` joined with `name` by the platform's rule, in UTF-8.
std::string joined(const std::string& base, const std::string& name);

}  // namespace snv::test
