// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The printer options as one table, for every front end: the PPD keyword
// and settings field the filter reads, and the readable name and values
// that the Printer Application offers over IPP. A choice number is what a
// PPD choice keyword starts with and what the settings record holds.
#ifndef ZELP_FILTER_OPTIONS_H
#define ZELP_FILTER_OPTIONS_H

#include <cstddef>
#include <cstdint>

#include "zelp_settings.h"

// How an option's value reads over IPP: a keyword ("page-end-full") or an
// amount in the option's unit (lines, beeps, dots, degrees).
enum class ZelpValueKind { kKeyword, kInteger };

struct ZelpChoice {
    int32_t number;       // the PPD choice number
    const char* keyword;  // IPP keyword (keyword options), else null
    int32_t amount;       // IPP integer (integer options), else 0
    const char* label;    // the PPD choice text
};

struct ZelpOption {
    const char* ppdKeyword;  // "Cutting"
    int32_t ZELP_Init_Setting::*field;
    const char* ippName;  // "zelp-cutting"
    const char* label;    // the PPD option text, shown in the web interface
    ZelpValueKind kind;
    const char* unit;  // of the amounts of an integer option, else null
    const ZelpChoice* choices;
    size_t choiceCount;
    int32_t defaultNumber;  // the shipped PPDs' default choice
};

// The fourteen options of the printer and LeadingBlank, in the order of
// the settings record.
constexpr size_t kZelpOptionCount = 15;
extern const ZelpOption kZelpOptions[kZelpOptionCount];

// The option of that IPP name, or null.
const ZelpOption* ZelpFindOptionByIppName(const char* ippName);

// The option's choice with that number, IPP keyword or IPP amount, or null
// when the option offers none such.
const ZelpChoice* ZelpFindChoiceByNumber(const ZelpOption& option, int32_t number);
const ZelpChoice* ZelpFindChoiceByKeyword(const ZelpOption& option, const char* keyword);
const ZelpChoice* ZelpFindChoiceByAmount(const ZelpOption& option, int32_t amount);

// Fills the settings record from one choice number per option, in table
// order, as the PPD route fills it (page size 0, the given model number).
void ZelpSettingsFromValues(const int32_t values[kZelpOptionCount], int32_t modelNumber,
                            ZELP_Init_Setting* settings);

#endif
