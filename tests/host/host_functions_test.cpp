#include "host/host_functions.h"

#include <gtest/gtest.h>

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

class VersionGateTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionGateTest, ComparesLexicographicallyAndSigned) {
    const VersionCase& c = GetParam();
    EXPECT_EQ(isVersionAtLeast(c.major, c.minor, c.sub, 2, 0, 0), c.accepted)
        << c.major << "." << c.minor << "." << c.sub;
}

INSTANTIATE_TEST_SUITE_P(AgainstTwoZeroZero, VersionGateTest,
                         ::testing::Values(VersionCase{2, 0, 0, true}, VersionCase{1, 9, 9, false},
                                           VersionCase{2, 0, -1, false}, VersionCase{3, -5, -5, true},
                                           VersionCase{1, 99, 99, false}, VersionCase{0, 0, 0, false},
                                           VersionCase{2, 0, 1, true}, VersionCase{2, 1, 0, true},
                                           VersionCase{2, -1, 99, false},
                                           VersionCase{-2147483647 - 1, 0, 0, false},
                                           VersionCase{2147483647, 0, 0, true}));

}  // namespace
