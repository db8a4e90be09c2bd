#include "standin/options.h"

#include <gtest/gtest.h>

namespace simtrove::standin {
namespace {

using formats::Result;

Result<Options> parse(std::vector<std::string> args) {
    return parseCommandLine(args);
}

TEST(Options, DefaultsDescribeTheMainJob) {
    Result<Options> o = parse({});
    ASSERT_TRUE(o) << o.error();
    const Options& v = o.value();
    EXPECT_EQ(v.outDir, ".");
    EXPECT_EQ(v.hostVersion, (std::array<int, 3>{2, 4, 0}));
    EXPECT_TRUE(v.hasVmr);
    EXPECT_EQ(v.vmrDims, (std::array<int, 3>{256, 256, 256}));
    EXPECT_EQ(v.cross, (std::array<int, 3>{128, 128, 128}));
    EXPECT_EQ(v.resolution, 3);
    EXPECT_EQ(v.repetitionTime, 2.0);
    EXPECT_TRUE(v.answers.empty());
    // The default box gives 58 x 40 x 46 voxels at resolution 3, centred.
    const std::array<int, 6>& b = v.vtcBox;
    EXPECT_EQ(b, (std::array<int, 6>{41, 215, 68, 188, 59, 197}));
    EXPECT_EQ((b[1] - b[0]) / 3, 58);
    EXPECT_EQ((b[3] - b[2]) / 3, 40);
    EXPECT_EQ((b[5] - b[4]) / 3, 46);
    EXPECT_EQ(b[0] + b[1], 256);
}

TEST(Options, ReadsEveryOption) {
    Result<Options> o = parse({"--plugin",
                               "lib.so",
                               "--out",
                               "o",
                               "--host-version",
                               "1.9.9",
                               "--vmr-dims",
                               "100",
                               "90",
                               "80",
                               "--cross",
                               "1",
                               "2",
                               "3",
                               "--vtc-box",
                               "0",
                               "30",
                               "0",
                               "30",
                               "0",
                               "30",
                               "--resolution",
                               "2",
                               "--tr",
                               "0.72",
                               "--vois",
                               "v.voi",
                               "--answers",
                               "a.txt",
                               "--nifti",
                               "--ask",
                               "--time-points",
                               "cancel",
                               "--protocol",
                               "p.prt",
                               "--use-vois",
                               "yes",
                               "--voi-predictors",
                               "1, 3,2",
                               "--condition",
                               "4",
                               "--use-cross",
                               "NO",
                               "--position",
                               "5",
                               "6",
                               "7",
                               "--save",
                               "cancel"});
    ASSERT_TRUE(o) << o.error();
    const Options& v = o.value();
    EXPECT_EQ(v.pluginPath, "lib.so");
    EXPECT_EQ(v.outDir, "o");
    EXPECT_EQ(v.hostVersion, (std::array<int, 3>{1, 9, 9}));
    EXPECT_EQ(v.vmrDims, (std::array<int, 3>{100, 90, 80}));
    EXPECT_EQ(v.cross, (std::array<int, 3>{1, 2, 3}));
    EXPECT_EQ(v.vtcBox, (std::array<int, 6>{0, 30, 0, 30, 0, 30}));
    EXPECT_EQ(v.resolution, 2);
    EXPECT_EQ(v.repetitionTime, 0.72);
    EXPECT_EQ(v.voisFile, "v.voi");
    EXPECT_EQ(v.answersFile, "a.txt");
    EXPECT_TRUE(v.nifti);
    EXPECT_TRUE(v.ask);
    EXPECT_TRUE(v.answers.timePoints->cancel);
    EXPECT_EQ(v.answers.protocol->path, "p.prt");
    EXPECT_EQ(v.answers.useVois, true);
    EXPECT_EQ(v.answers.voiPredictors, (std::vector<int>{1, 3, 2}));
    EXPECT_EQ(v.answers.condition->value, 4);
    EXPECT_EQ(v.answers.useCross, false);
    EXPECT_EQ(v.answers.position, (std::array<int, 3>{5, 6, 7}));
    EXPECT_TRUE(v.answers.save->cancel);
}

TEST(Options, SmallerVmrMovesTheDefaultCrossAndBox) {
    Result<Options> o = parse({"--vmr-dims", "128", "100", "256"});
    ASSERT_TRUE(o) << o.error();
    EXPECT_EQ(o.value().cross, (std::array<int, 3>{64, 50, 128}));
    EXPECT_EQ(o.value().vtcBox, (std::array<int, 6>{0, 128, 0, 100, 59, 197}));
}

TEST(Options, HelpNeedsNothingElse) {
    Result<Options> o = parse({"--cross", "999", "0", "0", "--help"});
    ASSERT_TRUE(o);
    EXPECT_TRUE(o.value().help);
    for (const char* option : {"--plugin",         "--out",          "--ask",        "--nifti",
                               "--help",           "--host-version", "--vmr-dims",   "--no-vmr",
                               "--cross",          "--vtc-box",      "--resolution", "--tr",
                               "--vois",           "--time-points",  "--protocol",   "--use-vois",
                               "--voi-predictors", "--condition",    "--use-cross",  "--position",
                               "--save",           "--answers"})
        EXPECT_NE(usageText().find(option), std::string::npos) << option;
}

TEST(Options, EveryBadValueIsNamed) {
    const std::string longPath(261, 'p');
    struct Case {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--frobnicate"}, "unknown option \"--frobnicate\""},
        {{"extra"}, "unexpected argument \"extra\""},
        {{"--out"}, "--out needs a value"},
        {{"--out", ""}, "--out needs a value"},
        {{"--out="}, "--out needs a value"},
        {{"--tr"}, "--tr needs a value"},
        {{"--host-version", "2.0"}, "--host-version: expected MAJOR.MINOR.SUB, got \"2.0\""},
        {{"--host-version", "2.x.0"}, "--host-version: expected MAJOR.MINOR.SUB, got \"2.x.0\""},
        {{"--vmr-dims", "256", "256"}, "--vmr-dims needs 3 values"},
        {{"--vmr-dims", "256", "0", "256"}, "--vmr-dims: 0 is outside 1 to 4096"},
        {{"--resolution", "17"}, "--resolution: 17 is outside 1 to 16"},
        {{"--resolution", "two"}, "--resolution: \"two\" is not a whole number"},
        {{"--tr", "fast"}, "--tr: \"fast\" is not a number"},
        {{"--tr", "0"}, "--tr: the repetition time must be from 0.01 to 10 seconds"},
        {{"--tr", "11"}, "--tr: the repetition time must be from 0.01 to 10 seconds"},
        {{"--tr", "0.0099"}, "--tr: the repetition time must be from 0.01 to 10 seconds"},
        {{"--tr", "10.001"}, "--tr: the repetition time must be from 0.01 to 10 seconds"},
        {{"--resolution", "0"}, "--resolution: 0 is outside 1 to 16"},
        {{"--vmr-dims", "256", "256", "4097"}, "--vmr-dims: 4097 is outside 1 to 4096"},
        {{"--time-points", "many"}, "--time-points: \"many\" is neither a whole number nor cancel"},
        {{"--condition", "2.5"}, "--condition: \"2.5\" is neither a whole number nor cancel"},
        {{"--use-vois", "maybe"}, "--use-vois: \"maybe\" is neither yes nor no"},
        {{"--voi-predictors", "1,,2"}, "--voi-predictors: \"\" is not a whole number"},
        {{"--position", "1", "2"}, "--position needs 3 values"},
        {{"--save", longPath}, "--save: the path is longer than 260 characters"},
        {{"--protocol", ""}, "--protocol needs a value"},
        {{"--cross", "256", "0", "0"}, "--cross: X 256 is outside the VMR (0 to 255)"},
        {{"--cross", "0", "-1", "0"}, "--cross: Y -1 is outside the VMR (0 to 255)"},
        {{"--vtc-box", "0", "10", "20", "10", "0", "10"},
         "--vtc-box: Y range 20 to 10 must lie within the VMR (0 to 256) and not be empty"},
        {{"--vtc-box", "0", "10", "0", "10", "0", "257"},
         "--vtc-box: Z range 0 to 257 must lie within the VMR (0 to 256) and not be empty"},
        {{"--vtc-box", "0", "2", "0", "10", "0", "10"},
         "--vtc-box: X range 0 to 2 holds no voxel at resolution 3"},
        {{"--vmr-dims", "2", "256", "256"},
         "the default VTC box: X range 0 to 2 holds no voxel at resolution 3"},
    };
    for (const Case& c : cases) {
        Result<Options> o = parseCommandLine(c.args);
        ASSERT_FALSE(o) << c.error;
        EXPECT_EQ(o.error(), c.error);
    }
}

// The last accepted value at each end of the ranges refused above.
TEST(Options, RangeEndsAreAccepted) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--tr", "0.01"},
             {"--tr", "10"},
             {"--resolution", "1"},
             {"--resolution", "16", "--vtc-box", "0", "16", "0", "16", "0", "16"},
             {"--vmr-dims", "256", "256", "4096", "--vtc-box", "0", "16", "0", "16", "0", "16"},
             {"--cross", "0", "255", "0"}}) {
        Result<Options> o = parse(args);
        EXPECT_TRUE(o) << args[0] << " " << args[1] << ": " << (o ? "" : o.error());
    }
}

TEST(Options, NoVmrSkipsTheGeometryChecks) {
    Result<Options> o = parse({"--no-vmr", "--cross", "999", "0", "0"});
    ASSERT_TRUE(o) << o.error();
    EXPECT_FALSE(o.value().hasVmr);
}

}  // namespace
}  // namespace simtrove::standin
