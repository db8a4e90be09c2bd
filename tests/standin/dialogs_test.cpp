#include "standin/dialogs.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

namespace simtrove::standin {
namespace {

using formats::Result;

constexpr const char* kTimePoints = "Enter number of simulated time points:";
constexpr const char* kCondition = "Select condition:\n\n1: A\n2: B\n\n";
constexpr const char* kVoiPrompt = "Select predictor for VOI: <b>V1</b>:<br><br>1: A<br>2: B<br>";
constexpr const char* kUseVois =
    "Do you want to use the available VOIs to define simulated clusters?";
constexpr const char* kUseCross = "Do you want to use the cross position as the cluster center ?";
constexpr const char* kSaveTitle = "Enter Name For Saving Created VTC File:";

TEST(Prompts, AreRecognisedByTheirText) {
    EXPECT_EQ(classifyIntegerPrompt(kTimePoints), PromptKind::TimePoints);
    EXPECT_EQ(classifyIntegerPrompt(kCondition), PromptKind::Condition);
    EXPECT_EQ(classifyIntegerPrompt(kVoiPrompt), PromptKind::VoiPredictor);
    EXPECT_EQ(classifyIntegerPrompt("Enter X position of simulated cluster: "),
              PromptKind::PositionX);
    EXPECT_EQ(classifyIntegerPrompt("Enter Y position of simulated cluster: "),
              PromptKind::PositionY);
    EXPECT_EQ(classifyIntegerPrompt("Enter Z position of simulated cluster: "),
              PromptKind::PositionZ);
    EXPECT_EQ(classifyIntegerPrompt("How many?"), PromptKind::Other);
    EXPECT_EQ(classifyQuestion(kUseVois), PromptKind::UseVois);
    EXPECT_EQ(classifyQuestion(kUseCross), PromptKind::UseCross);
    EXPECT_EQ(classifyQuestion("Really?"), PromptKind::Other);
}

TEST(Prompts, HtmlIsRenderedAsPlainText) {
    EXPECT_EQ(renderPromptText(kVoiPrompt), "Select predictor for VOI: V1:\n\n1: A\n2: B\n");
    EXPECT_EQ(renderPromptText("a<BR/>b<br />c &lt;d&gt; &amp; &quot;e&quot;&nbsp;f &x"),
              "a\nb\nc <d> & \"e\" f &x");
    EXPECT_EQ(renderPromptText("1 < 2"), "1 < 2");
}

TEST(AnswersFile, KeepsOneAnswerPerLineWithoutComments) {
    Result<AnswerScript> s = parseAnswersText(
        "# cluster mode\n250   # time points\n\n  examples/a#b.prt\r\ncancel\n", "a.txt");
    ASSERT_TRUE(s) << s.error();
    ASSERT_EQ(s.value().answers.size(), 3u);
    EXPECT_EQ(s.value().answers[0].text, "250");
    EXPECT_EQ(s.value().answers[0].line, 2u);
    EXPECT_EQ(s.value().answers[1].text, "examples/a#b.prt");
    EXPECT_EQ(s.value().answers[2].line, 5u);
    EXPECT_EQ(parseAnswersText(std::string("1\n2\0\n", 5), "a.txt").error(),
              "a.txt:2: contains a NUL byte");
}

// A Dialogs object with its diagnostics and terminal captured.
struct Harness {
    std::ostringstream diagnostics;
    std::istringstream typed;
    std::ostringstream shown;
    Dialogs dialogs;

