#include <sys/stat.h>

#include "os/file_stamp.h"

namespace snv::os {

namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t kEpochGap = 11'644'473'600ULL;

class StatFileStamps final : public FileStamps {
  public:
    std::optional<FileTime> last_write(const NativePath& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return std::nullopt;
        // Unsigned arithmetic: times before 1601 wrap instead of overflowing, and distinct
        // times stay distinct, which is all a stamp is compared for.
        const auto sec = static_cast<std::uint64_t>(st.st_mtim.tv_sec);
        const auto hundreds = static_cast<std::uint64_t>(st.st_mtim.tv_nsec) / 100;
        return (sec + kEpochGap) * 10'000'000ULL + hundreds;
    }
};

}  // namespace

FileStamps& real_file_stamps() {
    static StatFileStamps stamps;
    return stamps;
}

}  // namespace snv::os
