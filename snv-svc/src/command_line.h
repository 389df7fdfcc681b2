#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace snv::svc {

// Splits a Windows command line into its arguments by the Microsoft C runtime's rules, program
// name first. Only blank, TAB, double quote and backslash steer the split, so the text may be
// the UTF-8 form of the wide command line: every other byte is copied as it stands.
std::vector<std::string> split_command_line(std::string_view line);

}  // namespace snv::svc
