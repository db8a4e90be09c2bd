#include "formats/output_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace simtrove::formats {
namespace {

namespace fs = std::filesystem;

class OutputFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("output_file_test_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    int entries() const {
        return int(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
    }
    fs::path dir_;
};

TEST_F(OutputFileTest, WritesCompleteFileAndLeavesNoTemporary) {
    const std::string path = (dir_ / "a.nii.gz").string();
    ASSERT_EQ(writeFileAtomically(path, "old", "the map"), "");
    ASSERT_EQ(writeFileAtomically(path, "new bytes", "the map"), "");
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new bytes");
    EXPECT_EQ(entries(), 1);
}

TEST_F(OutputFileTest, UncommittedFileVanishesAndFinalNameIsUntouched) {
    const std::string path = (dir_ / "kept.vtc").string();
    ASSERT_EQ(writeFileAtomically(path, "kept", "the VTC"), "");
    {
        OutputFile output(path);
        EXPECT_EQ(fs::path(output.temporaryPath()).parent_path(), dir_);
        EXPECT_EQ(fs::path(output.temporaryPath()).extension(), ".vtc");
        std::ofstream(output.temporaryPath()) << "half";
    }
    EXPECT_EQ(entries(), 1);
    EXPECT_EQ(fs::file_size(path), 4u);
}

// A file-size limit makes the write fail part-way as a full disk does.
TEST_F(OutputFileTest, FailedWriteNamesFileKindAndReasonAndLeavesNothing) {
    const std::string path = (dir_ / "big.vtc").string();
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = writeFileAtomically(path, std::string(1 << 20, 'x'), "the VTC");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(error, path + ": cannot write the VTC: File too large");
    EXPECT_EQ(entries(), 0);

    const std::string missing = (dir_ / "no" / "x.rtc").string();
    EXPECT_EQ(writeFileAtomically(missing, "x", "the design matrix"),
              missing + ": cannot write the design matrix: No such file or directory");
}

}  // namespace
}  // namespace simtrove::formats
