// The host calls as the plug-in makes them: through the exported C functions.
#include "standin/host_session.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>

#include "standin/host_exports.h"

namespace simtrove::standin {
namespace {

using formats::Interval;
using formats::readVtcFile;
using formats::Result;
using formats::VoiSet;
using formats::VtcFile;

class HostSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("standin_session_" + std::to_string(getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // A session on a 256^3 VMR with a 4 x 3 x 2 VTC at resolution 2 and TR 1.5 s.
    void start(VoiSet vois = {}, PromptAnswers answers = {}, double repetitionTime = 1.5) {
        dialogs_ = std::make_unique<Dialogs>(std::move(answers), AnswerScript{}, Terminal{}, err_);
        HostConfig config;
        config.vtcBox = {100, 108, 50, 56, 10, 14};
        config.resolution = 2;
        config.repetitionTime = repetitionTime;
        config.outDir = dir_.string();
        session_ = std::make_unique<HostSession>(config, std::move(vois), *dialogs_,
                                                 HostConsole{out_, err_, false, &log_});
        installed_ = std::make_unique<InstalledHostSession>(*session_);
    }

    std::string writeFile(const std::string& name, const std::string& text) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path) << text;
        return path;
    }

    std::filesystem::path dir_;
    std::ostringstream out_, err_, log_;
    std::unique_ptr<Dialogs> dialogs_;
    std::unique_ptr<HostSession> session_;
    std::unique_ptr<InstalledHostSession> installed_;
};

TEST_F(HostSessionTest, WithoutASessionEveryFunctionAnswersZero) {
    int x = 7, y = 7, z = 7;
    EXPECT_EQ(tvGetCurrentVMR(&x, &y, &z), 0);
    EXPECT_EQ(x, 7);
    EXPECT_EQ(tvGetVTCFloatDataOfCurrentVMR(), nullptr);
    EXPECT_EQ(tvLaunchICADialog(), 0);
}

TEST_F(HostSessionTest, ReportsVersionVmrAndCrossHair) {
    start();
    int a = 0, b = 0, c = 0;
    tvGetVersionOfTavimo(&a, &b, &c);
    EXPECT_EQ((std::array<int, 3>{a, b, c}), (std::array<int, 3>{2, 4, 0}));
    EXPECT_EQ(tvGetCurrentVMR(&a, &b, &c), 1);
    EXPECT_EQ((std::array<int, 3>{a, b, c}), (std::array<int, 3>{256, 256, 256}));
    tvGetCrossPositionOfCurrentVMR(&a, &b, &c);
    EXPECT_EQ((std::array<int, 3>{a, b, c}), (std::array<int, 3>{128, 128, 128}));
}

TEST_F(HostSessionTest, CreatesAZeroFilledVtcWhoseHeaderComesBackAsItWasGiven) {
    start();
    EXPECT_EQ(tvGetVTCFloatDataOfCurrentVMR(), nullptr);
    tvCreateVTCForCurrentVMR(5, 0);
    vtc_header h;
    std::memset(&h, 0xEE, sizeof h);
    tvGetHeaderOfVTCOfCurrentVMR(&h);
    EXPECT_EQ(h.NrOfTimePoints, 5);
    EXPECT_EQ(
        (std::array<int, 7>{h.XStart, h.XEnd, h.YStart, h.YEnd, h.ZStart, h.ZEnd, h.Resolution}),
        (std::array<int, 7>{100, 108, 50, 56, 10, 14, 2}));
    float tr;
    std::memcpy(&tr, h.host8, 4);
    EXPECT_EQ(tr, 1.5f);
    EXPECT_EQ(h.LinkedProtocolFile[0], '\0');
    const float* samples = tvGetVTCFloatDataOfCurrentVMR();
    for (std::size_t i = 0; i < 4 * 3 * 2 * 5; ++i) ASSERT_EQ(samples[i], 0.0f) << i;

    // Host fields that another plug-in changed are kept and given back byte for byte.
    h.host48[100] = 0x42;
    h.host0[1] = 0x17;
    std::memset(h.LinkedProtocolFile + 1, 'x', 10);  // behind the NUL: the path stays empty
    tvSetHeaderOfVTCOfCurrentVMR(&h);
    vtc_header back;
    tvGetHeaderOfVTCOfCurrentVMR(&back);
    EXPECT_EQ(std::memcmp(&h, &back, sizeof h), 0);
    EXPECT_EQ(err_.str(), "");
    EXPECT_FALSE(session_->failed());
}

TEST_F(HostSessionTest, TheLayoutOfTheSamplesCannotChangeThroughTheHeader) {
    start();
    tvCreateVTCForCurrentVMR(5, 0);
    vtc_header h;
    tvGetHeaderOfVTCOfCurrentVMR(&h);
    h.NrOfTimePoints = 500;
    h.Resolution = 1;
    const float badTr = -1.0f;
    std::memcpy(h.host8, &badTr, 4);
    tvSetHeaderOfVTCOfCurrentVMR(&h);
    vtc_header back;
    tvGetHeaderOfVTCOfCurrentVMR(&back);
    EXPECT_EQ(back.NrOfTimePoints, 5);
    EXPECT_EQ(back.Resolution, 2);
    EXPECT_EQ(session_->vtcGeometry().repetitionTime, 1.5f);
    EXPECT_EQ(
        err_.str(),
        "tavimo-standin: warning: the VTC's time points, box and resolution cannot be changed "
        "through its header; the created ones are kept\n"
        "tavimo-standin: warning: the repetition time in the VTC header is not a positive number "
        "of seconds; the previous one is kept\n");
}

// A repetition time that is not a number must never be taken: the response
// would be sampled at NaN seconds, in a loop that does not end.
TEST_F(HostSessionTest, NonFiniteRepetitionTimesInTheHeaderAreNotTaken) {
    start();
    tvCreateVTCForCurrentVMR(12, 0);
    const std::string protocol = writeFile("p.prt", "simtrove-protocol 1\ncondition A\n3 6\n");
    for (const float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
          -std::numeric_limits<float>::infinity(), 0.0f}) {
        vtc_header h;
        tvGetHeaderOfVTCOfCurrentVMR(&h);
        std::memcpy(h.host8, &bad, 4);
        std::snprintf(h.LinkedProtocolFile, sizeof h.LinkedProtocolFile, "%s", protocol.c_str());
        EXPECT_EQ(tvSetHeaderOfVTCOfCurrentVMR(&h), 1) << bad;
        EXPECT_EQ(session_->vtcGeometry().repetitionTime, 1.5f) << bad;
    }
    tvClearDesignMatrix();
    tvAddPredictor("A");
    tvSetPredictorValuesFromCondition("A", 0, 1.0f);
    EXPECT_EQ(tvApplyTwoGammaHRFToPredictor(0), 1);
    EXPECT_EQ(tvGetPredictor(0)[3], float(twoGammaHrf(1.5)[1]));
}

