#include "formats/protocol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "formats/text_input.h"

namespace simtrove::formats {
namespace {

constexpr std::string_view kMagic = "simtrove-protocol";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view withoutByteOrderMark(std::string_view text) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    return text;
}

std::string nameProblem(std::string_view name) {
    if (name.empty()) return "condition without a name";
    if (name.size() > kMaxConditionNameLength)
        return "condition name is longer than " + std::to_string(kMaxConditionNameLength) +
               " characters";
    return {};
}

// Reads "FIRST LAST" into an interval, or says what is wrong with it.
std::string parseInterval(const std::vector<std::string_view>& tokens, Interval& interval) {
    std::optional<int> first = parseInt(tokens[0]);
    std::optional<int> last = parseInt(tokens[1]);
    if (!first) return quotedToken(tokens[0]) + " is not a whole number";
    if (!last) return quotedToken(tokens[1]) + " is not a whole number";
    if (*first < 1)
        return "interval starts at volume " + std::to_string(*first) +
               "; volumes are numbered from 1";
    if (*last < *first)
        return "interval " + std::to_string(*first) + " " + std::to_string(*last) +
               " ends before it starts";
    if (*last > kMaxProtocolVolume)
        return "volume " + std::to_string(*last) + " is beyond the largest supported volume " +
               std::to_string(kMaxProtocolVolume);
    interval = {*first, *last};
    return {};
}

bool looksNumeric(std::string_view token) {
    const char c = token.empty() ? ' ' : token[0];
    return (c >= '0' && c <= '9') || c == '-' || c == '+';
}

class ProtocolTextReader {
  public:
    explicit ProtocolTextReader(const std::string& fileName) : file_(fileName) {}

    Result<Protocol> read(std::string_view text) {
        std::vector<std::string_view> lines = splitLines(withoutByteOrderMark(text));
        bool sawMagic = false;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::size_t number = i + 1;
            if (lines[i].find('\0') != std::string_view::npos)
                return fail(number, "contains a NUL byte");
            if (isBlankOrComment(lines[i])) continue;
            std::string problem =
                sawMagic ? readContentLine(lines[i], number) : readMagic(lines[i]);
            if (!problem.empty()) return fail(number, problem);
            sawMagic = true;
        }
        if (!sawMagic)
            return Result<Protocol>::failure(file_ +
                                             ": empty file; expected \"simtrove-protocol 1\"");
        if (protocol_.conditions.empty())
            return Result<Protocol>::failure(file_ + ": the protocol defines no condition");
        return std::move(protocol_);
    }

  private:
    Result<Protocol> fail(std::size_t line, const std::string& what) const {
        return Result<Protocol>::failure(located(file_, line, what));
    }

    static std::string readMagic(std::string_view line) {
        std::vector<std::string_view> tokens = splitWhitespace(line);
        if (tokens.size() == 2 && tokens[0] == kMagic) {
            if (tokens[1] == "1") return {};
            return "unsupported protocol format version " + quotedToken(tokens[1]) +
                   " (this program reads version 1)";
        }
        return "expected \"simtrove-protocol 1\" on the first line, or an events.tsv header row "
               "with onset, duration and trial_type";
    }

    std::string readContentLine(std::string_view line, std::size_t number) {
        std::string_view content = trim(line);
        std::vector<std::string_view> tokens = splitWhitespace(content);
        if (tokens[0] == "condition") return startCondition(trim(content.substr(9)), number);
        // A misspelt keyword is not a malformed interval: say what was expected.
        if (tokens.size() != 2 || !looksNumeric(tokens[0]))
            return "expected \"condition NAME\" or \"FIRST LAST\", got " + quotedToken(content);
        if (protocol_.conditions.empty()) return "interval before the first condition";
        Interval interval;
        std::string problem = parseInterval(tokens, interval);
        if (problem.empty()) protocol_.conditions.back().intervals.push_back(interval);
        return problem;
    }

    std::string startCondition(std::string_view name, std::size_t number) {
        if (std::string problem = nameProblem(name); !problem.empty()) return problem;
        auto [it, inserted] = firstLineOf_.emplace(std::string(name), number);
        if (!inserted)
            return "condition " + quotedToken(name) + " is defined twice (first on line " +
                   std::to_string(it->second) + ")";
        protocol_.conditions.push_back({std::string(name), {}});
        return {};
    }

    std::string file_;
    Protocol protocol_;
    std::map<std::string, std::size_t> firstLineOf_;
};

struct EventColumns {
    std::size_t count = 0;
    std::size_t onset = 0, duration = 0, trialType = 0;
};

std::string findColumns(std::string_view header, EventColumns& columns) {
    std::vector<std::string_view> names = splitFields(header, '\t');
    columns.count = names.size();
    std::map<std::string_view, std::size_t> index;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string_view name = trim(names[i]);
        if (!index.emplace(name, i).second) return "column " + quotedToken(name) + " appears twice";
    }
    for (auto [name, slot] :
         {std::pair{"onset", &columns.onset}, std::pair{"duration", &columns.duration},
          std::pair{"trial_type", &columns.trialType}}) {
        auto it = index.find(name);
        if (it == index.end()) return std::string("the header has no \"") + name + "\" column";
        *slot = it->second;
    }
    return {};
}

std::string readSeconds(std::string_view field, const char* what, double& seconds) {
    std::optional<double> value = parseReal(trim(field));
    if (!value) return std::string(what) + " " + quotedToken(trim(field)) + " is not a number";
    if (*value < 0.0)
        return std::string(what) + " must not be negative, got " + quotedToken(trim(field));
    seconds = *value;
    return {};
}

