#include "formats/output_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define SIMTROVE_GETPID _getpid
#else
#include <unistd.h>
#define SIMTROVE_GETPID getpid
#endif

namespace simtrove::formats {
namespace {

namespace fs = std::filesystem;

// Unique within the process (counter) and across processes (pid); the leading
// dot keeps it out of ordinary listings, and the final name comes last so that
// the extension stays the same.
std::string temporarySibling(const std::string& finalPath) {
    static std::atomic<unsigned> counter{0};
    const fs::path path(finalPath);
    const std::string name = ".partial-" + std::to_string(SIMTROVE_GETPID()) + "-" +
                             std::to_string(counter.fetch_add(1)) + "-" + path.filename().string();
    return (path.parent_path() / name).string();
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

OutputFile::OutputFile(std::string finalPath)
    : finalPath_(std::move(finalPath)), temporaryPath_(temporarySibling(finalPath_)) {}

OutputFile::~OutputFile() {
    if (committed_) return;
    std::error_code ignored;
    fs::remove(temporaryPath_, ignored);
}

std::string OutputFile::commit(std::string_view kind) {
    std::error_code error;
    fs::rename(temporaryPath_, finalPath_, error);
    if (error) {
        fs::remove(temporaryPath_, error);
        return finalPath_ + ": cannot write " + std::string(kind) + ": " +
               std::system_category().message(error.value());
    }
    committed_ = true;
    return {};
}

std::string writeFailure(const std::string& path, std::string_view kind, int error) {
    return path + ": cannot write " + std::string(kind) + ": " + std::strerror(error);
}

std::string writeFileAtomically(const std::string& path, std::string_view bytes,
                                std::string_view kind) {
    OutputFile output(path);
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(output.temporaryPath().c_str(), "wb"));
    if (!file) return writeFailure(path, kind, errno);
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fflush(file.get()) != 0)
        return writeFailure(path, kind, errno ? errno : EIO);
    if (std::fclose(file.release()) != 0) return writeFailure(path, kind, errno ? errno : EIO);
    return output.commit(kind);
}

}  // namespace simtrove::formats
