#include "analysis/simulation_sidecar.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace simtrove::analysis {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

std::string stem(const std::string& path) {
    std::string name = path;
    for (const char* ext : {".nii.gz", ".nii", ".vtc"}) {
        const std::string e = ext;
        if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0)
            return name.substr(0, name.size() - e.size());
    }
    return {};
}

std::string valueText(const Json& value) {
    if (value.is_string()) return value.get<std::string>();
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void flatten(const Json& object, const std::string& prefix, std::vector<SimulationParameter>* out) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string name = prefix.empty() ? it.key() : prefix + " / " + it.key();
        if (it->is_object())
            flatten(*it, name, out);
        else
            out->push_back({name, valueText(*it)});
    }
}

bool contains(const std::string& key, const char* part) {
    std::string lower;
    for (const char c : key) lower += char(std::tolower(static_cast<unsigned char>(c)));
    return lower.find(part) != std::string::npos;
}

SimulationComponent componentOf(const std::string& name, const Json& entry) {
    SimulationComponent c{name, std::nullopt, std::nullopt};
    if (!entry.is_object()) return c;
    for (auto it = entry.begin(); it != entry.end(); ++it) {
        if (!it->is_number()) continue;
        if (contains(it.key(), "request")) c.requestedSd = it->get<double>();
        if (contains(it.key(), "realis") || contains(it.key(), "realiz"))
            c.realisedSd = it->get<double>();
    }
    return c;
}

}  // namespace

SimulationParameters parseSimulationSidecar(const std::string& text, const std::string& file) {
    SimulationParameters s;
    const Json root = Json::parse(text, nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        s.note = file + ": not a JSON object";
        return s;
    }
    s.file = file;
    if (root.contains("Simulation") && root["Simulation"].is_object())
        flatten(root["Simulation"], "", &s.parameters);
    if (root.contains("Realised")) {
        const Json& r = root["Realised"];
        if (r.is_object())
            for (auto it = r.begin(); it != r.end(); ++it)
                s.components.push_back(componentOf(it.key(), *it));
        if (r.is_array())
            for (const Json& entry : r) {
                std::string name = "component";
                for (const char* key : {"Name", "Component", "name"})
                    if (entry.is_object() && entry.contains(key) && entry[key].is_string())
                        name = entry[key].get<std::string>();
                s.components.push_back(componentOf(name, entry));
            }
    }
    if (s.parameters.empty() && s.components.empty()) s.note = file + ": no simulation parameters";
    return s;
}

SimulationParameters readSimulationSidecar(const std::string& dataPath) {
    const std::string base = stem(dataPath);
    SimulationParameters none;
    none.note = "no sidecar beside the data";
    if (base.empty()) return none;
    for (const std::string& path : {base + ".json", base + "_truth.json"}) {
        std::error_code ec;
        if (!fs::exists(path, ec)) continue;
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        SimulationParameters s =
            parseSimulationSidecar(text.str(), fs::path(path).filename().string());
        if (!s.parameters.empty() || !s.components.empty()) return s;
        none = s;
    }
    return none;
}

}  // namespace simtrove::analysis
