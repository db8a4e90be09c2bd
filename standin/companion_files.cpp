#include "standin/companion_files.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "formats/nifti.h"

namespace simtrove::standin {

using formats::formatEventsTsv;
using formats::Protocol;
using formats::Result;
using formats::writeNiftiLabelImage;
namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() > suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void note(CompanionFiles& files, const std::string& path, const std::string& problem) {
    if (problem.empty())
        files.written.push_back(path);
    else
        files.problems.push_back(problem);
}

std::string writeText(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) return path + ": cannot write: " + std::strerror(errno);
    return {};
}

#if SIMTROVE_HAVE_NIFTI
void writeTruth(CompanionFiles& files, const std::string& base, const SimulationRecord& record) {
    const std::string map = base + "_truth.nii.gz";
    Result<std::vector<std::int16_t>> labels =
        truthLabels(record.geometry, record.choice, record.vois);
    if (!labels) {
        files.problems.push_back(map + ": cannot write the truth map: " + labels.error());
        return;
    }
    note(files, map, writeNiftiLabelImage(map, record.geometry, labels.value()));
    const std::string sidecar = base + "_truth.json";
    note(files, sidecar, writeText(sidecar, truthSidecarJson(record)));
}
#endif

}  // namespace

std::string companionBase(const std::string& savedPath) {
    for (const char* extension : {".vtc", ".nii.gz", ".nii"})
        if (endsWith(savedPath, extension))
            return savedPath.substr(0, savedPath.size() - std::strlen(extension));
    return savedPath;
}

CompanionFiles writeCompanionFiles(const std::string& base, bool niftiWritten,
                                   const SimulationRecord& record, const Protocol& protocol) {
    CompanionFiles files;
#if SIMTROVE_HAVE_NIFTI
    writeTruth(files, base, record);
    if (niftiWritten)
        note(files, base + ".json", writeText(base + ".json", dataSidecarJson(record)));
#else
    (void)niftiWritten;
#endif
    const std::string events = base + "_events.tsv";
    note(files, events, writeText(events, formatEventsTsv(protocol, record.repetitionTime)));
    return files;
}

}  // namespace simtrove::standin
