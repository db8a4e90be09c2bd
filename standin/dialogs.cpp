#include "standin/dialogs.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>

#include "formats/text_input.h"
#include "host/records.h"

namespace simtrove::standin {

using formats::located;
using formats::parseInt;
using formats::quotedToken;
using formats::Result;
using formats::splitLines;
using formats::trim;
namespace {

constexpr std::size_t kMaxPathLength = kHostPathCapacity - 1;
constexpr const char* kWarning = "tavimo-standin: warning: ";
constexpr const char* kError = "tavimo-standin: error: ";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}
bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

std::string lowercase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool isCancel(std::string_view text) {
    return lowercase(trim(text)) == "cancel";
}

// The prompt's first line of plain text, quoted and cut for a one-line message.
std::string shortPrompt(std::string_view prompt) {
    constexpr std::size_t kShown = 60;
    std::string text = renderPromptText(prompt);
    for (std::string_view line : splitLines(text)) {
        std::string_view t = trim(line);
        if (t.empty()) continue;
        std::string shown(t.substr(0, kShown));
        if (t.size() > kShown) shown += "...";
        return "\"" + shown + "\"";
    }
    return "\"\"";
}

std::string bounds(int minimum, int maximum) {
    return std::to_string(minimum) + " to " + std::to_string(maximum);
}

std::string promptName(std::string_view prompt, PromptKind kind) {
    switch (kind) {
        case PromptKind::TimePoints:
            return "the time points prompt";
        case PromptKind::VoiPredictor:
            return "the VOI predictor prompt";
        case PromptKind::Condition:
            return "the condition prompt";
        case PromptKind::PositionX:
            return "the X position prompt";
        case PromptKind::PositionY:
            return "the Y position prompt";
        case PromptKind::PositionZ:
            return "the Z position prompt";
        case PromptKind::Protocol:
            return "the protocol dialog";
        case PromptKind::Save:
            return "the save dialog";
        default:
            return "the prompt " + shortPrompt(prompt);
    }
}

// The option that answers a kind of prompt, for telling the user.
std::string optionFor(PromptKind kind) {
    switch (kind) {
        case PromptKind::TimePoints:
            return "--time-points";
        case PromptKind::Condition:
            return "--condition";
        case PromptKind::Protocol:
            return "--protocol";
        case PromptKind::Save:
            return "--save";
        case PromptKind::VoiPredictor:
            return "--voi-predictors";
        case PromptKind::PositionX:
        case PromptKind::PositionY:
        case PromptKind::PositionZ:
            return "--position";
        default:
            return "its option";
    }
}

}  // namespace

PromptKind classifyIntegerPrompt(std::string_view prompt) {
    if (contains(prompt, "time points")) return PromptKind::TimePoints;
    if (startsWith(prompt, "Select predictor for VOI")) return PromptKind::VoiPredictor;
    if (startsWith(prompt, "Select condition")) return PromptKind::Condition;
    if (contains(prompt, "X position")) return PromptKind::PositionX;
    if (contains(prompt, "Y position")) return PromptKind::PositionY;
    if (contains(prompt, "Z position")) return PromptKind::PositionZ;
    return PromptKind::Other;
}

PromptKind classifyQuestion(std::string_view question) {
    if (contains(question, "VOIs")) return PromptKind::UseVois;
    if (contains(question, "cross")) return PromptKind::UseCross;
    return PromptKind::Other;
}

std::string renderPromptText(std::string_view html) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&nbsp;", ' '}};
    std::string text;
    std::size_t i = 0;
    while (i < html.size()) {
        if (html[i] == '<') {
            std::size_t close = html.find('>', i);
            if (close != std::string_view::npos) {
                std::string tag = lowercase(html.substr(i + 1, close - i - 1));
                tag.erase(std::remove(tag.begin(), tag.end(), ' '), tag.end());
                if (tag == "br" || tag == "br/") text += '\n';
                i = close + 1;
                continue;
            }
        } else if (html[i] == '&') {
            auto entity =
                std::find_if(std::begin(kEntities), std::end(kEntities),
                             [&](const auto& e) { return startsWith(html.substr(i), e.first); });
            if (entity != std::end(kEntities)) {
                text += entity->second;
                i += entity->first.size();
                continue;
            }
        }
        text += html[i++];
    }
    return text;
}