// Volumes are numbered from 1; the small slack keeps onsets such as 0.3 s at a
// repetition time of 0.1 s in the volume they name despite binary rounding.
constexpr double kVolumeSlack = 1e-9;

std::string eventInterval(double onset, double duration, double tr, Interval& interval) {
    double first = std::floor(onset / tr + kVolumeSlack) + 1.0;
    double last = duration > 0.0 ? std::ceil((onset + duration) / tr - kVolumeSlack) : first;
    if (last < first) last = first;
    if (last > kMaxProtocolVolume)
        return "the event reaches beyond the largest supported volume " +
               std::to_string(kMaxProtocolVolume);
    interval = {int(first), int(last)};
    return {};
}

}  // namespace

Result<Protocol> parseProtocolText(std::string_view text, const std::string& fileName) {
    return ProtocolTextReader(fileName).read(text);
}

Result<Protocol> parseEventsTsv(std::string_view text, const std::string& fileName,
                                double repetitionTime) {
    if (!(repetitionTime > 0.0) || !std::isfinite(repetitionTime))
        return Result<Protocol>::failure(fileName + ": the repetition time must be positive");
    std::vector<std::string_view> lines = splitLines(withoutByteOrderMark(text));
    auto fail = [&](std::size_t line, const std::string& what) {
        return Result<Protocol>::failure(located(fileName, line, what));
    };
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find('\0') != std::string_view::npos)
            return fail(i + 1, "contains a NUL byte");
    if (lines.empty() || trim(lines[0]).empty())
        return fail(1, "expected a header row with onset, duration and trial_type");
    EventColumns columns;
    if (std::string problem = findColumns(lines[0], columns); !problem.empty())
        return fail(1, problem);

    Protocol protocol;
    std::map<std::string, std::size_t> conditionOf;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::size_t number = i + 1;
        if (trim(lines[i]).empty()) continue;
        std::vector<std::string_view> fields = splitFields(lines[i], '\t');
        if (fields.size() != columns.count)
            return fail(number, "expected " + std::to_string(columns.count) +
                                    " tab-separated fields, found " +
                                    std::to_string(fields.size()));
        double onset = 0.0, duration = 0.0;
        if (std::string p = readSeconds(fields[columns.onset], "onset", onset); !p.empty())
            return fail(number, p);
        if (std::string p = readSeconds(fields[columns.duration], "duration", duration); !p.empty())
            return fail(number, p);
        std::string_view name = trim(fields[columns.trialType]);
        if (name.empty()) return fail(number, "trial_type is empty");
        if (name == "n/a") return fail(number, "trial_type \"n/a\" names no condition");
        if (std::string problem = nameProblem(name); !problem.empty()) return fail(number, problem);
        Interval interval;
        if (std::string p = eventInterval(onset, duration, repetitionTime, interval); !p.empty())
            return fail(number, p);
        auto [it, inserted] = conditionOf.emplace(std::string(name), protocol.conditions.size());
        if (inserted) protocol.conditions.push_back({std::string(name), {}});
        protocol.conditions[it->second].intervals.push_back(interval);
    }
    if (protocol.conditions.empty()) return Result<Protocol>::failure(fileName + ": no events");
    return protocol;
}

bool looksLikeEventsTsv(std::string_view text) {
    for (std::string_view line : splitLines(withoutByteOrderMark(text))) {
        if (trim(line).empty()) continue;
        if (line.find('\t') == std::string_view::npos) return false;
        for (std::string_view field : splitFields(line, '\t'))
            if (trim(field) == "onset") return true;
        return false;
    }
    return false;
}

Result<Protocol> parseProtocolFile(std::string_view bytes, const std::string& fileName,
                                   double repetitionTime) {
    if (looksLikeEventsTsv(bytes)) return parseEventsTsv(bytes, fileName, repetitionTime);
    return parseProtocolText(bytes, fileName);
}

std::string formatProtocolText(const Protocol& protocol, const std::string& comment) {
    std::string text;
    for (std::string_view line : splitLines(comment)) text += "# " + std::string(line) + "\n";
    text += "simtrove-protocol 1\n";
    for (const Condition& condition : protocol.conditions) {
        text += "\ncondition " + condition.name + "\n";
        for (const Interval& interval : condition.intervals)
            text += std::to_string(interval.first) + " " + std::to_string(interval.last) + "\n";
    }
    return text;
}

std::string formatEventsTsv(const Protocol& protocol, double repetitionTime) {
    // 15 significant digits: 10 * 0.72 reads "7.2", and the reader's slack of
    // 1e-9 volumes still covers the rounding at the largest volume number.
    auto seconds = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%.15g", value);
        return std::string(text);
    };
    std::string text = "onset\tduration\ttrial_type\n";
    for (const Condition& condition : protocol.conditions) {
        std::string name = condition.name;
        std::replace(name.begin(), name.end(), '\t', ' ');
        for (const Interval& interval : condition.intervals)
            text += seconds(double(interval.first - 1) * repetitionTime) + "\t" +
                    seconds(double(interval.last - interval.first + 1) * repetitionTime) + "\t" +
                    name + "\n";
    }
    return text;
}

Protocol builtinBlockProtocol(int volumes) {
    constexpr int kBlock = 10;
    Protocol protocol{{{"Rest", {}}, {"Task", {}}}};
    for (int first = 1, block = 0; first <= volumes; first += kBlock, ++block) {
        int last = first + kBlock - 1 < volumes ? first + kBlock - 1 : volumes;
        protocol.conditions[std::size_t(block % 2)].intervals.push_back({first, last});
    }
    return protocol;
}

}  // namespace simtrove::formats
