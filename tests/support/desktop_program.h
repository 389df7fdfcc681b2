#pragma once

// Stand-ins for the desktop program and other programs in the Windows build's tests: a child
// process that holds its mutex (or a file), and a Duskpanel.exe that records how it was started.

#include <filesystem>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/temp_folder.h"

namespace snv::test {

// A child process holding something from construction until release() (or the end of the
// object). Windows only.
class HeldByChild {
  public:
    ~HeldByChild();
    HeldByChild(const HeldByChild&) = delete;
    HeldByChild& operator=(const HeldByChild&) = delete;

    // True once the child holds it.
    bool held() const { return held_; }
    // Lets the child let go and waits until it has ended; its exit code.
    int release();

  protected:
    // The probe `holder` with the kind and the name of what it holds.
    HeldByChild(const std::string& kind, const std::string& name,
                const std::filesystem::path& folder);

  private:
    std::filesystem::path folder_;
    std::thread child_;
    ChildRun run_;
    bool held_ = false;
    bool released_ = false;
};

// The named mutex, held as the desktop program holds its own.
class HeldMutex : public HeldByChild {
  public:
    HeldMutex(const std::string& name, const std::filesystem::path& folder)
        : HeldByChild("mutex", name, folder) {}
};

// A file open for reading without write or delete sharing, as another program may hold one:
// it can be read meanwhile, but not deleted.
class HeldFile : public HeldByChild {
  public:
    HeldFile(const std::filesystem::path& file, const std::filesystem::path& folder)
        : HeldByChild("file", os_form(file), folder) {}
};

// Copies the stand-in Duskpanel.exe into `folder`. Started there, it writes its command line
// and its current folder, a line each, to `folder`/started.txt.
void install_duskpanel_standin(const std::filesystem::path& folder);

// The two lines the stand-in wrote, once started.txt exists (waiting up to 30 s); empty when
// it never appears.
std::string wait_for_standin_record(const std::filesystem::path& folder);

}  // namespace snv::test
