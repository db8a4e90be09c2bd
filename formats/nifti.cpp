#include "formats/nifti.h"

#if SIMTROVE_HAVE_NIFTI
#include <nifti1_io.h>
#include <zlib.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "formats/output_file.h"

namespace simtrove::formats {
namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

#if SIMTROVE_HAVE_NIFTI
struct ImageDeleter {
    void operator()(nifti_image* image) const {
        image->data = nullptr;  // never owned by the image
        nifti_image_free(image);
    }
};

// The library prints its own "** ERROR" and "++ WARNING" lines on stderr; this
// program reports every failure itself, once, with the file's name.
void quietLibrary() {
    nifti_set_debug_level(0);
}

void describeGeometry(nifti_image& image, const VtcGeometry& g, const char* description) {
    const float r = float(g.resolution);
    image.dx = image.dy = image.dz = r;
    image.pixdim[1] = image.pixdim[2] = image.pixdim[3] = r;
    image.dt = image.pixdim[4] = g.repetitionTime;
    image.xyz_units = NIFTI_UNITS_MM;
    image.time_units = NIFTI_UNITS_SEC;

    image.qform_code = NIFTI_XFORM_SCANNER_ANAT;
    image.quatern_b = image.quatern_c = image.quatern_d = 0.0f;
    image.qoffset_x = float(g.xStart);
    image.qoffset_y = float(g.yStart);
    image.qoffset_z = float(g.zStart);
    image.qfac = 1.0f;
    image.qto_xyz = nifti_quatern_to_mat44(0.0f, 0.0f, 0.0f, image.qoffset_x, image.qoffset_y,
                                           image.qoffset_z, r, r, r, 1.0f);
    image.sform_code = NIFTI_XFORM_SCANNER_ANAT;
    std::memset(&image.sto_xyz, 0, sizeof image.sto_xyz);
    const float origin[3] = {float(g.xStart), float(g.yStart), float(g.zStart)};
    for (int row = 0; row < 3; ++row) {
        image.sto_xyz.m[row][row] = r;
        image.sto_xyz.m[row][3] = origin[row];
    }
    image.sto_xyz.m[3][3] = 1.0f;
    std::snprintf(image.descrip, sizeof image.descrip, "%s", description);
}
#endif

}  // namespace

bool hasNiftiExtension(const std::string& path) {
    return endsWith(path, ".nii") || endsWith(path, ".nii.gz");
}

