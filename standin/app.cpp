#include "standin/app.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "formats/nifti.h"
#include "formats/output_file.h"
#include "formats/protocol.h"
#include "formats/text_input.h"
#include "formats/voi_file.h"
#include "host/records.h"
#include "standin/dialogs.h"
#include "standin/host_exports.h"
#include "standin/host_session.h"
#include "standin/options.h"
#include "standin/platform.h"
#include "standin/plugin_loader.h"

namespace simtrove::standin {

using formats::builtinBlockProtocol;
using formats::formatProtocolText;
using formats::parseVoiText;
using formats::readFileBytes;
using formats::Result;
using formats::VoiSet;
namespace {

namespace fs = std::filesystem;

constexpr int kMainJobTimePoints = 250;
// The Windows build has no NIfTI library: it writes no NIfTI copy unasked.
constexpr bool kHaveNifti = SIMTROVE_HAVE_NIFTI != 0;

struct Inputs {
    VoiSet vois;
    AnswerScript script;
};

// Everything the options name that must be read before the plug-in starts.
Result<Inputs> readInputs(const Options& options) {
    Inputs inputs;
    if (!options.voisFile.empty()) {
        Result<std::string> bytes = readFileBytes(options.voisFile);
        if (!bytes) return Result<Inputs>::failure(bytes.error());
        Result<VoiSet> vois = parseVoiText(bytes.value(), options.voisFile);
        if (!vois) return Result<Inputs>::failure(vois.error());
        inputs.vois = std::move(vois).value();
    }
    if (!options.answersFile.empty()) {
        Result<std::string> bytes = readFileBytes(options.answersFile);
        if (!bytes) return Result<Inputs>::failure(bytes.error());
        Result<AnswerScript> script = parseAnswersText(bytes.value(), options.answersFile);
        if (!script) return Result<Inputs>::failure(script.error());
        inputs.script = std::move(script).value();
    }
    return inputs;
}

// The reason given is the first one: why creating failed, else why what is
// there is no directory.
std::string prepareOutDir(const std::string& outDir) {
    std::error_code created, checked;
    fs::create_directories(outDir, created);
    if (fs::is_directory(outDir, checked)) return {};
    const std::string reason = created                       ? created.message()
                               : fs::exists(outDir, checked) ? std::strerror(ENOTDIR)
                               : checked                     ? checked.message()
                                                             : std::strerror(ENOENT);
    return outDir + ": cannot create the output directory: " + reason;
}

// Volumes of the built-in protocol: the run's time points when an option gives
// them (at most the plug-in's 1000), else the main job's.
int builtinProtocolVolumes(const PromptAnswers& given) {
    constexpr int kMaxPluginTimePoints = 1000;
    if (!given.timePoints || given.timePoints->cancel || given.timePoints->value < 1)
        return kMainJobTimePoints;
    return std::min(given.timePoints->value, kMaxPluginTimePoints);
}

Result<std::string> writeBuiltinProtocol(const std::string& outDir, int volumes) {
    const std::string path = (fs::path(outDir) / kBuiltinProtocolName).string();
    if (path.size() >= kHostPathCapacity)
        return Result<std::string>::failure(path +
                                            ": path of the built-in protocol is longer than " +
                                            std::to_string(kHostPathCapacity - 1) + " characters");
    const std::string problem = formats::writeFileAtomically(
        path,
        formatProtocolText(builtinBlockProtocol(volumes),
                           "Built-in block design of tavimo-standin: Rest and Task alternate\n"
                           "every 10 volumes."),
        "the built-in protocol");
    if (!problem.empty()) return Result<std::string>::failure(problem);
    return path;
}

// The main job's embedded answers under the given ones: the built-in protocol
// (written into the output directory so that the VTC can link it), VOIs when
// there are any, the cluster at the cross-hair; every prompt that neither
// answers takes the plug-in's default. An option overrides only its own prompt.
Result<PromptAnswers> withEmbeddedAnswers(PromptAnswers answers, const std::string& outDir) {
    if (!answers.protocol) {
        Result<std::string> path = writeBuiltinProtocol(outDir, builtinProtocolVolumes(answers));
        if (!path) return Result<PromptAnswers>::failure(path.error());
        answers.protocol = FileAnswer{false, path.value()};
    }
    if (!answers.useVois) answers.useVois = true;
    if (!answers.useCross) answers.useCross = true;
    return answers;
}

std::string pluginFilePath(const std::string& given, const std::string& programPath) {
    if (given.empty()) return defaultPluginPath(programPath);
    // The loader searches the library path for a bare name; a given path is a file.
    return given.find('/') == std::string::npos ? "./" + given : given;
}

int fail(std::ostream& err, const std::string& message) {
    err << "tavimo-standin: error: " << message << "\n";
    return kExitError;
}

}  // namespace

std::string defaultPluginPath(const std::string& programPath) {
    const fs::path folder = fs::path(programPath).parent_path();
    const fs::path candidates[] = {folder / kPluginFileName,
                                   folder / ".." / "plugin" / kPluginFileName};
    for (const fs::path& candidate : candidates) {
        std::error_code error;
        if (fs::exists(candidate, error)) return candidate.lexically_normal().string();
    }
    return candidates[1].lexically_normal().string();
}

int runStandin(const std::vector<std::string>& args, const ProgramEnvironment& env) {
    Result<Options> parsed = parseCommandLine(args);
    if (!parsed) return fail(env.err, parsed.error() + " (see --help)");
    const Options& options = parsed.value();
    if (options.help) {
        env.out << options.printText;
        return kExitCompleted;
    }
    Result<Inputs> inputs = readInputs(options);
    if (!inputs) return fail(env.err, inputs.error());
    // Nothing is written before the plug-in has loaded.
    Result<PluginLibrary> library =
        loadPluginLibrary(pluginFilePath(options.pluginPath, env.programPath));
    if (!library) return fail(env.err, library.error());
    if (std::string problem = prepareOutDir(options.outDir); !problem.empty())
        return fail(env.err, problem);

    const bool embedded = options.answersFile.empty() && !options.ask;
    PromptAnswers answers = options.answers;
    if (embedded) {
        Result<PromptAnswers> withDefaults = withEmbeddedAnswers(options.answers, options.outDir);
        if (!withDefaults) return fail(env.err, withDefaults.error());
        answers = std::move(withDefaults).value();
    }
    // The log is kept in memory and written whole at the end; its lines also
    // go to standard output as they come.
    std::ostringstream log;

    Terminal terminal;
    if (env.inIsTerminal && !embedded) terminal = {&env.in, &env.err};
    Dialogs dialogs(std::move(answers), std::move(inputs.value().script), terminal, env.err);
    HostConfig config{
        options.hostVersion,    options.hasVmr, options.vmrDims,
        options.cross,          options.vtcBox, options.resolution,
        options.repetitionTime, options.outDir, (options.nifti || embedded) && kHaveNifti,
        options.voisFile,       options.bidsDir};
    HostSession session(std::move(config), std::move(inputs.value().vois), dialogs,
                        {env.out, env.err, env.errIsTerminal, &log});
    InstalledHostSession installed(session);

    Result<PluginOutcome> outcome = runPlugin(library.value());
    if (!outcome) return fail(env.err, outcome.error());
    if (options.timings) session.timings().print(env.err);
    dialogs.reportUnused();
    const std::string logPath = (fs::path(options.outDir) / kLogFileName).string();
    if (std::string problem = formats::writeFileAtomically(logPath, log.str(), "the log");
        !problem.empty())
        return fail(env.err, problem);
    // A run that the stand-in ended has said why already, in one line.
    if (outcome.value().initialised && !outcome.value().completed && !dialogs.ended())
        env.err << "tavimo-standin: the run ended with false: " << session.endingExplanation()
                << "\n";
    if (session.failed() || dialogs.failed()) return kExitError;
    if (!outcome.value().initialised) {
        env.err << "tavimo-standin: the plug-in refused to start (initPlugin returned false)\n";
        return kExitPluginFalse;
    }
    return outcome.value().completed ? kExitCompleted : kExitPluginFalse;
}

int runStandinProgram(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    ProgramEnvironment env{std::cin,           std::cout,
                           std::cerr,          stdinIsTerminal(),
                           stderrIsTerminal(), programPath(argc > 0 ? argv[0] : nullptr)};
    return runStandin(args, env);
}

}  // namespace simtrove::standin
