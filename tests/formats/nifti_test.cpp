#include "formats/nifti.h"

#include <gtest/gtest.h>
#include <nifti1_io.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "formats/text_input.h"

namespace simtrove::formats {
namespace {

struct ImageFree {
    void operator()(nifti_image* image) const { nifti_image_free(image); }
};

std::string tempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("formats_nifti_" + std::to_string(getpid()) + "_" + name))
        .string();
}

// A std::string prints as its text: a const char* would put its address into the test names.
class NiftiExport : public ::testing::TestWithParam<std::string> {};

TEST_P(NiftiExport, ReadsBackWithGeometryAffineAndTimeCourses) {
    const VtcGeometry g{41, 50, 68, 74, 59, 65, 3, 5, 2.5f};  // 3 x 2 x 2 voxels, 5 volumes
    std::vector<float> samples(std::size_t(g.sampleCount()));
    // Sample t of voxel v in the VTC layout (time fastest) holds 100 v + t.
    for (std::size_t v = 0; v < g.voxelCount(); ++v)
        for (std::size_t t = 0; t < 5; ++t) samples[v * 5 + t] = float(100 * v + t);
    const std::string path = tempPath(GetParam());
    ASSERT_EQ(writeNiftiFile(path, g, samples), "");

    std::unique_ptr<nifti_image, ImageFree> image(nifti_image_read(path.c_str(), 1));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->ndim, 4);
    EXPECT_EQ(image->nx, 3);
    EXPECT_EQ(image->ny, 2);
    EXPECT_EQ(image->nz, 2);
    EXPECT_EQ(image->nt, 5);
    EXPECT_EQ(image->datatype, NIFTI_TYPE_FLOAT32);
    EXPECT_EQ(image->dx, 3.0f);
    EXPECT_EQ(image->dy, 3.0f);
    EXPECT_EQ(image->dz, 3.0f);
    EXPECT_EQ(image->dt, 2.5f);
    EXPECT_EQ(image->xyz_units, NIFTI_UNITS_MM);
    EXPECT_EQ(image->time_units, NIFTI_UNITS_SEC);
    // Affine: voxel (i, j, k) at (41 + 3i, 68 + 3j, 59 + 3k), in both forms.
    const float expected[3][4] = {{3, 0, 0, 41}, {0, 3, 0, 68}, {0, 0, 3, 59}};
    EXPECT_EQ(image->sform_code, NIFTI_XFORM_SCANNER_ANAT);
    EXPECT_EQ(image->qform_code, NIFTI_XFORM_SCANNER_ANAT);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(image->sto_xyz.m[r][c], expected[r][c]) << r << c;
            EXPECT_NEAR(image->qto_xyz.m[r][c], expected[r][c], 1e-6) << r << c;
        }
    // The time course of voxel (2, 1, 1), index 2 + 1*3 + 1*6 = 11.
    const float* data = static_cast<const float*>(image->data);
    for (std::size_t t = 0; t < 5; ++t) EXPECT_EQ(data[t * 12 + 11], float(1100 + t)) << t;
    std::filesystem::remove(path);
}

INSTANTIATE_TEST_SUITE_P(PlainAndCompressed, NiftiExport,
                         ::testing::Values(std::string("a.nii"), std::string("b.nii.gz")),
                         [](const auto& info) {
                             return std::string(info.param == "a.nii" ? "Plain" : "Compressed");
                         });

TEST(NiftiExportErrors, RefusesWhatItCannotWrite) {
    const VtcGeometry g{0, 3, 0, 3, 0, 3, 1, 2, 2.0f};
    const std::vector<float> samples(std::size_t(g.sampleCount()), 1.0f);
    EXPECT_TRUE(hasNiftiExtension("x.nii"));
    EXPECT_TRUE(hasNiftiExtension("dir/x.nii.gz"));
    EXPECT_FALSE(hasNiftiExtension("x.vtc"));
    EXPECT_FALSE(hasNiftiExtension("nii"));
    EXPECT_EQ(writeNiftiFile("x.vtc", g, samples),
              "x.vtc: cannot write the NIfTI image: the name must end in .nii or .nii.gz");
    EXPECT_EQ(writeNiftiFile("/nonexistent-dir/x.nii.gz", g, samples),
              "/nonexistent-dir/x.nii.gz: cannot write the NIfTI image: No such file or directory");
    EXPECT_EQ(writeNiftiFile("x.nii", g, std::vector<float>(3)),
              "x.nii: cannot write the NIfTI image: sample count does not match the geometry");
    VtcGeometry empty = g;
    empty.timePoints = 0;
    EXPECT_EQ(writeNiftiFile("x.nii", empty, {}),
              "x.nii: cannot write the NIfTI image: the VTC has no time points");
}

