// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Every printer byte apart from the page raster comes from these tables.
#include <cstddef>

#include "zelp_commands.h"

namespace {

#define ZELP_CMD(bytes) command{static_cast<int32_t>(sizeof(bytes)), bytes}
constexpr command kNone{0, nullptr};

const unsigned char kInit[] = {0x1B, 0x40};  // ESC @

// Cutter: 0E / FF / ESC d 4 before ESC i (partial, one point) or ESC m (three points).
const unsigned char k0EFullCut[] = {0x0E, 0x1B, 0x69};
const unsigned char k0EPartCut[] = {0x0E, 0x1B, 0x6D};
const unsigned char kFFFullCut[] = {0x0C, 0x1B, 0x69};
const unsigned char kFFPartCut[] = {0x0C, 0x1B, 0x6D};
const unsigned char kFeed4FullCut[] = {0x1B, 0x64, 0x04, 0x1B, 0x69};
const unsigned char kFeed4PartCut[] = {0x1B, 0x64, 0x04, 0x1B, 0x6D};
const unsigned char k0E[] = {0x0E};
const unsigned char kFullCut[] = {0x1B, 0x69};
const unsigned char kPartCut[] = {0x1B, 0x6D};

// ESC d n: print and feed n lines.
const unsigned char kFeed1[] = {0x1B, 0x64, 1};
const unsigned char kFeed2[] = {0x1B, 0x64, 2};
const unsigned char kFeed3[] = {0x1B, 0x64, 3};
const unsigned char kFeed4[] = {0x1B, 0x64, 4};
const unsigned char kFeed5[] = {0x1B, 0x64, 5};
const unsigned char kFeed10[] = {0x1B, 0x64, 10};
const unsigned char kFeed15[] = {0x1B, 0x64, 15};
const unsigned char kFeed20[] = {0x1B, 0x64, 20};
const unsigned char kFeed25[] = {0x1B, 0x64, 25};
const unsigned char kFeed30[] = {0x1B, 0x64, 30};
const unsigned char kFeed60[] = {0x1B, 0x64, 60};
const unsigned char kFeed90[] = {0x1B, 0x64, 90};
const unsigned char kFeed120[] = {0x1B, 0x64, 120};
const unsigned char kFeed150[] = {0x1B, 0x64, 150};
const unsigned char kFeed180[] = {0x1B, 0x64, 180};
const unsigned char kFeed210[] = {0x1B, 0x64, 210};
const unsigned char kFeed240[] = {0x1B, 0x64, 240};
// ESC d takes one byte, so the longest feeds are two commands.
const unsigned char kFeed270[] = {0x1B, 0x64, 240, 0x1B, 0x64, 30};
const unsigned char kFeed300[] = {0x1B, 0x64, 240, 0x1B, 0x64, 60};

// ESC B n t: beep n times, t x 100 ms.
const unsigned char kBeep1[] = {0x1B, 0x42, 1, 1};
const unsigned char kBeep2[] = {0x1B, 0x42, 2, 1};
const unsigned char kBeep3[] = {0x1B, 0x42, 3, 1};
const unsigned char kBeep4[] = {0x1B, 0x42, 4, 1};
const unsigned char kBeep5[] = {0x1B, 0x42, 5, 1};
const unsigned char kBeep6[] = {0x1B, 0x42, 6, 1};
const unsigned char kBeep7[] = {0x1B, 0x42, 7, 1};
const unsigned char kBeep8[] = {0x1B, 0x42, 8, 1};
const unsigned char kBeep9[] = {0x1B, 0x42, 9, 1};

// ESC p m t1 t2: drawer kick on pin 2 (m 0) or pin 5 (m 1), 32 ms on, 100 ms off.
const unsigned char kDrawerPin2[] = {0x1B, 0x70, 0x00, 0x10, 0x32};
const unsigned char kDrawerPin5[] = {0x1B, 0x70, 0x01, 0x10, 0x32};
const unsigned char kDrawerBoth[] = {0x1B, 0x70, 0x00, 0x10, 0x32, 0x1B, 0x70, 0x01, 0x10, 0x32};

// FS p n m: print stored logo n in normal mode.
const unsigned char kLogo1[] = {0x1C, 0x70, 1, 0};
const unsigned char kLogo2[] = {0x1C, 0x70, 2, 0};
const unsigned char kLogo3[] = {0x1C, 0x70, 3, 0};
const unsigned char kLogo4[] = {0x1C, 0x70, 4, 0};
const unsigned char kLogo5[] = {0x1C, 0x70, 5, 0};
const unsigned char kLogo6[] = {0x1C, 0x70, 6, 0};
const unsigned char kLogo7[] = {0x1C, 0x70, 7, 0};
const unsigned char kLogo8[] = {0x1C, 0x70, 8, 0};

// GS ( K pL pH fn m, fn 49: print density against the printer's standard
// (m 252, 254: 80 and 90 %; 2, 4: 110 and 120 %).
const unsigned char kDensity80[] = {0x1D, 0x28, 0x4B, 0x02, 0x00, 0x31, 252};
const unsigned char kDensity90[] = {0x1D, 0x28, 0x4B, 0x02, 0x00, 0x31, 254};
const unsigned char kDensity110[] = {0x1D, 0x28, 0x4B, 0x02, 0x00, 0x31, 2};
const unsigned char kDensity120[] = {0x1D, 0x28, 0x4B, 0x02, 0x00, 0x31, 4};

// GS ( K pL pH fn m, fn 50: print speed level m, 1 the slowest.
const unsigned char kSpeed1[] = {0x1D, 0x28, 0x4B, 0x02, 0x00, 0x32, 1};
const unsigned char kSpeed3[] = {0x1D, 0x28, 0x4B, 0x02, 0x00, 0x32, 3};
const unsigned char kSpeed5[] = {0x1D, 0x28, 0x4B, 0x02, 0x00, 0x32, 5};
const unsigned char kSpeed7[] = {0x1D, 0x28, 0x4B, 0x02, 0x00, 0x32, 7};
const unsigned char kSpeed9[] = {0x1D, 0x28, 0x4B, 0x02, 0x00, 0x32, 9};


const command kPageEndCuts[] = {
    kNone, kNone, kNone, kNone, kNone, kNone, kNone,
    ZELP_CMD(kFeed4FullCut),  ZELP_CMD(kFeed4PartCut),  ZELP_CMD(kFFFullCut),
    ZELP_CMD(kFFPartCut),     ZELP_CMD(k0E),            ZELP_CMD(k0E),
    ZELP_CMD(k0EFullCut),     ZELP_CMD(k0EPartCut),
};

const command kJobEndCuts[] = {
    kNone,                    ZELP_CMD(k0EFullCut),     ZELP_CMD(k0EPartCut),
    ZELP_CMD(kFFFullCut),     ZELP_CMD(kFFPartCut),     ZELP_CMD(kFeed4FullCut),
    ZELP_CMD(kFeed4PartCut),  kNone, kNone, kNone, kNone,
    ZELP_CMD(kFullCut),       ZELP_CMD(kPartCut),
};

const command kFeeds[] = {
    kNone,               ZELP_CMD(kFeed1),    ZELP_CMD(kFeed2),    ZELP_CMD(kFeed3),
    ZELP_CMD(kFeed4),    ZELP_CMD(kFeed5),    ZELP_CMD(kFeed10),   ZELP_CMD(kFeed15),
    ZELP_CMD(kFeed20),   ZELP_CMD(kFeed25),   ZELP_CMD(kFeed30),   ZELP_CMD(kFeed60),
    ZELP_CMD(kFeed90),   ZELP_CMD(kFeed120),  ZELP_CMD(kFeed150),  ZELP_CMD(kFeed180),
    ZELP_CMD(kFeed210),  ZELP_CMD(kFeed240),  ZELP_CMD(kFeed270),  ZELP_CMD(kFeed300),
};

const command kBeeps[] = {
    kNone,             ZELP_CMD(kBeep1),  ZELP_CMD(kBeep2),  ZELP_CMD(kBeep3),  ZELP_CMD(kBeep4),
    ZELP_CMD(kBeep5),  ZELP_CMD(kBeep6),  ZELP_CMD(kBeep7),  ZELP_CMD(kBeep8),  ZELP_CMD(kBeep9),
};

// CashDrawer 1 to 3 open at job start, 4 to 6 at job end.
const command kJobStartDrawers[] = {
    kNone, ZELP_CMD(kDrawerPin2), ZELP_CMD(kDrawerPin5), ZELP_CMD(kDrawerBoth),
};
const command kJobEndDrawers[] = {
    kNone, kNone, kNone, kNone, ZELP_CMD(kDrawerPin2), ZELP_CMD(kDrawerPin5), ZELP_CMD(kDrawerBoth),
};

const command kLogos[] = {
    kNone,             ZELP_CMD(kLogo1),  ZELP_CMD(kLogo2),  ZELP_CMD(kLogo3),  ZELP_CMD(kLogo4),
    ZELP_CMD(kLogo5),  ZELP_CMD(kLogo6),  ZELP_CMD(kLogo7),  ZELP_CMD(kLogo8),
};

const command kDensities[] = {
    kNone, ZELP_CMD(kDensity80), ZELP_CMD(kDensity90), ZELP_CMD(kDensity110), ZELP_CMD(kDensity120),
};

const command kSpeeds[] = {
    kNone, ZELP_CMD(kSpeed1), ZELP_CMD(kSpeed3), ZELP_CMD(kSpeed5), ZELP_CMD(kSpeed7), ZELP_CMD(kSpeed9),
};

template <size_t N>
constexpr ZelpCommandTable Table(const command (&entries)[N]) {
    return ZelpCommandTable{entries, static_cast<int32_t>(N)};
}

}  // namespace

const command printerInitializeCommand = ZELP_CMD(kInit);
const ZelpCommandTable pageEndCutCommand = Table(kPageEndCuts);
const ZelpCommandTable jobEndCutCommand = Table(kJobEndCuts);
const ZelpCommandTable feedCommand = Table(kFeeds);
const ZelpCommandTable beeperCommand = Table(kBeeps);
const ZelpCommandTable jobStartDrawerCommand = Table(kJobStartDrawers);
const ZelpCommandTable jobEndDrawerCommand = Table(kJobEndDrawers);
const ZelpCommandTable logoCommand = Table(kLogos);
const ZelpCommandTable densityCommand = Table(kDensities);
const ZelpCommandTable speedCommand = Table(kSpeeds);

command tableEntry(const ZelpCommandTable& table, int32_t index) {
    if (index < 0 || index >= table.count) return kNone;
    return table.entries[index];
}
