// Fixed-layout records exchanged with the host.
//
// These are wire formats shared with a separately built module: every named
// field sits at its stated byte offset and every record has its stated total
// size. Integers are 32-bit signed little-endian, floats IEEE single, texts
// NUL-terminated bytes. Byte ranges the plug-in never touches are kept as
// opaque "host" bytes so that a header goes back to the host exactly as it came.
// No record holds a pointer, so the layouts are the same on 32- and 64-bit builds.
#pragma once

#include <cstddef>
#include <cstdint>

// Header of the VTC of the current VMR; 848 bytes.
struct vtc_header {
    std::uint8_t host0[4];         // 0: host field
    std::int32_t NrOfTimePoints;   // 4: volumes; length of every voxel time course
    std::uint8_t host8[12];        // 8: host fields
    std::int32_t XStart;           // 20: first VMR x covered by the VTC
    std::int32_t XEnd;             // 24: end of the covered x range (exclusive)
    std::int32_t YStart;           // 28: as XStart, along y
    std::int32_t YEnd;             // 32: as XEnd, along y
    std::int32_t ZStart;           // 36: as XStart, along z
    std::int32_t ZEnd;             // 40: as XEnd, along z
    std::int32_t Resolution;       // 44: VTC voxel edge in VMR voxels (divisor)
    std::uint8_t host48[276];      // 48: host fields
    char LinkedProtocolFile[524];  // 324: linked protocol path, NUL-terminated
};

// Header of the current protocol; 596 bytes.
struct prt_header {
    std::int32_t NrOfConditions;  // 0: conditions, addressed 0..NrOfConditions-1
    std::uint8_t host4[592];      // 4: host fields
};

// One condition of the current protocol; 272 bytes. The host bounds the name
// within the record; readers still never look past its last byte.
struct prtcond_header {
    char ConditionName[272];  // 0: name, NUL-terminated, followed by host fields
};

// The current set of volumes of interest; 312 bytes.
struct vois_header {
    std::int32_t NrOfVOIs;         // 0: VOIs, addressed 0..NrOfVOIs-1
    std::uint8_t host4[268];       // 4: host fields
    std::int32_t CoordinateSpace;  // 272: 3 selects the mirrored coordinate conversion
    std::uint8_t host276[36];      // 276: host fields
};

// One volume of interest; 264 bytes.
struct voi_header {
    std::int32_t NrOfVoxels;  // 0: entries (3 ints each) of the voxel array
    char VOIName[260];        // 4: name, NUL-terminated
};

static_assert(sizeof(vtc_header) == 848);
static_assert(offsetof(vtc_header, NrOfTimePoints) == 4);
static_assert(offsetof(vtc_header, XStart) == 20);
static_assert(offsetof(vtc_header, XEnd) == 24);
static_assert(offsetof(vtc_header, YStart) == 28);
static_assert(offsetof(vtc_header, YEnd) == 32);
static_assert(offsetof(vtc_header, ZStart) == 36);
static_assert(offsetof(vtc_header, ZEnd) == 40);
static_assert(offsetof(vtc_header, Resolution) == 44);
static_assert(offsetof(vtc_header, LinkedProtocolFile) == 324);
static_assert(sizeof(prt_header) == 596);
static_assert(offsetof(prt_header, NrOfConditions) == 0);
static_assert(sizeof(prtcond_header) == 272);
static_assert(offsetof(prtcond_header, ConditionName) == 0);
static_assert(sizeof(vois_header) == 312);
static_assert(offsetof(vois_header, NrOfVOIs) == 0);
static_assert(offsetof(vois_header, CoordinateSpace) == 272);
static_assert(sizeof(voi_header) == 264);
static_assert(offsetof(voi_header, NrOfVoxels) == 0);
static_assert(offsetof(voi_header, VOIName) == 4);

// Capacity of every path buffer the host fills (260 characters and the NUL).
inline constexpr std::size_t kHostPathCapacity = 261;
