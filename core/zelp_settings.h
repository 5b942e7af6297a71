// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The job's printer settings: the PPD options of the option table
// (zelp_options.h), overridden by the job's option string, and the page
// size from the PageSize keyword.
#ifndef ZELP_FILTER_SETTINGS_H
#define ZELP_FILTER_SETTINGS_H

#include <cups/ppd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "debug.h"

// Filled once per job; the page being printed travels beside it, in the
// page calls' own arguments.
struct ZELP_Init_Setting {
    int32_t modelNumber;
    float pageWidth;   // millimetres, from a keyword of the form X..MMY..MM
    float pageHeight;
    int32_t Cutting;
    int32_t FeedDist_B;
    int32_t FeedDist;
    int32_t Beeper;
    int32_t CashDrawer;
    int32_t Logo;
    int32_t Logo_A;
    int32_t ImageAlgorithm;
    int32_t BlankSpace;
    int32_t PrintRotate;
    int32_t BMSetting;
    int32_t BMHeight;
    int32_t BMOffset;
    int32_t BMDistance;
    int32_t LeadingBlank;  // 1: blank dot rows at the top of a page are not sent; -1 or 0: they are
    int32_t Darkness;
    int32_t Speed;
    int32_t GraphicsCommand;  // 1: ESC *, 2: GS ( L; any other value GS v 0
    int32_t Centering;     // 1: a page narrower than the print head is centred on it; else from the left edge
    int32_t Transfer;         // 1: blank rows as paper feeds, images cut to their ink; any other value every row whole
    int32_t Pacing;           // 1: output paced to the printer (output_pacing.h); any other value as fast as it goes
    int32_t PaceSpeed;        // the printer's speed for pacing, a choice of the option; 0: the model's
    int32_t ReadStatus;       // 1: the printer's status is read where the link carries its answers
};

// Width and height texts of a PageSize keyword hold at most this many bytes,
// the terminating zero included.
constexpr int kPageSizeTextBytes = 20;

// Scans a PageSize keyword of the form X<width>MMY<height>MM, D standing for
// the decimal point. Returns true and both sizes when the keyword has that
// form; false, and both sizes 0, for any other keyword, including one whose
// width or height text would not fit its buffer.
inline bool ScanPageSizeKeyword(const char* keyword, float* width, float* height) {
    char texts[2][kPageSizeTextBytes] = {};
    int lengths[2] = {0, 0};
    int state = 0;  // 0: before X, 1: width, 2: height, 3: understood, 4: rejected
    *width = 0.0f;
    *height = 0.0f;
    for (const char* p = keyword; *p != '\0' && state < 3; ++p) {
        const char ch = *p;
        if (state == 0) {
            state = (ch == 'X') ? 1 : 4;
            continue;
        }
        const int part = state - 1;
        if ((ch >= '0' && ch <= '9') || ch == 'D') {
            if (lengths[part] >= kPageSizeTextBytes - 1) {
                state = 4;  // too long for its buffer: not a size we understand
                break;
            }
            texts[part][lengths[part]++] = (ch == 'D') ? '.' : ch;
        } else if (ch == 'M') {
            state = (state == 1) ? 1 : 3;
        } else if (ch == 'Y' && state == 1) {
            state = 2;
        } else {
            state = 4;
        }
    }
    if (state != 3) return false;
    *width = static_cast<float>(atof(texts[0]));
    *height = static_cast<float>(atof(texts[1]));
    return true;
}

// The number that begins the chosen choice keyword of `keyword`, or -1 when
// the PPD file has no such option or no usable default for it.
inline int32_t getOptionChoiceIndex(const char* keyword, ppd_file_t* ppd) {
    ppd_choice_t* choice = ppdFindMarkedChoice(ppd, keyword);
    if (choice == nullptr) {
        ppd_option_t* option = ppdFindOption(ppd, keyword);
        if (option == nullptr) return -1;
        choice = ppdFindChoice(option, option->defchoice);
        if (choice == nullptr) return -1;
    }
    return static_cast<int32_t>(atoi(choice->choice));
}

inline void getPageWidthPageHeight(ppd_file_t* ppd, ZELP_Init_Setting* settings) {
    const char* keyword = nullptr;
    ppd_choice_t* choice = ppdFindMarkedChoice(ppd, "PageSize");
    if (choice != nullptr) {
        keyword = choice->choice;
    } else if (ppd_option_t* option = ppdFindOption(ppd, "PageSize")) {
        // A default that names no choice is no usable page size.
        if (ppdFindChoice(option, option->defchoice) != nullptr) keyword = option->defchoice;
    }
    settings->pageWidth = 0.0f;
    settings->pageHeight = 0.0f;
    if (keyword == nullptr) return;  // no PageSize at all: the size stays 0
    Dbg_WriteStr("PageSize:");
    Dbg_WriteStr(keyword);
    ScanPageSizeKeyword(keyword, &settings->pageWidth, &settings->pageHeight);
}

inline void debugPrintSettings(const ZELP_Init_Setting* settings) {
    char text[512] = {};
    Dbg_WriteStr("Settings:");
    snprintf(text, sizeof text, "cashDrawerSetting = %d\nblankSpace = %d\nFeedDist = %d\nCutting = %dBeeper = %d",
             settings->CashDrawer, settings->BlankSpace, settings->FeedDist_B, settings->Cutting,
             settings->Beeper);
    Dbg_WriteStr(text);
    memset(text, 0, sizeof text);
    snprintf(text, sizeof text, "pageWidth = %f pageHeight = %f", static_cast<double>(settings->pageWidth),
             static_cast<double>(settings->pageHeight));
    Dbg_WriteStr(text);
}

// Fills the settings record from an opened PPD file with the job's options
// marked over its defaults: every option of the option table, -1 for one
// the PPD file lacks.
void ReadSettingsFromPpd(ppd_file_t* ppd, const char* options, ZELP_Init_Setting* settings);

// Reads the job's settings from the PPD file named by $PPD. Returns 0, or 1
// after an "ERROR: " line when there is no usable PPD file; nothing is
// written to standard output either way.
int GetPrinterSettings(const char* options, ZELP_Init_Setting* settings);

#endif
