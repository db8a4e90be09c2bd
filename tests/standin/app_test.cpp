#include "standin/app.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "host/host_function_list.h"
#include "standin/phase_timings.h"
#include "tests/standin/program_runner.h"

namespace simtrove::standin {
namespace {

using testing::ProgramRun;
using testing::runProgram;
using testing::ScratchDir;

// The names of the host function list, in its order.
std::vector<std::string> hostFunctionNames() {
    std::vector<std::string> names;
#define SIMTROVE_NAME_OF_CALLED(name, result, params) names.push_back(#name);
#define SIMTROVE_NAME_OF_OTHER(name) names.push_back(#name);
    SIMTROVE_HOST_FUNCTIONS(SIMTROVE_NAME_OF_CALLED, SIMTROVE_NAME_OF_OTHER)
#undef SIMTROVE_NAME_OF_CALLED
#undef SIMTROVE_NAME_OF_OTHER
    return names;
}

TEST(Program, ExportsExactlyTheHostFunctionsByName) {
    const std::string command = std::string("nm -D --defined-only ") + STANDIN_PROGRAM;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> exported;
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::string text(line);
        const std::size_t space = text.find_last_of(' ');
        std::string name = text.substr(space + 1);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
        if (name.rfind("tv", 0) == 0) exported.insert(name);
    }
    const std::vector<std::string> names = hostFunctionNames();
    ASSERT_EQ(names.size(), 150u);
    EXPECT_EQ(exported, std::set<std::string>(names.begin(), names.end()));
}

TEST(Program, HelpListsTheOptionsAndExitsZero) {
    ScratchDir scratch("help");
    ProgramRun run = runProgram({"--help"}, scratch.path().string(), scratch);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("Usage: tavimo-standin [OPTION]...\n", 0), 0u);
    EXPECT_EQ(run.err, "");
}

TEST(Program, OwnErrorsExitTwoWithOneLine) {
    ScratchDir scratch("errors");
    const std::string dir = scratch.path().string();
    {
        std::ofstream(scratch / "bad.voi") << "simtrove-vois 1\ncoordinate-space 0\nvoi A\n1 2\n";
        std::ofstream(scratch / "nul.answers") << std::string("1\n\0\n", 4);
        std::ofstream(scratch / "file") << "x";
    }
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"--bogus"}, "tavimo-standin: error: unknown option \"--bogus\" (see --help)\n"},
        {{"--tr", "0"},
         "tavimo-standin: error: --tr: the repetition time must be from 0.01 to 10 seconds (see "
         "--help)\n"},
        {{"--vois", "missing.voi"},
         "tavimo-standin: error: missing.voi: cannot read: No such file or directory\n"},
        {{"--vois", "bad.voi"},
         "tavimo-standin: error: bad.voi:4: expected \"voi NAME\" or a voxel \"X Y Z\", got \"1 "
         "2\"\n"},
        {{"--answers", "nul.answers"},
         "tavimo-standin: error: nul.answers:2: contains a NUL byte\n"},
        {{"--out", "file/sub"},
         "tavimo-standin: error: file/sub: cannot create the output directory: Not a directory\n"},
        {{"--out", "file"},
         "tavimo-standin: error: file: cannot create the output directory: Not a directory\n"},
        {{"--out", "o", "--plugin", "nothing.so"},
         "tavimo-standin: error: cannot load the plug-in: ./nothing.so: cannot open shared object "
         "file: No "
         "such file or directory\n"},
    };
    for (const Case& c : cases) {
        ProgramRun run = runProgram(c.args, dir, scratch);
        EXPECT_EQ(run.exitCode, 2) << c.err;
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
    }
}

// The first reason counts: the system's answer to creating the folder, not
// that it is missing afterwards.
TEST(Program, AnOutputFolderThatCannotBeCreatedGivesTheSystemsReason) {
    ScratchDir scratch("outdir");
    const std::string folder = "/sys/simtrove-test";  // sysfs refuses new folders
    errno = 0;
    const int made = mkdir(folder.c_str(), 0755);
    ASSERT_NE(made, 0);
    const std::string reason = std::strerror(errno);
    ProgramRun run = runProgram({"--out", folder + "/sub"}, scratch.path().string(), scratch);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "tavimo-standin: error: " + folder +
                           "/sub: cannot create the output directory: " + reason + "\n");
}

