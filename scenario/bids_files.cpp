#include "scenario/bids_files.h"

#include <filesystem>
#include <set>

#include "formats/bids_dataset.h"
#include "scenario/group.h"
#include "scenario/run_files.h"

namespace simtrove::scenario {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string componentDescription(const std::string& name) {
    if (name == "signal") return "the noise-free signal, baseline included";
    return "the " + name + " noise component";
}

std::string readmeText(const Scenario& s) {
    return "Scenario \"" + s.name + "\": " + std::to_string(s.subjects) + " subject(s) with " +
           std::to_string(s.runs) +
           " run(s) each. The task label keeps the letters and digits of the\n"
           "design's name; TaskName keeps it whole. Slice timing is not simulated: every\n"
           "volume is acquired at once, so the sidecars have no SliceTiming. For Gaussian\n"
           "system noise the data are the sum of the signal and the noise components, in\n"
           "the order signal, system, temporal, drift, physiological, spatial.";
}

formats::BidsRun bidsRun(const SimulatedRun& run, const std::string& subject, int runNumber,
                         const json& runDraws) {
    formats::BidsRun b;
    b.subject = subject;
    b.run = runNumber;
    b.task = dataSidecar(run)["TaskName"].get<std::string>();
    b.repetitionTime = run.scenario.tr;
    b.space = run.geometry.space();
    b.volumes = run.geometry.timePoints;
    b.data = run.data;
    b.protocol = run.events;
    b.truth = run.labels;
    b.truthNames.assign(run.labelNames.begin() + (run.labelNames.empty() ? 0 : 1),
                        run.labelNames.end());
    for (const ComponentArray& c : run.components)
        b.components.push_back({c.name, componentDescription(c.name), c.values});
    for (const formats::Predictor& p : run.design) b.design.columns.push_back(p.name);
    for (std::size_t t = 0; t < std::size_t(run.geometry.timePoints); ++t)
        for (const formats::Predictor& p : run.design)
            b.design.values.push_back(t < p.values.size() ? p.values[t] : 0.0);
    b.realisedJson =
        json{
            {"Realised", run.realised}, {"Variability", runDraws}, {"Simulation", run.scenarioJson}}
            .dump(-1, ' ', false, json::error_handler_t::replace);
    return b;
}

}  // namespace

namespace {

// A folder that already holds subjects this dataset does not have would end up
// as a mix of two datasets, which no listing or validator would explain.
std::string foreignSubjects(const Scenario& s, const std::string& directory) {
    std::error_code error;
    if (!fs::is_directory(directory, error)) return {};
    std::set<std::string> ours;
    for (int subject = 1; subject <= s.subjects; ++subject)
        ours.insert("sub-" + subjectLabel(subject, s.subjects));
    std::set<std::string> foreign;  // sorted, so the message names the first
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("sub-", 0) == 0 && entry.is_directory(error) && !ours.count(name))
            foreign.insert(name);
    }
    if (foreign.empty()) return {};
    return directory + ": holds " + *foreign.begin() +
           ", which this dataset does not have: write into an empty folder or remove it";
}

}  // namespace

std::string writeBidsDataset(const Scenario& s, const std::string& directory,
                             const GenerateOptions& options, std::vector<std::string>* written,
                             const RunProgress& progress) {
    if (std::string problem = foreignSubjects(s, directory); !problem.empty()) return problem;
    formats::BidsDatasetWriter writer(directory, {s.name, "simtrove", "2.0", readmeText(s), {}});
    const int total = s.subjects * s.runs;
    int done = 0;
    std::vector<std::string> labelNames;
    for (int subject = 1; subject <= s.subjects; ++subject) {
        const std::string label = subjectLabel(subject, s.subjects);
        const SubjectDraws subjectDraws = drawSubject(s, subject);
        for (int r = 1; r <= s.runs; ++r) {
            const RunDraws runDraws = drawRun(s, subjectDraws, r);
            const SimulatedRun run = generate(runScenario(s, subjectDraws, runDraws), options);
            const formats::BidsRun b =
                bidsRun(run, label, s.runs > 1 ? r : 0, drawsJson(s, runDraws));
            if (std::string p = writer.writeRun(b); !p.empty()) return p;
            if (written)
                written->push_back((fs::path(directory) / ("sub-" + label) / "func" /
                                    (formats::BidsDatasetWriter::runStem(b) + "_bold.nii.gz"))
                                       .string());
            labelNames = b.truthNames;
            if (progress) progress(++done, total);
        }
        if (std::string p = writer.writeSubjectDraws(
                label,
                drawsJson(s, subjectDraws).dump(-1, ' ', false, json::error_handler_t::replace));
            !p.empty())
            return p;
    }
    formats::ImageSpace space{s.grid.shape, s.grid.voxelMm, 0.0};
    if (std::string p = writer.finish(formats::GroupTruth{space, groupLabels(s), labelNames});
        !p.empty())
        return p;
    if (written) written->push_back((fs::path(directory) / "dataset_description.json").string());
    return {};
}

}  // namespace simtrove::scenario
