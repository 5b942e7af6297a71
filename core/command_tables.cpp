// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Every printer byte apart from the page raster comes from these tables.
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

}  // namespace

const command printerInitializeCommand = ZELP_CMD(kInit);

const command cutCommand[kCutCommandCount] = {
    kNone,                    ZELP_CMD(k0EFullCut),     ZELP_CMD(k0EPartCut),
    ZELP_CMD(kFFFullCut),     ZELP_CMD(kFFPartCut),     ZELP_CMD(kFeed4FullCut),
    ZELP_CMD(kFeed4PartCut),  ZELP_CMD(kFeed4FullCut),  ZELP_CMD(kFeed4PartCut),
    ZELP_CMD(kFFFullCut),     ZELP_CMD(kFFPartCut),
};

// What each Cutting mode sends after every page (modes 7 to 14).
const command pageEndCutCommand[kCutCommandCount] = {
    kNone, kNone, kNone, kNone, kNone, kNone, kNone,
    ZELP_CMD(kFeed4FullCut),  ZELP_CMD(kFeed4PartCut),  ZELP_CMD(kFFFullCut),
    ZELP_CMD(kFFPartCut),     ZELP_CMD(k0E),            ZELP_CMD(k0E),
    ZELP_CMD(k0EFullCut),     ZELP_CMD(k0EPartCut),
};

// What each Cutting mode sends once at job end (modes 1 to 6, 11 and 12).
const command jobEndCutCommand[kCutCommandCount] = {
    kNone,                    ZELP_CMD(k0EFullCut),     ZELP_CMD(k0EPartCut),
    ZELP_CMD(kFFFullCut),     ZELP_CMD(kFFPartCut),     ZELP_CMD(kFeed4FullCut),
    ZELP_CMD(kFeed4PartCut),  kNone, kNone, kNone, kNone,
    ZELP_CMD(kFullCut),       ZELP_CMD(kPartCut),
};

const command feedCommand[kFeedCommandCount] = {
    kNone,               ZELP_CMD(kFeed1),    ZELP_CMD(kFeed2),    ZELP_CMD(kFeed3),
    ZELP_CMD(kFeed4),    ZELP_CMD(kFeed5),    ZELP_CMD(kFeed10),   ZELP_CMD(kFeed15),
    ZELP_CMD(kFeed20),   ZELP_CMD(kFeed25),   ZELP_CMD(kFeed30),   ZELP_CMD(kFeed60),
    ZELP_CMD(kFeed90),   ZELP_CMD(kFeed120),  ZELP_CMD(kFeed150),  ZELP_CMD(kFeed180),
    ZELP_CMD(kFeed210),  ZELP_CMD(kFeed240),  ZELP_CMD(kFeed270),  ZELP_CMD(kFeed300),
};

const command beeperCommand[kBeeperCommandCount] = {
    kNone,             ZELP_CMD(kBeep1),  ZELP_CMD(kBeep2),  ZELP_CMD(kBeep3),  ZELP_CMD(kBeep4),
    ZELP_CMD(kBeep5),  ZELP_CMD(kBeep6),  ZELP_CMD(kBeep7),  ZELP_CMD(kBeep8),  ZELP_CMD(kBeep9),
};

const command cashDrawerCommand[kCashDrawerCommandCount] = {
    kNone,                  ZELP_CMD(kDrawerPin2),  ZELP_CMD(kDrawerPin5),  ZELP_CMD(kDrawerBoth),
    ZELP_CMD(kDrawerPin2),  ZELP_CMD(kDrawerPin5),  ZELP_CMD(kDrawerBoth),
};

const command logoCommand[kLogoCommandCount] = {
    kNone,             ZELP_CMD(kLogo1),  ZELP_CMD(kLogo2),  ZELP_CMD(kLogo3),  ZELP_CMD(kLogo4),
    ZELP_CMD(kLogo5),  ZELP_CMD(kLogo6),  ZELP_CMD(kLogo7),  ZELP_CMD(kLogo8),
};

command tableEntry(const command* table, int count, int32_t index) {
    if (index < 0 || index >= count) return kNone;
    return table[index];
}
