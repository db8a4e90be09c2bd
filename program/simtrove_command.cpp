#include "program/simtrove_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <new>
#include <ostream>

#include "analysis/report_command.h"
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

int report(std::vector<std::string> args, std::ostream& out, std::ostream& err) {
    bool hasDesign = false;
    std::string data;
    for (const std::string& a : args) {
        if (a == "--design" || a.rfind("--design=", 0) == 0) hasDesign = true;
        if (data.empty() && !a.empty() && a[0] != '-') data = a;
    }
    if (!hasDesign && !data.empty()) {
        std::error_code error;
        const std::string design = designPathFor(data);
        if (fs::exists(design, error)) {
            args.push_back("--design");
            args.push_back(design);
        }
    }
    return analysis::runReport(args, out, err);
}

}  // namespace

std::string designPathFor(const std::string& dataPath) {
    std::string base = dataPath;
    for (const char* extension : {".nii.gz", ".nii", ".vtc"}) {
        const std::string e = extension;
        if (base.size() > e.size() && base.compare(base.size() - e.size(), e.size(), e) == 0) {
            base.resize(base.size() - e.size());
            break;
        }
    }
    return base + "_design.rtc";
}

int runSimtrove(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CLI::App app{"Simulates fMRI runs from scenario files.", "simtrove"};
    app.set_version_flag("--version", "simtrove 2.0");
    app.require_subcommand(1);
    SimulateOptions o;
    CLI::App* sim = app.add_subcommand(
        "simulate", "Run a scenario (without one: the plug-in's main job) and write its files.");
    sim->add_option("scenario", o.scenario, "Scenario file (JSON)");
    sim->add_option("--out", o.out, "Output folder (default: the current folder)");
    sim->add_option("--threads", o.threads, "Threads (default: every core)")
        ->check(CLI::Range(1, 4096));
    sim->add_flag("--components", o.components, "Also write the signal and each noise component");
    sim->add_flag("--timings", o.timings, "Print the time of each part on standard error");
    CLI::App* rep = app.add_subcommand("report", "Report on simulated data (see report --help).");
    rep->prefix_command();
    rep->set_help_flag();  // the report prints its own help

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        return code == 0 ? kExitDone : kExitError;
    }
    if (rep->parsed()) return report(rep->remaining(), out, err);
    o.progress = &err == &std::cerr && isatty(STDERR_FILENO);
    return simulate(o, err);
}

}  // namespace simtrove::program
