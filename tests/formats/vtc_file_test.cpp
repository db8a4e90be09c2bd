#include "formats/vtc_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <limits>

#include "formats/text_input.h"

namespace simtrove::formats {
namespace {

VtcGeometry smallGeometry() {
    return {10, 17, 20, 26, 30, 34, 2, 3, 1.5f};
}  // 3 x 3 x 2 voxels

std::string tempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("formats_vtc_" + std::to_string(getpid()) + "_" + name))
        .string();
}

std::vector<float> rampSamples(const VtcGeometry& g) {
    std::vector<float> samples(std::size_t(g.sampleCount()));
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = float(i) * 0.5f - 3.0f;
    return samples;
}

TEST(VtcGeometry, CountsVoxelsTruncatingTowardZero) {
    const VtcGeometry g{0, 256, 0, 256, 0, 256, 3, 10, 2.0f};
    EXPECT_EQ(g.dimX(), 85);
    EXPECT_EQ(g.voxelCount(), 85u * 85u * 85u);
    EXPECT_EQ(g.sampleCount(), 85u * 85u * 85u * 10u);
    EXPECT_EQ((VtcGeometry{0, 5, 0, 5, 0, 5, 0, 1, 2.0f}).dimX(), 0);  // no division by zero
}

TEST(VtcGeometry, NamesWhatMakesItUnusable) {
    struct Case {
        VtcGeometry g;
        const char* problem;
    } cases[] = {
        {{0, 9, 0, 9, 0, 9, 3, 1, 2.0f}, ""},
        {{0, 9, 0, 9, 0, 9, 0, 1, 2.0f}, "resolution 0 is below 1"},
        {{0, 2, 0, 9, 0, 9, 3, 1, 2.0f}, "no voxel along x (range 2 at resolution 3)"},
        {{0, 9, 5, 5, 0, 9, 3, 1, 2.0f}, "no voxel along y (range 0 at resolution 3)"},
        {{0, 9, 0, 9, INT32_MIN, INT32_MAX, 1, 1, 2.0f},
         "no voxel along z (range 4294967295 at resolution 1)"},
        {{0, 9, 0, 9, 0, 9, 3, -1, 2.0f}, "negative number of time points"},
        {{0, 9, 0, 9, 0, 9, 3, 1, 0.0f}, "repetition time is not positive"},
        {{0, 4096, 0, 4096, 0, 4096, 1, 1, 2.0f}, "more than 1073741824 samples"},
        // Each edge exactly: one voxel per axis, the largest extent, the sample
        // limit and one over, the smallest positive time step and the non-finite ones.
        {{5, 8, 5, 8, 5, 8, 3, 0, 2.0f}, ""},
        {{INT32_MIN, -1, 0, 1, 0, 1, 1, 0, 2.0f}, ""},
        {{INT32_MIN, 0, 0, 1, 0, 1, 1, 0, 2.0f},
         "no voxel along x (range 2147483648 at resolution 1)"},
        {{0, 1024, 0, 1024, 0, 1024, 1, 1, 2.0f}, ""},
        {{0, 1024, 0, 1024, 0, 1, 1, 1025, 2.0f}, "more than 1073741824 samples"},
        {{0, 1073741825, 0, 1, 0, 1, 1, 1, 2.0f}, "more than 1073741824 samples"},
        {{0, 9, 0, 9, 0, 9, 3, 1, 1e-45f}, ""},
        {{0, 9, 0, 9, 0, 9, 3, 1, -0.0f}, "repetition time is not positive"},
        {{0, 9, 0, 9, 0, 9, 3, 1, std::numeric_limits<float>::infinity()},
         "repetition time is not positive"},
    };
    for (const Case& c : cases) EXPECT_EQ(geometryProblem(c.g), c.problem);
}

