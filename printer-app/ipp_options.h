// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The printer options as IPP attributes: what the printer offers
// ("zelp-cutting-supported", "zelp-cutting-default") and how a job's value
// or a stored default becomes a choice number of the shared option table.
#ifndef ZELP_PA_IPP_OPTIONS_H
#define ZELP_PA_IPP_OPTIONS_H

#include <cups/cups.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "zelp_options.h"

namespace zelp::pa {

// The parts one after another, in one allocation.
inline std::string Concat(std::initializer_list<std::string_view> parts) {
    size_t size = 0;
    for (std::string_view part : parts) size += part.size();
    std::string text;
    text.reserve(size);
    for (std::string_view part : parts) text.append(part);
    return text;
}

// "<ippName>-default" and "<ippName>-supported".
std::string DefaultName(const ZelpOption& option);
std::string SupportedName(const ZelpOption& option);

// The choice that a readable value names: a keyword of a keyword option, a
// whole decimal amount of an integer option. Null for anything else.
const ZelpChoice* ChoiceFromText(const ZelpOption& option, const char* text);

// The readable value of a choice: its keyword or its amount.
std::string ChoiceText(const ZelpOption& option, const ZelpChoice& choice);

// The value of an attribute as ChoiceFromText reads it; empty when the
// attribute holds anything but one keyword, name, text or integer.
std::string AttributeText(ipp_attribute_t* attr);

// Adds "-supported" and "-default" (the table's default) of every option
// that is a vendor attribute of ours.
void AddOptionAttributes(ipp_t* attrs);

// Where a job's value of one option came from.
enum class ValueSource { kJob, kPrinterDefault, kTableDefault };

// Something that went wrong while choosing the values, for the log.
struct OptionWarnings {
    void* context;
    void (*warn)(void* context, const char* text);
};

// What PAPPL hands over of its own attributes that options of ours ride
// on: print-darkness (-100 to 100, the job's or the printer's default)
// over printer-darkness-configured (0 to 100).
struct PapplValues {
    int printDarkness = 0;
    int darknessConfigured = 50;
};

// Cutting as IPP "finishings": trim-after-pages (60), trim-after-copies
// (62), trim-after-job (63) and none (3). The zelp-cutting keyword a job's
// finishings ask for, keeping the printer default's cut (full or partial,
// with feed) where it cuts at the asked moment already; null for
// finishings that ask nothing of the cutter.
const char* CuttingForFinishings(int finishings, const std::string& defaultCutting);
// The finishings that a zelp-cutting keyword amounts to.
int FinishingsForCutting(const std::string& cutting);

// The job's choice numbers in table order: the job's own value, else the
// printer's default, else the table's default. A value that names no
// choice is skipped with a warning. `printerAttrs` may be null. An option
// that rides on print-darkness takes the choice nearest the configured
// darkness moved by the job's, from `pappl` (the table's default without).
void ResolveOptionValues(int numJobOptions, cups_option_t* jobOptions, ipp_t* printerAttrs,
                         const OptionWarnings& warnings, int32_t values[kZelpOptionCount],
                         ValueSource sources[kZelpOptionCount] = nullptr, const PapplValues* pappl = nullptr);

}  // namespace zelp::pa

#endif
