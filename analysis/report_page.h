// What the page and the JSON file of a report show besides the results
// (report_results.h): the files written beside them, names relative to the
// report folder.
#pragma once

#include <string>
#include <vector>

#include "formats/volume_grid.h"

namespace simtrove::analysis {

struct ImageFile {
    std::string file;  // PNG
    int width = 0, height = 0;
    std::string caption;
    std::string svg;  // the same figure as SVG, or empty
};

struct PredictorFiles {
    std::string tMap;  // NIfTI t-map
    std::string zMap, pMap;
    ImageFile slices;  // the axial montage
    ImageFile timeCourse;
    ImageFile roc;  // with a truth evaluation only
    ImageFile orthogonal, projections;
    ImageFile calibration;  // with a truth map only
};

struct ReportPage {
    std::string dataFile;
    std::string designFile;
    std::string truthFile;  // empty without a truth map
    // The conditions fill the run and no contrast or exclusion was asked for:
    // each condition is reported against the others instead of on its own.
    bool automaticContrasts = false;
    formats::VolumeGrid grid;
    ImageFile design;
    ImageFile tsnr;
    int tsnrSlice = 0;
    std::vector<PredictorFiles> predictors;  // in the order of the summary's statistics
};

}  // namespace simtrove::analysis