std::optional<bool> parseYesNo(std::string_view text) {
    std::string word = lowercase(trim(text));
    if (word == "yes" || word == "y") return true;
    if (word == "no" || word == "n") return false;
    return std::nullopt;
}

Result<AnswerScript> parseAnswersText(std::string_view text, const std::string& fileName) {
    AnswerScript script{fileName, {}};
    std::vector<std::string_view> lines = splitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line.find('\0') != std::string_view::npos)
            return Result<AnswerScript>::failure(located(fileName, i + 1, "contains a NUL byte"));
        for (std::size_t hash = line.find('#'); hash != std::string_view::npos;
             hash = line.find('#', hash + 1)) {
            if (hash == 0 || line[hash - 1] == ' ' || line[hash - 1] == '\t') {
                line = line.substr(0, hash);
                break;
            }
        }
        line = trim(line);
        if (!line.empty()) script.answers.push_back({i + 1, std::string(line)});
    }
    return script;
}

bool PromptAnswers::empty() const {
    return !timePoints && !protocol && !useVois && voiPredictors.empty() && !condition &&
           !useCross && !position && !save;
}

Dialogs::Dialogs(PromptAnswers answers, AnswerScript script, Terminal terminal,
                 std::ostream& diagnostics)
    : answers_(std::move(answers)),
      script_(std::move(script)),
      terminal_(terminal),
      diagnostics_(diagnostics) {}

std::optional<AnswerLine> Dialogs::nextScripted() {
    if (nextLine_ >= script_.answers.size()) return std::nullopt;
    return script_.answers[nextLine_++];
}

std::optional<std::string> Dialogs::takeCancellation() {
    std::optional<std::string> cancellation = std::move(cancellation_);
    cancellation_.reset();
    return cancellation;
}

void Dialogs::noteCancelled(std::string_view prompt, PromptKind kind, const std::string& how) {
    cancellation_ = promptName(prompt, kind) + " was cancelled " + how;
}

std::string Dialogs::scriptLine(const AnswerLine& answer) const {
    return script_.fileName + " line " + std::to_string(answer.line);
}

void Dialogs::scriptError(const AnswerLine& answer, std::string_view prompt,
                          const std::string& expected) {
    diagnostics_ << kError << located(script_.fileName, answer.line, "answer ")
                 << quotedToken(answer.text) << " does not fit " << shortPrompt(prompt) << ": "
                 << expected << "; the run ends here\n";
    endRun(scriptLine(answer) + " does not fit " + shortPrompt(prompt));
}

void Dialogs::endRun(const std::string& reason) {
    if (ended_) return;
    ended_ = true;
    failed_ = true;
    endReason_ = reason;
    cancellation_.reset();
}

// A given number outside the prompt's bounds is not quietly changed into
// another run than the one asked for: it ends the run like an answer that
// does not fit.
int Dialogs::checkGiven(int value, std::string_view prompt, int minimum, int maximum,
                        const std::string& where) {
    if (minimum > maximum) return clampScripted(value, prompt, minimum, maximum);
    if (value >= minimum && value <= maximum) return value;
    diagnostics_ << kError << where << " " << value << " is outside " << bounds(minimum, maximum)
                 << ", the bounds of " << shortPrompt(prompt) << "; the run ends here\n";
    endRun(where + " " + std::to_string(value) + " is outside the bounds of " +
           shortPrompt(prompt));
    return 0;
}

