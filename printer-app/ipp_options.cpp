// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "ipp_options.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace zelp::pa {

std::string DefaultName(const ZelpOption& option) { return std::string(option.ippName) + "-default"; }

std::string SupportedName(const ZelpOption& option) { return std::string(option.ippName) + "-supported"; }

const ZelpChoice* ChoiceFromText(const ZelpOption& option, const char* text) {
    if (text == nullptr || *text == '\0') return nullptr;
    if (option.kind == ZelpValueKind::kKeyword) return ZelpFindChoiceByKeyword(option, text);
    // Whole decimal numbers only: "10 lines" or "1e1" name nothing.
    char* end = nullptr;
    errno = 0;
    const long amount = strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || amount < INT32_MIN || amount > INT32_MAX) return nullptr;
    return ZelpFindChoiceByAmount(option, static_cast<int32_t>(amount));
}

std::string ChoiceText(const ZelpOption& option, const ZelpChoice& choice) {
    if (option.kind == ZelpValueKind::kKeyword) return choice.keyword;
    return std::to_string(choice.amount);
}

std::string AttributeText(ipp_attribute_t* attr) {
    if (attr == nullptr || ippGetCount(attr) != 1) return {};
    switch (ippGetValueTag(attr)) {
        case IPP_TAG_INTEGER:
            return std::to_string(ippGetInteger(attr, 0));
        case IPP_TAG_KEYWORD:
        case IPP_TAG_NAME:
        case IPP_TAG_TEXT: {
            const char* text = ippGetString(attr, 0, nullptr);
            return text != nullptr ? text : "";
        }
        default:
            return {};
    }
}

void AddOptionAttributes(ipp_t* attrs) {
    for (const ZelpOption& option : kZelpOptions) {
        if (option.ippRoute != ZelpIppRoute::kVendor) continue;
        const ZelpChoice* fallback = ZelpFindChoiceByNumber(option, option.defaultNumber);
        const std::string supported = SupportedName(option);
        const std::string defaultName = DefaultName(option);
        if (option.kind == ZelpValueKind::kKeyword) {
            std::vector<const char*> keywords;
            for (size_t i = 0; i < option.choiceCount; ++i) keywords.push_back(option.choices[i].keyword);
            ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, supported.c_str(),
                          static_cast<int>(keywords.size()), nullptr, keywords.data());
            ippAddString(attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, defaultName.c_str(), nullptr,
                         fallback->keyword);
        } else {
            std::vector<int> amounts;
            for (size_t i = 0; i < option.choiceCount; ++i) amounts.push_back(option.choices[i].amount);
            ippAddIntegers(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, supported.c_str(),
                           static_cast<int>(amounts.size()), amounts.data());
            ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, defaultName.c_str(), fallback->amount);
        }
    }
}

const char* CuttingForFinishings(int finishings, const std::string& defaultCutting) {
    const bool partial = defaultCutting.find("partial") != std::string::npos;
    const int now = FinishingsForCutting(defaultCutting);
    switch (finishings) {
        case IPP_FINISHINGS_NONE:
            return "none";
        case IPP_FINISHINGS_TRIM_AFTER_PAGES:
        case IPP_FINISHINGS_TRIM_AFTER_COPIES:  // each copy is a page of its own
            if (now == IPP_FINISHINGS_TRIM_AFTER_PAGES && defaultCutting.find("job-end") == std::string::npos) return nullptr;
            return partial ? "page-end-feed-partial" : "page-end-feed-full";
        case IPP_FINISHINGS_TRIM_AFTER_DOCUMENTS:
        case IPP_FINISHINGS_TRIM_AFTER_JOB:
            if (now == IPP_FINISHINGS_TRIM_AFTER_JOB) return nullptr;
            return partial ? "job-end-feed-partial" : "job-end-feed-full";
        default:
            return nullptr;
    }
}

int FinishingsForCutting(const std::string& cutting) {
    if (cutting == "none") return IPP_FINISHINGS_NONE;
    if (cutting.compare(0, 8, "page-end") == 0 && cutting.find("job-end") == std::string::npos) {
        return IPP_FINISHINGS_TRIM_AFTER_PAGES;
    }
    return IPP_FINISHINGS_TRIM_AFTER_JOB;
}

namespace {

void Warn(const OptionWarnings& warnings, const std::string& text) {
    if (warnings.warn != nullptr) warnings.warn(warnings.context, text.c_str());
}

}  // namespace

void ResolveOptionValues(int numJobOptions, cups_option_t* jobOptions, ipp_t* printerAttrs,
                         const OptionWarnings& warnings, int32_t values[kZelpOptionCount],
                         ValueSource sources[kZelpOptionCount], const PapplValues* pappl) {
    for (size_t i = 0; i < kZelpOptionCount; ++i) {
        const ZelpOption& option = kZelpOptions[i];
        ValueSource source = ValueSource::kTableDefault;
        const ZelpChoice* choice = nullptr;

        if (option.ippRoute == ZelpIppRoute::kPrintDarkness) {
            // PAPPL has checked the range and taken the printer's default.
            if (pappl != nullptr) {
                const int darkness = std::clamp(pappl->darknessConfigured + pappl->printDarkness, 0, 100);
                choice = ZelpNearestChoice(option, darkness);
                source = ValueSource::kJob;
            }
        } else if (const char* given = cupsGetOption(option.ippName, numJobOptions, jobOptions)) {
            choice = ChoiceFromText(option, given);
            if (choice != nullptr) {
                source = ValueSource::kJob;
            } else {
                // No quotes: PAPPL's log escapes them.
                Warn(warnings, Concat({"Job value ", option.ippName, "=", given,
                                       " is not offered; the printer default is used."}));
            }
        }
        if (choice == nullptr && printerAttrs != nullptr && option.ippRoute == ZelpIppRoute::kVendor) {
            const std::string name = DefaultName(option);
            if (ipp_attribute_t* attr = ippFindAttribute(printerAttrs, name.c_str(), IPP_TAG_ZERO)) {
                const std::string text = AttributeText(attr);
                choice = ChoiceFromText(option, text.c_str());
                if (choice != nullptr) {
                    source = ValueSource::kPrinterDefault;
                } else {
                    Warn(warnings, Concat({"Printer default ", name, "=", text,
                                           " is not offered; the built-in default is used."}));
                }
            }
        }
        if (choice == nullptr) choice = ZelpFindChoiceByNumber(option, option.defaultNumber);
        values[i] = choice != nullptr ? choice->number : option.defaultNumber;
        if (sources != nullptr) sources[i] = source;
    }
}

}  // namespace zelp::pa
