// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "pa_device_uri.h"

#include <dlfcn.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ipp_options.h"
#include "pa_system.h"
#include "zelp_options.h"

namespace zelp::pa {

namespace {

const char* Text(ipp_t* request, const char* name, ipp_tag_t tag) {
    ipp_attribute_t* attr = ippFindAttribute(request, name, tag);
    return attr != nullptr && ippGetGroupTag(attr) == IPP_TAG_OPERATION ? ippGetString(attr, 0, nullptr) : nullptr;
}

bool Fail(pappl_client_t* client, ipp_status_t status, const char* text) {
    papplClientRespondIPP(client, status, "%s", text);
    return true;
}

// What a printer keeps across its new creation.
struct Kept {
    int id = 0;
    std::string name, driver, deviceId;
    pappl_pr_driver_data_t data{};
    std::vector<std::string> vendorValues;
    char location[256] = "", geo[256] = "", organization[256] = "", unit[256] = "";
    pappl_contact_t contact{};
    int nextJobId = 0, maxActive = 0, maxCompleted = 0;
};

Kept Keep(pappl_printer_t* printer) {
    Kept kept;
    kept.id = papplPrinterGetID(printer);
    kept.name = papplPrinterGetName(printer);
    kept.driver = papplPrinterGetDriverName(printer);
    const char* deviceId = papplPrinterGetDeviceID(printer);
    kept.deviceId = deviceId != nullptr ? deviceId : "";
    papplPrinterGetDriverData(printer, &kept.data);
    ipp_t* attrs = papplPrinterGetDriverAttributes(printer);
    for (const ZelpOption& option : kZelpOptions) {
        kept.vendorValues.push_back(AttributeText(ippFindAttribute(attrs, DefaultName(option).c_str(), IPP_TAG_ZERO)));
    }
    ippDelete(attrs);
    papplPrinterGetLocation(printer, kept.location, sizeof kept.location);
    papplPrinterGetGeoLocation(printer, kept.geo, sizeof kept.geo);
    papplPrinterGetOrganization(printer, kept.organization, sizeof kept.organization);
    papplPrinterGetOrganizationalUnit(printer, kept.unit, sizeof kept.unit);
    papplPrinterGetContact(printer, &kept.contact);
    kept.nextJobId = papplPrinterGetNextJobID(printer);
    kept.maxActive = papplPrinterGetMaxActiveJobs(printer);
    kept.maxCompleted = papplPrinterGetMaxCompletedJobs(printer);
    return kept;
}

void Restore(pappl_printer_t* printer, Kept& kept) {
    std::vector<cups_option_t> vendor;
    for (size_t i = 0; i < kZelpOptionCount; ++i) {
        if (kept.vendorValues[i].empty()) continue;
        vendor.push_back(cups_option_t{const_cast<char*>(kZelpOptions[i].ippName), kept.vendorValues[i].data()});
    }
    // One option a call: PAPPL 1.3.1 drops integer values that come in one
    // call with a keyword value.
    papplPrinterSetDriverDefaults(printer, &kept.data, 0, nullptr);
    for (cups_option_t& one : vendor) papplPrinterSetDriverDefaults(printer, &kept.data, 1, &one);
    papplPrinterSetReadyMedia(printer, kept.data.num_source, kept.data.media_ready);
    if (*kept.location != '\0') papplPrinterSetLocation(printer, kept.location);
    if (*kept.geo != '\0') papplPrinterSetGeoLocation(printer, kept.geo);
    if (*kept.organization != '\0') papplPrinterSetOrganization(printer, kept.organization);
    if (*kept.unit != '\0') papplPrinterSetOrganizationalUnit(printer, kept.unit);
    papplPrinterSetContact(printer, &kept.contact);
    papplPrinterSetMaxActiveJobs(printer, kept.maxActive);
    papplPrinterSetMaxCompletedJobs(printer, kept.maxCompleted);
    papplPrinterSetNextJobID(printer, kept.nextJobId);
}

}  // namespace

bool DeviceUriOperation(pappl_client_t* client, void* /*context*/) {
    ipp_t* request = papplClientGetRequest(client);
    if (ippGetOperation(request) != kSetDeviceUri) return false;
    const http_status_t auth = papplClientIsAuthorized(client);
    if (auth != HTTP_STATUS_CONTINUE) {
        papplClientRespond(client, auth, nullptr, nullptr, 0, 0);
        return true;
    }
    const char* name = Text(request, "printer-name", IPP_TAG_NAME);
    const char* uri = Text(request, "smi55357-device-uri", IPP_TAG_URI);
    if (name == nullptr || uri == nullptr) return Fail(client, IPP_STATUS_ERROR_BAD_REQUEST, "Missing printer-name or smi55357-device-uri.");
    if (!papplDeviceIsSupported(uri)) return Fail(client, IPP_STATUS_ERROR_ATTRIBUTES_OR_VALUES, "This device URI is not supported.");
    pappl_system_t* system = papplClientGetSystem(client);
    const std::string resource = std::string("/ipp/print/") + name;
    pappl_printer_t* printer = papplSystemFindPrinter(system, resource.c_str(), 0, nullptr);
    if (printer == nullptr) return Fail(client, IPP_STATUS_ERROR_NOT_FOUND, "No such printer.");
    if (papplPrinterGetNumberOfActiveJobs(printer) > 0) {
        return Fail(client, IPP_STATUS_ERROR_BUSY, "The printer has jobs; move it once they are done or cancelled.");
    }
    Kept kept = Keep(printer);
    papplPrinterDelete(printer);
    pappl_printer_t* moved = papplPrinterCreate(system, kept.id, kept.name.c_str(), kept.driver.c_str(),
                                                kept.deviceId.empty() ? nullptr : kept.deviceId.c_str(), uri);
    if (moved == nullptr) return Fail(client, IPP_STATUS_ERROR_INTERNAL, "The printer could not be created at its new address.");
    Restore(moved, kept);
    papplLog(system, PAPPL_LOGLEVEL_INFO, "Printer %s moved to %s.", kept.name.c_str(), uri);
    papplClientRespondIPP(client, IPP_STATUS_OK, nullptr);
    return true;
}

int MovePrinter(const char* printerName, const char* deviceUri) {
    // PAPPL's own way to the server of this program (its local socket).
    using ConnectFn = http_t* (*)(const char*, bool);
    const auto connect = reinterpret_cast<ConnectFn>(dlsym(RTLD_DEFAULT, "_papplMainloopConnect"));
    http_t* http = connect != nullptr ? connect(kProgramName, false) : nullptr;
    if (http == nullptr) {
        fprintf(stderr, "%s: The server is not running.\n", kProgramName);
        return 1;
    }
    ipp_t* request = ippNewRequest(kSetDeviceUri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "system-uri", nullptr, "ipp://localhost/ipp/system");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "printer-name", nullptr, printerName);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "smi55357-device-uri", nullptr, deviceUri);
    ippDelete(cupsDoRequest(http, request, "/ipp/system"));
    httpClose(http);
    if (cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        fprintf(stderr, "%s: Cannot move printer %s: %s\n", kProgramName, printerName, cupsLastErrorString());
        return 1;
    }
    return 0;
}

}  // namespace zelp::pa
