// One run of the stand-in host: its documents and the 28 host calls the
// plug-in makes, as plain C++ methods with the plug-in's argument lists.
//
// Documents: the VMR (size and cross-hair only), the VTC created for it, the
// current protocol (loaded from the file linked in the VTC header), the design
// matrix and the VOI set. Output goes to `out` (log lines) and `err`
// (messages, warnings, progress); log lines also go to the log file.
// Host-side failures (a protocol that cannot be loaded, a file that cannot be
// written) are shown as messages and make failed() true; a protocol that
// cannot be loaded also ends the run (Dialogs::endRun), and a run that was
// ended saves nothing more. Every file appears under its name only when
// complete (formats/output_file.h). Cancelling the save dialog is said in one
// line. Relative output paths are resolved against the output directory.
//
// The session remembers what the plug-in was told to simulate (signalChoice(),
// from its answers to the mode, condition, VOI predictor and position prompts
// and the cross-hair it handed out) and writes the companion files
// (companion_files.h) beside every saved VTC. endingExplanation() tells, from
// what the session saw last (a cancelled prompt, a message box), why a run may
// have ended early.
//
// VTC header fields of this host, beside those the plug-in reads:
//   offset 0   int32 header layout version, 1
//   offset 8   float32 repetition time in seconds
//   offset 12  int32 sample type, 2 = float32
//   offset 48  int32 x 3, size of the VMR the VTC belongs to
// All other host bytes are zero when created and kept as given back.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/protocol.h"
#include "formats/voi_file.h"
#include "formats/vtc_file.h"
#include "host/records.h"
#include "standin/bids_sidecar.h"
#include "standin/design_matrix.h"
#include "standin/dialogs.h"
#include "standin/phase_timings.h"
#include "standin/truth_map.h"

namespace simtrove::standin {

struct HostConfig {
    std::array<int, 3> version = {2, 4, 0};
    bool hasVmr = true;
    std::array<int, 3> vmrDims = {256, 256, 256};
    std::array<int, 3> cross = {128, 128, 128};
    std::array<int, 6> vtcBox = {41, 215, 68, 188, 59, 197};
    int resolution = 3;
    double repetitionTime = 2.0;
    std::string outDir = ".";
    bool niftiCopy = false;  // write NAME.nii.gz beside every saved .vtc
    std::string voisFile;    // shown in the VOI set record
    std::string bidsDir;     // also write every saved VTC as a BIDS dataset here
};

struct HostConsole {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;
    std::ostream* logFile = nullptr;
};

class HostSession {
  public:
    HostSession(HostConfig config, formats::VoiSet vois, Dialogs& dialogs, HostConsole console);

    // Application, log and dialogs.
    int getVersion(int* major, int* minor, int* subMinor);
    int messageBox(const char* text);
    int yesNoMessageBox(const char* question);
    int logText(const char* line);
    int showLogTab() { return 1; }
    int getIntegerInput(const char* prompt, int defaultValue, int minimum, int maximum);
    int getOpenFileName(const char* title, const char* defaultName, const char* filter,
                        char* buffer);
    int getSaveFileName(const char* title, const char* defaultName, const char* filter,
                        char* buffer);
    int updateActiveWindow() { return 1; }
    int showBusyCursor();
    int stopBusyCursor();

    // VMR and its VTC.
    int getCurrentVmr(int* x, int* y, int* z);
    int getCrossPosition(int* x, int* y, int* z);
    int createVtc(int timePoints, int unused);
    int getVtcHeader(vtc_header* header);
    int setVtcHeader(const vtc_header* header);
    float* getVtcFloatData();
    int saveVtc(const char* fileName);

    // Protocol and design matrix.
    int getProtocol(prt_header* header);
    int getProtocolCondition(int index, prtcond_header* condition);
    int clearDesignMatrix();
    int addPredictor(const char* name);
    int setPredictorValuesFromCondition(const char* name, int conditionIndex, float value);
    int applyTwoGammaHrf(int predictorIndex);
    float* getPredictor(int predictorIndex);
    int saveDesignMatrix(const char* fileName);

    // VOIs.
    int getVois(vois_header* header);
    int* getVoi(int index, voi_header* header);

    // A host function that the stand-in does not provide was called.
    void reportUnprovided(const char* name);
    // An exception escaped a host call; shown and counted as a failure.
    void reportInternalError(const char* function, const char* what);

    bool failed() const { return failed_; }
    std::string resolveOutputPath(const std::string& path) const;
    bool hasVtc() const { return vtc_.has_value(); }
    formats::VtcGeometry vtcGeometry() const;
    const formats::Protocol& protocol() const { return protocol_; }
    const DesignMatrix& designMatrix() const { return designMatrix_; }
    const SignalChoice& signalChoice() const { return choice_; }
    // One phrase: the last cancelled prompt or message box, or that there was none.
    std::string endingExplanation() const;
    // Time spent in each phase of the run, measured at the host calls that
    // begin and end it.
    const PhaseTimings& timings() const { return timings_; }

  private:
    struct Vtc {
        vtc_header header;
        std::vector<float> samples;  // never empty, so the data pointer is never null
    };

    void hostError(const std::string& message);
    void notePhase(const std::string& line);
    void warning(const std::string& message);
    void clearProgress();
    void loadProtocol(const std::string& path);
    void wrote(const std::string& path);
    std::string writeVtc(const std::string& path, std::string_view kind);
    void writeCompanions(const std::string& savedPath, bool niftiWritten);
    void writeBidsDataset(const std::string& savedPath);
    SimulationRecord simulationRecord() const;
    void noteAnswer(const std::string& prompt, int answer);
    void noteCancellation();
    vtc_header makeHeader(const formats::VtcGeometry& geometry) const;
    double repetitionTime() const;

    HostConfig config_;
    formats::VoiSet vois_;
    Dialogs& dialogs_;
    HostConsole console_;
    bool failed_ = false;
    bool busy_ = false;
    bool progressShown_ = false;
    std::optional<Vtc> vtc_;
    formats::Protocol protocol_;
    std::string protocolPath_;
    DesignMatrix designMatrix_;
    std::vector<int> emptyVoxels_ = std::vector<int>(3, 0);
    PhaseTimings timings_;
    SignalChoice choice_;
    std::string lastEnding_;
};

}  // namespace simtrove::standin