#if SIMTROVE_HAVE_NIFTI
namespace {

struct ImageLayout {
    int dims[8];
    int datatype;
    const char* description;
    const char* compression;  // znz mode: "wb1h" Huffman only, "wb6" deflate
    const StatisticIntent* intent = nullptr;
};

// The system's reason for the last failed call, or EIO when it left none.
int lastError() {
    return errno != 0 ? errno : EIO;
}

// Creates the temporary file with its header (geometry set by describe),
// hands it, still open, to writeBody and renames it to `path` when everything
// was written.
template <typename Describe, typename WriteBody>
std::string writeImageWith(const std::string& path, std::string_view kind,
                           const ImageLayout& layout, Describe&& describe, WriteBody&& writeBody) {
    auto fail = [&](const std::string& why) {
        return path + ": cannot write " + std::string(kind) + ": " + why;
    };
    quietLibrary();
    std::unique_ptr<nifti_image, ImageDeleter> image(
        nifti_make_new_nim(layout.dims, layout.datatype, 0));
    if (!image) return fail("out of memory");
    // The library leaves the sizes past the image's rank at 0; readers (this
    // library's own among them) take dim[4] as the volume count, so they are 1.
    for (int i = layout.dims[0] + 1; i < 8; ++i) image->dim[i] = 1;
    image->nt = image->dim[4];
    OutputFile output(path);
    if (nifti_set_filenames(image.get(), output.temporaryPath().c_str(), 0, 1) != 0)
        return fail("invalid file name");
    image->nifti_type = NIFTI_FTYPE_NIFTI1_1;
    image->scl_slope = 1.0f;
    image->scl_inter = 0.0f;
    describe(*image);
    if (layout.intent) {
        image->intent_code = layout.intent->code;
        image->intent_p1 = layout.intent->p1;
        std::snprintf(image->intent_name, sizeof image->intent_name, "%s",
                      layout.intent->name.c_str());
    }
    nifti_set_iname_offset(image.get());
    errno = 0;
    znzFile file = nifti_image_write_hdr_img2(image.get(), 2 /* header only, keep open */,
                                              layout.compression, nullptr, nullptr);
    if (znz_isnull(file)) return writeFailure(path, kind, lastError());
    errno = 0;
    bool ok = writeBody(file);
    int error = ok ? 0 : lastError();
    // Compressed data still buffered reach the disk only here.
    if (znzclose(file) != 0 && ok) {
        ok = false;
        error = lastError();
    }
    if (!ok) return writeFailure(path, kind, error);
    return output.commit(kind);
}

template <typename WriteBody>
std::string writeImage(const std::string& path, std::string_view kind, const VtcGeometry& g,
                       const ImageLayout& layout, WriteBody&& writeBody) {
    return writeImageWith(
        path, kind, layout,
        [&](nifti_image& image) { describeGeometry(image, g, layout.description); }, writeBody);
}

void describeSpace(nifti_image& image, const ImageSpace& space, const std::string& description) {
    const auto affine = centredAffine(space);
    image.dx = image.pixdim[1] = float(space.voxelMm[0]);
    image.dy = image.pixdim[2] = float(space.voxelMm[1]);
    image.dz = image.pixdim[3] = float(space.voxelMm[2]);
    image.dt = image.pixdim[4] = float(space.repetitionTime);
    image.xyz_units = NIFTI_UNITS_MM;
    image.time_units = NIFTI_UNITS_SEC;
    image.qform_code = NIFTI_XFORM_SCANNER_ANAT;
    image.quatern_b = image.quatern_c = image.quatern_d = 0.0f;
    image.qoffset_x = float(affine[0][3]);
    image.qoffset_y = float(affine[1][3]);
    image.qoffset_z = float(affine[2][3]);
    image.qfac = 1.0f;
    image.qto_xyz = nifti_quatern_to_mat44(0.0f, 0.0f, 0.0f, image.qoffset_x, image.qoffset_y,
                                           image.qoffset_z, image.dx, image.dy, image.dz, 1.0f);
    image.sform_code = NIFTI_XFORM_SCANNER_ANAT;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            image.sto_xyz.m[row][column] = float(affine[std::size_t(row)][std::size_t(column)]);
    std::snprintf(image.descrip, sizeof image.descrip, "%s", description.c_str());
}

std::string spaceProblem(const ImageSpace& space) {
    for (std::size_t a = 0; a < 3; ++a) {
        if (space.dims[a] < 1 || space.dims[a] > 32767) return "every size must be from 1 to 32767";
        if (!(space.voxelMm[a] > 0)) return "voxel sizes must be positive";
    }
    return {};
}

// What keeps an image of `space` from being written to `path`, or empty.
std::string spacePathProblem(const std::string& path, const ImageSpace& space) {
    if (!hasNiftiExtension(path)) return "the name must end in .nii or .nii.gz";
    return spaceProblem(space);
}

std::uint64_t spaceVoxels(const ImageSpace& space) {
    return std::uint64_t(space.dims[0]) * std::uint64_t(space.dims[1]) *
           std::uint64_t(space.dims[2]);
}

}  // namespace
#endif

std::array<std::array<double, 4>, 4> centredAffine(const ImageSpace& space) {
    std::array<std::array<double, 4>, 4> m{};
    for (std::size_t a = 0; a < 3; ++a) {
        m[a][a] = space.voxelMm[a];
        m[a][3] = -0.5 * double(space.dims[a] - 1) * space.voxelMm[a];
    }
    m[3][3] = 1.0;
    return m;
}

std::string writeNiftiVolumes(const std::string& path, const ImageSpace& space,
                              std::span<const float> volumes, std::int64_t timePoints,
                              const std::string& description) {
#if !SIMTROVE_HAVE_NIFTI
    (void)space;
    (void)volumes;
    (void)timePoints;
    (void)description;
    return path + ": cannot write NIfTI: this build has no NIfTI library";
#else
    auto fail = [&](const std::string& why) { return path + ": cannot write NIfTI: " + why; };
    if (std::string problem = spacePathProblem(path, space); !problem.empty()) return fail(problem);
    if (timePoints < 1 || timePoints > 32767) return fail("time points must be from 1 to 32767");
    const std::uint64_t voxels = spaceVoxels(space);
    if (volumes.size() != voxels * std::uint64_t(timePoints))
        return fail("sample count does not match the geometry");
    const ImageLayout layout{
        {4, int(space.dims[0]), int(space.dims[1]), int(space.dims[2]), int(timePoints), 1, 1, 1},
        NIFTI_TYPE_FLOAT32,
        description.c_str(),
        "wb1h"};
    return writeImageWith(
        path, "the NIfTI image", layout,
        [&](nifti_image& image) { describeSpace(image, space, description); },
        [&](znzFile file) {
            // One volume per call keeps every request well below the library's limits.
            const std::size_t bytes = std::size_t(voxels) * sizeof(float);
            for (std::int64_t t = 0; t < timePoints; ++t)
                if (nifti_write_buffer(file, volumes.data() + std::size_t(t) * std::size_t(voxels),
                                       bytes) != bytes)
                    return false;
            return true;
        });
#endif
}

