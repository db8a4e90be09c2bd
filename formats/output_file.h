// Files that appear under their final name only when they are complete.
//
// An OutputFile names a temporary file in the final file's folder (same
// extension, so writers that choose a format by it still do). The writer fills
// the temporary file; commit() renames it over the final name. Until then the
// final name is untouched, and a file that is never committed is removed when
// the OutputFile goes away, so a failed or interrupted write leaves nothing
// partial behind.
//
// Error texts name the final file, what it is and the system's reason:
// "out/Simulated.vtc: cannot write the VTC: No space left on device".
#pragma once

#include <string>
#include <string_view>

namespace simtrove::formats {

class OutputFile {
  public:
    explicit OutputFile(std::string finalPath);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& finalPath() const { return finalPath_; }
    const std::string& temporaryPath() const { return temporaryPath_; }

    // Renames the temporary file over the final one. Empty on success, else
    // "FINAL: cannot write KIND: reason" (the temporary file is then removed).
    std::string commit(std::string_view kind);

  private:
    std::string finalPath_;
    std::string temporaryPath_;
    bool committed_ = false;
};

// "PATH: cannot write KIND: REASON" with REASON the text of errno `error`.
std::string writeFailure(const std::string& path, std::string_view kind, int error);

// Writes `bytes` to `path` through an OutputFile. Empty on success, else the
// writeFailure text for the first call that failed (open, write, flush, close
// or rename).
std::string writeFileAtomically(const std::string& path, std::string_view bytes,
                                std::string_view kind);

}  // namespace simtrove::formats
