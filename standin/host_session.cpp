#include "standin/host_session.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <ostream>

#include "formats/nifti.h"
#include "formats/output_file.h"
#include "formats/text_input.h"
#include "standin/bids_copy.h"
#include "standin/companion_files.h"

namespace simtrove::standin {

using formats::Condition;
using formats::geometryProblem;
using formats::hasNiftiExtension;
using formats::kMaxConditionNameLength;
using formats::parseProtocolFile;
using formats::Predictor;
using formats::Protocol;
using formats::readFileBytes;
using formats::Result;
using formats::Voi;
using formats::VoiSet;
using formats::VtcGeometry;
using formats::writeNiftiFile;
using formats::writeVtcFile;
namespace {

constexpr int kHeaderLayoutVersion = 1;
constexpr int kFloatSamples = 2;
constexpr std::size_t kTrOffset = 8;
constexpr std::size_t kSampleTypeOffset = 12;
constexpr std::size_t kVmrDimsOffset = 48;

template <typename T>
void putField(vtc_header& header, std::size_t offset, T value) {
    std::memcpy(reinterpret_cast<unsigned char*>(&header) + offset, &value, sizeof value);
}
template <typename T>
T getField(const vtc_header& header, std::size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(&header) + offset, sizeof value);
    return value;
}

std::string text(const char* s) {
    return s == nullptr ? std::string() : std::string(s);
}

// The text of a fixed field up to its NUL, or the whole field when it has none.
std::string fieldText(const char* field, std::size_t capacity) {
    return std::string(field, strnlen(field, capacity));
}

bool sameGeometry(const vtc_header& a, const vtc_header& b) {
    return a.NrOfTimePoints == b.NrOfTimePoints && a.XStart == b.XStart && a.XEnd == b.XEnd &&
           a.YStart == b.YStart && a.YEnd == b.YEnd && a.ZStart == b.ZStart && a.ZEnd == b.ZEnd &&
           a.Resolution == b.Resolution;
}

void copyGeometry(vtc_header& to, const vtc_header& from) {
    to.NrOfTimePoints = from.NrOfTimePoints;
    to.XStart = from.XStart;
    to.XEnd = from.XEnd;
    to.YStart = from.YStart;
    to.YEnd = from.YEnd;
    to.ZStart = from.ZStart;
    to.ZEnd = from.ZEnd;
    to.Resolution = from.Resolution;
}

std::string niftiCopyName(const std::string& vtcPath) {
    return companionBase(vtcPath) + ".nii.gz";
}

// The task of the run for BIDS: the protocol file's name without its extension.
std::string taskNameOf(const std::string& protocolPath) {
    const std::string stem = std::filesystem::path(protocolPath).stem().string();
    return stem.empty() ? "simulation" : stem;
}

// A message as one quoted phrase: line breaks become blanks, long texts are cut
// at a blank.
std::string quotedMessage(std::string message) {
    constexpr std::size_t kShown = 60;
    for (char& c : message)
        if (c == '\n' || c == '\r') c = ' ';
    const bool cut = message.size() > kShown;
    if (cut) {
        const std::size_t blank = message.rfind(' ', kShown);
        message.resize(blank == 0 || blank == std::string::npos ? kShown : blank);
    }
    // Built by appending only: GCC 12 warns falsely about "literal" + std::string.
    std::string quoted(1, '"');
    quoted.append(message).append(cut ? "...\"" : "\"");
    return quoted;
}

}  // namespace

HostSession::HostSession(HostConfig config, VoiSet vois, Dialogs& dialogs, HostConsole console)
    : config_(std::move(config)), vois_(std::move(vois)), dialogs_(dialogs), console_(console) {}

void HostSession::clearProgress() {
    if (progressShown_) console_.err << "\r\033[K" << std::flush;
    progressShown_ = false;
}

void HostSession::hostError(const std::string& message) {
    clearProgress();
    console_.err << "message: " << message << "\n" << std::flush;
    failed_ = true;
}

