#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace simtrove::cli {
namespace {

// The version as the top-level CMakeLists.txt declares it, read from the file.
std::string declaredVersion() {
    std::ifstream in(std::string(SIMTROVE_SOURCE_DIR) + "/CMakeLists.txt");
    std::stringstream text;
    text << in.rdbuf();
    const std::string content = text.str();
    const std::string key = "project(Simtrove VERSION ";
    const std::size_t start = content.find(key);
    if (start == std::string::npos) return "(none)";
    const std::size_t from = start + key.size();
    return content.substr(from, content.find_first_not_of("0123456789.", from) - from);
}

TEST(CommandLine, VersionTextCarriesProgramProjectAndEveryPartOfTheVersion) {
    EXPECT_EQ(projectVersion(), declaredVersion());
    EXPECT_EQ(versionText("prog"), "prog (Simtrove) " + declaredVersion() + "\n");
}

TEST(CommandLine, ParsesBothValueFormsAndNamesWhatItRefuses) {
    struct Case {
        std::vector<std::string> args;
        ParseOutcome::Kind kind;
        std::string text;  // the value of --out, or the message
    } cases[] = {
        {{"--out", "a"}, ParseOutcome::Kind::Run, "a"},
        {{"--out=b"}, ParseOutcome::Kind::Run, "b"},
        {{"--out=c", "--out", "d"}, ParseOutcome::Kind::Run, "d"},  // the last one counts
        {{"--version", "--bogus"}, ParseOutcome::Kind::Print, "tool (Simtrove) "},
        {{"--bogus"}, ParseOutcome::Kind::Error, "unknown option \"--bogus\""},
        {{"stray"}, ParseOutcome::Kind::Error, "unexpected argument \"stray\""},
        {{"-h"}, ParseOutcome::Kind::Print, "Usage: tool [OPTION]...\n"},
    };
    for (const Case& c : cases) {
        CLI::App app;
        configureApp(app, "tool");
        std::string out;
        app.add_option("--out", out, "where")->type_name("DIR");
        const ParseOutcome outcome = parseArguments(app, c.args);
        EXPECT_EQ(outcome.kind, c.kind) << c.args[0];
        if (c.kind == ParseOutcome::Kind::Run)
            EXPECT_EQ(out, c.text);
        else
            EXPECT_EQ(outcome.text.substr(0, c.text.size()), c.text) << outcome.text;
    }
}

}  // namespace
}  // namespace simtrove::cli