std::string writeNiftiLabels(const std::string& path, const ImageSpace& space,
                             std::span<const std::int16_t> labels, const std::string& description) {
#if !SIMTROVE_HAVE_NIFTI
    (void)space;
    (void)labels;
    (void)description;
    return path + ": cannot write NIfTI: this build has no NIfTI library";
#else
    auto fail = [&](const std::string& why) { return path + ": cannot write NIfTI: " + why; };
    if (std::string problem = spacePathProblem(path, space); !problem.empty()) return fail(problem);
    const std::uint64_t voxels = spaceVoxels(space);
    if (labels.size() != voxels) return fail("label count does not match the geometry");
    const ImageLayout layout{
        {3, int(space.dims[0]), int(space.dims[1]), int(space.dims[2]), 1, 1, 1, 1},
        NIFTI_TYPE_INT16,
        description.c_str(),
        "wb6"};
    return writeImageWith(
        path, "the label image", layout,
        [&](nifti_image& image) { describeSpace(image, space, description); },
        [&](znzFile file) {
            const std::size_t bytes = labels.size_bytes();
            return nifti_write_buffer(file, labels.data(), bytes) == bytes;
        });
#endif
}

std::string writeNiftiFile(const std::string& path, const VtcGeometry& g,
                           std::span<const float> samples, std::string_view kind) {
    auto fail = [&](const std::string& why) {
        return path + ": cannot write " + std::string(kind) + ": " + why;
    };
#if !SIMTROVE_HAVE_NIFTI
    (void)g;
    (void)samples;
    return fail("this build has no NIfTI library");
#else
    if (!hasNiftiExtension(path)) return fail("the name must end in .nii or .nii.gz");
    if (std::string problem = geometryProblem(g); !problem.empty()) return fail(problem);
    if (g.timePoints < 1) return fail("the VTC has no time points");
    if (samples.size() != g.sampleCount()) return fail("sample count does not match the geometry");

    // Huffman coding only ("h"): simulated noise has no repeats for string
    // matching to find, so the default deflate level spent five times as long
    // for a slightly larger file, and saving was the slowest phase of a run.
    const ImageLayout layout{{4, g.dimX(), g.dimY(), g.dimZ(), g.timePoints, 1, 1, 1},
                             NIFTI_TYPE_FLOAT32,
                             "simulated VTC (tavimo-standin)",
                             "wb1h"};
    return writeImage(path, kind, g, layout, [&](znzFile file) {
        // NIfTI stores volume after volume; the VTC keeps each time course together.
        const std::size_t voxels = std::size_t(g.voxelCount());
        const std::size_t timePoints = std::size_t(g.timePoints);
        std::vector<float> volume(voxels);
        for (std::size_t t = 0; t < timePoints; ++t) {
            for (std::size_t v = 0; v < voxels; ++v) volume[v] = samples[v * timePoints + t];
            const std::size_t bytes = voxels * sizeof(float);
            if (nifti_write_buffer(file, volume.data(), bytes) != bytes) return false;
        }
        return true;
    });
#endif
}

std::string writeNiftiLabelImage(const std::string& path, const VtcGeometry& g,
                                 std::span<const std::int16_t> labels, std::string_view kind) {
    auto fail = [&](const std::string& why) {
        return path + ": cannot write " + std::string(kind) + ": " + why;
    };
#if !SIMTROVE_HAVE_NIFTI
    (void)g;
    (void)labels;
    return fail("this build has no NIfTI library");
#else
    if (!hasNiftiExtension(path)) return fail("the name must end in .nii or .nii.gz");
    if (std::string problem = geometryProblem(g); !problem.empty()) return fail(problem);
    if (labels.size() != g.voxelCount()) return fail("label count does not match the geometry");
    // Labels are mostly 0: ordinary deflate shrinks them a hundredfold.
    const ImageLayout layout{{3, g.dimX(), g.dimY(), g.dimZ(), 1, 1, 1, 1},
                             NIFTI_TYPE_INT16,
                             "simulated signal labels (tavimo-standin)",
                             "wb6"};
    return writeImage(path, kind, g, layout, [&](znzFile file) {
        const std::size_t bytes = labels.size_bytes();
        return nifti_write_buffer(file, labels.data(), bytes) == bytes;
    });
#endif
}

