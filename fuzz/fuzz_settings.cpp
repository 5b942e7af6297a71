// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The PageSize keyword scanner and the option parsing: a keyword and a job
// option string from the input, marked over a small PPD file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "zelp_settings.h"

namespace {

const char kPpd[] =
    "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
    "*LanguageEncoding: ISOLatin1\n*PCFileName: \"FUZZ.PPD\"\n*Manufacturer: \"Fuzz\"\n*Product: \"(Fuzz)\"\n"
    "*ModelName: \"Fuzz\"\n*ShortNickName: \"Fuzz\"\n*NickName: \"Fuzz\"\n*PSVersion: \"(3010.000) 0\"\n"
    "*OpenUI *PageSize: PickOne\n*DefaultPageSize: X72MMY200MM\n*PageSize X72MMY200MM: \"\"\n"
    "*PageSize X48MMY100MM: \"\"\n*CloseUI: *PageSize\n"
    "*OpenUI *Cutting: PickOne\n*DefaultCutting: 7\n*Cutting 7: \"\"\n*Cutting 12abc: \"\"\n"
    "*Cutting -2: \"\"\n*CloseUI: *Cutting\n"
    "*OpenUI *Beeper: PickOne\n*DefaultBeeper: 3\n*Beeper 3: \"\"\n*Beeper 5: \"\"\n*CloseUI: *Beeper\n";

ppd_file_t* openFuzzPpd() {
    char path[] = "/tmp/zelp-fuzz-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return nullptr;
    const ssize_t written = write(fd, kPpd, sizeof kPpd - 1);
    close(fd);
    ppd_file_t* ppd = written > 0 ? ppdOpenFile(path) : nullptr;
    unlink(path);
    return ppd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ppd_file_t* ppd = openFuzzPpd();
    if (ppd == nullptr) return 0;
    // Up to the first zero byte: a PageSize keyword; after it: job options.
    const std::string all(reinterpret_cast<const char*>(data), size);
    const size_t split = all.find('\0');
    const std::string keyword = all.substr(0, split);
    const std::string options = split == std::string::npos ? std::string() : all.substr(split + 1);

    float width = 0.0f;
    float height = 0.0f;
    ScanPageSizeKeyword(keyword.c_str(), &width, &height);

    ZELP_Init_Setting settings;
    ReadSettingsFromPpd(ppd, options.c_str(), &settings);
    return 0;
}