// A misbehaving plug-in may pass null for any pointer: nothing is followed.
TEST_F(HostSessionTest, NullPointersAreRefusedNotFollowed) {
    start(VoiSet{0, {{"V", {1, 2, 3}}}});
    tvCreateVTCForCurrentVMR(2, 0);
    int a = 0, b = 0;
    const struct {
        const char* call;
        std::function<bool()> refused;
    } cases[] = {
        {"version", [&] { return tvGetVersionOfTavimo(nullptr, &a, &b) == 0; }},
        {"vmr", [&] { return tvGetCurrentVMR(&a, nullptr, &b) == 0; }},
        {"cross", [&] { return tvGetCrossPositionOfCurrentVMR(&a, &b, nullptr) == 0; }},
        {"get header", [] { return tvGetHeaderOfVTCOfCurrentVMR(nullptr) == 0; }},
        {"set header", [] { return tvSetHeaderOfVTCOfCurrentVMR(nullptr) == 0; }},
        {"protocol", [] { return tvGetProtocol(nullptr) == 0; }},
        {"condition", [] { return tvGetProtocolCondition(0, nullptr) == 0; }},
        {"vois", [] { return tvGetVOIs(nullptr) == 0; }},
        {"voi", [] { return tvGetVOI(0, nullptr) == nullptr; }},
        {"open", [] { return tvGetOpenFileName("t", "", "f", nullptr) == 0; }},
        {"save", [] { return tvGetSaveFileName("t", "", "f", nullptr) == 0; }},
        {"add", [] { return tvAddPredictor(nullptr) == 0; }},
        {"fill", [] { return tvSetPredictorValuesFromCondition(nullptr, 0, 1.0f) == 0; }},
        {"save vtc", [] { return tvSaveVTCOfCurrentVMR(nullptr) == 0; }},
        {"save matrix", [] { return tvSaveSingleStudyGLMDesignMatrix(nullptr) == 0; }},
        {"log", [] { return tvLogText(nullptr) == 1 && tvMessageBox(nullptr) == 1; }},
    };
    for (const auto& c : cases) EXPECT_TRUE(c.refused()) << c.call;
}

