// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "pa_system.h"

#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "drivers.h"
#include "ipp_options.h"
#include "job_guard.h"
#include "pa_actions.h"
#include "pa_auth.h"
#include "pa_device_uri.h"
#include "pa_state.h"
#include "pa_web.h"
#include "zelp_options.h"

namespace zelp::pa {

const char kFooterHtml[] =
    "ZELP receipt printers &middot; Printer Application " "1.0.0";

namespace {

std::string g_subcommand;

// Kept for the life of the process, for the save callback.
std::string g_stateFile;
std::string g_spool;

pappl_loglevel_t LogLevel(const char* text) {
    if (text == nullptr) return PAPPL_LOGLEVEL_INFO;
    if (strcasecmp(text, "debug") == 0) return PAPPL_LOGLEVEL_DEBUG;
    if (strcasecmp(text, "warn") == 0) return PAPPL_LOGLEVEL_WARN;
    if (strcasecmp(text, "error") == 0) return PAPPL_LOGLEVEL_ERROR;
    return PAPPL_LOGLEVEL_INFO;
}

std::string DefaultStateFile() {
    if (getuid() == 0) return std::string("/var/lib/") + kProgramName + ".state";
    const char* home = getenv("HOME");
    return std::string(home != nullptr ? home : "/tmp") + "/.config/" + kProgramName + ".state";
}

std::string DefaultSpool() {
    if (getuid() == 0) return std::string("/var/spool/") + kProgramName;
    const char* tmp = getenv("TMPDIR");
    return std::string(tmp != nullptr ? tmp : "/tmp") + "/" + kProgramName + std::to_string(getuid()) + ".d";
}

bool SaveState(pappl_system_t* system, void* /*context*/) { return SaveStateSafely(system, g_stateFile, g_spool); }

}  // namespace

void SetSubcommand(const char* name) { g_subcommand = name != nullptr ? name : ""; }

namespace {

// One line of a state file that names an option default, or null.
const ZelpOption* OptionOfDefault(const std::string& name) {
    const std::string suffix = "-default";
    if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return nullptr;
    }
    return ZelpFindOptionByIppName(name.substr(0, name.size() - suffix.size()).c_str());
}

// The value of `key="..."` in a state line, or empty.
std::string Field(const std::string& line, const std::string& key) {
    const std::string start = " " + key + "=\"";
    const size_t at = line.find(start);
    if (at == std::string::npos) return {};
    const size_t from = at + start.size();
    const size_t end = line.find('"', from);
    return end == std::string::npos ? std::string() : line.substr(from, end - from);
}

}  // namespace

bool CheckStateText(const std::string& text, std::string* fixed, const StateWarning& warn) {
    bool changed = false;
    const Model* model = nullptr;
    size_t from = 0;
    fixed->clear();
    while (from < text.size()) {
        size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(from, end - from);
        from = end + 1;
        const std::string name = line.substr(0, line.find(' '));
        std::string value = line.size() > name.size() ? line.substr(name.size() + 1) : std::string();

        if (name == "<Printer") model = FindModel(Field(line, "driver").c_str());
        // PAPPL starts pending jobs only: one cut short while printing
        // prints again from the start.
        const std::string processing = " state=\"" + std::to_string(IPP_JSTATE_PROCESSING) + "\"";
        if (name == "Job" && line.find(processing) != std::string::npos) {
            line.replace(line.find(processing), processing.size(),
                         " state=\"" + std::to_string(IPP_JSTATE_PENDING) + "\"");
            warn.warn(warn.context, Concat({"Job ", Field(line, "id"), " was printing when the server stopped; it prints again."}).c_str());
            changed = true;
        }
        if (model != nullptr && name.compare(0, 5, "zelp-") == 0) {
            const ZelpOption* option = OptionOfDefault(name);
            if (option == nullptr) {
                warn.warn(warn.context, ("Stored " + name + " is no option of this version; dropped.").c_str());
                changed = true;
                continue;
            }
            if (ChoiceFromText(*option, value.c_str()) == nullptr) {
                const std::string fallback =
                    ChoiceText(*option, *ZelpFindChoiceByNumber(*option, option->defaultNumber));
                warn.warn(warn.context,
                          Concat({"Stored default ", name, "=", value, " is not offered; using ", fallback, "."})
                              .c_str());
                line = Concat({name, " ", fallback});
                changed = true;
            }
        } else if (model != nullptr && name.compare(0, 9, "media-col") == 0) {
            const std::string media = Field(line, "name");
            if (!media.empty() && !MediaOffered(*model, media.c_str())) {
                warn.warn(warn.context,
                          Concat({"Stored ", name, " ", media, " is not offered; the driver default is used."}).c_str());
                changed = true;
                continue;
            }
        }
        *fixed += line;
        if (end < text.size()) *fixed += '\n';
    }
    return changed;
}

namespace {

void LogWarning(void* system, const char* text) {
    papplLog(static_cast<pappl_system_t*>(system), PAPPL_LOGLEVEL_WARN, "%s", text);
}

// PAPPL takes back whatever the state file holds, media and defaults the
// driver no longer offers among it: such lines are mended before loading.
void FixStateFile(pappl_system_t* system, const std::string& path) {
    FILE* in = fopen(path.c_str(), "r");
    if (in == nullptr) return;
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, got);
    fclose(in);
    std::string fixed;
    if (!CheckStateText(text, &fixed, StateWarning{system, LogWarning})) return;
    if (!ReplaceFile(path, fixed)) papplLog(system, PAPPL_LOGLEVEL_ERROR, "Cannot mend the state file %s.", path.c_str());
}

}  // namespace

