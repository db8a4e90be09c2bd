// The command-line conventions that every program of the project shares,
// on top of CLI11: one help layout, `--version` printing the project's
// version, `--option=value` as well as `--option value`.
//
// configureApp() sets up an App for a program (or a command of one): the
// shared formatter, -h/--help and --version. parseArguments() parses the
// arguments (without the program's name) and turns CLI11's outcome into one
// of three answers: run, print (help or version text, exit 0) or an error
// line without a prefix.
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace simtrove::cli {

// "2.0": the project's version.
std::string projectVersion();

// "PROGRAM (Simtrove) 2.0\n".
std::string versionText(const std::string& program);

void configureApp(CLI::App& app, const std::string& program);

struct ParseOutcome {
    enum class Kind { Run, Print, Error } kind = Kind::Run;
    std::string text;  // the help or version text, or the error line
};

// Unknown options and stray arguments are errors naming them.
ParseOutcome parseArguments(CLI::App& app, const std::vector<std::string>& args);

}  // namespace simtrove::cli
