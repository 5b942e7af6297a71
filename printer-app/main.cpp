// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// zelp-printer-app: a Printer Application for ZELP ESC/POS receipt
// printers. PAPPL's main loop with its standard sub-commands; printing
// goes through the same page core as the CUPS filter raster_to_ZELP.
#include <pappl/pappl.h>

#include <string>
#include <vector>

#include "drivers.h"
#include "pa_commands.h"
#include "pa_system.h"
#include "serial_device.h"

int main(int argc, char* argv[]) {
    std::vector<std::string> args(argv, argv + argc);
    // What PAPPL's sub-commands would get wrong is checked first.
    const int refused = zelp::pa::PrepareSubcommand(&args);
    if (refused >= 0) return refused;
    zelp::pa::SetSubcommand(zelp::pa::FindSubcommand(args).c_str());
    std::vector<char*> pointers;
    pointers.reserve(args.size() + 1);
    for (std::string& arg : args) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    argc = static_cast<int>(args.size());
    argv = pointers.data();
    zelp::pa::AddSerialScheme();

    // The drivers are set by the system callback, which may narrow them
    // to one device ID. The footer is no decoration: without one, every web
    // page of PAPPL 1.3.1 crashes the server.
    return papplMainloop(argc, argv, zelp::pa::kVersion, zelp::pa::kFooterHtml, 0, nullptr,
                         zelp::pa::AutoAddCallback, nullptr, nullptr, nullptr, zelp::pa::SystemCallback, nullptr,
                         nullptr);
}