void HostSession::warning(const std::string& message) {
    clearProgress();
    console_.err << "tavimo-standin: warning: " << message << "\n" << std::flush;
}

void HostSession::wrote(const std::string& path) {
    clearProgress();
    console_.err << "tavimo-standin: wrote " << path << "\n" << std::flush;
}

void HostSession::reportUnprovided(const char* name) {
    warning(std::string("the stand-in host does not provide ") + name + "; it returned 0");
}

void HostSession::reportInternalError(const char* function, const char* what) {
    clearProgress();
    console_.err << "tavimo-standin: error: " << function << " failed: " << what << "\n";
    failed_ = true;
}

std::string HostSession::resolveOutputPath(const std::string& path) const {
    const std::filesystem::path p(path);
    if (p.is_absolute() || config_.outDir.empty() || config_.outDir == ".") return path;
    return (std::filesystem::path(config_.outDir) / p).string();
}

int HostSession::getVersion(int* major, int* minor, int* subMinor) {
    if (major == nullptr || minor == nullptr || subMinor == nullptr) return 0;
    *major = config_.version[0];
    *minor = config_.version[1];
    *subMinor = config_.version[2];
    return 1;
}

std::string HostSession::endingExplanation() const {
    if (dialogs_.ended()) return dialogs_.endReason();
    return lastEnding_.empty() ? "no prompt was cancelled and no message was shown" : lastEnding_;
}

void HostSession::noteCancellation() {
    if (std::optional<std::string> cancellation = dialogs_.takeCancellation())
        lastEnding_ = *cancellation;
}

// Keeps what the plug-in was told to simulate; the prompts are told apart by text.
void HostSession::noteAnswer(const std::string& prompt, int answer) {
    const PromptKind kind = classifyIntegerPrompt(prompt);
    switch (kind) {
        case PromptKind::Condition:
            choice_.mode = SignalChoice::Mode::Cluster;
            choice_.condition = answer - 1;
            break;
        case PromptKind::VoiPredictor:
            choice_.mode = SignalChoice::Mode::Vois;
            choice_.voiPredictors.push_back(answer - 1);
            break;
        case PromptKind::PositionX:
        case PromptKind::PositionY:
        case PromptKind::PositionZ:
            choice_.centre[std::size_t(int(kind) - int(PromptKind::PositionX))] = answer;
            break;
        default:
            break;
    }
}

int HostSession::messageBox(const char* message) {
    clearProgress();
    lastEnding_ = "the plug-in showed the message " + quotedMessage(text(message));
    console_.err << "message: " << text(message) << "\n" << std::flush;
    return 1;
}

int HostSession::yesNoMessageBox(const char* question) {
    clearProgress();
    return dialogs_.askYesNo(text(question)) ? 1 : 0;
}

// The plug-in announces its two synthesis passes in the log; the signal pass
// ends when it stops the busy cursor.
void HostSession::notePhase(const std::string& line) {
    if (line == "// Plugin>  Creating noise data...") {
        timings_.begin(Phase::Noise);
    } else if (line == "// Plugin>  Creating signal + noise data...") {
        timings_.end(Phase::Noise);
        timings_.begin(Phase::Signal);
    }
}

int HostSession::logText(const char* line) {
    const std::string content = text(line);
    notePhase(content);
    console_.out << content << "\n" << std::flush;
    if (console_.logFile != nullptr) *console_.logFile << content << "\n";
    if (busy_ && console_.errIsTerminal) {
        console_.err << "\r\033[K[busy] " << content.substr(0, 70) << std::flush;
        progressShown_ = true;
    }
    return 1;
}

int HostSession::getIntegerInput(const char* prompt, int defaultValue, int minimum, int maximum) {
    clearProgress();
    const std::string question = text(prompt);
    const int answer = dialogs_.askInteger(question, defaultValue, minimum, maximum);
    noteCancellation();
    noteAnswer(question, answer);
    return answer;
}

