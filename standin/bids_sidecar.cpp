#include "standin/bids_sidecar.h"

#include <nlohmann/json.hpp>

#include "simulation/synthesis.h"

namespace simtrove::standin {

using formats::VtcGeometry;
namespace {

// Keys stay in the order written: readers see the BIDS fields first.
using Json = nlohmann::ordered_json;

std::string predictorName(const SimulationRecord& r, int index) {
    if (index < 0 || std::size_t(index) >= r.predictors.size()) return {};
    return r.predictors[std::size_t(index)];
}

Json predictorOf(const SimulationRecord& r, int index) {
    return Json{{"Predictor", predictorName(r, index)}, {"PredictorNumber", index + 1}};
}

Json clusterOf(const SimulationRecord& r) {
    const simulation::GridPosition centre = simulation::toGridPosition(
        vtcGridOf(r.geometry), r.choice.centre[0], r.choice.centre[1], r.choice.centre[2]);
    Json cluster{{"Centre", r.choice.centre},
                 {"CentreGrid", {centre.x, centre.y, centre.z}},
                 {"RadiusVoxels", simulation::kHalfWidth},
                 {"Voxels", simulation::clusterSphereOffsets().size()}};
    cluster.update(predictorOf(r, r.choice.condition));
    return cluster;
}

Json voisOf(const SimulationRecord& r) {
    Json vois = Json::array();
    for (std::size_t v = 0; v < r.choice.voiPredictors.size() && v < r.vois.vois.size(); ++v) {
        Json voi{{"Name", r.vois.vois[v].name}, {"Voxels", r.vois.vois[v].coordinates.size() / 3}};
        voi.update(predictorOf(r, r.choice.voiPredictors[v]));
        vois.push_back(std::move(voi));
    }
    return vois;
}

Json simulationOf(const SimulationRecord& r) {
    const VtcGeometry& g = r.geometry;
    Json simulation{{"Generator", "Simtrove plug-in run by tavimo-standin"},
                    {"Baseline", simulation::kBaseline},
                    {"NoiseStandardDeviation", simulation::kNoiseScale},
                    {"SignalAmplitudePercentOfBaseline", simulation::kSignalAmplitude}};
    switch (r.choice.mode) {
        case SignalChoice::Mode::Cluster:
            simulation["Mode"] = "cluster";
            simulation["Cluster"] = clusterOf(r);
            break;
        case SignalChoice::Mode::Vois:
            simulation["Mode"] = "VOIs";
            simulation["CoordinateSpace"] = r.vois.coordinateSpace;
            simulation["VOIs"] = voisOf(r);
            break;
        case SignalChoice::Mode::None:
            simulation["Mode"] = "none";
            break;
    }
    simulation["Predictors"] = r.predictors;
    simulation["NumberOfTimePoints"] = g.timePoints;
    simulation["Grid"] = Json{{"Dimensions", {g.dimX(), g.dimY(), g.dimZ()}},
                              {"Start", {g.xStart, g.yStart, g.zStart}},
                              {"End", {g.xEnd, g.yEnd, g.zEnd}},
                              {"Resolution", g.resolution},
                              {"Units", "VMR voxels (1 mm), ends exclusive"}};
    simulation["Seed"] =
        "The generator restarts at the same seed (-1) every run: the same answers give the "
        "same samples.";
    return simulation;
}

// Names come from hand-written files: bytes that are not UTF-8 become U+FFFD
// instead of failing the whole sidecar.
std::string text(const Json& json) {
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string dataSidecarJson(const SimulationRecord& r) {
    return text(Json{{"RepetitionTime", r.repetitionTime},
                     {"TaskName", r.taskName},
                     {"Simulation", simulationOf(r)}});
}

std::string truthSidecarJson(const SimulationRecord& r) {
    Json labels{{"0", "noise only"}};
    for (std::size_t k = 0; k < r.predictors.size(); ++k)
        labels[std::to_string(k + 1)] = r.predictors[k];
    return text(Json{{"TaskName", r.taskName},
                     {"Description",
                      "Signal labels on the grid of the simulated data: 0 where a voxel holds "
                      "only noise, k where the signal of predictor k was written last."},
                     {"Labels", std::move(labels)},
                     {"Simulation", simulationOf(r)}});
}

}  // namespace simtrove::standin
