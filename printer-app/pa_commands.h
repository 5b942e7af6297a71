// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// What the sub-commands check before PAPPL's main loop takes them: a
// document the printers cannot print is refused before any job exists,
// "submit -n N" asks for N copies, "modify -o" takes only offered values.
#ifndef ZELP_PA_COMMANDS_H
#define ZELP_PA_COMMANDS_H

#include <string>
#include <vector>

namespace zelp::pa {

// The sub-command among the arguments (argv[0] first), or empty.
std::string FindSubcommand(const std::vector<std::string>& args);

// Checks the arguments of a sub-command and rewrites them for PAPPL's main
// loop. -1 to go on with the main loop, else the exit status (the reason
// is on standard error).
int PrepareSubcommand(std::vector<std::string>* args);

// The document format of a file that the printers can print, judged by
// its first bytes; empty (and a reason) for anything else.
std::string PrintableFormat(const std::string& bytes, std::string* reason);

}  // namespace zelp::pa

#endif