// Hands a chosen path to the plug-in's buffer of kHostPathCapacity bytes.
static int answerFileDialog(const std::optional<std::string>& path, char* buffer) {
    if (!path) return 0;
    std::snprintf(buffer, kHostPathCapacity, "%s", path->c_str());
    return 1;
}

int HostSession::getOpenFileName(const char* title, const char* defaultName, const char* filter,
                                 char* buffer) {
    if (buffer == nullptr) return 0;
    clearProgress();
    const int chosen = answerFileDialog(
        dialogs_.askOpenFile(text(title), text(defaultName), text(filter)), buffer);
    noteCancellation();
    return chosen;
}

int HostSession::getSaveFileName(const char* title, const char* defaultName, const char* filter,
                                 char* buffer) {
    if (buffer == nullptr) return 0;
    clearProgress();
    const int chosen = answerFileDialog(
        dialogs_.askSaveFile(text(title), text(defaultName), text(filter)), buffer);
    noteCancellation();
    // The simulation lives only in memory: discarding it is said, once.
    if (chosen == 0 && !dialogs_.ended())
        console_.err << "tavimo-standin: the simulation was not saved: " << lastEnding_ << "\n"
                     << std::flush;
    return chosen;
}

int HostSession::showBusyCursor() {
    busy_ = true;
    return 1;
}

int HostSession::stopBusyCursor() {
    timings_.end(Phase::Signal);
    busy_ = false;
    clearProgress();
    return 1;
}

int HostSession::getCurrentVmr(int* x, int* y, int* z) {
    if (!config_.hasVmr || x == nullptr || y == nullptr || z == nullptr) return 0;
    *x = config_.vmrDims[0];
    *y = config_.vmrDims[1];
    *z = config_.vmrDims[2];
    return 1;
}

int HostSession::getCrossPosition(int* x, int* y, int* z) {
    if (x == nullptr || y == nullptr || z == nullptr) return 0;
    const std::array<int, 3> cross = config_.hasVmr ? config_.cross : std::array<int, 3>{0, 0, 0};
    *x = cross[0];
    *y = cross[1];
    *z = cross[2];
    // The plug-in asks for the cross-hair only as the centre of its cluster.
    choice_.centre = cross;
    return config_.hasVmr ? 1 : 0;
}

vtc_header HostSession::makeHeader(const VtcGeometry& g) const {
    vtc_header header;
    std::memset(&header, 0, sizeof header);
    putField(header, 0, std::int32_t(kHeaderLayoutVersion));
    header.NrOfTimePoints = g.timePoints;
    putField(header, kTrOffset, g.repetitionTime);
    putField(header, kSampleTypeOffset, std::int32_t(kFloatSamples));
    header.XStart = g.xStart;
    header.XEnd = g.xEnd;
    header.YStart = g.yStart;
    header.YEnd = g.yEnd;
    header.ZStart = g.zStart;
    header.ZEnd = g.zEnd;
    header.Resolution = g.resolution;
    for (std::size_t i = 0; i < 3; ++i)
        putField(header, kVmrDimsOffset + 4 * i, std::int32_t(config_.vmrDims[i]));
    return header;
}

int HostSession::createVtc(int timePoints, int /*unused*/) {
    if (!config_.hasVmr) {
        hostError("There is no current VMR to create a VTC for.");
        return 0;
    }
    const std::array<int, 6>& box = config_.vtcBox;
    VtcGeometry g{box[0],
                  box[1],
                  box[2],
                  box[3],
                  box[4],
                  box[5],
                  config_.resolution,
                  timePoints,
                  float(config_.repetitionTime)};
    std::string problem =
        timePoints < 1 ? "the number of time points " + std::to_string(timePoints) + " is below 1"
                       : geometryProblem(g);
    std::vector<float> samples;
    if (problem.empty()) {
        try {
            samples.assign(std::size_t(g.sampleCount()), 0.0f);
        } catch (const std::bad_alloc&) {
            problem = "not enough memory for " + std::to_string(g.sampleCount()) + " samples";
        }
    }
    if (!problem.empty()) {
        // The plug-in still gets a usable, empty VTC: same box, no volumes.
        hostError("Cannot create the VTC: " + problem + ".");
        g.timePoints = 0;
        samples.clear();
    }
    if (samples.empty()) samples.assign(1, 0.0f);
    vtc_.emplace(Vtc{makeHeader(g), std::move(samples)});
    choice_ = SignalChoice{};
    return problem.empty() ? 1 : 0;
}

