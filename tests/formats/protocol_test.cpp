#include "formats/protocol.h"

#include <gtest/gtest.h>

namespace simtrove::formats {
namespace {

TEST(ProtocolText, ReadsConditionsIntervalsCommentsAndBlankLines) {
    const char* text =
        "# block design\r\n"
        "\n"
        "simtrove-protocol 1\n"
        "condition Rest state\n"
        "  1 10\n"
        "  21   30\n"
        "   # a comment inside\n"
        "condition\tTask\n"
        "11 20\n"
        "condition Never\n"
        "condition Last\n"
        "1000000 1000000\n";  // the largest supported volume
    Result<Protocol> p = parseProtocolText(text, "p.prt");
    ASSERT_TRUE(p) << p.error();
    Protocol expected{{{"Rest state", {{1, 10}, {21, 30}}},
                       {"Task", {{11, 20}}},
                       {"Never", {}},
                       {"Last", {{1000000, 1000000}}}}};
    EXPECT_EQ(p.value(), expected);
}

TEST(ProtocolText, FormatReadsBackToTheSameProtocol) {
    Protocol protocol = builtinBlockProtocol(250);
    Result<Protocol> back = parseProtocolText(formatProtocolText(protocol, "two\nlines"), "x");
    ASSERT_TRUE(back) << back.error();
    EXPECT_EQ(back.value(), protocol);
}

TEST(ProtocolText, BuiltinBlocksAlternateAndCoverEveryVolume) {
    Protocol p = builtinBlockProtocol(25);
    ASSERT_EQ(p.conditions.size(), 2u);
    EXPECT_EQ(p.conditions[0], (Condition{"Rest", {{1, 10}, {21, 25}}}));
    EXPECT_EQ(p.conditions[1], (Condition{"Task", {{11, 20}}}));
}

struct Malformed {
    const char* text;
    const char* error;
};

TEST(ProtocolText, EveryMalformedFileNamesFileLineAndProblem) {
    const std::string longName(256, 'n');
    const std::string longNameFile = "simtrove-protocol 1\ncondition " + longName + "\n";
    const Malformed cases[] = {
        {"", "p.prt: empty file; expected \"simtrove-protocol 1\""},
        {"# only a comment\n\n", "p.prt: empty file; expected \"simtrove-protocol 1\""},
        {"simtrove-protocol 1\n", "p.prt: the protocol defines no condition"},
        {"condition A\n1 2\n",
         "p.prt:1: expected \"simtrove-protocol 1\" on the first line, or an events.tsv header row "
         "with onset, duration and trial_type"},
        {"simtrove-protocol 2\n",
         "p.prt:1: unsupported protocol format version \"2\" (this program reads version 1)"},
        {"simtrove-protocol 1\n1 10\n", "p.prt:2: interval before the first condition"},
        {"simtrove-protocol 1\ncondition\n", "p.prt:2: condition without a name"},
        {"simtrove-protocol 1\ncondition A\n1 2 3\n",
         "p.prt:3: expected \"condition NAME\" or \"FIRST LAST\", got \"1 2 3\""},
        {"simtrove-protocol 1\ncondition A\n5\n",
         "p.prt:3: expected \"condition NAME\" or \"FIRST LAST\", got \"5\""},
        {"simtrove-protocol 1\ncondition A\n1 x\n", "p.prt:3: \"x\" is not a whole number"},
        {"simtrove-protocol 1\ncondition A\nconditon B\n",
         "p.prt:3: expected \"condition NAME\" or \"FIRST LAST\", got \"conditon B\""},
        {"simtrove-protocol 1\ncondition A\n1.5 3\n", "p.prt:3: \"1.5\" is not a whole number"},
        {"simtrove-protocol 1\ncondition A\n1 99999999999\n",
         "p.prt:3: \"99999999999\" is not a whole number"},
        {"simtrove-protocol 1\ncondition A\n0 3\n",
         "p.prt:3: interval starts at volume 0; volumes are numbered from 1"},
        {"simtrove-protocol 1\ncondition A\n30 20\n",
         "p.prt:3: interval 30 20 ends before it starts"},
        {"simtrove-protocol 1\ncondition A\n1 1000001\n",
         "p.prt:3: volume 1000001 is beyond the largest supported volume 1000000"},
        {"simtrove-protocol 1\ncondition A\n1 2\ncondition A\n",
         "p.prt:4: condition \"A\" is defined twice (first on line 2)"},
        {longNameFile.c_str(), "p.prt:2: condition name is longer than 255 characters"},
    };
    for (const Malformed& c : cases) {
        Result<Protocol> p = parseProtocolText(c.text, "p.prt");
        ASSERT_FALSE(p) << c.text;
        EXPECT_EQ(p.error(), c.error) << c.text;
    }
    std::string withNul = "simtrove-protocol 1\ncondition A\n1 2";
    withNul += '\0';
    withNul += "\n";
    EXPECT_EQ(parseProtocolText(withNul, "p.prt").error(), "p.prt:3: contains a NUL byte");
}

TEST(EventsTsv, ConvertsSecondsToVolumesWithTheRepetitionTime) {
    // Volume k covers [(k-1) tr, k tr): with tr 2 s an event at 20 s lasting 20 s
    // covers volumes 11 to 20; one starting at 1 s for 2 s covers volumes 1 and 2.
    const char* text =
        "onset\tduration\ttrial_type\tresponse_time\n"
        "0\t2\tRest\t n/a\n"
        "20\t20\tTask\t1.2\n"
        "1\t2\tRest\t0.5\n"
        "\n"
        "50.5\t0\tTask\t0\n";
    Result<Protocol> p = parseEventsTsv(text, "e.tsv", 2.0);
    ASSERT_TRUE(p) << p.error();
    Protocol expected{{{"Rest", {{1, 1}, {1, 2}}}, {"Task", {{11, 20}, {26, 26}}}}};
    EXPECT_EQ(p.value(), expected);
}

// Events built to sit exactly on, just inside and just past the edges of
// volume 1 = [0, 2) s and of the largest volume, 1000000 = [1999998, 2000000) s.
TEST(EventsTsv, EventsAtTheEdgesOfVolumesCoverExactlyTheirVolumes) {
    struct Case {
        const char* onset;
        const char* duration;
        Interval covered;  // {0, 0}: refused
    } cases[] = {
        {"0", "0", {1, 1}},
        {"0", "0.000001", {1, 1}},  // just above 0
        {"0", "2", {1, 1}},         // ends on the edge: its last instant is in volume 1
        {"0", "2.000001", {1, 2}},
        {"1.999999", "0", {1, 1}},
        {"1.999999", "0.000002", {1, 2}},
        {"2", "0", {2, 2}},
        {"1999998", "2", {1000000, 1000000}},
        {"1999998", "2.000001", {0, 0}},
        {"2000000", "0", {0, 0}},
    };
    for (const Case& c : cases) {
        const std::string text =
            std::string("onset\tduration\ttrial_type\n") + c.onset + "\t" + c.duration + "\tA\n";
        Result<Protocol> p = parseEventsTsv(text, "e.tsv", 2.0);
        if (c.covered.first == 0) {
            EXPECT_FALSE(p) << c.onset << " " << c.duration;
            continue;
        }
        ASSERT_TRUE(p) << p.error();
        EXPECT_EQ(p.value().conditions[0].intervals[0], c.covered) << c.onset << " " << c.duration;
    }
}

TEST(EventsTsv, OnsetsOnVolumeBoundariesSurviveBinaryRounding) {
    // 0.3 / 0.1 is 2.9999999999999996 in binary; the event still starts in volume 4.
    Result<Protocol> p = parseEventsTsv("trial_type\tonset\tduration\nA\t0.3\t0.2\n", "e.tsv", 0.1);
    ASSERT_TRUE(p) << p.error();
    EXPECT_EQ(p.value().conditions[0].intervals[0], (Interval{4, 5}));
    // 7.2 / 0.72 is 10.000000000000002: volume 11 still starts at 7.2 s.
    Result<Protocol> q =
        parseEventsTsv("onset\tduration\ttrial_type\n7.2\t0.72\tA\n", "e.tsv", 0.72);
    ASSERT_TRUE(q) << q.error();
    EXPECT_EQ(q.value().conditions[0].intervals[0], (Interval{11, 11}));
}

TEST(EventsTsv, EveryMalformedTableNamesFileLineAndProblem) {
    const Malformed cases[] = {
        {"", "e.tsv:1: expected a header row with onset, duration and trial_type"},
        {"onset\tduration\n1\t2\n", "e.tsv:1: the header has no \"trial_type\" column"},
        {"onset\ttrial_type\n", "e.tsv:1: the header has no \"duration\" column"},
        {"onset\tduration\ttrial_type\tonset\n", "e.tsv:1: column \"onset\" appears twice"},
        {"onset\tduration\ttrial_type\n", "e.tsv: no events"},
        {"onset\tduration\ttrial_type\n1\t2\n",
         "e.tsv:2: expected 3 tab-separated fields, found 2"},
        {"onset\tduration\ttrial_type\n1\t2\tA\tB\n",
         "e.tsv:2: expected 3 tab-separated fields, found 4"},
        {"onset\tduration\ttrial_type\nsoon\t2\tA\n", "e.tsv:2: onset \"soon\" is not a number"},
        {"onset\tduration\ttrial_type\n1\tn/a\tA\n", "e.tsv:2: duration \"n/a\" is not a number"},
        {"onset\tduration\ttrial_type\n1\tinf\tA\n", "e.tsv:2: duration \"inf\" is not a number"},
        {"onset\tduration\ttrial_type\n-1\t2\tA\n",
         "e.tsv:2: onset must not be negative, got \"-1\""},
        {"onset\tduration\ttrial_type\n1\t-2\tA\n",
         "e.tsv:2: duration must not be negative, got \"-2\""},
        {"onset\tduration\ttrial_type\n1\t2\t \n", "e.tsv:2: trial_type is empty"},
        {"onset\tduration\ttrial_type\n1\t2\tn/a\n",
         "e.tsv:2: trial_type \"n/a\" names no condition"},
        {"onset\tduration\ttrial_type\n1\t2\tA\n2000000\t1\tA\n",
         "e.tsv:3: the event reaches beyond the largest supported volume 1000000"},
        {"onset\tduration\ttrial_type\n1\t1e308\tA\n",
         "e.tsv:2: the event reaches beyond the largest supported volume 1000000"},
    };
    for (const Malformed& c : cases) {
        Result<Protocol> p = parseEventsTsv(c.text, "e.tsv", 2.0);
        ASSERT_FALSE(p) << c.text;
        EXPECT_EQ(p.error(), c.error) << c.text;
    }
    EXPECT_EQ(parseEventsTsv("onset\tduration\ttrial_type\n1\t2\tA\n", "e.tsv", 0.0).error(),
              "e.tsv: the repetition time must be positive");
}

TEST(ProtocolFile, TellsTheFormatsApartByContent) {
    EXPECT_TRUE(looksLikeEventsTsv("\xEF\xBB\xBF\nonset\tduration\ttrial_type\n"));
    EXPECT_FALSE(looksLikeEventsTsv("simtrove-protocol 1\n"));
    EXPECT_FALSE(looksLikeEventsTsv("onset duration trial_type\n"));  // no tabs
    Result<Protocol> tsv = parseProtocolFile("onset\tduration\ttrial_type\n4\t4\tA\n", "f", 2.0);
    ASSERT_TRUE(tsv) << tsv.error();
    EXPECT_EQ(tsv.value().conditions[0].intervals[0], (Interval{3, 4}));
    Result<Protocol> text = parseProtocolFile("simtrove-protocol 1\ncondition A\n3 4\n", "f", 2.0);
    ASSERT_TRUE(text) << text.error();
    EXPECT_EQ(text.value(), tsv.value());
}

}  // namespace
}  // namespace simtrove::formats
