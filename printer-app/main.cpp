// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// zelp-printer-app: a Printer Application for ZELP ESC/POS receipt
// printers. PAPPL's main loop with its standard sub-commands; printing
// goes through the same page core as the CUPS filter raster_to_ZELP.
#include <pappl/pappl.h>

#include <cstring>

#include "drivers.h"

#include "pa_system.h"
#include "serial_device.h"

int main(int argc, char* argv[]) {
    // The sub-command is the first argument that is not an option.
    const char* subcommand = "";
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') {
            subcommand = argv[i];
            break;
        }
        // Options that take a value in the next argument.
        if (strlen(argv[i]) == 2 && strchr("adjmnouv", argv[i][1]) != nullptr) ++i;
    }
    zelp::pa::SetSubcommand(subcommand);
    zelp::pa::AddSerialScheme();

    // The drivers are set by the system callback, which may narrow them
    // to one device ID. The footer is no decoration: without one, every web
    // page of PAPPL 1.3.1 crashes the server.
    return papplMainloop(argc, argv, zelp::pa::kVersion, zelp::pa::kFooterHtml, 0, nullptr,
                         zelp::pa::AutoAddCallback, nullptr, nullptr, nullptr, zelp::pa::SystemCallback, nullptr,
                         nullptr);
}
