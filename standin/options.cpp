#include "standin/options.h"

#include <algorithm>
#include <functional>
#include <map>

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

    std::optional<std::string> text() {
        if (next_ >= args_.size()) {
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

const std::map<std::string, Handler>& handlers() {
    static const std::map<std::string, Handler> table = {
        {"--help", [](ValueReader&, Options& o, auto&) { return o.help = true; }},
        {"-h", [](ValueReader&, Options& o, auto&) { return o.help = true; }},
        {"--plugin",
         [](ValueReader& in, Options& o, auto&) { return store(in.path(), o.pluginPath); }},
        {"--out", [](ValueReader& in, Options& o, auto&) { return store(in.path(), o.outDir); }},
        {"--host-version",
         [](ValueReader& in, Options& o, auto&) { return store(parseVersion(in), o.hostVersion); }},
        {"--vmr-dims", [](ValueReader& in, Options& o,
                          auto&) { return store(in.integers<3>(1, kMaxVmrDim), o.vmrDims); }},
        {"--no-vmr", [](ValueReader&, Options& o, auto&) { return !(o.hasVmr = false); }},
        {"--cross",
         [](ValueReader& in, Options& o, auto& given) {
             return (given["cross"] = store(in.integers<3>(INT32_MIN, INT32_MAX), o.cross));
         }},
        {"--vtc-box",
         [](ValueReader& in, Options& o, auto& given) {
             return (given["box"] = store(in.integers<6>(INT32_MIN, INT32_MAX), o.vtcBox));
         }},
        {"--resolution", [](ValueReader& in, Options& o,
                            auto&) { return store(in.integer(1, kMaxResolution), o.resolution); }},
        {"--tr", [](ValueReader& in, Options& o,
                    auto&) { return store(parseRepetitionTime(in), o.repetitionTime); }},
        {"--vois", [](ValueReader& in, Options& o, auto&) { return store(in.path(), o.voisFile); }},
        {"--answers",
         [](ValueReader& in, Options& o, auto&) { return store(in.path(), o.answersFile); }},
        {"--nifti", [](ValueReader&, Options& o, auto&) { return o.nifti = true; }},
        {"--bids", [](ValueReader& in, Options& o, auto&) { return store(in.path(), o.bidsDir); }},
        {"--timings", [](ValueReader&, Options& o, auto&) { return o.timings = true; }},
        {"--ask", [](ValueReader&, Options& o, auto&) { return o.ask = true; }},
        {"--time-points", [](ValueReader& in, Options& o,
                             auto&) { return store(in.numberOrCancel(), o.answers.timePoints); }},
        {"--protocol", [](ValueReader& in, Options& o,
                          auto&) { return store(in.pathOrCancel(), o.answers.protocol); }},
        {"--use-vois",
         [](ValueReader& in, Options& o, auto&) { return store(in.yesNo(), o.answers.useVois); }},
        {"--voi-predictors", [](ValueReader& in, Options& o,
                                auto&) { return store(parseList(in), o.answers.voiPredictors); }},
        {"--condition", [](ValueReader& in, Options& o,
                           auto&) { return store(in.numberOrCancel(), o.answers.condition); }},
        {"--use-cross",
         [](ValueReader& in, Options& o, auto&) { return store(in.yesNo(), o.answers.useCross); }},
        {"--position",
         [](ValueReader& in, Options& o, auto&) {
             return store(in.integers<3>(INT32_MIN, INT32_MAX), o.answers.position);
         }},
        {"--save", [](ValueReader& in, Options& o,
                      auto&) { return store(in.pathOrCancel(), o.answers.save); }},
    };
    return table;
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
    std::map<std::string, bool> given;
    std::size_t next = 0;
    while (next < args.size()) {
        const std::string& option = args[next++];
        auto handler = handlers().find(option);
        if (handler == handlers().end()) {
            if (option.rfind("-", 0) == 0)
                return Result<Options>::failure("unknown option " + quotedToken(option));
            return Result<Options>::failure("unexpected argument " + quotedToken(option));
        }
        ValueReader reader(args, next, option);
        if (!handler->second(reader, options, given) && !reader.error.empty())
            return Result<Options>::failure(reader.error);
    }
    if (options.help) return options;
    if (std::string problem = checkGeometry(options, given["cross"], given["box"]);
        !problem.empty())
        return Result<Options>::failure(problem);
    return options;
}

std::string usageText() {
    return R"(Usage: tavimo-standin [OPTION]...
Stands in for the host application: loads the Simtrove plug-in, runs it and
answers its calls with real documents and files. Without any answer option it
runs the main job: 250 time points, a built-in block protocol, cluster mode at
the cross-hair with condition 2, saving Simulated.vtc and Simulated.nii.gz. Each
answer option changes only its own prompt of the main job. Beside every saved
VTC go NAME_truth.nii.gz (which voxels carry which predictor), NAME_events.tsv
and JSON sidecars (NAME.json beside a NIfTI copy, NAME_truth.json).

Program:
  --plugin PATH         plug-in library (default: libsimtrove.so built beside the program)
  --out DIR             output directory for relative save paths, the log and the
                        built-in protocol (default: the current directory; created)
  --ask                 no embedded answers: ask every unanswered prompt on the terminal
  --nifti               also write a NIfTI copy (NAME.nii.gz) beside a saved VTC
  --bids DIR            also write the saved run as a BIDS dataset into DIR, with
                        the truth and the design matrix in DIR/derivatives/simtrove
  --timings             print the time of each phase of the run (design matrix,
                        noise, signal, saving the VTC and the NIfTI copy) on stderr
  -h, --help            show this text and exit

Host documents:
  --host-version MAJOR.MINOR.SUB   version the host reports (default 2.4.0)
  --vmr-dims X Y Z      size of the current VMR (default 256 256 256)
  --no-vmr              no current VMR
  --cross X Y Z         cross-hair position (default: the VMR centre, 128 128 128)
  --vtc-box X0 X1 Y0 Y1 Z0 Z1   VMR range covered by a new VTC, ends exclusive
                        (default: centred, 41 215 68 188 59 197)
  --resolution R        VTC voxel edge in VMR voxels, 1 to 16 (default 3)
  --tr SECONDS          repetition time, 0.01 to 10 (default 2)
  --vois FILE           VOI file to offer as the current VOIs (default: none)

Answers to the plug-in's prompts:
  --time-points N|cancel        number of simulated time points
  --protocol PATH|cancel        protocol file (.prt text format or events.tsv)
  --use-vois yes|no             use the VOIs to define clusters
  --voi-predictors N,N,...      predictor (1-based condition) for each VOI, in order
  --condition N|cancel          condition of the cluster (1-based)
  --use-cross yes|no            cluster at the cross-hair
  --position X Y Z              cluster centre when not at the cross-hair
  --save PATH|cancel            VTC file name (.vtc, or .nii/.nii.gz for NIfTI)
  --answers FILE                answers file: one answer per prompt, in order, for
                                prompts that no option above answers

Unless --answers or --ask is given, the main job's embedded answers (the built-in
protocol, VOIs yes, cross-hair yes) answer what no option answers, the other
prompts take the plug-in's default, and a NIfTI copy is written. With --answers
or --ask, prompts without an answer are asked on the terminal when standard input
is one; otherwise they take the plug-in's default (a question: no; the protocol
dialog: cancel). A run that ends with false says on stderr why.

Exit status: 0 when the plug-in's run completed, 1 when it refused, was
cancelled or failed, 2 on errors of this program (options, unreadable input files,
files that could not be written, answers that do not fit their prompt).

tavimo-standin report DATA --design FILE [--out DIR] analyses a simulated VTC
(GLM, t-maps, pictures, report.html); see tavimo-standin report --help.
)";
}

}  // namespace simtrove::standin
