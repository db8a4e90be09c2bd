// Runs tavimo-standin as a separate process for the program-level tests:
// arguments quoted for the shell, standard input from /dev/null, output kept.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace simtrove::standin::testing {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string shellQuoted(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted.append(c == '\'' ? "'\\''" : std::string(1, c));
    quoted.push_back('\'');
    return quoted;
}

// A fresh output folder per test, removed at the end.
class ScratchDir {
  public:
    explicit ScratchDir(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("standin_" + name + "_" + std::to_string(getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// Runs the program from `workingDir` with `args`; output is captured in `scratch`.
inline ProgramRun runProgram(const std::vector<std::string>& args, const std::string& workingDir,
                             const ScratchDir& scratch) {
    // Built by appending only: GCC 12 warns falsely about "literal" + std::string here.
    const std::string outFile = scratch / ".stdout", errFile = scratch / ".stderr";
    std::string command = "cd ";
    command.append(shellQuoted(workingDir)).append(" && ").append(shellQuoted(STANDIN_PROGRAM));
    for (const std::string& arg : args) command.append(" ").append(shellQuoted(arg));
    command.append(" < /dev/null > ").append(shellQuoted(outFile));
    command.append(" 2> ").append(shellQuoted(errFile));
    const int status = std::system(command.c_str());
    ProgramRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readText(outFile);
    run.err = readText(errFile);
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    return run;
}

}  // namespace simtrove::standin::testing
