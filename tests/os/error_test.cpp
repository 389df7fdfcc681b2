#include "os/error.h"

#include <gtest/gtest.h>

#include "os/system_error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

using snv::os::Error;

TEST(Error, OsErrorShowsMessageAndCodeOwnTextStandsAlone) {
    struct Case {
        Error error;
        const char* text;
    };
    const Case cases[] = {
        {Error::os(5, "Access is denied."), "Access is denied. (os error 5)"},
        // A failed call may leave the code at 0; it is still the system's error.
        {Error::os(0, "The operation completed successfully."),
         "The operation completed successfully. (os error 0)"},
        {Error::own("this action needs a logged-on user"), "this action needs a logged-on user"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.error.to_string(), c.text);
}

TEST(Error, ALastErrorOfZeroIsStillAnOsError) {
#ifdef _WIN32
    SetLastError(0);
#else
    errno = 0;
#endif
    const Error error = snv::os::last_system_error();
    EXPECT_TRUE(error.is_os());
    EXPECT_EQ(error.code, 0u);
    EXPECT_TRUE(error.to_string().ends_with(" (os error 0)")) << error.to_string();
}
