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
#include "pa_actions.h"
#include "pa_web.h"
#include "zelp_options.h"

namespace zelp::pa {

const char kFooterHtml[] =
    "ZELP receipt printers &middot; Printer Application " "1.0.0";

namespace {

std::string g_subcommand;

// Kept for the life of the process: the save callback holds its address.
std::string g_stateFile;

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

bool SaveState(pappl_system_t* system, void* /*context*/) {
    return papplSystemSaveState(system, g_stateFile.c_str());
}

bool MediaOffered(const pappl_pr_driver_data_t& data, const pappl_media_col_t& media) {
    for (int i = 0; i < data.num_media; ++i) {
        if (strcmp(data.media[i], media.size_name) == 0) return true;
    }
    // A custom length within the range of the roll.
    const pappl_media_col_t& ready = data.media_default;
    return strncmp(media.size_name, "custom_", 7) == 0 && media.size_width == ready.size_width &&
           media.size_length > 0;
}

}  // namespace

void SetSubcommand(const char* name) { g_subcommand = name != nullptr ? name : ""; }

void CheckStoredPrinter(pappl_printer_t* printer, void* /*context*/) {
    const Model* model = ModelOfPrinter(printer);
    if (model == nullptr) return;
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);

    bool changed = false;
    if (!MediaOffered(data, data.media_default)) {
        papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "Stored media \"%s\" is not offered; using the driver's default.",
                        data.media_default.size_name);
        pappl_pr_driver_data_t fresh{};
        ipp_t* attrs = nullptr;
        DriverCallback(nullptr, model->driverName, nullptr, nullptr, &fresh, &attrs, nullptr);
        ippDelete(attrs);
        data.media_default = fresh.media_default;
        papplPrinterSetReadyMedia(printer, 1, &fresh.media_ready[0]);
        changed = true;
    }

    ipp_t* attrs = papplPrinterGetDriverAttributes(printer);
    std::vector<std::string> texts;
    for (const ZelpOption& option : kZelpOptions) {
        const std::string name = DefaultName(option);
        const std::string text = AttributeText(ippFindAttribute(attrs, name.c_str(), IPP_TAG_ZERO));
        if (ChoiceFromText(option, text.c_str()) != nullptr) {
            texts.push_back(text);
            continue;
        }
        const ZelpChoice* fallback = ZelpFindChoiceByNumber(option, option.defaultNumber);
        texts.push_back(ChoiceText(option, *fallback));
        papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "Stored %s=\"%s\" is not offered; using %s.", name.c_str(),
                        text.c_str(), texts.back().c_str());
        changed = true;
    }
    ippDelete(attrs);
    if (!changed) return;
    std::vector<cups_option_t> vendor(kZelpOptionCount);
    for (size_t i = 0; i < kZelpOptionCount; ++i) {
        vendor[i].name = const_cast<char*>(kZelpOptions[i].ippName);
        vendor[i].value = const_cast<char*>(texts[i].c_str());
    }
    papplPrinterSetDriverDefaults(printer, &data, static_cast<int>(vendor.size()), vendor.data());
}

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
        LogLevel(cupsGetOption("log-level", numOptions, options)), nullptr, false);
    if (system == nullptr) return nullptr;

    // Only the server listens: "drivers", "autoadd" and the like run this
    // callback too and must not take the port of a running server.
    if (server) {
        const char* listen = cupsGetOption("listen-hostname", numOptions, options);
        if (!papplSystemAddListeners(system, listen)) {
            papplSystemDelete(system);
            return nullptr;
        }
    }
    if (const char* host = cupsGetOption("server-hostname", numOptions, options)) papplSystemSetHostName(system, host);

    // Every web page needs a footer in this PAPPL.
    papplSystemSetFooterHTML(system, kFooterHtml);

    int driverCount = 0;
    pappl_pr_driver_t* drivers = DriverList(&driverCount);
    // "drivers -o device-id=ID" lists only the driver for that device.
    static pappl_pr_driver_t matched[1];
    const char* deviceId = cupsGetOption("device-id", numOptions, options);
    if (g_subcommand == "drivers" && deviceId != nullptr) {
        const char* name = AutoAddCallback(nullptr, nullptr, deviceId, nullptr);
        driverCount = 0;
        for (int i = 0; name != nullptr && i < 2; ++i) {
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
    if (!papplSystemLoadState(system, g_stateFile.c_str())) {
        papplLog(system, PAPPL_LOGLEVEL_INFO, "No state in \"%s\"; starting without printers.", g_stateFile.c_str());
    }
    // The iteration holds the system's lock, which the checks and the web
    // page need: collect first, then act.
    std::vector<pappl_printer_t*> printers;
    papplSystemIteratePrinters(
        system, [](pappl_printer_t* printer, void* list) {
            static_cast<std::vector<pappl_printer_t*>*>(list)->push_back(printer);
        },
        &printers);
    for (pappl_printer_t* printer : printers) {
        CheckStoredPrinter(printer, nullptr);
        // Printers from the state file are not "created": their page comes here.
        AddReceiptPage(printer, nullptr);
    }
    papplSystemSetSaveCallback(system, SaveState, nullptr);
    return system;
}

}  // namespace zelp::pa
