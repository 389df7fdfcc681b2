#pragma once

// Stand-ins for the desktop program in the Windows build's tests: a child process that holds
// its mutex, and a Duskpanel.exe that records how it was started.

#include <filesystem>
#include <string>
#include <thread>

#include "support/child_process.h"

namespace snv::test {

// A child process holding the named mutex from construction until release() (or the end of
// the object). Windows only.
class HeldMutex {
  public:
    HeldMutex(const std::string& name, const std::filesystem::path& folder);
    ~HeldMutex();
    HeldMutex(const HeldMutex&) = delete;
    HeldMutex& operator=(const HeldMutex&) = delete;

    // True once the child holds the mutex.
    bool held() const { return held_; }
    // Lets the child close the mutex and waits until it has ended; its exit code.
    int release();

  private:
    std::filesystem::path folder_;
    std::thread child_;
    ChildRun run_;
    bool held_ = false;
    bool released_ = false;
};

// Copies the stand-in Duskpanel.exe into `folder`. Started there, it writes its command line
// and its current folder, a line each, to `folder`/started.txt.
void install_duskpanel_standin(const std::filesystem::path& folder);

// The two lines the stand-in wrote, once started.txt exists (waiting up to 30 s); empty when
// it never appears.
std::string wait_for_standin_record(const std::filesystem::path& folder);

}  // namespace snv::test
