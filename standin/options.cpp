#include "standin/options.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

#include "cli/command_line.h"
#include "formats/text_input.h"
#include "host/records.h"

namespace simtrove::standin {

using formats::parseInt;
using formats::parseReal;
using formats::quotedToken;
using formats::Result;
using formats::splitFields;
using formats::trim;
namespace {

constexpr std::size_t kMaxPathLength = kHostPathCapacity - 1;

// Reads option values one after another; every failure names the option.
class ValueReader {
  public:
    ValueReader(const std::vector<std::string>& args, std::size_t& next, std::string option)
        : args_(args), next_(next), option_(std::move(option)) {}

    std::string error;

    // The parser gives an option without a value (or with "--option=") an
    // empty one.
    std::optional<std::string> text() {
        if (next_ >= args_.size() || (args_.size() == 1 && args_[0].empty())) {
            error = option_ + " needs a value";
            return std::nullopt;
        }
        return args_[next_++];
    }
    std::optional<int> integer(int minimum, int maximum) {
        std::optional<std::string> value = text();
        if (!value) return std::nullopt;
        std::optional<int> number = parseInt(*value);
        if (!number) return fail(quotedToken(*value) + " is not a whole number");
        if (*number < minimum || *number > maximum)
            return fail(std::to_string(*number) + " is outside " + std::to_string(minimum) +
                        " to " + std::to_string(maximum));
        return number;
    }
    template <std::size_t N>
    std::optional<std::array<int, N>> integers(int minimum, int maximum) {
        std::array<int, N> values{};
        for (std::size_t i = 0; i < N; ++i) {
            if (next_ >= args_.size()) {
                error = option_ + " needs " + std::to_string(N) + " values";
                return std::nullopt;
            }
            std::optional<int> value = integer(minimum, maximum);
            if (!value) return std::nullopt;
            values[i] = *value;
        }
        return values;
    }
    std::optional<NumberAnswer> numberOrCancel() {
        std::optional<std::string> value = text();
        if (!value) return std::nullopt;
        if (*value == "cancel") return NumberAnswer{true, 0};
        std::optional<int> number = parseInt(*value);
        if (!number) return fail(quotedToken(*value) + " is neither a whole number nor cancel");
        return NumberAnswer{false, *number};
    }
    std::optional<FileAnswer> pathOrCancel() {
        std::optional<std::string> value = text();
        if (!value) return std::nullopt;
        if (*value == "cancel") return FileAnswer{true, {}};
        if (std::optional<std::string> path = checkedPath(*value)) return FileAnswer{false, *path};
        return std::nullopt;
    }
    std::optional<std::string> path() {
        std::optional<std::string> value = text();
        if (!value) return std::nullopt;
        if (value->empty()) return fail("the path is empty");
        return value;
    }
    std::optional<bool> yesNo() {
        std::optional<std::string> value = text();
        if (!value) return std::nullopt;
        std::optional<bool> yes = parseYesNo(*value);
        if (!yes) return fail(quotedToken(*value) + " is neither yes nor no");
        return yes;
    }

    std::nullopt_t fail(const std::string& what) {
        error = option_ + ": " + what;
        return std::nullopt;
    }

  private:
    std::optional<std::string> checkedPath(const std::string& value) {
        if (value.empty()) return fail("the path is empty");
        if (value.size() > kMaxPathLength)
            return fail("the path is longer than " + std::to_string(kMaxPathLength) +
                        " characters");
        return value;
    }