    Harness(PromptAnswers answers, const std::string& script = "", bool terminal = false,
            const std::string& input = "")
        : typed(input),
          dialogs(std::move(answers), parseAnswersText(script, "a.txt").value(),
                  terminal ? Terminal{&typed, &shown} : Terminal{}, diagnostics) {}
};

TEST(Dialogs, CommandLineAnswersComeBeforeTheAnswersFile) {
    PromptAnswers answers;
    answers.timePoints = NumberAnswer{false, 40};
    answers.useCross = false;
    answers.position = std::array<int, 3>{100, 110, 120};
    answers.voiPredictors = {1};
    Harness h(answers, "2\nyes\n1\n");
    EXPECT_EQ(h.dialogs.askInteger(kTimePoints, 250, 1, 1000), 40);
    EXPECT_EQ(h.dialogs.askInteger(kVoiPrompt, 2, 1, 2), 1);
    EXPECT_EQ(h.dialogs.askInteger(kVoiPrompt, 2, 1, 2), 2);  // list used up: the file's 2
    EXPECT_FALSE(h.dialogs.askYesNo(kUseCross));
    EXPECT_TRUE(h.dialogs.askYesNo(kUseVois));  // the file's "yes"
    EXPECT_EQ(h.dialogs.askInteger("Enter Y position of simulated cluster: ", 128, 0, 255), 110);
    EXPECT_EQ(h.dialogs.askInteger(kCondition, 2, 1, 2), 1);  // the file's "1"
    EXPECT_FALSE(h.dialogs.failed());
    EXPECT_EQ(h.diagnostics.str(), "");
}

TEST(Dialogs, UnansweredPromptsTakeTheOfferedDefaultsWithoutATerminal) {
    Harness h({});
    EXPECT_EQ(h.dialogs.askInteger(kTimePoints, 250, 1, 1000), 250);
    EXPECT_FALSE(h.dialogs.askYesNo(kUseCross));
    EXPECT_EQ(h.dialogs.askOpenFile("Provide a protocol file:", "", "Protocol Files (*.prt)"),
              std::nullopt);
    EXPECT_EQ(h.dialogs.askSaveFile(kSaveTitle, "Simulated.vtc", "VTC"), "Simulated.vtc");
    EXPECT_EQ(h.diagnostics.str(), "");
}

// Exactly at each end of the bounds a given number is taken; one step beyond,
// from an option or from the answers file, it ends the run.
TEST(Dialogs, GivenNumbersAreTakenUpToTheBoundsAndEndTheRunBeyond) {
    struct Case {
        std::optional<int> option;  // --time-points, else the file's first line
        int value;
        bool taken;
    } cases[] = {
        {1, 1, true},  {1000, 1000, true},  {std::nullopt, 1, true},  {std::nullopt, 1000, true},
        {0, 0, false}, {1001, 1001, false}, {std::nullopt, 0, false}, {std::nullopt, 1001, false}};
    for (const Case& c : cases) {
        PromptAnswers answers;
        if (c.option) answers.timePoints = NumberAnswer{false, *c.option};
        Harness h(answers, (c.option ? "" : std::to_string(c.value) + "\n") + "2\n");
        const std::string where = c.option ? "--time-points" : "a.txt:1: answer";
        EXPECT_EQ(h.dialogs.askInteger(kTimePoints, 250, 1, 1000), c.taken ? c.value : 0);
        EXPECT_EQ(h.dialogs.failed(), !c.taken);
        // After the end nothing is answered, and the next line is not used out of step.
        EXPECT_EQ(h.dialogs.askInteger(kCondition, 1, 1, 2), c.taken ? 2 : 0) << c.value;
        EXPECT_EQ(h.diagnostics.str(),
                  c.taken ? ""
                          : "tavimo-standin: error: " + where + " " + std::to_string(c.value) +
                                " is outside 1 to 1000, the bounds of \"Enter number of "
                                "simulated time points:\"; the run ends here\n");
    }
}

TEST(Dialogs, CancelAndEmptyBoundsGiveZero) {
    PromptAnswers answers;
    answers.timePoints = NumberAnswer{true, 0};
    Harness h(answers);
    EXPECT_EQ(h.dialogs.askInteger(kTimePoints, 250, 1, 1000), 0);
    EXPECT_EQ(h.diagnostics.str(), "");
    EXPECT_EQ(h.dialogs.askInteger(kCondition, 2, 1, 0), 0);
    EXPECT_EQ(h.diagnostics.str(),
              "tavimo-standin: warning: no value from 1 to 0 can answer \"Select condition:\"; "
              "counted as cancelled\n");
}

// A range of one value (a protocol of one condition) takes exactly that value.
TEST(Dialogs, ARangeOfOneValueTakesOnlyThatValue) {
    for (int value : {0, 1, 2}) {
        PromptAnswers answers;
        answers.condition = NumberAnswer{false, value};
        Harness h(answers);
        EXPECT_EQ(h.dialogs.askInteger(kCondition, 1, 1, 1), value == 1 ? 1 : 0) << value;
        EXPECT_EQ(h.dialogs.failed(), value != 1) << value;
    }
}

// The first answer that does not fit ends the run: one line, and every later
// prompt is cancelled without taking another line.
TEST(Dialogs, AnAnswerThatDoesNotFitEndsTheRunAtItsPrompt) {
    const std::string longPath(261, 'p');
    struct Case {
        std::string script;
        int misfit;  // 0 number, 1 question, 2 save dialog
        std::string line;
    } cases[] = {
        {"yes\n", 0,
         "a.txt:1: answer \"yes\" does not fit \"Enter number of simulated time points:\": "
         "expected a whole number or cancel"},
        {"7\n", 1,
         "a.txt:1: answer \"7\" does not fit \"Do you want to use the available VOIs to define "
         "simulated cl...\": expected yes or no"},
        {longPath + "\n", 2,
         "a.txt:1: answer \"" + std::string(40, 'p') +
             "...\" does not fit \"Enter Name For Saving Created VTC File:\": a path may have "
             "at most 260 characters"},
    };
    for (const Case& c : cases) {
        Harness h({}, c.script + "2\nyes\nout.vtc\n");
        // The answer each kind of prompt gives when its answer does not fit.
        const bool cancelled = c.misfit == 0 ? h.dialogs.askInteger(kTimePoints, 250, 1, 1000) == 0
                               : c.misfit == 1
                                   ? !h.dialogs.askYesNo(kUseVois)
                                   : !h.dialogs.askSaveFile(kSaveTitle, "Simulated.vtc", "V");
        EXPECT_TRUE(cancelled);
        EXPECT_TRUE(h.dialogs.failed());
        EXPECT_TRUE(h.dialogs.ended());
        EXPECT_EQ(h.dialogs.askInteger(kCondition, 2, 1, 2), 0);
        EXPECT_FALSE(h.dialogs.askYesNo(kUseCross));
        EXPECT_EQ(h.dialogs.askSaveFile(kSaveTitle, "Simulated.vtc", "V"), std::nullopt);
        h.dialogs.reportUnused();
        EXPECT_EQ(h.diagnostics.str(),
                  "tavimo-standin: error: " + c.line + "; the run ends here\n");
    }
}

TEST(Dialogs, LeftoverVoiPredictorsAreReported) {
    PromptAnswers answers;
    answers.voiPredictors = {1, 2, 1};
    Harness h(answers);
    EXPECT_EQ(h.dialogs.askInteger(kVoiPrompt, 2, 1, 2), 1);
    h.dialogs.reportUnused();
    EXPECT_EQ(h.diagnostics.str(),
              "tavimo-standin: warning: --voi-predictors: 2 value(s) not used\n");
}

TEST(Dialogs, TheTerminalIsAskedAgainUntilTheAnswerFits) {
    Harness h({}, "", true, "abc\n1001\n\n0\n 7 \nmaybe\ny\n");
    EXPECT_EQ(h.dialogs.askInteger(kTimePoints, 250, 1, 1000), 250);  // after two refusals, Enter
    EXPECT_EQ(h.dialogs.askInteger(kVoiPrompt, 2, 1, 9), 7);
    EXPECT_TRUE(h.dialogs.askYesNo(kUseCross));
    EXPECT_EQ(h.shown.str(),
              "Enter number of simulated time points:\n"
              "[1 to 1000, Enter for 250, 'cancel' to cancel] > "
              "Please enter a whole number from 1 to 1000.\n"
              "[1 to 1000, Enter for 250, 'cancel' to cancel] > "
              "Please enter a whole number from 1 to 1000.\n"
              "[1 to 1000, Enter for 250, 'cancel' to cancel] > "
              "Select predictor for VOI: V1:\n\n1: A\n2: B\n\n"
              "[1 to 9, Enter for 2, 'cancel' to cancel] > "
              "Please enter a whole number from 1 to 9.\n"
              "[1 to 9, Enter for 2, 'cancel' to cancel] > "
              "Do you want to use the cross position as the cluster center ?\n"
              "[yes/no] > Please answer yes or no.\n[yes/no] > ");
    EXPECT_FALSE(h.dialogs.failed());
}

TEST(Dialogs, TheTerminalCanCancelAndEndOfInputCancels) {
    Harness h({}, "", true, "cancel\n\nprotocols/p.prt\n");
    EXPECT_EQ(h.dialogs.askInteger(kTimePoints, 250, 1, 1000), 0);
    EXPECT_EQ(h.dialogs.askOpenFile("Provide a protocol file:", "", "Protocol Files (*.prt)"),
              std::nullopt);
    EXPECT_EQ(h.dialogs.askOpenFile("Provide a protocol file:", "", "Protocol Files (*.prt)"),
              "protocols/p.prt");
    EXPECT_EQ(h.dialogs.askSaveFile(kSaveTitle, "Simulated.vtc", "V"),
              std::nullopt);  // end of input
    EXPECT_FALSE(h.dialogs.askYesNo(kUseVois));
}

TEST(Dialogs, TheTerminalSaveDialogOffersTheDefaultName) {
    Harness h({}, "", true, "\n");
    EXPECT_EQ(
        h.dialogs.askSaveFile(kSaveTitle, "Simulated.vtc", "Volume Time Course Files (*.vtc)"),
        "Simulated.vtc");
    EXPECT_EQ(h.shown.str(),
              "Enter Name For Saving Created VTC File: (Volume Time Course Files (*.vtc))\n"
              "[Enter for \"Simulated.vtc\", 'cancel' to cancel] > ");
}

TEST(YesNo, AcceptsShortAndLongFormsInAnyCase) {
    EXPECT_EQ(parseYesNo("YES"), true);
    EXPECT_EQ(parseYesNo(" n "), false);
    EXPECT_EQ(parseYesNo("yep"), std::nullopt);
}

}  // namespace
}  // namespace simtrove::standin
