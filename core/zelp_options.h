// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The printer options as one table: each row is all that an option is, its
// PPD keyword, text and group, the settings field the filter fills, its
// choices with their numbers, labels and IPP values, its default, and what
// it sends at which point of the job's framing. The PPD files are made from
// this table at build time, the filter reads the settings by walking it,
// the framing sends by it and the Printer Application offers what it says.
// A choice number is what a PPD choice keyword starts with and what the
// settings record holds.
#ifndef ZELP_FILTER_OPTIONS_H
#define ZELP_FILTER_OPTIONS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "zelp_commands.h"
#include "zelp_settings.h"

// How an option's value reads over IPP: a keyword ("page-end-full") or an
// amount in the option's unit (lines, beeps, dots, degrees).
enum class ZelpValueKind { kKeyword, kInteger };

// Where the Printer Application takes an option's value from: a vendor
// attribute of its own ("zelp-cutting"), or PAPPL's print-darkness, whose
// 0-100 scale the amounts of the option's choices are on.
enum class ZelpIppRoute { kVendor, kPrintDarkness };

// The points of the job's framing, in the order they come.
enum class ZelpFramingPoint { kJobStart, kPageStart, kPageEnd, kJobEnd };

struct ZelpChoice {
    int32_t number;       // the PPD choice number
    const char* keyword;  // IPP keyword (keyword options), else null
    int32_t amount;       // IPP integer (integer options), else 0
    const char* label;    // the PPD choice text; null: the option's choiceText with the amount
};

// What an option sends at one framing point: the entry of its choice number
// in a command table, or what `build` makes of the settings (at most
// kBlackMarkMaxBytes). Options that send at the same point go in `order`.
struct ZelpSend {
    ZelpFramingPoint point;
    int order;
    const ZelpCommandTable* table;
    int (*build)(const ZELP_Init_Setting& settings, unsigned char* out);
};

constexpr size_t kZelpMaxSends = 2;

struct ZelpOption {
    const char* ppdKeyword;  // "Cutting"
    int32_t ZELP_Init_Setting::*field;
    const char* ippName;  // "zelp-cutting"
    ZelpIppRoute ippRoute;
    const char* label;  // the PPD option text, shown in the web interface
    const char* group;  // the PPD group, "Keyword/Text"
    int ppdOrder;       // the PPD's OrderDependency
    ZelpValueKind kind;
    const char* unit;  // of the amounts of an integer option, else null
    const ZelpChoice* choices;
    size_t choiceCount;
    const char* choiceText;  // printf format of a choice's amount, for choices without a label
    int32_t defaultNumber;   // the PPD's default choice
    std::array<ZelpSend, kZelpMaxSends> sends;
    size_t sendCount;
};

