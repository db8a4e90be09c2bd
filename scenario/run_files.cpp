#include "scenario/run_files.h"

#include <filesystem>

#include "formats/design_matrix.h"
#include "formats/nifti.h"
#include "formats/output_file.h"
#include "formats/protocol.h"

namespace simtrove::scenario {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// BIDS task labels are letters and digits: the design file's stem, so cleaned.
std::string taskName(const Scenario& s) {
    const std::string stem = s.design.source == DesignSource::Builtin
                                 ? std::string("block")
                                 : fs::path(s.design.path).filename().string();
    std::string name;
    for (char c : stem.substr(0, stem.find('.')))
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
    return name.empty() ? "simulated" : name;
}

// Names come from hand-written files: bytes that are not UTF-8 become U+FFFD.
std::string text(const json& value) {
    return value.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string writeImage(const std::string& path, const SimulatedRun& run,
                       const std::vector<float>& values, const std::string& description) {
    formats::OutputFile file(path);
    const std::string problem = formats::writeNiftiVolumes(
        file.temporaryPath(), run.geometry.space(), values, run.geometry.timePoints, description);
    // The writer names the temporary file; the final name is what the user knows.
    if (!problem.empty()) return path + problem.substr(file.temporaryPath().size());
    return file.commit("the NIfTI image");
}

std::string writeLabels(const std::string& path, const SimulatedRun& run) {
    formats::OutputFile file(path);
    formats::ImageSpace space = run.geometry.space();
    space.repetitionTime = 0.0;
    const std::string problem = formats::writeNiftiLabels(file.temporaryPath(), space, run.labels,
                                                          "simulated truth labels");
    if (!problem.empty()) return path + problem.substr(file.temporaryPath().size());
    return file.commit("the truth map");
}

}  // namespace

json dataSidecar(const SimulatedRun& run) {
    return {{"RepetitionTime", run.scenario.tr},
            {"TaskName", taskName(run.scenario)},
            {"Simulation", run.scenarioJson},
            {"Realised", run.realised}};
}

json truthSidecar(const SimulatedRun& run) {
    json labels = json::object();
    for (std::size_t k = 0; k < run.labelNames.size(); ++k)
        labels[std::to_string(k)] = run.labelNames[k];
    return {{"TaskName", taskName(run.scenario)},
            {"Description",
             "Signal labels on the grid of the simulated data: 0 where a voxel holds only "
             "noise, k where the signal of design column k was written last."},
            {"Labels", labels},
            {"Simulation", run.scenarioJson}};
}

std::string writeRunFiles(const SimulatedRun& run, const std::string& folder,
                          std::vector<std::string>* written) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (!fs::is_directory(folder, error))
        return folder + ": cannot create the output folder" +
               (error ? ": " + error.message() : std::string());
    const std::string base = (fs::path(folder) / run.scenario.name).string();
    auto done = [&](const std::string& path, const std::string& problem) {
        if (problem.empty() && written) written->push_back(path);
        return problem;
    };
    std::string problem;
    if (!(problem = done(base + ".nii.gz",
                         writeImage(base + ".nii.gz", run, run.data, "simulated run (simtrove)")))
             .empty())
        return problem;
    const std::pair<std::string, std::string> texts[] = {
        {base + ".json", text(dataSidecar(run))},
        {base + "_truth.json", text(truthSidecar(run))},
        {base + "_events.tsv", formats::formatEventsTsv(run.events, run.scenario.tr)},
        {base + "_design.rtc", formats::formatDesignMatrix(run.design)},
    };
    if (!(problem = done(base + "_truth.nii.gz", writeLabels(base + "_truth.nii.gz", run))).empty())
        return problem;
    for (const auto& [path, bytes] : texts)
        if (!(problem = done(path, formats::writeFileAtomically(path, bytes, "the file"))).empty())
            return problem;
    for (const ComponentArray& c : run.components) {
        const std::string path = base + "_desc-" + c.name + ".nii.gz";
        if (!(problem = done(path, writeImage(path, run, c.values, "simulated " + c.name))).empty())
            return problem;
    }
    return {};
}

}  // namespace simtrove::scenario
