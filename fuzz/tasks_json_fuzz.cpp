// Any bytes given to the tasks.json reader: never a crash, and what it accepts writes back and
// reads again to the same records.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/task_reader.h"
#include "model/task_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto file = snv::model::read_task_file(bytes);
    if (!file) return 0;
    const std::string text = snv::model::write_task_file(*file);
    auto again = snv::model::read_task_file(text);
    if (!again || !(*again == *file) || snv::model::write_task_file(*again) != text) {
        __builtin_trap();
    }
    return 0;
}