VtcGeometry HostSession::vtcGeometry() const {
    if (!vtc_) return {};
    const vtc_header& h = vtc_->header;
    return {h.XStart,     h.XEnd,           h.YStart,
            h.YEnd,       h.ZStart,         h.ZEnd,
            h.Resolution, h.NrOfTimePoints, getField<float>(h, kTrOffset)};
}

// The header holds the repetition time as a float; while it is the configured
// one, the configured double is used, so that onsets such as 7.2 s at 0.72 s
// fall on the volume boundary they name.
double HostSession::repetitionTime() const {
    if (!vtc_) return config_.repetitionTime;
    const float stored = getField<float>(vtc_->header, kTrOffset);
    return stored == float(config_.repetitionTime) ? config_.repetitionTime : double(stored);
}

int HostSession::getVtcHeader(vtc_header* header) {
    if (header == nullptr) return 0;
    if (!vtc_) {
        std::memset(header, 0, sizeof *header);
        return 0;
    }
    *header = vtc_->header;
    return 1;
}

int HostSession::setVtcHeader(const vtc_header* given) {
    if (given == nullptr || !vtc_) return 0;
    vtc_header header = *given;
    // The samples are laid out for the created geometry; it cannot change here.
    if (!sameGeometry(header, vtc_->header)) {
        warning(
            "the VTC's time points, box and resolution cannot be changed through its header; "
            "the created ones are kept");
        copyGeometry(header, vtc_->header);
    }
    const float tr = getField<float>(header, kTrOffset);
    if (!(tr > 0.0f) || !std::isfinite(tr) || tr > 1000.0f) {
        warning(
            "the repetition time in the VTC header is not a positive number of seconds; "
            "the previous one is kept");
        putField(header, kTrOffset, getField<float>(vtc_->header, kTrOffset));
    }
    const std::size_t capacity = sizeof header.LinkedProtocolFile;
    if (strnlen(header.LinkedProtocolFile, capacity) == capacity) {
        hostError("The linked protocol path in the VTC header has no end; it was cut.");
        header.LinkedProtocolFile[capacity - 1] = '\0';
    }
    vtc_->header = header;
    const std::string path = fieldText(header.LinkedProtocolFile, capacity);
    if (!path.empty()) loadProtocol(path);
    return 1;
}

void HostSession::loadProtocol(const std::string& path) {
    protocol_ = Protocol{};
    protocolPath_ = path;
    Result<std::string> bytes = readFileBytes(path);
    Result<Protocol> parsed = bytes ? parseProtocolFile(bytes.value(), path, repetitionTime())
                                    : Result<Protocol>::failure(bytes.error());
    if (!parsed) {
        // Without its protocol the run cannot be the one asked for: it ends
        // here, and no later prompt is blamed for it.
        hostError("Cannot load the protocol: " + parsed.error());
        dialogs_.endRun("Cannot load the protocol: " + parsed.error());
        return;
    }
    protocol_ = std::move(parsed).value();
}

float* HostSession::getVtcFloatData() {
    return vtc_ ? vtc_->samples.data() : nullptr;
}

