#include "tests/support/fake_host.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "host/host_functions.h"
#include "host/host_lookup.h"

namespace simtrove::testing {
namespace {

FakeHost& H() {
    return FakeHost::instance();
}

std::string quoted(const char* text) {
    return text == nullptr ? "null" : '"' + std::string(text) + '"';
}

void record(const std::string& call) {
    H().calls.push_back(call);
}

int fakeGetVersion(int* major, int* minor, int* sub) {
    record("tvGetVersionOfTavimo()");
    *major = H().version[0];
    *minor = H().version[1];
    *sub = H().version[2];
    return 1;
}
int fakeMessageBox(const char* text) {
    record("tvMessageBox(" + quoted(text) + ")");
    H().messages.push_back(text);
    return 1;
}
int fakeYesNo(const char* question) {
    record("tvYesNoMessageBox(" + quoted(question) + ")");
    bool yes = false;
    if (!H().yesNo.empty()) {
        yes = H().yesNo.front();
        H().yesNo.pop_front();
    }
    return yes ? 1 : 0;
}
int fakeLogText(const char* line) {
    record("tvLogText(" + quoted(line) + ")");
    H().log.push_back(line);
    return 1;
}
int fakeShowLogTab() {
    record("tvShowLogTab()");
    return 1;
}
int fakeGetIntegerInput(const char* prompt, int def, int lo, int hi) {
    record("tvGetIntegerInput(" + quoted(prompt) + ", " + std::to_string(def) + ", " +
           std::to_string(lo) + ", " + std::to_string(hi) + ")");
    if (H().integers.empty()) return def;
    int value = H().integers.front();
    H().integers.pop_front();
    return value;
}
int answerFile(std::deque<std::optional<std::string>>& answers, char* buffer) {
    if (answers.empty() || !answers.front()) {
        if (!answers.empty()) answers.pop_front();
        return 0;
    }
    std::snprintf(buffer, kHostPathCapacity, "%s", answers.front()->c_str());
    answers.pop_front();
    return 1;
}
int fakeGetOpenFileName(const char* title, const char* def, const char* filter, char* buffer) {
    record("tvGetOpenFileName(" + quoted(title) + ", " + quoted(def) + ", " + quoted(filter) + ")");
    return answerFile(H().openFiles, buffer);
}
int fakeGetSaveFileName(const char* title, const char* def, const char* filter, char* buffer) {
    record("tvGetSaveFileName(" + quoted(title) + ", " + quoted(def) + ", " + quoted(filter) + ")");
    return answerFile(H().saveFiles, buffer);
}
int fakeShowBusyCursor() {
    record("tvShowBusyCursor()");
    ++H().busyDepth;
    return 1;
}
int fakeStopBusyCursor() {
    record("tvStopBusyCursor()");
    --H().busyDepth;
    return 1;
}
int fakeUpdateActiveWindow() {
    record("tvUpdateActiveWindow()");
    return 1;
}
int fakeGetCurrentVMR(int* x, int* y, int* z) {
    record("tvGetCurrentVMR()");
    if (!H().hasVmr) return 0;
    *x = H().vmrDims[0];
    *y = H().vmrDims[1];
    *z = H().vmrDims[2];
    return 1;
}
int fakeGetCross(int* x, int* y, int* z) {
    record("tvGetCrossPositionOfCurrentVMR()");
    *x = H().cross[0];
    *y = H().cross[1];
    *z = H().cross[2];
    return 1;
}
int dimOf(int axis) {
    return (H().box[2 * axis + 1] - H().box[2 * axis]) / H().resolution;
}

int fakeCreateVTC(int timePoints, int second) {
    record("tvCreateVTCForCurrentVMR(" + std::to_string(timePoints) + ", " +
           std::to_string(second) + ")");
    FakeHost& h = H();
    std::memset(&h.header, 0xA5, sizeof h.header);  // host bytes the plug-in must hand back as is
    h.header.NrOfTimePoints = h.timePointsOverride.value_or(timePoints);
    h.header.XStart = h.box[0];
    h.header.XEnd = h.box[1];
    h.header.YStart = h.box[2];
    h.header.YEnd = h.box[3];
    h.header.ZStart = h.box[4];
    h.header.ZEnd = h.box[5];
    h.header.Resolution = h.resolution;
    std::snprintf(h.header.LinkedProtocolFile, sizeof h.header.LinkedProtocolFile, "%s", "");
    long long count = h.resolution > 0 && h.header.NrOfTimePoints > 0
                          ? (long long)dimOf(0) * dimOf(1) * dimOf(2) * h.header.NrOfTimePoints
                          : 0;
    h.samples.assign(count > 0 ? size_t(count) : 0, 0.0f);
    return 1;
}
int fakeGetHeader(vtc_header* header) {
    record("tvGetHeaderOfVTCOfCurrentVMR()");
    *header = H().header;
    return 1;
}
int fakeSetHeader(vtc_header* header) {
    record("tvSetHeaderOfVTCOfCurrentVMR(" + quoted(header->LinkedProtocolFile) + ")");
    H().header = *header;
    return 1;
}
float* fakeGetSamples() {
    record("tvGetVTCFloatDataOfCurrentVMR()");
    return H().nullSamples ? nullptr : H().samples.data();
}
int fakeSaveVTC(const char* name) {
    record("tvSaveVTCOfCurrentVMR(" + quoted(name) + ")");
    return 1;
}
int fakeGetProtocol(prt_header* header) {
    record("tvGetProtocol()");
    std::memset(header, 0, sizeof *header);
    header->NrOfConditions = H().conditionCountOverride.value_or(int(H().conditions.size()));
    return 1;
}
int fakeGetProtocolCondition(int index, prtcond_header* condition) {
    record("tvGetProtocolCondition(" + std::to_string(index) + ")");
    std::memset(condition, 0, sizeof *condition);
    if (index >= 0 && size_t(index) < H().conditions.size()) {
        const std::string& name = H().conditions[size_t(index)];
        // A name that fills the record is handed over without its NUL.
        std::memcpy(condition->ConditionName, name.data(),
                    std::min(name.size(), sizeof condition->ConditionName));
    }
    return 1;
}
int fakeClearDesignMatrix() {
    record("tvClearDesignMatrix()");
    H().predictors.clear();
    return 1;
}
int fakeAddPredictor(const char* name) {
    record("tvAddPredictor(" + quoted(name) + ")");
    H().predictors.push_back(name);
    return 1;
}
int fakeSetPredictorValues(const char* name, int condition, float value) {
    char v[32];
    std::snprintf(v, sizeof v, "%g", double(value));
    record("tvSetPredictorValuesFromCondition(" + quoted(name) + ", " + std::to_string(condition) +
           ", " + v + ")");
    return 1;
}
int fakeApplyHRF(int index) {
    record("tvApplyTwoGammaHRFToPredictor(" + std::to_string(index) + ")");
    return 1;
}
float* fakeGetPredictor(int index) {
    record("tvGetPredictor(" + std::to_string(index) + ")");
    FakeHost& h = H();
    if (h.nullPredictors.count(index) || index < 0 || size_t(index) >= h.predictors.size())
        return nullptr;
    if (size_t(index) >= h.predictorValues.size()) h.predictorValues.resize(size_t(index) + 1);
    std::vector<float>& values = h.predictorValues[size_t(index)];
    const size_t t = size_t(std::max(h.header.NrOfTimePoints, 0));
    if (values.size() < t) {
        values.resize(t);
        for (size_t i = 0; i < t; ++i) values[i] = float(double(i % 7) / 7.0 + index);
    }
    return values.data();
}
int fakeSaveDesignMatrix(const char* name) {
    record("tvSaveSingleStudyGLMDesignMatrix(" + quoted(name) + ")");
    return 1;
}
int fakeGetVOIs(vois_header* header) {
    record("tvGetVOIs()");
    std::memset(header, 0, sizeof *header);
    header->NrOfVOIs = H().voiCountOverride.value_or(int(H().vois.size()));
    header->CoordinateSpace = H().coordinateSpace;
    return 1;
}
int* fakeGetVOI(int index, voi_header* header) {
    record("tvGetVOI(" + std::to_string(index) + ")");
    std::memset(header, 0, sizeof *header);
    FakeHost& h = H();
    if (index < 0 || size_t(index) >= h.vois.size()) return nullptr;
    FakeVoi& voi = h.vois[size_t(index)];
    int seen = index < 64 ? ++h.voiCallsSeen[index] : 1;
    header->NrOfVoxels = voi.voxelCountOverride.value_or(int(voi.coordinates.size() / 3));
    std::snprintf(header->VOIName, sizeof header->VOIName, "%s", voi.name.c_str());
    if (voi.nullVoxelsOnSecondCall && seen >= 2) return nullptr;
    return voi.coordinates.data();
}
void fakeUncalled() {}

using simtrove::host::RawHostFunction;

template <typename F>
RawHostFunction raw(F* function) {
    return reinterpret_cast<RawHostFunction>(function);
}

const std::map<std::string, RawHostFunction>& implementations() {
    static const std::map<std::string, RawHostFunction> table = {
        {"tvGetVersionOfTavimo", raw(fakeGetVersion)},
        {"tvMessageBox", raw(fakeMessageBox)},
        {"tvYesNoMessageBox", raw(fakeYesNo)},
        {"tvLogText", raw(fakeLogText)},
        {"tvShowLogTab", raw(fakeShowLogTab)},
        {"tvGetIntegerInput", raw(fakeGetIntegerInput)},
        {"tvGetOpenFileName", raw(fakeGetOpenFileName)},
        {"tvGetSaveFileName", raw(fakeGetSaveFileName)},
        {"tvShowBusyCursor", raw(fakeShowBusyCursor)},
        {"tvStopBusyCursor", raw(fakeStopBusyCursor)},
        {"tvUpdateActiveWindow", raw(fakeUpdateActiveWindow)},
        {"tvGetCurrentVMR", raw(fakeGetCurrentVMR)},
        {"tvGetCrossPositionOfCurrentVMR", raw(fakeGetCross)},
        {"tvCreateVTCForCurrentVMR", raw(fakeCreateVTC)},
        {"tvGetHeaderOfVTCOfCurrentVMR", raw(fakeGetHeader)},
        {"tvSetHeaderOfVTCOfCurrentVMR", raw(fakeSetHeader)},
        {"tvGetVTCFloatDataOfCurrentVMR", raw(fakeGetSamples)},
        {"tvSaveVTCOfCurrentVMR", raw(fakeSaveVTC)},
        {"tvGetProtocol", raw(fakeGetProtocol)},
        {"tvGetProtocolCondition", raw(fakeGetProtocolCondition)},
        {"tvClearDesignMatrix", raw(fakeClearDesignMatrix)},
        {"tvAddPredictor", raw(fakeAddPredictor)},
        {"tvSetPredictorValuesFromCondition", raw(fakeSetPredictorValues)},
        {"tvApplyTwoGammaHRFToPredictor", raw(fakeApplyHRF)},
        {"tvGetPredictor", raw(fakeGetPredictor)},
        {"tvSaveSingleStudyGLMDesignMatrix", raw(fakeSaveDesignMatrix)},
        {"tvGetVOIs", raw(fakeGetVOIs)},
        {"tvGetVOI", raw(fakeGetVOI)},
    };
    return table;
}

int moduleToken;

void* findModule() {
    return H().moduleFound ? &moduleToken : nullptr;
}

RawHostFunction findFunction(void*, const char* name) {
    if (H().absent.count(name)) return nullptr;
    auto it = implementations().find(name);
    return it != implementations().end() ? it->second
                                         : reinterpret_cast<RawHostFunction>(fakeUncalled);
}

const simtrove::host::HostLookup kFakeLookup{findModule, findFunction};

}  // namespace

std::vector<std::string> FakeHost::callsExceptLog() const {
    std::vector<std::string> result;
    for (const std::string& call : calls)
        if (call.rfind("tvLogText(", 0) != 0) result.push_back(call);
    return result;
}

FakeHost& FakeHost::instance() {
    static FakeHost host;
    return host;
}

FakeHost& FakeHost::install() {
    instance() = FakeHost{};
    simtrove::host::clearHostFunctions();
    simtrove::host::useHostLookup(&kFakeLookup);
    return instance();
}

void FakeHost::uninstall() {
    simtrove::host::useHostLookup(nullptr);
}

}  // namespace simtrove::testing
