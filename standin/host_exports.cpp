#include "standin/host_exports.h"

#include <exception>

#include "standin/host_session.h"

namespace simtrove::standin {
namespace {

// The exported functions have no context argument, so the session they serve
// is the one piece of module-wide state of the stand-in.
HostSession* installed = nullptr;

template <typename R, typename F>
R serve(const char* function, R fallback, F&& call) noexcept {
    if (installed == nullptr) return fallback;
    try {
        return call(*installed);
    } catch (const std::exception& e) {
        installed->reportInternalError(function, e.what());
    } catch (...) {
        installed->reportInternalError(function, "unknown exception");
    }
    return fallback;
}

std::intptr_t unprovided(const char* name) noexcept {
    return serve(name, std::intptr_t(0), [name](HostSession& s) {
        s.reportUnprovided(name);
        return std::intptr_t(0);
    });
}

}  // namespace

InstalledHostSession::InstalledHostSession(HostSession& session) : previous_(installed) {
    installed = &session;
}

InstalledHostSession::~InstalledHostSession() {
    installed = previous_;
}

}  // namespace simtrove::standin

using simtrove::standin::HostSession;
using simtrove::standin::serve;

#define SIMTROVE_DEFINE_OTHER_EXPORT(name)           \
    std::intptr_t name() {                           \
        return simtrove::standin::unprovided(#name); \
    }
#define SIMTROVE_SKIP_CALLED(name, result, params)
SIMTROVE_HOST_FUNCTIONS(SIMTROVE_SKIP_CALLED, SIMTROVE_DEFINE_OTHER_EXPORT)
#undef SIMTROVE_DEFINE_OTHER_EXPORT
#undef SIMTROVE_SKIP_CALLED

// The 28 functions the plug-in calls; their signatures are fixed by the
// declarations generated from the host function list.
int tvGetVersionOfTavimo(int* major, int* minor, int* sub) {
    return serve(__func__, 0, [&](HostSession& s) { return s.getVersion(major, minor, sub); });
}
int tvShowLogTab() {
    return serve(__func__, 0, [&](HostSession& s) { return s.showLogTab(); });
}
int tvLogText(const char* line) {
    return serve(__func__, 0, [&](HostSession& s) { return s.logText(line); });
}
int tvMessageBox(const char* text) {
    return serve(__func__, 0, [&](HostSession& s) { return s.messageBox(text); });
}
int tvYesNoMessageBox(const char* question) {
    return serve(__func__, 0, [&](HostSession& s) { return s.yesNoMessageBox(question); });
}
int tvGetIntegerInput(const char* prompt, int defaultValue, int minimum, int maximum) {
    return serve(__func__, 0, [&](HostSession& s) {
        return s.getIntegerInput(prompt, defaultValue, minimum, maximum);
    });
}
int tvGetOpenFileName(const char* title, const char* defaultName, const char* filter,
                      char* buffer) {
    return serve(__func__, 0, [&](HostSession& s) {
        return s.getOpenFileName(title, defaultName, filter, buffer);
    });
}
int tvGetSaveFileName(const char* title, const char* defaultName, const char* filter,
                      char* buffer) {
    return serve(__func__, 0, [&](HostSession& s) {
        return s.getSaveFileName(title, defaultName, filter, buffer);
    });
}
int tvUpdateActiveWindow() {
    return serve(__func__, 0, [&](HostSession& s) { return s.updateActiveWindow(); });
}
int tvShowBusyCursor() {
    return serve(__func__, 0, [&](HostSession& s) { return s.showBusyCursor(); });
}
int tvStopBusyCursor() {
    return serve(__func__, 0, [&](HostSession& s) { return s.stopBusyCursor(); });
}
int tvGetCurrentVMR(int* x, int* y, int* z) {
    return serve(__func__, 0, [&](HostSession& s) { return s.getCurrentVmr(x, y, z); });
}
int tvGetCrossPositionOfCurrentVMR(int* x, int* y, int* z) {
    return serve(__func__, 0, [&](HostSession& s) { return s.getCrossPosition(x, y, z); });
}
int tvCreateVTCForCurrentVMR(int timePoints, int second) {
    return serve(__func__, 0, [&](HostSession& s) { return s.createVtc(timePoints, second); });
}
int tvGetHeaderOfVTCOfCurrentVMR(vtc_header* header) {
    return serve(__func__, 0, [&](HostSession& s) { return s.getVtcHeader(header); });
}
int tvSetHeaderOfVTCOfCurrentVMR(vtc_header* header) {
    return serve(__func__, 0, [&](HostSession& s) { return s.setVtcHeader(header); });
}
float* tvGetVTCFloatDataOfCurrentVMR() {
    return serve(__func__, static_cast<float*>(nullptr),
                 [&](HostSession& s) { return s.getVtcFloatData(); });
}
int tvSaveVTCOfCurrentVMR(const char* fileName) {
    return serve(__func__, 0, [&](HostSession& s) { return s.saveVtc(fileName); });
}
int tvGetProtocol(prt_header* header) {
    return serve(__func__, 0, [&](HostSession& s) { return s.getProtocol(header); });
}
int tvGetProtocolCondition(int index, prtcond_header* condition) {
    return serve(__func__, 0,
                 [&](HostSession& s) { return s.getProtocolCondition(index, condition); });
}
int tvClearDesignMatrix() {
    return serve(__func__, 0, [&](HostSession& s) { return s.clearDesignMatrix(); });
}
int tvAddPredictor(const char* name) {
    return serve(__func__, 0, [&](HostSession& s) { return s.addPredictor(name); });
}
int tvSetPredictorValuesFromCondition(const char* name, int conditionIndex, float value) {
    return serve(__func__, 0, [&](HostSession& s) {
        return s.setPredictorValuesFromCondition(name, conditionIndex, value);
    });
}
int tvApplyTwoGammaHRFToPredictor(int predictorIndex) {
    return serve(__func__, 0, [&](HostSession& s) { return s.applyTwoGammaHrf(predictorIndex); });
}
float* tvGetPredictor(int predictorIndex) {
    return serve(__func__, static_cast<float*>(nullptr),
                 [&](HostSession& s) { return s.getPredictor(predictorIndex); });
}
int tvSaveSingleStudyGLMDesignMatrix(const char* fileName) {
    return serve(__func__, 0, [&](HostSession& s) { return s.saveDesignMatrix(fileName); });
}
int tvGetVOIs(vois_header* header) {
    return serve(__func__, 0, [&](HostSession& s) { return s.getVois(header); });
}
int* tvGetVOI(int index, voi_header* header) {
    return serve(__func__, static_cast<int*>(nullptr),
                 [&](HostSession& s) { return s.getVoi(index, header); });
}
