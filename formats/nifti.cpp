#include "formats/nifti.h"

#if SIMTROVE_HAVE_NIFTI
#include <nifti1_io.h>
#endif

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

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

// Creates the file with its header (geometry set by describe) and hands it,
// still open, to writeBody.
template <typename Describe, typename WriteBody>
std::string writeImageWith(const std::string& path, const ImageLayout& layout, Describe&& describe,
                           WriteBody&& writeBody) {
    auto fail = [&](const std::string& why) { return path + ": cannot write NIfTI: " + why; };
    nifti_set_debug_level(0);  // failures are reported by the caller, once
    std::unique_ptr<nifti_image, ImageDeleter> image(
        nifti_make_new_nim(layout.dims, layout.datatype, 0));
    if (!image) return fail("out of memory");
    // The library leaves the sizes past the image's rank at 0; readers (this
    // library's own among them) take dim[4] as the volume count, so they are 1.
    for (int i = layout.dims[0] + 1; i < 8; ++i) image->dim[i] = 1;
    image->nt = image->dim[4];
    if (nifti_set_filenames(image.get(), path.c_str(), 0, 1) != 0) return fail("invalid file name");
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
    znzFile file = nifti_image_write_hdr_img2(image.get(), 2 /* header only, keep open */,
                                              layout.compression, nullptr, nullptr);
    if (znz_isnull(file)) return fail("cannot create the file");
    bool ok = writeBody(file);
    if (znzclose(file) != 0) ok = false;
    return ok ? std::string() : fail("write error");
}

