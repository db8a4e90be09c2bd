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
    std::intptr_t TV_CDECL name() {                  \
        return simtrove::standin::unprovided(#name); \
    }
#define SIMTROVE_SKIP_CALLED(name, result, params)
SIMTROVE_HOST_FUNCTIONS(SIMTROVE_SKIP_CALLED, SIMTROVE_DEFINE_OTHER_EXPORT)
#undef SIMTROVE_DEFINE_OTHER_EXPORT
#undef SIMTROVE_SKIP_CALLED

// The 28 functions the plug-in calls; their signatures are fixed by the
// declarations generated from the host function list.
int TV_CDECL tvGetVersionOfTavimo(int* major, int* minor, int* sub) {
    return serve(__func__, 0, [&](HostSession& s) { return s.getVersion(major, minor, sub); });
}
int TV_CDECL tvShowLogTab() {
    return serve(__func__, 0, [&](HostSession& s) { return s.showLogTab(); });
}
int TV_CDECL tvLogText(const char* line) {
    return serve(__func__, 0, [&](HostSession& s) { return s.logText(line); });
}
int TV_CDECL tvMessageBox(const char* text) {
    return serve(__func__, 0, [&](HostSession& s) { return s.messageBox(text); });
}
int TV_CDECL tvYesNoMessageBox(const char* question) {
    return serve(__func__, 0, [&](HostSession& s) { return s.yesNoMessageBox(question); });
}
int TV_CDECL tvGetIntegerInput(const char* prompt, int defaultValue, int minimum, int maximum) {
    return serve(__func__, 0, [&](HostSession& s) {
        return s.getIntegerInput(prompt, defaultValue, minimum, maximum);
    });
}
int TV_CDECL tvGetOpenFileName(const char* title, const char* defaultName, const char* filter,
                               char* buffer) {
    return serve(__func__, 0, [&](HostSession& s) {
        return s.getOpenFileName(title, defaultName, filter, buffer);
    });
}
int TV_CDECL tvGetSaveFileName(const char* title, const char* defaultName, const char* filter,
                               char* buffer) {
    return serve(__func__, 0, [&](HostSession& s) {
        return s.getSaveFileName(title, defaultName, filter, buffer);
    });
}
int TV_CDECL tvUpdateActiveWindow() {
    return serve(__func__, 0, [&](HostSession& s) { return s.updateActiveWindow(); });
}
int TV_CDECL tvShowBusyCursor() {
    return serve(__func__, 0, [&](HostSession& s) { return s.showBusyCursor(); });
}
int TV_CDECL tvStopBusyCursor() {
    return serve(__func__, 0, [&](HostSession& s) { return s.stopBusyCursor(); });
}
int TV_CDECL tvGetCurrentVMR(int* x, int* y, int* z) {
    return serve(__func__, 0, [&](HostSession& s) { return s.getCurrentVmr(x, y, z); });
}
int TV_CDECL tvGetCrossPositionOfCurrentVMR(int* x, int* y, int* z) {
    return serve(__func__, 0, [&](HostSession& s) { return s.getCrossPosition(x, y, z); });
}
int TV_CDECL tvCreateVTCForCurrentVMR(int timePoints, int second) {
    return serve(__func__, 0, [&](HostSession& s) { return s.createVtc(timePoints, second); });
}
int TV_CDECL tvGetHeaderOfVTCOfCurrentVMR(vtc_header* header) {
    return serve(__func__, 0, [&](HostSession& s) { return s.getVtcHeader(header); });
}
int TV_CDECL tvSetHeaderOfVTCOfCurrentVMR(vtc_header* header) {
    return serve(__func__, 0, [&](HostSession& s) { return s.setVtcHeader(header); });
}
float* TV_CDECL tvGetVTCFloatDataOfCurrentVMR() {
    return serve(__func__, static_cast<float*>(nullptr),
                 [&](HostSession& s) { return s.getVtcFloatData(); });
}
int TV_CDECL tvSaveVTCOfCurrentVMR(const char* fileName) {
    return serve(__func__, 0, [&](HostSession& s) { return s.saveVtc(fileName); });
}
int TV_CDECL tvGetProtocol(prt_header* header) {
    return serve(__func__, 0, [&](HostSession& s) { return s.getProtocol(header); });
}
int TV_CDECL tvGetProtocolCondition(int index, prtcond_header* condition) {
    return serve(__func__, 0,
                 [&](HostSession& s) { return s.getProtocolCondition(index, condition); });
}
int TV_CDECL tvClearDesignMatrix() {
    return serve(__func__, 0, [&](HostSession& s) { return s.clearDesignMatrix(); });
}
int TV_CDECL tvAddPredictor(const char* name) {
    return serve(__func__, 0, [&](HostSession& s) { return s.addPredictor(name); });
}
int TV_CDECL tvSetPredictorValuesFromCondition(const char* name, int conditionIndex, float value) {
    return serve(__func__, 0, [&](HostSession& s) {
        return s.setPredictorValuesFromCondition(name, conditionIndex, value);
    });
}
int TV_CDECL tvApplyTwoGammaHRFToPredictor(int predictorIndex) {
    return serve(__func__, 0, [&](HostSession& s) { return s.applyTwoGammaHrf(predictorIndex); });
}
float* TV_CDECL tvGetPredictor(int predictorIndex) {
    return serve(__func__, static_cast<float*>(nullptr),
                 [&](HostSession& s) { return s.getPredictor(predictorIndex); });
}
int TV_CDECL tvSaveSingleStudyGLMDesignMatrix(const char* fileName) {
    return serve(__func__, 0, [&](HostSession& s) { return s.saveDesignMatrix(fileName); });
}
int TV_CDECL tvGetVOIs(vois_header* header) {
    return serve(__func__, 0, [&](HostSession& s) { return s.getVois(header); });
}
int* TV_CDECL tvGetVOI(int index, voi_header* header) {
    return serve(__func__, static_cast<int*>(nullptr),
                 [&](HostSession& s) { return s.getVoi(index, header); });
}
