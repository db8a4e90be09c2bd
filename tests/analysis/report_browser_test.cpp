// report.html in a real browser: headless Chromium loads the page written by
// writeReport, a probe script counts the images that loaded, and a screenshot
// of the page is taken. Skipped when Chromium is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analysis/report_command.h"

namespace simtrove::analysis {
namespace {

namespace fs = std::filesystem;

std::string chromium() {
    for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
        if (fs::exists(path)) return path;
    return {};
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs Chromium headless on a fresh profile with `arguments`; its standard
// output goes to `output`.
int runChromium(const std::string& arguments, const fs::path& profile, const fs::path& output) {
    fs::remove_all(profile);
    const std::string command =
        "timeout 120 " + chromium() +
        " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
        " --disable-background-networking --disable-component-update --disable-sync"
        " --user-data-dir=" +
        profile.string() + " " + arguments + " > " + output.string() + " 2> " + output.string() +
        ".err";
    return std::system(command.c_str());
}

// The page plus a script that, once everything has loaded, writes the number of
// images and of images that loaded (complete with a natural width) into <body>.
void writeProbe(const fs::path& page, const fs::path& probe) {
    std::string html = readAll(page);
    const std::string script =
        "<script>window.addEventListener('load',()=>{const i=[...document.images];"
        "document.body.dataset.images=i.length;document.body.dataset.loaded="
        "i.filter(x=>x.complete&&x.naturalWidth>0).length;"
        "document.body.dataset.rows=document.querySelectorAll('table.thresholds tr').length;"
        "document.body.dataset.wide=[...document.querySelectorAll('table.thresholds')]"
        ".filter(t=>t.getBoundingClientRect().width>400).length;});</script>";
    html.insert(html.rfind("</body>"), script);
    std::ofstream(probe, std::ios::binary) << html;
}

// The number in attribute="N" of the dumped DOM, or -1.
int attribute(const std::string& dom, const std::string& name) {
    const std::string key = name + "=\"";
    const std::size_t at = dom.find(key);
    if (at == std::string::npos) return -1;
    return std::atoi(dom.c_str() + at + key.size());
}

// Counts from the dumped DOM: {images, loaded}, -1 where missing.
std::pair<int, int> probeCounts(const std::string& dom) {
    return {attribute(dom, "data-images"), attribute(dom, "data-loaded")};
}

std::size_t imgTags(const std::string& html) {
    std::size_t n = 0;
    for (std::size_t at = html.find("<img "); at != std::string::npos;
         at = html.find("<img ", at + 1))
        ++n;
    return n;
}

ReportInput smallInput() {
    ReportInput in;
    in.dataLabel = "small.vtc";
    in.designLabel = "design.rtc";
    in.grid = {{12, 10, 8}, {20, 30, 40}, 3};
    in.volumes = 40;
    in.design.names = {"Task"};
    in.design.volumes = 40;
    for (int t = 0; t < 40; ++t) in.design.values.push_back(float((t / 5) % 2));
    for (std::size_t v = 0; v < in.grid.voxels(); ++v)
        for (int t = 0; t < 40; ++t) {
            const double noise = std::sin(double(v * 131 + std::size_t(t) * 17)) * 5.0;
            const double signal =
                v == in.grid.index(6, 5, 4) ? 30.0 * in.design.values[std::size_t(t)] : 0.0;
            in.samples.push_back(float(100.0 + signal + noise));
        }
    // A contrast and a truth map: the threshold tables with their truth
    // columns, and an ROC picture per statistic.
    in.contrasts = {"Double: 2*Task"};
    in.truth.assign(in.grid.voxels(), 0);
    in.truth[in.grid.index(6, 5, 4)] = 1;
    in.truthLabel = "small_truth.nii.gz";
    return in;
}

TEST(ReportBrowser, EveryImageOfThePageLoads) {
    if (chromium().empty()) GTEST_SKIP() << "chromium is not installed";
    const fs::path dir =
        fs::temp_directory_path() / ("report_browser_test_" + std::to_string(getpid()));
    fs::remove_all(dir);
    std::vector<std::string> written;
    const auto summary = writeReport(smallInput(), (dir / "report").string(), &written);
    ASSERT_TRUE(summary) << summary.error();
    const fs::path page = dir / "report" / "report.html";
    const std::size_t tags = imgTags(readAll(page));
    // Design and tSNR; per statistic the slice montage, the orthogonal planes,
    // the projections, the time course, the ROC curve and the calibration.
    ASSERT_EQ(tags, 14u);
    for (const char* figure : {"design_matrix", "tsnr", "slices_Task", "planes_Task", "mip_Task",
                               "timecourse_Task", "roc_Task", "calibration_Task", "slices_Double"})
        EXPECT_NE(readAll(page).find(std::string("<img src=\"") + figure + ".png\""),
                  std::string::npos)
            << figure;

    const fs::path probe = dir / "report" / "probe.html";
    writeProbe(page, probe);
    ASSERT_EQ(runChromium("--virtual-time-budget=10000 --dump-dom file://" + probe.string(),
                          dir / "profile", dir / "dom.html"),
              0)
        << readAll(dir / "dom.html.err");
    const std::string dom = readAll(dir / "dom.html");
    EXPECT_EQ(probeCounts(dom), std::make_pair(int(tags), int(tags)));
    EXPECT_EQ(attribute(dom, "data-rows"), 8);  // two tables: a header and three thresholds
    EXPECT_EQ(attribute(dom, "data-wide"), 2);  // laid out as tables, truth columns included

    // The probe can fail: a page with a missing picture reports one image fewer.
    std::string broken = readAll(page);
    broken.replace(broken.find("tsnr.png"), 8, "absent.png");
    std::ofstream(dir / "report" / "broken.html", std::ios::binary) << broken;
    writeProbe(dir / "report" / "broken.html", dir / "report" / "broken_probe.html");
    ASSERT_EQ(runChromium("--virtual-time-budget=10000 --dump-dom file://" +
                              (dir / "report" / "broken_probe.html").string(),
                          dir / "profile", dir / "broken_dom.html"),
              0);
    EXPECT_EQ(probeCounts(readAll(dir / "broken_dom.html")),
              std::make_pair(int(tags), int(tags) - 1));

    const fs::path shot = dir / "screenshot.png";
    ASSERT_EQ(runChromium("--window-size=1200,2600 --screenshot=" + shot.string() + " file://" +
                              page.string(),
                          dir / "profile", dir / "shot.txt"),
              0);
    EXPECT_GT(fs::file_size(shot), 20000u);  // a rendered page, not a blank one
    fs::remove_all(dir);
}

}  // namespace
}  // namespace simtrove::analysis
