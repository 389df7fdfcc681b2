#include "os/environment.h"

#include <cstdlib>
#include <string>

namespace snv::os {

namespace {

class PosixEnvironment final : public Environment {
  public:
    std::optional<NativePath> variable(std::string_view name) override {
        const char* value = std::getenv(std::string(name).c_str());
        if (value == nullptr) return std::nullopt;
        return NativePath(value);
    }

    // Like the Windows answer, the folder ends with a separator.
    Result<NativePath> temp_folder() override {
        const char* tmpdir = std::getenv("TMPDIR");
        NativePath folder = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
        if (folder.back() != '/') folder += '/';
        return folder;
    }
};

}  // namespace

Environment& real_environment() {
    static PosixEnvironment environment;
    return environment;
}

}  // namespace snv::os
