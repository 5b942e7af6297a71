// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// zelp-ipp-expect: an ipptool test of the printer options a printer of the
// Printer Application offers, as the option table has them: each vendor
// attribute asked for by name ("requested-attributes=all" leaves them
// out), its syntax, the number of choices, the ends of each range or every
// keyword (one EXPECT each: ipptool keeps only the last WITH-VALUE of a
// line) and the default; every option is also one a job may give. The
// option on print-darkness shows as PAPPL's darkness attributes.
//
//   zelp-ipp-expect > zelp-attributes.test
//   ipptool -t ipp://localhost:PORT/ipp/print/NAME zelp-attributes.test
#include <cstdio>
#include <string>

#include "zelp_options.h"

namespace {

std::string Value(const ZelpOption& option, const ZelpChoice& choice) {
    return option.kind == ZelpValueKind::kKeyword ? choice.keyword : std::to_string(choice.amount);
}

}  // namespace

int main() {
    std::string requested = "job-creation-attributes-supported";
    for (const ZelpOption& option : kZelpOptions) {
        if (option.ippRoute == ZelpIppRoute::kVendor) {
            requested += std::string(",") + option.ippName + "-default," + option.ippName + "-supported";
        } else {
            requested += ",printer-darkness-supported,printer-darkness-configured,print-darkness-supported";
        }
    }
    printf("{\n  NAME \"Printer options by name\"\n  OPERATION Get-Printer-Attributes\n"
           "  GROUP operation-attributes-tag\n  ATTR charset attributes-charset utf-8\n"
           "  ATTR naturalLanguage attributes-natural-language en\n  ATTR uri printer-uri $uri\n"
           "  ATTR keyword requested-attributes %s\n  STATUS successful-ok\n",
           requested.c_str());
    for (const ZelpOption& option : kZelpOptions) {
        const ZelpChoice& fallback = *ZelpFindChoiceByNumber(option, option.defaultNumber);
        if (option.ippRoute == ZelpIppRoute::kPrintDarkness) {
            printf("  EXPECT printer-darkness-supported OF-TYPE integer WITH-VALUE \"%zu\"\n", option.choiceCount);
            printf("  EXPECT print-darkness-supported OF-TYPE integer WITH-VALUE \"%zu\"\n", 2 * option.choiceCount);
            printf("  EXPECT printer-darkness-configured OF-TYPE integer WITH-VALUE \"%d\"\n", fallback.amount);
            printf("  EXPECT job-creation-attributes-supported WITH-VALUE \"print-darkness\"\n");
            continue;
        }
        const char* type = option.kind == ZelpValueKind::kKeyword ? "keyword" : "integer";
        printf("  EXPECT %s-supported OF-TYPE %s IN-GROUP printer-attributes-tag COUNT %zu\n", option.ippName, type,
               option.choiceCount);
        for (size_t i = 0; i < option.choiceCount; ++i) {
            const bool end = i == 0 || i + 1 == option.choiceCount;
            if (option.kind == ZelpValueKind::kKeyword || end) {
                printf("  EXPECT %s-supported WITH-VALUE \"%s\"\n", option.ippName,
                       Value(option, option.choices[i]).c_str());
            }
        }
        printf("  EXPECT %s-default OF-TYPE %s IN-GROUP printer-attributes-tag COUNT 1 WITH-VALUE-FROM %s-supported "
               "WITH-VALUE \"%s\"\n",
               option.ippName, type, option.ippName, Value(option, fallback).c_str());
        printf("  EXPECT job-creation-attributes-supported WITH-VALUE \"%s\"\n", option.ippName);
    }
    printf("}\n");
    return 0;
}