std::string writeNiftiStatisticMap(const std::string& path, const VtcGeometry& g,
                                   std::span<const float> values, const StatisticIntent& intent) {
#if !SIMTROVE_HAVE_NIFTI
    (void)g;
    (void)values;
    (void)intent;
    return path + ": cannot write NIfTI: this build has no NIfTI library";
#else
    auto fail = [&](const std::string& why) { return path + ": cannot write NIfTI: " + why; };
    if (!hasNiftiExtension(path)) return fail("the name must end in .nii or .nii.gz");
    if (std::string problem = geometryProblem(g); !problem.empty()) return fail(problem);
    if (values.size() != g.voxelCount()) return fail("value count does not match the geometry");
    const ImageLayout layout{{3, g.dimX(), g.dimY(), g.dimZ(), 1, 1, 1, 1},
                             NIFTI_TYPE_FLOAT32,
                             intent.description.c_str(),
                             "wb6",
                             &intent};
    const std::string kind = "the " + std::string(intent.name) + "-map";
    return writeImage(path, kind, g, layout, [&](znzFile file) {
        const std::size_t bytes = values.size_bytes();
        return nifti_write_buffer(file, values.data(), bytes) == bytes;
    });
#endif
}

#if SIMTROVE_HAVE_NIFTI
namespace {
// The reader's images own the data the library read.
struct OwningImageDeleter {
    void operator()(nifti_image* image) const { nifti_image_free(image); }
};

// In double: every stored type converts exactly, so that a scaled sample is
// rounded to float once, after the scaling.
template <typename T>
void copyAs(const void* data, std::size_t i, double* out) {
    T v;
    std::memcpy(&v, static_cast<const unsigned char*>(data) + i * sizeof(T), sizeof(T));
    *out = double(v);
}

// Stores sample i of the image data; false for a type it cannot read.
bool sampleAt(const nifti_image& image, std::size_t i, double* out) {
    switch (image.datatype) {
        case NIFTI_TYPE_FLOAT32:
            copyAs<float>(image.data, i, out);
            return true;
        case NIFTI_TYPE_FLOAT64:
            copyAs<double>(image.data, i, out);
            return true;
        case NIFTI_TYPE_INT8:
            copyAs<std::int8_t>(image.data, i, out);
            return true;
        case NIFTI_TYPE_UINT8:
            copyAs<std::uint8_t>(image.data, i, out);
            return true;
        case NIFTI_TYPE_INT16:
            copyAs<std::int16_t>(image.data, i, out);
            return true;
        case NIFTI_TYPE_UINT16:
            copyAs<std::uint16_t>(image.data, i, out);
            return true;
        case NIFTI_TYPE_INT32:
            copyAs<std::int32_t>(image.data, i, out);
            return true;
        case NIFTI_TYPE_UINT32:
            copyAs<std::uint32_t>(image.data, i, out);
            return true;
        default:
            return false;
    }
}

bool supported(int datatype) {
    nifti_image probe{};
    probe.datatype = datatype;
    const double zero = 0.0;
    probe.data = const_cast<double*>(&zero);
    double value;
    return sampleAt(probe, 0, &value);
}

}  // namespace
#endif

