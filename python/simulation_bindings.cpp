#include "python/simulation_bindings.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/nifti.h"
#include "formats/protocol.h"
#include "scenario/bids_files.h"
#include "scenario/generator.h"
#include "scenario/run_files.h"
#include "scenario/scenario_reader.h"

namespace simtrove::python {
namespace {

namespace py = pybind11;
namespace fs = std::filesystem;
using scenario::SimulatedRun;

constexpr int kMaxThreads = 4096;  // as the program's --threads

// X x Y x Z x T (or X x Y x Z) view of a buffer in the run's layout, volume
// after volume with x fastest: no copy; `owner` stays alive with the array.
template <typename T>
py::array view(const std::vector<T>& values, const SimulatedRun& run, bool volumes,
               py::handle owner) {
    const auto& shape = run.geometry.shape;
    const py::ssize_t X = shape[0], Y = shape[1], Z = shape[2];
    const py::ssize_t s = py::ssize_t(sizeof(T));
    std::vector<py::ssize_t> dims{X, Y, Z}, strides{s, s * X, s * X * Y};
    if (volumes) dims.push_back(run.geometry.timePoints), strides.push_back(s * X * Y * Z);
    py::array a(py::dtype::of<T>(), dims, strides, values.data(), owner);
    // Read-only: the run's files and its Realised figures describe these bytes.
    py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return a;
}

void raiseOsError(const std::string& message) {
    PyErr_SetString(PyExc_OSError, message.c_str());
    throw py::error_already_set();
}

// The header the program writes for the data: the writer's own, taken from a
// one-volume image in a temporary file (the shape is the only difference).
py::bytes niftiHeader(const SimulatedRun& run) {
    static std::atomic<unsigned> counter{0};
    const fs::path path =
        fs::temp_directory_path() /
        ("simtrove-header-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".nii");
    const std::size_t voxels = run.data.size() / std::size_t(run.geometry.timePoints);
    const std::span<const float> first(run.data.data(), voxels);
    std::string problem = formats::writeNiftiVolumes(path.string(), run.geometry.space(), first, 1,
                                                     "simulated run (simtrove)");
    std::string bytes;
    if (problem.empty()) {
        std::ifstream in(path, std::ios::binary);
        bytes.resize(348);
        if (!in.read(bytes.data(), 348)) problem = path.string() + ": cannot read the header back";
    }
    std::error_code ignored;
    fs::remove(path, ignored);
    if (!problem.empty()) raiseOsError(problem);
    return py::bytes(bytes);
}

std::unique_ptr<SimulatedRun> run(formats::Result<scenario::Scenario> read,
                                  std::optional<std::uint64_t> seed, std::optional<int> threads,
                                  bool components) {
    if (!read) throw std::invalid_argument(read.error());
    scenario::Scenario s = std::move(read.value());
    if (seed) s.seed = *seed;
    if (threads && (*threads < 1 || *threads > kMaxThreads))
        throw std::invalid_argument("threads: " + std::to_string(*threads) + " is not from 1 to " +
                                    std::to_string(kMaxThreads));
    if (std::string problem = scenario::memoryProblem(s, components); !problem.empty())
        throw std::invalid_argument(problem);
    const scenario::GenerateOptions options{threads.value_or(0), components};
    if (s.generator == scenario::Generator::PlugIn)  // its generator is not for concurrent use
        return std::make_unique<SimulatedRun>(scenario::generate(s, options));
    py::gil_scoped_release release;
    return std::make_unique<SimulatedRun>(scenario::generate(s, options));
}

}  // namespace

void bindSimulation(py::module_& m) {
    py::class_<SimulatedRun>(m, "Run", "A simulated run held by the engine")
        .def_property_readonly("name", [](const SimulatedRun& r) { return r.scenario.name; })
        .def_property_readonly("repetition_time",
                               [](const SimulatedRun& r) { return r.scenario.tr; })
        .def_property_readonly("data",
                               [](py::object self) {
                                   const auto& r = self.cast<const SimulatedRun&>();
                                   return view(r.data, r, true, self);
                               })
        .def_property_readonly("truth",
                               [](py::object self) {
                                   const auto& r = self.cast<const SimulatedRun&>();
                                   return view(r.labels, r, false, self);
                               })
        .def_property_readonly("has_components",
                               [](const SimulatedRun& r) { return !r.components.empty(); })
        .def_property_readonly("components",
                               [](py::object self) {
                                   const auto& r = self.cast<const SimulatedRun&>();
                                   py::dict d;
                                   for (const auto& c : r.components)
                                       d[py::str(c.name)] = view(c.values, r, true, self);
                                   return d;
                               })
        .def_property_readonly("design_names",
                               [](const SimulatedRun& r) {
                                   std::vector<std::string> names;
                                   for (const auto& p : r.design) names.push_back(p.name);
                                   return names;
                               })
        .def_property_readonly("design",
                               [](const SimulatedRun& r) {
                                   const py::ssize_t n = py::ssize_t(r.design.size());
                                   const py::ssize_t T = r.geometry.timePoints;
                                   py::array_t<float> a({n, T});
                                   float* dst = a.mutable_data();
                                   for (const auto& p : r.design) {
                                       std::fill(dst, dst + T, 0.0f);
                                       std::copy(p.values.begin(), p.values.end(), dst);
                                       dst += T;
                                   }
                                   return a;
                               })
        .def_property_readonly(
            "events_tsv",
            [](const SimulatedRun& r) { return formats::formatEventsTsv(r.events, r.scenario.tr); })
        .def_property_readonly("realised_json",
                               [](const SimulatedRun& r) { return r.realised.dump(); })
        .def_property_readonly("scenario_json",
                               [](const SimulatedRun& r) { return r.scenarioJson.dump(); })
        .def_property_readonly("affine", [](const SimulatedRun& r) { return r.geometry.affine; })
        .def("nifti_header", &niftiHeader)
        .def(
            "save",
            [](const SimulatedRun& r, const std::string& folder) {
                std::vector<std::string> written;
                std::string problem;
                {
                    py::gil_scoped_release release;
                    problem = scenario::writeRunFiles(r, folder, &written);
                }
                if (!problem.empty()) raiseOsError(problem);
                return written;
            },
            py::arg("folder"))
        .def(
            "save_bids",
            [](const SimulatedRun& r, const std::string& folder) {
                std::vector<std::string> written;
                std::string problem;
                {
                    py::gil_scoped_release release;
                    problem = scenario::writeBidsDataset(r.scenario, folder,
                                                         {0, !r.components.empty()}, &written);
                }
                if (!problem.empty()) raiseOsError(problem);
                return written;
            },
            py::arg("folder"));

    m.def(
        "simulate",
        [](const std::string& text, const std::string& folder, std::optional<std::uint64_t> seed,
           std::optional<int> threads, bool components) {
            nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
            if (document.is_discarded()) throw std::invalid_argument("scenario: not JSON");
            return run(scenario::readScenario(document, folder), seed, threads, components);
        },
        py::arg("text"), py::arg("folder"), py::arg("seed"), py::arg("threads"),
        py::arg("components"), "Runs a scenario given as JSON text; paths relative to folder.");
    m.def(
        "check",
        [](const std::string& text, const std::string& folder) {
            nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
            if (document.is_discarded()) throw std::invalid_argument("scenario: not JSON");
            formats::Result<scenario::Scenario> read = scenario::readScenario(document, folder);
            if (!read) throw std::invalid_argument(read.error());
            if (std::string problem = scenario::memoryProblem(read.value(), false);
                !problem.empty())
                throw std::invalid_argument(problem);
        },
        py::arg("text"), py::arg("folder"),
        "Checks a scenario as simulate does, without running it (ValueError: why not).");
    m.def(
        "simulate_file",
        [](const std::string& path, std::optional<std::uint64_t> seed, std::optional<int> threads,
           bool components) {
            return run(scenario::readScenarioFile(path), seed, threads, components);
        },
        py::arg("path"), py::arg("seed"), py::arg("threads"), py::arg("components"),
        "Runs a scenario file, as `simtrove simulate` does.");
}

}  // namespace simtrove::python
