// The tavimo-standin program as a library function.
//
// runStandin() parses the options, reads the input files, loads the plug-in
// (nothing is written before it has loaded), prepares the output directory
// (the built-in protocol for the main job), installs a HostSession behind the
// exported host functions, calls createPlugin, initPlugin and execute, deletes
// the object through its interface and writes the log "simtrove.log" whole.
// Unless --answers or --ask is given, the main job's embedded answers answer
// every prompt that no answer option answers. When execute returns false, one
// line on `err` says why, from what the host saw (none when the stand-in
// itself ended the run: its error line says why).
// Exit status: 0 when execute returned true, 1 when the plug-in refused to
// start or execute returned false, 2 on the program's own errors (options,
// unreadable inputs, output not written, answers that do not fit), each
// reported on one line of `err`.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace simtrove::standin {

inline constexpr const char* kLogFileName = "simtrove.log";
inline constexpr const char* kBuiltinProtocolName = "simtrove_block.prt";
inline constexpr int kExitCompleted = 0;
inline constexpr int kExitPluginFalse = 1;
inline constexpr int kExitError = 2;

struct ProgramEnvironment {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool inIsTerminal = false;
    bool errIsTerminal = false;
    std::string programPath;  // for the default plug-in location
};

int runStandin(const std::vector<std::string>& args, const ProgramEnvironment& environment);

// The plug-in beside the program: libsimtrove.so in the program's folder, else
// in ../plugin/ (the build tree).
std::string defaultPluginPath(const std::string& programPath);

// main(): arguments and standard streams of the process.
int runStandinProgram(int argc, char** argv);

}  // namespace simtrove::standin
