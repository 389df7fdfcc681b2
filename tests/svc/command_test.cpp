#include "command.h"

#include <gtest/gtest.h>

#include "report_error.h"
#include "service_error.h"

namespace snv::svc {
namespace {

TEST(ParseCommand, NormalisesAndMatches) {
    struct Case {
        const char* argument;
        Command command;
        const char* text;
    };
    const Case cases[] = {
        {"/install", Command::install, "install"},
        {"--INSTALL", Command::install, "install"},
        {"-/-/Uninstall", Command::uninstall, "uninstall"},
        {"console", Command::console, "console"},
        {"/c", Command::console, "c"},
        {"C", Command::console, "c"},
        {"/con", Command::unknown, "con"},
        {"/installx", Command::unknown, "installx"},
        {"Foo", Command::unknown, "foo"},
        {"", Command::unknown, ""},
        {"-/-/", Command::unknown, ""},
        {"-data", Command::unknown, "data"},
        {"--data=D", Command::unknown, "data=d"},
        {"/install/", Command::unknown, "install/"},
        {"/\xc3\x84"
         "Bc",
         Command::unknown,
         "\xc3\x84"
         "bc"},  // non-ASCII letters stay
    };
    for (const Case& c : cases) {
        ParsedCommand parsed = parse_command(c.argument);
        EXPECT_EQ(parsed.command, c.command) << c.argument;
        EXPECT_EQ(parsed.text, c.text) << c.argument;
    }
}

TEST(TakeDataOption, RemovesTheFirstOptionAndItsValue) {
    using Args = std::vector<std::string>;
    struct Case {
        Args before;
        Args after;
        std::vector<std::string> folders_set;
    };
    const Case cases[] = {
        {{"--data", "D", "x"}, {"x"}, {"D"}},
        {{"/install", "--DATA", "D"}, {"/install"}, {"D"}},
        {{"--DaTa", "D"}, {}, {"D"}},
        {{"--data"}, {}, {}},
        {{"--data", "", "/console"}, {"/console"}, {}},
        {{"--data", "A", "--data", "B"}, {"--data", "B"}, {"A"}},
        {{"--data", "--data"}, {}, {"--data"}},
        {{"-data", "D"}, {"-data", "D"}, {}},
        {{"--data=D"}, {"--data=D"}, {}},
        {{"--datA ", "D"}, {"--datA ", "D"}, {}},
        {{"x", "y"}, {"x", "y"}, {}},
        {{"--data", " D "}, {}, {" D "}},
    };
    for (const Case& c : cases) {
        Args args = c.before;
        std::vector<std::string> set;
        take_data_option(args, [&](std::string_view folder) { set.emplace_back(folder); });
        EXPECT_EQ(args, c.after);
        EXPECT_EQ(set, c.folders_set);
    }
}

TEST(ServiceErrorText, FourKinds) {
    EXPECT_EQ(ServiceError::system_call(5).text(), "IO error in winapi call");
    EXPECT_EQ(ServiceError::system_call(1063).text(), "IO error in winapi call");
    EXPECT_EQ(ServiceError::nul_in_text("display name").text(), "display name contains a nul byte");
    EXPECT_EQ(ServiceError::nul_in_element("launch argument", 1).text(),
              "launch argument contains a nul byte in element at 1 index");
    EXPECT_EQ(ServiceError::invalid_value("service status").text(), "invalid service status value");
}

TEST(ReportError, ErrorLineAndHint) {
    EXPECT_EQ(error_report(ServiceError::system_call(120), false),
              "Somnivo Service: IO error in winapi call\n");
    EXPECT_EQ(error_report(ServiceError::nul_in_text("service name"), true),
              "Somnivo Service: service name contains a nul byte\n"
              "This program is a Windows service. Use /install, /uninstall or /console.\n");
}

}  // namespace
}  // namespace snv::svc
