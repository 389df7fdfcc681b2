#include <algorithm>
#include <array>

#include "calendar/unicode_space.h"
#include "engine/detail_text.h"

namespace snv::engine {

namespace {

constexpr std::array<std::string_view, 8> kActionLabels{
    "Shut down", "Restart",          "Sleep",       "Hibernate", "Sign out",
    "Lock",      "Turn off display", "Screensaver",
};

// True when the text holds nothing but White_Space characters; invalid UTF-8 is content.
bool is_blank(std::string_view text) {
    while (!text.empty()) {
        const std::size_t n = calendar::unicode_space_length(text);
        if (n == 0) return false;
        text.remove_prefix(n);
    }
    return true;
}

}  // namespace

std::string_view action_label(model::Action action) {
    return kActionLabels[static_cast<std::size_t>(action) % kActionLabels.size()];
}

std::string task_label(const model::Task& task) {
    if (!is_blank(task.name)) return task.name;
    return std::string(action_label(task.action));
}

std::string execution_detail(const std::vector<model::Task>& tasks, std::string_view task_id) {
    const auto it = std::find_if(tasks.begin(), tasks.end(),
                                 [&](const model::Task& t) { return t.id == task_id; });
    if (it == tasks.end()) return {};
    return task_label(*it) + std::string(kDetailSeparator) + it->trigger.describe();
}

}  // namespace snv::engine