std::string HostSession::writeVtc(const std::string& path, std::string_view kind) {
    const VtcGeometry g = vtcGeometry();
    const std::span<const float> samples(vtc_->samples.data(), std::size_t(g.sampleCount()));
    const Phase phase = hasNiftiExtension(path) ? Phase::SaveNifti : Phase::SaveVtc;
    timings_.begin(phase);
    std::string problem;
    if (phase == Phase::SaveNifti) {
        problem = writeNiftiFile(path, g, samples, kind);
    } else {
        const std::string linked =
            fieldText(vtc_->header.LinkedProtocolFile, sizeof vtc_->header.LinkedProtocolFile);
        problem = writeVtcFile(path, g, linked, samples);
    }
    timings_.end(phase);
    return problem;
}

int HostSession::saveVtc(const char* fileName) {
    if (dialogs_.ended()) return 0;  // a run that was ended saves nothing
    if (fileName == nullptr || fileName[0] == '\0') {
        hostError("Cannot save the VTC: no file name.");
        return 0;
    }
    if (!vtc_) {
        hostError("There is no VTC to save.");
        return 0;
    }
    const std::string path = resolveOutputPath(fileName);
    std::vector<std::string> targets{path};
    if (config_.niftiCopy && !hasNiftiExtension(path)) targets.push_back(niftiCopyName(path));
    int result = 1;
    bool anyWritten = false, niftiWritten = false;
    for (const std::string& target : targets) {
        const bool copy = target != path;
        const char* kind = copy                        ? "the NIfTI copy of the VTC"
                           : hasNiftiExtension(target) ? "the VTC as NIfTI"
                                                       : "the VTC";
        if (std::string problem = writeVtc(target, kind); !problem.empty()) {
            hostError(problem);
            result = 0;
        } else {
            wrote(target);
            anyWritten = true;
            niftiWritten = niftiWritten || hasNiftiExtension(target);
        }
    }
    if (anyWritten) writeCompanions(path, niftiWritten);
    if (anyWritten && !config_.bidsDir.empty()) writeBidsDataset(path);
    return result;
}

void HostSession::writeBidsDataset(const std::string& savedPath) {
    const SimulationRecord record = simulationRecord();
    const VtcGeometry g = vtcGeometry();
    const BidsCopy copy = writeBidsCopy(
        config_.bidsDir, std::filesystem::path(companionBase(savedPath)).filename().string(),
        record, protocol_, designMatrix_.predictors(),
        std::span<const float>(vtc_->samples.data(), std::size_t(g.sampleCount())));
    for (const std::string& path : copy.written) wrote(path);
    if (!copy.problem.empty()) hostError("Cannot save the BIDS dataset: " + copy.problem);
}

SimulationRecord HostSession::simulationRecord() const {
    SimulationRecord record{vtcGeometry(), repetitionTime(), taskNameOf(protocolPath_), {}, choice_,
                            vois_};
    for (const Predictor& predictor : designMatrix_.predictors())
        record.predictors.push_back(predictor.name);
    return record;
}

void HostSession::writeCompanions(const std::string& savedPath, bool niftiWritten) {
    const SimulationRecord record = simulationRecord();
    const CompanionFiles files =
        writeCompanionFiles(companionBase(savedPath), niftiWritten, record, protocol_,
                            formats::formatDesignMatrix(designMatrix_.predictors()));
    for (const std::string& path : files.written) wrote(path);
    for (const std::string& problem : files.problems) hostError(problem);
}

int HostSession::getProtocol(prt_header* header) {
    if (header == nullptr) return 0;
    std::memset(header, 0, sizeof *header);
    header->NrOfConditions = int(protocol_.conditions.size());
    // Host fields: the time unit (1 = volumes) and the file the protocol came from.
    const std::int32_t volumes = 1;
    std::memcpy(header->host4, &volumes, sizeof volumes);
    std::snprintf(reinterpret_cast<char*>(header->host4 + 4), kHostPathCapacity, "%s",
                  protocolPath_.c_str());
    return 1;
}

