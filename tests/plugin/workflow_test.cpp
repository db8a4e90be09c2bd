// Transcript tests: the exact host calls of a run, against a scripted host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "numerics/random/deviates_internal.h"
#include "plugin/tavimo_plugin_interface.h"
#include "tests/support/fake_host.h"

using simtrove::testing::FakeHost;
using simtrove::testing::FakeVoi;
using Calls = std::vector<std::string>;

namespace {

const char* const kNoVmr =
    "tvMessageBox(\"This plugin requires a VMR to operate. Make sure that a VMR is open and that "
    "its window is selected.\")";

class WorkflowTest : public ::testing::Test {
  protected:
    FakeHost& host = FakeHost::install();
    std::unique_ptr<TavimoPluginInterface> plugin{createPlugin()};

    void SetUp() override {
        simtrove::random::deviateState() = {};
        ASSERT_TRUE(plugin->initPlugin());
        host.calls.clear();
        host.cross[0] = host.cross[1] = host.cross[2] = 105;
    }
    void TearDown() override { FakeHost::uninstall(); }

    // Scripts the answers up to the mode question: T time points and a protocol.
    void answerUpToTheMode(int timePoints) {
        host.integers = {timePoints};
        host.openFiles = {std::string("/data/blocks.prt")};
    }

    bool run() {
        bool result = plugin->execute();
        EXPECT_EQ(host.busyDepth, 0) << "busy cursor left on";
        return result;
    }
};

Calls prefixUpToTheMode(int timePoints, const std::string& dims = "X: 10  Y: 10  Z: 10") {
    const std::string t = std::to_string(timePoints);
    return {"tvShowLogTab()",
            "tvLogText(\" \")",
            "tvLogText(\"// Plugin>  Running Simtrove...\")",
            "tvGetCurrentVMR()",
            "tvGetIntegerInput(\"Enter number of simulated time points:\", 250, 1, 1000)",
            "tvCreateVTCForCurrentVMR(" + t + ", 0)",
            "tvGetHeaderOfVTCOfCurrentVMR()",
            "tvGetVTCFloatDataOfCurrentVMR()",
            "tvLogText(\"// Plugin>  Dims of created VTC, " + dims + "\")",
            "tvGetOpenFileName(\"Provide a protocol file:\", \"\", \"Protocol Files (*.prt)\")",
            "tvSetHeaderOfVTCOfCurrentVMR(\"/data/blocks.prt\")",
            "tvGetProtocol()",
            "tvClearDesignMatrix()",
            "tvGetProtocolCondition(0)",
            "tvAddPredictor(\"Rest\")",
            "tvSetPredictorValuesFromCondition(\"Rest\", 0, 1)",
            "tvApplyTwoGammaHRFToPredictor(0)",
            "tvGetProtocolCondition(1)",
            "tvAddPredictor(\"Task\")",
            "tvSetPredictorValuesFromCondition(\"Task\", 1, 1)",
            "tvApplyTwoGammaHRFToPredictor(1)",
            "tvSaveSingleStudyGLMDesignMatrix(\"plugin_created.rtc\")",
            "tvGetVOIs()"};
}

Calls concat(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Calls kConditionChoice = {
    "tvGetProtocolCondition(0)", "tvGetProtocolCondition(1)",
    "tvGetIntegerInput(\"Select condition:\n\n1: Rest\n2: Task\n\n\", 2, 1, 2)"};

const Calls kCompletion = {"tvLogText(\"// Plugin>  Simtrove Plugin completed!\")",
                           "tvLogText(\" \")", "tvUpdateActiveWindow()"};

TEST_F(WorkflowTest, ClusterModeAtTheCrossFromStartToSavedFile) {
    answerUpToTheMode(12);
    host.yesNo = {true};
    host.saveFiles = {std::string("out.vtc")};
    ASSERT_TRUE(run());
    const Calls expected = concat(
        concat(
            concat(prefixUpToTheMode(12), kConditionChoice),
            {"tvYesNoMessageBox(\"Do you want to use the cross position as the cluster center ?\")",
             "tvGetCrossPositionOfCurrentVMR()",
             "tvLogText(\"// Plugin>  Selected position: X: 105  Y: 105  Z: 105\")",
             "tvLogText(\"// Plugin>  Creating noise data...\")", "tvShowBusyCursor()",
             "tvLogText(\"// Plugin>    10 / 12 ...\")", "tvLogText(\"// Plugin>    12 / 12 ...\")",
             "tvLogText(\"// Plugin>  Creating signal + noise data...\")", "tvGetPredictor(1)",
             "tvStopBusyCursor()",
             "tvGetSaveFileName(\"Enter Name For Saving Created VTC File:\", \"Simulated.vtc\", "
             "\"Volume Time Course Files (*.vtc)\")",
             "tvLogText(\"// Plugin>  Saving created VTC file as \"out.vtc\"...\")",
             "tvShowBusyCursor()", "tvSaveVTCOfCurrentVMR(\"out.vtc\")", "tvStopBusyCursor()"}),
        kCompletion);
    EXPECT_EQ(host.calls, expected);
}

TEST_F(WorkflowTest, HeaderGoesBackUnchangedButForTheProtocolPath) {
    answerUpToTheMode(3);
    host.yesNo = {true};
    ASSERT_TRUE(run());
    vtc_header expected;
    std::memset(&expected, 0xA5, sizeof expected);
    expected.NrOfTimePoints = 3;
    expected.XStart = expected.YStart = expected.ZStart = 100;
    expected.XEnd = expected.YEnd = expected.ZEnd = 110;
    expected.Resolution = 1;
    std::memset(expected.LinkedProtocolFile, 0, 1);
    std::memcpy(expected.LinkedProtocolFile, "/data/blocks.prt", 17);
    EXPECT_EQ(std::memcmp(&expected, &host.header, sizeof expected), 0);
}

TEST_F(WorkflowTest, TypedClusterPositionIsBoundedByTheBox) {
    // A different box on every axis, so that no axis can stand in for another.
    const int box[6] = {100, 110, 60, 90, 20, 44};
    std::copy(std::begin(box), std::end(box), host.box);
    answerUpToTheMode(2);
    host.integers.insert(host.integers.end(), {1, 104, 70, 30});
    host.yesNo = {false};
    ASSERT_TRUE(run());
    EXPECT_EQ(host.calls[8], "tvLogText(\"// Plugin>  Dims of created VTC, X: 10  Y: 30  Z: 24\")");
    const Calls tail(host.calls.begin() + 26, host.calls.begin() + 31);
    EXPECT_EQ(
        tail,
        (Calls{
            "tvYesNoMessageBox(\"Do you want to use the cross position as the cluster center ?\")",
            "tvGetIntegerInput(\"Enter X position of simulated cluster: \", 128, 102, 108)",
            "tvGetIntegerInput(\"Enter Y position of simulated cluster: \", 128, 62, 88)",
            "tvGetIntegerInput(\"Enter Z position of simulated cluster: \", 128, 22, 42)",
            "tvLogText(\"// Plugin>  Selected position: X: 104  Y: 70  Z: 30\")"}));
    EXPECT_EQ(host.predictors, (std::vector<std::string>{"Rest", "Task"}));
    EXPECT_NE(std::find(host.calls.begin(), host.calls.end(), "tvGetPredictor(0)"),
              host.calls.end());
}

TEST_F(WorkflowTest, VoiModeAsksOnePredictorPerVoiAndWalksTheVois) {
    host.vois = {FakeVoi{"Left", {105, 105, 105, 106, 105, 105}},
                 FakeVoi{"Right", {101, 101, 101}}};
    answerUpToTheMode(2);
    host.integers.insert(host.integers.end(), {1, 2});
    host.yesNo = {true};
    ASSERT_TRUE(run());
    const Calls expected = concat(
        concat(prefixUpToTheMode(2),
               {"tvYesNoMessageBox(\"Do you want to use the available VOIs to define simulated "
                "clusters?\")",
                "tvGetProtocolCondition(0)", "tvGetProtocolCondition(1)", "tvGetVOI(0)",
                "tvGetIntegerInput(\"Select predictor for VOI: <b>Left</b>:<br><br>1: Rest<br>2: "
                "Task<br>\", 2, 1, 2)",
                "tvGetVOI(1)",
                "tvGetIntegerInput(\"Select predictor for VOI: <b>Right</b>:<br><br>1: Rest<br>2: "
                "Task<br>\", 2, 1, 2)",
                "tvLogText(\"// Plugin>  Creating noise data...\")", "tvShowBusyCursor()",
                "tvLogText(\"// Plugin>    2 / 2 ...\")",
                "tvLogText(\"// Plugin>  Creating signal + noise data...\")",
                "tvLogText(\"// Plugin>    VOI 1 / 2 ...\")", "tvGetPredictor(0)", "tvGetVOI(0)",
                "tvLogText(\"// Plugin>    VOI 2 / 2 ...\")", "tvGetPredictor(1)", "tvGetVOI(1)",
                "tvStopBusyCursor()",
                "tvGetSaveFileName(\"Enter Name For Saving Created VTC File:\", \"Simulated.vtc\", "
                "\"Volume Time Course Files (*.vtc)\")"}),
        kCompletion);
    EXPECT_EQ(host.calls, expected);
}

TEST_F(WorkflowTest, AnsweringNoToTheVoisLeadsToTheConditionList) {
    host.vois = {FakeVoi{"Left", {105, 105, 105}}};
    answerUpToTheMode(1);
    host.yesNo = {false, true};
    ASSERT_TRUE(run());
    const Calls tail(host.calls.begin() + 23, host.calls.begin() + 27);
    EXPECT_EQ(tail[0],
              "tvYesNoMessageBox(\"Do you want to use the available VOIs to define simulated "
              "clusters?\")");
    EXPECT_EQ(Calls(tail.begin() + 1, tail.end()), kConditionChoice);
}

struct EndCase {
    const char* name;
    void (*script)(FakeHost&);
    std::string lastCall;
    bool result;
};

const EndCase kEndCases[] = {
    {"NoVmr", [](FakeHost& h) { h.hasVmr = false; }, kNoVmr, false},
    {"WrongDimensions", [](FakeHost& h) { h.vmrDims[2] = 255; },
     "tvMessageBox(\"This plugin requires a VMR with \"256\" dimensions, preferentially a VMR "
     "in Talairach space.\")",
     false},
    {"TimePointsCancelled", [](FakeHost& h) { h.integers = {0}; },
     "tvGetIntegerInput(\"Enter number of simulated time points:\", 250, 1, 1000)", false},
    {"ProtocolCancelled", [](FakeHost& h) { h.integers = {5}; },
     "tvGetOpenFileName(\"Provide a protocol file:\", \"\", \"Protocol Files (*.prt)\")", false},
    {"ConditionCancelled",
     [](FakeHost& h) {
         h.integers = {5, -1};
         h.openFiles = {std::string("p.prt")};
     },
     "tvGetIntegerInput(\"Select condition:\n\n1: Rest\n2: Task\n\n\", 2, 1, 2)", false},
    {"VoiPredictorCancelled",
     [](FakeHost& h) {
         h.vois = {FakeVoi{"V", {1, 2, 3}}};
         h.integers = {5, 0};
         h.yesNo = {true};
         h.openFiles = {std::string("p.prt")};
     },
     "tvGetIntegerInput(\"Select predictor for VOI: <b>V</b>:<br><br>1: Rest<br>2: Task<br>\", 2, "
     "1, 2)",
     false},
    {"VoiMissingAtTheChoice",
     [](FakeHost& h) {
         h.voiCountOverride = 1;
         h.integers = {5};
         h.yesNo = {true};
         h.openFiles = {std::string("p.prt")};
     },
     "tvGetVOI(0)", false},
    {"NullPredictor",
     [](FakeHost& h) {
         h.integers = {5};
         h.yesNo = {true};
         h.openFiles = {std::string("p.prt")};
         h.nullPredictors = {1};
     },
     "tvMessageBox(\"Error accessing predictor time course\")", false},
    {"NullVoxelsInTheSignalPass",
     [](FakeHost& h) {
         h.vois = {FakeVoi{"V", {1, 2, 3}, true}};
         h.integers = {5, 1};
         h.yesNo = {true};
         h.openFiles = {std::string("p.prt")};
     },
     "tvMessageBox(\"Error accessing the voxels of a VOI\")", false},
    {"SaveCancelled",
     [](FakeHost& h) {
         h.integers = {5};
         h.yesNo = {true};
         h.openFiles = {std::string("p.prt")};
     },
     "tvUpdateActiveWindow()", true},
    {"ResolutionZero",
     [](FakeHost& h) {
         h.integers = {5};
         h.resolution = 0;
     },
     "tvMessageBox(\"The created VTC can not be simulated: its resolution (0) is not positive.\")",
     false},
    {"InvertedBox",
     [](FakeHost& h) {
         h.integers = {5};
         h.box[2] = 120;
     },
     "tvMessageBox(\"The created VTC can not be simulated: its box (X 100-110, Y 120-110, Z "
     "100-110 at resolution 1) holds no voxel.\")",
     false},
    {"NoTimePoints",
     [](FakeHost& h) {
         h.integers = {5};
         h.timePointsOverride = 0;
     },
     "tvMessageBox(\"The created VTC can not be simulated: it has no time points.\")", false},
    {"NullSamples",
     [](FakeHost& h) {
         h.integers = {5};
         h.nullSamples = true;
     },
     "tvMessageBox(\"The created VTC can not be simulated: Tavimo gave no access to its "
     "samples.\")",
     false},
};

// Test names and failure reports show the case's name, never the struct's bytes.
void PrintTo(const EndCase& c, std::ostream* os) {
    *os << c.name;
}

class WorkflowEnds : public WorkflowTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(WorkflowEnds, EndsWhereAndHowItShould) {
    GetParam().script(host);
    EXPECT_EQ(run(), GetParam().result);
    ASSERT_FALSE(host.calls.empty());
    EXPECT_EQ(host.calls.back(), GetParam().lastCall);
}

INSTANTIATE_TEST_SUITE_P(Paths, WorkflowEnds, ::testing::ValuesIn(kEndCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every run restarts the uniform sequence, while a normal deviate left over by
// an odd number of draws carries into the next run. 10 x 10 x 10 voxels and the
// 33 of the cluster make 1033 draws: the second run starts with the leftover
// and ends even, so the third run repeats the first.
TEST_F(WorkflowTest, RunsRestartTheSequenceAndCarryTheLeftoverNormal) {
    std::vector<std::vector<float>> runs;
    float leftover = 0.0f;
    for (int r = 0; r < 3; ++r) {
        answerUpToTheMode(1);
        host.yesNo = {true};
        ASSERT_TRUE(run()) << r;
        runs.push_back(host.samples);
        if (r == 0) {
            ASSERT_TRUE(simtrove::random::deviateState().hasCachedNormal);
            leftover = simtrove::random::deviateState().cachedNormal;
        }
    }
    EXPECT_EQ(runs[2], runs[0]);
    EXPECT_EQ(runs[1][0], float(100.0 + double(float(double(leftover) * 5.0))));
    // The slices below the cluster (z < 3) hold the same draws, one place later.
    for (std::size_t v = 1; v < 300; ++v) ASSERT_EQ(runs[1][v], runs[0][v - 1]) << v;
}

TEST_F(WorkflowTest, DesignMatrixIsWrittenEvenWhenTheRunIsCancelledLater) {
    host.integers = {5, 0};
    host.openFiles = {std::string("p.prt")};
    EXPECT_FALSE(run());
    EXPECT_NE(std::find(host.calls.begin(), host.calls.end(),
                        "tvSaveSingleStudyGLMDesignMatrix(\"plugin_created.rtc\")"),
              host.calls.end());
}

TEST_F(WorkflowTest, LongConditionListsAreCutAtTheBufferCapacity) {
    host.conditions.assign(40, std::string(272, 'n'));  // names fill the record, no NUL
    answerUpToTheMode(1);
    host.yesNo = {true};
    ASSERT_TRUE(run());
    const std::string& added = host.calls[14];
    EXPECT_EQ(added, "tvAddPredictor(\"" + std::string(271, 'n') + "\")");
    const auto prompt =
        std::find_if(host.calls.begin(), host.calls.end(), [](const std::string& c) {
            return c.rfind("tvGetIntegerInput(\"Select condition:", 0) == 0;
        });
    ASSERT_NE(prompt, host.calls.end());
    // The list buffer holds 1000 characters and its NUL.
    const std::string head = "tvGetIntegerInput(\"";
    const std::string tail = "\", 2, 1, 40)";
    EXPECT_EQ(prompt->size(), head.size() + 1000 + tail.size());
}

TEST_F(WorkflowTest, NegativeCountsFromTheHostCountAsNone) {
    host.conditionCountOverride = -3;
    host.voiCountOverride = -1;
    answerUpToTheMode(1);
    host.yesNo = {true};
    EXPECT_FALSE(run());  // no predictor to simulate with
    EXPECT_EQ(host.predictors.size(), 0u);
    EXPECT_EQ(std::count_if(host.calls.begin(), host.calls.end(),
                            [](const std::string& c) {
                                return c.rfind(
                                           "tvYesNoMessageBox(\"Do you want to use the available",
                                           0) == 0;
                            }),
              0);
    EXPECT_EQ(host.calls.back(), "tvMessageBox(\"Error accessing predictor time course\")");
}

TEST_F(WorkflowTest, LongSavePathIsCutInTheLogLine) {
    answerUpToTheMode(1);
    host.yesNo = {true};
    host.saveFiles = {std::string(260, 's')};
    ASSERT_TRUE(run());
    EXPECT_EQ(host.calls[host.calls.size() - 5],
              "tvSaveVTCOfCurrentVMR(\"" + std::string(260, 's') + "\")");
    for (const std::string& line : host.log) EXPECT_LE(line.size(), 259u);
}

TEST_F(WorkflowTest, ClippedClusterIsReportedInTheLog) {
    answerUpToTheMode(1);
    host.yesNo = {true};
    host.cross[0] = host.cross[1] = host.cross[2] = 100;  // grid corner (0, 0, 0)
    ASSERT_TRUE(run());
    // Of the 33 sphere positions around a corner, the 11 with x, y, z >= 0 stay inside.
    EXPECT_NE(std::find(host.log.begin(), host.log.end(),
                        "// Plugin>  22 signal positions lie outside the VTC and were left out"),
              host.log.end());
}

}  // namespace
