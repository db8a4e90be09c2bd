// Wall-clock time of the phases of a run, as the host sees them: building the
// design matrix, the noise pass, the signal pass, and saving the VTC and its
// NIfTI copy. A phase may be entered several times; its times add up.
#pragma once

#include <array>
#include <chrono>
#include <iosfwd>
#include <optional>

namespace simtrove::standin {

enum class Phase { DesignMatrix, Noise, Signal, SaveVtc, SaveNifti };

class PhaseTimings {
  public:
    void begin(Phase phase);
    // Ends the phase when it is running; otherwise nothing happens.
    void end(Phase phase);
    bool running(Phase phase) const { return started_[index(phase)].has_value(); }
    double seconds(Phase phase) const { return elapsed_[index(phase)].count(); }
    // One line: "timings: design matrix 0.012 s, noise 0.431 s, ..., total 1.234 s".
    void print(std::ostream& out) const;

  private:
    static constexpr std::size_t kPhases = 5;
    static std::size_t index(Phase phase) { return static_cast<std::size_t>(phase); }
    using Clock = std::chrono::steady_clock;
    std::array<std::optional<Clock::time_point>, kPhases> started_{};
    std::array<std::chrono::duration<double>, kPhases> elapsed_{};
};

}  // namespace simtrove::standin
