#pragma once

#include <string>
#include <string_view>

namespace snv::os {

// One argument quoted for a Windows command line so that the C runtime's splitting rules give
// it back unchanged. Text without blanks, TABs, line feeds, vertical tabs and quotes (and not
// empty) stays as it is.
std::string quote_argument(std::string_view arg);

}  // namespace snv::os
