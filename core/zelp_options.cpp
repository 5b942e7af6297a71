// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "zelp_options.h"

#include <array>
#include <cstring>

namespace {

// Amounts that grow by `step` with each choice number, the numbers
// themselves growing by `numberStep`.
template <size_t N>
constexpr std::array<ZelpChoice, N> Series(int32_t numberStep, int32_t base, int32_t step) {
    std::array<ZelpChoice, N> choices{};
    for (size_t i = 0; i < N; ++i) {
        const int32_t n = static_cast<int32_t>(i);
        choices[i] = ZelpChoice{n * numberStep, nullptr, base + n * step, nullptr};
    }
    return choices;
}

constexpr ZelpChoice kCutting[] = {
    {0, "none", 0, "No cut"},
    {1, "job-end-full", 0, "Full cut at end of job"},
    {2, "job-end-partial", 0, "Partial cut at end of job"},
    {3, "job-end-form-feed-full", 0, "Form feed and full cut at end of job"},
    {4, "job-end-form-feed-partial", 0, "Form feed and partial cut at end of job"},
    {5, "job-end-feed-full", 0, "Feed 4 lines and full cut at end of job"},
    {6, "job-end-feed-partial", 0, "Feed 4 lines and partial cut at end of job"},
    {7, "page-end-feed-full", 0, "Feed 4 lines and full cut after every page"},
    {8, "page-end-feed-partial", 0, "Feed 4 lines and partial cut after every page"},
    {9, "page-end-form-feed-full", 0, "Form feed and full cut after every page"},
    {10, "page-end-form-feed-partial", 0, "Form feed and partial cut after every page"},
    {11, "page-end-0e-job-end-full", 0, "Send 0E after every page, full cut at end of job"},
    {12, "page-end-0e-job-end-partial", 0, "Send 0E after every page, partial cut at end of job"},
    {13, "page-end-full", 0, "Full cut after every page"},
    {14, "page-end-partial", 0, "Partial cut after every page"},
};

// Lines fed; the longest feeds are two ESC d commands.
constexpr ZelpChoice kFeed[] = {
    {0, nullptr, 0, nullptr},     {1, nullptr, 1, nullptr},     {2, nullptr, 2, nullptr},
    {3, nullptr, 3, nullptr},     {4, nullptr, 4, nullptr},     {5, nullptr, 5, nullptr},
    {6, nullptr, 10, nullptr},    {7, nullptr, 15, nullptr},    {8, nullptr, 20, nullptr},
    {9, nullptr, 25, nullptr},    {10, nullptr, 30, nullptr},   {11, nullptr, 60, nullptr},
    {12, nullptr, 90, nullptr},   {13, nullptr, 120, nullptr},  {14, nullptr, 150, nullptr},
    {15, nullptr, 180, nullptr},  {16, nullptr, 210, nullptr},  {17, nullptr, 240, nullptr},
    {18, nullptr, 270, nullptr},  {19, nullptr, 300, nullptr},
};

constexpr auto kBeeps = Series<10>(1, 0, 1);
constexpr auto kLogos = Series<9>(1, 0, 1);

constexpr ZelpChoice kCashDrawer[] = {
    {0, "none", 0, "Do not open"},
    {1, "drawer-1-job-start", 0, "Open drawer 1 (pin 2) at start of job"},
    {2, "drawer-2-job-start", 0, "Open drawer 2 (pin 5) at start of job"},
    {3, "both-job-start", 0, "Open drawers 1 and 2 at start of job"},
    {4, "drawer-1-job-end", 0, "Open drawer 1 (pin 2) at end of job"},
    {5, "drawer-2-job-end", 0, "Open drawer 2 (pin 5) at end of job"},
    {6, "both-job-end", 0, "Open drawers 1 and 2 at end of job"},
};

constexpr ZelpChoice kHalftoning[] = {
    {0, "error-diffusion", 0, "Error diffusion (best for photos and shades)"},
    {1, "threshold", 0, "Threshold (sharpest for text and barcodes)"},
};

constexpr ZelpChoice kBlankAtEnd[] = {
    {0, "print", 0, "Print the whole page"},
    {1, "skip", 0, "Skip blank space at end of every page"},
};

constexpr ZelpChoice kBlankAtStart[] = {
    {0, "print", 0, "Print blank space at top of every page"},
    {1, "skip", 0, "Skip blank space at top of every page"},
};

constexpr auto kRotation = Series<4>(1, 0, 90);

constexpr ZelpChoice kBlackMark[] = {
    {0, "off", 0, "Off (continuous paper)"},
    {1, "full-setup", 0, "On - set mode, mark height, print start and mark distance"},
    {2, "mode-only", 0, "On - set black mark mode only"},
};

// In the printer's units (one dot on most of these printers): the printer
// is sent the choice number plus 5 (height) or 35 (start), and the number
// times 50 plus 150 (distance).
constexpr auto kMarkHeight = Series<31>(1, 5, 1);
constexpr auto kMarkOffset = Series<45>(5, 35, 5);
constexpr auto kMarkDistance = Series<61>(1, 150, 50);

template <size_t N>
constexpr size_t Count(const ZelpChoice (&)[N]) {
    return N;
}

}  // namespace

