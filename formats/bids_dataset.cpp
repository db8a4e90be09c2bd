#include "formats/bids_dataset.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>

#include "formats/output_file.h"

namespace simtrove::formats {
namespace {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

constexpr const char* kBidsVersion = "1.8.0";
constexpr const char* kPipeline = "simtrove";

// 15 significant digits, as formatEventsTsv: decimal seconds read back exactly
// enough for the reader's slack.
std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

std::string tsvField(std::string text) {
    std::replace(text.begin(), text.end(), '\t', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

std::string jsonText(const ordered_json& json) {
    return json.dump(2) + "\n";
}

std::string makeFolder(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) return folder.string() + ": cannot create the folder: " + error.message();
    return {};
}

std::string writeText(const fs::path& path, const std::string& text, std::string_view kind) {
    if (std::string problem = makeFolder(path.parent_path()); !problem.empty()) return problem;
    return writeFileAtomically(path.string(), text, kind);
}

// The library's messages name the temporary file; users know the final name.
std::string finalNamed(const fs::path& path, const std::string& problem) {
    return path.string() + problem.substr(problem.find(':'));
}

std::string writeSeries(const fs::path& path, ImageSpace space, double tr,
                        std::span<const float> samples, std::int64_t volumes,
                        const std::string& description) {
    if (std::string problem = makeFolder(path.parent_path()); !problem.empty()) return problem;
    OutputFile output(path.string());
    space.repetitionTime = tr;
    if (std::string problem =
            writeNiftiVolumes(output.temporaryPath(), space, samples, volumes, description);
        !problem.empty())
        return finalNamed(path, problem);
    return output.commit("the NIfTI image");
}

std::string writeLabelImage(const fs::path& path, ImageSpace space,
                            std::span<const std::int16_t> labels) {
    if (std::string problem = makeFolder(path.parent_path()); !problem.empty()) return problem;
    OutputFile output(path.string());
    space.repetitionTime = 0.0;
    if (std::string problem =
            writeNiftiLabels(output.temporaryPath(), space, labels, "simulated truth labels");
        !problem.empty())
        return finalNamed(path, problem);
    return output.commit("the truth map");
}

// The lookup table of a segmentation: index 0 is the voxels without signal.
std::string dsegTable(const std::vector<std::string>& names) {
    std::string text = "index\tname\n0\tnone\n";
    for (std::size_t i = 0; i < names.size(); ++i)
        text += std::to_string(i + 1) + "\t" + tsvField(names[i]) + "\n";
    return text;
}

ordered_json generatedBy(const DatasetInfo& info) {
    return ordered_json::array(
        {{{"Name", info.generatorName}, {"Version", info.generatorVersion}}});
}

std::string designTable(const DesignTable& design) {
    std::string text;
    for (std::size_t c = 0; c < design.columns.size(); ++c) {
        if (c) text += '\t';
        text += tsvField(design.columns[c]);
    }
    text += '\n';
    const std::size_t n = design.columns.size();
    if (n == 0) return text;
    for (std::size_t row = 0; row * n < design.values.size(); ++row) {
        for (std::size_t c = 0; c < n; ++c) {
            if (c) text += '\t';
            text += number(design.values[row * n + c]);
        }
        text += '\n';
    }
    return text;
}

std::string readme(const DatasetInfo& info) {
    std::string text =
        info.name + "\n" + std::string(info.name.size(), '=') +
        "\n\n"
        "Simulated functional MRI data written by " +
        info.generatorName + " " + info.generatorVersion +
        ". Every run is one simulation with a known ground truth:\n"
        "derivatives/" +
        kPipeline +
        "/ holds, per run, the truth map (desc-truth_dseg) with its\n"
        "lookup table, the design matrix (design.tsv), the noise-free signal and\n"
        "each noise component (desc-NAME_bold) when they were asked for, the\n"
        "realised statistics (realised.json) and each subject's variability draws.\n";
    if (!info.readme.empty()) text += "\n" + info.readme + "\n";
    return text;
}

}  // namespace

std::string bidsLabel(std::string_view name) {
    std::string label;
    for (char c : name)
        if (std::isalnum(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 128)
            label += c;
    return label;
}

std::string formatEventsTsvInOnsetOrder(const Protocol& protocol, double repetitionTime) {
    struct Row {
        int first;
        std::size_t condition;
        int length;
    };
    std::vector<Row> rows;
    for (std::size_t c = 0; c < protocol.conditions.size(); ++c)
        for (const Interval& interval : protocol.conditions[c].intervals)
            rows.push_back({interval.first, c, interval.last - interval.first + 1});
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return a.first != b.first ? a.first < b.first : a.condition < b.condition;
    });
    std::string text = "onset\tduration\ttrial_type\n";
    for (const Row& row : rows)
        text += number(double(row.first - 1) * repetitionTime) + "\t" +
                number(double(row.length) * repetitionTime) + "\t" +
                tsvField(protocol.conditions[row.condition].name) + "\n";
    return text;
}

BidsDatasetWriter::BidsDatasetWriter(std::string directory, DatasetInfo info)
    : directory_(std::move(directory)), info_(std::move(info)) {}

std::string BidsDatasetWriter::runStem(const BidsRun& run) {
    std::string stem = "sub-" + bidsLabel(run.subject) + "_task-" + bidsLabel(run.task);
    if (run.run >= 1) stem += "_run-" + std::to_string(run.run);
    return stem;
}

std::string BidsDatasetWriter::writeRun(const BidsRun& run) {
    const std::string subject = bidsLabel(run.subject);
    const std::string task = bidsLabel(run.task);
    if (subject.empty())
        return directory_ + ": subject \"" + run.subject + "\" has no letter or digit";
    if (task.empty()) return directory_ + ": task \"" + run.task + "\" has no letter or digit";
    const std::string stem = runStem(run);
    const fs::path func = fs::path(directory_) / ("sub-" + subject) / "func";
    const fs::path derived =
        fs::path(directory_) / "derivatives" / kPipeline / ("sub-" + subject) / "func";
    const double tr = run.repetitionTime;

    if (std::string p = writeSeries(func / (stem + "_bold.nii.gz"), run.space, tr, run.data,
                                    run.volumes, "simulated run (" + info_.generatorName + ")");
        !p.empty())
        return p;
    if (std::string p = writeText(func / (stem + "_events.tsv"),
                                  formatEventsTsvInOnsetOrder(run.protocol, tr), "the events");
        !p.empty())
        return p;

    if (!run.truth.empty()) {
        if (std::string p =
                writeLabelImage(derived / (stem + "_desc-truth_dseg.nii.gz"), run.space, run.truth);
            !p.empty())
            return p;
        if (std::string p = writeText(derived / (stem + "_desc-truth_dseg.tsv"),
                                      dsegTable(run.truthNames), "the truth labels");
            !p.empty())
            return p;
    }
    for (const SeriesImage& component : run.components) {
        const std::string base = stem + "_desc-" + bidsLabel(component.name) + "_bold";
        if (std::string p =
                writeSeries(derived / (base + ".nii.gz"), run.space, tr, component.samples,
                            run.volumes, "simulated " + component.name);
            !p.empty())
            return p;
        ordered_json sidecar = {
            {"TaskName", run.task}, {"RepetitionTime", tr}, {"Description", component.description}};
        if (std::string p = writeText(derived / (base + ".json"), jsonText(sidecar), "the sidecar");
            !p.empty())
            return p;
    }
    if (!run.design.columns.empty())
        if (std::string p = writeText(derived / (stem + "_design.tsv"), designTable(run.design),
                                      "the design matrix");
            !p.empty())
            return p;
    if (!run.realisedJson.empty()) {
        const ordered_json realised = ordered_json::parse(run.realisedJson, nullptr, false);
        if (realised.is_discarded())
            return (derived / (stem + "_realised.json")).string() +
                   ": cannot write the statistics: not JSON";
        if (std::string p = writeText(derived / (stem + "_realised.json"), jsonText(realised),
                                      "the statistics");
            !p.empty())
            return p;
    }

    if (std::find(subjects_.begin(), subjects_.end(), subject) == subjects_.end())
        subjects_.push_back(subject);
    ordered_json bold = {{"TaskName", run.task}, {"RepetitionTime", tr}};
    if (!run.sliceTiming.empty()) bold["SliceTiming"] = run.sliceTiming;
    ordered_json levels = ordered_json::object();
    for (std::size_t c = 0; c < run.protocol.conditions.size(); ++c)
        levels[run.protocol.conditions[c].name] =
            "condition " + std::to_string(c + 1) + " of the design matrix";
    ordered_json events = {
        {"onset", {{"Description", "start of the event"}, {"Units", "s"}}},
        {"duration", {{"Description", "length of the event"}, {"Units", "s"}}},
        {"trial_type", {{"Description", "the condition of the event"}, {"Levels", levels}}}};
    sidecars_.push_back(
        {task, fs::relative(func, directory_).string(), stem, jsonText(bold), jsonText(events)});
    return {};
}

std::string BidsDatasetWriter::writeSubjectDraws(const std::string& subject,
                                                 const std::string& json) {
    const std::string label = bidsLabel(subject);
    const fs::path path = fs::path(directory_) / "derivatives" / kPipeline / ("sub-" + label) /
                          ("sub-" + label + "_variability.json");
    const ordered_json draws = ordered_json::parse(json, nullptr, false);
    if (draws.is_discarded()) return path.string() + ": cannot write the draws: not JSON";
    return writeText(path, jsonText(draws), "the draws");
}

std::string BidsDatasetWriter::finish(const std::optional<GroupTruth>& group) {
    const fs::path top(directory_);
    const fs::path derived = top / "derivatives" / kPipeline;
    const ordered_json raw = {{"Name", info_.name},
                              {"BIDSVersion", kBidsVersion},
                              {"DatasetType", "raw"},
                              {"GeneratedBy", generatedBy(info_)}};
    if (std::string p =
            writeText(top / "dataset_description.json", jsonText(raw), "the dataset description");
        !p.empty())
        return p;
    const ordered_json derivative = {{"Name", info_.name + " (ground truth)"},
                                     {"BIDSVersion", kBidsVersion},
                                     {"DatasetType", "derivative"},
                                     {"GeneratedBy", generatedBy(info_)}};
    if (std::string p = writeText(derived / "dataset_description.json", jsonText(derivative),
                                  "the dataset description");
        !p.empty())
        return p;
    if (std::string p = writeText(top / "README", readme(info_), "the README"); !p.empty())
        return p;

    std::string participants = "participant_id\n";
    for (const std::string& subject : subjects_) participants += "sub-" + subject + "\n";
    if (std::string p = writeText(top / "participants.tsv", participants, "the participants");
        !p.empty())
        return p;
    const ordered_json columns = {
        {"participant_id", {{"Description", "the simulated subject's label"}}}};
    if (std::string p =
            writeText(top / "participants.json", jsonText(columns), "the participants' columns");
        !p.empty())
        return p;

    std::string ignore = "derivatives/\n";
    for (const std::string& pattern : info_.ignore) ignore += pattern + "\n";
    if (std::string p = writeText(top / ".bidsignore", ignore, "the ignore list"); !p.empty())
        return p;

    // A sidecar shared by every run of a task goes to the top once; otherwise
    // each run keeps its own.
    std::vector<std::string> tasks;
    for (const Sidecars& s : sidecars_)
        if (std::find(tasks.begin(), tasks.end(), s.taskLabel) == tasks.end())
            tasks.push_back(s.taskLabel);
    for (const std::string& task : tasks) {
        for (auto member : {&Sidecars::bold, &Sidecars::events}) {
            const char* suffix = member == &Sidecars::bold ? "_bold.json" : "_events.json";
            const std::string* first = nullptr;
            bool shared = true;
            for (const Sidecars& s : sidecars_)
                if (s.taskLabel == task) {
                    if (!first) first = &(s.*member);
                    shared = shared && s.*member == *first;
                }
            if (shared) {
                if (std::string p =
                        writeText(top / ("task-" + task + suffix), *first, "the sidecar");
                    !p.empty())
                    return p;
                continue;
            }
            for (const Sidecars& s : sidecars_)
                if (s.taskLabel == task)
                    if (std::string p = writeText(top / s.funcFolder / (s.stem + suffix), s.*member,
                                                  "the sidecar");
                        !p.empty())
                        return p;
        }
    }

    if (group) {
        if (std::string p =
                writeLabelImage(derived / "desc-truth_dseg.nii.gz", group->space, group->labels);
            !p.empty())
            return p;
        if (std::string p = writeText(derived / "desc-truth_dseg.tsv", dsegTable(group->names),
                                      "the truth labels");
            !p.empty())
            return p;
    }
    return {};
}

}  // namespace simtrove::formats