int Dialogs::clampScripted(int value, std::string_view prompt, int minimum, int maximum) {
    if (minimum > maximum) {
        diagnostics_ << kWarning << "no value from " << bounds(minimum, maximum) << " can answer "
                     << shortPrompt(prompt) << "; counted as cancelled\n";
        noteCancelled(prompt, classifyIntegerPrompt(prompt),
                      "because no value from " + bounds(minimum, maximum) + " can answer it");
        return 0;
    }
    const int clamped = std::clamp(value, minimum, maximum);
    if (clamped != value)
        diagnostics_ << kWarning << "answer " << value << " to " << shortPrompt(prompt)
                     << " is outside " << bounds(minimum, maximum) << "; using " << clamped << "\n";
    return clamped;
}

int Dialogs::askInteger(std::string_view prompt, int defaultValue, int minimum, int maximum) {
    if (ended_) return 0;
    const PromptKind kind = classifyIntegerPrompt(prompt);
    std::optional<NumberAnswer> given;
    std::string source = optionFor(kind);
    std::string where = source;
    switch (kind) {
        case PromptKind::TimePoints:
            given = answers_.timePoints;
            break;
        case PromptKind::Condition:
            given = answers_.condition;
            break;
        case PromptKind::VoiPredictor:
            if (nextVoiPredictor_ < answers_.voiPredictors.size())
                given = NumberAnswer{false, answers_.voiPredictors[nextVoiPredictor_++]};
            break;
        case PromptKind::PositionX:
        case PromptKind::PositionY:
        case PromptKind::PositionZ:
            if (answers_.position) {
                const int axis = int(kind) - int(PromptKind::PositionX);
                given = NumberAnswer{false, (*answers_.position)[std::size_t(axis)]};
            }
            break;
        default:
            break;
    }
    if (!given) {
        if (std::optional<AnswerLine> line = nextScripted()) {
            source = scriptLine(*line);
            where = located(script_.fileName, line->line, "answer");
            if (isCancel(line->text)) {
                given = NumberAnswer{true, 0};
            } else if (std::optional<int> value = parseInt(line->text)) {
                given = NumberAnswer{false, *value};
            } else {
                scriptError(*line, prompt, "expected a whole number or cancel");
                return 0;
            }
        }
    }
    if (given) {
        if (!given->cancel) return checkGiven(given->value, prompt, minimum, maximum, where);
        noteCancelled(prompt, kind, "by " + source + (source == optionFor(kind) ? " cancel" : ""));
        return 0;
    }
    if (terminal_.in != nullptr)
        return askIntegerOnTerminal(prompt, defaultValue, minimum, maximum);
    return clampScripted(defaultValue, prompt, minimum, maximum);
}

bool Dialogs::readTerminalLine(std::string& line) {
    if (!std::getline(*terminal_.in, line)) {
        *terminal_.out << "\n";
        return false;
    }
    line = std::string(trim(line));
    return true;
}

int Dialogs::askIntegerOnTerminal(std::string_view prompt, int defaultValue, int minimum,
                                  int maximum) {
    if (minimum > maximum) return clampScripted(defaultValue, prompt, minimum, maximum);
    std::ostream& out = *terminal_.out;
    out << renderPromptText(prompt) << "\n";
    for (;;) {
        out << "[" << bounds(minimum, maximum) << ", Enter for " << defaultValue
            << ", 'cancel' to cancel] > " << std::flush;
        std::string line;
        if (!readTerminalLine(line) || isCancel(line)) {
            noteCancelled(prompt, classifyIntegerPrompt(prompt), "on the terminal");
            return 0;
        }
        if (line.empty()) return clampScripted(defaultValue, prompt, minimum, maximum);
        std::optional<int> value = parseInt(line);
        if (value && *value >= minimum && *value <= maximum) return *value;
        out << "Please enter a whole number from " << bounds(minimum, maximum) << ".\n";
    }
}

