// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The printer's command set (ESC/POS plus the vendor black-mark family) and
// the four framing operations that wrap the job and every page.
#ifndef ZELP_FILTER_COMMANDS_H
#define ZELP_FILTER_COMMANDS_H

#include <cstdint>

#include "printer_output.h"
#include "zelp_settings.h"

// One printer command or command group; a count of 0 sends nothing.
struct command {
    int32_t count;
    const unsigned char* bytes;
};

constexpr int kCutCommandCount = 16;
constexpr int kFeedCommandCount = 32;
constexpr int kBeeperCommandCount = 16;
constexpr int kCashDrawerCommandCount = 16;
constexpr int kLogoCommandCount = 16;

extern const command printerInitializeCommand;
extern const command cutCommand[kCutCommandCount];
extern const command feedCommand[kFeedCommandCount];
extern const command beeperCommand[kBeeperCommandCount];
extern const command cashDrawerCommand[kCashDrawerCommandCount];
extern const command logoCommand[kLogoCommandCount];
// What each Cutting mode sends after every page and once at job end.
extern const command pageEndCutCommand[kCutCommandCount];
extern const command jobEndCutCommand[kCutCommandCount];

// The table entry at `index`, or an empty command for an index outside it
// (-1, the value of an option the PPD file lacks, among them).
command tableEntry(const command* table, int count, int32_t index);

// Adds the command's bytes to the job's printer output.
inline void outputCommand(ZelpOutput& out, command cmd) {
    if (cmd.count > 0) out.Put(cmd.bytes, static_cast<size_t>(cmd.count));
}

// Page-start black-mark bytes for a BMSetting value (1: full set-up, 2: mode
// command alone); writes them into `out` (at least kBlackMarkMaxBytes) and
// returns their count, 0 for every other BMSetting.
constexpr int kBlackMarkMaxBytes = 35;
int BuildBlackMarkSetup(const ZELP_Init_Setting& settings, unsigned char* out);

// The framing sequences; `canceled` is the job's state as the caller found
// it (the page start is sent in full whatever it is).
void jobSetup(ZelpOutput& out, const ZELP_Init_Setting& settings, bool canceled);
void ZelpPageSetup(ZelpOutput& out, const ZELP_Init_Setting& settings);
void endPage(ZelpOutput& out, const ZELP_Init_Setting& settings, bool canceled);
void endJob(ZelpOutput& out, const ZELP_Init_Setting& settings, bool canceled);

#endif
