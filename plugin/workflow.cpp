#include "plugin/workflow.h"

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/host_functions.h"
#include "host/records.h"
#include "simulation/fast_noise_pass.h"
#include "simulation/synthesis.h"

namespace simtrove::plugin {

using namespace simtrove::host;
using namespace simtrove::simulation;

namespace {

// Capacities of the run's text buffers, each with its terminating NUL.
constexpr std::size_t kLogLineCapacity = 260;
constexpr std::size_t kConditionListCapacity = 1001;
constexpr std::size_t kNumberPrefixCapacity = 11;
constexpr std::size_t kVoiPromptCapacity = 1100;

// Appends formatted text to a NUL-terminated buffer of `capacity` bytes; what
// does not fit is cut off.
void appendFormatted(char* buffer, std::size_t capacity, const char* format, ...) {
    const std::size_t used = std::strlen(buffer);
    if (used + 1 >= capacity) return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer + used, capacity - used, format, args);
    va_end(args);
}

void logLine(const char* format, ...) {
    char cText[kLogLineCapacity];
    va_list args;
    va_start(args, format);
    std::vsnprintf(cText, sizeof cText, format, args);
    va_end(args);
    tvLogText(cText);
}

void showMessage(const char* format, ...) {
    char text[kLogLineCapacity * 2];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    tvMessageBox(text);
}

int notNegative(int count) {
    return count > 0 ? count : 0;
}

// Reads condition i; a name that fills the whole record is cut to keep its NUL.
void readCondition(int i, prtcond_header& condition) {
    tvGetProtocolCondition(i, &condition);
    condition.ConditionName[sizeof condition.ConditionName - 1] = '\0';
}

// The VTC as the host created it, or a message saying why it cannot be simulated.
bool describeCreatedVtc(const vtc_header& header, const float* samples, VtcGrid& grid) {
    if (header.Resolution <= 0) {
        showMessage("The created VTC can not be simulated: its resolution (%i) is not positive.",
                    header.Resolution);
        return false;
    }
    const std::int64_t dimX = (std::int64_t(header.XEnd) - header.XStart) / header.Resolution;
    const std::int64_t dimY = (std::int64_t(header.YEnd) - header.YStart) / header.Resolution;
    const std::int64_t dimZ = (std::int64_t(header.ZEnd) - header.ZStart) / header.Resolution;
    if (dimX <= 0 || dimY <= 0 || dimZ <= 0) {
        showMessage(
            "The created VTC can not be simulated: its box (X %i-%i, Y %i-%i, Z %i-%i at "
            "resolution %i) holds no voxel.",
            header.XStart, header.XEnd, header.YStart, header.YEnd, header.ZStart, header.ZEnd,
            header.Resolution);
        return false;
    }
    if (header.NrOfTimePoints <= 0) {
        showMessage("The created VTC can not be simulated: it has no time points.");
        return false;
    }
    // The largest box of ints at resolution 1 still counts its samples in 64 bits
    // without overflow only when each size is at most 2^21; larger VTCs cannot be
    // held in memory anyway.
    const std::int64_t maxDim = std::int64_t(1) << 21;
    if (dimX > maxDim || dimY > maxDim || dimZ > maxDim ||
        double(dimX) * double(dimY) * double(dimZ) * header.NrOfTimePoints >
            double(PTRDIFF_MAX / std::int64_t(sizeof(float)))) {
        showMessage("The created VTC can not be simulated: it is too large.");
        return false;
    }
    if (samples == nullptr) {
        showMessage("The created VTC can not be simulated: Tavimo gave no access to its samples.");
        return false;
    }
    grid = VtcGrid{dimX,          dimY,          dimZ,          header.NrOfTimePoints,
                   header.XStart, header.YStart, header.ZStart, header.Resolution};
    return true;
}

void buildDesignMatrix(int nrOfConditions) {
    tvClearDesignMatrix();
    prtcond_header condition;
    for (int i = 0; i < nrOfConditions; ++i) {
        readCondition(i, condition);
        tvAddPredictor(condition.ConditionName);
        tvSetPredictorValuesFromCondition(condition.ConditionName, i, 1.0f);
        tvApplyTwoGammaHRFToPredictor(i);
    }
}

// "1: A<sep>2: B<sep>..." appended to list, conditions numbered from 1.
void appendConditionList(char* list, int nrOfConditions, const char* separator) {
    prtcond_header condition;
    for (int i = 0; i < nrOfConditions; ++i) {
        readCondition(i, condition);
        char ConditionNr[kNumberPrefixCapacity];
        // Ten digits and ": " do not fit; such a prefix is cut like any long text.
        if (std::snprintf(ConditionNr, sizeof ConditionNr, "%i: ", i + 1) < 0)
            ConditionNr[0] = '\0';
        appendFormatted(list, kConditionListCapacity, "%s%s%s", ConditionNr,
                        condition.ConditionName, separator);
    }
}

// Asks for each VOI's predictor; false when the user cancelled or a VOI is missing.
bool chooseVoiPredictors(int nrOfVois, int nrOfConditions, int* PredictorOfVOI) {
    char ChooseFromConditionList[kConditionListCapacity] = "";
    appendConditionList(ChooseFromConditionList, nrOfConditions, "<br>");
    for (int v = 0; v < nrOfVois; ++v) {
        voi_header voi{};
        if (tvGetVOI(v, &voi) == nullptr) return false;
        voi.VOIName[sizeof voi.VOIName - 1] = '\0';
        char ChooseInstruction[kVoiPromptCapacity];
        std::snprintf(ChooseInstruction, sizeof ChooseInstruction,
                      "Select predictor for VOI: <b>%s</b>:<br><br>", voi.VOIName);
        appendFormatted(ChooseInstruction, sizeof ChooseInstruction, "%s", ChooseFromConditionList);
        const int choice = tvGetIntegerInput(ChooseInstruction, 2, 1, nrOfConditions);
        if (choice < 1) return false;
        PredictorOfVOI[v] = choice - 1;
    }
    return true;
}

struct ClusterChoice {
    int conditionIndex;
    int PosX, PosY, PosZ;
};

bool chooseCluster(const vtc_header& header, int nrOfConditions, ClusterChoice& cluster) {
    char ChooseFromConditionList[kConditionListCapacity] = "Select condition:\n\n";
    appendConditionList(ChooseFromConditionList, nrOfConditions, "\n");
    appendFormatted(ChooseFromConditionList, sizeof ChooseFromConditionList, "\n");
    const int choice = tvGetIntegerInput(ChooseFromConditionList, 2, 1, nrOfConditions);
    if (choice < 1) return false;
    cluster.conditionIndex = choice - 1;
    if (tvYesNoMessageBox("Do you want to use the cross position as the cluster center ?")) {
        tvGetCrossPositionOfCurrentVMR(&cluster.PosX, &cluster.PosY, &cluster.PosZ);
    } else {
        // The host keeps the answers within the bounds; the bounds are computed
        // in 64 bits and clamped so that no extreme box overflows them.
        auto bound = [](std::int64_t value) {
            return int(value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : value);
        };
        const std::int64_t half = kHalfWidth;
        cluster.PosX = tvGetIntegerInput("Enter X position of simulated cluster: ", 128,
                                         bound(header.XStart + half), bound(header.XEnd - half));
        cluster.PosY = tvGetIntegerInput("Enter Y position of simulated cluster: ", 128,
                                         bound(header.YStart + half), bound(header.YEnd - half));
        cluster.PosZ = tvGetIntegerInput("Enter Z position of simulated cluster: ", 128,
                                         bound(header.ZStart + half), bound(header.ZEnd - half));
    }
    logLine("// Plugin>  Selected position: X: %i  Y: %i  Z: %i", cluster.PosX, cluster.PosY,
            cluster.PosZ);
    return true;
}

// Reacts to how the signal pass ended; true when the run may go on.
bool concludeSignalPass(const SignalPassResult& result) {
    if (result.positionsOutside > 0)
        logLine("// Plugin>  %lld signal positions lie outside the VTC and were left out",
                static_cast<long long>(result.positionsOutside));
    switch (result.outcome) {
        case SignalOutcome::Completed:
            return true;
        case SignalOutcome::PredictorUnavailable:
            tvStopBusyCursor();
            tvMessageBox("Error accessing predictor time course");
            return false;
        case SignalOutcome::VoxelsUnavailable:
            tvStopBusyCursor();
            tvMessageBox("Error accessing the voxels of a VOI");
            return false;
    }
    return false;
}

void offerToSave() {
    char VTCFileName[kHostPathCapacity] = "";
    if (!tvGetSaveFileName("Enter Name For Saving Created VTC File:", "Simulated.vtc",
                           "Volume Time Course Files (*.vtc)", VTCFileName))
        return;
    VTCFileName[sizeof VTCFileName - 1] = '\0';
    logLine("// Plugin>  Saving created VTC file as \"%s\"...", VTCFileName);
    tvShowBusyCursor();
    tvSaveVTCOfCurrentVMR(VTCFileName);
    tvStopBusyCursor();
}

// The part of the run that owns PredictorOfVOI: from the mode choice to the end.
bool simulateAndSave(float* samples, const VtcGrid& grid, const vtc_header& header,
                     const vois_header& vois, int nrOfConditions, int* PredictorOfVOI) {
    const int nrOfVois = notNegative(vois.NrOfVOIs);
    bool UseVOIs = false;
    if (nrOfVois > 0)
        UseVOIs = tvYesNoMessageBox(
                      "Do you want to use the available VOIs to define simulated clusters?") != 0;

    ClusterChoice cluster{};
    if (UseVOIs) {
        if (!chooseVoiPredictors(nrOfVois, nrOfConditions, PredictorOfVOI)) return false;
    } else {
        if (!chooseCluster(header, nrOfConditions, cluster)) return false;
    }

    int idm = -1;
    tvLogText("// Plugin>  Creating noise data...");
    tvShowBusyCursor();
    runFastNoisePass(samples, grid, &idm);

    tvLogText("// Plugin>  Creating signal + noise data...");
    const SignalPassResult result =
        UseVOIs
            ? runVoiSignalPass(samples, grid, PredictorOfVOI, nrOfVois, vois.CoordinateSpace, &idm)
            : runClusterSignalPass(samples, grid, cluster.conditionIndex, cluster.PosX,
                                   cluster.PosY, cluster.PosZ, &idm);
    if (!concludeSignalPass(result)) return false;
    tvStopBusyCursor();

    offerToSave();
    tvLogText("// Plugin>  Simtrove Plugin completed!");
    tvLogText(" ");
    tvUpdateActiveWindow();
    return true;
}

}  // namespace