// Nothing is written before the plug-in has loaded.
TEST(Program, APlugInThatCannotLoadLeavesNoFiles) {
    ScratchDir scratch("noload");
    ProgramRun run = runProgram({"--out", "o", "--plugin", "nothing.so", "--time-points", "5"},
                                scratch.path().string(), scratch);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "o"));
}

TEST(Program, VersionAndValuesAfterAnEqualsSign) {
    ScratchDir scratch("version");
    ProgramRun version = runProgram({"--version"}, scratch.path().string(), scratch);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("tavimo-standin (Simtrove) ", 0), 0u) << version.out;
    ProgramRun report = runProgram({"report", "--version"}, scratch.path().string(), scratch);
    EXPECT_EQ(report.out.rfind("tavimo-standin report (Simtrove) ", 0), 0u) << report.out;
    ProgramRun equals =
        runProgram({"--out=o", "--time-points=cancel"}, scratch.path().string(), scratch);
    EXPECT_EQ(equals.exitCode, 1) << equals.err;
    EXPECT_TRUE(std::filesystem::exists(scratch.path() / "o" / "simtrove.log"));
}

TEST(Program, APlugInThatRefusesToStartExitsOne) {
    ScratchDir scratch("refuse");
    ProgramRun run =
        runProgram({"--out", ".", "--host-version", "1.9.9"}, scratch.path().string(), scratch);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              "message: Can not execute this plugin - Tavimo version 2.0.0 or higher required.\n"
              "tavimo-standin: the plug-in refused to start (initPlugin returned false)\n");
}

TEST(Program, FindsThePlugInBuiltBesideIt) {
    const std::string found = defaultPluginPath(STANDIN_PROGRAM);
    EXPECT_TRUE(std::filesystem::exists(found)) << found;
    EXPECT_EQ(std::filesystem::path(found).filename(), "libsimtrove.so");
    EXPECT_EQ(defaultPluginPath("/nowhere/bin/tavimo-standin"), "/nowhere/plugin/libsimtrove.so");
}

}  // namespace
}  // namespace simtrove::standin

namespace simtrove::standin {
namespace {

// Every phase of a small scripted run is timed, and the line lists them in order.
TEST(Program, TimingsListEveryPhaseOfTheRun) {
    ScratchDir scratch("timings");
    ProgramRun run = runProgram({"--out", scratch.path().string(), "--timings", "--time-points",
                                 "12", "--nifti", "--use-cross", "yes", "--condition", "2",
                                 "--save", "t.vtc", "--protocol", "examples/block.prt"},
                                STANDIN_SOURCE_DIR, scratch);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.err, ::testing::ContainsRegex(
                             "timings: design matrix [0-9.]+ s, noise [0-9.]+ s, signal [0-9.]+ s, "
                             "save VTC [0-9.]+ s, save NIfTI [0-9.]+ s, total [0-9.]+ s\n"));
}

TEST(PhaseTimingsTest, OnlyRunningPhasesEndAndRepeatedPhasesAddUp) {
    PhaseTimings timings;
    timings.end(Phase::Noise);  // never begun: nothing happens
    EXPECT_EQ(timings.seconds(Phase::Noise), 0.0);
    timings.begin(Phase::SaveVtc);
    EXPECT_TRUE(timings.running(Phase::SaveVtc));
    timings.end(Phase::SaveVtc);
    const double first = timings.seconds(Phase::SaveVtc);
    EXPECT_FALSE(timings.running(Phase::SaveVtc));
    timings.begin(Phase::SaveVtc);
    timings.end(Phase::SaveVtc);
    EXPECT_GE(timings.seconds(Phase::SaveVtc), first);
}

}  // namespace
}  // namespace simtrove::standin
