#include "formats/bids_design.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <system_error>
#include <vector>

#include "formats/text_input.h"

namespace simtrove::formats {
namespace {

namespace fs = std::filesystem;
using Entities = std::map<std::string, std::string>;

// A BIDS file name "key-value_key-value_suffix.ext": its entities and suffix.
struct BidsName {
    Entities entities;
    std::string suffix;
    std::string extension;
};

std::optional<BidsName> parseBidsName(const std::string& fileName) {
    const std::size_t dot = fileName.find('.');
    if (dot == std::string::npos) return std::nullopt;
    BidsName name;
    name.extension = fileName.substr(dot);
    std::string_view stem(fileName.data(), dot);
    std::vector<std::string_view> parts = splitFields(stem, '_');
    name.suffix = std::string(parts.back());
    parts.pop_back();
    for (std::string_view part : parts) {
        const std::size_t dash = part.find('-');
        if (dash == std::string_view::npos || dash == 0 || dash + 1 == part.size())
            return std::nullopt;
        name.entities[std::string(part.substr(0, dash))] = std::string(part.substr(dash + 1));
    }
    return name;
}

// run-01 and run-1 are the same run; a name without a run entity is run 1.
int runNumber(const Entities& entities) {
    auto it = entities.find("run");
    if (it == entities.end()) return 1;
    return parseInt(it->second).value_or(-1);
}

bool isSubset(const Entities& part, const Entities& whole) {
    return std::all_of(part.begin(), part.end(), [&](const auto& entry) {
        auto it = whole.find(entry.first);
        return it != whole.end() && it->second == entry.second;
    });
}

std::vector<fs::path> funcFolders(const fs::path& subjectFolder) {
    std::vector<fs::path> folders;
    std::error_code error;
    if (fs::is_directory(subjectFolder / "func", error)) folders.push_back(subjectFolder / "func");
    for (const auto& entry : fs::directory_iterator(subjectFolder, error))
        if (entry.is_directory() && entry.path().filename().string().rfind("ses-", 0) == 0 &&
            fs::is_directory(entry.path() / "func", error))
            folders.push_back(entry.path() / "func");
    std::sort(folders.begin(), folders.end());
    return folders;
}

// The sidecar with `suffix` that applies to `target` after the inheritance
// principle: every level from the top to the target's folder, and within a
// level the files with fewer entities first, so that the specific wins.
Result<nlohmann::ordered_json> inheritedSidecar(const fs::path& top, const fs::path& target,
                                                const Entities& entities,
                                                const std::string& suffix) {
    using R = Result<nlohmann::ordered_json>;
    std::vector<fs::path> levels{top};
    const fs::path relative = target.parent_path().lexically_relative(top);
    fs::path level = top;
    for (const fs::path& part : relative) levels.push_back(level /= part);

    nlohmann::ordered_json merged = nlohmann::ordered_json::object();
    for (const fs::path& folder : levels) {
        std::vector<std::pair<std::size_t, fs::path>> found;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            if (!entry.is_regular_file()) continue;
            auto name = parseBidsName(entry.path().filename().string());
            if (name && name->suffix == suffix && name->extension == ".json" &&
                isSubset(name->entities, entities))
                found.emplace_back(name->entities.size(), entry.path());
        }
        std::sort(found.begin(), found.end());
        for (const auto& [count, path] : found) {
            Result<std::string> bytes = readFileBytes(path.string());
            if (!bytes) return R::failure(bytes.error());
            nlohmann::ordered_json json =
                nlohmann::ordered_json::parse(bytes.value(), nullptr, false);
            if (json.is_discarded() || !json.is_object())
                return R::failure(path.string() + ": not a JSON object");
            merged.merge_patch(json);
        }
    }
    return merged;
}

// Conditions in the order of the sidecar's levels, when it has them.
Protocol orderedByLevels(Protocol protocol, const nlohmann::ordered_json& eventsSidecar) {
    const auto trialType = eventsSidecar.find("trial_type");
    if (trialType == eventsSidecar.end() || !trialType->is_object()) return protocol;
    const auto levels = trialType->find("Levels");
    if (levels == trialType->end() || !levels->is_object()) return protocol;
    Protocol ordered;
    for (const auto& level : levels->items()) {
        auto it = std::find_if(protocol.conditions.begin(), protocol.conditions.end(),
                               [&](const Condition& c) { return c.name == level.key(); });
        if (it != protocol.conditions.end()) {
            ordered.conditions.push_back(std::move(*it));
            protocol.conditions.erase(it);
        } else {
            ordered.conditions.push_back({level.key(), {}});
        }
    }
    // Conditions the levels do not name keep their order after the named ones.
    for (Condition& rest : protocol.conditions) ordered.conditions.push_back(std::move(rest));
    return ordered;
}

}  // namespace

Result<BidsDesign> readBidsDesign(const std::string& directory, const std::string& subject,
                                  const std::string& task, int run) {
    using R = Result<BidsDesign>;
    const fs::path top(directory);
    const std::string what = directory + ": subject \"" + subject + "\", task \"" + task +
                             "\", run " + std::to_string(run);
    std::error_code error;
    if (!fs::is_directory(top, error)) return R::failure(directory + ": not a folder");
    const fs::path subjectFolder = top / ("sub-" + subject);
    if (!fs::is_directory(subjectFolder, error))
        return R::failure(directory + ": no subject \"" + subject + "\" (no folder sub-" + subject +
                          ")");

    std::vector<std::pair<fs::path, Entities>> matches;
    std::vector<std::string> available;
    for (const fs::path& folder : funcFolders(subjectFolder)) {
        for (const auto& entry : fs::directory_iterator(folder, error)) {
            auto name = parseBidsName(entry.path().filename().string());
            if (!name || name->suffix != "events" || name->extension != ".tsv") continue;
            available.push_back(entry.path().filename().string());
            auto t = name->entities.find("task");
            if (t != name->entities.end() && t->second == task && runNumber(name->entities) == run)
                matches.emplace_back(entry.path(), name->entities);
        }
    }
    std::sort(available.begin(), available.end());
    auto list = [](const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
        return text.empty() ? std::string("none") : text;
    };
    if (matches.empty())
        return R::failure(what + ": no events table (events tables: " + list(available) + ")");
    if (matches.size() > 1) {
        std::vector<std::string> names;
        for (const auto& [path, entities] : matches) names.push_back(path.filename().string());
        std::sort(names.begin(), names.end());
        return R::failure(what + ": several events tables match (" + list(names) + ")");
    }
    const auto& [eventsPath, entities] = matches.front();

    Result<nlohmann::ordered_json> bold = inheritedSidecar(top, eventsPath, entities, "bold");
    if (!bold) return R::failure(bold.error());
    const auto tr = bold.value().find("RepetitionTime");
    if (tr == bold.value().end() || !tr->is_number() || !(tr->get<double>() > 0.0))
        return R::failure(what + ": no positive RepetitionTime in the run's _bold.json");

    Result<std::string> bytes = readFileBytes(eventsPath.string());
    if (!bytes) return R::failure(bytes.error());
    Result<Protocol> protocol =
        parseEventsTsv(bytes.value(), eventsPath.string(), tr->get<double>());
    if (!protocol) return R::failure(protocol.error());
    Result<nlohmann::ordered_json> eventsSidecar =
        inheritedSidecar(top, eventsPath, entities, "events");
    if (!eventsSidecar) return R::failure(eventsSidecar.error());

    return BidsDesign{orderedByLevels(std::move(protocol).value(), eventsSidecar.value()),
                      tr->get<double>(), eventsPath.string()};
}

}  // namespace simtrove::formats
