// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "ppd_writer.h"

#include <algorithm>

namespace zelp::test {

std::string BuildPpd(const PpdContents& contents) {
    std::string text =
        "*PPD-Adobe: \"4.3\"\n"
        "*FormatVersion: \"4.3\"\n"
        "*FileVersion: \"1.0\"\n"
        "*LanguageVersion: English\n"
        "*LanguageEncoding: ISOLatin1\n"
        "*PCFileName: \"ZTEST.PPD\"\n"
        "*Manufacturer: \"Test\"\n"
        "*Product: \"(Test Printer)\"\n"
        "*ModelName: \"Test Printer\"\n"
        "*ShortNickName: \"Test Printer\"\n"
        "*NickName: \"Test Printer\"\n"
        "*PSVersion: \"(3010.000) 0\"\n"
        "*LanguageLevel: \"3\"\n"
        "*ColorDevice: False\n"
        "*DefaultColorSpace: Gray\n"
        "*FileSystem: False\n"
        "*Throughput: \"1\"\n"
        "*LandscapeOrientation: Plus90\n"
        "*TTRasterizer: Type42\n"
        "*cupsVersion: 2.4\n";
    text += "*cupsModelNumber: " + std::to_string(contents.modelNumber) + "\n";
    text += "*cupsFilter: \"application/vnd.cups-raster 0 raster_to_ZELP\"\n";
    for (const PpdOption& option : contents.options) {
        const bool pageSize = option.keyword == "PageSize";
        text += "*OpenUI *" + option.keyword + "/" + option.keyword + ": PickOne\n";
        text += "*OrderDependency: 10 AnySetup *" + option.keyword + "\n";
        if (option.defaultChoice) text += "*Default" + option.keyword + ": " + *option.defaultChoice + "\n";
        for (const std::string& choice : option.choices) {
            const std::string code = pageSize ? "<</PageSize[226 567]/ImagingBBox null>>setpagedevice" : "";
            text += "*" + option.keyword + " " + choice + "/" + choice + ": \"" + code + "\"\n";
        }
        text += "*CloseUI: *" + option.keyword + "\n";
    }
    return text;
}

PpdOption NumberedOption(const std::string& keyword, const std::string& defaultChoice, int first, int last) {
    PpdOption option{keyword, defaultChoice, {}};
    for (int n = first; n <= last; ++n) option.choices.push_back(std::to_string(n));
    if (std::find(option.choices.begin(), option.choices.end(), defaultChoice) == option.choices.end()) {
        option.choices.push_back(defaultChoice);
    }
    return option;
}

}  // namespace zelp::test
