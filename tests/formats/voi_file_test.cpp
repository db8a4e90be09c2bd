#include "formats/voi_file.h"

#include <gtest/gtest.h>

namespace simtrove::formats {
namespace {

TEST(VoiFile, ReadsSpaceNamesAndVoxels) {
    const char* text =
        "# two VOIs\n"
        "simtrove-vois 1\n"
        "coordinate-space 3\n"
        "voi Left FFA\n"
        "-10 20 30\n"
        "  11 21 31\r\n"
        "\n"
        "voi Right\n"
        "10000 -10000 0\n";
    Result<VoiSet> set = parseVoiText(text, "v.voi");
    ASSERT_TRUE(set) << set.error();
    VoiSet expected{3, {{"Left FFA", {-10, 20, 30, 11, 21, 31}}, {"Right", {10000, -10000, 0}}}};
    EXPECT_EQ(set.value(), expected);
    // The longest name that still fits the host's record.
    const std::string longest(kMaxVoiNameLength, 'v');
    Result<VoiSet> named =
        parseVoiText("simtrove-vois 1\ncoordinate-space 0\nvoi " + longest + "\n1 2 3", "v.voi");
    ASSERT_TRUE(named) << named.error();
    EXPECT_EQ(named.value().vois[0].name, longest);
}

TEST(VoiFile, EveryMalformedFileNamesFileLineAndProblem) {
    const std::string head = "simtrove-vois 1\ncoordinate-space 0\n";
    const std::string longName = head + "voi " + std::string(260, 'v') + "\n";
    struct Case {
        std::string text;
        const char* error;
    } cases[] = {
        {"", "v.voi: empty file; expected \"simtrove-vois 1\""},
        {"simtrove-vois 1\n", "v.voi: expected \"coordinate-space CODE\""},
        {head, "v.voi: the file defines no VOI"},
        {head + "voi A\nvoi B\n1 2 3\n", "v.voi:3: VOI \"A\" has no voxel lines"},
        {head + "voi A\n1 2 3\n\nvoi B\n", "v.voi:6: VOI \"B\" has no voxel lines"},
        {"voi A\n", "v.voi:1: expected \"simtrove-vois 1\" on the first line"},
        {"simtrove-vois 7\n",
         "v.voi:1: unsupported VOI format version \"7\" (this program reads version 1)"},
        {"simtrove-vois 1\nspace 3\n",
         "v.voi:2: expected \"coordinate-space CODE\" with a whole number CODE"},
        {"simtrove-vois 1\ncoordinate-space three\n",
         "v.voi:2: expected \"coordinate-space CODE\" with a whole number CODE"},
        {head + "1 2 3\n", "v.voi:3: voxel before the first VOI"},
        {head + "voi\n", "v.voi:3: VOI without a name"},
        {longName, "v.voi:3: VOI name is longer than 259 characters"},
        {head + "voi A\n1 2\n", "v.voi:4: expected \"voi NAME\" or a voxel \"X Y Z\", got \"1 2\""},
        {head + "voi A\n1 2 3 4\n",
         "v.voi:4: expected \"voi NAME\" or a voxel \"X Y Z\", got \"1 2 3 4\""},
        {head + "voi A\n1 2 z\n", "v.voi:4: \"z\" is not a whole number"},
        {head + "voi A\n1 2 10001\n", "v.voi:4: coordinate 10001 is outside -10000 to 10000"},
        {head + "voi A\n-10001 2 3\n", "v.voi:4: coordinate -10001 is outside -10000 to 10000"},
        {head + "voi A\n1 2 3" + std::string(1, '\0') + "\n", "v.voi:4: contains a NUL byte"},
    };
    for (const Case& c : cases) {
        Result<VoiSet> set = parseVoiText(c.text, "v.voi");
        ASSERT_FALSE(set) << c.text;
        EXPECT_EQ(set.error(), c.error) << c.text;
    }
}

}  // namespace
}  // namespace simtrove::formats
