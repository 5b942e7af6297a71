// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Cutting offered as IPP finishings, so that driverless clients (CUPS's
// "everywhere" queues, phones, desktop dialogs) can choose it.
#ifndef ZELP_PA_FINISHINGS_H
#define ZELP_PA_FINISHINGS_H

#include <pappl/pappl.h>

namespace zelp::pa {

// In a Get-Printer-Attributes answer about to be sent: the finishings
// that PAPPL 1.3.1 offers (none, and a bare "trim" it cannot say when)
// become none, trim-after-pages, trim-after-copies and trim-after-job,
// and the default is what the printer's zelp-cutting default does.
void OfferCuttingAsFinishings(pappl_client_t* client);

}  // namespace zelp::pa

#endif