#if SIMTROVE_HAVE_NIFTI
namespace {

struct GzCloser {
    void operator()(gzFile_s* file) const { gzclose(file); }
};

// The image's data bytes, read past the header with zlib, which reads plain
// files as they are. The library's own reader fills missing data with zeros
// and only warns, so a cut file is refused here, with both sizes.
Result<std::vector<unsigned char>> readImageData(const std::string& path,
                                                 const nifti_image& header) {
    using R = Result<std::vector<unsigned char>>;
    const std::uint64_t offset = std::uint64_t(std::max(header.iname_offset, 0));
    const std::uint64_t dataBytes = std::uint64_t(header.nvox) * std::uint64_t(header.nbyper);
    std::unique_ptr<gzFile_s, GzCloser> file(gzopen(header.iname, "rb"));
    if (!file) return R::failure(path + ": cannot read: " + std::strerror(errno ? errno : EIO));
    bool ended = false;
    // Up to `count` bytes into `into`, fewer only at the end of the data.
    auto readSome = [&](unsigned char* into, std::uint64_t count) {
        std::uint64_t read = 0;
        while (read < count && !ended) {
            const unsigned chunk = unsigned(std::min<std::uint64_t>(count - read, 1u << 20));
            const int got = gzread(file.get(), into + read, chunk);
            if (got <= 0) ended = true;
            read += std::uint64_t(std::max(got, 0));
        }
        return read;
    };
    std::vector<unsigned char> skipped(
        static_cast<std::size_t>(std::min<std::uint64_t>(offset, 1 << 16)));
    std::uint64_t found = 0;
    while (found < offset && !ended)
        found += readSome(skipped.data(), std::min<std::uint64_t>(offset - found, skipped.size()));
    // Grown as the data arrive, so that a header claiming far more than the
    // file holds costs no more memory than the file.
    std::vector<unsigned char> data;
    while (data.size() < dataBytes && !ended) {
        const std::size_t before = data.size();
        const std::size_t chunk =
            std::size_t(std::min<std::uint64_t>(dataBytes - before, 1u << 24));
        data.resize(before + chunk);
        data.resize(before + std::size_t(readSome(data.data() + before, chunk)));
    }
    found += data.size();
    if (found < offset + dataBytes) {
        const bool compressed = nifti_is_gzfile(header.iname);
        return R::failure(path + ": the file is shorter than its header says: " +
                          std::to_string(offset + dataBytes) + " bytes expected, " +
                          std::to_string(found) + " found" +
                          (compressed ? " (after decompression)" : ""));
    }
    if (header.byteorder != nifti_short_order() && header.swapsize > 1)
        nifti_swap_Nbytes(std::size_t(header.nvox), header.swapsize, data.data());
    return data;
}

}  // namespace
#endif

Result<VolumeSeries> readNiftiSeries(const std::string& path) {
    using R = Result<VolumeSeries>;
#if !SIMTROVE_HAVE_NIFTI
    return R::failure(path + ": cannot read NIfTI: this build has no NIfTI library");
#else
    quietLibrary();
    // Headers first: refuse what cannot fit before the data are read.
    std::unique_ptr<nifti_image, OwningImageDeleter> image(nifti_image_read(path.c_str(), 0));
    if (!image) return R::failure(path + ": cannot read as NIfTI-1");
    // Writers may leave the sizes past a 3-D image's rank at 0: one volume.
    if (image->ndim <= 3) image->nt = 1;
    if (image->ndim < 1 || image->ndim > 4 || image->nx < 1 || image->ny < 1 || image->nz < 1 ||
        image->nt < 1)
        return R::failure(path + ": expected a 3-D or 4-D image");
    const std::uint64_t samples =
        std::uint64_t(image->nx) * image->ny * image->nz * std::uint64_t(image->nt);
    if (samples > kMaxVtcSamples)
        return R::failure(path + ": more than " + std::to_string(kMaxVtcSamples) + " samples");
    if (!supported(image->datatype))
        return R::failure(path + ": unsupported data type " +
                          nifti_datatype_string(image->datatype));
    image->nvox = std::size_t(samples);
    Result<std::vector<unsigned char>> data = readImageData(path, *image);
    if (!data) return R::failure(data.error());

    VolumeSeries series;
    series.grid.dims = {image->nx, image->ny, image->nz};
    series.volumes = image->nt;
    series.grid.resolution = std::max(1, int(std::lround(std::fabs(image->dx))));
    const mat44& m = image->sform_code > 0 ? image->sto_xyz : image->qto_xyz;
    for (int a = 0; a < 3; ++a) series.grid.start[std::size_t(a)] = int(std::lround(m.m[a][3]));
    if (image->dt > 0.0f) series.repetitionTime = image->dt;

    const std::size_t voxels = series.grid.voxels();
    const std::size_t T = std::size_t(series.volumes);
    const bool scaled =
        image->scl_slope != 0.0f && (image->scl_slope != 1.0f || image->scl_inter != 0.0f);
    nifti_image view = *image;
    view.data = data.value().data();
    series.samples.resize(voxels * T);
    for (std::size_t t = 0; t < T; ++t)
        for (std::size_t v = 0; v < voxels; ++v) {
            double value = 0.0;
            sampleAt(view, t * voxels + v, &value);
            if (scaled) value = value * double(image->scl_slope) + double(image->scl_inter);
            series.samples[v * T + t] = float(value);
        }
    return series;
#endif
}

}  // namespace simtrove::formats
