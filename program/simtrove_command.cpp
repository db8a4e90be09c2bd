#include "program/simtrove_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <ostream>

#include "analysis/report_command.h"
#include "cli/command_line.h"
#include "scenario/bids_files.h"
#include "scenario/generator.h"
#include "scenario/run_files.h"
#include "scenario/scenario_reader.h"

namespace simtrove::program {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct SimulateOptions {
    std::string scenario;
    std::string out = ".";
    std::string bids;  // empty: the run's files into `out`
    int threads = 0;
    bool components = false;
    bool timings = false;
    bool progress = false;  // standard error is a terminal
};

std::string seconds(double s) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f s", s);
    return text;
}

// Every subject and run into one BIDS dataset; a progress line per run on a terminal.
int simulateBids(const scenario::Scenario& s, const SimulateOptions& o, std::ostream& err) {
    const bool terminal = isatty(2) != 0;
    std::vector<std::string> written;
    const std::string problem = scenario::writeBidsDataset(
        s, o.bids, {o.threads, o.components}, &written, [&](int done, int total) {
            if (terminal) err << "\rsimtrove: run " << done << " of " << total << std::flush;
        });
    if (terminal) err << "\n";
    for (const std::string& path : written) err << "simtrove: wrote " << path << "\n";
    if (!problem.empty()) {
        err << problem << "\n";
        return kExitError;
    }
    return kExitDone;
}

int simulate(const SimulateOptions& o, std::ostream& err) {
    const Clock::time_point readStart = Clock::now();
    formats::Result<scenario::Scenario> read =
        o.scenario.empty() ? formats::Result<scenario::Scenario>(scenario::plugInMainJob())
                           : scenario::readScenarioFile(o.scenario);
    if (!read) {
        err << read.error() << "\n";
        return kExitError;
    }
    if (std::string problem = scenario::memoryProblem(read.value(), o.components);
        !problem.empty()) {
        err << problem << "\n";
        return kExitError;
    }
    if (!o.bids.empty()) return simulateBids(read.value(), o, err);
    if (read.value().subjects > 1 || read.value().runs > 1) {
        err << (read.value().subjects > 1 ? "subjects" : "runs")
            << ": more than one run is written as a BIDS dataset: give --bids DIR\n";
        return kExitError;
    }
    const double readSeconds = std::chrono::duration<double>(Clock::now() - readStart).count();
    scenario::GenerateOptions options{o.threads, o.components, o.timings};
    // A progress line on a terminal only: logs and pipes get the file lines alone.
    int shown = -1;
    if (o.progress)
        options.progress = [&](double share) {
            const int percent = int(share * 100.0);
            if (percent == shown) return;
            shown = percent;
            err << "\rsimtrove: generating " << percent << " %" << std::flush;
        };
    scenario::SimulatedRun run;
    try {
        run = scenario::generate(read.value(), options);
        if (o.progress) err << "\r" << std::string(32, ' ') << "\r" << std::flush;
    } catch (const std::bad_alloc&) {
        err << "simtrove: out of memory while generating the run\n";
        return kExitError;
    }
    const Clock::time_point writeStart = Clock::now();
    std::vector<std::string> written;
    const std::string problem = scenario::writeRunFiles(run, o.out, &written);
    for (const std::string& path : written) err << "simtrove: wrote " << path << "\n";
    if (!problem.empty()) {
        err << problem << "\n";
        return kExitError;
    }
    if (o.timings) {
        err << "reading " << seconds(readSeconds) << "\n";
        err << "writing "
            << seconds(std::chrono::duration<double>(Clock::now() - writeStart).count()) << "\n";
        for (const scenario::PhaseTiming& t : run.timings)
            err << "generation " << t.name << " " << seconds(t.seconds) << "\n";
    }
    return kExitDone;
}

// The top level: help and version, or which command to run.
std::unique_ptr<CLI::App> topLevel() {
    auto app = std::make_unique<CLI::App>();
    cli::configureApp(*app, "simtrove");
    app->description("Simulates fMRI runs from scenario files and reports on them.");
    app->footer(
        "\nCommands:\n"
        "  simulate [SCENARIO.json] [OPTION]...   run a scenario (without one: the plug-in's main\n"
        "                                         job) and write its files\n"
        "  report DATA [OPTION]...                analyse simulated data (see simtrove report "
        "--help)\n\nExit status: 0 when done, 2 on errors.");
    return app;
}

std::unique_ptr<CLI::App> simulateCommandLine(SimulateOptions& o) {
    auto app = std::make_unique<CLI::App>();
    cli::configureApp(*app, "simtrove simulate");
    app->description(
        "Runs the scenario (without one: the plug-in's main job) and writes the run's files.");
    app->add_option("SCENARIO", o.scenario, "scenario file (JSON)")->type_name("");
    app->add_option("--out", o.out, "output folder (default: the current folder)")
        ->type_name("DIR");
    app->add_option("--bids", o.bids,
                    "write every subject and run as a BIDS dataset into this folder instead")
        ->type_name("DIR");
    app->add_option("--threads", o.threads, "threads (default: every core)")
        ->type_name("N")
        ->check(CLI::Range(1, 4096).description(""));
    app->add_flag("--components", o.components, "also write the signal and each noise component");
    app->add_flag("--timings", o.timings, "print the time of each part on standard error");
    app->footer("\nExit status: 0 when the files were written, 2 on errors.");
    return app;
}

// Help and version texts go to `out` (exit 0), errors to `err` (exit 2).
int finishParse(const cli::ParseOutcome& outcome, const std::string& program, std::ostream& out,
                std::ostream& err) {
    if (outcome.kind == cli::ParseOutcome::Kind::Print) {
        out << outcome.text;
        return kExitDone;
    }
    err << program << ": " << outcome.text << " (see " << program << " --help)\n";
    return kExitError;
}

}  // namespace

int runSimtrove(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::string command = args.empty() ? std::string() : args.front();
    const std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
    if (command == "report") return analysis::runReport(rest, out, err, "simtrove report");
    if (command == "simulate") {
        SimulateOptions o;
        std::unique_ptr<CLI::App> app = simulateCommandLine(o);
        const cli::ParseOutcome outcome = cli::parseArguments(*app, rest);
        if (outcome.kind != cli::ParseOutcome::Kind::Run)
            return finishParse(outcome, "simtrove simulate", out, err);
        o.progress = &err == &std::cerr && isatty(STDERR_FILENO);
        return simulate(o, err);
    }
    if (!command.empty() && command[0] != '-')
        return finishParse({cli::ParseOutcome::Kind::Error, "unknown command \"" + command + "\""},
                           "simtrove", out, err);
    std::unique_ptr<CLI::App> app = topLevel();
    cli::ParseOutcome outcome = cli::parseArguments(*app, args);
    if (outcome.kind == cli::ParseOutcome::Kind::Run)
        outcome = {cli::ParseOutcome::Kind::Error, command.empty()
                                                       ? "no command (simulate or report)"
                                                       : "unknown command \"" + command + "\""};
    return finishParse(outcome, "simtrove", out, err);
}

}  // namespace simtrove::program
