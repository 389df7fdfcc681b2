#pragma once

#include <string_view>

namespace snv::os {

// Standard output and error. UTF-8 text is shown as Unicode on a console window and written as
// its bytes when the stream is redirected to a file or a pipe. Failures are not reported.
class Console {
  public:
    virtual ~Console() = default;
    virtual void write_out(std::string_view utf8) = 0;
    virtual void write_err(std::string_view utf8) = 0;
};

Console& real_console();

}  // namespace snv::os
