#pragma once

#include <cstdint>
#include <string_view>

#include "json/reader.h"
#include "json/reject.h"
#include "model/settings.h"
#include "os/file_system.h"
#include "os/path.h"

namespace snv::model {

// The most of settings.json that is read: the desktop program writes a few hundred bytes.
inline constexpr std::uint64_t kSettingsFileMaxBytes = 1u << 20;

// Reads settings.json. Never fails: a missing, unreadable, too large or rejected file gives
// the default Settings, in silence. The countdown comes out clamped to 5..3600 s.
Settings load_settings(const os::NativePath& path, os::FileSystem& files);

// The whole settings.json document, clamp included.
json::Read<Settings> read_settings(std::string_view bytes);

// "language" and "theme": "name" or {"name": null}.
json::Read<Language> read_language(json::Reader& in);
json::Read<Theme> read_theme(json::Reader& in);
// "countdown" and "cleanup", in object or positional form; no clamp here.
json::Read<Countdown> read_countdown(json::Reader& in);
json::Read<Cleanup> read_cleanup(json::Reader& in);

}  // namespace snv::model
