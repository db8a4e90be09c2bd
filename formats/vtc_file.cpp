#include "formats/vtc_file.h"

#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "formats/output_file.h"
#include "formats/text_input.h"

namespace simtrove::formats {
namespace {

constexpr char kMagic[8] = {'S', 'I', 'M', 'T', 'R', 'V', 'T', 'C'};
constexpr std::uint32_t kVersion = 1;
constexpr const char* kVtcKind = "the VTC";

void putU32(unsigned char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}
std::uint32_t getU32(const unsigned char* in) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t(in[i]) << (8 * i);
    return value;
}
void putI32(unsigned char* out, int value) {
    putU32(out, static_cast<std::uint32_t>(value));
}
int getI32(const unsigned char* in) {
    return static_cast<int>(getU32(in));
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

int VtcGeometry::axisVoxels(int start, int end) const {
    if (resolution < 1) return 0;
    const std::int64_t count = (std::int64_t(end) - start) / resolution;
    return count > INT32_MAX || count < INT32_MIN ? 0 : int(count);
}

std::uint64_t VtcGeometry::voxelCount() const {
    if (resolution < 1 || dimX() < 1 || dimY() < 1 || dimZ() < 1) return 0;
    return std::uint64_t(dimX()) * std::uint64_t(dimY()) * std::uint64_t(dimZ());
}

std::uint64_t VtcGeometry::sampleCount() const {
    const std::uint64_t voxels = voxelCount();
    if (timePoints < 1 || voxels == 0) return 0;
    std::uint64_t samples = 0;
    if (__builtin_mul_overflow(voxels, std::uint64_t(timePoints), &samples)) return UINT64_MAX;
    return samples;
}

std::string geometryProblem(const VtcGeometry& g) {
    if (g.resolution < 1) return "resolution " + std::to_string(g.resolution) + " is below 1";
    // Differences in 64 bits: the ends may be any int.
    const std::int64_t extents[3] = {std::int64_t(g.xEnd) - g.xStart,
                                     std::int64_t(g.yEnd) - g.yStart,
                                     std::int64_t(g.zEnd) - g.zStart};
    for (int axis = 0; axis < 3; ++axis)
        if (extents[axis] < g.resolution || extents[axis] > INT32_MAX)
            return std::string("no voxel along ") + "xyz"[axis] + " (range " +
                   std::to_string(extents[axis]) + " at resolution " +
                   std::to_string(g.resolution) + ")";
    if (g.timePoints < 0) return "negative number of time points";
    if (!(g.repetitionTime > 0.0f) || !std::isfinite(g.repetitionTime))
        return "repetition time is not positive";
    if (g.sampleCount() > kMaxVtcSamples)
        return "more than " + std::to_string(kMaxVtcSamples) + " samples";
    return {};
}

std::string writeVtcFile(const std::string& path, const VtcGeometry& g,
                         std::string_view linkedProtocol, std::span<const float> samples) {
    const std::string_view protocol = linkedProtocol.substr(0, kMaxLinkedProtocolLength);
    unsigned char header[kVtcHeaderSize] = {};
    std::memcpy(header, kMagic, sizeof kMagic);
    putU32(header + 8, kVersion);
    const int fields[] = {g.dimX(), g.dimY(), g.dimZ(), g.xStart,     g.xEnd,      g.yStart,
                          g.yEnd,   g.zStart, g.zEnd,   g.resolution, g.timePoints};
    for (std::size_t i = 0; i < std::size(fields); ++i) putI32(header + 12 + 4 * i, fields[i]);
    putU32(header + 56, std::bit_cast<std::uint32_t>(g.repetitionTime));
    putU32(header + 60, std::uint32_t(protocol.size()));

    OutputFile output(path);
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(output.temporaryPath().c_str(), "wb"));
    auto failure = [&] { return writeFailure(path, kVtcKind, errno ? errno : EIO); };
    if (!file) return failure();
    bool ok = std::fwrite(header, 1, sizeof header, file.get()) == sizeof header &&
              std::fwrite(protocol.data(), 1, protocol.size(), file.get()) == protocol.size();
    constexpr std::size_t kChunk = 1 << 16;
    std::vector<unsigned char> chunk;
    for (std::size_t start = 0; ok && start < samples.size(); start += kChunk) {
        const std::size_t count = std::min(kChunk, samples.size() - start);
        chunk.resize(count * 4);
        for (std::size_t i = 0; i < count; ++i)
            putU32(chunk.data() + 4 * i, std::bit_cast<std::uint32_t>(samples[start + i]));
        ok = std::fwrite(chunk.data(), 1, chunk.size(), file.get()) == chunk.size();
    }
    if (!ok || std::fflush(file.get()) != 0) return failure();
    if (std::fclose(file.release()) != 0) return failure();
    return output.commit(kVtcKind);
}

Result<VtcFile> parseVtc(std::string_view bytes, const std::string& fileName) {
    auto fail = [&](const std::string& what) {
        return Result<VtcFile>::failure(fileName + ": " + what);
    };
    if (bytes.size() < kVtcHeaderSize || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return fail("not a VTC file of this program (no \"SIMTRVTC\" header)");
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    if (std::uint32_t version = getU32(in + 8); version != kVersion)
        return fail("unsupported VTC format version " + std::to_string(version) +
                    " (this program reads version 1)");
    VtcFile vtc;
    VtcGeometry& g = vtc.geometry;
    int* fields[] = {&g.xStart, &g.xEnd, &g.yStart,     &g.yEnd,
                     &g.zStart, &g.zEnd, &g.resolution, &g.timePoints};
    for (std::size_t i = 0; i < std::size(fields); ++i) *fields[i] = getI32(in + 24 + 4 * i);
    g.repetitionTime = std::bit_cast<float>(getU32(in + 56));
    if (std::string problem = geometryProblem(g); !problem.empty())
        return fail("invalid geometry: " + problem);
    const int dims[3] = {getI32(in + 12), getI32(in + 16), getI32(in + 20)};
    if (dims[0] != g.dimX() || dims[1] != g.dimY() || dims[2] != g.dimZ())
        return fail("stored dimensions " + std::to_string(dims[0]) + " x " +
                    std::to_string(dims[1]) + " x " + std::to_string(dims[2]) +
                    " do not match the box and resolution");
    const std::uint32_t length = getU32(in + 60);
    if (length > kMaxLinkedProtocolLength)
        return fail("linked protocol path of " + std::to_string(length) + " bytes is too long");
    if (bytes.size() - kVtcHeaderSize < length) return fail("file ends inside the protocol path");
    vtc.linkedProtocol.assign(bytes.substr(kVtcHeaderSize, length));
    if (vtc.linkedProtocol.find('\0') != std::string::npos)
        return fail("linked protocol path contains a NUL byte");
    const std::size_t dataStart = kVtcHeaderSize + length;
    const std::uint64_t expected = g.sampleCount();
    const std::uint64_t available = (bytes.size() - dataStart) / 4;
    if ((bytes.size() - dataStart) % 4 != 0 || available != expected)
        return fail("expected " + std::to_string(expected) + " samples (" +
                    std::to_string(expected * 4) + " bytes) after the header, found " +
                    std::to_string(bytes.size() - dataStart) + " bytes");
    vtc.samples.resize(std::size_t(expected));
    for (std::size_t i = 0; i < vtc.samples.size(); ++i)
        vtc.samples[i] = std::bit_cast<float>(getU32(in + dataStart + 4 * i));
    return vtc;
}

Result<VtcFile> readVtcFile(const std::string& path) {
    Result<std::string> bytes = readFileBytes(path);
    if (!bytes) return Result<VtcFile>::failure(bytes.error());
    return parseVtc(bytes.value(), path);
}

}  // namespace simtrove::formats
