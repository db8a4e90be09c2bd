#include "standin/bids_copy.h"

#include <filesystem>

#if SIMTROVE_HAVE_NIFTI
#include "formats/bids_dataset.h"
#endif

namespace simtrove::standin {

BidsCopy writeBidsCopy(const std::string& directory, const std::string& savedBase,
                       const SimulationRecord& record, const formats::Protocol& protocol,
                       const std::vector<formats::Predictor>& predictors,
                       std::span<const float> samples) {
#if !SIMTROVE_HAVE_NIFTI
    (void)savedBase;
    (void)record;
    (void)protocol;
    (void)predictors;
    (void)samples;
    return {{}, directory + ": cannot write a BIDS dataset: this build has no NIfTI library"};
#else
    using namespace formats;
    Result<std::vector<std::int16_t> > labels =
        truthLabels(record.geometry, record.choice, record.vois);
    if (!labels) return {{}, directory + ": cannot write the truth map: " + labels.error()};

    BidsRun run;
    run.subject = "01";
    run.task = record.taskName;
    run.repetitionTime = record.repetitionTime;
    const VtcGeometry& g = record.geometry;
    const double r = g.resolution;
    run.space = {{g.dimX(), g.dimY(), g.dimZ()}, {r, r, r}, record.repetitionTime};
    run.volumes = g.timePoints;
    // The VTC keeps each time course together; NIfTI stores volume after volume.
    const std::size_t voxels = std::size_t(g.voxelCount()), volumes = std::size_t(g.timePoints);
    std::vector<float> data(samples.size());
    for (std::size_t v = 0; v < voxels; ++v)
        for (std::size_t t = 0; t < volumes; ++t) data[t * voxels + v] = samples[v * volumes + t];
    run.data = data;
    run.protocol = protocol;
    run.truth = labels.value();
    for (const Predictor& predictor : predictors) {
        run.truthNames.push_back(predictor.name);
        run.design.columns.push_back(predictor.name);
    }
    for (std::size_t t = 0; t < std::size_t(run.volumes); ++t)
        for (const Predictor& predictor : predictors)
            run.design.values.push_back(t < predictor.values.size() ? predictor.values[t] : 0.0);
    run.realisedJson = dataSidecarJson(record);

    const std::string readme =
        "One run of the plug-in's simulation through tavimo-standin: baseline 100, white\n"
        "Gaussian noise of standard deviation 5 and a 3 % signal. The task label keeps the\n"
        "letters and digits of the protocol's name (\"" +
        record.taskName +
        "\"; TaskName keeps it whole). Slice timing is not simulated: the sidecar has no\n"
        "SliceTiming.";
    BidsDatasetWriter writer(directory, {"Simtrove simulation",
                                         "simtrove",
                                         "2.0",
                                         readme,
                                         {"*.vtc", "*.rtc", "*.prt", "*.log",
                                          "/" + savedBase + ".*", "/" + savedBase + "_*"}});
    if (std::string p = writer.writeRun(run); !p.empty()) return {{}, p};
    if (std::string p = writer.finish(std::nullopt); !p.empty()) return {{}, p};
    namespace fs = std::filesystem;
    return {
        {(fs::path(directory) / ("sub-01/func/" + BidsDatasetWriter::runStem(run) + "_bold.nii.gz"))
             .string(),
         (fs::path(directory) / "dataset_description.json").string()},
        {}};
#endif
}

}  // namespace simtrove::standin