    const std::vector<std::string>& args_;
    std::size_t& next_;
    std::string option_;
};

std::optional<std::array<int, 3>> parseVersion(ValueReader& in) {
    std::optional<std::string> value = in.text();
    if (!value) return std::nullopt;
    std::vector<std::string_view> parts = splitFields(*value, '.');
    std::array<int, 3> version{};
    if (parts.size() != 3) return in.fail("expected MAJOR.MINOR.SUB, got " + quotedToken(*value));
    for (std::size_t i = 0; i < 3; ++i) {
        std::optional<int> part = parseInt(parts[i]);
        if (!part) return in.fail("expected MAJOR.MINOR.SUB, got " + quotedToken(*value));
        version[i] = *part;
    }
    return version;
}

std::optional<std::vector<int>> parseList(ValueReader& in) {
    std::optional<std::string> value = in.text();
    if (!value) return std::nullopt;
    std::vector<int> list;
    for (std::string_view item : splitFields(*value, ',')) {
        std::optional<int> number = parseInt(trim(item));
        if (!number) return in.fail(quotedToken(item) + " is not a whole number");
        list.push_back(*number);
    }
    return list;
}

std::optional<double> parseRepetitionTime(ValueReader& in) {
    std::optional<std::string> value = in.text();
    if (!value) return std::nullopt;
    std::optional<double> seconds = parseReal(*value);
    if (!seconds) return in.fail(quotedToken(*value) + " is not a number");
    if (*seconds < kMinRepetitionTime || *seconds > kMaxRepetitionTime)
        return in.fail("the repetition time must be from 0.01 to 10 seconds");
    return seconds;
}

// Assigns the value when the reader produced one; false when it failed.
template <typename T, typename U>
bool store(std::optional<T> value, U& target) {
    if (!value) return false;
    target = std::move(*value);
    return true;
}

using Handler = std::function<bool(ValueReader&, Options&, std::map<std::string, bool>&)>;

constexpr const char* kProgramGroup = "Options";
constexpr const char* kHostGroup = "Host documents";
constexpr const char* kAnswerGroup = "Answers to the plug-in's prompts";

// One option: its name, how many values it takes, how help shows them, and
// what it does with them.
struct OptionSpec {
    const char* name;
    int values;
    const char* group;
    const char* valueNames;
    const char* description;
    Handler handle;
};

const std::vector<OptionSpec>& optionSpecs() {
    static const std::vector<OptionSpec> table = {
        {"--plugin", 1, kProgramGroup, "PATH",
         "plug-in library (default: libsimtrove.so built beside the program)",
         [](ValueReader& in, Options& o, auto&) { return store(in.path(), o.pluginPath); }},
        {"--out", 1, kProgramGroup, "DIR",
         "output directory for relative save paths, the log and the built-in protocol "
         "(default: the current directory; created)",
         [](ValueReader& in, Options& o, auto&) { return store(in.path(), o.outDir); }},
        {"--ask", 0, kProgramGroup, "",
         "no embedded answers: ask every unanswered prompt on the terminal",
         [](ValueReader&, Options& o, auto&) { return o.ask = true; }},
        {"--nifti", 0, kProgramGroup, "",
         "also write a NIfTI copy (NAME.nii.gz) beside a saved VTC",
         [](ValueReader& in, Options& o, auto&) {
             if (SIMTROVE_HAVE_NIFTI == 0) {
                 in.fail("this build has no NIfTI library; it writes .vtc files");
                 return false;
             }
             return o.nifti = true;
         }},
        {"--bids", 1, kProgramGroup, "DIR",
         "also write the saved run as a BIDS dataset into DIR, with the truth and the design "
         "matrix in DIR/derivatives/simtrove",
         [](ValueReader& in, Options& o, auto&) {
             if (SIMTROVE_HAVE_NIFTI == 0) {
                 in.fail("this build has no NIfTI library; it writes .vtc files");
                 return false;
             }
             return store(in.path(), o.bidsDir);
         }},
        {"--timings", 0, kProgramGroup, "",
         "print the time of each phase of the run (design matrix, noise, signal, saving the VTC "
         "and the NIfTI copy) on stderr",
         [](ValueReader&, Options& o, auto&) { return o.timings = true; }},
        {"--host-version", 1, kHostGroup, "MAJOR.MINOR.SUB",
         "version the host reports (default 2.4.0)",
         [](ValueReader& in, Options& o, auto&) { return store(parseVersion(in), o.hostVersion); }},
        {"--vmr-dims", 3, kHostGroup, "X Y Z", "size of the current VMR (default 256 256 256)",
         [](ValueReader& in, Options& o, auto&) {
             return store(in.integers<3>(1, kMaxVmrDim), o.vmrDims);
         }},
        {"--no-vmr", 0, kHostGroup, "", "no current VMR",
         [](ValueReader&, Options& o, auto&) { return !(o.hasVmr = false); }},
        {"--cross", 3, kHostGroup, "X Y Z",
         "cross-hair position (default: the VMR centre, 128 128 128)",
         [](ValueReader& in, Options& o, auto& given) {
             return (given["cross"] = store(in.integers<3>(INT32_MIN, INT32_MAX), o.cross));
         }},
        {"--vtc-box", 6, kHostGroup, "X0 X1 Y0 Y1 Z0 Z1",
         "VMR range covered by a new VTC, ends exclusive (default: centred, 41 215 68 188 59 "
         "197)",
         [](ValueReader& in, Options& o, auto& given) {
             return (given["box"] = store(in.integers<6>(INT32_MIN, INT32_MAX), o.vtcBox));
         }},
        {"--resolution", 1, kHostGroup, "R", "VTC voxel edge in VMR voxels, 1 to 16 (default 3)",
         [](ValueReader& in, Options& o, auto&) {
             return store(in.integer(1, kMaxResolution), o.resolution);
         }},
        {"--tr", 1, kHostGroup, "SECONDS", "repetition time, 0.01 to 10 (default 2)",
         [](ValueReader& in, Options& o, auto&) {
             return store(parseRepetitionTime(in), o.repetitionTime);
         }},
        {"--vois", 1, kHostGroup, "FILE", "VOI file to offer as the current VOIs (default: none)",
         [](ValueReader& in, Options& o, auto&) { return store(in.path(), o.voisFile); }},
        {"--time-points", 1, kAnswerGroup, "N|cancel", "number of simulated time points",
         [](ValueReader& in, Options& o, auto&) {
             return store(in.numberOrCancel(), o.answers.timePoints);
         }},
        {"--protocol", 1, kAnswerGroup, "PATH|cancel",
         "protocol file (.prt text format or events.tsv)",
         [](ValueReader& in, Options& o, auto&) {
             return store(in.pathOrCancel(), o.answers.protocol);
         }},
        {"--use-vois", 1, kAnswerGroup, "yes|no", "use the VOIs to define clusters",
         [](ValueReader& in, Options& o, auto&) { return store(in.yesNo(), o.answers.useVois); }},
        {"--voi-predictors", 1, kAnswerGroup, "N,N,...",
         "predictor (1-based condition) for each VOI, in order",
         [](ValueReader& in, Options& o, auto&) {
             return store(parseList(in), o.answers.voiPredictors);
         }},
        {"--condition", 1, kAnswerGroup, "N|cancel", "condition of the cluster (1-based)",
         [](ValueReader& in, Options& o, auto&) {
             return store(in.numberOrCancel(), o.answers.condition);
         }},
        {"--use-cross", 1, kAnswerGroup, "yes|no", "cluster at the cross-hair",
         [](ValueReader& in, Options& o, auto&) { return store(in.yesNo(), o.answers.useCross); }},
        {"--position", 3, kAnswerGroup, "X Y Z", "cluster centre when not at the cross-hair",
         [](ValueReader& in, Options& o, auto&) {
             return store(in.integers<3>(INT32_MIN, INT32_MAX), o.answers.position);
         }},
        {"--save", 1, kAnswerGroup, "PATH|cancel",
         "VTC file name (.vtc, or .nii/.nii.gz for NIfTI)",
         [](ValueReader& in, Options& o, auto&) {
             return store(in.pathOrCancel(), o.answers.save);
         }},
        {"--answers", 1, kAnswerGroup, "FILE",
         "answers file: one answer per prompt, in order, for prompts that no option above "
         "answers",
         [](ValueReader& in, Options& o, auto&) { return store(in.path(), o.answersFile); }},
    };
    return table;
}

constexpr const char* kDescription =
    "Stands in for the host application: loads the Simtrove plug-in, runs it and answers its "
    "calls with real documents and files. Without any answer option it runs the main job: 250 "
    "time points, a built-in block protocol, cluster mode at the cross-hair with condition 2, "
    "saving Simulated.vtc and Simulated.nii.gz. Each answer option changes only its own prompt "
    "of the main job. Beside every saved VTC go NAME_truth.nii.gz (which voxels carry which "
    "predictor), NAME_events.tsv, NAME_design.rtc (the run's design matrix) and JSON sidecars "
    "(NAME.json beside a NIfTI copy, NAME_truth.json).";

constexpr const char* kFooter = R"(
Unless --answers or --ask is given, the main job's embedded answers (the built-in
protocol, VOIs yes, cross-hair yes) answer what no option answers, the other
prompts take the plug-in's default, and a NIfTI copy is written. With --answers
or --ask, prompts without an answer are asked on the terminal when standard input
is one; otherwise they take the plug-in's default (a question: no; the protocol
dialog: cancel). An answer that does not fit its prompt (a word for a number, a
number outside the prompt's bounds) ends the run there: nothing more is answered
or saved. A run that ends with false says on stderr why.

Exit status: 0 when the plug-in's run completed, 1 when it refused, was
cancelled or failed, 2 on errors of this program (options, unreadable input files,
files that could not be written, answers that do not fit their prompt).

tavimo-standin report DATA [--design FILE] [--out DIR] analyses a simulated VTC
(GLM, t-maps, pictures, report.html); see tavimo-standin report --help.)";

