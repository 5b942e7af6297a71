// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "printer_commands.h"

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
const std::vector<const char*> kLogos = {
    "", "1C700100", "1C700200", "1C700300", "1C700400", "1C700500", "1C700600", "1C700700", "1C700800",
};

struct Row {
    const char* keyword;
    Point point;
    std::vector<const char*> bytes;
};

// In the order the printer gets them at each point. GS ( K fn 49 density:
// 80, 90, 110, 120 %; fn 50 speed levels 1, 3, 5, 7, 9. Drawer kicks:
// pin 2, pin 5, both; 1-3 at job start, 4-6 at job end.
const Row kRows[] = {
    {"Darkness", Point::kJobStart, {"", "1D284B020031FC", "1D284B020031FE", "1D284B02003102", "1D284B02003104"}},
    {"Speed", Point::kJobStart,
     {"", "1D284B02003201", "1D284B02003203", "1D284B02003205", "1D284B02003207", "1D284B02003209"}},
    {"FeedDist_B", Point::kJobStart, kFeeds},
    {"CashDrawer", Point::kJobStart, {"", "1B70001032", "1B70011032", "1B700010321B70011032"}},
    {"Logo", Point::kPageStart, kLogos},
    {"Logo_A", Point::kPageEnd, kLogos},
    {"FeedDist", Point::kPageEnd, kFeeds},
    {"Cutting", Point::kPageEnd,
     {"", "", "", "", "", "", "", "1B64041B69", "1B64041B6D", "0C1B69", "0C1B6D", "0E", "0E", "0E1B69", "0E1B6D"}},
    {"Beeper", Point::kJobEnd, kBeeps},
    {"CashDrawer", Point::kJobEnd,
     {"", "", "", "", "1B70001032", "1B70011032", "1B700010321B70011032"}},
    {"Cutting", Point::kJobEnd,
     {"", "0E1B69", "0E1B6D", "0C1B69", "0C1B6D", "1B64041B69", "1B64041B6D", "", "", "", "", "1B69", "1B6D"}},
};

const char* const kBlackMarkOptions[] = {"BMSetting", "BMHeight", "BMOffset", "BMDistance"};

int32_t Value(const Values& values, const char* keyword) {
    const auto found = values.find(keyword);
    return found == values.end() ? -1 : found->second;
}

std::string Entry(const std::vector<const char*>& table, int32_t choice) {
    if (choice < 0 || static_cast<size_t>(choice) >= table.size()) return "";
    return FromHex(table[static_cast<size_t>(choice)]);
}

std::string Byte(uint32_t value) { return std::string(1, static_cast<char>(value & 0xFF)); }

}  // namespace

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::string Init() { return FromHex("1B40"); }

std::string BlackMark(int32_t setting, int32_t height, int32_t offset, int32_t distance) {
    if (setting == 2) return FromHex("1F1B1F8004050666");
    if (setting != 1) return "";
    const uint32_t h = static_cast<uint32_t>(height) + 5u;
    const uint32_t n = static_cast<uint32_t>(offset) + 35u;
    const int32_t d = static_cast<int32_t>(static_cast<uint32_t>(distance) * 50u + 150u);
    const int32_t high = d / 256;  // truncated toward zero
    return FromHex("1F1B1F8004050644") + FromHex("1F1B1F8204050600") + Byte(h) + FromHex("1D284604000100") +
           Byte(n) + FromHex("00") + FromHex("1F1B1F81040506") + Byte(static_cast<uint32_t>(high)) +
           Byte(static_cast<uint32_t>(d));
}

std::string At(Point point, const Values& values) {
    std::string bytes;
    if (point == Point::kPageStart) {
        bytes += BlackMark(Value(values, "BMSetting"), Value(values, "BMHeight"), Value(values, "BMOffset"),
                           Value(values, "BMDistance"));
    }
    for (const Row& row : kRows) {
        if (row.point == point) bytes += Entry(row.bytes, Value(values, row.keyword));
    }
    return bytes;
}

std::vector<std::string> FramingOptions() {
    std::vector<std::string> keywords;
    auto add = [&keywords](const std::string& keyword) {
        for (const std::string& known : keywords) {
            if (known == keyword) return;
        }
        keywords.push_back(keyword);
    };
    for (const Row& row : kRows) add(row.keyword);
    for (const char* keyword : kBlackMarkOptions) add(keyword);
    return keywords;
}

int32_t ChoiceCount(const std::string& keyword) {
    size_t count = 0;
    for (const Row& row : kRows) {
        if (row.keyword == keyword && row.bytes.size() > count) count = row.bytes.size();
    }
    return static_cast<int32_t>(count);
}

}  // namespace zelp::test::wire
