#include "os/path.h"

#include <gtest/gtest.h>

#include "os/clock.h"

namespace os = snv::os;

TEST(Path, JoinFollowsThePlatformSeparatorRule) {
#ifdef _WIN32
    EXPECT_EQ(os::join(L"C:\\Users\\a", "Somnivo"), L"C:\\Users\\a\\Somnivo");
    EXPECT_EQ(os::join(L"C:\\Temp\\", "Somnivo"), L"C:\\Temp\\Somnivo");
    EXPECT_EQ(os::join(L"C:/Temp/", "Somnivo"), L"C:/Temp/Somnivo");
    EXPECT_EQ(os::join(L"C:", "Somnivo"), L"C:Somnivo");
    EXPECT_EQ(os::join(L"", "Somnivo"), L"Somnivo");
    EXPECT_EQ(os::join(L"CD", "x"), L"CD\\x");
#else
    EXPECT_EQ(os::join("/home/a", "Somnivo"), "/home/a/Somnivo");
    EXPECT_EQ(os::join("/tmp/", "Somnivo"), "/tmp/Somnivo");
    EXPECT_EQ(os::join("", "Somnivo"), "Somnivo");
    EXPECT_EQ(os::join("dir\\", "x"), "dir\\/x");
#endif
}

TEST(Path, Utf16ConversionsRoundTripAndReplaceBrokenInput) {
    const std::string text = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";  // a é 中 😀
    EXPECT_EQ(os::utf8_to_utf16(text), u"a\u00E9\u4E2D\U0001F600");
    EXPECT_EQ(os::utf16_to_utf8(os::utf8_to_utf16(text)), text);
    EXPECT_EQ(os::utf16_to_utf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(os::utf8_to_utf16("\xFF"
                                "a"),
              u"\uFFFDa");
    EXPECT_EQ(os::utf8_to_utf16("\xE4\xB8"), u"\uFFFD");        // cut short
    EXPECT_EQ(os::utf8_to_utf16("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong
    EXPECT_EQ(os::utf8_to_utf16("\xED\xA0\x80"), u"\uFFFD");    // encoded surrogate
    EXPECT_EQ(os::to_utf8(os::to_native(text)), text);
}

TEST(Clock, MonotonicNeverGoesBackAndLocalTimeIsValid) {
    auto& clock = os::real_clock();
    auto a = clock.monotonic_now();
    clock.sleep_for(std::chrono::milliseconds(5));
    auto b = clock.monotonic_now();
    EXPECT_GE(b - a, std::chrono::milliseconds(4));
    os::LocalTime t = clock.local_now();
    EXPECT_GE(t.year, 2020);
    EXPECT_TRUE(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31);
    EXPECT_TRUE(t.hour < 24 && t.minute < 60 && t.second < 60 && t.nanosecond < 1'000'000'000u);
}
