#include "standin/truth_map.h"

#include <algorithm>

#include "simulation/signal_geometry.h"

namespace simtrove::standin {

using formats::Result;
using formats::VoiSet;
using formats::VtcGeometry;
namespace {

using simulation::GridPosition;
using simulation::VtcGrid;

class Labeller {
  public:
    explicit Labeller(const VtcGrid& grid) : grid_(grid), labels_(grid.voxelCount(), 0) {}

    void mark(const GridPosition& p, std::int16_t label) {
        if (grid_.contains(p.x, p.y, p.z)) labels_[grid_.voxelIndex(p.x, p.y, p.z)] = label;
    }
    std::vector<std::int16_t> take() { return std::move(labels_); }

  private:
    VtcGrid grid_;
    std::vector<std::int16_t> labels_;
};

std::string labelProblem(int predictorIndex) {
    if (predictorIndex < 0 || predictorIndex >= kMaxTruthLabel)
        return "predictor " + std::to_string(predictorIndex + 1) +
               " cannot be a label of the truth map (1 to " + std::to_string(kMaxTruthLabel) + ")";
    return {};
}

}  // namespace

VtcGrid vtcGridOf(const VtcGeometry& g) {
    return VtcGrid{g.dimX(), g.dimY(), g.dimZ(), g.timePoints,
                   g.xStart, g.yStart, g.zStart, g.resolution};
}

Result<std::vector<std::int16_t>> truthLabels(const VtcGeometry& geometry,
                                              const SignalChoice& choice, const VoiSet& vois) {
    using Labels = Result<std::vector<std::int16_t>>;
    const VtcGrid grid = vtcGridOf(geometry);
    Labeller labeller(grid);
    if (choice.mode == SignalChoice::Mode::Cluster) {
        if (std::string problem = labelProblem(choice.condition); !problem.empty())
            return Labels::failure(problem);
        const GridPosition centre =
            simulation::toGridPosition(grid, choice.centre[0], choice.centre[1], choice.centre[2]);
        for (const GridPosition& offset : simulation::clusterSphereOffsets())
            labeller.mark({centre.x + offset.x, centre.y + offset.y, centre.z + offset.z},
                          std::int16_t(choice.condition + 1));
    } else if (choice.mode == SignalChoice::Mode::Vois) {
        // VOI after VOI, voxel after voxel: a voxel listed twice keeps the later label.
        const std::size_t count = std::min(choice.voiPredictors.size(), vois.vois.size());
        for (std::size_t v = 0; v < count; ++v) {
            const int predictor = choice.voiPredictors[v];
            if (std::string problem = labelProblem(predictor); !problem.empty())
                return Labels::failure(problem);
            const std::vector<int>& c = vois.vois[v].coordinates;
            for (std::size_t k = 0; k + 2 < c.size(); k += 3)
                labeller.mark(simulation::voiVoxelPosition(grid, vois.coordinateSpace, c[k],
                                                           c[k + 1], c[k + 2]),
                              std::int16_t(predictor + 1));
        }
    }
    return labeller.take();
}

}  // namespace simtrove::standin
