// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "pa_finishings.h"

#include <string>

#include "drivers.h"
#include "ipp_options.h"

namespace zelp::pa {

void OfferCuttingAsFinishings(pappl_client_t* client) {
    ipp_t* response = papplClientGetResponse(client);
    if (response == nullptr || ippGetOperation(papplClientGetRequest(client)) != IPP_OP_GET_PRINTER_ATTRIBUTES) return;
    pappl_printer_t* printer = papplClientGetPrinter(client);
    if (ModelOfPrinter(printer) == nullptr) return;
    ipp_attribute_t* supported = ippFindAttribute(response, "finishings-supported", IPP_TAG_ENUM);
    ipp_attribute_t* fallback = ippFindAttribute(response, "finishings-default", IPP_TAG_ENUM);
    if (supported != nullptr) {
        static const int kOffered[] = {IPP_FINISHINGS_NONE, IPP_FINISHINGS_TRIM_AFTER_PAGES, IPP_FINISHINGS_TRIM_AFTER_COPIES,
                                       IPP_FINISHINGS_TRIM_AFTER_JOB};
        ippDeleteAttribute(response, supported);
        ippAddIntegers(response, IPP_TAG_PRINTER, IPP_TAG_ENUM, "finishings-supported", 4, kOffered);
    }
    if (fallback != nullptr) {
        ipp_t* attrs = papplPrinterGetDriverAttributes(printer);
        const std::string cutting = AttributeText(ippFindAttribute(attrs, "zelp-cutting-default", IPP_TAG_ZERO));
        ippDelete(attrs);
        ippDeleteAttribute(response, fallback);
        ippAddInteger(response, IPP_TAG_PRINTER, IPP_TAG_ENUM, "finishings-default", FinishingsForCutting(cutting));
    }
}

}  // namespace zelp::pa
