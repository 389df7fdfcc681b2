#include "support/fake_os.h"

namespace snv::test {

namespace {

os::Error not_found() {
    return os::Error::os(2, "not found");
}
os::Error denied() {
    return os::Error::os(5, "denied");
}

}  // namespace

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
    std::lock_guard lock(mutex_);
    entries.clear();
    metadata_fails.clear();
    create_fails.clear();
    copy_fails.clear();
    calls.clear();
    before = nullptr;
}

void FakeFileSystem::add_folder(const std::string& path, std::uint64_t created) {
    std::lock_guard lock(mutex_);
    entries[path] = {os::EntryKind::folder, "", created, ++clock_};
}

void FakeFileSystem::add_file(const std::string& path, const std::string& content) {
    std::lock_guard lock(mutex_);
    entries[path] = {os::EntryKind::file, content, 0, ++clock_};
}

std::size_t FakeFileSystem::count(std::string_view prefix) const {
    std::lock_guard lock(mutex_);
    std::size_t n = 0;
    for (const std::string& call : calls) n += call.starts_with(prefix) ? 1 : 0;
    return n;
}

os::Status FakeFileSystem::enter(std::string call) {
    calls.push_back(std::move(call));
    if (before) return logged<os::Status>(before(calls.back()));
    return {};
}

template <typename T>
T FakeFileSystem::logged(T result) {
    if (!result) calls.back() += " -> error " + std::to_string(result.error().code);
    return result;
}

os::Result<os::Metadata> FakeFileSystem::metadata(const os::NativePath& native) {
    std::lock_guard lock(mutex_);
    const std::string path = os::to_utf8(native);
    if (auto go = enter("metadata " + path); !go) return std::unexpected(go.error());
    if (real) return logged(real->metadata(native));
    auto it = entries.find(path);
    if (it == entries.end()) return logged<os::Result<os::Metadata>>(std::unexpected(not_found()));
    if (metadata_fails.contains(path)) {
        return logged<os::Result<os::Metadata>>(std::unexpected(denied()));
    }
    return os::Metadata{it->second.kind, it->second.creation_time};
}

std::optional<os::FileTime> FakeFileSystem::last_write(const os::NativePath& native) {
    std::lock_guard lock(mutex_);
    const std::string path = os::to_utf8(native);
    if (auto go = enter("stamp " + path); !go) return std::nullopt;
    if (real) return real->last_write(native);
    auto it = entries.find(path);
    if (it == entries.end()) return std::nullopt;
    return it->second.last_write;
}

os::Result<std::string> FakeFileSystem::read_file(const os::NativePath& native,
                                                  std::uint64_t max_bytes) {
    std::lock_guard lock(mutex_);
    const std::string path = os::to_utf8(native);
    if (auto go = enter("read " + path); !go) return std::unexpected(go.error());
    if (real) return logged(real->read_file(native, max_bytes));
    return read_entry(path, max_bytes);
}

os::Result<std::string> FakeFileSystem::read_own_file(const os::NativePath& native,
                                                      std::uint64_t max_bytes) {
    std::lock_guard lock(mutex_);
    const std::string path = os::to_utf8(native);
    if (auto go = enter("read own " + path); !go) return std::unexpected(go.error());
    if (real) return logged(real->read_own_file(native, max_bytes));
    return read_entry(path, max_bytes);
}

os::Result<std::string> FakeFileSystem::read_entry(const std::string& path,
                                                   std::uint64_t max_bytes) {
    auto it = entries.find(path);
    if (it == entries.end() || it->second.kind != os::EntryKind::file) {
        return logged<os::Result<std::string>>(std::unexpected(not_found()));
    }
    if (it->second.content.size() > max_bytes) {
        return logged<os::Result<std::string>>(std::unexpected(os::file_too_large(max_bytes)));
    }
    return it->second.content;
}

