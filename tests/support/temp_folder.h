#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace snv::test {

// A path of this build's folder as the test process sees it: under Wine a Unix path needs its
// drive, Z:, to stay absolute.
std::filesystem::path build_path(std::string_view relative);

// The built executable `name` (".exe" added on Windows).
std::filesystem::path built_program(std::string_view name);

// The path in the form the platform's own calls are given, as UTF-8 (backslashes on Windows).
std::string os_form(const std::filesystem::path& path);

// A fresh empty folder under the build folder (where a run under Wine and the native tools both
// find it), removed with its contents at the end of the test.
class TempFolder {
  public:
    explicit TempFolder(std::string_view name = "tmp");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path file(std::string_view name) const { return path_ / name; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// Whole-file helpers for test data.
void write_file(const std::filesystem::path& path, std::string_view content);
std::string read_file(const std::filesystem::path& path);

}  // namespace snv::test