namespace zelp_option_rows {

// Choices numbered 0, numberStep, 2 numberStep, ...: amounts from `base` in
// steps of `step`.
template <size_t N>
constexpr std::array<ZelpChoice, N> Series(int32_t numberStep, int32_t base, int32_t step) {
    std::array<ZelpChoice, N> choices{};
    for (size_t i = 0; i < N; ++i) {
        const int32_t n = static_cast<int32_t>(i);
        choices[i] = ZelpChoice{n * numberStep, nullptr, base + n * step, nullptr};
    }
    return choices;
}

// Choices numbered 0, 1, ... with these amounts; the first `labelled` have
// the given labels.
template <size_t N>
constexpr std::array<ZelpChoice, N> Amounts(const int32_t (&amounts)[N], const char* label0, const char* label1) {
    std::array<ZelpChoice, N> choices{};
    for (size_t i = 0; i < N; ++i) {
        choices[i] = ZelpChoice{static_cast<int32_t>(i), nullptr, amounts[i], nullptr};
    }
    choices[0].label = label0;
    choices[1].label = label1;
    return choices;
}

inline constexpr ZelpChoice kCutting[] = {
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
inline constexpr int32_t kFeedLines[] = {0, 1, 2, 3, 4, 5, 10, 15, 20, 25, 30, 60, 90, 120, 150, 180, 210, 240, 270, 300};
inline constexpr auto kFeedBefore = Amounts(kFeedLines, "No feed", "Feed 1 line at start of job");
inline constexpr auto kFeedAfter = Amounts(kFeedLines, "No feed", "Feed 1 line after every page");

inline constexpr int32_t kBeepCounts[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
inline constexpr auto kBeeps = [] {
    auto choices = Amounts(kBeepCounts, "No beep", "Beep once at end of job");
    choices[2].label = "Beep twice at end of job";
    return choices;
}();

inline constexpr int32_t kLogoNumbers[] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
inline constexpr auto kLogoTop = Amounts(kLogoNumbers, "No logo", nullptr);
inline constexpr auto kLogoBottom = Amounts(kLogoNumbers, "No logo", nullptr);

inline constexpr ZelpChoice kCashDrawer[] = {
    {0, "none", 0, "Do not open"},
    {1, "drawer-1-job-start", 0, "Open drawer 1 (pin 2) at start of job"},
    {2, "drawer-2-job-start", 0, "Open drawer 2 (pin 5) at start of job"},
    {3, "both-job-start", 0, "Open drawers 1 and 2 at start of job"},
    {4, "drawer-1-job-end", 0, "Open drawer 1 (pin 2) at end of job"},
    {5, "drawer-2-job-end", 0, "Open drawer 2 (pin 5) at end of job"},
    {6, "both-job-end", 0, "Open drawers 1 and 2 at end of job"},
};

inline constexpr ZelpChoice kHalftoning[] = {
    {0, "error-diffusion", 0, "Error diffusion (best for photos and shades)"},
    {1, "threshold", 0, "Threshold (sharpest for text and barcodes)"},
};

inline constexpr ZelpChoice kBlankAtEnd[] = {
    {0, "print", 0, "Print the whole page"},
    {1, "skip", 0, "Skip blank space at end of every page"},
};

inline constexpr ZelpChoice kBlankAtStart[] = {
    {0, "print", 0, "Print blank space at top of every page"},
    {1, "skip", 0, "Skip blank space at top of every page"},
};

// A quarter turn makes the page's length the printed width: for pages no
// longer than the head is wide (labels).
inline constexpr ZelpChoice kRotation[] = {
    {0, nullptr, 0, "No rotation"},
    {1, nullptr, 90, "Turn 90 degrees anticlockwise (labels no longer than the print width)"},
    {2, nullptr, 180, "Turn 180 degrees (upside down)"},
    {3, nullptr, 270, "Turn 90 degrees clockwise (labels no longer than the print width)"},
};

inline constexpr ZelpChoice kBlackMark[] = {
    {0, "off", 0, "Off (continuous paper)"},
    {1, "full-setup", 0, "On - set mode, mark height, print start and mark distance"},
    {2, "mode-only", 0, "On - set black mark mode only"},
};

// In the printer's units (one dot on most of these printers): the printer
// is sent the choice number plus 5 (height) or 35 (start), and the number
// times 50 plus 150 (distance). Start values stop at 255, the largest that
// fits its byte.
inline constexpr auto kMarkHeight = Series<31>(1, 5, 1);
inline constexpr auto kMarkOffset = Series<45>(5, 35, 5);
inline constexpr auto kMarkDistance = Series<61>(1, 150, 50);

// Amounts on print-darkness's 0-100 scale, where PAPPL's web page offers
// 0, 25, 50, 75 and 100 %: the printer's own setting in the middle.
inline constexpr ZelpChoice kDarkness[] = {
    {0, nullptr, 50, "Printer's own setting"},
    {1, nullptr, 0, "Lightest (80% of standard density)"},
    {2, nullptr, 25, "Lighter (90% of standard density)"},
    {3, nullptr, 75, "Darker (110% of standard density)"},
    {4, nullptr, 100, "Darkest (120% of standard density)"},
};

inline constexpr ZelpChoice kSpeed[] = {
    {0, "printer-setting", 0, "Printer's own setting"},
    {1, "slowest", 0, "Slowest (speed level 1, darkest print)"},
    {2, "slow", 0, "Slow (speed level 3)"},
    {3, "medium", 0, "Medium (speed level 5)"},
    {4, "fast", 0, "Fast (speed level 7)"},
    {5, "fastest", 0, "Fastest (speed level 9)"},
};

// 0 sends exactly what a printer that is never asked gets; 1 asks only
// where the link carries answers, and changes nothing elsewhere.
inline constexpr ZelpChoice kReadStatus[] = {
    {0, "off", 0, "Never ask the printer"},
    {1, "on", 0, "Read paper out, cover open and errors from the printer"},
};

inline constexpr ZelpChoice kImageCommand[] = {
    {0, "raster", 0, "GS v 0 raster (most printers)"},
    {1, "bit-image", 0, "ESC * bit image, 24-dot columns (older printers)"},
    {2, "graphics", 0, "GS ( L graphics (printers that garble GS v 0)"},
};

// A page narrower than the print head (a small logo, a label).
inline constexpr ZelpChoice kPagePosition[] = {
    {0, "left", 0, "At the left edge of the print area"},
    {1, "center", 0, "Centred on the paper"},
};

// The same paper either way: 1 sends runs of blank dot rows as paper feeds
// and each image block only as wide as its ink reaches, which takes a
// fraction of the bytes (and of the time on a serial or Bluetooth link).
inline constexpr ZelpChoice kTransfer[] = {
    {0, "full", 0, "Every dot row in full (as earlier versions)"},
    {1, "compact", 0, "Compact - blank rows as paper feeds, images as wide as their ink"},
};

// The same bytes either way: paced, a job keeps about a second of printing
// ahead of the head (no more than the printer's buffer), so a cancelled job
// stops soon and a printer without handshake is never overrun.
inline constexpr ZelpChoice kPacing[] = {
    {0, "off", 0, "Off - as fast as the link takes them (as earlier versions)"},
    {1, "printer", 0, "Paced to the printer - about a second of printing ahead"},
};

// The printer's print speed, which pacing reckons with: 0 the model's
// rated speed; set the printer's own where it is slower (its self-test
// page or manual), above all on a link without handshake.
inline constexpr int32_t kPaceSpeeds[] = {0, 50, 60, 70, 80, 90, 100, 125, 150, 175, 200, 250, 300};
inline constexpr auto kPaceSpeed = Amounts(kPaceSpeeds, "Rated speed of the model", nullptr);

using P = ZelpFramingPoint;
using K = ZelpValueKind;
using R = ZelpIppRoute;
using S = ZELP_Init_Setting;

constexpr ZelpSend At(P point, int order, const ZelpCommandTable& table) {
    return ZelpSend{point, order, &table, nullptr};
}

#define ZELP_CHOICES(array) &array[0], std::size(array)

// Options that send nothing at a framing point shape the page's dots.
inline constexpr ZelpOption kOptions[] = {
    {"Cutting", &S::Cutting, "zelp-cutting", R::kVendor, "Cutting", "Cutter/Cutter and Feed", 30, K::kKeyword,
     nullptr, ZELP_CHOICES(kCutting), nullptr, 7,
     {At(P::kPageEnd, 30, pageEndCutCommand), At(P::kJobEnd, 30, jobEndCutCommand)}, 2},
    {"FeedDist_B", &S::FeedDist_B, "zelp-feed-before-job", R::kVendor, "Feed Before Job", "Cutter/Cutter and Feed",
     31, K::kInteger, "lines", ZELP_CHOICES(kFeedBefore), "Feed %d lines at start of job", 0,
     {At(P::kJobStart, 30, feedCommand)}, 1},
    {"FeedDist", &S::FeedDist, "zelp-feed-after-page", R::kVendor, "Feed After Page", "Cutter/Cutter and Feed", 32,
     K::kInteger, "lines", ZELP_CHOICES(kFeedAfter), "Feed %d lines after every page", 3,
     {At(P::kPageEnd, 20, feedCommand)}, 1},
    {"Beeper", &S::Beeper, "zelp-beeper", R::kVendor, "Beeper", "Peripherals/Beeper and Cash Drawer", 33,
     K::kInteger, "beeps", ZELP_CHOICES(kBeeps), "Beep %d times at end of job", 0,
     {At(P::kJobEnd, 10, beeperCommand)}, 1},
    {"CashDrawer", &S::CashDrawer, "zelp-cash-drawer", R::kVendor, "Cash Drawer",
     "Peripherals/Beeper and Cash Drawer", 34, K::kKeyword, nullptr, ZELP_CHOICES(kCashDrawer), nullptr, 0,
     {At(P::kJobStart, 40, jobStartDrawerCommand), At(P::kJobEnd, 20, jobEndDrawerCommand)}, 2},
    {"Logo", &S::Logo, "zelp-logo-top", R::kVendor, "Logo at Top", "Logos/Stored Logos", 35, K::kInteger,
     "logo number", ZELP_CHOICES(kLogoTop), "Print stored logo %d at top of every page", 0,
     {At(P::kPageStart, 20, logoCommand)}, 1},
    {"Logo_A", &S::Logo_A, "zelp-logo-bottom", R::kVendor, "Logo at Bottom", "Logos/Stored Logos", 36, K::kInteger,
     "logo number", ZELP_CHOICES(kLogoBottom), "Print stored logo %d at bottom of every page", 0,
     {At(P::kPageEnd, 10, logoCommand)}, 1},
    {"ImageAlgorithm", &S::ImageAlgorithm, "zelp-halftoning", R::kVendor, "Halftoning", "Image/Image", 37,
     K::kKeyword, nullptr, ZELP_CHOICES(kHalftoning), nullptr, 0, {}, 0},
    {"BlankSpace", &S::BlankSpace, "zelp-blank-space-end", R::kVendor, "Blank Space at Page End", "Image/Image", 38,
     K::kKeyword, nullptr, ZELP_CHOICES(kBlankAtEnd), nullptr, 1, {}, 0},
    {"PrintRotate", &S::PrintRotate, "zelp-rotation", R::kVendor, "Rotation", "Image/Image", 39, K::kInteger,
     "degrees", ZELP_CHOICES(kRotation), nullptr, 0, {}, 0},
    {"BMSetting", &S::BMSetting, "zelp-black-mark", R::kVendor, "Black Mark", "BlackMark/Black Mark Sensor", 40,
     K::kKeyword, nullptr, ZELP_CHOICES(kBlackMark), nullptr, 0,
     {ZelpSend{P::kPageStart, 10, nullptr, BuildBlackMarkSetup}}, 1},
    {"BMHeight", &S::BMHeight, "zelp-black-mark-height", R::kVendor, "Black Mark Height",
     "BlackMark/Black Mark Sensor", 41, K::kInteger, "units", ZELP_CHOICES(kMarkHeight), "Mark height %d", 0, {}, 0},
    {"BMOffset", &S::BMOffset, "zelp-black-mark-offset", R::kVendor, "Print Start After Mark",
     "BlackMark/Black Mark Sensor", 42, K::kInteger, "units", ZELP_CHOICES(kMarkOffset),
     "Start printing %d units after the mark", 0, {}, 0},
    {"BMDistance", &S::BMDistance, "zelp-black-mark-distance", R::kVendor, "Black Mark Distance",
     "BlackMark/Black Mark Sensor", 43, K::kInteger, "units", ZELP_CHOICES(kMarkDistance), "Marks %d units apart",
     0, {}, 0},
    {"LeadingBlank", &S::LeadingBlank, "zelp-blank-space-start", R::kVendor, "Blank Space at Page Start",
     "Image/Image", 44, K::kKeyword, nullptr, ZELP_CHOICES(kBlankAtStart), nullptr, 1, {}, 0},
    // ESC @ at job start brings back the printer's own density and speed,
    // so their defaults send nothing.
    {"Darkness", &S::Darkness, "print-darkness", R::kPrintDarkness, "Print Darkness", "Quality/Print Quality", 45,
     K::kInteger, "percent", ZELP_CHOICES(kDarkness), nullptr, 0, {At(P::kJobStart, 10, densityCommand)}, 1},
    {"Speed", &S::Speed, "zelp-print-speed", R::kVendor, "Print Speed", "Quality/Print Quality", 46, K::kKeyword,
     nullptr, ZELP_CHOICES(kSpeed), nullptr, 0, {At(P::kJobStart, 20, speedCommand)}, 1},
    {"GraphicsCommand", &S::GraphicsCommand, "zelp-image-command", R::kVendor, "Image Command",
     "Quality/Print Quality", 47, K::kKeyword, nullptr, ZELP_CHOICES(kImageCommand), nullptr, 0, {}, 0},
    {"Centering", &S::Centering, "zelp-page-position", R::kVendor, "Narrow Pages", "Image/Image", 48, K::kKeyword,
     nullptr, ZELP_CHOICES(kPagePosition), nullptr, 1, {}, 0},
    {"Transfer", &S::Transfer, "zelp-transfer", R::kVendor, "Data Transfer", "Quality/Print Quality", 49,
     K::kKeyword, nullptr, ZELP_CHOICES(kTransfer), nullptr, 1, {}, 0},
    {"Pacing", &S::Pacing, "zelp-pacing", R::kVendor, "Output Pacing", "Quality/Print Quality", 50, K::kKeyword,
     nullptr, ZELP_CHOICES(kPacing), nullptr, 1, {}, 0},
    {"PaceSpeed", &S::PaceSpeed, "zelp-pacing-speed", R::kVendor, "Printer Speed for Pacing",
     "Quality/Print Quality", 51, K::kInteger, "mm/s", ZELP_CHOICES(kPaceSpeed), "%d mm/s", 0, {}, 0},
    // Sends nothing of the framing: the front ends' printer links ask.
    {"ReadStatus", &S::ReadStatus, "zelp-read-status", R::kVendor, "Printer Status", "Status/Printer Status", 52,
     K::kKeyword, nullptr, ZELP_CHOICES(kReadStatus), nullptr, 1, {}, 0},
};

#undef ZELP_CHOICES
}  // namespace zelp_option_rows

// The table, in the order of the settings record.
inline constexpr const auto& kZelpOptions = zelp_option_rows::kOptions;
constexpr size_t kZelpOptionCount = std::size(kZelpOptions);

// The option of that IPP name, or null.
const ZelpOption* ZelpFindOptionByIppName(const char* ippName);

// The option's choice with that number, IPP keyword or IPP amount, or null
// when the option offers none such.
const ZelpChoice* ZelpFindChoiceByNumber(const ZelpOption& option, int32_t number);
const ZelpChoice* ZelpFindChoiceByKeyword(const ZelpOption& option, const char* keyword);
const ZelpChoice* ZelpFindChoiceByAmount(const ZelpOption& option, int32_t amount);
// The choice whose amount is nearest `amount` (the first of two as near).
const ZelpChoice* ZelpNearestChoice(const ZelpOption& option, int32_t amount);

// The text a user sees for a choice, as the PPD files have it.
std::string ZelpChoiceLabel(const ZelpOption& option, const ZelpChoice& choice);

// Fills the settings record from one choice number per option, in table
// order, as the PPD route fills it (page size 0, the given model number).
void ZelpSettingsFromValues(const int32_t values[kZelpOptionCount], int32_t modelNumber,
                            ZELP_Init_Setting* settings);

#endif
