// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The virtual printer's links and event loop: a raw TCP port on 127.0.0.1
// (one connection at a time, as a 9100 printer), an optional serial link on
// a pseudo-terminal read at the line's own pace, and the control socket.
#ifndef ZELP_TOOLS_VPRINTER_SERVER_H
#define ZELP_TOOLS_VPRINTER_SERVER_H

#include <cstdint>
#include <string>
#include <vector>

#include "event_log.h"
#include "printer_model.h"

namespace zelp::vprinter {

struct ServerOptions {
    bool tcp = true;
    int port = 9100;          // 0: a free port, chosen by the kernel
    std::string portFile;     // the port number, written once ready
    int rcvbuf = 4096;        // kernel socket receive buffer
    uint32_t baud = 0;        // 0: no serial link
    std::string ptyFile;      // the pseudo-terminal's path, written once ready
    std::string controlPath;  // Unix socket; empty: none
    std::string pngPath;
    std::string capturePath;  // every byte received, appended
    bool startPoweredOff = false;
};

// Runs until SIGTERM, SIGINT or the control command "quit". Returns the
// exit status: 0, or 1 when a link could not be set up (message on
// standard error).
int Serve(const ServerOptions& options, Printer* printer, EventLog* log);

// Client side: sends one control line to a running printer and prints the
// reply. Returns 0 when the reply is "ok ...", 1 otherwise.
int SendControl(const std::string& path, const std::string& line);

}  // namespace zelp::vprinter

#endif
