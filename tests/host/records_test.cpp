#include "host/records.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The layouts are checked at compile time in the header; these check what the
// layout means: how sizes derive from a header and that a path of the full
// capacity fits the linked-protocol field.
TEST(RecordsTest, GridSizesTruncateTowardZero) {
    vtc_header header{};
    header.XStart = 0;
    header.XEnd = 256;
    header.Resolution = 3;
    EXPECT_EQ((header.XEnd - header.XStart) / header.Resolution, 85);
}

TEST(RecordsTest, LongestPathFitsTheLinkedProtocolField) {
    vtc_header header{};
    std::memset(&header, 0x5A, sizeof header);
    char path[kHostPathCapacity];
    std::memset(path, 'p', sizeof path - 1);
    path[sizeof path - 1] = '\0';
    std::strcpy(header.LinkedProtocolFile, path);
    EXPECT_EQ(std::strlen(header.LinkedProtocolFile), 260u);
    // The bytes behind the text keep what the host wrote.
    EXPECT_EQ(static_cast<unsigned char>(header.LinkedProtocolFile[261]), 0x5A);
    EXPECT_LE(offsetof(vtc_header, LinkedProtocolFile) + kHostPathCapacity, sizeof header);
}

}  // namespace
