#include "os/files.h"

namespace snv::os {

namespace {

bool is_separator(NativeChar c) {
#ifdef _WIN32
    return c == L'\\' || c == L'/';
#else
    return c == '/';
#endif
}

}  // namespace

NativePath folder_of(const NativePath& path) {
    std::size_t end = path.size();
    while (end > 0 && !is_separator(path[end - 1])) --end;
    if (end == 0) return {};
    NativePath folder = path.substr(0, end);
    // Keep a root ("/", "C:\") as it is; drop the separator after any other folder.
    while (folder.size() > 1 && is_separator(folder.back()) &&
           !(folder.size() == 3 && folder[1] == ':')) {
        folder.pop_back();
    }
    return folder;
}

}  // namespace snv::os
