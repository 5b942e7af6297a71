// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "pa_web.h"

#include <cstdio>
#include <cstring>
#include <list>
#include <mutex>
#include <string>
#include <vector>

#include "drivers.h"
#include "ipp_options.h"
#include "zelp_options.h"

namespace zelp::pa {

namespace {

constexpr const char* kPageName = "receipt";
constexpr const char* kLinkLabel = "Receipt Options";

std::string PagePath(pappl_printer_t* printer) {
    char path[256];
    papplPrinterGetPath(printer, kPageName, path, sizeof path);
    return path;
}

// What a choice reads as in the list: its PPD text, or amount and unit.
// Stores the form's values as the printer's defaults; a value that names
// no choice is refused. Returns the message for the page.
std::string ApplyForm(pappl_client_t* client, pappl_printer_t* printer) {
    cups_option_t* form = nullptr;
    const int count = papplClientGetForm(client, &form);
    std::string message;
    if (!papplClientIsValidForm(client, count, form)) {
        message = "Invalid form submission.";
    } else {
        std::vector<cups_option_t> vendor;
        for (const ZelpOption& option : kZelpOptions) {
            if (option.ippRoute != ZelpIppRoute::kVendor) continue;
            const char* value = cupsGetOption(option.ippName, count, form);
            if (value == nullptr) continue;
            if (ChoiceFromText(option, value) == nullptr) {
                message = std::string("Refused ") + option.label + " \"" + value + "\": not offered.";
                break;
            }
            vendor.push_back(cups_option_t{const_cast<char*>(option.ippName), const_cast<char*>(value)});
        }
        if (message.empty()) {
            pappl_pr_driver_data_t data;
            papplPrinterGetDriverData(printer, &data);
            // One option a call: PAPPL 1.3.1 drops integer values that come
            // in one call with a keyword value.
            bool saved = true;
            for (cups_option_t& one : vendor) saved = papplPrinterSetDriverDefaults(printer, &data, 1, &one) && saved;
            message = saved ? "Changes saved." : "The defaults could not be saved.";
        }
    }
    cupsFreeOptions(count, form);
    return message;
}

// The page's printer, looked up by name at each request: a page outlives
// its printer (PAPPL's lock forbids removing it in the delete callback),
// and a printer added again under that name takes the page over.
bool ReceiptPage(pappl_client_t* client, void* context) {
    const std::string resource = std::string("/ipp/print/") + static_cast<const char*>(context);
    pappl_printer_t* printer = papplSystemFindPrinter(papplClientGetSystem(client), resource.c_str(), 0, nullptr);
    if (printer == nullptr) {
        papplClientRespond(client, HTTP_STATUS_NOT_FOUND, nullptr, nullptr, 0, 0);
        return true;
    }
    if (!papplClientHTMLAuthorize(client)) return true;

    std::string message;
    if (papplClientGetMethod(client) == HTTP_STATE_POST) message = ApplyForm(client, printer);

    papplClientHTMLPrinterHeader(client, printer, kLinkLabel, 0, nullptr, nullptr);
    if (!message.empty()) {
        papplClientHTMLPuts(client, "<div class=\"banner\">");
        papplClientHTMLEscape(client, message.c_str(), 0);
        papplClientHTMLPuts(client, "</div>\n");
    }
    ipp_t* attrs = papplPrinterGetDriverAttributes(printer);
    const std::string path = PagePath(printer);
    papplClientHTMLStartForm(client, path.c_str(), false);
    papplClientHTMLPuts(client, "<table class=\"form\">\n<tbody>\n");
    for (const ZelpOption& option : kZelpOptions) {
        // Options on PAPPL's own attributes are on its printing defaults page.
        if (option.ippRoute != ZelpIppRoute::kVendor) continue;
        const std::string name = DefaultName(option);
        const std::string current = AttributeText(ippFindAttribute(attrs, name.c_str(), IPP_TAG_ZERO));
        papplClientHTMLPuts(client, "<tr><th>");
        papplClientHTMLEscape(client, option.label, 0);
        papplClientHTMLPrintf(client, ":</th><td><select name=\"%s\">", option.ippName);
        for (size_t i = 0; i < option.choiceCount; ++i) {
            const std::string value = ChoiceText(option, option.choices[i]);
            papplClientHTMLPrintf(client, "<option value=\"%s\"%s>", value.c_str(),
                                  value == current ? " selected" : "");
            papplClientHTMLEscape(client, ZelpChoiceLabel(option, option.choices[i]).c_str(), 0);
            papplClientHTMLPuts(client, "</option>");
        }
        papplClientHTMLPuts(client, "</select></td></tr>\n");
    }
    papplClientHTMLPuts(client,
                        "<tr><th></th><td><input type=\"submit\" value=\"Save Changes\"></td></tr>\n"
                        "</tbody></table></form>\n");
    ippDelete(attrs);
    papplClientHTMLPrinterFooter(client);
    return true;
}

}  // namespace

void AddReceiptPage(pappl_printer_t* printer, void* /*context*/) {
    const std::string path = PagePath(printer);
    // The name lives as long as the page: for the life of the process, past
    // exit too, since PAPPL's threads are never joined.
    static std::mutex lock;
    static auto* names = new std::list<std::string>;
    const char* name;
    {
        std::lock_guard<std::mutex> hold(lock);
        names->emplace_back(papplPrinterGetName(printer));
        name = names->back().c_str();
    }
    papplSystemAddResourceCallback(papplPrinterGetSystem(printer), path.c_str(), "text/html", ReceiptPage,
                                   const_cast<char*>(name));
    papplPrinterAddLink(printer, kLinkLabel, path.c_str(),
                        static_cast<pappl_loptions_t>(PAPPL_LOPTIONS_NAVIGATION | PAPPL_LOPTIONS_STATUS));
}

}  // namespace zelp::pa
