// What the page and the JSON file of a report show besides the figures of
// ReportSummary: the inputs, the geometry and the files written beside them
// (names relative to the report folder).
#pragma once

#include <string>
#include <vector>

#include "analysis/volume_grid.h"

namespace simtrove::analysis {

struct ImageFile {
    std::string file;
    int width = 0, height = 0;
    std::string caption;
};

struct PredictorFiles {
    std::string tMap;  // NIfTI t-map
    ImageFile slices;
    ImageFile timeCourse;
};

struct ReportPage {
    std::string dataFile;
    std::string designFile;
    VolumeGrid grid;
    ImageFile design;
    ImageFile tsnr;
    int tsnrSlice = 0;
    std::vector<PredictorFiles> predictors;  // in predictor order
};

}  // namespace simtrove::analysis
