#include "plugin/simtrove_plugin.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>

#include "host/host_functions.h"
#include "plugin/tavimo_plugin_interface.h"
#include "tests/support/fake_host.h"

using simtrove::testing::FakeHost;

namespace {

class InitPluginTest : public ::testing::Test {
  protected:
    void SetUp() override { FakeHost::install(); }
    void TearDown() override { FakeHost::uninstall(); }
    bool init() {
        std::unique_ptr<TavimoPluginInterface> plugin(createPlugin());
        return plugin->initPlugin();
    }
};

struct GateCase {
    int major, minor, sub;
    bool accepted;
};

// Test names and failure reports show the version, never the struct's bytes.
void PrintTo(const GateCase& c, std::ostream* os) {
    *os << c.major << "." << c.minor << "." << c.sub << (c.accepted ? " accepted" : " refused");
}

class VersionGate : public InitPluginTest, public ::testing::WithParamInterface<GateCase> {};

TEST_P(VersionGate, AcceptsTwoZeroZeroAndLaterOnly) {
    const GateCase& c = GetParam();
    FakeHost& host = FakeHost::instance();
    host.version[0] = c.major;
    host.version[1] = c.minor;
    host.version[2] = c.sub;
    EXPECT_EQ(init(), c.accepted);
    if (c.accepted) {
        EXPECT_TRUE(host.messages.empty());
    } else {
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0],
                  "Can not execute this plugin - Tavimo version 2.0.0 or higher required.");
    }
}

INSTANTIATE_TEST_SUITE_P(HostVersions, VersionGate,
                         ::testing::Values(GateCase{2, 0, 0, true}, GateCase{1, 9, 9, false},
                                           GateCase{1, 99, 99, false}, GateCase{0, 0, 0, false},
                                           GateCase{2, 0, 1, true}, GateCase{2, 1, 0, true},
                                           GateCase{3, 0, 0, true}),
                         [](const auto& info) {
                             const GateCase& c = info.param;
                             char name[48];
                             std::snprintf(name, sizeof name, "v%d_%d_%d", c.major, c.minor, c.sub);
                             return std::string(name);
                         });

TEST_F(InitPluginTest, HostWithoutVersionFunctionIsRefusedSilently) {
    FakeHost::instance().absent = {"tvGetVersionOfTavimo"};
    EXPECT_FALSE(init());
    EXPECT_TRUE(FakeHost::instance().calls.empty());
}

TEST_F(InitPluginTest, NoHostModuleIsRefusedSilently) {
    FakeHost::instance().moduleFound = false;
    EXPECT_FALSE(init());
    EXPECT_TRUE(FakeHost::instance().calls.empty());
}

TEST_F(InitPluginTest, ExecuteAfterARefusedBindingRefusesWithoutCallingTheHost) {
    FakeHost::instance().moduleFound = false;
    std::unique_ptr<TavimoPluginInterface> plugin(createPlugin());
    EXPECT_FALSE(plugin->initPlugin());
    EXPECT_FALSE(plugin->execute());
    EXPECT_TRUE(FakeHost::instance().calls.empty());
}

TEST_F(InitPluginTest, HostLackingAnUncalledFunctionIsAccepted) {
    FakeHost::instance().absent = {"tvLaunchICADialog"};
    EXPECT_TRUE(init());
}

TEST_F(InitPluginTest, HostLackingCalledFunctionsIsRefusedWithTheirNames) {
    FakeHost::instance().absent = {"tvGetPredictor", "tvSaveVTCOfCurrentVMR"};
    EXPECT_FALSE(init());
    ASSERT_EQ(FakeHost::instance().messages.size(), 1u);
    const std::string& message = FakeHost::instance().messages[0];
    EXPECT_NE(message.find("tvSaveVTCOfCurrentVMR, tvGetPredictor"), std::string::npos) << message;
}

TEST_F(InitPluginTest, HostLackingTheMessageBoxIsRefusedWithoutCallingIt) {
    FakeHost::instance().absent = {"tvMessageBox"};
    EXPECT_FALSE(init());
    EXPECT_TRUE(FakeHost::instance().messages.empty());
}

TEST(PluginObjectTest, TwoObjectsLiveIndependently) {
    TavimoPluginInterface* first = createPlugin();
    TavimoPluginInterface* second = createPlugin();
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    EXPECT_NE(dynamic_cast<SimtrovePlugin*>(second), nullptr);
    delete first;
    FakeHost::install();
    EXPECT_TRUE(second->initPlugin());
    FakeHost::uninstall();
    delete second;
}

TEST(PluginObjectTest, ObjectIsOnlyItsVirtualTablePointer) {
    EXPECT_EQ(sizeof(TavimoPluginInterface), sizeof(void*));
    EXPECT_EQ(sizeof(SimtrovePlugin), sizeof(void*));
}

TEST(InformationTest, TextsAreExact) {
    EXPECT_STREQ(getPluginName(), "Simtrove");
    EXPECT_STREQ(getAuthor(), "<i>Ansel Merrow</i>, Oskaris B.V.");
    EXPECT_STREQ(getPluginVersion(), "2.0");
    ASSERT_NE(getHelpFile(), nullptr);
    ASSERT_NE(getGUIScript(), nullptr);
    EXPECT_STREQ(getHelpFile(), "");
    EXPECT_STREQ(getGUIScript(), "");
    EXPECT_STREQ(getPluginDescription(),
                 "This tool allows to create simulated volume time course (VTC) data. Based on "
                 "the position of the VMR cross or a set of defined Volumes-Of-Interest (VOIs), "
                 "time courses are created with a time waveform based on selected conditions of "
                 "a loaded protocol. The created voxel time courses are convolved with a "
                 "hemodynamic response function. Finally Gaussian noise is added to all voxel "
                 "time courses. The tool is implemented as a plugin and is provided with the "
                 "source code to show how a fully-fledged plugin can be created. The simulated "
                 "data should be used only to test data analysis methods for research and "
                 "education.<br>");
}

}  // namespace