namespace fs = std::filesystem;

// The writer and the reader are inverse: geometry and
// every sample come back (written as float32, no scaling).
TEST(NiftiInput, ReadsWhatTheWriterWrites) {
    const fs::path dir =
        fs::temp_directory_path() / ("formats_nifti_read_" + std::to_string(getpid()));
    fs::create_directories(dir);
    VtcGeometry g;
    g.xStart = 41, g.xEnd = 53, g.yStart = 68, g.yEnd = 77, g.zStart = 59, g.zEnd = 65;
    g.resolution = 3;
    g.timePoints = 5;
    g.repetitionTime = 1.5f;
    std::vector<float> samples(std::size_t(4 * 3 * 2 * 5));
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = float(i) * 0.5f - 7.0f;
    for (const char* name : {"a.nii", "a.nii.gz"}) {
        const std::string path = (dir / name).string();
        ASSERT_EQ(writeNiftiFile(path, g, samples), "");
        const auto series = readNiftiSeries(path);
        ASSERT_TRUE(series) << series.error();
        EXPECT_EQ(series.value().grid.dims, (std::array<int, 3>{4, 3, 2}));
        EXPECT_EQ(series.value().grid.start, (std::array<int, 3>{41, 68, 59}));
        EXPECT_EQ(series.value().grid.resolution, 3);
        EXPECT_EQ(series.value().volumes, 5);
        EXPECT_FLOAT_EQ(series.value().repetitionTime, 1.5f);
        EXPECT_EQ(series.value().samples, samples);
    }
    std::ofstream(dir / "bad.nii") << "not an image";
    EXPECT_FALSE(readNiftiSeries((dir / "bad.nii").string()));
    EXPECT_EQ(readNiftiSeries((dir / "missing.nii").string()).error(),
              (dir / "missing.nii").string() + ": cannot read as NIfTI-1");
    fs::remove_all(dir);
}

