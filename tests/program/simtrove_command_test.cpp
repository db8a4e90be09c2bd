// The simtrove program: without a scenario it is the plug-in's main job, whose
// samples must be tavimo-standin's bit for bit; a bad scenario ends with exit
// 2 and its one line, before any file is written.
#include "program/simtrove_command.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "formats/design_matrix.h"
#include "formats/nifti.h"
#include "scenario/generator.h"
#include "tests/standin/program_runner.h"

namespace simtrove::program {
namespace {

using standin::testing::runProgram;
using standin::testing::ScratchDir;

TEST(SimtroveSimulate, WithoutAScenarioGivesTheStandinMainJobsSamples) {
    const ScratchDir scratch("simtrove_main_job");
    const standin::testing::ProgramRun standin =
        runProgram({"--out", scratch / "standin"}, scratch.path().string(), scratch);
    ASSERT_EQ(standin.exitCode, 0) << standin.err;
    // The engine's run in memory (writing it is the same writer as any run's).
    const scenario::SimulatedRun run = scenario::generate(scenario::plugInMainJob(), {2, false});
    const auto data = formats::readNiftiSeries(scratch / "standin/Simulated.nii.gz");
    const auto truth = formats::readNiftiSeries(scratch / "standin/Simulated_truth.nii.gz");
    ASSERT_TRUE(data.ok() && truth.ok()) << data.error() << truth.error();
    // The stand-in's reader gives each time course together; the engine keeps volumes.
    const std::size_t V = run.labels.size(), T = std::size_t(run.geometry.timePoints);
    ASSERT_EQ(data.value().samples.size(), V * T);
    std::size_t differing = 0;
    for (std::size_t v = 0; v < V; ++v)
        for (std::size_t t = 0; t < T; ++t)
            differing +=
                std::memcmp(&data.value().samples[v * T + t], &run.data[t * V + v], 4) != 0;
    EXPECT_EQ(differing, 0u);
    for (std::size_t v = 0; v < V; ++v) ASSERT_EQ(truth.value().samples[v], float(run.labels[v]));
    // The same design matrix and events.
    EXPECT_EQ(standin::testing::readText(scratch / "standin/plugin_created.rtc"),
              formats::formatDesignMatrix(run.design));
    EXPECT_EQ(standin::testing::readText(scratch / "standin/Simulated_events.tsv"),
              formats::formatEventsTsv(run.events, run.scenario.tr));
}

TEST(SimtroveSimulate, RefusesABadScenarioWithItsLineAndWritesNothing) {
    const ScratchDir scratch("simtrove_bad");
    std::ofstream(scratch / "bad.json") << R"({"noise": {"temporal": {"sd": 1, "ar": [1.0]}}})";
    std::ostringstream out, err;
    EXPECT_EQ(runSimtrove({"simulate", scratch / "bad.json", "--out", scratch / "out"}, out, err),
              kExitError);
    EXPECT_EQ(err.str(),
              "noise.temporal.ar: not stationary (partial autocorrelation at lag 1 is 1, must lie "
              "in (-1, 1))\n");
    EXPECT_FALSE(std::filesystem::exists(scratch / "out"));
    std::ostringstream out2, err2;
    EXPECT_EQ(runSimtrove({"simulate", "--threads=0"}, out2, err2), kExitError);
    EXPECT_NE(err2.str().find("--threads"), std::string::npos) << err2.str();
}

}  // namespace
}  // namespace simtrove::program
