#include "command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/quote_argument.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

namespace snv::svc {
namespace {

struct SplitCase {
    const char* line;
    std::vector<std::string> args;
    // Wine's msvcrt reads a backslash before a quote in the program name as an escape, which
    // the documented rules (and Windows' own runtime) do not.
    bool wine_runtime_agrees = true;
};

const std::vector<SplitCase>& split_cases() {
    static const std::vector<SplitCase> cases = {
        {R"(prog)", {"prog"}},
        {R"(prog a b)", {"prog", "a", "b"}},
        {"prog  a\t\tb  ", {"prog", "a", "b"}},
        {R"("C:\Program Files\x.exe" a)", {R"(C:\Program Files\x.exe)", "a"}},
        {R"(C:\dir\"x y"\p.exe z)", {R"(C:\dir\x y\p.exe)", "z"}, false},
        {R"(C:\a\"b c)", {R"(C:\a\b c)"}, false},  // unterminated quote in the program name
        {R"(p "" "")", {"p", "", ""}},
        {R"(p a"b c"d)", {"p", "ab cd"}},
        {R"(p a\\b \c\)", {"p", R"(a\\b)", R"(\c\)"}},
        {R"(p a\\\\"b c")", {"p", R"(a\\b c)"}},
        {R"(p a\\\"b)", {"p", R"(a\"b)"}},
        {R"(p \"a)", {"p", R"("a)"}},
        {R"(p "a\\" b)", {"p", R"(a\)", "b"}},
        {R"(p "a b)", {"p", "a b"}},
        {R"(p "a""b")", {"p", R"(a"b)"}},
        {R"(p "a""b c")", {"p", R"(a"b c)"}},
        {R"(p """")", {"p", R"(")"}},
        {R"(p """ x)", {"p", R"(" x)"}},
        {R"(p a""b)", {"p", "ab"}},
        {R"(p "")", {"p", ""}},
        {R"(p --data "C:\My Data\\" /install)", {"p", "--data", R"(C:\My Data\)", "/install"}},
        {"p \xc3\xa4 \"\xc3\xb6 \xc3\xbc\"", {"p", "\xc3\xa4", "\xc3\xb6 \xc3\xbc"}},
        {R"( p)", {"", "p"}},
        {R"()", {""}},
    };
    return cases;
}

TEST(SplitCommandLine, FollowsTheCRuntimeRules) {
    for (const SplitCase& c : split_cases()) {
        EXPECT_EQ(split_command_line(c.line), c.args) << "command line: [" << c.line << "]";
    }
}

TEST(QuoteArgument, SplitGivesTheArgumentBack) {
    const std::pair<const char*, const char*> cases[] = {
        {"plain", "plain"},
        {"", R"("")"},
        {"two words", R"("two words")"},
        {R"(C:\My Data\)", R"("C:\My Data\\")"},
        {R"(a\"b)", R"("a\\\"b")"},
        {R"(no\space\)", R"(no\space\)"},
        {"line\nfeed", "\"line\nfeed\""},
        {"v\vt", "\"v\vt\""},
    };
    for (const auto& [arg, quoted] : cases) {
        EXPECT_EQ(os::quote_argument(arg), quoted);
        EXPECT_EQ(split_command_line("p " + os::quote_argument(arg)),
                  (std::vector<std::string>{"p", arg}));
    }
}

// The C runtime's own argument vector of a child started with these lines must match ours.
std::vector<std::string> unhex(const std::string& out, bool second_half) {
    std::vector<std::string> args;
    bool in_second = false;
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find('\n', start);
        std::string line = out.substr(start, end - start);
        start = end == std::string::npos ? out.size() : end + 1;
        if (line == "--") {
            in_second = true;
            continue;
        }
        if (in_second != second_half || line.empty() || line[0] != '=') continue;
        std::string arg;
        for (std::size_t i = 1; i + 1 < line.size(); i += 2) {
            arg += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
        }
        args.push_back(arg);
    }
    return args;
}

#ifdef _WIN32
TEST(SplitCommandLine, AgreesWithTheCRuntimeOfAChild) {
    auto probe = test::built_program("argv_probe");
    for (const SplitCase& c : split_cases()) {
        std::string line = c.line;
        if (line.empty() || line[0] == ' ') continue;  // the runtime puts a name in there
        test::ChildRun run = test::run_child_line(probe, line);
        ASSERT_EQ(run.exit_code, 0) << run.err;
        std::vector<std::string> crt = unhex(run.out, false);
        std::vector<std::string> ours = unhex(run.out, true);
        EXPECT_EQ(ours, c.args) << "command line: [" << line << "]";
        if (c.wine_runtime_agrees) {
            EXPECT_EQ(crt, ours) << "command line: [" << line << "]";
        }
    }
}

TEST(SplitCommandLine, UnpairedSurrogateBecomesAReplacementCharacter) {
    std::wstring line = L"argv_probe a";
    line += static_cast<wchar_t>(0xD800);
    line += L"b \"c d\"";
    test::ChildRun run = test::run_child_wide_line(test::built_program("argv_probe"), line);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(unhex(run.out, true), (std::vector<std::string>{"argv_probe",
                                                              "a\xef\xbf\xbd"
                                                              "b",
                                                              "c d"}));
}
#endif

// Natively the arguments arrive split; the process's command line puts them back together,
// and the split must give them back unchanged.
TEST(SplitCommandLine, ProcessCommandLineGivesBackTheArguments) {
    const std::vector<std::string> args = {"plain",
                                           "",
                                           "two words",
                                           R"(quote"inside)",
                                           R"(back\slash)",
                                           R"(trailing\)",
                                           R"(trail "\\)",
                                           "tab\there",
                                           "\xc3\xa4\xe2\x80\x94",
                                           R"(\\"\\)",
                                           "--data"};
    test::ChildRun run = test::run_child(test::built_program("argv_probe"), args);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    std::vector<std::string> crt = unhex(run.out, false);
    std::vector<std::string> ours = unhex(run.out, true);
    ASSERT_EQ(crt.size(), args.size() + 1);
    EXPECT_EQ(std::vector<std::string>(crt.begin() + 1, crt.end()), args);
    EXPECT_EQ(ours, crt);
}

}  // namespace
}  // namespace snv::svc
