// Writes a small simulated BIDS dataset through formats/bids_dataset.h for
// the validator and the Python readers to check:
//   bids_example_writer DIR SUBJECTS RUNS
// 8 x 8 x 6 voxels of 3 mm, 40 volumes of 2 s, the
// built-in block design, a 3 % Task signal in a box of voxels; the signal and
// white Gaussian system noise (sd 5, seeded by subject and run) are written
// as components, and the data are their sum.
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "formats/bids_dataset.h"

using namespace simtrove::formats;

namespace {

constexpr int kVolumes = 40;

int fail(const std::string& why) {
    std::fprintf(stderr, "bids_example_writer: %s\n", why.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return fail("usage: bids_example_writer DIR SUBJECTS RUNS");
    const int subjects = std::stoi(argv[2]);
    const int runs = std::stoi(argv[3]);
    const ImageSpace space{{8, 8, 6}, {3.0, 3.0, 3.0}, 2.0};
    const std::size_t voxels = 8 * 8 * 6;
    const Protocol protocol = builtinBlockProtocol(kVolumes);

    std::vector<std::int16_t> truth(voxels, 0);
    for (int z = 2; z < 4; ++z)
        for (int y = 2; y < 5; ++y)
            for (int x = 2; x < 5; ++x) truth[std::size_t((z * 8 + y) * 8 + x)] = 1;
    std::vector<double> task(kVolumes, 0.0);
    for (const Interval& i : protocol.conditions[1].intervals)
        for (int v = i.first; v <= i.last; ++v) task[std::size_t(v - 1)] = 1.0;

    BidsDatasetWriter writer(argv[1], {"Simtrove example",
                                       "simtrove",
                                       "2.0",
                                       "Slice timing: not simulated (no SliceTiming).",
                                       {}});
    for (int s = 1; s <= subjects; ++s) {
        char subject[16];
        std::snprintf(subject, sizeof subject, "%02d", s);
        for (int r = 1; r <= runs; ++r) {
            std::vector<float> signal(voxels * kVolumes), noise(signal.size()), data(signal.size());
            std::mt19937_64 random(std::uint64_t(1000 * s + r));
            std::normal_distribution<double> normal(0.0, 5.0);
            for (std::size_t v = 0; v < voxels; ++v)
                for (std::size_t t = 0; t < kVolumes; ++t) {
                    const std::size_t i = t * voxels + v;
                    signal[i] = float(100.0 + (truth[v] ? 3.0 * task[t] : 0.0));
                    noise[i] = float(normal(random));
                    data[i] = signal[i] + noise[i];
                }
            BidsRun run;
            run.subject = subject;
            run.run = runs > 1 ? r : 0;
            run.task = "simtrove_block";
            run.space = space;
            run.volumes = kVolumes;
            run.data = data;
            run.protocol = protocol;
            run.truth = truth;
            run.truthNames = {"Task"};
            run.components = {{"signal", "noise-free signal, baseline included", signal},
                              {"system", "white Gaussian system noise", noise}};
            run.design.columns = {"Rest", "Task"};
            for (std::size_t t = 0; t < kVolumes; ++t)
                run.design.values.insert(run.design.values.end(), {1.0 - task[t], task[t]});
            run.realisedJson = R"({"system": {"sd": 5}})";
            if (std::string p = writer.writeRun(run); !p.empty()) return fail(p);
        }
        if (std::string p = writer.writeSubjectDraws(subject, R"({"Task": {"percent": 3}})");
            !p.empty())
            return fail(p);
    }
    if (std::string p = writer.finish(GroupTruth{space, truth, {"Task"}}); !p.empty())
        return fail(p);
    return 0;
}
