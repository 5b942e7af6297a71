// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The PAPPL system of this program: listeners, log, spool and state file,
// web interface texts, and the check of what a state file brings back.
#ifndef ZELP_PA_SYSTEM_H
#define ZELP_PA_SYSTEM_H

#include <pappl/pappl.h>

#include <string>

namespace zelp::pa {

constexpr const char* kProgramName = "zelp-printer-app";
constexpr const char* kVersion = "1.0.0";
extern const char kFooterHtml[];

// What the program was asked to do: only the server binds its port.
void SetSubcommand(const char* name);

// pappl_ml_system_cb_t. Options (-o NAME=VALUE):
//   server-port       TCP port (default: PAPPL's choice)
//   listen-hostname   address to listen on, or several separated by commas
//                     (default: all)
//   server-hostname   host name in printer URIs
//   log-file, log-level, spool-directory, state-file
//   tls               "yes" to offer ipps: as well (default: off)
//   auth-service      PAM service for administrators' passwords (default
//                     "login"; "none": administration over the local socket only)
//   admin-group       group an administrator must be in (default: none)
//   stream-timeout    seconds a raster stream may send nothing (default 30)
pappl_system_t* SystemCallback(int numOptions, cups_option_t* options, void* context);

struct StateWarning {
    void* context;
    void (*warn)(void* context, const char* text);
};

// Mends the text of a state file: an option default that names no choice
// becomes the built-in default, a default of no known option and media
// that the printer's driver does not offer are dropped, a job that was
// printing is pending again; a warning for each. True when anything
// changed.
bool CheckStateText(const std::string& text, std::string* fixed, const StateWarning& warn);

}  // namespace zelp::pa

#endif
