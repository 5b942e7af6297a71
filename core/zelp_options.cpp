// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "zelp_options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

const ZelpChoice* ZelpNearestChoice(const ZelpOption& option, int32_t amount) {
    const ZelpChoice* nearest = nullptr;
    int64_t best = 0;
    for (size_t i = 0; i < option.choiceCount; ++i) {
        const int64_t distance = std::llabs(int64_t{option.choices[i].amount} - amount);
        if (nearest == nullptr || distance < best) {
            nearest = &option.choices[i];
            best = distance;
        }
    }
    return nearest;
}

std::string ZelpChoiceLabel(const ZelpOption& option, const ZelpChoice& choice) {
    if (choice.label != nullptr) return choice.label;
    char text[160];
    if (option.choiceText != nullptr) {
        snprintf(text, sizeof text, option.choiceText, static_cast<int>(choice.amount));
    } else {
        snprintf(text, sizeof text, "%d", static_cast<int>(choice.amount));
    }
    return text;
}

void ZelpSettingsFromValues(const int32_t values[kZelpOptionCount], int32_t modelNumber,
                            ZELP_Init_Setting* settings) {
    *settings = ZELP_Init_Setting{};
    settings->modelNumber = modelNumber;
    for (size_t i = 0; i < kZelpOptionCount; ++i) settings->*(kZelpOptions[i].field) = values[i];
}
