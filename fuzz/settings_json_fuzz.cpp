// Any bytes given to the settings.json reader: never a crash, and an accepted file always
// yields a countdown within its bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto settings = snv::model::read_settings(bytes);
    if (settings && (settings->countdown.seconds < snv::model::kMinCountdownSeconds ||
                     settings->countdown.seconds > snv::model::kMaxCountdownSeconds)) {
        __builtin_trap();
    }
    return 0;
}
