#include "standin/companion_files.h"

#include <cstring>

#include "formats/nifti.h"
#include "formats/output_file.h"

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

void writeText(CompanionFiles& files, const std::string& path, const std::string& text,
               const char* kind) {
    note(files, path, formats::writeFileAtomically(path, text, kind));
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
    note(files, map, writeNiftiLabelImage(map, record.geometry, labels.value(), "the truth map"));
    writeText(files, base + "_truth.json", truthSidecarJson(record), "the truth map's sidecar");
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
                                   const SimulationRecord& record, const Protocol& protocol,
                                   const std::string& designMatrix) {
    CompanionFiles files;
#if SIMTROVE_HAVE_NIFTI
    writeTruth(files, base, record);
    if (niftiWritten) writeText(files, base + ".json", dataSidecarJson(record), "the sidecar");
#else
    (void)niftiWritten;
#endif
    writeText(files, base + "_events.tsv", formatEventsTsv(protocol, record.repetitionTime),
              "the events table");
    writeText(files, base + "_design.rtc", designMatrix, "the design matrix");
    return files;
}

}  // namespace simtrove::standin
