// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The control commands that change the virtual printer's state while it
// runs, one per line ("paper out", "cover open", ...). Words may be joined
// by '-' or '_' ("paper-out", "near-end on"), and case does not matter.
#ifndef ZELP_TOOLS_VPRINTER_CONTROL_H
#define ZELP_TOOLS_VPRINTER_CONTROL_H

#include <string>

#include "printer_model.h"

namespace zelp::vprinter {

// What the links around the printer have to do after a command.
enum class LinkAction { None, PowerOff, PowerOn, Unplug, Save, Quit };

struct ControlReply {
    bool ok = false;
    LinkAction action = LinkAction::None;
    std::string text;  // the reply line, without its newline
};

// Runs one control line on `printer`. The reply is "ok " and the state
// (as Printer::Describe), or "error: " and what was wrong.
ControlReply RunControl(const std::string& line, Printer* printer, EventLog* log, double now);

// The command list, one "  command   what it does" line each.
std::string ControlHelp();

}  // namespace zelp::vprinter

#endif