TEST(VtcFile, WritesAndReadsBackEverything) {
    const VtcGeometry g = smallGeometry();
    const std::vector<float> samples = rampSamples(g);
    const std::string path = tempPath("roundtrip.vtc");
    ASSERT_EQ(writeVtcFile(path, g, "protocols/block.prt", samples), "");
    Result<VtcFile> back = readVtcFile(path);
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(back.value().geometry, g);
    EXPECT_EQ(back.value().linkedProtocol, "protocols/block.prt");
    EXPECT_EQ(back.value().samples, samples);

    // The header layout is documented byte for byte: check a few fields in place.
    Result<std::string> bytes = readFileBytes(path);
    ASSERT_TRUE(bytes);
    const std::string& b = bytes.value();
    ASSERT_EQ(b.size(), kVtcHeaderSize + 19 + 4 * samples.size());
    EXPECT_EQ(b.substr(0, 8), "SIMTRVTC");
    EXPECT_EQ(b[12], 3);  // voxels along x, little-endian
    EXPECT_EQ(b[48], 2);  // resolution
    EXPECT_EQ(b[52], 3);  // time points
    float first;
    std::memcpy(&first, b.data() + kVtcHeaderSize + 19, 4);
    EXPECT_EQ(first, -3.0f);
    std::filesystem::remove(path);
}

TEST(VtcFile, ReportsAnUnwritablePath) {
    const VtcGeometry g = smallGeometry();
    EXPECT_EQ(writeVtcFile("/nonexistent-dir/x.vtc", g, "", rampSamples(g)),
              "/nonexistent-dir/x.vtc: cannot write the VTC: No such file or directory");
    EXPECT_EQ(readVtcFile("/nonexistent-dir/x.vtc").error(),
              "/nonexistent-dir/x.vtc: cannot read: No such file or directory");
}

std::string encode(const VtcGeometry& g, const std::string& protocol) {
    const std::string path = tempPath("encode.vtc");
    EXPECT_EQ(writeVtcFile(path, g, protocol, rampSamples(g)), "");
    std::string bytes = readFileBytes(path).value();
    std::filesystem::remove(path);
    return bytes;
}

void putInt(std::string& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + std::size_t(i)] = char(value >> (8 * i));
}

TEST(VtcFile, EveryDamagedFileIsRefusedWithItsReason) {
    const std::string good = encode(smallGeometry(), "p.prt");
    ASSERT_TRUE(parseVtc(good, "f.vtc"));
    struct Case {
        std::string bytes;
        const char* error;
    };
    auto with = [&](std::size_t offset, std::uint32_t value) {
        std::string b = good;
        putInt(b, offset, value);
        return b;
    };
    std::string nulInPath = good;
    nulInPath[kVtcHeaderSize + 1] = '\0';
    std::string wrongMagic = good;
    wrongMagic[0] = 'X';
    std::string oneByteMore = good;
    oneByteMore.push_back('x');
    const Case cases[] = {
        {"", "f.vtc: not a VTC file of this program (no \"SIMTRVTC\" header)"},
        {good.substr(0, 63), "f.vtc: not a VTC file of this program (no \"SIMTRVTC\" header)"},
        {wrongMagic, "f.vtc: not a VTC file of this program (no \"SIMTRVTC\" header)"},
        {with(8, 2), "f.vtc: unsupported VTC format version 2 (this program reads version 1)"},
        {with(48, 0), "f.vtc: invalid geometry: resolution 0 is below 1"},
        {with(52, 0xFFFFFFFF), "f.vtc: invalid geometry: negative number of time points"},
        {with(24, 0x80000000),
         "f.vtc: invalid geometry: no voxel along x (range 2147483665 at resolution 2)"},
        {with(56, 0x7FC00000), "f.vtc: invalid geometry: repetition time is not positive"},
        {with(12, 4), "f.vtc: stored dimensions 4 x 3 x 2 do not match the box and resolution"},
        {with(60, 1024), "f.vtc: linked protocol path of 1024 bytes is too long"},
        {with(60, 1000), "f.vtc: file ends inside the protocol path"},
        {nulInPath, "f.vtc: linked protocol path contains a NUL byte"},
        {good.substr(0, good.size() - 4),
         "f.vtc: expected 54 samples (216 bytes) after the header, found 212 bytes"},
        {oneByteMore, "f.vtc: expected 54 samples (216 bytes) after the header, found 217 bytes"},
        {with(52, 1000000),
         "f.vtc: expected 18000000 samples (72000000 bytes) after the header, found 216 bytes"},
    };
    for (const Case& c : cases) {
        Result<VtcFile> vtc = parseVtc(c.bytes, "f.vtc");
        ASSERT_FALSE(vtc) << c.error;
        EXPECT_EQ(vtc.error(), c.error);
    }
}

}  // namespace
}  // namespace simtrove::formats
