// Answers to the plug-in's dialogs: from the command line, from an answers
// file, from the terminal, or the default the plug-in offered.
//
// Each prompt is recognised by its text (time points, condition, VOI
// predictor, X/Y/Z position, the two questions, the protocol and save
// dialogs). An answer is looked up in this order:
//   1. the command-line answer for that kind of prompt;
//   2. the next line of the answers file (one answer per prompt, in order);
//   3. the terminal, when one is attached: the prompt as plain text with its
//      default and bounds, asked again until the answer fits;
//   4. the default the plug-in offered ("no" for a question; an open-file
//      dialog is cancelled, a save dialog takes the offered name).
// A given answer (option or answers file) that does not fit its prompt (a
// word for a number, a number outside the offered bounds, a path over 260
// characters) is an error that ends the run: it is reported in one line naming
// the option or the file and line, failed() and ended() become true, and every
// later prompt is cancelled without a word (a question answers no), so that
// no later answer is taken out of step and nothing is saved. endRun() ends the
// run the same way for a failure outside the dialogs (a protocol that cannot
// be loaded). The offered default outside the bounds is clamped with a
// warning; when the bounds hold no value at all the prompt counts as
// cancelled. A cancelled number prompt returns 0. takeCancellation() says why
// the last prompt counted as cancelled.
#pragma once

#include <array>
#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/result.h"

namespace simtrove::standin {

enum class PromptKind {
    TimePoints,
    VoiPredictor,
    Condition,
    PositionX,
    PositionY,
    PositionZ,
    UseVois,
    UseCross,
    Protocol,
    Save,
    Other
};

PromptKind classifyIntegerPrompt(std::string_view prompt);
PromptKind classifyQuestion(std::string_view question);

// The prompt as plain text: "<br>" and "<br/>" become line breaks, other tags
// are dropped, &lt; &gt; &amp; &quot; and &nbsp; are decoded.
std::string renderPromptText(std::string_view html);

// "yes"/"y"/"no"/"n" in any letter case.
std::optional<bool> parseYesNo(std::string_view text);

struct AnswerLine {
    std::size_t line = 0;  // 1-based line in the answers file
    std::string text;
};

struct AnswerScript {
    std::string fileName;
    std::vector<AnswerLine> answers;
};

// One answer per non-blank line; '#' at the start of a line or after a blank
// starts a comment; surrounding blanks are dropped.
formats::Result<AnswerScript> parseAnswersText(std::string_view text, const std::string& fileName);

struct NumberAnswer {
    bool cancel = false;
    int value = 0;
};

struct FileAnswer {
    bool cancel = false;
    std::string path;
};

// Answers by kind of prompt, as given with the command-line options (or the
// embedded defaults of the main job).
struct PromptAnswers {
    std::optional<NumberAnswer> timePoints;
    std::optional<FileAnswer> protocol;
    std::optional<bool> useVois;
    std::vector<int> voiPredictors;  // one per VOI prompt, in order
    std::optional<NumberAnswer> condition;
    std::optional<bool> useCross;
    std::optional<std::array<int, 3>> position;
    std::optional<FileAnswer> save;

    bool empty() const;
};

// Where interactive prompts go; absent when no terminal is attached.
struct Terminal {
    std::istream* in = nullptr;
    std::ostream* out = nullptr;
};

class Dialogs {
  public:
    Dialogs(PromptAnswers answers, AnswerScript script, Terminal terminal,
            std::ostream& diagnostics);

    int askInteger(std::string_view prompt, int defaultValue, int minimum, int maximum);
    bool askYesNo(std::string_view question);
    // The chosen path, or nothing when cancelled.
    std::optional<std::string> askOpenFile(std::string_view title, std::string_view defaultName,
                                           std::string_view filter);
    std::optional<std::string> askSaveFile(std::string_view title, std::string_view defaultName,
                                           std::string_view filter);

    // A given answer did not fit its prompt, or endRun() was called.
    bool failed() const { return failed_; }
    // The run was ended: every later prompt is cancelled.
    bool ended() const { return ended_; }
    void endRun(const std::string& reason);
    const std::string& endReason() const { return endReason_; }
    // Once after a prompt that counted as cancelled, one phrase such as "the
    // condition prompt was cancelled by --condition cancel"; else nothing.
    std::optional<std::string> takeCancellation();
    // Warns about answers that no prompt used.
    void reportUnused();

  private:
    std::optional<AnswerLine> nextScripted();
    int checkGiven(int value, std::string_view prompt, int minimum, int maximum,
                   const std::string& where);
    int clampScripted(int value, std::string_view prompt, int minimum, int maximum);
    int askIntegerOnTerminal(std::string_view prompt, int defaultValue, int minimum, int maximum);
    std::optional<std::string> askFile(bool save, std::string_view title,
                                       std::string_view defaultName, std::string_view filter);
    void scriptError(const AnswerLine& answer, std::string_view prompt,
                     const std::string& expected);
    void noteCancelled(std::string_view prompt, PromptKind kind, const std::string& how);
    std::string scriptLine(const AnswerLine& answer) const;
    bool readTerminalLine(std::string& line);

    PromptAnswers answers_;
    AnswerScript script_;
    std::size_t nextLine_ = 0;
    std::size_t nextVoiPredictor_ = 0;
    Terminal terminal_;
    std::ostream& diagnostics_;
    bool failed_ = false;
    bool ended_ = false;
    std::string endReason_;
    std::optional<std::string> cancellation_;
};

}  // namespace simtrove::standin
