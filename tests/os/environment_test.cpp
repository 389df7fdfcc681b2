#include "os/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "os/process.h"

namespace snv::os {
namespace {

void set_variable(const char* name, const char* value) {
#ifdef _WIN32
    _wputenv_s(to_native(name).c_str(), to_native(value).c_str());
#else
    setenv(name, value, 1);
#endif
}

TEST(EnvironmentTest, SetEmptyAndMissingVariables) {
    Environment& env = real_environment();
    set_variable("SNV_TEST_VALUE", "a b\xc3\xa4");
    auto value = env.variable("SNV_TEST_VALUE");
    ASSERT_TRUE(value);
    EXPECT_EQ(to_utf8(*value), "a b\xc3\xa4");
    std::string longer(5000, 'v');
    set_variable("SNV_TEST_VALUE", longer.c_str());
    EXPECT_EQ(to_utf8(*env.variable("SNV_TEST_VALUE")), longer);
    EXPECT_FALSE(env.variable("SNV_TEST_SURELY_NOT_SET"));
#ifndef _WIN32
    // The C runtime of Windows removes a variable set to empty; natively it stays, empty.
    set_variable("SNV_TEST_EMPTY", "");
    auto empty = env.variable("SNV_TEST_EMPTY");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
#endif
}

TEST(EnvironmentTest, TemporaryFolderEndsWithASeparator) {
    auto temp = real_environment().temp_folder();
    ASSERT_TRUE(temp);
    ASSERT_FALSE(temp->empty());
#ifdef _WIN32
    EXPECT_EQ(temp->back(), L'\\');
#else
    EXPECT_EQ(temp->back(), '/');
#endif
}

TEST(ProcessTest, ExecutablePathNamesThisProgram) {
    auto path = real_process().executable_path();
    ASSERT_TRUE(path);
    std::string text = to_utf8(*path);
#ifdef _WIN32
    EXPECT_TRUE(text.ends_with("\\os_tests.exe")) << text;
#else
    EXPECT_TRUE(text.ends_with("/os_tests")) << text;
#endif
}

}  // namespace
}  // namespace snv::os
