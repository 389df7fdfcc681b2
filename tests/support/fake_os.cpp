#include "support/fake_os.h"

namespace snv::test {

std::optional<os::NativePath> FakeEnvironment::variable(std::string_view name) {
    reads.emplace_back(name);
    auto it = variables.find(std::string(name));
    if (it == variables.end()) return std::nullopt;
    return os::to_native(it->second);
}

os::Result<os::NativePath> FakeEnvironment::temp_folder() {
    if (!temp) return std::unexpected(os::Error::os(5, "no temporary folder"));
    return os::to_native(*temp);
}

void FakeFileSystem::reset() {
    entries.clear();
    metadata_fails.clear();
    create_fails.clear();
    copy_fails.clear();
    calls.clear();
}

void FakeFileSystem::add_folder(const std::string& path, std::uint64_t created) {
    entries[path] = {os::EntryKind::folder, "", created};
}

void FakeFileSystem::add_file(const std::string& path, const std::string& content) {
    entries[path] = {os::EntryKind::file, content, 0};
}

os::Result<os::Metadata> FakeFileSystem::metadata(const os::NativePath& native) {
    std::lock_guard lock(mutex_);
    std::string path = os::to_utf8(native);
    calls.push_back("metadata " + path);
    auto it = entries.find(path);
    if (it == entries.end()) return std::unexpected(os::Error::os(2, "not found"));
    if (metadata_fails.contains(path)) return std::unexpected(os::Error::os(5, "denied"));
    return os::Metadata{it->second.kind, it->second.creation_time};
}

os::Status FakeFileSystem::create_folder_all(const os::NativePath& native) {
    std::lock_guard lock(mutex_);
    std::string path = os::to_utf8(native);
    calls.push_back("create " + path);
    if (create_fails.contains(path)) return std::unexpected(os::Error::os(5, "denied"));
    auto it = entries.find(path);
    if (it != entries.end()) {
        if (it->second.kind == os::EntryKind::folder) return {};
        return std::unexpected(os::Error::os(183, "exists"));
    }
    entries[path] = {os::EntryKind::folder, "", 0};
    return {};
}

os::Status FakeFileSystem::copy_file_new(const os::NativePath& from_native,
                                         const os::NativePath& to_native) {
    std::lock_guard lock(mutex_);
    std::string from = os::to_utf8(from_native);
    std::string to = os::to_utf8(to_native);
    calls.push_back("copy " + from + " " + to);
    if (copy_fails.contains(from)) return std::unexpected(os::Error::os(5, "denied"));
    if (entries.contains(to)) return std::unexpected(os::Error::os(80, "exists"));
    auto it = entries.find(from);
    if (it == entries.end()) return std::unexpected(os::Error::os(2, "not found"));
    entries[to] = it->second;
    return {};
}

os::Status FakeFileSystem::set_folder_creation_time(const os::NativePath& native,
                                                    std::uint64_t time) {
    std::lock_guard lock(mutex_);
    std::string path = os::to_utf8(native);
    calls.push_back("time " + path + " " + std::to_string(time));
    auto it = entries.find(path);
    if (it == entries.end()) return std::unexpected(os::Error::os(2, "not found"));
    it->second.creation_time = time;
    return {};
}

std::string joined(const std::string& base, const std::string& name) {
    return os::to_utf8(os::join(os::to_native(base), name));
}

}  // namespace snv::test
