// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "printer_commands.h"

#include <vector>

namespace zelp::test::wire {
namespace {

// Each entry: the command bytes in hex, "" for none; the index is the
// option's choice number.
const std::vector<const char*> kFeeds = {
    "",       "1B6401", "1B6402", "1B6403", "1B6404", "1B6405", "1B640A", "1B640F", "1B6414", "1B6419",
    "1B641E", "1B643C", "1B645A", "1B6478", "1B6496", "1B64B4", "1B64D2", "1B64F0", "1B64F01B641E",
    "1B64F01B643C",
};
const std::vector<const char*> kBeeps = {
    "", "1B420101", "1B420201", "1B420301", "1B420401", "1B420501", "1B420601", "1B420701", "1B420801", "1B420901",
};
const std::vector<const char*> kDrawers = {
    "", "1B70001032", "1B70011032", "1B700010321B70011032", "1B70001032", "1B70011032", "1B700010321B70011032",
};
const std::vector<const char*> kLogos = {
    "", "1C700100", "1C700200", "1C700300", "1C700400", "1C700500", "1C700600", "1C700700", "1C700800",
};
// Cutting 0-14: after every page, and once at job end.
const std::vector<const char*> kPageEndCuts = {
    "", "", "", "", "", "", "", "1B64041B69", "1B64041B6D", "0C1B69", "0C1B6D", "0E", "0E", "0E1B69", "0E1B6D",
};
const std::vector<const char*> kJobEndCuts = {
    "", "0E1B69", "0E1B6D", "0C1B69", "0C1B6D", "1B64041B69", "1B64041B6D", "", "", "", "", "1B69", "1B6D", "", "",
};

std::string FromHex(const char* hex) {
    std::string bytes;
    for (const char* p = hex; p[0] != '\0' && p[1] != '\0'; p += 2) {
        bytes.push_back(static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16)));
    }
    return bytes;
}

std::string Entry(const std::vector<const char*>& table, int32_t choice) {
    if (choice < 0 || static_cast<size_t>(choice) >= table.size()) return "";
    return FromHex(table[static_cast<size_t>(choice)]);
}

}  // namespace

std::string Init() { return FromHex("1B40"); }
std::string Feed(int32_t choice) { return Entry(kFeeds, choice); }
std::string Beeper(int32_t choice) { return Entry(kBeeps, choice); }
std::string CashDrawer(int32_t choice) { return Entry(kDrawers, choice); }
std::string Logo(int32_t choice) { return Entry(kLogos, choice); }
std::string PageEndCut(int32_t cutting) { return Entry(kPageEndCuts, cutting); }
std::string JobEndCut(int32_t cutting) { return Entry(kJobEndCuts, cutting); }

}  // namespace zelp::test::wire
