#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace snv::model {

// Display language and colour theme of the desktop program; read and kept only.
enum class Language : std::uint8_t { system = 0, english = 1, chinese = 2 };
enum class Theme : std::uint8_t { system = 0, light = 1, dark = 2 };

std::optional<Language> parse_language_name(std::string_view name);
std::optional<Theme> parse_theme_name(std::string_view name);

// The countdown before a task's action.
struct Countdown {
    bool show_window = true;
    std::uint32_t seconds = 30;        // 5 to 3600 after loading settings.json
    std::optional<std::string> sound;  // none, or a text (the empty one too)

    bool operator==(const Countdown&) const = default;
};

inline constexpr std::uint32_t kMinCountdownSeconds = 5;
inline constexpr std::uint32_t kMaxCountdownSeconds = 3600;

// Cleanup flags of the desktop program; the service performs no cleanup, it only carries them.
struct Cleanup {
    bool recycle_bin = false;
    bool browser_cache = false;
    bool browser_cookies = false;
    bool browser_history = false;
    bool recent_documents = false;
    bool temp_files = false;

    bool operator==(const Cleanup&) const = default;
};

// The preferences of settings.json. A default-constructed value is the default Settings.
struct Settings {
    Language language = Language::system;
    Theme theme = Theme::system;
    bool force_close_apps = true;
    Countdown countdown;
    Cleanup cleanup;
    bool paused = false;  // while true the day plan is empty

    bool operator==(const Settings&) const = default;
};

}  // namespace snv::model
