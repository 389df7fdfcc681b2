#include "model/settings.h"

#include "model/names.h"

namespace snv::model {

namespace {

constexpr NameTable<Language, 3> kLanguages{{"system", "english", "chinese"}};
constexpr NameTable<Theme, 3> kThemes{{"system", "light", "dark"}};

}  // namespace

std::optional<Language> parse_language_name(std::string_view name) {
    return kLanguages.parse(name);
}
std::optional<Theme> parse_theme_name(std::string_view name) {
    return kThemes.parse(name);
}

}  // namespace snv::model
