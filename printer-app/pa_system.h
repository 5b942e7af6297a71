// The PAPPL system of this program: listeners, log, spool and state file,
// web interface texts, and the check of what a state file brings back.
#ifndef ZELP_PA_SYSTEM_H
#define ZELP_PA_SYSTEM_H

#include <pappl/pappl.h>

namespace zelp::pa {

constexpr const char* kProgramName = "zelp-printer-app";
constexpr const char* kVersion = "1.0.0";
extern const char kFooterHtml[];

// What the program was asked to do: only the server binds its port.
void SetSubcommand(const char* name);

// pappl_ml_system_cb_t. Options (-o NAME=VALUE):
//   server-port       TCP port (default: PAPPL's choice)
//   listen-hostname   address to listen on (default: all)
//   server-hostname   host name in printer URIs
//   log-file, log-level, spool-directory, state-file
//   tls               "yes" to offer ipps: as well (default: off)
pappl_system_t* SystemCallback(int numOptions, cups_option_t* options, void* context);

// Replaces stored printer defaults and media that the driver does not
// offer, with a logged warning for each.
void CheckStoredPrinter(pappl_printer_t* printer, void* context);

}  // namespace zelp::pa

#endif
