// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The printer's "Receipt Options" web page: the options under their labels
// and choice texts, set as the printer's defaults.
#ifndef ZELP_PA_WEB_H
#define ZELP_PA_WEB_H

#include <pappl/pappl.h>

namespace zelp::pa {

// pappl_pr_create_cb_t: adds the page and a link to it.
void AddReceiptPage(pappl_printer_t* printer, void* context);

}  // namespace zelp::pa

#endif
