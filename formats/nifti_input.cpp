#include "formats/nifti_input.h"

#include <nifti1_io.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "formats/vtc_file.h"

namespace simtrove::formats {
namespace {

struct ImageDeleter {
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

Result<VolumeSeries> readNiftiSeries(const std::string& path) {
    using R = Result<VolumeSeries>;
    // Headers first: refuse what cannot fit before the data are read.
    std::unique_ptr<nifti_image, ImageDeleter> header(nifti_image_read(path.c_str(), 0));
    if (!header) return R::failure(path + ": cannot read as NIfTI-1");
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
    std::unique_ptr<nifti_image, ImageDeleter> image(nifti_image_read(path.c_str(), 1));
    if (!image || !image->data) return R::failure(path + ": cannot read the image data");

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
    series.samples.resize(voxels * T);
    for (std::size_t t = 0; t < T; ++t)
        for (std::size_t v = 0; v < voxels; ++v) {
            float value = 0.0f;
            sampleAt(*image, t * voxels + v, &value);
            if (scaled) value = float(double(value) * image->scl_slope + image->scl_inter);
            series.samples[v * T + t] = value;
        }
    return series;
}

}  // namespace simtrove::formats
