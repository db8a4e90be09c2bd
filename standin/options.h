// The command line of tavimo-standin.
//
// parseCommandLine() turns the arguments (without the program name) into
// Options, checking every value and the geometry as a whole (cross-hair and
// VTC box inside the VMR, at least one VTC voxel per axis); errors come back
// as one line without a prefix. The parser is CLI11 with the project's
// conventions (cli/command_line.h): `--option value` or `--option=value`,
// the last of a repeated option counts, --help and --version. usageText() is
// the --help text, which lists every option.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "formats/result.h"
#include "standin/dialogs.h"

namespace simtrove::standin {

inline constexpr std::array<int, 3> kDefaultHostVersion = {2, 4, 0};
inline constexpr int kDefaultResolution = 3;
inline constexpr double kDefaultRepetitionTime = 2.0;
inline constexpr double kMinRepetitionTime = 0.01;
inline constexpr double kMaxRepetitionTime = 10.0;
inline constexpr int kMaxResolution = 16;
inline constexpr int kMaxVmrDim = 4096;
// Extent of the default VTC box in VMR voxels (58 x 40 x 46 voxels at resolution 3),
// centred in the VMR.
inline constexpr std::array<int, 3> kDefaultBoxExtent = {174, 120, 138};

struct Options {
    bool help = false;       // --help or --version: print printText and exit
    std::string printText;   // the help or version text
    std::string pluginPath;  // empty: the plug-in built beside the program
    std::string outDir = ".";
    std::array<int, 3> hostVersion = kDefaultHostVersion;
    bool hasVmr = true;
    std::array<int, 3> vmrDims = {256, 256, 256};
    std::array<int, 3> cross = {128, 128, 128};  // resolved: the VMR centre unless given
    std::array<int, 6> vtcBox = {41, 215, 68, 188, 59, 197};  // resolved: centred unless given
    int resolution = kDefaultResolution;
    double repetitionTime = kDefaultRepetitionTime;
    std::string voisFile;
    std::string answersFile;
    PromptAnswers answers;
    bool nifti = false;
    std::string bidsDir;  // empty: no BIDS dataset
    bool ask = false;
    bool timings = false;
};

formats::Result<Options> parseCommandLine(const std::vector<std::string>& args);

// The default box: kDefaultBoxExtent (cut to the VMR) centred in each axis.
std::array<int, 6> defaultVtcBox(const std::array<int, 3>& vmrDims);

std::string usageText();
// "tavimo-standin (Simtrove) VERSION".
std::string versionText();

}  // namespace simtrove::standin