bool Dialogs::askYesNo(std::string_view question) {
    if (ended_) return false;
    const PromptKind kind = classifyQuestion(question);
    if (kind == PromptKind::UseVois && answers_.useVois) return *answers_.useVois;
    if (kind == PromptKind::UseCross && answers_.useCross) return *answers_.useCross;
    if (std::optional<AnswerLine> line = nextScripted()) {
        if (std::optional<bool> yes = parseYesNo(line->text)) return *yes;
        scriptError(*line, question, "expected yes or no");
        return false;
    }
    if (terminal_.in == nullptr) return false;
    std::ostream& out = *terminal_.out;
    out << renderPromptText(question) << "\n";
    for (;;) {
        out << "[yes/no] > " << std::flush;
        std::string line;
        if (!readTerminalLine(line)) return false;
        if (std::optional<bool> yes = parseYesNo(line)) return *yes;
        out << "Please answer yes or no.\n";
    }
}

std::optional<std::string> Dialogs::askOpenFile(std::string_view title,
                                                std::string_view defaultName,
                                                std::string_view filter) {
    return askFile(false, title, defaultName, filter);
}

std::optional<std::string> Dialogs::askSaveFile(std::string_view title,
                                                std::string_view defaultName,
                                                std::string_view filter) {
    return askFile(true, title, defaultName, filter);
}

std::optional<std::string> Dialogs::askFile(bool save, std::string_view title,
                                            std::string_view defaultName, std::string_view filter) {
    if (ended_) return std::nullopt;
    const PromptKind kind = save ? PromptKind::Save : PromptKind::Protocol;
    const std::optional<FileAnswer>& given = save ? answers_.save : answers_.protocol;
    if (given) {
        if (!given->cancel) return given->path;
        noteCancelled(title, kind, "by " + optionFor(kind) + " cancel");
        return std::nullopt;
    }
    if (std::optional<AnswerLine> line = nextScripted()) {
        if (isCancel(line->text)) {
            noteCancelled(title, kind, "by " + scriptLine(*line));
            return std::nullopt;
        }
        if (line->text.size() > kMaxPathLength) {
            scriptError(
                *line, title,
                "a path may have at most " + std::to_string(kMaxPathLength) + " characters");
            return std::nullopt;
        }
        return line->text;
    }
    const bool hasDefault = save && !defaultName.empty() && defaultName.size() <= kMaxPathLength;
    if (terminal_.in == nullptr) {
        if (hasDefault) return std::string(defaultName);
        noteCancelled(title, kind,
                      "because nothing answered it (" + optionFor(kind) +
                          " PATH or a line of --answers FILE answers it)");
        return std::nullopt;
    }
    std::ostream& out = *terminal_.out;
    out << renderPromptText(title) << " (" << filter << ")\n";
    for (;;) {
        if (hasDefault)
            out << "[Enter for \"" << defaultName << "\", 'cancel' to cancel] > " << std::flush;
        else
            out << "[a path; Enter or 'cancel' to cancel] > " << std::flush;
        std::string line;
        if (!readTerminalLine(line) || isCancel(line) || (line.empty() && !hasDefault)) {
            noteCancelled(title, kind, "on the terminal");
            return std::nullopt;
        }
        if (line.empty()) return std::string(defaultName);
        if (line.size() <= kMaxPathLength) return line;
        out << "The path must not be longer than " << kMaxPathLength << " characters.\n";
    }
}

void Dialogs::reportUnused() {
    if (ended_) return;  // the run ended before their prompts came
    if (nextLine_ < script_.answers.size())
        diagnostics_ << kWarning << script_.fileName << ": " << script_.answers.size() - nextLine_
                     << " answer(s) not used, from line " << script_.answers[nextLine_].line
                     << " on\n";
    if (nextVoiPredictor_ < answers_.voiPredictors.size())
        diagnostics_ << kWarning
                     << "--voi-predictors: " << answers_.voiPredictors.size() - nextVoiPredictor_
                     << " value(s) not used\n";
}

}  // namespace simtrove::standin
