#pragma once

#include <string_view>

namespace snv {

// Names under which the service is registered and reports itself.
inline constexpr std::string_view kServiceName = "Orvanel";
inline constexpr std::string_view kDisplayName = "Somnivo Service";
inline constexpr std::string_view kServiceDescription =
    "Runs Somnivo tasks when nobody is signed in.";

// Folder name of the data folder, under both the per-user and the machine-wide base.
inline constexpr std::string_view kProductFolder = "Somnivo";

}  // namespace snv
