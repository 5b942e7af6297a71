// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "zelp_settings.h"

#include "zelp_options.h"

void ReadSettingsFromPpd(ppd_file_t* ppd, const char* options, ZELP_Init_Setting* settings) {
    ppdMarkDefaults(ppd);
    cups_option_t* list = nullptr;
    const int count = cupsParseOptions(options != nullptr ? options : "", 0, &list);
    if (count > 0) cupsMarkOptions(ppd, count, list);
    cupsFreeOptions(count, list);

    *settings = ZELP_Init_Setting{};
    settings->modelNumber = ppd->model_number;
    getPageWidthPageHeight(ppd, settings);
    for (const ZelpOption& option : kZelpOptions) {
        settings->*(option.field) = getOptionChoiceIndex(option.ppdKeyword, ppd);
    }
}

int GetPrinterSettings(const char* options, ZELP_Init_Setting* settings) {
    *settings = ZELP_Init_Setting{};
    const char* path = getenv("PPD");
    if (path == nullptr || *path == '\0') {
        fputs("ERROR: The PPD environment variable is not set; cannot read the printer options\n", stderr);
        return 1;
    }
    ppd_file_t* ppd = ppdOpenFile(path);
    if (ppd == nullptr) {
        int line = 0;
        const ppd_status_t status = ppdLastError(&line);
        fprintf(stderr, "ERROR: Unable to open PPD file \"%s\" - %s on line %d\n", path,
                ppdErrorString(status), line);
        return 1;
    }
    ReadSettingsFromPpd(ppd, options, settings);
    ppdClose(ppd);
    debugPrintSettings(settings);
    return 0;
}