os::Status FakeFileSystem::write_file(const os::NativePath& native, std::string_view bytes) {
    std::lock_guard lock(mutex_);
    const std::string path = os::to_utf8(native);
    if (auto go = enter("write " + path); !go) return go;
    if (real) return logged(real->write_file(native, bytes));
    auto it = entries.find(path);
    if (it != entries.end() && it->second.kind != os::EntryKind::file) {
        return logged<os::Status>(std::unexpected(denied()));
    }
    entries[path] = {os::EntryKind::file, std::string(bytes), 0, ++clock_};
    return {};
}

os::Status FakeFileSystem::replace_file(const os::NativePath& from_native,
                                        const os::NativePath& to_native) {
    std::lock_guard lock(mutex_);
    const std::string from = os::to_utf8(from_native);
    const std::string to = os::to_utf8(to_native);
    if (auto go = enter("replace " + from + " " + to); !go) return go;
    if (real) return logged(real->replace_file(from_native, to_native));
    auto it = entries.find(from);
    if (it == entries.end()) return logged<os::Status>(std::unexpected(not_found()));
    Entry moved = std::move(it->second);
    entries.erase(it);
    entries[to] = std::move(moved);
    return {};
}

os::Status FakeFileSystem::overwrite_file(const os::NativePath& native, std::string_view bytes,
                                          std::uint64_t max_old_bytes) {
    std::lock_guard lock(mutex_);
    const std::string path = os::to_utf8(native);
    if (auto go = enter("overwrite " + path); !go) return go;
    if (real) return logged(real->overwrite_file(native, bytes, max_old_bytes));
    entries[path] = {os::EntryKind::file, std::string(bytes), 0, ++clock_};
    return {};
}

os::Status FakeFileSystem::remove_file(const os::NativePath& native) {
    std::lock_guard lock(mutex_);
    const std::string path = os::to_utf8(native);
    if (auto go = enter("remove " + path); !go) return go;
    if (real) return logged(real->remove_file(native));
    if (entries.erase(path) == 0) return logged<os::Status>(std::unexpected(not_found()));
    return {};
}

os::Status FakeFileSystem::create_folder_all(const os::NativePath& native) {
    std::lock_guard lock(mutex_);
    const std::string path = os::to_utf8(native);
    if (auto go = enter("create " + path); !go) return go;
    if (real) return logged(real->create_folder_all(native));
    if (create_fails.contains(path)) return logged<os::Status>(std::unexpected(denied()));
    auto it = entries.find(path);
    if (it != entries.end()) {
        if (it->second.kind == os::EntryKind::folder) return {};
        return logged<os::Status>(std::unexpected(os::Error::os(183, "exists")));
    }
    entries[path] = {os::EntryKind::folder, "", 0, ++clock_};
    return {};
}

os::Status FakeFileSystem::copy_file_new(const os::NativePath& from_native,
                                         const os::NativePath& to_native) {
    std::lock_guard lock(mutex_);
    const std::string from = os::to_utf8(from_native);
    const std::string to = os::to_utf8(to_native);
    if (auto go = enter("copy " + from + " " + to); !go) return go;
    if (real) return logged(real->copy_file_new(from_native, to_native));
    if (copy_fails.contains(from)) return logged<os::Status>(std::unexpected(denied()));
    if (entries.contains(to))
        return logged<os::Status>(std::unexpected(os::Error::os(80, "exists")));
    auto it = entries.find(from);
    if (it == entries.end()) return logged<os::Status>(std::unexpected(not_found()));
    entries[to] = it->second;
    return {};
}

os::Status FakeFileSystem::set_folder_creation_time(const os::NativePath& native,
                                                    os::FileTime time) {
    std::lock_guard lock(mutex_);
    const std::string path = os::to_utf8(native);
    if (auto go = enter("time " + path + " " + std::to_string(time)); !go) return go;
    if (real) return logged(real->set_folder_creation_time(native, time));
    auto it = entries.find(path);
    if (it == entries.end()) return logged<os::Status>(std::unexpected(not_found()));
    it->second.creation_time = time;
    return {};
}

std::string joined(const std::string& base, const std::string& name) {
    return os::to_utf8(os::join(os::to_native(base), name));
}

}  // namespace snv::test
