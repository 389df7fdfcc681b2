#include "model/settings_file.h"

#include <gtest/gtest.h>

#include "os/file_system.h"

#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_folder.h"

namespace snv::model {
namespace {

Settings with(auto change) {
    Settings s;
    change(s);
    return s;
}

Settings seconds(std::uint32_t n) {
    return with([n](Settings& s) { s.countdown.seconds = n; });
}

struct Case {
    std::string document;
    std::optional<Settings> expected;  // none: rejected
};

TEST(SettingsReader, Table) {
    const Settings defaults;
    const std::optional<Settings> rejected;
    const Case cases[] = {
        // The document.
        {"{}", defaults},
        {"[]", defaults},
        {" \r\n\t{}\n ", defaults},
        {"", rejected},
        {"  \n", rejected},
        {"\xef\xbb\xbf{}", rejected},
        {R"("english")", rejected},
        {"30", rejected},
        {"null", rejected},
        {"{}{}", rejected},
        {"{} x", rejected},
        {R"({"paused":true,})", rejected},
        // The countdown and its clamp.
        {R"({"countdown":{"seconds":0}})", seconds(5)},
        {R"({"countdown":{"seconds":4}})", seconds(5)},
        {R"({"countdown":{"seconds":5}})", seconds(5)},
        {R"({"countdown":{"seconds":6}})", seconds(6)},
        {R"({"countdown":{"seconds":3600}})", seconds(3600)},
        {R"({"countdown":{"seconds":3601}})", seconds(3600)},
        {R"({"countdown":{"seconds":4294967295}})", seconds(3600)},
        {R"({"countdown":{"seconds":4294967296}})", rejected},
        {R"({"countdown":{"seconds":-1}})", rejected},
        {R"({"countdown":{"seconds":30.5}})", rejected},
        {R"({"countdown":{"seconds":1e2}})", rejected},
        {R"({"countdown":{"seconds":"30"}})", rejected},
        {R"({"paused":true,"countdown":{"seconds":-1}})", rejected},
        {R"({"countdown":{}})", defaults},
        {R"({"countdown":null})", rejected},
        {R"({"countdown":true})", rejected},
        {R"({"countdown":{"sound":null}})", defaults},
        {R"({"countdown":{"sound":""}})", with([](Settings& s) { s.countdown.sound = ""; })},
        {R"({"countdown":{"sound":"a.wav","show_window":false}})", with([](Settings& s) {
             s.countdown.sound = "a.wav";
             s.countdown.show_window = false;
         })},
        {R"({"countdown":{"sound":null,"sound":null}})", rejected},
        {R"({"countdown":{"sound":7}})", rejected},
        {R"({"countdown":[false,60,"b"]})", with([](Settings& s) {
             s.countdown = Countdown{false, 60, "b"};
         })},
        {R"({"countdown":[false]})", with([](Settings& s) { s.countdown.show_window = false; })},
        {R"({"countdown":[true,30,null,1]})", rejected},
        // Unknown keys, any value, anywhere; known keys once.
        {R"({"Paused":true,"x":[{"y":[1,2,{}]}],"x":null})", defaults},
        {R"({"countdown":{"q":[[]],"q":1},"cleanup":{"z":{"a":"b"}}})", defaults},
        {R"({"paused":true})", with([](Settings& s) { s.paused = true; })},
        {R"({"paused":true,"paused":true})", rejected},
        {R"({"paused":null})", rejected},
        {R"({"paused":1})", rejected},
        {R"({"force_close_apps":false})", with([](Settings& s) { s.force_close_apps = false; })},
        {R"({"force_close_apps":"false"})", rejected},
        // The enumerations.
        {R"({"language":"english"})", with([](Settings& s) { s.language = Language::english; })},
        {R"({"language":"English"})", rejected},
        {R"({"language":{"english":null}})",
         with([](Settings& s) { s.language = Language::english; })},
        {R"({"language":{"english":1}})", rejected},
        {R"({"language":{"english":{}}})", rejected},
        {R"({"language":{"english":null,"chinese":null}})", rejected},
        {R"({"language":{}})", rejected},
        {R"({"language":1})", rejected},
        {R"({"language":null})", rejected},
        {R"({"language":"chinese","theme":"dark"})", with([](Settings& s) {
             s.language = Language::chinese;
             s.theme = Theme::dark;
         })},
        {R"({"theme":{"light":null}})", with([](Settings& s) { s.theme = Theme::light; })},
        {R"({"theme":"Dark"})", rejected},
        {R"({"theme":"english"})", rejected},
        // The cleanup flags.
        {R"({"cleanup":[true]})", with([](Settings& s) { s.cleanup.recycle_bin = true; })},
        {R"({"cleanup":{"temp_files":true,"browser_history":true}})", with([](Settings& s) {
             s.cleanup.temp_files = true;
             s.cleanup.browser_history = true;
         })},
        {R"({"cleanup":[false,false,false,false,false,true]})",
         with([](Settings& s) { s.cleanup.temp_files = true; })},
        {R"({"cleanup":[false,false,false,false,false,false,false]})", rejected},
        {R"({"cleanup":{"recycle_bin":null}})", rejected},
        {R"({"cleanup":null})", rejected},
        {R"({"cleanup":{"recycle_bin":true,"recycle_bin":true}})", rejected},
        // The positional form.
        {R"(["english","dark",false])", with([](Settings& s) {
             s.language = Language::english;
             s.theme = Theme::dark;
             s.force_close_apps = false;
         })},
        {R"(["system","system",true,{},[],true])", with([](Settings& s) { s.paused = true; })},
        {R"(["system","system",true,{},[],true,1])", rejected},
        {R"([null])", rejected},
    };
    for (const Case& c : cases) {
        auto read = read_settings(c.document);
        if (!c.expected) {
            EXPECT_FALSE(read) << "accepted: " << c.document;
        } else {
            ASSERT_TRUE(read) << read.error().reason << ": " << c.document;
            EXPECT_EQ(*read, *c.expected) << c.document;
        }
    }
}

TEST(SettingsFile, DefaultsWhenMissingOrRejectedAndFileUntouched) {
    test::TempFolder dir;
    const auto path = dir.file("settings.json");
    EXPECT_EQ(load_settings(path.native(), os::real_file_system()), Settings{});
    EXPECT_FALSE(std::filesystem::exists(path));

    const std::string bad = R"({"paused":true,"countdown":{"seconds":-1}})";
    test::write_file(path, bad);
    EXPECT_EQ(load_settings(path.native(), os::real_file_system()), Settings{});
    EXPECT_EQ(test::read_file(path), bad);

    test::write_file(path, R"({"paused":true,"countdown":{"seconds":2}})");
    Settings read = load_settings(path.native(), os::real_file_system());
    EXPECT_TRUE(read.paused);
    EXPECT_EQ(read.countdown.seconds, 5u);
}

}  // namespace
}  // namespace snv::model
