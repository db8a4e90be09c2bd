// The simtrove program's command line:
//
//   simtrove simulate [SCENARIO.json] [--out DIR] [--threads N] [--components] [--timings]
//   simtrove report DATA [the report's options]
//   simtrove --help | --version
//
// simulate runs the scenario (without one: the plug-in's main job) and writes
// the run's files into DIR (default the current folder), naming each on
// standard error ("simtrove: wrote PATH"). A scenario that cannot be run is
// refused before anything is allocated or written, with its one line on
// standard error. --timings prints the time of reading, writing and of each
// component's generation on standard error, ending with "generation total
// SECONDS s". report runs the report of simulated data (analysis/report_command.h;
// without --design it takes DATA's NAME_design.rtc beside it).
// Exit status: 0 done, 2 for any error (the report's own statuses pass through).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace simtrove::program {

inline constexpr int kExitDone = 0;
inline constexpr int kExitError = 2;

// args: the arguments after the program's name.
int runSimtrove(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace simtrove::program
