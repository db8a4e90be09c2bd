// Subjects and runs of a scenario: the scenario of each run, with its own
// random streams and the variability drawn for it.
//
// Subject s (1-based) and run r of a "philox" scenario get the seed made of
// the first two words of the Philox block (seed, RunSeed, stream s * 2^32 + r),
// and their draws from the standard normals of their own streams:
//   subject: (seed, SubjectDraws, s): position i < R (regions) the deviation
//            of region i's percent, positions R .. R+2 the centre shift x, y, z;
//   run:     (seed, RunDraws, s * 2^32 + r): position i the run's deviation.
// Region i's percent = percent + percent_sd * subject_i + run_percent_sd * run_i;
// every sphere's centre moves by round(center_jitter_voxels * shift) voxels
// and its voxels are those of the moved sphere on the grid. So subject 3 is the
// same whether 3 or 30 subjects are simulated. The "plug-in" generator has a
// single run, unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "scenario/scenario.h"

namespace simtrove::scenario {

struct SubjectDraws {
    int subject = 1;
    std::vector<double> percent;          // per region, after the subject's deviation
    std::array<std::int64_t, 3> shift{};  // voxels
};

struct RunDraws {
    int run = 1;
    std::vector<double> percent;  // per region, the run's final percent
};

SubjectDraws drawSubject(const Scenario& scenario, int subject);
RunDraws drawRun(const Scenario& scenario, const SubjectDraws& subject, int run);

// The scenario of one run: the run's seed, percents and (moved) regions;
// subjects and runs 1.
Scenario runScenario(const Scenario& scenario, const SubjectDraws& subject, const RunDraws& run);

// "01", "02", ...: at least two digits, more when there are 100 subjects or more.
std::string subjectLabel(int subject, int subjects);

// The truth before any shift: per voxel 0, or the design column (1-based)
// of the last region covering it, inside the mask.
std::vector<std::int16_t> groupLabels(const Scenario& scenario);

nlohmann::json drawsJson(const Scenario& scenario, const SubjectDraws& subject);
nlohmann::json drawsJson(const Scenario& scenario, const RunDraws& run);

}  // namespace simtrove::scenario
