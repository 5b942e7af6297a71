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

// What each choice number of an option sends, the number the index.
struct ZelpCommandTable {
    const command* entries;
    int32_t count;
};

extern const command printerInitializeCommand;
extern const ZelpCommandTable feedCommand;     // ESC d: lines fed
extern const ZelpCommandTable beeperCommand;   // ESC B: beeps
extern const ZelpCommandTable logoCommand;     // FS p: stored logos
// ESC p: drawer kicks of the CashDrawer modes that open at job start, and
// of those that open at job end.
extern const ZelpCommandTable jobStartDrawerCommand;
extern const ZelpCommandTable jobEndDrawerCommand;
// What each Cutting mode sends after every page and once at job end.
extern const ZelpCommandTable pageEndCutCommand;
extern const ZelpCommandTable jobEndCutCommand;
// GS ( K: print density and print speed; choice 0 sends nothing, so the
// printer keeps its own setting.
extern const ZelpCommandTable densityCommand;
extern const ZelpCommandTable speedCommand;

// The table entry at `index`, or an empty command for an index outside it
// (-1, the value of an option the PPD file lacks, among them).
command tableEntry(const ZelpCommandTable& table, int32_t index);

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
// it (the page start is sent in full whatever it is). Each sends ESC @ where
// it has to and then, in the option table's order for that point, what
// every option sends there.
void jobSetup(ZelpOutput& out, const ZELP_Init_Setting& settings, bool canceled);
void ZelpPageSetup(ZelpOutput& out, const ZELP_Init_Setting& settings);
void endPage(ZelpOutput& out, const ZELP_Init_Setting& settings, bool canceled);
void endJob(ZelpOutput& out, const ZELP_Init_Setting& settings, bool canceled);

#endif