// A NIfTI-1 file holds a 348-byte header and 4 bytes of extension flags before
// the data, float32 here: 352 + 4 * voxels * volumes bytes in all.
TEST(NiftiInput, RefusesDataShorterThanTheHeaderSaysAndKeepsTheLibraryQuiet) {
    const fs::path dir =
        fs::temp_directory_path() / ("formats_nifti_short_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const VtcGeometry g{0, 12, 0, 9, 0, 6, 3, 7, 2.0f};  // 4 x 3 x 2 voxels, 7 volumes
    const std::uint64_t whole = 352 + 4 * 24 * 7;
    std::vector<float> samples(std::size_t(g.sampleCount()));
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = float(i * 7919 % 1000);
    for (const char* name : {"a.nii", "a.nii.gz"}) {
        const std::string path = (dir / name).string();
        ASSERT_EQ(writeNiftiFile(path, g, samples), "");
        const std::string bytes = readFileBytes(path).value();
        const bool compressed = std::string(name) == "a.nii.gz";
        if (!compressed) {
            EXPECT_EQ(bytes.size(), whole);
        }
        // Cut one sample short: the smallest loss there is.
        const std::string cut = (dir / (std::string("cut_") + name)).string();
        std::ofstream(cut, std::ios::binary)
            << (compressed ? bytes.substr(0, bytes.size() - 12) : bytes.substr(0, whole - 4));
        ::testing::internal::CaptureStderr();
        const auto series = readNiftiSeries(cut);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        ASSERT_FALSE(series);
        const std::string expected =
            cut + ": the file is shorter than its header says: " + std::to_string(whole) +
            " bytes expected, ";
        EXPECT_EQ(series.error().substr(0, expected.size()), expected) << series.error();
        if (!compressed) {
            EXPECT_EQ(series.error(), expected + std::to_string(whole - 4) + " found");
        }
        // A header alone is no image either, and the library says nothing about it.
        std::ofstream(cut, std::ios::binary) << bytes.substr(0, compressed ? 40 : 100);
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(readNiftiSeries(cut));
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    }
    fs::remove_all(dir);
}

// A NIfTI-1 file made by hand: header, 4 bytes of extension flags, data.
std::string handMadeNifti(std::array<short, 8> dim, short datatype, short bitpix,
                          const std::string& data, float slope = 1.0f, float intercept = 0.0f) {
    nifti_1_header h{};
    h.sizeof_hdr = 348;
    for (std::size_t i = 0; i < 8; ++i) h.dim[i] = dim[i];
    h.datatype = datatype;
    h.bitpix = bitpix;
    for (int i = 0; i < 8; ++i) h.pixdim[i] = 1.0f;
    h.vox_offset = 352.0f;
    h.scl_slope = slope;
    h.scl_inter = intercept;
    std::memcpy(h.magic, "n+1", 4);
    return std::string(reinterpret_cast<const char*>(&h), sizeof h) + std::string(4, '\0') + data;
}

// Each refusal of the reader with the smallest input that reaches it, and the
// sample limit exactly at its edge; the scaling is applied as the header says.
TEST(NiftiInput, EachGuardAndTheScalingByHandMadeHeaders) {
    const fs::path dir =
        fs::temp_directory_path() / ("formats_nifti_guards_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "h.nii").string();
    auto read = [&](const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
        return readNiftiSeries(path);
    };
    const std::string one(1, '\0');
    struct Case {
        std::array<short, 8> dim;
        short datatype, bitpix;
        std::string error;
    } cases[] = {
        {{5, 1, 1, 1, 1, 2, 1, 1}, DT_INT8, 8, ": expected a 3-D or 4-D image"},
        {{0, 1, 1, 1, 1, 1, 1, 1}, DT_INT8, 8, ": expected a 3-D or 4-D image"},
        {{4, 1025, 1024, 1024, 1, 1, 1, 1}, DT_INT8, 8, ": more than 1073741824 samples"},
        {{4, 1024, 1024, 1024, 1, 1, 1, 1},
         DT_INT8,
         8,
         ": the file is shorter than its header says: 1073742176 bytes expected, 353 found"},
        {{3, 1, 1, 1, 1, 1, 1, 1}, DT_COMPLEX64, 64, ": unsupported data type COMPLEX64"},
    };
    for (const Case& c : cases) {
        const auto series = read(handMadeNifti(c.dim, c.datatype, c.bitpix, one));
        ASSERT_FALSE(series) << c.error;
        EXPECT_EQ(series.error(), path + c.error);
    }
    // int16 values -2, 7 and 30000, scaled by 0.5 and shifted by -3: -4, 0.5, 14997.
    std::string data(6, '\0');
    const std::int16_t raw[3] = {-2, 7, 30000};
    std::memcpy(data.data(), raw, sizeof raw);
    const auto scaled = read(handMadeNifti({3, 3, 1, 1, 1, 1, 1, 1}, DT_INT16, 16, data, 0.5f, -3));
    ASSERT_TRUE(scaled) << scaled.error();
    EXPECT_EQ(scaled.value().samples, (std::vector<float>{-4.0f, 0.5f, 14997.0f}));
    // Full-mantissa integers round to float once, after the scaling: 2^24 + 1
    // plus 0.5 is 16777217.5, nearest float 16777218; rounding the raw value
    // first (to 16777216) would give 16777216, one float step lower.
    std::string wide(4, '\0');
    const std::int32_t big = (1 << 24) + 1;
    std::memcpy(wide.data(), &big, sizeof big);
    const auto rounded = read(handMadeNifti({3, 1, 1, 1, 1, 1, 1, 1}, DT_INT32, 32, wide, 1, 0.5f));
    ASSERT_TRUE(rounded) << rounded.error();
    EXPECT_EQ(std::bit_cast<std::uint32_t>(rounded.value().samples[0]),
              std::bit_cast<std::uint32_t>(16777218.0f));
    // Slope 0 means no scaling at all, whatever the intercept.
    const auto unscaled = read(handMadeNifti({3, 3, 1, 1, 1, 1, 1, 1}, DT_INT16, 16, data, 0, 9));
    ASSERT_TRUE(unscaled) << unscaled.error();
    EXPECT_EQ(unscaled.value().samples, (std::vector<float>{-2.0f, 7.0f, 30000.0f}));
    fs::remove_all(dir);
}

// A file-size limit makes the write fail part-way as a full disk does: the
// message names the file, its kind and the reason, and nothing is left.
TEST(NiftiExportErrors, AFailedWriteLeavesNoFile) {
    const fs::path dir =
        fs::temp_directory_path() / ("formats_nifti_full_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const VtcGeometry g{0, 60, 0, 60, 0, 60, 1, 4, 2.0f};  // 216000 voxels x 4: 3.4 MB
    std::vector<float> samples(std::size_t(g.sampleCount()));
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = float(i % 977) * 0.37f;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string plain = (dir / "t.nii").string(), packed = (dir / "t.nii.gz").string();
    const std::string plainError = writeNiftiFile(plain, g, samples, "the t-map");
    const std::string packedError = writeNiftiFile(packed, g, samples, "the t-map");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(plainError, plain + ": cannot write the t-map: File too large");
    EXPECT_EQ(packedError, packed + ": cannot write the t-map: File too large");
    EXPECT_TRUE(fs::is_empty(dir));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace simtrove::formats
