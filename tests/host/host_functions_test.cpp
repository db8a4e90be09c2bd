#include "host/host_functions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>

#include "tests/support/fake_host.h"

using namespace simtrove::host;
using simtrove::testing::FakeHost;

namespace {

class BindingTest : public ::testing::Test {
  protected:
    void SetUp() override { FakeHost::install(); }
    void TearDown() override { FakeHost::uninstall(); }
};

TEST_F(BindingTest, BindsEveryEntryOfACompleteHost) {
    ASSERT_TRUE(bindHostFunctions());
    EXPECT_NE(tvGetVersionOfTavimo, nullptr);
    EXPECT_NE(tvLaunchICADialog, nullptr);
    EXPECT_NE(tvGetVOI, nullptr);
    const char* missing[28];
    EXPECT_EQ(findMissingCalledFunctions(missing, 28), 0u);
}

TEST_F(BindingTest, NoHostModuleFailsAndLeavesTheTableAlone) {
    FakeHost::instance().moduleFound = false;
    EXPECT_FALSE(bindHostFunctions());
    EXPECT_EQ(tvGetVersionOfTavimo, nullptr);
    EXPECT_EQ(tvLogText, nullptr);
}

TEST_F(BindingTest, MissingVersionFunctionFailsEvenWithEverythingElsePresent) {
    FakeHost::instance().absent = {"tvGetVersionOfTavimo"};
    EXPECT_FALSE(bindHostFunctions());
    EXPECT_EQ(tvLogText, nullptr);
    EXPECT_TRUE(FakeHost::instance().calls.empty());
}

TEST_F(BindingTest, AnotherMissingNameStillBindsAndLeavesOnlyThatEntryEmpty) {
    FakeHost::instance().absent = {"tvLaunchICADialog"};
    ASSERT_TRUE(bindHostFunctions());
    EXPECT_EQ(tvLaunchICADialog, nullptr);
    EXPECT_NE(tvSetDlgFloatOutputParameter, nullptr);
    const char* missing[28];
    EXPECT_EQ(findMissingCalledFunctions(missing, 28), 0u);
}

TEST_F(BindingTest, MissingCalledFunctionsAreNamedInListOrder) {
    FakeHost::instance().absent = {"tvGetVOI", "tvLogText"};
    ASSERT_TRUE(bindHostFunctions());
    const char* missing[28];
    ASSERT_EQ(findMissingCalledFunctions(missing, 28), 2u);
    EXPECT_STREQ(missing[0], "tvLogText");
    EXPECT_STREQ(missing[1], "tvGetVOI");
    // A short output array is never overrun; the count is still complete.
    EXPECT_EQ(findMissingCalledFunctions(missing, 1), 2u);
}

TEST_F(BindingTest, RebindingOverwritesEveryEntry) {
    ASSERT_TRUE(bindHostFunctions());
    FakeHost::instance().absent = {"tvMessageBox"};
    ASSERT_TRUE(bindHostFunctions());
    EXPECT_EQ(tvMessageBox, nullptr);
}

struct VersionCase {
    int major, minor, sub;
    bool accepted;
};

// Test names and failure reports show the version, never the struct's bytes.
void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << c.major << "." << c.minor << "." << c.sub << (c.accepted ? " accepted" : " refused");
}

// Names allow [A-Za-z0-9_] only: a negative part is written "m5".
std::string versionCaseName(const ::testing::TestParamInfo<VersionCase>& info) {
    const VersionCase& c = info.param;
    const int parts[3] = {c.major, c.minor, c.sub};
    char name[64] = "v";
    for (int i = 0; i < 3; ++i) {
        const unsigned magnitude = parts[i] < 0 ? 0u - unsigned(parts[i]) : unsigned(parts[i]);
        const std::size_t used = std::strlen(name);
        std::snprintf(name + used, sizeof name - used, "%s%s%u", i > 0 ? "_" : "",
                      parts[i] < 0 ? "m" : "", magnitude);
    }
    return name;
}

class VersionGateTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionGateTest, ComparesLexicographicallyAndSigned) {
    const VersionCase& c = GetParam();
    EXPECT_EQ(isVersionAtLeast(c.major, c.minor, c.sub, 2, 0, 0), c.accepted)
        << c.major << "." << c.minor << "." << c.sub;
}

INSTANTIATE_TEST_SUITE_P(
    AgainstTwoZeroZero, VersionGateTest,
    ::testing::Values(VersionCase{2, 0, 0, true}, VersionCase{1, 9, 9, false},
                      VersionCase{2, 0, -1, false}, VersionCase{3, -5, -5, true},
                      VersionCase{1, 99, 99, false}, VersionCase{0, 0, 0, false},
                      VersionCase{2, 0, 1, true}, VersionCase{2, 1, 0, true},
                      VersionCase{2, -1, 99, false}, VersionCase{-2147483647 - 1, 0, 0, false},
                      VersionCase{2147483647, 0, 0, true}),
    versionCaseName);

}  // namespace