TEST_F(HostSessionTest, AnOversizedVtcIsRefusedWithAUsableEmptyOne) {
    start();
    EXPECT_EQ(tvCreateVTCForCurrentVMR(std::numeric_limits<int>::max(), 0), 0);
    vtc_header h;
    tvGetHeaderOfVTCOfCurrentVMR(&h);
    EXPECT_EQ(h.NrOfTimePoints, 0);
    EXPECT_NE(tvGetVTCFloatDataOfCurrentVMR(), nullptr);
    EXPECT_TRUE(session_->failed());
}

TEST_F(HostSessionTest, ALinkedProtocolBecomesTheCurrentProtocol) {
    start();
    tvCreateVTCForCurrentVMR(12, 0);
    // 3 s at TR 1.5 s: volumes 3 and 4.
    const std::string path = writeFile("e.tsv", "onset\tduration\ttrial_type\n3\t3\tTap\n");
    vtc_header h;
    tvGetHeaderOfVTCOfCurrentVMR(&h);
    std::snprintf(h.LinkedProtocolFile, sizeof h.LinkedProtocolFile, "%s", path.c_str());
    tvSetHeaderOfVTCOfCurrentVMR(&h);
    prt_header p;
    tvGetProtocol(&p);
    EXPECT_EQ(p.NrOfConditions, 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(p.host4 + 4), path.c_str());
    prtcond_header c;
    std::memset(&c, 0x55, sizeof c);
    tvGetProtocolCondition(0, &c);
    EXPECT_STREQ(c.ConditionName, "Tap");
    EXPECT_EQ(c.ConditionName[200], '\0');
    EXPECT_EQ(tvGetProtocolCondition(1, &c), 0);

    tvClearDesignMatrix();
    tvAddPredictor("Tap");
    tvSetPredictorValuesFromCondition("Tap", 0, 1.0f);
    const float* raw = tvGetPredictor(0);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(std::vector<float>(raw, raw + 12),
              (std::vector<float>{0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    tvApplyTwoGammaHRFToPredictor(0);
    const std::vector<double> hrf = twoGammaHrf(1.5);
    EXPECT_EQ(raw[2], 0.0f);  // the response starts at 0
    EXPECT_EQ(raw[3], float(hrf[1]));
    EXPECT_EQ(raw[4], float(hrf[2] + hrf[1]));
    EXPECT_EQ(tvGetPredictor(1), nullptr);
    EXPECT_EQ(tvGetPredictor(-1), nullptr);

    tvSaveSingleStudyGLMDesignMatrix("dm.rtc");
    std::ifstream saved(dir_ / "dm.rtc");
    std::string first;
    std::getline(saved, first);
    EXPECT_EQ(first, "simtrove-design-matrix 1");
    EXPECT_EQ(err_.str(), "tavimo-standin: wrote " + (dir_ / "dm.rtc").string() + "\n");
}

TEST_F(HostSessionTest, EventsAreConvertedWithTheConfiguredRepetitionTimeNotItsFloat) {
    start({}, {}, 0.72);
    tvCreateVTCForCurrentVMR(20, 0);
    vtc_header h;
    tvGetHeaderOfVTCOfCurrentVMR(&h);
    // float(0.72) is 0.72000003: 7.2 s would fall into volume 10 with it.
    const std::string path = writeFile("e.tsv", "onset\tduration\ttrial_type\n7.2\t0\tA\n");
    std::snprintf(h.LinkedProtocolFile, sizeof h.LinkedProtocolFile, "%s", path.c_str());
    tvSetHeaderOfVTCOfCurrentVMR(&h);
    ASSERT_EQ(session_->protocol().conditions.size(), 1u);
    EXPECT_EQ(session_->protocol().conditions[0].intervals[0], (Interval{11, 11}));
}

TEST_F(HostSessionTest, AProtocolThatCannotBeLoadedLeavesNoConditions) {
    start();
    tvCreateVTCForCurrentVMR(12, 0);
    vtc_header h;
    tvGetHeaderOfVTCOfCurrentVMR(&h);
    std::snprintf(h.LinkedProtocolFile, sizeof h.LinkedProtocolFile, "%s",
                  writeFile("good.prt", "simtrove-protocol 1\ncondition A\n1 2\n").c_str());
    tvSetHeaderOfVTCOfCurrentVMR(&h);
    EXPECT_EQ(session_->protocol().conditions.size(), 1u);
    std::snprintf(h.LinkedProtocolFile, sizeof h.LinkedProtocolFile, "%s", "/nonexistent/p.prt");
    tvSetHeaderOfVTCOfCurrentVMR(&h);
    prt_header p;
    tvGetProtocol(&p);
    EXPECT_EQ(p.NrOfConditions, 0);
    EXPECT_EQ(err_.str(),
              "message: Cannot load the protocol: /nonexistent/p.prt: cannot read: No such file or "
              "directory\n");
    EXPECT_TRUE(session_->failed());
}

// A linked protocol path that fills its field without a NUL is cut to the
// field less one byte, said once, and the run ends at the protocol it names:
// nothing after it is saved.
TEST_F(HostSessionTest, AnUnterminatedProtocolPathIsCutSaidAndEndsTheRun) {
    start();
    tvCreateVTCForCurrentVMR(2, 0);
    vtc_header h;
    tvGetHeaderOfVTCOfCurrentVMR(&h);
    // "p/p/p/...": short components, so that the reason is the missing file.
    for (std::size_t i = 0; i < sizeof h.LinkedProtocolFile; ++i)
        h.LinkedProtocolFile[i] = i % 2 == 0 ? 'p' : '/';
    tvSetHeaderOfVTCOfCurrentVMR(&h);
    vtc_header back;
    tvGetHeaderOfVTCOfCurrentVMR(&back);
    const std::size_t capacity = sizeof back.LinkedProtocolFile;
    EXPECT_EQ(std::strlen(back.LinkedProtocolFile), capacity - 1);
    const std::string cut(back.LinkedProtocolFile);
    EXPECT_EQ(cut.substr(cut.size() - 3), capacity % 2 == 0 ? "p/p" : "/p/");
    EXPECT_EQ(err_.str(),
              "message: The linked protocol path in the VTC header has no end; it was cut.\n"
              "message: Cannot load the protocol: " +
                  cut + ": cannot read: No such file or directory\n");
    EXPECT_TRUE(dialogs_->ended());
    EXPECT_EQ(tvSaveSingleStudyGLMDesignMatrix("dm.rtc"), 0);
    EXPECT_EQ(tvSaveVTCOfCurrentVMR("a.vtc"), 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

TEST_F(HostSessionTest, HandsOutVoisAndRefusesMissingOnes) {
    start(VoiSet{3, {{"V1", {1, 2, 3, 4, 5, 6}}, {"Empty", {}}}});
    vois_header s;
    tvGetVOIs(&s);
    EXPECT_EQ(s.NrOfVOIs, 2);
    EXPECT_EQ(s.CoordinateSpace, 3);
    voi_header v;
    const int* voxels = tvGetVOI(0, &v);
    ASSERT_NE(voxels, nullptr);
    EXPECT_EQ(v.NrOfVoxels, 2);
    EXPECT_STREQ(v.VOIName, "V1");
    EXPECT_EQ(voxels[5], 6);
    EXPECT_NE(tvGetVOI(1, &v), nullptr);  // an empty VOI is still a VOI
    EXPECT_EQ(v.NrOfVoxels, 0);
    EXPECT_EQ(tvGetVOI(2, &v), nullptr);
    EXPECT_EQ(tvGetVOI(-1, &v), nullptr);
}

TEST_F(HostSessionTest, SavesRelativeNamesInTheOutputDirectoryAndReportsFailures) {
    start();
    tvCreateVTCForCurrentVMR(2, 0);
    tvGetVTCFloatDataOfCurrentVMR()[3] = 42.0f;
    tvSaveVTCOfCurrentVMR("a.vtc");
    Result<VtcFile> vtc = readVtcFile((dir_ / "a.vtc").string());
    ASSERT_TRUE(vtc) << vtc.error();
    EXPECT_EQ(vtc.value().samples[3], 42.0f);
    EXPECT_FALSE(session_->failed());
    tvSaveVTCOfCurrentVMR("missing/b.vtc");
    EXPECT_TRUE(session_->failed());
    // The truth map, its sidecar and the events table go beside a saved VTC only.
    std::string wrote;
    for (const char* file :
         {"a.vtc", "a_truth.nii.gz", "a_truth.json", "a_events.tsv", "a_design.rtc"})
        wrote += "tavimo-standin: wrote " + (dir_ / file).string() + "\n";
    EXPECT_EQ(err_.str(), wrote + "message: " + (dir_ / "missing/b.vtc").string() +
                              ": cannot write the VTC: No such file or directory\n");
}

TEST_F(HostSessionTest, LogsToTheOutputAndTheLogAndShowsMessages) {
    start();
    tvShowLogTab();
    tvLogText("// Plugin>  one");
    tvMessageBox("Careful");
    EXPECT_EQ(out_.str(), "// Plugin>  one\n");
    EXPECT_EQ(log_.str(), "// Plugin>  one\n");
    EXPECT_EQ(err_.str(), "message: Careful\n");
}

TEST_F(HostSessionTest, DialogsAnswerThroughTheExportedFunctions) {
    PromptAnswers answers;
    answers.protocol = FileAnswer{false, "p.prt"};
    answers.useCross = true;
    start({}, answers);
    char buffer[261];
    EXPECT_EQ(tvGetOpenFileName("Provide a protocol file:", "", "Protocol Files (*.prt)", buffer),
              1);
    EXPECT_STREQ(buffer, "p.prt");
    EXPECT_EQ(tvGetSaveFileName("Save:", "Simulated.vtc", "*.vtc", buffer), 1);
    EXPECT_STREQ(buffer, "Simulated.vtc");
    EXPECT_EQ(tvYesNoMessageBox("Do you want to use the cross position as the cluster center ?"),
              1);
    EXPECT_EQ(tvGetIntegerInput("Enter number of simulated time points:", 250, 1, 1000), 250);
}

TEST_F(HostSessionTest, FunctionsTheStandInDoesNotProvideWarnAndReturnZero) {
    start();
    EXPECT_EQ(tvGetTavimoPath(), 0);
    EXPECT_EQ(err_.str(),
              "tavimo-standin: warning: the stand-in host does not provide tvGetTavimoPath; it "
              "returned 0\n");
}

}  // namespace
}  // namespace simtrove::standin