template <typename WriteBody>
std::string writeImage(const std::string& path, const VtcGeometry& g, const ImageLayout& layout,
                       WriteBody&& writeBody) {
    return writeImageWith(
        path, layout, [&](nifti_image& image) { describeGeometry(image, g, layout.description); },
        writeBody);
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
    if (!hasNiftiExtension(path)) return fail("the name must end in .nii or .nii.gz");
    if (std::string problem = spaceProblem(space); !problem.empty()) return fail(problem);
    if (timePoints < 1 || timePoints > 32767) return fail("time points must be from 1 to 32767");
    const std::uint64_t voxels =
        std::uint64_t(space.dims[0]) * std::uint64_t(space.dims[1]) * std::uint64_t(space.dims[2]);
    if (volumes.size() != voxels * std::uint64_t(timePoints))
        return fail("sample count does not match the geometry");
    const ImageLayout layout{
        {4, int(space.dims[0]), int(space.dims[1]), int(space.dims[2]), int(timePoints), 1, 1, 1},
        NIFTI_TYPE_FLOAT32,
        description.c_str(),
        "wb1h"};
    return writeImageWith(
        path, layout, [&](nifti_image& image) { describeSpace(image, space, description); },
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
    if (!hasNiftiExtension(path)) return fail("the name must end in .nii or .nii.gz");
    if (std::string problem = spaceProblem(space); !problem.empty()) return fail(problem);
    const std::uint64_t voxels =
        std::uint64_t(space.dims[0]) * std::uint64_t(space.dims[1]) * std::uint64_t(space.dims[2]);
    if (labels.size() != voxels) return fail("label count does not match the geometry");
    const ImageLayout layout{
        {3, int(space.dims[0]), int(space.dims[1]), int(space.dims[2]), 1, 1, 1, 1},
        NIFTI_TYPE_INT16,
        description.c_str(),
        "wb6"};
    return writeImageWith(
        path, layout, [&](nifti_image& image) { describeSpace(image, space, description); },
        [&](znzFile file) {
            const std::size_t bytes = labels.size_bytes();
            return nifti_write_buffer(file, labels.data(), bytes) == bytes;
        });
#endif
}

std::string writeNiftiFile(const std::string& path, const VtcGeometry& g,
                           std::span<const float> samples) {
#if !SIMTROVE_HAVE_NIFTI
    (void)g;
    (void)samples;
    return path + ": cannot write NIfTI: this build has no NIfTI library";
#else
    auto fail = [&](const std::string& why) { return path + ": cannot write NIfTI: " + why; };
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
    return writeImage(path, g, layout, [&](znzFile file) {
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
                                 std::span<const std::int16_t> labels) {
#if !SIMTROVE_HAVE_NIFTI
    (void)g;
    (void)labels;
    return path + ": cannot write NIfTI: this build has no NIfTI library";
#else
    auto fail = [&](const std::string& why) { return path + ": cannot write NIfTI: " + why; };
    if (!hasNiftiExtension(path)) return fail("the name must end in .nii or .nii.gz");
    if (std::string problem = geometryProblem(g); !problem.empty()) return fail(problem);
    if (labels.size() != g.voxelCount()) return fail("label count does not match the geometry");
    // Labels are mostly 0: ordinary deflate shrinks them a hundredfold.
    const ImageLayout layout{{3, g.dimX(), g.dimY(), g.dimZ(), 1, 1, 1, 1},
                             NIFTI_TYPE_INT16,
                             "simulated signal labels (tavimo-standin)",
                             "wb6"};
    return writeImage(path, g, layout, [&](znzFile file) {
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
    return writeImage(path, g, layout, [&](znzFile file) {
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

template <typename T>
void copyAs(const void* data, std::size_t i, float* out) {
    T v;
    std::memcpy(&v, static_cast<const unsigned char*>(data) + i * sizeof(T), sizeof(T));
    *out = float(v);
}

// Stores sample i of the image data as float; false for a type it cannot read.
bool sampleAt(const nifti_image& image, std::size_t i, float* out) {
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
    float value;
    return sampleAt(probe, 0, &value);
}

}  // namespace
#endif

Result<VolumeSeries> readNiftiSeries(const std::string& path) {
    using R = Result<VolumeSeries>;
#if !SIMTROVE_HAVE_NIFTI
    return R::failure(path + ": cannot read NIfTI: this build has no NIfTI library");
#else
    // Headers first: refuse what cannot fit before the data are read.
    std::unique_ptr<nifti_image, OwningImageDeleter> header(nifti_image_read(path.c_str(), 0));
    if (!header) return R::failure(path + ": cannot read as NIfTI-1");
    // Writers may leave the sizes past a 3-D image's rank at 0: one volume.
    if (header->ndim <= 3) header->nt = 1;
    if (header->ndim < 1 || header->ndim > 4 || header->nx < 1 || header->ny < 1 ||
        header->nz < 1 || header->nt < 1)
        return R::failure(path + ": expected a 3-D or 4-D image");
    const std::uint64_t samples =
        std::uint64_t(header->nx) * header->ny * header->nz * std::uint64_t(header->nt);
    if (samples > kMaxVtcSamples)
        return R::failure(path + ": more than " + std::to_string(kMaxVtcSamples) + " samples");
    if (!supported(header->datatype))
        return R::failure(path + ": unsupported data type " +
                          nifti_datatype_string(header->datatype));
    std::unique_ptr<nifti_image, OwningImageDeleter> image(nifti_image_read(path.c_str(), 1));
    if (!image || !image->data) return R::failure(path + ": cannot read the image data");

    VolumeSeries series;
    series.grid.dims = {image->nx, image->ny, image->nz};
    series.volumes = header->nt;
    series.grid.resolution = std::max(1, int(std::lround(std::fabs(image->dx))));
    const mat44& m = image->sform_code > 0 ? image->sto_xyz : image->qto_xyz;
    for (int a = 0; a < 3; ++a) series.grid.start[std::size_t(a)] = int(std::lround(m.m[a][3]));
    if (image->dt > 0.0f) series.repetitionTime = image->dt;

    const std::size_t voxels = series.grid.voxels();
    const std::size_t T = std::size_t(series.volumes);
    const bool scaled =
        image->scl_slope != 0.0f && (image->scl_slope != 1.0f || image->scl_inter != 0.0f);
    series.samples.resize(voxels * T);
    for (std::size_t t = 0; t < T; ++t)
        for (std::size_t v = 0; v < voxels; ++v) {
            float value = 0.0f;
            sampleAt(*image, t * voxels + v, &value);
            if (scaled) value = float(double(value) * image->scl_slope + image->scl_inter);
            series.samples[v * T + t] = value;
        }
    return series;
#endif
}

}  // namespace simtrove::formats
