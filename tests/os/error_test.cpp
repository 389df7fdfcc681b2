#include "os/error.h"

#include <gtest/gtest.h>

using snv::os::Error;

TEST(Error, OsErrorShowsMessageAndCode) {
    EXPECT_EQ(Error::os(5, "Access is denied.").to_string(), "Access is denied. (os error 5)");
    EXPECT_EQ(Error::own("this action needs a logged-on user").to_string(),
              "this action needs a logged-on user");
}