struct CommandLine {
    CLI::App app;
    std::vector<std::vector<std::string>> values;  // per option of optionSpecs()
    std::vector<CLI::Option*> options;
};

// The parser of the program's options. Every option takes up to its number
// of values, so that too few are reported by the option's own check.
std::unique_ptr<CommandLine> makeCommandLine() {
    auto line = std::make_unique<CommandLine>();
    cli::configureApp(line->app, "tavimo-standin");
    line->app.description(kDescription);
    line->app.footer(kFooter);
    const std::vector<OptionSpec>& entries = optionSpecs();
    line->values.resize(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const OptionSpec& entry = entries[i];
        CLI::Option* option =
            entry.values == 0
                ? line->app.add_flag(entry.name, entry.description)
                : line->app.add_option(entry.name, line->values[i], entry.description)
                      ->expected(0, entry.values)
                      ->type_name(entry.valueNames)
                      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
        option->group(entry.group);
        line->options.push_back(option);
    }
    return line;
}

std::string checkGeometry(Options& o, bool crossGiven, bool boxGiven) {
    if (!o.hasVmr) return {};
    if (!crossGiven) o.cross = {o.vmrDims[0] / 2, o.vmrDims[1] / 2, o.vmrDims[2] / 2};
    if (!boxGiven) o.vtcBox = defaultVtcBox(o.vmrDims);
    for (int axis = 0; axis < 3; ++axis) {
        const std::size_t a = std::size_t(axis);
        const std::string name(1, "XYZ"[axis]);
        if (o.cross[a] < 0 || o.cross[a] >= o.vmrDims[a])
            return "--cross: " + name + " " + std::to_string(o.cross[a]) +
                   " is outside the VMR (0 to " + std::to_string(o.vmrDims[a] - 1) + ")";
        const int start = o.vtcBox[2 * a], end = o.vtcBox[2 * a + 1];
        if (start < 0 || end > o.vmrDims[a] || start >= end)
            return std::string(boxGiven ? "--vtc-box" : "the default VTC box") + ": " + name +
                   " range " + std::to_string(start) + " to " + std::to_string(end) +
                   " must lie within the VMR (0 to " + std::to_string(o.vmrDims[a]) +
                   ") and not be empty";
        if (end - start < o.resolution)
            return std::string(boxGiven ? "--vtc-box" : "the default VTC box") + ": " + name +
                   " range " + std::to_string(start) + " to " + std::to_string(end) +
                   " holds no voxel at resolution " + std::to_string(o.resolution);
    }
    return {};
}

}  // namespace

