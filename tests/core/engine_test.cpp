#include "engine/engine.h"

#include <gtest/gtest.h>

#include "support/model_builders.h"

#include "support/fake_engine_env.h"

namespace {

using snv::calendar::Date;
using snv::calendar::TimeOfDay;
using snv::engine::Engine;
using snv::engine::FiredKey;
using snv::engine::TriggerKind;
namespace os = snv::os;

using snv::test::date;
TimeOfDay hms(unsigned h, unsigned m, unsigned s = 0, std::uint32_t ns = 0) {
    return snv::test::time(h, m, s, ns);
}

using Seams = snv::test::FakeEngineEnv;

TEST(Engine, StartsEmptyWithOneProcessorSample) {
    Seams seams;
    seams.cpu.script = {os::CpuTimes{10, 30, 40}, os::CpuTimes{99, 99, 99}};
    const Engine engine(seams.env());
    EXPECT_EQ(seams.cpu.reads, 1);
    EXPECT_EQ(engine.cpu_prev, (os::CpuTimes{10, 30, 40}));
    EXPECT_EQ(engine.day_plan, snv::schedule::DayPlan{});
    EXPECT_EQ(engine.day_plan.date, std::nullopt);
    EXPECT_TRUE(engine.idle_armed.empty() && engine.cpu_accum.empty() && engine.fired.empty());
    EXPECT_TRUE(engine.tasks.empty() && engine.pending.empty());
    EXPECT_EQ(engine.settings, snv::model::Settings{});
    EXPECT_EQ(engine.settings.countdown.seconds, 30u);
    EXPECT_TRUE(engine.settings.force_close_apps);
    EXPECT_TRUE(engine.force_reload);
    EXPECT_FALSE(engine.desktop_running);
    EXPECT_FALSE(engine.user_signed_in);
    EXPECT_FALSE(engine.last_reload || engine.last_cpu_sample || engine.last_probe ||
                 engine.no_user_since || engine.tasks_stamp || engine.settings_stamp ||
                 engine.loaded_date || engine.last_cpu_eval);
}

TEST(Engine, AFailedProcessorReadLeavesNoSample) {
    Seams seams;  // an empty script: the read fails
    const Engine engine(seams.env());
    EXPECT_EQ(seams.cpu.reads, 1);
    EXPECT_EQ(engine.cpu_prev, std::nullopt);
}

TEST(Engine, FiredKeysAreWholeValues) {
    std::unordered_set<FiredKey, snv::engine::FiredKeyHash> fired;
    EXPECT_TRUE(fired.insert({date(2025, 3, 12), "a", hms(21, 59, 30)}).second);
    EXPECT_FALSE(fired.insert({date(2025, 3, 12), "a", hms(21, 59, 30)}).second);
    EXPECT_TRUE(fired.insert({date(2025, 3, 12), "a", hms(21, 59, 0)}).second);   // other time
    EXPECT_TRUE(fired.insert({date(2025, 3, 13), "a", hms(21, 59, 30)}).second);  // other date
    EXPECT_TRUE(fired.insert({date(2025, 3, 12), "A", hms(21, 59, 30)}).second);  // other id
    EXPECT_TRUE(fired.insert({date(2025, 3, 12), "", hms(21, 59, 30)}).second);
    EXPECT_EQ(fired.size(), 5u);
}

TEST(Engine, TriggerKindNames) {
    EXPECT_EQ(snv::engine::trigger_kind_name(TriggerKind::timer), "timer");
    EXPECT_EQ(snv::engine::trigger_kind_name(TriggerKind::idle), "idle");
    EXPECT_EQ(snv::engine::trigger_kind_name(TriggerKind::cpu), "cpu");
}

}  // namespace
