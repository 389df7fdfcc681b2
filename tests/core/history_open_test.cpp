#include "history/open_db.h"

#include <gtest/gtest.h>

#include "core/history_fakes.h"

namespace snv::history {
namespace {

using namespace testing;

struct OpenFixture : ::testing::Test {
    FakeClock clock;
    FakeStore store;
    OpenFixture() { store.clock = &clock; }
};

TEST_F(OpenFixture, FreeFileOpensAtOnce) {
    auto db = open_history_db(store, clock, os::to_native("h.redb"));
    ASSERT_TRUE(db);
    EXPECT_EQ(store.opens, 1);
    EXPECT_EQ(clock.sleeps, 0);
}

TEST_F(OpenFixture, WaitsWhileHeldAndOpensAtFirstAttemptAfterRelease) {
    store.held_until = clock.now + 1000ms + 5ms;
    auto db = open_history_db(store, clock, os::to_native("h.redb"));
    ASSERT_TRUE(db);
    // Attempts every 20 ms: the one at 1020 ms is the first after the release at 1005 ms.
    EXPECT_EQ(store.opens, 52);
    EXPECT_EQ(store.open_times.back() - store.open_times.front(), 1020ms);
}

TEST_F(OpenFixture, GivesUpAfterThreeSeconds) {
    store.held_forever = true;
    clock.per_reading = 1ms;  // every clock reading costs a little time, as a real attempt does
    auto db = open_history_db(store, clock, os::to_native("h.redb"));
    ASSERT_FALSE(db);
    EXPECT_EQ(db.error().kind, OpenError::Kind::already_open);
    const auto span = store.open_times.back() - store.open_times.front();
    EXPECT_LT(span, 3000ms + 20ms + 2ms);
    EXPECT_GE(span, 3000ms - 40ms);
    // The end of the last attempt is at or past the patience, the one before it was not.
    EXPECT_GE(clock.now - store.open_times.front(), 3000ms);
}

TEST_F(OpenFixture, OtherErrorsReturnAtOnce) {
    store.open_error = OpenError{OpenError::Kind::other, os::Error::own("not a redb file")};
    auto db = open_history_db(store, clock, os::to_native("h.redb"));
    ASSERT_FALSE(db);
    EXPECT_EQ(db.error().kind, OpenError::Kind::other);
    EXPECT_EQ(store.opens, 1);
    EXPECT_EQ(clock.sleeps, 0);
}

}  // namespace
}  // namespace snv::history
