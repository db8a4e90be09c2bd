// A scripted host for tests, put behind the platform seam.
//
// FakeHost::install() makes bindHostFunctions() find this host; every call the
// plug-in makes is answered from the script below and recorded in `calls` as
// one line "tvName(arg, arg, ...)". Answers that run out take neutral defaults
// (the offered default for integers, "no" for questions, cancel for files).
#pragma once

#include <deque>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/records.h"

namespace simtrove::testing {

struct FakeVoi {
    FakeVoi(std::string voiName, std::vector<int> voxelCoordinates, bool nullOnSecondCall = false)
        : name(std::move(voiName)),
          coordinates(std::move(voxelCoordinates)),
          nullVoxelsOnSecondCall(nullOnSecondCall) {}
    std::string name;
    std::vector<int> coordinates;  // three ints per voxel
    bool nullVoxelsOnSecondCall = false;
    std::optional<int> voxelCountOverride;
};

struct FakeHost {
    // Module and exports.
    bool moduleFound = true;
    std::set<std::string> absent;  // names the host does not export
    int version[3] = {2, 0, 0};

    // The VMR and its cross-hair.
    bool hasVmr = true;
    int vmrDims[3] = {256, 256, 256};
    int cross[3] = {128, 128, 128};

    // The VTC the host creates: box and resolution; time points as asked unless overridden.
    int box[6] = {100, 110, 100, 110, 100, 110};  // XStart XEnd YStart YEnd ZStart ZEnd
    int resolution = 1;
    std::optional<int> timePointsOverride;
    bool nullSamples = false;
    vtc_header header{};  // last header given out / taken back
    std::vector<float> samples;

    // Protocol and predictors.
    std::vector<std::string> conditions = {"Rest", "Task"};
    std::optional<int> conditionCountOverride;
    std::vector<std::vector<float>> predictorValues;  // per predictor index; default: ramp
    std::set<int> nullPredictors;
    std::vector<std::string> predictors;  // names added

    // VOIs.
    std::vector<FakeVoi> vois;
    int coordinateSpace = 0;
    std::optional<int> voiCountOverride;

    // Scripted answers.
    std::deque<int> integers;
    std::deque<bool> yesNo;
    std::deque<std::optional<std::string>> openFiles;
    std::deque<std::optional<std::string>> saveFiles;

    // What happened.
    std::vector<std::string> calls;
    std::vector<std::string> log;
    std::vector<std::string> messages;
    int busyDepth = 0;
    int voiCallsSeen[64] = {};

    // The calls without log lines, for shorter transcripts.
    std::vector<std::string> callsExceptLog() const;

    static FakeHost& instance();
    // Resets to defaults and routes host lookups here.
    static FakeHost& install();
    // Restores the platform lookup.
    static void uninstall();
};

}  // namespace simtrove::testing