bool runSimulationWorkflow() {
    tvShowLogTab();
    tvLogText(" ");
    tvLogText("// Plugin>  Running Simtrove...");

    int DimXvmr = 0, DimYvmr = 0, DimZvmr = 0;
    if (!tvGetCurrentVMR(&DimXvmr, &DimYvmr, &DimZvmr)) {
        tvMessageBox(
            "This plugin requires a VMR to operate. Make sure that a VMR is open and "
            "that its window is selected.");
        return false;
    }
    if (DimXvmr != 256 || DimYvmr != 256 || DimZvmr != 256) {
        tvMessageBox(
            "This plugin requires a VMR with \"256\" dimensions, preferentially a VMR in "
            "Talairach space.");
        return false;
    }
    const int timePoints =
        tvGetIntegerInput("Enter number of simulated time points:", 250, 1, 1000);
    if (timePoints < 1) return false;

    tvCreateVTCForCurrentVMR(timePoints, 0);
    vtc_header header;
    tvGetHeaderOfVTCOfCurrentVMR(&header);
    float* samples = tvGetVTCFloatDataOfCurrentVMR();
    VtcGrid grid{};
    if (!describeCreatedVtc(header, samples, grid)) return false;
    logLine("// Plugin>  Dims of created VTC, X: %i  Y: %i  Z: %i", int(grid.dimX), int(grid.dimY),
            int(grid.dimZ));

    char PRTFile[kHostPathCapacity] = "";
    if (!tvGetOpenFileName("Provide a protocol file:", "", "Protocol Files (*.prt)", PRTFile))
        return false;
    PRTFile[sizeof PRTFile - 1] = '\0';
    std::memcpy(header.LinkedProtocolFile, PRTFile, std::strlen(PRTFile) + 1);
    tvSetHeaderOfVTCOfCurrentVMR(&header);

    prt_header protocol;
    tvGetProtocol(&protocol);
    const int nrOfConditions = notNegative(protocol.NrOfConditions);
    buildDesignMatrix(nrOfConditions);
    tvSaveSingleStudyGLMDesignMatrix("plugin_created.rtc");

    vois_header vois;
    tvGetVOIs(&vois);
    // At least one entry, so that an empty VOI set is never mistaken for a failure.
    const std::size_t entries = std::size_t(notNegative(vois.NrOfVOIs));
    int* PredictorOfVOI = static_cast<int*>(std::malloc((entries > 0 ? entries : 1) * sizeof(int)));
    if (PredictorOfVOI == nullptr) return false;
    const bool completed =
        simulateAndSave(samples, grid, header, vois, nrOfConditions, PredictorOfVOI);
    std::free(PredictorOfVOI);
    return completed;
}

}  // namespace simtrove::plugin
