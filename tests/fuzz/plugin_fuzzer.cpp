// Runs initPlugin and execute against a host whose every answer comes from the
// fuzz input: versions, missing functions, VMR sizes, dialog answers in and out
// of their bounds, VTC headers of any box, resolution and length (with a sample
// array of the size the header implies), protocols whose names fill the whole
// record, VOI sets of any count with voxels anywhere, and null results from
// every host function that returns a pointer. The run must end cleanly.
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "host/host_function_list.h"
#include "host/host_functions.h"
#include "host/host_lookup.h"
#include "host/records.h"
#include "numerics/random/deviates_internal.h"
#include "plugin/tavimo_plugin_interface.h"
#include "tests/fuzz/fuzz_input.h"

using simtrove::fuzz::FuzzInput;
using simtrove::host::RawHostFunction;

namespace {

// Largest sample array the fuzz host hands out; a larger VTC gets no samples.
constexpr std::int64_t kMaxSamples = 1 << 16;

struct FuzzHost {
    explicit FuzzHost(FuzzInput& in) : input(in) {}
    FuzzInput& input;
    std::string absentName;
    vtc_header header{};
    std::vector<float> samples;
    std::deque<std::vector<float>> predictors;
    std::deque<std::vector<int>> voxelArrays;
};

FuzzHost* host = nullptr;
FuzzInput& in() {
    return host->input;
}

int fuzzInteger(int def, int lo, int hi) {
    switch (in().byte() % 4) {
        case 0:
            return def;
        case 1:
            return lo <= hi ? in().intIn(lo, hi) : lo;
        case 2:
            return in().intIn(-2, 3);
        default:
            return in().anyInt();
    }
}

int fuzzSize() {
    return in().flag() ? in().intIn(-3, 20) : in().anyInt();
}

int getVersion(int* major, int* minor, int* sub) {
    const bool plain = in().byte() % 8 != 0;
    *major = plain ? 2 : in().anyInt();
    *minor = plain ? 0 : in().anyInt();
    *sub = plain ? 0 : in().anyInt();
    return 1;
}
int messageBox(const char* text) {
    return text != nullptr ? int(std::strlen(text) & 1) : 0;
}
int yesNo(const char* question) {
    return messageBox(question) + in().flag();
}
int logText(const char* line) {
    return messageBox(line);
}
int noArguments() {
    return 1;
}
int integerInput(const char* prompt, int def, int lo, int hi) {
    messageBox(prompt);
    return fuzzInteger(def, lo, hi);
}
int fileName(const char* title, const char* def, const char* filter, char* buffer) {
    messageBox(title);
    messageBox(def);
    messageBox(filter);
    if (in().byte() % 5 == 0) return 0;
    const std::string name = in().text(kHostPathCapacity - 1);
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return 1;
}
int currentVmr(int* x, int* y, int* z) {
    const bool usual = in().byte() % 8 != 0;
    *x = usual ? 256 : in().anyInt();
    *y = usual ? 256 : in().anyInt();
    *z = usual ? 256 : in().anyInt();
    return in().byte() % 16 != 0;
}
int crossPosition(int* x, int* y, int* z) {
    *x = fuzzInteger(128, 0, 255);
    *y = fuzzInteger(128, 0, 255);
    *z = fuzzInteger(128, 0, 255);
    return 1;
}
int boxCoordinate() {
    return in().flag() ? in().intIn(90, 130) : in().anyInt();
}

int createVtc(int timePoints, int) {
    vtc_header& h = host->header;
    for (std::size_t i = 0; i < sizeof h.host0; ++i) h.host0[i] = in().byte();
    h.NrOfTimePoints = in().flag() ? timePoints : fuzzSize();
    h.XStart = boxCoordinate();
    h.XEnd = boxCoordinate();
    h.YStart = boxCoordinate();
    h.YEnd = boxCoordinate();
    h.ZStart = boxCoordinate();
    h.ZEnd = boxCoordinate();
    h.Resolution = in().flag() ? in().intIn(-1, 4) : in().anyInt();
    std::memset(h.LinkedProtocolFile, in().byte(), sizeof h.LinkedProtocolFile);
    host->samples.clear();
    if (h.Resolution <= 0 || h.NrOfTimePoints <= 0) return 1;
    const std::int64_t dx = (std::int64_t(h.XEnd) - h.XStart) / h.Resolution;
    const std::int64_t dy = (std::int64_t(h.YEnd) - h.YStart) / h.Resolution;
    const std::int64_t dz = (std::int64_t(h.ZEnd) - h.ZStart) / h.Resolution;
    if (dx <= 0 || dy <= 0 || dz <= 0 || dx > kMaxSamples || dy > kMaxSamples || dz > kMaxSamples)
        return 1;
    const double count = double(dx) * double(dy) * double(dz) * double(h.NrOfTimePoints);
    if (count <= double(kMaxSamples)) host->samples.assign(std::size_t(count), -1.0f);
    return 1;
}
int getHeader(vtc_header* header) {
    *header = host->header;
    return 1;
}
int setHeader(vtc_header* header) {
    host->header = *header;
    return int(std::strlen(header->LinkedProtocolFile) & 1);
}
float* samples() {
    if (host->samples.empty() || in().byte() % 16 == 0) return nullptr;
    return host->samples.data();
}
int saveVtc(const char* name) {
    return messageBox(name);
}
int getProtocol(prt_header* protocol) {
    std::memset(protocol, 0, sizeof *protocol);
    protocol->NrOfConditions = in().flag() ? in().intIn(-3, 12) : in().intIn(-100000, 300);
    return 1;
}
int protocolCondition(int, prtcond_header* condition) {
    const bool fill = in().byte() % 4 == 0;  // a name that fills the record, no NUL
    std::memset(condition->ConditionName, fill ? 'c' : 0, sizeof condition->ConditionName);
    if (!fill) {
        const std::string name = in().text(40);
        std::memcpy(condition->ConditionName, name.c_str(), name.size() + 1);
    }
    return 1;
}
int predictorName(const char* name) {
    return messageBox(name);
}
int predictorValues(const char* name, int, float) {
    return messageBox(name);
}
int applyHrf(int index) {
    return index & 1;
}
float* predictor(int) {
    if (in().byte() % 8 == 0 || host->header.NrOfTimePoints <= 0) return nullptr;
    host->predictors.emplace_back(std::size_t(host->header.NrOfTimePoints));
    std::vector<float>& values = host->predictors.back();
    for (float& v : values) v = float(in().intIn(-100, 100)) / 10.0f;
    return values.data();
}
int getVois(vois_header* vois) {
    std::memset(vois, 0, sizeof *vois);
    vois->NrOfVOIs = in().byte() % 8 == 0 ? in().anyInt() % 100000 : in().intIn(-3, 4);
    vois->CoordinateSpace = in().flag() ? 3 : in().anyInt();
    return 1;
}
int* getVoi(int, voi_header* voi) {
    std::memset(voi, 0, sizeof *voi);
    if (in().byte() % 8 == 0) return nullptr;
    voi->NrOfVoxels = in().intIn(-3, 40);
    std::memset(voi->VOIName, 'v', sizeof voi->VOIName);  // a name without its NUL
    const std::size_t count = voi->NrOfVoxels > 0 ? std::size_t(voi->NrOfVoxels) : 0;
    host->voxelArrays.emplace_back(3 * count + 1);
    std::vector<int>& voxels = host->voxelArrays.back();
    for (std::size_t i = 0; i < 3 * count; ++i)
        voxels[i] = in().flag() ? in().intIn(-10, 140) : in().anyInt();
    return voxels.data();
}
void uncalled() {
    __builtin_trap();
}  // the plug-in must never call these

template <typename F>
RawHostFunction raw(F* f) {
    return reinterpret_cast<RawHostFunction>(f);
}

RawHostFunction implementation(const std::string& name) {
    static const struct {
        const char* name;
        RawHostFunction function;
    } table[] = {
        {"tvGetVersionOfTavimo", raw(getVersion)},
        {"tvMessageBox", raw(messageBox)},
        {"tvYesNoMessageBox", raw(yesNo)},
        {"tvLogText", raw(logText)},
        {"tvShowLogTab", raw(noArguments)},
        {"tvGetIntegerInput", raw(integerInput)},
        {"tvGetOpenFileName", raw(fileName)},
        {"tvGetSaveFileName", raw(fileName)},
        {"tvShowBusyCursor", raw(noArguments)},
        {"tvStopBusyCursor", raw(noArguments)},
        {"tvUpdateActiveWindow", raw(noArguments)},
        {"tvGetCurrentVMR", raw(currentVmr)},
        {"tvGetCrossPositionOfCurrentVMR", raw(crossPosition)},
        {"tvCreateVTCForCurrentVMR", raw(createVtc)},
        {"tvGetHeaderOfVTCOfCurrentVMR", raw(getHeader)},
        {"tvSetHeaderOfVTCOfCurrentVMR", raw(setHeader)},
        {"tvGetVTCFloatDataOfCurrentVMR", raw(samples)},
        {"tvSaveVTCOfCurrentVMR", raw(saveVtc)},
        {"tvGetProtocol", raw(getProtocol)},
        {"tvGetProtocolCondition", raw(protocolCondition)},
        {"tvClearDesignMatrix", raw(noArguments)},
        {"tvAddPredictor", raw(predictorName)},
        {"tvSetPredictorValuesFromCondition", raw(predictorValues)},
        {"tvApplyTwoGammaHRFToPredictor", raw(applyHrf)},
        {"tvGetPredictor", raw(predictor)},
        {"tvSaveSingleStudyGLMDesignMatrix", raw(saveVtc)},
        {"tvGetVOIs", raw(getVois)},
        {"tvGetVOI", raw(getVoi)},
    };
    for (const auto& entry : table)
        if (name == entry.name) return entry.function;
    return raw(uncalled);
}

int moduleToken;
void* findModule() {
    return in().byte() % 32 != 0 ? &moduleToken : nullptr;
}
RawHostFunction findFunction(void*, const char* name) {
    return name == host->absentName ? nullptr : implementation(name);
}
const simtrove::host::HostLookup kLookup{findModule, findFunction};

const char* const kCalledNames[] = {
#define SIMTROVE_CALLED_NAME(name, result, params) #name,
#define SIMTROVE_SKIP(name)
    SIMTROVE_HOST_FUNCTIONS(SIMTROVE_CALLED_NAME, SIMTROVE_SKIP)
#undef SIMTROVE_CALLED_NAME
#undef SIMTROVE_SKIP
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    FuzzHost fuzzHost(input);
    host = &fuzzHost;
    simtrove::random::deviateState() = {};
    simtrove::host::clearHostFunctions();
    simtrove::host::useHostLookup(&kLookup);
    const std::uint8_t missing = input.byte();
    if (missing < 2 * SIMTROVE_CALLED_HOST_FUNCTION_COUNT && missing % 2 == 0)
        fuzzHost.absentName = kCalledNames[missing / 2];

    std::unique_ptr<TavimoPluginInterface> plugin(createPlugin());
    if (plugin->initPlugin()) {
        plugin->execute();
        if (!input.exhausted()) plugin->execute();
    }
    plugin.reset();
    simtrove::host::useHostLookup(nullptr);
    host = nullptr;
    return 0;
}
