#include "standin/phase_timings.h"

#include <cstdio>
#include <ostream>

namespace simtrove::standin {

void PhaseTimings::begin(Phase phase) {
    started_[index(phase)] = Clock::now();
}

void PhaseTimings::end(Phase phase) {
    std::optional<Clock::time_point>& start = started_[index(phase)];
    if (!start) return;
    elapsed_[index(phase)] += Clock::now() - *start;
    start.reset();
}

void PhaseTimings::print(std::ostream& out) const {
    static const char* const names[kPhases] = {"design matrix", "noise", "signal", "save VTC",
                                               "save NIfTI"};
    double total = 0.0;
    out << "timings:";
    for (std::size_t i = 0; i < kPhases; ++i) {
        char text[64];
        std::snprintf(text, sizeof text, " %s %.3f s,", names[i], elapsed_[i].count());
        out << text;
        total += elapsed_[i].count();
    }
    char text[32];
    std::snprintf(text, sizeof text, " total %.3f s\n", total);
    out << text;
}

}  // namespace simtrove::standin