int HostSession::getProtocolCondition(int index, prtcond_header* condition) {
    if (condition == nullptr) return 0;
    std::memset(condition, 0, sizeof *condition);
    if (index < 0 || std::size_t(index) >= protocol_.conditions.size()) return 0;
    const Condition& c = protocol_.conditions[std::size_t(index)];
    std::snprintf(condition->ConditionName, kMaxConditionNameLength + 1, "%s", c.name.c_str());
    // Host field behind the name: the number of intervals.
    const std::int32_t intervals = std::int32_t(c.intervals.size());
    std::memcpy(condition->ConditionName + kMaxConditionNameLength + 1, &intervals,
                sizeof intervals);
    return 1;
}

int HostSession::clearDesignMatrix() {
    timings_.begin(Phase::DesignMatrix);
    designMatrix_.clear();
    return 1;
}

int HostSession::addPredictor(const char* name) {
    if (name == nullptr) return 0;
    const int volumes = vtc_ ? vtc_->header.NrOfTimePoints : 0;
    designMatrix_.add(name, std::size_t(volumes > 0 ? volumes : 0));
    return 1;
}

int HostSession::setPredictorValuesFromCondition(const char* name, int conditionIndex,
                                                 float value) {
    Predictor* predictor = name != nullptr ? designMatrix_.find(name) : nullptr;
    if (predictor == nullptr) {
        warning("no predictor named \"" + text(name) + "\" to fill");
        return 0;
    }
    if (conditionIndex < 0 || std::size_t(conditionIndex) >= protocol_.conditions.size()) {
        warning("no condition with index " + std::to_string(conditionIndex) + " to fill \"" +
                predictor->name + "\" from");
        return 0;
    }
    fillFromCondition(predictor->values, protocol_.conditions[std::size_t(conditionIndex)], value);
    return 1;
}

int HostSession::applyTwoGammaHrf(int predictorIndex) {
    Predictor* predictor = designMatrix_.at(predictorIndex);
    if (predictor == nullptr) {
        warning("no predictor with index " + std::to_string(predictorIndex) + " to convolve");
        return 0;
    }
    convolve(predictor->values, twoGammaHrf(repetitionTime()));
    return 1;
}

float* HostSession::getPredictor(int predictorIndex) {
    Predictor* predictor = designMatrix_.at(predictorIndex);
    if (predictor == nullptr || predictor->values.empty()) return nullptr;
    return predictor->values.data();
}

int HostSession::saveDesignMatrix(const char* fileName) {
    if (dialogs_.ended()) return 0;  // a run that was ended saves nothing
    if (fileName == nullptr || fileName[0] == '\0') {
        hostError("Cannot save the design matrix: no file name.");
        return 0;
    }
    const std::string path = resolveOutputPath(fileName);
    const std::string problem = formats::writeFileAtomically(
        path, formats::formatDesignMatrix(designMatrix_.predictors()), "the design matrix");
    timings_.end(Phase::DesignMatrix);
    if (!problem.empty()) {
        hostError(problem);
        return 0;
    }
    wrote(path);
    return 1;
}

int HostSession::getVois(vois_header* header) {
    if (header == nullptr) return 0;
    std::memset(header, 0, sizeof *header);
    header->NrOfVOIs = int(vois_.vois.size());
    header->CoordinateSpace = vois_.coordinateSpace;
    // Host field: the file the VOIs came from.
    std::snprintf(reinterpret_cast<char*>(header->host4), kHostPathCapacity, "%s",
                  config_.voisFile.c_str());
    return 1;
}

int* HostSession::getVoi(int index, voi_header* header) {
    if (header == nullptr) return nullptr;
    std::memset(header, 0, sizeof *header);
    if (index < 0 || std::size_t(index) >= vois_.vois.size()) return nullptr;
    Voi& voi = vois_.vois[std::size_t(index)];
    header->NrOfVoxels = int(voi.coordinates.size() / 3);
    std::snprintf(header->VOIName, sizeof header->VOIName, "%s", voi.name.c_str());
    return voi.coordinates.empty() ? emptyVoxels_.data() : voi.coordinates.data();
}

}  // namespace simtrove::standin
