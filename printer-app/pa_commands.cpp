// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "pa_commands.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "drivers.h"
#include "ipp_options.h"
#include "pa_actions.h"
#include "pa_device_uri.h"
#include "pa_system.h"
#include "zelp_options.h"

namespace zelp::pa {

namespace {

// Options of PAPPL's main loop that take a value in the next argument.
bool TakesValue(const std::string& arg) { return arg.size() == 2 && arg[0] == '-' && strchr("adhjmnotuv", arg[1]) != nullptr; }

bool StartsWith(const std::string& bytes, const char* start, size_t length) {
    return bytes.size() >= length && memcmp(bytes.data(), start, length) == 0;
}

int Refuse(const std::string& text) {
    fprintf(stderr, "%s: %s\n", kProgramName, text.c_str());
    return 1;
}

// The offered values of an option, for a message.
std::string Choices(const ZelpOption& option) {
    std::string list;
    for (size_t i = 0; i < option.choiceCount; ++i) {
        if (!list.empty()) list += ", ";
        list += ChoiceText(option, option.choices[i]);
    }
    return list;
}

const char* const kAccepted = "PNG, JPEG, PWG raster, Apple raster or ESC/POS";

int PrepareSubmit(std::vector<std::string>* args, size_t at) {
    std::vector<std::string>& a = *args;
    std::string given;  // -o document-format=...
    std::vector<std::string> files;
    for (size_t i = at + 1; i < a.size(); ++i) {
        if (a[i] == "-n" && i + 1 < a.size()) {
            // PAPPL 1.3.1 takes -n but sends no copies.
            a[i] = "-o";
            a[i + 1] = "copies=" + a[i + 1];
        }
        if (TakesValue(a[i]) && i + 1 < a.size()) {
            if (a[i] == "-o" && a[i + 1].compare(0, 16, "document-format=") == 0) given = a[i + 1].substr(16);
            ++i;
        } else if (a[i] != "-" && a[i][0] != '-') {
            files.push_back(a[i]);
        }
    }
    std::string common;
    bool mixed = false;
    for (const std::string& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in) return Refuse(Concat({"Cannot read \"", file, "\"."}));
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string reason;
        std::string format = PrintableFormat(bytes, &reason);
        if (!given.empty()) format = given;
        if (format.empty()) return Refuse(Concat({"Cannot print \"", file, "\": ", reason}));
        if (format == "image/png" || format == "image/jpeg") {
            if (!PictureReadable(bytes, format.c_str(), &reason)) {
                return Refuse(Concat({"Cannot print \"", file, "\": the picture cannot be read (", reason, ")."}));
            }
        } else if (format != "image/pwg-raster" && format != "image/urf" && format != kPrinterFormat) {
            return Refuse(Concat({"Cannot print \"", file, "\": ", format, " is not printed here; send ", kAccepted, "."}));
        }
        mixed = mixed || (!common.empty() && common != format);
        common = format;
    }
    // PAPPL cannot tell ESC/POS from its bytes: the format goes with the job.
    if (given.empty() && !mixed && !common.empty()) {
        a.insert(a.begin() + static_cast<long>(at) + 1, {"-o", "document-format=" + common});
    }
    return -1;
}

int PrepareModify(std::vector<std::string>* args, size_t at) {
    std::vector<std::string>& a = *args;
    std::string printer, uri;
    bool more = false;  // anything else to change
    for (size_t i = at + 1; i + 1 < a.size(); ++i) {
        if (a[i] == "-d") printer = a[i + 1];
        if (a[i] == "-v") {
            uri = a[i + 1];
            a.erase(a.begin() + static_cast<long>(i), a.begin() + static_cast<long>(i) + 2);
            --i;
            continue;
        }
        more = more || a[i] == "-o";
        if (a[i] != "-o") continue;
        const std::string pair = a[++i];
        const size_t equals = pair.find('=');
        std::string name = pair.substr(0, equals);
        if (name.size() > 8 && name.compare(name.size() - 8, 8, "-default") == 0) name.resize(name.size() - 8);
        const ZelpOption* option = ZelpFindOptionByIppName(name.c_str());
        if (option == nullptr) continue;
        const std::string value = equals == std::string::npos ? std::string() : pair.substr(equals + 1);
        if (ChoiceFromText(*option, value.c_str()) == nullptr) {
            return Refuse(Concat({name, "=", value, " is not offered; choose one of: ", Choices(*option), "."}));
        }
    }
    if (uri.empty()) return -1;
    if (printer.empty()) return Refuse("modify -v needs -d PRINTER.");
    // The address first, then PAPPL's own modify for the rest.
    const int moved = MovePrinter(printer.c_str(), uri.c_str());
    return moved != 0 || !more ? moved : -1;
}

}  // namespace

std::string FindSubcommand(const std::vector<std::string>& args) {
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i].empty() || args[i][0] != '-') return args[i];
        if (TakesValue(args[i])) ++i;
    }
    return {};
}

std::string PrintableFormat(const std::string& bytes, std::string* reason) {
    if (StartsWith(bytes, "\x89PNG", 4)) return "image/png";
    if (StartsWith(bytes, "\xff\xd8\xff", 3)) return "image/jpeg";
    if (StartsWith(bytes, "RaS2", 4)) return "image/pwg-raster";
    if (StartsWith(bytes, "UNIRAST", 7)) return "image/urf";
    // ESC/POS starts with a command: ESC, FS, GS or DLE.
    if (!bytes.empty() && strchr("\x1b\x1c\x1d\x10", bytes[0]) != nullptr) return kPrinterFormat;
    if (StartsWith(bytes, "%PDF", 4)) {
        *reason = Concat({"PDF is not printed here; send ", kAccepted, " (for PDF, print through CUPS)."});
    } else if (StartsWith(bytes, "%!", 2)) {
        *reason = Concat({"PostScript is not printed here; send ", kAccepted, "."});
    } else {
        *reason = Concat({"not a document this printer takes (text and other formats need a driver such as CUPS); send ",
                          kAccepted, "."});
    }
    return {};
}

int PrepareSubcommand(std::vector<std::string>* args) {
    const std::string name = FindSubcommand(*args);
    size_t at = 1;
    while (at < args->size() && (*args)[at] != name) ++at;
    if (name == "submit") return PrepareSubmit(args, at);
    if (name == "modify") return PrepareModify(args, at);
    return -1;
}

}  // namespace zelp::pa
