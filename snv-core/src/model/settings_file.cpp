#include "model/settings_file.h"

#include <algorithm>
#include <utility>

#include "json/record.h"
#include "json/values.h"
#include "model/read_helpers.h"

namespace snv::model {

// Value readers picked by type (through argument-dependent lookup) by the record fields.
static json::Checked read_value(json::Reader& in, Language& out) {
    return store(read_language(in), out);
}
static json::Checked read_value(json::Reader& in, Theme& out) {
    return store(read_theme(in), out);
}
static json::Checked read_value(json::Reader& in, Countdown& out) {
    return store(read_countdown(in), out);
}
static json::Checked read_value(json::Reader& in, Cleanup& out) {
    return store(read_cleanup(in), out);
}

json::Read<Language> read_language(json::Reader& in) {
    return read_named(in, parse_language_name);
}

json::Read<Theme> read_theme(json::Reader& in) {
    return read_named(in, parse_theme_name);
}

json::Read<Countdown> read_countdown(json::Reader& in) {
    Countdown c;
    if (auto ok = json::read_record(in,
                                    {
                                        json::with_default("show_window", c.show_window),
                                        json::with_default("seconds", c.seconds),
                                        json::with_default("sound", c.sound),
                                    });
        !ok) {
        return std::unexpected(ok.error());
    }
    return c;
}

json::Read<Cleanup> read_cleanup(json::Reader& in) {
    Cleanup c;
    if (auto ok = json::read_record(in,
                                    {
                                        json::with_default("recycle_bin", c.recycle_bin),
                                        json::with_default("browser_cache", c.browser_cache),
                                        json::with_default("browser_cookies", c.browser_cookies),
                                        json::with_default("browser_history", c.browser_history),
                                        json::with_default("recent_documents", c.recent_documents),
                                        json::with_default("temp_files", c.temp_files),
                                    });
        !ok) {
        return std::unexpected(ok.error());
    }
    return c;
}

json::Read<Settings> read_settings(std::string_view bytes) {
    auto settings = json::read_document(bytes, [](json::Reader& in) -> json::Read<Settings> {
        Settings s;
        if (auto ok =
                json::read_record(in,
                                  {
                                      json::with_default("language", s.language),
                                      json::with_default("theme", s.theme),
                                      json::with_default("force_close_apps", s.force_close_apps),
                                      json::with_default("countdown", s.countdown),
                                      json::with_default("cleanup", s.cleanup),
                                      json::with_default("paused", s.paused),
                                  });
            !ok) {
            return std::unexpected(ok.error());
        }
        return s;
    });
    if (settings) {
        settings->countdown.seconds =
            std::clamp(settings->countdown.seconds, kMinCountdownSeconds, kMaxCountdownSeconds);
    }
    return settings;
}

Settings load_settings(const os::NativePath& path, os::FileSystem& files) {
    auto bytes = files.read_file(path, kSettingsFileMaxBytes);
    if (!bytes) return {};
    auto settings = read_settings(*bytes);
    if (!settings) return {};
    return std::move(*settings);
}

}  // namespace snv::model