std::array<int, 6> defaultVtcBox(const std::array<int, 3>& vmrDims) {
    std::array<int, 6> box{};
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const int extent = std::min(kDefaultBoxExtent[axis], vmrDims[axis]);
        box[2 * axis] = (vmrDims[axis] - extent) / 2;
        box[2 * axis + 1] = box[2 * axis] + extent;
    }
    return box;
}

Result<Options> parseCommandLine(const std::vector<std::string>& args) {
    Options options;
    std::unique_ptr<CommandLine> line = makeCommandLine();
    const cli::ParseOutcome outcome = cli::parseArguments(line->app, args);
    if (outcome.kind == cli::ParseOutcome::Kind::Error)
        return Result<Options>::failure(outcome.text);
    if (outcome.kind == cli::ParseOutcome::Kind::Print) {
        options.help = true;
        options.printText = outcome.text;
        return options;
    }
    std::map<std::string, bool> given;
    const std::vector<OptionSpec>& entries = optionSpecs();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (line->options[i]->count() == 0) continue;
        std::size_t next = 0;
        ValueReader reader(line->values[i], next, entries[i].name);
        if (!entries[i].handle(reader, options, given) && !reader.error.empty())
            return Result<Options>::failure(reader.error);
    }
    if (std::string problem = checkGeometry(options, given["cross"], given["box"]);
        !problem.empty())
        return Result<Options>::failure(problem);
    return options;
}

std::string usageText() {
    return makeCommandLine()->app.help();
}

std::string versionText() {
    return cli::versionText("tavimo-standin");
}

}  // namespace simtrove::standin