pappl_system_t* SystemCallback(int numOptions, cups_option_t* options, void* /*context*/) {
    const char* portText = cupsGetOption("server-port", numOptions, options);
    const int port = portText != nullptr ? atoi(portText) : 0;
    const char* logFile = cupsGetOption("log-file", numOptions, options);
    const char* spoolOption = cupsGetOption("spool-directory", numOptions, options);
    const char* stateOption = cupsGetOption("state-file", numOptions, options);
    const std::string spool = spoolOption != nullptr ? spoolOption : DefaultSpool();
    g_stateFile = stateOption != nullptr ? stateOption : DefaultStateFile();

    const bool server = g_subcommand == "server";
    // Other sub-commands that build a system ("drivers", "autoadd") neither
    // log to the server's log nor touch its state.
    if (!server) logFile = "/dev/null";

    // TLS on request only: PAPPL 1.3.1 then names two URI security modes
    // for one printer URI, which IPP conformance tests refuse.
    const char* tls = cupsGetOption("tls", numOptions, options);
    pappl_soptions_t systemOptions =
        PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE | PAPPL_SOPTIONS_WEB_LOG | PAPPL_SOPTIONS_WEB_SECURITY;
    if (tls == nullptr || strcasecmp(tls, "yes") != 0) systemOptions |= PAPPL_SOPTIONS_NO_TLS;

    pappl_system_t* system = papplSystemCreate(
        systemOptions,
        "ZELP Printer Application", port, "_print,_universal", spool.c_str(), logFile != nullptr ? logFile : "-",
        LogLevel(cupsGetOption("log-level", numOptions, options)),
        server ? AuthService(cupsGetOption("auth-service", numOptions, options)) : nullptr, false);
    if (system == nullptr) return nullptr;
    // "log-max-size=0" keeps one log file: PAPPL otherwise starts a new one
    // past 1 MiB, from whichever thread logs then.
    if (const char* size = cupsGetOption("log-max-size", numOptions, options)) {
        papplSystemSetMaxLogSize(system, strtoul(size, nullptr, 10));
    }

    // Only the server listens: "drivers", "autoadd" and the like run this
    // callback too and must not take the port of a running server.
    if (server) {
        // One address or name, or several separated by commas.
        const char* listen = cupsGetOption("listen-hostname", numOptions, options);
        std::string names = listen != nullptr ? listen : "";
        bool listening = listen == nullptr && papplSystemAddListeners(system, nullptr);
        for (size_t from = 0; listen != nullptr && from <= names.size();) {
            size_t end = names.find(',', from);
            if (end == std::string::npos) end = names.size();
            const std::string name = names.substr(from, end - from);
            if (!name.empty()) listening = papplSystemAddListeners(system, name.c_str()) || listening;
            from = end + 1;
        }
        if (!listening) {
            papplSystemDelete(system);
            return nullptr;
        }
    }
    if (const char* host = cupsGetOption("server-hostname", numOptions, options)) papplSystemSetHostName(system, host);


    int driverCount = 0;
    pappl_pr_driver_t* drivers = DriverList(&driverCount);
    // "drivers -o device-id=ID" lists only the driver for that device.
    static pappl_pr_driver_t matched[1];
    const char* deviceId = cupsGetOption("device-id", numOptions, options);
    if (g_subcommand == "drivers" && deviceId != nullptr) {
        const char* name = AutoAddCallback(nullptr, nullptr, deviceId, nullptr);
        const int all = driverCount;
        driverCount = 0;
        for (int i = 0; name != nullptr && i < all; ++i) {
            if (strcmp(drivers[i].name, name) == 0) matched[driverCount++] = drivers[i];
        }
        drivers = matched;
    }
    papplSystemSetPrinterDrivers(system, driverCount, drivers, AutoAddCallback, AddReceiptPage, DriverCallback, nullptr);

    // Pictures at their natural size, not through PAPPL's scaler.
    // PAPPL keeps its own filters to PWG raster, so ours convert to the
    // printer's own format, which PAPPL asks for first.
    papplSystemAddMIMEFilter(system, "image/png", kPrinterFormat, PictureFilter, nullptr);
    papplSystemAddMIMEFilter(system, "image/jpeg", kPrinterFormat, PictureFilter, nullptr);

    if (!server) return system;
    if (const char* timeout = cupsGetOption("stream-timeout", numOptions, options)) SetStreamTimeout(atoi(timeout));
    SetAdministrators(system, cupsGetOption("admin-group", numOptions, options));
    g_spool = spool;
    if (RecoverInterruptedSave(g_stateFile, spool)) {
        papplLog(system, PAPPL_LOGLEVEL_WARN, "The last save of the state was cut short; the state before it is used.");
    }
    FixStateFile(system, g_stateFile);
    if (!papplSystemLoadState(system, g_stateFile.c_str())) {
        papplLog(system, PAPPL_LOGLEVEL_INFO, "No state in %s; starting without printers.", g_stateFile.c_str());
    }
    // The iteration holds the system's lock, which the web page needs:
    // collect first, then act.
    std::vector<pappl_printer_t*> printers;
    papplSystemIteratePrinters(
        system, [](pappl_printer_t* printer, void* list) {
            static_cast<std::vector<pappl_printer_t*>*>(list)->push_back(printer);
        },
        &printers);
    for (pappl_printer_t* printer : printers) {
        // Printers from the state file are not "created": their page comes here.
        AddReceiptPage(printer, nullptr);
    }
    StartKeptJobsAtRun(system);
    papplSystemSetOperationCallback(system, DeviceUriOperation, nullptr);
    papplSystemSetSaveCallback(system, SaveState, nullptr);
    return system;
}

}  // namespace zelp::pa
