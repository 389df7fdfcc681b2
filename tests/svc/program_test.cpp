// The built executable, run as a child process with the arguments a user would type.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/child_process.h"
#include "support/temp_folder.h"

namespace snv::svc {
namespace {

constexpr const char* kUsage = "'. Use /install, /uninstall or /console.\n";
constexpr const char* kHint =
    "This program is a Windows service. Use /install, /uninstall or /console.\n";
constexpr const char* kCallFailed = "Somnivo Service: IO error in winapi call\n";

class ProgramTest : public ::testing::Test {
  protected:
    test::ChildRun run(const std::vector<std::string>& args) {
        // The default data folder is kept inside the test folder.
        return test::run_child(test::built_program("snv-svc"), args,
                               {{"SNV_DATA_DIR", test::os_form(folder_ / "default")}});
    }
    test::TempFolder folder_{"program"};
};

TEST_F(ProgramTest, UnknownOptionsAreNamedLowered) {
    struct Case {
        std::vector<std::string> args;
        std::string shown;
    };
    const Case cases[] = {
        {{"Foo"}, "foo"},
        {{"Foo", "/install"}, "foo"},
        {{""}, ""},
        {{"-/-"}, ""},
        {{"/CON"}, "con"},
        {{"-data", "x"}, "data"},
        {{"--data=x"}, "data=x"},
        {{"/\xc3\x84"
          "Bc"},
         "\xc3\x84"
         "bc"},
    };
    for (const Case& c : cases) {
        test::ChildRun r = run(c.args);
        EXPECT_EQ(r.exit_code, 2) << c.shown;
        EXPECT_EQ(r.err, "Unknown option '" + c.shown + kUsage);
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(ProgramTest, DataGivenTwiceFixesTheFirstAndNamesData) {
    auto first = folder_ / "first";
    auto second = folder_ / "second";
    test::ChildRun r = run({"--data", test::os_form(first), "--data", test::os_form(second)});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, std::string("Unknown option 'data") + kUsage);
    EXPECT_TRUE(std::filesystem::is_directory(first));
    EXPECT_FALSE(std::filesystem::exists(second));
}

TEST_F(ProgramTest, DataFolderIsCreatedWithItsParents) {
    auto dir = folder_ / "a" / "b" / "D";
    test::ChildRun r = run({"--DATA", test::os_form(dir), "x"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err, std::string("Unknown option 'x") + kUsage);
    EXPECT_TRUE(std::filesystem::is_directory(dir));
}

TEST_F(ProgramTest, NoCommandRunsTheDispatcherWhichFailsFromAConsole) {
    for (const auto& args : {std::vector<std::string>{}, {"--data"}, {"--data", ""}}) {
        test::ChildRun r = run(args);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.err, std::string(kCallFailed) + kHint);
    }
}

#ifndef _WIN32
// Linux has no service manager: its open fails, and the error is printed without the hint.
// (The Windows build meets Wine's real manager in the service-manager tests.)
TEST_F(ProgramTest, ManagerCommandsFailWithoutTheHintWhereNoManagerAnswers) {
    for (const char* command : {"/install", "--uninstall"}) {
        test::ChildRun r = run({command, "ignored"});
        EXPECT_EQ(r.exit_code, 1) << command;
        EXPECT_EQ(r.err, kCallFailed) << command;
        EXPECT_EQ(r.out, "");
    }
}
#endif

}  // namespace
}  // namespace snv::svc