#define ZELP_CHOICES(array) array, Count(array)
#define ZELP_SERIES(array) array.data(), array.size()

const ZelpOption kZelpOptions[kZelpOptionCount] = {
    {"Cutting", &ZELP_Init_Setting::Cutting, "zelp-cutting", "Cutting", ZelpValueKind::kKeyword, nullptr,
     ZELP_CHOICES(kCutting), 7},
    {"FeedDist_B", &ZELP_Init_Setting::FeedDist_B, "zelp-feed-before-job", "Feed Before Job",
     ZelpValueKind::kInteger, "lines", ZELP_CHOICES(kFeed), 0},
    {"FeedDist", &ZELP_Init_Setting::FeedDist, "zelp-feed-after-page", "Feed After Page", ZelpValueKind::kInteger,
     "lines", ZELP_CHOICES(kFeed), 3},
    {"Beeper", &ZELP_Init_Setting::Beeper, "zelp-beeper", "Beeper", ZelpValueKind::kInteger, "beeps",
     ZELP_SERIES(kBeeps), 0},
    {"CashDrawer", &ZELP_Init_Setting::CashDrawer, "zelp-cash-drawer", "Cash Drawer", ZelpValueKind::kKeyword,
     nullptr, ZELP_CHOICES(kCashDrawer), 0},
    {"Logo", &ZELP_Init_Setting::Logo, "zelp-logo-top", "Logo at Top", ZelpValueKind::kInteger, "logo number",
     ZELP_SERIES(kLogos), 0},
    {"Logo_A", &ZELP_Init_Setting::Logo_A, "zelp-logo-bottom", "Logo at Bottom", ZelpValueKind::kInteger,
     "logo number", ZELP_SERIES(kLogos), 0},
    {"ImageAlgorithm", &ZELP_Init_Setting::ImageAlgorithm, "zelp-halftoning", "Halftoning",
     ZelpValueKind::kKeyword, nullptr, ZELP_CHOICES(kHalftoning), 0},
    {"BlankSpace", &ZELP_Init_Setting::BlankSpace, "zelp-blank-space-end", "Blank Space at Page End",
     ZelpValueKind::kKeyword, nullptr, ZELP_CHOICES(kBlankAtEnd), 1},
    {"PrintRotate", &ZELP_Init_Setting::PrintRotate, "zelp-rotation", "Rotation", ZelpValueKind::kInteger,
     "degrees", ZELP_SERIES(kRotation), 0},
    {"BMSetting", &ZELP_Init_Setting::BMSetting, "zelp-black-mark", "Black Mark", ZelpValueKind::kKeyword,
     nullptr, ZELP_CHOICES(kBlackMark), 0},
    {"BMHeight", &ZELP_Init_Setting::BMHeight, "zelp-black-mark-height", "Black Mark Height",
     ZelpValueKind::kInteger, "units", ZELP_SERIES(kMarkHeight), 0},
    {"BMOffset", &ZELP_Init_Setting::BMOffset, "zelp-black-mark-offset", "Print Start After Mark",
     ZelpValueKind::kInteger, "units", ZELP_SERIES(kMarkOffset), 0},
    {"BMDistance", &ZELP_Init_Setting::BMDistance, "zelp-black-mark-distance", "Black Mark Distance",
     ZelpValueKind::kInteger, "units", ZELP_SERIES(kMarkDistance), 0},
    {"LeadingBlank", &ZELP_Init_Setting::LeadingBlank, "zelp-blank-space-start", "Blank Space at Page Start",
     ZelpValueKind::kKeyword, nullptr, ZELP_CHOICES(kBlankAtStart), 1},
};

const ZelpOption* ZelpFindOptionByIppName(const char* ippName) {
    for (const ZelpOption& option : kZelpOptions) {
        if (ippName != nullptr && strcmp(option.ippName, ippName) == 0) return &option;
    }
    return nullptr;
}

const ZelpChoice* ZelpFindChoiceByNumber(const ZelpOption& option, int32_t number) {
    for (size_t i = 0; i < option.choiceCount; ++i) {
        if (option.choices[i].number == number) return &option.choices[i];
    }
    return nullptr;
}

const ZelpChoice* ZelpFindChoiceByKeyword(const ZelpOption& option, const char* keyword) {
    if (option.kind != ZelpValueKind::kKeyword || keyword == nullptr) return nullptr;
    for (size_t i = 0; i < option.choiceCount; ++i) {
        if (strcmp(option.choices[i].keyword, keyword) == 0) return &option.choices[i];
    }
    return nullptr;
}

const ZelpChoice* ZelpFindChoiceByAmount(const ZelpOption& option, int32_t amount) {
    if (option.kind != ZelpValueKind::kInteger) return nullptr;
    for (size_t i = 0; i < option.choiceCount; ++i) {
        if (option.choices[i].amount == amount) return &option.choices[i];
    }
    return nullptr;
}

void ZelpSettingsFromValues(const int32_t values[kZelpOptionCount], int32_t modelNumber,
                            ZELP_Init_Setting* settings) {
    *settings = ZELP_Init_Setting{};
    settings->modelNumber = modelNumber;
    for (size_t i = 0; i < kZelpOptionCount; ++i) settings->*(kZelpOptions[i].field) = values[i];
}
